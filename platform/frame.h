// Frames: the main window with its menu bar, status bar and MDI area, and the
// MDI child frames that hold the document views.
//
// Closing the main frame does not end the event loop by itself: the program
// calls Application::Quit when it has finished its own shutdown (OnDestroy).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/window.h"

namespace platform {

class Menu;
class MdiChild;
struct KeyEvent;

// Where a child frame goes when it is restored or first shown normal: its own
// rectangle while that is at least `minimum` in size, moved back into the
// client area when it lies outside; otherwise the default place of the
// `order`-th child, cascaded from the top left by a title bar's height and
// three quarters of the client area in size. Nothing is ever larger than the
// client area.
Rect FitRestoredChildRect(const Rect& current, const Rect& client, int order, Size minimum);

// A pane of the main status bar. Its width is `width` pixels, or, when
// `widthTemplate` is given, the width of that text in the bar's font; a
// stretching pane takes the room the others leave.
struct StatusPane {
    int id = 0;
    int width = 0;
    std::string widthTemplate;
    bool stretch = false;
};

class MainFrame : public Window {
public:
    MainFrame();
    ~MainFrame() override;

    // Makes the top-level window (hidden until Show); an empty rect lets the
    // desktop choose. False when it exists already.
    bool Create(const std::string& title, const Rect& rect = Rect{});

    // The menu bar shows the top-level items of `menu` (its pop-ups). The menu
    // is not owned and must outlive the frame or be replaced first; changes to
    // its top level show after RefreshMenuBar. The frame becomes the menu's
    // update target and command handler.
    void SetMenu(Menu* menu);
    Menu* GetMenu() const;
    void RefreshMenuBar();
    // Titles of the menu bar's items as shown (with "&").
    std::vector<std::string> MenuBarTitles() const;

    // Status bar: replaces the panes; the bar is shown unless hidden below.
    void SetStatusPanes(const std::vector<StatusPane>& panes);
    void ShowStatusBar(bool on);
    bool IsStatusBarVisible() const;
    int StatusPaneCount() const;
    int StatusPaneIndex(int id) const;  // -1 when none
    int StatusPaneId(int index) const;  // 0 when none
    bool SetPaneText(int id, const std::string& text);
    std::string PaneText(int id) const;
    bool SetPaneWidth(int id, int width);
    int PaneWidth(int id) const;
    // Width of a text in the status bar's font.
    int StatusTextWidth(const std::string& text) const;
    int StatusBarHeight() const;
    // A progress bar over a pane (the message pane during long runs).
    void BeginProgress(int paneId, int maximum);
    void SetProgress(int position);
    void EndProgress();
    bool InProgress() const;

    // MDI area. Child frames are listed from the top of the z-order down.
    Rect MdiClientRect() const;
    std::vector<MdiChild*> Children() const;
    MdiChild* ActiveChild() const;
    void ActivateNext();
    void Tile(bool vertical = true);
    void Cascade();
    void ArrangeIcons();
    // Files dropped on the frame go to OnDropFiles.
    void AcceptDroppedFiles(bool on);
    // The keys every MDI frame answers before the accelerator tables:
    // Ctrl+F4 asks the active child to close, Ctrl+F6 and Ctrl+Tab activate
    // the next child (with Shift the previous one). True when the key was one.
    bool TranslateMdiKey(const KeyEvent& event);

    // Commands start at the frame, then go to the active child's view (and on
    // along the view's chain).
    CommandTarget* NextCommandTarget() override;
    // Asks the state of every command item of the menu bar's pop-ups (what
    // opening each would do), e.g. before saving or for tests.
    void UpdateMenuStates();

protected:
    // The active child changed (null: none active now).
    virtual void OnChildActivated(MdiChild* /*child*/) {}
    virtual void OnDropFiles(const std::vector<std::string>& /*paths*/, Point /*p*/) {}

private:
    friend class MdiChild;
    friend struct FrameAccess;
    struct FrameImpl;
    std::unique_ptr<FrameImpl> frame_;
};

class MdiChild : public Window {
public:
    MdiChild();
    ~MdiChild() override;

    // Makes the child frame in the main frame's MDI area, hidden until Show.
    // An empty rect lets the area choose.
    bool Create(MainFrame& frame, const std::string& title, const Rect& rect = Rect{});
    // The view fills the frame; create it as a child of this frame first.
    void SetView(Window* view);
    Window* View() const;
    MainFrame* Frame() const;

    void Activate();
    bool IsActive() const;
    void Maximize();
    void Minimize();
    void Restore();

    // A child frame's commands go on to its view.
    CommandTarget* NextCommandTarget() override;

protected:
    // Activation changed (true: this child is now the active one).
    virtual void OnActivate(bool /*active*/) {}

private:
    friend class MainFrame;
    friend struct FrameAccess;
    // Handles that expire with the objects, so a view or frame deleted first
    // is never reached through a stale pointer.
    std::weak_ptr<Window*> view_;
    std::weak_ptr<Window*> frame_;
};

}  // namespace platform
