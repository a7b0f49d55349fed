#include "compiler/warnings.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "compiler/defines.h"
#include "compiler/devexpr.h"
#include "compiler/session.h"
#include "compiler/setupservices.h"
#include "compiler/support.h"
#include "core/memory.h"
#include "core/messages.h"
#include "core/numbers.h"
#include "core/result.h"
#include "document/circuitfile.h"
#include "document/cirdoc.h"
#include "document/ctdoc.h"
#include "expr/evaluate.h"
#include "expr/stateful.h"
#include "shell/document.h"

namespace {

const MessageRow kWarningMessageRows[] = {
    {kMsgMissingQuotes, "%EMissing Quote(s)."},
};

bool wn_IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

const char* wn_SkipBlanks(const char* p) {
    while (*p && wn_IsBlank(*p)) ++p;
    return p;
}

// Reads a quoted text at p (blanks skipped): its characters to the closing
// quote, each backslash-n made a line break. False when either quote is missing.
bool wn_TakeQuoted(const char*& p, std::string& out) {
    p = wn_SkipBlanks(p);
    if (*p != '"') return false;
    const char* end = std::strchr(p + 1, '"');
    if (!end) return false;
    out.clear();
    for (const char* c = p + 1; c < end; ++c) {
        if (c[0] == '\\' && c + 1 < end && (c[1] == 'n' || c[1] == 'N')) {
            out += "\r\n";
            ++c;
        } else {
            out += *c;
        }
    }
    p = end + 1;
    return true;
}

void wn_SkipOptionalComma(const char*& p) {
    p = wn_SkipBlanks(p);
    if (*p == ',') ++p;
    p = wn_SkipBlanks(p);
}

std::string wn_Trim(const std::string& text) {
    size_t begin = 0, end = text.size();
    while (begin < end && wn_IsBlank(text[begin])) ++begin;
    while (end > begin && wn_IsBlank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

// The first line of a box text (up to its line break), or "" when it has none.
std::string wn_FirstLine(const char* text) {
    if (!text) return {};
    const char* cr = std::strchr(text, '\r');
    if (!cr) return {};
    return std::string(text, cr);
}

int wn_FindStyle(const CircuitWarnings& warnings, const std::string& title) {
    for (size_t i = 0; i < warnings.styles.size(); ++i)
        if (!warnings.styles[i].title.empty() && warnings.styles[i].title == title) return static_cast<int>(i);
    return -1;
}

// A free entry, or a new one at the end; -1 when out of memory.
int wn_NewStyle(CircuitWarnings& warnings, const std::string& title) {
    try {
        for (size_t i = 0; i < warnings.styles.size(); ++i) {
            if (warnings.styles[i].title.empty()) {
                warnings.styles[i] = WarningStyle();
                warnings.styles[i].title = title;
                return static_cast<int>(i);
            }
        }
        warnings.styles.emplace_back();
        warnings.styles.back().title = title;
        return static_cast<int>(warnings.styles.size() - 1);
    } catch (const std::bad_alloc&) {
        return -1;
    }
}

void wn_AssignStyle(CircuitWarnings& warnings, WarningRecord& record) {
    const std::string title = record.BoxTitle();
    int index = wn_FindStyle(warnings, title);
    if (index < 0) {
        index = wn_NewStyle(warnings, title);
        // The boxes of different titles stack down the sheet.
        if (index >= 0) warnings.styles[index].y = 13 + 2 * index;
    }
    record.styleIndex = index;
}

int wn_Fail(CCTDoc* document, const StatementSource& source, int id, const char* argument) {
    (void)document;
    if (source.SourceKind == kSourceObject && source.SourceRef)
        ShowErrorSource(kOriginStatement, reinterpret_cast<GridTextObject*>(source.SourceRef));
    if (QuietDefinitionErrors) return kResultShown;
    ReportCompilerMessage(nullptr, source.Scope, nullptr, id, argument ? argument : "");
    return kResultShown;
}

bool wn_IsWarningBox(const GridTextObject* g) {
    return g && g->type != kPoolItemDead && (g->flags & kGridTextWarningBox) && g->text;
}

void wn_DeleteBox(CCTDoc* document, GridTextObject* box) {
    RegisterWarningStyle(document, box);
    document->gridTexts.Delete(box);
}

void wn_Redraw(CCTDoc* document) {
    if (CMDIView* view = document->MainView()) view->Redraw(0xffffffffu);
}

// The X variable's name for a record without a report expression.
const char* wn_XName(int analysisKind) {
    switch (analysisKind) {
    case 1: return "F";
    case 2: return "DCIN";
    default: return "T";
    }
}

}  // namespace

void RegisterWarningMessages() {
    RegisterMessages(kWarningMessageRows,
                     static_cast<int>(sizeof(kWarningMessageRows) / sizeof(kWarningMessageRows[0])));
}

CircuitWarnings* GetCircuitWarnings(CCTDoc* document) {
    CompileSession* session = document ? GetCompileSession(document) : nullptr;
    return session ? &session->warnings : nullptr;
}

int ParseWarningStatement(CCTDoc* document, const char* text, const StatementSource& source) {
    const char* p = wn_SkipBlanks(text ? text : "");
    const int keyword = MatchDotKeyword(p, kDotWarning);
    if (!keyword) return 0;
    CircuitWarnings* warnings = GetCircuitWarnings(document);
    if (!warnings) return kResultNoMemory;
    p = wn_SkipBlanks(p + keyword);
    WarningRecord* record = nullptr;
    try {
        warnings->records.push_back(std::make_unique<WarningRecord>());
        record = warnings->records.back().get();
    } catch (const std::bad_alloc&) {
        return kResultNoMemory;
    }
    record->source = source;

    std::string first;
    if (!wn_TakeQuoted(p, first)) return wn_Fail(document, source, kMsgMissingQuotes, nullptr);
    wn_SkipOptionalComma(p);
    if (*p == '"') {
        record->title = first;
        if (!wn_TakeQuoted(p, record->message)) return wn_Fail(document, source, kMsgMissingQuotes, nullptr);
        wn_SkipOptionalComma(p);
    } else {
        record->message = first;
    }
    const std::string rest = wn_Trim(p);
    if (rest.empty()) return wn_Fail(document, source, kMsgMissingExpression, text);

    // The condition ends at the first comma outside parentheses and braces.
    size_t split = std::string::npos;
    int depth = 0;
    for (size_t i = 0; i < rest.size() && split == std::string::npos; ++i) {
        const char c = rest[i];
        if (c == '(' || c == '{') ++depth;
        if ((c == ')' || c == '}') && depth > 0) --depth;
        if (c == ',' && depth == 0) split = i;
    }
    const std::string condition = wn_Trim(rest.substr(0, split));
    const std::string report = split == std::string::npos ? std::string() : wn_Trim(rest.substr(split + 1));
    if (condition.empty()) return wn_Fail(document, source, kMsgMissingExpression, text);
    if (AddTextItem(condition.c_str(), &record->condition)) return kResultNoMemory;
    if (!report.empty()) {
        if (AddTextItem(report.c_str(), &record->report)) return kResultNoMemory;
        record->reportText = report;
    }
    wn_AssignStyle(*warnings, *record);
    return 0;
}

int CompileWarningExpressions(CCTDoc* document, int status) {
    CompileSession* session = document ? FindCompileSession(document) : nullptr;
    if (!session) return status;
    for (const auto& record : session->warnings.records) {
        for (DeviceExpression* expression : {&record->condition, &record->report}) {
            if (!expression->HasText()) continue;
            if (status) {
                expression->pendingText.clear();
                continue;
            }
            char* substituted = nullptr;
            const int rc = SubstituteDefines(&session->defines, &substituted, 1, expression->pendingText.c_str(), 0,
                                             kMarkersToParentheses);
            if (rc) {
                FreeString(&substituted);
                expression->pendingText.clear();
                status = rc == kResultShown ? rc : wn_Fail(document, record->source, rc, nullptr);
                continue;
            }
            expression->pendingText = substituted ? substituted : "";
            FreeString(&substituted);
            CompileDeviceExpression(document, expression, 0, nullptr, &status, nullptr, 0);
            if (status && record->source.SourceKind == kSourceObject && record->source.SourceRef)
                ShowErrorSource(kOriginStatement, reinterpret_cast<GridTextObject*>(record->source.SourceRef));
        }
    }
    return status;
}

int EvaluateWarnings(CCTDoc* document) {
    CompileSession* session = document ? FindCompileSession(document) : nullptr;
    if (!session) return 0;
    for (const auto& record : session->warnings.records) {
        if (record->fired || record->condition.compiled.TokenCount() == 0) continue;
        ComplexNumber value{0, 0};
        int rc = EvaluateExpression(&record->condition.compiled, &value);
        if (!rc && value.re == 0.0 && value.im == 0.0) continue;
        double reported = 0;
        if (!rc && record->report.compiled.TokenCount() > 0) {
            ComplexNumber r{0, 0};
            rc = EvaluateExpression(&record->report.compiled, &r);
            reported = r.re;
        } else if (!rc) {
            SelectRunVariable();
            reported = RunX;
        }
        if (rc) {
            const std::string rows = "Warning:\t" + record->message + "\n";
            if (rc != kResultShown) ReportCompilerMessage(nullptr, record->source.Scope, rows.c_str(), rc, "", "");
            return kResultShown;
        }
        record->fired = true;
        record->reportedValue = reported;
    }
    return 0;
}

void ReportWarnings(CCTDoc* document, int analysisKind) {
    if (!document || document->kind != kDocCircuit) return;
    CompileSession* session = FindCompileSession(document);
    if (!session) return;
    std::vector<GridTextObject*> marked;
    for (PoolItem* item = document->gridTexts.first; item; item = item->next) {
        auto* g = static_cast<GridTextObject*>(item);
        if (wn_IsWarningBox(g)) marked.push_back(g);
    }
    for (const auto& record : session->warnings.records) {
        if (!record->fired) continue;
        char value[64];
        FormatNumber(value, sizeof value, record->reportedValue, 3, 0, 0);
        const std::string xName = record->reportText.empty() ? wn_XName(analysisKind) : record->reportText;
        const std::string line = record->message + " at " + xName + "=" + value;
        const std::string title = record->BoxTitle();
        GridTextObject* box = nullptr;
        for (PoolItem* item = document->gridTexts.first; item && !box; item = item->next) {
            auto* g = static_cast<GridTextObject*>(item);
            if (wn_IsWarningBox(g) && wn_FirstLine(g->text) == title) box = g;
        }
        if (box) {
            auto it = std::find(marked.begin(), marked.end(), box);
            if (it != marked.end()) {
                // A box of the previous run starts again from its title.
                marked.erase(it);
                SetString(&box->text, title.c_str());
            }
            AppendString(&box->text, "\r\n");
            AppendString(&box->text, line.c_str());
            continue;
        }
        SetListInsertPosition(1);
        box = document->NewGridText();
        SetListInsertPosition(2);
        if (!box) return;
        box->flags |= kGridTextWarningBox | kGridTextNotSaved;
        box->page = 0;
        const int index = record->styleIndex;
        if (index >= 0 && index < static_cast<int>(session->warnings.styles.size())) {
            const WarningStyle& style = session->warnings.styles[index];
            box->x = style.x;
            box->y = style.y;
            box->lineWeight = style.style.width;
            box->linePattern = style.style.pattern;
            box->borderColor = style.style.color;
            box->fillColor = style.style.fillColor;
            box->fillPattern = style.style.fillPattern;
            box->font = style.font;
        } else {
            box->x = 12;
            box->y = 13;
        }
        const std::string text = title + "\r\n" + line;
        box->text = DuplicateString(text.c_str());
    }
    for (GridTextObject* box : marked) wn_DeleteBox(document, box);
    wn_Redraw(document);
}

void ClearWarningMarks(CCTDoc* document) {
    CompileSession* session = document ? FindCompileSession(document) : nullptr;
    if (!session) return;
    for (const auto& record : session->warnings.records) record->fired = false;
    bool removed = false;
    for (PoolItem* item = document->gridTexts.first; item;) {
        auto* g = static_cast<GridTextObject*>(item);
        item = item->next;
        if (!wn_IsWarningBox(g)) continue;
        wn_DeleteBox(document, g);
        removed = true;
    }
    if (removed) wn_Redraw(document);
}

void FreeWarningRecords(CCTDoc* document) {
    if (CompileSession* session = document ? FindCompileSession(document) : nullptr) session->warnings.records.clear();
}

void PruneWarningStyles(CCTDoc* document) {
    CompileSession* session = document ? FindCompileSession(document) : nullptr;
    if (!session) return;
    for (WarningStyle& style : session->warnings.styles) {
        bool used = false;
        for (const auto& record : session->warnings.records) used = used || style.title == record->BoxTitle();
        if (!used) style.title.clear();
    }
}

void FreeWarningStyles(CCTDoc* document) {
    if (CompileSession* session = document ? FindCompileSession(document) : nullptr) session->warnings.styles.clear();
}

int RegisterWarningStyle(CCTDoc* document, const GridTextObject* box) {
    CircuitWarnings* warnings = GetCircuitWarnings(document);
    if (!warnings || !box) return -1;
    const std::string title = wn_FirstLine(box->text);
    if (title.empty()) return -1;
    int index = wn_FindStyle(*warnings, title);
    if (index < 0) index = wn_NewStyle(*warnings, title);
    if (index < 0) return -1;
    WarningStyle& style = warnings->styles[index];
    style.x = box->x;
    style.y = box->y;
    style.style.width = box->lineWeight;
    style.style.pattern = box->linePattern;
    style.style.color = box->borderColor;
    style.style.fillColor = box->fillColor;
    style.style.fillPattern = box->fillPattern;
    style.font = box->font;
    return index;
}

int WarningSectionIO(CircuitFile& file) {
    CCTDoc* document = file.document;
    if (file.IsWriting()) {
        CompileSession* session = document ? FindCompileSession(document) : nullptr;
        if (!session) return file.error;
        for (const WarningStyle& style : session->warnings.styles) {
            if (style.title.empty()) continue;
            file.WriteSectionHeader("Warning");
            file.WriteKey("Title", style.title.c_str());
            char grid[48];
            std::snprintf(grid, sizeof grid, "%d,%d", style.x, style.y);
            file.WriteKey("Grid", grid);
            WriteGraphicAttrKey(file, "Style", style.style);
            WriteFontKey(file, "Font", style.font);
        }
        return file.error;
    }
    CircuitWarnings* warnings = GetCircuitWarnings(document);
    WarningStyle style;
    char* key = nullptr;
    char* value = nullptr;
    while (file.ReadKeyLine(key, value)) {
        if (!warnings) continue;
        if (!std::strcmp(key, "TITLE")) {
            style.title = value;
        } else if (!std::strcmp(key, "GRID")) {
            int32_t grid[2] = {style.x, style.y};
            ParseTwoInts(value, grid);
            style.x = grid[0];
            style.y = grid[1];
        } else if (!std::strcmp(key, "STYLE")) {
            ParseGraphicAttr(value, &style.style);
        } else if (!std::strcmp(key, "FONT")) {
            ParseFontSpec(value, &style.font, true);
        }
    }
    if (warnings && !style.title.empty()) {
        const int index = wn_FindStyle(*warnings, style.title);
        try {
            if (index >= 0)
                warnings->styles[index] = style;
            else
                warnings->styles.push_back(style);
        } catch (const std::bad_alloc&) {
            return kResultNoMemory;
        }
    }
    return file.error;
}

void InstallWarningSection() { SetCircuitSectionRoutine(kSecWarning, WarningSectionIO); }
