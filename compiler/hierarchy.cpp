#include "compiler/hierarchy.h"

#include <cstring>

#include "compiler/defines.h"
#include "compiler/session.h"
#include "compiler/setup.h"
#include "core/chars.h"
#include "core/memory.h"
#include "document/attributes.h"
#include "document/component_defs.h"
#include "document/ctdoc.h"
#include "document/pages.h"
#include "models/lookup.h"
#include "models/modelstmt.h"
#include "models/modeltypes.h"

namespace {

constexpr const char* kHrIndent = "    ";
constexpr const char* kHrEnd = "\r\n";
constexpr int32_t kHrNoPartClass = 8400;

// Parentheses the define table added show as written.
std::string hr_Shown(const char* value) {
    std::string text = value ? value : "";
    for (char& c : text) {
        if (c == kMarkerOpen) c = '(';
        if (c == kMarkerClose) c = ')';
    }
    return text;
}

const char* hr_KindLabel(int32_t kind) {
    switch (kind) {
    case 3: return ".define";
    case 13: return ".param";
    case 14: return ".func";
    case 23: return "Passed Value";
    default: return "";
    }
}

std::string hr_PageName(CCTDoc* document, int page) {
    const PageRecord* record = document ? document->Page(page) : nullptr;
    return record && record->name ? record->name : "";
}

const char* hr_PartName(const SchematicObject* part) {
    const char* name = part ? GetAttributeText(part, kAttrPart) : nullptr;
    return name ? name : "";
}

}  // namespace

int FileList::Add(const std::string& name) {
    if (name.empty() || CompareNoCase(name.c_str(), main_.c_str()) == 0) return 0;
    for (const std::string& known : names_)
        if (CompareNoCase(known.c_str(), name.c_str()) == 0) return 0;
    names_.push_back(name);
    return 1;
}

std::string BuildHierarchyReport(CCTDoc* document) {
    std::string report = "*** Warning any changes made to this page will be overwritten when an analysis is entered.";
    report += kHrEnd;
    DefineTable* table = GetDefineTable(document);
    CircuitModels* models = GetCircuitModels(document);
    const std::string mainPath = document && document->PathName() ? document->PathName() : "";
    FileList files(mainPath);
    const int highest = table ? table->highestScope : -1;
    for (int i = 0; i <= highest; ++i) {
        CircuitScope* scope = GetScope(table, i);
        if (!scope) continue;
        std::string line;
        if (i == 0) {
            // The global include file is reported only when it was read.
            bool own = false;
            for (int k = 0; k < table->EntryCount(0); ++k)
                if (table->Entry(0, k) && !table->Entry(0, k)->promoted) own = true;
            if (!own) continue;
            line = "'" + scope->path + "' included";
        } else if (i == 1) {
            line = "Main found in '" + mainPath + "'";
        } else {
            if (!scope->instancePart) continue;
            const int callerIndex = scope->parent;
            CircuitScope* caller = GetScope(table, callerIndex);
            std::string callerName;
            if (callerIndex <= 1)
                callerName = GetScope(table, 1) ? GetScope(table, 1)->name : "";
            else if (caller && caller->instancePart)
                callerName = hr_PartName(caller->instancePart);
            line = std::string("Part '") + hr_PartName(scope->instancePart) + "' called from '" + callerName +
                   "' calls " + (scope->kind == kScopeKindSchematic ? "Macro" : "SubCkt") + " '" + scope->name +
                   "' found in '" + scope->path + "'";
            files.Add(scope->path);
            if (scope->document) line += " on page '" + hr_PageName(scope->document, scope->page) + "'";
        }
        report += kHrEnd;
        report += line;
        report += kHrEnd;
        const std::string file = i == 1 ? mainPath : scope->path;
        // The circuit's own .PARAM and .FUNC statements are kept in scope 0
        // but belong to the main circuit.
        std::vector<const DefineEntry*> entries;
        for (int s = i == 1 ? 0 : i; s <= i; ++s)
            for (int k = 0; k < table->EntryCount(s); ++k) {
                const DefineEntry* entry = table->Entry(s, k);
                if (entry && entry->name && (s == i ? !(i == 0 && entry->promoted) : entry->promoted))
                    entries.push_back(entry);
            }
        for (const DefineEntry* entry : entries) {
            std::string arguments;
            if (entry->IsFunctionLike()) {
                arguments = "(";
                for (int a = 0; a < entry->argCount; ++a) {
                    if (a) arguments += ",";
                    arguments += entry->argNames && entry->argNames[a] ? entry->argNames[a] : "";
                }
                arguments += ")";
            }
            report += std::string(kHrIndent) + hr_KindLabel(entry->kind) + " '" + entry->name + arguments + "' '" +
                      hr_Shown(entry->sourceValue ? entry->sourceValue : entry->value) + "'";
            if (scope->document) {
                if (entry->kind == 23)
                    report += " on page '" + hr_PageName(scope->document, scope->page) + "'";
                else
                    report += " found in '" + file + "' on page '" + hr_PageName(scope->document, scope->page) + "'";
            }
            report += entry->used ? " 'Used'" : " 'Not Used'";
            report += kHrEnd;
            if (entry->used) files.Add(file);
        }
        if (!models) continue;
        for (int row = 0; row < models->ModelStatements.Count; ++row) {
            const ModelStatement* statement = models->ModelStatements.At(row);
            if (!statement || statement->Scope != i || !statement->Name) continue;
            const ModelTypeInfo* type = GetModelTypeInfo(statement->Type);
            const std::string source = statement->SourceFile && *statement->SourceFile ? statement->SourceFile : file;
            report += std::string(kHrIndent) + ".model '" + statement->Name + "' '" +
                      (type && type->Keyword ? type->Keyword : "") + "' found in '" + source + "'";
            if (scope->document && statement->SourceKind != kSourceBinaryLibrary)
                report += " on page '" + hr_PageName(scope->document, scope->page) + "'";
            report += statement->Resolved ? " 'Used'" : " 'Not Used'";
            report += kHrEnd;
            if (statement->Resolved) files.Add(source);
        }
    }

    report += kHrEnd;
    report += "Components:";
    report += kHrEnd;
    ComponentTypeCounts counts;
    if (document) {
        for (PoolItem* item = document->objects.first; item; item = item->next) {
            if (item->type == kPoolItemDead) continue;
            auto* part = static_cast<SchematicObject*>(item);
            if (!part->IsComponent() || !part->definition || IsPartSkipped(part)) continue;
            counts.Increment(part->definition->type);
        }
    }
    for (int type = 1; type < kComponentTypeCount; ++type) {
        const ComponentType* row = GetComponentType(type);
        if (!row || row->classCode == kHrNoPartClass || counts.Count(type) == 0) continue;
        report += std::string(kHrIndent) + row->name + " = " + std::to_string(counts.Count(type)) + kHrEnd;
    }
    report += kHrEnd;
    report += "Files Used:";
    report += kHrEnd;
    for (const std::string& name : files.Names()) report += name + kHrEnd;
    return report;
}

void ReportHierarchy(CCTDoc* document) {
    if (!document) return;
    const int page = document->GetFirstInfoPage();
    PageRecord* record = document->Page(page);
    if (!record) return;
    const std::string report = BuildHierarchyReport(document);
    if (record->editor) {
        TextEditor().SetText(record->editor, report.c_str());
    } else {
        SetString(&record->storedText, report.c_str());
    }
}
