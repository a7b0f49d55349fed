// The thumbnail window: a small tool window beside the plots that shows the
// overview of the current plot group (plots/thumbnail.h). At most one exists;
// the "Thumb Nail Plot" command of a plot window opens and closes it. It
// reads the source's curves only while it paints, so a source that goes away
// between paints is never touched; closing a plot closes the thumbnail that
// shows it.
#pragma once

#include <memory>

#include "platform/window.h"
#include "plots/apview.h"
#include "plots/thumbnail.h"

class CAPDoc;

// The command of the plot views that shows or hides the thumbnail.
constexpr int kCmdThumbnail = 24101;
// The window's own size when no rectangle was stored for the analysis kind.
constexpr int kThumbnailWidth = 240, kThumbnailHeight = 160;

// The overview inside the thumbnail window. A left drag that starts on the
// marked rectangle moves the source's ranges with it; a drag elsewhere zooms
// the source to the dragged rectangle. While the button is held the rectangle
// shows as a rubber band in the overlay, over an overview that stays as drawn;
// with the source's "Keep X Scales the Same" the other plot groups of the
// source follow the new X range. Commands it does not know go to the
// source's own view, so keys and menus act on the plot the overview shows.
class CThumbView : public CAPView {
public:
    explicit CThumbView(CThumbDoc& document);

    CThumbDoc& Thumb() const { return thumb_; }
    // Paints in the source's background colour; the base's without a source.
    int GetBackgroundColor(CDrawContext* dc) override;
    void OnDraw(platform::DrawSurface& surface) override;
    bool OnCommand(int id) override;
    bool OnUpdateCommand(platform::CommandState& state) override;
    // Paints drawn with a source, for tests and the refresh count.
    int32_t ThumbPaints = 0;

protected:
    void OnMouseDown(platform::MouseButton button, platform::Point p, unsigned keyFlags) override;
    void OnMouseUp(platform::MouseButton button, platform::Point p, unsigned keyFlags) override;
    void OnMouseMove(platform::Point p, unsigned keyFlags) override;
    void OnCaptureLost() override;
    void OnWheel(int delta, platform::Point p, unsigned keyFlags) override;

private:
    CThumbDoc& thumb_;
    // The rectangle the drag would apply: the marked one moved, or the zoom box.
    platform::Rect DragBand(platform::Point p) const;
    void ShowBand(const platform::Rect& band);
    void HideBand();

    bool dragging_ = false;
    bool dragOnMarked_ = false;
    platform::Point dragStart_{};
    platform::Rect marked_{};
    bool bandShown_ = false;
    platform::Rect band_{};
};

class CThumbPlotDlg : public platform::Window {
public:
    CThumbPlotDlg();
    ~CThumbPlotDlg() override;

    // Makes the tool window on `owner` at the rectangle stored for the
    // source's analysis kind, or at the top right of the work area, and shows
    // it. False when the window could not be made.
    bool Open(platform::Window* owner);
    CThumbView* View() const { return view_.get(); }
    CThumbDoc& Document() { return document_; }
    // The source it was opened for or last drew; only compared, never read.
    const CAPDoc* Shown = nullptr;

protected:
    void OnCreate() override;
    void OnSize(int width, int height) override;
    // A close of the window (its caption button, Esc) ends it as the command does.
    bool OnClose() override;
    void OnDestroy() override;

private:
    CThumbDoc document_;
    std::unique_ptr<CThumbView> view_;
};

// The open thumbnail window; null when none.
CThumbPlotDlg* ThumbnailWindow();
// The "Thumb Nail Plot" command: closes an open thumbnail, else opens one
// under the main frame. True when a thumbnail is open afterwards.
bool ToggleThumbnail();
// Enabled while a source with curves exists; checked while the window is open.
void UpdateThumbnailCommand(platform::CommandState& state);
// Stores the window's rectangle for the analysis kind, lets go of the
// source's curves and destroys the window. Nothing when none is open.
void CloseThumbnail();
// Repaints the open thumbnail when its source has curves: now, or (from
// inside another window's paint) at its next paint.
void RefreshThumbnail(bool paintNow = true);
// Closes the thumbnail when it shows `source` (the source's plot closes or
// lets go of its curves).
void CloseThumbnailOf(const CAPDoc* source);
