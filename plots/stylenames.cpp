#include "plots/stylenames.h"

#include <strings.h>

#include "platform/controls.h"

const char* CurveKindName(int kind) { return CurveStyleName(kind); }

int ParsePointStyleName(const char* text) { return ParsePointStyle(text); }

int ParseCurveKindName(const char* text) {
    return text != nullptr && strcasecmp(text, CurveKindName(kCurveKindPopsicle)) == 0 ? kCurveKindPopsicle
                                                                                       : kCurveKindNormal;
}

void FillPointStyleCombo(platform::ControlPanel& panel, int comboId) {
    for (int style = kPointOpenBubbles; style <= kPointFilledSquares; ++style) {
        const int item = panel.Add(comboId, PointStyleName(style));
        if (item >= 0) panel.SetItemData(comboId, item, style);
    }
}

void FillCurveKindCombo(platform::ControlPanel& panel, int comboId) {
    for (int kind = kCurveKindNormal; kind <= kCurveKindPopsicle; ++kind) {
        const int item = panel.Add(comboId, CurveKindName(kind));
        if (item >= 0) panel.SetItemData(comboId, item, kind);
    }
}
