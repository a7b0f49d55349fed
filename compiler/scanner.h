// The statement template scanner (the optional keyword part of instance lines:
// area, OFF, IC=..., L=, W= ...), the part and node name indexes of the
// compiled circuit, part lookup by name and scope, and the part-name checks.
#pragma once

#include <cstddef>
#include <cstdint>

class CCTDoc;
struct SchematicObject;

// ---- the template scanner -------------------------------------------------------------------

// Reads the statement text against a template and stores the values it finds
// through the output pointers, one per value slot of the template (%g, %f, %t,
// %d and flag keywords such as OFF%d) in template order: %g and %f write a
// double, %d and a flag an int32_t, %t a double followed by an int32_t "given"
// flag (a struct {double value; int32_t given;}). `part` is the message
// source and its scope drives define substitution. 0, or 15055 after a message.
// An empty statement returns 0 and touches no output.
int ScanStatement(SchematicObject* part, const char* templateText, const char* statement, ...);
// The same with an explicit output array: a template with more slots than
// `outputCount` is refused with 11900 (nothing is written past the array).
int ScanStatementV(SchematicObject* part, const char* templateText, const char* statement, void* const* outputs,
                   int outputCount);
// The number of output pointers a template takes.
int CountTemplateSlots(const char* templateText);

// A text cursor of the scanner: tokens are terminated in place and the
// overwritten character is restored before the next read.
struct ScanCursor {
    char* position = nullptr;  // where the next token starts; null: exhausted
    char saved = 0;            // the character the last token's terminator replaced
    char* savedAt = nullptr;   // where it was replaced
};
enum ScanTokenMode : int {
    kScanStart = 0,    // start at the text
    kScanRestore = 1,  // put the saved character back
    kScanNext = 2,     // read the next token
    kScanPeek = 3,     // a one-character text of the character at the cursor
};
// The cursor primitive; returns the token (null when none) for kScanNext and
// kScanPeek, else null. `scope` is the define scope of value fields.
const char* ScanToken(ScanCursor* cursor, int mode, char* text, int scope = 1);

// ---- name rules ---------------------------------------------------------------------------

// 1 when the name is null, empty or holds a character that is not a name
// character (letters, digits, $ % * + - / _); "." is accepted with flag 0x40.
int IsInvalidName(const char* name, int flags);
// 0 when the text is an identifier start (letter or "_") followed only by
// letters, digits and "_"; else 1 (a null text gives 1).
int IsPlainIdentifier(const char* text);

enum PartNameCheckFlags : int {
    kCheckDuplicate = 0x02,
    kCheckCharacters = 0x08,
    kCheckReport = 0x20,
    kCheckAllowDot = 0x40,
    kCheckStrict = 0x80,
    kCheckNoReserved = 0x100,
};
// 1 when the name is refused (reserved symbol, bad characters) or duplicated,
// else 0; with kCheckReport the reason is shown (part, else the scope, as the
// source).
int CheckPartName(CCTDoc* document, const char* name, int scope, int flags, SchematicObject* part);
// Set when the user asked to rename parts with bad names and compile again.
extern int CompileRenameRequested;
// Set while a reduced compile (definitions only) runs.
extern int DefinitionsCompileActive;

// ---- name indexes ----------------------------------------------------------------------------

constexpr int kNameAlphabetSize = 44;
// The alphabet index of a character ($ % * + - . / 0-9 A-Z _), -1 for any other.
int NameAlphabetIndex(char c);
// Builds the alphabet map (start-up; safe to call again).
void BuildNameIndexAlphabets();

struct PartIndexCell {
    PartIndexCell* child;
    SchematicObject* part;
};
struct NodeIndexCell {
    NodeIndexCell* child;
    int32_t node;
};

// The part and node name indexes of one compile (a compile session owns them):
// a trie over the name alphabet.
class PartNameIndex {
public:
    PartNameIndex();
    ~PartNameIndex();
    PartNameIndex(const PartNameIndex&) = delete;
    PartNameIndex& operator=(const PartNameIndex&) = delete;
    // 0, or 15055 after ReportCompileOutOfMemory. Names with a character outside
    // the alphabet, and empty names, are not entered (result 0).
    int Insert(const char* name, SchematicObject* part);
    SchematicObject* Find(const char* name);
    int InnerNodeCount() const { return innerNodes_; }
    // Frees every inner node.
    void Clear();

private:
    PartIndexCell root_[kNameAlphabetSize];
    int innerNodes_ = 0;
};
class NodeNameIndex {
public:
    NodeNameIndex();
    ~NodeNameIndex();
    NodeNameIndex(const NodeNameIndex&) = delete;
    NodeNameIndex& operator=(const NodeNameIndex&) = delete;
    int Insert(const char* name, int nodeIndex);
    // The node index, or -1.
    int Find(const char* name);
    int InnerNodeCount() const { return innerNodes_; }
    // How many different names were entered (names outside the alphabet are not).
    int EntryCount() const { return entries_; }
    void Clear();

private:
    NodeIndexCell root_[kNameAlphabetSize];
    int innerNodes_ = 0;
    int entries_ = 0;
};

// ---- part lookup -----------------------------------------------------------------------------

// The part of that name in the scope (-1 any scope, 1 the top level, 0 the
// global include file, 2 and up an instance scope) of the current circuit;
// null when none. Names compare in upper case (at most 99 characters).
SchematicObject* FindPart(const char* name, int scope);
// The qualified name of a part: QualifyName of its PART attribute in its scope
// (a new heap text), or the shared empty text when it has none.
char* GetQualifiedPartName(const SchematicObject* part);
