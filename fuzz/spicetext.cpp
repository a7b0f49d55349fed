// The SPICE text reader: the input is the text of a text circuit, read into
// parts, nodes, models and defines as a compile reads it. Everything after a
// line "=INC=" becomes the file "part.inc" beside the circuit, so that include
// statements reach a second text. Libraries are searched in the scratch
// folder only, and every document starts afresh.
#include <cstdint>
#include <memory>
#include <string>

#include "compiler/compiled.h"
#include "compiler/defines.h"
#include "compiler/spicereader.h"
#include "compiler/support.h"
#include "core/paths.h"
#include "core/result.h"
#include "document/ctdoc.h"
#include "document/spicedoc.h"
#include "fuzz/fuzz_support.h"
#include "shell/document.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::StartTextCompiles("* master\n");
    if (size > 16384) return 0;
    std::string text = fuzz::AsText(data, size);
    std::string include;
    const size_t split = text.find("\n=INC=");
    if (split != std::string::npos) {
        include = text.substr(split + 6);
        text.resize(split + 1);
    }
    fuzz::WriteScratchFile("part.inc", reinterpret_cast<const uint8_t*>(include.data()), include.size());

    const std::string path = fuzz::ScratchDir() + "/deck.ckt";
    std::unique_ptr<CCTDoc> document = MakeSpiceTextDocument(path.c_str(), text.c_str());
    if (!document) return 0;
    CurrentRunContext().circuitDocument = document.get();
    if (ResetSpiceReader(document.get()) == 0) ReadSpiceText(document.get());
    // Whatever stopped the read, no source stays open.
    if (SpiceReaderState* reader = GetSpiceReader(document.get()); reader && reader->top != -1) __builtin_trap();
    ReleaseSpiceReader(document.get());
    ReleaseCompiledCircuit(document.get());
    ReleaseDefineTable(document.get());
    CurrentRunContext().circuitDocument = nullptr;
    document.reset();
    ClearDotPaths();
    ClearCompileErrorLocation();
    ClearPendingMessage();
    return 0;
}
