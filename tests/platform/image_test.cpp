// Images: creation, pixels, copies and files.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/image.h"
#include "tests/support/tempdir.h"

namespace {

using platform::Image;
using platform::MakeColor;

class ImageFileTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.Valid()); }
    std::string File(const std::string& name) const { return dir_.File(name); }
    twtest::TempDir dir_{"img_test"};
};

TEST(ImageTest, CreateFillAndPixels) {
    Image img(4, 3, MakeColor(1, 2, 3));
    ASSERT_FALSE(img.IsNull());
    EXPECT_EQ(img.GetSize(), (platform::Size{4, 3}));
    EXPECT_EQ(img.PixelsPerInch(), 96);
    EXPECT_EQ(img.PixelAt(3, 2), MakeColor(1, 2, 3));
    EXPECT_TRUE(img.SetPixel(0, 0, MakeColor(200, 100, 50)));
    EXPECT_EQ(img.PixelAt(0, 0), MakeColor(200, 100, 50));
    platform::Color c = 7;
    EXPECT_FALSE(img.GetPixel(4, 0, &c));
    EXPECT_FALSE(img.GetPixel(0, -1, &c));
    EXPECT_FALSE(img.SetPixel(-1, 0, 0));
    EXPECT_EQ(c, 7u);
    img.Fill(MakeColor(9, 9, 9));
    EXPECT_EQ(img.PixelAt(0, 0), MakeColor(9, 9, 9));

    // Sizes below one pixel give a null image instead of a crash later.
    for (auto [w, h] : {std::pair{0, 5}, std::pair{5, -1}, std::pair{-3, -3}}) {
        Image bad;
        EXPECT_FALSE(bad.Create(w, h));
        EXPECT_TRUE(bad.IsNull());
        EXPECT_EQ(bad.Width(), 0);
        EXPECT_FALSE(bad.SetPixel(0, 0, 0));
    }
}

TEST(ImageTest, CopiesAreIndependentAndCropsClip) {
    Image a(10, 10, MakeColor(255, 255, 255));
    Image b = a;
    b.SetPixel(5, 5, 0);
    EXPECT_EQ(a.PixelAt(5, 5), MakeColor(255, 255, 255));
    EXPECT_EQ(a.CountDifferences(b), 1);
    EXPECT_FALSE(a.SameContent(b));

    Image part = b.Copy(platform::Rect{4, 4, 20, 20});  // clipped to the image
    EXPECT_EQ(part.GetSize(), (platform::Size{6, 6}));
    EXPECT_EQ(part.PixelAt(1, 1), 0u);
    EXPECT_TRUE(b.Copy(platform::Rect{20, 20, 30, 30}).IsNull());

    Image moved = std::move(b);
    EXPECT_EQ(moved.PixelAt(5, 5), 0u);
    EXPECT_GT(a.CountDifferences(Image(3, 3)), 0);
}

TEST_F(ImageFileTest, PngRoundTripAndFailures) {
    Image img(7, 5, MakeColor(10, 20, 30));
    img.SetPixel(6, 4, MakeColor(255, 0, 128));
    img.SetPixelsPerInch(300);
    std::string png = File("pic.png");
    ASSERT_TRUE(img.Save(png));
    FILE* f = std::fopen(png.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    unsigned char sig[4] = {};
    EXPECT_EQ(std::fread(sig, 1, 4, f), 4u);
    std::fclose(f);
    EXPECT_EQ(sig[1], 'P');
    EXPECT_EQ(sig[2], 'N');

    Image back;
    ASSERT_TRUE(back.Load(png));
    EXPECT_TRUE(back.SameContent(img));
    EXPECT_EQ(back.PixelsPerInch(), 300);

    // An unknown extension still writes PNG; a BMP follows its extension.
    std::string odd = File("pic.xyz");
    ASSERT_TRUE(img.Save(odd));
    Image fromOdd;
    ASSERT_TRUE(fromOdd.Load(odd));
    EXPECT_TRUE(fromOdd.SameContent(img));
    std::string bmp = File("pic.bmp");
    ASSERT_TRUE(img.Save(bmp));
    Image fromBmp;
    ASSERT_TRUE(fromBmp.Load(bmp));
    EXPECT_TRUE(fromBmp.SameContent(img));

    // Failures leave things as they were.
    Image kept(2, 2, MakeColor(1, 1, 1));
    EXPECT_FALSE(kept.Load(File("missing.png")));
    EXPECT_EQ(kept.PixelAt(1, 1), MakeColor(1, 1, 1));
    std::string garbage = File("garbage.png");
    FILE* g = std::fopen(garbage.c_str(), "wb");
    ASSERT_NE(g, nullptr);
    std::fputs("not an image", g);
    std::fclose(g);
    EXPECT_FALSE(kept.Load(garbage));
    EXPECT_EQ(kept.GetSize(), (platform::Size{2, 2}));
    EXPECT_FALSE(img.Save(dir_.File("no/such/dir/x.png")));
    EXPECT_FALSE(Image().Save(File("null.png")));
}

}  // namespace
