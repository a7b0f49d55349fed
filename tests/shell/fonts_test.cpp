#include <gtest/gtest.h>

#include <string>

#include "core/fontspec.h"
#include "platform/app.h"
#include "platform/commondlg.h"
#include "platform/dialog.h"
#include "platform/draw.h"
#include "platform/image.h"
#include "shell/drawcontext.h"
#include "shell/fonts.h"

using platform::FontDesc;
using platform::Rect;

namespace {

// Keeps the process-wide default height as each test found it.
class FontsTest : public ::testing::Test {
protected:
    void SetUp() override { savedDefault_ = DefaultFontHeight(); }
    void TearDown() override { SetDefaultFontHeight(savedDefault_); }

    static FontSpec Spec(int height, const char* face, uint8_t style, uint8_t color = 0) {
        FontSpec s;
        s.height = static_cast<int16_t>(height);
        s.face = static_cast<uint16_t>(FindOrAddFontFace(face));
        s.style = style;
        s.color = color;
        return s;
    }

    int savedDefault_ = 0;
};

TEST_F(FontsTest, RecordToFontFollowsTheStyleBits) {
    SetDefaultFontHeight(-15);
    struct Case {
        uint8_t style;
        int weight;
        bool italic, underline, strikeout;
        int escapement;
    };
    const Case cases[] = {
        {0, 400, false, false, false, 0},
        {kFontBold, 700, false, false, false, 0},
        {kFontItalic | kFontUnderline, 400, true, true, false, 0},
        {kFontStrikeout, 400, false, false, true, 0},
        {kFontRotate90, 400, false, false, false, 900},
        {kFontRotate270, 400, false, false, false, 2700},
        {kFontRotate180, 400, false, false, false, 1800},
        {kFontRotate90 | kFontRotate270, 400, false, false, false, 2700},  // the last set bit wins
        {kFontRotate90 | kFontRotate180, 400, false, false, false, 1800},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.style));
        FontDesc font;
        FontSpecToLogFont(Spec(-20, "Courier New", c.style), font);
        EXPECT_EQ(font.weight, c.weight);
        EXPECT_EQ(font.italic, c.italic);
        EXPECT_EQ(font.underline, c.underline);
        EXPECT_EQ(font.strikeout, c.strikeout);
        EXPECT_EQ(font.escapement, c.escapement);
        EXPECT_EQ(font.height, -20);
        EXPECT_EQ(font.face, "Courier New");
    }
}

TEST_F(FontsTest, HeightZeroMeansTheDefaultOrTwelve) {
    FontDesc font;
    SetDefaultFontHeight(-15);
    FontSpecToLogFont(Spec(0, "Arial", 0), font);
    EXPECT_EQ(font.height, -15);
    SetDefaultFontHeight(0);
    FontSpecToLogFont(Spec(0, "Arial", 0), font);
    EXPECT_EQ(font.height, 12);

    AttachFontFromSpec(font, Spec(0, "Arial", 0), kFontFixedPitch);
    EXPECT_TRUE(font.fixedPitch);
    EXPECT_FALSE(CreateFontFromSpec(Spec(0, "Arial", 0)).fixedPitch);
}

TEST_F(FontsTest, FontToRecordMapsBackWhatTheRecordCanHold) {
    struct Case {
        int weight;
        bool italic, underline, strikeout;
        int escapement;
        uint8_t style;
    };
    const Case cases[] = {
        {700, false, false, false, 0, kFontBold},
        {600, false, false, false, 0, 0},  // bold only at exactly 700
        {800, false, false, false, 0, 0},
        {400, true, true, true, 0, kFontItalic | kFontUnderline | kFontStrikeout},
        {400, false, false, false, 900, kFontRotate90},
        {400, false, false, false, 2700, kFontRotate270},
        {400, false, false, false, 1800, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.weight * 10000 + c.escapement);
        FontDesc font;
        font.face = "Times New Roman";
        font.height = -17;
        font.weight = c.weight;
        font.italic = c.italic;
        font.underline = c.underline;
        font.strikeout = c.strikeout;
        font.escapement = c.escapement;
        FontSpec spec = Spec(5, "Arial", 0xff, 9);
        LogFontToFontSpec(spec, font);
        EXPECT_EQ(spec.style, c.style);
        EXPECT_EQ(spec.height, -17);
        EXPECT_STREQ(FontFaceName(spec.face), "Times New Roman");
        EXPECT_EQ(spec.color, 9);  // untouched
    }
}

TEST_F(FontsTest, HeightsBetweenPointsAndLogicalUnits) {
    int dpi = platform::Application::Instance()->Metrics().logicalDpiY;
    if (dpi != 96) GTEST_SKIP() << "display at " << dpi << " pixels per inch";
    struct Case {
        int height, points;
    };
    const Case cases[] = {{12, 12}, {-16, 12}, {-15, 11}, {-13, 10}, {0, 0}};
    for (const Case& c : cases) EXPECT_EQ(LogicalHeightToPoints(c.height), c.points) << c.height;
    EXPECT_EQ(PointsToLogicalHeight(12), -16);
    EXPECT_EQ(PointsToLogicalHeight(8), -11);  // 10.67 rounds to 11
    EXPECT_EQ(PointsToLogicalHeight(-8), 11);
    EXPECT_GT(SystemFontHeight(), 0);
}

TEST_F(FontsTest, DeviceFontsTakeTenthsOfAPoint) {
    struct Case {
        int ppi, height;
    };
    const Case cases[] = {{96, -16}, {192, -32}, {600, -100}};
    for (const Case& c : cases) {
        platform::Image image(4, 4);
        image.SetPixelsPerInch(c.ppi);
        auto surface = platform::CreateImageSurface(image);
        CDrawContext dc(surface.get());
        FontDesc font;
        CreateFontForDevice(font, Spec(120, "Arial", kFontBold), dc);
        EXPECT_EQ(font.height, c.height) << c.ppi;
        EXPECT_EQ(font.weight, 700);
    }
}

TEST_F(FontsTest, SelectorKeepsAFontUntilTheRecordChanges) {
    platform::Image image(4, 4);
    auto surface = platform::CreateImageSurface(image);
    CDrawContext dc(surface.get());
    FontDesc original = surface->GetFont();
    FontSelector selector;
    FontSpec a = Spec(-14, "Arial", 0, 1);
    FontSpec b = Spec(-14, "Arial", kFontItalic);

    selector.Select(dc, a);
    EXPECT_EQ(GetCurrentFontObject(dc), CreateFontFromSpec(a));
    FontDesc other;
    other.face = "Other";
    surface->SetFont(other);
    FontSpec aRed = a;
    aRed.color = 9;
    selector.Select(dc, aRed);  // same height, face and style: nothing happens
    EXPECT_EQ(surface->GetFont(), other);
    selector.Select(dc, b);
    EXPECT_EQ(surface->GetFont(), CreateFontFromSpec(b));
    selector.Release(dc);
    EXPECT_EQ(surface->GetFont(), original);
    EXPECT_FALSE(selector.IsActive());
}

TEST_F(FontsTest, TextBlocksMeasureTheirLines) {
    platform::Image image(4, 4);
    auto surface = platform::CreateImageSurface(image);
    CDrawContext dc(surface.get());
    surface->SetFont(CreateFontFromSpec(Spec(-16, "Arial", 0)));
    platform::TextMetrics m;
    ASSERT_TRUE(dc.GetTextMetrics(m));
    const int h = m.height;
    ASSERT_GT(h, 0);
    EXPECT_EQ(dc.GetLineHeight(), m.height + m.externalLeading);
    const int one = dc.GetTextWidth("one");
    const int three = dc.GetTextWidth("three");
    ASSERT_GT(three, one);

    struct Case {
        const char* text;
        int lineHeight;
        int lines;
        int width;
    };
    const Case cases[] = {
        {"three", 0, 1, three},
        {"one\r\nthree", 0, 2, three + 5},  // a CR LF pair is one break
        {"three\none", 0, 2, three + 5},
        {"one\rthree\rone", 0, 3, three + 5},
        {"one\r\n\r\nthree", 0, 3, three + 5},
        {"one\r\nthree", 30, 2, three + 5},
        {"", 0, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        Rect r{10, 20, 0, 0};
        int height = dc.MeasureTextBlock(c.text, r, c.lineHeight);
        int step = c.lineHeight ? c.lineHeight : h;
        EXPECT_EQ(height, step * c.lines);
        EXPECT_EQ(r, (Rect{10, 20, 10 + c.width, 20 + step * c.lines}));
    }
    Rect r{10, 20, 30, 40};
    EXPECT_EQ(dc.MeasureTextBlock(nullptr, r, 0), 0);
    EXPECT_EQ(r, Rect{});
    EXPECT_EQ(dc.GetTextWidth(nullptr), 0);
    EXPECT_EQ(dc.GetTextWidth(""), 0);
}

TEST_F(FontsTest, RotatedTextRectanglesTurnAboutTheCorner) {
    platform::Image image(4, 4);
    auto surface = platform::CreateImageSurface(image);
    CDrawContext dc(surface.get());
    surface->SetFont(CreateFontFromSpec(Spec(-16, "Arial", 0)));
    const int a = [&] {
        platform::TextMetrics m;
        dc.GetTextMetrics(m);
        return m.height;
    }();
    const int w = dc.GetTextWidth("Label");
    const int x = 100, y = 50;
    struct Case {
        int style;
        Rect want;
    };
    const Case cases[] = {
        {0, {x, y - a, x + w + 1, y + 1}},          {kFontBold, {x, y - a, x + w + 1, y + 1}},
        {kFontRotate180, {x - 1, y - a, x - w, y}}, {kFontRotate90, {x, y, x + a, y - w - 1}},
        {kFontRotate270, {x, y, x - a, y + w + 1}}, {kFontRotate90 | kFontRotate180, {x - 1, y - a, x - w, y}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.style);
        Rect r{x, y, 0, 0};
        dc.GetRotatedTextRect("Label", c.style, r);
        EXPECT_EQ(r, c.want);
    }
    Rect two{x, y, 0, 0};
    dc.GetRotatedTextRect("Label\r\nLabel", 0, two);
    EXPECT_EQ(two, (Rect{x, y - 2 * a, x + w + 5 + 1, y + 1}));
}

TEST_F(FontsTest, FontDialogChangesFaceSizeAndStyleOnly) {
    FontSpec spec = Spec(-16, "Arial", kFontRotate90 | kFontItalic, 9);
    FontSpec before = spec;
    {
        platform::ScopedModalAnswerer answer([](platform::ModalRequest&) { return platform::dlgid::Cancel; });
        EXPECT_EQ(ShowFontDialog(nullptr, spec, 0), 0);
        EXPECT_FALSE(spec.Differs(before));
    }
    FontDesc offered;
    platform::ScopedModalAnswerer answer([&](platform::ModalRequest& request) {
        EXPECT_EQ(request.Kind(), platform::ModalKind::FontChoice);
        auto& dialog = static_cast<platform::FontDialog&>(request);
        offered = dialog.GetFont();
        FontDesc chosen = offered;
        chosen.face = "Courier New";
        chosen.height = -21;
        chosen.weight = 700;
        chosen.italic = false;
        chosen.escapement = 0;
        dialog.SetFont(chosen);
        return platform::dlgid::Ok;
    });
    EXPECT_EQ(ShowFontDialog(nullptr, spec, 0), 1);
    EXPECT_EQ(offered, CreateFontFromSpec(before));
    EXPECT_EQ(spec.height, -21);
    EXPECT_STREQ(FontFaceName(spec.face), "Courier New");
    EXPECT_EQ(spec.style, kFontBold | kFontRotate90);
    EXPECT_EQ(spec.color, 9);
}

}  // namespace
