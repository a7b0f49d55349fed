// INI profile files.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "core/desktop.h"
#include "platform/profile.h"
#include "tests/support/tempdir.h"

namespace {

class ProfileTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.Valid());
        path = dir_.File("TW8DEMO.INI");
    }
    void WriteFile(const std::string& text) {
        std::ofstream out(path, std::ios::binary);
        out << text;
    }
    std::string ReadFile() const {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    std::string path;

private:
    twtest::TempDir dir_{"tw_profile"};
};

TEST_F(ProfileTest, RewriteKeepsOrderCommentsAndTheCaseOfKeys) {
    // Mixed line ends, a comment, spaces around "=".
    WriteFile("; written by hand\n[Window]\r\nLeft = 10\nTop=20\r\n\r\n[Paths]\nLib=/usr/share/tw\n");
    platform::Profile p(path);
    EXPECT_EQ(p.GetString("window", "LEFT"), "10");
    EXPECT_EQ(p.GetInt("Window", "Top"), 20);
    EXPECT_EQ(p.GetString("Window", "Width", "none"), "none");
    EXPECT_EQ(p.Sections(), (std::vector<std::string>{"Window", "Paths"}));
    EXPECT_EQ(p.Keys("WINDOW"), (std::vector<std::string>{"Left", "Top"}));

    ASSERT_TRUE(p.WriteInt("WINDOW", "left", 15));  // the stored spelling stays
    ASSERT_TRUE(p.WriteString("Window", "Width", "640"));
    ASSERT_TRUE(p.WriteString("Recent", "File1", "/home/u/a b.cir"));
    EXPECT_EQ(ReadFile(),
              "; written by hand\r\n[Window]\r\nLeft=15\r\nTop=20\r\nWidth=640\r\n\r\n[Paths]\r\n"
              "Lib=/usr/share/tw\r\n\r\n[Recent]\r\nFile1=/home/u/a b.cir\r\n");

    platform::Profile again(path);
    EXPECT_EQ(again.GetString("recent", "file1"), "/home/u/a b.cir");
    ASSERT_TRUE(again.RemoveKey("Window", "Top"));
    ASSERT_TRUE(again.RemoveSection("Paths"));
    EXPECT_FALSE(again.RemoveSection("Paths"));
    ASSERT_TRUE(p.Reload());
    EXPECT_FALSE(p.HasKey("Window", "Top"));
    EXPECT_EQ(p.Sections(), (std::vector<std::string>{"Window", "Recent"}));
}

TEST_F(ProfileTest, IntegersReadLikeTheProgramExpects) {
    struct Case {
        const char* value;
        int want;
    };
    const Case cases[] = {
        {"12", 12},
        {"-5", -5},
        {"0x1F", 31},
        {"7 apples", 7},
        {"abc", -1},
        {"", -1},
        {"99999999999", INT_MAX},
        {"-99999999999", INT_MIN},
    };
    platform::Profile p(path);
    for (const Case& c : cases) {
        ASSERT_TRUE(p.WriteString("N", "k", c.value));
        EXPECT_EQ(p.GetInt("N", "k", -1), c.want) << "value \"" << c.value << "\"";
    }
    EXPECT_EQ(p.GetInt("N", "missing", 42), 42);
}

TEST_F(ProfileTest, TextsThatWouldBreakRowsAreRefused) {
    platform::Profile p(path);
    ASSERT_TRUE(p.WriteString("S", "k", "v"));
    const std::string before = ReadFile();
    EXPECT_FALSE(p.WriteString("S", "k", "two\r\nlines"));
    EXPECT_FALSE(p.WriteString("S", "a=b", "v"));
    EXPECT_FALSE(p.WriteString("S]", "k", "v"));
    EXPECT_FALSE(p.WriteString("", "k", "v"));
    EXPECT_FALSE(p.WriteString("S", "", "v"));
    EXPECT_EQ(ReadFile(), before);
    EXPECT_EQ(p.GetString("S", "k"), "v");
}

TEST_F(ProfileTest, UnwritableFileReportsFailureAndKeepsTheValue) {
    platform::Profile p(path + ".dir/none/x.ini");
    EXPECT_TRUE(p.Reload());  // missing: an empty profile
    EXPECT_FALSE(p.WriteString("S", "k", "v"));
    EXPECT_EQ(p.GetString("S", "k"), "v");
}

TEST_F(ProfileTest, CorePortReadsTheProgramsProfile) {
    platform::Profile p(path);
    ASSERT_TRUE(p.WriteString("Options", "Sound", "Yes please"));
    platform::SetAppProfile(&p);
    char buf[4];
    EXPECT_TRUE(ProfileFile().ReadProfileString("options", "sound", buf, sizeof buf));
    EXPECT_STREQ(buf, "Yes");  // cut to the buffer
    EXPECT_FALSE(ProfileFile().ReadProfileString("Options", "Missing", buf, sizeof buf));
    platform::SetAppProfile(nullptr);
    // Without a profile nothing is found.
    EXPECT_FALSE(ProfileFile().ReadProfileString("Options", "Sound", buf, sizeof buf));
}

}  // namespace
