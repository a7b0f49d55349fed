// The shell's rows of the program's string table, and the loaders that read
// message and prompt texts into caller buffers.
#pragma once

#include <cstddef>

// Adds the shell's rows (dialog prompts, captions, status-bar templates, the
// questions of the main frame) to the string table. Safe to call more than once.
void RegisterShellMessages();

// Loads the text of `id` into `buffer` (at most size - 1 characters, always
// terminated; empty when the table has no text). A leading "%E" or "%W" class
// prefix becomes "#E" or "#W". Returns the buffer.
char* LoadMessageText(char* buffer, int id, size_t size);
// Loads the text unchanged; returns its length in the buffer.
int LoadStringText(char* buffer, int id, size_t size);
// As LoadMessageText into one program-wide 200-byte buffer, which the next call
// overwrites.
const char* LoadMessageTextShared(int id);

// String-table ids the shell itself uses.
constexpr int kMsgCloseDialog = 23;  // "Close this dialog."
constexpr int kMsgCopyFromDefaults = 1348;
constexpr int kMsgCopyToDefaults = 1349;
constexpr int kMsgRestoreDefaults = 1350;
constexpr int kMsgProgramName = 5356;       // "Tarnwick"
constexpr int kMsgQuitQuestion = 14063;     // "Quit Tarnwick?"
constexpr int kMsgStatusBarPrompt = 17680;  // "The Status Bar"
constexpr int kMsgWait = 17888;             // "Wait"
constexpr int kMsgPromptOk = 18001;
constexpr int kMsgPromptCancel = 18002;
constexpr int kMsgPromptHelp = 18009;
constexpr int kMsgPromptApply = 18012;
constexpr int kMsgUserDefinedColor = 19816;  // "User defined color"
