#include "text/trailer.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Parses a hexadecimal colour after optional blanks and '#'; false when no digit.
bool tr_ParseColor(std::string_view value, uint32_t* out) {
    size_t i = 0;
    while (i < value.size() && (value[i] == ' ' || value[i] == '\t')) ++i;
    if (i < value.size() && value[i] == '#') ++i;
    uint64_t v = 0;
    size_t digits = 0;
    for (; i < value.size(); ++i) {
        const char c = value[i];
        int d = -1;
        if (c >= '0' && c <= '9') d = c - '0';
        if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
        if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
        if (d < 0) break;
        v = (v << 4 | static_cast<uint64_t>(d)) & 0xFFFFFFFFu;
        ++digits;
    }
    if (!digits) return false;
    *out = static_cast<uint32_t>(v);
    return true;
}

bool tr_ParseInt(std::string_view value, int* out) {
    std::string s(value);
    const char* p = s.c_str();
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(p, &end, 10);
    if (end == p || errno == ERANGE || v < INT_MIN || v > INT_MAX) return false;
    *out = static_cast<int>(v);
    return true;
}

std::string tr_Trim(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
    return std::string(s.substr(b, e - b));
}

// Applies one trailer line (the text after ";$"); false for a key that is not
// a trailer key, or a value that does not read.
bool tr_ApplyLine(std::string_view line, TextTrailer& t) {
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos) return false;
    const std::string_view key = line.substr(0, eq);
    const std::string_view value = line.substr(eq + 1);
    uint32_t color = 0;
    int number = 0;
    if (key == "text" && !t.textColor && tr_ParseColor(value, &color)) {
        t.textColor = color;
    } else if (key == "comment_text" && !t.commentColor && tr_ParseColor(value, &color)) {
        t.commentColor = color;
    } else if (key == "bgcolor" && !t.backgroundColor && tr_ParseColor(value, &color)) {
        t.backgroundColor = color;
    } else if (key == "face" && !t.face) {
        t.face = std::string(value);
    } else if (key == "size" && !t.size && tr_ParseInt(value, &number)) {
        t.size = number;
    } else if (key == "style" && !t.style && tr_ParseInt(value, &number)) {
        t.style = number;
    } else if (key == "SpiceType" && !t.dialect) {
        t.dialect = tr_Trim(value);
    } else {
        return false;
    }
    return true;
}

}  // namespace

TextTrailer SplitTextTrailer(std::string_view text, size_t* textLength) {
    TextTrailer t;
    size_t end = text.size();
    // Line ends after the last line are no line of their own.
    while (end > 0 && (text[end - 1] == '\r' || text[end - 1] == '\n')) --end;
    size_t cut = text.size();
    while (end > 0) {
        size_t start = end;
        while (start > 0 && text[start - 1] != '\n') --start;
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.size() < 2 || line[0] != ';' || line[1] != '$' || !tr_ApplyLine(line.substr(2), t)) break;
        cut = start;
        if (start == 0) break;
        end = start - 1;  // the LF
        if (end > 0 && text[end - 1] == '\r') --end;
    }
    if (textLength) *textLength = cut;
    return t;
}

std::string FormatTextTrailer(const TrailerDisplay* display, const char* dialectName) {
    std::string out;
    char line[64];
    if (display) {
        std::snprintf(line, sizeof line, ";$text=#%x\r\n", display->textColor);
        out += line;
        std::snprintf(line, sizeof line, ";$comment_text=#%x\r\n", display->commentColor);
        out += line;
        std::snprintf(line, sizeof line, ";$bgcolor=#%x\r\n", display->backgroundColor);
        out += line;
        out += ";$face=" + display->face + "\r\n";
        std::snprintf(line, sizeof line, ";$size=%d\r\n", display->size);
        out += line;
        std::snprintf(line, sizeof line, ";$style=%d\r\n", display->style);
        out += line;
    }
    if (dialectName && *dialectName) out += std::string(";$SpiceType=") + dialectName + "\r\n";
    return out;
}
