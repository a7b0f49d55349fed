// The Data Point Reduction dialog (on request, command 18700) and the warning
// after a run with an excessive number of data points (dialog 462): both edit
// the "Display every" stride of the running analysis kind, the first also its
// "Save every" stride, and can thin out the points already stored.
#pragma once

#include <string>

#include "shell/dialogs.h"

class CG2DDoc;
struct AnalysisKindSettings;

constexpr unsigned kReductionDialogId = 18700;
constexpr unsigned kExcessivePointsDialogId = 462;
constexpr int kCmdReduceDataPoints = 18700;

// Controls.
constexpr int kIdSaveEvery = 18701;
constexpr int kIdDisplayEvery = 18702;
constexpr int kIdWhenNow = 18703;
constexpr int kIdWhenRunTime = 18704;
constexpr int kIdExcessiveMessage = 802;
constexpr int kIdDontWarnAgain = 112;

class CDataPointReductionDlg : public CDialog2 {
public:
    // `dialogId` is kReductionDialogId or kExcessivePointsDialogId; `settings`
    // the running kind's (the strides it edits); `message` the warning's first line.
    CDataPointReductionDlg(CG2DDoc* document, AnalysisKindSettings* settings, unsigned dialogId, std::string message);

    bool OnInitDialog() override;
    void OnControl(int id, platform::Notify what) override;
    void OnOK() override;

    // After OK: "Now" chosen (reduction dialog), the N the warning took and
    // the "Don't warn me anymore." box.
    bool Now() const { return now_; }
    int ChosenN() const { return chosenN_; }
    bool DontWarnAgain() const { return dontWarn_; }
    // The stride the warning proposes.
    void SetProposedN(int n) { proposedN_ = n; }

private:
    void OnWhenChanged();

    CG2DDoc* document_;
    AnalysisKindSettings* settings_;
    unsigned dialogId_;
    std::string message_;
    int proposedN_ = 1;
    bool now_ = false;
    int chosenN_ = 1;
    bool dontWarn_ = false;
};

// The 21 strides the combos offer, as ordinals ("1st" ... "1000th").
extern const int kReductionChoices[21];
// The leading integer of a combo text ("15th" is 15); 1 when there is none or
// it is below 1.
int ParseStrideText(const std::string& text);

// Command 18700: the dialog for the running kind; with "Now" the stored points
// are reduced at once. Nothing while no analysis runs.
void ReduceDataPointsCommand(CG2DDoc& document);
// The same on the given settings of the running kind.
void ReduceDataPointsCommand(CG2DDoc& document, AnalysisKindSettings& settings);
// After a run (not in batch runs or demo playback): when the warning is on and
// the largest analog curve holds more than 1,000,000 points, the warning
// proposes a stride; 1 when the points were reduced.
int CheckExcessiveDataPoints(CG2DDoc& document);
// Keeps every n-th point of every analog curve of the document (and each run's
// ends); true when a curve was reduced. The plot is redrawn from the store.
bool ReduceDocumentPoints(CG2DDoc& document, int n);
