#include "analysis/globalsettings.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <sstream>
#include <string>

#include "analysis/globalsettingsdlg.h"
#include "compiler/defines.h"
#include "compiler/options.h"
#include "core/memory.h"
#include "core/sectionfile.h"
#include "core/textfile.h"
#include "document/cirdoc.h"
#include "document/pages.h"
#include "document/parts.h"
#include "expr/runstate.h"
#include "expr/runvars.h"
#include "platform/dialog.h"
#include "shell/document.h"
#include "tests/support/tempdir.h"

namespace {

class GlobalSettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = GlobalSettings;
        ResetOptionTexts(true);
        ApplyGlobalSettings(true);
    }
    void TearDown() override {
        ResetOptionTexts(true);
        ApplyGlobalSettings(true);
        GlobalSettings = saved_;
        SetAnalysisKind(-1);
    }
    static std::string& Text(const char* keyword) { return GlobalSettingTexts().texts[FindOptionRow(keyword)]; }
    GlobalSettingValues saved_;
};

TEST_F(GlobalSettingsTest, TextsAreClampedToTheirRowsAndRewrittenOnlyWhenClamped) {
    struct Case {
        const char* keyword;
        const char* text;
        const char* after;
        double value;
    } cases[] = {
        {"RELTOL", "2", "1", 1},   {"RELTOL", "5m", "5m", 0.005},
        {"WIDTH", "5", "10", 10},  {"WIDTH", "132.6", "132.6", 132},
        {"NOOUTMSG", "7", "1", 1}, {"SEED", "-1", "-1", -1},
        {"SEED", "-2", "-1", -1},  {"TRTOL", "junk", "1", 1},
        {"TNOM", "", "27", 27},    {"ITL1", "1e12", "1e12", 2147483647.0},
    };
    for (const Case& c : cases) {
        Text(c.keyword) = c.text;
        ApplyGlobalSettings(true);
        EXPECT_EQ(Text(c.keyword), c.after) << c.keyword << "=" << c.text;
        CircuitOptions options;
        options.settings = GlobalSettings;
        EXPECT_DOUBLE_EQ(options.RowValue(FindOptionRow(c.keyword)), c.value) << c.keyword << "=" << c.text;
    }
}

TEST_F(GlobalSettingsTest, AnOpenAnalysisKeepsItsFixedRowsUntilAFullApply) {
    SetAnalysisKind(0);
    Text("GMIN") = "1n";
    Text("RELTOL") = "2m";
    ApplyGlobalSettings(false);
    EXPECT_DOUBLE_EQ(GlobalSettings.gmin, 1e-12);
    EXPECT_DOUBLE_EQ(GlobalSettings.reltol, 2e-3);
    SetAnalysisKind(-1);
    ApplyGlobalSettings(true);
    EXPECT_DOUBLE_EQ(GlobalSettings.gmin, 1e-9);
}

TEST_F(GlobalSettingsTest, TheSettingsSectionRoundTripsAndReadsKeysWithoutCase) {
    twtest::TempDir dir("tw_globalsettings");
    Text("RELTOL") = "2m";
    Text("WIDTH") = "132";
    GlobalSettingTexts().dialogMethod = 0;
    const std::string path = dir.File("settings.dat");
    {
        SectionFile out;
        ASSERT_EQ(out.CreateText(path.c_str()), 0);
        out.WriteSectionHeader("Global Settings");
        ASSERT_EQ(SerializeGlobalSettings(out), 0);
        ASSERT_EQ(out.Close(), 0);
    }
    const std::string written = twtest::ReadWholeFile(path);
    EXPECT_NE(written.find("RELTOL=2m\r\n"), std::string::npos);
    EXPECT_NE(written.find("METHOD=GEAR\r\n"), std::string::npos);
    ResetOptionTexts(true);
    auto read = [&](const std::string& file) {
        SectionFile in;
        ASSERT_EQ(in.OpenText(file.c_str()), 0);
        in.ReadLongEntry();  // the header
        EXPECT_EQ(SerializeGlobalSettings(in), 0);
        in.Close();
    };
    read(path);
    EXPECT_EQ(Text("RELTOL"), "2m");
    EXPECT_EQ(GlobalSettings.width, 132);
    EXPECT_EQ(GlobalSettingTexts().dialogMethod, 0);
    EXPECT_EQ(GlobalSettingTexts().activeMethod, 0);

    read(
        dir.Write("lower.dat",
                  "[Global Settings]\r\nreltol = 3m\r\nmethod=anything\r\nvntol=12345678901234567890\r\nnosuch=1\r\n"));
    EXPECT_DOUBLE_EQ(GlobalSettings.reltol, 3e-3);
    EXPECT_EQ(GlobalSettingTexts().dialogMethod, 1);
    EXPECT_EQ(Text("VNTOL"), "12345678901234");
}

TEST_F(GlobalSettingsTest, TheOlderFlatRecordDropsTextsBeyondTheTableAndCutsLongOnes) {
    twtest::TempDir dir("tw_globalsettings_flat");
    std::string record = "43\n";
    for (int i = 0; i < 43; ++i)
        record += i == 24 ? "2m\n" : i == 30 ? "1234567890123456789\n" : i >= 41 ? "junk\n" : "\n";
    record += "3G\n";
    const std::string path = dir.Write("flat.dat", record);
    TextFile in;
    ASSERT_EQ(in.OpenText(path.c_str()), 0);
    ASSERT_EQ(ReadOldGlobalSettings(in), 0);
    char next[32];
    ASSERT_EQ(in.ReadRawLine(next, sizeof next), 0);
    EXPECT_STREQ(next, "3G");
    in.Close();
    EXPECT_DOUBLE_EQ(GlobalSettings.reltol, 2e-3);
    EXPECT_EQ(Text("VNTOL"), "12345678901234");
    EXPECT_EQ(Text("ABSTOL"), "1pA");
}

TEST_F(GlobalSettingsTest, TheOptionsStatementStaysWithinTheWidthAndReadsBack) {
    Text("RELTOL") = "2m";
    Text("ABSTOL") = "1n";
    Text("DEFAD") = "1p";
    Text("TRYTOCOMPACT") = "1";
    Text("ITL4") = "40";
    GlobalSettingTexts().dialogMethod = 0;
    ApplyGlobalSettings(true);
    const std::string statement = BuildOptionsStatement(80, true);
    std::istringstream lines(statement);
    std::string line, joined;
    bool first = true;
    while (std::getline(lines, line)) {
        EXPECT_LE(line.size(), 80u) << line;
        if (!first) {
            ASSERT_EQ(line[0], '+');
            EXPECT_GT(line.size(), 1u);
        }
        joined += first ? line.substr(std::string(".OPTIONS").size()) : " " + line.substr(1);
        first = false;
    }
    EXPECT_EQ(statement.find("DEFAS"), std::string::npos);
    EXPECT_NE(statement.find(" TRYTOCOMPACT"), std::string::npos);
    EXPECT_NE(statement.find("METHOD=GEAR"), std::string::npos);

    auto doc = std::make_unique<CCirDoc>();
    CircuitOptions* options = GetCircuitOptions(doc.get());
    ASSERT_NE(options, nullptr);
    options->Reset(GlobalSettingValues());
    ASSERT_EQ(ParseOptionsStatement(doc.get(), joined.c_str(), 1, nullptr), 0) << joined;
    for (int i = 0; i < kOptionCount; ++i) {
        CircuitOptions global;
        global.settings = GlobalSettings;
        EXPECT_NEAR(options->RowValue(i), global.RowValue(i), 1e-6 * std::abs(global.RowValue(i)))
            << OptionsTable[i].keyword;
    }
    EXPECT_EQ(options->method, 0);
    ReleaseDefineTable(doc.get());
}

TEST_F(GlobalSettingsTest, AnItemWiderThanTheLineGetsALineOfItsOwn) {
    const std::string statement = BuildOptionsStatement(10, true);
    EXPECT_EQ(statement.find("\n+\n"), std::string::npos);
    EXPECT_EQ(statement.substr(statement.size() - 14), "\n+ METHOD=TRAP");
}

TEST(OptionsStatements, OnlyTopLevelStatementsAreRemovedWithTheirContinuations) {
    int removed = 0;
    const std::string text =
        "* deck\r\n.OPTIONS RELTOL=1m\r\n* note\r\n+ ABSTOL=1p\r\nR1 1 0 1k\r\n"
        ".SUBCKT X A B\r\n.opt GMIN=1n\r\n.ENDS\r\n.OPT ITL1=20\r\n.END\r\n";
    EXPECT_EQ(RemoveOptionsStatements(text, &removed),
              "* deck\r\n* note\r\nR1 1 0 1k\r\n.SUBCKT X A B\r\n.opt GMIN=1n\r\n.ENDS\r\n.END\r\n");
    EXPECT_EQ(removed, 2);
}

TEST_F(GlobalSettingsTest, WritingIntoASchematicWithoutATextPageAddsOne) {
    auto doc = std::make_unique<CCirDoc>();
    ASSERT_GE(doc->AppendPage(0, "Page 1"), 0);
    ASSERT_EQ(WriteOptionsToCircuit(doc.get()), 0);
    const int page = doc->GetTextPageIndex();
    ASSERT_GE(page, 0);
    char* text = CopyTextPageText(doc.get(), page);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::string(text).rfind(".OPTIONS ACCT LIST OPTS", 0), 0u) << text;
    FreeString(&text);
    ASSERT_EQ(WriteOptionsToCircuit(doc.get()), 0);
    text = CopyTextPageText(doc.get(), page);
    const std::string twice = text;
    FreeString(&text);
    EXPECT_EQ(twice.find(".OPTIONS"), twice.rfind(".OPTIONS"));
}

}  // namespace

namespace {

// The dialog, answered off-screen: `edit` changes its controls, then the
// answer is pressed.
int RunDialog(std::function<void(CGlobalSettingsDlg&)> edit, int answer) {
    platform::ScopedModalAnswerer answerer([&](platform::ModalRequest& request) {
        auto& dialog = dynamic_cast<CGlobalSettingsDlg&>(request);
        edit(dialog);
        return answer;
    });
    CGlobalSettingsDlg dialog;
    return dialog.DoModal();
}

int Id(const char* keyword) { return OptionRowInfos[FindOptionRow(keyword)].id; }

TEST_F(GlobalSettingsTest, TheDialogClampsWhatOkTakesAndCancelKeepsEverything) {
    RunDialog([](CGlobalSettingsDlg& d) { d.SetText(Id("RELTOL"), "2"); }, platform::dlgid::Cancel);
    EXPECT_EQ(Text("RELTOL"), "1m");
    RunDialog(
        [](CGlobalSettingsDlg& d) {
            EXPECT_EQ(d.GetText(Id("RELTOL")), "1m");
            EXPECT_EQ(d.GetCheck(Id("PRIVATEANALOG")), 1);
            d.SetText(Id("RELTOL"), "2");
            d.SetText(Id("WIDTH"), "  5 ");
            d.SetCheck(Id("NOOUTMSG"), 1);
            d.CheckRadio(kIdMethodGear, kIdMethodTrap, kIdMethodGear);
        },
        platform::dlgid::Ok);
    EXPECT_EQ(Text("RELTOL"), "1");
    EXPECT_EQ(Text("WIDTH"), "10");
    EXPECT_EQ(Text("NOOUTMSG"), "1");
    EXPECT_DOUBLE_EQ(GlobalSettings.reltol, 1);
    EXPECT_EQ(GlobalSettingTexts().dialogMethod, 0);

    RunDialog(
        [](CGlobalSettingsDlg& d) {
            d.PressButton(kIdPowerDefault);
            EXPECT_EQ(d.GetText(Id("RELTOL")), "10m");
        },
        platform::dlgid::Ok);
    EXPECT_DOUBLE_EQ(GlobalSettings.gmin, 1e-9);
    EXPECT_EQ(GlobalSettingTexts().activeMethod, 0);
}

TEST_F(GlobalSettingsTest, WhileAnAnalysisIsOpenOnlyLiveRowsMayChange) {
    SetAnalysisKind(0);
    RunDialog(
        [](CGlobalSettingsDlg& d) {
            EXPECT_FALSE(d.IsControlEnabled(Id("GMIN")));
            EXPECT_FALSE(d.IsControlEnabled(Id("DIGFREQ")));
            EXPECT_TRUE(d.IsControlEnabled(Id("RELTOL")));
            EXPECT_FALSE(d.IsControlEnabled(kIdStandardDefault));
            d.SetText(Id("GMIN"), "1n");
            d.SetText(Id("RELTOL"), "3m");
        },
        platform::dlgid::Ok);
    EXPECT_DOUBLE_EQ(GlobalSettings.gmin, 1e-12);
    EXPECT_DOUBLE_EQ(GlobalSettings.reltol, 3e-3);
    EXPECT_EQ(Text("GMIN"), "1p");
}

}  // namespace
