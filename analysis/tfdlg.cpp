#include "analysis/tfdlg.h"

#include <algorithm>
#include <cctype>

#include "analysis/singlerun.h"
#include "analysis/start.h"
#include "compiler/analysisstmts.h"
#include "compiler/compiled.h"
#include "compiler/stmtstate.h"
#include "compiler/support.h"
#include "core/chars.h"
#include "core/cmdline.h"
#include "core/memory.h"
#include "core/result.h"
#include "document/cirdoc.h"
#include "document/ctdoc.h"
#include "document/parts.h"
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
        OnCancel();
    }
}

void CTransferFunctionDlg::OnCancel() {
    WriteTransferStatement(document_);
    EndDialog(2);
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

// ---- the statement in the circuit's text ------------------------------------------------------

namespace {

std::string tf_Trimmed(const std::string& line) {
    const size_t first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos) return "";
    return line.substr(first, line.find_last_not_of(" \t\r") - first + 1);
}

// The first word of a line, upper case.
std::string tf_Keyword(const std::string& line) {
    const std::string trimmed = tf_Trimmed(line);
    std::string word = trimmed.substr(0, trimmed.find_first_of(" \t("));
    for (char& c : word) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return word;
}

void tf_WriteStatement(CCTDoc* document, const char* keyword, const std::string& statement, const char* label) {
    if (!document || BatchMode() || dynamic_cast<CCirDoc*>(document)) return;
    const int page = document->GetTextPageIndex();
    if (page < 0) return;
    char* raw = CopyTextPageText(document, page);
    const std::string text = raw ? raw : "";
    FreeString(&raw);
    const std::string rewritten = ReplaceAnalysisStatement(text, keyword, statement);
    if (rewritten == text) return;
    document->PushUndo(0, label);
    StoreTextPageText(document, page, rewritten.c_str());
    document->SetModifiedFlag(true);
}

}  // namespace

std::string ReplaceAnalysisStatement(const std::string& text, const char* keyword, const std::string& statement) {
    std::vector<std::string> lines;
    for (size_t at = 0; at < text.size();) {
        const size_t end = text.find('\n', at);
        lines.push_back(text.substr(at, end == std::string::npos ? std::string::npos : end - at));
        at = end == std::string::npos ? text.size() : end + 1;
    }
    // The title line, which is never changed, tells the text's line ends.
    const bool crlf = !lines.empty() && !lines.front().empty() && lines.front().back() == '\r';
    const std::string wanted = keyword;
    std::vector<std::string> kept;
    int place = -1, endLine = -1, depth = 0, openedAt = -1;
    bool inStatement = false, done = false;
    for (const std::string& line : lines) {
        const std::string trimmed = tf_Trimmed(line);
        // The first line of a SPICE text is its title, whatever it says.
        if (done || &line == &lines.front()) {
            kept.push_back(line);
            continue;
        }
        // A continuation belongs to the statement before it; comments stay.
        if (!trimmed.empty() && trimmed[0] == '+' && inStatement) continue;
        if (!trimmed.empty() && trimmed[0] == '*') {
            kept.push_back(line);
            continue;
        }
        inStatement = false;
        const std::string word = tf_Keyword(line);
        if (word == ".SUBCKT" && depth++ == 0) openedAt = static_cast<int>(kept.size());
        if (word == ".ENDS" && depth > 0) --depth;
        if (word == ".END") {
            endLine = static_cast<int>(kept.size());
            done = true;
        } else if (depth == 0 && word == wanted) {
            if (place < 0) place = static_cast<int>(kept.size());
            inStatement = true;
            continue;
        }
        kept.push_back(line);
    }
    // A subcircuit left open before .END (or the end) would take in the
    // statement: it goes before that subcircuit instead.
    if (place < 0) place = depth > 0 ? openedAt : endLine;
    if (!statement.empty()) {
        // A text without even a title gets an empty one: the statement must
        // not become the title.
        if (kept.empty()) kept.push_back("");
        const std::string line = statement + (crlf ? "\r" : "");
        if (place >= 0)
            kept.insert(kept.begin() + place, line);
        else
            kept.push_back(line);
    }
    std::string out;
    for (size_t i = 0; i < kept.size(); ++i) {
        out += kept[i];
        if (i + 1 < kept.size() || (!text.empty() && text.back() == '\n') || text.empty()) out += "\n";
    }
    return out;
}

void WriteTransferStatement(CCTDoc* document) {
    StatementState* state = GetStatementState(document);
    if (!state || state->transferOutputs.empty() || state->transferOutputs.front().empty()) return;
    tf_WriteStatement(document, ".TF", ".TF " + state->transferOutputs.front() + " " + state->transferInput,
                      ".TF Update");
}

void WriteSensitivityStatement(CCTDoc* document) {
    StatementState* state = GetStatementState(document);
    if (!state) return;
    // Only the outputs that are there: the statement reads its words back in order.
    std::string statement = ".sens";
    for (const std::string& output : state->sensitivityOutputs)
        if (!tf_Trimmed(output).empty()) statement += " " + tf_Trimmed(output);
    tf_WriteStatement(document, ".SENS", statement, ".Sens Update");
}
