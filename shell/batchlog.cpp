// Messages of a batch run go into its log.
#include "shell/batchlog.h"

#include <cstring>

#include "core/memory.h"

namespace {

FILE* bl_log = nullptr;

}  // namespace

void SetBatchLog(FILE* log) { bl_log = log; }
FILE* BatchLog() { return bl_log; }

void LogBatchMessage(const char* circuitName, const char* title, const char* text) {
    FILE* out = bl_log ? bl_log : stderr;
    const char* name = circuitName ? circuitName : "";
    if (!title) title = "";
    char* copy = DuplicateString(text ? text : "");
    if (!copy) {
        std::fprintf(out, "%s Error...Memory\r\n", name);
        std::fflush(out);
        return;
    }
    std::fprintf(out, "%s %s\r\n", title, name);
    // One tab-indented line per text line; blank lines are left out.
    for (char* line = copy; *line;) {
        char* end = std::strchr(line, '\n');
        if (end) *end = 0;
        size_t n = std::strlen(line);
        if (n && line[n - 1] == '\r') line[--n] = 0;
        if (n) std::fprintf(out, "\t%s\r\n", line);
        if (!end) break;
        line = end + 1;
    }
    std::fflush(out);
    MemFree(copy);
}
