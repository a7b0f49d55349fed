#include "models/binlib.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/chars.h"
#include "core/desktop.h"
#include "core/filestream.h"
#include "core/memory.h"
#include "core/paths.h"
#include "core/report_port.h"
#include "core/result.h"
#include "models/modeltypes.h"

namespace {

// Sanity limits for counts read from a file: far above anything the program
// writes, low enough that a damaged count cannot ask for gigabytes.
constexpr int32_t kBlMaxTypeTables = 1000;
constexpr int32_t kBlMaxStoredParams = 10000;
constexpr int kBlMaxNameLength = 255;
constexpr uint32_t kBlUnsetFloatBits = 0x5D88D14B;
constexpr size_t kBlOldHeaderSize = 56;
constexpr int kBlOldNameLength = 10;

bool bl_IsLibraryType(int type) {
    const ModelTypeInfo* info = GetModelTypeInfo(type);
    return info && info->DigitalClass == 0 && info->ParamCount > 0;
}

void bl_Destroy(PoolItem* item) {
    auto* model = static_cast<LibraryModel*>(item);
    MemFree(model->Values);
    model->Values = nullptr;
}

void bl_SetStatus(const char* text) { StatusBar().SetStatusText(text); }

int bl_Report(bool report, const char* path, int code) {
    if (!report || code == kResultShown) return code;
    SetPendingText(path);
    if (Reporter().Report(Message(code)) == kMessageNoReporter) return code;
    return kResultShown;
}

// Old parameter orders: for a stored position, the current index or -1.
struct bl_OldMap {
    int version;
    int type;
    std::vector<int> map;
};

std::vector<int> bl_Identity(int n) {
    std::vector<int> map(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) map[static_cast<size_t>(i)] = i;
    return map;
}

const std::vector<bl_OldMap>& bl_OldMaps() {
    static const std::vector<bl_OldMap> maps = [] {
        std::vector<bl_OldMap> m;
        // Version 5 bipolar rows: NK, ISS and NS were inserted at 13.
        std::vector<int> bipolar(52);
        for (int i = 0; i < 52; ++i) bipolar[static_cast<size_t>(i)] = i < 13 ? i : i + 3;
        for (int type : {kModelNpn, kModelPnp, kModelLpnp}) m.push_back({kModelLibraryVersion5, type, bipolar});
        // Version 5 RES: NM was inserted at 4.
        m.push_back({kModelLibraryVersion5, kModelRes, {0, 1, 2, 3, 5, 6, 7, 8}});
        m.push_back({kModelLibraryVersion5, kModelCore, {-1, 0, 1, 2, -1, 3, 4, 5, 6, -1, -1, -1, -1}});
        // Version 4 stored these in the current order.
        m.push_back({kModelLibraryVersion4, kModelOpamp, bl_Identity(20)});
        m.push_back({kModelLibraryVersion4, kModelNmos, bl_Identity(52)});
        m.push_back({kModelLibraryVersion4, kModelPmos, bl_Identity(52)});
        m.push_back({kModelLibraryVersion4, kModelPulse, bl_Identity(7)});
        return m;
    }();
    return maps;
}

const std::vector<int>* bl_FindOldMap(int version, int type) {
    for (const bl_OldMap& m : bl_OldMaps())
        if (m.version == version && m.type == type) return &m.map;
    return nullptr;
}

// A single-precision value as a short decimal double.
double bl_FloatToDouble(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    if (bits == kBlUnsetFloatBits) return kUnsetValue;
    // Six significant digits and read back: 1e-14 rather than 9.99999982e-15.
    char text[64];
    std::snprintf(text, sizeof text, "%.6g", static_cast<double>(value));
    char* end = nullptr;
    double back = std::strtod(text, &end);
    return end && *end == 0 ? back : static_cast<double>(value);
}

void bl_SetDefaults(LibraryModel* model) {
    const ModelTypeInfo* info = GetModelTypeInfo(model->ModelType);
    for (int i = 0; i < info->ParamCount; ++i) std::memcpy(&model->Values[i], &info->Params[i].Default, sizeof(double));
}

bool bl_Skip(BinaryFile& file, long bytes) {
    if (bytes <= 0) return true;
    long here = std::ftell(file.stream);
    long length = GetStreamLength(file.stream);
    if (here < 0 || length < 0 || length - here < bytes || std::fseek(file.stream, bytes, SEEK_CUR) != 0) {
        file.error = kResultNoSpace;
        return false;
    }
    return true;
}

long bl_Remaining(BinaryFile& file) {
    long here = std::ftell(file.stream);
    long length = GetStreamLength(file.stream);
    return here < 0 || length < here ? 0 : length - here;
}

int bl_BadFormat(const char* path) {
    SetPendingText(path);
    return kResultBadFormat;
}

struct bl_Header {
    int16_t valueBytes;
    char name[kLibraryNameSize];
    int16_t type;
    char memo[kLibraryMemoSize];
};

// The 70-byte model header (or the 56-byte header of version 4).
int bl_ReadHeader(BinaryFile& file, bl_Header* h, bool old) {
    std::memset(h, 0, sizeof *h);
    file.Read(&h->valueBytes, 2);
    file.Read(h->name, old ? kBlOldNameLength : kLibraryNameSize);
    file.Read(&h->type, 2);
    file.Read(h->memo, kLibraryMemoSize);
    h->name[old ? kBlOldNameLength : kLibraryNameSize - 1] = 0;
    h->memo[kLibraryMemoSize - 1] = 0;
    return file.error;
}

// Values stored by position: through the map, or in the current order when
// the block is exactly the current list; otherwise the model keeps defaults.
void bl_PlaceValues(LibraryModel* model, const std::vector<double>& stored, const std::vector<int>* map) {
    int count = ModelParamCount(model->ModelType);
    if (map) {
        for (size_t i = 0; i < stored.size() && i < map->size(); ++i) {
            int target = (*map)[i];
            if (target >= 0 && target < count) model->Values[target] = stored[i];
        }
    } else if (stored.size() == static_cast<size_t>(count)) {
        for (int i = 0; i < count; ++i) model->Values[i] = stored[static_cast<size_t>(i)];
    }
}

int bl_ReadCurrent(ModelLibrary& library, BinaryFile& file, const char* path) {
    if (!bl_Skip(file, static_cast<long>(kModelLibraryReservedSize))) return file.error;
    int32_t tables = file.ReadLong();
    if (file.error) return file.error;
    if (tables < 0 || tables > kBlMaxTypeTables) return bl_BadFormat(path);
    std::vector<std::vector<int>> maps(kModelTypeCount);
    std::vector<bool> hasMap(kModelTypeCount, false);
    for (int32_t t = 0; t < tables; ++t) {
        int32_t type = file.ReadLong();
        int32_t count = file.ReadLong();
        if (file.error) return file.error;
        if (count < 0 || count > kBlMaxStoredParams) return bl_BadFormat(path);
        bool used = type >= 0 && type < kModelTypeCount && bl_IsLibraryType(type);
        std::vector<int> map;
        for (int32_t i = 0; i < count; ++i) {
            char name[kBlMaxNameLength + 1];
            if (file.ReadCountedText(name, sizeof name)) return file.error;
            if (used) map.push_back(FindModelParamIndex(type, name));
        }
        if (used) {
            maps[static_cast<size_t>(type)] = std::move(map);
            hasMap[static_cast<size_t>(type)] = true;
        }
    }
    int32_t models = file.ReadLong();
    if (file.error) return file.error;
    if (models < 0 || models > bl_Remaining(file) / static_cast<long>(kLibraryModelHeaderSize))
        return bl_BadFormat(path);
    for (int32_t m = 0; m < models; ++m) {
        bl_Header h;
        if (bl_ReadHeader(file, &h, false)) return file.error;
        if (h.valueBytes < 0) return bl_BadFormat(path);
        int type = h.type;
        if (type < 0 || type >= kModelTypeCount || !bl_IsLibraryType(type) || !hasMap[static_cast<size_t>(type)]) {
            // Models of types this program does not keep in libraries are dropped.
            if (!bl_Skip(file, h.valueBytes)) return file.error;
            continue;
        }
        const std::vector<int>& map = maps[static_cast<size_t>(type)];
        if (static_cast<size_t>(h.valueBytes) != map.size() * sizeof(double)) return bl_BadFormat(path);
        std::vector<double> stored(map.size());
        if (!stored.empty() && file.Read(stored.data(), stored.size() * sizeof(double))) return file.error;
        LibraryModel* model = library.AddNewModel(type);
        if (!model) return kResultShown;
        CopyTextBounded(model->Name, h.name, sizeof model->Name);
        CopyTextBounded(model->Memo, h.memo, sizeof model->Memo);
        bl_PlaceValues(model, stored, &map);
    }
    return 0;
}

// Versions 0x60001, 5 and 4: headers and value blocks without type tables.
int bl_ReadOld(ModelLibrary& library, BinaryFile& file, const char* path, int version) {
    int32_t models;
    if (version == kModelLibraryVersion1) {
        if (!bl_Skip(file, static_cast<long>(kModelLibraryReservedSize))) return file.error;
        models = file.ReadLong();
    } else {
        models = static_cast<int16_t>(file.ReadShort());
        file.ReadShort();
    }
    if (file.error) return file.error;
    bool old4 = version == kModelLibraryVersion4;
    long headerSize = static_cast<long>(old4 ? kBlOldHeaderSize : kLibraryModelHeaderSize);
    if (models < 0 || models > bl_Remaining(file) / headerSize) return bl_BadFormat(path);
    size_t valueSize = version == kModelLibraryVersion1 ? sizeof(double) : sizeof(float);
    for (int32_t m = 0; m < models; ++m) {
        bl_Header h;
        if (bl_ReadHeader(file, &h, old4)) return file.error;
        if (h.valueBytes < 0 || h.valueBytes % static_cast<int>(valueSize) != 0) return bl_BadFormat(path);
        int type = h.type;
        if (old4) {
            if (!(type >= 0 && type <= 6) && type != kModelCore && type != kModelGasfet)
                type = -1;
            else if (h.memo[0] == 'P' || h.memo[0] == 'p') {
                if (type == kModelNpn)
                    type = kModelPnp;
                else if (type == kModelNmos)
                    type = kModelPmos;
                else if (type == kModelNjf)
                    type = kModelPjf;
            }
        }
        if (type < 0 || type >= kModelTypeCount || !bl_IsLibraryType(type)) {
            if (!bl_Skip(file, h.valueBytes)) return file.error;
            continue;
        }
        std::vector<double> stored(static_cast<size_t>(h.valueBytes) / valueSize);
        if (valueSize == sizeof(double)) {
            if (!stored.empty() && file.Read(stored.data(), stored.size() * sizeof(double))) return file.error;
        } else {
            std::vector<float> floats(stored.size());
            if (!floats.empty() && file.Read(floats.data(), floats.size() * sizeof(float))) return file.error;
            for (size_t i = 0; i < floats.size(); ++i) stored[i] = bl_FloatToDouble(floats[i]);
        }
        LibraryModel* model = library.AddNewModel(type);
        if (!model) return kResultShown;
        CopyTextBounded(model->Name, h.name, sizeof model->Name);
        CopyTextBounded(model->Memo, h.memo, sizeof model->Memo);
        if (version != kModelLibraryVersion1) SanitizeModelName(type, model->Name);
        bl_PlaceValues(model, stored, bl_FindOldMap(version, h.type == type ? type : h.type));
    }
    return 0;
}

// The header's version: 0x60001 or 0x6000B from a file header, 4 or 5 from a
// bare int16 at the start; 0 for anything else.
int bl_ReadVersion(BinaryFile& file) {
    int32_t version = 0;
    int rc = file.CheckFileHeader("LBR", version);
    if (rc == 0 && (version == kModelLibraryVersion || version == kModelLibraryVersion1)) return version;
    if (rc == 0) return 0;
    file.error = 0;
    if (std::fseek(file.stream, 0, SEEK_SET) != 0) return 0;
    int old = file.ReadShort();
    if (file.error) return 0;
    return old == kModelLibraryVersion4 || old == kModelLibraryVersion5 ? old : 0;
}

// The old file keeps its contents beside the converted one: NAME.A, or the
// next free letter up to Y. False when no name is free.
bool bl_MoveAside(const char* path) {
    std::string base = path;
    size_t slash = base.rfind('/');
    size_t dot = base.rfind('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) base.resize(dot);
    for (char letter = 'A'; letter <= 'Y'; ++letter) {
        std::string target = base + "." + letter;
        if (CheckFileExists(target.c_str()) == 0) continue;
        if (std::rename(path, target.c_str()) == 0) return true;
    }
    return false;
}

}  // namespace

// ---- the model list ------------------------------------------------------------------------------

ModelLibrary::ModelLibrary() {
    Models.Init();
    Models.itemSize = sizeof(LibraryModel);
    Models.ReleasesWith<&bl_Destroy>();
}

ModelLibrary::~ModelLibrary() { Models.DeleteAll(); }

LibraryModel* ModelLibrary::AddNewModel(int type) {
    if (!bl_IsLibraryType(type)) return nullptr;
    auto* model = static_cast<LibraryModel*>(static_cast<void*>(Models.AddNew(kLibraryModelItemType)));
    if (model) {
        model->ModelType = type;
        model->Values = static_cast<double*>(MemAlloc(sizeof(double) * static_cast<size_t>(ModelParamCount(type))));
        if (!model->Values) {
            Models.Delete(model);
            model = nullptr;
        }
    }
    if (!model) {
        Reporter().Report(Message(kResultNoMemory));
        return nullptr;
    }
    bl_SetDefaults(model);
    Modified = 1;
    return model;
}

void ModelLibrary::DeleteModel(LibraryModel* model) {
    if (model) Models.Delete(model);
}

void ModelLibrary::DeleteAllModels() { Models.DeleteAll(); }

// ---- files ---------------------------------------------------------------------------------------

int LoadModelLibrary(ModelLibrary& library, const char* path, bool report, bool convertOlder) {
    library.DeleteAllModels();
    BinaryFile file;
    int rc = file.OpenRead(path);
    if (rc) return bl_Report(report, path, rc);
    int version = bl_ReadVersion(file);
    if (version == kModelLibraryVersion) {
        rc = bl_ReadCurrent(library, file, path);
    } else if (version == kModelLibraryVersion1 || version == kModelLibraryVersion4 ||
               version == kModelLibraryVersion5) {
        if (version != kModelLibraryVersion1) {
            std::string status = std::string("Converting library ") + path;
            bl_SetStatus(status.c_str());
        }
        rc = bl_ReadOld(library, file, path, version);
    } else {
        SetPendingText(path);
        rc = kResultNotFormat;
    }
    file.Close();
    if (rc) {
        library.DeleteAllModels();
        library.Modified = 0;
        return bl_Report(report, path, rc);
    }
    library.Modified = 0;
    if (convertOlder && version != kModelLibraryVersion && bl_MoveAside(path)) {
        rc = SaveModelLibrary(library, path);
        if (rc) return bl_Report(report, path, rc);
    }
    return 0;
}

int SaveModelLibrary(ModelLibrary& library, const char* path) {
    std::string temporary = std::string(path) + ".tmp~";
    BinaryFile file;
    int rc = file.OpenWrite(temporary.c_str());
    if (rc) {
        SetPendingText(path);
        return rc;
    }
    bool used[kModelTypeCount] = {};
    int32_t count = 0;
    for (LibraryModel* m = library.First(); m; m = ModelLibrary::Next(m)) {
        if (!bl_IsLibraryType(m->ModelType)) continue;
        used[m->ModelType] = true;
        ++count;
    }
    file.WriteFileHeader("LBR", kModelLibraryVersion);
    static const char kZeros[kModelLibraryReservedSize] = {};
    file.Write(kZeros, sizeof kZeros);
    int32_t tables = 0;
    for (bool u : used) tables += u ? 1 : 0;
    file.WriteLong(tables);
    for (int type = 0; type < kModelTypeCount && !file.error; ++type) {
        if (!used[type]) continue;
        const ModelTypeInfo* info = GetModelTypeInfo(type);
        file.WriteLong(type);
        file.WriteLong(info->ParamCount);
        for (int i = 0; i < info->ParamCount && !file.error; ++i) file.WriteCountedText(info->Params[i].Name);
    }
    file.WriteLong(count);
    for (LibraryModel* m = library.First(); m && !file.error; m = ModelLibrary::Next(m)) {
        if (!bl_IsLibraryType(m->ModelType)) continue;
        int params = ModelParamCount(m->ModelType);
        char name[kLibraryNameSize] = {};
        char memo[kLibraryMemoSize] = {};
        CopyTextBounded(name, m->Name, sizeof name);
        CopyTextBounded(memo, m->Memo, sizeof memo);
        file.WriteShort(static_cast<int16_t>(params * 8));
        file.Write(name, sizeof name);
        file.WriteShort(static_cast<int16_t>(m->ModelType));
        file.Write(memo, sizeof memo);
        file.Write(m->Values, sizeof(double) * static_cast<size_t>(params));
    }
    if (!file.error && std::fflush(file.stream) != 0) file.error = ErrnoToResult();
    rc = file.Close();
    if (!rc && std::rename(temporary.c_str(), path) != 0) rc = ErrnoToResult();
    if (rc) {
        std::remove(temporary.c_str());
        SetPendingText(path);
        return rc;
    }
    library.Modified = 0;
    return 0;
}

bool IsModelLibraryFile(const char* path) {
    BinaryFile file;
    if (file.OpenRead(path)) return false;
    int version = bl_ReadVersion(file);
    file.Close();
    return version != 0;
}

// ---- order and clean-up ----------------------------------------------------------------------------

void SortModelLibrary(ModelLibrary& library) {
    std::vector<LibraryModel*> ordered;
    std::vector<LibraryModel*> others;
    int total = library.Models.count;
    int done = 0;
    std::vector<std::vector<LibraryModel*>> byType(kModelTypeCount);
    for (LibraryModel* m = library.First(); m; m = ModelLibrary::Next(m)) {
        if (bl_IsLibraryType(m->ModelType))
            byType[static_cast<size_t>(m->ModelType)].push_back(m);
        else
            others.push_back(m);
    }
    for (int type = 0; type < kModelTypeCount; ++type) {
        std::vector<LibraryModel*>& group = byType[static_cast<size_t>(type)];
        if (group.empty()) continue;
        // Insertion sort keeps models of equal names in their list order.
        for (size_t i = 1; i < group.size(); ++i) {
            LibraryModel* m = group[i];
            size_t j = i;
            while (j > 0 && NaturalCompare(group[j - 1]->Name, m->Name) > 0) {
                group[j] = group[j - 1];
                --j;
            }
            group[j] = m;
        }
        done += static_cast<int>(group.size());
        char display[64], status[128];
        ModelTypeDisplayName(display, type, sizeof display);
        FormatBounded(status, sizeof status, "Sorting %-20s %d%%", display, total ? done * 100 / total : 100);
        bl_SetStatus(status);
        ordered.insert(ordered.end(), group.begin(), group.end());
    }
    ordered.insert(ordered.end(), others.begin(), others.end());
    for (LibraryModel* m : ordered) library.Models.Unlink(m);
    for (LibraryModel* m : ordered) library.Models.Append(m);
    bl_SetStatus("");
}

void RemoveDuplicateModels(ModelLibrary& library) {
    for (LibraryModel* m = library.First(); m;) {
        LibraryModel* next = ModelLibrary::Next(m);
        if (!m->Name[0]) library.DeleteModel(m);
        m = next;
    }
    for (LibraryModel* m = library.First(); m; m = ModelLibrary::Next(m)) {
        for (LibraryModel* later = ModelLibrary::Next(m); later;) {
            LibraryModel* next = ModelLibrary::Next(later);
            if (later->ModelType == m->ModelType && CompareNoCase(later->Name, m->Name) == 0)
                library.DeleteModel(later);
            later = next;
        }
    }
}

void CleanUpModelLibrary(ModelLibrary& library) {
    RemoveDuplicateModels(library);
    SortModelLibrary(library);
}

int FindLibraryModelIndex(const ModelLibrary& library, const char* name, int type) {
    int n = 0;
    for (LibraryModel* m = library.First(); m; m = ModelLibrary::Next(m)) {
        if (m->ModelType != type) continue;
        if (name && CompareNoCase(m->Name, name) == 0) return n;
        ++n;
    }
    return -1;
}

LibraryModel* NthLibraryModelOfType(const ModelLibrary& library, int type, int n) {
    if (n < 0) return nullptr;
    for (LibraryModel* m = library.First(); m; m = ModelLibrary::Next(m))
        if (m->ModelType == type && n-- == 0) return m;
    return nullptr;
}

int CountLibraryModelsOfType(const ModelLibrary& library, int type) {
    int n = 0;
    for (LibraryModel* m = library.First(); m; m = ModelLibrary::Next(m))
        if (m->ModelType == type) ++n;
    return n;
}

LibraryModel* FindLibraryModel(const ModelLibrary& library, const char* name, int type) {
    for (LibraryModel* m = library.First(); m; m = ModelLibrary::Next(m))
        if (m->ModelType == type && name && CompareNoCase(m->Name, name) == 0) return m;
    return nullptr;
}

// ---- names ---------------------------------------------------------------------------------------

char* ModelTypeDisplayName(char* buffer, int type, size_t size) {
    // clang-format off
    static const char* const kNames[kModelTypeCount] = {
        "OPAMP", "DIODE", "NPN", "NMOS", "NJFET", "PULSE", "SINUSOIDAL", "Tline", "CORE", "GAASFET", "S", "W",
        "CAPACITOR", "INDUCTOR", "RESISTOR", "PNP", "PMOS", "PJFET", "", "", "", "", "", "", "", "", "", "", "", "",
        "", "", "NMOS LEVEL 4 (BSIM 1)", "PMOS LEVEL 4 (BSIM 1)", "NMOS LEVEL 5 (BSIM 2)", "PMOS LEVEL 5 (BSIM 2)",
        "NMOS LEVEL 8 (BSIM 3)", "PMOS LEVEL 8 (BSIM 3)", "LPNP", "NMOS LEVEL 14 (BSIM 4)", "PMOS LEVEL 14 (BSIM 4)",
        "NMOS LEVEL 44 (EKV)", "PMOS LEVEL 44 (EKV)",
    };
    // clang-format on
    if (!buffer || size == 0) return buffer;
    CopyTextBounded(buffer, type >= 0 && type < kModelTypeCount ? kNames[type] : "", size);
    return buffer;
}

char* SanitizeModelName(int type, char* name) {
    if (!name) return name;
    TrimSpaces(name);
    bool keepPoint = type == kModelBsim3N || type == kModelBsim3P || type == kModelBsim4N || type == kModelBsim4P;
    char* lastPoint = keepPoint ? std::strrchr(name, '.') : nullptr;
    for (char* c = name; *c; ++c)
        if (!HasCharClass(*c, CC_NAME) && c != lastPoint) *c = '_';
    return name;
}
