#include "analysis/sensdlg.h"

#include <algorithm>
#include <cctype>

#include "analysis/logs.h"
#include "analysis/singlerun.h"
#include "analysis/start.h"
#include "analysis/tfdlg.h"
#include "compiler/analysisstmts.h"
#include "compiler/compiled.h"
#include "compiler/session.h"
#include "compiler/stmtstate.h"
#include "core/chars.h"
#include "core/cmdline.h"
#include "core/report_port.h"
#include "core/result.h"
#include "core/textfile.h"
#include "document/ctdoc.h"
#include "models/modelstmt.h"
#include "models/modeltypes.h"
#include "shell/document.h"

namespace {

platform::Point sd_position{-1, -1};

platform::DialogDesc sd_Description() {
    using platform::ControlDesc;
    using platform::ControlKind;
    namespace style = platform::style;
    platform::DialogDesc desc;
    desc.caption = "Sensitivity";
    desc.controls = {
        {ControlKind::ListView, kIdSensTable, "", 7, 7, 330, 120, 0},
        {ControlKind::GroupBox, -1, "Parameter Type", 7, 132, 110, 48, 0},
        {ControlKind::RadioButton, kIdSensComponent, "Component", 14, 143, 90, 10, style::Group},
        {ControlKind::RadioButton, kIdSensModel, "Model", 14, 155, 90, 10, 0},
        {ControlKind::RadioButton, kIdSensSymbolic, "Symbolic", 14, 167, 90, 10, 0},
        {ControlKind::GroupBox, -1, "Input Variables", 7, 184, 110, 36, 0},
        {ControlKind::RadioButton, kIdSensOne, "One", 14, 195, 40, 10, style::Group},
        {ControlKind::RadioButton, kIdSensMultiple, "Multiple", 60, 195, 50, 10, 0},
        {ControlKind::ListBox, kIdSensNames, "", 122, 132, 100, 88, 0},
        {ControlKind::ListBox, kIdSensParamOne, "", 227, 132, 110, 88, 0},
        {ControlKind::ListBox, kIdSensParamMultiple, "", 227, 132, 110, 88, style::MultiSelect | style::Hidden},
        {ControlKind::Button, kIdSensAllOn, "All On", 7, 226, 48, 14, 0},
        {ControlKind::Button, kIdSensDefault, "&Default", 59, 226, 48, 14, 0},
        {ControlKind::Button, kIdSensAllOff, "All Off", 111, 226, 48, 14, 0},
        {ControlKind::DefaultButton, kIdSensCalculate, "Calculate", 185, 226, 48, 14, 0},
        {ControlKind::Button, kIdSensClose, "&Close", 237, 226, 48, 14, 0},
        {ControlKind::Button, kCmdDialogHelp, "&Help...", 289, 226, 48, 14, 0},
    };
    desc.cx = 344;
    desc.cy = 247;
    return desc;
}

std::string sd_Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

std::vector<std::string> ListSensitivityNames(CCTDoc* document, int paramType) {
    std::vector<std::string> names;
    SingleRunRecord run(document, true);
    if (run.Begin()) return names;
    if (paramType == kSensComponent) {
        if (CompiledCircuit* compiled = FindCompiledCircuit(document)) {
            for (const auto& [part, link] : compiled->partLinks) {
                SensitivityInput probe;
                probe.name = link.qualifiedName;
                if (!probe.name.empty() && ResolveSensitivityInput(document, probe) == 0) names.push_back(probe.name);
            }
        }
    } else if (paramType == kSensModel) {
        if (CircuitModels* models = GetCircuitModels(document)) {
            for (int type = 0; type < kModelTypeCount; ++type) {
                const ModelTypeInfo* info = GetModelTypeInfo(type);
                if (!info || !info->Keyword) continue;
                for (PoolItem* item = models->ModelPools[type].first; item; item = item->next) {
                    auto* model = static_cast<ModelRecord*>(item);
                    if (model->StatementRow >= 0 && model->QualifiedName)
                        names.push_back(std::string(info->Keyword) + " " + model->QualifiedName);
                }
            }
        }
    }
    // Symbolic parameters are substituted by the compile, which a perturbed
    // operating point does not repeat: they are not offered.
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

std::vector<std::string> ListSensitivityParameters(const std::string& name) {
    const size_t blank = name.find(' ');
    if (blank == std::string::npos) return {"Value"};
    const int type = FindModelTypeByName(sd_Upper(name.substr(0, blank)).c_str());
    std::vector<std::string> parameters;
    for (int i = 0; i < ModelParamCount(type); ++i) {
        const ModelParamInfo* param = GetModelParamInfo(type, i);
        if (param && param->Name && param->Kind == 1) parameters.push_back(param->Name);
    }
    return parameters;
}

CSensitivityDlg::CSensitivityDlg(CCTDoc* document, SensitivitySettings& settings)
    : CDialog2(kSensitivityTemplate, &sd_position, nullptr), document_(document), settings_(settings) {
    SetDescription(sd_Description());
}

bool CSensitivityDlg::OnInitDialog() {
    CDialog2::OnInitDialog();
    const int width = GetItemRect(kIdSensTable).Width() / 3 - 1;
    for (const char* title : {"Output", "Sensitivity", "Sensitivity (%/%)"}) AddColumn(kIdSensTable, title, width);
    for (int j = 0; j < kSensitivityOutputs; ++j) {
        Add(kIdSensTable, settings_.outputs[j]);
        SetCellText(kIdSensTable, j, 0, settings_.outputs[j]);
    }
    const int type = settings_.paramType == kSensModel       ? kIdSensModel
                     : settings_.paramType == kSensComponent ? kIdSensComponent
                                                             : kIdSensSymbolic;
    CheckRadio(kIdSensComponent, kIdSensSymbolic, type);
    CheckRadio(kIdSensOne, kIdSensMultiple, settings_.multiple ? kIdSensMultiple : kIdSensOne);
    ShowMode();
    FillNames();
    return true;
}

void CSensitivityDlg::ShowMode() {
    ShowControl(kIdSensParamOne, !settings_.multiple);
    ShowControl(kIdSensParamMultiple, settings_.multiple);
    for (int id : {kIdSensAllOn, kIdSensDefault, kIdSensAllOff}) EnableControl(id, settings_.multiple);
}

void CSensitivityDlg::FillNames() {
    names_ = ListSensitivityNames(document_, settings_.paramType);
    Reset(kIdSensNames);
    for (const std::string& name : names_) Add(kIdSensNames, name);
    int selected = names_.empty() ? -1 : 0;
    if (!settings_.inputs.empty()) {
        const int found = FindItem(kIdSensNames, settings_.inputs.front().name);
        if (found >= 0) selected = found;
    }
    SetSel(kIdSensNames, selected);
    FillParameters();
}

void CSensitivityDlg::FillParameters() {
    const int list = ParameterList();
    Reset(list);
    const int nameIndex = GetSel(kIdSensNames);
    if (nameIndex < 0) return;
    const std::string name = GetItemText(kIdSensNames, nameIndex);
    for (const std::string& parameter : ListSensitivityParameters(name)) {
        const int item = Add(list, parameter);
        for (const SensitivityInput& input : settings_.inputs)
            if (CompareNoCase(input.name.c_str(), name.c_str()) == 0 &&
                CompareNoCase(input.parameter.c_str(), parameter.c_str()) == 0) {
                if (settings_.multiple)
                    SetItemSelected(list, item, true);
                else
                    SetSel(list, item);
            }
    }
}

// The parameter list's selection into the input variables: in One mode the
// single selection is the only input; in Multiple mode the name's entries
// follow the selected items.
void CSensitivityDlg::SyncSelection() {
    const int nameIndex = GetSel(kIdSensNames);
    if (nameIndex < 0) return;
    const std::string name = GetItemText(kIdSensNames, nameIndex);
    const int list = ParameterList();
    if (!settings_.multiple) settings_.inputs.clear();
    const int count = static_cast<int>(ListSensitivityParameters(name).size());
    for (int item = 0; item < count; ++item) {
        const std::string parameter = GetItemText(list, item);
        const bool selected = settings_.multiple ? IsItemSelected(list, item) : GetSel(list) == item;
        auto same = [&](const SensitivityInput& input) {
            return CompareNoCase(input.name.c_str(), name.c_str()) == 0 &&
                   CompareNoCase(input.parameter.c_str(), parameter.c_str()) == 0;
        };
        auto& inputs = settings_.inputs;
        const bool present = std::any_of(inputs.begin(), inputs.end(), same);
        if (present && !selected) inputs.erase(std::remove_if(inputs.begin(), inputs.end(), same), inputs.end());
        if (!present && selected) {
            SensitivityInput input;
            input.name = name;
            input.parameter = parameter;
            inputs.push_back(input);
        }
    }
}

void CSensitivityDlg::OnControl(int id, platform::Notify notification) {
    using platform::Notify;
    switch (id) {
    case kIdSensComponent:
    case kIdSensModel:
    case kIdSensSymbolic:
        if (notification != Notify::Clicked) return;
        settings_.paramType = id == kIdSensComponent ? kSensComponent : id == kIdSensModel ? kSensModel : kSensSymbolic;
        document_->MarkDirty();
        FillNames();
        return;
    case kIdSensOne:
    case kIdSensMultiple:
        if (notification != Notify::Clicked) return;
        settings_.multiple = id == kIdSensMultiple;
        ShowMode();
        FillParameters();
        if (!settings_.multiple) SyncSelection();
        return;
    case kIdSensNames:
        if (notification != Notify::SelChanged) return;
        FillParameters();
        if (!settings_.multiple) SyncSelection();
        return;
    case kIdSensParamOne:
    case kIdSensParamMultiple:
        if (notification == Notify::SelChanged) SyncSelection();
        return;
    case kIdSensAllOff:
        if (notification != Notify::Clicked) return;
        settings_.inputs.clear();
        FillParameters();
        return;
    case kIdSensAllOn:
    case kIdSensDefault:
        if (notification != Notify::Clicked) return;
        // Every parameter of every name of the type.
        settings_.inputs.clear();
        for (const std::string& name : names_)
            for (const std::string& parameter : ListSensitivityParameters(name)) {
                SensitivityInput input;
                input.name = name;
                input.parameter = parameter;
                settings_.inputs.push_back(input);
            }
        FillParameters();
        return;
    case kIdSensCalculate:
        if (notification == Notify::Clicked) Calculate();
        return;
    case kIdSensClose:
        if (notification == Notify::Clicked) OnCancel();
        return;
    default: return;
    }
}

void CSensitivityDlg::OnCancel() {
    for (int j = 0; j < kSensitivityOutputs; ++j) settings_.outputs[j] = GetCellText(kIdSensTable, j, 0);
    EndDialog(2);
}

int CSensitivityDlg::Calculate() {
    std::vector<std::string> outputs(kSensitivityOutputs);
    for (int j = 0; j < kSensitivityOutputs; ++j)
        outputs[static_cast<size_t>(j)] = settings_.outputs[j] = GetCellText(kIdSensTable, j, 0);
    SensitivityResult result;
    int rc = 0;
    const bool report = settings_.multiple;
    AnalysisMessageLogs& logs = AnalysisLogs();
    if (report && !settings_.inputs.empty()) {
        // Messages of the runs go into the report as they come.
        reportPath_ = SensitivityReportPath(document_->PathName());
        if ((rc = logs.OpenSensitivityLog(reportPath_))) {
            Reporter().Report(MessageRequest(rc).Args(reportPath_.c_str()));
            return kResultShown;
        }
    }
    {
        SingleRunRecord run(document_, true);
        rc = run.Begin();
        if (!rc) {
            QuietRunHost host(document_);
            rc = ComputeSensitivity(run.Open()->engine, document_, outputs, settings_.inputs, host, result);
        }
    }
    if (rc && rc != kResultShown) Reporter().Report(MessageRequest(rc));
    if (report) {
        if (logs.SensitivityLogOpen()) {
            const std::string text = FormatSensitivityReport(outputs, result);
            logs.SensitivityLog().Printf("%s", text.c_str());
            logs.CloseSensitivityLog();
            if (!BatchMode()) DocumentOpener().OpenFileOfKind(reportPath_.c_str(), kDocText);
        }
    } else if (!result.rows.empty()) {
        const SensitivityRow& row = result.rows.front();
        for (int j = 0; j < kSensitivityOutputs; ++j) {
            SetCellText(kIdSensTable, j, 1, row.absoluteText[j]);
            SetCellText(kIdSensTable, j, 2, row.relativeText[j]);
        }
    }
    document_->MarkDirty();
    return rc ? kResultShown : 0;
}

void SensitivityCommand(CCTDoc* document) {
    if (!document || RunningAnalysisKind() != -1) return;
    SensitivitySettings settings;
    if (StatementState* state = GetStatementState(document))
        for (int j = 0; j < kSensitivityOutputs; ++j) settings.outputs[j] = state->sensitivityOutputs[j];
    for (;;) {
        CSensitivityDlg dialog(document, settings);
        if (dialog.DoModal() != kDialogReopen) break;
    }
    if (StatementState* state = GetStatementState(document)) {
        for (int j = 0; j < kSensitivityOutputs; ++j) state->sensitivityOutputs[j] = settings.outputs[j];
        WriteSensitivityStatement(document);
    }
}
