// The SPICE text reader: turns the text of a SPICE circuit into logical
// statements (continuation lines joined, comments blanked, upper-cased),
// follows .INC files through a stack of open sources, keeps .SUBCKT blocks out
// of the main flow, stops at .END and hands every other statement to the
// handler that the dot-command and device-letter tables choose.
//
// The reader's state belongs to the compile session of one document, so two
// circuits read side by side never share a source stack or a word array.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/textfile.h"
#include "document/component_defs.h"

class CCTDoc;
struct SchematicObject;
struct SpiceStatementContext;

// ReadSpiceLine flags.
enum SpiceLineFlags : int {
    kSpiceLineRaw = 0x01,                 // keep line breaks, '+' marks and ';' comments; no upper-casing
    kSpiceLineDotOnly = 0x02,             // other statements are skipped (the text comes back empty)
    kSpiceLineKeepTrailing = 0x04,        // trailing blanks stay
    kSpiceLineNoTrailingComments = 0x08,  // comment lines after a statement are not absorbed
    kSpiceLineUpper = 0x10,               // upper-case even while an attribute dialog edits the text
};

// The result of a read at the end of the data.
constexpr int kResultEndOfSpiceText = 15007;
// The most sources open at once: the text itself and 14 nested includes.
constexpr int kMaxSpiceSources = 15;

// One open source of the stack: the stream and the name messages show.
struct SpiceSource {
    TextFile file;
    std::string name;
    int totalLines = 0;
};

// What the reader keeps between the statements of one compile.
class SpiceReaderState {
public:
    SpiceReaderState() = default;
    ~SpiceReaderState();
    SpiceReaderState(const SpiceReaderState&) = delete;
    SpiceReaderState& operator=(const SpiceReaderState&) = delete;

    // The source being read, null when idle.
    SpiceSource* Current() { return top >= 0 ? &sources[static_cast<size_t>(top)] : nullptr; }
    // Closes every open source from the top down; the index ends at -1.
    void CloseAll();

    std::array<SpiceSource, kMaxSpiceSources> sources;
    int top = -1;
    // The words the current statement was split into (handlers index them
    // from 0, the keyword); valid until the next split.
    std::vector<std::string> words;
    // Component definitions made for SPICE parts: kept as long as the session,
    // since the parts of an earlier compile may still point at them.
    std::vector<std::unique_ptr<ComponentDef>> definitions;
    int definitionCounter = 1;
    // The largest node number given to a SPICE node this compile.
    int largestNode = 0;
    // The reading context of the current ReadSpiceText (null outside it).
    SpiceStatementContext* context = nullptr;
    // The statement being handled (messages show it).
    std::string statement;
    // A .LOADOP statement was read (the compile hands it to the analysis).
    bool loadOperatingPoint = false;
    // A Q, M or J part was made N-type and waits for its model's polarity.
    bool partPolarityPending = false;
    // Subcircuit definitions read once this compile, by name: the text from
    // the .SUBCKT line through its .ENDS, the scope that first read it and
    // the text's dialect. Later calls read that block alone.
    struct KeptDefinition {
        std::string text;
        int scope = 0;
        int dialect = 0;
    };
    std::unordered_map<std::string, KeptDefinition> keptDefinitions;
};

// Reads one logical statement of a source into `out`: 0, 15007 when the source
// has no text left, or 15055 when memory ran out (the source is closed and the
// failure shown). A disk file is read into memory on the first call.
int ReadSpiceLine(TextFile& source, std::string& out, int flags);
// Reads the rest of a disk file into the source's memory, so that statements
// are joined by looking ahead: 0 or 15002.
int LoadSpiceSource(TextFile& source);
// Sets the source's dialect tag: a document's own dialect, else the
// ";$SpiceType=" trailer among the last lines of the text, else the program's
// default (ambiguous when that is none either).
void DetectSpiceDialect(TextFile& source);

// Reads the whole SPICE text of a text circuit into the compile state: 0, or a
// result code (15055 after a shown message).
int ReadSpiceText(CCTDoc* document);
// At each compile start: closes every source and empties the word array;
// 0, or 15055 when the document has no compile session (memory).
int ResetSpiceReader(CCTDoc* document);
// From the release of the compile arrays: frees large words and closes the
// sources.
void ReleaseSpiceReader(CCTDoc* document);

// The reader state of a document's compile session (null when out of memory
// or for a null document).
SpiceReaderState* GetSpiceReader(CCTDoc* document);

// Splits a statement into words: runs of word characters (letters, digits and
// . $ % * + - / _), a braced group whole, a quoted text whole, and each other
// mark one word. The words go to the reader's word array.
void SplitStatementWords(const char* statement, std::vector<std::string>* words);

// ---- word readers on a statement cursor -------------------------------------------------------
// Each first skips blanks, ';' comments, '*' comment lines and '+'
// continuation marks. Words are std::strings: no length limit.

// The run of word characters at the cursor ("" when none).
std::string ReadFirstWord(const char*& cursor);
// The same, but a word that begins with '{' runs to its matching '}'.
std::string ReadWordOrGroup(const char*& cursor);
// The first word and up to `count` further words (fewer at the end).
std::vector<std::string> ReadWords(int count, const char*& cursor);
// A balanced {...} group at the cursor, braces included: 0, or 15055 after
// "%EExpecting '%s'." (11900) with "{" when none starts there and with "}"
// when it is not closed (shown in the scope).
int ReadBraceGroup(const char*& cursor, std::string* out, int scope);
// Every blank character becomes a space; in statement mode also comments and
// continuation marks.
void BlankSpiceText(std::string& text, bool statementMode);

// Pushes an include file onto the source stack of the read in progress:
// 0, or 15055 after a message (10907 when 15 sources are open already, a
// missing file by its file error).
int PushIncludeFile(SpiceStatementContext& context, const std::string& name);
// The file name of an .INC, .LIB or .PATH statement: the text after the
// keyword (after the path kind for .PATH: 0 DATA, 1 LIB or LIBRARY, 2 PIC or
// PICTURE, -1 other), trimmed, double quotes around it dropped. 15047 (the
// statement pending) when only one end carries a quote.
int ParseFileArgument(const char* statement, std::string* name, int* pathKind);
// Records the statement being read as the place of the first compile error.
void RecordSpiceSourceLocation(SpiceStatementContext& context);
// Shows a message about the statement being read, with its file, text and
// 1-based line, and records its place: 15055 (15060 in quiet mode).
int ReportSpiceStatementMessage(SpiceStatementContext& context, const char* statement, int id, const char* argument,
                                SchematicObject* part = nullptr);
// The same for a warning: shown with the rows, the place left unrecorded.
void ReportSpiceStatementWarning(SpiceStatementContext& context, const char* statement, int id, const char* argument);
// A file named by a statement as a full path: beside the file being read
// first, then along the library search path; the name itself when neither has it.
std::string ResolveSpiceFileName(SpiceStatementContext& context, const std::string& name);
// The same for a file named in a statement of the text at `includer`.
std::string ResolveIncludeFileName(const std::string& name, const std::string& includer);

// Word characters of SPICE names: letters, digits and . $ % * + - / _.
inline bool IsSpiceWordChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '$' ||
           c == '%' || c == '*' || c == '+' || c == '-' || c == '/' || c == '_';
}

// The reader's message texts (start-up; RegisterCompilerMessages calls it).
void RegisterSpiceReaderMessages();
