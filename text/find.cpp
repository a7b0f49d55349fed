#include "text/find.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <new>

#include "core/report_port.h"
#include "core/result.h"
#include "core/sectionfile.h"
#include "core/settings.h"
#include "text/editwnd.h"

namespace {

bool fd_IsWordByte(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

std::string fd_Cut(std::string_view text) { return std::string(text.substr(0, std::min(text.size(), kSearchTextMax))); }

// A line with a leading '+' turned into a blank and then trimmed.
std::string fd_Decided(std::string line) {
    auto trim = [](std::string& s) {
        const size_t b = s.find_first_not_of(" \t");
        if (b == std::string::npos) {
            s.clear();
            return;
        }
        s.erase(0, b);
        s.erase(s.find_last_not_of(" \t") + 1);
    };
    trim(line);
    if (!line.empty() && line[0] == '+') {
        line[0] = ' ';
        trim(line);
        line.insert(line.begin(), '+');  // still marked as a continuation
    }
    return line;
}

}  // namespace

TextSearchSettings::TextSearchSettings() {
    searchList.Init(10, "SEARCHTEXT_");
    replaceList.Init(10, "REPLACETEXT_");
}

void TextSearchSettings::SetSearch(std::string_view text) {
    search = fd_Cut(text);
    if (!search.empty()) searchList.Add(search.c_str());
}

void TextSearchSettings::SetReplace(std::string_view text) {
    replace = fd_Cut(text);
    replaceList.Add(replace.c_str());
}

TextSearchSettings& TextSearch() {
    static TextSearchSettings settings;
    return settings;
}

void RegisterTextSearchSettings() {
    RegisterSettingsSection("Last Used Text Area Search Text",
                            [](SectionFile& file) { return TextSearch().searchList.Serialize(file, false); });
    RegisterSettingsSection("Last Used Text Area Replace Text",
                            [](SectionFile& file) { return TextSearch().replaceList.Serialize(file, false); });
}

int64_t FindMatch(std::string_view text, std::string_view s, int64_t from, bool wholeWord) {
    if (s.empty() || from < 0) return -1;
    const int64_t n = static_cast<int64_t>(text.size()), m = static_cast<int64_t>(s.size());
    for (int64_t p = from; p + m <= n; ++p) {
        int64_t k = 0;
        while (k < m &&
               std::tolower(static_cast<unsigned char>(text[p + k])) == std::tolower(static_cast<unsigned char>(s[k])))
            ++k;
        if (k < m) continue;
        if (wholeWord && ((p > 0 && fd_IsWordByte(text[p - 1])) || (p + m < n && fd_IsWordByte(text[p + m])))) continue;
        return p;
    }
    return -1;
}

int FindReplace(CTxtEditWnd& editor, std::string_view s, const std::string* replace, bool report, bool wholeWord) {
    TextBuffer& b = editor.Buffer();
    const std::string searchText = fd_Cut(s);
    int64_t selStart = 0, selEnd = 0;
    b.GetSel(&selStart, &selEnd);
    const int64_t start = replace ? selStart : selEnd;
    int64_t found = FindMatch(b.Text(), searchText, start, wholeWord);
    if (found < 0 && start != 0) found = FindMatch(b.Text(), searchText, 0, wholeWord);
    if (found < 0) {
        if (report) Reporter().Beep();
        return kFindNotFound;
    }
    editor.ScrollToChar(found);
    b.SetSel(found, found + static_cast<int64_t>(searchText.size()));
    if (replace && found == start && selEnd - selStart == static_cast<int64_t>(searchText.size())) {
        b.ReplaceSel(*replace);
        FindReplace(editor, searchText, nullptr, false, wholeWord);
    }
    return kFindFound;
}

int ReplaceAll(CTxtEditWnd& editor, std::string_view s, std::string_view r, bool wholeWord, std::string* status) {
    TextBuffer& b = editor.Buffer();
    const std::string searchText = fd_Cut(s);
    const std::string_view text = b.Text();
    int count = 0;
    std::string out;
    try {
        int64_t at = 0;
        for (int64_t p = FindMatch(text, searchText, 0, wholeWord); p >= 0;
             p = FindMatch(text, searchText, at, wholeWord)) {
            out.append(text.substr(static_cast<size_t>(at), static_cast<size_t>(p - at)));
            out.append(r);
            at = p + static_cast<int64_t>(searchText.size());
            ++count;
        }
        if (count) out.append(text.substr(static_cast<size_t>(at)));
    } catch (const std::bad_alloc&) {
        Reporter().Report(Message(kResultNoMemory));
        count = 0;
    }
    if (count && !b.ReplaceWholeText(out, "Replace All")) count = 0;
    if (status) {
        char line[64];
        std::snprintf(line, sizeof line, "%d occurrences changed.", count);
        *status = line;
    }
    return count;
}

void SelectSpiceStatement(CTxtEditWnd& editor, int64_t line) {
    TextBuffer& b = editor.Buffer();
    const int64_t last = b.GetLineCount() - 1;
    if (line < 0 || line > last) return;
    auto isComment = [](const std::string& d) { return !d.empty() && (d[0] == '*' || d[0] == ';'); };
    auto isContinuation = [](const std::string& d) { return !d.empty() && d[0] == '+'; };
    // Upwards to the statement's first line, down to line 0 if need be.
    int64_t start = line;
    bool passedContinuation = false;
    for (int64_t cur = line; cur >= 0; --cur) {
        const std::string d = fd_Decided(b.GetLine(cur));
        const bool passOver = d.empty() || isComment(d) || isContinuation(d);
        if (!passOver) {
            if (passedContinuation) start = cur;
            break;
        }
        if (isContinuation(d)) {
            passedContinuation = true;
            start = cur;  // a text that begins with continuations starts there
        }
        if (!passedContinuation) break;  // an empty or comment line is its own statement
    }
    // Downwards over its continuation lines.
    int64_t end = line;
    for (int64_t cur = line + 1; cur <= last; ++cur) {
        const std::string d = fd_Decided(b.GetLine(cur));
        if (!d.empty() && !isComment(d) && !isContinuation(d)) break;
        if (!isComment(d)) end = cur;
    }
    // Empty lines after the last continuation are not part of the statement.
    while (end > line && fd_Decided(b.GetLine(end)).empty()) --end;
    editor.ScrollToChar(b.LineIndex(start));
    const int64_t endStart = b.LineIndex(end);
    b.SetSel(b.LineIndex(start), endStart + b.LineLength(endStart));
}
