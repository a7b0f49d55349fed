#include "core/services.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/desktop.h"
#include "core/memory.h"
#include "core/numbers.h"
#include "core/result.h"

namespace {

// Stands in for the expression language: plain engineering numbers; "dep" marks
// a value that depends on run-time quantities.
int svt_Evaluate(const char* text, double* value, unsigned dependsOn[2]) {
    int error = 0;
    bool depends = std::strstr(text, "dep") != nullptr;
    *value = depends ? 1 : ParseNumber(text, &error);
    if (dependsOn) {
        dependsOn[0] = depends ? 0x10 : 0;
        dependsOn[1] = 0;
    }
    return error ? 15009 : 0;
}

class SvtEvaluator final : public ParameterEvaluatorPort {
public:
    int Evaluate(const char* text, double* value, unsigned dependsOn[2]) override {
        return svt_Evaluate(text, value, dependsOn);
    }
};

// The status bar: the message pane's texts, shown or hidden.
class SvtStatusBar final : public StatusBarPort {
public:
    void SetStatusText(const char*) override {}
    bool IsShown() override { return shown; }
    void SetPaneText(int pane, const char* text) override {
        if (pane == 59147) texts.push_back(text);
    }
    bool shown = true;
    std::vector<std::string> texts;
};

class ServicesTest : public ::testing::Test {
protected:
    void SetUp() override { InstallParameterEvaluator(&evaluator_); }
    void TearDown() override {
        InstallParameterEvaluator(nullptr);
        InstallStatusBar(nullptr);
    }
    SvtEvaluator evaluator_;
};

TEST(ServicesTimeTest, ElapsedTimeTexts) {
    const struct {
        long seconds;
        const char* text;
    } cases[] = {{0, "0 sec"}, {59, "59 sec"}, {60, "1 min"}, {125, "2 min 5 sec"}, {3600, "60 min"}};
    for (const auto& c : cases) EXPECT_EQ(FormatElapsedTime(c.seconds), c.text);
}

TEST(ServicesTimeTest, DateTimeStampFollowsBothPreferences) {
    char buffer[100];
    gDateStampEnabled = gTimeStampEnabled = false;
    EXPECT_STREQ(FormatDateTimeStamp(buffer, true, sizeof buffer), "");
    gDateStampEnabled = gTimeStampEnabled = true;
    std::string both = FormatDateTimeStamp(buffer, true, sizeof buffer);
    EXPECT_EQ(both.rfind("Date ", 0), 0u) << both;
    EXPECT_NE(both.find(" Time "), std::string::npos) << both;
    gDateStampEnabled = false;
    std::string time = FormatDateTimeStamp(buffer, false, sizeof buffer);
    EXPECT_FALSE(time.empty());
    EXPECT_EQ(time.find("Time"), std::string::npos);
    char small[4];
    gDateStampEnabled = true;
    EXPECT_LT(std::strlen(FormatDateTimeStamp(small, true, sizeof small)), sizeof small);
    gDateStampEnabled = gTimeStampEnabled = false;
    double t = GetSeconds();
    EXPECT_GE(GetSeconds(), t);
}

TEST_F(ServicesTest, TopLevelCommaSplits) {
    char text[] = "f(a,b),c";
    EXPECT_STREQ(SplitAtTopLevelComma(text), "c");
    EXPECT_STREQ(text, "f(a,b)");
    char none[] = "g(x,y)";
    EXPECT_STREQ(SplitAtTopLevelComma(none), "");

    char a[8], b[8], c[8];
    SplitArgumentTexts("1,(2,3),4567890,9", a, b, c, sizeof a);
    EXPECT_STREQ(a, "1");
    EXPECT_STREQ(b, "(2,3)");
    EXPECT_STREQ(c, "4567890");
    SplitArgumentTexts("x", a, b, nullptr, sizeof a);
    EXPECT_STREQ(b, "");
}

TEST_F(ServicesTest, ArgumentListCases) {
    struct Case {
        const char* text;
        int n;
        bool required;
        int code;
        std::vector<double> values;
    };
    const Case cases[] = {
        {"1,,3", 3, true, kResultMissingParam, {}},
        {"1,,3", 3, false, 0, {1, 0, 3}},
        {"1,2", 3, true, kResultMissingParam, {}},
        {"1,2", 3, false, 0, {1, 2, 0}},
        {"1K,2m,3", 2, true, 0, {1000, 0.002, 0}},
        {"1,bad,3", 3, false, 15009, {}},
        {"", 1, true, kResultMissingParam, {}},
        {"", 1, false, 0, {0}},
        // More items and a larger n than the array holds stop at ten values.
        {"1,2,3,4,5,6,7,8,9,10,11,12", 15, true, 0, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(EvaluateArgumentList(c.text, c.n, c.required), c.code);
        for (size_t i = 0; i < c.values.size(); ++i) EXPECT_DOUBLE_EQ(gArguments[i], c.values[i]) << i;
    }
    EXPECT_EQ(EvaluateRequiredArguments("5,6", 2), 0);
    EXPECT_EQ(EvaluateOptionalArguments(",6", 2), 0);
    EXPECT_EQ(gArguments[1], 6);

    InstallParameterEvaluator(nullptr);
    EXPECT_EQ(EvaluateOptionalArguments("1", 1), kResultMissingParam);
}

TEST_F(ServicesTest, ValuePairAndValueList) {
    double a = -1, b = -1;
    unsigned fa[2], fb[2];
    EXPECT_EQ(EvaluateValuePair("2K, dep", &a, &b, fa, fb), 0);
    EXPECT_EQ(a, 2000);
    EXPECT_EQ(b, 1);
    EXPECT_EQ(fa[0], 0u);
    EXPECT_EQ(fb[0], 0x10u);
    EXPECT_EQ(EvaluateValuePair("7", &a, &b, nullptr, nullptr), 0);
    EXPECT_EQ(b, 0);
    EXPECT_EQ(EvaluateValuePair("bad,3", &a, &b, nullptr, nullptr), 15009);
    EXPECT_EQ(b, 0);

    int count = -1, code = -1;
    double* values = ParseValueList("1, ,dep(2,3),4u,", &count, &code);
    ASSERT_NE(values, nullptr);
    EXPECT_EQ(code, 0);
    ASSERT_EQ(count, 3);
    EXPECT_EQ(values[1], 1);
    EXPECT_DOUBLE_EQ(values[2], 4e-6);
    MemFree(values);
    values = ParseValueList("1,bad", &count, &code);
    EXPECT_EQ(values, nullptr);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(code, 15009);
}

TEST_F(ServicesTest, StringListSplitsOnCommasAndBlanks) {
    std::vector<std::string> list{"old"};
    EXPECT_EQ(SplitToStringList(" a, b  ,,c d ", &list), 0);
    EXPECT_EQ(list, (std::vector<std::string>{"a", "b", "c", "d"}));
    SplitToStringList("", &list);
    EXPECT_TRUE(list.empty());
}

TEST(ServicesDigitalTest, RadixAndStateLetters) {
    const struct {
        uint32_t flags;
        uint64_t value;
        int bits;
        const char* text;
    } cases[] = {
        {kRadixBinary, 5, 8, "00000101"},
        {kRadixHex, 5, 8, "05"},
        {kRadixOctal, 8, 8, "010"},
        {kRadixDecimal, 5, 8, "5"},
        {kRadixHex, 0xABCDEF, 12, "ABCDEF"},
        {kRadixBinary | kRadixHex, 255, 8, "FF"},  // a later radix wins
        {0, 3, 1, "1"},
        {0, 5, 1, "Z"},
        {0, 99, 1, "?"},
    };
    for (const auto& c : cases) {
        char buffer[80];
        EXPECT_STREQ(FormatDigitalValue(c.flags, buffer, sizeof buffer, c.value, c.bits), c.text) << c.text;
    }
    char small[4];
    EXPECT_STREQ(FormatRadixValue(kRadixBinary, small, sizeof small, 5, 8), "000");
    EXPECT_EQ(DigitalStateIndex('z'), 5);
    EXPECT_EQ(DigitalStateIndex('?'), 6);
    EXPECT_EQ(DigitalStateIndex('Q'), -1);
    EXPECT_EQ(DigitalStateIndex(0), -1);
    EXPECT_EQ(ViewCommandBit(18406), 0x10000u);
    EXPECT_EQ(ViewCommandBit(18405), 1u << (18405 % 32));
}

TEST_F(ServicesTest, ProgressShowsRisingPercentages) {
    SvtStatusBar bar;
    InstallStatusBar(&bar);
    std::vector<std::string>& svt_shown = bar.texts;
    CStatusProgress progress;
    for (int position : {10, 5, 20}) progress.SetPosition(position);
    EXPECT_EQ(svt_shown, (std::vector<std::string>{"10%", "20%"}));
    EXPECT_EQ(progress.lastPercent(), 20);

    // An empty range is done at once, and never divides by zero.
    svt_shown.clear();
    progress.SetRange(7, 7);
    progress.SetPosition(7);
    progress.SetPosition(9);
    EXPECT_EQ(svt_shown, (std::vector<std::string>{"100%"}));

    // Nothing is shown while the status bar is hidden.
    svt_shown.clear();
    bar.shown = false;
    progress.SetRange(0, 10);
    progress.SetPosition(5);
    EXPECT_TRUE(svt_shown.empty());
}

}  // namespace
