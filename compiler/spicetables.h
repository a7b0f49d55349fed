// The two tables that decide what a SPICE statement is: the dot commands with
// their statement id (the help topic), the kinds of document they belong to
// and their handler, and the device lines by their first letter.
#pragma once

#include <cstdint>

#include "compiler/statements.h"

// Kind mask bits of a dot command.
enum DotCommandMask : int32_t {
    kDotInCircuits = 1,   // statements of schematic circuits (help there)
    kDotInSpiceText = 2,  // read in SPICE text documents
    kDotInAnyScope = 4,   // also handled inside the global include file and subcircuit bodies
};

struct DotCommandRow {
    const char* keyword;       // without the dot
    int32_t statementId;       // help topic; 0 none
    int32_t mask;              // DotCommandMask bits
    StatementHandler handler;  // none: accepted and ignored
};
constexpr int kDotCommandCount = 43;
extern const DotCommandRow DotCommandTable[kDotCommandCount];

// Indexed by letter 'A' to 'Z'; a letter without handler is an unknown command.
constexpr int kDeviceLetterCount = 26;
extern const StatementHandler DeviceLetterTable[kDeviceLetterCount];

// Hands a statement to the handler of its first letter or dot command: 0, or
// the handler's result; anything else is "%EUnknown command." (10905, 15055).
int DispatchSpiceLine(SpiceStatementContext& context, char* statement);
int DispatchDotCommand(SpiceStatementContext& context, char* statement);

// The dot-command row whose keyword the statement's first word names exactly
// (after its dot) among the rows of the mask, or -1.
int FindDotCommand(const char* statement, int32_t mask);
// The help topic of the statement a line begins with, in a document of the
// kind (1 circuit, 2 text): a dot command's statement id, a device letter's
// 6000 plus its component type; 0 when there is none.
int HelpTopicOfStatement(const char* line, int documentKind);
