#include "compiler/analysisstmts.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "compiler/initconds.h"
#include "compiler/outputstmts.h"
#include "compiler/session.h"
#include "compiler/statements.h"
#include "compiler/support.h"
#include "core/chars.h"
#include "core/memory.h"
#include "core/messages.h"
#include "core/result.h"
#include "core/stringarray.h"
#include "document/cfanalysis.h"
#include "document/ctdoc.h"
#include "expr/runstate.h"
#include "models/modeltypes.h"

namespace {

enum : int {
    kMsgSecondTr = 10940,
    kMsgMissingValues = 10941,
    kMsgTimeOrder = 10942,
    kMsgStepPositive = 10943,
    kMsgTimeNegative = 10944,
};

const MessageRow kAnalysisStatementRows[] = {
    {kMsgSecondTr, "%ECan't have more than one .TR statement."},
    {kMsgMissingValues, "%EMissing values."},
    {kMsgTimeOrder, "%ETime values must be in increasing order."},
    {kMsgStepPositive, "%EMaximum time step values must be > 0."},
    {kMsgTimeNegative, "%ETime values must be >= 0."},
};

std::string as_Format(const char* format, double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

bool as_IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// A number word: a plain engineering number, else an expression of the circuit.
double as_Value(const char* text, int* error) {
    int e = 0;
    double value = EvaluateNumericText(text, &e, 0);
    if (error) *error = e;
    return e ? 0 : value;
}

void as_Set(char** field, const std::string& text) { SetString(field, text.c_str()); }

// Splits the statement into words; a failure is the split's code.
int as_Split(StringArray& words, const char* statement) { return words.SplitLine(statement, kSplitNames); }

bool as_Is(const StringArray& words, int i, const char* word) { return std::strcmp(words.Token(i), word) == 0; }

int as_MissingValues(CCTDoc* document, const char* statement, int scope) {
    (void)document;
    const std::string rows = std::string("Text:\t") + statement + "\n";
    return ReportCompilerMessage(nullptr, scope, rows.c_str(), kMsgMissingValues);
}

// One sweep variable of .DC from word `*index`: its name, range text and
// method; *index moves to the word after it.
struct DcVariable {
    std::string name;
    std::string range;
    int method = kSweepLinear;
    std::string step;  // the step word (points for DEC/OCT)
    std::string start, stop;
};

bool as_ParseDcVariable(const StringArray& words, int* index, DcVariable* out) {
    int i = *index;
    bool decade = false, octave = false;
    if (as_Is(words, i, "DEC") || as_Is(words, i, "OCT")) {
        decade = as_Is(words, i, "DEC");
        octave = !decade;
        out->method = kSweepLog;
        ++i;
    } else if (as_Is(words, i, "LIN")) {
        out->method = kSweepLinear;
        ++i;
    }
    const char* first = words.Token(i);
    if (first[0] == 0) return false;
    if (std::strcmp(first, "PARAM") == 0) {
        out->name = std::string(first) + " " + words.Token(i + 1);
        i += 2;
    } else if (FindModelTypeByName(first) >= 0 && words.Token(i + 1)[0] != 0 && !as_Is(words, i + 1, "(")) {
        out->name = std::string(first) + " " + words.Token(i + 1);
        i += 2;
        if (as_Is(words, i, "(")) {
            out->name += std::string("(") + words.Token(i + 1) + ")";
            i += as_Is(words, i + 2, ")") ? 3 : 2;
        }
    } else {
        out->name = first;
        ++i;
    }
    if (as_Is(words, i, "LIST")) {
        ++i;
        out->method = kSweepList;
        out->range = JoinValueWords(words, &i);
        *index = i;
        return !out->range.empty();
    }
    out->start = words.Token(i);
    out->stop = words.Token(i + 1);
    out->step = words.Token(i + 2);
    if (out->start.empty() || out->stop.empty()) return false;
    out->range = out->stop + "," + out->start;
    if (decade || octave) {
        int error = 0;
        const double points = as_Value(out->step.c_str(), &error);
        if (!error && points > 0) out->range += "," + as_Format("%.16g", std::pow(decade ? 10.0 : 2.0, 1.0 / points));
    } else if (!out->step.empty()) {
        out->range += "," + out->step;
    }
    *index = i + (out->step.empty() ? 2 : 3);
    return true;
}

}  // namespace

// ---- shared helpers -------------------------------------------------------------------------

StatementState* GetStatementState(CCTDoc* document) {
    CompileSession* session = GetCompileSession(document);
    return session ? &session->statements : nullptr;
}

AnalysisKindSettings* AnalysisKindOf(CCTDoc* document, int kind) {
    if (kind < 0 || kind >= kAnalysisKindCount) return nullptr;
    AnalysisSettings* settings = EnsureAnalysisSettings(document);
    return settings ? &settings->kinds[kind] : nullptr;
}

int CurrentAnalysisKind() { return gSolver.AnalysisKind; }

std::string JoinValueWords(const StringArray& words, int* index) {
    std::string joined;
    int i = *index;
    for (;; ++i) {
        const char* word = words.Token(i);
        if (word[0] == 0 || as_IsLetter(word[0])) break;
        if (std::strcmp(word, ",") == 0) continue;
        if (!joined.empty()) joined += ",";
        joined += word;
    }
    *index = i;
    return joined;
}

void RegisterAnalysisStatementMessages() {
    RegisterMessages(kAnalysisStatementRows,
                     static_cast<int>(sizeof(kAnalysisStatementRows) / sizeof(kAnalysisStatementRows[0])));
    RegisterOutputStatementMessages();
    RegisterInitialConditionMessages();
}

// ---- read start and end ---------------------------------------------------------------------

void BeginAnalysisStatements(CCTDoc* document) {
    StatementState* state = GetStatementState(document);
    AnalysisSettings* settings = EnsureAnalysisSettings(document);
    if (!state || !settings) return;
    state->tranSeen = false;
    state->useInitialConditions = false;
    for (std::string& slot : state->sensitivityOutputs) slot.clear();
    state->plotCounter = 0;
    for (int& count : state->statementCurveCount) count = 0;
    const int kind = CurrentAnalysisKind();
    if (kind >= 0 && kind < kAnalysisKindCount) {
        AnalysisKindSettings& current = settings->kinds[kind];
        for (StepVariable& step : current.steps) {
            for (char*& text : step.texts) FreeString(&text);
            step.flags = kStepLinear | kStepComponent;
        }
        current.watch.clear();
    }
    for (int k = 0; k < kPlotKindCount; ++k) {
        AnalysisKindSettings& limits = settings->kinds[k];
        limits.curves.clear();
        for (char*& text : limits.limits) FreeString(&text);
    }
    settings->kinds[0].optionWord |= kRunOperatingPoint;
    settings->kinds[1].optionWord |= kRunOperatingPoint;
    settings->kinds[2].sweep2Type = kSweepNone;
}

void FinishAnalysisStatements(CCTDoc* document, bool opSeen) {
    StatementState* state = GetStatementState(document);
    AnalysisKindSettings* transient = AnalysisKindOf(document, 0);
    if (!state || !transient) return;
    if (opSeen && !state->tranSeen) transient->optionWord |= kRunOperatingPointOnly;
}

// ---- .TRAN ----------------------------------------------------------------------------------

int ReadTranStatement(SpiceStatementContext& context, char* statement) {
    StringArray words;
    if (int rc = as_Split(words, statement)) return rc;
    StatementState* state = GetStatementState(context.document);
    AnalysisKindSettings* limits = AnalysisKindOf(context.document, 0);
    if (!state || !limits) return kResultNoMemory;
    state->tranSeen = true;
    if (words.Token(1)[0] == 0 || words.Token(2)[0] == 0)
        return as_MissingValues(context.document, statement, context.scope);
    int error = 0;
    const double step = as_Value(words.Token(1), &error);
    const double stop = as_Value(words.Token(2), error ? nullptr : &error);
    if (!error && step != 0) as_Set(&limits->limits[kTranPoints], as_Format("%g", stop / step + 1));
    std::string range = words.Token(2);
    int next = 3;
    // The start time stays with the range (upper end first), so that it
    // survives writing the limits back.
    if (words.Token(3)[0] != 0 && !as_Is(words, 3, "UIC")) {
        int startError = 0;
        const double start = as_Value(words.Token(3), &startError);
        if (startError || start != 0) range += std::string(",") + words.Token(3);
        ++next;
        if (words.Token(4)[0] != 0 && !as_Is(words, 4, "UIC")) {
            as_Set(&limits->limits[kTranMaxStep], words.Token(4));
            ++next;
        }
    }
    as_Set(&limits->limits[kTranRange], range);
    if (as_Is(words, next, "UIC")) {
        state->useInitialConditions = true;
        limits->optionWord &= ~(kRunOperatingPoint | kRunOperatingPointOnly);
    }
    return 0;
}

// ---- .AC ------------------------------------------------------------------------------------

int ReadAcStatement(SpiceStatementContext& context, char* statement) {
    StringArray words;
    if (int rc = as_Split(words, statement)) return rc;
    AnalysisKindSettings* limits = AnalysisKindOf(context.document, 1);
    if (!limits) return kResultNoMemory;
    int first = 2;
    bool decade = false, octave = false;
    if (as_Is(words, 1, "DEC") || as_Is(words, 1, "OCT")) {
        decade = as_Is(words, 1, "DEC");
        octave = !decade;
        limits->sweepType = kSweepLog;
    } else if (as_Is(words, 1, "LIN")) {
        limits->sweepType = kSweepLinear;
    } else {
        limits->sweepType = kSweepLog;
        first = 1;
    }
    const char* pointsWord = words.Token(first);
    const char* startWord = words.Token(first + 1);
    const char* stopWord = words.Token(first + 2);
    if (pointsWord[0] == 0 || startWord[0] == 0) return as_MissingValues(context.document, statement, context.scope);
    // Two words after the count: start and stop; one: the stop alone.
    std::string stopText = stopWord[0] != 0 ? stopWord : startWord;
    std::string startText = stopWord[0] != 0 ? startWord : "";
    int error = 0;
    const double points = as_Value(pointsWord, &error);
    if (!error) {
        if (decade || octave) {
            int e1 = 0, e2 = 0;
            const double fstart = startText.empty() ? 0 : as_Value(startText.c_str(), &e1);
            const double fstop = as_Value(stopText.c_str(), &e2);
            if (!e1 && !e2 && fstart != 0 && fstop / fstart > 0) {
                const double ratio = fstop / fstart;
                const double count = points * (decade ? std::log10(ratio) : std::log2(ratio)) + 1;
                as_Set(&limits->limits[kAcPoints], as_Format("%g", count));
            }
        } else {
            // LIN counts the points themselves: 101 points from 1K to 101K are 1K apart.
            as_Set(&limits->limits[kAcPoints], as_Format("%g", points));
        }
    }
    std::string range = stopText;
    if (!startText.empty()) range += "," + startText;
    as_Set(&limits->limits[kAcRange], range);
    return 0;
}

// ---- .NOISE ---------------------------------------------------------------------------------

int ReadNoiseStatement(SpiceStatementContext& context, char* statement) {
    StringArray words;
    if (int rc = as_Split(words, statement)) return rc;
    AnalysisKindSettings* limits = AnalysisKindOf(context.document, 1);
    if (!limits) return kResultNoMemory;
    if (!as_Is(words, 1, "V") || !as_Is(words, 2, "(")) return 0;
    std::string output;
    int i = 3;
    for (; words.Token(i)[0] != 0 && !as_Is(words, i, ")"); ++i) {
        if (as_Is(words, i, "[") || as_Is(words, i, "]")) continue;
        output += words.Token(i);
    }
    as_Set(&limits->limits[kAcNoiseOutput], output);
    if (words.Token(i)[0] == 0) return 0;
    ++i;
    if (as_Is(words, i + 1, "(")) i += 2;
    as_Set(&limits->limits[kAcNoiseInput], words.Token(i));
    return 0;
}

// ---- .DC ------------------------------------------------------------------------------------

int ReadDcStatement(SpiceStatementContext& context, char* statement) {
    StringArray words;
    if (int rc = as_Split(words, statement)) return rc;
    AnalysisKindSettings* limits = AnalysisKindOf(context.document, 2);
    if (!limits) return kResultNoMemory;
    int index = 1;
    DcVariable first;
    if (!as_ParseDcVariable(words, &index, &first)) return as_MissingValues(context.document, statement, context.scope);
    as_Set(&limits->limits[kDcName1], first.name);
    as_Set(&limits->limits[kDcRange1], first.range);
    limits->sweepType = first.method;
    if (first.method != kSweepList && !first.step.empty()) {
        int error = 0;
        const double step = as_Value(first.step.c_str(), &error);
        const double start = as_Value(first.start.c_str(), error ? nullptr : &error);
        const double stop = as_Value(first.stop.c_str(), error ? nullptr : &error);
        // Both ends are swept points, so the printed rows fall on the values asked
        // for: -2 to 2 by 0.1 is 41 rows. The small allowance keeps 0.1 steps that
        // are not exact in binary from losing the last point.
        if (!error && step != 0) {
            const double intervals = std::floor((stop - start) / step + 1e-9);
            if (intervals >= 0) as_Set(&limits->limits[kDcPoints], as_Format("%g", intervals + 1));
        }
    }
    if (words.Token(index)[0] == 0) return 0;
    DcVariable second;
    if (!as_ParseDcVariable(words, &index, &second))
        return as_MissingValues(context.document, statement, context.scope);
    as_Set(&limits->limits[kDcName2], second.name);
    as_Set(&limits->limits[kDcRange2], second.range);
    limits->sweep2Type = second.method;
    return 0;
}

// ---- .TF and .SENS --------------------------------------------------------------------------

static std::string as_Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// The text after the statement's keyword.
static std::string as_AfterKeyword(const char* statement) {
    const char* p = statement;
    while (*p == ' ' || *p == '\t') ++p;
    while (*p && *p != ' ' && *p != '\t') ++p;
    return as_Trim(p);
}

int ReadTfStatement(SpiceStatementContext& context, char* statement) {
    StatementState* state = GetStatementState(context.document);
    if (!state) return kResultNoMemory;
    const std::string text = as_AfterKeyword(statement);
    if (text.empty()) return 0;
    std::string output = text;
    const size_t blank = text.find_last_of(" \t");
    if (blank != std::string::npos) {
        state->transferInput = text.substr(blank + 1, kTransferInputMax);
        output = as_Trim(text.substr(0, blank));
    }
    // A recent list: an equal entry moves to the top.
    std::vector<std::string>& outputs = state->transferOutputs;
    for (size_t i = 0; i < outputs.size(); ++i)
        if (CompareNoCase(outputs[i].c_str(), output.c_str()) == 0) {
            outputs.erase(outputs.begin() + static_cast<long>(i));
            break;
        }
    outputs.insert(outputs.begin(), output);
    if (outputs.size() > 20) outputs.resize(20);
    return 0;
}

int ReadSensStatement(SpiceStatementContext& context, char* statement) {
    StatementState* state = GetStatementState(context.document);
    if (!state) return kResultNoMemory;
    const std::string text = as_AfterKeyword(statement);
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t start = text.find_first_not_of(" \t", pos);
        if (start == std::string::npos) break;
        const size_t end = std::min(text.find_first_of(" \t", start), text.size());
        for (std::string& slot : state->sensitivityOutputs)
            if (slot.empty()) {
                slot = text.substr(start, end - start);
                break;
            }
        pos = end;
    }
    return 0;
}

// ---- .TEMP ----------------------------------------------------------------------------------

int ReadTempStatement(SpiceStatementContext& context, char* statement) {
    StringArray words;
    if (int rc = as_Split(words, statement)) return rc;
    int index = 1;
    const std::string list = JoinValueWords(words, &index);
    static const int kTemperatureSlot[3] = {kTranTemperature, kAcTemperature, kDcTemperature};
    for (int kind = 0; kind < 3; ++kind) {
        AnalysisKindSettings* limits = AnalysisKindOf(context.document, kind);
        if (!limits) return kResultNoMemory;
        limits->temperatureType = 1;
        as_Set(&limits->limits[kTemperatureSlot[kind]], list);
    }
    return 0;
}

// ---- .STEP ----------------------------------------------------------------------------------

int ReadStepStatement(SpiceStatementContext& context, char* statement) {
    std::string parameter = "Value";
    if (char* tag = std::strstr(statement, ";$TWE")) {
        parameter = as_Trim(tag + 5);
        *tag = 0;
    }
    StringArray words;
    if (int rc = as_Split(words, statement)) return rc;
    AnalysisKindSettings* limits = AnalysisKindOf(context.document, CurrentAnalysisKind());
    if (!limits) return 0;
    StepVariable* step = nullptr;
    for (StepVariable& candidate : limits->steps)
        if (!(candidate.flags & kStepOn)) {
            step = &candidate;
            break;
        }
    if (!step) return 0;
    for (char*& text : step->texts) FreeString(&text);
    step->flags = kStepOn;
    int i = 1;
    bool decade = false, octave = false;
    if (as_Is(words, i, "LIN")) {
        step->flags |= kStepLinear;
        ++i;
    } else if (as_Is(words, i, "DEC") || as_Is(words, i, "OCT")) {
        decade = as_Is(words, i, "DEC");
        octave = !decade;
        step->flags |= kStepLog;
        ++i;
    } else {
        step->flags |= kStepLinear;
    }
    const char* name = words.Token(i);
    if (std::strcmp(name, "PARAM") == 0) {
        step->flags |= kStepSymbolic;
        as_Set(&step->texts[0], words.Token(i + 1));
        i += 2;
    } else if (std::strcmp(name, "TEMP") == 0) {
        ++i;
    } else if (name[0] != 0 && FindModelTypeByName(name) >= 0 && words.Token(i + 1)[0] != 0) {
        step->flags |= kStepModel;
        as_Set(&step->texts[0], std::string(name) + " " + words.Token(i + 1));
        i += 2;
        if (as_Is(words, i, "(")) {
            as_Set(&step->texts[1], words.Token(i + 1));
            i += as_Is(words, i + 2, ")") ? 3 : 2;
        }
    } else {
        step->flags |= kStepComponent;
        as_Set(&step->texts[0], name);
        as_Set(&step->texts[1], parameter);
        ++i;
    }
    if (as_Is(words, i, "LIST")) {
        step->flags = (step->flags & ~(kStepLog | kStepLinear)) | kStepList;
        std::string list;
        for (int k = i + 1; words.Token(k)[0] != 0; ++k) {
            if (as_Is(words, k, ",")) continue;
            if (!list.empty()) list += ",";
            list += words.Token(k);
        }
        as_Set(&step->texts[2], list);
        return 0;
    }
    as_Set(&step->texts[2], words.Token(i));
    as_Set(&step->texts[3], words.Token(i + 1));
    std::string increment = words.Token(i + 2);
    if ((decade || octave) && !increment.empty()) {
        int error = 0;
        const double points = as_Value(increment.c_str(), &error);
        if (!error && points > 0) increment = as_Format("%.16g", std::pow(decade ? 10.0 : 2.0, 1.0 / points));
    }
    as_Set(&step->texts[4], increment);
    return 0;
}

// ---- .TR ------------------------------------------------------------------------------------

int ReadTrStatement(CCTDoc* document, const char* statement, int scope) {
    StatementState* state = GetStatementState(document);
    if (!state) {
        ReportCompileOutOfMemory();
        return kResultShown;
    }
    const std::string rows = std::string("Text:\t") + (statement ? statement : "") + "\n";
    auto fail = [&](int id, const char* argument = "") {
        return ReportCompilerMessage(nullptr, scope, rows.c_str(), id, argument);
    };
    if (state->trSeen) return fail(kMsgSecondTr);
    StringArray words;
    if (int rc = as_Split(words, statement)) return rc;
    std::vector<std::string> values;
    for (int i = 1; words.Token(i)[0] != 0; ++i)
        if (!as_Is(words, i, ",")) values.emplace_back(words.Token(i));
    if (values.empty()) return fail(kMsgMissingValues);
    state->trSeen = true;
    state->timeSteps.clear();
    for (size_t i = 0; i < values.size(); i += 2) {
        if (i + 1 >= values.size()) return fail(kMsgMissingValues);
        int error = 0;
        const double maxStep = as_Value(values[i].c_str(), &error);
        if (error) return fail(error, values[i].c_str());
        const double time = as_Value(values[i + 1].c_str(), &error);
        if (error) return fail(error, values[i + 1].c_str());
        if (time < 0) return fail(kMsgTimeNegative);
        if (!state->timeSteps.empty() && time < state->timeSteps.back().time) return fail(kMsgTimeOrder);
        if (!(maxStep > 0)) return fail(kMsgStepPositive);
        state->timeSteps.push_back({maxStep, time});
    }
    return 0;
}

int ReadTrStatementText(SpiceStatementContext& context, char* statement) {
    return ReadTrStatement(context.document, statement, context.scope);
}

void ClearTimeStepTable(CCTDoc* document) {
    if (StatementState* state = GetStatementState(document)) {
        state->timeSteps.clear();
        state->trSeen = false;
    }
}

double MaxTimeStepAt(CCTDoc* document, double t) {
    CompileSession* session = FindCompileSession(document);
    if (!session) return 0;
    for (const TimeStepPair& pair : session->statements.timeSteps)
        if (pair.time >= t) return pair.maxStep;
    return 0;
}

bool UseInitialConditionsRequested(CCTDoc* document) {
    CompileSession* session = FindCompileSession(document);
    return session && session->statements.useInitialConditions;
}
