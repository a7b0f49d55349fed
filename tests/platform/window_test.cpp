// Windows: input handlers, accelerators, timers, painting and the overlay,
// close and destroy, placement, capture.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/app.h"
#include "platform/draw.h"
#include "platform/image.h"
#include "platform/menu.h"
#include "platform/window.h"
#include "tests/support/tempdir.h"

namespace {

using platform::Application;
using platform::MouseButton;
using platform::MouseEventKind;
using platform::Point;
using platform::Rect;
namespace key = platform::key;

struct wnt_Key {
    int key;
    unsigned modifiers;
};

struct wnt_Mouse {
    std::string what;
    MouseButton button;
    Point p;
    unsigned flags;
    int delta;
    bool operator==(const wnt_Mouse&) const = default;
};

class wnt_Probe : public platform::Window {
public:
    std::vector<wnt_Key> downs;
    std::vector<int> ups;
    std::vector<int> chars;
    std::vector<int> commands;
    std::vector<int> timers;
    std::vector<wnt_Mouse> mouse;
    std::vector<std::string>* destroyLog = nullptr;
    std::string name;
    bool allowClose = true;
    bool killTimerOnFire = false;
    int captureLost = 0;
    int closeAsked = 0;
    platform::Color fill = platform::MakeColor(255, 0, 0);
    int paints = 0;
    bool* deleted = nullptr;

    ~wnt_Probe() override {
        Destroy();
        if (deleted) *deleted = true;
    }
    bool OnCommand(int id) override {
        commands.push_back(id);
        return true;
    }

protected:
    void OnKeyDown(int k, bool, unsigned m) override { downs.push_back({k, m}); }
    void OnKeyUp(int k, unsigned) override { ups.push_back(k); }
    void OnChar(int ch) override { chars.push_back(ch); }
    void OnTimer(int id) override {
        timers.push_back(id);
        if (killTimerOnFire) KillTimer(id);
    }
    void OnMouseDown(MouseButton b, Point p, unsigned f) override { mouse.push_back({"down", b, p, f, 0}); }
    void OnMouseUp(MouseButton b, Point p, unsigned f) override { mouse.push_back({"up", b, p, f, 0}); }
    void OnDoubleClick(MouseButton b, Point p, unsigned f) override { mouse.push_back({"double", b, p, f, 0}); }
    void OnMouseMove(Point p, unsigned f) override { mouse.push_back({"move", MouseButton::Left, p, f, 0}); }
    void OnWheel(int d, Point p, unsigned f) override { mouse.push_back({"wheel", MouseButton::Left, p, f, d}); }
    bool OnClose() override {
        ++closeAsked;
        return allowClose;
    }
    void OnDestroy() override {
        if (destroyLog) destroyLog->push_back(name);
    }
    void OnCaptureLost() override { ++captureLost; }
    void OnPaint(platform::DrawSurface& s, const Rect&) override {
        ++paints;
        s.FillRect(ClientRect(), fill);
    }
};

TEST(WindowTest, KeysAndCharactersReachTheWindowWithOurCodes) {
    Application& app = *Application::Instance();
    wnt_Probe w;
    ASSERT_TRUE(w.Create(nullptr, Rect{0, 0, 80, 60}));
    w.Show();
    const std::vector<wnt_Key> cases = {
        {'A', platform::ModShift},
        {'7', platform::ModNone},
        {key::Escape, 0},
        {key::Enter, 0},
        {key::F10, 0},
        {key::Function(1), platform::ModAlt},
        {key::Pause, 0},
        {key::Delete, platform::ModShift},
        {key::Add, platform::ModCtrl},
        {key::Subtract, platform::ModCtrl},
        {key::Minus, platform::ModCtrl},
        {key::Function(7), 0},
        {key::Function(8), 0},
        {key::F12, platform::ModCtrl},
        {key::Numpad0 + 5, 0},
        {key::PageDown, 0},
        {key::Left, 0},
        {key::Space, 0},
        {key::Tab, 0},
        {key::Back, 0},
        {key::Minus, 0},
        {key::Insert, platform::ModCtrl},
    };
    for (const wnt_Key& c : cases) app.PostKeyDown(&w, c.key, c.modifiers);
    app.PumpEvents();
    ASSERT_EQ(w.downs.size(), cases.size());
    for (size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(w.downs[i].key, cases[i].key) << "case " << i;
        EXPECT_EQ(w.downs[i].modifiers, cases[i].modifiers) << "case " << i;
    }
    EXPECT_EQ(w.ups.size(), cases.size());
    // Typed characters: shifted A, the digit, Esc, Enter, Space, Tab, Back.
    EXPECT_EQ(w.chars, (std::vector<int>{'A', '7', 27, 13, 32, 9, 8}));
}

TEST(WindowTest, AcceleratorsOfTheWindowAndItsParentsComeFirst) {
    Application& app = *Application::Instance();
    wnt_Probe parent;
    wnt_Probe child;
    ASSERT_TRUE(parent.Create(nullptr, Rect{0, 0, 200, 100}));
    ASSERT_TRUE(child.Create(&parent, Rect{0, 0, 100, 50}));
    EXPECT_EQ(child.Parent(), &parent);
    const platform::AcceleratorTable parentKeys = {{key::F1 + 1, 0, 100}};
    const platform::AcceleratorTable childKeys = {{'S', platform::ModCtrl, 200},
                                                  {'S', platform::ModCtrl | platform::ModShift, 201}};
    parent.SetAccelerators(&parentKeys);
    child.SetAccelerators(&childKeys);
    parent.Show();

    app.PostKeyDown(&child, 'S', platform::ModCtrl);
    app.PostKeyDown(&child, 'S', platform::ModCtrl | platform::ModShift);
    app.PostKeyDown(&child, key::F1 + 1);
    app.PostKeyDown(&child, key::F1 + 2);
    app.PumpEvents();
    EXPECT_EQ(child.commands, (std::vector<int>{200, 201}));
    EXPECT_EQ(parent.commands, std::vector<int>{100});
    ASSERT_EQ(child.downs.size(), 1u);  // only the key no table had
    EXPECT_EQ(child.downs[0].key, key::F1 + 2);

    // A key hook replaces the default step and sees the target.
    std::vector<platform::KeyEvent> seen;
    app.SetKeyHook([&seen](const platform::KeyEvent& e) {
        seen.push_back(e);
        return e.key == 'Q';
    });
    app.PostKeyDown(&child, 'Q', platform::ModCtrl);
    app.PostKeyDown(&child, 'S', platform::ModCtrl);
    app.PumpEvents();
    app.SetKeyHook(nullptr);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].target, &child);
    EXPECT_EQ(seen[0].modifiers, platform::ModCtrl);
    EXPECT_EQ(child.commands.size(), 2u);  // the hook did not translate Ctrl+S
    EXPECT_EQ(child.downs.back().key, 'S');

    // Tables are switched at run time, e.g. while an analysis runs.
    const platform::AcceleratorTable runKeys = {{'S', platform::ModCtrl, 300}};
    child.SetAccelerators(&runKeys);
    app.PostKeyDown(&child, 'S', platform::ModCtrl);
    app.PumpEvents();
    EXPECT_EQ(child.commands.back(), 300);
}

TEST(WindowTest, MouseEventsCarryButtonsPointsAndFlags) {
    Application& app = *Application::Instance();
    wnt_Probe w;
    ASSERT_TRUE(w.Create(nullptr, Rect{0, 0, 120, 90}));
    w.Show();
    app.PumpEvents();
    w.mouse.clear();
    using platform::MouseControl;
    using platform::MouseLeft;
    using platform::MouseRight;
    using platform::MouseShift;
    app.PostMouse(&w, MouseEventKind::Down, MouseButton::Left, Point{10, 20}, MouseLeft | MouseShift);
    app.PostMouse(&w, MouseEventKind::Move, MouseButton::Left, Point{15, 25}, MouseLeft);
    app.PostMouse(&w, MouseEventKind::Up, MouseButton::Left, Point{16, 26}, 0);
    app.PostMouse(&w, MouseEventKind::DoubleClick, MouseButton::Right, Point{5, 6}, MouseRight | MouseControl);
    app.PostMouse(&w, MouseEventKind::Wheel, MouseButton::Left, Point{7, 8}, 0, -2 * platform::kWheelDelta);
    app.PumpEvents();
    const std::vector<wnt_Mouse> want = {
        {"down", MouseButton::Left, {10, 20}, MouseLeft | MouseShift, 0},
        {"move", MouseButton::Left, {15, 25}, MouseLeft, 0},
        {"up", MouseButton::Left, {16, 26}, 0, 0},
        {"double", MouseButton::Right, {5, 6}, MouseRight | MouseControl, 0},
        {"wheel", MouseButton::Left, {7, 8}, 0, -240},
    };
    EXPECT_EQ(w.mouse, want);
}

TEST(WindowTest, TimersFireByIdUntilKilled) {
    Application& app = *Application::Instance();
    wnt_Probe w;
    w.SetTimer(1, 5);  // no window yet: nothing
    EXPECT_FALSE(w.HasTimer(1));
    ASSERT_TRUE(w.Create(nullptr, Rect{0, 0, 40, 40}));
    w.SetTimer(7, 5);
    w.SetTimer(8, 5);
    EXPECT_TRUE(w.HasTimer(7));
    ASSERT_TRUE(app.RunUntil(
        [&w] {
            int sevens = 0;
            int eights = 0;
            for (int id : w.timers) (id == 7 ? sevens : eights)++;
            return sevens >= 2 && eights >= 2;
        },
        5000));
    for (int id : w.timers) EXPECT_TRUE(id == 7 || id == 8);
    w.KillTimer(7);
    w.KillTimer(8);
    EXPECT_FALSE(w.HasTimer(7));

    // A handler may kill its own timer: it fires once.
    w.timers.clear();
    w.killTimerOnFire = true;
    w.SetTimer(9, 1);
    ASSERT_TRUE(app.RunUntil([&w] { return !w.timers.empty(); }, 5000));
    app.RunUntil([] { return false; }, 30);
    EXPECT_EQ(w.timers, std::vector<int>{9});
    EXPECT_FALSE(w.HasTimer(9));
}

TEST(WindowTest, PaintFillsTheWindowAndOverlayMarksToggleOff) {
    twtest::TempDir dir("tw_window");
    ASSERT_TRUE(dir.Valid());
    const std::string png = dir.File("w.png");

    wnt_Probe w;
    ASSERT_TRUE(w.Create(nullptr, Rect{0, 0, 60, 40}));
    w.Show();
    platform::Image before;
    ASSERT_TRUE(w.SaveImage(png));
    ASSERT_TRUE(before.Load(png));
    EXPECT_GT(w.paints, 0);
    ASSERT_EQ(before.Width(), 60);
    EXPECT_EQ(before.PixelAt(30, 20), platform::MakeColor(255, 0, 0));

    // A rubber band shows over the content and is gone after a second toggle.
    EXPECT_TRUE(w.Overlay().ToggleRect(Rect{10, 10, 40, 30}));
    platform::Image banded;
    ASSERT_TRUE(w.SaveImage(png));
    ASSERT_TRUE(banded.Load(png));
    EXPECT_GT(banded.CountDifferences(before), 0);
    EXPECT_EQ(banded.PixelAt(30, 20), before.PixelAt(30, 20));  // inside the band: untouched
    EXPECT_FALSE(w.Overlay().ToggleRect(Rect{10, 10, 40, 30}));
    platform::Image after;
    ASSERT_TRUE(w.SaveImage(png));
    ASSERT_TRUE(after.Load(png));
    EXPECT_TRUE(after.SameContent(before));
}

// A paint that pumps the queue, polls for Esc and asks for an update, as long
// drawing and run refreshes do.
class wnt_BusyPainter : public platform::Window {
public:
    platform::Window* other = nullptr;
    int paints = 0, depth = 0, deepest = 0;
    int commandsInPaint = 0, commands = 0;
    bool busy = true;
    bool sawPainting = false;

    bool OnCommand(int) override {
        ++commands;
        if (depth > 0) ++commandsInPaint;
        return true;
    }

protected:
    void OnPaint(platform::DrawSurface& s, const Rect&) override {
        ++paints;
        deepest = std::max(deepest, ++depth);
        s.FillRect(ClientRect(), platform::MakeColor(0, 0, 255));
        Application& app = *Application::Instance();
        sawPainting = app.IsPainting();
        if (busy) {
            Invalidate();
            Update();
            if (other) {
                other->Invalidate();
                other->Update();
            }
            app.PumpEvents();
            app.PumpEventsForKey();
            app.PollEscape();
        }
        --depth;
    }
};

TEST(WindowTest, PaintsNeverNestAndEventsWaitForThePaintToEnd) {
    Application& app = *Application::Instance();
    wnt_BusyPainter w;
    wnt_Probe other;
    ASSERT_TRUE(w.Create(nullptr, Rect{0, 0, 60, 40}));
    ASSERT_TRUE(other.Create(nullptr, Rect{80, 0, 140, 40}));
    w.other = &other;
    w.Show();
    other.Show();
    app.PumpEvents();
    w.busy = true;
    app.PostCommand(&w, 7);
    app.PostKeyDown(&w, platform::key::Escape);
    w.Invalidate();
    w.Update();
    EXPECT_GT(w.paints, 0);
    EXPECT_TRUE(w.sawPainting);
    EXPECT_EQ(w.deepest, 1);
    EXPECT_FALSE(app.IsPainting());
    w.busy = false;
    app.PumpEvents();
    EXPECT_EQ(w.commands, 1);
    EXPECT_EQ(w.commandsInPaint, 0);
    EXPECT_EQ(w.deepest, 1);
    // The update asked for inside the paint still comes, from the loop.
    const int before = other.paints;
    other.Invalidate();
    app.PumpEvents();
    EXPECT_GT(other.paints, before);
}

TEST(WindowTest, CloseAsksFirstAndDestroyReachesParentThenChildren) {
    Application& app = *Application::Instance();
    std::vector<std::string> log;
    wnt_Probe parent;
    wnt_Probe child;
    parent.name = "parent";
    child.name = "child";
    parent.destroyLog = &log;
    child.destroyLog = &log;
    ASSERT_TRUE(parent.Create(nullptr, Rect{0, 0, 100, 100}, "Top"));
    ASSERT_TRUE(child.Create(&parent, Rect{0, 0, 10, 10}));
    EXPECT_FALSE(parent.Create(nullptr, Rect{}));  // once only
    EXPECT_EQ(parent.Title(), "Top");

    parent.allowClose = false;
    EXPECT_FALSE(parent.Close());
    app.PostClose(&parent);  // the close button's way
    ASSERT_TRUE(app.RunUntil([&parent] { return parent.closeAsked == 2; }, 5000));
    EXPECT_TRUE(parent.Exists());
    EXPECT_TRUE(log.empty());

    parent.allowClose = true;
    EXPECT_TRUE(parent.Close());
    EXPECT_FALSE(parent.Exists());
    EXPECT_FALSE(child.Exists());
    EXPECT_EQ(log, (std::vector<std::string>{"parent", "child"}));
    EXPECT_EQ(child.Parent(), nullptr);
    parent.Destroy();  // again: nothing
    EXPECT_EQ(log.size(), 2u);
}

TEST(WindowTest, AutoDeleteFreesTheObjectAfterItsWindowIsGone) {
    Application& app = *Application::Instance();
    bool deleted = false;
    auto* w = new wnt_Probe;
    w->deleted = &deleted;
    ASSERT_TRUE(w->Create(nullptr, Rect{0, 0, 30, 30}));
    w->SetAutoDelete(true);
    app.PostClose(w);
    ASSERT_TRUE(app.RunUntil([&deleted] { return deleted; }, 5000));
}

TEST(WindowTest, PlacementRoundTripsThroughMaximized) {
    Application& app = *Application::Instance();
    wnt_Probe w;
    ASSERT_TRUE(w.Create(nullptr, Rect{}));
    const Rect normal{40, 30, 340, 230};
    platform::Placement p;
    EXPECT_FALSE(w.SetPlacement(p));  // length 0: none stored
    p.length = platform::kPlacementLength;
    p.showCode = platform::show::Normal;
    p.normal = normal;
    ASSERT_TRUE(w.SetPlacement(p));
    app.PumpEvents();
    platform::Placement got = w.GetPlacement();
    EXPECT_EQ(got.length, platform::kPlacementLength);
    EXPECT_EQ(got.showCode, platform::show::Normal);
    EXPECT_EQ(got.normal, normal);

    p.showCode = platform::show::Maximized;
    ASSERT_TRUE(w.SetPlacement(p));
    app.PumpEvents();
    EXPECT_TRUE(w.IsMaximized());
    got = w.GetPlacement();
    EXPECT_EQ(got.showCode, platform::show::Maximized);
    EXPECT_EQ(got.normal, normal);

    w.Show(platform::show::Restore);
    app.PumpEvents();
    EXPECT_FALSE(w.IsMaximized());
    EXPECT_EQ(w.WindowRect(), normal);
}

TEST(WindowTest, CaptureMovesBetweenWindows) {
    wnt_Probe a;
    wnt_Probe b;
    ASSERT_TRUE(a.Create(nullptr, Rect{0, 0, 30, 30}));
    ASSERT_TRUE(b.Create(nullptr, Rect{0, 0, 30, 30}));
    a.SetCapture();
    EXPECT_TRUE(a.HasCapture());
    b.SetCapture();
    EXPECT_EQ(a.captureLost, 1);
    EXPECT_EQ(platform::Window::CaptureWindow(), &b);
    b.ReleaseCapture();
    EXPECT_EQ(platform::Window::CaptureWindow(), nullptr);
    a.SetCapture();
    a.Destroy();  // a window that goes takes its capture with it
    EXPECT_EQ(platform::Window::CaptureWindow(), nullptr);
}

// Follows its scroll bars as a view would, and keeps every client size it
// is told.
class wnt_Scroller : public platform::Window {
public:
    std::vector<std::pair<platform::ScrollCode, int>> actions;
    std::vector<platform::Size> sizes;
    bool follow = true;

protected:
    void OnScroll(platform::ScrollBar bar, platform::ScrollCode code, int thumb) override {
        using platform::ScrollCode;
        actions.emplace_back(code, thumb);
        if (!follow) return;
        platform::ScrollState s = GetScrollState(bar);
        switch (code) {
        case ScrollCode::LineUp: --s.pos; break;
        case ScrollCode::LineDown: ++s.pos; break;
        case ScrollCode::PageUp: s.pos -= s.page; break;
        case ScrollCode::PageDown: s.pos += s.page; break;
        case ScrollCode::Thumb: s.pos = thumb; break;
        case ScrollCode::Top: s.pos = s.min; break;
        case ScrollCode::Bottom: s.pos = s.max; break;
        }
        SetScrollState(bar, s);
    }
    void OnSize(int cx, int cy) override { sizes.push_back({cx, cy}); }
};

TEST(WindowTest, ScrollBarsShowWhenNeededAndTakeTheirRoomFromTheClient) {
    using platform::ScrollBar;
    using platform::ScrollCode;
    using platform::ScrollState;
    Application& app = *Application::Instance();
    wnt_Scroller w;
    ASSERT_TRUE(w.Create(nullptr, Rect{0, 0, 200, 100}));
    w.Show();
    app.PumpEvents();
    EXPECT_EQ(w.ClientRect(), (Rect{0, 0, 200, 100}));
    w.sizes.clear();

    // A range that fits one page needs no bar.
    w.SetScrollState(ScrollBar::Vertical, ScrollState{0, 9, 10, 0});
    EXPECT_FALSE(w.IsScrollBarShown(ScrollBar::Vertical));
    EXPECT_TRUE(w.sizes.empty());
    w.SetScrollState(ScrollBar::Vertical, ScrollState{0, 99, 10, 0});
    ASSERT_TRUE(w.IsScrollBarShown(ScrollBar::Vertical));
    const int barWidth = 200 - w.ClientRect().right;
    EXPECT_GT(barWidth, 4);
    EXPECT_LT(barWidth, 50);
    ASSERT_EQ(w.sizes.size(), 1u);
    EXPECT_EQ(w.sizes[0], (platform::Size{200 - barWidth, 100}));
    w.SetScrollState(ScrollBar::Horizontal, ScrollState{0, 500, 50, 0});
    EXPECT_EQ(w.ClientRect(), (Rect{0, 0, 200 - barWidth, 100 - barWidth}));
    EXPECT_EQ(w.sizes.back(), (platform::Size{200 - barWidth, 100 - barWidth}));
    // The thumb stops where the last page starts.
    w.SetScrollState(ScrollBar::Vertical, ScrollState{0, 99, 10, 500});
    EXPECT_EQ(w.GetScrollState(ScrollBar::Vertical).pos, 90);
    w.SetScrollState(ScrollBar::Vertical, ScrollState{0, 99, 10, 0});

    const struct {
        ScrollCode code;
        int thumb;
        int pos;
    } steps[] = {
        {ScrollCode::LineDown, 0, 1}, {ScrollCode::PageDown, 0, 11}, {ScrollCode::Thumb, 40, 40},
        {ScrollCode::PageUp, 0, 30},  {ScrollCode::LineUp, 0, 29},   {ScrollCode::Bottom, 0, 90},
        {ScrollCode::Top, 0, 0},      {ScrollCode::LineUp, 0, 0},
    };
    for (const auto& s : steps) {
        w.UserScroll(ScrollBar::Vertical, s.code, s.thumb);
        ASSERT_FALSE(w.actions.empty());
        EXPECT_EQ(w.actions.back().first, s.code);
        if (s.code == ScrollCode::Thumb) {
            EXPECT_EQ(w.actions.back().second, s.thumb);
        }
        EXPECT_EQ(w.GetScrollState(ScrollBar::Vertical).pos, s.pos) << static_cast<int>(s.code);
    }
    // A window that does not follow keeps its position; its bar tells it
    // again where the user dragged to.
    w.follow = false;
    w.actions.clear();
    w.UserScroll(ScrollBar::Vertical, ScrollCode::Thumb, 20);
    w.UserScroll(ScrollBar::Vertical, ScrollCode::Thumb, 20);
    EXPECT_EQ(w.actions.size(), 2u);
    EXPECT_EQ(w.GetScrollState(ScrollBar::Vertical).pos, 0);

    // Resizing reports the client without the bars; a bar going gives its room back.
    w.Move(Rect{0, 0, 300, 150});
    app.PumpEvents();
    const platform::Size both = w.sizes.back();
    EXPECT_EQ(both, (platform::Size{w.ClientRect().right, w.ClientRect().bottom}));
    EXPECT_GT(both.cx, 200);
    w.SetScrollState(ScrollBar::Vertical, ScrollState{0, 5, 10, 0});
    EXPECT_FALSE(w.IsScrollBarShown(ScrollBar::Vertical));
    EXPECT_EQ(w.sizes.back(), (platform::Size{both.cx + barWidth, both.cy}));
    w.actions.clear();
    w.UserScroll(ScrollBar::Vertical, ScrollCode::LineDown);  // a hidden bar does nothing
    EXPECT_TRUE(w.actions.empty());
    w.Destroy();
}

}  // namespace
