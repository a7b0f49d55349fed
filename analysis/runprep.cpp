#include "analysis/runprep.h"

#include "compiler/session.h"
#include "devices/temperature.h"
#include "models/modelstmt.h"
#include "models/modeltypes.h"

int RestoreModelParameters(CCTDoc* document) {
    CircuitModels* models = GetCircuitModels(document);
    if (!models) return 0;
    for (int type = 0; type < kModelTypeCount; ++type) {
        for (PoolItem* item = models->ModelPools[type].first; item; item = item->next) {
            auto* model = static_cast<ModelRecord*>(item);
            if (!model->Nominal || !model->Values) continue;
            if (int rc = CopyModelValues(model->Values, model->Nominal, ModelParamCount(type), type)) return rc;
        }
    }
    return 0;
}

int SetupCircuitAtTemperature(CCTDoc* document, double temperature) {
    if (int rc = RestoreModelParameters(document)) return rc;
    TemperatureSetup setup = MakeTemperatureSetup(document);
    if (int rc = SetupModelsAtTemperature(setup, temperature)) return rc;
    return SetupInstancesAtTemperature(setup, temperature);
}
