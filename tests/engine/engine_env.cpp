// The engine tests compile decks: they need the application object (documents
// need it) and the start-up the compiler relies on: the expression symbol
// indexes, the string table rows, the texts of open documents' pages, the model
// layer's library services and the compiler's services.
#include "compiler/messages.h"
#include "compiler/support.h"
#include "document/ctdoc.h"
#include "engine/messages.h"
#include "expr/symbols.h"
#include "models/libindex.h"
#include "models/messages.h"
#include "tests/support/environment.h"

namespace {
[[maybe_unused]] const bool engineenv_registered = twtest::RegisterStartup(
    twtest::WithApplication::Yes,
    {BuildSymbolIndexes, RegisterModelMessages, RegisterCompilerMessages, RegisterEngineMessages,
     InstallDocumentTextSource, InstallModelLibraryServices, InstallCompilerServices});
}  // namespace
