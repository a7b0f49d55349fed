// Property sheets: pages built on first activation, Apply enabled by
// modified pages, OK/Cancel reaching initialised pages only, refusals,
// and a sheet nested in a page.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/app.h"
#include "platform/propsheet.h"

namespace {

using platform::ControlKind;
using platform::DialogDesc;
using platform::ModalRequest;
using platform::Notify;
using platform::PropertyPage;
using platform::PropertySheet;
namespace dlgid = platform::dlgid;

DialogDesc psht_PageDesc(const std::string& caption, int editId) {
    DialogDesc d;
    d.caption = caption;
    d.cx = 180;
    d.cy = 100;
    d.controls = {
        {ControlKind::Static, -1, "Value:", 7, 9, 40, 8, 0},
        {ControlKind::Edit, editId, "", 50, 7, 80, 12, 0},
    };
    return d;
}

// A page that edits one value: loads it at init, stores it on OK/Apply,
// marks itself modified when the user types.
class psht_Page : public PropertyPage {
public:
    psht_Page(const std::string& caption, int editId, std::string* value)
        : PropertyPage(psht_PageDesc(caption, editId)), id_(editId), value_(value) {}
    std::vector<std::string> calls;
    bool refuseLeave = false;

    bool OnInitDialog() override {
        calls.push_back("init");
        SetText(id_, *value_);
        return true;
    }
    bool OnSetActive() override {
        calls.push_back("active");
        return true;
    }
    bool OnKillActive() override {
        calls.push_back("leave");
        return !refuseLeave;
    }
    void OnOK() override {
        calls.push_back("ok");
        *value_ = GetText(id_);
    }
    void OnCancel() override { calls.push_back("cancel"); }
    void OnControl(int id, Notify what) override {
        if (id == id_ && what == Notify::TextChanged) SetModified();
    }
    int Count(const std::string& what) const { return static_cast<int>(std::count(calls.begin(), calls.end(), what)); }

private:
    int id_;
    std::string* value_;
};

class psht_Sheet : public PropertySheet {
public:
    using PropertySheet::PropertySheet;
    std::vector<int> changes;
    void OnPageChanged(int index) override { changes.push_back(index); }
};

int psht_Run(PropertySheet& sheet, const std::function<int(PropertySheet&)>& body) {
    platform::ScopedModalAnswerer answer([&](ModalRequest& r) -> int {
        auto* s = dynamic_cast<PropertySheet*>(&r);
        return s ? body(*s) : dlgid::Failed;
    });
    return sheet.DoModal();
}

TEST(PropSheet, TwoPagesApplyAndOk) {
    std::string a = "1k", b = "2u";
    psht_Sheet sheet("Properties");
    psht_Page p1("General", 101, &a), p2("Advanced", 201, &b);
    sheet.AddPage(&p1);
    sheet.AddPage(&p2);
    int result = psht_Run(sheet, [&](PropertySheet& s) {
        EXPECT_EQ(platform::ModalKind::PropertySheet, s.Kind());
        EXPECT_EQ(0, s.ActivePageIndex());
        EXPECT_TRUE(p1.IsInitialised());
        EXPECT_FALSE(p2.IsInitialised());  // built on first activation
        EXPECT_EQ("1k", p1.GetText(101));
        EXPECT_FALSE(s.IsApplyEnabled());

        EXPECT_TRUE(s.UserSelectPage(1));
        EXPECT_TRUE(p2.IsInitialised());
        EXPECT_EQ("2u", p2.GetText(201));
        p2.UserSetText(201, "3u");
        EXPECT_TRUE(p2.IsModified());
        EXPECT_TRUE(s.IsApplyEnabled());

        s.PressButton(dlgid::Apply);
        EXPECT_EQ("3u", b);  // written through, sheet stays open
        EXPECT_FALSE(s.HasEnded());
        EXPECT_FALSE(s.IsApplyEnabled());
        EXPECT_FALSE(p2.IsModified());

        p1.SetText(101, "5k");  // from code: not modified
        EXPECT_FALSE(s.IsApplyEnabled());
        return dlgid::Ok;
    });
    EXPECT_EQ(dlgid::Ok, result);
    EXPECT_EQ("5k", a);
    EXPECT_EQ((std::vector<int>{1}), sheet.changes);
    EXPECT_EQ((std::vector<std::string>{"init", "active", "leave", "ok", "ok"}), p1.calls);
    EXPECT_EQ((std::vector<std::string>{"init", "active", "leave", "ok", "leave", "ok"}), p2.calls);
}

TEST(PropSheet, CancelReachesOnlyInitialisedPagesOnce) {
    std::string a = "x", b = "y", c = "z";
    PropertySheet sheet("Sheet");
    psht_Page p1("One", 101, &a), p2("Two", 201, &b), p3("Three", 301, &c);
    for (PropertyPage* p :
         {static_cast<PropertyPage*>(&p1), static_cast<PropertyPage*>(&p2), static_cast<PropertyPage*>(&p3)})
        sheet.AddPage(p);
    sheet.SetStartPage(2);
    int result = psht_Run(sheet, [&](PropertySheet& s) {
        EXPECT_EQ(2, s.ActivePageIndex());
        p3.UserSetText(301, "changed");
        return dlgid::Cancel;
    });
    EXPECT_EQ(dlgid::Cancel, result);
    EXPECT_EQ("z", c);  // Cancel writes nothing
    EXPECT_TRUE(p1.calls.empty());
    EXPECT_TRUE(p2.calls.empty());
    EXPECT_EQ(1, p3.Count("cancel"));
}

TEST(PropSheet, LeavingRefusedKeepsPageAndSheetOpen) {
    std::string a = "x", b = "y";
    psht_Sheet sheet("Sheet");
    psht_Page p1("One", 101, &a), p2("Two", 201, &b);
    sheet.AddPage(&p1);
    sheet.AddPage(&p2);
    p1.refuseLeave = true;
    int result = psht_Run(sheet, [&](PropertySheet& s) {
        EXPECT_FALSE(s.UserSelectPage(1));
        EXPECT_EQ(0, s.ActivePageIndex());
        EXPECT_FALSE(p2.IsInitialised());
        return dlgid::Ok;  // refused as well: the sheet would stay open
    });
    EXPECT_EQ(dlgid::Failed, result);
    EXPECT_TRUE(sheet.changes.empty());
    EXPECT_EQ(0, p1.Count("ok"));
}

TEST(PropSheet, EscCancelsAndPromptStripShowsButtonPrompts) {
    platform::SetPromptTextProvider([](int id) { return id == 2 ? std::string("Closes without saving.") : ""; });
    std::string a = "x";
    PropertySheet sheet("Sheet");
    psht_Page p1("One", 101, &a);
    sheet.AddPage(&p1);
    int result = psht_Run(sheet, [&](PropertySheet& s) {
        s.Prompt().Attach();
        EXPECT_TRUE(p1.LinkedPromptStrip() == &s.Prompt());
        s.OnPrompt(2);
        EXPECT_EQ("Closes without saving.", s.Prompt().Text());
        platform::Application::Instance()->PostKeyDown(&s, platform::key::Escape);
        platform::Application::Instance()->PumpEvents();
        EXPECT_TRUE(s.HasEnded());
        return dlgid::Ok;  // ignored: ended already
    });
    platform::SetPromptTextProvider(nullptr);
    EXPECT_EQ(dlgid::Cancel, result);
    EXPECT_EQ(1, p1.Count("cancel"));
}

TEST(PropSheet, NestedSheetLivesInAPageAndNeverEndsItself) {
    std::string a = "x", b = "y";
    PropertySheet outer("Outer");
    psht_Page host("Host", 101, &a);
    outer.AddPage(&host);
    PropertySheet inner;
    psht_Page innerPage("Inner", 501, &b);
    inner.AddPage(&innerPage);
    int result = psht_Run(outer, [&](PropertySheet& s) {
        s.Prompt().Attach();
        EXPECT_TRUE(inner.CreateInPage(host));
        EXPECT_TRUE(inner.IsInPage());
        EXPECT_TRUE(innerPage.IsInitialised());
        EXPECT_EQ(innerPage.LinkedPromptStrip(), host.LinkedPromptStrip());
        inner.PressButton(dlgid::Ok);  // runs its pages but leaves the ending to the outer sheet
        EXPECT_FALSE(inner.HasEnded());
        EXPECT_EQ(1, innerPage.Count("ok"));
        return dlgid::Ok;
    });
    EXPECT_EQ(dlgid::Ok, result);
}

TEST(PropSheet, PageDestroyedBeforeSheetIsForgotten) {
    std::string a = "x", b = "y";
    PropertySheet sheet("Sheet");
    psht_Page p1("One", 101, &a);
    sheet.AddPage(&p1);
    {
        psht_Page p2("Two", 201, &b);
        sheet.AddPage(&p2);
        EXPECT_EQ(2, sheet.PageCount());
        psht_Run(sheet, [&](PropertySheet& s) {
            s.UserSelectPage(1);
            return dlgid::Ok;
        });
    }
    EXPECT_EQ(1, sheet.PageCount());
    EXPECT_EQ(&p1, sheet.GetPage(0));
    EXPECT_EQ(nullptr, sheet.GetPage(1));
    EXPECT_EQ(dlgid::Ok, psht_Run(sheet, [](PropertySheet&) { return dlgid::Ok; }));
}

}  // namespace
