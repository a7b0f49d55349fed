#include <cstdint>
#include <cstring>
#include <string>

#include "compiler/defines.h"
#include "compiler/support.h"
#include "core/memory.h"
#include "core/textfile.h"
#include "document/ctdoc.h"
#include "models/lookup.h"
#include "models/modelstmt.h"

namespace {

// Reads the statement at the stream's position: its first line and the "+"
// continuation lines after it, joined by blanks. False when nothing was read.
bool ld_ReadStatement(TextFile& stream, std::string* statement) {
    char* line = nullptr;
    size_t capacity = 0;
    size_t length = 0;
    bool any = false;
    while (stream.ReadGrowingLine(&line, &capacity, &length) == 0) {
        const char* text = line ? line : "";
        while (*text == ' ' || *text == '\t') ++text;
        if (any && *text != '+') break;
        if (any) {
            *statement += ' ';
            ++text;
        }
        *statement += text;
        any = true;
    }
    MemFree(line);
    return any;
}

class CompilerLibraryStatements final : public LibraryStatementReader {
public:
    int ReadLibraryStatement(CircuitModels* models, TextFile& stream, const char* path, int line, int page) override {
        (void)path;
        CCTDoc* document = models ? models->Document : nullptr;
        DefineTable* table = GetDefineTable(document);
        if (!table) return 0;
        std::string statement;
        if (!ld_ReadStatement(stream, &statement)) return 0;
        // Library statements belong to the global scope, where every scope sees them.
        StatementSource source{kSourceTextLine, 0, static_cast<intptr_t>(line), page};
        for (int keyword : {kDotParam, kDotFunc}) {
            if (!MatchDotKeyword(statement.c_str(), keyword)) continue;
            return ParseDefineStatement(table, statement.c_str(), source, keyword);
        }
        return 0;
    }
};

CompilerLibraryStatements ld_reader;

}  // namespace

LibraryStatementReader& CompilerLibraryStatementReader() { return ld_reader; }

int LoadLibraryDefines(DefineTable* table, int scope) {
    (void)scope;
    CCTDoc* document = table ? table->owner : nullptr;
    CircuitModels* models = document ? static_cast<CircuitModels*>(document->modelStatements) : nullptr;
    if (!models) return 0;
    LibrarySearch search;
    search.mode = kReadParameters;
    FindInLibraries(models, search);
    return search.error;
}
