// Coupled inductors: a K part's names resolve to the inductors of its scope,
// every coupled pair gets a DC path, and couplings that contradict each other
// or name nothing usable stop the compile naming the K part.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "compiler/compiled.h"
#include "compiler/defines.h"
#include "compiler/driver.h"
#include "compiler/spicereader.h"
#include "compiler/support.h"
#include "core/report_port.h"
#include "document/ctdoc.h"
#include "document/spicedoc.h"
#include "expr/devicelist.h"
#include "expr/runstate.h"
#include "tests/support/shipped_library.h"
#include "tests/support/tempdir.h"
#include "tests/support/test_reporter.h"

namespace {

class CouplingTest : public ::testing::Test {
protected:
    void SetUp() override {
        library_.emplace(dir_);
        ASSERT_TRUE(library_->Copied());
        SetAnalysisKind(0);
    }
    void TearDown() override {
        Release();
        library_.reset();
        CurrentRunContext().circuitDocument = nullptr;
        ClearCompileErrorLocation();
        SetAnalysisKind(-1);
    }
    void Release() {
        if (!document_) return;
        ReleaseSpiceReader(document_.get());
        ReleaseCompiledCircuit(document_.get());
        ReleaseDefineTable(document_.get());
    }
    int Compile(const std::string& body) {
        Release();
        document_ = MakeSpiceTextDocument(dir_.File("deck.ckt").c_str(),
                                          ("T\nV1 1 0 1\nR1 1 2 1\nL1 2 0 1M\nL2 3 0 1M\nL3 4 0 1M\nR3 3 0 1\n"
                                           "R4 4 0 1\n" +
                                           body + ".END\n")
                                              .c_str());
        shown_.clear();
        return RunCircuitCompiler(document_.get(), 1);
    }

    twtest::TempDir dir_;
    std::optional<twtest::ScopedShippedLibrary> library_;
    std::unique_ptr<CCTDoc> document_;
    std::vector<int> shown_;
    ScopedTestReporter reporter_{[this](const MessageRequest&) {
        shown_.push_back(LastMessageId());
        return 0;
    }};
};

TEST_F(CouplingTest, EveryPairOfACouplingGetsADcPath) {
    ASSERT_EQ(Compile("K1 L1 L2 L3 0.9\n"), 0) << LastMessageText();
    CompiledCircuit* compiled = FindCompiledCircuit(document_.get());
    ASSERT_NE(compiled, nullptr);
    auto* k = static_cast<InductorCouplingRecord*>(compiled->devices[kListInductorCouplings].pool.first);
    ASSERT_NE(k, nullptr);
    ASSERT_EQ(k->inductors.size(), 3u);
    EXPECT_EQ(k->inductors[0]->node1, 2);
    EXPECT_EQ(k->inductors[2]->node1, 4);
    int paths = 0;
    for (PoolItem* item = compiled->devices[kListResistors].pool.first; item; item = item->next)
        if (static_cast<ResistorRecord*>(item)->nominal == compiled->maxResistance) ++paths;
    EXPECT_EQ(paths, 3);
}

TEST_F(CouplingTest, ContradictingOrUnusableCouplingsAreRefused) {
    struct Case {
        const char* body;
        int message;
    };
    const Case cases[] = {
        {"K1 L1 0.9\n", 10808},                                            // one inductor without a core
        {"K1 L1 L9 0.9\n", 10802},                                         // no such inductor
        {"K1 L1 L1 0.9\n", 10803},                                         // named twice
        {"K1 L1 L2 0.9\nK2 L2 L1 0.5\n", 10810},                           // the pair coupled twice
        {".SUBCKT S A\nL5 A 0 1M\n.ENDS\nX1 2 S\nK1 L1 L5 0.9\n", 10802},  // another scope's inductor
    };
    for (const Case& c : cases) {
        EXPECT_NE(Compile(c.body), 0) << c.body;
        EXPECT_EQ(shown_, std::vector<int>{c.message}) << c.body;
    }
}

}  // namespace
