// Circuit text read for help and definitions: ".HELP" statements into the
// help map and the name a subcircuit call line calls.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz/fuzz_support.h"
#include "shell/help.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text = fuzz::AsText(data, size);
    HelpTopicMap map;
    const bool added = map.ParseHelpStatement(text.c_str());
    if (map.Count() != (added ? 1 : 0)) std::abort();
    // The call name is one word in capitals, taken from the line.
    const std::string name = ExtractCallName(text.c_str());
    if (name.size() > text.size() || name.find(' ') != std::string::npos || name.find(';') != std::string::npos)
        std::abort();
    for (char c : name)
        if (c >= 'a' && c <= 'z') std::abort();
    return 0;
}
