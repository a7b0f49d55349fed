#include "core/paths.h"

#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "core/cmdline.h"
#include "core/memory.h"
#include "core/recentlist.h"
#include "core/result.h"
#include "core/sectionfile.h"

namespace {

struct PathState {
    char* settings[3] = {};
    char* dotPaths[3] = {};
    char* combined[3] = {};
    char* programDirectory = nullptr;
    char* homeDirectory = nullptr;
    bool homeFixed = false;  // set through SetHomeDirectory, not decided here
    std::vector<PathGroup> groups;
};

PathState& pt_State() {
    static PathState state;
    return state;
}

const char* pt_Text(const char* text) { return text ? text : ""; }

bool pt_IsBlank(char c) { return c == ' ' || c == '\t'; }

// Removes blanks and tabs at both ends, in place.
void pt_Trim(char* text) {
    size_t n = strlen(text);
    while (n > 0 && pt_IsBlank(text[n - 1])) text[--n] = 0;
    size_t start = 0;
    while (pt_IsBlank(text[start])) start++;
    if (start > 0) memmove(text, text + start, n - start + 1);
}

// Joins folder and name with one "/" between them; false (out empty) when the
// result would not fit in kPathSize bytes.
bool pt_Join(char* out, const char* folder, const char* name) {
    size_t folderLength = strlen(folder);
    bool slash = folderLength > 0 && folder[folderLength - 1] != '/';
    size_t total = folderLength + (slash ? 1 : 0) + strlen(name);
    if (total >= kPathSize) {
        out[0] = 0;
        return false;
    }
    char joined[kPathSize];
    FormatBounded(joined, sizeof joined, "%s%s%s", folder, slash ? "/" : "", name);
    memcpy(out, joined, total + 1);
    return true;
}

// Appends text to the buffer, cutting at kPathSize - 1 characters.
void pt_AppendBounded(char* out, const char* text, size_t length) {
    size_t have = strlen(out);
    if (have >= kPathSize - 1) return;
    size_t room = kPathSize - 1 - have;
    if (length > room) length = room;
    memcpy(out + have, text, length);
    out[have + length] = 0;
}

const char* pt_LastSlash(const char* path) { return strrchr(path, '/'); }

const char* pt_FilePart(const char* path) {
    const char* slash = pt_LastSlash(path);
    return slash ? slash + 1 : path;
}

// Makes a path absolute against the current directory and folds "." and ".."
// steps and doubled slashes, keeping a final "/". False when it does not fit.
bool pt_MakeAbsolute(char* path) {
    char work[2 * kPathSize + 2];
    if (path[0] == '/') {
        CopyTextBounded(work, path, sizeof work);
    } else {
        char cwd[kPathSize];
        if (getcwd(cwd, sizeof cwd) == nullptr) return false;
        if (strlen(cwd) + 1 + strlen(path) >= sizeof work) return false;
        FormatBounded(work, sizeof work, "%s/%s", cwd, path);
    }
    size_t length = strlen(work);
    bool trailingSlash = length > 0 && work[length - 1] == '/';
    char result[sizeof work];
    size_t out = 0;
    result[out++] = '/';
    const char* p = work;
    while (*p) {
        while (*p == '/') p++;
        const char* start = p;
        while (*p && *p != '/') p++;
        size_t segment = static_cast<size_t>(p - start);
        if (segment == 0 || (segment == 1 && start[0] == '.')) continue;
        if (segment == 2 && start[0] == '.' && start[1] == '.') {
            // Back to the previous "/" (never above the root).
            if (out > 1) {
                out--;
                while (out > 1 && result[out - 1] != '/') out--;
            }
            continue;
        }
        if (out > 1 && result[out - 1] != '/') result[out++] = '/';
        memcpy(result + out, start, segment);
        out += segment;
    }
    if (trailingSlash && result[out - 1] != '/') result[out++] = '/';
    // A trailing "/" left by ".." folding is kept only when the path asked for one.
    if (!trailingSlash && out > 1 && result[out - 1] == '/') out--;
    result[out] = 0;
    if (out >= kPathSize) return false;
    memcpy(path, result, out + 1);
    return true;
}

bool pt_IsDirectory(const char* path) {
    struct stat info;
    return stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

// Creates a folder and its missing parents.
bool pt_MakeFolders(const char* path) {
    char work[kPathSize];
    if (strlen(path) >= sizeof work) return false;
    CopyTextBounded(work, path, sizeof work);
    for (char* p = work + 1; *p; p++) {
        if (*p != '/') continue;
        *p = 0;
        if (!pt_IsDirectory(work) && mkdir(work, 0755) != 0 && errno != EEXIST) return false;
        *p = '/';
    }
    if (!pt_IsDirectory(work) && mkdir(work, 0755) != 0 && errno != EEXIST) return false;
    return pt_IsDirectory(work);
}

}  // namespace

// ---- program, home and temporary folders ----------------------------------------

void InitProgramDirectory() {
    char exe[kPathSize];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0) {
        SetProgramDirectory("");
        return;
    }
    exe[n] = 0;
    char* slash = strrchr(exe, '/');
    if (slash) *slash = 0;
    SetProgramDirectory(exe);
}

void FreeProgramDirectory() {
    PathState& state = pt_State();
    FreeString(&state.programDirectory);
    FreeString(&state.homeDirectory);
    state.homeFixed = false;
}

void SetProgramDirectory(const char* directory) {
    char work[kPathSize];
    CopyTextBounded(work, pt_Text(directory), sizeof work);
    size_t n = strlen(work);
    while (n > 0 && work[n - 1] == '/') work[--n] = 0;
    PathState& state = pt_State();
    SetString(&state.programDirectory, work);
    // The home directory follows from the program directory unless it was fixed.
    if (!state.homeFixed) FreeString(&state.homeDirectory);
}

const char* ProgramDirectory() { return pt_Text(pt_State().programDirectory); }

void MakeProgramPath(char* out, const char* name) {
    FormatBounded(out, kPathSize, "%s/%s", ProgramDirectory(), pt_Text(name));
}

void MakeHomePath(char* out, const char* name) {
    FormatBounded(out, kPathSize, "%s/%s", HomeDirectory(), pt_Text(name));
}

void MakeProgramFilePath(char* out, const char* path, const char* extension) {
    char base[kPathSize];
    GetBaseName(base, pt_Text(path));
    FormatBounded(out, kPathSize, "%s/%s", ProgramDirectory(), base);
    ChangeExtension(out, extension);
}

void MakeTempPath(char* out, const char* name) {
    char folder[kPathSize] = {};
    for (const char* variable : {"TMPDIR", "TEMP", "TMP"}) {
        const char* value = getenv(variable);
        if (value == nullptr) continue;
        CopyTextBounded(folder, value, sizeof folder);
        if (char* semicolon = strchr(folder, ';')) *semicolon = 0;
        if (folder[0] != 0) break;
    }
    if (folder[0] == 0) CopyTextBounded(folder, "/tmp", sizeof folder);
    size_t n = strlen(folder);
    if (folder[n - 1] != '/' && n + 1 < sizeof folder) {
        folder[n] = '/';
        folder[n + 1] = 0;
    }
    FormatBounded(out, kPathSize, "%s%s", folder, pt_Text(name));
}

bool ChooseHomeDirectory(char* out, const char* programDirectory, const char* xdgConfigHome, const char* home) {
    programDirectory = pt_Text(programDirectory);
    if (programDirectory[0] != 0 && pt_IsDirectory(programDirectory) && access(programDirectory, W_OK) == 0) {
        CopyTextBounded(out, programDirectory, kPathSize);
        return true;
    }
    char folder[kPathSize];
    int n = -1;
    if (xdgConfigHome != nullptr && xdgConfigHome[0] != 0)
        n = FormatBounded(folder, sizeof folder, "%s/tarnwick", xdgConfigHome);
    else if (home != nullptr && home[0] != 0)
        n = FormatBounded(folder, sizeof folder, "%s/.config/tarnwick", home);
    if (n > 0 && static_cast<size_t>(n) < sizeof folder - 1 && pt_MakeFolders(folder)) {
        CopyTextBounded(out, folder, kPathSize);
        return true;
    }
    CopyTextBounded(out, programDirectory, kPathSize);
    return false;
}

const char* HomeDirectory() {
    PathState& state = pt_State();
    if (state.homeDirectory == nullptr) {
        char folder[kPathSize];
        ChooseHomeDirectory(folder, ProgramDirectory(), getenv("XDG_CONFIG_HOME"), getenv("HOME"));
        SetString(&state.homeDirectory, folder);
    }
    return pt_Text(state.homeDirectory);
}

void SetHomeDirectory(const char* directory) {
    PathState& state = pt_State();
    state.homeFixed = directory != nullptr;
    if (directory == nullptr) {
        FreeString(&state.homeDirectory);
        return;
    }
    char work[kPathSize];
    CopyTextBounded(work, directory, sizeof work);
    size_t n = strlen(work);
    while (n > 1 && work[n - 1] == '/') work[--n] = 0;
    SetString(&state.homeDirectory, work);
}

// ---- name parts --------------------------------------------------------------

void ForwardSlashes(char* path) {
    if (path == nullptr) return;
    for (char* p = path; *p; p++) {
        if (*p == '\\') *p = '/';
    }
}

const char* FindExtension(const char* path) {
    if (path == nullptr) return nullptr;
    const char* dot = strrchr(path, '.');
    if (dot == nullptr) return nullptr;
    const char* slash = pt_LastSlash(path);
    return slash != nullptr && dot < slash ? nullptr : dot;
}

char* FindExtension(char* path) { return const_cast<char*>(FindExtension(static_cast<const char*>(path))); }

void GetBaseName(char* out, const char* path) {
    path = pt_Text(path);
    const char* file = pt_FilePart(path);
    const char* extension = FindExtension(path);
    size_t length = extension ? static_cast<size_t>(extension - file) : strlen(file);
    if (length >= kPathSize) length = kPathSize - 1;
    memcpy(out, file, length);
    out[length] = 0;
}

void GetFileName(char* out, const char* path) {
    const char* file = pt_FilePart(pt_Text(path));
    pt_AppendBounded(out, file, strlen(file));
}

void GetDirectory(char* out, const char* path) {
    path = pt_Text(path);
    const char* slash = pt_LastSlash(path);
    if (slash != nullptr) pt_AppendBounded(out, path, static_cast<size_t>(slash - path) + 1);
}

void GetExtension(char* out, const char* path) {
    const char* extension = FindExtension(pt_Text(path));
    CopyTextBounded(out, extension ? extension : "", kPathSize);
}

char* ChangeExtension(char* path, const char* extension, size_t size) {
    extension = pt_Text(extension);
    char* current = FindExtension(path);
    if (current != nullptr) {
        if (strcasecmp(current + 1, extension) == 0) return path;
        *current = 0;
    }
    size_t length = strlen(path);
    if (length + 1 < size) {
        path[length] = '.';
        CopyTextBounded(path + length + 1, extension, size - length - 1);
    }
    return path;
}

int AddMacroExtension(char* path) {
    if (FindExtension(path) != nullptr) return 0;
    ChangeExtension(path, "MAC");
    return 1;
}

void MakeUniqueFileName(char* path) {
    char number[16];
    // The bound only keeps a folder that answers "exists" to everything from
    // looping for ever.
    for (int i = 0; i < 1000000; i++) {
        FormatBounded(number, sizeof number, "%d", i);
        ChangeExtension(path, number);
        if (CheckFileExists(path) != 0) return;
    }
}

// ---- existence -----------------------------------------------------------------

int CheckFileExists(const char* path) {
    if (path == nullptr || path[0] == 0) return kResultNoSuchFile;
    struct stat info;
    if (stat(path, &info) == 0) return kOk;
    return ErrnoToResult(errno);
}

int FindFirstMissingDir(const char* list, char* out) {
    if (list == nullptr) return 0;
    char entry[kPathSize];
    for (const char* rest = list; (rest = NextPathListEntry(rest, entry, sizeof entry)) != nullptr;) {
        pt_Trim(entry);
        if (entry[0] != 0 && CheckFileExists(entry) != 0) {
            CopyTextBounded(out, entry, kPathSize);
            return 0;
        }
    }
    out[0] = 0;
    return 1;
}

// ---- settings and search paths ---------------------------------------------------

const char* GetPathSetting(int kind) {
    if (kind < 0 || kind > 2) return "";
    return pt_Text(pt_State().settings[kind]);
}

void SetPathSetting(int kind, const char* list) {
    if (kind < 0 || kind > 2) return;
    SetString(&pt_State().settings[kind], pt_Text(list));
}

const char* NextPathListEntry(const char* list, char* out, size_t n) {
    if (n > 0) out[0] = 0;
    if (list == nullptr) return nullptr;
    const char* p = list;
    while (*p == ';') p++;
    if (*p == 0) return nullptr;
    const char* start = p;
    while (*p && *p != ';') p++;
    size_t length = static_cast<size_t>(p - start);
    // An entry that does not fit is stepped over whole rather than cut (a cut
    // folder name would name some other folder) or taken as the end of the list.
    if (n > 0 && length < n) {
        memcpy(out, start, length);
        out[length] = 0;
    }
    while (*p == ';') p++;
    return p;
}

const char* GetSearchPath(int kind) {
    PathState& state = pt_State();
    if (kind == kPathProgram) return ProgramDirectory();
    if (kind < 0 || kind > 2) return "";
    const char* setting = pt_Text(state.settings[kind]);
    const char* dot = state.dotPaths[kind];
    if (dot == nullptr || dot[0] == 0) return setting;
    if (FormatString(&state.combined[kind], "%s;%s", dot, setting) == nullptr)
        return dot;  // out of memory: the .PATH list alone still comes first
    return state.combined[kind];
}

void GetFirstSearchDir(char* out, int kind) { GetPathListEntry(kind == kPathIndex ? -1 : kind, out, 0); }

int GetPathListEntry(int kind, char* out, int index) {
    out[0] = 0;
    if (kind == kPathIndex) {
        if (index != 0) return 0;
        FormatBounded(out, kPathSize, "%s/inx", ProgramDirectory());
        return 1;
    }
    char entry[kPathSize];
    int found = 0;
    for (const char* rest = GetSearchPath(kind); (rest = NextPathListEntry(rest, entry, sizeof entry)) != nullptr;) {
        pt_Trim(entry);
        if (entry[0] == 0) continue;
        if (found++ == index) {
            CopyTextBounded(out, entry, kPathSize);
            return 1;
        }
    }
    return 0;
}

// ---- locating files --------------------------------------------------------------

void SearchPathList(const char* name, int kind, char* out) {
    out[0] = 0;
    name = pt_Text(name);
    if (name[0] == 0) return;
    if (strchr(name, '/') != nullptr) {
        if (CheckFileExists(name) == 0) {
            char full[kPathSize];
            if (strlen(name) < sizeof full) {
                CopyTextBounded(full, name, sizeof full);
                if (pt_MakeAbsolute(full)) CopyTextBounded(out, full, kPathSize);
            }
        }
        return;
    }
    // The search path may be a member text that a later call rebuilds: walk a copy.
    char* list = DuplicateString(GetSearchPath(kind));
    if (list == nullptr) return;
    char entry[kPathSize];
    char candidate[kPathSize];
    for (const char* rest = list; (rest = NextPathListEntry(rest, entry, sizeof entry)) != nullptr;) {
        pt_Trim(entry);
        if (entry[0] == 0) continue;
        if (pt_Join(candidate, entry, name) && CheckFileExists(candidate) == 0) {
            CopyTextBounded(out, candidate, kPathSize);
            break;
        }
    }
    MemFree(list);
}

int MakeFullPath(char* name, int kind) {
    pt_Trim(name);
    if (name[0] == 0) return kResultNoSuchFile;
    char work[kPathSize];
    CopyTextBounded(work, name, sizeof work);
    if (strchr(work, '/') == nullptr) {
        char folder[kPathSize];
        GetFirstSearchDir(folder, kind);
        if (folder[0] != 0 && !pt_Join(work, folder, name)) return kResultNoSuchFile;
    }
    if (!pt_MakeAbsolute(work)) return kResultNoSuchFile;
    memcpy(name, work, strlen(work) + 1);
    return kOk;
}

int FindFileOnPaths(char* name, int kind) {
    pt_Trim(name);
    char saved[kPathSize];
    CopyTextBounded(saved, name, sizeof saved);
    if (strchr(name, '/') != nullptr) {
        int result = MakeFullPath(name, kind);
        if (result != 0) return result;
        return CheckFileExists(name);
    }
    char found[kPathSize];
    SearchPathList(name, kind, found);
    if (found[0] != 0) memcpy(name, found, strlen(found) + 1);
    int result = MakeFullPath(name, kind);
    if (result == 0) result = CheckFileExists(name);
    if (result != 0) memcpy(name, saved, strlen(saved) + 1);
    return result;
}

int CompleteFilePath(char* name, int kind) {
    pt_Trim(name);
    if (strchr(name, '/') == nullptr) {
        char found[kPathSize];
        SearchPathList(name, kind, found);
        if (found[0] != 0) memcpy(name, found, strlen(found) + 1);
    }
    MakeFullPath(name, kind);
    return kOk;
}

void PlaceInSearchDir(char* path, int kind) {
    char folder[kPathSize];
    GetFirstSearchDir(folder, kind);
    if (folder[0] == 0) return;
    ForwardSlashes(path);
    char file[kPathSize];
    CopyTextBounded(file, pt_FilePart(path), sizeof file);
    char joined[kPathSize];
    if (pt_Join(joined, folder, file)) memcpy(path, joined, strlen(joined) + 1);
}

int ResolveMacroFileName(char* out, const char* name) {
    CopyTextBounded(out, pt_Text(name), kPathSize);
    pt_Trim(out);
    AddMacroExtension(out);
    const char* extension = FindExtension(out);
    if (extension == nullptr || (strcasecmp(extension, ".CIR") != 0 && strcasecmp(extension, ".MAC") != 0))
        return kResultBadMacroExtension;
    // A missing file is reported by the caller's open.
    FindFileOnPaths(out, kPathLibrary);
    return kOk;
}

void AddRecentFile(const char* path) {
    if (BatchMode() != 0 || DemoPlaying()) return;
    RecentFiles().Add(path);
}

// ---- .PATH statements -------------------------------------------------------------

int AddDotPath(int kind, const char* text) {
    if (kind < 0 || kind > 2) return kResultBadDotPath;
    if (text == nullptr || text[0] == 0) return kOk;
    char* folders = DuplicateString(text);
    if (folders == nullptr) return kResultNoMemory;
    int result = kOk;
    {
        ForwardSlashes(folders);
        char** list = &pt_State().dotPaths[kind];
        bool ok = true;
        if (*list != nullptr && (*list)[0] != 0) ok = AppendString(list, ";") != nullptr;
        if (ok && AppendString(list, folders) == nullptr) ok = false;
        if (!ok) result = kResultNoMemory;
    }
    FreeString(&folders);
    return result;
}

void ClearDotPaths() {
    PathState& state = pt_State();
    for (int i = 0; i < 3; i++) {
        FreeString(&state.dotPaths[i]);
        FreeString(&state.combined[i]);
    }
}

// ---- defaults and path groups ------------------------------------------------------

void ResetDefaultPaths(bool force) {
    PathState& state = pt_State();
    char data[kPathSize];
    FormatBounded(data, sizeof data, "%s/data/", ProgramDirectory());
    MakeFullPath(data, kPathData);
    if (force || GetPathSetting(kPathData)[0] == 0) SetPathSetting(kPathData, data);
    if (force || GetPathSetting(kPathPicture)[0] == 0) SetPathSetting(kPathPicture, data);

    char library[kPathSize];
    FormatBounded(library, sizeof library, "%s/library/", ProgramDirectory());
    MakeFullPath(library, kPathLibrary);
    if (force || GetPathSetting(kPathLibrary)[0] == 0) SetPathSetting(kPathLibrary, library);

    if (!force && !state.groups.empty()) return;
    state.groups.clear();
    AddPathGroup({"TW8", GetPathSetting(kPathData), GetPathSetting(kPathLibrary), GetPathSetting(kPathPicture)});
}

int PathGroupCount() { return static_cast<int>(pt_State().groups.size()); }

const PathGroup* GetPathGroup(int index) {
    PathState& state = pt_State();
    if (index < 0 || index >= PathGroupCount()) return nullptr;
    return &state.groups[static_cast<size_t>(index)];
}

int AddPathGroup(const PathGroup& group) {
    int index = PathGroupCount();
    return SetPathGroup(index, group) == kOk ? index : -1;
}

int SetPathGroup(int index, const PathGroup& group) {
    PathState& state = pt_State();
    if (index < 0) return kResultNoMemory;
    // Groups between the old end and index stay empty records.
    if (static_cast<size_t>(index) >= state.groups.size()) state.groups.resize(static_cast<size_t>(index) + 1);
    state.groups[static_cast<size_t>(index)] = group;
    return kOk;
}

void RemovePathGroup(int index) {
    PathState& state = pt_State();
    if (index < 0 || index >= PathGroupCount()) return;
    state.groups.erase(state.groups.begin() + index);
}

void ClearPathGroups() { pt_State().groups.clear(); }

namespace {

// Removes one pair of surrounding double quotes.
void pt_Unquote(char* value) {
    size_t n = strlen(value);
    if (n >= 2 && value[0] == '"' && value[n - 1] == '"') {
        memmove(value, value + 1, n - 2);
        value[n - 2] = 0;
    }
}

}  // namespace

int SerializePathGroups(SectionFile& file) {
    PathState& state = pt_State();
    if (file.IsWriting()) {
        int result = kOk;
        for (const PathGroup& group : state.groups) {
            file.WriteQuotedKey("Title", group.name.c_str());
            file.WriteQuotedKey("Data", group.data.c_str());
            file.WriteQuotedKey("Library", group.library.c_str());
            result = file.WriteQuotedKey("Picture", group.picture.c_str());
        }
        return result;
    }
    state.groups.clear();
    char line[520];
    char key[64];
    char value[520];
    int current = -1;
    while (file.ReadEntry(line, sizeof line)) {
        SplitKeyValue(line, key, sizeof key, value, sizeof value);
        pt_Unquote(value);
        if (strcmp(key, "TITLE") == 0) {
            PathGroup group;
            group.name = value;
            current = AddPathGroup(group);
            continue;
        }
        if (current < 0) continue;
        PathGroup& group = state.groups[static_cast<size_t>(current)];
        std::string* field = strcmp(key, "DATA") == 0      ? &group.data
                             : strcmp(key, "LIBRARY") == 0 ? &group.library
                             : strcmp(key, "PICTURE") == 0 ? &group.picture
                                                           : nullptr;
        if (field != nullptr) {
            ForwardSlashes(value);
            *field = value;
        }
    }
    return file.error;
}
