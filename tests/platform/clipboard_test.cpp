// The clipboard.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/clipboard.h"
#include "platform/draw.h"
#include "platform/image.h"

namespace {

namespace clipboard = platform::clipboard;

TEST(ClipboardTest, TextRoundTripsWithLineEndsAndAccents) {
    const std::string texts[] = {"R1 1 2 10k\r\nC1 2 0 1u\r\n",
                                 "1 \xC2\xB5"
                                 "F"};
    for (const std::string& t : texts) {
        ASSERT_TRUE(clipboard::SetText(t));
        EXPECT_TRUE(clipboard::HasText());
        EXPECT_EQ(clipboard::GetText(), t);
    }
    // A byte that is not UTF-8 is taken as Latin-1.
    ASSERT_TRUE(clipboard::SetText("25\xB0"));
    EXPECT_EQ(clipboard::GetText(), "25\xC2\xB0");
}

TEST(ClipboardTest, PicturesRoundTripAndTextIsNotAPicture) {
    platform::Image img(5, 4, platform::MakeColor(255, 255, 255));
    img.SetPixel(2, 1, platform::MakeColor(0, 128, 255));
    ASSERT_TRUE(clipboard::SetImage(img));
    EXPECT_TRUE(clipboard::HasImage());
    platform::Image back;
    ASSERT_TRUE(clipboard::GetImage(back));
    EXPECT_TRUE(back.SameContent(img));

    ASSERT_TRUE(clipboard::SetText("x"));
    EXPECT_FALSE(clipboard::HasImage());
    platform::Image untouched(1, 1);
    EXPECT_FALSE(clipboard::GetImage(untouched));
    EXPECT_EQ(untouched.Width(), 1);
    EXPECT_FALSE(clipboard::SetImage(platform::Image()));
}

TEST(ClipboardTest, RecordedPicturesRoundTripWithAnImageBesideThem) {
    platform::Picture pic;
    platform::DrawSurface& s = pic.Begin(platform::Size{20, 10});
    s.FillRect(platform::Rect{0, 0, 20, 10}, platform::MakeColor(0, 0, 255));
    pic.End();
    ASSERT_TRUE(clipboard::SetPicture(pic));
    EXPECT_TRUE(clipboard::HasPicture());
    platform::Image shown;
    ASSERT_TRUE(clipboard::GetImage(shown));
    EXPECT_EQ(shown.PixelAt(10, 5), platform::MakeColor(0, 0, 255));

    platform::Picture back;
    ASSERT_TRUE(clipboard::GetPicture(back));
    platform::Image replay(20, 10);
    {
        std::unique_ptr<platform::DrawSurface> target = platform::CreateImageSurface(replay);
        back.Play(*target);
    }
    EXPECT_EQ(replay.PixelAt(10, 5), platform::MakeColor(0, 0, 255));

    ASSERT_TRUE(clipboard::SetText("no picture"));
    EXPECT_FALSE(clipboard::HasPicture());
    EXPECT_FALSE(clipboard::GetPicture(back));
    EXPECT_FALSE(clipboard::SetPicture(platform::Picture()));
}

}  // namespace
