#include "compiler/limitwriter.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "compiler/analysisstmts.h"
#include "compiler/outputstmts.h"
#include "compiler/support.h"
#include "core/chars.h"
#include "core/dialect.h"
#include "core/memory.h"
#include "core/numbers.h"
#include "core/stringarray.h"
#include "document/cfanalysis.h"
#include "document/ctdoc.h"
#include "document/nodelabels.h"
#include "document/parts.h"

namespace {

// Past this width a .PRINT/.PLOT line goes on in a continuation line.
constexpr size_t kReportLineWidth = 80;
// A three-value .TEMP range never writes more temperatures than this.
constexpr int kMaxTemperatureValues = 1000;

const char* const kAnalysisWords[4] = {"TRAN", "AC", "DC", "DISTO"};

std::string lw_Format(const char* format, double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

std::string lw_Text(const char* text) { return text ? text : ""; }

std::string lw_Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// The comma-separated fields of a limit text, trimmed.
std::vector<std::string> lw_Fields(const char* text) {
    std::vector<std::string> fields;
    const std::string all = lw_Text(text);
    size_t start = 0;
    for (;;) {
        const size_t comma = all.find(',', start);
        fields.push_back(lw_Trim(all.substr(start, comma == std::string::npos ? std::string::npos : comma - start)));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return fields;
}

// The value of a limit field; false when it does not evaluate.
bool lw_Value(const std::string& text, double* value) {
    if (text.empty()) return false;
    int error = 0;
    *value = EvaluateNumericText(text.c_str(), &error, 0);
    return error == 0 && std::isfinite(*value);
}

std::string lw_CommasToBlanks(std::string text) {
    for (char& c : text)
        if (c == ',') c = ' ';
    return text;
}

// The number of points of a kind's limits: 51 when unset or 0.
double lw_Points(const char* text) {
    double points = 0;
    if (!lw_Value(lw_Text(text), &points) || points == 0) points = 51;
    return points;
}

bool lw_IsNoiseItem(const std::string& y) {
    return y.find("ONOISE") != std::string::npos || y.find("INOISE") != std::string::npos;
}

// ---- output items -------------------------------------------------------------------------

bool lw_IsNameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$'; }

// DB(V(3)) -> VDB(3), RE(I(V1)) -> IR(V1): the functions whose suffixed
// output variables SPICE knows, folded while any fold happens.
std::string lw_FoldSuffixes(std::string text) {
    static const struct {
        const char* function;
        const char* suffix;
    } kFolds[] = {{"RE", "R"}, {"IM", "I"}, {"MAG", "M"}, {"PH", "P"}, {"GD", "G"}, {"DB", "DB"}};
    for (bool folded = true; folded;) {
        folded = false;
        for (const auto& fold : kFolds) {
            const std::string head = std::string(fold.function) + "(";
            for (size_t at = text.find(head); at != std::string::npos; at = text.find(head, at + 1)) {
                if (at > 0 && lw_IsNameChar(text[at - 1])) continue;
                const size_t inner = at + head.size();
                if (inner + 1 >= text.size() || (text[inner] != 'V' && text[inner] != 'I') || text[inner + 1] != '(')
                    continue;
                const size_t close = text.find(')', inner + 2);
                if (close == std::string::npos || close + 1 >= text.size() || text[close + 1] != ')') continue;
                const std::string nodes = text.substr(inner + 2, close - inner - 2);
                if (nodes.find('(') != std::string::npos) continue;
                text = text.substr(0, at) + text[inner] + fold.suffix + "(" + nodes + ")" + text.substr(close + 2);
                folded = true;
            }
        }
    }
    return text;
}

// Function and constant names renamed word by word for the dialect; node
// names inside V(...) and I(...) stay.
std::string lw_TranslateNames(const std::string& text, int dialect) {
    const bool spice3 = dialect == kSpiceDialect3;
    auto rename = [&](const std::string& word) -> std::string {
        if (word == "ATN") return "ATAN";
        if (word == "LOG" && !spice3) return "LOG10";
        if (word == "LOG10" && spice3) return "LOG";
        if (word == "LN" && !spice3) return "LOG";
        if (word == "PI") return "3.14159";
        if (word == "T") return "TIME";
        if (word == "POW") return "PWR";
        if (word == "VAP" || word == "VAM") return "VA";
        if (word == "VBP" || word == "VBM") return "VB";
        return word;
    };
    std::string out;
    std::vector<bool> nodeGroups;  // per open parenthesis: opened by an output variable
    size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
            size_t end = i;
            while (end < text.size() && (lw_IsNameChar(text[end]) || text[end] == '.')) ++end;
            std::string word = text.substr(i, end - i);
            const bool inNodes = !nodeGroups.empty() && nodeGroups.back();
            const bool call = end < text.size() && text[end] == '(';
            if (call) {
                const bool output = (word[0] == 'V' || word[0] == 'I' || word == "D") && word.size() <= 3 &&
                                    word != "IM" && rename(word) == word;
                nodeGroups.push_back(output);
                out += rename(word) + "(";
                i = end + 1;
                continue;
            }
            out += inNodes ? word : rename(word);
            i = end;
            continue;
        }
        if (c == '(') nodeGroups.push_back(false);
        if (c == ')' && !nodeGroups.empty()) nodeGroups.pop_back();
        out += c;
        ++i;
    }
    return out;
}

// Whether the text after its leading name is one parenthesis group (or nothing).
bool lw_IsOneCall(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && (lw_IsNameChar(text[i]) || text[i] == '.')) ++i;
    if (i == text.size()) return true;
    if (text[i] != '(') return false;
    int depth = 0;
    for (size_t k = i; k < text.size(); ++k) {
        if (text[k] == '(')
            ++depth;
        else if (text[k] == ')' && --depth == 0)
            return k + 1 == text.size();
    }
    return false;
}

}  // namespace

// ---- analysis statements ------------------------------------------------------------------------

// A number as users write them in decks: "1N", not "1e-09".
static std::string lw_Engineering(double value) {
    char text[64];
    FormatNumber(text, sizeof text, value, 9, 0, 0);
    std::string out = text;
    while (!out.empty() && out.back() == ' ') out.pop_back();
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

std::string FormatTranStatement(CCTDoc* document) {
    AnalysisKindSettings* limits = AnalysisKindOf(document, 0);
    if (!limits) return "";
    const std::vector<std::string> range = lw_Fields(limits->limits[kTranRange]);
    const std::string& tmaxText = range[0];
    const std::string tminText = range.size() > 1 ? range[1] : "";
    double tmax = 0, tmin = 0;
    if (!lw_Value(tmaxText, &tmax)) return "";
    if (!tminText.empty() && !lw_Value(tminText, &tmin)) tmin = 0;
    const double points = lw_Points(limits->limits[kTranPoints]);
    // The step is what reads back to the same point count: stop / (points - 1).
    const double step = tmax - tmin == 0 ? 0 : points > 1 ? tmax / (points - 1) : tmax;
    std::string out = ".TRAN " + lw_Engineering(step) + " " + tmaxText;
    double maxStep = 0;
    const std::string maxStepText = lw_Trim(lw_Text(limits->limits[kTranMaxStep]));
    const bool hasMaxStep = lw_Value(maxStepText, &maxStep) && maxStep > 0;
    if (!tminText.empty() || hasMaxStep) out += " " + (tminText.empty() ? std::string("0") : tminText);
    if (hasMaxStep) out += " " + maxStepText;
    if (!(limits->optionWord & (kRunOperatingPoint | kRunOperatingPointOnly))) out += " UIC";
    return out;
}

std::string FormatAcStatement(CCTDoc* document) {
    AnalysisKindSettings* limits = AnalysisKindOf(document, 1);
    if (!limits) return "";
    const std::vector<std::string> range = lw_Fields(limits->limits[kAcRange]);
    const std::string& fmaxText = range[0];
    const std::string fminText = range.size() > 1 && !range[1].empty() ? range[1] : "0";
    double fmax = 0, fmin = 0;
    if (!lw_Value(fmaxText, &fmax) || !lw_Value(fminText, &fmin)) return "";
    const double points = lw_Points(limits->limits[kAcPoints]);
    // A logarithmic sweep needs two different positive ends; anything else
    // is written as the linear sweep it can still be.
    if (limits->sweepType == kSweepLog && fmin > 0 && fmax > 0 && fmax != fmin) {
        const double perDecade = std::ceil((points - 1) / std::fabs(std::log10(fmax / fmin)) - 1e-9);
        return ".AC DEC " + lw_Format("%.0f", std::max(1.0, perDecade)) + " " + fminText + " " + fmaxText;
    }
    // LIN counts the points themselves, as it reads back.
    return ".AC LIN " + lw_Format("%.0f", std::max(1.0, points)) + " " + fminText + " " + fmaxText;
}

std::string FormatNoiseStatement(CCTDoc* document, int dialect) {
    AnalysisKindSettings* limits = AnalysisKindOf(document, 1);
    if (!limits || lw_Text(limits->limits[kAcNoiseOutput]).empty()) return "";
    const std::vector<std::string> nodes = lw_Fields(limits->limits[kAcNoiseOutput]);
    std::string output;
    if (FindNodeNumber(document, nodes[0].c_str(), 1, 0) < 0) {
        output = lw_Text(limits->limits[kAcNoiseOutput]);
    } else {
        for (size_t i = 0; i < nodes.size() && i < 2; ++i) {
            std::string node = nodes[i];
            if (dialect == kSpiceDialectPSpice && !node.empty() && !std::isdigit(static_cast<unsigned char>(node[0])))
                node = "[" + node + "]";
            output += (i ? "," : "") + node;
        }
    }
    return ".NOISE V(" + output + ") " + lw_Text(limits->limits[kAcNoiseInput]) + " 10";
}

std::string FormatDcSweepVariable(CCTDoc* document, int nameSlot, int rangeSlot, int method) {
    AnalysisKindSettings* limits = AnalysisKindOf(document, 2);
    if (!limits) return "";
    std::string name = lw_Trim(lw_Text(limits->limits[nameSlot]));
    if (name.empty()) name = "0";
    if (method == kSweepList) return " " + name + " LIST " + lw_CommasToBlanks(lw_Text(limits->limits[rangeSlot]));
    const std::vector<std::string> range = lw_Fields(limits->limits[rangeSlot]);
    if (range.size() < 2 || range[0].empty() || range[1].empty()) return "";
    const std::string& high = range[0];
    const std::string& low = range[1];
    std::string step = range.size() > 2 ? range[2] : "";
    double stepValue = 0;
    const bool stepGiven = lw_Value(step, &stepValue);
    if (!stepGiven || stepValue == 0) {
        double h = 0, l = 0;
        if (!lw_Value(high, &h) || !lw_Value(low, &l)) return "";
        stepValue = (h - l) * 0.02;
        step = lw_Format("%g", stepValue);
    }
    if (method == kSweepLog) {
        // The stored factor per point back to points per decade.
        if (stepValue > 0 && stepValue != 1) step = lw_Format("%g", std::log(10.0) / std::log(stepValue));
        return " DEC " + name + " " + low + " " + high + " " + step;
    }
    return " " + name + " " + low + " " + high + " " + step;
}

std::string FormatDcStatement(CCTDoc* document) {
    AnalysisKindSettings* limits = AnalysisKindOf(document, 2);
    if (!limits) return "";
    const std::string first = FormatDcSweepVariable(document, kDcName1, kDcRange1, limits->sweepType);
    if (first.empty()) return "";
    std::string out = ".DC" + first;
    if (limits->sweep2Type != kSweepNone)
        out += FormatDcSweepVariable(document, kDcName2, kDcRange2, limits->sweep2Type);
    return out;
}

std::string FormatTempStatement(bool list, const char* text) {
    if (list) {
        const std::string values = lw_Trim(lw_CommasToBlanks(lw_Text(text)));
        return values.empty() ? ".TEMP 27" : ".TEMP " + values;
    }
    std::vector<double> values;
    for (const std::string& field : lw_Fields(text)) {
        double value = 0;
        if (!lw_Value(field, &value)) break;
        values.push_back(value);
    }
    if (values.empty()) return ".TEMP 27";
    if (values.size() == 1) return ".TEMP " + lw_Format("%g", values[0]);
    if (values.size() == 2) return ".TEMP " + lw_Format("%g", values[0]) + " " + lw_Format("%g", values[1]);
    double high = values[0], low = values[1], step = values[2];
    if (low > high) {
        std::swap(low, high);
        step = -step;
    }
    std::string out = ".TEMP";
    std::string previous;
    // Bounded: a step of 0, of the wrong sign or too small to move the
    // printed value ends the list.
    for (int n = 0; n < kMaxTemperatureValues; ++n) {
        const double value = low + n * step;
        if (value > high + std::fabs(step) * 1e-9) break;
        const std::string printed = lw_Format("%g", value);
        if (printed == previous) break;
        out += " " + printed;
        previous = printed;
        if (!(step > 0)) break;
    }
    return out;
}

std::string FormatTempForCurrentKind(CCTDoc* document, int kind) {
    static const int kSlot[3] = {kTranTemperature, kAcTemperature, kDcTemperature};
    AnalysisKindSettings* limits = kind >= 0 && kind < 3 ? AnalysisKindOf(document, kind) : nullptr;
    if (!limits) return FormatTempStatement(true, "27");
    // No temperature: the run's default, nothing to write.
    if (lw_Trim(lw_Text(limits->limits[kSlot[kind]])).empty()) return "";
    return FormatTempStatement(limits->temperatureType == 1, limits->limits[kSlot[kind]]);
}

std::string FormatStepStatement(CCTDoc* document, int record, int kind) {
    AnalysisKindSettings* limits = AnalysisKindOf(document, kind);
    if (!limits || record < 0 || record >= kStepRecordCount) return "";
    const StepVariable& step = limits->steps[record];
    if (!(step.flags & kStepOn)) return "";
    const std::string method = step.flags & kStepLog ? "DEC " : step.flags & kStepLinear ? "LIN " : "";
    const std::string text0 = lw_Text(step.texts[0]);
    std::string name;
    if (step.flags & kStepSymbolic)
        name = "PARAM " + text0;
    else if (step.flags & kStepModel)
        name = text0 + "(" + lw_Text(step.texts[1]) + ")";
    else if (step.flags & kStepComponent)
        name = text0;
    else
        name = "TEMP";
    std::string out;
    if (step.flags & kStepList) {
        out = ".STEP " + name + " LIST " + lw_CommasToBlanks(lw_Text(step.texts[2]));
    } else {
        const std::string from = lw_Trim(lw_Text(step.texts[2]));
        const std::string to = lw_Trim(lw_Text(step.texts[3]));
        if (from.empty() || to.empty()) return "";
        std::string incrementText = lw_Trim(lw_Text(step.texts[4]));
        double increment = 0;
        if (!lw_Value(incrementText, &increment) || increment == 0) {
            double a = 0, b = 0;
            if (!lw_Value(from, &a) || !lw_Value(to, &b)) return "";
            increment = (b - a) * 0.02;
            incrementText = lw_Format("%g", increment);
        }
        if ((step.flags & kStepLog) && increment > 0 && increment != 1)
            incrementText = lw_Format("%g", std::log(10.0) / std::log(increment));
        out = ".STEP " + method + name + " " + from + " " + to + " " + incrementText;
    }
    if ((step.flags & kStepComponent) && !(step.flags & (kStepSymbolic | kStepModel)))
        out += " ;$TWE " + lw_Text(step.texts[1]);
    return out;
}

std::string FormatWatchStatement(CCTDoc* document, int kind) {
    AnalysisKindSettings* limits = AnalysisKindOf(document, kind);
    if (!limits || limits->watch.empty() || kind > 3) return "";
    std::string out = std::string(".WATCH ") + kAnalysisWords[kind];
    for (const std::string& expression : limits->watch) out += " " + expression;
    return out;
}

bool HasNoiseCurve(CCTDoc* document) {
    AnalysisKindSettings* limits = AnalysisKindOf(document, 1);
    if (!limits) return false;
    for (const auto& row : limits->curves)
        if (lw_IsNoiseItem(lw_Text(row->yExpression))) return true;
    return false;
}

std::string FormatPrintItem(const char* expression, int dialect) {
    std::string text = lw_Trim(lw_Text(expression));
    // The program keeps noise outputs as DB(ONOISE); SPICE other than 2G
    // writes ONOISE(DB).
    for (const char* noise : {"ONOISE", "INOISE"}) {
        const std::string tail = std::string("(") + noise + ")";
        if (text.size() > tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0 &&
            text.find('(') == text.size() - tail.size() && text.find("IMPORT") == std::string::npos) {
            const std::string function = text.substr(0, text.size() - tail.size());
            return dialect == kSpiceDialect2G ? text : std::string(noise) + "(" + function + ")";
        }
    }
    std::string out = lw_TranslateNames(lw_FoldSuffixes(text), dialect);
    if (!lw_IsOneCall(out)) out = "(" + out + ")";
    if (dialect == kSpiceDialect2G)
        for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

std::string FormatPrintPlotStatement(CCTDoc* document, int kind, int dialect, bool plot, char plotNumber,
                                     int* lineCount) {
    AnalysisKindSettings* limits = AnalysisKindOf(document, kind);
    if (!limits || kind < 0 || kind > 2) return "";
    const std::string word = kind == 1 && HasNoiseCurve(document) ? "NOISE" : kAnalysisWords[kind];
    std::string out;
    size_t lineStart = 0;
    const CurveRow* last = nullptr;
    for (const auto& row : limits->curves) {
        if (!row->xRange || !row->yRange || lw_Text(row->xExpression).empty() || lw_Text(row->yExpression).empty())
            continue;
        const char number = row->plotGroup;
        const bool taken =
            plot ? number == plotNumber
                 : ((row->options & kRowPrinted) && number == plotNumber) || (plotNumber == '0' && number == 0);
        if (!taken) continue;
        const std::string item = FormatPrintItem(row->yExpression, dialect);
        if (out.empty()) {
            out = (plot ? ".PLOT " : ".PRINT ") + word + " " + item;
        } else if (out.size() - lineStart + 1 + item.size() > kReportLineWidth) {
            out += "\n+ ";
            lineStart = out.size() - 2;
            if (lineCount) ++*lineCount;
            out += item;
        } else {
            out += " " + item;
        }
        last = row.get();
    }
    if (plot && last && !(limits->optionWord & kRunAutoScaleRanges)) {
        const std::string range = lw_Trim(lw_Text(last->yRange));
        if (!range.empty() && CompareNoCase(range.c_str(), "auto") != 0 && CompareNoCase(range.c_str(), "n/a") != 0) {
            const std::vector<std::string> ends = lw_Fields(range.c_str());
            if (ends.size() >= 2) out += " " + ends[1] + "," + ends[0];
        }
    }
    return out;
}

// ---- the statements of an analysis in a text --------------------------------------------------

std::string BuildAnalysisStatements(CCTDoc* document, int kind, bool noiseRemoved, const char* lineEnd) {
    const int dialect = document ? document->dialect : kSpiceDialectNone;
    std::string block;
    auto add = [&](const std::string& statement) {
        if (statement.empty()) return;
        // Continuation lines take the text's own line end.
        for (char c : statement) {
            if (c == '\n')
                block += lineEnd;
            else
                block += c;
        }
        block += lineEnd;
    };
    if (kind == 0) add(FormatTranStatement(document));
    if (kind == 1) {
        add(FormatAcStatement(document));
        if (noiseRemoved || HasNoiseCurve(document)) add(FormatNoiseStatement(document, dialect));
    }
    if (kind == 2) add(FormatDcStatement(document));
    add(FormatTempForCurrentKind(document, kind));
    for (int i = 0; i < kStepRecordCount; ++i) add(FormatStepStatement(document, i, kind));
    add(FormatWatchStatement(document, kind));
    if (kind != 3) {
        for (char n = '1'; n <= '9'; ++n) add(FormatPrintPlotStatement(document, kind, dialect, true, n, nullptr));
        for (char n = '0'; n <= '9'; ++n) add(FormatPrintPlotStatement(document, kind, dialect, false, n, nullptr));
    }
    return block;
}

namespace {

struct lw_Line {
    size_t start, end;  // the line's text, without its line end
    size_t next;        // start of the following line
};

std::vector<lw_Line> lw_Lines(const std::string& text) {
    std::vector<lw_Line> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        const size_t next = end == std::string::npos ? text.size() : end + 1;
        if (end == std::string::npos) end = text.size();
        size_t trimmed = end;
        if (trimmed > start && text[trimmed - 1] == '\r') --trimmed;
        lines.push_back({start, trimmed, next});
        start = next;
    }
    return lines;
}

// The first non-blank character of a line, 0 for a blank line.
char lw_FirstChar(const std::string& text, const lw_Line& line) {
    for (size_t i = line.start; i < line.end; ++i)
        if (text[i] != ' ' && text[i] != '\t') return text[i];
    return 0;
}

// A line that is neither blank nor a comment (a ";$TWE" line belongs to its statement).
bool lw_IsStatementLine(const std::string& text, const lw_Line& line) {
    const char c = lw_FirstChar(text, line);
    if (c == 0 || c == '*') return false;
    if (c == ';') {
        const size_t at = text.find(';', line.start);
        return text.compare(at, 5, ";$TWE") == 0;
    }
    return true;
}

// The upper-cased first two words of a line.
void lw_Keywords(const std::string& text, const lw_Line& line, std::string* first, std::string* second) {
    std::string* words[2] = {first, second};
    size_t i = line.start;
    for (std::string* word : words) {
        word->clear();
        while (i < line.end && (text[i] == ' ' || text[i] == '\t')) ++i;
        while (i < line.end && text[i] != ' ' && text[i] != '\t' && text[i] != '(')
            *word += static_cast<char>(std::toupper(static_cast<unsigned char>(text[i++])));
    }
}

}  // namespace

std::string RewriteAnalysisStatements(CCTDoc* document, const std::string& text, int kind) {
    const char* lineEnd = text.find("\r\n") != std::string::npos ? "\r\n" : "\n";
    std::string source = text;
    if (!source.empty() && source.back() != '\n') source += lineEnd;
    const std::vector<lw_Line> lines = lw_Lines(source);
    std::vector<bool> removed(lines.size(), false);
    size_t endLine = lines.size();
    bool noiseRemoved = false;
    bool removing = false;
    // Line 0 is the title.
    for (size_t i = 1; i < lines.size(); ++i) {
        const lw_Line& line = lines[i];
        if (!lw_IsStatementLine(source, line)) continue;
        const char c = lw_FirstChar(source, line);
        if (c == '+' || c == ';') {
            removed[i] = removing;
            continue;
        }
        removing = false;
        if (c != '.') continue;
        std::string keyword, word;
        lw_Keywords(source, line, &keyword, &word);
        if (keyword == ".END") {
            endLine = i;
            break;
        }
        if (keyword == ".WATCH" || keyword == ".PLOT" || keyword == ".PRINT")
            removing = AnalysisKindOfWord(word.c_str()) == kind;
        else if (keyword == ".TEMP" || keyword == ".STEP")
            removing = true;
        else if (keyword == ".TRAN")
            removing = kind == 0;
        else if (keyword == ".AC")
            removing = kind == 1;
        else if (keyword == ".NOISE")
            noiseRemoved = removing = kind == 1;
        else if (keyword == ".DC")
            removing = kind == 2;
        removed[i] = removing;
    }
    std::string out;
    out.reserve(source.size() + 256);
    const std::string block = BuildAnalysisStatements(document, kind, noiseRemoved, lineEnd);
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i == endLine) out += block;
        if (!removed[i]) out.append(source, lines[i].start, lines[i].next - lines[i].start);
    }
    if (endLine == lines.size()) out += block;
    return out;
}

void ApplyLimitsFromText(CCTDoc* document) {
    const int kind = CurrentAnalysisKind();
    if (!document || kind < 0 || kind > 3) return;
    char* text = CopyTextPageText(document, 0);
    if (!text) return;
    const std::string rewritten = RewriteAnalysisStatements(document, text, kind);
    const bool changed = rewritten != text;
    FreeString(&text);
    if (!changed) return;
    document->PushUndo(0, "Analysis limits change");
    StoreTextPageText(document, 0, rewritten.c_str());
    document->MarkDirty();
}
