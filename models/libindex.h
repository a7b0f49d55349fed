// Library index files: one binary index per model library, so that a model
// search reads a library text only at the statement it needs.
//
// An index holds a record per file (the library and every library it names
// with .LIB), per .MODEL, .SUBCKT, .MACRO and .PARAM/.FUNC statement, with the
// byte position and line where each statement starts and, for MOS models, the
// LEVEL and the LMIN/LMAX/WMIN/WMAX binning ranges. Layout (little-endian):
//   int16 version (-1 while written, 7 complete), int32 record count, records.
// The record layouts are those the model search walks (models/lookup.cpp).
//
// Library files are only ever read here: the index is written next to the
// library when its folder is writable, else into the "inx" folder of the
// program's home directory. An index is a cache: one that is missing, stale,
// damaged or of another version is built again, never trusted.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CCTDoc;
class TextFile;
struct CircuitModels;
struct LibraryEntry;

constexpr int16_t kLibraryIndexVersion = 7;
constexpr int16_t kLibraryIndexWriting = -1;

enum : int {
    kMsgIndexSaveEdited = 10879,  // "%WFile %s has been edited and must be saved ..."
    kMsgEndsOutsideSubckt = 10931,
};

// The index file of a library: "<folder>/<name>_<ext>.INX" next to it (NOM.LIB
// gives NOM_LIB.INX) when the library's folder can be written, else
// InxFolderPath.
std::string LibraryIndexPath(const char* libraryPath);
// The index in the home directory's "inx" folder: every "/" of the full path
// becomes "_", each "_" the path already had appends the count of "/" met
// before it, then ".inx". The folder is not made here.
std::string InxFolderPath(const char* libraryPath);

// Builds the index of a library and of every library it names: 0, or 15055
// after a reported error (then no index file is left behind). Library list 1
// of the circuit is the work list and is empty again afterwards.
int GenerateLibraryIndex(CircuitModels* models, const char* libraryPath);

// Whether a complete index block (the file after its version word) is well
// formed: every record of a known kind, every field inside the block, the
// first record a file record and nothing after the last record.
bool IsValidIndexBlock(const char* block, int32_t size);

// Loads entry.Index, first rebuilding an index that is missing, stale or
// damaged: 0, or 15055 after a reported error.
int LoadLibraryIndex(CircuitModels* models, LibraryEntry& entry);

// The value of NAME=value in a .MODEL text (names compared without case,
// evaluated quietly): true with *value set when found and evaluated.
bool FindParamValueInText(const char* modelText, const char* name, double* value);

// One statement of a library text: where it starts (byte offset of its first
// character, lines passed before it) and where its last continuation line ends.
struct LibraryStatementSpan {
    long position = 0;
    int line = 0;
    long end = 0;
};
// Walks the statements of a text: a statement is a line that is neither
// empty, nor a "*" comment, nor a "+" continuation, with the continuation
// lines after it (comment lines between them included).
class LibraryTextScanner {
public:
    LibraryTextScanner(const char* text, long length) : text_(text), length_(length) {}
    bool Next(LibraryStatementSpan* out);

private:
    // Moves past the line at pos_; returns where its content ends (before CR LF).
    long EndOfLine();
    const char* text_;
    long length_;
    long pos_ = 0;
    int line_ = 0;
};

// Reads the statement at the stream's position (a line and its "+"
// continuation lines) into `out`, line breaks kept: 0, or 15007 at the end.
int ReadLibraryStatement(TextFile& stream, std::string* out);

// What the index generator and the model search need of open documents (the
// document and text windows implement it). Null object: no library is open in
// a window and circuit files cannot be read as libraries (15090).
class LibraryDocuments {
public:
    virtual ~LibraryDocuments() = default;
    // Whether a window other than the circuit being compiled holds the file
    // with unsaved changes.
    virtual bool IsEdited(CircuitModels* models, const char* path) = 0;
    // Saves that window's document: 0 or a code.
    virtual int Save(const char* path) = 0;
    // Whether an open window's text changed since the file was last indexed;
    // the mark is cleared.
    virtual bool TakeChangedSinceIndex(const char* path) = 0;
    // Whether the file is the circuit being compiled; *unsaved tells whether
    // it has unsaved changes.
    virtual bool IsCompiledCircuit(CircuitModels* models, const char* path, bool* unsaved) = 0;
    // The text pages of a circuit file used as a library, in page order (the
    // page index is the position in the list): 0 or a code.
    virtual int ReadCircuitPages(const char* path, std::vector<std::string>* pages) = 0;
};
LibraryDocuments& OpenLibraryDocuments();
// Installs the port (nullptr: the null object); returns the previous one.
LibraryDocuments* InstallLibraryDocuments(LibraryDocuments* port);

// When another window holds the file with unsaved changes, asks 10879: Yes
// saves it (the save's result), No gives 15055; otherwise 0.
int SaveOpenLibraryIfDirty(CircuitModels* models, const char* path);

// Whether the file is a circuit file ("[Main]" with "FileType=CIR").
bool IsCircuitLibraryFile(const char* path);

// Installs the index files and the library text reader as the model search's
// LibraryIndexes and LibraryTexts; called once at start-up.
void InstallModelLibraryServices();
// Adds the index generator's messages to the string table.
void RegisterLibraryIndexMessages();
