// The Find and Replace dialogs, driven through the modal answerer as a user would.
#include "text/finddlg.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "platform/dialog.h"
#include "tests/support/test_reporter.h"
#include "text/editwnd.h"
#include "text/find.h"

namespace {

using platform::dlgid::Cancel;
using platform::dlgid::Ok;

class FindDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        TextSearch().search.clear();
        TextSearch().replace.clear();
        TextSearch().wholeWord = false;
    }
    // Runs every dialog that opens with `user` acting on it; returns the answer.
    void Answer(const std::function<int(CReplaceDlg&)>& user) {
        answerer_.reset();  // the old scope must end before the new one starts
        answerer_ = std::make_unique<platform::ScopedModalAnswerer>([this, user](platform::ModalRequest& r) {
            auto* dialog = dynamic_cast<CReplaceDlg*>(&r);
            if (!dialog) return platform::dlgid::Failed;
            ++opened;
            return user(*dialog);
        });
    }
    std::string Selected() const { return editor.Buffer().GetSelectedText(); }
    int64_t SelStart() const {
        int64_t s = 0;
        editor.Buffer().GetSel(&s, nullptr);
        return s;
    }

    CTxtEditWnd editor;
    int opened = 0;
    std::unique_ptr<platform::ScopedModalAnswerer> answerer_;
};

TEST_F(FindDialogTest, FindTakesTheSelectionAndRepeatSearchesWithoutADialog) {
    editor.Buffer().SetText("R10 1 2\r\nR1 2 0\r\nC1 1 0");
    editor.Buffer().SetSel(9, 11);  // "R1" on line 2
    std::string shown;
    Answer([&](CReplaceDlg& d) {
        shown = d.GetText(finddlg::SearchCombo);
        EXPECT_FALSE(d.HasControl(finddlg::ReplaceCombo));
        d.UserClick(finddlg::WholeWord);
        return Ok;
    });
    // Repeat Last Find with nothing to repeat opens the dialog, filled with the selection.
    EXPECT_EQ(FindInTextWindow(&editor, nullptr, false), kFindFound);
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(shown, "R1");
    EXPECT_TRUE(TextSearch().wholeWord);
    EXPECT_STREQ(TextSearch().searchList.Text(0), "R1");
    EXPECT_EQ(SelStart(), 9);  // R10 is passed over; the search wrapped back to the only whole R1
    // With a search text, F3 searches at once.
    editor.Buffer().SetSel(0, 0);
    EXPECT_EQ(FindInTextWindow(&editor, nullptr, false), kFindFound);
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(SelStart(), 9);
    // Ctrl+F always asks; Cancel searches nothing.
    Answer([](CReplaceDlg& d) {
        d.UserSetText(finddlg::SearchCombo, "C1");
        return Cancel;
    });
    EXPECT_EQ(FindInTextWindow(&editor, nullptr, true), 0);
    EXPECT_EQ(opened, 2);
    EXPECT_EQ(TextSearch().search, "R1");
}

TEST_F(FindDialogTest, ReplaceDialogStepsAndReplacesAll) {
    editor.Buffer().SetText("aXa aY");
    editor.Buffer().SetSel(0, 0);
    std::string status;
    Answer([&](CReplaceDlg& d) {
        EXPECT_TRUE(d.IsReplaceDialog());
        // Nothing to search: Find Next and Replace are off.
        d.UserSetText(finddlg::SearchCombo, "");
        EXPECT_FALSE(d.IsControlEnabled(finddlg::FindNext));
        EXPECT_FALSE(d.IsControlEnabled(finddlg::Replace));
        d.UserSetText(finddlg::SearchCombo, "a");
        EXPECT_TRUE(d.IsControlEnabled(finddlg::FindNext));
        d.UserSetText(finddlg::ReplaceCombo, "bb");
        d.UserClick(finddlg::FindNext);
        EXPECT_EQ(SelStart(), 0);
        d.UserClick(finddlg::FindNext);
        EXPECT_EQ(SelStart(), 2);
        // Replace swaps the selected match and selects the next one.
        d.UserClick(finddlg::Replace);
        EXPECT_EQ(editor.Buffer().Text(), "aXbb aY");
        EXPECT_EQ(SelStart(), 5);
        d.UserClick(finddlg::ReplaceAll);
        status = d.GetText(finddlg::Status);
        // The texts went to the top of their lists and are shown again.
        EXPECT_EQ(d.GetItemText(finddlg::ReplaceCombo, 0), "bb");
        EXPECT_EQ(d.GetText(finddlg::ReplaceCombo), "bb");
        d.UserSetText(finddlg::SearchCombo, "zz");
        d.UserClick(finddlg::ReplaceAll);
        EXPECT_EQ(d.GetText(finddlg::Status), "0 occurrences changed.");
        EXPECT_FALSE(d.HasEnded());  // the dialog stays open until Close
        return Cancel;
    });
    ReplaceInTextWindow(&editor, nullptr);
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(status, "2 occurrences changed.");
    EXPECT_EQ(editor.Buffer().Text(), "bbXbb bbY");
    editor.Buffer().Undo();  // Replace All is one step
    EXPECT_EQ(editor.Buffer().Text(), "aXbb aY");
}

TEST_F(FindDialogTest, ReplaceStartsFromTheSelectionOrAnEmptyText) {
    TextSearch().SetSearch("old");
    editor.Buffer().SetText("one two");
    std::string shown = "?";
    Answer([&](CReplaceDlg& d) {
        shown = d.GetText(finddlg::SearchCombo);
        return Cancel;
    });
    editor.Buffer().SetSel(4, 7);
    ReplaceInTextWindow(&editor, nullptr);
    EXPECT_EQ(shown, "two");
    editor.Buffer().SetSel(1, 1);
    ReplaceInTextWindow(&editor, nullptr);
    EXPECT_EQ(TextSearch().search, "");
}

// The search and replace fields are one line high: the text typed into one is
// not covered by the field or the check box below it.
TEST_F(FindDialogTest, FieldsStayClearOfTheControlsBelowThem) {
    for (bool replace : {false, true}) {
        CReplaceDlg dialog(&editor, replace, nullptr);
        Answer([&](CReplaceDlg& d) {
            const platform::Rect search = d.GetItemRect(finddlg::SearchCombo);
            EXPECT_LE(search.bottom, d.GetItemRect(finddlg::WholeWord).top);
            if (replace) {
                const platform::Rect with = d.GetItemRect(finddlg::ReplaceCombo);
                EXPECT_LE(search.bottom, with.top);
                EXPECT_LE(with.bottom, d.GetItemRect(finddlg::WholeWord).top);
            }
            d.UserSetText(finddlg::SearchCombo, "RMETAL");
            EXPECT_EQ(d.GetText(finddlg::SearchCombo), "RMETAL");
            return Cancel;
        });
        dialog.DoModal();
    }
    EXPECT_EQ(opened, 2);
}

}  // namespace
