#include "plots/g2ddoc.h"

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <new>

#include "analysis/curvetables.h"
#include "analysis/devtables.h"
#include "analysis/numout.h"
#include "analysis/start.h"
#include "core/cmdline.h"
#include "core/messages.h"
#include "core/numbers.h"
#include "core/report_port.h"
#include "core/result.h"
#include "document/ctdoc.h"
#include "expr/runstate.h"
#include "expr/stateful.h"
#include "plots/anview.h"
#include "plots/fftcurves.h"
#include "plots/g2dview.h"
#include "plots/layout.h"
#include "plots/plotpage.h"

namespace {

const MessageRow kPlotMessageRows[] = {
    {kMsgNoCurveToPlot, "%EMust select an expression to plot."},
    {kMsgIllegalRange, "%EIllegal range."},
    {kMsgFftXExpression, "%ECan't plot FFT/IFT function for X expr."},
    {kMsgFftNeedsFOrT, "%EX expression must be F or T when Y expression is an FFT/IFT."},
    {kMsgResNeedsT, "%EX expression must be T when Y expression is an FS or RES"},
    {kMsgDigitalX, "%ECan't plot digital function for X expression."},
    {kMsgDigitalInAc, "%ECan't plot digital variables in AC."},
};

// A number of a caption: engineering notation without trailing blanks or zeros.
std::string gd_Number(double value) {
    char buffer[64];
    FormatNumber(buffer, sizeof buffer, value, 3, 0, 0);
    std::string text = buffer;
    while (!text.empty() && text.back() == ' ') text.pop_back();
    // Fraction zeros before a suffix letter go too ("1.000k" is "1k").
    size_t end = text.size();
    while (end > 0 && std::isalpha(static_cast<unsigned char>(text[end - 1]))) --end;
    std::string number = text.substr(0, end), suffix = text.substr(end);
    if (number.find('.') != std::string::npos) {
        while (!number.empty() && number.back() == '0') number.pop_back();
        if (!number.empty() && number.back() == '.') number.pop_back();
    }
    return number + suffix;
}

void gd_Replace(std::string& text, const std::string& token, const std::string& value) {
    for (size_t at = 0; (at = text.find(token, at)) != std::string::npos;) {
        // A longer keyword that begins with this one ($StepLow1 in $StepLow12)
        // is not this one.
        const size_t end = at + token.size();
        if (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end])) &&
            std::isdigit(static_cast<unsigned char>(token.back()))) {
            at = end;
            continue;
        }
        text.replace(at, token.size(), value);
        at += value.size();
    }
}

}  // namespace

void RegisterPlotMessages() {
    RegisterMessages(kPlotMessageRows, static_cast<int>(sizeof kPlotMessageRows / sizeof kPlotMessageRows[0]));
    RegisterAnalysisWindowMessages();
    RegisterPlotLayoutMessages();
    RegisterDcDriverMessages();
    RegisterAcDriverMessages();
    RegisterPlotPageMessages();
    RegisterFFTCurveMessages();
}

CG2DDoc::CG2DDoc() : CAPDoc(kDocAnalysisPlot, "graph8.tmp") {
    ViewOptions[0] = ViewOptions[3] = kDefaultViewOptions;
}

CG2DDoc::~CG2DDoc() {
    ClearUndo();
    ClearCurves();
    CircuitDoc = nullptr;
}

void CG2DDoc::OnCloseDocument() {
    if (KeepOnWindowClose) return;
    if (CurrentRunContext().analysisDocument == this) CurrentRunContext().analysisDocument = nullptr;
    CANDoc::OnCloseDocument();
}

AnalysisKindSettings* CG2DDoc::KindSettings(int kind) const {
    if (kind < 0 || kind >= kPlotKindCount) return nullptr;
    AnalysisSettings* settings = CircuitAnalysisSettings(Circuit());
    return settings ? &settings->kinds[kind] : nullptr;
}

OpenAnalysis* CG2DDoc::Analysis() const {
    OpenAnalysis* open = CurrentAnalysis();
    return open && Circuit() && open->document == Circuit() ? open : nullptr;
}

int CG2DDoc::DisplayEveryN() const {
    const AnalysisKindSettings* settings = KindSettings(RunningKind);
    return settings && settings->reduceDisplay > 1 ? settings->reduceDisplay : 1;
}

std::string CG2DDoc::RowExpressionText(int curve, int axis) const {
    const PlotCurve& c = Curves[static_cast<size_t>(curve)];
    const AnalysisKindSettings* settings = KindSettings(RunningKind);
    if (settings && c.RowIndex >= 0 && static_cast<size_t>(c.RowIndex) < settings->curves.size()) {
        const CurveRow& row = *settings->curves[static_cast<size_t>(c.RowIndex)];
        const char* text = axis ? row.yExpression : row.xExpression;
        if (text) return text;
    }
    return c.ExprText[axis];
}

// ---- captions ---------------------------------------------------------------------------------

std::optional<std::string> CG2DDoc::FormatTitle(int flag) {
    if (!AutoTitle) return ExpandKeywords(Title, flag != 0, false);
    const std::optional<std::string> caption = FormatRunCaption(flag, false, false);
    if (!caption) return std::nullopt;
    return CircuitTitleName(Circuit()) + " " + *caption;
}

std::optional<std::string> CG2DDoc::FormatRunCaption(int flag, bool multiLine, bool lineBreaks) {
    try {
        std::string keywords;
        const bool sweepsTemperature = false;  // a DC sweep of the temperature
        if (Runs.Count > 0 && flag != -1 && (Temperatures.size() > 1 || flag != 0) && !sweepsTemperature)
            keywords += "$Temperature ";
        const AnalysisKindSettings* settings = KindSettings(RunningKind);
        const bool monteCarlo = settings && (settings->mcOptions & kMonteCarloOn);
        if (Run.CaptionRunCounter > 1 || flag == 0) keywords += monteCarlo ? "$case" : "";
        return ExpandKeywords(keywords, multiLine, lineBreaks);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

std::optional<std::string> CG2DDoc::ExpandKeywords(const std::string& text, bool multiLine, bool lineBreaks) {
    return BuildCaption(text, multiLine, lineBreaks);
}

std::optional<std::string> CG2DDoc::BuildCaption(const std::string& text, bool multiLine, bool lineBreaks) {
    std::optional<std::string> expanded = CANDoc::ExpandKeywords(text, multiLine, lineBreaks);
    if (!expanded) return std::nullopt;
    try {
        std::string out = std::move(*expanded);
        const char* br = lineBreaks ? "\n" : "";
        const bool live = Run.Running && !Run.Paused;
        const RunRecord* record = nullptr;
        if (!live && CurrentRun >= 0 && CurrentRun < Runs.Count)
            record = &Runs.Records[static_cast<size_t>(CurrentRun)];
        if (Runs.Count > 0 && !Temperatures.empty()) {
            const auto [lowIt, highIt] = std::minmax_element(Temperatures.begin(), Temperatures.end());
            const std::string low = gd_Number(*lowIt), high = gd_Number(*highIt);
            const std::string current = gd_Number(record ? record->Temperature : CurrentTemperature);
            gd_Replace(out, "$TempLow", low + br);
            gd_Replace(out, "$TempHigh", high + br);
            gd_Replace(out, "$TempCurrent", current + br);
            gd_Replace(
                out, "$Temperature",
                (multiLine && low != high ? "Temperature=" + low + "..." + high : "Temperature=" + current) + br);
        }
        const int number = multiLine ? Run.CaptionRunCounter : (record ? record->RunNumber : Run.CaptionRunCounter);
        const AnalysisKindSettings* settings = KindSettings(RunningKind);
        const bool monteCarlo = settings && (settings->mcOptions & kMonteCarloOn);
        gd_Replace(out, "$mccase", std::to_string(number));
        gd_Replace(out, "$case", monteCarlo ? "Case=" + std::to_string(number) : "");
        // No stepping panel is enabled while stepping is not set up: every
        // panel's values read "NA" and its $Steppingn is empty.
        const int panels = RunningKind == 3 ? 21 : 20;
        for (int n = panels; n >= 1; --n) {
            const std::string suffix = std::to_string(n);
            for (const char* name : {"$StepLow", "$StepHigh", "$StepCurrent", "$StepName"})
                gd_Replace(out, name + suffix, "NA");
            gd_Replace(out, "$Stepping" + suffix, "");
        }
        gd_Replace(out, "$Stepping", "");
        return out;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

// ---- numeric output -------------------------------------------------------------------------------

namespace {

// The data store as the curve tables read it.
class gd_StoreSource final : public CurvePointSource {
public:
    explicit gd_StoreSource(CG2DDoc& document) : document_(document) {}
    double Value(int column, int index) override { return document_.GetValue(column, index); }
    std::string DigitalText(const NumericCurve& curve, double value) override {
        for (const PlotCurve& c : document_.Curves)
            if (c.DataColumn[kSlotY] == curve.yColumn) return c.FormatAxisValue(kAxisY, value);
        return std::to_string(static_cast<long long>(value));
    }

private:
    CG2DDoc& document_;
};

}  // namespace

void CG2DDoc::WriteRunHeader(const std::vector<double>* solution) {
    OpenAnalysis* open = Analysis();
    if (!open || RunHeaderWritten || PlotSuppressed) return;
    RunHeaderWritten = true;
    NumericOutput& out = open->numericOutput;
    if (!out.IsOpen()) return;
    const std::optional<std::string> caption = FormatRunCaption(1, false, true);
    out.WriteRunHeader(Run.RunCounter, caption ? *caption : "");
    if (solution) WriteDeviceVariables(out, Circuit(), *solution);
}

void CG2DDoc::WriteRunCurves(int points) {
    OpenAnalysis* open = Analysis();
    if (!open || Runs.Count <= 0 || PlotSuppressed) return;
    WriteRunHeader(nullptr);
    const int run = Runs.Count - 1;
    std::vector<NumericCurve> curves;
    for (const PlotCurve& c : Curves) {
        if (!(c.UseFlags & kCurveListed)) continue;
        NumericCurve n;
        n.xExpression = c.ExprText[kAxisX];
        n.yExpression = c.ExprText[kAxisY];
        n.xColumn = c.DataColumn[kSlotX];
        n.yColumn = c.DataColumn[kSlotY];
        n.formatX = c.ValueFormat[kAxisX];
        n.formatY = c.ValueFormat[kAxisY];
        for (int a = kAxisX; a <= kAxisY; ++a) {
            (a ? n.scaleFactorY : n.scaleFactorX) = c.ScaleFactor(a);
            (a ? n.unitsY : n.unitsX) = c.Units(a);
            (a ? n.autoUnitY : n.autoUnitX) = UnitName(c.AxisUnit[a]);
            // The table lists data, and at the end of a run an axis fitted to the
            // data still has its provisional range: the column's engineering scale
            // follows the values it prints. A scale factor of the user's stays.
            const bool ownScale = c.ScaleFactorIsNone(a) || strcasecmp(c.ScaleFactor(a).c_str(), "Auto") == 0;
            if (ownScale && c.DataMin[a] <= c.DataMax[a])
                (a ? n.formatY : n.formatX).SetScaleForValue(RangeMagnitude(c.DataMin[a], c.DataMax[a]));
        }
        n.digital = c.IsDigital != 0;
        n.fft = IsFftCurve(n.xExpression, n.yExpression, RunningKind);
        if (static_cast<size_t>(run) < c.RunFirst.size()) {
            n.firstIndex = c.RunFirst[static_cast<size_t>(run)];
            n.lastIndex = c.RunLast[static_cast<size_t>(run)];
        }
        curves.push_back(std::move(n));
    }
    if (curves.empty()) return;
    ChooseCurvePrintColumns(curves);
    NumericOutput& out = open->numericOutput;
    out.curveOutputWanted = true;
    gd_StoreSource source(*this);
    if (int rc = WriteCurveNumericOutput(*open, source, curves, points)) ReportAnalysisError(-1, 0, rc);
}

// ---- the document of a circuit ---------------------------------------------------------------

CG2DDoc* AnalysisDocumentOf(CCTDoc* document) {
    if (!document) return nullptr;
    if (auto* existing = dynamic_cast<CG2DDoc*>(document->analysisDocument)) return existing;
    if (document->analysisDocument) return nullptr;
    CG2DDoc* created = new (std::nothrow) CG2DDoc();
    if (!created) return nullptr;
    created->CircuitDoc = document;
    created->owner = document;
    document->analysisDocument = created;
    if (CurrentRunContext().circuitDocument == document) CurrentRunContext().analysisDocument = created;
    return created;
}

int RunOpenAnalysis(CCTDoc* document) {
    OpenAnalysis* open = CurrentAnalysis();
    if (!open || open->document != document) return kResultNotBuilt;
    CG2DDoc* plot = AnalysisDocumentOf(document);
    if (!plot) return kResultNoMemory;
    return plot->RunSimulation(open->kind);
}
