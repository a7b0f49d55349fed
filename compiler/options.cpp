#include "compiler/options.h"

#include <cmath>
#include <cstddef>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "compiler/defines.h"
#include "compiler/session.h"
#include "compiler/support.h"
#include "core/chars.h"
#include "core/memory.h"
#include "core/numbers.h"
#include "core/result.h"
#include "document/ctdoc.h"
#include "document/pages.h"
#include "document/parts.h"
#include "expr/runvars.h"
#include "models/modelstmt.h"

namespace {

constexpr double kIntMax = 2147483647.0;

}  // namespace

const OptionRow OptionsTable[kOptionCount] = {
    {"ABSTOL", offsetof(GlobalSettingValues, abstol), kOptionDouble, 1e-18, 1},
    {"CHGTOL", offsetof(GlobalSettingValues, chgtol), kOptionDouble, 1e-30, 1},
    {"DEFAD", offsetof(GlobalSettingValues, defad), kOptionDouble, 0, 1e30},
    {"DEFAS", offsetof(GlobalSettingValues, defas), kOptionDouble, 0, 1e30},
    {"DEFL", offsetof(GlobalSettingValues, defl), kOptionDouble, 1e-15, 1e30},
    {"DEFW", offsetof(GlobalSettingValues, defw), kOptionDouble, 1e-15, 1e30},
    {"DIGDRVF", offsetof(GlobalSettingValues, digdrvf), kOptionDouble, 1, 1e30},
    {"DIGDRVZ", offsetof(GlobalSettingValues, digdrvz), kOptionDouble, 1, 1e30},
    {"DIGERRDEFAULT", offsetof(GlobalSettingValues, digerrdefault), kOptionInteger, 1, kIntMax},
    {"DIGERRLIMIT", offsetof(GlobalSettingValues, digerrlimit), kOptionInteger, 0, kIntMax},
    {"DIGFREQ", offsetof(GlobalSettingValues, digfreq), kOptionDouble, 1, 1e30},
    {"DIGINITSTATE", offsetof(GlobalSettingValues, diginitstate), kOptionInteger, 0, kIntMax},
    {"DIGIOLVL", offsetof(GlobalSettingValues, digiolvl), kOptionInteger, 1, 5},
    {"DIGMNTYMX", offsetof(GlobalSettingValues, digmntymx), kOptionInteger, 0, 5},
    {"DIGMNTYSCALE", offsetof(GlobalSettingValues, digmntyscale), kOptionDouble, 0, 1},
    {"DIGOVRDRV", offsetof(GlobalSettingValues, digovrdrv), kOptionDouble, 1, 1e30},
    {"DIGTYMXSCALE", offsetof(GlobalSettingValues, digtymxscale), kOptionDouble, 1, 1e30},
    {"GMIN", offsetof(GlobalSettingValues, gmin), kOptionDouble, 1e-20, 1e30},
    {"ITL1", offsetof(GlobalSettingValues, itl1), kOptionInteger, 1, kIntMax},
    {"ITL2", offsetof(GlobalSettingValues, itl2), kOptionInteger, 1, kIntMax},
    {"ITL4", offsetof(GlobalSettingValues, itl4), kOptionInteger, 1, kIntMax},
    {"NOOUTMSG", offsetof(GlobalSettingValues, nooutmsg), kOptionFlag, 0, 1},
    {"PIVREL", offsetof(GlobalSettingValues, pivrel), kOptionDouble, 1e-50, 1},
    {"PIVTOL", offsetof(GlobalSettingValues, pivtol), kOptionDouble, 1e-50, 1},
    {"RELTOL", offsetof(GlobalSettingValues, reltol), kOptionDouble, 1e-50, 1},
    {"SD", offsetof(GlobalSettingValues, sd), kOptionDouble, 1, 10},
    {"SEED", offsetof(GlobalSettingValues, seed), kOptionInteger, -1, kIntMax},
    {"TNOM", offsetof(GlobalSettingValues, tnom), kOptionDouble, 0, 50},
    {"TRTOL", offsetof(GlobalSettingValues, trtol), kOptionDouble, 1, 100},
    {"TRYTOCOMPACT", offsetof(GlobalSettingValues, trytocompact), kOptionFlag, 0, 1},
    {"VNTOL", offsetof(GlobalSettingValues, vntol), kOptionDouble, 1e-30, 1e30},
    {"WIDTH", offsetof(GlobalSettingValues, width), kOptionInteger, 10, 1000},
    {"PRIVATEDIGITAL", offsetof(GlobalSettingValues, privatedigital), kOptionFlag, 0, 1},
    {"PRIVATEANALOG", offsetof(GlobalSettingValues, privateanalog), kOptionFlag, 0, 1},
    {"PERFORM_M", offsetof(GlobalSettingValues, performM), kOptionInteger, 0, 2},
    {"RMIN", offsetof(GlobalSettingValues, rmin), kOptionDouble, 1e-30, 1e30},
    {"R_NODE_GND", offsetof(GlobalSettingValues, rNodeGnd), kOptionDouble, 1e-30, 1e30},
    {"NUMERIC_DERIVATIVE", offsetof(GlobalSettingValues, numericDerivative), kOptionFlag, 0, 1},
    {"LTHRESH", offsetof(GlobalSettingValues, lthresh), kOptionDouble, -1e30, 1e30},
    {"LONE", offsetof(GlobalSettingValues, lone), kOptionDouble, -1e30, 1e30},
    {"LZERO", offsetof(GlobalSettingValues, lzero), kOptionDouble, -1e30, 1e30},
};

int FindOptionRow(const char* keyword) {
    if (!keyword) return -1;
    for (int i = 0; i < kOptionCount; ++i)
        if (CompareNoCase(OptionsTable[i].keyword, keyword) == 0) return i;
    return -1;
}

void CircuitOptions::Reset(const GlobalSettingValues& defaults) {
    *this = CircuitOptions();
    settings = defaults;
}

double CircuitOptions::RowValue(int row) const {
    const OptionRow& r = OptionsTable[row];
    const char* base = reinterpret_cast<const char*>(&settings) + r.offset;
    if (r.type == kOptionDouble) return *reinterpret_cast<const double*>(base);
    return *reinterpret_cast<const int32_t*>(base);
}

CircuitOptions* GetCircuitOptions(CCTDoc* document) {
    CompileSession* session = GetCompileSession(document);
    return session ? &session->options : nullptr;
}

namespace {

const char* const op_ignoredNames[] = {"ACCT", "LIST", "OPTS", "ITL5", "CPTIME", "LIMPTS"};

enum OptionTarget : int {
    kTargetNone = 0,
    kTargetRow,
    kTargetMaxTimeStep,
    kTargetNumDigits,
    kTargetMethod,
};

// ParseInteger of the shell: an engineering number rounded to the nearest int,
// saturating at the int range.
int op_RoundToInt(double value) {
    if (value >= kIntMax) return 2147483647;
    if (value <= -2147483648.0) return -2147483647 - 1;
    return static_cast<int>(std::lround(value));
}

struct OptionsParse {
    GridTextObject* statement;
    int Fail(int id, const char* a, const char* b = nullptr, const char* rows = nullptr) {
        ShowErrorSource(kOriginStatement, statement);
        ReportCompilerMessage(nullptr, 1, rows, id, a ? a : "", b ? b : "");
        return kResultShown;
    }
};

}  // namespace

void CircuitOptions::StoreRow(int row, double value) {
    const OptionRow& r = OptionsTable[row];
    char* base = reinterpret_cast<char*>(&settings) + r.offset;
    if (r.type == kOptionDouble) {
        if (value < r.minimum) value = r.minimum;
        if (value > r.maximum) value = r.maximum;
        *reinterpret_cast<double*>(base) = value;
        return;
    }
    int n = op_RoundToInt(value);
    const int lo = static_cast<int>(r.minimum), hi = static_cast<int>(r.maximum);
    if (n < lo) n = lo;
    if (n > hi) n = hi;
    *reinterpret_cast<int32_t*>(base) = n;
}

int ParseOptionsStatement(CCTDoc* document, const char* text, int fullMode, GridTextObject* statement) {
    OptionsParse parse{statement};
    CircuitOptions scratch;
    CircuitOptions* found = GetCircuitOptions(document);
    CircuitOptions& options = found ? *found : scratch;
    std::string upper;
    for (const char* c = text ? text : ""; *c; ++c) upper.push_back(UpperChar(*c));
    const char* p = upper.c_str();
    const bool textDocument = document && document->Kind() == kDocText;
    for (;;) {
        while (HasCharClass(*p, CC_SPACE)) ++p;
        if (!*p) break;
        const char* nameStart = p;
        while (*p && !HasCharClass(*p, CC_SPACE) && *p != '=') ++p;
        const std::string name(nameStart, p);
        int target = kTargetNone;
        int row = -1;
        if (fullMode && (row = FindOptionRow(name.c_str())) >= 0) {
            target = kTargetRow;
            options.setByStatement[row] = 1;
        } else if (name == "MAXTIMESTEP") {
            target = kTargetMaxTimeStep;
        } else if (fullMode && textDocument && name == "NUMDGT") {
            target = kTargetNumDigits;
        } else if (fullMode && name == "METHOD") {
            target = kTargetMethod;
            options.methodSetByOptions = 1;
        }
        if (target == kTargetNone) {
            bool ignored = false;
            for (const char* known : op_ignoredNames) ignored |= name == known;
            CircuitModels* models = ignored || name.empty() ? nullptr : GetCircuitModels(document);
            if (models && AddCompileNote(models, name.c_str(), -1, kNoteUnknownOption)) return kResultShown;
            // A following "=" and value go with the name.
            const char* q = p;
            while (HasCharClass(*q, CC_SPACE)) ++q;
            if (*q == '=') {
                ++q;
                while (HasCharClass(*q, CC_SPACE)) ++q;
                while (*q && !HasCharClass(*q, CC_SPACE)) ++q;
                p = q;
            }
            continue;
        }
        const bool flag = target == kTargetRow && OptionsTable[row].type == kOptionFlag;
        const char* q = p;
        while (HasCharClass(*q, CC_SPACE)) ++q;
        if (flag && *q != '=') {
            options.StoreRow(row, 1);
            continue;
        }
        if (*q != '=') return parse.Fail(kMsgOptionsExpecting, "=", name.c_str());
        ++q;
        while (HasCharClass(*q, CC_SPACE)) ++q;
        if (!*q) return parse.Fail(kMsgOptionsMissingValue, name.c_str());
        const char* valueStart = q;
        if (*q == '{') {
            for (int depth = 0; *q; ++q) {
                if (*q == '{')
                    ++depth;
                else if (*q == '}' && --depth == 0) {
                    ++q;
                    break;
                }
            }
        }
        while (*q && !HasCharClass(*q, CC_SPACE)) ++q;
        const std::string value(valueStart, q);
        p = q;
        if (target == kTargetMethod) {
            if (value == "GEAR")
                options.method = 0;
            else if (value == "TRAP")
                options.method = 1;
            else
                return parse.Fail(kMsgOptionsMethod, name.c_str());
            continue;
        }
        const std::string rows = "Value:\t" + value + "\n";
        const char first = value[0];
        int error = 0;
        double number = 0;
        if (first == '{' && value.back() == '}') {
            // A braced expression (a define already put in): its value.
            number = EvaluateNumericText(value.substr(1, value.size() - 2).c_str(), &error, 0);
        } else if (HasCharClass(first, CC_DIGIT) || first == '+' || first == '-' || first == '.') {
            number = ParseNumber(value.c_str(), &error);
        } else {
            error = 1;
        }
        if (error || !std::isfinite(number))
            return parse.Fail(kMsgOptionsBadValue, name.c_str(), nullptr, rows.c_str());
        switch (target) {
        case kTargetRow:
            // A flag written NAME=value is on for any value but 0.
            options.StoreRow(row, flag ? (number != 0 ? 1 : 0) : number);
            break;
        case kTargetMaxTimeStep:
            if (number > 0 && (options.maxTimeStep == 0 || number < options.maxTimeStep)) options.maxTimeStep = number;
            break;
        case kTargetNumDigits: options.numDigits = op_RoundToInt(number); break;
        default: break;
        }
    }
    return 0;
}

namespace {

// A statement text of a scope: skips leading blanks and answers the text after
// the keyword, or null when the line is no .OPTIONS / .OPT statement.
const char* op_OptionsText(const char* line) {
    if (!line) return nullptr;
    while (*line == ' ' || *line == '\t') ++line;
    const int length = MatchDotKeyword(line, kDotOptions);
    return length ? line + length : nullptr;
}

// Substitutes the scope's defines into the statement's text and parses it.
int op_ApplyStatement(CCTDoc* document, DefineTable* table, int scope, const char* text, int fullMode,
                      GridTextObject* statement) {
    char* substituted = nullptr;
    int rc = SubstituteDefines(table, &substituted, scope, text, 0, kMarkersToParentheses);
    if (!rc && !substituted) {
        ReportCompileOutOfMemory();
        rc = kResultShown;
    }
    if (!rc) rc = ParseOptionsStatement(document, substituted, fullMode, statement);
    FreeString(&substituted);
    return rc;
}

// Applies every statement line of a text (lines end at LF; a CR before it is
// dropped).
int op_ApplyLines(CCTDoc* document, DefineTable* table, int scope, const std::string& text, int fullMode) {
    size_t start = 0;
    // Statements of subcircuit bodies belong to their instances' scopes.
    int depth = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        start = end + 1;
        const size_t lead = line.find_first_not_of(" \t");
        const char* statement = line.c_str() + (lead == std::string::npos ? line.size() : lead);
        if (CompareNoCaseN(statement, ".SUBCKT", 7) == 0 && HasCharClass(statement[7], CC_SPACE)) ++depth;
        if (CompareNoCaseN(statement, ".ENDS", 5) == 0 && (!statement[5] || HasCharClass(statement[5], CC_SPACE)) &&
            depth > 0)
            --depth;
        if (depth > 0) continue;
        if (const char* options = op_OptionsText(line.c_str())) {
            const int rc = op_ApplyStatement(document, table, scope, options, fullMode, nullptr);
            if (rc) return rc;
        }
    }
    return 0;
}

// The statements a document holds: its placed grid texts, then the lines of
// its text pages.
int op_ApplyDocument(CCTDoc* document, CCTDoc* source, DefineTable* table, int scope, int fullMode) {
    for (PoolItem* item = source->gridTexts.first; item; item = item->next) {
        GridTextObject* statement = static_cast<GridTextObject*>(item);
        // A statement read in a subcircuit body applies with its instance.
        if (statement->scope >= 2 && statement->scope != scope) continue;
        const char* options = op_OptionsText(statement->text);
        if (!options) continue;
        const int rc = op_ApplyStatement(document, table, scope, options, fullMode, statement);
        if (rc) return rc;
    }
    for (int page = 0; page < source->PageCount(); ++page) {
        if (source->PageKind(page) != kPageText) continue;
        char* text = CopyTextPageText(source, page);
        const std::string lines = text ? text : "";
        FreeString(&text);
        const int rc = op_ApplyLines(document, table, scope, lines, fullMode);
        if (rc) return rc;
    }
    return 0;
}

// The global include file's statements (scope 0); a missing file has none.
int op_ApplyGlobalInclude(CCTDoc* document, DefineTable* table, int fullMode) {
    const CircuitScope* record = GetScope(table, 0);
    char fallback[1024];
    const char* path =
        record && !record->path.empty() ? record->path.c_str() : GetGlobalIncludePath(fallback, sizeof fallback);
    if (!path || !*path) return 0;
    std::ifstream file(path, std::ios::binary);
    if (!file) return 0;
    std::ostringstream text;
    text << file.rdbuf();
    return op_ApplyLines(document, table, 0, text.str(), fullMode);
}

}  // namespace

int ApplyOptionsStatements(CCTDoc* document, int firstPass) {
    if (!document) return 0;
    CompileSession* session = GetCompileSession(document);
    if (!session) {
        ReportCompileOutOfMemory();
        return kResultShown;
    }
    DefineTable* table = &session->defines;
    if (firstPass) {
        // Each compile starts from the user's defaults: a statement removed
        // since the last compile leaves nothing behind.
        session->options.Reset(GlobalSettings);
        int rc = op_ApplyGlobalInclude(document, table, 1);
        if (!rc) rc = op_ApplyDocument(document, document, table, 1, 1);
        return rc;
    }
    // Subcircuit and macro bodies: only MAXTIMESTEP counts there, every other
    // name becomes an unknown-option note.
    for (int scope = 2; scope <= table->highestScope; ++scope) {
        const CircuitScope* record = GetScope(table, scope);
        if (record && record->kind == kScopeKindText) {
            // A SPICE body's statements were kept as the circuit's statements of its scope.
            for (PoolItem* item = document->gridTexts.first; item; item = item->next) {
                GridTextObject* statement = static_cast<GridTextObject*>(item);
                if (item->type < 0 || statement->scope != scope) continue;
                const char* options = op_OptionsText(statement->text);
                if (!options) continue;
                const int rc = op_ApplyStatement(document, table, scope, options, 0, statement);
                if (rc) return rc;
            }
            continue;
        }
        if (!record || !record->document || record->document == document) continue;
        const int rc = op_ApplyDocument(document, record->document, table, scope, 0);
        if (rc) return rc;
    }
    return 0;
}

char* ReplaceOptionValue(const char* statement, const char* keyword, const char* valueText) {
    if (!statement || !keyword || !*keyword) return nullptr;
    const char* start = statement;
    while (*start == ' ' || *start == '\t') ++start;
    if (!MatchDotKeyword(start, kDotOptions)) return nullptr;
    const size_t n = std::strlen(keyword);
    for (const char* p = start; *p; ++p) {
        if (p != statement && !HasCharClass(p[-1], CC_SPACE)) continue;
        if (CompareNoCaseN(p, keyword, n) != 0) continue;
        const char* q = p + n;
        if (*q != '=' && !HasCharClass(*q, CC_SPACE)) continue;
        while (HasCharClass(*q, CC_SPACE)) ++q;
        if (*q != '=') continue;
        ++q;
        while (HasCharClass(*q, CC_SPACE) && *q != '\r' && *q != '\n') ++q;
        const char* valueEnd = q;
        while (*valueEnd && !HasCharClass(*valueEnd, CC_SPACE)) ++valueEnd;
        char* result = nullptr;
        FormatString(&result, "%.*s%s%s", static_cast<int>(q - statement), statement, valueText, valueEnd);
        return result;
    }
    return nullptr;
}

namespace {

struct OptionsWriteContext {
    const char* keyword;
    const char* value;
    int changed;
};

char* op_EditLine(const char* line, OptionsWriteContext* context) {
    char* replaced = ReplaceOptionValue(line, context->keyword, context->value);
    if (replaced) ++context->changed;
    return replaced;
}

// The page text with every statement line naming the keyword rewritten; lines
// keep their ends.
std::string op_EditLines(const char* text, OptionsWriteContext* context) {
    std::string out;
    const char* p = text;
    while (*p) {
        const char* end = std::strchr(p, '\n');
        const char* next = end ? end + 1 : p + std::strlen(p);
        const char* lineEnd = end && end > p && end[-1] == '\r' ? end - 1 : (end ? end : next);
        const std::string line(p, lineEnd);
        char* replaced = op_EditLine(line.c_str(), context);
        if (replaced) {
            out += replaced;
            FreeString(&replaced);
        } else {
            out += line;
        }
        out.append(lineEnd, static_cast<size_t>(next - lineEnd));  // the line end as it was
        p = next;
    }
    return out;
}

}  // namespace

void WriteOptionsLine(CCTDoc* document, int row) {
    CircuitOptions* options = GetCircuitOptions(document);
    if (!options || row < 0 || row >= kOptionCount) return;
    const OptionRow& r = OptionsTable[row];
    char value[40];
    if (r.type == kOptionDouble)
        FormatBounded(value, sizeof value, "%g", options->RowValue(row));
    else
        FormatBounded(value, sizeof value, "%d", static_cast<int>(options->RowValue(row)));
    OptionsWriteContext context{r.keyword, value, 0};
    if (document->Kind() == kDocCircuit) {
        for (PoolItem* item = document->gridTexts.first; item; item = item->next) {
            GridTextObject* statement = static_cast<GridTextObject*>(item);
            if (statement->page < 0 || !statement->text) continue;
            char* replaced = op_EditLine(statement->text, &context);
            if (!replaced) continue;
            FreeString(&statement->text);
            statement->text = replaced;
        }
    }
    for (int page = 0; page < document->PageCount(); ++page) {
        if (document->PageKind(page) != kPageText) continue;
        char* text = CopyTextPageText(document, page);
        if (!text) continue;
        const int before = context.changed;
        const std::string rebuilt = op_EditLines(text, &context);
        FreeString(&text);
        if (context.changed != before) StoreTextPageText(document, page, rebuilt.c_str());
    }
    if (context.changed) return;
    int page = document->GetTextPageIndex();
    if (page < 0) page = document->AppendPage(kPageText, "Text");
    if (page < 0) return;
    char* text = CopyTextPageText(document, page);
    std::string appended = text ? text : "";
    FreeString(&text);
    if (!appended.empty() && appended.back() != '\n') appended += "\r\n";
    appended += ".OPTIONS ";
    appended += r.keyword;
    appended += "=";
    appended += value;
    appended += "\r\n";
    StoreTextPageText(document, page, appended.c_str());
}
