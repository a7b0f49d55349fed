// The whole compile of a SPICE text, as an analysis start runs it: read, set-up,
// numbering, device expressions and the topology checks, on arbitrary text. A
// compile that succeeds leaves its vectors the size of its unknowns; one that
// fails leaves no compiled circuit behind. Libraries are searched in the
// scratch folder only.
#include <cstdint>
#include <memory>
#include <string>

#include "compiler/compiled.h"
#include "compiler/defines.h"
#include "compiler/driver.h"
#include "compiler/numbering.h"
#include "compiler/spicereader.h"
#include "compiler/support.h"
#include "core/paths.h"
#include "core/result.h"
#include "document/ctdoc.h"
#include "document/spicedoc.h"
#include "expr/runstate.h"
#include "fuzz/deck_release.h"
#include "fuzz/fuzz_support.h"
#include "shell/document.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::StartTextCompiles("* master\n.MODEL RLIB RES (R=2)\n");
    if (size > 8192) return 0;
    const std::string text = fuzz::AsText(data, size);
    const std::string path = fuzz::ScratchDir() + "/deck.ckt";
    std::unique_ptr<CCTDoc> document = MakeSpiceTextDocument(path.c_str(), text.c_str());
    if (!document) return 0;
    SetAnalysisKind(size % 3);
    const int rc = RunCircuitCompiler(document.get(), 1);
    const CompiledCircuit* compiled = FindCompiledCircuit(document.get());
    if (rc == 0) {
        if (!compiled) __builtin_trap();
        const size_t expected = static_cast<size_t>(CountSimulatorUnknowns(compiled)) + 3;
        if (compiled->solution.size() != expected) __builtin_trap();
    } else if (compiled && compiled->unknownCount != 0) {
        __builtin_trap();
    }
    fuzz::ReleaseDeck(document);
    return 0;
}
