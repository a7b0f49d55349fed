// The text tests need the application object (windows, clipboard, documents)
// with its colour table, and the editors of text pages installed as the program installs them.
#include "document/cirdoc.h"
#include "shell/colortable.h"
#include "tests/support/environment.h"
#include "text/textdoc.h"

namespace {
[[maybe_unused]] const bool txenv_registered = twtest::RegisterStartup(
    twtest::WithApplication::Yes, {InitColorTable, InstallCircuitDocument, InstallTextDocuments});
}  // namespace
