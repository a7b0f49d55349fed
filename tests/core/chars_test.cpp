#include "core/chars.h"

#include "core/memory.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

TEST(CharsTest, ClassTableRows) {
    struct Case {
        int byte;
        uint32_t has;
        uint32_t lacks;
    };
    const Case cases[] = {
        {'a', CC_NAME | CC_IDENT | CC_ALPHA | CC_NAME_DOT | CC_ALNUM | CC_HEX | CC_LOWER | CC_PRINT,
         CC_UPPER | CC_DIGIT},
        {'e', CC_NUMBER, CC_NUM_START},
        {'Z', CC_UPPER | CC_ALPHA, CC_HEX | CC_LOWER},
        {'7', CC_DIGIT | CC_OCTAL | CC_NUMBER | CC_NUM_START | CC_HEX, CC_ALPHA},
        {'8', CC_DIGIT, CC_OCTAL},
        {'_', CC_NAME | CC_IDENT | CC_ALPHA, CC_ALNUM},
        {'%', CC_NAME | CC_DELIM_SPACE, CC_DELIM | CC_IDENT},
        {'.', CC_NAME_DOT | CC_DOT | CC_NUMBER | CC_NUM_START, CC_NAME},
        {' ', CC_SPACE | CC_BLANK | CC_SEPARATOR | CC_WORD_END | CC_DELIM_SPACE | CC_EXPR_DELIM | CC_PRINT, CC_DELIM},
        {'\t', CC_SPACE | CC_WORD_END, CC_BLANK | CC_PRINT},
        {0, CC_NUL | CC_DELIM | CC_DELIM_SPACE | CC_EXPR_DELIM | CC_WORD_END, CC_SPACE},
        {1, CC_EXPR_DELIM, CC_PRINT},
        {'(', CC_OPEN_PAREN | CC_WORD_END | CC_DELIM | CC_SEPARATOR, CC_CLOSE_PAREN},
        {'=', CC_EQUALS | CC_COMPARE | CC_DELIM | CC_SEPARATOR, CC_OPERATOR},
        {'{', CC_OPEN_BRACE | CC_SEPARATOR, CC_DELIM},
        {'}', CC_CLOSE_BRACE | CC_SEPARATOR, CC_OPEN_BRACE},
        {'|', CC_OPERATOR | CC_SEPARATOR | CC_EXPR_DELIM, CC_NAME},
        {'X', CC_STATE, CC_LOWER},
        {'\'', CC_EXPR_DELIM, CC_NAME},
        {',', CC_COMMA | CC_DELIM, CC_NAME},
        {126, CC_PRINT | CC_OPERATOR, 0},
        {127, 0, CC_PRINT},
        {200, 0, 0xffffffffu},
    };
    for (const Case& c : cases) {
        uint32_t flags = CharClassOf(static_cast<unsigned char>(c.byte));
        EXPECT_EQ(flags & c.has, c.has) << c.byte;
        EXPECT_EQ(flags & c.lacks, 0u) << c.byte;
    }
    EXPECT_EQ(CharClassOf(0) & (1u << 9), 0u);
    EXPECT_EQ(UpperChar('q'), 'Q');
    EXPECT_EQ(UpperChar('['), '[');
    EXPECT_EQ(LowerChar('Q'), 'q');
    EXPECT_EQ(LowerChar(static_cast<char>(0xC4)), static_cast<char>(0xC4));
}

TEST(CharsTest, WildcardMatchTable) {
    struct Case {
        const char* pattern;
        const char* text;
        int result;
    };
    const Case cases[] = {
        {"AB?", "abc", 0},   {"AB", "ABCD", 0}, {"ABC?", "ABC", 0}, {"AB*X", "ABYZ", 0}, {"ABD", "ABC", 1},
        {"", "anything", 0}, {"A?C", "AC", 1},  {"ABC", "AB", 1},   {"?*?", "", 0},      {"x", "", 1},
    };
    for (const Case& c : cases) EXPECT_EQ(WildcardMatch(c.pattern, c.text), c.result) << c.pattern << " " << c.text;
}

TEST(CharsTest, NaturalCompareTable) {
    auto sign = [](int v) { return v < 0 ? -1 : v > 0 ? 1 : 0; };
    struct Case {
        std::string a;
        std::string b;
        int result;
    };
    const std::vector<Case> cases = {
        {"R2", "R10", -1},
        {"r10", "R10", 0},
        {"A", "1", 1},
        {"", "A", 1},
        {"", "", 0},
        {"R007", "R7", 0},
        {"C1a", "C1B", -1},
        {"X99999999999999999999", "X100000000000000000000", -1},         // beyond any integer type
        {"X2147483648", "X", 1},                                         // a missing number counts as 2147483647
        {std::string(300, 'a') + "b", std::string(300, 'a') + "c", -1},  // runs longer than any buffer
    };
    for (const Case& c : cases) {
        EXPECT_EQ(sign(NaturalCompare(c.a.c_str(), c.b.c_str())), c.result) << c.a << " vs " << c.b;
        EXPECT_EQ(sign(NaturalCompare(c.b.c_str(), c.a.c_str())), -c.result) << c.b << " vs " << c.a;
    }
}

TEST(CharsTest, NextTokenGroupsBracesAndContinues) {
    const uint32_t mask = CC_BLANK | CC_OPEN_PAREN | CC_CLOSE_PAREN | CC_OPEN_BRACE;
    char text[] = "  {a b} c";
    EXPECT_STREQ(NextToken(text, mask), "{a b}");
    EXPECT_STREQ(NextToken(nullptr, mask), "c");
    EXPECT_EQ(NextToken(nullptr, mask), nullptr);
    EXPECT_EQ(NextToken(nullptr, mask), nullptr);

    char call[] = "f(x=1) {y (z)}=2";
    std::vector<std::string> tokens;
    for (char* t = NextToken(call, mask | CC_EQUALS); t; t = NextToken(nullptr, mask | CC_EQUALS)) tokens.push_back(t);
    EXPECT_EQ(tokens, (std::vector<std::string>{"f", "x", "1", "{y (z)}", "2"}));

    char list[] = "a, b,,c ";
    tokens.clear();
    for (char* t = NextToken(list, CC_BLANK | CC_COMMA); t; t = NextToken(nullptr, CC_BLANK | CC_COMMA))
        tokens.push_back(t);
    EXPECT_EQ(tokens, (std::vector<std::string>{"a", "b", "c"}));

    char blanks[] = "   ";
    EXPECT_EQ(NextToken(blanks, CC_BLANK), nullptr);
}

TEST(CharsTest, TrimmingAndEditing) {
    struct Case {
        const char* text;
        char* (*op)(char*);
        const char* result;
    };
    const Case cases[] = {
        {" \tab \t ", TrimSpaces, "\tab \t"},    {" \tab \t ", TrimWhitespace, "ab"},
        {"\r\nab", TrimLeadingWhitespace, "ab"}, {"", TrimWhitespace, ""},
        {"a   b  c", CollapseSpaces, "a b c"},   {"a \tb\n", RemoveWhitespace, "ab"},
        {"\"quoted\"", StripQuotes, "quoted"},   {"\"open", StripQuotes, "open"},
        {"plain\"", StripQuotes, "plain\""},     {"\"", StripQuotes, ""},
    };
    for (const Case& c : cases) {
        char buffer[32];
        std::strcpy(buffer, c.text);
        EXPECT_STREQ(c.op(buffer), c.result) << c.text;
    }
    // The shared empty string lives in read-only memory; it must not be written.
    EXPECT_EQ(CollapseSpaces(SharedEmptyString()), SharedEmptyString());

    char text[32] = "a.b.c";
    EXPECT_STREQ(ReplaceChar(text, '.', '/'), "a/b/c");
    EXPECT_STREQ(RemoveChar(text, '/'), "abc");
    EXPECT_STREQ(AppendChar(text, 'd'), "abcd");
    EXPECT_STREQ(PadWithSpaces(text, 6), "abcd  ");
    EXPECT_STREQ(PadWithSpaces(text, 2), "ab");

    char pair[] = "key=value=x";
    char* rest = SplitAtChar(pair, '=');
    EXPECT_STREQ(pair, "key");
    EXPECT_STREQ(rest, "value=x");
    EXPECT_EQ(SplitAtChar(pair, ':'), nullptr);
}

TEST(CharsTest, SearchingAndCopying) {
    const char* text = "Hello World";
    EXPECT_EQ(FindTextNoCase(text, "WORLD"), text + 6);
    EXPECT_EQ(FindTextNoCase(text, "worlds"), nullptr);
    EXPECT_EQ(FindTextNoCase(text, ""), text);
    EXPECT_EQ(FindCharNoCase(text, 'W'), text + 6);
    EXPECT_EQ(FindCharNoCase(text, 'z'), nullptr);

    EXPECT_TRUE(HasOnlyCharClass("", CC_DIGIT));
    EXPECT_TRUE(HasOnlyCharClass("ab_1", CC_IDENT));
    EXPECT_FALSE(HasOnlyCharClass("ab-1", CC_IDENT));
    EXPECT_TRUE(IsAllDigits("0123"));
    EXPECT_FALSE(IsAllDigits(""));
    EXPECT_FALSE(IsAllDigits("12a"));
    EXPECT_EQ(LengthWithoutTrailingDigits("R12"), 1u);
    EXPECT_EQ(LengthWithoutTrailingDigits("123"), 0u);
    EXPECT_EQ(LengthWithoutTrailingDigits("R1A"), 3u);

    char out[8];
    EXPECT_STREQ(CopyUntilChar(out, "abc=def", '=', sizeof out), "abc");
    EXPECT_STREQ(CopyUntilChar(out, "abcdefghijk", '=', sizeof out), "abcdefg");
    EXPECT_STREQ(CopyFirstWord(out, "first second", sizeof out), "first");
    EXPECT_STREQ(CopyUpper(out, "ab\"c", sizeof out), "AB\"C");
    EXPECT_STREQ(CopyUpper(out, nullptr, sizeof out), "");
    char wide[32];
    EXPECT_STREQ(CopyUpperOutsideQuotes(wide, "a\"bc\"d\"e", sizeof wide), "A\"bc\"D\"e");

    const char* run = "abc12+x";
    EXPECT_EQ(CopyCharClassRun(out, run, CC_ALPHA, sizeof out), run + 3);
    EXPECT_STREQ(out, "abc");
    EXPECT_EQ(CopyCharClassRun(out, run, CC_ALNUM, 3), run + 2);
    EXPECT_STREQ(out, "ab");
    std::strcpy(out, "keep");
    EXPECT_EQ(CopyCharClassRun(out, run, CC_ALNUM, 0), run);
    EXPECT_STREQ(out, "keep");
    // Byte 0 carries CC_DELIM; a scan must still stop at the end.
    EXPECT_EQ(*SkipCharClass(",,", CC_DELIM), 0);

    const char* cursor = " \t x";
    SkipWhitespace(cursor);
    EXPECT_STREQ(cursor, "x");

    const char* nested = "(a(b)c)d";
    EXPECT_STREQ(FindClosingParen(nested), "d");
    EXPECT_STREQ(FindClosingParen("(a(b"), "");
    EXPECT_STREQ(FindClosingBrace("{x{y}}z"), "z");
}

TEST(CharsTest, AppendUniqueListItemAddsWholeItemsOnce) {
    std::string list;
    AppendUniqueListItem(list, "ab", ';');
    AppendUniqueListItem(list, "a", ';');
    AppendUniqueListItem(list, "ab", ';');
    AppendUniqueListItem(list, "b", ';');
    AppendUniqueListItem(list, "a", ';');
    EXPECT_EQ(list, "ab;a;b");
}

// The netlist's one blank skipper: the rest of the text after it, by mode.
TEST(CharsTest, SpiceBlankSkipperTable) {
    const struct {
        const char* text;
        bool spice;
        const char* rest;
    } cases[] = {
        {" \t x", false, "x"},
        {" \n\r\n x", false, "x"},                // white space includes line ends
        {"; comment\nx", false, "; comment\nx"},  // comments only in SPICE mode
        {" \t\v\f x", true, "x"},
        {"  ; note\n+ x", true, "x"},  // comment, then continuation
        {"; note", true, ""},
        {";$TWE tag", true, ";$TWE tag"},  // the marker is no comment
        {";$twe tag", true, ";$twe tag"},
        {"\n+x", true, "x"},
        {"\r\n \t+ x", true, "x"},
        {"\n\n+x", true, "x"},           // empty lines before the "+"
        {"\n* comment\n+x", true, "x"},  // comment lines between
        {"\n* last comment", true, ""},
        {"\nR2 1 2", true, "\nR2 1 2"},  // a new statement stops it
        {"\n  R2", true, "\n  R2"},
        {"", true, ""},
        {"x", true, "x"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.text) + (c.spice ? " (spice)" : ""));
        EXPECT_STREQ(SkipSpiceBlanks(c.text, c.spice), c.rest);
    }
}
