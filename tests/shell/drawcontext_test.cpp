#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "platform/draw.h"
#include "platform/image.h"
#include "platform/print.h"
#include "shell/colortable.h"
#include "shell/drawcontext.h"
#include "shell/fonts.h"
#include "tests/support/tempdir.h"

using platform::Color;
using platform::Image;
using platform::MakeColor;
using platform::Point;
using platform::Rect;

namespace {

constexpr Color dct_kWhite = MakeColor(255, 255, 255);
constexpr Color dct_kBlack = MakeColor(0, 0, 0);

class DrawContextTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!GetProgramPalette()) CreateProgramPalette();
        InitColorTable();
        SetPictureClipRect(Rect{});
    }
    void TearDown() override { SetPictureClipRect(Rect{}); }
};

TEST_F(DrawContextTest, ConstructionReadsWhatTheDeviceIs) {
    CDrawContext none(nullptr);
    EXPECT_EQ(none.technology, 0);
    EXPECT_EQ(none.monochrome, 0);
    EXPECT_EQ(none.paletteDevice, 0);

    Image colour(4, 4);
    Image mono(4, 4, dct_kWhite, true);
    auto colourSurface = platform::CreateImageSurface(colour);
    auto monoSurface = platform::CreateImageSurface(mono);
    platform::Picture picture;
    struct Case {
        platform::DrawSurface* surface;
        int technology;
        int monochrome;
    };
    const Case cases[] = {
        {colourSurface.get(), platform::kTechRasterDisplay, 0},
        {monoSurface.get(), platform::kTechRasterDisplay, 1},
        {&picture.Begin(platform::Size{10, 10}), platform::kTechPicture, 0},
    };
    for (const Case& c : cases) {
        CDrawContext dc(c.surface);
        EXPECT_EQ(dc.technology, c.technology);
        EXPECT_EQ(dc.monochrome, c.monochrome);
        EXPECT_EQ(dc.paletteDevice, 0);
    }
    picture.End();
}

TEST_F(DrawContextTest, ClipLineToDeviceCutsAtTheLimits) {
    struct Case {
        const char* what;
        Point a, b;
        bool rectangle;
        int result;
        Point wantA, wantB;
    };
    const Case cases[] = {
        {"left end cut", {-100, 50}, {100, 50}, false, 1, {0, 50}, {100, 50}},
        {"order kept", {100, 50}, {-100, 50}, false, 1, {100, 50}, {0, 50}},
        {"wholly left", {-100, 5}, {-1, 80}, false, 0, {-100, 5}, {-1, 80}},
        {"wholly above", {5, -7}, {90, -1}, false, 0, {5, -7}, {90, -1}},
        {"diagonal through the origin", {-10, -10}, {10, 10}, false, 1, {0, 0}, {10, 10}},
        {"y follows the cut", {-10, 0}, {10, 20}, false, 1, {0, 10}, {10, 20}},
        {"beside the corner", {-10, 5}, {5, -10}, false, 0, {-10, 5}, {5, -10}},
        {"far right end", {0, 0}, {65514, 10}, false, 1, {0, 0}, {32757, 5}},
        {"rectangle clamps only", {-5, -5}, {40000, 10}, true, 1, {0, 0}, {32757, 10}},
    };
    Image image(4, 4);
    auto surface = platform::CreateImageSurface(image);
    CDrawContext dc(surface.get());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Point a = c.a, b = c.b;
        EXPECT_EQ(ClipLineToDevice(dc, a, b, c.rectangle, true), c.result);
        EXPECT_EQ(a, c.wantA);
        EXPECT_EQ(b, c.wantB);
        // Unforced, clipping is off on this system.
        a = c.a;
        b = c.b;
        EXPECT_EQ(ClipLineToDevice(dc, a, b, c.rectangle, false), 1);
        EXPECT_EQ(a, c.a);
    }
}

TEST_F(DrawContextTest, PictureClipRectClipsUntilReset) {
    platform::Picture picture;
    CDrawContext dc(&picture.Begin(platform::Size{100, 100}));
    SetPictureClipRect(Rect{10, 10, 50, 50});
    Point a{0, 20}, b{100, 20};
    EXPECT_EQ(ClipLineToDevice(dc, a, b, false, false), 1);
    EXPECT_EQ(a, (Point{10, 20}));
    EXPECT_EQ(b, (Point{50, 20}));
    a = {0, 60};
    b = {100, 60};
    EXPECT_EQ(ClipLineToDevice(dc, a, b, false, false), 0);

    dc.ResetClip();
    EXPECT_TRUE(GetPictureClipRect().IsEmpty());
    EXPECT_EQ(ClipLineToDevice(dc, a, b, false, false), 1);
    picture.End();
}

TEST_F(DrawContextTest, BuildDashPatternScalesWithWidthAndCaps) {
    struct Case {
        int pattern;
        unsigned flags;
        int width;
        std::vector<int> lengths;
    };
    const Case cases[] = {
        {0, 0, 3, {}},
        {1, 0, 2, {6, 2}},
        {1, 1, 2, {4, 4}},
        {2, 0, 3, {3, 3}},
        {2, 1, 3, {1, 6}},
        {3, 0, 2, {6, 2, 2, 2}},
        {4, 0, 1, {3, 1, 1, 1, 1, 1}},
        {5, 0, 1, {3, 1, 1, 1, 1, 1, 1, 1}},
        {6, 0, 1, {18, 6}},
        {7, 0, 1, {3, 3}},
        {8, 0, 2, {36, 6, 6, 6}},
        {9, 1, 1, {12, 6, 3, 6, 3, 6}},
        {12, 0, 1, {18, 3, 3, 3, 3, 3, 3, 3}},
        {1, 0, 0, {3, 1}},  // a hairline counts as one unit wide
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pattern);
        int lengths[kMaxDashLengths] = {};
        int n = BuildDashPattern(lengths, c.flags, c.width, c.pattern);
        EXPECT_EQ(std::vector<int>(lengths, lengths + n), c.lengths);
    }
}

TEST_F(DrawContextTest, StyledPenTakesCapsFromTheFlags) {
    LinePath path(nullptr);
    platform::PenDesc pen;
    MakeStyledPenFromIndex(pen, path, 0, 2, 3, 9);
    EXPECT_EQ(pen.style, platform::PenStyle::Solid);  // the dashes are the path's
    EXPECT_EQ(pen.width, 2);
    EXPECT_EQ(pen.color, MakeColor(255, 0, 0));
    EXPECT_EQ(pen.cap, platform::PenCap::Flat);
    EXPECT_EQ(pen.join, platform::PenJoin::Miter);
    EXPECT_EQ(path.lengths, (std::vector<int>{6, 2, 2, 2}));
    MakeStyledPen(pen, path, 1, 2, 0, dct_kBlack);
    EXPECT_EQ(pen.cap, platform::PenCap::Round);
    EXPECT_EQ(pen.join, platform::PenJoin::Round);
    EXPECT_EQ(path.count, 0);
}

// Whether each pixel along a path is inked, in path order.
std::vector<bool> dct_Trace(const Image& image, const std::vector<Point>& pixels) {
    std::vector<bool> inked;
    for (Point p : pixels) inked.push_back(image.PixelAt(p.x, p.y) != dct_kWhite);
    return inked;
}

TEST_F(DrawContextTest, DashedPolylineKeepsItsPhaseAtTheCorners) {
    Image image(30, 30);
    auto surface = platform::CreateImageSurface(image);
    CDrawContext dc(surface.get());
    dc.SelectPen(0);
    LinePath path(&dc);
    const int pattern[] = {3, 2};
    path.SetPattern(pattern, 2);
    path.MoveTo(2, 5);
    path.LineTo(12, 5);
    path.LineTo(12, 17);
    path.LineTo(24, 17);

    // Every pixel of the path but its end, in order of distance from the start.
    std::vector<Point> pixels;
    for (int x = 2; x < 12; ++x) pixels.push_back({x, 5});
    for (int y = 5; y < 17; ++y) pixels.push_back({12, y});
    for (int x = 12; x < 24; ++x) pixels.push_back({x, 17});
    std::vector<bool> want;
    for (size_t d = 0; d < pixels.size(); ++d) want.push_back(d % 5 < 3);
    EXPECT_EQ(dct_Trace(image, pixels), want);

    // Starting again restarts the pattern.
    path.MoveTo(2, 25);
    path.LineTo(8, 25);
    EXPECT_EQ(dct_Trace(image, {{2, 25}, {3, 25}, {4, 25}, {5, 25}, {6, 25}, {7, 25}}),
              (std::vector<bool>{true, true, true, false, false, true}));
}

TEST_F(DrawContextTest, ColoursPensAndBrushesComeFromTheTable) {
    Image image(20, 20);
    auto surface = platform::CreateImageSurface(image);
    CDrawContext dc(surface.get());
    dc.SelectPen(0);
    platform::BrushDesc before = dc.SelectBrush(12);
    EXPECT_EQ(dc.SelectBrushHandle(before), platform::BrushDesc::Solid(MakeColor(0, 0, 255)));
    dc.SelectBrush(12);
    dc.DrawLineOrRect(2, 2, 12, 12, true);
    EXPECT_EQ(image.PixelAt(2, 2), dct_kBlack);
    EXPECT_EQ(image.PixelAt(6, 6), MakeColor(0, 0, 255));
    EXPECT_EQ(image.PixelAt(12, 12), dct_kWhite);

    dc.SelectPen(9);
    dc.DrawLineOrRect(0, 15, 10, 15, false);
    EXPECT_EQ(image.PixelAt(0, 15), MakeColor(255, 0, 0));
    EXPECT_EQ(image.PixelAt(10, 15), dct_kWhite);  // lines leave out their end

    dc.SetTextColorIndex(9);
    EXPECT_EQ(dc.SetTextColorIndex(0), MakeColor(255, 0, 0));
    dc.SetBkColorIndex(16);
    EXPECT_EQ(surface->GetBackgroundColor(), GetDefaultColor(16));
    EXPECT_EQ(dc.SelectPenHandle(GetNullPen()), platform::PenDesc::Solid(MakeColor(255, 0, 0)));
}

TEST_F(DrawContextTest, NullContextDrawsAndMeasuresNothing) {
    CDrawContext dc(nullptr);
    dc.DrawLineOrRect(0, 0, 10, 10, true);
    Rect r{0, 0, 50, 20};
    EXPECT_EQ(dc.DrawTextAligned("text", r, 0), 0);
    EXPECT_EQ(dc.GetTextWidth("text"), 0);
    EXPECT_EQ(dc.GetLineHeight(), 0);
    EXPECT_EQ(dc.SelectPen(0).style, platform::PenStyle::Null);
    LinePath path(&dc);
    path.MoveTo(0, 0);
    path.LineTo(5, 5);
    EXPECT_EQ(path.x, 5);
}

// The bounds of the non-white pixels of an image.
Rect dct_InkBounds(const Image& image) {
    Rect ink{image.Width(), image.Height(), 0, 0};
    for (int y = 0; y < image.Height(); ++y)
        for (int x = 0; x < image.Width(); ++x)
            if (image.PixelAt(x, y) != dct_kWhite) UnionRectWithRect(ink, Rect{x, y, x + 1, y + 1});
    return ink;
}

TEST_F(DrawContextTest, PicturesPlaceAlignedTextThemselves) {
    const Rect box{0, 0, 120, 40};
    struct Case {
        unsigned flags;
        bool right;  // else centred horizontally
    };
    const Case cases[] = {
        {platform::TextBox::Center | platform::TextBox::VCenter | platform::TextBox::SingleLine, false},
        {platform::TextBox::Right | platform::TextBox::VCenter | platform::TextBox::SingleLine, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.flags);
        platform::Picture picture;
        CDrawContext dc(&picture.Begin(platform::Size{box.right, box.bottom}));
        dc.surface->SetBackgroundMode(platform::BackgroundMode::Opaque);
        Rect r = box;
        EXPECT_GT(dc.DrawTextAligned("WWW", r, c.flags), 0);
        EXPECT_EQ(dc.surface->GetBackgroundMode(), platform::BackgroundMode::Opaque);
        Rect measured = box;
        dc.DrawTextAligned("WWW", measured, c.flags | platform::TextBox::CalcRect);
        EXPECT_LT(measured.right, box.right);
        picture.End();

        Image image(box.right, box.bottom);
        auto surface = platform::CreateImageSurface(image);
        picture.Play(*surface);
        Rect ink = dct_InkBounds(image);
        ASSERT_FALSE(ink.IsEmpty());
        EXPECT_NEAR(ink.top + ink.bottom, box.bottom, 8);  // centred vertically, within the cell's leading
        if (c.right)
            EXPECT_NEAR(ink.right, box.right, 3);
        else
            EXPECT_NEAR(ink.left + ink.right, box.right, 3);
    }
}

TEST_F(DrawContextTest, UnionRectWithRectCoversBothCorners) {
    struct Case {
        Rect r, other, want;
    };
    const Case cases[] = {
        {{0, 0, 10, 10}, {5, 5, 20, 30}, {0, 0, 20, 30}},
        {{0, 0, 10, 10}, {-5, -6, 2, 3}, {-5, -6, 10, 10}},
        {{0, 0, 10, 10}, {40, 30, 20, 15}, {0, 0, 40, 30}},  // corners in either order
    };
    for (const Case& c : cases) {
        Rect r = c.r;
        UnionRectWithRect(r, c.other);
        EXPECT_EQ(r, c.want);
    }
}

// One picture drawn through the drawing context: colour table rows, a dashed
// polyline, a font record and aligned text.
void dct_PaintScene(platform::DrawSurface& surface) {
    CDrawContext dc(&surface);
    surface.FillRect(Rect{0, 0, 160, 100}, dc.GetColorValue(kColorWhite));
    dc.SelectPen(kColorBlack);
    dc.SelectBrush(20);
    dc.DrawLineOrRect(10, 10, 70, 50, true);

    LinePath path(&dc);
    platform::PenDesc pen;
    MakeStyledPenFromIndex(pen, path, 0, 2, 3, 9);
    platform::PenDesc old = dc.SelectPenHandle(pen);
    path.MoveTo(80, 10);
    path.LineTo(150, 10);
    path.LineTo(150, 60);
    path.LineTo(90, 90);
    dc.SelectPenHandle(old);

    FontSpec spec;
    spec.height = -14;
    spec.face = static_cast<uint16_t>(FindOrAddFontFace("DejaVu Sans"));
    spec.style = kFontBold;
    FontSelector fonts;
    fonts.Select(dc, spec);
    dc.SetTextColorIndex(12);
    surface.SetBackgroundMode(platform::BackgroundMode::Transparent);
    Rect box{10, 60, 140, 95};
    dc.DrawTextAligned("Tarnwick", box, platform::TextBox::Center | platform::TextBox::SingleLine);
    fonts.Release(dc);
}

TEST_F(DrawContextTest, SameSceneOnImageWindowAndPdfPage) {
    Image direct(160, 100);
    auto surface = platform::CreateImageSurface(direct);
    dct_PaintScene(*surface);
    EXPECT_EQ(direct.PixelAt(40, 30), GetDefaultColor(20));
    EXPECT_EQ(direct.PixelAt(81, 10), MakeColor(255, 0, 0));

    Image window = platform::RenderOffscreenWindow(platform::Size{160, 100}, dct_PaintScene);
    ASSERT_FALSE(window.IsNull());
    EXPECT_EQ(window.CountDifferences(direct), 0);

    twtest::TempDir dir("dctx");
    ASSERT_TRUE(dir.Valid());
    std::string path = dir.File("scene.pdf");
    platform::PdfDocument pdf;
    platform::PageSetup setup;
    setup.pixelsPerInch = 96;
    ASSERT_TRUE(pdf.Open(path, setup)) << pdf.ErrorText();
    CDrawContext page(&pdf.Page());
    EXPECT_EQ(page.technology, platform::kTechRasterPrinter);
    dct_PaintScene(pdf.Page());
    ASSERT_TRUE(pdf.End()) << pdf.ErrorText();
    std::ifstream in(path, std::ios::binary);
    std::string head(4, '\0');
    in.read(head.data(), 4);
    EXPECT_EQ(head, "%PDF");
    in.close();
}

}  // namespace
