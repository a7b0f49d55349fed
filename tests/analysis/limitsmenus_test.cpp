#include "analysis/limitsmenus.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/memory.h"
#include "document/cfanalysis.h"
#include "platform/dialog.h"

namespace {

class ColumnMenus : public ::testing::Test {
protected:
    CurveRow& AddRow(const char* x, const char* xRange, const char* yRange) {
        settings_.curves.push_back(std::make_unique<CurveRow>());
        CurveRow& row = *settings_.curves.back();
        row.plotGroup = '1';
        SetString(&row.xExpression, x);
        SetString(&row.xRange, xRange);
        SetString(&row.yRange, yRange);
        return row;
    }
    AnalysisKindSettings settings_;
};

TEST_F(ColumnMenus, OfferFixedEntriesThenEachDistinctRowText) {
    AddRow("F", "fmax,fmin", "Auto");
    AddRow("F", "1Meg,1k", "10,0");
    CurveRow& gridded = AddRow("f", "1Meg,1k", "10");
    SetString(&gridded.gridY, "2");
    EXPECT_EQ(ColumnMenuEntries(settings_, 1, 3),
              (std::vector<std::string>{"Auto", "AutoAlways", "FMAX,FMIN", "1Meg,1k"}));
    EXPECT_EQ(ColumnMenuEntries(settings_, 1, 4), (std::vector<std::string>{"Auto", "AutoAlways", "10,0", "10,0,2"}));
    EXPECT_EQ(ColumnMenuEntries(settings_, 2, 1), (std::vector<std::string>{"DCINPUT1", "F"}));
    EXPECT_EQ(ColumnMenuEntries(settings_, 0, 0).front(), "None");
    EXPECT_TRUE(ColumnMenuEntries(settings_, 0, 2).empty());
}

TEST_F(ColumnMenus, AHeaderChoiceGoesIntoEveryRow) {
    AddRow("T", "Auto", "Auto");
    AddRow("T", "Auto", "Auto");
    ASSERT_TRUE(ApplyColumnChoice(settings_, 0, "3"));
    EXPECT_EQ(settings_.curves[1]->plotGroup, '3');
    ASSERT_TRUE(ApplyColumnChoice(settings_, 0, "None"));
    EXPECT_EQ(settings_.curves[0]->plotGroup, 0);
    ASSERT_TRUE(ApplyColumnChoice(settings_, 4, "5,-5,1"));
    EXPECT_STREQ(settings_.curves[1]->yRange, "5,-5");
    EXPECT_STREQ(settings_.curves[1]->gridY, "1");
}

TEST(FunctionWrapping, FillsTheArgumentsEachFunctionWants) {
    EXPECT_EQ(WrapInFunction("SUM", "", "T", 2), "SUM(?,T)");
    EXPECT_EQ(WrapInFunction("CS", " v(1) ", "T", 2), "CS(v(1),f)");
    EXPECT_EQ(WrapInFunction("CC", "v(1)", "T", 2), "CC(v(1),t)");
    EXPECT_EQ(WrapInFunction("SERIES", "v(1)", "T", 3), "SERIES(v(1),?,?)");
    EXPECT_EQ(WrapInFunction("ABS", "v(1)", "T", 1), "ABS(v(1))");
}

TEST(ExpandDialog, JoinsPastedLinesWithBlanks) {
    platform::ScopedModalAnswerer answerer([](platform::ModalRequest& request) {
        auto& dialog = dynamic_cast<CExpandDlg&>(request);
        EXPECT_EQ(dialog.GetText(kIdExpandText), "v(1)");
        dialog.SetText(kIdExpandText, "v(1)+\r\nv(2)\nv(3)");
        return platform::dlgid::Ok;
    });
    CExpandDlg dialog("v(1)");
    ASSERT_EQ(dialog.DoModal(), platform::dlgid::Ok);
    EXPECT_EQ(dialog.Text(), "v(1)+ v(2) v(3)");
    EXPECT_EQ(JoinExpandedLines("a\r\nb\rc\nd"), "a b c d");
}

}  // namespace
