// The message reporter port, typed message arguments and the last message.
#include "core/report_port.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

// ---- typed arguments ---------------------------------------------------------------

long long MessageArg::AsSigned() const {
    switch (kind_) {
    case Kind::Signed: return signed_;
    case Kind::Unsigned: return static_cast<long long>(unsigned_);
    case Kind::Double:
        // Out of range (and NaN) has no integer value.
        if (!(double_ > -9.2e18 && double_ < 9.2e18)) return 0;
        return static_cast<long long>(double_);
    case Kind::Text: return 0;
    }
    return 0;
}

unsigned long long MessageArg::AsUnsigned() const {
    switch (kind_) {
    case Kind::Signed: return static_cast<unsigned long long>(signed_);
    case Kind::Unsigned: return unsigned_;
    case Kind::Double: return static_cast<unsigned long long>(AsSigned());
    case Kind::Text: return 0;
    }
    return 0;
}

double MessageArg::AsDouble() const {
    switch (kind_) {
    case Kind::Signed: return static_cast<double>(signed_);
    case Kind::Unsigned: return static_cast<double>(unsigned_);
    case Kind::Double: return double_;
    case Kind::Text: return 0;
    }
    return 0;
}

namespace {

// Widths and precisions are the program's own, but a runaway one must not
// make one conversion print megabytes.
constexpr int kRpMaxWidth = 4096;

struct rp_Output {
    char* out;
    size_t size;
    size_t used = 0;

    void Put(const char* text, size_t n) {
        if (!size || used + 1 >= size) return;
        size_t room = size - 1 - used;
        if (n > room) n = room;
        std::memcpy(out + used, text, n);
        used += n;
    }
    void Put(const std::string& text) { Put(text.data(), text.size()); }
};

// One conversion printed with snprintf from a spec this code built itself;
// the value's C type always matches the conversion letter.
template <class T>
std::string rp_Print(const std::string& spec, T value) {
    char small[256];
    int n = std::snprintf(small, sizeof small, spec.c_str(), value);
    if (n < 0) return std::string();
    if (size_t(n) < sizeof small) return std::string(small, size_t(n));
    std::string big(size_t(n) + 1, '\0');
    std::snprintf(big.data(), big.size(), spec.c_str(), value);
    big.resize(size_t(n));
    return big;
}

std::string rp_NumberText(const MessageArg& arg) {
    switch (arg.kind()) {
    case MessageArg::Kind::Signed: return rp_Print("%lld", arg.AsSigned());
    case MessageArg::Kind::Unsigned: return rp_Print("%llu", arg.AsUnsigned());
    case MessageArg::Kind::Double: return rp_Print("%g", arg.AsDouble());
    case MessageArg::Kind::Text: break;
    }
    const char* text = arg.AsText();
    return text ? text : "(null)";
}

}  // namespace

size_t FormatMessageArgs(char* out, size_t size, const char* format, const MessageArg* args, size_t count) {
    rp_Output output{out, size};
    size_t next = 0;
    if (!format) format = "";
    for (const char* p = format; *p;) {
        if (*p != '%') {
            const char* q = std::strchr(p, '%');
            size_t n = q ? size_t(q - p) : std::strlen(p);
            output.Put(p, n);
            p += n;
            continue;
        }
        if (p[1] == '%') {
            output.Put("%", 1);
            p += 2;
            continue;
        }
        // Parse the conversion: flags, width, precision, length, letter.
        const char* q = p + 1;
        std::string flags;
        while (*q && std::strchr("-+ #0", *q)) flags += *q++;
        bool missing = false;
        auto number = [&](int* value) {
            if (*q == '*') {
                ++q;
                if (next < count) {
                    long long v = args[next++].AsSigned();
                    *value = v > kRpMaxWidth ? kRpMaxWidth : v < -kRpMaxWidth ? -kRpMaxWidth : int(v);
                } else {
                    missing = true;
                }
                return true;
            }
            bool any = false;
            long v = 0;
            while (*q >= '0' && *q <= '9') {
                any = true;
                if (v < kRpMaxWidth) v = v * 10 + (*q - '0');
                ++q;
            }
            *value = v > kRpMaxWidth ? kRpMaxWidth : int(v);
            return any;
        };
        int width = 0, precision = -1;
        bool haveWidth = number(&width);
        if (*q == '.') {
            ++q;
            precision = 0;
            number(&precision);
            if (precision < 0) precision = -1;
        }
        while (*q && std::strchr("hljztLq", *q)) ++q;
        const char letter = *q;
        const char* end = letter ? q + 1 : q;
        if (!letter || !std::strchr("diouxXcsfFeEgGaApn", letter)) {
            output.Put(p, size_t(end - p));
            p = end;
            continue;
        }
        if (letter == 'n') {
            p = end;
            continue;
        }
        if (missing || next >= count) {
            if (letter != 's') output.Put(p, size_t(end - p));
            p = end;
            continue;
        }
        const MessageArg& arg = args[next++];
        std::string spec = "%" + flags;
        if (haveWidth) spec += std::to_string(width);
        std::string textSpec = std::string("%") + (flags.find('-') != std::string::npos || width < 0 ? "-" : "");
        if (haveWidth) textSpec += std::to_string(width < 0 ? -width : width);
        if (precision >= 0) {
            spec += "." + std::to_string(precision);
            textSpec += "." + std::to_string(precision);
        }
        const bool isText = arg.kind() == MessageArg::Kind::Text;
        switch (letter) {
        case 'd':
        case 'i':
            if (isText)
                output.Put(p, size_t(end - p));
            else
                output.Put(rp_Print(spec + "lld", arg.AsSigned()));
            break;
        case 'o':
        case 'u':
        case 'x':
        case 'X':
            if (isText)
                output.Put(p, size_t(end - p));
            else
                output.Put(rp_Print(spec + "ll" + letter, arg.AsUnsigned()));
            break;
        case 'c':
            if (isText)
                output.Put(p, size_t(end - p));
            else
                output.Put(rp_Print(spec + "c", static_cast<int>(static_cast<unsigned char>(arg.AsSigned()))));
            break;
        case 'f':
        case 'F':
        case 'e':
        case 'E':
        case 'g':
        case 'G':
        case 'a':
        case 'A':
            if (isText)
                output.Put(p, size_t(end - p));
            else
                output.Put(rp_Print(spec + letter, arg.AsDouble()));
            break;
        case 's':
        case 'p':
        default: output.Put(rp_Print(textSpec + "s", rp_NumberText(arg).c_str())); break;
        }
        p = end;
    }
    if (size) out[output.used] = 0;
    return output.used;
}

// ---- the reporter ------------------------------------------------------------------

namespace {

class rp_NullReporter final : public MessageReporter {
public:
    int Report(const MessageRequest&) override { return kMessageNoReporter; }
    void Beep() override {}
};

rp_NullReporter rp_nullReporter;
MessageReporter* rp_installed = nullptr;

}  // namespace

MessageReporter& Reporter() { return rp_installed ? *rp_installed : rp_nullReporter; }

bool IsReporterInstalled() { return rp_installed != nullptr; }

void InstallReporter(MessageReporter* reporter) { rp_installed = reporter; }

// ---- the last message --------------------------------------------------------------

namespace {
thread_local LastMessageRecord rp_lastMessage;
}  // namespace

const LastMessageRecord& LastMessage() { return rp_lastMessage; }
int LastMessageId() { return rp_lastMessage.id; }
const char* LastMessageText() { return rp_lastMessage.text.c_str(); }

void RecordLastMessage(int id, const char* text) {
    rp_lastMessage.id = id;
    rp_lastMessage.text = text ? text : "";
}

void ClearLastMessage() {
    rp_lastMessage.id = 0;
    rp_lastMessage.text.clear();
}
