// Circuit files: the input is a circuit file read into a fresh document (hidden,
// silent, as a file opened for a batch run), which is then saved again. The
// document layer is installed as at start-up; later subsystems are not, so
// their sections are kept as text, and component names resolve against the
// built-in table only.
#include <cstdint>
#include <memory>
#include <string>

#include "core/result.h"
#include "document/circuitfile.h"
#include "document/cirdoc.h"
#include "document/cirio.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool started = [] {
        fuzz::EnsureApplication();
        InstallCircuitDocument();
        return true;
    }();
    (void)started;
    const std::string path = fuzz::WriteScratchFile("circuit.cir", data, size);
    auto document = std::make_unique<CCirDoc>();
    int code = 0;
    {
        CircuitFile file;
        file.loadFlags = kLoadHidden | kLoadSilent | kLoadFullPath;
        code = ReadCircuitFile(document.get(), file, path.c_str(), true);
        file.Close();
    }
    if (code == 0) SaveCircuitFile(document.get(), (fuzz::ScratchDir() + "/saved.cir").c_str(), kCirVersion801);
    document.reset();
    ClearPendingMessage();
    return 0;
}
