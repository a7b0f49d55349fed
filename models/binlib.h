// Binary model libraries (extension LBR): each model is stored as its name,
// model type, a short memo and its parameter values in the order of the model
// type table. The current format also stores the parameter names of every
// model type it uses, so that a file written with one parameter list can be
// read with another; three older formats are read and converted on load.
//
// A ModelLibrary is the model list of a library document (the library editor
// keeps one per window; the model search and the index generator load one
// without a window).
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/pool.h"

constexpr int32_t kLibraryModelItemType = 38;
constexpr int kLibraryNameSize = 24;  // 23 characters and the terminator
constexpr int kLibraryMemoSize = 42;  // 41 characters and the terminator

constexpr int32_t kModelLibraryVersion = 0x0006000B;   // written and read
constexpr int32_t kModelLibraryVersion1 = 0x00060001;  // read only: no type tables
constexpr int kModelLibraryVersion5 = 5;               // read only: floats, no file header
constexpr int kModelLibraryVersion4 = 4;               // read only: floats, short names
constexpr size_t kModelLibraryReservedSize = 256;
constexpr size_t kLibraryModelHeaderSize = 70;

struct LibraryModel : PoolItem {
    double* Values;               // ParamCount of the type; unset values hold the unset value
    int32_t ModelType;            // an analog model type
    char Memo[kLibraryMemoSize];  // zero-terminated
    char Name[kLibraryNameSize];  // zero-terminated
};

struct ModelLibrary {
    ObjectPool Models;  // LibraryModel items, in file order
    int32_t Modified = 0;

    ModelLibrary();
    ~ModelLibrary();
    ModelLibrary(const ModelLibrary&) = delete;
    ModelLibrary& operator=(const ModelLibrary&) = delete;

    LibraryModel* First() const { return static_cast<LibraryModel*>(Models.first); }
    static LibraryModel* Next(const LibraryModel* model) { return static_cast<LibraryModel*>(model->next); }

    // A new model of the type at the end of the list, its values set to the
    // table defaults; null after reporting 15002. Marks the library modified.
    LibraryModel* AddNewModel(int type);
    void DeleteModel(LibraryModel* model);
    void DeleteAllModels();
};

// Reads a library file into the library (its old models are removed first):
// 0 or a code (15055 after a reported error when `report`). After a failed
// load the library is empty. With `convertOlder` a file of an older format is
// renamed (extension A, or B ... Y when taken) and written again in the
// current format; readers that only look (the model search, the index
// generator) leave the file as it is.
int LoadModelLibrary(ModelLibrary& library, const char* path, bool report, bool convertOlder = true);
// Writes the library in the current format: to a temporary file in the same
// folder, renamed over the path once complete. 0 and the library unmodified,
// or the error with the old file untouched and the library still modified.
int SaveModelLibrary(ModelLibrary& library, const char* path);
// True for a binary library file of version 4, 5, 0x60001 or 0x6000B.
bool IsModelLibraryFile(const char* path);

// Models ordered by type (table order), then by name (digit runs by value).
void SortModelLibrary(ModelLibrary& library);
// Removes unnamed models and, per type, every later model of a name already
// seen (compared without case).
void RemoveDuplicateModels(ModelLibrary& library);
void CleanUpModelLibrary(ModelLibrary& library);

// Position of the named model among the models of the type (name compared
// without case), -1 when none.
int FindLibraryModelIndex(const ModelLibrary& library, const char* name, int type);
LibraryModel* NthLibraryModelOfType(const ModelLibrary& library, int type, int n);
int CountLibraryModelsOfType(const ModelLibrary& library, int type);
// The named model of the type (name compared without case), or null.
LibraryModel* FindLibraryModel(const ModelLibrary& library, const char* name, int type);

// The type's display name ("DIODE", "NMOS LEVEL 8 (BSIM 3)"); "" for a type
// without one.
char* ModelTypeDisplayName(char* buffer, int type, size_t size);
// Trims the name and replaces every character that is not a name character
// (letters, digits, $ % * + - / _) by "_"; for BSIM3 and BSIM4 types the last
// point is kept. In place.
char* SanitizeModelName(int type, char* name);
