// File paths, search paths and path groups.
//
// Files named without a folder are found along three user path settings (data,
// library, picture), each a ";"-separated folder list, which the ".PATH"
// statements of the circuit being compiled extend at the front. Path buffers hold
// kPathSize bytes (259 characters and the terminator); every routine here that
// writes into a caller's buffer assumes that size unless it takes one.
//
// Paths are POSIX: "/" separates folders, a full path begins with "/".
// Comparisons of paths are exact; extensions compare without case.
#pragma once

#include <string>

#include <cstddef>

class SectionFile;

constexpr size_t kPathSize = 260;

enum PathKind : int {
    kPathData = 0,
    kPathLibrary = 1,
    kPathPicture = 2,
    kPathProgram = 3,
    kPathIndex = 4,  // only through GetPathListEntry: the program directory's "inx" folder
};

constexpr int kResultBadMacroExtension = 12517;  // "%EMacro file's extension must be CIR or MAC."
constexpr int kResultBadDotPath = 10945;         // "%EIncorrect .Path format. ..."

// ---- program, home and temporary folders ----------------------------------------

// Takes the program directory from the running executable (/proc/self/exe).
void InitProgramDirectory();
void FreeProgramDirectory();
// Test seam: sets the program directory (a trailing "/" is dropped).
void SetProgramDirectory(const char* directory);
// The program directory without a trailing "/"; "" before InitProgramDirectory.
const char* ProgramDirectory();

// "<program dir>/<name>", cut to 259 characters.
void MakeProgramPath(char* out, const char* name);
// "<home dir>/<name>", cut to 259 characters (see HomeDirectory).
void MakeHomePath(char* out, const char* name);
// The program directory, "/", the base name of `path`, then `extension`.
void MakeProgramFilePath(char* out, const char* path, const char* extension);
// $TMPDIR, else $TEMP, else $TMP (each cut at its first ";"), else "/tmp"; a "/"
// is added when missing; then the name.
void MakeTempPath(char* out, const char* name);

// Where the program keeps its settings: the program directory when it is
// writable, otherwise "<config>/tarnwick", where <config> is `xdgConfigHome` when
// set and not empty, else "<home>/.config". The fallback folder is created when
// missing. Writes the folder (no trailing "/") into out (kPathSize bytes); returns
// false when no usable folder could be found or made (out then holds the program
// directory).
bool ChooseHomeDirectory(char* out, const char* programDirectory, const char* xdgConfigHome, const char* home);
// The home directory of this run: decided on first use from the program directory
// and the environment ($XDG_CONFIG_HOME, $HOME) with ChooseHomeDirectory, and
// again after the program directory changes.
const char* HomeDirectory();
// Test seam: fixes the home directory (null: decide again on next use).
void SetHomeDirectory(const char* directory);

// ---- name parts --------------------------------------------------------------

// A path read from a file takes "\" as a folder separator: turns each into "/".
void ForwardSlashes(char* path);

// The base name (no directory, no extension).
void GetBaseName(char* out, const char* path);
// Base name and extension, appended to out's current text.
void GetFileName(char* out, const char* path);
// The directory with its final "/", appended to out's current text.
void GetDirectory(char* out, const char* path);
// The extension with its dot, or "".
void GetExtension(char* out, const char* path);
// The last "." when it lies after the last "/", else null.
char* FindExtension(char* path);
const char* FindExtension(const char* path);
// Gives the path the extension (without dot) unless it already has it (compared
// without case). `size` is the buffer size of path.
char* ChangeExtension(char* path, const char* extension, size_t size = kPathSize);
// Gives a path without extension the extension "MAC"; 1 when it did, else 0.
int AddMacroExtension(char* path);
// Replaces the extension by "0", "1", "2", ... until no file of that name exists.
void MakeUniqueFileName(char* path);

// ---- existence -----------------------------------------------------------------

// 0 when the file exists, else 15950 + errno (15952 when it does not exist).
int CheckFileExists(const char* path);
// Finds the first entry of a ";"-list that does not exist: 0 with out set to it;
// 1 with out empty when every entry exists or the list has none; 0 with out
// unchanged when the list is null.
int FindFirstMissingDir(const char* list, char* out);

// ---- settings and search paths ---------------------------------------------------

// The three path settings (kinds 0-2); "" when unset or for other kinds.
const char* GetPathSetting(int kind);
void SetPathSetting(int kind, const char* list);

// Takes the next entry of a ";"-list into out (at most n-1 characters) and returns
// the rest of the list, or null at the end of the list. An entry too long for the
// buffer is stepped over whole: out is then "" and the walk goes on with the rest.
const char* NextPathListEntry(const char* list, char* out, size_t n);
// The kind's search path: its .PATH list, ";", its setting (the setting alone
// while the .PATH list is empty); "" for other kinds.
const char* GetSearchPath(int kind);
// The search path cut at its first ";" (at most 259 characters).
void GetFirstSearchDir(char* out, int kind);
// The index-th non-empty, trimmed entry of the kind's search path: 1, or 0 with out
// empty. Kind kPathIndex has only index 0: "<program dir>/inx".
int GetPathListEntry(int kind, char* out, int index);

// ---- locating files --------------------------------------------------------------

// A name with a "/" that exists: out is its full path. Otherwise the first entry of
// the kind's search path that holds the name gives out. Out is "" when not found.
void SearchPathList(const char* name, int kind, char* out);
// Trims blanks; a bare name is put into the kind's first search folder; then the
// name is made absolute against the current directory. 0, or 15952.
int MakeFullPath(char* name, int kind);
// Locates a file: a name with a folder is made full; a bare name is searched along
// the kind's search path, else placed in its first folder. 0 when the file exists,
// else 15950 + errno with the name left as it was after trimming.
int FindFileOnPaths(char* name, int kind);
// FindFileOnPaths without the existence check; always 0.
int CompleteFilePath(char* name, int kind);
// Moves the file part of `path` into the kind's first search folder (when it has one).
void PlaceInSearchDir(char* path, int kind);
// A macro file name: extension "MAC" added when missing; only ".CIR" and ".MAC" are
// accepted (12517 otherwise); completed along the library path.
int ResolveMacroFileName(char* out, const char* name);
// Records the path at the top of the recent-files list, except in batch runs and
// while a demonstration plays.
void AddRecentFile(const char* path);

// ---- .PATH statements -------------------------------------------------------------

// Appends the folder list of a ".PATH" statement, which the netlist reader has
// read, to the .PATH list of its kind (0 data, 1 library, 2 picture).
// 0, 10945 for a bad kind or 15002.
int AddDotPath(int kind, const char* folders);
// Empties the three .PATH lists.
void ClearDotPaths();

// ---- defaults and path groups ------------------------------------------------------

// A named set of the three path settings; the group list keeps its own copies.
struct PathGroup {
    std::string name;
    std::string data;
    std::string library;
    std::string picture;
};

// Sets empty path settings (all of them when `force`) to the program's data and
// library folders and, when `force` or no group exists, makes the one group "TW8".
void ResetDefaultPaths(bool force);

int PathGroupCount();
// The group at index, or null.
const PathGroup* GetPathGroup(int index);
// Appends a copy of the group; returns its index, -1 out of memory.
int AddPathGroup(const PathGroup& group);
// Replaces the group at index by a copy, growing the array as needed; 0 or 15002.
int SetPathGroup(int index, const PathGroup& group);
void RemovePathGroup(int index);
void ClearPathGroups();
// The [Path Groups] section of tarn.dat, by the file's mode.
int SerializePathGroups(SectionFile& file);
