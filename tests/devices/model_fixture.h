// Model records made directly in a circuit's model pools, with the table
// defaults and the statement's values, for set-ups that need no compile.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <utility>

#include "devices/temperature.h"
#include "models/modelstmt.h"
#include "models/modeltypes.h"

class ModelFixture : public ::testing::Test {
protected:
    void SetUp() override {
        InitModelParamTables();
        models_ = CreateCircuitModels(nullptr);
        ASSERT_NE(models_, nullptr);
        setup_.models = models_;
        setup_.options = &options_;
    }
    void TearDown() override { DestroyCircuitModels(models_); }

    // A record of the type: table defaults, then the given values (marked given).
    ModelRecord* Add(int type, std::initializer_list<std::pair<const char*, double>> given = {}) {
        auto* record = static_cast<ModelRecord*>(models_->ModelPools[type].AddNew(kModelRecordItemBase + type));
        record->StatementRow = -1;
        EXPECT_EQ(record->AllocateValues(type), 0);
        EXPECT_EQ(record->SetDefaultValues(type, true), 0);
        for (const auto& [name, value] : given) {
            const int index = FindModelParamIndex(type, name);
            EXPECT_GE(index, 0) << name;
            record->Values[index] = value;
            record->Given[index] = 1;
        }
        return record;
    }
    static double& V(ModelRecord* record, const char* name) {
        return record->Values[FindModelParamIndex(record->ModelType, name)];
    }
    // Both passes, as the analysis start runs them.
    int RunAt(double temperature) {
        if (int rc = SetupModelsAtTemperature(setup_, temperature)) return rc;
        return SetupInstancesAtTemperature(setup_, temperature);
    }
    static double Vt(double celsius) { return ThermalVoltageAt(celsius + kKelvinOffset); }

    GlobalSettingValues options_;
    CircuitModels* models_ = nullptr;
    TemperatureSetup setup_;
};
