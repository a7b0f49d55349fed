// Small shared services: time and date texts, argument lists, digital value
// radixes and the status-bar progress of long runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// ---- time and date --------------------------------------------------------------

// Seconds from a monotonic clock (for elapsed times only).
double GetSeconds();
// Short date and time in the process's LC_TIME locale; the buffer is cleared first.
char* FormatLocaleDate(char* buffer, size_t size);
char* FormatLocaleTime(char* buffer, size_t size);

// The Date Stamp and Time Stamp preferences; set by the preferences owner.
extern bool gDateStampEnabled;
extern bool gTimeStampEnabled;
// The stamp of printed pages and plots: "Date <date> Time <time>" (labels
// optional) by the two preferences; empty when both are off.
char* FormatDateTimeStamp(char* buffer, bool withLabels, size_t size);
// "59 sec", "1 min", "2 min 5 sec".
std::string FormatElapsedTime(long seconds);

// ---- argument lists ---------------------------------------------------------------

// Evaluation of parameter texts belongs to the expression language, which
// installs its evaluator; without one every evaluation here fails with 15040.
class ParameterEvaluatorPort {
public:
    virtual ~ParameterEvaluatorPort() = default;
    // Evaluates a parameter text: 0 or a result code (kResultNotBuilt without
    // an evaluator). `dependsOn` receives the evaluator's two words that tell
    // whether the value depends on run-time quantities.
    virtual int Evaluate(const char* text, double* value, unsigned dependsOn[2]) = 0;
};
ParameterEvaluatorPort& ParameterEvaluator();
ParameterEvaluatorPort* InstallParameterEvaluator(ParameterEvaluatorPort* port);
// Whether an evaluator is installed (callers with their own fallback ask).
bool HasParameterEvaluator();

// Cuts the text at its first comma outside parentheses and returns the text
// after it; without such a comma, the end of the text.
char* SplitAtTopLevelComma(char* text);
// Splits at top-level commas into up to three parts (missing parts are empty);
// each buffer receives at most size-1 characters; `third` may be null.
void SplitArgumentTexts(const char* text, char* first, char* second, char* third, size_t size);
// Evaluates "a" or "a,b"; the flags (may be null) receive the two dependency
// words of each value. Returns 0, the evaluation's code or 15002.
int EvaluateValuePair(const char* text, double* first, double* second, unsigned firstFlags[2], unsigned secondFlags[2]);

constexpr int kArgumentCount = 10;
// The shared argument array that EvaluateArgumentList fills.
extern double gArguments[kArgumentCount];
// Evaluates up to n (at most 10) top-level comma items into gArguments. An empty
// item is skipped when optional and gives 15040 when required; required lists
// with fewer than n items also give 15040. Items beyond n are not evaluated.
int EvaluateArgumentList(const char* text, int n, bool required);
int EvaluateRequiredArguments(const char* text, int n);
int EvaluateOptionalArguments(const char* text, int n);
// The values of the non-empty top-level items; *count is 0 when an item failed
// (*code its code) or memory ran out (15002). Release the array with MemFree.
double* ParseValueList(const char* text, int* count, int* code);
// Tokens separated by commas and blanks (runs count as one).
int SplitToStringList(const char* text, std::vector<std::string>* list);

// ---- digital values -----------------------------------------------------------------

// The state letters "0RF1XZ?".
extern const char kDigitalStateLetters[8];
// Index of the character (any case) in the state letters, -1 for none.
int DigitalStateIndex(char c);

// Radix bits of a display's (a compiled expression's) flags.
enum RadixFlags : uint32_t {
    kRadixHex = 0x800000,
    kRadixOctal = 0x1000000,
    kRadixBinary = 0x2000000,
    kRadixDecimal = 0x10000000,
    kRadixMask = kRadixHex | kRadixOctal | kRadixBinary | kRadixDecimal,
};
// By the radix flags (a later one of binary, octal, decimal, hex wins), padded
// with leading zeros to the digits the bit count needs; decimal has no padding.
char* FormatRadixValue(uint32_t displayFlags, char* buffer, size_t size, uint64_t value, int bitCount);
// A radix text, or without a radix flag the state letter of the value (the
// value indexes the state letters; anything past them is "?").
char* FormatDigitalValue(uint32_t displayFlags, char* buffer, size_t size, uint64_t value, int bitCount);
// Display-mode bit of a plot view command.
uint32_t ViewCommandBit(int commandId);

// ---- status-bar progress ---------------------------------------------------------------

// The progress of long runs, shown over the status bar's message pane through the
// progress port (core/desktop.h); without a control only the bookkeeping runs.
class CStatusProgress {
public:
    bool Create(void* frame);
    void SetRange(int minimum, int maximum);
    // Shows the percentage when it rose; an empty range counts as done (100 %).
    void SetPosition(int position);

    int minimum() const { return minimum_; }
    int maximum() const { return maximum_; }
    int lastPercent() const { return lastPercent_; }

private:
    int minimum_ = 0;
    int maximum_ = 100;
    int lastPercent_ = 0;
    bool created_ = false;
};
