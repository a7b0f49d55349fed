// The circuit document (kind 1): schematic pages plus SPICE text pages, with
// its fonts and colours, view settings, title block, part-name counters and
// node-numbering state.
//
// A new circuit has the pages Main, Text, Models and Info and file version
// 0x80001. Every edit goes through OnObjectsChanged, which keeps the dirty,
// content-changed and needs-numbering flags; node numbers follow lazily.
#pragma once

#include <cstdint>

#include "core/fontspec.h"
#include "document/cfsettings.h"
#include "document/ctdoc.h"

struct AnalysisSettings;
struct KeptSection;
struct NodeLabel;
struct PartAttribute;
struct UniqueTextEntry;
struct ConnectionPoint;

constexpr int32_t kCircuitFileVersion = 0x80001;
constexpr int kPartCounterCount = 27;  // one per part-name prefix letter

// CCirDoc::displayFlags bits.
constexpr int32_t kShowNodeNumbers = 1;
constexpr int32_t kShowNodeValues = 2;  // node voltages or digital states
constexpr int32_t kShowPinConnections = 4;
constexpr int32_t kShowGridText = 16;
constexpr int32_t kShowAttributeText = 32;
constexpr int32_t kShowCrossHair = 512;
constexpr int32_t kDefaultDisplayFlags = kShowGridText | kShowAttributeText;  // 48

constexpr int32_t kCmdNoGrid = 17421;         // Options > View > No Grid
constexpr int32_t kCmdModeComponent = 17562;  // Options > Mode > Component

// The title block of printed schematics. The texts are heap strings.
struct TitleBlockSettings {
    char* fields[5] = {};
    int32_t oneTitle = 1;
    int32_t border = 0;
    int32_t show = 0;
};
// Copies the program's default title block into `block` / makes `block` the
// program default (texts duplicated, switches copied).
void LoadDefaultTitleBlock(TitleBlockSettings* block);
void StoreDefaultTitleBlock(const TitleBlockSettings& block);
void FreeTitleBlock(TitleBlockSettings* block);
// The program's default title block (starts with five empty texts).
TitleBlockSettings& DefaultTitleBlock();

// The circuit's fonts and colours: each entry a font (all six bytes) or a
// colour (only its colour byte). The zoom sits between the digital states and
// the node number font.
struct CircuitFontBlock {
    FontSpec digitalPath;
    FontSpec blockSelect;
    FontSpec nodeHighlight;
    FontSpec digitalState[6];  // 0, R, F, 1, X, Z
    double zoom = 1.0;         // current zoom of the schematic ("Scale")
    FontSpec nodeNumber;
    FontSpec nodeVoltage;
    FontSpec dynamicAcVoltage;
    FontSpec current;
    FontSpec powerCondition;
    FontSpec pinConnection;  // its colour is the pin colour
    FontSpec component;
    FontSpec wire;
    FontSpec attributeText;
    FontSpec gridText;
    FontSpec titleBlock;
    FontSpec textBanner;
    FontSpec titleBlockBackground;
};

class CCirDoc : public CCTDoc {
public:
    CCirDoc();
    ~CCirDoc() override;

    // ---- overridden operations
    // Marks the circuit dirty and content-changed and asks for new node
    // numbers; outside an analysis also rewires it.
    void OnObjectsChanged() override;
    // Undo of circuits (document/undo.cpp): a whole-document step holds a
    // copy of the object and grid-text lists; the history is limited by the
    // circuit's size.
    int PushUndo(int kind, const char* label) override;
    void PushUndoWithSelection(const char* label) override;
    void SwapUndoState() override;
    bool RunUndoStep(UndoEntry& entry) override;
    // Selected objects and grid texts to the end (2, front) or the start (1,
    // back) of their lists, in their order.
    void ReorderSelected(int where) override;
    // ---- placed parts, selections and grid texts (document/parts.cpp)
    // Over components, wires and graphic objects (1), grid texts (2) and the
    // selected node label (8).
    int CountSelected(int kindMask, PoolItem** last) override;
    int SelectObjects(int kindMask, int on) override;
    // Gives a flag (and, with "CIR Text Increment" on, any grid text) the next
    // free number after its prefix.
    void MakeUniqueGridText(GridTextObject* text);
    // ---- part names (document/partnames.cpp)
    // Writes the next PART name of the type into buffer and advances its
    // counter; returns buffer.
    char* NextPartName(char* buffer, size_t size, int type);
    // PART := NextPartName of the component's type (value displayed); the
    // attribute, or null when out of memory.
    PartAttribute* AssignNextPartName(SchematicObject* component);
    // Clears the 27 counters and raises them from every component's PART.
    void RecountPartNumbers();

    // Saving and re-reading the circuit file go through
    // SaveInCurrentVersion (the file in the current version, see
    // SaveCircuitFile) and ReloadFromFile (ReloadCircuitDocument).
    int SaveToFile(const char* path) override;
    virtual int SaveInCurrentVersion(const char* path);
    // Reads the circuit file into this document (document/cirio.cpp): 0 or a
    // result code; a failed load closes the document.
    int LoadFromFile(const char* path, uint32_t loadFlags);
    CIODoc* ReloadFromFile() override;
    long GetPageTextLength(int page) override;
    GridTextObject* NewGridText() override;
    SchematicObject* NewSchematicObject() override;

    // Copies the program's current default fonts and colours into the document.
    void ApplyDefaultFontsAndColors();
    // The remembered schematic page when it still is one, else the first
    // schematic page; -1 none.
    int GetActiveSchematicPage() const;
    // The remembered text page when it still is a text or info page, else the
    // first text page; -1 none.
    int GetActiveTextPage() const;
    // Releases the circuit's pages and the circuit's texts stored in them.
    void FreeStoredTexts();

    // ---- fields, in order
    int32_t storedTexts = 0;  // opened hidden: page texts live in the records
    int32_t fileVersion = kCircuitFileVersion;
    int32_t reserved0 = 0;
    TitleBlockSettings titleBlock;
    double printerScale = 1.0;
    int32_t words[4] = {};
    int32_t partCounters[kPartCounterCount] = {};
    // The unique-text table of a Step/Mirror Box copy (document/parts.h).
    UniqueTextEntry* uniqueTexts = nullptr;  // MemAlloc'd
    int32_t uniqueTextCount = 0;
    int32_t uniqueTextCapacity = 0;
    CircuitFontBlock fonts;
    int32_t pasteAsGridText = 0;  // pasted text takes the grid text font
    // node numbering
    int32_t needsNumbering = 1;
    int32_t rewireRequest = 0;
    NodeLabel* nodeLabels = nullptr;  // MemAlloc'd table, entry 0 unused
    int32_t nodeLabelCount = 0;
    ConnectionPoint* connectionPoints = nullptr;  // MemAlloc'd
    int32_t connectionPointCount = 0;
    int32_t lastGeometricNode = 0;
    // [0] the selected node label (an entry of nodeLabels, -1 none; document/parts.h)
    int32_t selectionWords[4] = {-1, -1, -1, -1};
    int32_t splitterX = 0, splitterY = 0;
    int32_t displayFlags = kDefaultDisplayFlags;
    int32_t gridType = kCmdNoGrid;
    int32_t userGrid = 10;
    // Words of the schematic view and the value display.
    int32_t valueWords[8] = {};
    void* valueTable = nullptr;  // owned (MemAlloc)
    // What only the circuit file keeps (document/cfsettings.h).
    CircuitFileSettings fileSettings;
    // Sections of the file whose owners are not built yet, kept as read
    // (document/circuitfile.h); freed with the document.
    KeptSection* keptSections = nullptr;
};

// A new empty circuit from the circuit template, without a frame or view;
// null when the template makes none.
CCirDoc* NewCircuitDocument();
// Registers the circuit document template (kind 1).
void RegisterCircuitTemplate();
// Start-up: the document messages, the circuit template, the answers to the
// core's document questions and the reporter's source-file lookup.
void InstallCircuitDocument();
