#include "analysis/numout.h"

#include <strings.h>
#include <sys/stat.h>
#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "core/chars.h"
#include "document/cfanalysis.h"

namespace {

constexpr char kExtensionLetters[] = "TADWxxFx";

std::string no_Trim(const std::string& s) {
    const size_t first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos) return "";
    const size_t last = s.find_last_not_of(" \t\r");
    return s.substr(first, last - first + 1);
}

std::string no_WithoutBlanks(const std::string& s) {
    std::string out;
    for (char c : s)
        if (c != ' ' && c != '\t') out += c;
    return out;
}

std::string no_Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

const char* no_Text(const char* text) { return text ? text : ""; }

std::string no_FormatValue(const FormatSpec& format, double value, size_t size) {
    std::vector<char> buffer(size);
    FormatNumber(buffer.data(), buffer.size(), value, format.digits, static_cast<char>(format.style),
                 kNumLeadingBlank | kNumKeepZeros);
    return buffer.data();
}

const char* no_ConditionName(int code) {
    static const char* const kNames[] = {"", "SAT", "ON", "OFF", "HOT", "ZENER", "LIN", "WEAK"};
    return code >= 1 && code <= 7 ? kNames[code] : "";
}

NumericOutput* no_routed = nullptr;

}  // namespace

std::string MakeAnalysisFileName(const std::string& documentPath, int kind, const char* suffix, bool keepExtension) {
    const char letter = kind >= 0 && kind < 8 ? kExtensionLetters[kind] : 'x';
    const std::string extension = std::string(1, letter) + (suffix ? suffix : "");
    std::string path = documentPath;
    const size_t slash = path.rfind('/');
    size_t dot = path.rfind('.');
    if (dot != std::string::npos && slash != std::string::npos && dot < slash) dot = std::string::npos;
    if (keepExtension && dot != std::string::npos) {
        path[dot] = '_';
        dot = std::string::npos;
    }
    if (dot != std::string::npos) {
        if (CompareNoCase(path.c_str() + dot + 1, extension.c_str()) == 0) return path;
        path.erase(dot);
    }
    return path + "." + extension;
}

double InterpolateLinear(double y1, double y0, double x, double x1, double x0) {
    if (x1 == x0) return (y0 + y1) / 2;
    return y0 + (y1 - y0) / (x1 - x0) * (x - x0);
}

int InterpolateAtX(CurvePointSource& source, double* out, double x, bool hold, int xColumn, int yColumn, int last,
                   int start, int flags) {
    double x0 = source.Value(xColumn, start);
    if (start == last && x >= x0) {
        *out = source.Value(yColumn, start);
        return start;
    }
    int i = start;
    double x1 = x0;
    bool found = false;
    for (; i < last; ++i) {
        x1 = source.Value(xColumn, i + 1);
        if ((x0 <= x && x <= x1) || (x1 <= x && x <= x0)) {
            found = true;
            break;
        }
        x0 = x1;
    }
    if (!found) {
        if (xColumn == 0 && x <= x1 && start < last) {
            // Before the first stored point: extrapolate from the first interval.
            i = start;
            x0 = source.Value(xColumn, start);
            x1 = source.Value(xColumn, start + 1);
        } else {
            *out = source.Value(yColumn, last);
            return last;
        }
    }
    if (x == x1) {
        *out = source.Value(yColumn, i + 1);
        return i + 1;
    }
    const double y0 = source.Value(yColumn, i);
    if (hold) {
        *out = y0;
        return i;
    }
    const double y1 = source.Value(yColumn, i + 1);
    auto lg = [](double v) { return v == 0 ? -50.0 : std::log10(std::fabs(v)); };
    double lx = x, lx0 = x0, lx1 = x1;
    if (flags & 1) {
        lx = lg(x);
        lx0 = lg(x0);
        lx1 = lg(x1);
    }
    if (flags & 2) {
        if ((x == x1 && y1 == 0) || (x == x0 && y0 == 0) || (y0 == 0 && y1 == 0)) {
            *out = 1e-50;
        } else {
            const double e = std::clamp(InterpolateLinear(lg(y1), lg(y0), lx, lx1, lx0), -300.0, 300.0);
            *out = std::pow(10.0, e);
        }
        return i;
    }
    *out = InterpolateLinear(y1, y0, lx, lx1, lx0);
    return i;
}

void ChooseCurvePrintColumns(std::vector<NumericCurve>& curves) {
    std::vector<std::string> printed;
    auto seen = [&](const std::string& e) { return std::find(printed.begin(), printed.end(), e) != printed.end(); };
    for (NumericCurve& c : curves) {
        const std::string x = no_Upper(no_WithoutBlanks(c.xExpression));
        const std::string y = no_Upper(no_WithoutBlanks(c.yExpression));
        c.printX = !seen(x);
        if (c.printX) printed.push_back(x);
        c.printY = y != x && !seen(y);
        if (c.printY) printed.push_back(y);
    }
}

// ---- the file ------------------------------------------------------------------------------

NumericOutput::~NumericOutput() {
    if (no_routed == this) no_routed = nullptr;
    Close();
}

int NumericOutput::Begin(bool wanted) {
    headerWritten = false;
    if (IsOpen()) file_.Close();
    if (!wanted || path_.empty()) return 0;
    const int rc = file_.CreateText(path_.c_str());
    if (rc) file_.Close();
    return rc;
}

int NumericOutput::Reopen() {
    if (IsOpen()) return 0;
    if (path_.empty()) return 0;
    const int rc = file_.CreateInMode(path_.c_str(), "at");
    if (rc) file_.Close();
    return rc;
}

int NumericOutput::Close() {
    if (file_.mode == TextFile::kClosed) return 0;
    return file_.Close();
}

bool NumericOutput::RemoveIfEmpty() {
    if (path_.empty()) return false;
    Close();
    struct stat info {};
    if (stat(path_.c_str(), &info) != 0 || info.st_size != 0) return false;
    return std::remove(path_.c_str()) == 0;
}

void NumericOutput::Printf(const char* format, ...) {
    if (!IsOpen()) return;
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int needed = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (needed > 0) {
        std::vector<char> text(static_cast<size_t>(needed) + 1);
        std::vsnprintf(text.data(), text.size(), format, args);
        file_.PutText(text.data());
    }
    va_end(args);
}

void NumericOutput::WriteSectionTitle(const std::string& title) {
    Printf("\n%s\n%s\n", title.c_str(), std::string(title.size(), '=').c_str());
}

void NumericOutput::WriteTitleBlock(const std::string templates[3]) {
    const std::string stars(static_cast<size_t>(std::max(width, 8)), '*');
    const int inner = std::max(width, 8) - 8;
    Printf("%s\n", stars.c_str());
    for (int i = 0; i < 3; ++i)
        if (!no_Trim(templates[i]).empty()) Printf("*** %-*s ***\n", inner, no_Trim(templates[i]).c_str());
    Printf("%s\n", stars.c_str());
}

void NumericOutput::WriteLimitsHeader(const AnalysisKindSettings& s, int kind) {
    static const char* const kTran[] = {"Time Range", "Maximum Time Step", "Number of Points", "Temperature"};
    static const char* const kAc[] = {"Frequency Range",  "Number of Points", "Temperature",
                                      "Maximum Change %", "Noise Input",      "Noise Output"};
    static const char* const kDist[] = {"Fundamental Frequency",   "Input Source Name", "Input Source Amplitude",
                                        "Output Expression",       "Temperature",       "Simulation Run Time",
                                        "Delay Before Measurement"};
    static const char* const kDc[] = {"Variable 1 Method", "Variable 1 Name",  "Variable 1 Range",
                                      "Variable 2 Method", "Variable 2 Name",  "Variable 2 Range",
                                      "Temperature",       "Number of Points", "Maximum Change %"};
    const char* const* labels = kind == 0 ? kTran : kind == 1 ? kAc : kind == 2 ? kDc : kDist;
    const int count = kind == 0 ? 4 : kind == 1 ? 6 : kind == 2 ? 9 : 7;
    const char* extra = kind == 0 ? "Operating Point Only" : kind == 2 ? "Variable 1 Method" : "State Variables";
    int w = static_cast<int>(std::strlen(extra));
    for (int i = 0; i < count; ++i) w = std::max(w, static_cast<int>(std::strlen(labels[i])));
    // The temperature method: 0 Linear, 1 List, 2 Log.
    const char* prefix = s.temperatureType == 0 ? "Linear " : s.temperatureType == 2 ? "Log " : "List ";
    auto line = [&](const char* label, const char* pre, const char* text) {
        Printf("%-*s %s%s\n", w, label, pre, no_Text(text));
    };
    WriteSectionTitle("Limits");
    if (kind == 2) {
        line("Variable 1 Method", "", SteppingMethodName(s.sweepType, true));
        line("Variable 1 Name", "", s.limits[3]);
        line("Variable 1 Range", "", s.limits[2]);
        line("Variable 2 Method", "", SteppingMethodName(s.sweep2Type, false));
        line("Variable 2 Name", "", s.limits[1]);
        line("Variable 2 Range", "", s.limits[0]);
        line("Temperature", prefix, s.limits[5]);
        line("Number of Points", "", s.limits[4]);
        line("Maximum Change %", "", s.limits[6]);
    } else {
        const int temperature = kind == 0 ? 3 : kind == 1 ? 2 : 4;
        for (int i = 0; i < count; ++i) line(labels[i], i == temperature ? prefix : "", s.limits[i]);
    }
    static const char* const kRun[] = {"Normal", "Save", "Retrieve"};
    line("Run Options", "", s.runOption >= 0 && s.runOption < 3 ? kRun[s.runOption] : "");
    if (kind == 0 || kind == 1) {
        static const char* const kState[] = {"Zero", "Read", "Leave", "Retrace"};
        line("State Variables", "", s.stateVariable >= 0 && s.stateVariable < 4 ? kState[s.stateVariable] : "");
        if (kind == 1) line("Frequency Step", "", SteppingMethodName(s.sweepType, true));
        line("Operating Point", "", (s.optionWord & 0x40) ? "On" : "Off");
        if (kind == 0) line("Operating Point Only", "", (s.optionWord & 0x80) ? "On" : "Off");
    }
    if (s.mcOptions & kMonteCarloOn) {
        static const char* const kDistribution[] = {"", "Gauss", "Uniform", "Worst Case"};
        WriteSectionTitle("Monte Carlo Options");
        Printf("Distribution to Use: %s\n", kDistribution[s.mcOptions & 3]);
        Printf("Number of Runs       %s\n", no_Text(s.mcRuns));
        if (s.mcPerformance && *s.mcPerformance) Printf("Report When          %s\n", s.mcPerformance);
    }
    bool first = true;
    for (const StepVariable& step : s.steps) {
        if (!(step.flags & kStepOn)) continue;
        if (first) {
            WriteSectionTitle("Stepping Options");
            Printf("Stepping is %s\n\n", s.simultaneous ? "Simultaneous" : "Nested");
            first = false;
        }
        Printf("Step What  %s %s\n", no_Text(step.texts[0]), no_Text(step.texts[1]));
        Printf("From       %s\n", no_Text(step.texts[2]));
        if (!(step.flags & kStepList)) {
            Printf("To         %s\n", no_Text(step.texts[3]));
            Printf("Step Value %s\n", no_Text(step.texts[4]));
        }
        Printf("Method     %s\n\n", (step.flags & kStepLinear) ? "Linear" : (step.flags & kStepLog) ? "Log" : "List");
    }
}

void NumericOutput::WriteCaptionBox(const std::string& caption) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= caption.size()) {
        size_t end = caption.find('\n', start);
        if (end == std::string::npos) end = caption.size();
        lines.push_back(no_Trim(caption.substr(start, end - start)));
        start = end + 1;
    }
    int inner = 2 * width / 3 - 8;
    for (const std::string& l : lines) inner = std::max(inner, static_cast<int>(l.size()));
    const std::string stars(static_cast<size_t>(inner + 8), '*');
    Printf("\n\n%s\n", stars.c_str());
    std::string oneLine;
    for (const std::string& l : lines) {
        if (l.empty()) continue;
        const std::string padded = std::string(static_cast<size_t>(inner - static_cast<int>(l.size())) / 2, ' ') + l;
        Printf("*** %-*s ***\n", inner, padded.c_str());
        oneLine += (oneLine.empty() ? "" : " ") + l;
    }
    Printf("%s\n", stars.c_str());
    if (!oneLine.empty()) Printf("\n%s\n", oneLine.c_str());
}

void NumericOutput::WriteOperatingPoint(const OperatingPointData& data) {
    const char d = delimiter;
    auto nodeName = [&](size_t i) {
        const std::string& n = i < data.nodeNames.size() ? data.nodeNames[i] : std::string();
        return n.empty() ? std::string("mem error") : n;
    };
    const size_t nodeCount = data.nodeVoltages.size();
    int n = 8, v = 11;
    std::vector<std::string> voltages, currents;
    for (size_t i = 0; i < nodeCount; ++i) {
        n = std::max(n, static_cast<int>(nodeName(i).size()));
        voltages.push_back(no_FormatValue(valueFormat, data.nodeVoltages[i], 91));
        v = std::max(v, static_cast<int>(voltages.back().size()));
    }
    for (size_t i = 0; i < data.inductorCurrents.size(); ++i) {
        n = std::max(n, static_cast<int>(data.inductorNames[i].size()));
        currents.push_back(no_FormatValue(valueFormat, data.inductorCurrents[i], 91));
        v = std::max(v, static_cast<int>(currents.back().size()));
    }
    int columns = std::max(1, width / (n + v + 3));
    Printf("\n");
    auto table = [&](const char* title, const char* headingFormat, const char* left, const char* right,
                     const char* cellFormat, size_t count, auto name, auto value, int nw, int vw, int cols) {
        WriteSectionTitle(title);
        for (int c = 0; c < cols; ++c) {
            if (c) Printf("%c", d);
            Printf(headingFormat, nw, nw, left, d, vw, vw, right);
        }
        Printf("\n");
        for (size_t i = 0; i < count; ++i) {
            if (i % static_cast<size_t>(cols)) Printf("%c", d);
            Printf(cellFormat, nw, nw, name(i).c_str(), d, vw, vw, value(i).c_str());
            if ((i + 1) % static_cast<size_t>(cols) == 0) Printf("\n");
        }
        if (count % static_cast<size_t>(cols)) Printf("\n");
        Printf("\n");
    };
    if (nodeCount)
        table(
            "DC Operating Point Voltages", "%-*.*s%c%*.*s ", "Node", "Voltage", "%-*.*s%c%*.*s ", nodeCount, nodeName,
            [&](size_t i) { return voltages[i]; }, n, v, columns);
    if (!currents.empty())
        table(
            "DC Operating Point Inductor Current", "%*.*s%c%*.*s ", "Inductor", "Current", "%-*.*s%c%*.*s ",
            currents.size(), [&](size_t i) { return data.inductorNames[i]; }, [&](size_t i) { return currents[i]; }, n,
            v, columns);
    if (!data.digitalNames.empty()) {
        int dn = 8;
        for (const std::string& s : data.digitalNames) dn = std::max(dn, static_cast<int>(s.size()));
        table(
            "DC Operating Point Digital States", "%-*.*s%c%*.*s", "Node", "State", "%-*.*s%c%-*.*s",
            data.digitalNames.size(), [&](size_t i) { return data.digitalNames[i]; },
            [&](size_t i) { return std::string(1, i < data.digitalStates.size() ? data.digitalStates[i] : '?'); }, dn,
            5, std::max(1, width / (dn + 8)));
    }
}

// ---- device and model tables --------------------------------------------------------------

struct NumericOutput::Writer {
    int pass = 0;  // 0 measures, 1 writes
    int columns = 1;
    int valueWidth = 10;
    int labelWidth = 12;
};

void NumericOutput::WriteDeviceTables(const std::vector<ModelParameterTable>& models,
                                      const std::vector<DeviceTableSection>& sections, bool includeModels,
                                      bool includeDevices, bool includeZero, bool includeUndefined) {
    if (!IsOpen()) return;
    Writer w;
    for (w.pass = 0; w.pass < 2; ++w.pass) {
        if (w.pass == 0) {
            w.columns = 1;
        } else {
            w.valueWidth = std::max(w.valueWidth, 10);
            w.columns = std::max(1, (width - 6) / (w.valueWidth + 4));
        }
        if (includeModels)
            for (const ModelParameterTable& table : models) WriteModelTable(w, table, includeZero, includeUndefined);
        if (includeDevices)
            for (const DeviceTableSection& section : sections) WriteDeviceSection(w, section);
    }
}

namespace {

// The "Instance:" and "Using model:" rows of devices first..end.
void no_InstanceRows(NumericOutput& out, int pass, int labelWidth, int& valueWidth, char d,
                     const std::vector<std::string>& names, const std::vector<std::string>& models,
                     const std::vector<bool>& hasModel, size_t first, size_t end, bool modelRow) {
    for (size_t i = first; i < end; ++i) {
        if (pass == 0) {
            valueWidth = std::max(valueWidth, static_cast<int>(names[i].size()));
            continue;
        }
        if (i == first) out.Printf("%-*.*s", labelWidth, labelWidth, "Instance:");
        out.Printf("%c%*.*s", d, valueWidth + 3, valueWidth + 3, names[i].c_str());
    }
    if (!modelRow) return;
    for (size_t i = first; i < end; ++i) {
        const std::string model = hasModel[i] && !models[i].empty() ? models[i] : "N\\A";
        if (pass == 0) {
            valueWidth = std::max(valueWidth, static_cast<int>(model.size()));
            continue;
        }
        if (i == first) out.Printf("\n%-*.*s", labelWidth, labelWidth, "Using model:");
        out.Printf("%c%*.*s", d, valueWidth + 3, valueWidth + 3, model.c_str());
    }
}

}  // namespace

void NumericOutput::WriteDeviceSection(Writer& w, const DeviceTableSection& section) {
    if (section.names.empty()) return;
    if (w.pass == 1) WriteSectionTitle(section.title);
    w.labelWidth = section.labelWidth;
    const char d = delimiter;
    const size_t count = section.names.size();
    for (size_t first = 0; first < count; first += static_cast<size_t>(w.columns)) {
        const size_t end = std::min(count, first + static_cast<size_t>(w.columns));
        bool modelRow = false;
        for (size_t i = first; i < count && section.usingModelRow; ++i)
            if (section.hasModel[i] && !section.models[i].empty()) modelRow = true;
        no_InstanceRows(*this, w.pass, w.labelWidth, w.valueWidth, d, section.names, section.models, section.hasModel,
                        first, end, modelRow);
        for (const DeviceTableRow& row : section.rows) {
            if (row.kind == DeviceTableRow::kHeading) {
                if (w.pass == 1) Printf("%s", row.label.c_str());
                continue;
            }
            if (row.kind == DeviceTableRow::kCondition) {
                if (w.pass == 1) {
                    Printf("%s\nCondition:", row.leadingBreak ? "\n" : "");
                    Printf("\n%-*.*s", w.labelWidth, w.labelWidth, "State");
                }
                for (size_t i = first; i < end; ++i) {
                    const char* name = no_ConditionName(i < row.conditions.size() ? row.conditions[i] : 0);
                    if (w.pass == 0)
                        w.valueWidth = std::max(w.valueWidth, static_cast<int>(std::strlen(name)));
                    else
                        Printf("   %c%*.*s", d, w.valueWidth, w.valueWidth, name);
                }
                continue;
            }
            if (w.pass == 1) Printf("\n%-*.*s", w.labelWidth, w.labelWidth, row.label.c_str());
            for (size_t i = first; i < end; ++i) {
                const std::string text = no_FormatValue(valueFormat, i < row.values.size() ? row.values[i] : 0, 50);
                if (w.pass == 0)
                    w.valueWidth = std::max(w.valueWidth, static_cast<int>(text.size()));
                else
                    Printf("%c   %*s", d, w.valueWidth, text.c_str());
            }
        }
        if (w.pass == 1) Printf("\n\n\n");
    }
}

void NumericOutput::WriteModelTable(Writer& w, const ModelParameterTable& table, bool includeZero,
                                    bool includeUndefined) {
    const size_t count = table.deviceNames.size();
    if (!count) return;
    w.labelWidth = 12;
    for (const std::string& p : table.parameterNames) w.labelWidth = std::max(w.labelWidth, static_cast<int>(p.size()));
    if (w.pass == 1) WriteSectionTitle("Model parameters for " + table.description);
    const char d = delimiter;
    const std::vector<bool> hasModel(count, true);
    for (size_t first = 0; first < count; first += static_cast<size_t>(w.columns)) {
        const size_t end = std::min(count, first + static_cast<size_t>(w.columns));
        no_InstanceRows(*this, w.pass, w.labelWidth, w.valueWidth, d, table.deviceNames, table.modelNames, hasModel,
                        first, end, true);
        if (w.pass == 1) Printf("\n");
        for (size_t p = 0; p < table.parameterNames.size(); ++p) {
            bool wanted = includeZero && includeUndefined;
            for (size_t i = first; i < end && !wanted; ++i) {
                const ModelParameterValue& v = table.values[i][p];
                if (!v.defined)
                    wanted = includeUndefined;
                else if (v.kind != 1 || v.number != 0)
                    wanted = true;
                else
                    wanted = includeZero;
            }
            if (!wanted) continue;
            if (w.pass == 1) Printf("%-*.*s", w.labelWidth, w.labelWidth, table.parameterNames[p].c_str());
            for (size_t i = first; i < end; ++i) {
                const ModelParameterValue& v = table.values[i][p];
                std::string text;
                if (!v.defined)
                    text = "UNDEFINED";
                else if (v.kind == 1)
                    text = no_FormatValue(valueFormat, v.number, 50);
                else if (v.kind == 2)
                    text = v.text.substr(0, 1);
                else
                    text = v.text;
                if (w.pass == 0)
                    w.valueWidth = std::max(w.valueWidth, static_cast<int>(text.size()));
                else
                    Printf("%c   %*s", d, w.valueWidth, text.c_str());
            }
            if (w.pass == 1) Printf("\n");
        }
        if (w.pass == 1) Printf("\n\n\n");
    }
}

// ---- curve tables -----------------------------------------------------------------------------

namespace {

bool no_Is(const std::string& text, const char* word) { return strcasecmp(text.c_str(), word) == 0; }

std::string no_UnitsHeading(const NumericCurve& c, bool yAxis) {
    const std::string& scale = yAxis ? c.scaleFactorY : c.scaleFactorX;
    const std::string& units = yAxis ? c.unitsY : c.unitsX;
    const FormatSpec& format = yAxis ? c.formatY : c.formatX;
    std::string out;
    if (!(yAxis && c.digital) && !no_Is(scale, "None")) {
        if (no_Is(scale, "Auto")) {
            if (format.scaleLetter == 'M')
                out = "MEG";
            else if (format.scaleLetter)
                out = std::string(1, format.scaleLetter);
        } else {
            out = scale;
        }
    }
    if (no_Is(units, "Auto"))
        out += yAxis ? c.autoUnitY : c.autoUnitX;
    else if (!no_Is(units, "None"))
        out += units;
    return out;
}

}  // namespace

void NumericOutput::WriteCurveTables(CurvePointSource& source, std::vector<NumericCurve>& curves, double start,
                                     double end, int n, bool logStep) {
    if (!IsOpen() || !curveOutputWanted || curves.empty()) return;
    if (curves.front().lastIndex <= 0) return;
    bool ordinary = false, fft = false;
    for (const NumericCurve& c : curves) (c.fft ? fft : ordinary) = true;
    if (ordinary) WriteCurveGroup(source, curves, false, start, end, n, logStep, true);
    if (fft) WriteCurveGroup(source, curves, true, start, end, n, logStep, true);
    if (ordinary) WriteCurveGroup(source, curves, false, start, end, n, logStep, false);
    if (fft) WriteCurveGroup(source, curves, true, start, end, n, logStep, false);
}

void NumericOutput::WriteCurveGroup(CurvePointSource& source, std::vector<NumericCurve>& curves, bool fftGroup,
                                    double start, double end, int n, bool logStep, bool measuring) {
    std::vector<NumericCurve*> group;
    for (NumericCurve& c : curves)
        if (c.fft == fftGroup && c.lastIndex >= 0 && (c.printX || c.printY)) group.push_back(&c);
    if (group.empty()) return;
    // The two header lines: expressions, then the units in parentheses.
    for (int line = 0; line < 2 && curveOutputWanted; ++line) {
        bool firstCell = true;
        if (!measuring) Printf(" ");
        for (NumericCurve* c : group) {
            for (int axis = 0; axis < 2; ++axis) {
                if (!(axis ? c->printY : c->printX)) continue;
                std::string text;
                if (line == 0) {
                    text = axis ? c->yExpression : c->xExpression;
                } else {
                    const std::string units = no_UnitsHeading(*c, axis == 1);
                    if (!units.empty()) text = "(" + units + ")";
                }
                text = no_WithoutBlanks(text);
                int& width = axis ? c->widthY : c->widthX;
                if (measuring)
                    width = std::max(width, static_cast<int>(text.size()));
                else
                    Printf("%c%*s", firstCell ? ' ' : delimiter, width, text.c_str());
                firstCell = false;
            }
        }
        if (!measuring) Printf("\n");
    }
    if (Error()) {
        curveOutputWanted = false;
        return;
    }
    const NumericCurve& lead = curves.front();
    // Fewer than three stored points make no table; the Log frequency ratio is
    // read only once two points are known to be there.
    if (lead.lastIndex < 2) return;
    double step = 0;
    if (!fftGroup && logStep) {
        const double f0 = source.Value(0, lead.firstIndex);
        if (f0 <= 0) return;
        step = source.Value(0, lead.firstIndex + 1) / f0;
    } else if (n > 1) {
        step = (end - start) / (n - 1);
    }
    std::vector<int> cursor(group.size());
    for (size_t g = 0; g < group.size(); ++g) cursor[g] = std::max(group[g]->firstIndex, 0);
    const int rows = fftGroup ? lead.lastIndex - lead.firstIndex + 1 : n;
    double x = start;
    for (int r = 0; r < rows && curveOutputWanted; ++r) {
        const int k = lead.firstIndex + r;
        if (fftGroup) x = source.Value(0, k);
        bool firstCell = true;
        if (!measuring) Printf(" ");
        for (size_t g = 0; g < group.size(); ++g) {
            NumericCurve& c = *group[g];
            for (int axis = 0; axis < 2; ++axis) {
                if (!(axis ? c.printY : c.printX)) continue;
                const int column = axis ? c.yColumn : c.xColumn;
                std::string text;
                char buffer[80];
                if (r < c.leadingEmptyRows) {
                    text = "N/A";
                } else {
                    double value = 0;
                    if (fftGroup) {
                        value = source.Value(column, k);
                    } else if (c.digital && axis == 0) {
                        value = x;
                    } else {
                        const bool hold = c.digital;
                        const int xColumn = c.digital ? c.xColumn : 0;
                        const int found = InterpolateAtX(source, &value, x, hold, xColumn, column, c.lastIndex,
                                                         cursor[g], logStep ? 1 : 0);
                        cursor[g] = c.backwardX ? std::max(c.firstIndex, 0) : std::max(found - 1, c.firstIndex);
                    }
                    if (c.digital && axis == 1) {
                        text = source.DigitalText(c, value);
                    } else {
                        const FormatSpec& format = axis ? c.formatY : c.formatX;
                        const std::string& scale = axis ? c.scaleFactorY : c.scaleFactorX;
                        // Under "None" the heading has no prefix: each number carries its letter.
                        const int mode = no_Is(scale, "None") ? kFormatFixedScale
                                                              : kFormatFixedScale | kFormatFixedScaleNoLetter;
                        FormatValueWithSpec(&format, buffer, sizeof buffer, value, mode, 2);
                        text = buffer;
                    }
                }
                int& width = axis ? c.widthY : c.widthX;
                if (measuring)
                    width = std::max(width, static_cast<int>(text.size()) + 1);
                else
                    Printf("%c%*s", firstCell ? ' ' : delimiter, width, text.c_str());
                firstCell = false;
            }
        }
        if (!measuring) {
            Printf("\n");
            if (Error()) curveOutputWanted = false;
        }
        if (!fftGroup) x = logStep ? x * step : x + step;
    }
}

void NumericOutput::WriteMessage(const std::string& caption, const std::string& text) {
    Printf("%s %s\n", caption.c_str(), text.c_str());
    messagesWritten = true;
}

bool NumericOutput::Switch(int which) const {
    return settings && which >= 0 && which < 7 && settings->numOutWrite[which] != 0;
}

void NumericOutput::WriteHeaderOnce() {
    if (headerWritten || !IsOpen()) return;
    headerWritten = true;
    std::string templates[3];
    for (int i = 0; i < 3; ++i) templates[i] = settings ? no_Text(settings->numOutHeaders[i]) : "";
    WriteTitleBlock(templates);
    if (Error()) {
        curveOutputWanted = false;
        return;
    }
    if (settings && Switch(kIncludeAnalysisLimits)) WriteLimitsHeader(*settings, kind);
}

void NumericOutput::WriteRunHeader(int run, const std::string& caption) {
    if (run <= 1) WriteHeaderOnce();
    if (run >= 1 &&
        (Switch(kIncludeWaveformValues) || Switch(kIncludeModelParameters) || Switch(kIncludeOperatingPoint)))
        WriteCaptionBox(caption);
}

void SetRoutedNumericOutput(NumericOutput* output) { no_routed = output; }
NumericOutput* RoutedNumericOutput() { return no_routed; }

bool RouteMessageToNumericOutput(const char* caption, const char* text) {
    NumericOutput* out = no_routed;
    if (!out) return false;
    const bool wasOpen = out->IsOpen();
    if (!wasOpen && out->Reopen()) return false;
    out->WriteHeaderOnce();
    out->WriteMessage(no_Text(caption), no_Text(text));
    if (!wasOpen) out->Close();
    return true;
}
