#include "analysis/tfdlg.h"

#include <algorithm>

#include "analysis/singlerun.h"
#include "analysis/start.h"
#include "compiler/analysisstmts.h"
#include "compiler/compiled.h"
#include "compiler/stmtstate.h"
#include "compiler/support.h"
#include "core/chars.h"
#include "core/result.h"
#include "document/ctdoc.h"
#include "engine/transfer.h"

namespace {

platform::Point tf_position{-1, -1};
constexpr size_t kRecentOutputs = 20;
constexpr int kOutputTextMax = 100;
constexpr int kInputTextMax = 50;

platform::DialogDesc tf_Description() {
    using platform::ControlDesc;
    using platform::ControlKind;
    platform::DialogDesc desc;
    desc.caption = "Transfer Function";
    desc.controls = {
        {ControlKind::Static, -1, "Output Expression", 7, 9, 80, 8, 0},
        {ControlKind::ComboBox, kIdTfOutput, "", 90, 7, 140, 80, platform::style::Editable},
        {ControlKind::Static, -1, "Input Source Name", 7, 26, 80, 8, 0},
        {ControlKind::ComboBox, kIdTfInput, "", 90, 24, 140, 80, platform::style::Editable},
        {ControlKind::Static, -1, "Transfer Function", 7, 47, 80, 8, 0},
        {ControlKind::Edit, kIdTfGain, "", 90, 45, 140, 12, platform::style::ReadOnly},
        {ControlKind::Static, -1, "Input Impedance", 7, 63, 80, 8, 0},
        {ControlKind::Edit, kIdTfInputImpedance, "", 90, 61, 140, 12, platform::style::ReadOnly},
        {ControlKind::Static, -1, "Output Impedance", 7, 79, 80, 8, 0},
        {ControlKind::Edit, kIdTfOutputImpedance, "", 90, 77, 140, 12, platform::style::ReadOnly},
        {ControlKind::DefaultButton, kIdTfCalculate, "Calculate", 7, 98, 50, 14, 0},
        {ControlKind::CheckBox, kIdTfPlaceText, "Place Text", 64, 100, 60, 10, 0},
        {ControlKind::Button, kIdTfClose, "&Close", 130, 98, 48, 14, 0},
        {ControlKind::Button, kCmdDialogHelp, "&Help...", 182, 98, 48, 14, 0},
    };
    desc.cx = 237;
    desc.cy = 119;
    return desc;
}

}  // namespace

std::vector<std::string> ListInputSources(CCTDoc* document) {
    std::vector<std::string> names;
    SingleRunRecord run(document, false);
    if (run.Begin()) return names;
    if (CompiledCircuit* compiled = FindCompiledCircuit(document)) {
        for (const auto& [part, link] : compiled->partLinks) {
            TransferSource source;
            if (!link.qualifiedName.empty() && FindTransferSource(document, link.qualifiedName.c_str(), source))
                names.push_back(link.qualifiedName);
        }
    }
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

CTransferFunctionDlg::CTransferFunctionDlg(CCTDoc* document)
    : CDialog2(kTransferFunctionTemplate, &tf_position, nullptr), document_(document) {
    SetDescription(tf_Description());
}

bool CTransferFunctionDlg::OnInitDialog() {
    CDialog2::OnInitDialog();
    SetLimitText(kIdTfOutput, kOutputTextMax);
    SetLimitText(kIdTfInput, kInputTextMax);
    for (const std::string& name : ListInputSources(document_)) Add(kIdTfInput, name);
    if (StatementState* state = GetStatementState(document_)) {
        for (const std::string& output : state->transferOutputs) Add(kIdTfOutput, output);
        if (!state->transferOutputs.empty()) SetText(kIdTfOutput, state->transferOutputs.front());
        SetText(kIdTfInput, state->transferInput);
    }
    // The text is placed on a schematic page only; no page takes it here.
    EnableControl(kIdTfPlaceText, false);
    return true;
}

void CTransferFunctionDlg::OnControl(int id, platform::Notify notification) {
    if (notification != platform::Notify::Clicked) return;
    if (id == kIdTfCalculate) {
        if (Calculate()) EndDialog(kDialogReopen);
    } else if (id == kIdTfClose) {
        EndDialog(2);
    }
}

int CTransferFunctionDlg::Calculate() {
    const std::string output = GetText(kIdTfOutput).substr(0, kOutputTextMax);
    const std::string input = GetText(kIdTfInput).substr(0, kInputTextMax);
    TransferResult result;
    int rc = 0;
    {
        SingleRunRecord run(document_, false);
        rc = run.Begin();
        if (!rc) {
            QuietRunHost host(document_);
            rc = ComputeTransferFunction(run.Open()->engine, document_, output.c_str(), input.c_str(), host, result);
        }
    }
    if (rc) {
        SetText(kIdTfGain, TransferErrorText(rc));
        SetText(kIdTfInputImpedance, "");
        SetText(kIdTfOutputImpedance, "N/A");
        return rc;
    }
    SetText(kIdTfGain, result.gain.text);
    SetText(kIdTfInputImpedance, result.inputImpedance.text);
    SetText(kIdTfOutputImpedance, result.outputImpedance.text);
    // The output heads the recent list; the source name is kept with it.
    if (StatementState* state = GetStatementState(document_)) {
        std::vector<std::string>& recent = state->transferOutputs;
        recent.erase(
            std::remove_if(recent.begin(), recent.end(),
                           [&](const std::string& e) { return CompareNoCase(e.c_str(), output.c_str()) == 0; }),
            recent.end());
        recent.insert(recent.begin(), output);
        if (recent.size() > kRecentOutputs) recent.resize(kRecentOutputs);
        state->transferInput = input;
        Reset(kIdTfOutput);
        for (const std::string& e : recent) Add(kIdTfOutput, e);
        SetText(kIdTfOutput, output);
    }
    document_->MarkDirty();
    return 0;
}

void TransferFunctionCommand(CCTDoc* document) {
    if (!document || RunningAnalysisKind() != -1) return;
    for (;;) {
        CTransferFunctionDlg dialog(document);
        if (dialog.DoModal() != kDialogReopen) return;
    }
}
