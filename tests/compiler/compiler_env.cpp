// The compiler tests need the application object (documents need it) and the
// start-up the compiler relies on: the expression symbol indexes, the string
// table rows and the compiler's services.
#include "compiler/messages.h"
#include "compiler/support.h"
#include "expr/symbols.h"
#include "tests/support/environment.h"

namespace {
[[maybe_unused]] const bool compenv_registered = twtest::RegisterStartup(
    twtest::WithApplication::Yes, {BuildSymbolIndexes, RegisterCompilerMessages, InstallCompilerServices});
}  // namespace
