// The device tests compile decks headless like the compiler tests, and show
// the device set-up's own messages.
#include "compiler/messages.h"
#include "compiler/support.h"
#include "devices/loads.h"
#include "devices/opamp.h"
#include "document/ctdoc.h"
#include "expr/derivative.h"
#include "expr/symbols.h"
#include "models/libindex.h"
#include "models/messages.h"
#include "tests/support/environment.h"

namespace {
[[maybe_unused]] const bool devenv_registered = twtest::RegisterStartup(
    twtest::WithApplication::Yes,
    {BuildSymbolIndexes, RegisterModelMessages, RegisterCompilerMessages, RegisterDeviceMessages, InstallDeviceLoads,
     InstallDocumentTextSource, InstallModelLibraryServices, InstallCompilerServices, InstallSymbolicDerivatives});
}  // namespace
