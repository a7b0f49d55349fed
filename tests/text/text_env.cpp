// The text tests need the application object (windows, clipboard, documents)
// with its colour table, the editors of text pages and the openers of files by
// kind installed as the program installs them, and the compiler with its
// model libraries (definitions are found through a compile).
#include "compiler/messages.h"
#include "compiler/support.h"
#include "document/cirdoc.h"
#include "document/docopen.h"
#include "expr/symbols.h"
#include "models/libindex.h"
#include "models/messages.h"
#include "shell/colortable.h"
#include "tests/support/environment.h"
#include "text/textdoc.h"
#include "text/textopener.h"

namespace {
[[maybe_unused]] const bool txenv_registered =
    twtest::RegisterStartup(twtest::WithApplication::Yes,
                            {InitColorTable, InstallCircuitDocument, InstallTextDocuments, InstallDocumentFileOpener,
                             InstallTextFileOpener, BuildSymbolIndexes, RegisterModelMessages, RegisterCompilerMessages,
                             InstallModelLibraryServices, InstallCompilerServices});
}  // namespace
