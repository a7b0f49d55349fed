// Drawing surfaces: the same calls give the same pixels on images, pictures
// and windows; mapping, clipping, pens, brushes, text and the overlay.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/draw.h"
#include "platform/image.h"
#include "tests/support/tempdir.h"

namespace {

using platform::BrushDesc;
using platform::Color;
using platform::DrawSurface;
using platform::FontDesc;
using platform::Image;
using platform::MakeColor;
using platform::PenDesc;
using platform::Point;
using platform::Rect;
using platform::Size;

constexpr Color kDrwWhite = MakeColor(255, 255, 255);
constexpr Color kDrwBlack = MakeColor(0, 0, 0);
constexpr Color kDrwRed = MakeColor(255, 0, 0);
constexpr Color kDrwBlue = MakeColor(0, 0, 255);

FontDesc DrwFont(int height, int escapement = 0) {
    FontDesc f;
    f.face = "DejaVu Sans";
    f.height = height;
    f.escapement = escapement;
    return f;
}

// A picture that uses every kind of output the program's views use.
void DrwPaintScene(DrawSurface& s) {
    const platform::PenStyle styles[] = {platform::PenStyle::Solid, platform::PenStyle::Dash, platform::PenStyle::Dot,
                                         platform::PenStyle::DashDot, platform::PenStyle::DashDotDot};
    int y = 6;
    for (platform::PenStyle st : styles) {
        PenDesc pen = PenDesc::Solid(kDrwBlue);
        pen.style = st;
        s.SetPen(pen);
        s.Line(4, y, 150, y);
        y += 4;
    }
    PenDesc wide = PenDesc::Solid(MakeColor(0, 128, 0), 3);
    wide.style = platform::PenStyle::Custom;
    wide.dashes = {9, 6};
    s.SetPen(wide);
    s.Line(4, y + 2, 150, y + 2);

    s.SetPen(PenDesc::Solid(kDrwBlack));
    s.SetBackgroundColor(MakeColor(255, 255, 0));
    s.SetBrush(BrushDesc::Hatched(platform::HatchStyle::DiagonalCross, kDrwRed));
    s.Rectangle(Rect{10, 40, 70, 80});
    s.SetBrush(BrushDesc::Solid(MakeColor(0, 200, 200)));
    s.Ellipse(Rect{80, 40, 140, 80});
    s.Arc(Rect{150, 40, 190, 80}, Point{190, 60}, Point{170, 40});
    s.Pie(Rect{150, 85, 190, 125}, Point{150, 105}, Point{170, 125});
    const Point bez[] = {{10, 140}, {30, 90}, {50, 150}, {70, 100}};
    s.PolyBezier(bez, 4);
    const Point poly[] = {{80, 130}, {100, 90}, {120, 130}, {90, 110}};
    s.SetBrush(BrushDesc::Solid(MakeColor(200, 100, 50)));
    s.Polygon(poly, 4);

    s.SetBackgroundMode(platform::BackgroundMode::Transparent);
    s.SetTextColor(MakeColor(128, 0, 128));
    s.SetFont(DrwFont(-12));
    s.SetTextAlign(platform::TextAlign::Center | platform::TextAlign::Baseline);
    s.TextOut(Point{100, 145}, "Tarnwick 1k");
    s.SetFont(DrwFont(-11, 900));
    s.SetTextAlign(platform::TextAlign::Left | platform::TextAlign::Top);
    s.TextOut(Point{192, 140}, "V(out)");
}

// Ink = pixels that differ from white; its bounds (empty when none).
Rect DrwInkBounds(const Image& img, const Rect& area) {
    Rect b{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
    bool any = false;
    for (int y = std::max(0, area.top); y < std::min(img.Height(), area.bottom); ++y)
        for (int x = std::max(0, area.left); x < std::min(img.Width(), area.right); ++x)
            if (img.PixelAt(x, y) != kDrwWhite) {
                any = true;
                b.left = std::min(b.left, x);
                b.top = std::min(b.top, y);
                b.right = std::max(b.right, x + 1);
                b.bottom = std::max(b.bottom, y + 1);
            }
    return any ? b : Rect{};
}

int DrwCountInk(const Image& img) {
    int n = 0;
    for (int y = 0; y < img.Height(); ++y)
        for (int x = 0; x < img.Width(); ++x) n += img.PixelAt(x, y) != kDrwWhite;
    return n;
}

TEST(DrawSurfaceTest, SceneIsIdenticalOnImagePictureAndWindow) {
    Image direct(200, 160);
    {
        auto s = platform::CreateImageSurface(direct);
        ASSERT_TRUE(s);
        EXPECT_EQ(s->Kind(), platform::SurfaceKind::Image);
        EXPECT_EQ(s->Technology(), platform::kTechRasterDisplay);
        EXPECT_EQ(s->PixelsPerInchY(), 96);
        DrwPaintScene(*s);
    }
    EXPECT_GT(DrwCountInk(direct), 2000);

    platform::Picture picture;
    DrawSurface& rec = picture.Begin(Size{200, 160});
    EXPECT_TRUE(rec.IsPicture());
    EXPECT_EQ(rec.Technology(), platform::kTechPicture);
    DrwPaintScene(rec);
    picture.End();
    EXPECT_EQ(picture.Bounds(), (Rect{0, 0, 200, 160}));
    Image replayed(200, 160);
    {
        auto s = platform::CreateImageSurface(replayed);
        picture.Play(*s);
    }
    EXPECT_EQ(replayed.CountDifferences(direct), 0);

    Image window = platform::RenderOffscreenWindow(Size{200, 160}, [](DrawSurface& s) {
        EXPECT_EQ(s.Kind(), platform::SurfaceKind::Widget);
        DrwPaintScene(s);
    });
    ASSERT_EQ(window.GetSize(), (Size{200, 160}));
    EXPECT_EQ(window.CountDifferences(direct), 0);
}

TEST(DrawSurfaceTest, PictureReplaysScaledIntoARectangle) {
    platform::Picture picture;
    DrawSurface& rec = picture.Begin(Size{20, 20});
    rec.FillRect(Rect{0, 0, 10, 10}, kDrwRed);
    picture.End();
    Image img(60, 60);
    auto s = platform::CreateImageSurface(img);
    picture.Play(*s, Rect{20, 20, 60, 60});
    s.reset();
    EXPECT_EQ(img.PixelAt(21, 21), kDrwRed);
    EXPECT_EQ(img.PixelAt(38, 38), kDrwRed);
    EXPECT_EQ(img.PixelAt(42, 42), kDrwWhite);
    EXPECT_EQ(img.PixelAt(19, 19), kDrwWhite);
}

TEST(DrawSurfaceTest, MappingRoundTripsAndScales) {
    struct Case {
        platform::MapMode mode;
        Size windowExt, viewportExt;
        Point windowOrg, viewportOrg;
        Point logical, device;  // one known pair
    };
    using platform::MapMode;
    const Case cases[] = {
        {MapMode::Pixels, {}, {}, {10, 20}, {0, 0}, {15, 25}, {5, 5}},
        {MapMode::LoMetric, {}, {}, {0, 0}, {0, 0}, {254, -508}, {96, 192}},
        {MapMode::HiEnglish, {}, {}, {0, 0}, {50, 50}, {1000, 1000}, {146, -46}},
        {MapMode::Twips, {}, {}, {0, 0}, {0, 0}, {1440, -720}, {96, 48}},
        {MapMode::Anisotropic, {100, 100}, {300, -200}, {0, 0}, {10, 210}, {50, 50}, {160, 110}},
        {MapMode::Anisotropic, {1000, 1000}, {100, 100}, {-500, 0}, {0, 0}, {0, 100}, {50, 10}},
        // Isotropic: the viewport gives way on the axis with the larger scale.
        {MapMode::Isotropic, {100, 100}, {400, -200}, {0, 0}, {0, 0}, {100, 100}, {200, -200}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.mode));
        Image img(8, 8);
        auto s = platform::CreateImageSurface(img);
        s->SetMapMode(c.mode);
        s->SetWindowExt(c.windowExt);
        s->SetViewportExt(c.viewportExt);
        s->SetWindowOrg(c.windowOrg);
        s->SetViewportOrg(c.viewportOrg);
        EXPECT_EQ(s->LogicalToDevice(c.logical), c.device);
        EXPECT_EQ(s->DeviceToLogical(c.device), c.logical);
        // Where a logical unit is finer than a pixel, pixel -> logical -> pixel
        // is exact; where it is coarser, logical -> pixel -> logical is.
        double sx = std::abs(double(s->GetViewportExt().cx) / s->GetWindowExt().cx);
        double sy = std::abs(double(s->GetViewportExt().cy) / s->GetWindowExt().cy);
        if (sx <= 1.0 && sy <= 1.0) {
            for (Point d : {Point{0, 0}, Point{7, -3}, Point{-120, 455}})
                EXPECT_EQ(s->LogicalToDevice(s->DeviceToLogical(d)), d);
        }
        if (sx >= 1.0 && sy >= 1.0) {
            for (Point l : {Point{0, 0}, Point{3, 9}, Point{-77, 1000}})
                EXPECT_EQ(s->DeviceToLogical(s->LogicalToDevice(l)), l);
        }
    }
}

TEST(DrawSurfaceTest, ExtentsOnlyChangeInScalableModes) {
    Image img(8, 8);
    auto s = platform::CreateImageSurface(img);
    s->SetMapMode(platform::MapMode::LoEnglish);
    Size before = s->GetWindowExt();
    EXPECT_EQ(s->SetWindowExt(Size{5, 5}), before);
    EXPECT_EQ(s->GetWindowExt(), before);
    s->SetMapMode(platform::MapMode::Anisotropic);
    s->SetWindowExt(Size{5, 7});
    EXPECT_EQ(s->SetWindowExt(Size{0, 3}), (Size{5, 7}));  // a zero extent is refused
    EXPECT_EQ(s->GetWindowExt(), (Size{5, 7}));
}

TEST(DrawSurfaceTest, ClippingLeavesOutsidePixelsUntouched) {
    Image img(40, 40);
    auto s = platform::CreateImageSurface(img);
    s->SetClipRect(Rect{10, 10, 20, 20});
    EXPECT_EQ(s->GetClipBox(), (Rect{10, 10, 20, 20}));
    s->FillRect(Rect{0, 0, 40, 40}, kDrwRed);
    s->SetPen(PenDesc::Solid(kDrwBlue, 3));
    s->Line(0, 30, 40, 0);
    s->SetPixel(Point{5, 5}, kDrwBlue);
    s->SetFont(DrwFont(-20));
    s->TextOut(Point{0, 0}, "WWWW");
    // A saved state keeps its clip; a region is the union of its rectangles.
    s->SaveState();
    s->SetClipRegion({Rect{30, 30, 32, 32}, Rect{35, 35, 37, 37}});
    s->ExcludeClipRect(Rect{35, 35, 36, 36});
    s->FillRect(Rect{0, 0, 40, 40}, kDrwBlack);
    EXPECT_TRUE(s->RestoreState());
    EXPECT_FALSE(s->RestoreState());
    s->SaveState();
    s->SetClipRegion({});  // an empty region lets nothing through
    EXPECT_TRUE(s->GetClipBox().IsEmpty());
    s->FillRect(Rect{0, 0, 40, 40}, kDrwBlack);
    s->RestoreState();
    s->FillRect(Rect{15, 0, 16, 40}, kDrwBlack);
    s.reset();
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x) {
            bool inClip = x >= 10 && x < 20 && y >= 10 && y < 20;
            bool inRegion = (x >= 30 && x < 32 && y >= 30 && y < 32) ||
                            (x >= 35 && x < 37 && y >= 35 && y < 37 && !(x == 35 && y == 35));
            if (inRegion) {
                ASSERT_EQ(img.PixelAt(x, y), kDrwBlack) << x << "," << y;
            } else if (!inClip) {
                ASSERT_EQ(img.PixelAt(x, y), kDrwWhite) << x << "," << y;
            }
        }
    EXPECT_EQ(img.PixelAt(15, 12), kDrwBlack);
    EXPECT_EQ(img.PixelAt(35, 35), kDrwWhite);
}

TEST(DrawSurfaceTest, ThinLinesAndOutlinesSetExactPixels) {
    Image img(40, 30);
    auto s = platform::CreateImageSurface(img);
    s->SetPen(PenDesc::Solid(kDrwBlack));
    s->Line(5, 3, 25, 3);  // the end point stays empty
    s->SetBrush(BrushDesc::Null());
    s->Rectangle(Rect{5, 10, 15, 20});
    s->SetPen(PenDesc::Null());
    s->SetBrush(BrushDesc::Solid(kDrwRed));
    s->Rectangle(Rect{20, 10, 30, 20});  // without a pen the fill reaches right-1, bottom-1
    s.reset();
    for (int x = 0; x < 40; ++x) EXPECT_EQ(img.PixelAt(x, 3), x >= 5 && x < 25 ? kDrwBlack : kDrwWhite) << x;
    EXPECT_EQ(img.PixelAt(5, 2), kDrwWhite);
    EXPECT_EQ(img.PixelAt(5, 4), kDrwWhite);
    for (int y = 10; y < 20; ++y)
        for (int x = 5; x < 15; ++x) {
            bool edge = x == 5 || x == 14 || y == 10 || y == 19;
            ASSERT_EQ(img.PixelAt(x, y), edge ? kDrwBlack : kDrwWhite) << x << "," << y;
        }
    EXPECT_EQ(img.PixelAt(15, 15), kDrwWhite);
    EXPECT_EQ(img.PixelAt(20, 10), kDrwRed);
    EXPECT_EQ(img.PixelAt(29, 19), kDrwRed);
    EXPECT_EQ(img.PixelAt(30, 19), kDrwWhite);
    EXPECT_EQ(img.PixelAt(29, 20), kDrwWhite);
}

// Lines drawn in every direction keep their first point and leave out their last,
// so that two lines meeting end to end neither overlap nor leave a gap.
TEST(DrawSurfaceTest, ThinLinesKeepTheFirstPointInEveryDirection) {
    const Point from{20, 20};
    const Point ends[] = {{27, 20}, {13, 20}, {20, 27}, {20, 13}, {26, 24}, {14, 16}, {17, 26}, {23, 12}};
    for (Point to : ends) {
        Image img(40, 40);
        auto s = platform::CreateImageSurface(img);
        s->SetPen(PenDesc::Solid(kDrwBlack));
        s->MoveTo(from);
        s->LineTo(to);
        s.reset();
        EXPECT_EQ(img.PixelAt(from.x, from.y), kDrwBlack) << to.x << "," << to.y;
        EXPECT_EQ(img.PixelAt(to.x, to.y), kDrwWhite) << to.x << "," << to.y;
        const int length = std::max(std::abs(to.x - from.x), std::abs(to.y - from.y));
        EXPECT_EQ(DrwCountInk(img), length) << to.x << "," << to.y;
    }
}
TEST(DrawSurfaceTest, DashPatternsAndWidthsFollowThePen) {
    struct Case {
        PenDesc pen;
        std::string expected;  // pixels 0..15 of the row through the line's middle
    };
    PenDesc custom = PenDesc::Solid(kDrwBlack);
    custom.style = platform::PenStyle::Custom;
    custom.dashes = {4, 2, 1, 2};
    PenDesc dot = PenDesc::Solid(kDrwBlack);
    dot.style = platform::PenStyle::Dot;
    PenDesc wideFlat = PenDesc::Solid(kDrwBlack, 3);
    wideFlat.cap = platform::PenCap::Flat;
    const Case cases[] = {
        {custom, "####..#..####..#"},
        {dot, "###...###...###."},
        {wideFlat, "################"},
    };
    for (const Case& c : cases) {
        Image img(30, 10);
        auto s = platform::CreateImageSurface(img);
        s->SetPen(c.pen);
        s->Line(0, 5, 16, 5);
        s.reset();
        std::string row;
        for (int x = 0; x < 16; ++x) row += img.PixelAt(x, 5) == kDrwBlack ? '#' : '.';
        EXPECT_EQ(row, c.expected);
        if (c.pen.width == 3) {
            // Three pixels thick, centred on the line, and no cap beyond the end.
            EXPECT_EQ(img.PixelAt(8, 4), kDrwBlack);
            EXPECT_EQ(img.PixelAt(8, 6), kDrwBlack);
            EXPECT_EQ(img.PixelAt(8, 7), kDrwWhite);
            EXPECT_EQ(img.PixelAt(17, 5), kDrwWhite);
        }
    }
}

TEST(DrawSurfaceTest, PolygonsFillByModeAndRefuseShortArrays) {
    // Two squares turning the same way: a hole only under the alternate rule.
    const Point rings[] = {{0, 0}, {20, 0}, {20, 20}, {0, 20}, {5, 5}, {15, 5}, {15, 15}, {5, 15}};
    const int counts[] = {4, 4};
    for (auto mode : {platform::FillMode::Alternate, platform::FillMode::Winding}) {
        Image img(30, 30);
        auto s = platform::CreateImageSurface(img);
        s->SetPen(PenDesc::Null());
        s->SetBrush(BrushDesc::Solid(kDrwRed));
        s->SetFillMode(mode);
        s->PolyPolygon(rings, 8, counts, 2);
        s.reset();
        EXPECT_EQ(img.PixelAt(2, 2), kDrwRed);
        EXPECT_EQ(img.PixelAt(10, 10), mode == platform::FillMode::Winding ? kDrwRed : kDrwWhite);
    }
    Image img(30, 30);
    auto s = platform::CreateImageSurface(img);
    s->SetBrush(BrushDesc::Solid(kDrwRed));
    s->PolyPolygon(rings, 7, counts, 2);  // the counts ask for 8 points
    // Far-away coordinates are clamped, not wrapped round into view.
    s->SetMapMode(platform::MapMode::Anisotropic);
    s->SetWindowExt(Size{1, 1});
    s->SetViewportExt(Size{1000000, 1000000});
    s->SetPen(PenDesc::Solid(kDrwBlack));
    s->Line(5000, 5000, 6000, 6000);
    s.reset();
    EXPECT_EQ(DrwCountInk(img), 0);
}

TEST(DrawSurfaceTest, HatchesAndBackgroundMode) {
    for (auto mode : {platform::BackgroundMode::Opaque, platform::BackgroundMode::Transparent}) {
        Image img(16, 16, kDrwBlue);
        auto s = platform::CreateImageSurface(img);
        s->SetBackgroundMode(mode);
        s->SetBackgroundColor(kDrwWhite);
        s->FillRect(Rect{0, 0, 16, 16}, BrushDesc::Hatched(platform::HatchStyle::Horizontal, kDrwRed));
        s.reset();
        int redRows = 0;
        for (int y = 0; y < 16; ++y) {
            bool red = img.PixelAt(3, y) == kDrwRed;
            redRows += red;
            if (red) {
                for (int x = 0; x < 16; ++x) ASSERT_EQ(img.PixelAt(x, y), kDrwRed);
            } else {
                ASSERT_EQ(img.PixelAt(3, y), mode == platform::BackgroundMode::Opaque ? kDrwWhite : kDrwBlue);
            }
        }
        EXPECT_EQ(redRows, 2);  // one line every 8 pixels
    }
}

TEST(DrawSurfaceTest, SettersReturnThePreviousValueAndStateRestores) {
    Image img(8, 8);
    auto s = platform::CreateImageSurface(img);
    PenDesc red = PenDesc::Solid(kDrwRed, 2);
    PenDesc first = s->SetPen(red);
    EXPECT_EQ(s->SetPen(first), red);
    EXPECT_EQ(s->SetBrush(BrushDesc::Null()).style, platform::BrushStyle::Solid);
    EXPECT_EQ(s->SetTextColor(kDrwBlue), kDrwBlack);
    EXPECT_EQ(s->SetBackgroundColor(kDrwRed), kDrwWhite);
    EXPECT_EQ(s->SetBackgroundMode(platform::BackgroundMode::Transparent), platform::BackgroundMode::Opaque);
    EXPECT_EQ(s->SetTextAlign(platform::TextAlign::Baseline), platform::TextAlign::Left | platform::TextAlign::Top);
    EXPECT_EQ(s->SetFont(DrwFont(-30)), platform::DefaultFont());
    s->MoveTo(3, 4);
    s->SaveState();
    s->SetFont(DrwFont(-8));
    s->SetMapMode(platform::MapMode::LoMetric);
    s->SetTextColor(kDrwRed);
    s->LineTo(1, 1);
    EXPECT_EQ(s->GetCurrentPosition(), (Point{1, 1}));
    ASSERT_TRUE(s->RestoreState());
    EXPECT_EQ(s->GetFont(), DrwFont(-30));
    EXPECT_EQ(s->GetMapMode(), platform::MapMode::Pixels);
    EXPECT_EQ(s->GetTextColor(), kDrwBlue);
    EXPECT_EQ(s->GetCurrentPosition(), (Point{3, 4}));
}

TEST(DrawSurfaceTest, TextMeasurementIsTheSameOnEverySurface) {
    auto measure = [](DrawSurface& s, std::vector<Size>* out, platform::TextMetrics* m) {
        s.SetFont(DrwFont(-16));
        for (const char* t : {"", "R", "R1", "R1 = 10k", "R1 = 10k Ohm"}) out->push_back(s.GetTextExtent(t));
        *m = s.GetTextMetrics();
    };
    Image img(10, 10);
    std::vector<Size> onImage, onWindow, onPicture;
    platform::TextMetrics mImage, mWindow, mPicture;
    {
        auto s = platform::CreateImageSurface(img);
        measure(*s, &onImage, &mImage);
    }
    platform::RenderOffscreenWindow(Size{10, 10}, [&](DrawSurface& s) { measure(s, &onWindow, &mWindow); });
    platform::Picture pic;
    measure(pic.Begin(), &onPicture, &mPicture);
    pic.End();

    EXPECT_EQ(onImage[0].cx, 0);
    for (size_t i = 1; i < onImage.size(); ++i) EXPECT_GT(onImage[i].cx, onImage[i - 1].cx);
    EXPECT_EQ(onImage, onWindow);
    EXPECT_EQ(onImage, onPicture);
    EXPECT_EQ(mImage.height, mWindow.height);
    EXPECT_EQ(mImage.averageCharWidth, mPicture.averageCharWidth);
    EXPECT_EQ(mImage.height, mImage.ascent + mImage.descent);
    EXPECT_EQ(onImage[1].cy, mImage.height);
    // A character height of 16 leaves the internal leading on top of it.
    EXPECT_EQ(mImage.height - mImage.internalLeading, 16);
    EXPECT_GT(mImage.averageCharWidth, 0);
}

TEST(DrawSurfaceTest, FontHeightsAndMappedMeasurement) {
    Image img(10, 10);
    auto s = platform::CreateImageSurface(img);
    s->SetFont(DrwFont(24));  // a cell height
    EXPECT_NEAR(s->GetTextMetrics().height, 24, 1);
    s->SetFont(DrwFont(-16));
    Size px = s->GetTextExtent("Hello");
    // 0.1 mm units: 16 pixels of 96 per inch are 42.3 units; the extent scales alike.
    s->SetMapMode(platform::MapMode::LoMetric);
    s->SetFont(DrwFont(-42));
    Size lm = s->GetTextExtent("Hello");
    EXPECT_NEAR(lm.cx, px.cx * 254.0 / 96.0, 254.0 / 96.0 * 1.5);
    EXPECT_GT(s->LineHeight(), 42);
}

TEST(DrawSurfaceTest, TextAlignmentAndRotationPlaceTheInk) {
    struct Case {
        unsigned align;
        int escapement;
        // Expected side of the ink relative to the reference point (60, 60).
        bool leftOfX, rightOfX, aboveY, belowY;
    };
    using namespace platform::TextAlign;
    const Case cases[] = {
        {Left | Top, 0, false, true, false, true},
        {Right | Bottom, 0, true, false, true, false},
        {Center | Baseline, 0, true, true, true, false},
        // Reads upwards from the point; the letters stand to its left.
        {Left | Baseline, 900, true, false, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.align);
        Image img(120, 120);
        auto s = platform::CreateImageSurface(img);
        s->SetFont(DrwFont(-14, c.escapement));
        s->SetTextAlign(c.align);
        s->TextOut(Point{60, 60}, "Wide text");
        s.reset();
        Rect ink = DrwInkBounds(img, Rect{0, 0, 120, 120});
        ASSERT_FALSE(ink.IsEmpty());
        EXPECT_EQ(ink.left < 58, c.leftOfX);
        EXPECT_EQ(ink.right > 62, c.rightOfX);
        EXPECT_EQ(ink.top < 58, c.aboveY);
        EXPECT_EQ(ink.bottom > 62, c.belowY);
        if (c.escapement == 900) {
            EXPECT_GT(ink.Height(), ink.Width() * 2);
        }
    }
}

TEST(DrawSurfaceTest, TextBoxMeasuresLinesAndAligns) {
    Image img(100, 60);
    auto s = platform::CreateImageSurface(img);
    s->SetFont(DrwFont(-12));
    int line = s->GetTextMetrics().height;
    Rect r{10, 10, 10, 10};
    int h = s->DrawTextBox("first\r\nsecond line", r, platform::TextBox::CalcRect);
    EXPECT_EQ(h, r.Height());
    EXPECT_NEAR(h, 2 * line, 2);
    EXPECT_NEAR(r.Width(), s->GetTextExtent("second line").cx, 1);
    EXPECT_EQ(DrwCountInk(img), 0);  // measuring draws nothing

    Rect box{0, 0, 100, 60};
    using namespace platform::TextBox;
    s->DrawTextBox("mid", box, Center | VCenter | SingleLine);
    s.reset();
    Rect ink = DrwInkBounds(img, Rect{0, 0, 100, 60});
    ASSERT_FALSE(ink.IsEmpty());
    EXPECT_NEAR((ink.left + ink.right) / 2.0, 50, 3);
    EXPECT_NEAR((ink.top + ink.bottom) / 2.0, 30, 4);
}

TEST(DrawSurfaceTest, ArcsRunCounterClockwiseFromStartToEnd) {
    Image img(60, 60);
    auto s = platform::CreateImageSurface(img);
    // From 3 o'clock to 12 o'clock: the upper right quarter only.
    s->Arc(Rect{10, 10, 51, 51}, Point{60, 30}, Point{30, 0});
    s.reset();
    Rect ink = DrwInkBounds(img, Rect{0, 0, 60, 60});
    ASSERT_FALSE(ink.IsEmpty());
    EXPECT_GE(ink.left, 29);
    EXPECT_LE(ink.bottom, 32);
    EXPECT_GE(ink.right, 49);
    EXPECT_LE(ink.top, 11);
}

TEST(DrawSurfaceTest, MonochromeImagesDrawBlackAndWhite) {
    Image img(20, 20, kDrwWhite, true);
    auto s = platform::CreateImageSurface(img);
    EXPECT_TRUE(s->IsMonochrome());
    s->FillRect(Rect{0, 0, 10, 20}, kDrwRed);
    s->FillRect(Rect{10, 0, 20, 20}, MakeColor(250, 250, 200));
    Color c = 0;
    EXPECT_TRUE(s->GetPixel(Point{2, 2}, &c));
    EXPECT_EQ(c, kDrwBlack);
    s.reset();
    EXPECT_EQ(img.PixelAt(15, 5), kDrwWhite);
}

TEST(DrawSurfaceTest, ImagesBlitScaledAndPixelsReadBackOnlyFromImages) {
    Image src(2, 2, kDrwRed);
    src.SetPixel(1, 1, kDrwBlue);
    Image dst(20, 20);
    auto s = platform::CreateImageSurface(dst);
    s->DrawImage(Rect{0, 0, 10, 10}, src);
    s->DrawImage(Rect{10, 10, 12, 12}, src, Rect{1, 1, 2, 2});
    Color c = 0;
    EXPECT_TRUE(s->GetPixel(Point{7, 7}, &c));
    EXPECT_EQ(c, kDrwBlue);
    EXPECT_FALSE(s->GetPixel(Point{25, 0}, &c));
    s.reset();
    EXPECT_EQ(dst.PixelAt(2, 2), kDrwRed);
    EXPECT_EQ(dst.PixelAt(11, 11), kDrwBlue);
    EXPECT_EQ(dst.PixelAt(12, 12), kDrwWhite);

    platform::Picture pic;
    EXPECT_FALSE(pic.Begin(Size{4, 4}).GetPixel(Point{0, 0}, &c));
    pic.End();
}

TEST(DrawSurfaceTest, OverlayMarksToggleWithoutTouchingTheContent) {
    platform::OverlayLayer overlay;
    std::vector<Rect> dirty;
    overlay.SetChangedCallback([&](const Rect& r) { dirty.push_back(r); });
    Rect band{10, 10, 30, 25};
    EXPECT_TRUE(overlay.ToggleRect(band));
    EXPECT_TRUE(overlay.ToggleLine(Point{0, 0}, Point{5, 5}));
    EXPECT_FALSE(overlay.ToggleRect(band));  // the second draw removes it
    EXPECT_FALSE(overlay.ToggleLine(Point{0, 0}, Point{5, 5}));
    EXPECT_TRUE(overlay.IsEmpty());
    ASSERT_EQ(dirty.size(), 4u);
    EXPECT_TRUE(dirty[0].left <= band.left && dirty[0].right >= band.right);

    // Composited over content, a band inverts what lies under it; once cleared
    // the same compositing gives back the content exactly.
    auto compose = [&](Image& out) {
        out = Image(40, 40);
        auto s = platform::CreateImageSurface(out);
        s->FillRect(Rect{0, 0, 20, 40}, kDrwBlack);
        overlay.Paint(*s);
    };
    Image content, banded, cleared;
    compose(content);
    overlay.ToggleRect(band);
    compose(banded);
    EXPECT_EQ(banded.PixelAt(10, 15), kDrwWhite);  // over black
    EXPECT_EQ(banded.PixelAt(29, 15), kDrwBlack);  // over white
    EXPECT_EQ(banded.PixelAt(20, 17), kDrwWhite);  // inside stays
    overlay.Clear();
    EXPECT_TRUE(overlay.IsEmpty());
    compose(cleared);
    EXPECT_EQ(cleared.CountDifferences(content), 0);
}

TEST(DrawSurfaceTest, PicturesSaveAndLoad) {
    twtest::TempDir dir("drw_pic");
    ASSERT_TRUE(dir.Valid());
    std::string path = dir.File("scene.pic");
    platform::Picture pic;
    EXPECT_FALSE(pic.Save(path));  // nothing recorded
    DrwPaintScene(pic.Begin(Size{200, 160}));
    pic.End();
    ASSERT_TRUE(pic.Save(path));
    platform::Picture loaded;
    ASSERT_TRUE(loaded.Load(path));
    Image a(200, 160), b(200, 160);
    {
        auto sa = platform::CreateImageSurface(a);
        pic.Play(*sa);
        auto sb = platform::CreateImageSurface(b);
        loaded.Play(*sb);
    }
    EXPECT_EQ(a.CountDifferences(b), 0);
    EXPECT_FALSE(loaded.Load(path + ".missing"));
}

}  // namespace
