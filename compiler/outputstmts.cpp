#include "compiler/outputstmts.h"

#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "compiler/analysisstmts.h"
#include "document/cfanalysis.h"
#include "compiler/statements.h"
#include "compiler/stmtstate.h"
#include "compiler/support.h"
#include "core/chars.h"
#include "core/memory.h"
#include "core/messages.h"
#include "core/result.h"
#include "core/stringarray.h"
#include "document/cfanalysis.h"

namespace {

enum : int {
    kMsgDistoInPrint = 10911,
    kMsgIllegalAnalysis = 10917,
    kMsgWatchCharacter = 10950,
    kMsgOutputNotPrinted = 11962,
};

const MessageRow kOutputStatementRows[] = {
    {kMsgDistoInPrint, "%WCan't use DISTO in print/plot statement."},
    {kMsgIllegalAnalysis, "%EIllegal analysis type %s."},
    {kMsgWatchCharacter, "%EIllegal character in .Watch %c."},
    {kMsgOutputNotPrinted, "%W.PRINT %s is not printed: that analysis writes its own results."},
};

bool os_Is(const StringArray& words, int i, const char* word) { return std::strcmp(words.Token(i), word) == 0; }

const char* os_Text(const char* text) { return text ? text : ""; }

bool os_Empty(const char* text) { return text == nullptr || text[0] == 0; }

// The X expression a new row of a kind plots against.
const char* os_DefaultX(int kind) { return kind == 0 ? "T" : kind == 2 ? "DCINPUT1" : "F"; }

// A new row of the kind at the end of its rows (null when out of memory): X
// against the kind's run variable, empty ranges, no plot.
CurveRow* os_AddRow(AnalysisKindSettings& limits, int kind) {
    CurveRow* row = new (std::nothrow) CurveRow();
    if (!row) return nullptr;
    limits.curves.emplace_back(row);
    SetDefaultCurveStyle(*row, static_cast<int>(limits.curves.size()) - 1);
    SetString(&row->xExpression, os_DefaultX(kind));
    SetString(&row->yExpression, "");
    SetString(&row->xRange, "");
    SetString(&row->yRange, "");
    if (kind == 0 || kind == 2) row->options |= kRowScaleX | kRowScaleY;
    return row;
}

// A word that reads as a number: a run of digits, signs and points holding a digit.
bool os_IsNumberWord(const char* word) {
    bool digit = false;
    const char* p = word;
    for (; *p == '+' || *p == '-' || *p == '.' || (*p >= '0' && *p <= '9'); ++p)
        if (*p >= '0' && *p <= '9') digit = true;
    return digit && p != word;
}

// A .PLOT range "(low,high)" or "low high" from word i that ends the
// statement: true with its two words.
bool os_ReadPlotRange(const StringArray& words, int i, std::string* low, std::string* high) {
    const bool open = os_Is(words, i, "(");
    if (open) ++i;
    if (!os_IsNumberWord(words.Token(i))) return false;
    *low = words.Token(i++);
    if (os_Is(words, i, ",")) ++i;
    if (!os_IsNumberWord(words.Token(i))) return false;
    *high = words.Token(i++);
    if (open) {
        if (!os_Is(words, i, ")")) return false;
        ++i;
    }
    return words.Token(i)[0] == 0;
}

// The function a suffixed output variable names (VDB, IR, VM ...); null when
// the suffix is none of R, I, M, P, G, DB. *suffixLength receives its length.
const char* os_SuffixFunction(const char* word, size_t* suffixLength) {
    const size_t length = std::strlen(word);
    if (length > 2 && std::strcmp(word + length - 2, "DB") == 0) {
        *suffixLength = 2;
        return "DB";
    }
    *suffixLength = 1;
    switch (word[length - 1]) {
    case 'R': return "RE";
    case 'I': return "IM";
    case 'M': return "MAG";
    case 'P': return "PH";
    case 'G': return "GD";
    default: return nullptr;
    }
}

bool os_IsSuffixedVariable(const std::vector<std::string>& tokens, size_t k, bool importSeen) {
    const std::string& word = tokens[k];
    if (importSeen || word.size() < 2 || (word[0] != 'V' && word[0] != 'I') || word == "IG") return false;
    return k + 1 < tokens.size() && tokens[k + 1] == "(";
}

// The index of the ")" that closes the group opened at tokens[open], or the
// last index when it is not closed.
size_t os_CloseOf(const std::vector<std::string>& tokens, size_t open) {
    int depth = 0;
    for (size_t k = open; k < tokens.size(); ++k) {
        if (tokens[k] == "(")
            ++depth;
        else if (tokens[k] == ")" && --depth == 0)
            return k;
    }
    return tokens.size() - 1;
}

std::string os_JoinItem(const std::vector<std::string>& tokens) {
    std::string out;
    bool importSeen = false;
    for (size_t k = 0; k < tokens.size(); ++k) {
        if (CompareNoCase(tokens[k].c_str(), "IMPORT") == 0) importSeen = true;
        size_t suffixLength = 0;
        const char* function = os_IsSuffixedVariable(tokens, k, importSeen)
                                   ? os_SuffixFunction(tokens[k].c_str(), &suffixLength)
                                   : nullptr;
        if (!function) {
            out += tokens[k];
            continue;
        }
        const size_t close = os_CloseOf(tokens, k + 1);
        out += std::string(function) + "(" + tokens[k].substr(0, tokens[k].size() - suffixLength);
        for (size_t m = k + 1; m <= close; ++m) out += tokens[m];
        out += ")";
        k = close;
    }
    return out;
}

}  // namespace

void RegisterOutputStatementMessages() {
    RegisterMessages(kOutputStatementRows,
                     static_cast<int>(sizeof(kOutputStatementRows) / sizeof(kOutputStatementRows[0])));
}

int AnalysisKindOfWord(const char* word) {
    if (!word) return -1;
    if (std::strcmp(word, "TRAN") == 0) return 0;
    if (std::strcmp(word, "AC") == 0 || std::strcmp(word, "NOISE") == 0) return 1;
    if (std::strcmp(word, "DC") == 0) return 2;
    if (std::strcmp(word, "DISTO") == 0) return 3;
    return -1;
}

int ParsePrintItem(const StringArray& words, int index, std::string* target) {
    const char* first = words.Token(index);
    if ((std::strcmp(first, "INOISE") == 0 || std::strcmp(first, "ONOISE") == 0) && os_Is(words, index + 1, "(") &&
        words.Token(index + 2)[0] != 0 && os_Is(words, index + 3, ")")) {
        *target = std::string(words.Token(index + 2)) + "(" + first + ")";
        return index + 4;
    }
    std::vector<std::string> tokens;
    int i = index;
    if (!os_Is(words, i, "(") && !os_Is(words, i + 1, "(")) {
        tokens.emplace_back(words.Token(i++));
    } else {
        int depth = 0;
        for (; words.Token(i)[0] != 0; ++i) {
            const char* word = words.Token(i);
            if (std::strcmp(word, "(") == 0) ++depth;
            if (std::strcmp(word, "[") != 0 && std::strcmp(word, "]") != 0) tokens.emplace_back(word);
            if (std::strcmp(word, ")") == 0 && --depth <= 0) {
                ++i;
                break;
            }
        }
    }
    *target = os_JoinItem(tokens);
    return i;
}

// ---- .PRINT and .PLOT -------------------------------------------------------------------------

int ReadPrintStatement(SpiceStatementContext& context, char* statement) {
    StringArray words;
    if (int rc = words.SplitLine(statement, kSplitNames)) return rc;
    const bool plot = CompareNoCase(words.Token(0), ".PLOT") == 0;
    const int kind = AnalysisKindOfWord(words.Token(1));
    if (kind == 3) {
        const std::string rows = std::string("Text:\t") + statement + "\n";
        ReportCompilerMessage(nullptr, context.scope, rows.c_str(), kMsgDistoInPrint);
        return 0;
    }
    if (kind < 0) {
        // SPICE3 decks print the results of analyses that write their own
        // tables here (.SENS, .TF, .OP, .PZ): the deck runs without the line.
        for (const char* own : {"SENS", "TF", "OP", "PZ"}) {
            if (CompareNoCase(words.Token(1), own) != 0) continue;
            const std::string rows = std::string("Text:\t") + statement + "\n";
            ReportCompilerMessage(nullptr, context.scope, rows.c_str(), kMsgOutputNotPrinted, words.Token(1));
            return 0;
        }
        return ReportCompilerMessage(nullptr, context.scope, nullptr, kMsgIllegalAnalysis, words.Token(1));
    }
    StatementState* state = GetStatementState(context.document);
    AnalysisKindSettings* limits = AnalysisKindOf(context.document, kind);
    if (!state || !limits) return kResultNoMemory;
    if (kind != CurrentAnalysisKind()) {
        ++state->plotCounter;
        return 0;
    }
    std::vector<CurveRow*> plotted;
    int i = 2;
    while (words.Token(i)[0] != 0) {
        int& filled = state->statementCurveCount[kind];
        while (static_cast<int>(limits->curves.size()) <= filled)
            if (!os_AddRow(*limits, kind)) return kResultNoMemory;
        CurveRow* row = limits->curves[static_cast<size_t>(filled)].get();
        std::string item;
        i = ParsePrintItem(words, i, &item);
        SetString(&row->yExpression, item.c_str());
        row->plotGroup = static_cast<char>(state->plotCounter + 1);
        ++filled;
        if (!plot) {
            row->options |= kRowPrinted;
            continue;
        }
        row->options |= kRowFromPlot;
        plotted.push_back(row);
        std::string low, high;
        if (os_ReadPlotRange(words, i, &low, &high)) {
            const std::string range = high + "," + low;
            for (CurveRow* target : plotted) SetString(&target->yRange, range.c_str());
            break;
        }
    }
    ++state->plotCounter;
    return 0;
}

// ---- .WATCH ---------------------------------------------------------------------------------

// The text after the keyword and the kind word of an output statement.
static const char* os_AfterKindWord(const char* statement) {
    const char* p = statement;
    for (int word = 0; word < 2; ++word) {
        while (*p == ' ' || *p == '\t') ++p;
        while (*p && *p != ' ' && *p != '\t') ++p;
    }
    return p;
}

// A parenthesised field with a comma outside its inner groups: a limit pair.
static bool os_IsLimitGroup(const char* field) {
    while (*field == ' ' || *field == '\t') ++field;
    if (*field != '(') return false;
    int depth = 0;
    for (const char* p = field; *p; ++p) {
        if (*p == '(')
            ++depth;
        else if (*p == ')')
            --depth;
        else if (*p == ',' && depth == 1)
            return true;
    }
    return false;
}

static std::string os_Trimmed(const char* text) {
    std::string out = os_Text(text);
    const size_t first = out.find_first_not_of(" \t");
    if (first == std::string::npos) return "";
    return out.substr(first, out.find_last_not_of(" \t") - first + 1);
}

int ReadWatchStatement(SpiceStatementContext& context, char* statement) {
    StringArray words;
    if (int rc = words.SplitLine(statement, kSplitNames)) return rc;
    const int kind = AnalysisKindOfWord(words.Token(1));
    if (kind < 0) {
        const std::string rows = std::string("Text:\t") + statement + "\n";
        return ReportCompilerMessage(nullptr, context.scope, rows.c_str(), kMsgIllegalAnalysis, words.Token(1));
    }
    if (kind != CurrentAnalysisKind()) return 0;
    AnalysisKindSettings* limits = AnalysisKindOf(context.document, kind);
    if (!limits) return kResultNoMemory;
    const char* p = os_AfterKindWord(statement);
    char* field = nullptr;
    int rc = 0;
    bool dropNext = false;
    for (;;) {
        while (*p == ' ' || *p == '\t') ++p;
        if (*p == 0) break;
        const int length = ScanValueField(p, context.scope, &field, true, false);
        const std::string text = os_Trimmed(field);
        if (length <= 0 || text.empty()) {
            if (field == nullptr && length > 0) {
                rc = kResultNoMemory;
                break;
            }
            rc = ReportCompilerMessage(nullptr, context.scope, nullptr, kMsgWatchCharacter, *p);
            break;
        }
        p += length;
        while (*p == ' ' || *p == '\t') ++p;
        const bool pairFirst = *p == ',';
        if (pairFirst) ++p;
        if (dropNext) {
            dropNext = false;
        } else if (pairFirst) {
            dropNext = true;
        } else if (!os_IsLimitGroup(text.c_str())) {
            limits->watch.push_back(text);
        }
    }
    FreeString(&field);
    return rc;
}

// ---- closing passes -------------------------------------------------------------------------

static bool os_SameOrEmpty(const char* a, const char* b) {
    return os_Empty(a) || os_Empty(b) || std::strcmp(a, b) == 0;
}

static bool os_SameRow(const CurveRow& a, const CurveRow& b) {
    return std::strcmp(os_Text(a.xExpression), os_Text(b.xExpression)) == 0 &&
           std::strcmp(os_Text(a.yExpression), os_Text(b.yExpression)) == 0 && os_SameOrEmpty(a.xRange, b.xRange) &&
           os_SameOrEmpty(a.yRange, b.yRange);
}

void MergeCurveRows(CCTDoc* document) {
    const int kind = CurrentAnalysisKind();
    if (kind < 0 || kind >= kPlotKindCount) return;
    AnalysisKindSettings* limits = AnalysisKindOf(document, kind);
    if (!limits) return;
    auto& rows = limits->curves;
    for (size_t i = 0; i < rows.size(); ++i) {
        for (size_t j = i + 1; j < rows.size();) {
            CurveRow& earlier = *rows[i];
            const CurveRow& later = *rows[j];
            if (!os_SameRow(earlier, later)) {
                ++j;
                continue;
            }
            earlier.options |= later.options;
            if (earlier.plotGroup == 0) earlier.plotGroup = later.plotGroup;
            if (os_Empty(earlier.xRange) && !os_Empty(later.xRange)) SetString(&earlier.xRange, later.xRange);
            if (os_Empty(earlier.yRange) && !os_Empty(later.yRange)) SetString(&earlier.yRange, later.yRange);
            rows.erase(rows.begin() + static_cast<long>(j));
        }
    }
    bool anyPlot = false;
    for (const auto& row : rows)
        if (row->options & kRowFromPlot) anyPlot = true;
    char number = '0';
    bool first = true;
    char previous = 0;
    for (auto& row : rows) {
        if (anyPlot && !(row->options & kRowFromPlot)) {
            row->plotGroup = 0;
            continue;
        }
        const char old = row->plotGroup;
        if (first || old != previous) ++number;
        first = false;
        previous = old;
        // Past '9' the numbers go on through the character set, as the file keeps one byte.
        row->plotGroup = number;
    }
    for (auto& row : rows) row->options &= static_cast<uint16_t>(~kRowFromPlot);
    if (AnalysisKindSettings* ac = AnalysisKindOf(document, 1))
        for (auto& row : ac->curves) row->options = static_cast<uint16_t>((row->options & ~kRowScaleX) | kRowScaleY);
}

void AddDefaultCurveRows(CCTDoc* document) {
    const int kind = CurrentAnalysisKind();
    if (kind < 0 || kind >= kPlotKindCount) return;
    AnalysisKindSettings* limits = AnalysisKindOf(document, kind);
    if (!limits || !limits->curves.empty()) return;
    for (int i = 0; i < 3; ++i) {
        CurveRow* row = os_AddRow(*limits, kind);
        if (!row) return;
        row->plotGroup = '1';
        row->options |= kRowScaleY;
    }
}
