// Analysis > Transfer Function...: the gain from an input source to an output
// expression at the operating point, the input impedance the source sees and
// the output impedance at the output, each from quiet single runs.
#pragma once

#include <string>
#include <vector>

#include "shell/dialogs.h"

class CCTDoc;

constexpr unsigned kTransferFunctionTemplate = 17230;
enum TransferFunctionControl : int {
    kIdTfOutput = 17231,
    kIdTfInput = 17232,
    kIdTfGain = 17233,
    kIdTfInputImpedance = 17234,
    kIdTfOutputImpedance = 17235,
    kIdTfCalculate = 17236,
    kIdTfPlaceText = 17237,
    kIdTfClose = 23,
};
// The dialog ends with this to be opened again (a run could not be made).
constexpr int kDialogReopen = 4;

class CTransferFunctionDlg : public CDialog2 {
public:
    explicit CTransferFunctionDlg(CCTDoc* document);

    bool OnInitDialog() override;
    void OnControl(int id, platform::Notify notification) override;
    // Closing keeps the output and source as the circuit's statement.
    void OnCancel() override;

    // Computes the three quantities of the output and input fields into the
    // result fields: 0, or the code of a run that could not be made (the
    // dialog then ends to be opened again).
    int Calculate();

private:
    CCTDoc* document_;
};

// The parts of the circuit an input may name (independent sources), sorted;
// the circuit is compiled for the look-up and released again.
std::vector<std::string> ListInputSources(CCTDoc* document);

// The command on the topmost circuit window (nothing without one).
void TransferFunctionCommand(CCTDoc* document);

// The text with every top-level statement of `keyword` (".TF", ".SENS";
// continuation lines included, comment lines kept) replaced by one
// `statement` at the place of the first, or before .END when there was none,
// or at the end. The text's own line ends are kept.
std::string ReplaceAnalysisStatement(const std::string& text, const char* keyword, const std::string& statement);
// A SPICE text circuit keeps what a dialog last used as its statement:
// ".TF <output> <source>" (none without an output) or ".sens <outputs>",
// written into its text page with an undo entry. Nothing for a schematic or
// in a batch run.
void WriteTransferStatement(CCTDoc* document);
void WriteSensitivityStatement(CCTDoc* document);
