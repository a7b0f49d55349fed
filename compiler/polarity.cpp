#include "compiler/polarity.h"

#include <string>

#include "compiler/session.h"
#include "compiler/setup.h"
#include "compiler/spicedevices.h"
#include "compiler/support.h"
#include "core/result.h"
#include "document/attributes.h"
#include "document/component_defs.h"
#include "document/ctdoc.h"
#include "models/lookup.h"
#include "models/modelstmt.h"
#include "models/modeltypes.h"

namespace {

constexpr int kPoTypeNpn4 = 36;
constexpr int kPoTypePnp4 = 38;
constexpr int kPoTypeNjfet = 25;

struct PoFamily {
    int nModel;
    int pModels[2];  // -1 ends
};

bool po_Family(int componentType, PoFamily* family) {
    switch (componentType) {
    case kTypeNpn:
    case kPoTypeNpn4: *family = {kModelNpn, {kModelPnp, kModelLpnp}}; return true;
    case kTypeNmos: *family = {kModelNmos, {kModelPmos, -1}}; return true;
    case kPoTypeNjfet: *family = {kModelNjf, {kModelPjf, -1}}; return true;
    default: return false;
    }
}

// The scope's own statements, then the enclosing ones down to the circuit's.
bool po_InScopes(const CircuitModels* models, int type, int scope, const char* name) {
    for (int s = scope; s >= 1; --s)
        if (models->ModelStatements.FindInScope(type, s, name) >= 0) return true;
    return false;
}

// The P-type model type the name means, -1 for none (N-type or unknown).
int po_PType(CircuitModels* models, const PoFamily& family, int scope, const char* name, int* result) {
    if (po_InScopes(models, family.nModel, scope, name)) return -1;
    for (int type : family.pModels)
        if (type >= 0 && po_InScopes(models, type, scope, name)) return type;
    // Not in the circuit: a library model of the P type joins its statements.
    bool reported = false;
    const int row = FindModelByName(models, family.pModels[0], scope, name, &reported);
    if (reported) *result = kResultShown;
    if (row < 0) return -1;
    for (int type : family.pModels)
        if (type >= 0 && po_InScopes(models, type, scope, name)) return type;
    const ModelStatement* statement = models->ModelStatements.At(row);
    return statement && statement->Type != family.nModel ? family.pModels[0] : -1;
}

}  // namespace

int ResolvePartPolarities(CCTDoc* document, int scope) {
    CircuitModels* models = GetCircuitModels(document);
    if (!document || !models) return 0;
    for (PoolItem* item = document->objects.first; item; item = item->next) {
        if (item->type == kPoolItemDead) continue;
        auto* part = static_cast<SchematicObject*>(item);
        PoFamily family;
        if (!part->IsComponent() || !part->definition || IsPartSkipped(part) ||
            !po_Family(part->definition->type, &family) || PartScope(part) != scope)
            continue;
        const std::string name = GetAttributeText(part, kAttrModel);
        if (name.empty()) continue;
        int result = 0;
        const int pType = po_PType(models, family, scope, name.c_str(), &result);
        if (result) return result;
        if (pType < 0) continue;
        const ModelTypeInfo* info = GetModelTypeInfo(pType);
        int componentType = info ? info->ComponentTypeIndex : 0;
        if (part->definition->type == kPoTypeNpn4)
            componentType = componentType == kTypeNpn ? kPoTypeNpn4 : kPoTypePnp4;
        if (componentType <= 0) continue;
        ComponentDef* definition = GetComponentDefForType(document, componentType);
        if (!definition) return kResultNoMemory;
        part->definition = definition;
    }
    return 0;
}
