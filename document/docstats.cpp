#include "document/docstats.h"

#include <cstdio>

#include "document/component_defs.h"
#include "document/ctdoc.h"
#include "shell/document.h"
#include "shell/statsdlg.h"

namespace {

// Grounds, jumpers, shorts and ties are drawn as parts but count as none.
constexpr int32_t kClassNotAPart = 8400;

bool ds_CountsAsPart(const SchematicObject* object) {
    if (!object->IsComponent() || !object->definition) return false;
    const ComponentType* row = GetComponentType(object->definition->type);
    return row && object->definition->type != 0 && row->classCode != kClassNotAPart;
}

class ds_Statistics final : public StatisticsPort {
public:
    void AppendCircuitStatistics(std::vector<std::string>& lines) override {
        const RunContext& run = CurrentRunContext();
        const CCTDoc* document = dynamic_cast<CCTDoc*>(run.circuitDocument);
        if (!document) document = dynamic_cast<CCTDoc*>(GetActiveDocument());
        if (!document) return;
        AppendComponentStatistics(*document, run.circuitDocument && run.analysisDocument, lines);
    }
};

}  // namespace

void AppendComponentStatistics(const CCTDoc& document, bool byType, std::vector<std::string>& lines) {
    ComponentTypeCounts counts;
    int total = 0;
    for (PoolItem* p = document.objects.first; p; p = p->next) {
        const auto* object = static_cast<const SchematicObject*>(p);
        if (p->type == kPoolItemDead || !ds_CountsAsPart(object)) continue;
        ++total;
        counts.Increment(object->definition->type);
    }
    char line[100];
    std::snprintf(line, sizeof line, "Components = %d", total);
    lines.emplace_back(line);
    if (!byType) return;
    for (int type = 1; type < kComponentTypeCount; ++type) {
        const ComponentType* row = GetComponentType(type);
        if (!counts.Count(type) || row->classCode == kClassNotAPart) continue;
        std::snprintf(line, sizeof line, "%s = %d", row->name, counts.Count(type));
        lines.emplace_back(line);
    }
}

void InstallDocumentStatistics() {
    static ds_Statistics statistics;
    InstallStatistics(&statistics);
}
