// Binary model libraries: the input is a library file of any format; it is
// loaded (older formats are renamed and written again in the current one, as
// the program does), sorted, cleaned up and saved.
#include <cstdint>
#include <filesystem>
#include <string>

#include "core/result.h"
#include "expr/messages.h"
#include "expr/symbols.h"
#include "fuzz/fuzz_support.h"
#include "models/binlib.h"
#include "models/messages.h"
#include "models/modeltypes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::StartModelLayer();
    // A folder of its own per input: the renamed copies of older formats go there.
    const std::string dir = fuzz::ScratchDir() + "/binlib";
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
    std::filesystem::create_directory(dir, ignored);
    const std::string path = dir + "/models.lbr";
    {
        FILE* out = fopen(path.c_str(), "wb");
        if (!out) abort();
        if (size && fwrite(data, 1, size, out) != size) abort();
        fclose(out);
    }
    IsModelLibraryFile(path.c_str());
    ModelLibrary library;
    if (LoadModelLibrary(library, path.c_str(), false) == 0) {
        SortModelLibrary(library);
        CleanUpModelLibrary(library);
        SaveModelLibrary(library, (dir + "/saved.lbr").c_str());
        ModelLibrary again;
        LoadModelLibrary(again, (dir + "/saved.lbr").c_str(), false);
    }
    ClearPendingMessage();
    return 0;
}
