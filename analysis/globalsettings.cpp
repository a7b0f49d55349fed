#include "analysis/globalsettings.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "compiler/session.h"
#include "core/chars.h"
#include "core/memory.h"
#include "core/numbers.h"
#include "core/result.h"
#include "core/sectionfile.h"
#include "core/settings.h"
#include "core/textfile.h"
#include "document/ctdoc.h"
#include "document/pages.h"
#include "document/parts.h"
#include "expr/runstate.h"
#include "expr/runvars.h"

namespace {

constexpr uint8_t k2G = 0x02, kPS = 0x01, k3 = 0x40;
constexpr uint8_t kAll = k2G | kPS | k3;

}  // namespace

const OptionRowInfo OptionRowInfos[kOptionCount] = {
    {5600, "1pA", "1uA", kAll, true},
    {5601, ".01pC", "1nC", kAll, true},
    {5603, "0", "0", kAll, true},
    {5604, "0", "0", kAll, true},
    {5605, "100u", "100u", kAll, true},
    {5606, "100u", "100u", kAll, true},
    {5607, "2", "2", kPS | k3, false},
    {5608, "20K", "20K", kPS | k3, false},
    {5609, "20", "20", kPS | k3, false},
    {5610, "0", "0", kPS | k3, false},
    {5611, "10GHz", "10GHz", kPS | k3, false},
    {5612, "0", "0", kPS | k3, false},
    {5613, "2", "2", kPS | k3, false},
    {5614, "2", "2", kPS | k3, false},
    {5615, "0.4", "0.4", kPS | k3, false},
    {5616, "3", "3", kPS | k3, false},
    {5617, "1.6", "1.6", kPS | k3, false},
    {5618, "1p", "1n", kAll, false},
    {5619, "100", "200", kAll, true},
    {5620, "50", "50", kAll, true},
    {5621, "10", "10", kAll, true},
    {5624, "0", "0", kPS | k3, true},
    {5625, "1m", "1m", kAll, true},
    {5626, ".1p", ".1p", kAll, true},
    {5627, "1m", "10m", kAll, true},
    {5628, "2.58", "2.58", 0, true},
    {5650, "0", "0", 0, true},
    {5629, "27", "27", kAll, true},
    {5630, "7", "7", kAll, true},
    {5631, "0", "0", k3, true},
    {5632, "1u", "1m", kAll, true},
    {5633, "80", "80", kAll, true},
    {5634, "0", "0", 0, false},
    {5635, "1", "1", 0, false},
    {5638, "2", "2", 0, true},
    {5639, "1u", "1u", 0, false},
    {5642, "1e12", "1e6", 0, false},
    {5643, "0", "0", 0, false},
    {5644, "1.5", "1.5", k3, false},
    {5645, "3.5", "3.5", k3, false},
    {5646, ".3", ".3", k3, false},
};

namespace {

GlobalSettingsState gs_state;

std::string gs_Trim(const char* text) {
    std::string s = text ? text : "";
    const size_t first = s.find_first_not_of(" \t");
    if (first == std::string::npos) return "";
    const size_t last = s.find_last_not_of(" \t\r\n");
    return s.substr(first, last - first + 1);
}

char* gs_Field(GlobalSettingValues& values, int row) {
    return reinterpret_cast<char*>(&values) + OptionsTable[row].offset;
}

// Integer reading of the shell: truncated toward zero, saturating.
int32_t gs_ToInt(double value) {
    if (value >= 2147483647.0) return 2147483647;
    if (value <= -2147483648.0) return -2147483647 - 1;
    return static_cast<int32_t>(std::trunc(value));
}

// The clamped value of a row's text into `values`; the text is rewritten when a
// bound applied.
void gs_ApplyRow(int row, GlobalSettingValues& values) {
    const OptionRow& r = OptionsTable[row];
    std::string& text = gs_state.texts[row];
    int error = 0;
    const double read = ParseNumber(text.c_str(), &error);
    char buffer[40];
    if (r.type == kOptionDouble) {
        double v = error == 1 && read == 0 ? 0 : read;
        bool clamped = false;
        if (v < r.minimum) v = r.minimum, clamped = true;
        if (v > r.maximum) v = r.maximum, clamped = true;
        *reinterpret_cast<double*>(gs_Field(values, row)) = v;
        if (clamped) {
            std::snprintf(buffer, sizeof buffer, "%g", v);
            text = buffer;
        }
        return;
    }
    int32_t v = gs_ToInt(read);
    const int32_t lo = gs_ToInt(r.minimum), hi = gs_ToInt(r.maximum);
    bool clamped = false;
    if (v < lo) v = lo, clamped = true;
    if (v > hi) v = hi, clamped = true;
    *reinterpret_cast<int32_t*>(gs_Field(values, row)) = v;
    if (clamped) {
        std::snprintf(buffer, sizeof buffer, "%d", v);
        text = buffer;
    }
}

// The options of the circuit whose analysis is open, or null.
CircuitOptions* gs_OpenCircuitOptions() {
    if (gSolver.AnalysisKind == -1) return nullptr;
    CompileSession* session = FindCompileSession(CurrentCircuitDocument());
    return session ? &session->options : nullptr;
}

}  // namespace

GlobalSettingsState& GlobalSettingTexts() { return gs_state; }

void ResetOptionTexts(bool all) {
    for (int i = 0; i < kOptionCount; ++i)
        if (all || gs_state.texts[i].empty()) gs_state.texts[i] = OptionRowInfos[i].defaultText;
    if (all) gs_state.dialogMethod = 1;
}

void SetOptionText(int row, const char* text) {
    if (row < 0 || row >= kOptionCount) return;
    std::string value = gs_Trim(text);
    if (value.size() > kOptionTextLength) value = gs_Trim(value.substr(0, kOptionTextLength).c_str());
    gs_state.texts[row] = value;
}

void ApplyGlobalSettings(bool full) {
    ResetOptionTexts(false);
    const bool open = gSolver.AnalysisKind != -1;
    CircuitOptions* circuit = full ? nullptr : gs_OpenCircuitOptions();
    for (int i = 0; i < kOptionCount; ++i) {
        if (!full && open) {
            if (!OptionRowInfos[i].live) continue;
            if (circuit && circuit->setByStatement[i]) continue;
        }
        gs_ApplyRow(i, GlobalSettings);
        if (circuit) gs_ApplyRow(i, circuit->settings);
    }
    const bool methodLocked = !full && open && circuit && circuit->methodSetByOptions;
    if (!methodLocked) {
        gs_state.activeMethod = gs_state.dialogMethod;
        if (circuit) circuit->method = gs_state.dialogMethod;
    }
}

int SerializeGlobalSettings(SectionFile& file) {
    if (!file.IsReading()) {
        for (int i = 0; i < kOptionCount; ++i) {
            const std::string& text =
                gs_state.texts[i].empty() ? std::string(OptionRowInfos[i].defaultText) : gs_state.texts[i];
            int rc = file.WriteKey(OptionsTable[i].keyword, text.c_str());
            if (rc) return rc;
        }
        return file.WriteKey("METHOD", gs_state.dialogMethod == 1 ? "TRAP" : "GEAR");
    }
    char* key = nullptr;
    char* value = nullptr;
    while (file.ReadKeyLine(key, value)) {
        const int row = FindOptionRow(key);
        if (row >= 0)
            SetOptionText(row, value);
        else if (CompareNoCase(key, "METHOD") == 0)
            gs_state.dialogMethod = CompareNoCase(gs_Trim(value).c_str(), "GEAR") == 0 ? 0 : 1;
    }
    ApplyGlobalSettings(true);
    return file.error;
}

int ReadOldGlobalSettings(TextFile& file) {
    char line[256];
    int rc = file.ReadRawLine(line, sizeof line);
    if (rc) return rc;
    const int count = std::atoi(gs_Trim(line).c_str());
    for (int i = 0; i < count; ++i) {
        rc = file.ReadRawLine(line, sizeof line);
        if (rc) return rc;
        // Entries beyond the table belong to no row.
        if (i < kOptionCount) SetOptionText(i, line);
    }
    ApplyGlobalSettings(true);
    return 0;
}

void InstallGlobalSettingsSection() {
    ResetOptionTexts(true);
    ApplyGlobalSettings(true);
    RegisterSettingsSection("Global Settings", SerializeGlobalSettings);
}

std::string BuildOptionsStatement(int width, bool plus) {
    std::vector<std::string> items;
    char buffer[80];
    for (int i = 0; i < kOptionCount; ++i) {
        const OptionRow& r = OptionsTable[i];
        const char* field = gs_Field(GlobalSettings, i);
        if (r.type == kOptionDouble) {
            const double v = *reinterpret_cast<const double*>(field);
            if ((i == 2 || i == 3) && v == 0) continue;  // DEFAD, DEFAS
            const std::string& text = gs_state.texts[i];
            int error = 0;
            const double read = ParseNumber(text.c_str(), &error);
            if (!text.empty() && !error && read == v)
                std::snprintf(buffer, sizeof buffer, " %s=%s", r.keyword, text.c_str());
            else
                std::snprintf(buffer, sizeof buffer, " %s=%g", r.keyword, v);
        } else {
            const int32_t v = *reinterpret_cast<const int32_t*>(field);
            if (r.type == kOptionFlag) {
                if (!v) continue;
                std::snprintf(buffer, sizeof buffer, " %s", r.keyword);
            } else {
                std::snprintf(buffer, sizeof buffer, " %s=%d", r.keyword, v);
            }
        }
        items.emplace_back(buffer);
    }
    items.emplace_back(gs_state.activeMethod ? " METHOD=TRAP" : " METHOD=GEAR");
    std::string out = ".OPTIONS ACCT LIST OPTS";
    size_t lineLength = out.size();
    for (const std::string& item : items) {
        // A continuation line only ever starts with an item, so no "+" line is
        // left empty, and an item longer than the width gets a line of its own.
        if (lineLength + item.size() > static_cast<size_t>(width)) {
            out += plus ? "\n+" : "\n";
            lineLength = plus ? 1 : 0;
            out += plus ? item : item.substr(1);
            lineLength += plus ? item.size() : item.size() - 1;
            continue;
        }
        out += item;
        lineLength += item.size();
    }
    return out;
}

namespace {

// The first word of a statement line, upper-cased.
std::string gs_Keyword(const std::string& line) {
    size_t i = line.find_first_not_of(" \t");
    if (i == std::string::npos) return "";
    size_t end = line.find_first_of(" \t\r\n", i);
    std::string word = line.substr(i, end == std::string::npos ? std::string::npos : end - i);
    for (char& c : word) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return word;
}

bool gs_IsComment(const std::string& line) {
    size_t i = line.find_first_not_of(" \t");
    return i != std::string::npos && (line[i] == '*' || line[i] == ';');
}

bool gs_IsContinuation(const std::string& line) {
    size_t i = line.find_first_not_of(" \t");
    return i != std::string::npos && line[i] == '+';
}

}  // namespace

std::string RemoveOptionsStatements(const std::string& text, int* removed) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size() - 1;
        lines.push_back(text.substr(start, end - start + 1));
        start = end + 1;
    }
    std::vector<bool> drop(lines.size(), false);
    int depth = 0;
    int count = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (gs_IsComment(line) || gs_IsContinuation(line)) continue;
        const std::string word = gs_Keyword(line);
        if (word == ".SUBCKT")
            ++depth;
        else if (word == ".ENDS" && depth > 0)
            --depth;
        else if (depth == 0 && (word == ".OPTIONS" || word == ".OPT")) {
            ++count;
            drop[i] = true;
            for (size_t j = i + 1; j < lines.size(); ++j) {
                if (gs_IsComment(lines[j])) continue;
                if (!gs_IsContinuation(lines[j])) break;
                drop[j] = true;
            }
        }
    }
    std::string out;
    for (size_t i = 0; i < lines.size(); ++i)
        if (!drop[i]) out += lines[i];
    if (removed) *removed = count;
    return out;
}

int WriteOptionsToCircuit(CCTDoc* document) {
    if (!document) return 0;
    const std::string statement = BuildOptionsStatement(GlobalSettings.width, true);
    int target = -1;
    bool undoBegun = false;
    for (int page = 0; page < document->PageCount(); ++page) {
        if (document->PageKind(page) != kPageText) continue;
        char* raw = CopyTextPageText(document, page);
        const std::string text = raw ? raw : "";
        FreeString(&raw);
        int removed = 0;
        std::string rewritten = RemoveOptionsStatements(text, &removed);
        if (!removed) continue;
        if (!undoBegun) {
            document->PushUndo(0, "Add .Options");
            undoBegun = true;
        }
        if (target < 0) target = page;
        StoreTextPageText(document, page, rewritten.c_str());
    }
    if (target < 0) {
        target = document->GetTextPageIndex();
        if (target < 0) {
            // A schematic without a text page gets one, so the statement is kept.
            target = document->AppendPage(kPageText, "Text");
            if (target < 0) return kResultNoMemory;
        }
        if (!undoBegun) document->PushUndo(0, "Add .Options");
    }
    char* raw = CopyTextPageText(document, target);
    std::string text = raw ? raw : "";
    FreeString(&raw);
    if (!text.empty() && text.back() != '\n') text += "\r\n";
    std::string body = statement;
    // The page's own line ends are kept for the new lines.
    const bool crlf = text.find("\r\n") != std::string::npos || text.empty();
    if (crlf) {
        std::string converted;
        for (char c : body) {
            if (c == '\n') converted += '\r';
            converted += c;
        }
        body = converted;
    }
    text += body;
    text += crlf ? "\r\n" : "\n";
    StoreTextPageText(document, target, text.c_str());
    document->MarkDirty();
    return 0;
}
