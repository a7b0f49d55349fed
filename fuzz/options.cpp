// .OPTIONS: every input line is the text after the keyword, parsed in the mode
// the first byte picks; a keyword taken from each line then has its value
// replaced in the line, as the write-back does. Options belong to the
// document, so every input starts from the user's settings.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "compiler/messages.h"
#include "compiler/options.h"
#include "compiler/support.h"
#include "core/memory.h"
#include "core/result.h"
#include "document/cirdoc.h"
#include "expr/runvars.h"
#include "expr/symbols.h"
#include "fuzz/fuzz_support.h"
#include "models/modelstmt.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::StartCompiler();
    if (size < 1 || size > 4096) return 0;
    const int fullMode = data[0] & 1;
    const std::string text = fuzz::AsText(data + 1, size - 1);

    const GlobalSettingValues saved = GlobalSettings;
    {
        auto document = std::make_unique<CCirDoc>();
        size_t from = 0;
        int lines = 0;
        while (from < text.size() && lines++ < 64) {
            size_t end = text.find('\n', from);
            if (end == std::string::npos) end = text.size();
            const std::string line = text.substr(from, end - from);
            ParseOptionsStatement(document.get(), line.c_str(), fullMode, nullptr);
            const std::string statement = ".OPTIONS " + line;
            const std::string keyword = line.substr(0, line.find_first_of(" =\t"));
            char* replaced = ReplaceOptionValue(statement.c_str(), keyword.c_str(), "1.5m");
            FreeString(&replaced);
            from = end + 1;
        }
    }
    // A circuit's options are its own: the user's settings never change.
    if (std::memcmp(&saved, &GlobalSettings, sizeof saved) != 0) __builtin_trap();
    ClearPendingMessage();
    return 0;
}
