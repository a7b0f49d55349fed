// .OPTIONS statements: the 41 global simulation options of the Global Settings
// (storage in expr/runvars.h) plus MAXTIMESTEP, NUMDGT and METHOD, read from a
// circuit's .OPTIONS / .OPT statements in two passes, and an option's value
// written back into the circuit text.
#pragma once

#include <cstdint>

class CCTDoc;
struct GridTextObject;

enum OptionValueType : int16_t {
    kOptionInteger = 1,
    kOptionDouble = 2,
    kOptionFlag = 3,
};

struct OptionRow {
    const char* keyword;     // upper case
    void* storage;           // int32_t or double in GlobalSettings
    int16_t type;            // OptionValueType
    double minimum;          // the row's bounds (integer rows truncate them)
    double maximum;
};
constexpr int kOptionCount = 41;
// The rows in table order (ABSTOL ... LZERO).
extern const OptionRow OptionsTable[kOptionCount];
// Set when a .OPTIONS statement of the compiled circuit set the row.
extern int32_t OptionSetByStatement[kOptionCount];
// The row of a keyword (without case), or -1.
int FindOptionRow(const char* keyword);
// Clears every row's set-by-statement mark and MethodSetByOptions.
void ClearOptionGivenMarks();

// The analysis settings that .OPTIONS also sets.
extern double MaxTimeStepOption;     // MAXTIMESTEP; 0 = not set
extern int32_t NumDigitsOption;      // NUMDGT; -1 = not set
extern int32_t ActiveMethod;         // 0 GEAR, 1 TRAP
extern int32_t MethodSetByOptions;

// Message ids.
enum OptionsMessage : int {
    kMsgOptionsMethod = 11895,        // "%EMethod must be followed by ether GEAR or TRAP."
    kMsgOptionsMissingValue = 11896,  // "%EMissing value for '%s'."
    kMsgOptionsBadValue = 11897,      // "%EBad value following %s."
    kMsgOptionsExpecting = 11901,     // "%EExpecting '%s' to follow '%s'."
};

// Parses every .OPTIONS / .OPT statement of the document: the first pass those
// of scopes 0 and 1 (and NUMDGT becomes -1), the second those of every other
// scope. 0 or the first error's result.
int ApplyOptionsStatements(CCTDoc* document, int firstPass);
// Parses the text after the keyword. fullMode reads the options table, NUMDGT
// (SPICE text documents) and METHOD; every mode reads MAXTIMESTEP. Unknown
// names become compile notes (kind 4). A value outside a row's bounds is
// clamped to them. 0, or 15055 after a message (options set before the failing
// item keep their values). `statement` (may be null) is the message source.
int ParseOptionsStatement(CCTDoc* document, const char* text, int fullMode, GridTextObject* statement);
// Writes the current value of the option stored at `storage` into the circuit
// text: every .OPTIONS statement naming it is rewritten, else a new line
// ".OPTIONS KEYWORD=value" is appended to the circuit's text page.
void WriteOptionsLine(CCTDoc* document, const void* storage);
// The statement text with the keyword's value replaced (a new heap text), or
// null when the text is no .OPTIONS statement naming the keyword.
char* ReplaceOptionValue(const char* statement, const char* keyword, const char* valueText);

// Services of later subsystems. Unset: not built yet.
struct OptionsServiceHooks {
    // Text pages: calls `edit` with each line of each text page of the
    // document; when edit returns a new heap text the line is replaced by it.
    void (*forEachTextLine)(CCTDoc* document, char* (*edit)(const char* line, void* context),
                            void* context) = nullptr;
    // Appends a line to the circuit's text page.
    void (*appendTextLine)(CCTDoc* document, const char* line) = nullptr;
};
OptionsServiceHooks& OptionsHooks();
