// The source value parser: a part's VALUE text (so input from circuit files and
// SPICE decks) read into a source record, with messages off, and then located
// field by field as the attribute dialog does; a PWL or NOISE table is expanded
// as for display and looked up.
#include <cstdint>
#include <string>

#include "compiler/compiled.h"
#include "compiler/setupservices.h"
#include "compiler/sources.h"
#include "core/result.h"
#include "devices/waveforms.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::StartCompiler();
    if (size > 4096) return 0;
    const std::string text = fuzz::AsText(data, size);
    {
        DeviceListSet set;
        DeviceListScope scope(set);
        int status = 0;
        SourceRecord* record = AddSourceDevice(1, 0, kSourceVoltage, 0.0, &status);
        if (record && ParseStimulus(record, text.c_str(), false, nullptr, nullptr) == 0) {
            SourcePoint at;
            at.stopTime = 1e-3;
            if (BuildPwlTable(*record, at, true) == 0) {
                for (double t : {0.0, 1e-9, 1e-6, 1e-3}) {
                    at.time = t;
                    double value = 0;
                    SpiceSourceValue(*record, at, &value);
                }
            }
        }
        StimulusPositions positions;
        ParseStimulus(record, text.c_str(), false, &positions, nullptr);
        const int last = static_cast<int>(text.size());
        for (int at : {positions.dc, positions.acMagnitude, positions.acPhase, positions.pwlStart})
            if (at < -1 || at > last) __builtin_trap();
    }
    ClearPendingMessage();
    return 0;
}
