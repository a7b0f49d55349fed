// Engineering numbers: the one number reader and number writer of the program,
// and the display formats that plots and tables keep per column.
//
// Values are written the way engineers write them: 10K, 4.7u, 1MEG, 4K7 (4.7
// kilo), 2R2 (2.2). On input "M" and "m" are milli; only "MEG" is mega.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// ---- scale suffixes -----------------------------------------------------------

struct ScaleSuffix {
    double scale;
    const char* suffix;     // written by FormatNumber; " " for the unit row
    const char* alternate;  // compact displays: "M" is mega here
};
// femto .. tera, in the order the reader tries them.
constexpr int kScaleSuffixCount = 10;
constexpr int kUnitScaleRow = 5;
extern const ScaleSuffix kScaleSuffixes[kScaleSuffixCount];

// Builds the scale-letter set "FPNUMKMGTRV": the letters that may continue a
// number in an expression. Called once at start-up; SuffixLetters builds it on
// first use as well.
void BuildSuffixLetters();
const char* SuffixLetters();
bool IsSuffixLetter(char c);  // any case

// ---- parsing --------------------------------------------------------------------

// Reads a scale suffix at the start of `text`: "MEG" (any case) is 1e6 and 3
// characters; otherwise the first character matched without case against the
// table's first letters (so M and m are milli, a blank is the unit suffix), 1
// character. No match: *scale = 1, returns 0.
int ParseScaleSuffix(double* scale, const char* text);

// Reads an engineering number: blanks, a number with optional exponent, an
// optional scale (a table suffix, or R/V for 1), and an optional unit made of
// letters and "_". A scale letter followed by digits is a decimal point (4K7 is
// 4700). *error (may be null) becomes 1 when no number was found (result 0), the
// exponent exceeds 300 (result 0), or text is left after the unit (the value is
// still returned).
double ParseNumber(const char* text, int* error);
// Set by the last ParseNumber when the unit began with "C" or "c" (clock cycles
// in digital stimulus programs).
bool NumberCycleFlag();

// ---- formatting -------------------------------------------------------------------

enum NumberFormatFlags : int {
    kNumCommasOrAlternate = 0x01,  // thousands commas (F), alternate suffixes (engineering)
    kNumKeepZeros = 0x04,          // keep trailing fraction zeros
    kNumLeadingBlank = 0x08,       // a blank where a minus sign would go
    kNumStripExponent = 0x10,      // StripExponentPadding on the result
    kNumNoScaling = 0x20,          // engineering style without a scale suffix
};

// Chooses the engineering multiplier (value x multiplier is shown) and returns the
// suffix text; flag 1 picks the alternate suffixes.
const char* ChooseEngineeringScale(double* multiplier, int flags, double value, int digits);
// Writes `value` with `digits` decimals in style 'E' scientific, 'F' decimal,
// 'G' general (any case) or engineering (any other character, e.g. 0). Text that
// does not fit ends in "#". Returns buffer.
char* FormatNumber(char* buffer, size_t size, double value, int digits, char style, int flags);

// 1.5E+03 -> 1.5E3, 1.5E-03 -> 1.5E-3.
char* StripExponentPadding(char* text);
char* TrimExponent(char* text);
// 0.50 -> .5, 007 -> 7, 2.000 -> 2; the exponent part is left alone.
char* TrimNumberZeros(char* text);
// 1234567.89 -> 1,234,567.89 while the text still fits in `size`.
char* InsertThousandsCommas(char* text, size_t size);
// 1st, 2nd, 3rd, 4th, 11th ...; 0 gives "none".
char* FormatOrdinal(char* buffer, size_t size, int n);
int ClampToInt(double value);
uint32_t ClampToUnsigned(double value);
char* IntToText(char* buffer, size_t size, int n);

// ---- display formats ------------------------------------------------------------

// A per-column display format: digits plus an optional style letter ("3",
// "5E", "2F", "4G").
struct FormatSpec {
    char text[10] = "3";
    int16_t digits = 3;
    int16_t style = 0;           // 'E', 'F', 'G' or 0 for engineering
    int32_t forcedExponent = 0;  // the sample value lies outside 1e-15..1e15
    double scale = 1.0;          // fixed multiplier chosen for the sample value
    char scaleLetter = 0;        // first letter of the alternate suffix, 0 for none

    void SetScaleForValue(double sample);
    // "3 Digit Engineering", "5 Digit Scientific", ...
    std::string Describe() const;
};

// Brings spec->text into the form digits + optional letter and sets digits and
// style; returns whether the text changed.
bool NormalizeFormatSpec(FormatSpec* spec);
void ParseFormatSpec(FormatSpec* spec, const char* text);

enum FormatValueMode : int {
    kFormatFixedScale = 1,          // use the format's fixed scale and letter
    kFormatFixedScaleNoLetter = 2,  // fixed scale, no letter
};
// Writes a value by a display format; `flags` go to FormatNumber (2: text that is
// read back, so mega is written "MEG"). Returns buffer.
char* FormatValueWithSpec(const FormatSpec* spec, char* buffer, size_t size, double value, int mode, int flags);
