// The log of a batch run: the messages reported while a batch runs go here
// instead of into message boxes, so that an unattended run never waits.
#pragma once

#include <cstdio>

// The open log (not owned: the batch run opens and closes it); null when none.
void SetBatchLog(FILE* log);
FILE* BatchLog();

// Writes a reported message: "<title> <circuit path>" on one line, then each
// line of the text tab-indented; blank lines are dropped. Lines end in CR LF.
// Without an open log the message goes to the standard error stream, so that
// nothing is lost. `circuitName` (may be null) is the circuit the message's
// window shows.
void LogBatchMessage(const char* circuitName, const char* title, const char* text);
