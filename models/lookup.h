// Model lookup: the statement a model name means, found among the circuit's
// .MODEL statements from the part's scope outward, then in the circuit's model
// libraries. A library model is brought into the circuit as a statement of
// scope 1, so every subcircuit finds it through its enclosing scopes and a
// second request does not search the libraries again.
//
// The libraries of a circuit are listed in CircuitModels::LibraryLists: list 0
// holds the circuit's libraries in search order, list 1 is the index
// generator's work list. NOM.LIB is the default master library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "models/modelstmt.h"

class TextFile;

// One library of a list: its full path and, once loaded, the contents of its
// index file after the version word (the record count, then the records).
struct LibraryEntry {
    char* Path;
    char* Index;        // MemAlloc block, owned; null until loaded
    int32_t IndexSize;  // bytes of Index
};

enum LibrarySearchMode : int {
    kFindModel = 1,             // the model of a type and name: statement row or -1
    kFindSubcircuit = 2,        // the subcircuit's position; the library path to the caller's buffer
    kFindMacro = 3,             // 0; the macro statement's text to the caller's buffer
    kListModelsFromSecond = 4,  // every model name of the type, from entry 1 on: -1
    kListModelsOnce = 5,        // each model name of the type once, entry 0 only: -1
    kFindModelAll = 6,          // as 1
    kFindModelInEntry = 7,      // as 1 in one entry
    kReadParameters = 8,        // every .PARAM and .FUNC statement: -1
    kFindSubcircuitInEntry = 9,
    kFindMacroPosition = 10,  // the macro's position; the name to the caller's buffer
    kListModelsAll = 11,      // every model name of the type (combo box): -1
    kReadParametersInEntry = 12,
    kCheckLibraryFiles = 13,  // every indexed file to the library check: -1
    kFindIndexedFile = 14,    // 0 when the file is among the indexed files
    kFindBinnedModel = 16,    // the binned variant of a base name: as 1
};

// The in-memory index records (the index file after its version word).
enum LibraryIndexRecord : uint8_t {
    kIndexCircuitFile = 1,
    kIndexTextFile = 2,
    kIndexBinaryFile = 3,
    kIndexModel = 20,
    kIndexSubcircuit = 21,
    kIndexMacro = 22,
    kIndexParameters = 23,
};

// Copies the name into the buffer (kPathSize bytes), blanks line breaks, keeps
// only quoted text, trims; empty means "NOM.LIB". Completes it along the
// library path: 0, or the search's error (a file open as a document counts as
// found).
int NormalizeLibraryName(char* buffer, const char* name);
// Keeps only the characters between double quotes when the text has any;
// trims blanks. In place.
char* StripQuotedText(char* text);
// Adds a library to list n unless an entry of that path (compared without
// case) is already in list n (or, with searchAll, in any list 0..n): 0 and
// its index in *outIndex (may be null), or the error (the name pending).
int AddLibraryFile(CircuitModels* models, const char* name, int list, int* outIndex, bool searchAll);
// Empties a list, freeing its paths and index contents.
void ClearLibraryList(CircuitModels* models, int list);

// Opens a library's text for reading at a position: a circuit file through
// the library texts' OpenCircuitText (out kind 1), any other file as text (out
// kind 2). 0 or a code.
int OpenLibraryTextAt(TextFile& stream, int mode, const char* path, long start, int line, int page, int* outKind);

// The statement row that a name means in a scope (then in the libraries), or
// -1; *reported is set when a library error was already reported.
int FindModelByName(CircuitModels* models, int type, int scope, const char* name, bool* reported);
// FindModelByName, reporting 10834 (10852 for UIO) when nothing is found.
int FindModelOrReport(CircuitModels* models, int type, int scope, const char* name);
// The model that a part's MODEL text (defines already substituted) names, for
// a part of the model type in a scope; as FindModelOrReport.
int FindPartModelByName(CircuitModels* models, int type, int scope, const char* modelText);

// The binning data of a BSIM3 or BSIM4 statement, computed once.
void ComputeBinningRange(CircuitModels* models, int row, int type);
// The first variant "B.n" of the base name in the scope (then outward) whose
// L and W ranges hold l and w; -1 when none.
int FindBinnedModelInScope(CircuitModels* models, int type, int scope, const char* baseName, double l, double w);
// The binned variants "B.n" of the base name among the circuit's statements
// of the scope and its enclosing scopes, one line each ("Found B.n LEVEL=...
// LMIN=... in the circuit"), appended to `out`.
void ListBinnedVariantsInScope(CircuitModels* models, int type, int scope, const char* baseName,
                               std::vector<std::string>* out);
// FindBinnedModelInScope, then the libraries (mode 16): statement row or -1.
// Library candidates are logged into `log` (may be null).
int FindPartBinnedModel(CircuitModels* models, int type, int scope, const char* baseName, double l, double w,
                        std::vector<std::string>* log);

// What a library search looks for and where its results go.
struct LibrarySearch {
    int type = -1;
    const char* name = nullptr;  // the name looked for (modes 1-3, 6, 7, 9, 10, 14, 16)
    int mode = kFindModel;
    int entry = 0;                             // modes 7, 9, 12: the entry searched
    std::vector<std::string>* list = nullptr;  // list modes: the names found; mode 16: the log
    char* buffer = nullptr;                    // modes 2, 3, 9, 10: the path, text or name found
    size_t bufferSize = 0;
    double l = 0, w = 0;    // mode 16
    int error = 0;          // out: the error that stopped the search (reported)
    int page = 0;           // out: the page of a subcircuit or macro found
    bool reported = false;  // out: an error was reported
};
// Searches the circuit's libraries by the request's mode; see LibrarySearchMode.
long FindInLibraries(CircuitModels* models, LibrarySearch& search);

// Processes the statement at a place of a library text with the statement
// reader: 0 or a code (15055 after a reported open failure).
int ReadLibraryStatementAt(CircuitModels* models, int type, const char* path, long position, int line, int page);

// The library index files (models/libindex.h installs them). Null object: no
// index is loaded, so binary libraries are searched directly and text
// libraries are skipped; the library check sees nothing.
class LibraryIndexes {
public:
    virtual ~LibraryIndexes() = default;
    // Loads or rebuilds entry.Index: 0, or a code already reported (15055).
    virtual int LoadIndex(CircuitModels* models, LibraryEntry& entry) = 0;
    // The library check (mode 13): one indexed file.
    virtual void CheckLibraryFile(const char* path) = 0;
};
LibraryIndexes& LibraryIndexFiles();
// Installs the port (nullptr: the null object); returns the previous one.
LibraryIndexes* InstallLibraryIndexes(LibraryIndexes* port);

// The texts of text libraries and of circuit files used as libraries
// (models/libindex.h installs the reader). Null object: text libraries yield
// nothing and circuit files cannot be opened.
class LibraryTexts {
public:
    virtual ~LibraryTexts() = default;
    // Reads the statement at a place of a text library and, when it is a
    // .MODEL of the type and name, parses it into the circuit (source kind 2,
    // scope 1): the new statement row, or -1 (*error set when an error was
    // reported).
    virtual int ReadLibraryModel(CircuitModels* models, int type, const char* name, const char* path, long position,
                                 int line, int page, int* error) = 0;
    // The macro text at a place of a library (mode 3) into the buffer: true
    // when read; false with *error 0 when nothing can be read, or with the
    // reported code.
    virtual bool ReadMacroText(const char* path, long position, int line, int page, char* buffer, size_t size,
                               int* error) = 0;
    // Opens the text page of a circuit file used as a library (hidden
    // document): 0 or a code (the null object: 15022).
    virtual int OpenCircuitText(TextFile& stream, const char* path, long start, int line, int page) = 0;
    // Whether a path is a circuit file (opened as a hidden document).
    virtual bool IsCircuitFile(const char* path) = 0;
};
LibraryTexts& LibraryTextReader();
LibraryTexts* InstallLibraryTexts(LibraryTexts* port);

// The statement reader the library search hands the .PARAM and .FUNC
// statements of library texts to (the circuit compiler implements it).
class LibraryStatementReader {
public:
    virtual ~LibraryStatementReader() = default;
    // Reads the statement at the stream's position (the place `line` of `path`,
    // `page` of a circuit file) into the circuit: 0 or a code.
    virtual int ReadLibraryStatement(CircuitModels* models, TextFile& stream, const char* path, int line, int page) = 0;
};
// The installed reader, or a null object that reads nothing (result 0).
LibraryStatementReader& LibraryStatements();
// nullptr restores the null object; returns the previous reader.
LibraryStatementReader* InstallLibraryStatementReader(LibraryStatementReader* reader);
