// The main frame with menu bar, status bar and MDI children; menus and
// command routing through frame, view and document.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/app.h"
#include "platform/frame.h"
#include "platform/image.h"
#include "platform/menu.h"
#include "tests/support/tempdir.h"

namespace {

using platform::Application;
using platform::CommandState;
using platform::MdiChild;
using platform::Rect;

// Handles the commands and command states of a given id range, recording them.
struct frt_Handler {
    int first = 0;
    int last = -1;
    std::vector<int> got;
    void Range(int a, int b) {
        first = a;
        last = b;
    }
    bool Command(int id) {
        if (id < first || id > last) return false;
        got.push_back(id);
        return true;
    }
};

class frt_Document : public platform::CommandTarget {
public:
    frt_Handler h;
    bool OnCommand(int id) override { return h.Command(id); }
    bool OnUpdateCommand(CommandState& s) override {
        if (s.Id() != 101) return false;
        s.Enable(false);  // "Open" while the document is busy
        return true;
    }
};

class frt_View : public platform::Window {
public:
    frt_Handler h;
    bool OnCommand(int id) override { return h.Command(id); }
    bool OnUpdateCommand(CommandState& s) override {
        if (s.Id() != 200) return false;
        s.Check(true);
        s.SetText("&Undo Move\tCtrl+Z");
        return true;
    }
};

class frt_Child : public MdiChild {
public:
    std::vector<bool> activations;
    bool allowClose = true;

protected:
    void OnActivate(bool on) override { activations.push_back(on); }
    bool OnClose() override { return allowClose; }
};

class frt_Frame : public platform::MainFrame {
public:
    frt_Handler h;
    std::vector<MdiChild*> activated;
    bool OnCommand(int id) override { return h.Command(id); }

protected:
    void OnChildActivated(MdiChild* c) override { activated.push_back(c); }
};

// A document window: child frame, view filling it, document behind the view.
struct frt_DocWindow {
    frt_Child child;
    frt_View view;
    frt_Document doc;
    bool Open(platform::MainFrame& frame, const std::string& title) {
        if (!child.Create(frame, title, Rect{0, 0, 200, 150})) return false;
        if (!view.Create(&child, Rect{})) return false;
        child.SetView(&view);
        view.SetNextCommandTarget(&doc);
        child.Show(platform::show::Normal);
        return true;
    }
};

class FrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        app = Application::Instance();
        platform::Menu& file = menu.AddPopup("&File");
        file.AddItem(100, "&New\tCtrl+N");
        file.AddItem(101, "&Open...\tCtrl+O");
        file.AddSeparator();
        file.AddItem(102, "E&xit");
        platform::Menu& edit = menu.AddPopup("&Edit");
        edit.AddItem(200, "&Undo\tCtrl+Z");
        windows = &menu.AddPopup("&Windows");
        menu.AddPopup("&Help").AddItem(300, "&About...");
        ASSERT_TRUE(frame.Create("Tarnwick", Rect{0, 0, 800, 600}));
        frame.SetMenu(&menu);
        frame.SetStatusPanes({
            {59144, 0, "XXXXXXXXXXXXXXXXX", false},
            {59147, 0, "100%", false},
            {59146, 0, "", true},
            {59145, 0, "LnXXXXXX", false},
            {59143, 0, "Clock", false},
        });
        app->SetMainWindow(&frame);
        frame.Show(platform::show::Normal);
        app->PumpEvents();
    }
    void TearDown() override {
        app->SetMainWindow(nullptr);
        frame.Destroy();
        app->PumpEvents();
    }

    Application* app = nullptr;
    platform::Menu menu;
    platform::Menu* windows = nullptr;
    frt_Frame frame;
};

TEST_F(FrameTest, MenuBarAndStatusPanesAreBuilt) {
    EXPECT_EQ(frame.Title(), "Tarnwick");
    EXPECT_EQ(frame.MenuBarTitles(), (std::vector<std::string>{"&File", "&Edit", "&Windows", "&Help"}));
    ASSERT_EQ(frame.StatusPaneCount(), 5);
    const int ids[] = {59144, 59147, 59146, 59145, 59143};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(frame.StatusPaneId(i), ids[i]);
    EXPECT_EQ(frame.StatusPaneIndex(59143), 4);
    EXPECT_EQ(frame.StatusPaneIndex(1), -1);
    EXPECT_TRUE(frame.IsStatusBarVisible());
    EXPECT_GT(frame.StatusBarHeight(), 0);

    // Fixed panes are as wide as their templates; the message pane stretches.
    EXPECT_GT(frame.PaneWidth(59144), frame.PaneWidth(59143));
    EXPECT_GE(frame.PaneWidth(59143), frame.StatusTextWidth("Clock"));
    EXPECT_GT(frame.PaneWidth(59146), frame.PaneWidth(59144));

    EXPECT_TRUE(frame.SetPaneText(59143, "10:42"));
    EXPECT_EQ(frame.PaneText(59143), "10:42");
    EXPECT_FALSE(frame.SetPaneText(12345, "x"));
    EXPECT_TRUE(frame.SetPaneWidth(59145, 120));
    EXPECT_EQ(frame.PaneWidth(59145), 120);

    frame.BeginProgress(59146, 50);
    EXPECT_TRUE(frame.InProgress());
    frame.SetProgress(80);  // beyond the maximum: held at it
    frame.EndProgress();
    EXPECT_FALSE(frame.InProgress());
    frame.ShowStatusBar(false);
    EXPECT_FALSE(frame.IsStatusBarVisible());
    EXPECT_EQ(frame.StatusBarHeight(), 0);
}

TEST_F(FrameTest, ChildrenActivateAndWalkFromTheTop) {
    frt_DocWindow a;
    frt_DocWindow b;
    ASSERT_TRUE(a.Open(frame, "a.cir"));
    ASSERT_TRUE(b.Open(frame, "b.cir"));
    app->PumpEvents();
    EXPECT_EQ(frame.ActiveChild(), &b.child);
    EXPECT_EQ(frame.Children(), (std::vector<MdiChild*>{&b.child, &a.child}));
    EXPECT_EQ(b.child.View(), &b.view);
    EXPECT_EQ(b.child.Frame(), &frame);

    a.child.Activate();
    app->PumpEvents();
    EXPECT_TRUE(a.child.IsActive());
    EXPECT_FALSE(b.child.IsActive());
    EXPECT_EQ(frame.Children(), (std::vector<MdiChild*>{&a.child, &b.child}));
    ASSERT_FALSE(b.child.activations.empty());
    EXPECT_FALSE(b.child.activations.back());
    EXPECT_TRUE(a.child.activations.back());
    EXPECT_EQ(frame.activated.back(), &a.child);

    a.child.Maximize();
    app->PumpEvents();
    EXPECT_TRUE(a.child.IsMaximized());
    a.child.Restore();
    app->PumpEvents();
    EXPECT_FALSE(a.child.IsMaximized());

    // Side by side: each half of the MDI area.
    frame.Tile(true);
    app->PumpEvents();
    const Rect client = frame.MdiClientRect();
    const Rect ra = a.child.WindowRect();
    const Rect rb = b.child.WindowRect();
    EXPECT_EQ(ra.Width() + rb.Width(), client.Width());
    EXPECT_EQ(ra.Height(), client.Height());
    EXPECT_NE(ra.left, rb.left);
    frame.Tile(false);
    app->PumpEvents();
    EXPECT_EQ(a.child.WindowRect().Width(), client.Width());
    frame.Cascade();
    app->PumpEvents();
    EXPECT_NE(a.child.WindowRect().top, b.child.WindowRect().top);

    // A refused close keeps the child; an allowed one activates the other.
    a.child.allowClose = false;
    EXPECT_FALSE(a.child.Close());
    EXPECT_EQ(frame.Children().size(), 2u);
    a.child.allowClose = true;
    EXPECT_TRUE(a.child.Close());
    app->PumpEvents();
    EXPECT_FALSE(a.view.Exists());
    EXPECT_EQ(frame.Children(), std::vector<MdiChild*>{&b.child});
    EXPECT_EQ(frame.ActiveChild(), &b.child);
}

// A child first shown maximised (as every document opens) and then restored
// must come back as a window a person can use, not as a bare title bar.
TEST_F(FrameTest, RestoredChildKeepsAUsableSize) {
    std::vector<std::unique_ptr<frt_Child>> children;
    std::vector<std::unique_ptr<frt_View>> views;
    for (int i = 0; i < 2; ++i) {
        children.push_back(std::make_unique<frt_Child>());
        views.push_back(std::make_unique<frt_View>());
        ASSERT_TRUE(children[i]->Create(frame, "doc" + std::to_string(i)));
        ASSERT_TRUE(views[i]->Create(children[i].get(), Rect{}));
        children[i]->SetView(views[i].get());
        children[i]->Maximize();
        app->PumpEvents();
    }
    const Rect client = frame.MdiClientRect();
    frt_Child& top = *children[1];
    ASSERT_TRUE(top.IsMaximized());
    top.Restore();
    app->PumpEvents();
    EXPECT_FALSE(top.IsMaximized());
    Rect r = top.WindowRect();
    EXPECT_GE(r.Width(), client.Width() / 2);
    EXPECT_GE(r.Height(), client.Height() / 2);
    EXPECT_LE(r.right, client.right);
    EXPECT_LE(r.bottom, client.bottom);

    // A size the user gave survives the next maximise and restore.
    top.Move(Rect{30, 40, 330, 280}, true);
    top.Maximize();
    app->PumpEvents();
    top.Restore();
    app->PumpEvents();
    EXPECT_EQ(top.WindowRect(), (Rect{30, 40, 330, 280}));

    // Out of the minimised state too.
    children[0]->Activate();
    children[0]->Minimize();
    app->PumpEvents();
    children[0]->Restore();
    app->PumpEvents();
    r = children[0]->WindowRect();
    EXPECT_GE(r.Width(), client.Width() / 2);
    EXPECT_GE(r.Height(), client.Height() / 2);
}

TEST(FrameFitTest, RestoredRectangleIsUsableAndInsideTheClient) {
    const Rect client{0, 0, 800, 600};
    const platform::Size minimum{240, 160};
    struct Case {
        const char* what;
        Rect current;
        int order;
        Rect expected;
    };
    const Case cases[] = {
        {"a bare title bar takes the default place", Rect{0, 0, 120, 25}, 0, Rect{0, 0, 600, 450}},
        {"later children cascade", Rect{0, 0, 120, 25}, 2, Rect{48, 48, 648, 498}},
        {"the cascade starts over before leaving the client", Rect{}, 8, Rect{24, 24, 624, 474}},
        {"a usable rectangle stays", Rect{10, 20, 310, 220}, 3, Rect{10, 20, 310, 220}},
        {"one sticking out comes back in", Rect{700, 500, 1000, 700}, 0, Rect{500, 400, 800, 600}},
        {"one larger than the client is cut to it", Rect{-50, -50, 1000, 900}, 0, Rect{0, 0, 800, 600}},
        {"one narrower than the minimum is replaced", Rect{0, 0, 239, 400}, 0, Rect{0, 0, 600, 450}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(platform::FitRestoredChildRect(c.current, client, c.order, minimum), c.expected) << c.what;
    // A client smaller than the minimum is filled, never overrun.
    EXPECT_EQ(platform::FitRestoredChildRect(Rect{0, 0, 20, 10}, Rect{0, 0, 200, 100}, 5, minimum),
              (Rect{0, 0, 200, 100}));
}

TEST_F(FrameTest, MdiKeysCloseAndWalkTheChildren) {
    frt_DocWindow a;
    frt_DocWindow b;
    ASSERT_TRUE(a.Open(frame, "a.cir"));
    ASSERT_TRUE(b.Open(frame, "b.cir"));
    app->PumpEvents();
    ASSERT_EQ(frame.ActiveChild(), &b.child);
    auto key = [](int k, unsigned mods) {
        platform::KeyEvent e;
        e.key = k;
        e.modifiers = mods;
        return e;
    };
    EXPECT_FALSE(frame.TranslateMdiKey(key(platform::key::Function(4), platform::ModNone)));
    EXPECT_FALSE(frame.TranslateMdiKey(key(platform::key::Function(4), platform::ModAlt)));

    EXPECT_TRUE(frame.TranslateMdiKey(key(platform::key::Function(6), platform::ModCtrl)));
    app->PumpEvents();
    EXPECT_EQ(frame.ActiveChild(), &a.child);

    // Ctrl+F4 asks the active child; a refusal keeps it open.
    a.child.allowClose = false;
    EXPECT_TRUE(frame.TranslateMdiKey(key(platform::key::Function(4), platform::ModCtrl)));
    app->PumpEvents();
    EXPECT_EQ(frame.Children().size(), 2u);
    a.child.allowClose = true;
    EXPECT_TRUE(frame.TranslateMdiKey(key(platform::key::Function(4), platform::ModCtrl)));
    app->PumpEvents();
    EXPECT_EQ(frame.Children(), std::vector<MdiChild*>{&b.child});
    // With one child left there is nothing to walk to.
    EXPECT_FALSE(frame.TranslateMdiKey(key(platform::key::Tab, platform::ModCtrl)));
}

TEST_F(FrameTest, ChildForgetsAViewThatIsDeleted) {
    frt_Child child;
    ASSERT_TRUE(child.Create(frame, "c.txt"));
    {
        frt_View view;
        ASSERT_TRUE(view.Create(&child, Rect{}));
        child.SetView(&view);
        EXPECT_EQ(child.View(), &view);
    }
    EXPECT_EQ(child.View(), nullptr);  // the view object is gone
    EXPECT_EQ(child.NextCommandTarget(), nullptr);
}

TEST_F(FrameTest, CommandsGoFromTheFrameToTheActiveViewAndItsDocument) {
    frame.h.Range(1, 99);
    frt_DocWindow a;
    frt_DocWindow b;
    ASSERT_TRUE(a.Open(frame, "a.cir"));
    ASSERT_TRUE(b.Open(frame, "b.cir"));
    for (frt_DocWindow* d : {&a, &b}) {
        d->view.h.Range(100, 199);
        d->doc.h.Range(200, 299);
    }
    app->PumpEvents();
    ASSERT_EQ(frame.ActiveChild(), &b.child);

    EXPECT_TRUE(frame.RouteCommand(5));
    EXPECT_TRUE(frame.RouteCommand(150));
    EXPECT_TRUE(frame.RouteCommand(250));
    EXPECT_FALSE(frame.RouteCommand(350));
    EXPECT_EQ(frame.h.got, std::vector<int>{5});
    EXPECT_EQ(b.view.h.got, std::vector<int>{150});
    EXPECT_EQ(b.doc.h.got, std::vector<int>{250});
    EXPECT_TRUE(a.view.h.got.empty());

    // Menu choices and posted commands take the same way, to the active child.
    a.child.Activate();
    app->PumpEvents();
    EXPECT_TRUE(menu.Choose(200));
    app->PostCommand(nullptr, 120);
    app->PumpEvents();
    EXPECT_EQ(a.doc.h.got, std::vector<int>{200});
    EXPECT_EQ(a.view.h.got, std::vector<int>{120});

    // A chain that loops back ends after one turn.
    a.doc.SetNextCommandTarget(&frame);
    EXPECT_FALSE(frame.RouteCommand(999));
    a.doc.SetNextCommandTarget(nullptr);

    // Without children the chain ends at the frame.
    a.child.Destroy();
    b.child.Destroy();
    app->PumpEvents();
    EXPECT_EQ(frame.ActiveChild(), nullptr);
    EXPECT_FALSE(frame.RouteCommand(150));
}

TEST_F(FrameTest, UpdateHandlersEnableCheckAndRetitleMenuItems) {
    frt_DocWindow a;
    ASSERT_TRUE(a.Open(frame, "a.cir"));
    app->PumpEvents();
    menu.CheckItem(102, true);  // no handler: the state stays as set
    frame.UpdateMenuStates();
    EXPECT_FALSE(menu.IsItemEnabled(101));
    EXPECT_TRUE(menu.IsItemEnabled(100));
    EXPECT_TRUE(menu.IsItemChecked(200));
    EXPECT_EQ(menu.ItemText(200), "&Undo Move\tCtrl+Z");
    EXPECT_TRUE(menu.IsItemChecked(102));
    EXPECT_FALSE(menu.Choose(101));  // disabled items cannot be chosen
    EXPECT_TRUE(a.doc.h.got.empty());

    // A pop-up rebuilt each time it opens: one item per child window.
    windows->SetAboutToShow([this](platform::Menu& m) {
        m.Clear();
        int n = 0;
        for (MdiChild* c : frame.Children()) {
            ++n;
            m.AddItem(18000 + n, "&" + std::to_string(n) + " " + c->Title());
        }
    });
    frt_DocWindow b;
    ASSERT_TRUE(b.Open(frame, "b.cir"));
    app->PumpEvents();
    windows->PrepareToShow();
    ASSERT_EQ(windows->ItemCount(), 2);
    EXPECT_EQ(windows->ItemAt(0).text, "&1 b.cir");
    EXPECT_EQ(windows->ItemAt(1).id, 18002);
}

TEST_F(FrameTest, MainWindowRendersIntoAPng) {
    frt_DocWindow a;
    ASSERT_TRUE(a.Open(frame, "a.cir"));
    frame.SetPaneText(59143, "12:00");
    app->PumpEvents();
    twtest::TempDir dir("tw_frame");
    ASSERT_TRUE(dir.Valid());
    const std::string png = dir.File("main.png");
    ASSERT_TRUE(frame.SaveImage(png));
    platform::Image shot;
    ASSERT_TRUE(shot.Load(png));
    EXPECT_EQ(shot.Width(), frame.ClientRect().Width());
    EXPECT_EQ(shot.Height(), frame.ClientRect().Height());
    // Menu bar, MDI area and status bar are not one flat colour.
    EXPECT_NE(shot.PixelAt(2, 2), shot.PixelAt(shot.Width() / 2, shot.Height() / 2));
}

TEST(MenuTest, ItemsAreFoundByIdAtAnyDepthAndByPosition) {
    platform::Menu m;
    platform::Menu& file = m.AddPopup("&File");
    file.AddItem(1, "&New");
    platform::Menu& recent = file.AddPopup("&Recent");
    recent.AddItem(18600, "&1 /home/u/a.cir");
    file.InsertItem(0, 2, "&Close");
    file.InsertSeparator(1);
    file.InsertItem(99, 3, "E&xit");  // past the end: appended

    EXPECT_EQ(m.FindPopup("File"), &file);
    EXPECT_EQ(m.FindPopup("Edit"), nullptr);
    ASSERT_EQ(file.ItemCount(), 5);
    EXPECT_EQ(file.ItemAt(0).id, 2);
    EXPECT_TRUE(file.ItemAt(1).separator);
    EXPECT_TRUE(file.ItemAt(3).popup);
    EXPECT_EQ(file.ItemAt(4).id, 3);
    EXPECT_EQ(file.ItemAt(9).text, "");
    EXPECT_EQ(file.PopupAt(3), &recent);

    EXPECT_TRUE(m.HasItem(18600));
    EXPECT_TRUE(m.SetItemText(18600, "&1 /home/u/b.cir"));
    EXPECT_EQ(recent.ItemText(18600), "&1 /home/u/b.cir");
    EXPECT_TRUE(m.EnableItem(18600, false));
    EXPECT_FALSE(m.IsItemEnabled(18600));
    EXPECT_FALSE(m.EnableItem(4242, false));
    EXPECT_TRUE(file.EnableAt(3, false));
    EXPECT_FALSE(file.ItemAt(3).enabled);

    std::vector<int> chosen;
    m.SetCommandHandler([&chosen](int id) { chosen.push_back(id); });
    EXPECT_TRUE(m.EnableItem(18600, true));
    EXPECT_TRUE(recent.Choose(18600));  // issued through the top menu's handler
    EXPECT_TRUE(m.Choose(1));           // found below the top menu
    EXPECT_FALSE(recent.Choose(1));     // not below this pop-up
    EXPECT_EQ(chosen, (std::vector<int>{18600, 1}));

    EXPECT_TRUE(m.RemoveItem(18600));
    EXPECT_FALSE(m.HasItem(18600));
    EXPECT_TRUE(file.RemoveAt(3));  // the pop-up with its items
    EXPECT_EQ(file.ItemCount(), 4);
    m.Clear();
    EXPECT_EQ(m.ItemCount(), 0);
    EXPECT_FALSE(m.HasItem(1));
}

TEST(MenuTest, AcceleratorsMatchKeyAndExactModifiers) {
    namespace key = platform::key;
    platform::AcceleratorTable t = {{'O', platform::ModCtrl, 57601}, {key::F1, platform::ModAlt, 17806}};
    t.Add('F', platform::ModCtrl | platform::ModShift, 17308);
    EXPECT_EQ(t.Size(), 3);
    EXPECT_EQ(t.Find('O', platform::ModCtrl), 57601);
    EXPECT_EQ(t.Find('O', platform::ModCtrl | platform::ModShift), 0);
    EXPECT_EQ(t.Find('F', platform::ModCtrl | platform::ModShift), 17308);
    EXPECT_EQ(t.Find(key::F1, 0), 0);

    struct Target : platform::CommandTarget {
        std::vector<int> got;
        bool OnCommand(int id) override {
            got.push_back(id);
            return false;
        }
    } target;
    EXPECT_TRUE(platform::TranslateAccelerator(t, target, key::F1, platform::ModAlt));  // had the key, even unhandled
    EXPECT_FALSE(platform::TranslateAccelerator(t, target, key::F1, 0));
    EXPECT_EQ(target.got, std::vector<int>{17806});
}

}  // namespace
