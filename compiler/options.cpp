#include "compiler/options.h"

#include <cmath>
#include <cstring>
#include <string>

#include "compiler/defines.h"
#include "compiler/support.h"
#include "core/chars.h"
#include "core/memory.h"
#include "core/numbers.h"
#include "core/result.h"
#include "document/ctdoc.h"
#include "expr/runvars.h"
#include "models/modelstmt.h"

namespace {

constexpr double kIntMax = 2147483647.0;

}  // namespace

const OptionRow OptionsTable[kOptionCount] = {
    {"ABSTOL", &GlobalSettings.abstol, kOptionDouble, 1e-18, 1},
    {"CHGTOL", &GlobalSettings.chgtol, kOptionDouble, 1e-30, 1},
    {"DEFAD", &GlobalSettings.defad, kOptionDouble, 0, 1e30},
    {"DEFAS", &GlobalSettings.defas, kOptionDouble, 0, 1e30},
    {"DEFL", &GlobalSettings.defl, kOptionDouble, 1e-15, 1e30},
    {"DEFW", &GlobalSettings.defw, kOptionDouble, 1e-15, 1e30},
    {"DIGDRVF", &GlobalSettings.digdrvf, kOptionDouble, 1, 1e30},
    {"DIGDRVZ", &GlobalSettings.digdrvz, kOptionDouble, 1, 1e30},
    {"DIGERRDEFAULT", &GlobalSettings.digerrdefault, kOptionInteger, 1, kIntMax},
    {"DIGERRLIMIT", &GlobalSettings.digerrlimit, kOptionInteger, 0, kIntMax},
    {"DIGFREQ", &GlobalSettings.digfreq, kOptionDouble, 1, 1e30},
    {"DIGINITSTATE", &GlobalSettings.diginitstate, kOptionInteger, 0, kIntMax},
    {"DIGIOLVL", &GlobalSettings.digiolvl, kOptionInteger, 1, 5},
    {"DIGMNTYMX", &GlobalSettings.digmntymx, kOptionInteger, 0, 5},
    {"DIGMNTYSCALE", &GlobalSettings.digmntyscale, kOptionDouble, 0, 1},
    {"DIGOVRDRV", &GlobalSettings.digovrdrv, kOptionDouble, 1, 1e30},
    {"DIGTYMXSCALE", &GlobalSettings.digtymxscale, kOptionDouble, 1, 1e30},
    {"GMIN", &GlobalSettings.gmin, kOptionDouble, 1e-20, 1e30},
    {"ITL1", &GlobalSettings.itl1, kOptionInteger, 1, kIntMax},
    {"ITL2", &GlobalSettings.itl2, kOptionInteger, 1, kIntMax},
    {"ITL4", &GlobalSettings.itl4, kOptionInteger, 1, kIntMax},
    {"NOOUTMSG", &GlobalSettings.nooutmsg, kOptionFlag, 0, 1},
    {"PIVREL", &GlobalSettings.pivrel, kOptionDouble, 1e-50, 1},
    {"PIVTOL", &GlobalSettings.pivtol, kOptionDouble, 1e-50, 1},
    {"RELTOL", &GlobalSettings.reltol, kOptionDouble, 1e-50, 1},
    {"SD", &GlobalSettings.sd, kOptionDouble, 1, 10},
    {"SEED", &GlobalSettings.seed, kOptionInteger, -1, kIntMax},
    {"TNOM", &GlobalSettings.tnom, kOptionDouble, 0, 50},
    {"TRTOL", &GlobalSettings.trtol, kOptionDouble, 1, 100},
    {"TRYTOCOMPACT", &GlobalSettings.trytocompact, kOptionFlag, 0, 1},
    {"VNTOL", &GlobalSettings.vntol, kOptionDouble, 1e-30, 1e30},
    {"WIDTH", &GlobalSettings.width, kOptionInteger, 10, 1000},
    {"PRIVATEDIGITAL", &GlobalSettings.privatedigital, kOptionFlag, 0, 1},
    {"PRIVATEANALOG", &GlobalSettings.privateanalog, kOptionFlag, 0, 1},
    {"PERFORM_M", &GlobalSettings.performM, kOptionInteger, 0, 2},
    {"RMIN", &GlobalSettings.rmin, kOptionDouble, 1e-30, 1e30},
    {"R_NODE_GND", &GlobalSettings.rNodeGnd, kOptionDouble, 1e-30, 1e30},
    {"NUMERIC_DERIVATIVE", &GlobalSettings.numericDerivative, kOptionFlag, 0, 1},
    {"LTHRESH", &GlobalSettings.lthresh, kOptionDouble, -1e30, 1e30},
    {"LONE", &GlobalSettings.lone, kOptionDouble, -1e30, 1e30},
    {"LZERO", &GlobalSettings.lzero, kOptionDouble, -1e30, 1e30},
};

int32_t OptionSetByStatement[kOptionCount] = {};
double MaxTimeStepOption = 0;
int32_t NumDigitsOption = -1;
int32_t ActiveMethod = 1;
int32_t MethodSetByOptions = 0;

OptionsServiceHooks& OptionsHooks() {
    static OptionsServiceHooks hooks;
    return hooks;
}

int FindOptionRow(const char* keyword) {
    if (!keyword) return -1;
    for (int i = 0; i < kOptionCount; ++i)
        if (CompareNoCase(OptionsTable[i].keyword, keyword) == 0) return i;
    return -1;
}

void ClearOptionGivenMarks() {
    for (int32_t& mark : OptionSetByStatement) mark = 0;
    MethodSetByOptions = 0;
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
    CCTDoc* document;
    GridTextObject* statement;
    int Fail(int id, const char* a, const char* b = nullptr, const char* rows = nullptr) {
        ShowErrorSource(kOriginStatement, statement);
        ReportCompilerMessage(nullptr, 1, rows, id, a ? a : "", b ? b : "");
        return kResultShown;
    }
};

// Stores a value into a row, clamped to the row's bounds.
void op_StoreRow(int row, double value) {
    const OptionRow& r = OptionsTable[row];
    if (r.type == kOptionDouble) {
        if (value < r.minimum) value = r.minimum;
        if (value > r.maximum) value = r.maximum;
        *static_cast<double*>(r.storage) = value;
        return;
    }
    int n = op_RoundToInt(value);
    const int lo = static_cast<int>(r.minimum), hi = static_cast<int>(r.maximum);
    if (n < lo) n = lo;
    if (n > hi) n = hi;
    *static_cast<int32_t*>(r.storage) = n;
}

}  // namespace

int ParseOptionsStatement(CCTDoc* document, const char* text, int fullMode, GridTextObject* statement) {
    OptionsParse parse{document, statement};
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
            OptionSetByStatement[row] = 1;
        } else if (name == "MAXTIMESTEP") {
            target = kTargetMaxTimeStep;
        } else if (fullMode && textDocument && name == "NUMDGT") {
            target = kTargetNumDigits;
        } else if (fullMode && name == "METHOD") {
            target = kTargetMethod;
            MethodSetByOptions = 1;
        }
        if (target == kTargetNone) {
            bool ignored = false;
            for (const char* known : op_ignoredNames) ignored |= name == known;
            if (!ignored && !name.empty() && AddCompileNote(name.c_str(), -1, kNoteUnknownOption)) return kResultShown;
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
            op_StoreRow(row, 1);
            continue;
        }
        if (*q != '=') return parse.Fail(kMsgOptionsExpecting, "=", name.c_str());
        ++q;
        while (HasCharClass(*q, CC_SPACE)) ++q;
        if (!*q) return parse.Fail(kMsgOptionsMissingValue, name.c_str());
        const char* valueStart = q;
        if (*q == '{') {
            for (int depth = 0; *q; ++q) {
                if (*q == '{') ++depth;
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
            if (value == "GEAR") ActiveMethod = 0;
            else if (value == "TRAP") ActiveMethod = 1;
            else return parse.Fail(kMsgOptionsMethod, name.c_str());
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
        if (error || !std::isfinite(number)) return parse.Fail(kMsgOptionsBadValue, name.c_str(), nullptr, rows.c_str());
        switch (target) {
        case kTargetRow:
            // A flag written NAME=value is on for any value but 0.
            op_StoreRow(row, flag ? (number != 0 ? 1 : 0) : number);
            break;
        case kTargetMaxTimeStep:
            if (number > 0 && (MaxTimeStepOption == 0 || number < MaxTimeStepOption)) MaxTimeStepOption = number;
            break;
        case kTargetNumDigits:
            NumDigitsOption = op_RoundToInt(number);
            break;
        default: break;
        }
    }
    return 0;
}

int ApplyOptionsStatements(CCTDoc* document, int firstPass) {
    if (firstPass) NumDigitsOption = -1;
    if (!document) return 0;
    DefineTable* table = GetDefineTable(document);
    // The document's statements are those of the top level (scope 1); the
    // statements of expanded bodies reach the second pass through the expansion.
    const int scope = 1;
    const bool take = firstPass ? (scope == 0 || scope == 1) : (scope >= 2);
    if (!take) return 0;
    for (PoolItem* item = document->gridTexts.first; item; item = item->next) {
        GridTextObject* statement = static_cast<GridTextObject*>(item);
        const char* text = statement->text;
        if (!text) continue;
        while (*text == ' ' || *text == '\t') ++text;
        const int length = MatchDotKeyword(text, kDotOptions);
        if (!length) continue;
        char* substituted = nullptr;
        int rc = SubstituteDefines(table, &substituted, scope, text + length, 0, kMarkersToParentheses);
        if (!rc && !substituted) {
            ReportCompileOutOfMemory();
            rc = kResultShown;
        }
        if (!rc) rc = ParseOptionsStatement(document, substituted, firstPass, statement);
        FreeString(&substituted);
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

char* op_EditLine(const char* line, void* context) {
    OptionsWriteContext* c = static_cast<OptionsWriteContext*>(context);
    char* replaced = ReplaceOptionValue(line, c->keyword, c->value);
    if (replaced) ++c->changed;
    return replaced;
}

}  // namespace

void WriteOptionsLine(CCTDoc* document, const void* storage) {
    if (!document) return;
    int row = -1;
    for (int i = 0; i < kOptionCount; ++i)
        if (OptionsTable[i].storage == storage) row = i;
    if (row < 0) return;
    const OptionRow& r = OptionsTable[row];
    char value[40];
    if (r.type == kOptionDouble) FormatBounded(value, sizeof value, "%g", *static_cast<const double*>(r.storage));
    else FormatBounded(value, sizeof value, "%d", *static_cast<const int32_t*>(r.storage));
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
    if (OptionsHooks().forEachTextLine) OptionsHooks().forEachTextLine(document, op_EditLine, &context);
    if (context.changed == 0 && OptionsHooks().appendTextLine) {
        char* line = nullptr;
        FormatString(&line, ".OPTIONS %s=%s", r.keyword, value);
        if (line) OptionsHooks().appendTextLine(document, line);
        FreeString(&line);
    }
}
