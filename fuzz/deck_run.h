// The deck part every analysis harness shares: the input compiled as a SPICE
// text for one analysis kind, models and instances set up at 27 degrees, a
// simulator attached, and afterwards everything a compile leaves behind
// released, so that the next input starts from nothing.
#pragma once

#include <memory>
#include <string>

#include "compiler/compiled.h"
#include "compiler/defines.h"
#include "compiler/driver.h"
#include "compiler/options.h"
#include "compiler/spicereader.h"
#include "compiler/support.h"
#include "core/paths.h"
#include "core/result.h"
#include "devices/temperature.h"
#include "document/ctdoc.h"
#include "document/spicedoc.h"
#include "engine/setup.h"
#include "engine/state.h"
#include "expr/runstate.h"
#include "fuzz/deck_release.h"
#include "fuzz/fuzz_support.h"
#include "shell/document.h"

namespace fuzz {

// Calls run(document, compiled, state) when the text compiles and the
// simulator attaches; a compile that succeeds without a compiled circuit traps.
template <class Run>
void RunCompiledDeck(const std::string& text, int kind, Run&& run) {
    const std::string path = ScratchDir() + "/deck.ckt";
    std::unique_ptr<CCTDoc> document = MakeSpiceTextDocument(path.c_str(), text.c_str());
    if (!document) return;
    SetAnalysisKind(kind);
    if (RunCircuitCompiler(document.get(), 1) == 0) {
        CompiledCircuit* compiled = FindCompiledCircuit(document.get());
        if (!compiled) __builtin_trap();
        TemperatureSetup setup = MakeTemperatureSetup(document.get());
        const bool prepared =
            SetupModelsAtTemperature(setup, 27.0) == 0 && SetupInstancesAtTemperature(setup, 27.0) == 0;
        SimulatorState state;
        if (prepared && AttachCircuit(state, compiled, *GetCircuitOptions(document.get())) == 0)
            run(document.get(), compiled, state);
        ReleaseCompiledCircuit(state, document.get());
    }
    ReleaseDeck(document);
}

}  // namespace fuzz
