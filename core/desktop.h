// What the core needs of the desktop: the main window's status bar and progress
// control, the screen, the profile file, closing the main window and the system
// font's metrics.
//
// The shell and the platform layer are built on top of the core, so each of
// these reaches the core through a port that its owner installs at start-up.
// Until one is installed the port answers through a null object that gives the
// neutral answer (no status bar text, no screen size, no profile entry). Each
// Install function takes null for the null object and returns what was
// installed before (null for the null object), so a scoped install can put it back.
#pragma once

#include <string>

// The main frame's status bar (shell).
class StatusBarPort {
public:
    virtual ~StatusBarPort() = default;
    // The message pane's text.
    virtual void SetStatusText(const char* text) = 0;
    // Whether the status bar is shown; the null object says it is, so that the
    // progress bookkeeping runs without a window.
    virtual bool IsShown() = 0;
    // A text in one of the panes.
    virtual void SetPaneText(int paneId, const char* text) = 0;
    // The message pane's text, so that a long phase can put back what it
    // found; "" without a status bar.
    virtual std::string StatusText() { return {}; }
};
StatusBarPort& StatusBar();
StatusBarPort* InstallStatusBar(StatusBarPort* port);

// The progress control of long runs over the status bar's message pane (shell).
class ProgressPort {
public:
    virtual ~ProgressPort() = default;
    // Whether there is a control to drive; without one only the bookkeeping runs.
    virtual bool HasControl() = 0;
    // Creates the control over the frame's message pane; false when it cannot.
    virtual bool CreateControl(void* frame) = 0;
    virtual void SetRange(int minimum, int maximum) = 0;
    virtual void SetPosition(int position) = 0;
};
ProgressPort& Progress();
ProgressPort* InstallProgress(ProgressPort* port);

// The screen (platform).
class ScreenPort {
public:
    virtual ~ScreenPort() = default;
    // Screen size in pixels; the null object leaves both untouched.
    virtual void GetScreenSize(int* width, int* height) = 0;
};
ScreenPort& Screen();
ScreenPort* InstallScreen(ScreenPort* port);

// The profile file beside tarn.dat (platform).
class ProfilePort {
public:
    virtual ~ProfilePort() = default;
    // Reads a text; false when the entry is absent (always, without a profile).
    virtual bool ReadProfileString(const char* section, const char* key, char* out, int size) = 0;
};
ProfilePort& ProfileFile();
ProfilePort* InstallProfileFile(ProfilePort* port);

// The main window (shell).
class MainWindowPort {
public:
    virtual ~MainWindowPort() = default;
    // Closes it after a fatal start-up error; nothing without a window.
    virtual void CloseMainWindow() = 0;
};
MainWindowPort& MainWindow();
MainWindowPort* InstallMainWindow(MainWindowPort* port);

// The system font (shell). The null object reckons for a 96 dpi screen and
// knows no system font.
class FontMetricsPort {
public:
    virtual ~FontMetricsPort() = default;
    // Logical height of the system font; 0 when there is none to ask.
    virtual int SystemFontHeight() = 0;
    // The (negative) logical height of a font of that many points.
    virtual int PointsToLogicalHeight(int points) = 0;
};
FontMetricsPort& FontMetrics();
FontMetricsPort* InstallFontMetrics(FontMetricsPort* port);
