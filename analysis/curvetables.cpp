#include "analysis/curvetables.h"

#include <algorithm>
#include <cctype>

#include "analysis/limits.h"
#include "analysis/start.h"
#include "analysis/sweep.h"
#include "core/chars.h"
#include "document/cfanalysis.h"
#include "expr/symbols.h"

namespace {

std::string ct_WithoutBlanks(const std::string& s) {
    std::string out;
    for (char c : s)
        if (c != ' ' && c != '\t') out += c;
    return out;
}

bool ct_IsNameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

struct ct_UnitRow {
    uint32_t unitMask, extraMask;
    const char* name;
};
// The first eighteen follow the expression's unit flags bit by bit; Tesla and
// Amps/Meter are the SI forms of the B and H fields.
constexpr ct_UnitRow kCtUnits[kUnitNameCount] = {
    {kUnitVoltage, 0, "V"},
    {kUnitCurrent, 0, "A"},
    {kUnitCharge, 0, "C"},
    {kUnitCapacitance, 0, "F"},
    {kUnitFlux, 0, "W"},
    {kUnitInductance, 0, "H"},
    {kUnitResistance, 0, "Ohms"},
    {kUnitDegrees, 0, "Degrees"},
    {kUnitAngle, 0, "Radians"},
    {kUnitGauss, 0, "Gauss"},
    {kUnitOersted, 0, "Oersteds"},
    {kUnitTime, 0, "Secs"},
    {kUnitComplexFrequency, 0, ""},
    {kUnitFrequency, 0, "Hz"},
    {kUnitPercent, 0, "%"},
    {kUnitNoise, 0, ""},
    {kUnitEnergy, 0, "J"},
    {kUnitPower, 0, "W"},
    {0, kExtraTesla, "Tesla"},
    {0, kExtraAmpsPerMetre, "Amps/Meter"},
};

}  // namespace

int FindUnitIndex(uint32_t unitMask, uint32_t extraMask) {
    for (int i = 0; i < kUnitNameCount; ++i)
        if (kCtUnits[i].unitMask == unitMask && kCtUnits[i].extraMask == extraMask) return i;
    return -1;
}

int AxisUnitIndex(uint32_t unitFlags, uint32_t extraFlags) {
    return FindUnitIndex(unitFlags, extraFlags & (kExtraTesla | kExtraAmpsPerMetre));
}

const char* UnitName(int index) { return index >= 0 && index < kUnitNameCount ? kCtUnits[index].name : ""; }

int GetAnalysisXRange(CCTDoc* document, int kind, AnalysisXRange* out) {
    *out = AnalysisXRange{};
    const AnalysisSettings* settings = CircuitAnalysisSettings(document);
    if (kind == 1 && settings && settings->kinds[1].sweepType == 3) {
        // A frequency list: its lowest and highest entries.
        SweepList list;
        const std::string text = GetLimitText(document, 1, 0);
        const int rc = list.BuildFromText(text.c_str(), kSweepMethodList);
        if (rc) return rc;
        if (!list.values().empty()) {
            const auto [low, high] = std::minmax_element(list.values().begin(), list.values().end());
            out->start = *low;
            out->end = *high;
        }
        return 0;
    }
    // Transient, distortion and AC: field 0; DC: Variable 1's range.
    const int field = kind == 2 ? 2 : 0;
    LimitValues values;
    const int rc = GetLimitValues(document, kind, field, &values);
    if (rc) return rc;
    out->start = values.count >= 2 ? values.from : 0;
    out->end = values.to;
    return 0;
}

bool IsFftCurve(const std::string& xExpression, const std::string& yExpression, int kind) {
    const std::string x = ct_WithoutBlanks(xExpression);
    if (!((kind == 0 && CompareNoCase(x.c_str(), "F") == 0) || (kind == 1 && CompareNoCase(x.c_str(), "T") == 0)))
        return false;
    // A name of the FFT family followed by its argument list.
    const std::string y = ct_WithoutBlanks(yExpression);
    for (size_t i = 0; i < y.size();) {
        if (!ct_IsNameChar(y[i])) {
            ++i;
            continue;
        }
        size_t end = i;
        while (end < y.size() && ct_IsNameChar(y[end])) ++end;
        if (end < y.size() && y[end] == '(') {
            const std::string name = y.substr(i, end - i);
            for (int row = 0; row < kExprSymbolCount; ++row)
                if (ExprSymbolTable[row].menuCategory == kMenuFft &&
                    CompareNoCase(ExprSymbolTable[row].name, name.c_str()) == 0)
                    return true;
        }
        i = end;
    }
    return false;
}

int WriteCurveNumericOutput(OpenAnalysis& analysis, CurvePointSource& source, std::vector<NumericCurve>& curves,
                            int points, bool optimizerRunning) {
    NumericOutput& out = analysis.numericOutput;
    if (analysis.mode.inPlace || optimizerRunning || !out.Switch(kIncludeNumericOutput) ||
        !out.Switch(kIncludeWaveformValues) || !out.IsOpen() || !out.curveOutputWanted)
        return 0;
    AnalysisXRange range;
    const int rc = GetAnalysisXRange(analysis.document, analysis.kind, &range);
    if (rc) return rc;
    const AnalysisSettings* settings = CircuitAnalysisSettings(analysis.document);
    const bool logStep = analysis.kind == 1 && settings && settings->kinds[1].sweepType == 2;
    out.WriteCurveTables(source, curves, range.start, range.end, points, logStep);
    return 0;
}
