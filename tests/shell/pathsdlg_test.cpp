// File > Paths and File > Cleanup, driven through their dialogs by the modal
// answerer: path groups edited and restored, missing folders refused, folders
// browsed into a list, ".Path" handed to the circuit layer, and the work-file
// lists with their summed sizes.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/paths.h"
#include "platform/commondlg.h"
#include "platform/dialog.h"
#include "shell/cleanup.h"
#include "shell/messages.h"
#include "shell/pathsdlg.h"
#include "shell/smalldlgs.h"
#include "tests/support/tempdir.h"
#include "tests/support/test_reporter.h"

namespace {

// Answers the Paths dialog with `script` and any name dialog with `name`.
class pd_test_Answers {
public:
    std::function<int(CPathsDlg&)> script;
    std::string name = "Work";
    std::vector<std::string> shown;  // formatted warnings
    platform::ScopedModalAnswerer answerer{[this](platform::ModalRequest& request) {
        if (auto* paths = dynamic_cast<CPathsDlg*>(&request)) return script(*paths);
        if (auto* dialog = dynamic_cast<platform::Dialog*>(&request); dialog && dialog->HasControl(kNameDlgEdit)) {
            dialog->SetText(kNameDlgEdit, name);
            return platform::dlgid::Ok;
        }
        return platform::dlgid::Cancel;
    }};
    ScopedTestReporter reporter{[this](const MessageRequest& r) {
        shown.push_back(std::string(r.format() ? r.format() : "") + "|" + ScopedTestReporter::TextArg(r));
        return platform::dlgid::Ok;
    }};
};

class PathsDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterShellMessages();
        ClearPathGroups();
        AddPathGroup(PathGroup{"TW8", a_.Path(), b_.Path(), ""});
        SetPathSetting(kPathData, a_.Path().c_str());
        SetPathSetting(kPathLibrary, b_.Path().c_str());
        SetPathSetting(kPathPicture, "");
    }
    void TearDown() override {
        ClearPathGroups();
        for (int kind = 0; kind < 3; ++kind) SetPathSetting(kind, nullptr);
    }
    std::vector<std::string> GroupNames() const {
        std::vector<std::string> names;
        for (int i = 0; i < PathGroupCount(); ++i) names.push_back(GetPathGroup(i)->name);
        return names;
    }
    twtest::TempDir a_{"pd_a"};
    twtest::TempDir b_{"pd_b"};
};

TEST_F(PathsDialogTest, OkStoresTheEditsAndCancelRestoresGroupsAndSettings) {
    pd_test_Answers answers;
    answers.script = [&](CPathsDlg& d) {
        EXPECT_EQ(d.GetText(kPathsDataEdit), a_.Path());
        EXPECT_FALSE(d.IsControlEnabled(kPathsUpdate));
        d.SetText(kPathsDataEdit, " " + b_.Path() + " ");
        d.UserClick(kPathsAdd);  // named "Work"
        EXPECT_EQ(d.Count(kPathsGroupList), 2);
        EXPECT_EQ(d.GetSel(kPathsGroupList), 1);
        EXPECT_TRUE(d.IsControlEnabled(kPathsUpdate));
        d.UserSelect(kPathsGroupList, 0);
        EXPECT_EQ(d.GetText(kPathsLibraryEdit), b_.Path());
        d.UserClick(kPathsDelete);
        EXPECT_EQ(d.Count(kPathsGroupList), 1);
        return platform::dlgid::Cancel;
    };
    CPathsDlg cancelled;
    EXPECT_EQ(cancelled.DoModal(), platform::dlgid::Cancel);
    EXPECT_EQ(GroupNames(), std::vector<std::string>{"TW8"});
    EXPECT_STREQ(GetPathSetting(kPathData), a_.Path().c_str());

    answers.script = [&](CPathsDlg& d) {
        d.SetText(kPathsDataEdit, b_.Path() + ";" + a_.Path());
        d.UserClick(kPathsAdd);
        return platform::dlgid::Ok;
    };
    CPathsDlg accepted;
    EXPECT_EQ(accepted.DoModal(), platform::dlgid::Ok);
    EXPECT_EQ(GroupNames(), (std::vector<std::string>{"TW8", "Work"}));
    EXPECT_EQ(GetPathGroup(1)->data, b_.Path() + ";" + a_.Path());
    EXPECT_EQ(std::string(GetPathSetting(kPathData)), b_.Path() + ";" + a_.Path());
}

TEST_F(PathsDialogTest, MissingFoldersAreReportedAndNothingIsStored) {
    pd_test_Answers answers;
    const std::string missing = a_.Path() + "/gone";
    answers.script = [&](CPathsDlg& d) {
        d.SetText(kPathsLibraryEdit, b_.Path() + ";" + missing);
        d.SetText(kPathsPictureEdit, missing + "2");
        d.UserClick(kPathsAdd);  // refused too
        return platform::dlgid::Ok;
    };
    CPathsDlg dialog;
    EXPECT_EQ(dialog.DoModal(), platform::dlgid::Failed);  // OK refused: the dialog stays
    EXPECT_EQ(answers.shown,
              (std::vector<std::string>{
                  "The path '%s' does not exist.|" + missing, "The path '%s' does not exist.|" + missing + "2",
                  "The path '%s' does not exist.|" + missing, "The path '%s' does not exist.|" + missing + "2"}));
    EXPECT_EQ(PathGroupCount(), 1);
    EXPECT_STREQ(GetPathSetting(kPathLibrary), b_.Path().c_str());
}

TEST(PathsBrowse, ChosenFolderIsSplicedIntoTheList) {
    const struct {
        const char* text;
        int start, end;
        const char* result;
        int folderStart;
    } cases[] = {
        {"", 0, 0, "/new", 0},           {"/a;/b", 2, 2, "/a;/new;/b", 3},  // caret between the first folder and ";"
        {"/a ; /b", 2, 7, "/a;/new", 3},                                    // selection up to the end
        {"/a;/b", 0, 5, "/new", 0},                                         // everything selected
        {"/a;", 3, 3, "/a;/new", 3},     {"/a", 0, 0, "/new;/a", 0},
        {"/a", 9, 12, "/a;/new", 3},  // a selection past the end is clamped
    };
    for (const auto& c : cases) {
        int start = -1;
        EXPECT_EQ(SpliceFolderIntoList(c.text, c.start, c.end, "/new", &start), c.result) << c.text;
        EXPECT_EQ(start, c.folderStart) << c.text;
    }
}

TEST_F(PathsDialogTest, BrowseAndDotPathReachTheirHelpers) {
    struct Writer : DotPathWriterPort {
        int WriteDotPaths(const bool checked[3], const std::string statements[3]) override {
            for (int k = 0; k < 3; ++k) written.push_back(checked[k] ? statements[k] : "-");
            return 0;
        }
        std::vector<std::string> written;
    } writer;
    InstallDotPathWriter(&writer);
    platform::ScopedModalAnswerer answerer([&](platform::ModalRequest& request) {
        if (auto* folder = dynamic_cast<platform::FolderDialog*>(&request)) {
            EXPECT_EQ(folder->Title(), "Library Path");
            EXPECT_EQ(folder->InitialFolder(), b_.Path());
            folder->SetFolder(a_.Path());
            return platform::dlgid::Ok;
        }
        auto* dialog = dynamic_cast<CDialog2*>(&request);
        if (dialog && dialog->HasControl(kDotPathDataCheck)) {
            EXPECT_EQ(dialog->GetCheck(kDotPathDataCheck + 1), 1);
            dialog->SetCheck(kDotPathDataCheck + 1, 0);
            return platform::dlgid::Ok;
        }
        if (auto* paths = dynamic_cast<CPathsDlg*>(&request)) {
            paths->UserClick(kPathsBrowseData + 1);
            EXPECT_EQ(paths->GetText(kPathsLibraryEdit), a_.Path() + ";" + b_.Path());
            paths->UserClick(kPathsDotPath);
            return platform::dlgid::Cancel;
        }
        return platform::dlgid::Cancel;
    });
    CPathsDlg dialog;
    dialog.DoModal();
    EXPECT_EQ(writer.written, (std::vector<std::string>{".PATH DATA " + a_.Path(), "-", ".PATH PICTURE "}));
    InstallDotPathWriter(nullptr);
}

// ---- File > Cleanup ------------------------------------------------------------------------------

TEST(Cleanup, SizesBeyondFourGigabytesSumIn64Bits) {
    EXPECT_EQ(SumFileSizes({"3000000000", "2500000000", "", "x", "12"}), 5500000012LL);

    // The dialog's summary over rows as the file list holds them.
    twtest::TempDir empty("cl_empty");
    SetPathSetting(kPathData, empty.Path().c_str());
    SetPathSetting(kPathLibrary, empty.Path().c_str());
    std::string summary;
    platform::ScopedModalAnswerer answerer([&](platform::ModalRequest& request) {
        auto& d = dynamic_cast<CCleanupDlg&>(request);
        const char* sizes[] = {"4294967296", "4294967296", "100"};
        for (int i = 0; i < 3; ++i) {
            const int row = d.Add(kCleanupFiles, "/w/big" + std::to_string(i) + ".tsa");
            d.SetCellText(kCleanupFiles, row, 1, sizes[i]);
            d.SetItemSelected(kCleanupFiles, row, true);
        }
        d.UpdateSummary();
        summary = d.GetText(kCleanupSummary);
        return platform::dlgid::Close;
    });
    CCleanupDlg dialog;
    dialog.DoModal();
    EXPECT_EQ(summary, "Files selected=3 Total size=8589934692");
    for (int kind = 0; kind < 3; ++kind) SetPathSetting(kind, nullptr);
}

TEST(Cleanup, KindsWithFilesAreListedAndSelectedFilesDeleted) {
    twtest::TempDir data("cl_data"), library("cl_lib");
    data.Write("amp.tno", "12345");
    data.Write("amp.cir_BAK", "1234567890");
    library.Write("amp.tno", "1");
    library.Write("lib.inx", "xx");
    SetPathSetting(kPathData, data.Path().c_str());
    // The data folder a second time: searched once.
    SetPathSetting(kPathLibrary, (library.Path() + ";" + data.Path()).c_str());
    std::vector<std::string> kinds;
    std::string summary;
    int filesAfterDelete = -1;
    platform::ScopedModalAnswerer answerer([&](platform::ModalRequest& request) {
        auto& d = dynamic_cast<CCleanupDlg&>(request);
        for (int i = 0; i < d.Count(kCleanupKinds); ++i) kinds.push_back(d.GetItemText(kCleanupKinds, i));
        d.UserClick(kCleanupSelectAll);
        summary = d.GetText(kCleanupSummary);
        d.SetItemSelected(kCleanupFiles, 0, false);
        d.UserClick(kCleanupDelete);
        filesAfterDelete = d.Count(kCleanupFiles);
        return platform::dlgid::Close;
    });
    CCleanupDlg dialog;
    dialog.DoModal();
    EXPECT_EQ(kinds,
              (std::vector<std::string>{"TNO Transient numeric output", "INX index file", "???_BAK backup files"}));
    EXPECT_EQ(summary, "Files selected=4 Total size=18");
    EXPECT_EQ(filesAfterDelete, 1);
    for (int kind = 0; kind < 3; ++kind) SetPathSetting(kind, nullptr);
}

}  // namespace
