#include "core/memory.h"

#include "core/desktop.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

// The shell's part of the release step: the status text and the undo memory.
class MemTestShell final : public StatusBarPort, public MemoryReliefPort {
public:
    void SetStatusText(const char* text) override { status = text; }
    bool IsShown() override { return true; }
    void SetPaneText(int, const char*) override {}
    void ReleaseUndoMemory() override { ++releases; }

    int releases = 0;
    std::string status;
};

// Restores the allocation seam and the release ports whatever a test did.
class MemoryTest : public ::testing::Test {
protected:
    void TearDown() override {
        SetAllocFailureAfter(-1);
        InstallStatusBar(nullptr);
        InstallMemoryRelief(nullptr);
    }

    MemTestShell shell_;
};

TEST_F(MemoryTest, SharedEmptyStringIsNeverFreed) {
    char* s = nullptr;
    EXPECT_EQ(SetString(&s, ""), SharedEmptyString());
    EXPECT_EQ(HeapBlockSize(s), 2u);
    FreeString(&s);  // must not free the shared string
    EXPECT_EQ(s, nullptr);
    ResetString(&s);
    EXPECT_TRUE(IsSharedEmpty(s));
    SetString(&s, "abc");
    EXPECT_STREQ(s, "abc");
    EXPECT_EQ(HeapBlockSize(s), 4u);
    // The new text may be part of the old one.
    SetString(&s, s + 1);
    EXPECT_STREQ(s, "bc");
    FreeString(&s);
}

TEST_F(MemoryTest, FailedAllocationRunsReleaseStepOnce) {
    InstallStatusBar(&shell_);
    InstallMemoryRelief(&shell_);
    shell_.releases = 0;
    SetAllocFailureAfter(0);
    EXPECT_EQ(MemAlloc(10), nullptr);
    EXPECT_EQ(shell_.status, "FreeUp");
    EXPECT_EQ(shell_.releases, 1);

    // Resizing releases undo memory without the status text and keeps the block.
    SetAllocFailureAfter(-1);
    char* block = static_cast<char*>(MemAlloc(4));
    std::strcpy(block, "abc");
    shell_.status.clear();
    SetAllocFailureAfter(0);
    EXPECT_EQ(ReallocRetry(block, 100), nullptr);
    EXPECT_EQ(shell_.releases, 2);
    EXPECT_EQ(shell_.status, "");
    EXPECT_STREQ(block, "abc");
    SetAllocFailureAfter(-1);
    MemFree(block);
}

TEST_F(MemoryTest, ResizingFieldsKeepsThemOnFailure) {
    void* field = MemAllocZero(4);
    SetAllocFailureAfter(0);
    EXPECT_EQ(ReallocBlock(&field, 64), nullptr);
    EXPECT_EQ(ResizeZeroed(&field, 64, 0), nullptr);
    EXPECT_NE(field, nullptr);
    EXPECT_EQ(HeapBlockSize(field), 4u);
    SetAllocFailureAfter(-1);

    static_cast<char*>(field)[3] = 7;
    ASSERT_NE(ResizeZeroed(&field, 16, 4), nullptr);
    const char* bytes = static_cast<const char*>(field);
    EXPECT_EQ(bytes[3], 7);
    for (int i = 4; i < 16; ++i) EXPECT_EQ(bytes[i], 0) << i;

    EXPECT_EQ(AllocZeroArray(&field, 0, 8), nullptr);
    EXPECT_EQ(field, nullptr);
    ASSERT_NE(AllocZeroArray(&field, 3, 8), nullptr);
    EXPECT_EQ(HeapBlockSize(field), 24u);
    MemFree(field);
}

TEST_F(MemoryTest, TwoDimensionalArrayRowsShareOneBlock) {
    double** rows = nullptr;
    void*** field = reinterpret_cast<void***>(&rows);
    ASSERT_NE(Alloc2DArray(field, sizeof(double), 3, 4), nullptr);
    EXPECT_EQ(rows[1], rows[0] + 4);
    EXPECT_EQ(rows[2][3], 0.0);
    rows[2][3] = 1.5;
    // The second allocation (the row array) fails: nothing is stored.
    SetAllocFailureAfter(1);
    EXPECT_EQ(Alloc2DArray(field, sizeof(double), 2, 2), nullptr);
    EXPECT_EQ(rows, nullptr);
    SetAllocFailureAfter(-1);
    ASSERT_NE(Alloc2DArray(field, sizeof(double), 2, 2), nullptr);
    Free2DArray(field);
    EXPECT_EQ(rows, nullptr);
}

TEST_F(MemoryTest, GrowingFailureKeepsOldText) {
    char* s = nullptr;
    SetString(&s, "abc");
    SetAllocFailureAfter(0);
    EXPECT_EQ(AppendString(&s, "def"), nullptr);
    EXPECT_STREQ(s, "abc");
    EXPECT_EQ(AppendCharToString(&s, 'x'), nullptr);
    EXPECT_EQ(InsertText(&s, 1, "zz"), nullptr);
    EXPECT_STREQ(s, "abc");
    EXPECT_EQ(AppendFormat(&s, "%d", 12), s);
    EXPECT_STREQ(s, "abc");
    SetAllocFailureAfter(-1);
    FreeString(&s);
}

TEST_F(MemoryTest, AppendAndInsertBuildText) {
    char* s = nullptr;
    AppendString(&s, "ab");
    AppendCharToString(&s, 'c');
    InsertText(&s, 1, "XY");
    EXPECT_STREQ(s, "aXYbc");
    AppendString(&s, s);  // its own text
    EXPECT_STREQ(s, "aXYbcaXYbc");
    AppendFormat(&s, "-%03d", 7);
    EXPECT_STREQ(s, "aXYbcaXYbc-007");
    FreeString(&s);

    ResetString(&s);
    AppendString(&s, "q");
    EXPECT_STREQ(s, "q");
    FreeString(&s);

    char* p = DuplicatePrefix("abcdef", 3);
    EXPECT_STREQ(p, "abc");
    MemFree(p);
    p = DuplicatePrefix("ab", -2);
    EXPECT_STREQ(p, "");
    MemFree(p);
    p = DuplicatePrefix("ab", 10);
    EXPECT_STREQ(p, "ab");
    MemFree(p);
}

TEST_F(MemoryTest, ExpandCharCases) {
    struct Case {
        const char* text;
        char c;
        const char* with;
        bool found;
        const char* result;
    };
    const Case cases[] = {
        {"a^b", '^', "xx", true, "axxb"},
        {"^a^b", '^', "xx", false, "^a^b"},  // a leading caret keeps the text literal
        {"a%b%c", '%', "", true, "abc"},
        {"abc", '%', "x", false, "abc"},
        {"%", '%', "long text", true, "long text"},
    };
    for (const Case& c : cases) {
        char* s = nullptr;
        SetString(&s, c.text);
        EXPECT_EQ(ExpandChar(&s, c.c, c.with), c.found) << c.text;
        EXPECT_STREQ(s, c.result) << c.text;
        FreeString(&s);
    }
}

TEST_F(MemoryTest, FormatStringScratchAndHeapPaths) {
    char* s = nullptr;
    FormatString(&s, "%s", "");
    EXPECT_TRUE(IsSharedEmpty(s));
    std::string text999(999, 'x');
    FormatString(&s, "%s", text999.c_str());
    EXPECT_EQ(HeapBlockSize(s), 1000u);
    EXPECT_EQ(std::strlen(s), 999u);
    std::string text1000(1000, 'y');
    FormatString(&s, "%s", text1000.c_str());
    EXPECT_EQ(HeapBlockSize(s), 1001u);
    EXPECT_EQ(std::string(s), text1000);
    // The old text may be an argument of the new one.
    FormatString(&s, "<%.3s>", s);
    EXPECT_STREQ(s, "<yyy>");

    std::string text1500(1500, 'z');
    AppendFormat(&s, "%s", text1500.c_str());
    EXPECT_EQ(std::strlen(s), 1505u);

    SetAllocFailureAfter(0);
    FormatString(&s, "%d", 5);
    EXPECT_EQ(s, nullptr);
    SetAllocFailureAfter(-1);
}

TEST_F(MemoryTest, SmallStringInlineAndHeap) {
    SmallString8 s;
    EXPECT_EQ(s.text(), nullptr);
    s.Set("1234567");
    EXPECT_TRUE(s.IsInline());
    s.Set("12345678");
    EXPECT_FALSE(s.IsInline());
    EXPECT_STREQ(s.text(), "12345678");
    s.Set(s.text() + 5);  // a short part of its own heap copy
    EXPECT_TRUE(s.IsInline());
    EXPECT_STREQ(s.text(), "678");
    s.Format("%s-%d", "name", 12345);
    EXPECT_STREQ(s.text(), "name-12345");
    std::string longText(60, 'k');
    s.Format("%s", longText.c_str());
    EXPECT_EQ(s.text(), longText);
    s.Set(nullptr);
    EXPECT_EQ(s.text(), nullptr);

    SmallString12 t;
    t.Set("12345678901");
    EXPECT_TRUE(t.IsInline());
    t.Set("before");
    SetAllocFailureAfter(0);
    t.Format("%s", longText.c_str());
    SetAllocFailureAfter(-1);
    EXPECT_STREQ(t.text(), "before");
}

TEST_F(MemoryTest, BoundedFormattingAndThousands) {
    char buffer[8];
    std::memset(buffer, 'q', sizeof buffer);
    EXPECT_EQ(FormatBounded(buffer, sizeof buffer, "%s", "0123456789"), 7);
    EXPECT_STREQ(buffer, "0123456");
    CopyTextBounded(buffer, "abcdefghij", sizeof buffer);
    EXPECT_STREQ(buffer, "abcdefg");
    CopyTextBounded(buffer, "ab", sizeof buffer);
    EXPECT_STREQ(buffer, "ab");

    struct Case {
        unsigned long long value;
        const char* text;
    };
    const Case cases[] = {{0, "0"}, {999, "999"}, {1000, "1,000"}, {1234567, "1,234,567"}, {100000, "100,000"}};
    char out[32];
    for (const Case& c : cases) EXPECT_STREQ(FormatThousands(out, c.value), c.text);
}

}  // namespace
