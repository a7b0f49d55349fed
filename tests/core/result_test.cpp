#include "core/result.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/messages.h"
#include "tests/support/tempdir.h"
#include "tests/support/test_reporter.h"

namespace {

// What the message reporter does with the buffer: use it as the printf format.
std::string rt_ReporterPrint(const char* format, ...) {
    char out[4000];
    va_list args;
    va_start(args, format);
    std::vsnprintf(out, sizeof out, format, args);
    va_end(args);
    return out;
}

const MessageRow kResultTestRows[] = {{99001, "%WWatch the %s."}, {99002, "#EHash prefix."}};

class ResultTest : public ::testing::Test {
protected:
    void SetUp() override { ClearPendingMessage(); }
    void TearDown() override { ClearPendingMessage(); }
};

TEST_F(ResultTest, FormatPendingMessageCases) {
    RegisterMessages(kResultTestRows, 2);
    struct Case {
        const char* name;
        int code;
        const char* pendingText;  // set with SetPendingText first
        const char* text;
        const char* title;
    };
    const Case cases[] = {
        {"subject message", 15022, "/data/a.cir", "File not found '/data/a.cir'.", "Error"},
        {"warning keeps its conversions for the reporter", 99001, "dog", "Watch the %s.", "Warning"},
        {"hash prefix", 99002, nullptr, "Hash prefix.", "Error"},
        {"no prefix", 264, nullptr, "Missing file name.", ""},
        {"unknown code", 98765, nullptr, "", ""},
        {"run-time error without subject", 15950 + EEXIST, "/x", "File exists", "Error"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.pendingText) SetPendingText(c.pendingText);
        char buffer[200];
        int code = c.code;
        const char* title = FormatPendingMessage(buffer, sizeof buffer, &code);
        EXPECT_STREQ(buffer, c.text);
        EXPECT_STREQ(title, c.title);
        EXPECT_EQ(code, c.code);
        ClearPendingMessage();
    }
}

TEST_F(ResultTest, PendingMessageIsConsumedOnce) {
    SetPendingMessage(kResultMissingParam);
    char buffer[100];
    int code = kResultPending;
    EXPECT_STREQ(FormatPendingMessage(buffer, sizeof buffer, &code), "Error");
    EXPECT_STREQ(buffer, "Missing parameter.");
    EXPECT_EQ(code, kResultMissingParam);

    code = kResultPending;
    EXPECT_STREQ(FormatPendingMessage(buffer, sizeof buffer, &code), "");
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(code, 0);
}

TEST_F(ResultTest, SubjectsAreConsumed) {
    SetPendingText("/a/b.cir");
    char buffer[100];
    int code = kResultBadFormat;
    FormatPendingMessage(buffer, sizeof buffer, &code);
    EXPECT_STREQ(buffer, "Bad format in loading file '/a/b.cir'.");
    EXPECT_STREQ(PendingText(), "");
}

TEST_F(ResultTest, MissingFileNamesThePath) {
    twtest::TempDir dir("tw_result");
    ASSERT_TRUE(dir.Valid());
    std::string path = dir.File("absent.cir");
    const char* stored = SetPendingText(path.c_str());
    FILE* f = std::fopen(stored, "rb");
    ASSERT_EQ(f, nullptr);
    int code = ErrnoToResult();
    EXPECT_EQ(code, kResultNoSuchFile);
    char buffer[300];
    EXPECT_STREQ(FormatPendingMessage(buffer, sizeof buffer, &code), "Error");
    EXPECT_EQ(std::string(buffer), std::string(std::strerror(ENOENT)) + " " + path);
}

// User text (a file name with "%") lands in a text that the reporter uses as a
// printf format; it must come out as typed, never act as a conversion.
TEST_F(ResultTest, UserTextIsNeverAFormat) {
    const char* path = "/tmp/a%s%n%d%%.cir";
    struct Case {
        const char* name;
        int code;
        void (*setup)(const char* path);
        std::string expected;
    };
    const Case cases[] = {
        {"subject", kResultReadError, [](const char* p) { SetPendingText(p); },
         std::string("Error in loading file ") + path + "."},
        {"run-time error", kResultNoSuchFile, [](const char* p) { SetPendingText(p); },
         std::string(std::strerror(ENOENT)) + " " + path},
        {"pending message", kResultPending, [](const char* p) { SetPendingMessage(10150, p); },
         std::string("Error in command line '") + path + "'."},
        {"second subject", kResultFileNotFound,
         [](const char* p) {
             SetPendingText(p);
             SetSecondPendingText(p);
         },
         std::string("File not found '") + path + "'."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.setup(path);
        char buffer[300];
        int code = c.code;
        FormatPendingMessage(buffer, sizeof buffer, &code);
        EXPECT_EQ(rt_ReporterPrint(buffer), c.expected);
        EXPECT_EQ(UnescapePercent(buffer), c.expected);
        ClearPendingMessage();
    }
}

TEST_F(ResultTest, CutNeverSplitsAnEscapedPercent) {
    // "File not found '" is 16 characters; the buffer ends inside the "%%" pair.
    for (size_t size = 16; size < 24; ++size) {
        SetPendingText("%%%%%%%%");
        char buffer[64];
        int code = kResultFileNotFound;
        FormatPendingMessage(buffer, size, &code);
        SCOPED_TRACE(size);
        ASSERT_LT(std::strlen(buffer), size);
        size_t run = 0;
        for (const char* p = buffer; *p; ++p) run = *p == '%' ? run + 1 : 0;
        EXPECT_EQ(run % 2, 0u) << buffer;
    }
}

TEST_F(ResultTest, ErrnoToResultCases) {
    const struct {
        int error;
        int code;
    } cases[] = {{0, 0},          {-1, 15023},     {-7, 15022}, {ENOENT, 15952},   {EACCES, 15963},
                 {EMFILE, 15974}, {ENOSPC, 15978}, {42, 15992}, {EOVERFLOW, 15023}};
    for (const auto& c : cases) EXPECT_EQ(ErrnoToResult(c.error), c.code) << c.error;
}

TEST_F(ResultTest, CheckWritablePathReportsOnce) {
    std::vector<std::pair<int, std::string>> reported;
    auto reporter = std::make_unique<ScopedTestReporter>([&reported](const MessageRequest& request) {
        reported.push_back({request.code(), PendingText()});
        return 0;
    });
    twtest::TempDir dir("tw_result");
    ASSERT_TRUE(dir.Valid());
    std::string good = dir.File("out.txt");
    std::string badDir = dir.File("missing/out.txt");

    EXPECT_EQ(CheckWritablePath(nullptr, good.c_str()), 0);
    EXPECT_TRUE(IsPathWritable(good.c_str()));
    EXPECT_TRUE(reported.empty());

    EXPECT_EQ(CheckWritablePath(nullptr, ""), kResultShown);
    EXPECT_EQ(CheckWritablePath(nullptr, badDir.c_str()), kResultShown);
    EXPECT_FALSE(IsPathWritable(badDir.c_str()));
    EXPECT_FALSE(IsPathWritable(dir.c_str()));  // a directory is no output file
    ASSERT_EQ(reported.size(), 2u);
    EXPECT_EQ(reported[0].first, kResultMissingFileName);
    EXPECT_EQ(reported[1].first, kResultNoSuchFile);
    EXPECT_EQ(reported[1].second, badDir);

    reporter.reset();
    EXPECT_EQ(CheckWritablePath(nullptr, badDir.c_str()), kResultNoSuchFile);
}

}  // namespace
