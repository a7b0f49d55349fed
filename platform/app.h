// The application: the one object that owns the toolkit, the event loop, idle
// work, posted commands, key polling during long operations, the modal depth,
// the wait cursor, single-instance detection and the desktop's metrics.
//
// Construct exactly one Application before any window, never during static
// initialisation. Without a display (neither DISPLAY nor WAYLAND_DISPLAY set)
// it runs on the toolkit's off-screen platform, so tests and batch runs need
// no screen.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/keys.h"
#include "platform/types.h"

namespace platform {

class Window;

// Colours of the desktop theme the program asks for by name.
enum class SystemColor {
    Window,  // background of windows and edits
    WindowText,
    ButtonFace,  // dialogs, tool bars, status bar
    ButtonText,
    ButtonShadow,
    ButtonHighlight,
    Highlight,  // selected items
    HighlightText,
    GrayText,      // disabled text
    AppWorkspace,  // background of the MDI area
    ToolTip,
    ToolTipText,
};

struct SystemMetrics {
    Size screen;                  // primary screen, pixels
    Rect workArea;                // the screen less task bars and docks
    int vScrollWidth = 0;         // width of a vertical scroll bar
    int hScrollHeight = 0;        // height of a horizontal scroll bar
    std::string messageFontFace;  // the desktop's font for messages and dialogs
    int messageFontHeight = 0;    // its character height in pixels
    int logicalDpiY = 96;         // pixels per inch vertically
    int doubleClickMs = 400;
};

enum class MouseEventKind { Down, Up, DoubleClick, Move, Wheel };

// A key press seen before any window handles it (see SetKeyHook).
struct KeyEvent {
    Window* target = nullptr;  // the window with the keyboard focus, or null
    int key = 0;               // key:: code
    unsigned modifiers = 0;    // KeyModifier bits
    bool repeat = false;
};

// Single-instance detection through a local socket named after the main window
// class, the user and the display (two users, or two displays of one user, do
// not see each other). The first instance listens; a later one connects, hands
// over the files it was asked to open, asks it to come to the front and learns
// that it must end.
class SingleInstance {
public:
    explicit SingleInstance(const std::string& baseName = "tw8demo");
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when no other instance runs (this one now listens; a socket left
    // behind by an instance that ended is taken over); false when one runs:
    // it has been given `files` (full paths) and asked to come to the front.
    bool Claim(const std::vector<std::string>& files = {});
    bool IsListening() const;
    // Called in the first instance when a later start asks it to come forward.
    // Without a handler the main window is restored, raised and activated.
    void SetActivateHandler(std::function<void()> handler);
    // Called in the first instance with the files a later start handed over
    // (after the activation; not called when it named none).
    void SetFilesHandler(std::function<void(const std::vector<std::string>&)> handler);
    // The socket name, "<baseName>-<user id>-<display>".
    const std::string& ServerName() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

class Application {
public:
    // argv must outlive the application (main's arguments do).
    Application(int argc, char** argv);
    Application();
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    static Application* Instance();
    // True when running on the off-screen platform.
    bool IsOffscreen() const;

    // Event loop: Run returns the code given to Quit.
    int Run();
    void Quit(int exitCode = 0);
    // Runs the event loop until `done` answers true or `timeoutMs` passes;
    // true when `done` was reached. For waits that must keep windows alive.
    bool RunUntil(const std::function<bool()>& done, int timeoutMs);

    // The main window: the target of posted commands without a window and of
    // the single-instance activation.
    void SetMainWindow(Window* window);
    Window* MainWindow() const;

    // Idle work: called when the event queue has emptied, with a count that
    // starts at 0 after each burst of events and grows while the handler asks
    // for more (returns true). Not called inside modal runs.
    using IdleHandler = std::function<bool(int count)>;
    void SetIdleHandler(IdleHandler handler);
    // Runs the idle handler once now with the given count; its answer.
    bool RunIdle(int count);

    // Posts a command to a window (null: the main window); it is routed from
    // there when the event loop next runs. Nothing when the window is gone by
    // then.
    void PostCommand(Window* target, int id);
    // Posts a close request, the same as the window's close button: OnClose
    // is asked when the loop runs, and the window goes when it agrees.
    void PostClose(Window* target);
    // Posts a key-down (and the matching key-up) to a window (null: main).
    void PostKeyDown(Window* target, int key, unsigned modifiers = ModNone);
    // Posts typed text to a window (null: main): each byte arrives as its
    // character (OnChar), as a keyboard would deliver it, without a key code.
    void PostText(Window* target, const std::string& text);

    // Posts a mouse event to a window (null: main) at a client point, as the
    // demo player replays recorded input. `keyFlags` are MouseKeyFlag bits:
    // the buttons held after the event and Shift/Control; `wheelDelta` is for
    // MouseEventKind::Wheel.
    void PostMouse(Window* target, MouseEventKind kind, MouseButton button, Point p, unsigned keyFlags,
                   int wheelDelta = 0);

    // For long operations that do not return to the loop: handles every
    // pending event (painting, timers, posted commands) and returns.
    void PumpEvents();
    // Pumps like PumpEvents, but key-downs are taken out instead of being
    // dispatched: returns the key code of the first one (0 when none came).
    // Further key-downs seen in the same pump are kept and returned by the
    // next calls in order.
    int PumpEventsForKey();
    // Pumps and takes out all key-downs: true when one of them was Esc since
    // the last poll. Other keys are dropped.
    bool PollEscape();

    // True while a window paints. The pumps then dispatch nothing and hand
    // out only the keys already taken: an event handled inside a paint could
    // start a second paint on the painter in use, or close the window being
    // painted. The window layer brackets every paint with Enter/LeavePaint.
    bool IsPainting() const;
    void EnterPaint();
    void LeavePaint();

    // Pre-translation of key presses: the hook sees each key-down first and
    // returns true when it consumed it (an accelerator). Without a hook, the
    // accelerator tables of the focus window and its parents are tried.
    using KeyHook = std::function<bool(const KeyEvent&)>;
    void SetKeyHook(KeyHook hook);
    // The default step: the tables of the target window and its parents, from
    // the target outwards; a match routes its command from the window that
    // holds the table. True when a table had the key.
    bool TranslateWindowAccelerators(const KeyEvent& event);

    // Depth of modal runs (dialogs, message boxes). Modal runs increase and
    // decrease it; while it is not 0 idle work is held back.
    int ModalDepth() const;
    void EnterModal();
    void LeaveModal();

    // Wait cursor: shown while the count is above 0.
    void BeginWaitCursor();
    void EndWaitCursor();
    int WaitCursorCount() const;

    // Asks whether another instance runs under the main window class name
    // "tw8demo" (true: none, this one now listens; false: it was told to
    // come to the front and this one must end).
    bool CheckRunningInstance();

    SystemMetrics Metrics() const;
    Color GetSystemColor(SystemColor which) const;

    // Opens a file (or URL) with the desktop's viewer for its type.
    bool OpenWithDesktop(const std::string& pathOrUrl);
    // Replaces the desktop opener (tests, batch runs); null restores it.
    void SetDesktopOpener(std::function<bool(const std::string&)> opener);

    void Beep();

    struct Impl;
    Impl* impl() const { return impl_.get(); }

private:
    std::unique_ptr<Impl> impl_;
};

// The scope of a modal run.
class ModalScope {
public:
    ModalScope() {
        if (Application* app = Application::Instance()) app->EnterModal();
    }
    ~ModalScope() {
        if (Application* app = Application::Instance()) app->LeaveModal();
    }
    ModalScope(const ModalScope&) = delete;
    ModalScope& operator=(const ModalScope&) = delete;
};

// The scope of a wait cursor.
class WaitCursor {
public:
    WaitCursor() {
        if (Application* app = Application::Instance()) app->BeginWaitCursor();
    }
    ~WaitCursor() {
        if (Application* app = Application::Instance()) app->EndWaitCursor();
    }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// Brackets a paint handler for Application::IsPainting.
class PaintScope {
public:
    PaintScope() : app_(Application::Instance()) {
        if (app_) app_->EnterPaint();
    }
    ~PaintScope() {
        if (app_) app_->LeavePaint();
    }
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;

private:
    Application* app_;
};

}  // namespace platform
