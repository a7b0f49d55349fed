// The log of a batch run: the messages reported while a batch runs go here
// instead of into message boxes, so that an unattended run never waits.
#pragma once

#include <cstdio>

namespace platform {
class Window;
}

// The open log (not owned: the batch run opens and closes it); null when none.
void SetBatchLog(FILE* log);
FILE* BatchLog();

// The circuit name written beside a message's title: the current circuit
// document's path when `window` shows that circuit or its analysis; empty
// otherwise. Unset, the name is empty.
void SetBatchLogNameProvider(const char* (*provider)(platform::Window* window));

// Writes a reported message: "<title> <circuit path>" on one line, then each
// line of the text tab-indented; blank lines are dropped. Lines end in CR LF.
// Without an open log the message goes to the standard error stream, so that
// nothing is lost.
void LogBatchMessage(platform::Window* window, const char* title, const char* text);
