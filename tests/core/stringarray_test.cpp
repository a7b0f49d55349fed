#include "core/stringarray.h"

#include "core/memory.h"
#include "core/result.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<std::string> StringArrayTestTokens(const StringArray& array) {
    std::vector<std::string> tokens;
    for (int i = 0; i < array.TokenCount(); ++i) tokens.push_back(array.Token(i));
    return tokens;
}

using StringArrayTestList = std::vector<std::string>;

}  // namespace

TEST(StringArrayTest, SplitLineTable) {
    struct Case {
        const char* line;
        int flags;
        StringArrayTestList tokens;
    };
    const std::vector<Case> cases = {
        {"R1 1 2 10K", 0, {"R1", "1", "2", "10K"}},
        {"V(OUT)", 0, {"V", "(", "OUT", ")"}},
        {"A+B*2", kSplitNames, {"A+B*2"}},
        {"A+B*2", 0, {"A", "+", "B", "*", "2"}},
        {"X=2.5e-3;rest", 0, {"X", "=", "2.5e-3"}},
        {"*comment here", 0, {}},
        {"abc \"quoted text\" d", 0, {"abc", "\"quoted text\"", "d"}},
        {"abc \"open", 0, {"abc", "\"open"}},
        {"import(file.txt,V(1)*2)", 0, {"import", "(", "file.txt", ",", "V(1)*2", ")"}},
        {"IMPORT (a(1,2),b) x", 0, {"IMPORT", "(", "a(1,2)", ",", "b", ")", "x"}},
        {"import(file)", 0, {"import", "(", "file", ")"}},
        {".MODEL D1 D(IS=1e-14 RS=.5)", 0, {".MODEL", "D1", "D", "(", "IS", "=", "1e-14", "RS", "=", ".5", ")"}},
        {"C1 a b 1MEG 2.5e-3V", 0, {"C1", "a", "b", "1MEG", "2.5e-3V"}},
        {"X1 n1:2 $g 'p #q? r:s", 0, {"X1", "n1:2", "$g", "'p", "#q?", "r:s"}},
        {"name.x:y z", kSplitNames, {"name.x:", "y", "z"}},
        {"  \t ", 0, {}},
        {"a ; b", kSplitSpice, {"a"}},
        {"\tR2\t3", kSplitSpice, {"R2", "3"}},
    };
    StringArray array;
    for (const Case& c : cases) {
        ASSERT_EQ(array.SplitLine(c.line, c.flags), kOk) << c.line;
        EXPECT_EQ(StringArrayTestTokens(array), c.tokens) << c.line;
        EXPECT_STREQ(array.Token(static_cast<int>(c.tokens.size())), "") << c.line;
    }
}

TEST(StringArrayTest, ShorterLineEndsWhereItsTokensEnd) {
    StringArray array;
    ASSERT_EQ(SplitLineToArray(array, "a b c d e f g h i j k l", false), kOk);
    EXPECT_EQ(array.TokenCount(), 12);
    ASSERT_EQ(SplitLineToArray(array, "x y", false), kOk);
    EXPECT_EQ(StringArrayTestTokens(array), (StringArrayTestList{"x", "y"}));
    ASSERT_EQ(SplitLineToArray(array, "A+B", true), kOk);
    EXPECT_EQ(StringArrayTestTokens(array), (StringArrayTestList{"A+B"}));
}

TEST(StringArrayTest, ManyTokensGrowTheArray) {
    std::string line;
    for (int i = 0; i < 250; ++i) line += "t" + std::to_string(i) + " ";
    StringArray array;
    ASSERT_EQ(array.SplitLine(line.c_str(), 0), kOk);
    EXPECT_EQ(array.TokenCount(), 250);
    EXPECT_STREQ(array.Token(249), "t249");
    EXPECT_GE(array.count, 251);
}

TEST(StringArrayTest, SpiceModeSkipsBlanksAsTheNetlistReaderDoes) {
    const struct {
        const char* line;
        StringArrayTestList tokens;
    } cases[] = {
        {"R1 a\n+ b", {"R1", "a", "b"}},            // continuation line
        {"R1 a\r\n  + b", {"R1", "a", "b"}},        // CR LF, indented "+"
        {"R1 a\n* note\n+ b", {"R1", "a", "b"}},    // comment line between
        {"R1 a ; comment\n+ b", {"R1", "a", "b"}},  // comment, then continuation
        {"R1 a ;$TWE x", {"R1", "a"}},              // the marker ends the tokens
        {"R1 a\nC1 b", {"R1", "a", "C1", "b"}},     // a plain line end is a blank
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        StringArray array;
        EXPECT_EQ(array.SplitLine(c.line, kSplitSpice), kOk);
        EXPECT_EQ(StringArrayTestTokens(array), c.tokens);
    }
}

TEST(StringArrayTest, EntriesAndInsertion) {
    StringArray array;
    ASSERT_EQ(array.Init(), kOk);
    EXPECT_GE(array.count, 100);
    EXPECT_STREQ(array.SetEntry(0, "abcdef", 3), "abc");
    EXPECT_STREQ(array.SetEntry(1, "xy", 10), "xy");
    EXPECT_STREQ(array.SetEntry(2, nullptr, 5), "");
    EXPECT_EQ(array.SetEntry(array.count, "x", 1), nullptr);

    ASSERT_EQ(array.SplitLine("a b c d", 0), kOk);
    ASSERT_EQ(array.InsertEntry(1, "new"), kOk);
    EXPECT_EQ(StringArrayTestTokens(array), (StringArrayTestList{"a", "new", "b", "c", "d"}));
    ASSERT_EQ(array.InsertEntry(0, array.Token(4)), kOk);  // a text from the array itself
    EXPECT_EQ(StringArrayTestTokens(array), (StringArrayTestList{"d", "a", "new", "b", "c", "d"}));

    std::string longToken(500, 'L');
    ASSERT_EQ(array.SplitLine((longToken + " s").c_str(), 0), kOk);
    EXPECT_GE(array.entries[0].capacity, 501u);
    array.TrimLargeEntries();
    EXPECT_LE(array.entries[0].capacity, 100u);
    EXPECT_EQ(array.TokenCount(), 0);
    EXPECT_STREQ(array.Token(1), "s");

    array.Clear();
    EXPECT_EQ(array.count, 0);
    EXPECT_EQ(array.entries, nullptr);
}

TEST(StringArrayTest, BufferKeepsTextWhenOutOfMemory) {
    StringBuffer buffer;
    ASSERT_NE(buffer.Set("abc"), nullptr);
    EXPECT_EQ(buffer.Reserve(2), kOk);  // already large enough: content kept
    EXPECT_STREQ(buffer.text, "abc");
    SetAllocFailureAfter(0);
    EXPECT_EQ(buffer.Append("defgh"), nullptr);
    EXPECT_STREQ(buffer.text, "abc");
    SetAllocFailureAfter(-1);
    EXPECT_STREQ(buffer.Append(buffer.text), "abcabc");
    SetAllocFailureAfter(0);
    EXPECT_EQ(buffer.Reserve(1000), kResultNoMemory);
    SetAllocFailureAfter(-1);
    EXPECT_EQ(buffer.text, nullptr);
    EXPECT_EQ(buffer.capacity, 0u);
    buffer.Free();

    StringArray array;
    ASSERT_EQ(array.SplitLine("a b c d e", 0), kOk);
    std::string longLine = std::string(300, 'x') + " y";
    SetAllocFailureAfter(0);
    EXPECT_EQ(array.SplitLine(longLine.c_str(), 0), kResultNoMemory);
    SetAllocFailureAfter(-1);
    EXPECT_EQ(array.TokenCount(), 0);  // no token of the earlier line survives
}
