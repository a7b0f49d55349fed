// The start-up the model layer relies on: the expression symbol indexes, the
// string table rows and the fix-ups of the parameter tables.
#include "expr/messages.h"
#include "expr/symbols.h"
#include "models/messages.h"
#include "models/modeltypes.h"
#include "tests/support/environment.h"

namespace {
[[maybe_unused]] const bool modelsenv_registered =
    twtest::RegisterStartup(twtest::WithApplication::No,
                            {RegisterExprMessages, BuildSymbolIndexes, RegisterModelMessages, InitModelParamTables});
}  // namespace
