// The compile driver on SPICE text circuits, as the analysis start runs it: the
// shipped decks compile into device lists and numbered unknowns, a bad netlist
// stops with the message of its first fault and leaves nothing compiled, and
// compiles of one circuit or of two circuits side by side never disturb each
// other.
#include <gtest/gtest.h>

#include <cfenv>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "compiler/analysisstmts.h"
#include "compiler/compiled.h"
#include "compiler/defines.h"
#include "compiler/driver.h"
#include "compiler/session.h"
#include "compiler/spicereader.h"
#include "compiler/support.h"
#include "core/paths.h"
#include "core/report_port.h"
#include "core/result.h"
#include "document/cfanalysis.h"
#include "document/ctdoc.h"
#include "document/spicedoc.h"
#include "expr/devicelist.h"
#include "expr/runstate.h"
#include "shell/document.h"
#include "shell/preferences.h"
#include "tests/support/shipped_library.h"
#include "tests/support/tempdir.h"
#include "tests/support/test_reporter.h"

namespace {

class DriverTest : public ::testing::Test {
protected:
    // The circuit's library folder holds a copy of the shipped library, so that
    // the index files the searches build stay in the scratch folder.
    void SetUp() override {
        library_.emplace(dir_);
        ASSERT_TRUE(library_->Copied());
        // The analysis start records the kind before it compiles.
        SetAnalysisKind(0);
    }
    void TearDown() override {
        library_.reset();
        for (auto& document : documents_) Release(document.get());
        CurrentRunContext().circuitDocument = nullptr;
        ClearCompileErrorLocation();
        SetAnalysisKind(-1);
    }
    static void Release(CCTDoc* document) {
        ReleaseSpiceReader(document);
        ReleaseCompiledCircuit(document);
        ReleaseDefineTable(document);
    }
    CCTDoc* Deck(const std::string& text) {
        documents_.push_back(MakeSpiceTextDocument(dir_.File("deck.ckt").c_str(), text.c_str()));
        return documents_.back().get();
    }
    CCTDoc* Load(const std::string& path) {
        std::unique_ptr<CCTDoc> loaded;
        EXPECT_EQ(LoadSpiceTextDocument(path.c_str(), &loaded), 0) << path;
        documents_.push_back(std::move(loaded));
        return documents_.back().get();
    }
    int Compile(CCTDoc* document) {
        shown_.clear();
        texts_.clear();
        ClearCompileErrorLocation();
        return RunCircuitCompiler(document, 1);
    }
    static int DeviceCount(CCTDoc* document) {
        CompiledCircuit* compiled = FindCompiledCircuit(document);
        if (!compiled) return -1;
        int count = 0;
        for (const DeviceList& list : compiled->devices.lists) count += list.pool.count;
        return count;
    }

    twtest::TempDir dir_;
    std::optional<twtest::ScopedShippedLibrary> library_;
    std::vector<std::unique_ptr<CCTDoc>> documents_;
    std::vector<int> shown_;
    std::vector<std::string> texts_;
    ScopedTestReporter reporter_{[this](const MessageRequest&) {
        shown_.push_back(LastMessageId());
        texts_.push_back(LastMessageText());
        return 0;
    }};
};

// A source, a resistor, an inductor and a capacitor on three nodes: three node
// unknowns and one branch each for the source and the inductor.
TEST_F(DriverTest, AFlatDeckCompilesIntoDevicesAndNumberedUnknowns) {
    CCTDoc* document = Deck(
        "RLC\n"
        "V1 IN 0 PULSE(0 1 0 1N 1N 10N 20N) AC 1\n"
        "R1 IN MID 50\n"
        "L1 MID OUT 1U IC=0\n"
        "C1 OUT 0 1N\n"
        ".TRAN 1N 100N\n"
        ".AC DEC 10 1 1MEG\n"
        ".PRINT TRAN V(OUT)\n"
        ".END\n");
    ASSERT_EQ(Compile(document), 0) << LastMessageText();
    EXPECT_TRUE(shown_.empty());
    EXPECT_EQ(CurrentSetupPart, nullptr) << "no part outlives the set-up as a message source";
    CompiledCircuit* compiled = FindCompiledCircuit(document);
    ASSERT_NE(compiled, nullptr);
    EXPECT_EQ(compiled->analogNodeCount, 3);
    EXPECT_EQ(compiled->unknownCount, 5);
    EXPECT_EQ(DeviceCount(document), 4);
    EXPECT_EQ(compiled->solution.size(), 5u + 3u);
    EXPECT_EQ(compiled->lastAccepted.size(), 5u + 3u);

    AnalysisKindSettings* transient = AnalysisKindOf(document, 0);
    ASSERT_NE(transient, nullptr);
    EXPECT_STREQ(transient->limits[kTranPoints], "101");
    EXPECT_FALSE(transient->curves.empty());
}

// Compiling again starts from the text: the parts of the first compile are not
// read twice, and the result is the same circuit.
TEST_F(DriverTest, CompilingTwiceGivesTheSameCircuit) {
    CCTDoc* document = Deck("T\nV1 1 0 1\nR1 1 2 1K\nR2 2 0 1K\n.OP\n.END\n");
    ASSERT_EQ(Compile(document), 0) << LastMessageText();
    const int devices = DeviceCount(document);
    const int unknowns = FindCompiledCircuit(document)->unknownCount;
    ASSERT_EQ(Compile(document), 0) << LastMessageText();
    EXPECT_EQ(DeviceCount(document), devices);
    EXPECT_EQ(FindCompiledCircuit(document)->unknownCount, unknowns);
}

// The compile reports the arithmetic faults of its own work only: one that
// earlier work left raised does not fail it.
TEST_F(DriverTest, AFloatingPointFaultLeftByEarlierWorkDoesNotFailTheCompile) {
    CCTDoc* document = Deck("T\nV1 1 0 1\nR1 1 0 1K\n.END\n");
    std::feraiseexcept(FE_DIVBYZERO | FE_OVERFLOW);
    EXPECT_EQ(Compile(document), 0) << LastMessageText();
    EXPECT_TRUE(shown_.empty());
}

// Each circuit keeps its own compile: compiling a second one leaves the first
// one's devices and numbers as they were.
TEST_F(DriverTest, TwoCircuitsCompileSideBySide) {
    CCTDoc* small = Deck("A\nV1 1 0 1\nR1 1 0 1K\n.END\n");
    CCTDoc* large = Deck("B\nV1 1 0 1\nR1 1 2 1K\nR2 2 3 1K\nL1 3 0 1M\n.END\n");
    ASSERT_EQ(Compile(small), 0) << LastMessageText();
    ASSERT_EQ(Compile(large), 0) << LastMessageText();
    EXPECT_EQ(FindCompiledCircuit(small)->unknownCount, 2);
    EXPECT_EQ(DeviceCount(small), 2);
    EXPECT_EQ(FindCompiledCircuit(large)->unknownCount, 5);
    EXPECT_EQ(DeviceCount(large), 4);
}

// Every bad netlist stops with the message of its fault, and no half-built
// circuit survives the failed compile.
TEST_F(DriverTest, BadNetlistsStopWithTheirMessage) {
    std::string nested;
    for (int i = 1; i <= 15; ++i)
        dir_.Write("n" + std::to_string(i) + ".inc", ".INC n" + std::to_string(i + 1) + ".inc\n");
    // Dangling nodes are checked when the user asks for it.
    const int savedFloatingCheck = Prefs().floatingNodesCheck;
    Prefs().floatingNodesCheck = 1;
    struct Case {
        const char* what;
        std::string deck;
        int id;
        bool pointsAtStatement;
    } cases[] = {
        {"no ground", "T\nV1 1 2 1\nR1 1 2 1K\n.END\n", 10838, false},
        {"voltage-source loop", "T\nV1 1 0 1\nV2 1 0 2\nR1 1 0 1K\n.END\n", 10853, true},
        {"dangling node", "T\nV1 1 0 1\nR1 1 0 1K\nR2 1 2 1K\n.END\n", 10842, true},
        {"no DC path", "T\nV1 1 0 1\nR1 1 0 1K\nC1 1 2 1N\nC2 2 0 1N\n.END\n", 10856, true},
        {"unknown dot command", "T\nV1 1 0 1\nR1 1 0 1K\n.FROB 1 2\n.END\n", 10905, true},
        {"stray .ENDS", "T\nV1 1 0 1\nR1 1 0 1K\n.ENDS\n.END\n", 10931, true},
        {"15th nested .INC", "T\nV1 1 0 1\nR1 1 0 1K\n.INC n1.inc\n.END\n", 10907, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CCTDoc* document = Deck(c.deck);
        EXPECT_EQ(Compile(document), kResultShown);
        ASSERT_FALSE(shown_.empty());
        EXPECT_EQ(shown_.front(), c.id);
        EXPECT_NE(texts_.front().find("%E"), std::string::npos) << "every message has its text";
        CompiledCircuit* compiled = FindCompiledCircuit(document);
        EXPECT_TRUE(!compiled || DeviceCount(document) == 0);
        if (c.pointsAtStatement) {
            EXPECT_NE(CompileErrorLocation().kind, 0) << "the message points at its statement";
        }
    }
    Prefs().floatingNodesCheck = savedFloatingCheck;
}

// The global include file is read after the circuit's own statements, as scope
// 0: its defines reach every part. Without it nothing fails.
TEST_F(DriverTest, TheGlobalIncludeFileDefinesForEveryCompile) {
    char path[kPathNameSize];
    GetGlobalIncludePath(path, sizeof path);
    std::remove(path);
    CCTDoc* document = Deck("T\nV1 1 0 1\nR1 1 0 {RLOAD}\n.END\n");
    EXPECT_NE(Compile(document), 0) << "RLOAD is not defined yet";

    FILE* file = std::fopen(path, "w");
    ASSERT_NE(file, nullptr);
    std::fputs(".DEFINE RLOAD 2K\n", file);
    std::fclose(file);
    const int rc = Compile(document);
    std::remove(path);
    ASSERT_EQ(rc, 0) << LastMessageText();
    EXPECT_EQ(DeviceCount(document), 2);
}

// Model names resolve from the deck's own .MODEL lines, from its .LIB files and
// from the program's library, in that order.
TEST_F(DriverTest, ModelsResolveFromTheDeckItsLibrariesAndTheShippedLibrary) {
    dir_.Write("mine.lib", ".MODEL RMINE RES (R=2)\n.MODEL RMF RES (R=3)\n");
    CCTDoc* document = Deck(
        "T\n.LIB \"mine.lib\"\n.MODEL RLOCAL RES (R=4)\nV1 1 0 1\nR1 1 0 1K RLOCAL\nR2 1 0 1K RMINE\n"
        "R3 1 0 1K RMF\nC1 1 0 1N CX7R\n.END\n");
    ASSERT_EQ(Compile(document), 0) << LastMessageText();
    EXPECT_EQ(DeviceCount(document), 5);
    CCTDoc* missing = Deck("T\nV1 1 0 1\nR1 1 0 1K RNOWHERE\n.END\n");
    EXPECT_EQ(Compile(missing), kResultShown);
    EXPECT_FALSE(shown_.empty());
}

// The shipped decks compile as they stand, with their models from their
// libraries and the program's own.
TEST_F(DriverTest, ShippedDecksCompile) {
    // A copy of the folder: the searches write index files beside the decks.
    const std::string folder = dir_.File("spice/");
    ASSERT_EQ(std::system(("cp -r '" TW_SOURCE_DIR "/data/examples/spice' '" + dir_.File("") + "'").c_str()), 0);
    for (const char* name : {"rc-filter.ckt", "transformer.ckt", "bandpass.ckt", "coupled-pair.ckt"}) {
        SCOPED_TRACE(name);
        CCTDoc* document = Load(folder + name);
        ASSERT_NE(document, nullptr);
        EXPECT_EQ(Compile(document), 0) << LastMessageText();
        EXPECT_TRUE(shown_.empty());
        EXPECT_GT(DeviceCount(document), 0);
    }
}

}  // namespace
