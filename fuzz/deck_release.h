// Everything a compile of a fuzzed deck leaves behind, released, so that the
// next input starts from nothing.
#pragma once

#include <memory>

#include "compiler/defines.h"
#include "compiler/driver.h"
#include "compiler/spicereader.h"
#include "compiler/support.h"
#include "core/paths.h"
#include "core/result.h"
#include "document/ctdoc.h"
#include "expr/runstate.h"
#include "shell/document.h"

namespace fuzz {

inline void ReleaseDeck(std::unique_ptr<CCTDoc>& document) {
    ClearCompileArrays(document.get(), kClearAllCompileArrays);
    ReleaseSpiceReader(document.get());
    ReleaseCompiledCircuit(document.get());
    ReleaseDefineTable(document.get());
    CurrentRunContext().circuitDocument = nullptr;
    document.reset();
    SetAnalysisKind(-1);
    ClearDotPaths();
    ClearCompileErrorLocation();
    ClearPendingMessage();
}

}  // namespace fuzz
