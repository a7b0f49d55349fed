// The command line: the token and switch scanners on the input, then the whole
// start-up reading of it (no later subsystem is installed, so their steps are
// skipped and no file opens; tarn.dat is looked for in the scratch folder).
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/cmdline.h"
#include "core/memory.h"
#include "core/paths.h"
#include "core/recentlist.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) return 0;
    const std::string text = fuzz::AsText(data, size);

    // The scanners work in place on a copy of the line.
    std::vector<char> line(text.begin(), text.end());
    line.push_back('\0');
    FindCommandLineSwitch(line.data(), "/SAVE");
    FindSwitchLetter(line.data(), 'P');
    std::vector<std::string> words;
    char token[300];
    for (int i = 0; i < 1000; ++i) {
        TakeCommandLineToken(line.data(), token, sizeof token);
        if (!token[0]) break;
        words.push_back(token);
    }
    std::vector<const char*> argv{"tarnwick"};
    for (const std::string& w : words) argv.push_back(w.c_str());
    char* joined = JoinCommandLine(static_cast<int>(argv.size()), argv.data());
    FreeString(&joined);

    ResetStartupState();
    SetHomeDirectory(fuzz::ScratchDir().c_str());
    InitRecentLists();
    ProcessCommandLine(text.c_str());
    ResetStartupState();
    SetHomeDirectory(nullptr);
    FreeRecentLists();
    ClearPathGroups();
    for (int kind = kPathData; kind <= kPathPicture; ++kind) SetPathSetting(kind, "");
    return 0;
}
