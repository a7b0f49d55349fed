// Define substitution: every input line but the last is a .DEFINE, .PARAM or
// .FUNC statement of the root scope; the scope is prepared (pre-expansion) and
// the last line is substituted, with the literal flag and marker mode the first
// byte picks.
#include <strings.h>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "compiler/defines.h"
#include "compiler/messages.h"
#include "compiler/support.h"
#include "core/memory.h"
#include "core/result.h"
#include "expr/symbols.h"
#include "fuzz/fuzz_support.h"
#include "models/modelstmt.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::StartCompiler();
    if (size < 1 || size > 4096) return 0;
    const uint8_t how = data[0];
    const std::string text = fuzz::AsText(data + 1, size - 1);
    std::vector<std::string> lines;
    size_t from = 0;
    while (from <= text.size()) {
        size_t end = text.find('\n', from);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(from, end - from));
        from = end + 1;
    }

    SetSlashDelimiter((how & 0x10) == 0);
    DefineTable table;
    table.Init(nullptr);
    if (InitRootScopes(&table, "/tmp/amp.cir", 1) == 0) {
        for (size_t i = 0; i + 1 < lines.size(); ++i) {
            const char* line = lines[i].c_str();
            int keyword = kDotDefine;
            if (strncasecmp(line, ".PARAM", 6) == 0) keyword = kDotParam;
            if (strncasecmp(line, ".FUNC", 5) == 0) keyword = kDotFunc;
            StatementSource source{kSourceTextLine, 1, 0, 0};
            ParseDefineStatement(&table, line, source, keyword);
        }
        if (how & 0x20) PrepareScopeDefines(&table, 1);
        char* out = nullptr;
        SubstituteDefines(&table, &out, 1, lines.back().c_str(), how & 1, (how >> 1) % 3);
        FreeString(&out);
        char** list = nullptr;
        int error = 0;
        int count = SplitArgumentList(&list, lines.back().c_str(), &error);
        if (count > 0) FreeArgumentList(list, count);
    }
    table.ClearScopes();
    table.Clear();
    SetSlashDelimiter(true);
    ClearPendingMessage();
    return 0;
}
