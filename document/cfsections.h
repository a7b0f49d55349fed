// Section routines of the circuit file for the drawing (components with their
// attributes, wires, graphic objects, grid texts) and for everything around it
// (fonts and colours, pages and their texts, panes and zoom, tool bars, print,
// DSP and transfer-function settings).
//
// Each routine serves one section both ways: on a CircuitFile in write mode it
// writes its header and keys, in read mode it consumes the key lines of the
// section whose header was just read. 0 or a result code.
#pragma once

#include <cstddef>
#include <cstdint>

class CircuitFile;
struct ComponentDef;
struct GraphicStyle;

// Puts the routines of this file's sections into the circuit file's table.
void InstallCircuitObjectSections();
void InstallCircuitPageSections();

// Where component names read from a file are looked up. Until the component
// libraries and the file's embedded definitions are installed nothing is
// found, and every component gets the placeholder of missing components
// (which keeps its name, so a save writes it back).
class ComponentLookupPort {
public:
    virtual ~ComponentLookupPort() = default;
    virtual ComponentDef* FindEmbedded(CircuitFile& file, const char* name) = 0;
    // translateOldNames is false for 4.00 files.
    virtual ComponentDef* FindInLibraries(const char* name, bool translateOldNames) = 0;
    // 13507 "Component has no shape linked to it." for the name.
    virtual void ReportNoShape(const char* name) = 0;
    // Whether macro files can be read at all; until they can, macros of files
    // before 7.00 keep their VALUE as read.
    virtual bool ReadsMacroFiles() = 0;
    // The ".PARAMETERS" list of a macro file, from its "(" on, into out; false
    // when the file cannot be found or read.
    virtual bool MacroParameters(const char* macroFile, char* out, size_t size) = 0;
};
ComponentLookupPort& ComponentLookup();
// Returns the lookup installed before; nullptr restores the null object.
ComponentLookupPort* InstallComponentLookup(ComponentLookupPort* port);
// True for the definition that stands in for a component no library knows.
bool IsMissingComponentPlaceholder(const ComponentDef* definition);

// ---- objects ------------------------------------------------------------------

// Writing: the whole object list (WriteCircuitObjects).
int SerializeCompSection(CircuitFile& file);
int SerializeAttrSection(CircuitFile& file);  // on the current object
int SerializeWireSection(CircuitFile& file);
int SerializeObjectSection(CircuitFile& file);
// "Grid Text" and "Flag"; writing: every stored grid text.
int SerializeGridTextSection(CircuitFile& file);

// Writing: every object of the list in order as Comp (+ Attr), Wire or Object
// (+ Attr), each made the current object.
int WriteCircuitObjects(CircuitFile& file);
// Writing: one Grid Text or Flag section per stored grid text.
int WriteCircuitGridTexts(CircuitFile& file);
// Reading, after all sections: the macro parameter repairs (old VALUE form
// to FILE and "Param:" attributes; "Param:" attributes moved after FILE).
void RepairMacroParameters(CircuitFile& file);

// Graphic object types 1-15 ("Line" ... "BothCurlyBrackets").
const char* GraphicObjectTypeName(int type);  // "" for other codes
int FindGraphicObjectType(const char* name);  // 0 when unknown
bool IsClosedGraphicType(int type);

// The style key group shared with the analysis-window objects.
void WriteStyleKeys(CircuitFile& file, int type, uint16_t flags, const GraphicStyle& style, bool withType);
// `key` is upper case. True when the key was one of the group's.
bool ReadStyleKey(const char* key, const char* value, CircuitFile& file, GraphicStyle* style, uint16_t* flags);
// The comma-separated "Style" word list; may set the weight and pattern.
uint16_t ParseStyleWords(const char* value, GraphicStyle* style);

// "Animated DPST Switch" -> "Animated SPDT Switch", "Animated DPDT Switch" ->
// "Animated DPST Switch" in place (without case); others unchanged.
void FixAnimatedSwitchName(char* name);

// ---- pages, view and settings ------------------------------------------------------

int SerializeCircuitSection(CircuitFile& file);
int SerializeFontAndColorSection(CircuitFile& file);
int SerializeWindowPlacementSection(CircuitFile& file);
int SerializePageSection(CircuitFile& file);       // writing: one per written page
int SerializeTextAreaSection(CircuitFile& file);   // writing: one per written text page
int SerializeSchematicSection(CircuitFile& file);  // writes Tools at its end (6.00 on)
int SerializeToolsSection(CircuitFile& file);
int SerializePrinterSection(CircuitFile& file);
int SerializeDspSection(CircuitFile& file);
int SerializeTfSection(CircuitFile& file);

// The nearest allowed zoom (8, 4, 8/3, 2, 4/3, 1, 2/3, 1/2, 1/4) by value
// times 100 truncated; 1 when none matches.
double SnapZoomValue(double value);
