// Node labels, connection points and node-name lookups.
//
// After numbering, a circuit keeps two tables for the schematic display: one
// label per node (drawn as its number, voltage or digital state, with an offset
// the user may drag; offsets survive in the "Node Offsets" section of the
// circuit file) and the list of connection points (wire ends and pins with
// their nodes, junctions, node-name texts). This file also holds the wire-node
// assignment used by the compiler and Make Macro, the lookups in the
// compiler's node-name table, and the start values of stored state variables.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class CCirDoc;
class CCTDoc;
class SectionFile;
struct SchematicObject;

// ---- node labels ---------------------------------------------------------------------

constexpr uint8_t kNodeLabelAnalog = 0;
constexpr uint8_t kNodeLabelDigital = 1;
constexpr uint8_t kNodeLabelFree = 99;

constexpr uint8_t kInterfaceNone = 0;
constexpr uint8_t kInterfaceAtoD = 1;  // "$ATOD"
constexpr uint8_t kInterfaceDtoA = 2;  // "$DTOA"

constexpr uint8_t kNodeLabelSelected = 0x01;

// One entry of a circuit's label table. Entries are numbered from 1 (entry 0
// is never used): entry i is the label of node i, interface entries follow the
// highest node.
struct NodeLabel {
    int32_t x, y;              // anchor: the first pin found on the node
    uint8_t kind;              // kNodeLabelAnalog, kNodeLabelDigital, kNodeLabelFree
    uint8_t interfaceKind;     // kInterfaceNone, kInterfaceAtoD, kInterfaceDtoA
    int32_t valueIndex;        // index into the simulator's vectors (the serial number)
    int32_t node;              // interface entries: the analog node they belong to
    int32_t compiledNode;      // filled by the compiler
    int32_t page;              // page of the anchor pin
    double storedValue[2];     // last real and imaginary value
    int32_t offsetX, offsetY;  // user offset from the anchor, drawing units
    uint8_t selection;         // kNodeLabelSelected
};

// The circuit keeps its labels in CCirDoc::nodeLabels (a MemAlloc block whose
// room follows from its size), the count in nodeLabelCount.
// Frees the table and clears the count.
void FreeNodeLabels(CCirDoc* document);
// Entry i (1..count), or null outside.
NodeLabel* GetNodeLabel(CCirDoc* document, int i);
// Number of entries the table's block holds.
int NodeLabelCapacity(const CCirDoc* document);

// ---- connection points ---------------------------------------------------------------

constexpr int16_t kPointPlain = 0;
constexpr int16_t kPointJunction = 1;  // three or more pins and wire ends meet
constexpr int16_t kPointNodeName = 3;  // the point of a node-name grid text

struct ConnectionPoint {
    int32_t x, y;
    int32_t node;  // -1 or a negative group id when no numbered node
    int16_t kind;  // kPointPlain, kPointJunction, kPointNodeName
    int16_t page;
    int32_t labelHere;  // 1 when a node label is anchored at the same x and y
};

// The list lives in CCirDoc::connectionPoints / connectionPointCount.
void FreeConnectionPoints(CCirDoc* document);

// ---- building (called by NumberNodes) -----------------------------------------------

struct NodeGrid;  // the point table of one numbering run (nodes.cpp)

// Rebuilds the label table from the pin nodes; offsets of old labels move to
// new labels with the same node, page and anchor. 0 or 15002.
int BuildNodeLabels(CCirDoc* document);
// Rebuilds the connection-point list from the numbering run's point table and
// sets the node field of every grid text. 0 or 15002.
int BuildConnectionPoints(CCirDoc* document, const NodeGrid& grid);

// Display flags of FormatNodeLabel.
constexpr int kLabelShowNumber = 1;
constexpr int kLabelShowValue = 2;
// The label's text: the number (with "$ATOD"/"$DTOA" on interface entries)
// and/or ":" and its value or state. Always terminated; returns buffer.
char* FormatNodeLabel(const NodeLabel& label, char* buffer, size_t size, int flags, CCirDoc* document);

// Reads or writes the "Node Offsets" section by the file's direction. Reading
// appends the stored labels as the table's old entries, which the next
// BuildNodeLabels moves onto the numbered labels. 0, 15002 or a file error.
int SerializeNodeOffsets(SectionFile& file, CCirDoc* document);

// Gives wires without a node the node of the pin or wire that touches them.
// 0 or 15002.
int AssignWireNodes(CCirDoc* document);

// "$ATOD" (1) or "$DTOA" (2) appended to a heap text; false when out of memory.
bool AppendInterfaceSuffix(char** text, int interfaceKind);

// ---- the compiler's node-name table ---------------------------------------------------

// One name of the compiled circuit: hierarchical ("X1.OUT"), with its node,
// the expansion level it belongs to (1 the top level) and a kind. The
// compiler builds the table of a document in its build state
// (CircuitBuildState::nodeNames); entry 0 is ground, named "0".
struct NodeNameEntry {
    std::string name;
    int32_t node = 0;
    int16_t level = 0;
    int16_t kind = 0;
};

// What the name lookups ask of the compiler about a document's compile and
// its analysis. Until they are installed there is no name index, names are
// not qualified and no circuit is analysed.
class NodeNameIndexPort {
public:
    virtual ~NodeNameIndexPort() = default;
    // Number of names in the compiler's name index, 0 when there is none.
    virtual int IndexCount(const CCTDoc* document) = 0;
    // Entry index of a name in the index, -1 when absent.
    virtual int IndexFind(const CCTDoc* document, const char* name) = 0;
    // A heap text (free with MemFree): the name qualified by the scope of an
    // expansion level; null when out of memory.
    virtual char* QualifyName(const CCTDoc* document, const char* name, int level) = 0;
    // The instance name of the expansion that serves a level; null when the
    // analysed circuit has no such expansion.
    virtual const char* InstanceName(const CCTDoc* document, int level) = 0;
    // True while the document's circuit is analysed.
    virtual bool HasAnalysisCircuit(const CCTDoc* document) = 0;
};
NodeNameIndexPort& CompiledNodeNames();
// Returns the index installed before; nullptr restores the null object.
NodeNameIndexPort* InstallNodeNameIndex(NodeNameIndexPort* port);

// Lookups in a document's compiled node-name table (none without a document).
// Name text of the entry with this node, level and kind, searching from the
// last entry down (then at any level); "" when none.
const char* GetNodeName(const CCTDoc* document, int node, int level, int kind, int relative);
// The same, searching from the first entry up.
const char* GetFirstNodeName(const CCTDoc* document, int node, int level, int kind, int relative);
// Index of the entry of that name (upper case), -1 when none; kind -1 any.
int FindNodeIndex(const CCTDoc* document, const char* name, int level, int kindFilter);
// The node number of that entry, -1 when none.
int FindNodeNumber(const CCTDoc* document, const char* name, int level, int kindFilter);

// ---- state variables and the simulator's vectors ---------------------------------------

// One stored state variable: "D" a digital node state, "I" an inductor
// current, "V" a node voltage.
struct StateVariable {
    char kind;
    int32_t index;           // D, V: the node's index; V writes its value here
    int32_t index2;          // V: receives 0
    int32_t inductorBranch;  // I: the inductor's branch number; -1 without inductor
    double value;            // V, I
    int32_t state;           // D
};
struct StateVariableList {
    StateVariable* entries = nullptr;
    int32_t count = 0;
    int32_t mode = 0;  // 1: applied when loaded
    bool loaded = false;
    bool applyAtStart = false;  // the second switch: applied for transient and AC runs
};
// The simulator's start vectors with their lengths.
struct SimulatorVectors {
    double* solution = nullptr;
    int32_t solutionCount = 0;
    int32_t* digitalStates[3] = {nullptr, nullptr, nullptr};
    int32_t digitalCount = 0;
    int32_t nodeLabelCount = 0;  // label count of the analysed circuit
};

// What node labels and state variables ask of the simulator and the analysis
// windows. Until they are installed there are no state variables, no vectors
// and no analysis shown; digital states show as letters and values in the
// plain engineering format.
class SimulationPort {
public:
    virtual ~SimulationPort() = default;
    virtual StateVariableList* StateVariables() = 0;
    virtual SimulatorVectors* Vectors() = 0;
    // Display mode of the analysis whose data is shown; -1 when there is none.
    virtual int AnalysisDisplayMode() = 0;
    // The display character of a digital state.
    virtual char DigitalStateChar(int state) = 0;
    // The circuit's value formatter for node labels (size > 1).
    virtual void FormatNodeValue(CCirDoc* document, char* buffer, size_t size, double re, double im) = 0;
};
SimulationPort& Simulation();
// Returns the simulation installed before; nullptr restores the null object.
SimulationPort* InstallSimulation(SimulationPort* port);

// Copies the stored state variables into the simulator's start vectors.
// Entries whose indexes fall outside the vectors are skipped; one warning
// tells how many. Returns the number of entries applied.
int ApplyStateVariables();
