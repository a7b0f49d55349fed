// The Find in Files dialog, driven through the modal answerer as a user would.
#include "text/findfilesdlg.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "core/cmdline.h"
#include "core/memory.h"
#include "core/settings.h"
#include "core/textfile.h"
#include "document/component_defs.h"
#include "platform/app.h"
#include "platform/dialog.h"
#include "platform/frame.h"
#include "platform/keys.h"
#include "tests/support/tempdir.h"
#include "text/editwnd.h"
#include "text/textdoc.h"

namespace {

namespace fs = std::filesystem;
namespace ids = findfilesdlg;

class FindInFilesDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Selected files open in windows of a main frame.
        app_ = platform::Application::Instance();
        ASSERT_TRUE(host_.Create("Tarnwick", platform::Rect{0, 0, 800, 600}));
        app_->SetMainWindow(&host_);
        // Each test starts from the program's start state, whatever ran before.
        ResetFindInFilesState();
        Put("one.txt", "first line\nR1 1 0 NEEDLE\n");
        Put("two.txt", "a\nb\nc\nthe needle\nneedle again\n");
        Put("three.txt", "nothing here\n");
        Put("skip.dat", "needle in a type not asked for\n");
    }
    void TearDown() override {
        CloseAllDocuments();
        app_->PumpEvents();
        host_.Destroy();
        app_->SetMainWindow(nullptr);
    }
    void Put(const std::string& name, const std::string& bytes) {
        std::ofstream(fs::path(dir_.Path()) / name, std::ios::binary) << bytes;
    }
    // Runs the dialog with `user` acting on it; Close ends it.
    void Run(const std::function<void(CFindInFilesDlg&)>& user) {
        platform::ScopedModalAnswerer answerer([&](platform::ModalRequest& r) {
            auto* dialog = dynamic_cast<CFindInFilesDlg*>(&r);
            if (!dialog) return platform::dlgid::Failed;
            user(*dialog);
            return static_cast<int>(platform::dlgid::Cancel);
        });
        EXPECT_EQ(FindInFilesCommand(nullptr), platform::dlgid::Cancel);
    }
    platform::Application* app_ = nullptr;
    platform::MainFrame host_;
    twtest::TempDir dir_{"fifdlg_test"};
};

TEST_F(FindInFilesDialogTest, FindListsTheMatchingFilesAndOpensTheSelectedOne) {
    Run([&](CFindInFilesDlg& d) {
        d.UserClick(1804);  // Definition mode: only the definition box is on
        EXPECT_TRUE(d.IsControlEnabled(ids::DefinitionCombo));
        EXPECT_FALSE(d.IsControlEnabled(ids::TextCombo));
        EXPECT_GT(d.Count(ids::DefinitionCombo), 100);
        d.UserClick(ids::FieldText);
        EXPECT_FALSE(d.IsControlEnabled(ids::DefinitionCombo));
        EXPECT_FALSE(d.IsControlEnabled(ids::Stop));
        d.UserSetText(ids::LookInCombo, dir_.Path());
        d.UserSetText(ids::TypesCombo, "*.txt");
        d.UserSetText(ids::TextCombo, "");
        d.UserClick(ids::Find);
        ASSERT_EQ(d.Count(ids::Results), 1);
        EXPECT_EQ(d.GetItemText(ids::Results, 0), "Missing search string.");

        d.UserSetText(ids::TextCombo, "needle");
        d.UserClick(ids::Find);
        ASSERT_EQ(d.Count(ids::Results), 3);
        EXPECT_EQ(d.GetItemText(ids::Results, 0), dir_.Path() + "/one.txt");
        EXPECT_EQ(d.GetItemText(ids::Results, 1), dir_.Path() + "/two.txt");
        EXPECT_EQ(d.GetItemText(ids::Results, 2), "Total files found=2 Total files searched=3");
        EXPECT_TRUE(d.IsControlEnabled(ids::Find));
        EXPECT_FALSE(d.IsControlEnabled(ids::Stop));
        EXPECT_EQ(d.GetText(ids::Status), "");
        EXPECT_STREQ(FindInFilesState().texts.Text(0), "needle");
        EXPECT_STREQ(FindInFilesState().types.Text(0), "*.txt");

        // Selecting a file opens it with the caret at its matching line.
        d.UserSelect(ids::Results, 1);
        auto* doc = dynamic_cast<CTxtDoc*>(d.OpenedDocument());
        ASSERT_NE(doc, nullptr);
        int64_t s = -1;
        doc->Editor()->Buffer().GetSel(&s, nullptr);
        EXPECT_EQ(s, 6);                // "the needle" starts after a, b and c
        d.UserSelect(ids::Results, 2);  // the summary line opens nothing
        EXPECT_EQ(d.OpenedDocument(), doc);
        // A new search closes the document the dialog opened.
        d.UserClick(ids::Find);
        EXPECT_EQ(d.OpenedDocument(), nullptr);
    });
}

TEST_F(FindInFilesDialogTest, EscDuringASearchStopsIt) {
    Run([&](CFindInFilesDlg& d) {
        d.UserSetText(ids::TextCombo, "needle");
        d.UserSetText(ids::LookInCombo, dir_.Path());
        d.UserSetText(ids::TypesCombo, "*.txt");
        app_->PostKeyDown(&d, platform::key::Escape);
        d.UserClick(ids::Find);
        ASSERT_EQ(d.Count(ids::Results), 2);
        EXPECT_EQ(d.GetItemText(ids::Results, 0), "Find was stopped by user.");
        EXPECT_EQ(d.GetItemText(ids::Results, 1), "Total files found=0 Total files searched=0");
        EXPECT_FALSE(d.HasEnded());  // Esc stopped the search, not the dialog
        EXPECT_TRUE(d.IsControlEnabled(ids::Find));
    });
}

TEST_F(FindInFilesDialogTest, OtherModesOverTextFilesSayTheyMustBeText) {
    Run([&](CFindInFilesDlg& d) {
        d.UserClick(1803);  // Shape
        d.UserSetText(ids::TextCombo, "res");
        d.UserSetText(ids::LookInCombo, "\"" + dir_.Path() + "\"");
        d.UserSetText(ids::TypesCombo, "*.txt");
        d.UserClick(ids::Find);
        ASSERT_EQ(d.Count(ids::Results), 4);
        EXPECT_EQ(d.GetItemText(ids::Results, 0), "Search in " + dir_.Path() + "/one.txt must be type TEXT.");
    });
    EXPECT_EQ(FindInFilesState().field, FindField::kShape);
}

}  // namespace

namespace {

TEST(FindInFilesSettingsTest, SectionReadsUpperCaseKeysAndWritesItBack) {
    twtest::TempDir dir{"fifset_test"};
    const std::string in = dir.Path() + "/tarn.dat", out = dir.Path() + "/out.dat";
    std::ofstream(in, std::ios::binary) << "[FindInFile]\r\nDEFINITION=resistor\r\nfield=attribute\r\nTYPES_MAX=3\r\n"
                                           "Types_1=*.cir\r\nTEXT_2=second\r\nText_1=needle\r\nPaths_1=\"/a;b\";/c\r\n";
    FindInFilesSettings& s = FindInFilesState();
    char* const savedPath = Startup().settingsPath;
    Startup().settingsPath = nullptr;
    SetString(&Startup().settingsPath, in.c_str());
    ASSERT_EQ(LoadSettings(), 0);
    EXPECT_EQ(s.field, FindField::kAttribute);
    ASSERT_TRUE(IsValidComponentType(s.definition));
    EXPECT_STREQ(ComponentTypeTable[s.definition].name, "Resistor");
    EXPECT_STREQ(s.types.Text(0), "*.cir");
    EXPECT_STREQ(s.texts.Text(1), "second");
    EXPECT_STREQ(s.folders.Text(0), "\"/a;b\";/c");
    // Written and read again, nothing changes.
    SetString(&Startup().settingsPath, out.c_str());
    ASSERT_EQ(SaveSettingsFile(), 0);
    s.field = FindField::kText;
    s.definition = -1;
    s.texts.Clear();
    ASSERT_EQ(LoadSettings(), 0);
    EXPECT_EQ(s.field, FindField::kAttribute);
    EXPECT_STREQ(ComponentTypeTable[s.definition].name, "Resistor");
    EXPECT_STREQ(s.texts.Text(0), "needle");
    FreeString(&Startup().settingsPath);
    Startup().settingsPath = savedPath;
    s.field = FindField::kText;
    s.definition = -1;
    for (RecentList* list : {&s.types, &s.texts, &s.folders}) list->Clear();
}

}  // namespace
