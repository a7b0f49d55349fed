#include "analysis/logs.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "analysis/globalsettings.h"
#include "analysis/numout.h"
#include "core/cmdline.h"
#include "core/memory.h"
#include "core/settings.h"
#include "document/cfanalysis.h"
#include "document/cirdoc.h"
#include "shell/document.h"
#include "shell/preferences.h"
#include "shell/report.h"
#include "tests/support/tempdir.h"

namespace {

class MessageLogRouting : public ::testing::Test {
protected:
    void SetUp() override { InstallAnalysisLogs(); }
    void TearDown() override {
        AnalysisLogs().CloseSensitivityLog();
        AnalysisLogs().CloseParameterCheckReport();
        SetRoutedNumericOutput(nullptr);
        Reporting().transientReport = false;
    }
    // A message record as the reporter hands it to its destinations.
    static MessageRecord Record(const char* caption, const char* text) {
        MessageRecord record;
        InitMessageRecord(record);
        std::strncpy(record.caption, caption, sizeof record.caption - 1);
        std::strncpy(record.text, text, sizeof record.text - 1);
        return record;
    }
    twtest::TempDir dir_{"tw_logs"};
};

TEST_F(MessageLogRouting, ATransientReportLandsInTheNumericOutputInsteadOfABox) {
    AnalysisKindSettings settings;
    NumericOutput out;
    out.SetPath(dir_.File("amp.TNO"));
    out.settings = &settings;
    ASSERT_EQ(out.Begin(true), 0);
    out.Close();
    SetRoutedNumericOutput(&out);
    Reporting().transientReport = true;
    MessageRecord record = Record("Warning:", "Time step too small at 1.5u");
    EXPECT_EQ(RouteMessage(record), 0);
    const std::string text = twtest::ReadWholeFile(dir_.File("amp.TNO"));
    EXPECT_NE(text.find("Warning: Time step too small at 1.5u\r\n"), std::string::npos) << text;

    // With no analysis output the message has nowhere to go.
    SetRoutedNumericOutput(nullptr);
    EXPECT_FALSE(ReportLogs().WriteNumericOutputMessage(nullptr, "Warning:", "lost"));
}

TEST_F(MessageLogRouting, SensitivityAndParameterCheckLogsTakeTheirLines) {
    ASSERT_EQ(AnalysisLogs().OpenSensitivityLog(dir_.File("amp.sen")), 0);
    ASSERT_EQ(AnalysisLogs().OpenParameterCheckReport(dir_.File("check.txt")), 0);
    CDoc circuit;
    CurrentRunContext().circuitDocument = &circuit;
    AnalysisLogs().SetSensitivityInput("R1", "Value");
    MessageRecord record = Record("Error", "Singular matrix\nFile: amp.cir\nat node 3\n");
    RouteMessage(record);
    CurrentRunContext().circuitDocument = nullptr;
    MessageRecord plain = Record("Warning", "no circuit");
    RouteMessage(plain);
    AnalysisLogs().CloseSensitivityLog();
    AnalysisLogs().CloseParameterCheckReport();
    EXPECT_FALSE(ReportLogs().SensitivityLogOpen());
    EXPECT_EQ(twtest::ReadWholeFile(dir_.File("amp.sen")),
              "R1.Value: Error, Singular matrix\r\nat node 3\r\nWarning, no circuit\r\n");
    // The check report takes each line of the text tab-indented.
    EXPECT_EQ(twtest::ReadWholeFile(dir_.File("check.txt")),
              "\tSingular matrix\r\n\tFile: amp.cir\r\n\tat node 3\r\n\tno circuit\r\n");
    EXPECT_EQ(SensitivityLogText("File: first line stays\nx\nFile: y\n"), "File: first line stays\nx");
}

TEST(FlatLayoutRecords, TheOldSettingsFileGivesTheOptionsFormatsAndTitleBlock) {
    InstallAnalysisLogs();
    twtest::TempDir dir("tw_flat");
    const std::string path = dir.Write("tarn.dat",
                                       "5.30\r\n/d/\r\n"
                                       "3\r\n1.5e-12\r\n1e-6\r\n7\r\n"  // ABSTOL, CHGTOL, DEFAD
                                       "4E\r\n6\r\n250\r\n"             // tag and voltage formats, renumbering
                                       "0\r\n8197\r\n"                  // no fonts, switches
                                       "5\r\nA\r\nB\r\n\r\nD\r\nE\r\n"  // title block
                                       "0\r\n1\r\n0\r\n");
    char* saved = nullptr;
    SetString(&saved, Startup().settingsPath ? Startup().settingsPath : "");
    SetString(&Startup().settingsPath, path.c_str());
    const int rc = LoadSettings();
    SetString(&Startup().settingsPath, saved);
    FreeString(&saved);
    ASSERT_EQ(rc, 0);
    EXPECT_EQ(GlobalSettingTexts().texts[0], "1.5e-12");
    EXPECT_EQ(GlobalSettingTexts().texts[2], "7");
    EXPECT_STREQ(Prefs().tagFormat.text, "4E");
    EXPECT_EQ(Prefs().nodeVoltageFormat.digits, 6);
    EXPECT_EQ(Prefs().nodeRecalc, 250);
    EXPECT_STREQ(DefaultTitleBlock().fields[1], "B");
    EXPECT_STREQ(DefaultTitleBlock().fields[4], "E");
    ResetOptionTexts(true);
    ApplyGlobalSettings(true);
    InstallFlatLayoutRecords(nullptr);
}

}  // namespace
