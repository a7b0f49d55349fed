// .OPTIONS statements: the 41 simulation options of the Global Settings (the
// fields of expr/runvars.h) plus MAXTIMESTEP, NUMDGT and METHOD, read from a
// circuit's .OPTIONS / .OPT statements in two passes into the circuit's own
// options, and an option's value written back into the circuit text.
#pragma once

#include <cstddef>
#include <cstdint>

#include "expr/runvars.h"

class CCTDoc;
struct GridTextObject;

enum OptionValueType : int16_t {
    kOptionInteger = 1,
    kOptionDouble = 2,
    kOptionFlag = 3,
};

struct OptionRow {
    const char* keyword;  // upper case
    size_t offset;        // of the int32_t or double in GlobalSettingValues
    int16_t type;         // OptionValueType
    double minimum;       // the row's bounds (integer rows truncate them)
    double maximum;
};
constexpr int kOptionCount = 41;
// The rows in table order (ABSTOL ... LZERO).
extern const OptionRow OptionsTable[kOptionCount];
// The row of a keyword (without case), or -1.
int FindOptionRow(const char* keyword);

// The options one circuit runs with: a copy of the user's global settings that
// its .OPTIONS statements change, and the analysis settings .OPTIONS also sets.
// The global settings themselves stay the user's defaults.
struct CircuitOptions {
    GlobalSettingValues settings;
    int32_t setByStatement[kOptionCount] = {};  // set when a statement set the row
    double maxTimeStep = 0;                     // MAXTIMESTEP; 0 = not set
    int32_t numDigits = -1;                     // NUMDGT; -1 = not set
    int32_t method = 1;                         // 0 GEAR, 1 TRAP
    int32_t methodSetByOptions = 0;

    // Back to the defaults: `defaults` copied, nothing set by a statement.
    void Reset(const GlobalSettingValues& defaults);
    // A row's value as a double (integer and flag rows converted).
    double RowValue(int row) const;
    // Stores a value into a row, clamped to the row's bounds (integer rows
    // rounded to the nearest integer).
    void StoreRow(int row, double value);
};

// The options of a circuit document's compile session (made on first use from
// the global settings); null for a null document or when out of memory.
CircuitOptions* GetCircuitOptions(CCTDoc* document);

// Message ids.
enum OptionsMessage : int {
    kMsgOptionsMethod = 11895,        // "%EMethod must be followed by ether GEAR or TRAP."
    kMsgOptionsMissingValue = 11896,  // "%EMissing value for '%s'."
    kMsgOptionsBadValue = 11897,      // "%EBad value following %s."
    kMsgOptionsExpecting = 11901,     // "%EExpecting '%s' to follow '%s'."
};

// Parses every .OPTIONS / .OPT statement of the circuit into its options: the
// first pass starts from a fresh copy of the global settings and reads the
// statements of scopes 0 (the global include file) and 1 (the document's grid
// texts and text pages); the second pass those of every other scope, where only
// MAXTIMESTEP is read. 0 or the first error's result.
int ApplyOptionsStatements(CCTDoc* document, int firstPass);
// Parses the text after the keyword into the document's options (a null
// document parses into a scratch copy). fullMode reads the options table,
// NUMDGT (SPICE text documents) and METHOD; every mode reads MAXTIMESTEP.
// Unknown names become compile notes (kind 4). A value outside a row's bounds
// is clamped to them. 0, or 15055 after a message (options set before the
// failing item keep their values). `statement` (may be null) is the message
// source.
int ParseOptionsStatement(CCTDoc* document, const char* text, int fullMode, GridTextObject* statement);
// Writes the circuit's current value of an option row into its text: every
// .OPTIONS statement naming it (placed statements and text-page lines) is
// rewritten, else a new line ".OPTIONS KEYWORD=value" is appended to the
// circuit's text page.
void WriteOptionsLine(CCTDoc* document, int row);
// The statement text with the keyword's value replaced (a new heap text), or
// null when the text is no .OPTIONS statement naming the keyword.
char* ReplaceOptionValue(const char* statement, const char* keyword, const char* valueText);
