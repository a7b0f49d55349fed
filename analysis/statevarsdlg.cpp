#include "analysis/statevarsdlg.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>

#include "analysis/start.h"
#include "compiler/compiled.h"
#include "compiler/session.h"
#include "core/memory.h"
#include "core/messages.h"
#include "core/numbers.h"
#include "core/result.h"
#include "document/ctdoc.h"
#include "document/parts.h"
#include "engine/state.h"
#include "engine/statefile.h"
#include "engine/transient.h"
#include "shell/filetypes.h"
#include "shell/report.h"

namespace {

const MessageRow kSvdMessageRows[] = {
    {kMsgCreateIcQuestion,
     "This command translates the voltages, currents, and states\nin this editor into .IC statements and places "
     "them in the\ntext area of the current circuit.\nDo you wish to continue?"},
    {5410, "The voltage value on the indicated node"},
    {5411, "The current value on the indicated inductor"},
    {5412, "The digital level on the indicated node"},
    {kStateFileFilter, "State Variable (*.TOP)|*.top|"},
};

constexpr char kLevelCharacters[] = "0RF1XZ?";
constexpr int kRowPitch = 13;

platform::Point svd_position{-1, -1};
CStateVarDlg* svd_active = nullptr;
std::unique_ptr<CStateVarDlg> svd_owner;
bool svd_changed = false;

std::string svd_Number(double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%+.5e", value);
    return text;
}

double svd_At(const std::vector<double>& v, int index) {
    return index > 0 && static_cast<size_t>(index) < v.size() ? v[static_cast<size_t>(index)] : 0.0;
}

platform::DialogDesc svd_Description(int rows) {
    using platform::ControlDesc;
    using platform::ControlKind;
    platform::DialogDesc desc;
    desc.caption = "State Variables Editor";
    const int shown = std::min(rows, kStateVariablesRows);
    desc.controls.push_back(ControlDesc{ControlKind::Static, kIdStateTitle, "", 7, 4, 300, 9, 0});
    const char* const titles[3] = {"Node Voltages", "Inductor Currents", "Node Levels"};
    for (int c = 0; c < 3; ++c)
        desc.controls.push_back(ControlDesc{ControlKind::Static, -1, titles[c], 7 + c * 110, 16, 100, 9, 0});
    for (int r = 0; r < shown; ++r) {
        const int y = 28 + r * kRowPitch;
        const int names[3] = {kIdStateVoltageName, kIdStateCurrentName, kIdStateLevelName};
        const int edits[3] = {kIdStateVoltage, kIdStateCurrent, kIdStateLevel};
        for (int c = 0; c < 3; ++c) {
            desc.controls.push_back(ControlDesc{ControlKind::Static, names[c] + r, "", 7 + c * 110, y + 2, 44, 8, 0});
            desc.controls.push_back(
                ControlDesc{ControlKind::Edit, edits[c] + r, "", 53 + c * 110, y, c == 2 ? 20 : 60, 12, 0});
        }
    }
    if (rows > kStateVariablesRows)
        desc.controls.push_back(ControlDesc{ControlKind::ScrollBar, kIdStateScroll, "", 335, 28, 8,
                                            kStateVariablesRows * kRowPitch, platform::style::Vertical});
    const int buttons = 28 + shown * kRowPitch + 6;
    const struct {
        int id;
        const char* text;
    } kButtons[] = {{2, "&Close"},
                    {kIdStateClear, "Clear"},
                    {kIdStateRead, "Read..."},
                    {kIdStateWrite, "Write..."},
                    {kIdStatePrint, "Print"},
                    {kIdStateCreateIc, ".IC..."},
                    {9, "&Help..."}};
    int x = 7;
    for (const auto& b : kButtons) {
        desc.controls.push_back(ControlDesc{ControlKind::Button, b.id, b.text, x, buttons, 44, 14, 0});
        x += 48;
    }
    desc.cx = 350;
    desc.cy = buttons + 21;
    return desc;
}

// The names the open analysis shows: node names (or numbers) and the
// inductors by their qualified names, a coupled winding by its coupling's
// name with ".LP" for the first winding and ".LS" for the others.
StateVariableNames svd_Names(OpenAnalysis& open) {
    StateVariableNames names;
    const OperatingPointData data = CollectOperatingPoint(open.document, open.engine.Solution);
    names.nodes = data.nodeNames;
    names.inductors = data.inductorNames;
    names.digitalNodes = data.digitalNames;
    if (CompiledCircuit* compiled = FindCompiledCircuit(open.document)) {
        for (PoolItem* item = compiled->devices[kListInductors].pool.first; item; item = item->next)
            names.inductorBranches.push_back(static_cast<InductorRecord*>(item)->branch);
    }
    names.inductorBranches.resize(names.inductors.size(), 0);
    return names;
}

// Where new statements go in a text: before its .END line, else at its end.
size_t svd_InsertPosition(const std::string& text) {
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        size_t i = start;
        while (i < end && (text[i] == ' ' || text[i] == '\t')) ++i;
        std::string word;
        while (i < end && !std::isspace(static_cast<unsigned char>(text[i])))
            word += static_cast<char>(std::tolower(static_cast<unsigned char>(text[i++])));
        if (word == ".end") return start;
        start = end + 1;
    }
    return text.size();
}

}  // namespace

void RegisterStateVariablesMessages() {
    RegisterMessages(kSvdMessageRows, static_cast<int>(sizeof kSvdMessageRows / sizeof kSvdMessageRows[0]));
}

bool& StateVariablesChanged() { return svd_changed; }

int StateVariableNames::Rows() const {
    return static_cast<int>(std::max({nodes.size(), inductors.size(), digitalNodes.size()}));
}

std::vector<std::string> BuildInitialConditionStatements(const StateVariableNames& names,
                                                         const std::vector<double>& solution,
                                                         const std::vector<char>& levels, int width) {
    std::vector<std::string> statements;
    auto statement = [&](const std::vector<std::string>& items) {
        if (items.empty()) return;
        std::string text = ".IC";
        size_t length = text.size();
        for (const std::string& item : items) {
            if (length + item.size() > static_cast<size_t>(width)) {
                text += "\r\n+ ";
                length = 2;
            }
            text += item;
            length += item.size();
        }
        statements.push_back(text + "\r\n");
    };
    char buffer[64];
    std::vector<std::string> items;
    for (size_t i = 0; i < names.nodes.size(); ++i) {
        if (names.nodes[i].empty()) continue;
        std::snprintf(buffer, sizeof buffer, "=%g", svd_At(solution, static_cast<int>(i) + 1));
        items.push_back(" V(" + names.nodes[i] + ")" + buffer);
    }
    statement(items);
    items.clear();
    for (size_t i = 0; i < names.digitalNodes.size() && i < levels.size(); ++i) {
        if (names.digitalNodes[i].empty()) continue;
        items.push_back(" D(" + names.digitalNodes[i] + ")=" + levels[i]);
    }
    statement(items);
    items.clear();
    for (size_t i = 0; i < names.inductors.size(); ++i) {
        if (names.inductors[i].empty()) continue;
        const int branch = i < names.inductorBranches.size() ? names.inductorBranches[i] : 0;
        std::snprintf(buffer, sizeof buffer, "=%g", svd_At(solution, branch));
        items.push_back(" I(" + names.inductors[i] + ")" + buffer);
    }
    statement(items);
    return statements;
}

std::string FormatStateVariableRows(const StateVariableNames& names, const std::vector<double>& solution,
                                    const std::vector<char>& levels) {
    auto widest = [](const std::vector<std::string>& list, int least) {
        size_t w = static_cast<size_t>(least);
        for (const std::string& s : list) w = std::max(w, s.size());
        return static_cast<int>(std::min<size_t>(w, 30));
    };
    const int w1 = widest(names.nodes, 13), w2 = widest(names.inductors, 8), w3 = widest(names.digitalNodes, 8);
    const bool hasNodes = !names.nodes.empty(), hasInductors = !names.inductors.empty(),
               hasDigital = !names.digitalNodes.empty();
    std::string out;
    char buffer[256];
    if (hasNodes) {
        std::snprintf(buffer, sizeof buffer, "%*s", w1 + 14, "Node Voltages");
        out += buffer;
    }
    if (hasInductors) {
        std::snprintf(buffer, sizeof buffer, "%*s", w2 + 17, "Inductor Currents");
        out += buffer;
    }
    if (hasDigital) {
        std::snprintf(buffer, sizeof buffer, "%*s", w3 + 5, "Node Levels");
        out += buffer;
    }
    out += "\n";
    for (int row = 0; row < names.Rows(); ++row) {
        const size_t i = static_cast<size_t>(row);
        std::string line;
        if (hasNodes) {
            const bool here = i < names.nodes.size();
            std::snprintf(buffer, sizeof buffer, " %-*.*s %-13s", w1, w1, here ? names.nodes[i].c_str() : "",
                          here ? svd_Number(svd_At(solution, row + 1)).c_str() : "");
            line += buffer;
        }
        if (hasInductors) {
            const bool here = i < names.inductors.size();
            const int branch = here && i < names.inductorBranches.size() ? names.inductorBranches[i] : 0;
            std::snprintf(buffer, sizeof buffer, "   %-*.*s %-13s", w2, w2, here ? names.inductors[i].c_str() : "",
                          here ? svd_Number(svd_At(solution, branch)).c_str() : "");
            line += buffer;
        }
        if (hasDigital) {
            const bool here = i < names.digitalNodes.size();
            std::snprintf(buffer, sizeof buffer, "   %-*.*s %c", w3, w3, here ? names.digitalNodes[i].c_str() : "",
                          here && i < levels.size() ? levels[i] : ' ');
            line += buffer;
        }
        while (!line.empty() && line.back() == ' ') line.pop_back();
        out += line + "\n";
    }
    return out;
}

// ---- the dialog -----------------------------------------------------------------------------------

CStateVarDlg::CStateVarDlg(CCTDoc* document, int kind, SimulatorState& state, StateVariableNames names)
    : CDialog2(kStateVariablesTemplate, &svd_position, nullptr),
      document_(document),
      kind_(kind),
      state_(state),
      names_(std::move(names)) {
    SetDescription(svd_Description(names_.Rows()));
}

CStateVarDlg::~CStateVarDlg() {
    if (svd_active == this) svd_active = nullptr;
}

int CStateVarDlg::ShownRows() const { return std::min(Rows(), kStateVariablesRows); }

bool CStateVarDlg::OnInitDialog() {
    CDialog2::OnInitDialog();
    if (Rows() > kStateVariablesRows) {
        SetRange(kIdStateScroll, 0, Rows() - kStateVariablesRows);
        SetPageSize(kIdStateScroll, kStateVariablesRows);
        SetPos(kIdStateScroll, 0);
    }
    // A DC analysis shows its state but takes no edits.
    if (kind_ == 2) {
        for (int r = 0; r < ShownRows(); ++r)
            for (int id : {kIdStateVoltage + r, kIdStateCurrent + r, kIdStateLevel + r}) SetReadOnly(id, true);
        for (int id : {kIdStateClear, kIdStateRead, kIdStateWrite, kIdStateCreateIc}) EnableControl(id, false);
    }
    FillRows();
    return true;
}

void CStateVarDlg::FillRows() {
    for (int r = 0; r < ShownRows(); ++r) {
        const int i = top_ + r + 1;
        const size_t at = static_cast<size_t>(i - 1);
        const bool node = at < names_.nodes.size();
        SetText(kIdStateVoltageName + r, node ? (names_.nodes[at].empty() ? "mem error" : names_.nodes[at]) : "");
        SetText(kIdStateVoltage + r, node ? svd_Number(svd_At(state_.Solution, i)) : "");
        EnableControl(kIdStateVoltage + r, node);
        const bool inductor = at < names_.inductors.size();
        SetText(kIdStateCurrentName + r, inductor ? names_.inductors[at] : "");
        SetText(kIdStateCurrent + r, inductor ? svd_Number(svd_At(state_.Solution, names_.inductorBranches[at])) : "");
        EnableControl(kIdStateCurrent + r, inductor);
        const bool digital = at < names_.digitalNodes.size();
        SetText(kIdStateLevelName + r, digital ? names_.digitalNodes[at] : "");
        SetText(kIdStateLevel + r, digital ? "X" : "");
        EnableControl(kIdStateLevel + r, digital);
    }
    char title[64];
    if (kind_ != 0)
        std::snprintf(title, sizeof title, "Operating Point State Variables");
    else
        std::snprintf(title, sizeof title, "Time =%g", state_.Time);
    SetText(kIdStateTitle, title);
}

void CStateVarDlg::ScrollTo(int top) {
    top = std::clamp(top, 0, std::max(0, Rows() - kStateVariablesRows));
    if (top == top_) return;
    top_ = top;
    if (Rows() > kStateVariablesRows) SetPos(kIdStateScroll, top_);
    FillRows();
}

void CStateVarDlg::StoreField(int id) {
    if (kind_ == 2) {
        // Nothing typed in a DC analysis reaches its state.
        FillRows();
        return;
    }
    const bool voltage = id >= kIdStateVoltage && id < kIdStateVoltage + kStateVariablesRows;
    const bool current = id >= kIdStateCurrent && id < kIdStateCurrent + kStateVariablesRows;
    if (!voltage && !current) return;
    const size_t at = static_cast<size_t>(top_ + (id % 100));
    int index = 0;
    if (voltage && at < names_.nodes.size()) index = static_cast<int>(at) + 1;
    if (current && at < names_.inductors.size()) index = names_.inductorBranches[at];
    if (index <= 0 || static_cast<size_t>(index) >= state_.Solution.size()) return;
    const size_t slot = static_cast<size_t>(index);
    int error = 0;
    const double value = ParseNumber(GetText(id).c_str(), &error);
    if (!error && std::isfinite(value)) {
        if (value != state_.Solution[slot]) svd_changed = true;
        std::vector<std::vector<double>*> vectors = {&state_.Solution, &state_.LastSolution};
        if (voltage) vectors.push_back(&state_.OlderSolution);
        for (std::vector<double>* v : vectors)
            if (slot < v->size()) (*v)[slot] = value;
    }
    SetText(id, svd_Number(state_.Solution[slot]));
}

void CStateVarDlg::OnOK() { StoreField(FocusedId()); }

void CStateVarDlg::OnCancel() {
    StoreField(FocusedId());
    SaveWindowRect();
    CloseModeless();
    if (svd_active == this) svd_active = nullptr;
}

void CStateVarDlg::OnPrompt(int id) {
    if (id >= kIdStateVoltage && id < kIdStateVoltage + kStateVariablesRows) id = 5410;
    if (id >= kIdStateCurrent && id < kIdStateCurrent + kStateVariablesRows) id = 5411;
    if (id >= kIdStateLevel && id < kIdStateLevel + kStateVariablesRows) id = 5412;
    CDialog2::OnPrompt(id);
}

void CStateVarDlg::Clear() {
    TransientRun zero;  // State Variables option Zero
    InitializeDeviceStates(state_, zero);
    FillRows();
    svd_changed = true;
}

int CStateVarDlg::ReadFile(const std::string& path) {
    TransientRun zero;
    InitializeDeviceStates(state_, zero);
    const int rc = SaveStateVariables(state_, nullptr, false, path);
    FillRows();
    svd_changed = true;
    return rc;
}

int CStateVarDlg::WriteFile(const std::string& path) {
    if (state_.Formula.TimeStep == 0.0) state_.Formula.TimeStep = state_.MaxTimeStep / 2;
    const int rc = SaveStateVariables(state_, nullptr, true, path);
    svd_changed = true;
    return rc;
}

int CStateVarDlg::Print(const std::string& path) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return kResultCannotAccess;
    out << GetText(kIdStateTitle) << "\n" << FormatStateVariableRows(names_, state_.Solution, {});
    return out.good() ? int{kOk} : int{kResultNoSpace};
}

int CStateVarDlg::CreateInitialConditions() {
    if (ReportMessage(Message(kMsgCreateIcQuestion).Style(mbstyle::YesNo | mbstyle::IconQuestion)) !=
        platform::dlgid::Yes)
        return kOk;
    if (!document_) return kOk;
    const int page = document_->GetTextPageIndex();
    if (page < 0) return kOk;
    const int width = FindCompileSession(document_) ? FindCompileSession(document_)->options.settings.width : 80;
    const std::vector<std::string> statements =
        BuildInitialConditionStatements(names_, state_.Solution, {}, width > 0 ? width : 80);
    if (statements.empty()) return kOk;
    document_->PushUndo(0, "Create .IC");
    char* raw = CopyTextPageText(document_, page);
    std::string text = raw ? raw : "";
    FreeString(&raw);
    size_t at = svd_InsertPosition(text);
    if (at == text.size() && !text.empty() && text.back() != '\n') {
        text += "\r\n";
        at = text.size();
    }
    std::string inserted;
    for (const std::string& s : statements) inserted += s;
    text.insert(at, inserted);
    StoreTextPageText(document_, page, text.c_str());
    return kOk;
}

void CStateVarDlg::OnControl(int id, platform::Notify notification) {
    using platform::Notify;
    if (notification == Notify::FocusOut) {
        StoreField(id);
        return;
    }
    if (notification == Notify::SelChanged && id == kIdStateScroll) {
        ScrollTo(GetPos(kIdStateScroll));
        return;
    }
    if (notification == Notify::Clicked) {
        const std::string proposed =
            document_ ? StateVariablesFileName(document_->PathName() ? document_->PathName() : "") : "";
        char path[4096];
        std::snprintf(path, sizeof path, "%s", proposed.c_str());
        int rc = kOk;
        switch (id) {
        case kIdStateClear: Clear(); return;
        case kIdStateRead:
            if (ShowOpenFileDialog(this, nullptr, path, sizeof path, kStateFileFilter, "Open States Variables") != 1)
                return;
            rc = ReadFile(path);
            break;
        case kIdStateWrite:
            if (ShowSaveFileDialog(this, nullptr, path, sizeof path, kStateFileFilter, nullptr) != 1) return;
            rc = WriteFile(path);
            break;
        case kIdStatePrint: {
            std::string svv = proposed;
            if (svv.size() > 3) svv.replace(svv.size() - 3, 3, "SVV");
            rc = Print(svv);
            FocusControl(kIdStatePrint);
            break;
        }
        case kIdStateCreateIc: rc = CreateInitialConditions(); break;
        default: CDialog2::OnControl(id, notification); return;
        }
        if (rc && rc != kResultShown) ReportMessage(Message(rc));
        return;
    }
    CDialog2::OnControl(id, notification);
}

int OpenStateVariablesEditor() {
    OpenAnalysis* open = CurrentAnalysis();
    if (!open) return kOk;
    if (svd_active) {
        svd_active->FillRows();
        return kOk;
    }
    StateVariableNames names = svd_Names(*open);
    if (names.Rows() == 0) return kOk;
    svd_owner.reset();
    auto dialog = std::make_unique<CStateVarDlg>(open->document, open->kind, open->engine, std::move(names));
    if (!dialog->CreateModeless()) return kResultNoMemory;
    svd_active = dialog.get();
    svd_owner = std::move(dialog);
    return kOk;
}

void CloseStateVariablesEditor() {
    if (svd_active) svd_active->OnCancel();
    svd_owner.reset();
}

CStateVarDlg* ActiveStateVariablesEditor() { return svd_active; }
