// The message reporter port: typed printf arguments printed conversion by
// conversion (never through a list whose types may not match), the null
// reporter, and the last message kept per thread.
#include "core/report_port.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/test_reporter.h"

namespace {

std::string rpp_Format(const char* format, const std::vector<MessageArg>& args, size_t size = 200) {
    std::vector<char> out(size, '#');
    size_t n = FormatMessageArgs(out.data(), out.size(), format, args);
    EXPECT_EQ(n, std::string(out.data()).size());
    return out.data();
}

TEST(ReportPort, ConversionsTakeTheirArgumentInItsOwnType) {
    const char* nullText = nullptr;
    struct Case {
        const char* name;
        const char* format;
        std::vector<MessageArg> args;
        const char* text;
    };
    const std::vector<Case> cases = {
        {"plain text and %%", "100%% sure", {}, "100% sure"},
        {"int, unsigned, long, double, text", "%d %u %ld %g %s", {-3, 4u, 5L, 0.25, "x"}, "-3 4 5 0.25 x"},
        {"flags, width and precision",
         "[%-5d|%05.1f|%+d|%.2s|%8.3e]",
         {7, 2.25, 3, "abc", 1234.5},
         "[7    |002.2|+3|ab|1.234e+03]"},
        {"star width and precision", "[%*d|%.*f]", {4, 9, 2, 3.14159}, "[   9|3.14]"},
        {"hex, octal and a char", "%x %X %o %c", {255u, 255, 8, 'z'}, "ff FF 10 z"},
        {"long long and size_t", "%lld %zu", {-9000000000LL, size_t(12)}, "-9000000000 12"},
        {"a double for an integer is truncated", "%d", {7.9}, "7"},
        {"a huge double has no integer value", "%d", {1e300}, "0"},
        {"NaN for an integer", "%d", {std::numeric_limits<double>::quiet_NaN()}, "0"},
        {"an integer for a double", "%.1f", {3}, "3.0"},
        {"a number for a text prints the number", "%s|%s|%s", {12, 7u, 0.5}, "12|7|0.5"},
        {"a text for a number stays as written", "Node %d of %s", {"x", "y"}, "Node %d of y"},
        {"a null text", "[%s]", {nullText}, "[(null)]"},
        {"a text missing prints nothing", "'%s' and '%s'", {"a"}, "'a' and ''"},
        {"a number missing stays as written", "%d and %5.2f", {1}, "1 and %5.2f"},
        {"%n writes nothing and takes nothing", "a%nb%d", {5}, "ab5"},
        {"%p prints its argument as text", "%p", {"0x1"}, "0x1"},
        {"an unknown conversion stays", "%y %d", {2}, "%y 2"},
        {"a cut conversion at the end", "end %", {1}, "end %"},
        {"extra arguments are ignored", "%d", {1, 2, 3}, "1"},
        {"a user text is never a format", "%s", {"%s%n%d"}, "%s%n%d"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.text, rpp_Format(c.format, c.args));
    }
}

TEST(ReportPort, OutputIsBoundedAndTerminated) {
    EXPECT_EQ("abcd", rpp_Format("%s", {"abcdefgh"}, 5));
    EXPECT_EQ("12", rpp_Format("%d%s", {12, "345"}, 3));
    char one[1] = {'x'};
    EXPECT_EQ(0u, FormatMessageArgs(one, 1, "%s", std::vector<MessageArg>{"abc"}));
    EXPECT_EQ(0, one[0]);
    // A runaway width is held to a few thousand characters.
    std::string wide = rpp_Format("%999999999d", {1}, 100000);
    EXPECT_LE(wide.size(), 5000u);
    EXPECT_EQ('1', wide.back());
}

TEST(ReportPort, ANullReporterSaysSoAndAnInstalledOneIsAsked) {
    ASSERT_FALSE(IsReporterInstalled());
    EXPECT_EQ(kMessageNoReporter, Reporter().Report(Message(15002)));
    Reporter().Beep();
    {
        std::vector<int> codes;
        ScopedTestReporter reporter([&](const MessageRequest& request) {
            codes.push_back(request.code());
            return 6;
        });
        EXPECT_TRUE(IsReporterInstalled());
        EXPECT_EQ(6, Reporter().Report(Message(15002).Args(1)));
        Reporter().Beep();
        EXPECT_EQ(std::vector<int>{15002}, codes);
        EXPECT_EQ(1, reporter.beeps);
    }
    EXPECT_FALSE(IsReporterInstalled());
}

TEST(ReportPort, RequestsKeepTheirFieldsAndTheLastParentWins) {
    int flag = 0;
    const MessageRequest request = Message(13512)
                                       .Args(9, "x")
                                       .Caption("C")
                                       .WarnAgain(&flag)
                                       .Row("L:", "v")
                                       .Row("only")
                                       .Source(4)
                                       .Style(3u)
                                       .Offset(1, 2)
                                       .Class('W')
                                       .Timed()
                                       .AppendRows()
                                       .Text("t")
                                       .Statement("s")
                                       .Context("c");
    EXPECT_EQ(13512, request.code());
    ASSERT_EQ(2u, request.args().size());
    EXPECT_EQ(MessageArg::Kind::Signed, request.args()[0].kind());
    EXPECT_STREQ("x", request.args()[1].AsText());
    EXPECT_STREQ("C", request.caption());
    EXPECT_EQ(&flag, request.warnAgain());
    ASSERT_EQ(2u, request.rows().size());
    EXPECT_STREQ("v", request.rows()[0].value);
    EXPECT_EQ(nullptr, request.rows()[1].value);
    EXPECT_EQ(4, request.source());
    EXPECT_TRUE(request.styleGiven());
    EXPECT_EQ(3u, request.style());
    EXPECT_EQ(2, request.offsetY());
    EXPECT_EQ('W', request.messageClass());
    EXPECT_TRUE(request.timed());
    EXPECT_TRUE(request.appendRows());
    EXPECT_STREQ("s", request.statement());
    EXPECT_STREQ("c", request.context());
    EXPECT_EQ(MessageParent::None, request.parentKind());

    auto* window = reinterpret_cast<platform::Window*>(&flag);
    MessageRequest parents = Message(1).ActiveParent().Parent(window);
    EXPECT_EQ(MessageParent::Window, parents.parentKind());
    EXPECT_EQ(window, parents.parent());
    parents.View(nullptr);  // a null view changes nothing
    EXPECT_EQ(MessageParent::Window, parents.parentKind());
    parents.ActiveParent();
    EXPECT_EQ(MessageParent::Active, parents.parentKind());
    EXPECT_EQ(-1, FormattedMessage("x").code());
}

TEST(ReportPort, TheLastMessageIsKeptPerThread) {
    ClearLastMessage();
    RecordLastMessage(13781, "%ECan't use 'V(1)'.");
    EXPECT_EQ(13781, LastMessageId());
    EXPECT_STREQ("%ECan't use 'V(1)'.", LastMessageText());
    int otherId = -1;
    std::string otherText = "unset";
    std::thread other([&] {
        otherId = LastMessageId();
        RecordLastMessage(15002, nullptr);
        otherText = LastMessageText();
    });
    other.join();
    EXPECT_EQ(0, otherId);
    EXPECT_EQ("", otherText);
    EXPECT_EQ(13781, LastMessage().id);
    ClearLastMessage();
    EXPECT_EQ(0, LastMessageId());
    EXPECT_STREQ("", LastMessageText());
}

}  // namespace
