// Small shared services: time and date texts, argument lists, digital values and
// the status-bar progress.
#include "core/services.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "core/desktop.h"
#include "core/memory.h"
#include "core/messages.h"
#include "core/port.h"
#include "core/result.h"

// ---- time and date --------------------------------------------------------------

bool gDateStampEnabled = false;
bool gTimeStampEnabled = false;

double GetSeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

namespace {

char* svc_FormatNow(char* buffer, size_t size, const char* format) {
    if (!buffer || size == 0) return buffer;
    std::memset(buffer, 0, size);
    std::time_t now = std::time(nullptr);
    std::tm local{};
    if (localtime_r(&now, &local) && std::strftime(buffer, size, format, &local) == 0) buffer[0] = 0;
    return buffer;
}

// Fills the positional arguments %1 and %2 of a string-table text.
std::string svc_FillPositional(const char* text, long first, long second) {
    std::string out;
    for (const char* p = text ? text : ""; *p; ++p) {
        if (p[0] == '%' && (p[1] == '1' || p[1] == '2')) {
            out += std::to_string(p[1] == '1' ? first : second);
            ++p;
        } else {
            out += *p;
        }
    }
    return out;
}

}  // namespace

char* FormatLocaleDate(char* buffer, size_t size) { return svc_FormatNow(buffer, size, "%x"); }
char* FormatLocaleTime(char* buffer, size_t size) { return svc_FormatNow(buffer, size, "%X"); }

char* FormatDateTimeStamp(char* buffer, bool withLabels, size_t size) {
    if (!buffer || size == 0) return buffer;
    buffer[0] = 0;
    std::string stamp;
    char part[100];
    if (gDateStampEnabled) {
        if (withLabels) stamp += "Date ";
        stamp += FormatLocaleDate(part, sizeof part);
        if (gTimeStampEnabled) stamp += ' ';
    }
    if (gTimeStampEnabled) {
        if (withLabels) stamp += "Time ";
        stamp += FormatLocaleTime(part, sizeof part);
    }
    CopyTextBounded(buffer, stamp.c_str(), size);
    return buffer;
}

std::string FormatElapsedTime(long seconds) {
    if (seconds < 60) return svc_FillPositional(GetMessageText(15215), seconds, 0);
    long minutes = seconds / 60, rest = seconds % 60;
    if (rest == 0) return svc_FillPositional(GetMessageText(15216), minutes, 0);
    return svc_FillPositional(GetMessageText(15217), minutes, rest);
}

// ---- argument lists ---------------------------------------------------------------

double gArguments[kArgumentCount];

namespace {

class NullParameterEvaluator final : public ParameterEvaluatorPort {
public:
    int Evaluate(const char*, double* value, unsigned dependsOn[2]) override {
        *value = 0;
        if (dependsOn) dependsOn[0] = dependsOn[1] = 0;
        return kResultNotBuilt;
    }
};

PortSlot<ParameterEvaluatorPort, NullParameterEvaluator> svc_evaluator;

int svc_Evaluate(const char* text, double* value, unsigned dependsOn[2]) {
    *value = 0;
    if (dependsOn) dependsOn[0] = dependsOn[1] = 0;
    if (!HasParameterEvaluator()) return kResultMissingParam;
    unsigned words[2] = {0, 0};
    int code = ParameterEvaluator().Evaluate(text, value, words);
    if (dependsOn) {
        dependsOn[0] = words[0];
        dependsOn[1] = words[1];
    }
    return code;
}

bool svc_IsBlankText(const char* text) {
    for (; *text; ++text)
        if (*text != ' ' && *text != '\t') return false;
    return true;
}

}  // namespace

ParameterEvaluatorPort& ParameterEvaluator() { return svc_evaluator.Get(); }
ParameterEvaluatorPort* InstallParameterEvaluator(ParameterEvaluatorPort* port) { return svc_evaluator.Install(port); }
bool HasParameterEvaluator() { return svc_evaluator.Installed(); }

char* SplitAtTopLevelComma(char* text) {
    if (!text) return text;
    int depth = 0;
    char* p = text;
    for (; *p; ++p) {
        if (*p == '(')
            ++depth;
        else if (*p == ')' && depth > 0)
            --depth;
        else if (*p == ',' && depth == 0) {
            *p = 0;
            return p + 1;
        }
    }
    return p;
}

void SplitArgumentTexts(const char* text, char* first, char* second, char* third, size_t size) {
    std::string copy = text ? text : "";
    char* a = copy.data();
    char* b = SplitAtTopLevelComma(a);
    char* c = SplitAtTopLevelComma(b);
    SplitAtTopLevelComma(c);
    if (first) CopyTextBounded(first, a, size);
    if (second) CopyTextBounded(second, b, size);
    if (third) CopyTextBounded(third, c, size);
}

int EvaluateValuePair(const char* text, double* first, double* second, unsigned firstFlags[2],
                      unsigned secondFlags[2]) {
    if (first) *first = 0;
    if (second) *second = 0;
    if (firstFlags) firstFlags[0] = firstFlags[1] = 0;
    if (secondFlags) secondFlags[0] = secondFlags[1] = 0;
    char* copy = DuplicateString(text ? text : "");
    if (!copy) return kResultNoMemory;
    size_t length = std::strlen(copy);
    char* rest = SplitAtTopLevelComma(copy);
    bool hasSecond = std::strlen(copy) != length;
    double a = 0, b = 0;
    int code = svc_Evaluate(copy, &a, firstFlags);
    if (code == 0 && hasSecond) code = svc_Evaluate(rest, &b, secondFlags);
    MemFree(copy);
    if (first) *first = a;
    if (second) *second = code == 0 ? b : 0;
    return code;
}

int EvaluateArgumentList(const char* text, int n, bool required) {
    for (double& v : gArguments) v = 0;
    if (n > kArgumentCount) n = kArgumentCount;
    if (n < 0) n = 0;
    std::string copy = text ? text : "";
    char* item = copy.data();
    int index = 0;
    bool more = text && *text;
    while (more && index < n) {
        size_t length = std::strlen(item);
        char* next = SplitAtTopLevelComma(item);
        more = std::strlen(item) != length;  // a comma was cut: another item follows
        if (svc_IsBlankText(item)) {
            if (required) return kResultMissingParam;
        } else {
            int code = svc_Evaluate(item, &gArguments[index], nullptr);
            if (code) return code;
        }
        ++index;
        item = next;
    }
    if (required && index < n) return kResultMissingParam;
    return kOk;
}

int EvaluateRequiredArguments(const char* text, int n) { return EvaluateArgumentList(text, n, true); }
int EvaluateOptionalArguments(const char* text, int n) { return EvaluateArgumentList(text, n, false); }

double* ParseValueList(const char* text, int* count, int* code) {
    *count = 0;
    *code = kOk;
    std::string copy = text ? text : "";
    size_t slots = 1;
    for (char c : copy)
        if (c == ',') ++slots;
    double* values = static_cast<double*>(MemAlloc(slots * sizeof(double)));
    if (!values) {
        *code = kResultNoMemory;
        return nullptr;
    }
    char* item = copy.data();
    char* end = item + copy.size();
    int found = 0;
    while (item < end) {
        char* next = SplitAtTopLevelComma(item);
        if (!svc_IsBlankText(item)) {
            int result = svc_Evaluate(item, &values[found], nullptr);
            if (result) {
                MemFree(values);
                *code = result;
                return nullptr;
            }
            ++found;
        }
        item = next;
    }
    *count = found;
    return values;
}

int SplitToStringList(const char* text, std::vector<std::string>* list) {
    list->clear();
    const char* p = text ? text : "";
    while (*p) {
        while (*p == ',' || *p == ' ' || *p == '\t') ++p;
        const char* start = p;
        while (*p && *p != ',' && *p != ' ' && *p != '\t') ++p;
        if (p > start) list->emplace_back(start, p);
    }
    return kOk;
}

// ---- digital values -----------------------------------------------------------------

const char kDigitalStateLetters[8] = "0RF1XZ?";

int DigitalStateIndex(char c) {
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    if (!c) return -1;
    const char* hit = std::strchr(kDigitalStateLetters, c);
    return hit ? int(hit - kDigitalStateLetters) : -1;
}

char* FormatRadixValue(uint32_t displayFlags, char* buffer, size_t size, uint64_t value, int bitCount) {
    if (!buffer || size == 0) return buffer;
    buffer[0] = 0;
    if (bitCount < 0) bitCount = 0;
    if (bitCount > 64) bitCount = 64;
    int base = 0, digits = 0;
    if (displayFlags & kRadixBinary) base = 2, digits = bitCount;
    if (displayFlags & kRadixOctal) base = 8, digits = (bitCount + 2) / 3;
    if (displayFlags & kRadixDecimal) base = 10, digits = 0;
    if (displayFlags & kRadixHex) base = 16, digits = (bitCount + 3) / 4;
    if (!base) return buffer;
    char text[80];
    int n = 0;
    do {
        text[n++] = "0123456789ABCDEF"[value % unsigned(base)];
        value /= unsigned(base);
    } while (value && n < 70);
    while (n < digits && n < 70) text[n++] = '0';
    size_t out = 0;
    while (n > 0 && out + 1 < size) buffer[out++] = text[--n];
    buffer[out] = 0;
    return buffer;
}

char* FormatDigitalValue(uint32_t displayFlags, char* buffer, size_t size, uint64_t value, int bitCount) {
    if (displayFlags & kRadixMask) return FormatRadixValue(displayFlags, buffer, size, value, bitCount);
    if (!buffer || size == 0) return buffer;
    char letter[2] = {value < 7 ? kDigitalStateLetters[value] : '?', 0};
    CopyTextBounded(buffer, letter, size);
    return buffer;
}

uint32_t ViewCommandBit(int commandId) {
    if (commandId == 18406) return 0x10000;
    return 1u << (unsigned(commandId) % 32u);
}

// ---- status-bar progress ---------------------------------------------------------------

bool CStatusProgress::Create(void* frame) {
    if (!StatusBar().IsShown()) return false;
    ProgressPort& progress = Progress();
    if (progress.HasControl()) {
        if (!frame) return false;
        created_ = progress.CreateControl(frame);
    } else {
        created_ = true;
    }
    return created_;
}

void CStatusProgress::SetRange(int minimum, int maximum) {
    minimum_ = minimum;
    maximum_ = maximum;
    lastPercent_ = 0;
    if (created_) Progress().SetRange(minimum, maximum);
}

void CStatusProgress::SetPosition(int position) {
    if (!StatusBar().IsShown()) return;
    ProgressPort& progress = Progress();
    if (!created_ && progress.HasControl()) return;
    long long span = (long long)maximum_ - minimum_;
    // An empty range has nothing left to do.
    long long percent = span == 0 ? 100 : ((long long)position - minimum_) * 100 / span;
    if (percent <= lastPercent_) return;
    lastPercent_ = int(percent);
    if (created_) progress.SetPosition(position);
    char text[24];
    std::snprintf(text, sizeof text, "%d%%", lastPercent_);
    StatusBar().SetPaneText(59147, text);
}
