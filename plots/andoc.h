// The base of every analysis document: the window title that can follow the
// analysis, the graphic objects drawn over the plot, the array of plot curves,
// the per-run records, the analysis kind shown, the cursor settings and the
// per-kind view options.
//
// An analysis document belongs to a circuit or text document; marking it
// modified marks that circuit, because the analysis settings are saved with
// the circuit.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "document/cfanalysis.h"
#include "plots/curve.h"
#include "plots/store.h"
#include "shell/document.h"

class CCTDoc;

// Cursor commands the document starts with.
constexpr int32_t kCursorNextDataPoint = 18670;
constexpr int32_t kCursorStepRight = 761;

// View option bits of an analysis kind (CANDoc::ViewOptions).
constexpr int32_t kViewOperatingPoint = 0x40;
constexpr int32_t kViewOperatingPointOnly = 0x80;
constexpr int32_t kViewAutoScaleRanges = 0x8000;
// Horizontal and vertical grids, minor log grids and the operating point.
constexpr int32_t kDefaultViewOptions = 120;

// The circuit's name as titles show it: its file name without the folder.
std::string CircuitTitleName(const CCTDoc* circuit);

class CANDoc : public CDoc {
public:
    explicit CANDoc(int kind);
    ~CANDoc() override;
    CANDoc(const CANDoc&) = delete;
    CANDoc& operator=(const CANDoc&) = delete;

    // Marking the document modified marks the circuit of the run context.
    void SetModifiedFlag(bool modified = true) override;
    // Nothing while KeepOnWindowClose is set: the window goes, the document
    // stays with its circuit.
    void OnCloseDocument() override;

    // ---- operations the derived documents replace
    // A value of the data store; the base holds none.
    virtual double GetValue(int /*column*/, int /*point*/) { return 0; }
    virtual void SetValue(int /*column*/, int /*point*/, double /*value*/) {}
    // The curve whose plot holds a device point, -1 when none.
    virtual int CurveAtPoint(int /*x*/, int /*y*/) { return -1; }
    // Prepares the window's data after a run: 0 or a result code.
    virtual int PrepareData() { return 0; }
    // True when there are plotted curves and the first one holds a point.
    virtual bool HasData() const;
    // The text with the circuit's defines written between two dollar signs
    // and the title variables put in; nullopt when memory ran out.
    virtual std::optional<std::string> ExpandKeywords(const std::string& text, bool multiLine, bool lineBreaks);
    // The window's title text; nullopt for none.
    virtual std::optional<std::string> FormatTitle(int /*flag*/) { return std::nullopt; }

    // With AutoTitle the title follows FormatTitle(1); the document title is
    // the prefix followed by it.
    void SetWindowTitle(const std::string& prefix);
    // A new text object over the plot (no colour, pattern 10); null when out
    // of memory.
    PlotObject* NewGraphicObject();
    // A window closes while its document stays: the undo is emptied and the
    // tags whose curve is gone go with it.
    void ReleaseForClose();
    // The curve of a row identifier, -1 when none.
    int FindCurveById(int32_t id) const;
    // Objects that point at a curve find it again by its identifier; an
    // object whose curve is gone is detached.
    void RebindObjects();
    // The view options of the document's kind from the run's analysis document.
    void CopyViewOptions(const CANDoc& source);

    void FreeCurves();
    void ResetPointIndices();

    // Places a cursor of a curve at a point (at X when given, else at the
    // point's X) and carries the same cursor of the other curves of its plot
    // group (of every group with Align Cursors) to that X. The point of the
    // last curve handled; -1 (nothing moved) when the point is on no branch.
    virtual int MoveCursor(int curve, int cursor, int point, std::optional<double> x = std::nullopt);

    // The circuit document the analysis belongs to (a CCTDoc), or null.
    CCTDoc* Circuit() const;

    // ---- fields
    std::string Title;
    int32_t AutoTitle = 1;
    PlotObjectList Objects;
    CDoc* CircuitDoc = nullptr;
    int32_t CursorFunction = kCursorNextDataPoint;
    int32_t CursorStep = kCursorStepRight;
    int32_t ActiveCursor = 0;
    int32_t ScaleCurve = 0;
    int32_t LastButtonUp[2] = {};
    platform::Rect RedrawRect{0, 0, 0, 0};
    int32_t CurrentRun = 0;
    int32_t AnalysisKind = -1;
    PlotCurveArray Curves;
    int32_t PlottedCount = 0;
    int32_t CurrentCurve = 0;
    RunLog Runs;
    int32_t SaveRangeEdits[kPlotKindCount] = {};
    int32_t ViewOptions[kAnalysisKindCount] = {};
    // Set while the document's window closes without the document.
    bool KeepOnWindowClose = false;

    int CurveCount() const { return static_cast<int>(Curves.size()); }
};
