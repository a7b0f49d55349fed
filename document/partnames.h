// Part names and the defaults of new parts.
//
// A placed part gets a PART name made of its type's prefix and a running
// number. The circuit keeps 27 counters (CCirDoc::partCounters): one per prefix
// letter A to Z, and one shared by the prefixes of more than one letter (SW,
// Meter, Relay ...) and the types without a prefix, whose parts are named
// Part1, Part2 ... The counters follow the names in the circuit: they are
// rebuilt after loading and undo (CCirDoc::RecountPartNumbers), so a deleted
// last part frees its number again.
//
// CCirDoc::NextPartName, AssignNextPartName and RecountPartNumbers are
// declared in document/cirdoc.h and defined in partnames.cpp.
#pragma once

#include <cstddef>
#include <cstdint>

#include "document/nodes.h"

class CCirDoc;
class CMDIView;
struct ComponentDef;
struct PartAttribute;
struct SchematicObject;

// The counter shared by multi-letter prefixes and types without a prefix.
constexpr int kSharedPartCounter = 26;

// The counter a type's names use: 0-25 for a one-letter prefix A-Z, else 26.
int PartCounterOfType(int type);

// Raises the counter that the component's PART selects to the number at its
// end (always sets it for a Tie). Nothing without PART or trailing digits.
void RecountFromPart(CCirDoc* document, SchematicObject* component);

// Placing a part of the current component choice at a point: the "Add" undo
// state, a new selected component with the definition's default orientation
// and its pin nodes. Null when there is no choice, the definition has no
// shape or the point lies outside 1..31999 (silently), or memory runs out
// (reported); the undo state is dropped then.
SchematicObject* PlaceNewPart(CCirDoc* document, SchPoint point);

// Lets the user drag the new part into place, names it, gives it its defaults
// and (when its type asks) its attribute dialog. 1 when placed; 0 when
// cancelled: the part is deleted, the "Add" step undone and the counters
// rebuilt.
int FinishPlacingNewPart(CCirDoc* document, SchematicObject* component);

// SetNewPartDefaults option bits.
constexpr int kDefaultsNoPackage = 1;        // no package assignment
constexpr int kDefaultsPackageFromTwin = 2;  // copy the package of a part of the same definition

// The default attributes of a part of the component's type: PART (empty when
// missing), the type's nine default attributes with their default texts,
// package, COST and POWER, and per-type extras. Null texts stand for the
// defaults ("IO_STD", "$G_DPWR", "$G_DGND", empty). 0, or 15002 when an
// attribute could not be stored (the others are still set).
int SetNewPartDefaults(CCirDoc* document, SchematicObject* component, const char* powerNode, const char* groundNode,
                       const char* firstValue, const char* model, const char* ioModel, const ComponentDef* definition,
                       int options);
// SetNewPartDefaults with no nodes, texts or definition.
int SetPlainPartDefaults(CCirDoc* document, SchematicObject* component, int options);

// The package found for a part in the package libraries.
struct PackageMatch {
    const char* packageName = nullptr;
    // The letter of the first gate that is not "*" (null or "" when the
    // package lists no such gate).
    const char* firstGate = nullptr;
};
// PACKAGE, GATE and COMPNAME of a part: copied from the first part of the same
// definition (copyFromTwin; nothing when that one has no PACKAGE), or taken
// from the package libraries.
void AssignPackage(CCirDoc* document, SchematicObject* component, bool copyFromTwin);
// Looks the part up in the package libraries and stores the package's name in
// PACKAGE; false (nothing stored) when none fits.
bool FindPackageOf(CCirDoc* document, SchematicObject* component, PackageMatch* match);

// What placing a part asks of the component libraries. Until they are
// installed no definition is chosen for placing and no package fits.
class ComponentCatalogPort {
public:
    virtual ~ComponentCatalogPort() = default;
    // The definition chosen for placing; null when none.
    virtual ComponentDef* CurrentComponent() = 0;
    // Moves the definition to the top of the recently used components.
    virtual void AddRecentComponent(ComponentDef* definition) = 0;
    // The package entry that fits the part (MODEL compared without case);
    // false when none.
    virtual bool FindPackage(const SchematicObject* component, PackageMatch* match) = 0;
};
ComponentCatalogPort& ComponentCatalog();
// Returns the catalog installed before; nullptr restores the null object.
ComponentCatalogPort* InstallComponentCatalog(ComponentCatalogPort* port);
