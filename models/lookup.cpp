#include "models/lookup.h"

#include <cmath>
#include <cstring>
#include <string>

#include "core/chars.h"
#include "core/memory.h"
#include "core/paths.h"
#include "core/port.h"
#include "core/result.h"
#include "core/textfile.h"
#include "models/binlib.h"

namespace {

enum : int {
    kLkMsgMissingModel = 10834,
    kLkMsgMissingIoModel = 10852,
};

bool lk_IsBinnedLevelType(int type) {
    return type == kModelBsim3N || type == kModelBsim3P || type == kModelBsim4N || type == kModelBsim4P;
}

// "B." at the start of the name (the base name compared without case).
bool lk_IsVariantOf(const char* name, const char* base) {
    size_t n = std::strlen(base);
    return name && n && CompareNoCaseN(name, base, n) == 0 && name[n] == '.';
}

int lk_EnclosingScope(const ModelStatementList& list, int scope) {
    if (scope <= 0) return -1;
    if (scope == 1) return 0;
    int outer = CircuitScopes().EnclosingScope(list.Document, scope);
    // A scope table that points a scope at itself or inward would never end.
    return outer >= 0 && outer < scope ? outer : -1;
}

// A bounded reader over the index contents that came from a file: every read
// checks the remaining length, so a damaged index ends the scan instead of
// reading past its block.
struct lk_IndexReader {
    const char* data;
    int32_t size;
    int32_t pos = 0;
    bool bad = false;

    bool Take(void* out, int32_t n) {
        if (bad || n < 0 || size - pos < n) {
            bad = true;
            return false;
        }
        std::memcpy(out, data + pos, static_cast<size_t>(n));
        pos += n;
        return true;
    }
    int32_t Long() {
        int32_t v = 0;
        Take(&v, 4);
        return v;
    }
    int Byte() {
        uint8_t v = 0;
        Take(&v, 1);
        return v;
    }
    double Double() {
        double v = 0;
        Take(&v, 8);
        return v;
    }
    std::string Text() {
        int16_t n = 0;
        if (!Take(&n, 2) || n < 0 || size - pos < n) {
            bad = true;
            return std::string();
        }
        std::string text(data + pos, static_cast<size_t>(n));
        pos += n;
        return text;
    }
};

// Brings the named model of a binary library into the circuit (scope 1,
// source kind 3, the memo kept): the new statement row, or -1.
int lk_BringInBinaryModel(CircuitModels* models, const char* path, int type, const char* name, bool* reported,
                          int* error) {
    ModelLibrary library;
    int rc = LoadModelLibrary(library, path, true, false);
    if (rc) {
        *reported = true;
        *error = rc;
        return -1;
    }
    LibraryModel* found = nullptr;
    for (LibraryModel* m = library.First(); m && !found; m = ModelLibrary::Next(m)) {
        if (BaseMosType(m->ModelType) != type && m->ModelType != type) continue;
        char upper[kLibraryNameSize];
        CopyUpper(upper, m->Name, sizeof upper);
        if (std::strcmp(upper, name) == 0) found = m;
    }
    if (!found) return -1;
    char* text = WriteModelStatement(found->ModelType, 0, found->Values, ModelParamCount(found->ModelType), found->Name,
                                     nullptr, nullptr);
    if (!text) {
        *reported = true;
        *error = kResultShown;
        return -1;
    }
    RemoveChar(text, '\r');
    StatementSource source{kSourceBinaryLibrary, 1, 0, 0};
    int savedMode = LibraryTextMode;
    LibraryTextMode = 1;
    rc = ParseModelStatement(models, text, source, 0, path);
    LibraryTextMode = savedMode;
    MemFree(text);
    if (rc) {
        *reported = true;
        *error = rc;
        return -1;
    }
    int row = models->ModelStatements.Count - 1;
    if (found->Memo[0]) SetString(&models->ModelStatements.Entries[row].Memo, found->Memo);
    return row;
}

bool lk_RangeHolds(double lmin, double lmax, double wmin, double wmax, double l, double w) {
    return lmin <= l && l <= lmax && wmin <= w && w <= wmax;
}

void lk_LogBinned(LibrarySearch& search, const char* name, int level, const double range[4], const char* path) {
    if (!search.list) return;
    char line[512];
    FormatBounded(line, sizeof line, "Found %s LEVEL=%d LMIN=%g LMAX=%g WMIN=%g MAX=%g in %s", name, level, range[0],
                  range[1], range[2], range[3], path);
    search.list->push_back(line);
}

bool lk_IsModelMode(int mode) {
    return mode == kFindModel || mode == kFindModelAll || mode == kFindModelInEntry || mode == kFindBinnedModel;
}

bool lk_IsListMode(int mode) {
    return mode == kListModelsFromSecond || mode == kListModelsOnce || mode == kListModelsAll;
}

void lk_AddName(LibrarySearch& search, const char* name) {
    if (!search.list) return;
    if (search.mode == kListModelsOnce)
        for (const std::string& s : *search.list)
            if (s == name) return;
    search.list->push_back(name);
}

// Without an index: a binary library is searched by loading it.
long lk_SearchBinaryDirect(CircuitModels* models, LibrarySearch& search, const char* path, bool* done) {
    *done = false;
    if (!lk_IsModelMode(search.mode) && !lk_IsListMode(search.mode)) return -1;
    ModelLibrary library;
    int rc = LoadModelLibrary(library, path, true, false);
    if (rc) {
        search.error = rc;
        search.reported = true;
        *done = true;
        return -1;
    }
    for (LibraryModel* m = library.First(); m; m = ModelLibrary::Next(m)) {
        int type = m->ModelType;
        bool typeMatches = BaseMosType(type) == search.type ||
                           (lk_IsListMode(search.mode) && search.type == kModelLpnp && type == kModelPnp);
        if (!typeMatches || !m->Name[0]) continue;
        char upper[kLibraryNameSize];
        CopyUpper(upper, m->Name, sizeof upper);
        if (lk_IsListMode(search.mode)) {
            lk_AddName(search, upper);
            continue;
        }
        if (search.mode == kFindBinnedModel) {
            int idx[4];
            if (!search.name || !lk_IsVariantOf(upper, search.name) || !BinningParamIndices(type, idx)) continue;
            double range[4];
            bool all = true;
            for (int k = 0; k < 4; ++k) {
                range[k] = m->Values[idx[k]];
                if (IsUnsetValue(range[k])) all = false;
            }
            if (!all) continue;
            lk_LogBinned(search, upper, static_cast<int>(std::lround(m->Values[0])), range, path);
            if (!lk_RangeHolds(range[0], range[1], range[2], range[3], search.l, search.w)) continue;
            *done = true;
            return lk_BringInBinaryModel(models, path, search.type, upper, &search.reported, &search.error);
        }
        if (!search.name || std::strcmp(upper, search.name) != 0) continue;
        *done = true;
        return lk_BringInBinaryModel(models, path, search.type, upper, &search.reported, &search.error);
    }
    return -1;
}

// Walks the index records of one entry. *done is set when the search ends here.
long lk_SearchIndex(CircuitModels* models, LibrarySearch& search, const LibraryEntry& entry, bool* done) {
    *done = false;
    lk_IndexReader in{entry.Index, entry.IndexSize};
    int32_t count = in.Long();
    int fileKind = 0;
    std::string file;
    for (int32_t r = 0; r < count && !in.bad; ++r) {
        int kind = in.Byte();
        if (in.bad) break;
        switch (kind) {
        case kIndexCircuitFile:
        case kIndexTextFile:
        case kIndexBinaryFile: {
            in.Long();
            file = in.Text();
            in.Byte();
            fileKind = kind;
            if (search.mode == kCheckLibraryFiles) LibraryIndexFiles().CheckLibraryFile(file.c_str());
            if (search.mode == kFindIndexedFile && search.name && file == search.name) {
                *done = true;
                return 0;
            }
            break;
        }
        case kIndexModel: {
            std::string name = in.Text();
            int type = in.Byte();
            bool binned = false;
            int level = 0;
            double range[4] = {0, 0, 0, 0};
            if (BaseMosType(type) == kModelNmos || BaseMosType(type) == kModelPmos) {
                binned = in.Byte() == 1;
                if (binned) {
                    level = in.Long();
                    for (double& v : range) v = in.Double();
                }
            }
            long position = 0;
            int line = 0, page = 0;
            if (fileKind == kIndexCircuitFile || fileKind == kIndexTextFile) {
                position = in.Long();
                line = in.Long();
            }
            if (fileKind == kIndexCircuitFile) page = in.Long();
            if (in.bad) break;
            bool typeMatches = BaseMosType(type) == search.type ||
                               (lk_IsListMode(search.mode) && search.type == kModelLpnp && type == kModelPnp);
            if (!typeMatches) break;
            if (lk_IsListMode(search.mode)) {
                lk_AddName(search, name.c_str());
                break;
            }
            if (!lk_IsModelMode(search.mode) || !search.name) break;
            if (search.mode == kFindBinnedModel) {
                if (!binned || !lk_IsVariantOf(name.c_str(), search.name)) break;
                lk_LogBinned(search, name.c_str(), level, range, file.c_str());
                if (!lk_RangeHolds(range[0], range[1], range[2], range[3], search.l, search.w)) break;
            } else if (name != search.name) {
                break;
            }
            *done = true;
            if (fileKind == kIndexBinaryFile)
                return lk_BringInBinaryModel(models, file.c_str(), search.type, name.c_str(), &search.reported,
                                             &search.error);
            // The text branch: the statement reader brings the model in.
            int error = 0;
            long row = LibraryTextReader().ReadLibraryModel(models, search.type, name.c_str(), file.c_str(), position,
                                                            line, page, &error);
            if (error) {
                search.error = error;
                search.reported = true;
            }
            return row;
        }
        case kIndexSubcircuit:
        case kIndexMacro: {
            std::string name = in.Text();
            long position = in.Long();
            int line = in.Long();
            int page = fileKind == kIndexCircuitFile ? in.Long() : 0;
            if (in.bad) break;
            bool wanted = kind == kIndexSubcircuit
                              ? (search.mode == kFindSubcircuit || search.mode == kFindSubcircuitInEntry)
                              : (search.mode == kFindMacro || search.mode == kFindMacroPosition);
            if (!wanted || !search.name || name != search.name) break;
            *done = true;
            search.page = page;
            if (search.mode == kFindMacro) {
                if (!search.buffer) return -1;
                int rc = 0;
                if (!LibraryTextReader().ReadMacroText(file.c_str(), position, line, page, search.buffer,
                                                       search.bufferSize, &rc) &&
                    !rc)
                    return -1;
                if (rc) {
                    search.error = rc;
                    search.reported = true;
                    return -1;
                }
                return 0;
            }
            if (search.buffer)
                CopyTextBounded(search.buffer, kind == kIndexMacro ? name.c_str() : file.c_str(), search.bufferSize);
            return position;
        }
        case kIndexParameters: {
            long position = in.Long();
            int line = in.Long();
            int page = fileKind == kIndexCircuitFile ? in.Long() : 0;
            if (in.bad) break;
            if (search.mode != kReadParameters && search.mode != kReadParametersInEntry) break;
            int rc = ReadLibraryStatementAt(models, search.type, file.c_str(), position, line, page);
            if (rc) {
                search.error = rc;
                search.reported = true;
                *done = true;
                return -1;
            }
            break;
        }
        default:
            // An unknown record kind: the rest cannot be read in step.
            *done = true;
            return -1;
        }
    }
    return -1;
}

}  // namespace

namespace {

class NoLibraryIndexes final : public LibraryIndexes {
public:
    int LoadIndex(CircuitModels*, LibraryEntry&) override { return 0; }
    void CheckLibraryFile(const char*) override {}
};

class NoLibraryTexts final : public LibraryTexts {
public:
    int ReadLibraryModel(CircuitModels*, int, const char*, const char*, long, int, int, int* error) override {
        if (error) *error = 0;
        return -1;
    }
    bool ReadMacroText(const char*, long, int, int, char*, size_t, int* error) override {
        if (error) *error = 0;
        return false;
    }
    int OpenCircuitText(TextFile&, const char*, long, int, int) override { return kResultFileNotFound; }
    bool IsCircuitFile(const char*) override { return false; }
};

PortSlot<LibraryIndexes, NoLibraryIndexes> lk_indexes;
PortSlot<LibraryTexts, NoLibraryTexts> lk_texts;

// Until a statement reader is installed library texts give no statements.
class NoLibraryStatementReader final : public LibraryStatementReader {
public:
    int ReadLibraryStatement(CircuitModels*, TextFile&, const char*, int, int) override { return 0; }
};

PortSlot<LibraryStatementReader, NoLibraryStatementReader> lk_statementReader;

}  // namespace

LibraryStatementReader& LibraryStatements() { return lk_statementReader.Get(); }

LibraryIndexes& LibraryIndexFiles() { return lk_indexes.Get(); }

LibraryIndexes* InstallLibraryIndexes(LibraryIndexes* port) { return lk_indexes.Install(port); }

LibraryTexts& LibraryTextReader() { return lk_texts.Get(); }

LibraryTexts* InstallLibraryTexts(LibraryTexts* port) { return lk_texts.Install(port); }

LibraryStatementReader* InstallLibraryStatementReader(LibraryStatementReader* reader) {
    return lk_statementReader.Install(reader);
}

// ---- library lists -------------------------------------------------------------------------------

char* StripQuotedText(char* text) {
    if (!text) return text;
    char* open = std::strchr(text, '"');
    if (open) {
        char* close = std::strchr(open + 1, '"');
        size_t n = close ? static_cast<size_t>(close - open - 1) : std::strlen(open + 1);
        std::memmove(text, open + 1, n);
        text[n] = 0;
    }
    return TrimSpaces(text);
}

int NormalizeLibraryName(char* buffer, const char* name) {
    CopyTextBounded(buffer, name ? name : "", kPathSize);
    for (char* c = buffer; *c; ++c) {
        if (*c == '\r' || *c == '\n')
            *c = ' ';
        else if (*c == '\\')
            *c = '/';
    }
    StripQuotedText(buffer);
    if (!*buffer) CopyTextBounded(buffer, "NOM.LIB", kPathSize);
    int rc = FindFileOnPaths(buffer, kPathLibrary);
    if (rc && FindDocumentByPath(buffer)) return 0;
    return rc;
}

int AddLibraryFile(CircuitModels* models, const char* name, int list, int* outIndex, bool searchAll) {
    if (outIndex) *outIndex = -1;
    if (!models || list < 0 || list > 1) return kResultMissingParam;
    char path[kPathSize];
    int rc = NormalizeLibraryName(path, name);
    if (rc) {
        SetPendingText(name && *name ? name : "NOM.LIB");
        return rc;
    }
    for (int l = searchAll ? 0 : list; l <= list; ++l) {
        const LibraryList& entries = models->LibraryLists[l];
        for (int i = 0; i < entries.Count; ++i) {
            // Paths compare exactly: file names are case-sensitive here.
            if (entries.Entries[i].Path && std::strcmp(entries.Entries[i].Path, path) == 0) {
                if (outIndex) *outIndex = i;
                return 0;
            }
        }
    }
    LibraryList& target = models->LibraryLists[list];
    if (target.Count >= target.Capacity) {
        int capacity = target.Capacity ? target.Capacity * 2 : 8;
        void* block = target.Entries;
        if (!ResizeZeroed(&block, sizeof(LibraryEntry) * static_cast<size_t>(capacity),
                          sizeof(LibraryEntry) * static_cast<size_t>(target.Capacity)))
            return kResultNoMemory;
        target.Entries = static_cast<LibraryEntry*>(block);
        target.Capacity = capacity;
    }
    LibraryEntry& entry = target.Entries[target.Count];
    std::memset(&entry, 0, sizeof entry);
    entry.Path = DuplicateString(path);
    if (!entry.Path) return kResultNoMemory;
    if (outIndex) *outIndex = target.Count;
    ++target.Count;
    return 0;
}

void ClearLibraryList(CircuitModels* models, int list) {
    if (!models || list < 0 || list > 1) return;
    LibraryList& target = models->LibraryLists[list];
    for (int i = 0; i < target.Count; ++i) {
        FreeString(&target.Entries[i].Path);
        MemFree(target.Entries[i].Index);
    }
    MemFree(target.Entries);
    target.Entries = nullptr;
    target.Count = 0;
    target.Capacity = 0;
}

int OpenLibraryTextAt(TextFile& stream, int mode, const char* path, long start, int line, int page, int* outKind) {
    if (outKind) *outKind = 0;
    bool circuit = mode == 1 || LibraryTextReader().IsCircuitFile(path);
    if (circuit) {
        int rc = LibraryTextReader().OpenCircuitText(stream, path, start, line, page);
        if (!rc && outKind) *outKind = 1;
        return rc;
    }
    int rc = stream.OpenSource(path, line, start, -999);
    if (!rc && outKind) *outKind = 2;
    return rc;
}

// ---- lookup --------------------------------------------------------------------------------------

int ModelStatementList::FindInScope(int type, int scope, const char* name) const {
    int base = BaseMosType(type);
    for (int s = scope; s >= 0; s = lk_EnclosingScope(*this, s)) {
        int row = FindStatement(base, s, name);
        if (row >= 0) return row;
    }
    return -1;
}

int FindModelByName(CircuitModels* models, int type, int scope, const char* name, bool* reported) {
    if (reported) *reported = false;
    if (!models || !name) return -1;
    ModelStatementList& list = models->ModelStatements;
    int row = list.FindInScope(type, scope, name);
    if (row >= 0) return row;
    LibrarySearch search;
    search.type = BaseMosType(type);
    search.name = name;
    search.mode = kFindModel;
    row = static_cast<int>(FindInLibraries(models, search));
    if (search.reported) {
        if (reported) *reported = true;
        return -1;
    }
    if (row >= 0) return row;
    if (*name && (type == kModelLpnp || type == kModelPnp)) {
        int other = type == kModelLpnp ? kModelPnp : kModelLpnp;
        row = list.FindInScope(other, scope, name);
        if (row >= 0) return row;
        LibrarySearch pnp;
        pnp.type = kModelPnp;
        pnp.name = name;
        pnp.mode = kFindModel;
        row = static_cast<int>(FindInLibraries(models, pnp));
        if (pnp.reported) {
            if (reported) *reported = true;
            return -1;
        }
        return row;
    }
    return -1;
}

int FindModelOrReport(CircuitModels* models, int type, int scope, const char* name) {
    bool reported = false;
    int row = FindModelByName(models, type, scope, name, &reported);
    if (row < 0 && !reported) {
        int id = type == kModelUIo ? kLkMsgMissingIoModel : kLkMsgMissingModel;
        SetPendingMessage(id, name ? name : "");
        ReportStatementMessage(models, scope, nullptr, nullptr, id);
    }
    return row;
}

int FindPartModelByName(CircuitModels* models, int type, int scope, const char* modelText) {
    std::string name = modelText ? modelText : "";
    char* trimmed = name.empty() ? nullptr : &name[0];
    if (trimmed) name = TrimWhitespace(trimmed);
    return FindModelOrReport(models, type, scope, name.c_str());
}

void ComputeBinningRange(CircuitModels* models, int row, int type) {
    ModelStatement* st = models ? models->ModelStatements.At(row) : nullptr;
    if (!st || st->BinChecked) return;
    st->BinChecked = 1;
    int idx[4];
    if (!BinningParamIndices(type, idx)) return;
    ModelRecord record;
    std::memset(&record, 0, sizeof record);
    record.StatementRow = row;
    int notes = models->Notes.Count;
    if (record.AllocateValues(type) == 0 && record.SetDefaultValues(type, false) == 0 &&
        ParseModelParameters(models, &record) == 0) {
        st = models->ModelStatements.At(row);
        if (record.Given[idx[0]] && record.Given[idx[1]] && record.Given[idx[2]] && record.Given[idx[3]]) {
            st->Binned = 1;
            st->BinLevel = static_cast<int>(std::lround(record.Values[0]));
            st->BinLMin = record.Values[idx[0]];
            st->BinLMax = record.Values[idx[1]];
            st->BinWMin = record.Values[idx[2]];
            st->BinWMax = record.Values[idx[3]];
        }
    }
    record.Release();
    // This parse only looks at the ranges: its notes come again with the real one.
    while (models->Notes.Count > notes) FreeString(&models->Notes.Entries[--models->Notes.Count].Text);
}

int FindBinnedModelInScope(CircuitModels* models, int type, int scope, const char* baseName, double l, double w) {
    if (!models || !baseName || !*baseName) return -1;
    int base = BaseMosType(type);
    ModelStatementList& list = models->ModelStatements;
    for (int s = scope; s >= 0; s = lk_EnclosingScope(list, s)) {
        for (int row = 0; row < list.Count; ++row) {
            const ModelStatement& st = list.Entries[row];
            if (st.Type != base || st.Scope != s || !lk_IsBinnedLevelType(st.LevelType)) continue;
            if (!lk_IsVariantOf(st.Name, baseName)) continue;
            ComputeBinningRange(models, row, st.LevelType);
            const ModelStatement& checked = list.Entries[row];
            if (checked.Binned &&
                lk_RangeHolds(checked.BinLMin, checked.BinLMax, checked.BinWMin, checked.BinWMax, l, w))
                return row;
        }
    }
    return -1;
}

void ListBinnedVariantsInScope(CircuitModels* models, int type, int scope, const char* baseName,
                               std::vector<std::string>* out) {
    if (!models || !baseName || !*baseName || !out) return;
    ModelStatementList& list = models->ModelStatements;
    for (int s = scope; s >= 0; s = lk_EnclosingScope(list, s)) {
        for (int row = 0; row < list.Count; ++row) {
            const ModelStatement& st = list.Entries[row];
            if (st.Type != BaseMosType(type) || st.Scope != s || !lk_IsBinnedLevelType(st.LevelType)) continue;
            if (!lk_IsVariantOf(st.Name, baseName)) continue;
            ComputeBinningRange(models, row, st.LevelType);
            const ModelStatement& checked = list.Entries[row];
            char line[512];
            FormatBounded(line, sizeof line, "Found %s LMIN=%g LMAX=%g WMIN=%g WMAX=%g in the circuit", checked.Name,
                          checked.BinLMin, checked.BinLMax, checked.BinWMin, checked.BinWMax);
            out->push_back(line);
        }
    }
}

int FindPartBinnedModel(CircuitModels* models, int type, int scope, const char* baseName, double l, double w,
                        std::vector<std::string>* log) {
    int row = FindBinnedModelInScope(models, type, scope, baseName, l, w);
    if (row >= 0) return row;
    LibrarySearch search;
    search.type = BaseMosType(type);
    search.name = baseName;
    search.mode = kFindBinnedModel;
    search.list = log;
    search.l = l;
    search.w = w;
    return static_cast<int>(FindInLibraries(models, search));
}

long FindInLibraries(CircuitModels* models, LibrarySearch& search) {
    search.error = 0;
    search.reported = false;
    if (!models) return -1;
    LibraryList& list = models->LibraryLists[0];
    int first = 0, last = list.Count - 1;
    switch (search.mode) {
    case kFindModelInEntry:
    case kFindSubcircuitInEntry:
    case kReadParametersInEntry: first = last = search.entry; break;
    case kListModelsFromSecond: first = 1; break;
    case kListModelsOnce: last = list.Count > 0 ? 0 : -1; break;
    default: break;
    }
    if (first < 0) first = 0;
    if (last >= list.Count) last = list.Count - 1;
    for (int i = first; i <= last; ++i) {
        if (!list.Entries[i].Path || !*list.Entries[i].Path) continue;
        bool done = false;
        long result = -1;
        if (!list.Entries[i].Index) {
            int rc = LibraryIndexFiles().LoadIndex(models, list.Entries[i]);
            if (rc) {
                search.error = rc;
                search.reported = true;
                return -1;
            }
        }
        // The entry may have moved while the index was loaded.
        LibraryEntry& entry = models->LibraryLists[0].Entries[i];
        if (entry.Index) {
            result = lk_SearchIndex(models, search, entry, &done);
        } else if (IsModelLibraryFile(entry.Path)) {
            std::string path = entry.Path;
            result = lk_SearchBinaryDirect(models, search, path.c_str(), &done);
        }
        // A text library without its index waits for the index files.
        if (done) return result;
    }
    return -1;
}

int ReadLibraryStatementAt(CircuitModels* models, int type, const char* path, long position, int line, int page) {
    (void)type;
    if (!lk_statementReader.Installed()) return 0;
    TextFile stream;
    int kind = 0;
    int rc = OpenLibraryTextAt(stream, 0, path, position, line, page, &kind);
    if (rc) {
        SetPendingText(path);
        ReportStatementMessage(models, 1, nullptr, nullptr, rc);
        stream.Close();
        return kResultShown;
    }
    rc = LibraryStatements().ReadLibraryStatement(models, stream, path, line, page);
    stream.Close();
    return rc;
}
