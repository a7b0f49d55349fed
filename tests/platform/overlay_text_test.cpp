// Text boxes in the overlay, and context menus answered without a user.
#include <gtest/gtest.h>

#include <string>

#include "platform/dialog.h"
#include "platform/draw.h"
#include "platform/image.h"
#include "platform/menu.h"

namespace {

using platform::Color;
using platform::Image;
using platform::MakeColor;
using platform::Point;
using platform::Rect;

const Color kOvtRed = MakeColor(255, 0, 0);
const Color kOvtBlue = MakeColor(0, 0, 255);
const Color kOvtYellow = MakeColor(255, 255, 0);

// Pixels other than `c`: the glyphs' edges may be blended with the fill.
int ovt_CountOther(const Image& image, const Rect& r, Color c) {
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x) n += image.PixelAt(x, y) != c;
    return n;
}

TEST(OverlayTextBox, FramedFilledAndWrittenThenGoneOnTheSecondToggle) {
    platform::OverlayLayer overlay;
    const Rect box{20, 10, 80, 30};
    auto compose = [&](Image& out) {
        out = Image(100, 50, kOvtRed);
        auto s = platform::CreateImageSurface(out);
        overlay.Paint(*s);
    };
    Image content, shown, gone;
    compose(content);
    platform::FontDesc font;
    font.height = -11;
    ASSERT_TRUE(overlay.ToggleTextBox(box, "1.5m", font, kOvtBlue, kOvtYellow));
    ASSERT_EQ(overlay.Marks().size(), 1u);
    EXPECT_FALSE(overlay.Marks()[0].invert);
    compose(shown);
    // The frame in the text colour, the inside filled, the text in the text colour.
    EXPECT_EQ(shown.PixelAt(20, 10), kOvtBlue);
    EXPECT_EQ(shown.PixelAt(79, 29), kOvtBlue);
    EXPECT_EQ(shown.PixelAt(21, 11), kOvtYellow);
    EXPECT_EQ(shown.PixelAt(19, 10), kOvtRed);  // nothing outside
    EXPECT_EQ(shown.PixelAt(80, 30), kOvtRed);
    const Rect inside{21, 11, 79, 29};
    EXPECT_GT(ovt_CountOther(shown, inside, kOvtYellow), 5);
    // Centred: ink on both sides of the middle, none at the ends.
    const int left = ovt_CountOther(shown, Rect{21, 11, 50, 29}, kOvtYellow);
    const int right = ovt_CountOther(shown, Rect{50, 11, 79, 29}, kOvtYellow);
    EXPECT_EQ(ovt_CountOther(shown, Rect{21, 11, 26, 29}, kOvtYellow), 0);
    EXPECT_EQ(ovt_CountOther(shown, Rect{74, 11, 79, 29}, kOvtYellow), 0);
    EXPECT_GT(left, 0);
    EXPECT_GT(right, 0);
    // Another text is another mark; the same one toggles off.
    EXPECT_TRUE(overlay.ToggleTextBox(box, "2.5m", font, kOvtBlue, kOvtYellow));
    EXPECT_FALSE(overlay.ToggleTextBox(box, "2.5m", font, kOvtBlue, kOvtYellow));
    EXPECT_FALSE(overlay.ToggleTextBox(box, "1.5m", font, kOvtBlue, kOvtYellow));
    EXPECT_TRUE(overlay.IsEmpty());
    compose(gone);
    EXPECT_EQ(gone.CountDifferences(content), 0);
}

TEST(PopupMenuAnswer, TheAnswererChoosesAnEnabledItemWithoutAUser) {
    platform::Menu menu;
    menu.AddItem(10, "Ten");
    menu.AddItem(11, "Eleven");
    menu.EnableItem(11, false);
    int asked = 0;
    int answer = 10;
    platform::ScopedModalAnswerer answerer([&](platform::ModalRequest& r) {
        if (r.Kind() != platform::ModalKind::PopupMenu) return 0;
        auto& popup = static_cast<platform::PopupMenuRequest&>(r);
        ++asked;
        EXPECT_EQ(popup.GetMenu().ItemCount(), 2);
        EXPECT_EQ(popup.ScreenPoint(), (Point{5, 6}));
        return answer;
    });
    EXPECT_EQ(menu.TrackPopup(Point{5, 6}), 10);
    answer = 11;  // disabled
    EXPECT_EQ(menu.TrackPopup(Point{5, 6}), 0);
    answer = 99;  // not in the menu
    EXPECT_EQ(menu.TrackPopup(Point{5, 6}), 0);
    EXPECT_EQ(asked, 3);
}

}  // namespace
