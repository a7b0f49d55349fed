// Engineering numbers and display formats: parsing a number with its scale and
// unit, parsing a display format, and writing values back by every style.
#include <cstdint>
#include <cstring>
#include <string>

#include "core/numbers.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text = fuzz::AsText(data, size);
    int error = 0;
    double value = ParseNumber(text.c_str(), &error);
    double scale = 1.0;
    ParseScaleSuffix(&scale, text.c_str());

    FormatSpec spec;
    ParseFormatSpec(&spec, text.c_str());
    char buffer[128];
    for (int mode = 0; mode <= 2; ++mode) FormatValueWithSpec(&spec, buffer, sizeof buffer, value, mode, 2);
    static const char kStyles[] = {'E', 'F', 'G', 0};
    for (char style : kStyles) {
        for (int flags : {0, kNumCommasOrAlternate | kNumStripExponent, kNumKeepZeros | kNumNoScaling}) {
            FormatNumber(buffer, sizeof buffer, value, size ? data[0] % 20 : 3, style, flags);
            // What a number written this way reads back to must parse again.
            ParseNumber(buffer, nullptr);
            TrimNumberZeros(buffer);
            InsertThousandsCommas(buffer, sizeof buffer);
        }
    }
    char small[12];
    FormatNumber(small, sizeof small, value, 6, 'F', kNumCommasOrAlternate);
    ClampToInt(value);
    ClampToUnsigned(value);
    return 0;
}
