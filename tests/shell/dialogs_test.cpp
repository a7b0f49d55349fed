// The dialog bases: remembered positions and rectangles, the modal depth and
// current dialog, F2 and the Run command, property sheets whose pages hold
// them open, cancel once through any road, Esc in sheet edits, page prompts,
// help of nested sheets, and numeric fields that keep their last valid value.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/cmdline.h"
#include "core/memory.h"
#include "platform/app.h"
#include "platform/keys.h"
#include "shell/dialogs.h"

namespace {

namespace dlgid = platform::dlgid;
using platform::ControlKind;
namespace st = platform::style;

platform::DialogDesc dlgs_Desc() {
    platform::DialogDesc d;
    d.caption = "Placed";
    d.cx = 120;
    d.cy = 60;
    d.controls = {
        {ControlKind::Edit, 101, "", 6, 6, 60, 12, 0},
        {ControlKind::DefaultButton, 1, "OK", 6, 40, 40, 14, 0},
        {ControlKind::Button, 2, "Cancel", 60, 40, 40, 14, 0},
    };
    return d;
}

class dlgs_Dialog : public CDialog2 {
public:
    dlgs_Dialog(platform::Point* position, bool attachBar = false)
        : CDialog2(700u, position, nullptr), attachBar_(attachBar) {
        SetDescription(dlgs_Desc());
    }
    dlgs_Dialog(platform::Rect* rect, bool attachBar) : CDialog2(700u, nullptr, rect), attachBar_(attachBar) {
        SetDescription(dlgs_Desc());
    }
    bool OnInitDialog() override {
        bool r = CDialog2::OnInitDialog();
        if (attachBar_) PromptBar().Attach();
        return r;
    }

private:
    bool attachBar_;
};

// Runs a dialog (or sheet) with `body` as the user; answers `answer`.
template <class Modal>
int dlgs_Run(Modal& modal, const std::function<void()>& body, int answer = dlgid::Failed) {
    platform::ScopedModalAnswerer scoped([&](platform::ModalRequest&) {
        if (body) body();
        return answer;
    });
    return modal.DoModal();
}

platform::Size dlgs_Screen() { return platform::Application::Instance()->Metrics().screen; }

// ---- dialogs ------------------------------------------------------------------------

TEST(ShellDialogPlacement, RememberedPositionsAreUsedOrCentred) {
    const platform::Size screen = dlgs_Screen();
    struct Case {
        const char* name;
        platform::Point remembered;
        bool used;
        platform::Point placed;  // where a used position puts the window
    };
    const std::vector<Case> cases = {
        {"nothing remembered yet", {-1, -1}, false, {}},
        {"off the right edge", {screen.cx - 20, 40}, false, {}},
        {"one pixel further left", {screen.cx - 21, 40}, true, {screen.cx - 21, 40}},
        {"off the bottom edge", {40, screen.cy - 19}, false, {}},
        {"negative x", {-5, 40}, true, {0, 40}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        platform::Point remembered = c.remembered;
        dlgs_Dialog dlg(&remembered);
        platform::Rect seen;
        EXPECT_EQ(dlgid::Ok, dlgs_Run(dlg, [&] {
                      seen = dlg.WindowRect();
                      dlg.PressButton(dlgid::Ok);
                  }));
        if (c.used) {
            EXPECT_EQ(c.placed, (platform::Point{seen.left, seen.top}));
        } else {
            EXPECT_NE(c.remembered, (platform::Point{seen.left, seen.top}));
        }
        // Closing stores the real position; the next opening goes there.
        EXPECT_EQ((platform::Point{seen.left, seen.top}), remembered);
        dlgs_Dialog again(&remembered);
        platform::Rect next;
        dlgs_Run(again, [&] {
            next = again.WindowRect();
            again.PressButton(dlgid::Cancel);
        });
        if (seen.left + 20 < screen.cx) {
            EXPECT_EQ(seen, next);
        }
    }
}

TEST(ShellDialogPlacement, RememberedRectangleLeavesOutThePromptBar) {
    platform::Rect remembered{-1, -1, -1, -1};
    dlgs_Dialog dlg(&remembered, true);
    platform::Rect window;
    int extra = 0;
    dlgs_Run(dlg, [&] {
        window = dlg.WindowRect();
        extra = dlg.PromptBar().ExtraHeight();
        dlg.PressButton(dlgid::Ok);
    });
    EXPECT_GT(extra, 0);
    EXPECT_EQ(window.Height() - extra, remembered.Height());
    EXPECT_EQ(window.Width(), remembered.Width());

    // The next opening takes the rectangle and adds the bar again.
    dlgs_Dialog again(&remembered, true);
    platform::Rect next;
    dlgs_Run(again, [&] {
        next = again.WindowRect();
        again.PressButton(dlgid::Cancel);
    });
    EXPECT_EQ(window, next);
}

TEST(ShellDialogPlacement, DemoPlaybackLeavesTheRecordsAlone) {
    platform::Point remembered{-1, -1};
    SetDemoPlaying(true);
    dlgs_Dialog dlg(&remembered);
    dlgs_Run(dlg, [&] { dlg.PressButton(dlgid::Ok); });
    SetDemoPlaying(false);
    EXPECT_EQ((platform::Point{-1, -1}), remembered);
}

TEST(ShellDialogState, ModalDepthAndCurrentDialogFollowTheRun) {
    platform::Point remembered{-1, -1};
    dlgs_Dialog dlg(&remembered);
    int depth = -1;
    platform::Window* current = nullptr;
    dlgs_Run(dlg, [&] {
        depth = Dialogs().modalDepth;
        current = Dialogs().currentDialog;
        dlg.PressButton(dlgid::Cancel);
    });
    EXPECT_EQ(1, depth);
    EXPECT_EQ(&dlg, current);
    EXPECT_EQ(0, Dialogs().modalDepth);
    EXPECT_EQ(nullptr, Dialogs().currentDialog);
}

TEST(ShellDialogState, ModelessDialogIsKnownUntilItCloses) {
    platform::Point remembered{-1, -1};
    dlgs_Dialog dlg(&remembered);
    ASSERT_TRUE(dlg.CreateModeless());
    EXPECT_EQ(&dlg, Dialogs().modelessDialog);
    EXPECT_EQ(&dlg, Dialogs().currentDialog);
    EXPECT_EQ(0, Dialogs().modalDepth);
    dlg.CloseModeless();
    EXPECT_FALSE(dlg.Exists());
    EXPECT_EQ(nullptr, Dialogs().modelessDialog);
    EXPECT_EQ(nullptr, Dialogs().currentDialog);
}

// A main window that records the commands that reach it.
class dlgs_MainWindow : public platform::Window {
public:
    std::vector<int> commands;
    bool OnCommand(int id) override {
        commands.push_back(id);
        return true;
    }
};

// Context help that records the ids asked for, and an analysis mode to answer with.
class dlgs_Help final : public ContextHelpPort {
public:
    void OpenContextHelp(platform::Window*, unsigned id) override { ids.push_back(id); }

    std::vector<unsigned> ids;
};

class dlgs_Mode final : public AnalysisModePort {
public:
    bool IsAnalysisMode() override { return on; }

    bool on = false;
};

TEST(ShellDialogKeys, F2ClosesWithOkAndPostsTheRunOutsideAnalysisMode) {
    platform::Application* app = platform::Application::Instance();
    dlgs_MainWindow main;
    ASSERT_TRUE(main.Create(nullptr, platform::Rect{0, 0, 200, 100}, "main"));
    platform::Window* previousMain = app->MainWindow();
    app->SetMainWindow(&main);
    dlgs_Mode mode;
    InstallAnalysisMode(&mode);
    dlgs_Help help;
    InstallContextHelp(&help);

    struct Case {
        const char* name;
        bool runKey;
        bool analysis;
        int result;
        std::vector<int> posted;
    };
    const std::vector<Case> cases = {
        {"run key set", true, false, dlgid::Ok, {16068}},
        {"run key set, analysis mode", true, true, dlgid::Ok, {}},
        {"run key off: F2 does nothing", false, false, dlgid::Cancel, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        main.commands.clear();
        mode.on = c.analysis;
        platform::Point remembered{-1, -1};
        dlgs_Dialog dlg(&remembered);
        dlg.SetRunKey(c.runKey);
        EXPECT_EQ(c.result, dlgs_Run(dlg, [&] {
                      dlg.OnDialogKey(platform::key::Function(2), platform::ModNone);
                      if (!dlg.HasEnded()) dlg.PressButton(dlgid::Cancel);
                  }));
        app->PumpEvents();
        EXPECT_EQ(c.posted, main.commands);
    }

    // F1 opens the dialog's help by its template id.
    help.ids.clear();
    platform::Point remembered{-1, -1};
    dlgs_Dialog dlg(&remembered);
    dlgs_Run(dlg, [&] {
        dlg.OnDialogKey(platform::key::F1, platform::ModNone);
        dlg.PressButton(dlgid::Cancel);
    });
    EXPECT_EQ((std::vector<unsigned>{700}), help.ids);

    InstallContextHelp(nullptr);
    InstallAnalysisMode(nullptr);
    app->SetMainWindow(previousMain);
    main.Destroy();
}

TEST(ShellDialogFields, NumbersAndTextsByControl) {
    platform::Point remembered{-1, -1};
    dlgs_Dialog dlg(&remembered);
    std::string shown;
    char* text = DuplicateString("old");
    dlgs_Run(dlg, [&] {
        dlg.SetItemNumber(101, 1.0 / 3.0);
        shown = dlg.GetText(101);
        dlg.SetText(101, "R1 value");
        dlg.GetItemTextAlloc(text, 101);
        dlg.PressButton(dlgid::Ok);
    });
    EXPECT_EQ("0.33333333", shown);
    EXPECT_STREQ("R1 value", text);
    MemFree(text);
}

// ---- property sheets -------------------------------------------------------------------

platform::DialogDesc dlgs_PageDesc(const char* caption) {
    platform::DialogDesc d;
    d.caption = caption;
    d.cx = 160;
    d.cy = 90;
    d.controls = {
        {ControlKind::Edit, 201, "1", 6, 6, 60, 12, 0},
        {ControlKind::Edit, 202, "2", 6, 22, 60, 12, 0},
        {ControlKind::Button, 301, "Defaults", 80, 6, 50, 14, st::Disabled},
        {ControlKind::CheckBox, 302, "Grid", 80, 24, 50, 10, st::Disabled},
        {ControlKind::Static, 303, "Label", 80, 38, 50, 8, 0},
        {ControlKind::CheckBox, 304, "Snap", 80, 50, 50, 10, 0},
        {ControlKind::RadioButton, 305, "Left", 80, 62, 50, 10, st::Disabled | st::Group},
        {ControlKind::Button, 8, "Close", 6, 60, 40, 14, 0},
    };
    return d;
}

class dlgs_Page : public CPropertyPage2 {
public:
    dlgs_Page(const char* caption, unsigned helpId) : CPropertyPage2(helpId, 0) {
        SetDescription(dlgs_PageDesc(caption));
    }
    int okCalls = 0, cancelCalls = 0;
    int holdOpen = 0;
    void OnOK() override {
        ++okCalls;
        if (holdOpen) ParentSheet()->SetStayOpenResult(holdOpen);
        CPropertyPage2::OnOK();
    }
    void OnCancel() override {
        ++cancelCalls;
        CPropertyPage2::OnCancel();
    }
};

class dlgs_Sheet : public CPropertySheet2 {
public:
    explicit dlgs_Sheet(int* page = nullptr) : CPropertySheet2("Sheet", nullptr, nullptr, page) {}
    std::vector<int> commands;
    bool OnCommand(int id) override {
        commands.push_back(id);
        return CPropertySheet2::OnCommand(id);
    }
};

TEST(ShellPropertySheet, PageHoldsTheSheetOpenWithItsResult) {
    dlgs_Page a("A", 1), b("B", 2), c("C", 3);
    b.holdOpen = 7;
    dlgs_Sheet sheet;
    sheet.AddPage(&a);
    sheet.AddPage(&b);
    sheet.AddPage(&c);
    int held = 0, stayAfter = -1;
    bool ended = true;
    int result = dlgs_Run(sheet, [&] {
        sheet.SetActivePage(1);
        sheet.SetActivePage(2);
        held = sheet.AcceptAllPages();
        ended = sheet.HasEnded();
        stayAfter = sheet.StayOpenResult();
        b.holdOpen = 0;
        sheet.PressButton(dlgid::Ok);
    });
    EXPECT_EQ(7, held);
    EXPECT_FALSE(ended);
    EXPECT_EQ(0, stayAfter);
    EXPECT_EQ(dlgid::Ok, result);
    EXPECT_EQ(2, a.okCalls);
    EXPECT_EQ(2, b.okCalls);
    EXPECT_EQ(1, c.okCalls);  // not called while B held the sheet open
}

TEST(ShellPropertySheet, CancelRunsOnceWhicheverWayItComes) {
    dlgs_Page a("A", 1), b("B", 2), never("Never shown", 3);
    dlgs_Sheet sheet;
    sheet.AddPage(&a);
    sheet.AddPage(&b);
    sheet.AddPage(&never);
    int result = dlgs_Run(sheet, [&] {
        sheet.SetActivePage(1);
        sheet.PressButton(dlgid::Cancel);
        sheet.OnCancel();  // the close box after Cancel
        a.OnReset();       // a page's reset notification
    });
    EXPECT_EQ(dlgid::Cancel, result);
    EXPECT_EQ(1, a.cancelCalls);
    EXPECT_EQ(1, b.cancelCalls);
    EXPECT_EQ(0, never.cancelCalls);
    EXPECT_TRUE(sheet.Cancelled());
}

TEST(ShellPropertySheet, EscCancelsFromSheetEditsOnlyAndF1GivesHelp) {
    dlgs_Help help;
    InstallContextHelp(&help);
    struct Case {
        const char* name;
        int focus;
        bool cancels;
    };
    const std::vector<Case> cases = {
        {"Esc in a sheet edit", 201, true},
        {"Esc in another edit", 202, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dlgs_Page page("A", 44);
        CSheetEdit edit;
        edit.SubclassDlgItem(201, page);
        dlgs_Sheet sheet;
        sheet.AddPage(&page);
        bool ended = false;
        int focused = 0;
        help.ids.clear();
        int result = dlgs_Run(sheet, [&] {
            platform::Application* app = platform::Application::Instance();
            app->PumpEvents();
            page.FocusControl(c.focus);
            app->PumpEvents();
            focused = page.FocusedId();
            sheet.OnSheetKey(platform::key::Escape, platform::ModNone);
            ended = sheet.HasEnded();
            if (!ended) {
                sheet.OnSheetKey(platform::key::F1, platform::ModNone);
                sheet.PressButton(dlgid::Ok);
            }
        });
        EXPECT_EQ(c.focus, focused);
        EXPECT_EQ(c.cancels, ended);
        EXPECT_EQ(c.cancels ? dlgid::Cancel : dlgid::Ok, result);
        EXPECT_EQ(c.cancels ? 1 : 0, page.cancelCalls);
        if (!c.cancels) {
            EXPECT_EQ((std::vector<int>{8, 9}), sheet.commands);
            EXPECT_EQ((std::vector<unsigned>{44}), help.ids);
        }
    }
    InstallContextHelp(nullptr);
    InstallAnalysisMode(nullptr);
}

TEST(ShellPropertySheet, PagePromptsSkipDisabledChecksRadiosAndTexts) {
    dlgs_Page page("A", 1);
    dlgs_Sheet sheet;
    sheet.AddPage(&page);
    struct Case {
        int control;
        int prompt;
    };
    const std::vector<Case> cases = {
        {0, 0}, {201, 201}, {301, 301}, {302, 0}, {303, 0}, {304, 304}, {305, 0}, {8, 23}, {999, 0},
    };
    dlgs_Run(sheet, [&] {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.control);
            EXPECT_EQ(c.prompt, page.GetPromptControlId(c.control));
        }
        sheet.PressButton(dlgid::Cancel);
    });
}

class dlgs_HostPage : public dlgs_Page {
public:
    dlgs_HostPage() : dlgs_Page("Host", 500) {}
    dlgs_Page inner1{"Inner 1", 601}, inner2{"Inner 2", 602};
    CPropertySheet2 nested{"", nullptr, nullptr, nullptr};
    bool OnInitDialog() override {
        bool r = dlgs_Page::OnInitDialog();
        nested.AddPage(&inner1);
        nested.AddPage(&inner2);
        nested.CreateInPage(*this);
        SetNestedSheet(&nested);
        return r;
    }
};

TEST(ShellPropertySheet, NestedSheetsTakeHelpAndCancelFromTheOuterSheet) {
    dlgs_Help help;
    InstallContextHelp(&help);
    help.ids.clear();
    dlgs_HostPage host;
    dlgs_Sheet sheet;
    sheet.AddPage(&host);
    bool hostsNested = false, inPage = false;
    int result = dlgs_Run(sheet, [&] {
        hostsNested = sheet.HostsNested();
        inPage = host.nested.InPage();
        host.nested.SetActivePage(1);
        sheet.PressButton(dlgid::Help);
        // A nested page's reset ends at the outer sheet's cancel, once.
        host.inner2.OnReset();
        host.inner1.OnReset();
    });
    EXPECT_TRUE(hostsNested);
    EXPECT_TRUE(inPage);
    EXPECT_EQ((std::vector<unsigned>{602}), help.ids);
    EXPECT_EQ(dlgid::Cancel, result);
    EXPECT_EQ(1, host.cancelCalls);
    EXPECT_EQ(1, host.inner1.cancelCalls);
    EXPECT_EQ(1, host.inner2.cancelCalls);
    InstallContextHelp(nullptr);
    InstallAnalysisMode(nullptr);
}

TEST(ShellPropertySheet, RememberedPageFollowsTheTabs) {
    int remembered = 1;
    dlgs_Page a("A", 1), b("B", 2);
    {
        dlgs_Sheet sheet(&remembered);
        sheet.AddPage(&a);
        sheet.AddPage(&b);
        int opened = -1;
        dlgs_Run(sheet, [&] {
            opened = sheet.ActivePageIndex();
            sheet.UserSelectPage(0);
            sheet.PressButton(dlgid::Ok);
        });
        EXPECT_EQ(1, opened);
    }
    EXPECT_EQ(0, remembered);
}

TEST(ShellPropertySheet, BoundedFieldsKeepTheirLastValidValue) {
    dlgs_Page page("A", 1);
    dlgs_Sheet sheet;
    sheet.AddPage(&page);
    struct Case {
        const char* text;
        double expectDouble;
        const char* shownDouble;
        int expectInt;
        const char* shownInt;
    };
    // Bounds: [0, 20] for both; the previous value is 3.
    const std::vector<Case> cases = {
        {"12.5", 12.5, "12.5", 12, "12"},  // the integer part
        {"1k", 3, "3", 3, "3"},            // out of range
        {"abc", 3, "3", 3, "3"},           // not a number
        {"20", 20, "20", 20, "20"},       {"0", 0, "0", 0, "0"}, {"-1", 3, "3", 3, "3"},
    };
    dlgs_Run(sheet, [&] {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.text);
            double d = 3;
            page.SetText(201, c.text);
            page.ReadBoundedDouble(d, 201, 0, 20);
            EXPECT_EQ(c.expectDouble, d);
            EXPECT_EQ(c.shownDouble, page.GetText(201));
            int n = 3;
            page.SetText(202, c.text);
            page.ReadBoundedInt(n, 202, 0, 20);
            EXPECT_EQ(c.expectInt, n);
            EXPECT_EQ(c.shownInt, page.GetText(202));
        }
        sheet.PressButton(dlgid::Cancel);
    });
}

}  // namespace
