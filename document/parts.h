// Placed parts, selections and grid texts of a circuit: counting and changing
// the selection, keeping grid texts unique, placing attribute texts around a
// part, sorting the object list, and the two renaming commands (Rename
// Components, Rename Defines).
//
// The records themselves (SchematicObject, GridTextObject) live in
// document/ctdoc.h; the members declared there for these operations
// (GridTextObject::UpdateNodeNameFlag, SchematicObject::LayoutAttributeTexts,
// CCTView::GetSelectionOrigin, CCirDoc::CountSelected, CCirDoc::SelectObjects,
// CCirDoc::MakeUniqueGridText) are defined in parts.cpp.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/pool.h"
#include "document/nodes.h"

class CCTDoc;
class CCirDoc;
class CDoc;
class CMDIView;
struct FontSpec;
struct GridTextObject;
struct SchematicObject;

// ---- selection ------------------------------------------------------------------------

// Kind bits of CountSelected / SelectObjects in circuits.
constexpr int kSelectObjects = 1;  // components, wires and graphic objects
constexpr int kSelectGridTexts = 2;
constexpr int kSelectNodeLabel = 8;                                               // the selected node label
constexpr int kSelectAll = kSelectObjects | kSelectGridTexts | kSelectNodeLabel;  // 11
// The word of CCirDoc::selectionWords that holds the selected node label (an
// entry of the node label table, -1 none).
constexpr int kSelectedNodeLabelWord = 0;

// The number of selected items of one kind (kSelectObjects or kSelectGridTexts)
// of a circuit document; `last` (may be null) receives the last one found.
// Other documents answer 0.
int CountSelectedOfKind(CDoc* document, int kind, PoolItem** last);

// Smallest x and smallest y over the selected objects and grid texts on a page;
// (30000, 30000) when none is selected there.
constexpr int32_t kNoSelectionOrigin = 30000;
SchPoint GetSelectionOriginOnPage(const CCTDoc* document, int page);

// ---- grid texts -----------------------------------------------------------------------

// True when another grid text of the document has the same text (without case).
bool HasTwinGridText(const CCTDoc* document, const GridTextObject* text);
// True when a grid text that received a node (node field not -1) has the text.
bool IsNodeNameTaken(const CCTDoc* document, const char* text);
// The first grid text with the text (without case), or null.
GridTextObject* FindGridText(const CCTDoc* document, const char* text);

// The unique-text table of a Step Box or Mirror Box copy: between Begin and End
// MakeUniqueGridText continues each prefix from the number it gave last.
// Begin sizes the table to the number of grid texts (15002 when out of memory,
// no table then); End frees it and is harmless without a session.
struct UniqueTextEntry {
    char* prefix;    // heap text
    int32_t number;  // last number given to the prefix
};
int BeginUniqueTextSession(CCirDoc* document);
void EndUniqueTextSession(CCirDoc* document);

// ---- object order ---------------------------------------------------------------------

// Graphics first in their list order, then components and wires by position:
// rows (y, then x) or, with columnFirst, columns (x, then y); equal positions
// keep their list order. Any coordinate, negative ones included, is allowed.
void SortObjects(CCTDoc* document, bool columnFirst);

// ---- renaming -------------------------------------------------------------------------

// Replaces every whole-word occurrence of oldWord (without case) in the heap
// text *text by newWord. Words are delimited by the start and end of the text
// and by the characters " ,;=()[]<>{}^~*/+-='!|&." CR, LF and tab. With a mask
// (a heap text as long as the text), an occurrence whose first mask character
// is a blank is left alone, and the mask gets blanks where newWord went in, so
// nothing is replaced twice. Returns the number of replacements; when memory
// runs out the text (and mask) keep what was done so far.
int ReplaceWholeWord(char** text, char** mask, const char* oldWord, const char* newWord);

// With oldWord: ReplaceWholeWord. Without: replaces the temporary name
// (" TEMPPART") of every numbered component by its PART, for temporary names
// that begin with a letter or "_". True when the text changed.
bool RenameInText(CCirDoc* document, char** text, const char* oldWord, const char* newWord);

// Edit > Change > Rename Components...: asks for the order, then renames every
// numbered component page by page and updates every text that mentions a part
// name. 1 when renamed, 0 when the user cancelled.
int RenameComponents(CCirDoc* document);
// The renaming itself, without the dialog (columnFirst: "Top to Bottom").
void RenameComponentsInOrder(CCirDoc* document, bool columnFirst);
// The order last chosen in the dialog (0 "Left to Right", 1 "Top to Bottom").
int& RenameComponentsOrder();

// Edit > Change > Rename Defines: gives every .DEFINE symbol that is also the
// name of a connected node a leading "_" (as many as needed) and renames its
// uses. The number of symbols renamed.
int RenameCollidingDefines(CCirDoc* document);

// ---- texts of the text pages ----------------------------------------------------------

// A heap copy of a text page's text (free with FreeString), or null when the
// page is no text page or holds no text.
char* CopyTextPageText(CCTDoc* document, int page);
// Replaces a text page's whole text (in its editor when it has one).
void StoreTextPageText(CCTDoc* document, int page, const char* text);

// ---- ports of later layers ------------------------------------------------------------

// The compiler's rule for names. Until it is installed a name is a non-empty
// run of letters, digits and "_ $ % * + - /".
class NameRulesPort {
public:
    virtual ~NameRulesPort() = default;
    virtual bool IsValidName(const char* text) = 0;
};
NameRulesPort& NameRules();
// Returns the rules installed before; nullptr restores the null object.
NameRulesPort* InstallNameRules(NameRulesPort* port);

// Text measurement for laying attribute texts out: the width and line height
// (height plus external leading) of a text in a font, in drawing units.
// Until a measurer is installed, texts are measured on an off-screen surface
// while the window layer runs, else estimated from the font height.
class TextMetricsPort {
public:
    virtual ~TextMetricsPort() = default;
    virtual void MeasureText(const FontSpec& font, const char* text, int* width, int* height) = 0;
};
TextMetricsPort& TextMetrics();
TextMetricsPort* InstallTextMetrics(TextMetricsPort* port);
