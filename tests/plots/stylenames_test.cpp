// Curve style names: names and values round trip, other texts fall back, and
// the property page's combo boxes list them with their values.
#include "plots/stylenames.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/dialog.h"

namespace {

TEST(StyleNames, NamesAndValuesRoundTrip) {
    for (int style = 0; style < 4; ++style) ASSERT_EQ(ParsePointStyleName(PointStyleName(style)), style);
    for (int kind = 0; kind < 2; ++kind) ASSERT_EQ(ParseCurveKindName(CurveKindName(kind)), kind);
    EXPECT_EQ(ParsePointStyleName("open squares"), 2);
    EXPECT_EQ(ParsePointStyleName("Squares"), 3);
    EXPECT_EQ(ParsePointStyleName(nullptr), 3);
    EXPECT_EQ(ParseCurveKindName("POPSICLE"), 1);
    EXPECT_EQ(ParseCurveKindName(""), 0);
    EXPECT_EQ(ParseCurveKindName(nullptr), 0);
    EXPECT_EQ(PointStyleName(4), nullptr);
    EXPECT_EQ(PointStyleName(-1), nullptr);
    EXPECT_EQ(CurveKindName(2), nullptr);
    EXPECT_EQ(CurveKindName(-1), nullptr);
}

TEST(StyleNames, CombosListTheNamesWithTheirValues) {
    platform::DialogDesc desc;
    desc.cx = 120, desc.cy = 60;
    desc.controls.push_back({platform::ControlKind::ComboBox, 10, "", 4, 4, 100, 60, 0});
    desc.controls.push_back({platform::ControlKind::ComboBox, 11, "", 4, 24, 100, 60, 0});
    platform::Dialog dialog(desc);
    ASSERT_TRUE(dialog.CreateModeless());
    FillPointStyleCombo(dialog, 10);
    FillCurveKindCombo(dialog, 11);
    ASSERT_EQ(dialog.Count(10), 4);
    EXPECT_EQ(dialog.GetItemText(10, 2), "Open Squares");
    for (int i = 0; i < 4; ++i) EXPECT_EQ(dialog.GetItemData(10, i), i);
    ASSERT_EQ(dialog.Count(11), 2);
    EXPECT_EQ(dialog.GetItemText(11, 1), "Popsicle");
    EXPECT_EQ(dialog.GetItemData(11, 1), 1);
    dialog.DestroyDialog();
}

}  // namespace
