// The plot tests compile and run circuits headless like the analysis tests and
// show the plot windows' own messages.
#include "analysis/messages.h"
#include "compiler/messages.h"
#include "compiler/support.h"
#include "devices/loads.h"
#include "devices/opamp.h"
#include "document/ctdoc.h"
#include "engine/messages.h"
#include "expr/symbols.h"
#include "models/libindex.h"
#include "models/messages.h"
#include "plots/g2ddoc.h"
#include "tests/support/environment.h"

namespace {
[[maybe_unused]] const bool plenv_registered = twtest::RegisterStartup(
    twtest::WithApplication::Yes,
    {BuildSymbolIndexes, RegisterModelMessages, RegisterCompilerMessages, RegisterEngineMessages,
     RegisterDeviceMessages, RegisterAnalysisMessages, RegisterPlotMessages, InstallDeviceLoads,
     InstallDocumentTextSource, InstallModelLibraryServices, InstallCompilerServices});
}  // namespace
