// Engineering numbers and display formats.
#include "core/numbers.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

const ScaleSuffix kScaleSuffixes[kScaleSuffixCount] = {
    {1e-15, "f", "f"}, {1e-12, "p", "p"}, {1e-9, "n", "n"},  {1e-6, "u", "u"}, {1e-3, "m", "m"},
    {1.0, " ", " "},   {1e3, "K", "K"},   {1e6, "MEG", "M"}, {1e9, "G", "G"},  {1e12, "T", "T"},
};

namespace {

char nm_suffixLetters[kScaleSuffixCount + 3] = "";
bool nm_cycleFlag = false;

inline char nm_Upper(char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; }
inline bool nm_IsDigit(char c) { return c >= '0' && c <= '9'; }
inline bool nm_IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Converts the number text [begin, end) with the C locale's point, whatever the
// process locale. Returns false when no number could be read.
bool nm_Convert(const char* begin, const char* end, double* value) {
    bool negative = false;
    if (begin < end && (*begin == '+' || *begin == '-')) {
        negative = *begin == '-';
        ++begin;
    }
    double v = 0;
    auto [ptr, ec] = std::from_chars(begin, end, v, std::chars_format::general);
    (void)ptr;
    if (ec == std::errc::result_out_of_range) {
        // Too small reads as 0; too large is reported by the caller's checks.
        const char* e = begin;
        while (e < end && *e != 'e' && *e != 'E') ++e;
        bool tiny = e + 1 < end && e[1] == '-';
        if (!tiny) return false;
        v = 0;
    } else if (ec != std::errc()) {
        v = 0;  // a lone point or sign
    }
    *value = negative ? -v : v;
    return true;
}

void nm_RemoveAt(char* p, size_t n) { std::memmove(p, p + n, std::strlen(p + n) + 1); }

void nm_TrimBlanks(char* text) {
    char* start = text;
    while (*start == ' ' || *start == '\t') ++start;
    if (start != text) nm_RemoveAt(text, size_t(start - text));
    size_t n = std::strlen(text);
    while (n > 0 && (text[n - 1] == ' ' || text[n - 1] == '\t')) text[--n] = 0;
}

// Marks a text that did not fit: its last two positions become "#" and the end.
void nm_MarkOverflow(char* buffer, size_t size) {
    if (size >= 2) {
        buffer[size - 2] = '#';
        buffer[size - 1] = 0;
    }
}

bool nm_ReadsAsZero(const char* text) {
    for (const char* p = text; *p && *p != 'e' && *p != 'E'; ++p)
        if (*p >= '1' && *p <= '9') return false;
    return true;
}

}  // namespace

// ---- scale suffixes ---------------------------------------------------------------

void BuildSuffixLetters() {
    int n = 0;
    for (const ScaleSuffix& row : kScaleSuffixes)
        if (row.suffix[0] != ' ') nm_suffixLetters[n++] = nm_Upper(row.suffix[0]);
    nm_suffixLetters[n++] = 'R';
    nm_suffixLetters[n++] = 'V';
    nm_suffixLetters[n] = 0;
}

const char* SuffixLetters() {
    if (!nm_suffixLetters[0]) BuildSuffixLetters();
    return nm_suffixLetters;
}

bool IsSuffixLetter(char c) { return c && std::strchr(SuffixLetters(), nm_Upper(c)) != nullptr; }

// ---- parsing ------------------------------------------------------------------------

int ParseScaleSuffix(double* scale, const char* text) {
    *scale = 1.0;
    if (!text || !*text) return 0;
    if (nm_Upper(text[0]) == 'M' && nm_Upper(text[1]) == 'E' && nm_Upper(text[2]) == 'G') {
        *scale = 1e6;
        return 3;
    }
    char c = nm_Upper(text[0]);
    for (const ScaleSuffix& row : kScaleSuffixes) {
        if (nm_Upper(row.suffix[0]) == c) {
            *scale = row.scale;
            return 1;
        }
    }
    return 0;
}

bool NumberCycleFlag() { return nm_cycleFlag; }

double ParseNumber(const char* text, int* error) {
    int localError = 0;
    int& err = error ? *error : localError;
    err = 0;
    nm_cycleFlag = false;
    if (!text) return 0;
    const char* p = text;
    while (*p == ' ') ++p;
    const char* start = p;

    if (*p == '+' || *p == '-') ++p;
    bool leadingPoint = *p == '.';
    if (leadingPoint) ++p;
    while (nm_IsDigit(*p)) ++p;
    if (!leadingPoint && *p == '.') {
        ++p;
        while (nm_IsDigit(*p)) ++p;
    }
    if (p == start) {
        err = 1;
        return 0;
    }
    // An exponent needs a digit in front of it: "E5" alone is no number.
    bool haveDigit = false;
    for (const char* q = start; q < p; ++q) haveDigit |= nm_IsDigit(*q);
    if (haveDigit && (*p == 'E' || *p == 'e')) {
        const char* q = p + 1;
        bool negativeExponent = false;
        if (*q == '+' || *q == '-') negativeExponent = *q++ == '-';
        long exponent = 0;
        while (nm_IsDigit(*q)) {
            if (exponent < 100000) exponent = exponent * 10 + (*q - '0');
            ++q;
        }
        if (!negativeExponent && exponent > 300) {
            err = 1;
            return 0;
        }
        p = q;
    }
    const char* numberEnd = p;
    double value = 0;
    if (!nm_Convert(start, numberEnd, &value)) {
        err = 1;
        return 0;
    }
    if (!*p) return value;

    double scale = 1.0;
    int length;
    if (*p == 'R' || *p == 'V') {
        length = 1;
    } else {
        length = ParseScaleSuffix(&scale, p);
    }
    // A scale letter between digits is the decimal point: 4K7, 2R2, 1MEG5.
    if (length > 0 && *p != ' ' && nm_IsDigit(p[length]) && numberEnd - start < 100) {
        char rebuilt[128];
        size_t n = size_t(numberEnd - start);
        std::memcpy(rebuilt, start, n);
        rebuilt[n++] = '.';
        const char* q = p + length;
        while (nm_IsDigit(*q) && n < sizeof rebuilt - 1) rebuilt[n++] = *q++;
        while (nm_IsDigit(*q)) ++q;
        if (!nm_Convert(rebuilt, rebuilt + n, &value)) {
            err = 1;
            return 0;
        }
        p = q;
    } else {
        p += length;
    }

    if (*p == 'C' || *p == 'c') nm_cycleFlag = true;
    while (nm_IsLetter(*p) || *p == '_') ++p;
    while (*p == ' ') ++p;
    if (*p) err = 1;
    return value * scale;
}

// ---- formatting ---------------------------------------------------------------------

const char* ChooseEngineeringScale(double* multiplier, int flags, double value, int digits) {
    *multiplier = 1.0;
    double magnitude = std::fabs(value);
    if (magnitude == 0 || !std::isfinite(magnitude)) return " ";
    int e = int(std::floor(std::log10(magnitude)));
    if (digits + e < -18 || e > 16) return " ";
    if (e % 3 != 0 && magnitude < 1) e -= 3;
    int row = e / 3 + kUnitScaleRow;
    if (row < 0) row = 0;
    if (row > kScaleSuffixCount - 1) row = kScaleSuffixCount - 1;
    *multiplier = 1.0 / kScaleSuffixes[row].scale;
    return (flags & kNumCommasOrAlternate) ? kScaleSuffixes[row].alternate : kScaleSuffixes[row].suffix;
}

char* FormatNumber(char* buffer, size_t size, double value, int digits, char style, int flags) {
    if (!buffer || size == 0) return buffer;
    buffer[0] = 0;
    char* out = buffer;
    size_t room = size;
    if (value < 0 || (flags & kNumLeadingBlank)) {
        if (size < 2) return buffer;
        *out++ = value < 0 ? '-' : ' ';
        *out = 0;
        --room;
    }
    double magnitude = std::fabs(value);
    bool fits = true;
    auto print = [&](const char* format, double v) {
        int n = std::snprintf(out, room, format, digits, v);
        fits = n >= 0 && size_t(n) < room;
    };

    switch (style) {
    case 'E':
    case 'e':
        print("%1.*E", magnitude);
        if (flags & kNumStripExponent) StripExponentPadding(out);
        return buffer;
    case 'F':
    case 'f':
        print("%.*f", magnitude);
        if (flags & kNumCommasOrAlternate) InsertThousandsCommas(out, room);
        if (flags & kNumStripExponent) StripExponentPadding(out);
        if (!fits) nm_MarkOverflow(buffer, size);
        return buffer;
    case 'G':
    case 'g':
        print("%.*G", magnitude);
        if (flags & kNumStripExponent) StripExponentPadding(out);
        return buffer;
    default: break;
    }

    double multiplier = 1.0;
    const char* suffix = "";
    if (!(flags & kNumNoScaling)) suffix = ChooseEngineeringScale(&multiplier, flags, value, digits);
    if (multiplier == 1.0 && magnitude != 0 && (magnitude < 1e-15 || magnitude >= 1e15)) {
        print("%1.*E", magnitude);
        if (flags & kNumStripExponent) StripExponentPadding(out);
        return buffer;
    }
    if (digits == -1) digits = 6;
    print("%.*f", magnitude * multiplier);
    if (!(flags & kNumKeepZeros) && std::strchr(out, '.')) {
        size_t n = std::strlen(out);
        while (n > 0 && out[n - 1] == '0') out[--n] = 0;
        if (n > 0 && out[n - 1] == '.') out[--n] = 0;
    }
    if (magnitude != 0 && nm_ReadsAsZero(out)) {
        print("%.*E", magnitude);
        nm_TrimBlanks(out);
        suffix = "";
    }
    size_t used = std::strlen(out);
    size_t suffixLength = std::strlen(suffix);
    if (used + suffixLength < room) {
        std::memcpy(out + used, suffix, suffixLength + 1);
    } else {
        fits = false;
    }
    if (flags & kNumStripExponent) StripExponentPadding(out);
    if (!fits) nm_MarkOverflow(buffer, size);
    return buffer;
}

char* StripExponentPadding(char* text) {
    if (!text) return text;
    char* e = text;
    while (*e && *e != 'E' && *e != 'e') ++e;
    if (!*e) return text;
    char* p = e + 1;
    if (*p == '+')
        nm_RemoveAt(p, 1);
    else if (*p == '-')
        ++p;
    // Keep the last exponent digit: 1E+00 becomes 1E0, not 1E.
    if (*p == '0' && nm_IsDigit(p[1])) nm_RemoveAt(p, 1);
    return text;
}

char* TrimExponent(char* text) {
    StripExponentPadding(text);
    StripExponentPadding(text);
    if (!text) return text;
    for (char* p = text; *p; ++p) {
        if ((*p == 'e' || *p == 'E') && p[1] == '0' && nm_IsDigit(p[2])) {
            nm_RemoveAt(p + 1, 1);
            break;
        }
    }
    return text;
}

char* TrimNumberZeros(char* text) {
    if (!text) return text;
    char exponent[64] = "";
    char* e = text;
    while (*e && *e != 'E' && *e != 'e') ++e;
    if (*e) {
        std::snprintf(exponent, sizeof exponent, "%s", e);
        *e = 0;
    }
    char* body = text[0] == '-' ? text + 1 : text;
    size_t zeros = 0;
    while (body[zeros] == '0' && body[zeros + 1]) ++zeros;
    if (zeros) nm_RemoveAt(body, zeros);
    if (std::strchr(text, '.')) {
        size_t n = std::strlen(text);
        while (n > 0 && text[n - 1] == '0') text[--n] = 0;
        if (n > 0 && text[n - 1] == '.') text[--n] = 0;
    }
    if (!*text) std::strcpy(text, "0");
    std::strcat(text, exponent);
    return text;
}

char* InsertThousandsCommas(char* text, size_t size) {
    if (!text) return text;
    char* point = std::strchr(text, '.');
    char* end = point ? point : text + std::strlen(text);
    char* p = end;
    int count = 0;
    while (p > text && nm_IsDigit(p[-1])) {
        --p;
        if (++count == 3 && p > text && nm_IsDigit(p[-1])) {
            size_t length = std::strlen(text);
            if (length + 2 > size) break;
            std::memmove(p + 1, p, size_t(text + length - p) + 1);
            *p = ',';
            count = 0;
        }
    }
    return text;
}

char* FormatOrdinal(char* buffer, size_t size, int n) {
    if (!buffer || size == 0) return buffer;
    if (n == 0) {
        std::snprintf(buffer, size, "none");
        return buffer;
    }
    long long v = n < 0 ? -(long long)n : n;
    int last = int(v % 10), lastTwo = int(v % 100);
    const char* ending = "th";
    if (last == 1 && lastTwo != 11)
        ending = "st";
    else if (last == 2 && lastTwo != 12)
        ending = "nd";
    else if (last == 3 && lastTwo != 13)
        ending = "rd";
    std::snprintf(buffer, size, "%d%s", n, ending);
    return buffer;
}

int ClampToInt(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483647.0) return 2147483647;
    if (value <= -2147483648.0) return -2147483647 - 1;
    return int(value);
}

uint32_t ClampToUnsigned(double value) {
    if (std::isnan(value) || value <= 0) return 0;
    if (value >= 4294967295.0) return 4294967295u;
    return uint32_t(value);
}

char* IntToText(char* buffer, size_t size, int n) {
    if (buffer && size) std::snprintf(buffer, size, "%d", n);
    return buffer;
}

// ---- display formats ----------------------------------------------------------------

bool NormalizeFormatSpec(FormatSpec* spec) {
    char original[sizeof spec->text];
    std::memcpy(original, spec->text, sizeof original);
    original[sizeof original - 1] = 0;

    char text[sizeof spec->text];
    std::memcpy(text, original, sizeof text);
    nm_TrimBlanks(text);

    char* letter = nullptr;
    for (char wanted : {'E', 'G', 'F'}) {
        for (char* p = text; *p && !letter; ++p)
            if (nm_Upper(*p) == wanted) letter = p;
        if (letter) break;
    }
    char result[sizeof spec->text];
    if (letter) {
        char typed = *letter;
        if (nm_IsDigit(text[0])) {
            size_t n = 0;
            long number = 0;
            while (nm_IsDigit(text[n])) {
                if (number <= 16) number = number * 10 + (text[n] - '0');
                ++n;
            }
            if (number > 16)
                std::snprintf(result, sizeof result, "16%c", typed);
            else
                std::snprintf(result, sizeof result, "%.*s%c", int(n), text, typed);
        } else {
            std::snprintf(result, sizeof result, "3%c", typed);
        }
    } else {
        long number = 0;
        size_t n = 0;
        while (nm_IsDigit(text[n])) {
            if (number <= 16) number = number * 10 + (text[n] - '0');
            ++n;
        }
        if (std::strlen(text) > 3 || number > 16)
            std::snprintf(result, sizeof result, "16");
        else
            std::snprintf(result, sizeof result, "%.*s", int(n), text);
        if (!result[0]) std::snprintf(result, sizeof result, "3");
    }
    std::memcpy(spec->text, result, sizeof result);

    int digits = 0;
    for (const char* p = spec->text; nm_IsDigit(*p); ++p) digits = digits * 10 + (*p - '0');
    spec->digits = int16_t(digits > 16 ? 16 : digits);
    spec->style = 0;
    for (char wanted : {'F', 'E', 'G'})
        for (const char* p = spec->text; *p; ++p)
            if (nm_Upper(*p) == wanted) spec->style = int16_t(wanted);
    return std::strcmp(original, spec->text) != 0;
}

void ParseFormatSpec(FormatSpec* spec, const char* text) {
    std::snprintf(spec->text, sizeof spec->text, "%.9s", text ? text : "");
    NormalizeFormatSpec(spec);
}

void FormatSpec::SetScaleForValue(double sample) {
    double multiplier = 1.0;
    const char* suffix = ChooseEngineeringScale(&multiplier, kNumCommasOrAlternate, sample, digits);
    double magnitude = std::fabs(sample);
    forcedExponent = magnitude != 0 && (magnitude < 1e-15 || magnitude > 1e15);
    if (style == 'E' || style == 'F') {
        scale = 1.0;
        scaleLetter = 0;
    } else {
        scale = multiplier;
        scaleLetter = suffix[0] == ' ' ? 0 : suffix[0];
    }
}

std::string FormatSpec::Describe() const {
    const char* name = style == 'E'   ? "Scientific"
                       : style == 'F' ? "Decimal"
                       : style == 'G' ? "Default"
                                      : "Engineering";
    char text[48];
    std::snprintf(text, sizeof text, "%d Digit %s", int(digits), name);
    return text;
}

char* FormatValueWithSpec(const FormatSpec* spec, char* buffer, size_t size, double value, int mode, int flags) {
    if (!buffer || size == 0) return buffer;
    if (spec->forcedExponent) {
        FormatNumber(buffer, size, value, spec->digits, 'E', flags | 0x14);
    } else if (mode & (kFormatFixedScale | kFormatFixedScaleNoLetter)) {
        FormatNumber(buffer, size, value * spec->scale, spec->digits, char(spec->style), flags | 0x34);
        if (!(mode & kFormatFixedScaleNoLetter) && spec->scaleLetter) {
            const char* letter = spec->scaleLetter == 'M' && flags == 2 ? "MEG" : nullptr;
            char single[2] = {spec->scaleLetter, 0};
            if (!letter) letter = single;
            if (std::strlen(buffer) + std::strlen(letter) < size) std::strcat(buffer, letter);
        }
    } else {
        FormatNumber(buffer, size, value, spec->digits, char(spec->style), flags | 0x14);
    }
    nm_TrimBlanks(buffer);
    return buffer;
}
