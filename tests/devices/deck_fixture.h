// A SPICE deck compiled, set up at 27 degrees and solved at its operating
// point through the engine, as the device tests need it: the deck's node
// voltages and device records are then at hand.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "compiler/compiled.h"
#include "compiler/defines.h"
#include "compiler/driver.h"
#include "compiler/options.h"
#include "compiler/spicereader.h"
#include "compiler/support.h"
#include "devices/temperature.h"
#include "document/ctdoc.h"
#include "document/spicedoc.h"
#include "engine/newton.h"
#include "engine/setup.h"
#include "expr/evaluate.h"
#include "expr/runstate.h"
#include "tests/support/shipped_library.h"
#include "tests/support/tempdir.h"
#include "tests/support/test_reporter.h"

class DeckOperatingPointFixture : public ::testing::Test {
protected:
    void SetUp() override {
        library_.emplace(dir_);
        ASSERT_TRUE(library_->Copied());
        SetAnalysisKind(2);
        ResetFloatingPointState();
    }
    void TearDown() override { Release(); }
    void Release() {
        if (document_) {
            ReleaseCompiledCircuit(state_, document_.get());
            ReleaseSpiceReader(document_.get());
            ReleaseDefineTable(document_.get());
            document_.reset();
        }
        library_.reset();
        CurrentRunContext().circuitDocument = nullptr;
        ClearCompileErrorLocation();
        SetAnalysisKind(-1);
    }
    void Restart() {
        Release();
        SetUp();
    }

    // Compiles the deck, sets it up at 27 degrees, builds the DC matrix and
    // iterates the operating point: the NewtonIterate result.
    int OperatingPoint(const std::string& deck) {
        document_ = MakeSpiceTextDocument(dir_.File("deck.ckt").c_str(), deck.c_str());
        EXPECT_EQ(RunCircuitCompiler(document_.get(), 1), 0) << LastMessageText();
        compiled_ = FindCompiledCircuit(document_.get());
        if (!compiled_) return -1;
        TemperatureSetup setup = MakeTemperatureSetup(document_.get());
        EXPECT_EQ(SetupModelsAtTemperature(setup, 27.0), 0) << LastMessageText();
        EXPECT_EQ(SetupInstancesAtTemperature(setup, 27.0), 0) << LastMessageText();
        EXPECT_EQ(AttachCircuit(state_, compiled_, *GetCircuitOptions(document_.get())), 0);
        EXPECT_EQ(BuildAnalysisMatrix(state_, nullptr, true, state_.DcPair), 0);
        state_.MatrixBuilt = 1;
        state_.AnalysisPhase = kPhaseDc;
        state_.LoadAnalysis = kLoadOperatingPoint;
        state_.OperatingPointActive = 1;
        state_.IterationMode = kModeInitJunction;
        return NewtonIterate(state_, nullptr, 200, state_.Options.gmin);
    }
    double V(const char* node) {
        const int number = FindNodeNumber(document_.get(), node, -1, -1);
        EXPECT_GT(number, 0) << node;
        return number > 0 ? state_.Solution[static_cast<size_t>(number)] : 0.0;
    }
    template <class T>
    std::vector<T*> Records(int list) {
        std::vector<T*> records;
        for (PoolItem* item = compiled_->devices[list].pool.first; item; item = item->next)
            records.push_back(static_cast<T*>(item));
        return records;
    }

    twtest::TempDir dir_;
    std::optional<twtest::ScopedShippedLibrary> library_;
    std::unique_ptr<CCTDoc> document_;
    CompiledCircuit* compiled_ = nullptr;
    SimulatorState state_;
    ScopedTestReporter reporter_{[](const MessageRequest&) { return 0; }};
};
