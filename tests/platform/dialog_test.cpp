// Dialogs built from control descriptions: modal runs answered by script,
// values exchanged by id for every control kind, radio groups, notifications,
// Enter/Esc/close handling, modeless life, and the prompt strip.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/app.h"
#include "platform/dialog.h"

namespace {

using platform::ControlDesc;
using platform::ControlKind;
using platform::Dialog;
using platform::DialogDesc;
using platform::ModalRequest;
using platform::Notify;
namespace st = platform::style;
namespace dlgid = platform::dlgid;

// The dialog that most tests run: one control of each common kind.
DialogDesc dlgt_Desc() {
    DialogDesc d;
    d.caption = "Test Dialog";
    d.cx = 220;
    d.cy = 160;
    d.controls = {
        {ControlKind::Static, 100, "&Name:", 7, 9, 40, 8, 0},
        {ControlKind::Edit, 101, "R1", 50, 7, 80, 12, 0},
        {ControlKind::CheckBox, 102, "&Visible", 7, 24, 60, 10, 0},
        {ControlKind::GroupBox, 103, "Shape", 7, 38, 100, 40, 0},
        {ControlKind::RadioButton, 104, "&Line", 12, 48, 40, 10, st::Group},
        {ControlKind::RadioButton, 105, "&Box", 12, 60, 40, 10, 0},
        {ControlKind::ListBox, 106, "", 120, 24, 90, 50, st::Group | st::MultiSelect},
        {ControlKind::ComboBox, 107, "", 7, 84, 80, 60, 0},
        {ControlKind::Button, 108, "&Apply", 110, 84, 50, 14, 0},
        {ControlKind::DefaultButton, 1, "OK", 110, 140, 50, 14, 0},
        {ControlKind::Button, 2, "Cancel", 165, 140, 50, 14, 0},
    };
    return d;
}

// Records what reaches the overridables.
class dlgt_Recorder : public Dialog {
public:
    using Dialog::Dialog;
    std::vector<std::pair<int, Notify>> notes;
    std::vector<int> prompts;
    bool initRan = false;
    int okCalls = 0, cancelCalls = 0;
    bool refuseOk = false;
    std::string savedName;
    int savedCheck = -1;
    std::function<void(dlgt_Recorder&)> onInit;

    bool OnInitDialog() override {
        initRan = true;
        if (onInit) onInit(*this);
        return true;
    }
    void OnOK() override {
        ++okCalls;
        if (refuseOk) return;
        savedName = GetText(101);
        savedCheck = GetCheck(102);
        Dialog::OnOK();
    }
    void OnCancel() override {
        ++cancelCalls;
        Dialog::OnCancel();
    }
    void OnControl(int id, Notify what) override {
        notes.emplace_back(id, what);
        if (id == 108 && what == Notify::Clicked) EndDialog(42);
    }
    void OnPrompt(int id) override {
        prompts.push_back(id);
        Dialog::OnPrompt(id);
    }
    bool Noted(int id, Notify what) const {
        for (const auto& n : notes)
            if (n.first == id && n.second == what) return true;
        return false;
    }
};

// Runs `body` inside a modal run of `dlg` and answers with its result.
int dlgt_Run(Dialog& dlg, const std::function<int(Dialog&)>& body) {
    platform::ScopedModalAnswerer answer([&](ModalRequest& r) -> int {
        auto* d = dynamic_cast<Dialog*>(&r);
        if (!d) return dlgid::Failed;
        return body(*d);
    });
    return dlg.DoModal();
}

TEST(DialogModal, BuildsFromDescriptionAndOkExchangesValues) {
    dlgt_Recorder dlg(dlgt_Desc());
    dlg.onInit = [](dlgt_Recorder& d) { d.SetCheck(102, 1); };
    bool sawInit = false;
    int result = dlgt_Run(dlg, [&](Dialog& d) {
        sawInit = static_cast<dlgt_Recorder&>(d).initRan;
        EXPECT_EQ(platform::ModalKind::Dialog, d.Kind());
        EXPECT_EQ("Test Dialog", d.Title());
        EXPECT_EQ(ControlKind::Static, d.KindOf(100));
        EXPECT_EQ(ControlKind::Edit, d.KindOf(101));
        EXPECT_EQ(ControlKind::DefaultButton, d.KindOf(1));
        EXPECT_EQ("&Name:", d.GetText(100));
        EXPECT_EQ("R1", d.GetText(101));
        EXPECT_EQ("Cancel", d.GetText(2));
        EXPECT_EQ(1, d.DefaultButton());
        EXPECT_EQ((std::vector<int>{100, 101, 102, 103, 104, 105, 106, 107, 108, 1, 2}), d.ControlIds());
        // Positions are dialog units mapped through the dialog font.
        EXPECT_EQ(d.MapDialogRect({50, 7, 130, 19}), d.GetItemRect(101));
        d.SetText(101, "C5");
        return dlgid::Ok;
    });
    EXPECT_TRUE(sawInit);
    EXPECT_EQ(dlgid::Ok, result);
    EXPECT_EQ(1, dlg.okCalls);
    EXPECT_EQ("C5", dlg.savedName);
    EXPECT_EQ(1, dlg.savedCheck);
    // Programmatic values never notify.
    EXPECT_TRUE(dlg.notes.empty() || !dlg.Noted(101, Notify::TextChanged));
    // The controls stay readable after the run.
    EXPECT_EQ("C5", dlg.GetText(101));
}

TEST(DialogModal, AnswersEndTheWayButtonsDo) {
    struct Case {
        const char* name;
        bool refuseOk;
        int answer;
        int expected;
        int okCalls, cancelCalls;
    };
    const Case cases[] = {
        {"cancel", false, dlgid::Cancel, dlgid::Cancel, 0, 1},
        {"custom button ends itself", false, 108, 42, 0, 0},
        {"OK refused keeps it open: no success", true, dlgid::Ok, dlgid::Failed, 1, 0},
        {"answer that no button handles", false, 77, 77, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dlgt_Recorder dlg(dlgt_Desc());
        dlg.refuseOk = c.refuseOk;
        EXPECT_EQ(c.expected, dlgt_Run(dlg, [&](Dialog&) { return c.answer; }));
        EXPECT_EQ(c.okCalls, dlg.okCalls);
        EXPECT_EQ(c.cancelCalls, dlg.cancelCalls);
    }
}

TEST(DialogModal, EscEnterAndCloseBoxPressButtons) {
    platform::Application* app = platform::Application::Instance();
    ASSERT_NE(nullptr, app);
    struct Case {
        const char* name;
        std::function<void(Dialog&)> act;
        int expected;
    };
    const Case cases[] = {
        {"Esc cancels",
         [&](Dialog& d) {
             app->PostKeyDown(&d, platform::key::Escape);
             app->PumpEvents();
         },
         dlgid::Cancel},
        {"Enter presses the default button",
         [&](Dialog& d) {
             app->PostKeyDown(&d, platform::key::Enter);
             app->PumpEvents();
         },
         dlgid::Ok},
        {"close box cancels", [](Dialog& d) { d.Close(); }, dlgid::Cancel},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dlgt_Recorder dlg(dlgt_Desc());
        bool endedInside = false;
        int result = dlgt_Run(dlg, [&](Dialog& d) {
            c.act(d);
            endedInside = d.HasEnded();
            return 99;  // ignored: the dialog has ended already
        });
        EXPECT_TRUE(endedInside);
        EXPECT_EQ(c.expected, result);
        EXPECT_TRUE(dlg.Exists());  // the close box never takes the window from under the caller
    }
}

TEST(DialogModal, NoAnswerWhileRunningTwiceAndModalDepthRaised) {
    platform::Application* app = platform::Application::Instance();
    dlgt_Recorder dlg(dlgt_Desc());
    int depthInside = -1, nested = 0;
    int before = app->ModalDepth();
    dlgt_Run(dlg, [&](Dialog& d) {
        depthInside = app->ModalDepth();
        nested = d.DoModal();  // a dialog runs once at a time
        return dlgid::Ok;
    });
    EXPECT_EQ(before + 1, depthInside);
    EXPECT_EQ(dlgid::Failed, nested);
    EXPECT_EQ(before, app->ModalDepth());
}

// A timed box closes itself as OK from timer 500 inside a real modal loop.
class dlgt_Timed : public Dialog {
public:
    using Dialog::Dialog;
    int depthInLoop = -1;
    bool OnInitDialog() override {
        SetTimer(500, 1);
        return true;
    }
    void OnTimer(int id) override {
        if (id != 500) return;
        KillTimer(500);
        depthInLoop = platform::Application::Instance()->ModalDepth();
        PressButton(dlgid::Ok);
    }
};

TEST(DialogModal, RealLoopEndsByTimer) {
    ASSERT_FALSE(platform::HasModalAnswerer());
    dlgt_Timed dlg(dlgt_Desc());
    EXPECT_EQ(dlgid::Ok, dlg.DoModal());
    EXPECT_GE(dlg.depthInLoop, 1);
    EXPECT_FALSE(dlg.IsVisible());
}

// ---------------------------------------------------------------------------
// Values by id

DialogDesc dlgt_AllKinds() {
    DialogDesc d;
    d.caption = "Kinds";
    d.cx = 300;
    d.cy = 260;
    d.controls = {
        {ControlKind::Edit, 10, "", 5, 5, 60, 12, 0},
        {ControlKind::Edit, 11, "", 5, 20, 60, 40, st::MultiLine | st::WantReturn},
        {ControlKind::Edit, 12, "", 5, 65, 60, 12, st::Password},
        {ControlKind::ListBox, 20, "", 70, 5, 60, 50, st::Sorted},
        {ControlKind::ListBox, 21, "", 70, 60, 60, 50, st::CheckList},
        {ControlKind::ComboBox, 30, "", 140, 5, 60, 60, 0},
        {ControlKind::ComboBox, 31, "", 140, 20, 60, 60, st::Editable},
        {ControlKind::Edit, 40, "", 140, 40, 40, 12, st::Number},
        {ControlKind::Spin, 41, "", 180, 40, 10, 12, st::AutoBuddy},
        {ControlKind::Tab, 50, "", 5, 120, 120, 14, 0},
        {ControlKind::Tree, 60, "", 140, 60, 80, 60, 0},
        {ControlKind::ListView, 70, "", 5, 140, 120, 60, 0},
        {ControlKind::ScrollBar, 80, "", 140, 130, 80, 10, 0},
        {ControlKind::Progress, 81, "", 140, 145, 80, 10, 0},
        {ControlKind::ColorSwatch, 82, "", 140, 160, 30, 14, 0},
        {ControlKind::RichText, 83, "", 140, 180, 100, 40, 0},
        {ControlKind::Icon, 84, "", 230, 5, 20, 20, 0},
        {ControlKind::OwnerButton, 85, "", 230, 30, 40, 14, 0},
        {ControlKind::ComboBox, 86, "", 230, 50, 60, 60, st::OwnerDraw},
    };
    return d;
}

TEST(DialogValues, ExchangeByIdForEveryKind) {
    struct Case {
        const char* name;
        std::function<void(Dialog&)> run;  // sets and checks
    };
    const std::vector<Case> cases = {
        {"edit text and numbers",
         [](Dialog& d) {
             d.SetText(10, "hello");
             EXPECT_EQ("hello", d.GetText(10));
             bool ok = true;
             d.SetInt(10, -42);
             EXPECT_EQ(-42, d.GetInt(10, &ok));
             EXPECT_TRUE(ok);
             for (const char* bad : {"12x", "", " ", "99999999999", "1.5"}) {
                 d.SetText(10, bad);
                 EXPECT_EQ(0, d.GetInt(10, &ok)) << bad;
                 EXPECT_FALSE(ok) << bad;
             }
             d.SetText(10, "  17 ");
             EXPECT_EQ(17, d.GetInt(10, &ok));
             EXPECT_TRUE(ok);
             d.SetText(11, "line one\nline two");
             EXPECT_EQ("line one\nline two", d.GetText(11));
             d.SetText(12, "secret");
             EXPECT_EQ("secret", d.GetText(12));
         }},
        {"sorted list, item data, find",
         [](Dialog& d) {
             d.Add(20, "pear");
             d.Add(20, "Apple");
             int i = d.Add(20, "fig");
             EXPECT_EQ(1, i);
             EXPECT_EQ(3, d.Count(20));
             EXPECT_EQ("Apple", d.GetItemText(20, 0));
             EXPECT_EQ(2, d.FindItem(20, "PEAR"));
             EXPECT_EQ(1, d.FindItem(20, "f", false));
             d.SetItemData(20, 2, 777);
             EXPECT_EQ(777, d.GetItemData(20, 2));
             EXPECT_EQ(-1, d.GetSel(20));
             d.SetSel(20, 1);
             EXPECT_EQ(1, d.GetSel(20));
             EXPECT_EQ("fig", d.GetText(20));
             EXPECT_TRUE(d.Delete(20, 0));
             EXPECT_FALSE(d.Delete(20, 5));
             EXPECT_EQ("", d.GetItemText(20, 9));
             EXPECT_EQ(0, d.GetItemData(20, -1));
             d.Reset(20);
             EXPECT_EQ(0, d.Count(20));
         }},
        {"check list",
         [](Dialog& d) {
             d.Add(21, "a");
             d.Add(21, "b");
             d.SetItemChecked(21, 1, true);
             EXPECT_FALSE(d.IsItemChecked(21, 0));
             EXPECT_TRUE(d.IsItemChecked(21, 1));
             d.UserToggleItemCheck(21, 0);
             EXPECT_TRUE(d.IsItemChecked(21, 0));
         }},
        {"drop-down and editable combos",
         [](Dialog& d) {
             d.Add(30, "Red");
             d.Add(30, "Green");
             EXPECT_EQ(-1, d.GetSel(30));  // adding chooses nothing
             d.SetText(30, "green");       // selects the item with that text
             EXPECT_EQ(1, d.GetSel(30));
             EXPECT_EQ("Green", d.GetText(30));
             d.Insert(31, 0, "10k");
             d.SetText(31, "4.7k");
             EXPECT_EQ("4.7k", d.GetText(31));
             d.SetSel(31, 0);
             EXPECT_EQ("10k", d.GetText(31));
         }},
        {"spin with buddy and range",
         [](Dialog& d) {
             d.SetRange(41, 1, 10);
             d.SetPos(41, 25);  // clamped
             EXPECT_EQ(10, d.GetPos(41));
             EXPECT_EQ("10", d.GetText(40));
             d.SetText(40, "3");  // the buddy is the truth
             EXPECT_EQ(3, d.GetPos(41));
             EXPECT_EQ(1, d.GetRangeLow(41));
             EXPECT_EQ(10, d.GetRangeHigh(41));
         }},
        {"tabs",
         [](Dialog& d) {
             d.Add(50, "General");
             d.Add(50, "Colors");
             d.SetSel(50, 1);
             EXPECT_EQ(1, d.GetSel(50));
             EXPECT_EQ("Colors", d.GetItemText(50, 1));
         }},
        {"tree",
         [](Dialog& d) {
             platform::TreeItem top = d.TreeInsert(60, 0, "Circuit", 1);
             platform::TreeItem kid = d.TreeInsert(60, top, "R1", 2);
             platform::TreeItem kid2 = d.TreeInsert(60, top, "C1", 3);
             EXPECT_NE(0, top);
             EXPECT_EQ(top, d.TreeParent(60, kid));
             EXPECT_EQ((std::vector<platform::TreeItem>{kid, kid2}), d.TreeChildren(60, top));
             EXPECT_EQ("R1", d.TreeText(60, kid));
             EXPECT_EQ(3, d.TreeData(60, kid2));
             d.TreeExpand(60, top);
             EXPECT_TRUE(d.TreeIsExpanded(60, top));
             d.TreeSelect(60, kid2);
             EXPECT_EQ(kid2, d.TreeSelection(60));
             EXPECT_TRUE(d.TreeDelete(60, top));
             // Handles of deleted items find nothing.
             EXPECT_EQ("", d.TreeText(60, kid));
             EXPECT_EQ(0, d.TreeInsert(60, kid, "orphan"));
             EXPECT_EQ(0, d.TreeSelection(60));
         }},
        {"report list view",
         [](Dialog& d) {
             EXPECT_EQ(0, d.AddColumn(70, "Name", 60));
             EXPECT_EQ(1, d.AddColumn(70, "Value", 40, platform::ColumnAlign::Right));
             int row = d.Add(70, "R1");
             d.SetCellText(70, row, 1, "10k");
             d.Add(70, "R2");
             d.SetItemData(70, 1, 5);
             EXPECT_EQ(2, d.Count(70));
             EXPECT_EQ("10k", d.GetCellText(70, 0, 1));
             EXPECT_EQ("R2", d.GetCellText(70, 1, 0));
             EXPECT_EQ("", d.GetCellText(70, 0, 2));
             d.SetSel(70, 1);
             EXPECT_EQ(1, d.GetSel(70));
             EXPECT_EQ(5, d.GetItemData(70, d.GetSel(70)));
         }},
        {"scroll bar, progress, swatch",
         [](Dialog& d) {
             d.SetRange(80, 0, 50);
             d.SetPos(80, 20);
             EXPECT_EQ(20, d.GetPos(80));
             d.SetRange(81, 0, 10);
             d.SetPos(81, 99);
             EXPECT_EQ(10, d.GetPos(81));
             d.SetColor(82, platform::MakeColor(255, 0, 0));
             EXPECT_EQ(platform::MakeColor(255, 0, 0), d.GetColor(82));
         }},
        {"rich text runs",
         [](Dialog& d) {
             d.AppendRichText(83, "Error: ", platform::MakeColor(255, 0, 0), true);
             d.AppendRichText(83, "bad node", platform::MakeColor(0, 0, 0));
             EXPECT_EQ("Error: bad node", d.GetText(83));
             d.Reset(83);
             EXPECT_EQ("", d.GetText(83));
         }},
        {"state by id",
         [](Dialog& d) {
             d.EnableControl(10, false);
             EXPECT_FALSE(d.IsControlEnabled(10));
             d.ShowControl(12, false);
             EXPECT_FALSE(d.IsControlVisible(12));
             int line = d.ControlLineHeight(10);
             platform::FontDesc big;
             big.face = d.PanelFont().face;
             big.height = -3 * line;
             big.weight = 700;
             d.SetControlFont(10, big);
             EXPECT_EQ(-3 * line, d.GetControlFont(10).height);
             EXPECT_TRUE(d.GetControlFont(10).IsBold());
             EXPECT_GT(d.ControlLineHeight(10), 2 * line);
             d.SetIcon(84, platform::StandardIcon::Warning);
             EXPECT_EQ(ControlKind::Icon, d.KindOf(84));
             // Unknown ids give empty values and change nothing.
             EXPECT_FALSE(d.HasControl(999));
             EXPECT_EQ("", d.GetText(999));
             EXPECT_EQ(0, d.Count(999));
             EXPECT_EQ(-1, d.GetSel(999));
             EXPECT_TRUE(d.GetItemRect(999).IsEmpty());
             d.SetText(999, "x");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Dialog dlg(dlgt_AllKinds());
        EXPECT_EQ(dlgid::Ok, dlgt_Run(dlg, [&](Dialog& d) {
                      c.run(d);
                      return dlgid::Ok;
                  }));
    }
}

TEST(DialogValues, RadioGroupsAndMultiSelect) {
    DialogDesc desc;
    desc.cx = 200;
    desc.cy = 120;
    desc.controls = {
        {ControlKind::RadioButton, 10, "A", 5, 5, 40, 10, st::Group},
        {ControlKind::RadioButton, 11, "B", 5, 17, 40, 10, 0},
        {ControlKind::RadioButton, 12, "C", 5, 29, 40, 10, 0},
        {ControlKind::RadioButton, 20, "X", 60, 5, 40, 10, st::Group},
        {ControlKind::RadioButton, 21, "Y", 60, 17, 40, 10, 0},
        {ControlKind::ListBox, 30, "", 110, 5, 80, 60, st::Group | st::MultiSelect},
    };
    Dialog dlg(desc);
    dlgt_Run(dlg, [](Dialog& d) {
        d.CheckRadio(10, 12, 11);
        d.CheckRadio(20, 21, 20);
        EXPECT_EQ(11, d.GetCheckedRadio(10, 12));
        // A click ticks within its own group only.
        d.UserClick(12);
        EXPECT_EQ(12, d.GetCheckedRadio(10, 12));
        EXPECT_EQ(0, d.GetCheck(11));
        EXPECT_EQ(20, d.GetCheckedRadio(20, 21));
        // A click on the ticked one leaves it ticked.
        d.UserClick(12);
        EXPECT_EQ(12, d.GetCheckedRadio(10, 12));
        d.CheckRadio(10, 12, 0);
        EXPECT_EQ(0, d.GetCheckedRadio(10, 12));

        for (const char* s : {"a", "b", "c", "d"}) d.Add(30, s);
        d.SetItemSelected(30, 1, true);
        d.SetItemSelected(30, 3, true);
        EXPECT_EQ((std::vector<int>{1, 3}), d.GetSelectedItems(30));
        d.SetItemSelected(30, 1, false);
        EXPECT_EQ((std::vector<int>{3}), d.GetSelectedItems(30));
        d.SetSel(30, -1);
        EXPECT_TRUE(d.GetSelectedItems(30).empty());
        return dlgid::Ok;
    });
}

TEST(DialogNotify, UserActionsReachOnControl) {
    DialogDesc desc = dlgt_Desc();
    desc.controls.push_back({ControlKind::ListBox, 110, "", 170, 24, 40, 40, st::CheckList});
    desc.controls.push_back({ControlKind::Edit, 111, "", 7, 110, 40, 12, 0});
    desc.controls.push_back({ControlKind::Spin, 112, "", 48, 110, 10, 12, st::AutoBuddy});
    dlgt_Recorder dlg(desc);
    dlgt_Run(dlg, [&](Dialog& d) {
        d.Add(106, "one");
        d.Add(106, "two");
        d.Add(107, "x");
        d.Add(110, "check me");
        d.SetRange(112, 0, 5);
        d.SetPos(112, 2);
        EXPECT_TRUE(dlg.notes.empty());  // filling from code is silent
        d.UserSetText(101, "R9");
        d.UserClick(102);
        d.UserSelect(106, 1);
        d.UserDoubleClick(106, 0);
        d.UserSelect(107, 0);
        d.UserToggleItemCheck(110, 0);
        d.UserClick(105);
        return dlgid::Cancel;
    });
    EXPECT_TRUE(dlg.Noted(101, Notify::TextChanged));
    EXPECT_TRUE(dlg.Noted(102, Notify::Clicked));
    EXPECT_EQ(1, dlg.GetCheck(102));
    EXPECT_TRUE(dlg.Noted(106, Notify::SelChanged));
    EXPECT_TRUE(dlg.Noted(106, Notify::DoubleClicked));
    EXPECT_TRUE(dlg.Noted(107, Notify::SelChanged));
    EXPECT_TRUE(dlg.Noted(110, Notify::CheckChanged));
    EXPECT_TRUE(dlg.Noted(105, Notify::Clicked));
    EXPECT_EQ(1, dlg.cancelCalls);
    // A disabled control takes no user action.
    dlgt_Recorder dlg2(dlgt_Desc());
    dlgt_Run(dlg2, [&](Dialog& d) {
        d.EnableControl(102, false);
        d.UserClick(102);
        EXPECT_EQ(0, d.GetCheck(102));
        return dlgid::Ok;
    });
    EXPECT_FALSE(dlg2.Noted(102, Notify::Clicked));
}

TEST(DialogNotify, FocusNotifiesAndShowsPromptInStrip) {
    platform::SetPromptTextProvider([](int id) {
        return id == 0 ? std::string() : "Prompt " + std::to_string(id) + "\nTip " + std::to_string(id);
    });
    dlgt_Recorder dlg(dlgt_Desc());
    int heightBefore = 0, heightAttached = 0, heightHidden = 0, extra = 0;
    dlgt_Run(dlg, [&](Dialog& d) {
        heightBefore = d.ClientRect().Height();
        d.Prompt().Attach();
        extra = d.Prompt().ExtraHeight();
        heightAttached = d.ClientRect().Height();
        platform::Application::Instance()->PumpEvents();
        d.FocusControl(101);
        platform::Application::Instance()->PumpEvents();
        EXPECT_EQ(101, d.FocusedId());
        EXPECT_EQ("Prompt 101", d.Prompt().Text());  // one line: up to the line break
        d.Prompt().Attach(1, 2);                     // two lines show both
        d.FocusControl(102);
        platform::Application::Instance()->PumpEvents();
        EXPECT_EQ("Prompt 102\nTip 102", d.Prompt().Text());
        d.Prompt().SetLocked(true);
        d.FocusControl(101);
        platform::Application::Instance()->PumpEvents();
        EXPECT_EQ("Prompt 102\nTip 102", d.Prompt().Text());
        d.Prompt().SetLocked(false);
        d.Prompt().Hide();
        heightHidden = d.ClientRect().Height();
        return dlgid::Ok;
    });
    platform::SetPromptTextProvider(nullptr);
    EXPECT_GT(extra, 0);
    EXPECT_EQ(heightBefore + extra, heightAttached);
    EXPECT_EQ(heightBefore, heightHidden);  // hiding gives back exactly what attaching took
    EXPECT_TRUE(dlg.Noted(101, Notify::FocusIn));
    EXPECT_TRUE(dlg.Noted(101, Notify::FocusOut));
    EXPECT_TRUE(dlg.Noted(102, Notify::FocusIn));
}

TEST(DialogModeless, StaysAliveUntilDestroyed) {
    dlgt_Recorder dlg(dlgt_Desc());
    ASSERT_TRUE(dlg.CreateModeless());
    EXPECT_TRUE(dlg.initRan);
    EXPECT_FALSE(dlg.IsModal());
    EXPECT_TRUE(dlg.IsVisible());
    dlg.SetText(101, "live");
    platform::Application::Instance()->PumpEvents();
    dlg.PressButton(dlgid::Ok);  // ends: hidden, values kept
    EXPECT_TRUE(dlg.HasEnded());
    EXPECT_FALSE(dlg.IsVisible());
    EXPECT_EQ("live", dlg.savedName);
    EXPECT_EQ("live", dlg.GetText(101));
    dlg.DestroyDialog();
    EXPECT_FALSE(dlg.Exists());
    EXPECT_FALSE(dlg.HasControl(101));
}

// A modeless dialog that takes itself away from its own Cancel button.
class dlgt_SelfClosing : public Dialog {
public:
    using Dialog::Dialog;
    void OnCancel() override { DestroyDialog(); }
};

TEST(DialogModeless, DestroyedFromItsOwnButton) {
    dlgt_SelfClosing dlg(dlgt_Desc());
    ASSERT_TRUE(dlg.CreateModeless());
    dlg.UserClick(2);
    EXPECT_FALSE(dlg.HasControl(2));
    EXPECT_FALSE(dlg.IsVisible());
    platform::Application::Instance()->PumpEvents();
    EXPECT_FALSE(dlg.Exists());
    ASSERT_TRUE(dlg.CreateModeless());  // and it can come back
    EXPECT_TRUE(dlg.HasControl(2));
    dlg.DestroyDialog();
}

TEST(DialogLayout, DialogUnitsFollowTheFont) {
    Dialog dlg(dlgt_Desc());
    dlgt_Run(dlg, [](Dialog& d) {
        platform::Size base = d.BaseUnits();
        EXPECT_GT(base.cx, 0);
        EXPECT_GT(base.cy, 0);
        EXPECT_EQ(base.cx * 10, d.DialogUnitsToPixelsX(40));
        EXPECT_EQ(base.cy * 2, d.DialogUnitsToPixelsY(16));
        EXPECT_EQ(40, d.PixelsToDialogUnitsX(d.DialogUnitsToPixelsX(40)));
        EXPECT_EQ(d.MapDialogRect({0, 0, 220, 160}).right, d.PanelSize().cx);
        // A combo's height in a description is how far its list drops; the
        // field itself is one line high.
        const platform::Rect combo = d.GetItemRect(107), described = d.MapDialogRect({7, 84, 87, 144});
        EXPECT_EQ(combo.left, described.left);
        EXPECT_EQ(combo.top, described.top);
        EXPECT_EQ(combo.right, described.right);
        EXPECT_LT(combo.Height(), described.Height() / 2);
        // Controls added at run time in pixels, as the message box adds its buttons.
        EXPECT_TRUE(d.AddControlPixels({ControlKind::Button, 300, "&Yes", 0, 0, 0, 0, 0}, {10, 20, 70, 45}));
        EXPECT_FALSE(d.AddControlPixels({ControlKind::Button, 300, "dup", 0, 0, 0, 0, 0}, {0, 0, 5, 5}));
        EXPECT_EQ((platform::Rect{10, 20, 70, 45}), d.GetItemRect(300));
        d.AddControlPixels({ControlKind::Icon, 301, "", 0, 0, 0, 0, 0}, {8, 8, 40, 40});
        d.SetIcon(301, platform::StandardIcon::Error);
        platform::Size text = d.MeasureText(100, "word word word word word word", 60, platform::measure::WordBreak);
        platform::Size line = d.MeasureText(100, "word", 0, 0);
        EXPECT_LE(text.cx, 60);
        EXPECT_GT(text.cy, line.cy);  // wrapped onto several lines
        EXPECT_TRUE(d.RemoveControl(300));
        EXPECT_FALSE(d.HasControl(300));
        return dlgid::Ok;
    });
}

// Placement: centred by default; a position set in OnInitDialog (the
// remembered one) wins; the rectangle can be read back when closing.
class dlgt_Placed : public Dialog {
public:
    using Dialog::Dialog;
    bool place = false;
    platform::Rect closing;
    bool OnInitDialog() override {
        if (place) {
            platform::Rect r = WindowRect();
            Move({40, 50, 40 + r.Width(), 50 + r.Height()});
        }
        return true;
    }
    void OnOK() override {
        closing = WindowRect();
        Dialog::OnOK();
    }
};

TEST(DialogPlacement, CentredOrPlacedAndReadBack) {
    platform::Rect work = platform::Application::Instance()->Metrics().workArea;
    dlgt_Placed centred(dlgt_Desc());
    dlgt_Run(centred, [](Dialog&) { return dlgid::Ok; });
    int mid = centred.closing.left + centred.closing.Width() / 2;
    EXPECT_LE(std::abs(mid - (work.left + work.Width() / 2)), 2);

    dlgt_Placed placed(dlgt_Desc());
    placed.place = true;
    dlgt_Run(placed, [](Dialog&) { return dlgid::Ok; });
    EXPECT_EQ(40, placed.closing.left);
    EXPECT_EQ(50, placed.closing.top);
}

// Owner-drawn controls paint through the panel's OnDrawItem with a surface.
class dlgt_OwnerDraw : public Dialog {
public:
    using Dialog::Dialog;
    int drawn = 0;
    int comboItemDrawn = -1;
    platform::Rect lastRect;
    void OnDrawItem(platform::DrawItemInfo& item) override {
        if (item.id == 86 && item.surface) comboItemDrawn = item.item;
        if (item.id != 85 || !item.surface) return;
        ++drawn;
        lastRect = item.rect;
        item.surface->FillRect(item.rect, platform::MakeColor(0, 255, 0));
    }
};

TEST(DialogOwnerDraw, ButtonAndComboPaintThroughOnDrawItem) {
    dlgt_OwnerDraw dlg(dlgt_AllKinds());
    dlgt_Run(dlg, [&](Dialog& d) {
        d.Add(86, "solid");
        d.Add(86, "dashed");
        d.SetSel(86, 1);
        d.Redraw(85);
        d.Redraw(86);
        platform::Application::Instance()->PumpEvents();
        return dlgid::Ok;
    });
    EXPECT_GT(dlg.drawn, 0);
    EXPECT_EQ(1, dlg.comboItemDrawn);  // the closed combo shows its current item
    platform::Rect r = dlg.GetItemRect(85);
    EXPECT_EQ(r.Width(), dlg.lastRect.Width());
    EXPECT_EQ(r.Height(), dlg.lastRect.Height());
}

}  // namespace
