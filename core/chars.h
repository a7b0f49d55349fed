// Character classes, case maps and the in-place text routines that parsers and
// dialogs share.
//
// Texts are single bytes (the ANSI code page); nothing here knows multi-byte
// characters. "Letters" are ASCII A..Z and a..z, "digits" 0..9; bytes 128..255
// carry no class.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// ---- character classes ------------------------------------------------------

constexpr uint32_t CC_NAME = 1u << 0;          // letters, digits, _ $ % * + - /
constexpr uint32_t CC_IDENT = 1u << 1;         // letters, digits, _
constexpr uint32_t CC_ALPHA = 1u << 2;         // letters, _
constexpr uint32_t CC_NAME_DOT = 1u << 3;      // CC_NAME and the full stop
constexpr uint32_t CC_NUMBER = 1u << 4;        // digits, + - . e E
constexpr uint32_t CC_WORD_END = 1u << 5;      // white space, byte 0, (
constexpr uint32_t CC_NUM_START = 1u << 6;     // digits, + - .
constexpr uint32_t CC_SEPARATOR = 1u << 7;     // space " ( ) , = { | }
constexpr uint32_t CC_ALNUM = 1u << 8;         // letters, digits
constexpr uint32_t CC_DOT = 1u << 10;          // .
constexpr uint32_t CC_DIGIT = 1u << 11;        // 0..9
constexpr uint32_t CC_OPERATOR = 1u << 12;     // & * + - / ^ | ~
constexpr uint32_t CC_COMPARE = 1u << 13;      // ! < = >
constexpr uint32_t CC_STATE = 1u << 14;        // 0 1 F R X
constexpr uint32_t CC_CLOSE_PAREN = 1u << 15;  // )
constexpr uint32_t CC_DELIM = 1u << 16;        // , = ( ) [ ] < > and byte 0
constexpr uint32_t CC_DELIM_SPACE = 1u << 17;  // , = ( ) [ ] < > % space, byte 0
constexpr uint32_t CC_SPACE = 1u << 18;        // bytes 9..13 and 32
constexpr uint32_t CC_NUL = 1u << 19;          // byte 0
constexpr uint32_t CC_HEX = 1u << 20;          // digits, a..f, A..F
constexpr uint32_t CC_OPEN_PAREN = 1u << 21;   // (
constexpr uint32_t CC_EQUALS = 1u << 22;       // =
constexpr uint32_t CC_LOWER = 1u << 23;        // a..z
constexpr uint32_t CC_UPPER = 1u << 24;        // A..Z
constexpr uint32_t CC_PRINT = 1u << 25;        // bytes 32..126
constexpr uint32_t CC_EXPR_DELIM = 1u << 26;   // space , = ( ) [ ] < > ^ ~ * / + - ' ! | & and bytes 0..2
constexpr uint32_t CC_BLANK = 1u << 27;        // space only
constexpr uint32_t CC_COMMA = 1u << 28;        // ,
constexpr uint32_t CC_OPEN_BRACE = 1u << 29;   // {  (in a NextToken mask: braces group)
constexpr uint32_t CC_CLOSE_BRACE = 1u << 30;  // }
constexpr uint32_t CC_OCTAL = 1u << 31;        // 0..7

struct CharClassTable {
    uint32_t flags[256];
    unsigned char upper[256];  // a..z to A..Z, every other byte to itself
    unsigned char lower[256];  // A..Z to a..z, every other byte to itself
};

namespace chars_detail {
constexpr void AddFlag(CharClassTable& t, const char* bytes, uint32_t flag) {
    for (; *bytes; ++bytes) t.flags[static_cast<unsigned char>(*bytes)] |= flag;
}
constexpr CharClassTable MakeTable() {
    CharClassTable t{};
    for (int c = 0; c < 256; ++c) {
        t.upper[c] = static_cast<unsigned char>(c >= 'a' && c <= 'z' ? c - 32 : c);
        t.lower[c] = static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
        bool lower = c >= 'a' && c <= 'z', upper = c >= 'A' && c <= 'Z', digit = c >= '0' && c <= '9';
        bool letter = lower || upper;
        uint32_t f = 0;
        if (letter || digit) f |= CC_NAME | CC_IDENT | CC_NAME_DOT | CC_ALNUM;
        if (letter) f |= CC_ALPHA;
        if (digit) f |= CC_NUMBER | CC_NUM_START | CC_DIGIT | CC_HEX;
        if (lower) f |= CC_LOWER;
        if (upper) f |= CC_UPPER;
        if ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')) f |= CC_HEX;
        if (c >= '0' && c <= '7') f |= CC_OCTAL;
        if (c >= 32 && c <= 126) f |= CC_PRINT;
        if ((c >= 9 && c <= 13) || c == 32) f |= CC_SPACE | CC_WORD_END;
        t.flags[c] = f;
    }
    AddFlag(t, "_", CC_NAME | CC_IDENT | CC_ALPHA | CC_NAME_DOT);
    AddFlag(t, "$%*+-/", CC_NAME | CC_NAME_DOT);
    AddFlag(t, ".", CC_NAME_DOT | CC_DOT);
    AddFlag(t, "+-.eE", CC_NUMBER);
    AddFlag(t, "+-.", CC_NUM_START);
    AddFlag(t, "(", CC_WORD_END | CC_OPEN_PAREN);
    AddFlag(t, " \"(),={|}", CC_SEPARATOR);
    AddFlag(t, "&*+-/^|~", CC_OPERATOR);
    AddFlag(t, "!<=>", CC_COMPARE);
    AddFlag(t, "01FRX", CC_STATE);
    AddFlag(t, ")", CC_CLOSE_PAREN);
    AddFlag(t, ",=()[]<>", CC_DELIM | CC_DELIM_SPACE);
    AddFlag(t, "% ", CC_DELIM_SPACE);
    AddFlag(t, "=", CC_EQUALS);
    AddFlag(t, " ,=()[]<>^~*/+-'!|&\x01\x02", CC_EXPR_DELIM);
    AddFlag(t, " ", CC_BLANK);
    AddFlag(t, ",", CC_COMMA);
    AddFlag(t, "{", CC_OPEN_BRACE);
    AddFlag(t, "}", CC_CLOSE_BRACE);
    // Byte 0 ends every delimiter scan without a separate test for the end.
    t.flags[0] |= CC_WORD_END | CC_DELIM | CC_DELIM_SPACE | CC_NUL | CC_EXPR_DELIM;
    return t;
}
}  // namespace chars_detail

// Constant, so valid before BuildCharClassTables runs; start-up still calls
// that first thing.
inline constexpr CharClassTable kCharClassTable = chars_detail::MakeTable();
void BuildCharClassTables();
inline const CharClassTable& CharClasses() { return kCharClassTable; }

// Flags of a byte.
inline uint32_t CharClassOf(unsigned char c) { return kCharClassTable.flags[c]; }
inline bool HasCharClass(char c, uint32_t mask) { return (CharClassOf(static_cast<unsigned char>(c)) & mask) != 0; }
inline char UpperChar(char c) { return static_cast<char>(kCharClassTable.upper[static_cast<unsigned char>(c)]); }
inline char LowerChar(char c) { return static_cast<char>(kCharClassTable.lower[static_cast<unsigned char>(c)]); }

// ---- comparisons --------------------------------------------------------------

// Compare through the upper-case map; negative, 0 or positive.
int CompareNoCase(const char* a, const char* b);
int CompareNoCaseN(const char* a, const char* b, size_t n);

// 0 when the text matches the pattern, 1 when not. "*" (or the pattern's end)
// matches the rest of the text; "?" any one character; other characters compare
// without case.
int WildcardMatch(const char* pattern, const char* text);

// Orders names with embedded numbers (R2 before R10); digit runs compare by
// value (any length), other runs without case. An empty text sorts after a
// non-empty one.
int NaturalCompare(const char* a, const char* b);

// ---- in-place text routines -------------------------------------------------
// All work on the caller's writable text and return it unless stated.

char* AppendChar(char* text, char c);
char* TrimWhitespace(char* text);  // CC_SPACE bytes, both ends
char* TrimTrailingWhitespace(char* text);
char* TrimLeadingWhitespace(char* text);
char* TrimTrailingSpaces(char* text);  // the space character only
char* TrimLeadingSpaces(char* text);
char* TrimSpaces(char* text);
char* ReplaceChar(char* text, char oldChar, char newChar);
char* CollapseSpaces(char* text);  // runs of blanks become one blank
char* RemoveChar(char* text, char c);
char* RemoveWhitespace(char* text);
// Pads with blanks to `length` and cuts there; the buffer holds length + 1 bytes.
char* PadWithSpaces(char* text, size_t length);
// Cuts at the first `c` and returns the text after it; null when absent.
char* SplitAtChar(char* text, char c);
char* StripQuotes(char* text);
char* ForwardStripQuotes(char* text);

const char* FindTextNoCase(const char* text, const char* part);
inline char* FindTextNoCase(char* text, const char* part) {
    return const_cast<char*>(FindTextNoCase(static_cast<const char*>(text), part));
}
const char* FindCharNoCase(const char* text, char c);
inline char* FindCharNoCase(char* text, char c) {
    return const_cast<char*>(FindCharNoCase(static_cast<const char*>(text), c));
}

bool HasOnlyCharClass(const char* text, uint32_t mask);  // true for ""
bool IsAllDigits(const char* text);                      // false for ""
size_t LengthWithoutTrailingDigits(const char* text);    // "R12" gives 1

// The copying routines write at most outSize bytes (terminator included) and
// always terminate the output when outSize > 0.
char* CopyUntilChar(char* out, const char* text, char c, size_t outSize);
char* CopyFirstWord(char* out, const char* text, size_t outSize);
char* CopyUpper(char* out, const char* text, size_t outSize);
char* CopyUpperOutsideQuotes(char* out, const char* text, size_t outSize);
// Copies the leading run of bytes carrying a flag of the mask (at most
// size - 1 of them); returns the position after the copied run.
const char* CopyCharClassRun(char* out, const char* text, uint32_t mask, size_t size);
inline char* CopyCharClassRun(char* out, char* text, uint32_t mask, size_t size) {
    return const_cast<char*>(CopyCharClassRun(out, static_cast<const char*>(text), mask, size));
}

// First byte that carries none of the mask's flags.
const char* SkipCharClass(const char* text, uint32_t mask);
inline char* SkipCharClass(char* text, uint32_t mask) {
    return const_cast<char*>(SkipCharClass(static_cast<const char*>(text), mask));
}
void SkipWhitespace(const char*& cursor);
void SkipWhitespace(char*& cursor);
// The netlist's blank skipper. Without `spice` it skips white space. With it
// it skips blanks and tabs, ";" comments to the line end (but not a ";$TWE"
// marker), and a line end whose next line continues with "+" (the "+" too)
// or is a "*" comment line; any other line end stops it.
const char* SkipSpiceBlanks(const char* cursor, bool spice);
inline char* SkipSpiceBlanks(char* cursor, bool spice) {
    return const_cast<char*>(SkipSpiceBlanks(static_cast<const char*>(cursor), spice));
}

// Position just after the parenthesis (brace) that closes the depth opened at
// the text's start; the end of the text when none does.
const char* FindClosingParen(const char* text);
inline char* FindClosingParen(char* text) {
    return const_cast<char*>(FindClosingParen(static_cast<const char*>(text)));
}
const char* FindClosingBrace(const char* text);
inline char* FindClosingBrace(char* text) {
    return const_cast<char*>(FindClosingBrace(static_cast<const char*>(text)));
}

// Appends `item` to a list of items separated by `separator` unless it is
// already a whole item of it (case-sensitive).
void AppendUniqueListItem(std::string& list, const char* item, char separator);

// A strtok-like tokenizer over the class table: a non-null text restarts it, a
// null text continues. The cursor is process-wide: do not interleave two
// tokenizations. With CC_OPEN_BRACE in the mask a token that begins with "{"
// runs to its matching "}" (blanks and delimiters inside stay in it).
char* NextToken(char* text, uint32_t mask);
