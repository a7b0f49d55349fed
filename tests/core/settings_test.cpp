// Tests of the settings file tarn.dat: table order, reading in any order,
// rejection of foreign files, the screen check, the flat 5.30 layout and safe saving.
#include <gtest/gtest.h>

#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "core/cmdline.h"
#include "core/desktop.h"
#include "core/paths.h"
#include "core/recentlist.h"
#include "core/result.h"
#include "core/sectionfile.h"
#include "core/settings.h"
#include "tests/support/tempdir.h"
#include "tests/support/test_reporter.h"

namespace {

std::string settings_ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void settings_WriteFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

bool settings_Exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

// The section headers of a file, in order, without brackets.
std::vector<std::string> settings_Headers(const std::string& text) {
    std::vector<std::string> headers;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() > 1 && line.front() == '[' && line.back() == ']')
            headers.push_back(line.substr(1, line.size() - 2));
    }
    return headers;
}

std::vector<std::string> settings_TableNames() {
    std::vector<std::string> names;
    for (int i = 0; i < kSettingsSectionCount; ++i) names.push_back(SettingsSectionName(i));
    return names;
}

struct SettingsCalls {
    int screenWidth = 0, screenHeight = 0;
    int placementCleared = 0;
    std::vector<int> reported;
    unsigned options = 0;
    bool inertial = false;
    std::vector<std::string> titleTexts;
};

// The screen and the shell's settings entries as tarn.dat's reader sees them.
class SettingsDesktop final : public ScreenPort, public ShellSettingsPort {
public:
    explicit SettingsDesktop(SettingsCalls& calls) : calls_(calls) {}
    void GetScreenSize(int* width, int* height) override {
        *width = calls_.screenWidth;
        *height = calls_.screenHeight;
    }
    void UnpackOperationalOptions(unsigned word) override { calls_.options = word; }
    void SetInertialCancellation(bool on) override { calls_.inertial = on; }
    void ClearSavedPlacement() override { ++calls_.placementCleared; }

private:
    SettingsCalls& calls_;
};

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.Valid());
        path_ = dir_.File("tarn.dat");
        reporter_.emplace([this](const MessageRequest& request) {
            calls_.reported.push_back(request.code());
            return static_cast<int>(kResultShown);
        });
        InstallShellSettings(&desktop_);
        ResetSettingsSections();
        ResetStartupState();
        SetProgramDirectory(dir_.c_str());
        InitRecentLists();
        SetString(&Startup().settingsPath, path_.c_str());
    }
    void TearDown() override {
        ResetSettingsSections();
        ResetStartupState();
        FreeRecentLists();
        ClearPathGroups();
        for (int kind = kPathData; kind <= kPathPicture; ++kind) SetPathSetting(kind, "");
        reporter_.reset();
        InstallShellSettings(nullptr);
        InstallScreen(nullptr);
        InstallFlatLayoutRecords(nullptr);
    }

    twtest::TempDir dir_{"tw_settings"};
    std::string path_;
    SettingsCalls calls_;
    SettingsDesktop desktop_{calls_};
    std::optional<ScopedTestReporter> reporter_;
};

TEST_F(SettingsTest, FreshProgramWritesMainFirstThenEverySectionInTableOrder) {
    InstallScreen(&desktop_);
    calls_.screenWidth = 1280;
    calls_.screenHeight = 1024;
    EXPECT_NE(LoadSettings(), 0);  // no file yet: every default applies
    ASSERT_EQ(SaveSettingsFile(), 0);

    std::string text = settings_ReadFile(path_);
    EXPECT_EQ(settings_Headers(text), settings_TableNames());
    EXPECT_EQ(text.rfind("[Main]\r\n", 0), 0u) << "no empty line before the first section";
    const std::string main =
        "[Main]\r\nFileType=TARN.DAT\r\nVersion=8.00\r\nProgram=Tarnwick\r\nTARNDATA=" + dir_.Path() +
        "/data/\r\nModelLibPath=" + dir_.Path() + "/library/\r\nPicturePath=" + dir_.Path() +
        "/data/\r\nScreen=1280,1024\r\n\r\n[Global Settings]\r\n";
    EXPECT_EQ(text.substr(0, main.size()), main);
    EXPECT_FALSE(settings_Exists(path_ + ".tmp"));
}

TEST_F(SettingsTest, ReadsSectionsInAnyOrderSkipsUnknownOnesAndRewritesInTableOrder) {
    // A served section receives exactly its own lines, whatever comes around it.
    // A section routine is a plain function with no context to carry a count.
    static int tipLines;
    tipLines = 0;
    RegisterSettingsSection("tip", [](SectionFile& file) {
        char line[200];
        while (file.ReadEntry(line, sizeof line) == 1) ++tipLines;
        return file.error;
    });
    settings_WriteFile(path_,
                       "[Path Groups]\nTitle=\"Work\"\nData=\"/w/data/\"\nLibrary=\"/w/lib/\"\nPicture=\"/w/pic/\"\n\n"
                       "[Someone Else's Section]\nKey=value\n[Not A Header\n\n"
                       "[Tip]\nShow=1\nNext=7\n"
                       "[Last Loaded Files]\r\nMax=10\r\nFILE_1=/w/amp.cir\r\n"
                       "[Preferences]\nWhatever=1\n"
                       "[main]\nscreen=0,0\nModelLibPath=/w/lib/\nfiletype=tarn.dat\nVersion=8.00\n");
    ASSERT_EQ(LoadSettings(), 0);
    EXPECT_EQ(tipLines, 2);
    EXPECT_STREQ(GetPathSetting(kPathLibrary), "/w/lib/");
    ASSERT_EQ(PathGroupCount(), 1);
    EXPECT_STREQ(GetPathGroup(0)->name.c_str(), "Work");
    EXPECT_STREQ(RecentFiles().Text(0), "/w/amp.cir");
    EXPECT_TRUE(SettingsSectionWasRead(FindSettingsSection("Preferences")));

    ASSERT_EQ(SaveSettingsFile(), 0);
    std::string text = settings_ReadFile(path_);
    EXPECT_EQ(settings_Headers(text), settings_TableNames());
    EXPECT_NE(text.find("FILE_1=/w/amp.cir\r\n"), std::string::npos);
    EXPECT_NE(text.find("Title=\"Work\"\r\n"), std::string::npos);
    EXPECT_EQ(text.find("Someone"), std::string::npos);
}

TEST_F(SettingsTest, ForeignFileTypeGives15009AndEveryDefaultApplies) {
    const char* files[] = {
        "[Main]\nFileType=OTHER.DAT\nTARNDATA=/x/data/\n[Last Loaded Files]\nFILE_1=/x/a.cir\n",
        // The damage comes after other sections were already read.
        "[Last Loaded Files]\nFILE_1=/x/a.cir\n[Main]\nTARNDATA=/x/data/\n",
    };
    for (const char* file : files) {
        settings_WriteFile(path_, file);
        EXPECT_EQ(LoadSettings(), kResultBadFormat) << file;
        EXPECT_EQ(GetPathSetting(kPathData), dir_.Path() + "/data/") << file;
        EXPECT_EQ(RecentFiles().Text(0), nullptr) << file;
        EXPECT_EQ(RecentFiles().Count(), 10) << "the list keeps its slots";
    }
    // TW5.DAT is the older program's own type and is accepted.
    settings_WriteFile(path_, "[Main]\nFileType=TW5.DAT\nTW5DATA=/x/data/\n");
    EXPECT_EQ(LoadSettings(), 0);
    EXPECT_STREQ(GetPathSetting(kPathData), "/x/data/");
}

TEST_F(SettingsTest, ChangedScreenSizeForgetsTheSavedPlacement) {
    struct Case {
        bool hook;
        const char* screenLine;
        bool changed;
    };
    const Case cases[] = {
        {true, "Screen=1024,768\n", true},  // written on a smaller screen
        {true, "Screen=1280,1024\n", false},
        {true, "Screen=garbage\n", true},
        {true, "", false},                   // nothing recorded, nothing to compare
        {false, "Screen=1024,768\n", true},  // no screen known: 0,0
        {false, "Screen=0,0\n", false},
    };
    for (const Case& c : cases) {
        InstallScreen(c.hook ? &desktop_ : nullptr);
        calls_.screenWidth = 1280;
        calls_.screenHeight = 1024;
        calls_.placementCleared = 0;
        settings_WriteFile(path_, std::string("[Main]\nFileType=TARN.DAT\n") + c.screenLine);
        ASSERT_EQ(LoadSettings(), 0) << c.screenLine;
        EXPECT_EQ(SettingsScreenChanged(), c.changed) << c.screenLine;
        EXPECT_EQ(calls_.placementCleared, c.changed ? 1 : 0) << c.screenLine;
    }
}

// The owners of the flat layout's later records: the old global-settings
// record (here two items) and the title-block texts.
class SettingsFlatRecords final : public FlatLayoutRecordsPort {
public:
    explicit SettingsFlatRecords(std::vector<std::string>& titleTexts) : titleTexts_(titleTexts) {}
    int ReadOldGlobalSettings(TextFile& file) override {
        char item[100];
        int result = file.ReadToken(item, sizeof item);
        if (result == 0) result = file.ReadToken(item, sizeof item);
        return result;
    }
    void SetTitleBlockText(int, const char* text) override { titleTexts_.push_back(text ? text : "(null)"); }

private:
    std::vector<std::string>& titleTexts_;
};

TEST_F(SettingsTest, FlatLayoutIsReadAsFarAsItsOwnersExistAndWrittenBackInSections) {
    const std::string flat =
        "5.30\r\n"
        "C:\\TW5\\DATA\\\r\n"
        "1,2\r\n"                   // old global settings
        "1\r\n-13,4,0,2,Arial\r\n"  // one font record
        "8197\r\n"                  // preference switches
        "5\r\n$name\r\n$user $company\r\n\r\n$date\r\nPage $page of $maxpage\r\n"
        "1\r\n1,2,3,4\r\n"  // one unused record
        "0\r\n"             // status bar hidden
        "2\r\n/w/amp.cir\r\n/w/filter.cir\r\n";
    settings_WriteFile(path_, flat);

    // Without the owner of the old global settings the reading stops before them.
    ASSERT_EQ(LoadSettings(), 0);
    EXPECT_STREQ(GetPathSetting(kPathData), "C:/TW5/DATA/");
    EXPECT_EQ(RecentFiles().Text(0), nullptr);
    EXPECT_TRUE(Startup().statusBarAtStart);

    SettingsFlatRecords records(calls_.titleTexts);
    InstallFlatLayoutRecords(&records);
    ASSERT_EQ(LoadSettings(), 0);
    EXPECT_EQ(calls_.options, 8197u);
    EXPECT_TRUE(calls_.inertial);
    EXPECT_EQ(calls_.titleTexts,
              (std::vector<std::string>{"$name", "$user $company", "", "$date", "Page $page of $maxpage"}));
    EXPECT_FALSE(Startup().statusBarAtStart);
    EXPECT_EQ(RecentFiles().Count(), 10);
    EXPECT_STREQ(RecentFiles().Text(0), "/w/amp.cir");
    EXPECT_STREQ(RecentFiles().Text(1), "/w/filter.cir");

    ASSERT_EQ(SaveSettingsFile(), 0);
    std::string text = settings_ReadFile(path_);
    EXPECT_EQ(settings_Headers(text), settings_TableNames());
    EXPECT_NE(text.find("TARNDATA=C:/TW5/DATA/\r\n"), std::string::npos);
    EXPECT_NE(text.find("FILE_2=/w/filter.cir\r\n"), std::string::npos);

    // A damaged count is a bad file, not a long loop.
    settings_WriteFile(path_, "5.30\r\n/d/\r\n1,2\r\n99999999\r\n");
    EXPECT_EQ(LoadSettings(), kResultBadFormat);
}

TEST_F(SettingsTest, FailedSaveKeepsTheOldFileAndIsReportedOnce) {
    ASSERT_EQ(SaveSettingsFile(), 0);
    const std::string good = settings_ReadFile(path_);

    // A section that fails half-way through the file.
    RegisterSettingsSection("Tip", [](SectionFile&) { return static_cast<int>(kResultNoMemory); });
    EXPECT_EQ(SaveSettingsFile(), kResultNoMemory);
    EXPECT_EQ(SaveSettingsFile(), kResultNoMemory);
    EXPECT_EQ(settings_ReadFile(path_), good) << "the old file stays whole";
    EXPECT_FALSE(settings_Exists(path_ + ".tmp"));
    EXPECT_EQ(calls_.reported, std::vector<int>{kResultWriteError});

    // A good save clears the memory of the failure; a new failure is reported again.
    RegisterSettingsSection("Tip", nullptr);
    EXPECT_EQ(SaveSettingsFile(), 0);
    SetString(&Startup().settingsPath, (dir_.Path() + "/missing/tarn.dat").c_str());
    EXPECT_NE(SaveSettingsFile(), 0);
    EXPECT_EQ(calls_.reported, (std::vector<int>{kResultWriteError, kResultWriteError}));
}

TEST_F(SettingsTest, NothingIsWrittenWhileADemoPlaysOrAfterAFatalStart) {
    for (int which = 0; which < 2; ++which) {
        Startup().demoPlaying = which == 0;
        Startup().noSave = which == 1;
        EXPECT_EQ(SaveSettingsFile(), 0);
        EXPECT_FALSE(settings_Exists(path_));
    }
}

}  // namespace
