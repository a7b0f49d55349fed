#include "plots/reducedlg.h"

#include <cctype>
#include <climits>
#include <cstdlib>

#include "analysis/start.h"
#include "core/cmdline.h"
#include "core/memory.h"
#include "core/numbers.h"
#include "document/cfanalysis.h"
#include "plots/g2ddoc.h"
#include "plots/reduce.h"
#include "shell/preferences.h"

const int kReductionChoices[21] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 15, 20, 30, 40, 50, 100, 200, 300, 400, 500, 1000};

namespace {

platform::Rect rdg_rect;

std::string rdg_Ordinal(int n) {
    char text[32];
    FormatOrdinal(text, sizeof text, n);
    return text;
}

platform::DialogDesc rdg_Description(unsigned dialogId) {
    using platform::ControlDesc;
    using platform::ControlKind;
    platform::DialogDesc desc;
    const uint32_t combo = platform::style::Editable;
    if (dialogId == kExcessivePointsDialogId) {
        desc.caption = "Warning...excessive number of data points!";
        desc.cx = 230, desc.cy = 104;
        desc.controls = {
            ControlDesc{ControlKind::Static, kIdExcessiveMessage, "", 7, 7, 216, 10, 0},
            ControlDesc{ControlKind::Static, -1,
                        "Would you like to reduce the number of data points to make printing and viewing more "
                        "manageable?",
                        7, 20, 216, 20, 0},
            ControlDesc{ControlKind::Static, -1, "Display every", 7, 46, 50, 10, 0},
            ControlDesc{ControlKind::ComboBox, kIdDisplayEvery, "", 60, 44, 50, 80, combo},
            ControlDesc{ControlKind::Static, -1, "data point.", 114, 46, 50, 10, 0},
            ControlDesc{ControlKind::CheckBox, kIdDontWarnAgain, "Don't warn me anymore.", 7, 64, 150, 10, 0},
            ControlDesc{ControlKind::DefaultButton, 1, "OK", 60, 82, 50, 14, 0},
            ControlDesc{ControlKind::Button, 2, "Cancel", 120, 82, 50, 14, 0},
        };
    } else {
        desc.caption = "Data Point Reduction";
        desc.cx = 200, desc.cy = 110;
        desc.controls = {
            ControlDesc{ControlKind::Static, -1, "Save every", 7, 9, 50, 10, 0},
            ControlDesc{ControlKind::ComboBox, kIdSaveEvery, "", 60, 7, 50, 80, combo},
            ControlDesc{ControlKind::Static, -1, "data point.", 114, 9, 50, 10, 0},
            ControlDesc{ControlKind::Static, -1, "Display every", 7, 27, 50, 10, 0},
            ControlDesc{ControlKind::ComboBox, kIdDisplayEvery, "", 60, 25, 50, 80, combo},
            ControlDesc{ControlKind::Static, -1, "data point.", 114, 27, 50, 10, 0},
            ControlDesc{ControlKind::GroupBox, -1, "When", 7, 44, 186, 28, 0},
            ControlDesc{ControlKind::RadioButton, kIdWhenNow, "Now", 14, 56, 60, 10, platform::style::Group},
            ControlDesc{ControlKind::RadioButton, kIdWhenRunTime, "Run Time", 90, 56, 60, 10, 0},
            ControlDesc{ControlKind::DefaultButton, 1, "OK", 45, 86, 50, 14, 0},
            ControlDesc{ControlKind::Button, 2, "Cancel", 105, 86, 50, 14, 0},
        };
    }
    return desc;
}

// The settings of the running kind, null while none runs.
AnalysisKindSettings* rdg_RunningSettings(CG2DDoc* document) {
    const int kind = RunningAnalysisKind();
    return document && kind >= 0 && kind < kPlotKindCount ? document->KindSettings(kind) : nullptr;
}

int rdg_Stride(int32_t value) { return value > 1 ? value : 1; }

}  // namespace

int ParseStrideText(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    long long n = 0;
    bool digits = false;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        digits = true;
        n = std::min<long long>(n * 10 + (text[i] - '0'), INT_MAX);
    }
    return digits && n >= 1 ? static_cast<int>(n) : 1;
}

CDataPointReductionDlg::CDataPointReductionDlg(CG2DDoc* document, AnalysisKindSettings* settings, unsigned dialogId,
                                               std::string message)
    : CDialog2(dialogId, nullptr, &rdg_rect),
      document_(document),
      settings_(settings),
      dialogId_(dialogId),
      message_(std::move(message)) {
    SetDescription(rdg_Description(dialogId));
}

bool CDataPointReductionDlg::OnInitDialog() {
    CDialog2::OnInitDialog();
    AnalysisKindSettings* settings = settings_;
    auto fill = [&](int id, int value) {
        for (int n : kReductionChoices) Add(id, rdg_Ordinal(n));
        const std::string text = rdg_Ordinal(value);
        const int item = FindItem(id, text);
        if (item >= 0)
            SetSel(id, item);
        else
            SetText(id, text);
    };
    if (dialogId_ == kExcessivePointsDialogId) {
        SetText(kIdExcessiveMessage, message_);
        fill(kIdDisplayEvery, proposedN_);
        return true;
    }
    fill(kIdDisplayEvery, settings ? rdg_Stride(settings->reduceDisplay) : 1);
    fill(kIdSaveEvery, settings ? rdg_Stride(settings->reduceSave) : 1);
    const bool hasCurves = document_ && !document_->Curves.empty();
    CheckRadio(kIdWhenNow, kIdWhenRunTime, hasCurves ? kIdWhenNow : kIdWhenRunTime);
    EnableControl(kIdWhenNow, hasCurves);
    if (document_ && document_->HasFftCurves()) EnableControl(kIdDisplayEvery, false);
    OnWhenChanged();
    return true;
}

void CDataPointReductionDlg::OnWhenChanged() {
    EnableControl(kIdSaveEvery, GetCheckedRadio(kIdWhenNow, kIdWhenRunTime) != kIdWhenNow);
}

void CDataPointReductionDlg::OnControl(int id, platform::Notify what) {
    if ((id == kIdWhenNow || id == kIdWhenRunTime) && what == platform::Notify::Clicked) OnWhenChanged();
    CDialog2::OnControl(id, what);
}

void CDataPointReductionDlg::OnOK() {
    const int display = ParseStrideText(GetText(kIdDisplayEvery));
    if (dialogId_ == kExcessivePointsDialogId) {
        chosenN_ = display;
        dontWarn_ = GetCheck(kIdDontWarnAgain) != 0;
    } else {
        if (settings_) {
            settings_->reduceDisplay = display;
            settings_->reduceSave = ParseStrideText(GetText(kIdSaveEvery));
        }
        now_ = GetCheckedRadio(kIdWhenNow, kIdWhenRunTime) == kIdWhenNow;
        chosenN_ = display;
    }
    EndDialogSavingRect(1);
}

bool ReduceDocumentPoints(CG2DDoc& document, int n) {
    return ReduceDataPoints(document.Curves, document.Store, document.Runs, n);
}

void ReduceDataPointsCommand(CG2DDoc& document) {
    if (AnalysisKindSettings* settings = rdg_RunningSettings(&document)) ReduceDataPointsCommand(document, *settings);
}

void ReduceDataPointsCommand(CG2DDoc& document, AnalysisKindSettings& settings) {
    const int32_t displayBefore = settings.reduceDisplay;
    CDataPointReductionDlg dialog(&document, &settings, kReductionDialogId, std::string());
    if (dialog.DoModal() != 1 || !dialog.Now()) return;
    ReduceDocumentPoints(document, dialog.ChosenN());
    // "Now" thins what is stored; later runs keep the stride they had.
    settings.reduceDisplay = displayBefore;
}

int CheckExcessiveDataPoints(CG2DDoc& document) {
    if (BatchMode() || DemoPlaying()) return 0;
    const PointCensus census = CountDataPoints(document.Curves);
    if (!Prefs().dataPointsWarning || !census.Excessive) return 0;
    char total[32];
    FormatThousands(total, static_cast<unsigned long long>(census.Total > 0 ? census.Total : 0));
    CDataPointReductionDlg dialog(&document, rdg_RunningSettings(&document), kExcessivePointsDialogId,
                                  std::string("There are ") + total + " data points.");
    dialog.SetProposedN(census.ProposedN);
    if (dialog.DoModal() != 1) return 0;
    if (dialog.DontWarnAgain()) Prefs().dataPointsWarning = 0;
    if (dialog.ChosenN() < 2) return 0;
    ReduceDocumentPoints(document, dialog.ChosenN());
    return 1;
}
