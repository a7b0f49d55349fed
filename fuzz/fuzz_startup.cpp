// The start-up of the harnesses above the core, kept apart from the shared
// support so that the core's harnesses link none of it.
#include <cstring>

#include "compiler/messages.h"
#include "compiler/support.h"
#include "core/paths.h"
#include "core/report_port.h"
#include "document/ctdoc.h"
#include "expr/messages.h"
#include "expr/symbols.h"
#include "fuzz/fuzz_support.h"
#include "models/libindex.h"
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

class QuietReporter final : public MessageReporter {
public:
    int Report(const MessageRequest&) override { return 0; }
    void Beep() override {}
};

void StartTextCompiles(const char* master) {
    StartCompiler();
    static const bool started = [master] {
        static QuietReporter reporter;
        InstallReporter(&reporter);
        InstallDocumentTextSource();
        InstallModelLibraryServices();
        SetPathSetting(kPathLibrary, ScratchDir().c_str());
        WriteScratchFile("NOM.LIB", reinterpret_cast<const uint8_t*>(master), std::strlen(master));
        return true;
    }();
    (void)started;
}

}  // namespace fuzz
