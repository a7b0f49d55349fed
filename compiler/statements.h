// The statement tables of SPICE text: dot commands and device letters with
// their handlers, and the reading context every handler receives.
#pragma once

#include <cstdint>
#include <string>

class CCTDoc;

// Where the statement being handled comes from and what reading it has
// learned so far. The SPICE text reader owns one per read of a document.
struct SpiceStatementContext {
    CCTDoc* document = nullptr;
    int32_t scope = 1;  // 0 the global include file, 1 the main circuit, 2.. instances
    int32_t line = 0;   // the statement's first line (from 0)
    int32_t page = 0;   // text page of the document
    bool fromInclude = false;
    std::string fileName;  // the included file's name, else the scope's file
    int32_t dialect = 0;   // SpiceDialect of the text
    bool opSeen = false;   // a .OP statement was read
};

// A handler gets the whole logical statement (continuations joined, comments
// blanked, upper-cased) and may cut it in place: 0, or a result code (15055
// after a shown message).
using StatementHandler = int (*)(SpiceStatementContext& context, char* statement);

// ---- analysis, output and initial-condition statements -------------------------------------
// Each reads its statement into the analysis limits of the document's current
// analysis settings.
int ReadDcStatement(SpiceStatementContext& context, char* statement);
int ReadAcStatement(SpiceStatementContext& context, char* statement);
int ReadTranStatement(SpiceStatementContext& context, char* statement);
int ReadTfStatement(SpiceStatementContext& context, char* statement);
int ReadSensStatement(SpiceStatementContext& context, char* statement);
int ReadNoiseStatement(SpiceStatementContext& context, char* statement);
int ReadTempStatement(SpiceStatementContext& context, char* statement);
int ReadStepStatement(SpiceStatementContext& context, char* statement);
int ReadTrStatementText(SpiceStatementContext& context, char* statement);
int ReadPrintStatement(SpiceStatementContext& context, char* statement);  // .PRINT and .PLOT
int ReadWatchStatement(SpiceStatementContext& context, char* statement);
int ReadIcStatement(SpiceStatementContext& context, char* statement);
int ReadNodesetStatement(SpiceStatementContext& context, char* statement);
