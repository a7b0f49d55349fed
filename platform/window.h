// Window: the base of every window of the program (views, frames, dialogs).
//
// A Window is a C++ object with a toolkit window behind it. The object is made
// first; Create gives it its window; Destroy (or a close that OnClose allows)
// takes the window away again and calls OnDestroy while it still exists. The
// object may outlive its window; with SetAutoDelete(true) the layer deletes the
// object itself shortly after the window is gone (for windows that nobody else
// owns, like the child frames of documents).
//
// Every event arrives through a virtual handler. Positions are client
// coordinates in pixels; rectangles have exclusive right/bottom edges.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/command.h"
#include "platform/draw.h"
#include "platform/keys.h"
#include "platform/types.h"

namespace platform {

class AcceleratorTable;  // platform/menu.h

// Show codes, numbered as the program stores them in placements.
namespace show {
constexpr int Hide = 0;
constexpr int Normal = 1;
constexpr int Minimized = 2;
constexpr int Maximized = 3;
constexpr int NoActivate = 4;
constexpr int Show = 5;
constexpr int Minimize = 6;
constexpr int MinimizedNoActivate = 7;
constexpr int ShowNoActivate = 8;
constexpr int Restore = 9;
}  // namespace show

// A window's placement as the program saves and restores it. `length` is the
// program's marker that a placement is stored at all (0: none); GetPlacement
// sets it to kPlacementLength.
struct Placement {
    int length = 0;
    unsigned flags = 0;
    int showCode = 0;
    Point minPosition;
    Point maxPosition;
    Rect normal;  // the restored outer rectangle: parent client coordinates (screen for top-level)
    bool operator==(const Placement&) const = default;
};
constexpr int kPlacementLength = 44;
constexpr unsigned kPlacementSetMinPosition = 0x0001;
constexpr unsigned kPlacementRestoreToMaximized = 0x0002;

enum class CursorShape {
    Arrow,
    Cross,
    IBeam,
    Wait,
    Hand,
    SizeAll,
    SizeWE,
    SizeNS,
    SizeNWSE,
    SizeNESW,
    No,
    UpArrow,
    Blank
};

// The scroll bars a window may show: along its bottom edge and its right edge.
enum class ScrollBar { Horizontal, Vertical };

// What the user did on a scroll bar: a step, a page, the thumb dragged to a
// position, or Home/End.
enum class ScrollCode { LineUp, LineDown, PageUp, PageDown, Thumb, Top, Bottom };

// A scroll bar's positions min..max, of which one page shows at a time; the
// thumb stands at `pos` (min ... max - page + 1).
struct ScrollState {
    int min = 0;
    int max = 0;
    int page = 0;
    int pos = 0;
    bool operator==(const ScrollState&) const = default;
};

// Style bits for Create.
enum WindowStyle : unsigned {
    StyleNone = 0,
    StyleVisible = 0x0001,     // shown at once
    StyleNoFocus = 0x0004,     // never takes the keyboard focus
    StyleToolWindow = 0x0008,  // a top-level window with a small caption, owned by its parent
};

class Window : public CommandTarget {
public:
    Window();
    ~Window() override;

    // Makes the window: a child of `parent` at `rect` (parent client
    // coordinates), or a top-level window when `parent` is null (rect in
    // screen coordinates; an empty rect lets the desktop choose). False when
    // the window exists already.
    bool Create(Window* parent, const Rect& rect, const std::string& title = "", unsigned style = StyleNone);
    // Takes the window away: OnDestroy runs for this window, then for its
    // child windows. Nothing when there is no window. A derived class that
    // needs its own OnDestroy at the end of its life calls Destroy in its own
    // destructor (the base destructor can only reach the base handler).
    void Destroy();
    // Asks OnClose; when it agrees, destroys the window. True when closed.
    bool Close();
    bool Exists() const;
    // The object is deleted by the layer after its window has gone.
    void SetAutoDelete(bool on);

    Window* Parent() const;

    // Show codes from `show`. Returns whether the window was visible before.
    bool Show(int showCode = show::Show);
    bool IsVisible() const;
    bool IsMinimized() const;
    bool IsMaximized() const;

    void SetTitle(const std::string& title);
    std::string Title() const;

    // Client area, origin 0,0.
    Rect ClientRect() const;
    // Outer rectangle in the parent's client coordinates (screen for top-level).
    Rect WindowRect() const;
    // Moves and sizes the outer rectangle (same coordinates as WindowRect).
    void Move(const Rect& rect, bool repaint = true);
    Point ClientToScreen(Point p) const;
    Point ScreenToClient(Point p) const;

    Placement GetPlacement() const;
    // Applies a placement; a length of 0 means "none" and changes nothing
    // (false). The normal rectangle is used as given (callers fit it first).
    bool SetPlacement(const Placement& placement);

    // Marks all (rect null) or part of the client area for repainting.
    void Invalidate(const Rect* rect = nullptr);
    // Repaints the invalid part now, without waiting for the event loop;
    // inside a paint (of any window) it is left to the loop.
    void Update();
    // Fill colour of the client area before OnPaint (default: the system's
    // window colour).
    void SetBackgroundColor(Color color);

    // Scroll bars. A bar shows while its range holds more than one page and
    // hides otherwise; the client area is what the shown bars leave, and a
    // bar appearing or going resizes it (OnSize). The user's actions arrive
    // at OnScroll; the bar keeps its thumb where the program sets it.
    void SetScrollState(ScrollBar bar, const ScrollState& state);
    ScrollState GetScrollState(ScrollBar bar) const;
    bool IsScrollBarShown(ScrollBar bar) const;
    // Acts on a shown bar as the user would (tests, the demo player); `thumb`
    // is the position dragged to for ScrollCode::Thumb.
    void UserScroll(ScrollBar bar, ScrollCode code, int thumb = 0);

    // Overlay marks (rubber bands, drag outlines, cross-hair cursors) drawn
    // over the content after every paint; a change repaints only the part it
    // touched. Toggling the same mark twice removes it (see OverlayLayer).
    OverlayLayer& Overlay();

    // Keyboard focus and mouse capture.
    void SetFocus();
    bool HasFocus() const;
    void SetCapture();
    void ReleaseCapture();
    bool HasCapture() const;
    static Window* CaptureWindow();

    void SetCursorShape(CursorShape shape);
    void Enable(bool on);
    bool IsEnabled() const;

    // Timers by id, one per id and window: setting an id again restarts it.
    void SetTimer(int id, int milliseconds);
    void KillTimer(int id);
    bool HasTimer(int id) const;

    // Accelerators tried for key-downs in this window and its children before
    // the window sees them (the table is not owned; null removes it).
    void SetAccelerators(const AcceleratorTable* table);
    const AcceleratorTable* Accelerators() const;

    // Renders the window (with its children) into a PNG file; false on failure.
    bool SaveImage(const std::string& pngPath);

    // State of the modifier keys and mouse buttons now (MouseKeyFlag bits for
    // the mouse handlers, KeyModifier bits for keys).
    static unsigned MouseKeyState();
    static unsigned ModifierState();
    // True while Shift (key::Shift), Ctrl (key::Control) or Alt (key::Alt) is down.
    static bool IsKeyDown(int keyCode);

    struct Impl;
    Impl* impl() const { return impl_.get(); }

protected:
    virtual void OnCreate() {}
    // `update` is the part being repainted, in client coordinates.
    virtual void OnPaint(DrawSurface& /*surface*/, const Rect& /*update*/) {}
    virtual void OnMouseDown(MouseButton /*button*/, Point /*p*/, unsigned /*keyFlags*/) {}
    virtual void OnMouseUp(MouseButton /*button*/, Point /*p*/, unsigned /*keyFlags*/) {}
    // Replaces the second OnMouseDown of a double click.
    virtual void OnDoubleClick(MouseButton /*button*/, Point /*p*/, unsigned /*keyFlags*/) {}
    virtual void OnMouseMove(Point /*p*/, unsigned /*keyFlags*/) {}
    // `delta` in kWheelDelta units per notch, positive away from the user.
    virtual void OnWheel(int /*delta*/, Point /*p*/, unsigned /*keyFlags*/) {}
    // `repeat` is true for auto-repeated downs; `modifiers` are KeyModifier bits.
    virtual void OnKeyDown(int /*key*/, bool /*repeat*/, unsigned /*modifiers*/) {}
    virtual void OnKeyUp(int /*key*/, unsigned /*modifiers*/) {}
    // A typed character (after its key-down) as a Unicode code point; Enter,
    // Tab, Back and Esc come as 13, 9, 8 and 27.
    virtual void OnChar(int /*ch*/) {}
    virtual void OnSetFocus() {}
    virtual void OnKillFocus() {}
    virtual void OnTimer(int /*id*/) {}
    // New client size.
    virtual void OnSize(int /*width*/, int /*height*/) {}
    // The user acted on a scroll bar; `thumb` is the position for ScrollCode::Thumb.
    virtual void OnScroll(ScrollBar /*bar*/, ScrollCode /*code*/, int /*thumb*/) {}
    // A close was asked for (user or Close()); false refuses it.
    virtual bool OnClose() { return true; }
    // The window is about to go; it still exists here.
    virtual void OnDestroy() {}
    // Mouse capture was taken away (by another window or the system).
    virtual void OnCaptureLost() {}

private:
    friend struct WindowAccess;
    std::unique_ptr<Impl> impl_;
};

}  // namespace platform
