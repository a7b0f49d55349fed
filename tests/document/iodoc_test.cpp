// File-backed documents: saving, the save questions at close time, finding an
// open document and the untitled names.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/cmdline.h"
#include "core/memory.h"
#include "core/port.h"
#include "core/recentlist.h"
#include "core/result.h"
#include "document/docmessages.h"
#include "document/iodoc.h"
#include "platform/dialog.h"
#include "shell/preferences.h"
#include "shell/report.h"
#include "tests/support/tempdir.h"

namespace {

// A document whose file writing is scripted: SaveToFile returns `saveResult`
// and, on success, clears the dirty flag as every real document does.
class iot_Doc : public CIODoc {
public:
    explicit iot_Doc(int kind = kDocCircuit) : CIODoc(kind) { autoDelete = false; }
    int SaveToFile(const char* path) override {
        saved.push_back(path);
        if (saveResult == 0) SetDirty(0);
        return saveResult;
    }
    CIODoc* ReloadFromFile() override {
        ++reloads;
        return reloaded;
    }
    int saveResult = 0;
    std::vector<std::string> saved;
    int reloads = 0;
    CIODoc* reloaded = nullptr;
};

// Answers Save As dialogs with `path` ("" = cancel).
struct iot_SavePrompt final : SavePathPromptPort {
    std::string path;
    void AskSavePath(CIODoc*, char* out, size_t size) override { CopyTextBounded(out, path.c_str(), size); }
};

class IODocTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterDocumentMessages();
        savePrompt_ = std::make_unique<ScopedPort<SavePathPromptPort>>(InstallSavePathPrompt, &savePrompt);
        Prefs().fileWarning = 1;
        InitRecentLists();
        answerer_ = std::make_unique<platform::ScopedModalAnswerer>([this](platform::ModalRequest& r) -> int {
            auto* box = dynamic_cast<CMessageBoxDlg*>(&r);
            if (!box) return platform::dlgid::Failed;
            std::string text = box->GetText(kMsgBoxText);
            while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
            texts.push_back(text);
            buttons = box->Buttons();
            if (answers.empty()) return platform::dlgid::Ok;
            const int a = answers.front();
            answers.erase(answers.begin());
            return a;
        });
    }
    void TearDown() override {
        answerer_.reset();
        savePrompt_.reset();
        SetDemoPlaying(false);
        Prefs().fileWarning = 1;
        Prefs().revertWarning = 1;
        FreeRecentLists();
    }

    std::vector<int> answers;        // the buttons pressed, box by box
    std::vector<std::string> texts;  // the texts of the boxes shown
    std::vector<int> buttons;        // the buttons of the last box
    std::unique_ptr<platform::ScopedModalAnswerer> answerer_;
    iot_SavePrompt savePrompt;
    std::unique_ptr<ScopedPort<SavePathPromptPort>> savePrompt_;
};

TEST_F(IODocTest, SaveKeepsNameAndStateUntilTheFileIsWritten) {
    iot_Doc doc;
    doc.SetDirty(1);

    // Untitled, the dialog cancelled: nothing happens.
    EXPECT_EQ(doc.Save(), kResultShown);
    EXPECT_TRUE(doc.saved.empty());
    EXPECT_EQ(doc.untitled, 1);
    EXPECT_EQ(doc.IsDirty(), 1);

    // A name chosen, but the write fails: reported once, old name and state kept,
    // and the name does not enter the recent files.
    savePrompt.path = "/tmp/iot_first.cir";
    doc.saveResult = kResultWriteError;
    EXPECT_EQ(doc.Save(), kResultShown);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_STREQ(doc.PathName(), "");
    EXPECT_EQ(doc.untitled, 1);
    EXPECT_EQ(doc.IsDirty(), 1);
    EXPECT_EQ(RecentFiles().Text(0), nullptr);

    // The write succeeds: titled, in the recent files, clean.
    doc.saveResult = 0;
    EXPECT_EQ(doc.Save(), 0);
    EXPECT_STREQ(doc.PathName(), "/tmp/iot_first.cir");
    EXPECT_EQ(doc.untitled, 0);
    EXPECT_EQ(doc.IsDirty(), 0);
    ASSERT_NE(RecentFiles().Text(0), nullptr);
    EXPECT_STREQ(RecentFiles().Text(0), "/tmp/iot_first.cir");

    // Titled: Save writes to its own path without asking.
    savePrompt.path = "/tmp/elsewhere.cir";
    EXPECT_EQ(doc.Save(), 0);
    EXPECT_EQ(doc.saved.back(), "/tmp/iot_first.cir");

    // A failed Save As keeps the old name.
    doc.saveResult = kResultWriteError;
    EXPECT_EQ(doc.SaveToPath("/tmp/iot_second.cir"), kResultShown);
    EXPECT_STREQ(doc.PathName(), "/tmp/iot_first.cir");
}

TEST_F(IODocTest, AskSaveChangesAnswers) {
    struct Case {
        const char* name;
        int dirty, warning, demo;
        int pressed;  // button of the box; 0: no box expected
        int saveResult;
        int expected;
    };
    const Case cases[] = {
        {"clean", 0, 1, 0, 0, 0, kSaveNothingToAsk},
        {"confirmation off", 1, 0, 0, 0, 0, kSaveNothingToAsk},
        {"demo playing", 1, 1, 1, 0, 0, kSaveNo},
        {"yes saves", 1, 1, 0, kSaveYes, 0, kSaveYes},
        {"yes but the save fails", 1, 1, 0, kSaveYes, kResultWriteError, kSaveCancel},
        {"no", 1, 1, 0, kSaveNo, 0, kSaveNo},
        {"cancel", 1, 1, 0, kSaveCancel, 0, kSaveCancel},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        iot_Doc doc;
        doc.SetTitle("/tmp/dir/iot_ask.cir");
        doc.untitled = 0;
        doc.SetDirty(c.dirty);
        doc.saveResult = c.saveResult;
        Prefs().fileWarning = c.warning;
        SetDemoPlaying(c.demo != 0);
        texts.clear();
        if (c.pressed) answers = {c.pressed};
        EXPECT_EQ(doc.AskSaveChanges(0), c.expected);
        SetDemoPlaying(false);
        const size_t boxes = (c.pressed ? 1u : 0u) + (c.saveResult && c.pressed == kSaveYes ? 1u : 0u);
        EXPECT_EQ(texts.size(), boxes);
        if (c.pressed) {
            EXPECT_EQ(texts[0], "Save changes in 'iot_ask.cir'?");
        }
        EXPECT_EQ(doc.saved.size(), c.pressed == kSaveYes ? 1u : 0u);
    }
}

TEST_F(IODocTest, QuestionNamesUnnamedDocumentsAndOffersAllButtonsForSeveral) {
    iot_Doc doc;
    doc.SetDirty(1);
    answers = {kSaveNo};
    EXPECT_EQ(doc.AskSaveChanges(1), kSaveNo);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], "Save changes in 'unnamed'?");
    EXPECT_NE(std::find(buttons.begin(), buttons.end(), kSaveYesToAll), buttons.end());
    EXPECT_NE(std::find(buttons.begin(), buttons.end(), kSaveNoToAll), buttons.end());
}

TEST_F(IODocTest, CloseAllFollowsTheEarlierAnswer) {
    struct Case {
        const char* name;
        int answerIn;
        int pressed;  // box answer when one is asked
        int saveResult;
        int stops;  // QueryClose result
        int dirtyAfter;
        int answerOut;
        size_t saves;
    };
    const Case cases[] = {
        {"yes to all saves silently", kSaveYesToAll, 0, 0, 0, 0, kSaveYesToAll, 1},
        {"yes to all, save fails: stop and keep the changes", kSaveYesToAll, 0, kResultWriteError, 1, 1, kSaveCancel,
         1},
        {"no to all discards silently", kSaveNoToAll, 0, 0, 0, 0, kSaveNoToAll, 0},
        {"asked, yes to all", 0, kSaveYesToAll, 0, 0, 0, kSaveYesToAll, 1},
        {"asked, cancel", 0, kSaveCancel, 0, 1, 1, kSaveCancel, 0},
        {"asked, no", 0, kSaveNo, 0, 0, 0, kSaveNo, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        iot_Doc doc;
        doc.SetTitle("/tmp/iot_close.cir");
        doc.untitled = 0;
        doc.SetDirty(1);
        doc.saveResult = c.saveResult;
        texts.clear();
        answers.clear();
        if (c.pressed) answers = {c.pressed};
        int answer = c.answerIn;
        EXPECT_EQ(doc.QueryClose(&answer, 3), c.stops);
        EXPECT_EQ(doc.IsDirty(), c.dirtyAfter);
        EXPECT_EQ(answer, c.answerOut);
        EXPECT_EQ(doc.saved.size(), c.saves);
        if (!c.pressed && !c.saveResult) {
            EXPECT_TRUE(texts.empty());
        }
    }
}

TEST_F(IODocTest, DirtyRaisesContentChangedOnlyForCircuitsAndTexts) {
    for (int kind : {kDocCircuit, kDocText, kDocLibrary}) {
        iot_Doc doc(kind);
        EXPECT_EQ(doc.fileBacked, 1);
        EXPECT_EQ(doc.SetDirty(1), 1);
        EXPECT_TRUE(doc.IsModified());
        doc.SetDirty(0);
        EXPECT_FALSE(doc.IsModified());
        EXPECT_EQ(doc.contentChanged, kind == kDocLibrary ? 0 : 1) << kind;
    }
}

TEST_F(IODocTest, UntitledNamesCountPerFamilyAndRestart) {
    ResetUntitledCounters();
    char path[kPathNameSize];
    auto name = [&](int kind) {
        std::strcpy(path, "unchanged");
        MakeUntitledFileName(path, kind);
        const char* slash = std::strrchr(path, '/');
        return std::string(slash ? slash + 1 : path);
    };
    EXPECT_EQ(name(kDocCircuit), "circuit1.cir");
    EXPECT_EQ(name(kDocCircuit), "circuit2.cir");
    EXPECT_EQ(name(kDocText), "circuit1.ckt");
    EXPECT_EQ(name(kDocLibrary), "lib1.lbr");
    EXPECT_EQ(name(kDocModel), "mdl1.mdl");
    EXPECT_EQ(name(kDocAnalysisPlot), "unchanged");
    EXPECT_EQ(path[0], 'u');
    MakeUntitledFileName(path, kDocCircuit);
    EXPECT_EQ(path[0], '/');  // a full path
    ResetUntitledCounters();
    EXPECT_EQ(name(kDocCircuit), "circuit1.cir");
}

TEST_F(IODocTest, RevertAsksAndHandsOverTheFlags) {
    twtest::TempDir dir("iot_revert");
    ASSERT_TRUE(dir.Valid());
    const std::string file = dir.File("r.cir");

    iot_Doc doc;
    iot_Doc fresh;
    doc.reloaded = &fresh;
    doc.flags = 0x84;
    doc.SetTitle(file.c_str());
    Prefs().revertWarning = 1;

    // The file is missing: reported, nothing re-read.
    EXPECT_EQ(doc.Revert(), nullptr);
    EXPECT_EQ(texts.size(), 1u);
    EXPECT_EQ(doc.reloads, 0);

    FILE* f = std::fopen(file.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    answers = {platform::dlgid::No};
    EXPECT_EQ(doc.Revert(), nullptr);
    EXPECT_EQ(doc.reloads, 0);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[1], "Revert to the disk version ?");

    answers = {platform::dlgid::Yes};
    EXPECT_EQ(doc.Revert(), &fresh);
    EXPECT_EQ(doc.reloads, 1);
    EXPECT_EQ(fresh.flags, 0x84u);
}

TEST_F(IODocTest, FindOpenDocumentReportsAnEmptyName) {
    char path[kPathNameSize];
    int code = -1;
    EXPECT_EQ(FindOpenDocument(path, "", kFindNoReport, kDocCircuit, &code), nullptr);
    EXPECT_EQ(code, kResultFileNotFound);
    EXPECT_TRUE(texts.empty());

    EXPECT_EQ(FindOpenDocument(path, "", 0, kDocCircuit, &code), nullptr);
    EXPECT_EQ(code, kResultShown);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_NE(texts[0].find("File not found"), std::string::npos);

    // A missing file is reported by its name.
    texts.clear();
    EXPECT_EQ(FindOpenDocument(path, "/tmp/iot_no_such_dir/x.cir", 0, kDocCircuit, &code), nullptr);
    EXPECT_EQ(code, kResultShown);
    ASSERT_EQ(texts.size(), 1u);
}

}  // namespace
