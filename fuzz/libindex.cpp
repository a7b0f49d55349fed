// Library index files. The first byte chooses what the rest is:
//   even: a library text. It is indexed as NOM.LIB (the libraries it names
//         are looked for in the scratch folder only), the index is loaded
//         back and models, subcircuits and macros are looked up through it.
//   odd:  an index file. It is checked, then put beside a library as its
//         index (newer than the library, so only its contents can tell that
//         it is not to be trusted), and the library is searched through it.
#include <fcntl.h>
#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "core/paths.h"
#include "core/report_port.h"
#include "core/result.h"
#include "fuzz/fuzz_support.h"
#include "models/libindex.h"
#include "models/lookup.h"
#include "models/modelstmt.h"
#include "models/modeltypes.h"

namespace {

void fz_Search(CircuitModels* models, int type, const char* name, int mode) {
    char buffer[64];
    std::vector<std::string> names;
    LibrarySearch search;
    search.type = type;
    search.name = name;
    search.mode = mode;
    search.buffer = buffer;
    search.bufferSize = sizeof buffer;
    search.list = &names;
    search.l = 1.5e-6;
    search.w = 5e-6;
    FindInLibraries(models, search);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > 16384) return 0;
    fuzz::StartModelLayer();
    static const bool installed = [] {
        InstallModelLibraryServices();
        return true;
    }();
    (void)installed;
    const std::string dir = fuzz::ScratchDir() + "/libindex";
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
    std::filesystem::create_directory(dir, ignored);
    SetPathSetting(kPathLibrary, dir.c_str());
    SetHomeDirectory(dir.c_str());
    const std::string library = dir + "/NOM.LIB";
    const bool indexInput = (data[0] & 1) != 0;
    if (indexInput) {
        IsValidIndexBlock(reinterpret_cast<const char*>(data + 1), static_cast<int32_t>(size - 1));
        fuzz::WriteScratchFile("libindex/NOM.LIB", reinterpret_cast<const uint8_t*>(".MODEL D1 D\n"), 12);
        // The library a day old, the index written now.
        struct stat st;
        if (stat(library.c_str(), &st) == 0) {
            timespec times[2] = {st.st_atim, st.st_mtim};
            times[0].tv_sec -= 86400;
            times[1].tv_sec -= 86400;
            utimensat(AT_FDCWD, library.c_str(), times, 0);
        }
        fuzz::WriteScratchFile("libindex/NOM_LIB.INX", data + 1, size - 1);
    } else {
        fuzz::WriteScratchFile("libindex/NOM.LIB", data + 1, size - 1);
    }

    CircuitModels* models = CreateCircuitModels(nullptr);
    if (!models) return 0;
    ClearLastMessage();
    ClearPendingMessage();
    if (AddLibraryFile(models, "NOM.LIB", 0, nullptr, false) == 0) {
        bool reported = false;
        FindModelByName(models, kModelDiode, 1, "D1", &reported);
        FindModelByName(models, kModelNpn, 1, "Q1", &reported);
        fz_Search(models, kModelNmos, "M", kFindBinnedModel);
        fz_Search(models, kModelNmos, nullptr, kListModelsAll);
        fz_Search(models, kModelDiode, "X1", kFindSubcircuit);
        fz_Search(models, kModelDiode, "M1", kFindMacro);
        fz_Search(models, kModelDiode, "M1", kFindMacroPosition);
        fz_Search(models, kModelDiode, library.c_str(), kFindIndexedFile);
    }
    DestroyCircuitModels(models);
    ClearPendingMessage();
    return 0;
}
