// The compiler tests need the application object (documents need it) and the
// start-up the compiler relies on: the expression symbol indexes, the string
// table rows, the texts of open documents' pages, the model layer's library services and the compiler's services.
#include "compiler/messages.h"
#include "compiler/support.h"
#include "document/ctdoc.h"
#include "expr/derivative.h"
#include "expr/symbols.h"
#include "models/libindex.h"
#include "models/messages.h"
#include "tests/support/environment.h"

namespace {
[[maybe_unused]] const bool compenv_registered = twtest::RegisterStartup(
    twtest::WithApplication::Yes, {BuildSymbolIndexes, RegisterModelMessages, RegisterCompilerMessages,
                                   InstallDocumentTextSource, InstallModelLibraryServices, InstallCompilerServices,
                                   InstallSymbolicDerivatives});
}  // namespace
