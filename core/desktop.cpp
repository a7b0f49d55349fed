// The desktop ports and their null objects.
#include "core/desktop.h"

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

NullStatusBar dk_nullStatusBar;
NullProgress dk_nullProgress;
NullScreen dk_nullScreen;
NullProfile dk_nullProfile;
NullMainWindow dk_nullMainWindow;
NullFontMetrics dk_nullFontMetrics;

StatusBarPort* dk_statusBar = &dk_nullStatusBar;
ProgressPort* dk_progress = &dk_nullProgress;
ScreenPort* dk_screen = &dk_nullScreen;
ProfilePort* dk_profile = &dk_nullProfile;
MainWindowPort* dk_mainWindow = &dk_nullMainWindow;
FontMetricsPort* dk_fontMetrics = &dk_nullFontMetrics;

}  // namespace

StatusBarPort& StatusBar() { return *dk_statusBar; }
void InstallStatusBar(StatusBarPort* port) { dk_statusBar = port ? port : &dk_nullStatusBar; }

ProgressPort& Progress() { return *dk_progress; }
void InstallProgress(ProgressPort* port) { dk_progress = port ? port : &dk_nullProgress; }

ScreenPort& Screen() { return *dk_screen; }
void InstallScreen(ScreenPort* port) { dk_screen = port ? port : &dk_nullScreen; }

ProfilePort& ProfileFile() { return *dk_profile; }
void InstallProfileFile(ProfilePort* port) { dk_profile = port ? port : &dk_nullProfile; }

MainWindowPort& MainWindow() { return *dk_mainWindow; }
void InstallMainWindow(MainWindowPort* port) { dk_mainWindow = port ? port : &dk_nullMainWindow; }

FontMetricsPort& FontMetrics() { return *dk_fontMetrics; }
void InstallFontMetrics(FontMetricsPort* port) { dk_fontMetrics = port ? port : &dk_nullFontMetrics; }
