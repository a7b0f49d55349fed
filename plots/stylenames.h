// The names of a curve's data-point styles and curve kinds, as the settings and
// circuit files and the plot property pages show them. (PointStyleName itself
// is the core's, core/properties.h.)
#pragma once

#include "core/properties.h"

namespace platform {
class ControlPanel;
}

// Curve kinds: 0 "Normal" (lines between points), 1 "Popsicle" (a bar from
// every point down to the baseline).
constexpr int kCurveKindNormal = 0, kCurveKindPopsicle = 1;

// "Normal" or "Popsicle"; null for any other value.
const char* CurveKindName(int kind);
// The style whose name equals the text without regard to case; 3 ("Filled
// Squares") for any other text, null included.
int ParsePointStyleName(const char* text);
// The kind whose name equals the text without regard to case; 0 ("Normal") for
// any other text, null included.
int ParseCurveKindName(const char* text);
// Adds the four point-style names in value order, each with its value as item data.
void FillPointStyleCombo(platform::ControlPanel& panel, int comboId);
// Adds "Normal" (0) and "Popsicle" (1).
void FillCurveKindCombo(platform::ControlPanel& panel, int comboId);
