// Result codes and the pending message.
//
// Every fallible operation returns an int: 0 for success, otherwise the id of the
// string-table message that describes the failure. A failure already shown to the
// user is returned as kResultShown so that callers unwind silently.
#pragma once

#include <cstdarg>
#include <cstddef>

enum ResultCode : int {
    kOk = 0,
    kResultMissingFileName = 264,  // "Missing file name."
    kResultNotFormat = 5355,       // "%EThis File is not a recognizable format."
    kResultNoMemory = 15002,       // "%EInsufficient memory."
    kResultReadError = 15007,      // "%EError in loading file %s."
    kResultWriteError = 15008,     // "%EError in writing file %s."
    kResultBadFormat = 15009,      // "%EBad format in loading file '%s'."
    kResultFileNotFound = 15022,   // "%EFile not found '%s'."
    kResultCannotAccess = 15023,   // "%ECannot access '%s'."
    kResultNoFileName = 15038,     // "%EMust specify filename."
    kResultMissingParam = 15040,   // "%EMissing parameter."
    kResultShown = 15055,          // already shown: report nothing
    kResultPending = 15060,        // the message is the pending text
    kResultPending2 = 15061,
    kResultErrnoBase = 15950,     // + run-time error number
    kResultNoSuchFile = 15952,    // ENOENT; also "not a full path"
    kResultPermission = 15963,    // EACCES
    kResultTooManyFiles = 15974,  // EMFILE; also an open that failed without errno
    kResultNoSpace = 15978,       // ENOSPC; also every short read or write
};

// A port whose owning subsystem is not built yet fails its operations with this
// (an id of the program's own, outside the ranges its string table uses).
constexpr int kResultNotBuilt = 15090;  // "%EThis feature is not available yet."
// A file read as text that holds NUL bytes (a binary or UTF-16 file): it is
// refused whole rather than cut at its first NUL. Its text names the file.
constexpr int kResultNotText = 15092;  // "%E'%s' is not a text file: it holds NUL bytes."

// Run-time error numbers 1..42 have codes 15951..15992 whose text is strerror(n).
constexpr int kRunTimeErrorCount = 43;

// Sets the pending text (the subject a message's %s names); returns the stored copy.
const char* SetPendingText(const char* text);
void SetSecondPendingText(const char* text);
// Formats a message's string-table text with its arguments into the pending text;
// the caller then returns kResultPending. Arguments are printf arguments of the
// message text; user texts must be passed as arguments, never as the format.
void SetPendingMessage(int messageId, ...);
void SetPendingMessageV(int messageId, va_list args);
void ClearPendingMessage();
const char* PendingText();
const char* SecondPendingText();
int PendingCode();

// True for the messages whose %s conversions name the pending text and the second
// pending text (a path, a name).
bool IsSubjectMessage(int code);

// Shows the pending message through the program's reporter (when none is
// installed it is dropped) and returns kResultShown, so callers unwind silently.
int ReportPendingMessage();

// Fills `buffer` with the text of `code` and returns its title: "Error",
// "Warning" or "" (none); the "%E"/"%W" class prefix is removed. For 15060 and
// 15061 the pending message is consumed and *code becomes its message id; the
// subject messages consume both pending texts.
//
// The buffer is a printf FORMAT: the reporter fills the remaining conversions
// with its own arguments. Every '%' that comes from user text (the pending
// texts, a formatted pending message, a path) is therefore written doubled
// ("%%"), so a file named "a%s%n.cir" can never act as a conversion; printf
// shows it as typed. A caller that shows the buffer without printf must first
// undo the doubling (UnescapePercent). A "%%" pair is never cut in two.
const char* FormatPendingMessage(char* buffer, size_t size, int* code);
// Turns every "%%" back into "%", in place.
char* UnescapePercent(char* text);

// Maps errno to a result code: 0 -> 0, -1 -> 15023, other negative -> 15022,
// n in 1..42 -> 15950 + n; larger error numbers (which would collide with other
// message ids) -> 15023.
int ErrnoToResult();
int ErrnoToResult(int errorNumber);

// True when the path's directory is writable and the file does not exist or is
// itself writable (a directory is not).
bool IsPathWritable(const char* path);
// For dialogs that accept an output path: reports 264 for an empty path, 15950 +
// errno when its directory is missing, 15963 when it cannot be written, through
// the installed Reporter(), and then returns 15055; 0 for a good path. Without a
// reporter installed the code itself is returned.
int CheckWritablePath(void* parent, const char* path);

// The Sound preference (set by the preferences owner) and the default message
// beep it governs.
extern bool gSoundEnabled;
void BeepIfEnabled();
