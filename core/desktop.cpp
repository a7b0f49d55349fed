// The desktop ports and their null objects.
#include "core/desktop.h"

#include "core/port.h"

namespace {

class NullStatusBar final : public StatusBarPort {
public:
    void SetStatusText(const char*) override {}
    bool IsShown() override { return true; }
    void SetPaneText(int, const char*) override {}
};

class NullProgress final : public ProgressPort {
public:
    bool HasControl() override { return false; }
    bool CreateControl(void*) override { return false; }
    void SetRange(int, int) override {}
    void SetPosition(int) override {}
};

class NullScreen final : public ScreenPort {
public:
    void GetScreenSize(int*, int*) override {}
};

class NullProfile final : public ProfilePort {
public:
    bool ReadProfileString(const char*, const char*, char*, int) override { return false; }
};

class NullMainWindow final : public MainWindowPort {
public:
    void CloseMainWindow() override {}
};

// Without a display to ask, heights are reckoned for a 96 dpi screen.
constexpr int kDkFallbackDpi = 96;

class NullFontMetrics final : public FontMetricsPort {
public:
    int SystemFontHeight() override { return 0; }
    int PointsToLogicalHeight(int points) override {
        long scaled = static_cast<long>(points) * kDkFallbackDpi;
        return -static_cast<int>((scaled >= 0 ? scaled + 36 : scaled - 36) / 72);
    }
};

PortSlot<StatusBarPort, NullStatusBar> dk_statusBar;
PortSlot<ProgressPort, NullProgress> dk_progress;
PortSlot<ScreenPort, NullScreen> dk_screen;
PortSlot<ProfilePort, NullProfile> dk_profile;
PortSlot<MainWindowPort, NullMainWindow> dk_mainWindow;
PortSlot<FontMetricsPort, NullFontMetrics> dk_fontMetrics;

}  // namespace

StatusBarPort& StatusBar() { return dk_statusBar.Get(); }
StatusBarPort* InstallStatusBar(StatusBarPort* port) { return dk_statusBar.Install(port); }

ProgressPort& Progress() { return dk_progress.Get(); }
ProgressPort* InstallProgress(ProgressPort* port) { return dk_progress.Install(port); }

ScreenPort& Screen() { return dk_screen.Get(); }
ScreenPort* InstallScreen(ScreenPort* port) { return dk_screen.Install(port); }

ProfilePort& ProfileFile() { return dk_profile.Get(); }
ProfilePort* InstallProfileFile(ProfilePort* port) { return dk_profile.Install(port); }

MainWindowPort& MainWindow() { return dk_mainWindow.Get(); }
MainWindowPort* InstallMainWindow(MainWindowPort* port) { return dk_mainWindow.Install(port); }

FontMetricsPort& FontMetrics() { return dk_fontMetrics.Get(); }
FontMetricsPort* InstallFontMetrics(FontMetricsPort* port) { return dk_fontMetrics.Install(port); }
