// Character classes and the in-place text routines.
#include "core/chars.h"

#include "core/memory.h"

#include <cstring>

namespace {

// The tokenizer's continuation point; one for the whole program, like strtok.
char* g_charsTokenCursor = nullptr;

inline unsigned char chars_Lower(char c) { return kCharClassTable.lower[static_cast<unsigned char>(c)]; }
inline unsigned char chars_Upper(char c) { return kCharClassTable.upper[static_cast<unsigned char>(c)]; }
inline uint32_t chars_Flags(char c) { return kCharClassTable.flags[static_cast<unsigned char>(c)]; }

size_t chars_DigitRun(const char* s) {
    size_t n = 0;
    while (chars_Flags(s[n]) & CC_DIGIT) ++n;
    return n;
}

size_t chars_NonDigitRun(const char* s) {
    size_t n = 0;
    while (s[n] && !(chars_Flags(s[n]) & CC_DIGIT)) ++n;
    return n;
}

// Compares two runs of decimal digits by value, whatever their length.
int chars_CompareDigitRuns(const char* a, size_t la, const char* b, size_t lb) {
    while (la > 0 && *a == '0') ++a, --la;
    while (lb > 0 && *b == '0') ++b, --lb;
    if (la != lb) return la < lb ? -1 : 1;
    int c = std::memcmp(a, b, la);
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

}  // namespace

void BuildCharClassTables() {
    // The tables are compile-time constants; nothing is left to fill in.
}

// ---- comparisons --------------------------------------------------------------

int CompareNoCase(const char* a, const char* b) {
    if (!a) a = "";
    if (!b) b = "";
    for (;; ++a, ++b) {
        int ca = chars_Lower(*a), cb = chars_Lower(*b);
        if (ca != cb) return ca - cb;
        if (ca == 0) return 0;
    }
}

int CompareNoCaseN(const char* a, const char* b, size_t n) {
    if (!a) a = "";
    if (!b) b = "";
    for (; n > 0; ++a, ++b, --n) {
        int ca = chars_Lower(*a), cb = chars_Lower(*b);
        if (ca != cb) return ca - cb;
        if (ca == 0) return 0;
    }
    return 0;
}

int WildcardMatch(const char* pattern, const char* text) {
    if (!pattern) pattern = "";
    if (!text) text = "";
    for (;; ++pattern, ++text) {
        if (*pattern == '*' || *pattern == 0) return 0;
        if (*text == 0) {
            while (*pattern == '*' || *pattern == '?') ++pattern;
            return *pattern ? 1 : 0;
        }
        if (*pattern == '?') continue;
        if (chars_Upper(*pattern) != chars_Upper(*text)) return 1;
    }
}

int NaturalCompare(const char* a, const char* b) {
    if (!a) a = "";
    if (!b) b = "";
    if (!*a || !*b) {
        int c = CompareNoCase(b, a);
        return c < 0 ? -1 : c > 0 ? 1 : 0;
    }
    // A missing number counts as the largest 32-bit value, so that a name
    // without a number sorts after the numbered ones.
    static const char kMissing[] = "2147483647";
    bool digits = true;
    while (*a || *b) {
        if (digits) {
            size_t la = chars_DigitRun(a), lb = chars_DigitRun(b);
            int c = chars_CompareDigitRuns(la ? a : kMissing, la ? la : sizeof kMissing - 1, lb ? b : kMissing,
                                           lb ? lb : sizeof kMissing - 1);
            if (c != 0) return c;
            a += la;
            b += lb;
        } else {
            size_t la = chars_NonDigitRun(a), lb = chars_NonDigitRun(b);
            size_t common = la < lb ? la : lb;
            for (size_t i = 0; i < common; ++i) {
                int ca = chars_Lower(a[i]), cb = chars_Lower(b[i]);
                if (ca != cb) return ca < cb ? -1 : 1;
            }
            if (la != lb) return la < lb ? -1 : 1;
            a += la;
            b += lb;
        }
        digits = !digits;
    }
    return 0;
}

// ---- in-place text routines -------------------------------------------------

char* AppendChar(char* text, char c) {
    size_t n = std::strlen(text);
    text[n] = c;
    text[n + 1] = 0;
    return text;
}

char* TrimTrailingWhitespace(char* text) {
    if (!text) return text;
    size_t n = std::strlen(text);
    while (n > 0 && (chars_Flags(text[n - 1]) & CC_SPACE)) --n;
    if (text[n]) text[n] = 0;
    return text;
}

char* TrimLeadingWhitespace(char* text) {
    if (!text) return text;
    size_t skip = 0;
    while (text[skip] && (chars_Flags(text[skip]) & CC_SPACE)) ++skip;
    if (skip) std::memmove(text, text + skip, std::strlen(text + skip) + 1);
    return text;
}

char* TrimWhitespace(char* text) { return TrimLeadingWhitespace(TrimTrailingWhitespace(text)); }

char* TrimTrailingSpaces(char* text) {
    if (!text) return text;
    size_t n = std::strlen(text);
    while (n > 0 && text[n - 1] == ' ') --n;
    if (text[n]) text[n] = 0;
    return text;
}

char* TrimLeadingSpaces(char* text) {
    if (!text) return text;
    size_t skip = 0;
    while (text[skip] == ' ') ++skip;
    if (skip) std::memmove(text, text + skip, std::strlen(text + skip) + 1);
    return text;
}

char* TrimSpaces(char* text) { return TrimLeadingSpaces(TrimTrailingSpaces(text)); }

char* ReplaceChar(char* text, char oldChar, char newChar) {
    if (!text || oldChar == 0) return text;
    for (char* p = text; *p; ++p)
        if (*p == oldChar) *p = newChar;
    return text;
}

char* CollapseSpaces(char* text) {
    if (!text || IsSharedEmpty(text)) return text;
    char* out = text;
    for (const char* p = text; *p; ++p) {
        if (*p == ' ' && out > text && out[-1] == ' ') continue;
        *out++ = *p;
    }
    *out = 0;
    return text;
}

char* RemoveChar(char* text, char c) {
    if (!text || c == 0) return text;
    char* out = text;
    for (const char* p = text; *p; ++p)
        if (*p != c) *out++ = *p;
    *out = 0;
    return text;
}

char* RemoveWhitespace(char* text) {
    if (!text) return text;
    char* out = text;
    for (const char* p = text; *p; ++p)
        if (!(chars_Flags(*p) & CC_SPACE)) *out++ = *p;
    *out = 0;
    return text;
}

char* PadWithSpaces(char* text, size_t length) {
    size_t n = strnlen(text, length);
    for (; n < length; ++n) text[n] = ' ';
    text[length] = 0;
    return text;
}

char* SplitAtChar(char* text, char c) {
    if (!text || c == 0) return nullptr;
    char* p = std::strchr(text, c);
    if (!p) return nullptr;
    *p = 0;
    return p + 1;
}

char* StripQuotes(char* text) {
    if (!text || text[0] != '"') return text;
    size_t n = std::strlen(text + 1);
    std::memmove(text, text + 1, n + 1);
    if (n > 0 && text[n - 1] == '"') text[n - 1] = 0;
    return text;
}

char* ForwardStripQuotes(char* text) { return StripQuotes(text); }

const char* FindTextNoCase(const char* text, const char* part) {
    if (!text || !part) return nullptr;
    size_t n = std::strlen(part);
    for (const char* p = text;; ++p) {
        if (CompareNoCaseN(p, part, n) == 0) return p;
        if (!*p) return nullptr;
    }
}

const char* FindCharNoCase(const char* text, char c) {
    if (!text || c == 0) return nullptr;
    unsigned char want = chars_Upper(c);
    for (const char* p = text; *p; ++p)
        if (chars_Upper(*p) == want) return p;
    return nullptr;
}

bool HasOnlyCharClass(const char* text, uint32_t mask) {
    if (!text) return true;
    for (const char* p = text; *p; ++p)
        if (!(chars_Flags(*p) & mask)) return false;
    return true;
}

bool IsAllDigits(const char* text) {
    if (!text || !*text) return false;
    return HasOnlyCharClass(text, CC_DIGIT);
}

size_t LengthWithoutTrailingDigits(const char* text) {
    if (!text) return 0;
    size_t n = std::strlen(text);
    while (n > 0 && (chars_Flags(text[n - 1]) & CC_DIGIT)) --n;
    return n;
}

char* CopyUntilChar(char* out, const char* text, char c, size_t outSize) {
    if (!out || outSize == 0) return out;
    size_t n = 0;
    if (text)
        for (; text[n] && text[n] != c && n + 1 < outSize; ++n) out[n] = text[n];
    out[n] = 0;
    return out;
}

char* CopyFirstWord(char* out, const char* text, size_t outSize) { return CopyUntilChar(out, text, ' ', outSize); }

char* CopyUpper(char* out, const char* text, size_t outSize) {
    if (!out || outSize == 0) return out;
    size_t n = 0;
    if (text)
        for (; text[n] && n + 1 < outSize; ++n) out[n] = static_cast<char>(chars_Upper(text[n]));
    out[n] = 0;
    return out;
}

char* CopyUpperOutsideQuotes(char* out, const char* text, size_t outSize) {
    if (!out || outSize == 0) return out;
    size_t n = 0;
    bool quoted = false;
    if (text)
        for (; text[n] && n + 1 < outSize; ++n) {
            if (text[n] == '"') quoted = !quoted;
            out[n] = quoted ? text[n] : static_cast<char>(chars_Upper(text[n]));
        }
    out[n] = 0;
    return out;
}

const char* CopyCharClassRun(char* out, const char* text, uint32_t mask, size_t size) {
    if (size == 0 || !text) return text;
    size_t n = 0;
    for (; text[n] && (chars_Flags(text[n]) & mask) && n + 1 < size; ++n) out[n] = text[n];
    out[n] = 0;
    return text + n;
}

const char* SkipCharClass(const char* text, uint32_t mask) {
    if (!text) return text;
    while (*text && (chars_Flags(*text) & mask)) ++text;
    return text;
}

void SkipWhitespace(const char*& cursor) { cursor = SkipCharClass(cursor, CC_SPACE); }
void SkipWhitespace(char*& cursor) { cursor = SkipCharClass(cursor, CC_SPACE); }

const char* SkipSpiceBlanks(const char* p, bool spice) {
    if (!spice) return SkipCharClass(p, CC_SPACE);
    for (;;) {
        while (*p == ' ' || *p == '\t' || *p == '\v' || *p == '\f') ++p;
        if (*p == ';' && CompareNoCaseN(p, ";$TWE", 5) != 0) {
            while (*p && *p != '\n') ++p;
            continue;
        }
        if (*p == '\r' || *p == '\n') {
            const char* q = p;
            while (*q == '\r' || *q == '\n') ++q;
            while (*q == ' ' || *q == '\t') ++q;
            if (*q == '+') {
                p = q + 1;
                continue;
            }
            if (*q == '*') {
                p = q;
                while (*p && *p != '\n') ++p;
                continue;
            }
        }
        return p;
    }
}

namespace {
const char* chars_FindClosing(const char* text, char open, char close) {
    if (!text) return text;
    int depth = 0;
    for (const char* p = text; *p; ++p) {
        if (*p == open) {
            ++depth;
        } else if (*p == close) {
            if (--depth == 0) return p + 1;
        }
    }
    return text + std::strlen(text);
}
}  // namespace

const char* FindClosingParen(const char* text) { return chars_FindClosing(text, '(', ')'); }
const char* FindClosingBrace(const char* text) { return chars_FindClosing(text, '{', '}'); }

void AppendUniqueListItem(std::string& list, const char* item, char separator) {
    if (!item) return;
    std::string framed(1, separator);
    framed += list;
    framed += separator;
    std::string wanted(1, separator);
    wanted += item;
    wanted += separator;
    if (framed.find(wanted) != std::string::npos) return;
    if (!list.empty()) list += separator;
    list += item;
}

char* NextToken(char* text, uint32_t mask) {
    if (text) g_charsTokenCursor = text;
    char* p = g_charsTokenCursor;
    if (!p || !*p) return nullptr;
    const bool braces = (mask & CC_OPEN_BRACE) != 0;
    while (*p && (chars_Flags(*p) & mask) && !(braces && *p == '{')) ++p;
    if (!*p) {
        g_charsTokenCursor = p;
        return nullptr;
    }
    char* start = p;
    if (braces && *p == '{')
        p = FindClosingBrace(p);
    else
        ++p;
    while (*p && !(chars_Flags(*p) & mask)) ++p;
    if (*p) {
        *p = 0;
        g_charsTokenCursor = p + 1;
    } else {
        g_charsTokenCursor = p;
    }
    return start;
}
