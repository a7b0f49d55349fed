#include "plots/tagcommands.h"

#include <algorithm>
#include <string>

#include "document/cfanalysis.h"
#include "document/cfsections.h"
#include "plots/anview.h"
#include "plots/apdoc.h"
#include "plots/apview.h"
#include "plots/cursordisplay.h"

namespace {

constexpr int tc_KindVertical = 7;
constexpr int tc_KindPoint = 8;
constexpr int tc_KindHorizontal = 9;

// The current curve when the cursors stand on its points; null otherwise.
const PlotCurve* tc_TaggableCurve(const CAPDoc& doc) {
    const int curve = doc.CurrentCurve;
    if (curve < 0 || curve >= std::min(doc.PlottedCount, doc.CurveCount())) return nullptr;
    const PlotCurve& c = doc.Curves[static_cast<size_t>(curve)];
    return c.HasPoint() ? &c : nullptr;
}

bool tc_Allowed(const CAPDoc& doc) {
    return doc.modeCommand == kCmdModeCursor && doc.HasData() && (!doc.Run.Running || doc.Run.Paused) &&
           tc_TaggableCurve(doc) != nullptr;
}

}  // namespace

PlotObject* AddTagObject(CAPView& view, int kind, int curve) {
    CAPDoc* found = view.PlotDocument();
    if (!found || !IsTagObjectKind(kind) || curve < 0 || curve >= found->CurveCount()) return nullptr;
    CAPDoc& doc = *found;
    const std::string label = std::string("Add ") + GraphicObjectTypeName(kind);
    const bool undoable = !doc.undoSuspended && doc.PushUndo(kUndoAddTag, label.c_str()) && doc.currentUndo;
    PlotObject* object = doc.NewGraphicObject();
    if (!object) return nullptr;
    object->type = kind;
    // Tags are open figures: outlined in the default colour, and a dimension
    // line ends in filled arrow heads.
    object->style.color = 4;
    object->style.pattern = 0;
    if (kind != tc_KindPoint) object->flags |= 0x0001;
    const PlotCurve& c = doc.Curves[static_cast<size_t>(curve)];
    object->plot = curve;
    object->alias1 = c.CurveId;
    if (kind != tc_KindPoint) {
        object->plot2 = curve;
        object->alias2 = c.CurveId;
    }
    if (undoable) {
        doc.TagUndoEntry = doc.currentUndo;
        doc.TagUndoObject = object;
        doc.TagUndoHeld.reset();
    }
    doc.SetModifiedFlag(true);
    // The cursors live in the overlay, so a repaint shows the tag under them
    // without taking them away.
    view.Invalidate();
    return object;
}

PlotObject* TagCursor(CAPView& view, int cursor) {
    CAPDoc* doc = view.PlotDocument();
    if (!doc || cursor < 0 || cursor > 1 || !tc_TaggableCurve(*doc)) return nullptr;
    const int curve = doc->CurrentCurve;
    const DeviceXY at = CursorDevicePoint(*doc, curve, cursor);
    PlotObject* tag = AddTagObject(view, tc_KindPoint, curve);
    if (!tag) return nullptr;
    const PlotCurve& c = doc->Curves[static_cast<size_t>(curve)];
    tag->corners[0] = c.CursorX[cursor];
    // A digital curve's Y is a state, not a value: its tag keeps the level
    // line's position instead.
    tag->corners[1] = c.IsDigital ? c.FromDevice(kAxisY, at.y) : c.CursorY[cursor];
    tag->corners[2] = c.FromDevice(kAxisX, at.x + (cursor == 0 ? 20 : -60));
    tag->corners[3] = c.FromDevice(kAxisY, at.y - 40);
    return tag;
}

PlotObject* TagCursorSpan(CAPView& view, int command) {
    CAPDoc* doc = view.PlotDocument();
    if (!doc || !tc_TaggableCurve(*doc)) return nullptr;
    int kind = 0;
    if (command == kCmdTagHorizontal)
        kind = tc_KindHorizontal;
    else if (command == kCmdTagVertical)
        kind = tc_KindVertical;
    else
        return nullptr;
    const int curve = doc->CurrentCurve;
    const DeviceXY left = CursorDevicePoint(*doc, curve, 0);
    PlotObject* span = AddTagObject(view, kind, curve);
    if (!span) return nullptr;
    const PlotCurve& c = doc->Curves[static_cast<size_t>(curve)];
    span->plot2 = curve;
    span->alias2 = c.CurveId;
    span->corners[0] = c.CursorX[0];
    span->corners[1] = c.CursorY[0];
    span->corners[2] = c.CursorX[1];
    span->corners[3] = c.CursorY[1];
    // The dimension line stands 10 pixels below (horizontal) or right of
    // (vertical) the left cursor's point, where the tag modes draw it.
    span->measure = kind == tc_KindHorizontal ? c.FromDevice(kAxisY, left.y + 10) : c.FromDevice(kAxisX, left.x + 10);
    return span;
}

bool HandleTagCommand(CAPView& view, int id) {
    if (id < kCmdTagLeftCursor || id > kCmdTagVertical) return false;
    CAPDoc* doc = view.PlotDocument();
    if (!doc || !tc_Allowed(*doc)) return true;
    if (id == kCmdTagLeftCursor || id == kCmdTagRightCursor)
        TagCursor(view, id == kCmdTagLeftCursor ? 0 : 1);
    else
        TagCursorSpan(view, id);
    return true;
}

bool UpdateTagCommand(CAPView& view, platform::CommandState& state) {
    const int id = state.Id();
    if (id < kCmdTagLeftCursor || id > kCmdTagVertical) return false;
    const CAPDoc* doc = view.PlotDocument();
    state.Enable(doc && tc_Allowed(*doc));
    return true;
}

bool RunTagUndoStep(CAPDoc& doc, UndoEntry& entry) {
    if (&entry != doc.TagUndoEntry || !doc.TagUndoObject) return false;
    if (doc.TagUndoHeld) {
        doc.Objects.push_back(std::move(doc.TagUndoHeld));
    } else {
        // The tag may have gone meanwhile (Delete All Objects): nothing to take.
        auto it = std::find_if(doc.Objects.begin(), doc.Objects.end(),
                               [&](const std::unique_ptr<PlotObject>& o) { return o.get() == doc.TagUndoObject; });
        if (it == doc.Objects.end()) return false;
        doc.TagUndoHeld = std::move(*it);
        doc.Objects.erase(it);
    }
    doc.SetModifiedFlag(true);
    if (doc.mainView) doc.mainView->Invalidate();
    return true;
}
