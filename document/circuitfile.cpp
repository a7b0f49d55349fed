#include "document/circuitfile.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "core/chars.h"
#include "core/desktop.h"
#include "core/memory.h"
#include "core/messages.h"
#include "core/report_port.h"
#include "core/result.h"
#include "document/cfanalysis.h"
#include "document/cirdoc.h"
#include "document/ctdoc.h"
#include "document/nodelabels.h"

// One section kept as text for an owner that is not built yet.
struct KeptSection {
    int32_t section;
    char* text;  // heap string: the key lines, each ended by "\n"
    KeptSection* next;
};

namespace {

// clang-format off
const char* const cf_SectionNames[kCircuitSectionCount] = {
    "Main",        "CompDef",          "ShapeDef",        "Comp",        "Attr",
    "Wire",        "Node Offsets",     "Condition Offsets", "Grid Text", "Object",
    "Circuit",     "FontAndColor",     "Window Placement", "Flag",       "Page",
    "Text Area",   "Warning",          "Transient",       "AC",          "DC",
    "Distortion",  "Analysis",         "Monte Carlo Options", "Monte Carlo", "Graph 3D",
    "Performance", "Performance WaveForm", "FFT",         "FFT WaveForm", "Printer",
    "AObject",     "Limits",           "WaveForm",        "Schematic",   "Stepping",
    "Optimize",    "Watch",            "Breakpoint",      "DSP",         "TF",
    "SENS",        "Tools",            "BOM",
};
// clang-format on

CircuitSectionRoutine cf_Routines[kCircuitSectionCount] = {};

int cf_NodeOffsetsRoutine(CircuitFile& file) { return SerializeNodeOffsets(file, file.document); }

// Main and Node Offsets are served here unless someone installs another routine.
CircuitSectionRoutine cf_RoutineFor(int section) {
    if (cf_Routines[section]) return cf_Routines[section];
    if (section == kSecMain) return SerializeMainSection;
    if (section == kSecNodeOffsets) return cf_NodeOffsetsRoutine;
    return nullptr;
}

int cf_Serve(CircuitFile& file, int section) {
    file.section = section;
    CircuitSectionRoutine routine = cf_RoutineFor(section);
    return routine ? routine(file) : KeepSectionTextOf(file, section);
}

int cf_TableEntry(SectionFile& base, void* object) {
    return cf_Serve(static_cast<CircuitFile&>(base), *static_cast<const int*>(object));
}

// The table rows' objects: the section numbers themselves.
const int cf_SectionIds[kCircuitSectionCount] = {
    0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21,
    22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42,
};

// A line as read (byte 254 already turned into CR LF) back to its one-line
// form, so the kept line is written exactly as it was found.
void cf_AppendOneLine(std::string& out, const char* line) {
    for (const char* p = line; *p; ++p) {
        if (*p == '\r') {
            out += char(kValueLineBreak);
        } else if (*p != '\n') {
            out += *p;
        }
    }
    out += '\n';
}

bool cf_IsLive(const PoolItem* item) { return item->type != kPoolItemDead; }

void cf_InvalidatePlacement(WindowPlacement& placement) { placement.length = 0; }

}  // namespace

// ---- the record ----------------------------------------------------------------

CircuitFile::CircuitFile() = default;

CircuitFile::~CircuitFile() = default;

bool CircuitFile::AddMissingComponent(const char* name) {
    if (!missingComponents.empty()) missingComponents += ", ";
    missingComponents += '\'';
    missingComponents += name ? name : "";
    missingComponents += '\'';
    return true;
}

void CircuitFile::WarnExtraData(const char* text) {
    if (extraDataWarned) return;
    extraDataWarned = true;
    constexpr int kExtraDataWarning = 13513;  // "%WExtra or unknown data was found.\nfile %s\n\n%s."
    // Without a reporter (or silently) the caller finds the text pending.
    const bool shown =
        !Silent() &&
        Reporter().Report(Message(kExtraDataWarning).Args(path ? path : "", text ? text : "")) != kMessageNoReporter;
    if (!shown) SetPendingText(text ? text : "");
}

// ---- the table -----------------------------------------------------------------

const char* CircuitSectionName(int section) {
    return section >= 0 && section < kCircuitSectionCount ? cf_SectionNames[section] : nullptr;
}

int FindCircuitSection(const char* name) {
    if (!name) return -1;
    for (int i = 0; i < kCircuitSectionCount; ++i) {
        if (CompareNoCase(cf_SectionNames[i], name) == 0) return i;
    }
    return -1;
}

void SetCircuitSectionRoutine(int section, CircuitSectionRoutine routine) {
    if (section >= 0 && section < kCircuitSectionCount) cf_Routines[section] = routine;
}

CircuitSectionRoutine GetCircuitSectionRoutine(int section) {
    return section >= 0 && section < kCircuitSectionCount ? cf_RoutineFor(section) : nullptr;
}

int CircuitSectionTable(CircuitFile& file) {
    SectionHandler table[kCircuitSectionCount];
    for (int i = 0; i < kCircuitSectionCount; ++i) {
        table[i].name = cf_SectionNames[i];
        table[i].routine = cf_TableEntry;
        table[i].object = const_cast<int*>(&cf_SectionIds[i]);
        table[i].firstLetter = 0;
    }
    return file.ReadSectionTable(table, kCircuitSectionCount);
}

// ---- kept sections ---------------------------------------------------------------

int KeepSectionText(CircuitFile& file) { return KeepSectionTextOf(file, file.section); }

int KeepSectionTextOf(CircuitFile& file, int section) {
    // Not yet built: the owner of this section. Its text is kept as read and
    // written back unchanged, so that no user data is lost in between.
    const char* name = CircuitSectionName(section);
    CCirDoc* document = file.document;
    if (!name || !document) return file.IsWriting() ? file.error : file.SkipSection();
    if (file.IsWriting()) {
        for (KeptSection* kept = document->keptSections; kept; kept = kept->next) {
            if (kept->section != section) continue;
            file.WriteSectionHeader(name);
            file.PutText(kept->text);
        }
        return file.error;
    }
    std::string text;
    while (file.ReadLongEntry()) cf_AppendOneLine(text, file.lineBuffer);
    if (file.error) return file.error;
    auto* kept = static_cast<KeptSection*>(MemAlloc(sizeof(KeptSection)));
    if (!kept) return kResultNoMemory;
    kept->section = section;
    kept->text = nullptr;
    kept->next = nullptr;
    if (!SetString(&kept->text, text.c_str())) {
        MemFree(kept);
        return kResultNoMemory;
    }
    KeptSection** tail = &document->keptSections;
    while (*tail) tail = &(*tail)->next;
    *tail = kept;
    return kOk;
}

int CountKeptSections(const CCirDoc* document, int section) {
    int count = 0;
    if (!document) return 0;
    for (const KeptSection* kept = document->keptSections; kept; kept = kept->next) {
        if (kept->section == section) ++count;
    }
    return count;
}

const char* GetKeptSectionText(const CCirDoc* document, int section, int index) {
    if (!document) return nullptr;
    for (const KeptSection* kept = document->keptSections; kept; kept = kept->next) {
        if (kept->section == section && index-- == 0) return kept->text;
    }
    return nullptr;
}

void FreeKeptSections(CCirDoc* document) {
    if (!document) return;
    KeptSection* kept = document->keptSections;
    document->keptSections = nullptr;
    while (kept) {
        KeptSection* next = kept->next;
        FreeString(&kept->text);
        MemFree(kept);
        kept = next;
    }
}

// ---- Main ----------------------------------------------------------------------

namespace {

void cf_ScreenSize(int* width, int* height) {
    *width = 1024;
    *height = 768;
    Screen().GetScreenSize(width, height);
}

int cf_CountLive(const ObjectPool& pool) {
    int count = 0;
    for (PoolItem* i = pool.first; i; i = i->next) {
        if (cf_IsLive(i)) ++count;
    }
    return count;
}

int cf_CountWrittenGridTexts(const ObjectPool& pool) {
    int count = 0;
    for (PoolItem* i = pool.first; i; i = i->next) {
        if (cf_IsLive(i) && !(static_cast<GridTextObject*>(i)->flags & kGridTextNotSaved)) ++count;
    }
    return count;
}

}  // namespace

int SerializeMainSection(CircuitFile& file) {
    int width = 0, height = 0;
    cf_ScreenSize(&width, &height);
    file.screenChanged = false;
    if (file.IsWriting()) {
        constexpr int kOldProgramName = 5351;
        if (file.version == kCirVersion520) {
            const char* program = GetMessageText(kOldProgramName);
            file.WriteKey("FileType", "CIR");
            file.WriteVersionKey("Version", file.version);
            file.WriteKey("Program", program ? program : "Tarnwick V");
        } else {
            file.WriteMainHeader("CIR", file.version);
        }
        file.Printf("Screen=%d,%d\n", width, height);
        if (file.version == kCirVersion520) {
            file.WriteKey("TW5Version", "2.0");
        } else {
            file.WriteKey("TARNVersion", "8.0.1.0");
        }
        file.WriteIntKey("NLCnt", file.document ? cf_CountLive(file.document->objects) : 0);
        file.WriteIntKey("TXCnt", file.document ? cf_CountWrittenGridTexts(file.document->gridTexts) : 0);
        return file.error;
    }
    bool accepted = false;
    while (file.ReadLongEntry()) {
        char* key = nullptr;
        char* value = nullptr;
        file.SplitLineBuffer(key, value);
        if (strcmp(key, "FILETYPE") == 0) {
            accepted = CompareNoCase(value, "CIR") == 0 || CompareNoCase(value, "TW5.CIR") == 0;
        } else if (strcmp(key, "VERSION") == 0) {
            file.version = ParseVersionText(value);
        } else if (strcmp(key, "SCREEN") == 0) {
            char* cursor = value;
            int w = atoi(NextCommaField(cursor));
            int h = atoi(NextCommaField(cursor));
            file.screenChanged = !(w == width && h == height);
        }
    }
    if (file.error) return file.error;
    return accepted ? kOk : kResultBadFormat;
}

// ---- reading ---------------------------------------------------------------------

void DiscardWindowPlacements(CircuitFile& file) {
    CCirDoc* document = file.document;
    if (!document) return;
    cf_InvalidatePlacement(document->fileSettings.windowPlacement);
    cf_InvalidatePlacement(document->analysisPlacement);
    cf_InvalidatePlacement(document->probePlacement);
    if (AnalysisSettings* settings = CircuitAnalysisSettings(document)) {
        for (int k = 0; k < kPlotKindCount; ++k) {
            AnalysisKindSettings& kind = settings->kinds[k];
            cf_InvalidatePlacement(kind.window.placement);
            cf_InvalidatePlacement(kind.probePlacement);
            for (int32_t& side : kind.thumbnail) side = 0;
        }
    }
}

namespace {

// Placements stored at another screen size would put windows off screen.
void cf_ForgetScreenLayout(CircuitFile& file) {
    DiscardWindowPlacements(file);
    // Performance, 3D and Monte Carlo windows and the watch windows: Not yet
    // built (their sections are kept as text).
    if (AnalysisSettings* settings = CircuitAnalysisSettings(file.document)) {
        for (int k = 0; k < kPlotKindCount; ++k) {
            AnalysisKindSettings& kind = settings->kinds[k];
            for (int32_t& width : kind.monitor) width = 0;
        }
    }
}

}  // namespace

int ReadCircuitSections(CCirDoc* document, CircuitFile& file) {
    file.document = document;
    file.analysisDocument = nullptr;
    document->FreePages();
    FreeKeptSections(document);
    FreeAnalysisSettings(document);
    int result = CircuitSectionTable(file);
    document->RecountPartNumbers();
    RepairAnalysisSettings(file);

    int pages = 0;
    for (PoolItem* i = document->objects.first; i; i = i->next) {
        if (!cf_IsLive(i)) continue;
        auto* o = static_cast<SchematicObject*>(i);
        if (o->page + 1 > pages) pages = o->page + 1;
        constexpr int16_t kGraphicPicture = 10;
        if (o->objectKind == kObjectGraphic && o->graphicType == kGraphicPicture && file.version < kCirVersion800) {
            o->orientation = int16_t(o->orientation & ~0x04);
        }
    }
    for (PoolItem* i = document->gridTexts.first; i; i = i->next) {
        if (!cf_IsLive(i)) continue;
        auto* g = static_cast<GridTextObject*>(i);
        if (g->page + 1 > pages) pages = g->page + 1;
    }
    if (document->PageCount() > pages) pages = document->PageCount();
    if (pages < 1) pages = 1;
    if (pages != document->PageCount()) {
        int before = document->PageCount();
        if (int code = document->SetPageCount(pages)) {
            if (!result) result = code;
        } else {
            for (int p = before; p < pages; ++p) {
                PageRecord* page = document->Page(p);
                page->kind = kPageSchematic;
                if (!page->name || !page->name[0]) {
                    char name[24];
                    FormatBounded(name, sizeof name, "Page %d", p + 1);
                    SetString(&page->name, name);
                }
            }
        }
    }
    for (int pane = 0; pane < kMaxPanes; ++pane) {
        if (document->paneCurrentPage[pane] >= document->PageCount() || document->paneCurrentPage[pane] < 0) {
            document->paneCurrentPage[pane] = 0;
        }
    }
    if (file.screenChanged) cf_ForgetScreenLayout(file);
    if (file.IsReading() && !file.Hidden() && document->MainCTView())
        SchematicView().LayoutPaneBars(document->MainCTView());
    return result;
}

// ---- writing ---------------------------------------------------------------------

namespace {

// Sections a parent routine writes together with its records; they are only
// written here (as kept text) while nobody serves them.
bool cf_IsNested(int section) {
    switch (section) {
    case kSecAttr:
    case kSecWire:
    case kSecObject:
    case kSecFlag:
    case kSecTools:
    case kSecAObject:
    case kSecPerformanceWaveForm:
    case kSecFFTWaveForm:
    case kSecWaveForm: return true;
    default: return false;
    }
}

// The write order, nested sections right after their parents.
const int cf_WriteOrder[] = {
    kSecShapeDef,
    kSecCompDef,
    kSecCircuit,
    kSecFontAndColor,
    kSecWindowPlacement,
    kSecComp,
    kSecAttr,
    kSecWire,
    kSecObject,
    kSecNodeOffsets,
    kSecConditionOffsets,
    kSecGridText,
    kSecFlag,
    kSecSchematic,
    kSecTools,
    kSecPage,
    kSecTextArea,
    kSecWarning,
    kSecPrinter,
    kSecTransient,
    kSecAC,
    kSecDC,
    kSecDistortion,
    kSecAnalysis,
    kSecAObject,
    kSecMonteCarloOptions,
    kSecMonteCarlo,
    kSecGraph3D,
    kSecPerformance,
    kSecPerformanceWaveForm,
    kSecFFT,
    kSecFFTWaveForm,
    kSecLimits,
    kSecWaveForm,
    kSecStepping,
    kSecOptimize,
    kSecWatch,
    kSecBreakpoint,
    kSecDSP,
    kSecTF,
    kSecSENS,
    kSecBOM,
};

bool cf_WrittenInVersion(int section, int32_t version) {
    switch (section) {
    case kSecCircuit: return version >= kCirVersion600;
    case kSecFontAndColor:
    case kSecWindowPlacement: return version < kCirVersion600;
    case kSecDistortion: return version >= kCirVersion800;
    default: return true;
    }
}

}  // namespace

int WriteCircuitSections(CircuitFile& file) {
    file.analysisDocument = nullptr;
    file.targetVersion = file.version;
    file.WriteSectionHeader("Main");
    int first = cf_Serve(file, kSecMain);
    for (int section : cf_WriteOrder) {
        if (!cf_WrittenInVersion(section, file.version)) continue;
        CircuitSectionRoutine routine = cf_RoutineFor(section);
        if (routine && cf_IsNested(section)) continue;
        int code = cf_Serve(file, section);
        // The write goes on after a routine's error; the first one decides.
        if (code && !first) first = code;
    }
    return first ? first : file.error;
}
