// The start-up of the harnesses above the core, kept apart from the shared
// support so that the core's harnesses link none of it.
#include "compiler/messages.h"
#include "compiler/support.h"
#include "expr/messages.h"
#include "expr/symbols.h"
#include "fuzz/fuzz_support.h"
#include "models/messages.h"
#include "models/modeltypes.h"

namespace fuzz {

void StartModelLayer() {
    static const bool started = [] {
        RegisterExprMessages();
        BuildSymbolIndexes();
        RegisterModelMessages();
        InitModelParamTables();
        return true;
    }();
    (void)started;
}

void StartCompiler() {
    static const bool started = [] {
        EnsureApplication();
        BuildSymbolIndexes();
        RegisterCompilerMessages();
        InstallCompilerServices();
        return true;
    }();
    (void)started;
}

}  // namespace fuzz
