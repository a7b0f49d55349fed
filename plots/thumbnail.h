// The thumbnail plot: a small, always complete overview of the current curve's
// plot group of a source document, with a rectangle marking the part the
// source's window shows. Dragging that rectangle pans the source, and a zoom
// rectangle drawn in the overview zooms the source to it.
//
// The thumbnail document is a shallow view on its source: it holds display
// copies of the group's curves (ranges widened to all data) and reads every
// value through the source document itself, so it never keeps a copy of the
// source's store and never outlives what it reads. It owns nothing of the
// source: letting go of the copies leaves the source's curves and data intact.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/types.h"
#include "plots/curvedraw.h"

// Device units the overview leaves around the data on every side.
constexpr int kThumbnailMargin = 10;

class CThumbDoc : public CAPDoc {
public:
    CThumbDoc();
    ~CThumbDoc() override;

    // Values come from the source while it is attached; the thumbnail never
    // writes them.
    double GetValue(int column, int point) override;
    void SetValue(int, int, double) override {}

    // Rebuilds the copies from the source's current plot group: the curves
    // laid out on the source's screen, their runs, and per axis the range
    // that holds all their data with a margin. The source stays attached
    // until ReleaseSharedCurves. False (nothing copied) without curves.
    bool CopySourceCurves(CAPDoc& source);
    // Drops the copies and the source (its curves and data stay as they are).
    void ReleaseSharedCurves();
    CAPDoc* Source() const { return source_; }

    // Places the copies in `area` and sets their value-to-device transforms:
    // 0, or 1 when the layout failed.
    int LayOut(CDrawContext& dc, const platform::Rect& area);

    // The part of the overview the source's current curve shows, in
    // thumbnail device units; the whole area without a non-digital curve.
    platform::Rect GetSourceViewRect(const platform::Rect& area) const;
    // Sets the ranges of the source's group from a rectangle in the overview.
    // moveOnly (a drag of the marked rectangle): corner1 is where the corner
    // of the low X and low Y values goes, the spans stay; otherwise the
    // corners span the new ranges. X changes only with EnableScaling[X], Y
    // only with EnableScaling[Y]; a reversed axis stays reversed.
    void ApplySourceViewRect(platform::Point corner1, platform::Point corner2, bool moveOnly);

    // The "Enable X Scaling" and "Enable Y Scaling" switches.
    int32_t EnableScaling[2] = {1, 1};
    // The colour index of the source view rectangle.
    int32_t MarkerColor = 9;
    PlotLayout Layout;

private:
    friend int DrawThumbnail(CDrawContext& dc, CThumbDoc& thumb, CAPDoc& source, const platform::Rect& area);

    // The source curve of each copy, by index.
    std::vector<int> sourceIndex_;
    CAPDoc* source_ = nullptr;
    // The source is read only while the thumbnail draws.
    bool reading_ = false;
};

// The source the thumbnail shows: the active document when it is a
// performance document, else the current analysis document; null when none.
CAPDoc* GetThumbnailSource();

// Draws the overview of `source` into `area`: the curves of the current
// curve's plot group and the rectangle of the source's visible part. 0, or
// the result of the curve drawing.
int DrawThumbnail(CDrawContext& dc, CThumbDoc& thumb, CAPDoc& source, const platform::Rect& area);

// Where the thumbnail window opens: the rectangle stored for the analysis kind,
// or, when none was stored (left = right), the top right corner of the work
// area with the window's own size.
platform::Rect ThumbnailWindowRect(const platform::Rect& stored, const platform::Rect& workArea, platform::Size size);
