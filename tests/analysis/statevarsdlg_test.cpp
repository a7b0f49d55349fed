#include "analysis/statevarsdlg.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/commands.h"
#include "analysis/start.h"
#include "compiler/defines.h"
#include "compiler/spicereader.h"
#include "compiler/support.h"
#include "core/paths.h"
#include "core/result.h"
#include "document/ctdoc.h"
#include "document/parts.h"
#include "document/spicedoc.h"
#include "engine/statefile.h"
#include "expr/runstate.h"
#include "platform/commondlg.h"
#include "platform/dialog.h"
#include "tests/support/shipped_library.h"
#include "tests/support/tempdir.h"
#include "tests/support/test_reporter.h"

namespace {

class NoWindows : public AnalysisWindowPort {
public:
    int OpenAnalysisWindow(CCTDoc*, int) override { return 0; }
    void CloseAnalysisWindow(CCTDoc*) override {}
};

class StateVariablesEditor : public ::testing::Test {
protected:
    void SetUp() override {
        library_.emplace(dir_);
        savedData_ = GetPathSetting(kPathData);
        SetPathSetting(kPathData, dir_.c_str());
        previousWindows_ = InstallAnalysisWindows(&windows_);
    }
    void TearDown() override {
        if (document_) {
            ExitAnalysis(document_.get(), true);
            ReleaseSpiceReader(document_.get());
            ReleaseDefineTable(document_.get());
        }
        InstallAnalysisWindows(previousWindows_);
        SetPathSetting(kPathData, savedData_.c_str());
        ClearRunContext();
        ClearCompileErrorLocation();
        SetAnalysisKind(-1);
        library_.reset();
    }
    // Starts the kind's analysis of the deck and runs the editor's command.
    CStateVarDlg* Open(const std::string& deck, int kind) {
        document_ = MakeSpiceTextDocument(dir_.File("amp.ckt").c_str(), deck.c_str());
        EXPECT_EQ(RunAnalysis(document_.get(), kind), 0) << LastMessageText();
        EXPECT_TRUE(AnalysisCommands().OnCommand(kCmdStateVariablesEditor));
        return ActiveStateVariablesEditor();
    }
    SimulatorState& Engine() { return CurrentAnalysis()->engine; }
    std::string Text() {
        char* raw = CopyTextPageText(document_.get(), document_->GetTextPageIndex());
        std::string text = raw ? raw : "";
        FreeString(&raw);
        return text;
    }

    twtest::TempDir dir_{"tw_state_variables"};
    std::optional<twtest::ScopedShippedLibrary> library_;
    std::string savedData_;
    NoWindows windows_;
    AnalysisWindowPort* previousWindows_ = nullptr;
    std::unique_ptr<CCTDoc> document_;
    std::vector<int> shown_;
    ScopedTestReporter reporter_{[this](const MessageRequest& r) {
        shown_.push_back(r.code() >= 0 ? r.code() : LastMessageId());
        return platform::dlgid::Yes;
    }};
};

const char* const kSmallDeck = "small\nV1 A 0 DC 1\nR1 A B 1k\nR2 B C 1k\nC1 C 0 1n\n.END\n";

// A ladder of ten nodes and two inductors: more rows than the editor shows.
std::string LadderDeck() {
    std::string deck = "ladder\nV1 N1 0 DC 1\n";
    for (int i = 1; i < 10; ++i)
        deck += "R" + std::to_string(i) + " N" + std::to_string(i) + " N" + std::to_string(i + 1) + " 1k\n";
    deck += "L1 N10 0 1u\nL2 N5 0 2u\n.END\n";
    return deck;
}

TEST_F(StateVariablesEditor, FewRowsShrinkTheWindowAndEditsReachTheSolution) {
    CStateVarDlg* d = Open(kSmallDeck, 0);
    ASSERT_NE(d, nullptr);
    platform::CommandState menu(kCmdStateVariablesEditor, true);
    ASSERT_TRUE(AnalysisCommands().OnUpdateCommand(menu));
    EXPECT_TRUE(menu.Enabled());
    EXPECT_TRUE(menu.Checked());
    // Three nodes: three rows, the rest and the scroll bar are not made.
    EXPECT_EQ(d->Rows(), 3);
    EXPECT_TRUE(d->GetItemRect(kIdStateVoltage + 2).Width() > 0);
    EXPECT_EQ(d->GetItemRect(kIdStateVoltage + 3).Width(), 0);
    EXPECT_EQ(d->GetItemRect(kIdStateScroll).Width(), 0);
    EXPECT_EQ(d->GetText(kIdStateVoltageName), "A");
    EXPECT_FALSE(d->IsControlEnabled(kIdStateCurrent));
    EXPECT_EQ(d->GetText(kIdStateTitle), "Time =0");

    // A typed voltage goes into all three solution vectors; bad text keeps the value.
    StateVariablesChanged() = false;
    d->SetText(kIdStateVoltage + 1, "2.5m");
    d->StoreField(kIdStateVoltage + 1);
    for (const std::vector<double>* v : {&Engine().Solution, &Engine().LastSolution, &Engine().OlderSolution})
        EXPECT_DOUBLE_EQ((*v)[2], 2.5e-3);
    EXPECT_EQ(d->GetText(kIdStateVoltage + 1), "+2.50000e-03");
    EXPECT_TRUE(StateVariablesChanged());
    d->SetText(kIdStateVoltage + 1, "junk");
    d->StoreField(kIdStateVoltage + 1);
    EXPECT_EQ(d->GetText(kIdStateVoltage + 1), "+2.50000e-03");

    // Clear zeroes the state; a file written before gives it back.
    const std::string file = dir_.File("amp.TOP");
    ASSERT_EQ(d->WriteFile(file), 0);
    d->Clear();
    EXPECT_EQ(Engine().Solution[2], 0.0);
    EXPECT_EQ(d->GetText(kIdStateVoltage + 1), "+0.00000e+00");
    ASSERT_EQ(d->ReadFile(file), 0);
    EXPECT_DOUBLE_EQ(Engine().Solution[2], 2.5e-3);
    EXPECT_EQ(d->GetText(kIdStateVoltage + 1), "+2.50000e-03");

    // The analysis's end closes the editor.
    CloseAnalysis(document_.get());
    EXPECT_EQ(ActiveStateVariablesEditor(), nullptr);
}

TEST_F(StateVariablesEditor, ScrollingShowsLaterRowsAndInductorCurrents) {
    CStateVarDlg* d = Open(LadderDeck(), 0);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->Rows(), 10);
    EXPECT_TRUE(d->IsControlVisible(kIdStateScroll));
    EXPECT_EQ(d->GetRangeHigh(kIdStateScroll), 2);
    EXPECT_EQ(d->GetText(kIdStateCurrentName + 1), "L2");
    d->ScrollTo(99);
    EXPECT_EQ(d->TopRow(), 2);
    EXPECT_EQ(d->GetText(kIdStateVoltageName), "N3");
    EXPECT_FALSE(d->IsControlEnabled(kIdStateCurrent));  // row 3 has no inductor
    d->ScrollTo(0);
    // A current goes into the inductor's branch of the present and last solution.
    d->SetText(kIdStateCurrent, "1.5");
    d->StoreField(kIdStateCurrent);
    const OperatingPointData data = CollectOperatingPoint(document_.get(), Engine().Solution);
    ASSERT_EQ(data.inductorCurrents.size(), 2u);
    EXPECT_EQ(data.inductorCurrents[0], 1.5);

    // Create .IC puts the statements before the .END line.
    int asked = 0;
    platform::ScopedModalAnswerer yes([&](platform::ModalRequest&) {
        ++asked;
        return platform::dlgid::Yes;
    });
    ASSERT_EQ(d->CreateInitialConditions(), 0);
    EXPECT_EQ(asked, 1);
    const std::string text = Text();
    const size_t ic = text.find(".IC V(N1)=");
    const size_t current = text.find(".IC I(L1)=1.5 I(L2)=0");
    const size_t end = text.find(".END");
    ASSERT_NE(ic, std::string::npos) << text;
    ASSERT_NE(current, std::string::npos) << text;
    EXPECT_LT(current, end);
}

TEST_F(StateVariablesEditor, DcAnalysisShowsTheStateReadOnly) {
    CStateVarDlg* d = Open(kSmallDeck, 2);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->GetText(kIdStateTitle), "Operating Point State Variables");
    for (int id : {kIdStateClear, kIdStateRead, kIdStateWrite, kIdStateCreateIc})
        EXPECT_FALSE(d->IsControlEnabled(id)) << id;
    const std::string before = d->GetText(kIdStateVoltage);
    d->SetText(kIdStateVoltage, "7");
    d->StoreField(kIdStateVoltage);
    EXPECT_EQ(d->GetText(kIdStateVoltage), before);
}

// Long .IC statements continue on "+ " lines before they pass the width.
TEST(StateVariableStatements, LongStatementsWrapAtTheWidth) {
    StateVariableNames names;
    std::vector<double> solution(1, 0.0);
    for (int i = 1; i <= 30; ++i) {
        names.nodes.push_back("NODE" + std::to_string(i));
        solution.push_back(i * 0.25);
    }
    names.nodes[4].clear();  // an unnamed node is left out
    const std::vector<std::string> statements = BuildInitialConditionStatements(names, solution, {}, 80);
    ASSERT_EQ(statements.size(), 1u);
    std::istringstream lines(statements[0]);
    std::string line;
    int count = 0;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        EXPECT_LE(line.size(), 80u) << line;
        EXPECT_EQ(line.substr(0, count ? 2 : 3), count ? "+ " : ".IC");
        ++count;
    }
    EXPECT_GT(count, 3);
    EXPECT_EQ(statements[0].find("NODE5)"), std::string::npos);
    EXPECT_NE(statements[0].find(" V(NODE30)=7.5"), std::string::npos);
}

}  // namespace
