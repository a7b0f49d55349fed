// The circuit file: a section file whose first section is [Main], followed by
// the sections of the schematic, its pages, the analysis settings and the
// window layout. Every section has one routine that both writes and reads it
// (it looks at the file's mode), so reading and writing stay in step.
//
// Routines are installed into the section table by the code that owns the
// section's data (SetCircuitSectionRoutine, usually from an Install...Sections
// function called by InstallCircuitFile). A section whose owner is not built
// yet keeps the text it was read with and writes it back unchanged
// (KeepSectionText), so opening and saving loses nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/fontspec.h"
#include "core/sectionfile.h"
#include "core/stringarray.h"

class CDoc;
class CCirDoc;
struct SchematicObject;
struct GridTextObject;

// ---- file versions (major << 16 | minor)
constexpr int32_t kCirVersion400 = 0x40000;
constexpr int32_t kCirVersion503 = 0x50003;
constexpr int32_t kCirVersion520 = 0x50014;  // the first sectioned format
constexpr int32_t kCirVersion600 = 0x60000;
constexpr int32_t kCirVersion700 = 0x70000;
constexpr int32_t kCirVersion800 = 0x80000;
constexpr int32_t kCirVersion801 = 0x80001;  // written by every ordinary save

// ---- load flags of the openers
constexpr uint32_t kLoadAsStored = 0x0002;  // no range checks of coordinates and orientations
constexpr uint32_t kLoadNoCoordinateWarning = 0x0004;
constexpr uint32_t kLoadMacro = 0x0020;  // opened as a macro circuit
constexpr uint32_t kLoadRestorePlacement = 0x0040;
constexpr uint32_t kLoadSilent = 0x0080;  // problems become pending texts and codes
constexpr uint32_t kLoadNoRenumber = 0x0100;
constexpr uint32_t kLoadFullPath = 0x0200;  // no search-path completion, no recent entry
constexpr uint32_t kLoadPlacementIfNew = 0x0400;
constexpr uint32_t kLoadNoRecent = 0x0800;
constexpr uint32_t kLoadHidden = 0x2000;       // no window, no prompt, no view updates
constexpr uint32_t kLoadSkipWindows = 0x4000;  // skip analysis-window, tool, printer, DSP, TF data
constexpr uint32_t kLoadKeepMacroParameters = 0x8000;

// ---- the sections, in table order
enum CircuitSection : int {
    kSecMain = 0,
    kSecCompDef,
    kSecShapeDef,
    kSecComp,
    kSecAttr,
    kSecWire,
    kSecNodeOffsets,
    kSecConditionOffsets,
    kSecGridText,
    kSecObject,
    kSecCircuit,
    kSecFontAndColor,
    kSecWindowPlacement,
    kSecFlag,
    kSecPage,
    kSecTextArea,
    kSecWarning,
    kSecTransient,
    kSecAC,
    kSecDC,
    kSecDistortion,
    kSecAnalysis,
    kSecMonteCarloOptions,
    kSecMonteCarlo,
    kSecGraph3D,
    kSecPerformance,
    kSecPerformanceWaveForm,
    kSecFFT,
    kSecFFTWaveForm,
    kSecPrinter,
    kSecAObject,
    kSecLimits,
    kSecWaveForm,
    kSecSchematic,
    kSecStepping,
    kSecOptimize,
    kSecWatch,
    kSecBreakpoint,
    kSecDSP,
    kSecTF,
    kSecSENS,
    kSecTools,
    kSecBOM,
    kCircuitSectionCount  // 43
};

// One circuit file read or write; made for it and destroyed afterwards.
class CircuitFile : public SectionFile {
public:
    CircuitFile();
    ~CircuitFile() override;

    bool Silent() const { return (loadFlags & kLoadSilent) != 0; }
    bool Hidden() const { return (loadFlags & kLoadHidden) != 0; }
    // Version gates of the section routines: the version read or written is
    // at least `threshold`.
    bool AtLeast(int32_t threshold) const { return version >= threshold; }

    // Adds "'name'" to the missing-component list (", " between entries).
    // False when out of memory.
    bool AddMissingComponent(const char* name);
    // The 13513 warning about extra or unknown data, once per file: `text`
    // names what was found. Silent loads leave it as the pending text.
    void WarnExtraData(const char* text);

    // ---- fields, in order
    SchematicObject* currentObject = nullptr;   // made or written by the last object section
    GridTextObject* currentGridText = nullptr;  // the same for Grid Text and Flag
    CCirDoc* document = nullptr;
    CDoc* analysisDocument = nullptr;  // while the analysis sections run
    void* toolOwner = nullptr;         // whose tool-bar buttons Tools serves
    uint32_t loadFlags = 0;
    int32_t componentLibrary = -1;  // received embedded component definitions
    int32_t shapeLibrary = -1;      // received embedded shapes
    int32_t analysisLibrary = -1;   // used by the analysis objects
    bool localDefinitionsUsed = false;
    std::string missingComponents;  // "'a', 'b'"
    FontSpec defaultObjectFont;         // "Object Default" of files before 8.00
    bool extraDataWarned = false;
    void* embeddedDefinitions = nullptr;  // Not yet built (component and shape libraries)
    StringArray addedComponents;          // names added to import.cmp during this read
    StringArray addedShapes;              // names added to import.shp
    int32_t version = kCirVersion801;     // read (set by Main) or written
    int32_t section = -1;                 // the CircuitSection being served
    bool screenChanged = false;           // Main found another screen size
    // What a read found, reported when it ends.
    bool illegalCoordinates = false;  // a position was moved into range
    bool loadProblems = false;        // missing component or shape, 4.00 file
    std::string lastShapeless;        // the last name that gave 13507: a run of it warns once
};

// A section routine: writes its section(s) or consumes the key lines of the
// section just found, by the file's mode. 0 or a result code.
using CircuitSectionRoutine = int (*)(CircuitFile& file);

// "Main", "CompDef", ... ; null outside the table.
const char* CircuitSectionName(int section);
// The section by name, without case; -1 when none.
int FindCircuitSection(const char* name);
// Installs the routine that serves a section; null puts back the kept-text
// routine (the owner is not built).
void SetCircuitSectionRoutine(int section, CircuitSectionRoutine routine);
// The installed routine; null when the section is kept as text.
CircuitSectionRoutine GetCircuitSectionRoutine(int section);

// Sections kept as text for owners that are not built yet. Reading stores the
// section's key lines with the document (one entry per occurrence, in file
// order); writing writes back every entry of file.section, each as its own
// section with its lines unchanged.
int KeepSectionText(CircuitFile& file);
// The same for a named section, for routines that keep some of their data
// as text (section is a CircuitSection).
int KeepSectionTextOf(CircuitFile& file, int section);
// How many kept entries the document holds for the section; the text of one
// (its key lines, each ended by "\n", byte 254 inside values), or null.
int CountKeptSections(const CCirDoc* document, int section);
const char* GetKeptSectionText(const CCirDoc* document, int section, int index);
// Frees every kept section of the document.
void FreeKeptSections(CCirDoc* document);

// Reads or writes [Main]. Reading: 15009 when no accepted FileType was seen.
int SerializeMainSection(CircuitFile& file);
// Reads the sections of the file through the table, from the current section
// header on; the first non-zero routine result, else 0.
int CircuitSectionTable(CircuitFile& file);
// Reads a sectioned file after its [Main] (the header that ended Main is the
// current section), then repairs the document: page count, pane pages.
int ReadCircuitSections(CCirDoc* document, CircuitFile& file);
// Writes every section of the document in the fixed order of file.version
// ([Main] first). The first stream error, else 0.
int WriteCircuitSections(CircuitFile& file);
// Marks invalid the stored placements of the circuit window.
void DiscardWindowPlacements(CircuitFile& file);
