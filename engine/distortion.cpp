#include "engine/distortion.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <memory>
#include <new>

#include "compiler/compiled.h"
#include "compiler/support.h"
#include "core/memory.h"
#include "core/result.h"
#include "document/cfanalysis.h"
#include "expr/devicelist.h"
#include "models/modelstmt.h"

namespace {

constexpr const char* kDiDefaultFundamental = "10Khz";
constexpr const char* kDiDefaultCycles = "5";
constexpr uint16_t kDiRowOptions = 192;
constexpr int kDiRowCount = 4;

// The sine source part's model: F, A, DC, PH, RS, RP, TAU.
enum DiSineParam : int { kDiSineF = 0, kDiSineA = 1, kDiSineDc = 2, kDiSinePh = 3, kDiSineRs = 4, kDiSineTau = 6 };
// A SPICE SIN function: VO, VA, FREQ, TD, THETA, PHASE.
enum DiSpiceSin : int { kDiSinOffset = 0, kDiSinFrequency = 2, kDiSinDamping = 4, kDiSinPhase = 5 };

const char* di_Text(const char* text) { return text ? text : ""; }

bool di_Blank(const char* text) {
    for (const char* p = di_Text(text); *p; ++p)
        if (!std::isspace(static_cast<unsigned char>(*p))) return false;
    return true;
}

// A field's value: false when it does not evaluate.
bool di_Evaluate(const char* text, double& value) {
    if (di_Blank(text)) return false;
    int error = 0;
    value = EvaluateNumericText(text, &error, 0);
    return error == 0 && std::isfinite(value);
}

std::string di_Format(const char* format, double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

bool di_Set(char** field, const std::string& text) { return SetString(field, text.c_str()) != nullptr; }

bool di_SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
           });
}

bool di_InList(const CompiledCircuit& circuit, int list, const DeviceRecord* record) {
    for (const PoolItem* item = circuit.devices.lists[list].pool.first; item; item = item->next)
        if (item == record && item->type != kPoolItemDead) return true;
    return false;
}

// The list of a distortion input's record (sine source parts or SPICE
// sources of the sine form), or -1.
int di_InputList(const CompiledCircuit& circuit, const PartLink& link) {
    if (!link.record) return -1;
    if (di_InList(circuit, kListSineSources, link.record)) return kListSineSources;
    if (di_InList(circuit, kListSpiceSources, link.record) &&
        static_cast<const SourceRecord*>(link.record)->functionKind == kFunctionSin)
        return kListSpiceSources;
    return -1;
}

const PartLink* di_FindInput(const CompiledCircuit& circuit, const std::string& name, int& list) {
    list = -1;
    if (name.empty()) return nullptr;
    for (const auto& [part, link] : circuit.partLinks) {
        if (!di_SameName(link.qualifiedName, name)) continue;
        list = di_InputList(circuit, link);
        return list < 0 ? nullptr : &link;
    }
    return nullptr;
}

// The amplitude stepping of the input source from the amplitude text.
int di_AmplitudeStep(const char* text, int32_t method, DistortionAmplitudeStep& step) {
    step.method = method;
    if (method == kDistAmplitudeList) {
        step.list = di_Text(text);
        return kOk;
    }
    // "High[,Low][,Step]": High only sweeps nothing; without a step the
    // sweep goes from Low to High at once.
    std::vector<double> values;
    std::string rest = di_Text(text);
    for (;;) {
        int depth = 0;
        size_t cut = std::string::npos;
        for (size_t i = 0; i < rest.size(); ++i) {
            if (rest[i] == '(') ++depth;
            if (rest[i] == ')') --depth;
            if (rest[i] == ',' && depth == 0) {
                cut = i;
                break;
            }
        }
        const std::string piece = rest.substr(0, cut);
        double value = 0.0;
        if (!di_Evaluate(piece.c_str(), value)) return kMsgDistortionIllegalStep;
        values.push_back(value);
        if (cut == std::string::npos || values.size() == 3) break;
        rest = rest.substr(cut + 1);
    }
    const double high = values[0];
    const double low = values.size() > 1 ? values[1] : high;
    const double stepValue = values.size() > 2 ? values[2] : high - low;
    if (method == kDistAmplitudeLinear && stepValue == 0.0 && low != high) return kMsgDistortionIllegalStep;
    // A logarithmic sweep multiplies: both ends must be positive and the
    // factor above 1, or it never ends.
    if (method == kDistAmplitudeLog && (!(low > 0.0) || !(high > 0.0) || (low != high && !(stepValue > 1.0))))
        return kMsgDistortionIllegalStep;
    step.high = di_Format("%g", high);
    step.low = di_Format("%g", low);
    step.step = di_Format("%g", stepValue);
    return kOk;
}

void di_ForceSpiceSine(SourceRecord& s, double frequency) {
    for (double* values : {s.values, s.nominal}) {
        values[kDiSinOffset] = 0.0;
        values[kDiSinFrequency] = frequency;
        values[kDiSinDamping] = 0.0;
        values[kDiSinPhase] = 0.0;
    }
    s.valueScale = 1.0;
}

void di_ForceSineModel(ModelRecord* model, double frequency) {
    if (!model) return;
    for (double* values : {model->Values, model->Nominal}) {
        if (!values) continue;
        values[kDiSineF] = frequency;
        values[kDiSineDc] = 0.0;
        values[kDiSinePh] = 0.0;
        values[kDiSineTau] = 0.0;
    }
}

}  // namespace

int SetUpDistortionRun(AnalysisKindSettings& settings, bool keepRanges, DistortionRunPlan& plan) {
    plan = DistortionRunPlan();
    char** fields = settings.limits;
    const bool hadRows = settings.curves.size() == kDiRowCount;
    try {
        settings.curves.resize(kDiRowCount);
        for (auto& row : settings.curves)
            if (!row) row = std::make_unique<CurveRow>();
    } catch (const std::bad_alloc&) {
        return kResultNoMemory;
    }

    double frequency = 0.0;
    if (!di_Evaluate(fields[kDistFundamental], frequency) || frequency == 0.0) {
        if (!di_Set(&fields[kDistFundamental], kDiDefaultFundamental)) return kResultNoMemory;
        plan.fieldsChanged = true;
        di_Evaluate(fields[kDistFundamental], frequency);
    }
    plan.fundamental = frequency;

    if (!hadRows) {
        const char plots[kDiRowCount] = {'1', '2', 0, '4'};
        for (int i = 0; i < kDiRowCount; ++i) {
            settings.curves[static_cast<size_t>(i)]->plotGroup = plots[i];
            settings.curves[static_cast<size_t>(i)]->options = kDiRowOptions;
        }
    }
    const std::string out = di_Text(fields[kDistOutput]);
    const std::string harmonicRange = di_Format("%g", 10.0 * frequency);
    const std::string ys[kDiRowCount] = {"HARM(" + out + ")",
                                         "IHD(HARM(" + out + ")," + di_Format("%g", frequency) + ")",
                                         "THD(HARM(" + out + ")," + di_Format("%g", frequency) + ")", out};
    for (int i = 0; i < kDiRowCount; ++i) {
        CurveRow& row = *settings.curves[static_cast<size_t>(i)];
        bool ok = di_Set(&row.xExpression, i == 3 ? "T" : "F") && di_Set(&row.yExpression, ys[i]);
        if (ok && (!keepRanges || di_Blank(row.xRange))) ok = di_Set(&row.xRange, i == 3 ? "TMAX" : harmonicRange);
        if (ok && di_Blank(row.xRange)) ok = di_Set(&row.xRange, "AUTO");
        if (ok && di_Blank(row.yRange)) ok = di_Set(&row.yRange, "AUTO");
        if (!ok) return kResultNoMemory;
    }

    double cycles = 0.0;
    bool cyclesValid = di_Evaluate(fields[kDistCycles], cycles) && cycles >= 1.0;
    if (!cyclesValid) {
        if (!di_Set(&fields[kDistCycles], kDiDefaultCycles)) return kResultNoMemory;
        plan.fieldsChanged = true;
        cycles = 5.0;
    }
    // A count of 2.7 runs two whole periods.
    plan.cycles = cycles < 2e9 ? static_cast<int32_t>(cycles) : 2000000000;
    plan.tmax = plan.cycles / frequency;
    plan.fftLow = (plan.cycles - 1) / frequency;
    double maxStep = 0.0;
    if (di_Evaluate(fields[kDistMaxStep], maxStep) && maxStep > 0.0) plan.maxTimeStep = maxStep;

    FFTSettings& fft = settings.fft;
    if (!di_Set(&fft.min, di_Format("%g", plan.fftLow)) || !di_Set(&fft.max, "TMAX") ||
        !di_Set(&fft.points, std::to_string(kDistortionFftPoints)))
        return kResultNoMemory;
    if (!cyclesValid) return kOk;
    int error = 0;
    EvaluateNumericText(fft.min, &error, 0);
    if (error == 0) EvaluateNumericText(fft.points, &error, 0);
    return error;
}

TransientLimits DistortionTransientLimits(const DistortionRunPlan& plan) {
    TransientLimits limits;
    limits.tmin = 0.0;
    limits.tmax = plan.tmax;
    limits.points = kDistortionFftPoints;
    limits.maxTimeStep = plan.maxTimeStep;
    return limits;
}

bool IsDistortionInputSource(const CompiledCircuit& circuit, const std::string& partName) {
    int list = -1;
    return di_FindInput(circuit, partName, list) != nullptr;
}

bool CircuitHasDistortionInputSource(const CompiledCircuit& circuit) {
    for (const auto& [part, link] : circuit.partLinks)
        if (di_InputList(circuit, link) >= 0) return true;
    return false;
}

int SetUpDistortionInput(AnalysisKindSettings& settings, CompiledCircuit& circuit, DistortionAmplitudeStep& step,
                         int& messageId) {
    step = DistortionAmplitudeStep();
    messageId = 0;
    int list = -1;
    const PartLink* link = di_FindInput(circuit, di_Text(settings.limits[kDistInputSource]), list);
    if (!link) return kOk;
    double frequency = 0.0;
    if (!di_Evaluate(settings.limits[kDistFundamental], frequency)) frequency = 0.0;
    if (int rc = di_AmplitudeStep(settings.limits[kDistAmplitude], settings.ampMethod, step)) {
        messageId = rc;
        step = DistortionAmplitudeStep();
        return kResultShown;
    }
    step.enabled = true;
    step.part = link->qualifiedName;
    if (list == kListSineSources) {
        step.parameter = "A";
        di_ForceSineModel(static_cast<SineSourceRecord*>(link->record)->model, frequency);
    } else {
        SourceRecord& source = *static_cast<SourceRecord*>(link->record);
        step.parameter = source.sourceKind == kSourceCurrent ? "sin.ia" : "sin.va";
        di_ForceSpiceSine(source, frequency);
    }
    return kOk;
}

std::string DistortionCaption(const AnalysisKindSettings& settings, int row) {
    static const char* const kTexts[kDiRowCount][2] = {{"Amplitude of", "Frequency"},
                                                       {"Percent Distortion of", "Frequency"},
                                                       {"Cumulative Percent Distortion of", "Frequency"},
                                                       {"Sampled Waveform ", "T"}};
    if (row < 0 || row >= kDiRowCount) return std::string();
    return std::string(kTexts[row][0]) + " " + di_Text(settings.limits[kDistOutput]) + " vs " + kTexts[row][1];
}

HarmonicFigures ComputeHarmonicFigures(const std::vector<double>& times, const std::vector<double>& values,
                                       double windowLow, double windowHigh, int harmonics) {
    HarmonicFigures figures;
    const size_t count = std::min(times.size(), values.size());
    if (count == 0 || harmonics < 1 || !(windowHigh > windowLow)) return figures;
    const int n = kDistortionFftPoints;
    std::vector<double> samples(static_cast<size_t>(n));
    size_t k = 0;
    for (int i = 0; i < n; ++i) {
        const double t = windowLow + (windowHigh - windowLow) * i / n;
        while (k + 1 < count && times[k + 1] <= t) ++k;
        if (k + 1 >= count || times[k + 1] == times[k]) {
            samples[static_cast<size_t>(i)] = values[k];
        } else {
            const double f = std::clamp((t - times[k]) / (times[k + 1] - times[k]), 0.0, 1.0);
            samples[static_cast<size_t>(i)] = values[k] + f * (values[k + 1] - values[k]);
        }
    }
    const size_t slots = static_cast<size_t>(harmonics) + 1;
    figures.amplitude.assign(slots, 0.0);
    figures.individual.assign(slots, 0.0);
    figures.cumulative.assign(slots, 0.0);
    for (size_t h = 0; h < slots; ++h) {
        double re = 0.0, im = 0.0;
        for (int i = 0; i < n; ++i) {
            const double angle = 2.0 * M_PI * static_cast<double>(h) * i / n;
            re += samples[static_cast<size_t>(i)] * std::cos(angle);
            im -= samples[static_cast<size_t>(i)] * std::sin(angle);
        }
        figures.amplitude[h] = std::hypot(re, im) / n * (h == 0 ? 1.0 : 2.0);
    }
    const double fundamental = figures.amplitude.size() > 1 ? figures.amplitude[1] : 0.0;
    double sum = 0.0;
    for (size_t h = 1; h < slots && fundamental > 0.0; ++h) {
        figures.individual[h] = 100.0 * figures.amplitude[h] / fundamental;
        if (h >= 2) sum += figures.amplitude[h] * figures.amplitude[h];
        figures.cumulative[h] = 100.0 * std::sqrt(sum) / fundamental;
    }
    return figures;
}
