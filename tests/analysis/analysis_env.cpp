// The analysis tests compile circuits headless like the device tests and show
// analysis control's own messages.
#include "analysis/logs.h"
#include "analysis/messages.h"
#include "compiler/messages.h"
#include "compiler/support.h"
#include "devices/loads.h"
#include "devices/opamp.h"
#include "document/ctdoc.h"
#include "expr/symbols.h"
#include "models/libindex.h"
#include "models/messages.h"
#include "tests/support/environment.h"

namespace {
[[maybe_unused]] const bool anenv_registered = twtest::RegisterStartup(
    twtest::WithApplication::Yes, {BuildSymbolIndexes, RegisterModelMessages, RegisterCompilerMessages,
                                   RegisterDeviceMessages, RegisterAnalysisMessages, InstallDeviceLoads,
                                   InstallDocumentTextSource, InstallModelLibraryServices, InstallCompilerServices,
                                   InstallAnalysisLogs});
}  // namespace
