// The application object: idle work, posted work, key polling, modal depth,
// wait cursor, single instance, metrics.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/desktop.h"
#include "platform/app.h"
#include "platform/window.h"

namespace {

using platform::Application;

class apt_Recorder : public platform::Window {
public:
    std::vector<int> commands;
    std::vector<int> keysDown;
    bool OnCommand(int id) override {
        commands.push_back(id);
        return true;
    }

protected:
    void OnKeyDown(int key, bool, unsigned) override { keysDown.push_back(key); }
};

TEST(AppTest, StartsOffscreenAndReportsTheDesktop) {
    Application* app = Application::Instance();
    ASSERT_NE(app, nullptr);
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if ((!display || !*display) && (!wayland || !*wayland)) {
        EXPECT_TRUE(app->IsOffscreen());
    }

    const platform::SystemMetrics m = app->Metrics();
    EXPECT_GT(m.screen.cx, 0);
    EXPECT_GT(m.screen.cy, 0);
    EXPECT_FALSE(m.workArea.IsEmpty());
    EXPECT_LE(m.workArea.Width(), m.screen.cx);
    EXPECT_GT(m.vScrollWidth, 0);
    EXPECT_GT(m.hScrollHeight, 0);
    EXPECT_FALSE(m.messageFontFace.empty());
    EXPECT_GT(m.messageFontHeight, 0);
    EXPECT_NE(app->GetSystemColor(platform::SystemColor::Window),
              app->GetSystemColor(platform::SystemColor::WindowText));

    // The core reads the screen size through its port.
    int w = 0;
    int h = 0;
    Screen().GetScreenSize(&w, &h);
    EXPECT_EQ(w, m.screen.cx);
    EXPECT_EQ(h, m.screen.cy);
}

TEST(AppTest, IdleCountGrowsWhileMoreWorkIsAskedAndRestartsAfterEvents) {
    Application& app = *Application::Instance();
    std::vector<int> counts;
    app.SetIdleHandler([&counts](int count) {
        counts.push_back(count);
        return count < 3;
    });
    // Other events (the wait's own timer) may start a burst over; one burst
    // must run through 0, 1, 2, 3.
    auto burst = [&counts] {
        const std::vector<int> want{0, 1, 2, 3};
        return std::search(counts.begin(), counts.end(), want.begin(), want.end()) != counts.end();
    };
    ASSERT_TRUE(app.RunUntil(burst, 5000));
    for (size_t i = 1; i < counts.size(); ++i) {
        EXPECT_TRUE(counts[i] == 0 || counts[i] == counts[i - 1] + 1) << "at " << i;
    }
    EXPECT_LE(*std::max_element(counts.begin(), counts.end()), 3);

    // An event ends the idle burst; the next one starts again at 0.
    apt_Recorder w;
    ASSERT_TRUE(w.Create(nullptr, platform::Rect{0, 0, 50, 50}));
    counts.clear();
    app.PostCommand(&w, 5);
    ASSERT_TRUE(app.RunUntil([&] { return !w.commands.empty() && !counts.empty(); }, 5000));
    EXPECT_EQ(counts.front(), 0);

    // Modal runs hold idle work back.
    app.SetIdleHandler([&counts](int count) {
        counts.push_back(count);
        return false;
    });
    {
        platform::ModalScope modal;
        counts.clear();
        app.PostCommand(&w, 6);
        app.RunUntil([&] { return w.commands.size() >= 2; }, 5000);
        EXPECT_TRUE(counts.empty());
    }
    EXPECT_TRUE(app.RunIdle(-1) == false);
    EXPECT_EQ(counts.back(), -1);
    app.SetIdleHandler(nullptr);
}

TEST(AppTest, PostedCommandsAndClosesWaitForTheLoopAndSkipDeadWindows) {
    Application& app = *Application::Instance();
    apt_Recorder w;
    ASSERT_TRUE(w.Create(nullptr, platform::Rect{0, 0, 50, 50}));
    app.PostCommand(&w, 17);
    EXPECT_TRUE(w.commands.empty());
    app.PumpEvents();
    EXPECT_EQ(w.commands, std::vector<int>{17});

    {
        apt_Recorder gone;
        ASSERT_TRUE(gone.Create(nullptr, platform::Rect{0, 0, 50, 50}));
        app.PostCommand(&gone, 18);
        app.PostClose(&gone);
    }
    app.PumpEvents();  // must not touch the deleted window

    app.PostClose(&w);
    EXPECT_TRUE(app.RunUntil([&w] { return !w.Exists(); }, 5000));
}

class apt_Quitter : public platform::Window {
public:
    bool OnCommand(int id) override {
        Application::Instance()->Quit(id);
        return true;
    }
};

TEST(AppTest, RunEndsWithTheCodeGivenToQuit) {
    Application& app = *Application::Instance();
    apt_Quitter w;
    ASSERT_TRUE(w.Create(nullptr, platform::Rect{0, 0, 20, 20}));
    app.SetMainWindow(&w);
    app.PostCommand(nullptr, 7);  // null: the main window
    EXPECT_EQ(app.Run(), 7);
    app.SetMainWindow(nullptr);
}

TEST(AppTest, KeyPumpTakesKeyDownsOutInOrderInsteadOfDispatching) {
    Application& app = *Application::Instance();
    apt_Recorder w;
    ASSERT_TRUE(w.Create(nullptr, platform::Rect{0, 0, 50, 50}));
    w.Show();
    app.PumpEvents();
    app.PostKeyDown(&w, platform::key::Escape);
    app.PostKeyDown(&w, 'P');
    app.PostCommand(&w, 9);
    EXPECT_EQ(app.PumpEventsForKey(), platform::key::Escape);
    EXPECT_EQ(w.commands, std::vector<int>{9});  // other events are dispatched meanwhile
    EXPECT_EQ(app.PumpEventsForKey(), 'P');
    EXPECT_EQ(app.PumpEventsForKey(), 0);
    EXPECT_TRUE(w.keysDown.empty());

    app.PostKeyDown(&w, 'A');
    app.PostKeyDown(&w, platform::key::Escape);
    EXPECT_TRUE(app.PollEscape());
    EXPECT_FALSE(app.PollEscape());
    app.PostKeyDown(&w, 'A');
    EXPECT_FALSE(app.PollEscape());
    EXPECT_TRUE(w.keysDown.empty());

    // Outside a pump keys reach the window as usual.
    app.PostKeyDown(&w, 'B');
    app.PumpEvents();
    EXPECT_EQ(w.keysDown, std::vector<int>{'B'});
}

TEST(AppTest, ModalDepthAndWaitCursorNest) {
    Application& app = *Application::Instance();
    EXPECT_EQ(app.ModalDepth(), 0);
    {
        platform::ModalScope outer;
        platform::ModalScope inner;
        EXPECT_EQ(app.ModalDepth(), 2);
    }
    EXPECT_EQ(app.ModalDepth(), 0);
    app.LeaveModal();  // unbalanced: stays at 0
    EXPECT_EQ(app.ModalDepth(), 0);

    {
        platform::WaitCursor a;
        platform::WaitCursor b;
        EXPECT_EQ(app.WaitCursorCount(), 2);
    }
    EXPECT_EQ(app.WaitCursorCount(), 0);
    app.EndWaitCursor();
    EXPECT_EQ(app.WaitCursorCount(), 0);
}

TEST(AppTest, SecondInstanceFindsTheFirstAndAsksItForward) {
    Application& app = *Application::Instance();
    const std::string base = "tw8test-" + std::to_string(getpid());
    int asked = 0;
    {
        platform::SingleInstance first(base);
        first.SetActivateHandler([&asked] { ++asked; });
        EXPECT_NE(first.ServerName().find(std::to_string(getuid())), std::string::npos);
        ASSERT_TRUE(first.Claim());
        EXPECT_TRUE(first.IsListening());

        platform::SingleInstance second(base);
        EXPECT_FALSE(second.Claim());
        EXPECT_FALSE(second.IsListening());
        EXPECT_TRUE(app.RunUntil([&asked] { return asked == 1; }, 5000));

        platform::SingleInstance other(base + "-other");
        EXPECT_TRUE(other.Claim());
    }
    // Once the first has ended, the name is free again.
    platform::SingleInstance later(base);
    EXPECT_TRUE(later.Claim());
}

// A later start hands its files over; a socket left behind by an instance
// that is gone never makes a start wait or end.
TEST(AppTest, SecondInstanceHandsItsFilesToTheFirst) {
    Application& app = *Application::Instance();
    const std::string base = "tw8hand-" + std::to_string(getpid());
    std::vector<std::vector<std::string>> handed;
    int asked = 0;
    {
        platform::SingleInstance first(base);
        first.SetActivateHandler([&asked] { ++asked; });
        first.SetFilesHandler([&handed](const std::vector<std::string>& files) { handed.push_back(files); });
        ASSERT_TRUE(first.Claim());

        const std::vector<std::string> files = {"/home/ann/amp.cir", "/tmp/with blank/rc filter.ckt"};
        platform::SingleInstance second(base);
        EXPECT_FALSE(second.Claim(files));
        ASSERT_TRUE(app.RunUntil([&handed] { return handed.size() == 1; }, 5000));
        EXPECT_EQ(handed[0], files);
        EXPECT_EQ(asked, 1);

        // Without files only the activation arrives.
        platform::SingleInstance third(base);
        EXPECT_FALSE(third.Claim());
        EXPECT_TRUE(app.RunUntil([&asked] { return asked == 2; }, 5000));
        app.PumpEvents();
        EXPECT_EQ(handed.size(), 1u);
    }

    // A stale socket file (its owner died without closing it) is taken over.
    platform::SingleInstance probe(base);
    const char* tmp = std::getenv("TMPDIR");
    const std::string path = std::string(tmp && *tmp ? tmp : "/tmp") + "/" + probe.ServerName();
    {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        ASSERT_GE(fd, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
        ::unlink(path.c_str());
        ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        ::close(fd);  // bound, never listening: what a killed instance leaves
    }
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(probe.Claim({"/tmp/x.cir"}));
    EXPECT_TRUE(probe.IsListening());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(900));
}

TEST(AppTest, DesktopOpenerCanBeReplaced) {
    Application& app = *Application::Instance();
    std::vector<std::string> opened;
    app.SetDesktopOpener([&opened](const std::string& p) {
        opened.push_back(p);
        return true;
    });
    EXPECT_TRUE(app.OpenWithDesktop("/tmp/report.pdf"));
    EXPECT_FALSE(app.OpenWithDesktop(""));
    EXPECT_EQ(opened, std::vector<std::string>{"/tmp/report.pdf"});
    app.SetDesktopOpener(nullptr);
}

}  // namespace
