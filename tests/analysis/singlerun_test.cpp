// The Transfer Function and Sensitivity dialogs, answered off-screen on a
// divider of two 1k resistors: their quiet operating points, the values they
// show and the report of several inputs, and the circuit left as it was found.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/sensdlg.h"
#include "analysis/singlerun.h"
#include "analysis/start.h"
#include "analysis/tfdlg.h"
#include "compiler/defines.h"
#include "compiler/spicereader.h"
#include "compiler/support.h"
#include "core/memory.h"
#include "core/paths.h"
#include "core/result.h"
#include "document/cfanalysis.h"
#include "document/ctdoc.h"
#include "document/parts.h"
#include "document/spicedoc.h"
#include "expr/runstate.h"
#include "shell/document.h"
#include "tests/support/shipped_library.h"
#include "tests/support/tempdir.h"
#include "tests/support/test_reporter.h"

namespace {

const char* const kDivider = "divider\nV1 IN 0 10\nR1 IN OUT 1K\nR2 OUT 0 1K\n.TRAN 1U 10U\n.END\n";

class SingleRun : public ::testing::Test {
protected:
    void SetUp() override {
        library_.emplace(dir_);
        savedData_ = GetPathSetting(kPathData);
        SetPathSetting(kPathData, dir_.c_str());
        document_ = MakeSpiceTextDocument(dir_.File("div.ckt").c_str(), kDivider);
    }
    void TearDown() override {
        ExitAnalysis(document_.get(), true);
        ReleaseSpiceReader(document_.get());
        ReleaseDefineTable(document_.get());
        SetPathSetting(kPathData, savedData_.c_str());
        ClearRunContext();
        ClearCompileErrorLocation();
        SetAnalysisKind(-1);
        library_.reset();
    }
    // Runs a dialog off-screen: `act` works its controls, then it is closed.
    template <class Dialog>
    void Answer(Dialog& dialog, std::function<void(Dialog&)> act) {
        platform::ScopedModalAnswerer answerer([&](platform::ModalRequest& request) {
            act(dynamic_cast<Dialog&>(request));
            return platform::dlgid::Cancel;
        });
        dialog.DoModal();
    }
    static double Number(const std::string& text) {
        char* end = nullptr;
        const double value = std::strtod(text.c_str(), &end);
        EXPECT_TRUE(end && *end == 0 && !text.empty()) << "'" << text << "'";
        return value;
    }

    twtest::TempDir dir_{"tw_analysis_single"};
    std::optional<twtest::ScopedShippedLibrary> library_;
    std::string savedData_;
    std::unique_ptr<CCTDoc> document_;
    std::vector<int> shown_;
    ScopedTestReporter reporter_{[this](const MessageRequest& r) {
        shown_.push_back(r.code());
        return 0;
    }};
};

TEST_F(SingleRun, TheTransferFunctionShowsGainAndBothImpedances) {
    CTransferFunctionDlg dialog(document_.get());
    struct Case {
        const char* output;
        const char* input;
        const char* gain;
        const char* inputImpedance;
        const char* outputImpedance;
    } cases[] = {
        {"V(OUT)", "V1", "0.5", "2000", "500"},
        // A part that is no source: no gain and no impedances.
        {"V(OUT)", "R1", nullptr, "", nullptr},
    };
    Answer<CTransferFunctionDlg>(dialog, [&](CTransferFunctionDlg& d) {
        EXPECT_EQ(d.FindItem(kIdTfInput, "V1"), 0);
        EXPECT_EQ(d.FindItem(kIdTfInput, "R1"), -1);
        for (const Case& c : cases) {
            SCOPED_TRACE(c.input);
            d.SetText(kIdTfOutput, c.output);
            d.SetText(kIdTfInput, c.input);
            d.PressButton(kIdTfCalculate);
            if (c.gain) {
                EXPECT_NEAR(Number(d.GetText(kIdTfGain)), Number(c.gain), 1e-6);
            }
            if (*c.inputImpedance) {
                EXPECT_NEAR(Number(d.GetText(kIdTfInputImpedance)), Number(c.inputImpedance), 1e-3);
            } else {
                EXPECT_EQ(d.GetText(kIdTfInputImpedance), "");
            }
            if (c.outputImpedance) {
                EXPECT_NEAR(Number(d.GetText(kIdTfOutputImpedance)), Number(c.outputImpedance), 1e-3);
            }
            // Each calculation compiles the circuit afresh and releases it.
            EXPECT_EQ(CurrentAnalysis(), nullptr);
        }
    });
    EXPECT_TRUE(shown_.empty());
}

// A single run holds every stepping record of the kind, the Monte Carlo
// switch and the Run Options off, and puts them back at its end.
TEST_F(SingleRun, ASingleRunSuspendsAllSteppingOfTheKindAndRestoresIt) {
    AnalysisKindSettings& transient = EnsureAnalysisSettings(document_.get())->kinds[0];
    for (int i = 0; i < kStepRecordCount; ++i) transient.steps[i].flags |= kStepOn;
    transient.mcOptions |= kMonteCarloOn;
    transient.runOption = 1;
    {
        SingleRunRecord run(document_.get(), false);
        ASSERT_EQ(run.Begin(), 0);
        ASSERT_NE(run.Open(), nullptr);
        for (int i = 0; i < kStepRecordCount; ++i) EXPECT_EQ(transient.steps[i].flags & kStepOn, 0) << i;
        EXPECT_EQ(transient.mcOptions & kMonteCarloOn, 0);
        EXPECT_EQ(transient.runOption, 0);
    }
    EXPECT_EQ(CurrentAnalysis(), nullptr);
    for (int i = 0; i < kStepRecordCount; ++i) EXPECT_NE(transient.steps[i].flags & kStepOn, 0) << i;
    EXPECT_NE(transient.mcOptions & kMonteCarloOn, 0);
    EXPECT_EQ(transient.runOption, 1);
}

// d V(OUT) / d R1 = -V R2 / (R1 + R2)^2 = -0.0025 per ohm, relative -0.5; R2
// the opposite. One input fills the table; two make the report.
TEST_F(SingleRun, TheSensitivityOfTheDividerFillsTheTableAndTheReport) {
    SensitivitySettings settings;
    settings.outputs[0] = "V(OUT)";
    CSensitivityDlg one(document_.get(), settings);
    Answer<CSensitivityDlg>(one, [&](CSensitivityDlg& d) {
        const int r1 = d.FindItem(kIdSensNames, "R1");
        ASSERT_GE(r1, 0);
        EXPECT_EQ(d.FindItem(kIdSensNames, "V1") >= 0, true);
        d.UserSelect(kIdSensNames, r1);
        d.UserSelect(kIdSensParamOne, 0);
        ASSERT_EQ(settings.inputs.size(), 1u);
        EXPECT_EQ(d.Calculate(), 0);
        EXPECT_NEAR(Number(d.GetCellText(kIdSensTable, 0, 1)), -0.0025, 1e-5);
        EXPECT_NEAR(Number(d.GetCellText(kIdSensTable, 0, 2)), -0.5, 1e-3);
        EXPECT_EQ(d.GetCellText(kIdSensTable, 1, 1), "");
    });
    EXPECT_TRUE(shown_.empty());

    settings.multiple = true;
    settings.inputs.resize(2);
    settings.inputs[1].name = "R2";
    settings.inputs[1].parameter = "Value";
    CSensitivityDlg several(document_.get(), settings);
    Answer<CSensitivityDlg>(several, [&](CSensitivityDlg& d) { EXPECT_EQ(d.Calculate(), 0); });
    ASSERT_EQ(several.ReportPath(), dir_.File("div.sen"));
    std::ifstream in(several.ReportPath());
    std::stringstream text;
    text << in.rdbuf();
    std::istringstream lines(text.str());
    std::string line;
    std::vector<std::vector<std::string>> rows;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::vector<std::string> row;
        for (std::string word; words >> word;) row.push_back(word);
        if (!row.empty() && (row[0] == "R1.Value" || row[0] == "R2.Value")) rows.push_back(row);
    }
    ASSERT_EQ(rows.size(), 2u) << text.str();
    EXPECT_NE(text.str().find("V(OUT)"), std::string::npos);
    for (const auto& row : rows) {
        ASSERT_EQ(row.size(), 4u);
        const double sign = row[0] == "R1.Value" ? -1 : 1;
        EXPECT_EQ(Number(row[1]), 1000);
        EXPECT_NEAR(Number(row[2]), sign * 0.0025, 1e-5);
        EXPECT_NEAR(Number(row[3]), sign * 0.5, 1e-3);
    }
    EXPECT_EQ(CurrentAnalysis(), nullptr);
}

// Every top-level statement of the kind gives way to one new statement at
// the place of the first; without one it goes before .END, else at the end.
TEST(AnalysisStatementText, ReplacesEveryTopLevelStatementByOne) {
    struct Case {
        const char* what;
        const char* text;
        const char* expected;
    } cases[] = {
        {"two statements, one continued", "t\n.tf v(1) v1\nR1 1 0 1\n.TF V(2)\n+ V2\n.END\n",
         "t\n.TF V(OUT) V1\nR1 1 0 1\n.END\n"},
        {"none: before .END", "t\r\nR1 1 0 1\r\n.end\r\n", "t\r\nR1 1 0 1\r\n.TF V(OUT) V1\r\n.end\r\n"},
        {"none and no .END: at the end", "t\nR1 1 0 1", "t\nR1 1 0 1\n.TF V(OUT) V1"},
        {"inside a subcircuit and after .END: kept",
         "t\n.SUBCKT X A\n.TF V(A) V9\n.ENDS\n* .TF comment\n.END\n.TF V(3) V3\n",
         "t\n.SUBCKT X A\n.TF V(A) V9\n.ENDS\n* .TF comment\n.TF V(OUT) V1\n.END\n.TF V(3) V3\n"},
        {"a subcircuit left open: before it", "t\nR1 1 0 1\n.SUBCKT X A\nR2 A 0 1",
         "t\nR1 1 0 1\n.TF V(OUT) V1\n.SUBCKT X A\nR2 A 0 1"},
        {"an empty text gets a title", "", "\n.TF V(OUT) V1\n"},
        {"the title line is no statement", ".TF title\n.END", ".TF title\n.TF V(OUT) V1\n.END"},
        {"a longer keyword is another statement", "t\n.TFX 1\n.END\n", "t\n.TFX 1\n.TF V(OUT) V1\n.END\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ReplaceAnalysisStatement(c.text, ".TF", ".TF V(OUT) V1"), c.expected) << c.what;
}

TEST_F(SingleRun, ClosingTheTransferFunctionKeepsItsStatementInTheText) {
    CTransferFunctionDlg dialog(document_.get());
    Answer<CTransferFunctionDlg>(dialog, [&](CTransferFunctionDlg& d) {
        d.SetText(kIdTfOutput, "V(OUT)");
        d.SetText(kIdTfInput, "V1");
        d.PressButton(kIdTfCalculate);
    });
    const int page = document_->GetTextPageIndex();
    ASSERT_GE(page, 0);
    char* raw = CopyTextPageText(document_.get(), page);
    const std::string text = raw ? raw : "";
    FreeString(&raw);
    EXPECT_NE(text.find(".TF V(OUT) V1\n.END"), std::string::npos) << text;
}

}  // namespace
