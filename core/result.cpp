// Result codes and the process-wide pending message.
#include "core/result.h"

#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/memory.h"
#include "core/messages.h"
#include "core/report_port.h"

namespace {

// Null stands for the shared empty string so that no allocation happens before main.
char* rs_pendingText = nullptr;
char* rs_secondPendingText = nullptr;
int rs_pendingCode = 0;

constexpr size_t kPendingMessageSize = 2000;

const char* rs_Text(const char* s) { return s ? s : ""; }

void rs_Reset(char** field) {
    if (*field && !IsSharedEmpty(*field)) FreeString(field);
    *field = nullptr;
}

bool rs_HasClassPrefix(const char* text) {
    return (text[0] == '%' || text[0] == '#') && (text[1] == 'E' || text[1] == 'W');
}

// Appends `text` to buffer[*used] with every '%' doubled; a pair is never split at
// the end of the buffer, so the result stays a valid printf format.
void rs_AppendEscaped(char* buffer, size_t size, size_t* used, const char* text) {
    for (const char* p = text; *p; ++p) {
        size_t need = *p == '%' ? 2 : 1;
        if (*used + need >= size) break;
        buffer[(*used)++] = *p;
        if (*p == '%') buffer[(*used)++] = '%';
    }
    buffer[*used] = 0;
}

void rs_AppendRaw(char* buffer, size_t size, size_t* used, const char* text, size_t n) {
    for (size_t i = 0; i < n && text[i] && *used + 1 < size; ++i) buffer[(*used)++] = text[i];
    buffer[*used] = 0;
}

// Fills the %s conversions of a message body with the two subjects, doubling every
// '%' of a subject. Literal "%%" and conversions other than %s stay as they are:
// the reporter's own printf resolves them.
void rs_FormatSubjects(char* buffer, size_t size, size_t* used, const char* body, const char* first,
                       const char* second) {
    const char* subjects[2] = {first, second};
    int next = 0;
    const char* p = body;
    while (*p && *used + 1 < size) {
        if (*p != '%') {
            buffer[(*used)++] = *p++;
            continue;
        }
        if (p[1] == '%') {
            rs_AppendRaw(buffer, size, used, p, 2);
            p += 2;
            continue;
        }
        const char* end = p + 1;
        while (*end && std::strchr("-+ #0123456789.*", *end)) ++end;
        if (*end == 's' && next < 2 && !std::strchr(std::string(p, end).c_str(), '*')) {
            std::string conversion(p, end + 1);
            char filled[kPendingMessageSize];
            std::snprintf(filled, sizeof filled, conversion.c_str(), subjects[next++]);
            rs_AppendEscaped(buffer, size, used, filled);
            p = end + 1;
        } else {
            size_t n = *end ? size_t(end + 1 - p) : size_t(end - p);
            rs_AppendRaw(buffer, size, used, p, n);
            p += n;
        }
    }
    buffer[*used] = 0;
}

}  // namespace

const char* SetPendingText(const char* text) {
    rs_pendingCode = 0;
    if (!text || !*text) {
        rs_Reset(&rs_pendingText);
        return SharedEmptyString();
    }
    if (text == rs_pendingText) return rs_pendingText;
    char* copy = DuplicateString(text);
    rs_Reset(&rs_pendingText);
    rs_pendingText = copy;
    return copy ? copy : SharedEmptyString();
}

void SetSecondPendingText(const char* text) {
    if (text == rs_secondPendingText) return;
    char* copy = text && *text ? DuplicateString(text) : nullptr;
    rs_Reset(&rs_secondPendingText);
    rs_secondPendingText = copy;
}

void SetPendingMessage(int messageId, ...) {
    va_list args;
    va_start(args, messageId);
    SetPendingMessageV(messageId, args);
    va_end(args);
}

void SetPendingMessageV(int messageId, va_list args) {
    const char* text = rs_Text(GetMessageText(messageId));
    char buffer[kPendingMessageSize];
    size_t used = 0;
    // The class prefix "%E" would read as a printf conversion: keep it verbatim.
    if (rs_HasClassPrefix(text)) {
        rs_AppendRaw(buffer, sizeof buffer, &used, text, 2);
        text += 2;
    }
    std::vsnprintf(buffer + used, sizeof buffer - used, text, args);
    buffer[sizeof buffer - 1] = 0;
    char* copy = DuplicateString(buffer);
    rs_Reset(&rs_pendingText);
    rs_pendingText = copy;
    rs_pendingCode = messageId;
}

void ClearPendingMessage() {
    rs_Reset(&rs_pendingText);
    rs_Reset(&rs_secondPendingText);
    rs_pendingCode = 0;
}

const char* PendingText() { return rs_Text(rs_pendingText); }
const char* SecondPendingText() { return rs_Text(rs_secondPendingText); }
int PendingCode() { return rs_pendingCode; }

bool IsSubjectMessage(int code) {
    return code == 15003 || (code >= 15007 && code <= 15009) || (code >= 15015 && code <= 15023) ||
           (code >= 15027 && code <= 15029) || code == 15047 || code == 15050;
}

const char* FormatPendingMessage(char* buffer, size_t size, int* code) {
    if (!buffer || size == 0) return "";
    buffer[0] = 0;
    size_t used = 0;
    const char* title = "";
    int c = code ? *code : 0;
    if (c == kResultPending || c == kResultPending2) {
        const char* pending = PendingText();
        if (rs_HasClassPrefix(pending)) {
            rs_AppendRaw(buffer, size, &used, pending, 2);
            pending += 2;
        }
        rs_AppendEscaped(buffer, size, &used, pending);
        rs_Reset(&rs_pendingText);
        if (code) *code = rs_pendingCode;
        rs_pendingCode = 0;
    } else if (c > kResultErrnoBase && c < kResultErrnoBase + kRunTimeErrorCount) {
        rs_AppendEscaped(buffer, size, &used, std::strerror(c - kResultErrnoBase));
        if (c == kResultNoSuchFile || c == kResultPermission || c == kResultTooManyFiles) {
            rs_AppendRaw(buffer, size, &used, " ", 1);
            rs_AppendEscaped(buffer, size, &used, PendingText());
        }
        title = "Error";
    } else if (IsSubjectMessage(c)) {
        const char* text = rs_Text(GetMessageText(c));
        if (rs_HasClassPrefix(text)) {
            rs_AppendRaw(buffer, size, &used, text, 2);
            text += 2;
        }
        rs_FormatSubjects(buffer, size, &used, text, PendingText(), SecondPendingText());
        rs_Reset(&rs_pendingText);
        rs_Reset(&rs_secondPendingText);
    } else {
        rs_AppendRaw(buffer, size, &used, rs_Text(GetMessageText(c)), size);
        // A cut text must not end in half a conversion.
        size_t run = 0;
        while (run < used && buffer[used - 1 - run] == '%') ++run;
        if (run % 2) buffer[--used] = 0;
    }
    buffer[size - 1] = 0;
    if (rs_HasClassPrefix(buffer)) {
        title = buffer[1] == 'E' ? "Error" : "Warning";
        std::memmove(buffer, buffer + 2, std::strlen(buffer + 2) + 1);
    }
    return title;
}

int ErrnoToResult() { return ErrnoToResult(errno); }

int ErrnoToResult(int errorNumber) {
    if (errorNumber == 0) return kOk;
    if (errorNumber == -1) return kResultCannotAccess;
    if (errorNumber < 0) return kResultFileNotFound;
    // Error numbers past the run time's classic text table would collide with
    // other messages' ids.
    if (errorNumber >= kRunTimeErrorCount) return kResultCannotAccess;
    return kResultErrnoBase + errorNumber;
}

namespace {

std::string rs_DirectoryOf(const char* path) {
    const char* slash = std::strrchr(path, '/');
    if (!slash) return ".";
    if (slash == path) return "/";
    return std::string(path, slash);
}

}  // namespace

bool IsPathWritable(const char* path) {
    if (!path || !*path) return false;
    std::string dir = rs_DirectoryOf(path);
    if (access(dir.c_str(), W_OK) != 0) return false;
    struct stat info;
    if (stat(path, &info) != 0) return errno == ENOENT;
    if (S_ISDIR(info.st_mode)) return false;
    return access(path, W_OK) == 0;
}

namespace {

// Without a reporter the caller gets the code itself to show or pass on.
int rs_Report(void* parent, int code) {
    (void)parent;  // a dialog's own handle, not a window the reporter knows
    if (Reporter().Report(Message(code)) == kMessageNoReporter) return code;
    return kResultShown;
}

}  // namespace

int CheckWritablePath(void* parent, const char* path) {
    if (!path || !*path) return rs_Report(parent, kResultMissingFileName);
    std::string dir = rs_DirectoryOf(path);
    struct stat info;
    if (stat(dir.c_str(), &info) != 0) {
        int code = ErrnoToResult(errno);
        SetPendingText(path);
        return rs_Report(parent, code);
    }
    if (!S_ISDIR(info.st_mode)) {
        SetPendingText(path);
        return rs_Report(parent, kResultErrnoBase + ENOTDIR);
    }
    if (!IsPathWritable(path)) {
        SetPendingText(path);
        return rs_Report(parent, kResultPermission);
    }
    return kOk;
}

char* UnescapePercent(char* text) {
    if (!text) return text;
    char* out = text;
    for (const char* p = text; *p; ++p) {
        *out++ = *p;
        if (p[0] == '%' && p[1] == '%') ++p;
    }
    *out = 0;
    return text;
}

bool gSoundEnabled = true;

void BeepIfEnabled() {
    if (gSoundEnabled) Reporter().Beep();
}

int ReportPendingMessage() {
    Reporter().Report(Message(kResultPending));
    ClearPendingMessage();
    return kResultShown;
}
