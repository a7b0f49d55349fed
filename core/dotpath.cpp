#include "core/dotpath.h"

#include <strings.h>

#include <vector>

namespace {

bool dp_IsBlank(char c) { return c == ' ' || c == '\t'; }

// The next word of `text` from `at` (blanks skipped); `at` moves past it.
std::string dp_Word(const char* text, size_t& at) {
    while (text[at] && dp_IsBlank(text[at])) ++at;
    const size_t start = at;
    while (text[at] && !dp_IsBlank(text[at]) && text[at] != '\r' && text[at] != '\n') ++at;
    return std::string(text + start, at - start);
}

struct dp_Line {
    size_t start;   // first character
    size_t length;  // with its line end
    char first;     // first character after blanks ('\0' for a blank line)
};

std::vector<dp_Line> dp_Lines(const std::string& text) {
    std::vector<dp_Line> lines;
    size_t at = 0;
    while (at < text.size()) {
        const size_t end = text.find('\n', at);
        const size_t next = end == std::string::npos ? text.size() : end + 1;
        size_t p = at;
        while (p < next && dp_IsBlank(text[p])) ++p;
        const char first = (p < next && text[p] != '\r' && text[p] != '\n') ? text[p] : '\0';
        lines.push_back({at, next - at, first});
        at = next;
    }
    return lines;
}

}  // namespace

const char* DotPathKindName(int kind) {
    switch (kind) {
    case 0: return "DATA";
    case 1: return "LIBRARY";
    case 2: return "PICTURE";
    default: return nullptr;
    }
}

std::string FormatDotPathStatement(int kind, const char* folders) {
    const char* name = DotPathKindName(kind);
    if (!name) return std::string();
    return std::string(".PATH ") + name + " " + (folders ? folders : "");
}

int DotPathStatementKind(const char* text) {
    if (!text) return -1;
    size_t at = 0;
    if (strcasecmp(dp_Word(text, at).c_str(), ".PATH") != 0) return -1;
    const std::string kind = dp_Word(text, at);
    if (strcasecmp(kind.c_str(), "DATA") == 0) return 0;
    if (strcasecmp(kind.c_str(), "LIB") == 0 || strcasecmp(kind.c_str(), "LIBRARY") == 0) return 1;
    if (strcasecmp(kind.c_str(), "PIC") == 0 || strcasecmp(kind.c_str(), "PICTURE") == 0) return 2;
    return -1;
}

DotPathAction DecideDotPath(DotPathRewrite& rewrite, int kind) {
    if (kind < 0 || kind > 2 || !rewrite.checked[kind]) return DotPathAction::Keep;
    if (rewrite.written[kind]) return DotPathAction::Delete;
    rewrite.written[kind] = true;
    return DotPathAction::Replace;
}

int RemoveDotPathStatements(std::string& text, DotPathRewrite& rewrite) {
    const std::vector<dp_Line> lines = dp_Lines(text);
    std::vector<bool> drop(lines.size(), false);
    int removed = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].first != '.') continue;
        const std::string line = text.substr(lines[i].start, lines[i].length);
        const int kind = DotPathStatementKind(line.c_str());
        if (kind < 0) continue;
        // The statement runs on through its continuation lines; comments
        // between them belong to nobody and stay.
        size_t last = i;
        for (size_t j = i + 1; j < lines.size(); ++j) {
            if (lines[j].first == '+') {
                last = j;
                continue;
            }
            if (lines[j].first == '*' || lines[j].first == ';') continue;
            break;
        }
        const DotPathAction action = DecideDotPath(rewrite, kind);
        if (action != DotPathAction::Keep) {
            for (size_t j = i; j <= last; ++j) {
                if (lines[j].first == '*' || lines[j].first == ';') continue;
                drop[j] = true;
                ++removed;
            }
            // The new statement goes to the end of the text instead.
            if (action == DotPathAction::Replace) rewrite.written[kind] = false;
        }
        i = last;
    }
    if (!removed) return 0;
    std::string kept;
    kept.reserve(text.size());
    for (size_t i = 0; i < lines.size(); ++i)
        if (!drop[i]) kept.append(text, lines[i].start, lines[i].length);
    text.swap(kept);
    return removed;
}
