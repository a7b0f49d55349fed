#include "core/numbers.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(NumbersTest, ParseNumberCases) {
    const struct {
        const char* text;
        double value;
        int error;
    } cases[] = {
        {"10K", 10000, 0},   {"4K7", 4700, 0},      {"2R2", 2.2, 0},       {"1MEG", 1e6, 0},   {"1meg", 1e6, 0},
        {"1MEG5", 1.5e6, 0}, {"1M", 0.001, 0},      {"1m", 0.001, 0},      {"5u", 5e-6, 0},    {".5", 0.5, 0},
        {"-3.3V", -3.3, 0},  {"  +2.5e3", 2500, 0}, {"1e400", 0, 1},       {"1e-400", 0, 0},   {"abc", 0, 1},
        {"", 0, 1},          {"-", 0, 0},           {"10K ohm", 10000, 1}, {"10 K", 10, 0},    {"10 5", 10, 1},
        {"0x10", 0, 1},      {"3pF", 3e-12, 0},     {"1.5T", 1.5e12, 0},   {"7Ohm_s  ", 7, 0}, {"2N", 2e-9, 0},
        {"1k2", 1200, 0},    {"100G", 1e11, 0},
    };
    for (const auto& c : cases) {
        int error = -1;
        double value = ParseNumber(c.text, &error);
        EXPECT_NEAR(value, c.value, std::abs(c.value) * 1e-12) << c.text;
        EXPECT_EQ(error, c.error) << c.text;
    }
    int error = -1;
    EXPECT_EQ(ParseNumber(nullptr, &error), 0);
    EXPECT_EQ(error, 0);
}

TEST(NumbersTest, CycleUnitSetsTheCycleFlag) {
    ParseNumber("10cycles", nullptr);
    EXPECT_TRUE(NumberCycleFlag());
    ParseNumber("10ns", nullptr);
    EXPECT_FALSE(NumberCycleFlag());
    ParseNumber("5 Clk", nullptr);
    EXPECT_TRUE(NumberCycleFlag());
}

TEST(NumbersTest, ScaleSuffixesAndLetters) {
    EXPECT_STREQ(SuffixLetters(), "FPNUMKMGTRV");
    EXPECT_TRUE(IsSuffixLetter('k'));
    EXPECT_FALSE(IsSuffixLetter('X'));
    const struct {
        const char* text;
        double scale;
        int length;
    } cases[] = {{"MeG", 1e6, 3}, {"M", 1e-3, 1}, {"k", 1e3, 1}, {" ", 1, 1}, {"x", 1, 0}, {"", 1, 0}};
    for (const auto& c : cases) {
        double scale = 0;
        EXPECT_EQ(ParseScaleSuffix(&scale, c.text), c.length) << c.text;
        EXPECT_EQ(scale, c.scale) << c.text;
    }
}

TEST(NumbersTest, FormatNumberCases) {
    const struct {
        double value;
        int digits;
        char style;
        int flags;
        const char* text;
    } cases[] = {
        {4700, 2, 0, 0, "4.7K"},
        {1e6, 2, 0, 0, "1MEG"},
        {1e6, 2, 0, 1, "1M"},
        {0.5, 2, 0, 0, "500m"},
        {0, 2, 0, 0, "0 "},
        {-0.0123, 3, 0, 0, "-12.3m"},
        {12, 3, 0, 8, " 12 "},
        {4700, 2, 0, 4, "4.70K"},
        {4700, 2, 0, 0x20, "4700"},
        {2e17, 2, 0, 0, "2.00E+17"},
        {2e17, 2, 0, 0x10, "2.00E17"},
        {1e-16, 0, 0, 0, "1E-16"},
        {1234567.891, 2, 'F', 1, "1,234,567.89"},
        {-123.5, 1, 'F', 1, "-123.5"},
        {1500, 3, 'E', 0x10, "1.500E3"},
        {0.00015, 3, 'e', 0x10, "1.500E-4"},
        {1500, 3, 'G', 0, "1.5E+03"},
        {1500, 4, 'G', 0, "1500"},
    };
    for (const auto& c : cases) {
        char buffer[50];
        EXPECT_STREQ(FormatNumber(buffer, sizeof buffer, c.value, c.digits, c.style, c.flags), c.text)
            << c.value << " " << c.style << " " << c.flags;
    }
}

TEST(NumbersTest, FormatNumberMarksTextThatDoesNotFit) {
    char buffer[8];
    EXPECT_STREQ(FormatNumber(buffer, sizeof buffer, 1234567.891, 2, 'F', 1), "123456#");
    EXPECT_STREQ(FormatNumber(buffer, sizeof buffer, 123.456789, 5, 0, 0), "123.45#");
    char tiny[1];
    FormatNumber(tiny, 1, -5, 2, 0, 0);
    EXPECT_STREQ(tiny, "");
}

TEST(NumbersTest, TextTrimmers) {
    const struct {
        char* (*trim)(char*);
        const char* in;
        const char* out;
    } cases[] = {
        {StripExponentPadding, "1.5E+03", "1.5E3"},
        {StripExponentPadding, "1.5E-03", "1.5E-3"},
        {StripExponentPadding, "1.5E+00", "1.5E0"},
        {StripExponentPadding, "150", "150"},
        {TrimExponent, "1E+005", "1E5"},
        {TrimExponent, "2e-010", "2e-10"},
        {TrimNumberZeros, "0.50", ".5"},
        {TrimNumberZeros, "007", "7"},
        {TrimNumberZeros, "-0.250E+03", "-.25E+03"},
        {TrimNumberZeros, "0.000", "0"},
        {TrimNumberZeros, "100", "100"},
        {TrimNumberZeros, "2.000", "2"},
    };
    for (const auto& c : cases) {
        char text[32];
        std::strcpy(text, c.in);
        EXPECT_STREQ(c.trim(text), c.out) << c.in;
    }
}

TEST(NumbersTest, ThousandsCommasStopWhenFull) {
    char text[16] = "-1234567.125";
    EXPECT_STREQ(InsertThousandsCommas(text, sizeof text), "-1,234,567.125");
    char small[11] = "1234567";
    EXPECT_STREQ(InsertThousandsCommas(small, 9), "1234,567");
}

TEST(NumbersTest, OrdinalsAndClamps) {
    const struct {
        int n;
        const char* text;
    } ordinals[] = {{1, "1st"},   {2, "2nd"},   {3, "3rd"},   {4, "4th"},     {11, "11th"}, {12, "12th"},
                    {13, "13th"}, {21, "21st"}, {22, "22nd"}, {111, "111th"}, {0, "none"}};
    for (const auto& c : ordinals) {
        char buffer[16];
        EXPECT_STREQ(FormatOrdinal(buffer, sizeof buffer, c.n), c.text);
    }
    const struct {
        double value;
        int result;
    } clamps[] = {{0.7, 0}, {-0.7, 0}, {1.7, 1}, {-1.7, -1}, {3e9, 2147483647}, {-3e9, -2147483647 - 1}};
    for (const auto& c : clamps) EXPECT_EQ(ClampToInt(c.value), c.result) << c.value;
    EXPECT_EQ(ClampToUnsigned(-1), 0u);
    EXPECT_EQ(ClampToUnsigned(5e9), 4294967295u);
    EXPECT_EQ(ClampToUnsigned(7.9), 7u);
}

TEST(NumbersTest, NormalizeFormatSpecCases) {
    const struct {
        const char* in;
        const char* out;
        int digits;
        char style;
        bool changed;
    } cases[] = {
        {"20E", "16E", 16, 'E', true}, {"e", "3e", 3, 'E', true},    {"4x", "4", 4, 0, true},
        {"", "3", 3, 0, true},         {" 5F ", "5F", 5, 'F', true}, {"6G", "6G", 6, 'G', false},
        {"1234", "16", 16, 0, true},   {"17", "16", 16, 0, true},    {"12", "12", 12, 0, false},
        {"4.5f", "4f", 4, 'F', true},
    };
    for (const auto& c : cases) {
        FormatSpec spec;
        std::strcpy(spec.text, c.in);
        EXPECT_EQ(NormalizeFormatSpec(&spec), c.changed) << c.in;
        EXPECT_STREQ(spec.text, c.out) << c.in;
        EXPECT_EQ(spec.digits, c.digits) << c.in;
        EXPECT_EQ(spec.style, c.style) << c.in;
    }
    FormatSpec spec;
    ParseFormatSpec(&spec, "3333333333333E");  // longer than the text field
    EXPECT_STREQ(spec.text, "16");
    EXPECT_EQ(spec.Describe(), "16 Digit Engineering");
    ParseFormatSpec(&spec, "2E");
    EXPECT_EQ(spec.Describe(), "2 Digit Scientific");
}

TEST(NumbersTest, FormatValueWithSpecCases) {
    struct Case {
        const char* spec;
        double sample;
        double value;
        int mode;
        int flags;
        const char* text;
    };
    const Case cases[] = {
        {"3", 1e6, 2.5e6, kFormatFixedScale, 0, "2.500M"},
        {"3", 1e6, 2.5e6, kFormatFixedScale, 2, "2.500MEG"},
        {"3", 1e6, 2.5e6, kFormatFixedScaleNoLetter, 0, "2.500"},
        {"2", 1e-3, 0.5, kFormatFixedScale, 0, "500.00m"},
        {"3", 1e6, 2.5e6, 0, 0, "2.500MEG"},
        {"3", 1e20, 2.5e20, kFormatFixedScale, 0, "2.500E20"},
        {"2E", 1e6, 2.5e6, kFormatFixedScale, 0, "2.50E6"},
        {"1F", 1e6, 2.5e6, 0, 1, "2,500,000.0"},
        {"3", 1, 0, 0, 0, "0.000"},
    };
    for (const Case& c : cases) {
        FormatSpec spec;
        ParseFormatSpec(&spec, c.spec);
        spec.SetScaleForValue(c.sample);
        char buffer[40];
        EXPECT_STREQ(FormatValueWithSpec(&spec, buffer, sizeof buffer, c.value, c.mode, c.flags), c.text)
            << c.spec << " " << c.value << " mode " << c.mode;
    }
}

}  // namespace
