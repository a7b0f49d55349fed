// Passive elements at temperature on compiled decks: the factor each element
// load multiplies its value with, from the part's own or the model's
// coefficients, and the finite edges of pulse sources.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "compiler/compiled.h"
#include "compiler/defines.h"
#include "compiler/driver.h"
#include "compiler/session.h"
#include "compiler/spicereader.h"
#include "compiler/support.h"
#include "core/paths.h"
#include "core/result.h"
#include "devices/families.h"
#include "document/ctdoc.h"
#include "document/spicedoc.h"
#include "expr/devicelist.h"
#include "expr/evaluate.h"
#include "expr/runstate.h"
#include "tests/support/shipped_library.h"
#include "tests/support/tempdir.h"
#include "tests/support/test_reporter.h"

namespace {

class PassiveTemperatureTest : public ::testing::Test {
protected:
    void SetUp() override {
        library_.emplace(dir_);
        ASSERT_TRUE(library_->Copied());
        SetAnalysisKind(0);
        // A fault another test left in the floating-point status would fail the compile.
        ResetFloatingPointState();
    }
    void TearDown() override {
        library_.reset();
        if (document_) {
            ReleaseSpiceReader(document_.get());
            ReleaseCompiledCircuit(document_.get());
            ReleaseDefineTable(document_.get());
        }
        CurrentRunContext().circuitDocument = nullptr;
        ClearCompileErrorLocation();
        SetAnalysisKind(-1);
    }
    // Compiles the deck and runs both passes at the temperature.
    void SetUpAt(const std::string& deck, double temperature) {
        document_ = MakeSpiceTextDocument(dir_.File("deck.ckt").c_str(), deck.c_str());
        ASSERT_EQ(RunCircuitCompiler(document_.get(), 1), 0) << LastMessageText();
        setup_ = MakeTemperatureSetup(document_.get());
        ASSERT_NE(setup_.compiled, nullptr);
        ASSERT_EQ(SetupModelsAtTemperature(setup_, temperature), 0) << LastMessageText();
        ASSERT_EQ(SetupInstancesAtTemperature(setup_, temperature), 0) << LastMessageText();
    }
    template <class Record>
    std::vector<Record*> Records(int list) {
        std::vector<Record*> records;
        if (!setup_.compiled) return records;
        for (PoolItem* item = setup_.compiled->devices.lists[list].pool.first; item; item = item->next)
            records.push_back(static_cast<Record*>(item));
        return records;
    }

    twtest::TempDir dir_;
    std::optional<twtest::ScopedShippedLibrary> library_;
    std::unique_ptr<CCTDoc> document_;
    TemperatureSetup setup_;
    ScopedTestReporter reporter_{[](const MessageRequest&) { return 0; }};
};

TEST_F(PassiveTemperatureTest, ResistorFactors) {
    SetUpAt(
        "T\n.MODEL RT RES (R=1 TC1=0.01 TCE=0.5)\n.MODEL RP RES (R=1 TC1=0.01 TC2=1e-4)\nV1 1 0 1\n"
        "R1 1 0 1K RT\nR2 1 0 1K TC=0.001\nR3 1 0 1K RP\nR4 1 0 1K\n.END\n",
        127.0);
    const auto r = Records<ResistorRecord>(kListResistors);
    ASSERT_EQ(r.size(), 4u);
    // The exponential coefficient wins over the model's TC1: 1.01^50, not 2.
    EXPECT_NEAR(r[0]->temperatureFactor, std::pow(1.01, 50.0), 1e-12);
    // Without a model: against TNOM.
    EXPECT_NEAR(r[1]->temperatureFactor, 1.0 + 0.001 * 100.0, 1e-12);
    EXPECT_NEAR(r[2]->temperatureFactor, 1.0 + 0.01 * 100.0 + 1e-4 * 100.0 * 100.0, 1e-12);
    EXPECT_EQ(r[3]->temperatureFactor, 1.0);
}

TEST_F(PassiveTemperatureTest, CapacitorAndInductorFlags) {
    SetUpAt(
        "T\n.MODEL CV CAP (C=1 VC1=0.1 TC1=0.002)\n.MODEL LI IND (L=1 IL1=0.1)\n.MODEL LB IND (L=1 IL1=0.1 IL2=0.2)\n"
        "V1 1 0 1\nR1 1 2 1K\nC1 2 0 1N CV\nC2 2 0 1N\nL1 2 3 1U LI\nL2 3 0 1U LB\n.END\n",
        77.0);
    const auto c = Records<CapacitorRecord>(kListCapacitors);
    ASSERT_EQ(c.size(), 2u);
    EXPECT_EQ(c[0]->constantCapacitance, 0);
    EXPECT_NEAR(c[0]->temperatureFactor, 1.0 + 0.002 * 50.0, 1e-12);
    EXPECT_EQ(c[1]->constantCapacitance, 1);
    EXPECT_EQ(c[1]->temperatureFactor, 1.0);
    const auto l = Records<InductorRecord>(kListInductors);
    ASSERT_EQ(l.size(), 2u);
    EXPECT_EQ(l[0]->inductorFlag, 1);
    EXPECT_EQ(l[1]->inductorFlag, 0);
    EXPECT_EQ(l[0]->temperatureFactor, 1.0);
}

TEST_F(PassiveTemperatureTest, SpicePulseEdgesAndRepeatedSetUps) {
    SetUpAt("T\nV1 1 0 PULSE(0 5 0 0 0 0.5M 1M)\nV2 2 0 PULSE(0 5 0 1N 2N 5N 10N)\nR1 1 2 1K\nR2 2 0 1K\n.END\n", 27.0);
    const auto s = Records<SourceRecord>(kListSpiceSources);
    ASSERT_EQ(s.size(), 2u);
    EXPECT_DOUBLE_EQ(s[0]->values[3], 1e-6);
    EXPECT_DOUBLE_EQ(s[0]->values[4], 1e-6);
    EXPECT_EQ(s[1]->values[3], 1e-9);
    EXPECT_EQ(s[1]->values[4], 2e-9);
}

TEST_F(PassiveTemperatureTest, PulseModelEdges) {
    struct Case {
        double p[5];
        double p2, p3;
    } cases[] = {
        {{0, 0, 5e-7, 5.1e-7, 1e-6}, 1e-9, 5e-7},
        {{1e-7, 1.1e-7, 5e-7, 5e-7, 1e-6}, 1.1e-7, 5e-7 - 1e-9},
        // No room for an edge: nothing moves.
        {{0, 0, 0, 0, 0}, 0, 0},
        {{0, 0, 5e-10, 5e-10, 1e-6}, 0, 5e-10},
    };
    for (const Case& c : cases) {
        double v[7] = {0, 5, c.p[0], c.p[1], c.p[2], c.p[3], c.p[4]};
        WidenPulseModelEdges(v);
        EXPECT_DOUBLE_EQ(v[3], c.p2);
        EXPECT_DOUBLE_EQ(v[4], c.p3);
    }
}

TEST_F(PassiveTemperatureTest, SwitchConstants) {
    const double vswitch[] = {1, 1e6, 1, 0};
    const SwitchConstants k = ComputeSwitchConstants(vswitch);
    EXPECT_DOUBLE_EQ(k.logMidResistance, std::log(1e3));
    EXPECT_DOUBLE_EQ(k.logResistanceRatio, std::log(1e-6));
    EXPECT_EQ(k.controlMidpoint, 0.5);
}

}  // namespace
