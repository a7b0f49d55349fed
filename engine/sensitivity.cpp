#include "engine/sensitivity.h"

#include <strings.h>
#include <algorithm>
#include <cstdio>

#include "compiler/compiled.h"
#include "compiler/scanner.h"
#include "compiler/session.h"
#include "core/messages.h"
#include "core/result.h"
#include "engine/dcsweep.h"
#include "engine/transfer.h"
#include "models/modelstmt.h"
#include "models/modeltypes.h"

namespace {

const MessageRow kSensitivityMessageRows[] = {
    {kMsgNeedInput, "%ENeed to select an input variable."},
    {kMsgNeedOutput, "%ENeed to enter an output expression."},
};

template <typename Record>
double* se_ValueOf(CompiledCircuit* circuit, int list, const SchematicObject* part) {
    for (PoolItem* item = circuit->devices.lists[list].pool.first; item; item = item->next) {
        if (item->type == kPoolItemDead) continue;
        auto* record = static_cast<Record*>(item);
        if (record->part == part) return &record->working;
    }
    return nullptr;
}

template <typename Op>
void se_ForEachModel(CCTDoc* document, const SensitivityInput& input, Op op) {
    CircuitModels* models = document ? GetCircuitModels(document) : nullptr;
    if (!models || input.modelType < 0 || input.modelType >= kModelTypeCount) return;
    for (PoolItem* item = models->ModelPools[input.modelType].first; item; item = item->next) {
        if (item->type == kPoolItemDead) continue;
        auto* model = static_cast<ModelRecord*>(item);
        if (model->QualifiedName && model->Values && strcasecmp(model->QualifiedName, input.modelName.c_str()) == 0)
            op(model);
    }
}

std::string se_Format(const char* format, double value) {
    char text[48];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// A text right-aligned in a field (as "%*s") or left-aligned (as "%-*s").
std::string se_Right(const std::string& text, int width) {
    const size_t pad = width > 0 && static_cast<size_t>(width) > text.size() ? width - text.size() : 0;
    return std::string(pad, ' ') + text;
}
std::string se_Left(const std::string& text, int width) {
    const size_t pad = width > 0 && static_cast<size_t>(width) > text.size() ? width - text.size() : 0;
    return text + std::string(pad, ' ');
}

bool se_Empty(const std::vector<std::string>& outputs, size_t j) {
    return j >= outputs.size() || outputs[j].find_first_not_of(" \t") == std::string::npos;
}

}  // namespace

void RegisterSensitivityMessages() {
    RegisterMessages(kSensitivityMessageRows,
                     static_cast<int>(sizeof kSensitivityMessageRows / sizeof kSensitivityMessageRows[0]));
}

int ResolveSensitivityInput(CCTDoc* document, SensitivityInput& input) {
    input.target = nullptr;
    input.modelType = input.paramIndex = -1;
    CompiledCircuit* circuit = document ? FindCompiledCircuit(document) : nullptr;
    if (!circuit) return kMsgSourceNotFound;
    if (strcasecmp(input.parameter.c_str(), "Value") == 0) {
        const SchematicObject* part = FindPart(input.name.c_str(), -1);
        if (!part) return kMsgSourceNotFound;
        double* value = se_ValueOf<ResistorRecord>(circuit, kListResistors, part);
        if (!value) value = se_ValueOf<CapacitorRecord>(circuit, kListCapacitors, part);
        if (!value) value = se_ValueOf<InductorRecord>(circuit, kListInductors, part);
        if (!value) {
            TransferSource source;
            if (FindTransferSource(document, input.name.c_str(), source)) value = source.level;
        }
        if (!value) return kMsgSourceNotFound;
        input.target = value;
        return kOk;
    }
    // A model: its type keyword, a blank and its name.
    const size_t blank = input.name.find(' ');
    if (blank == std::string::npos) return kMsgSourceNotFound;
    std::string keyword = input.name.substr(0, blank);
    for (char& c : keyword) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    input.modelType = FindModelTypeByName(keyword.c_str());
    input.modelName = input.name.substr(input.name.find_first_not_of(' ', blank));
    bool found = false;
    se_ForEachModel(document, input, [&](ModelRecord*) { found = true; });
    if (!found) {
        input.modelType = -1;
        return kMsgSourceNotFound;
    }
    input.paramIndex = FindModelParamIndex(input.modelType, input.parameter.c_str());
    if (input.paramIndex < 0) return kMsgUnknownModelParam;
    return kOk;
}

int ComputeSensitivity(SimulatorState& state, CCTDoc* document, const std::vector<std::string>& outputs,
                       std::vector<SensitivityInput>& inputs, SensitivityHost& host, SensitivityResult& result) {
    result = SensitivityResult();
    if (inputs.empty()) return kMsgNeedInput;
    bool anyOutput = false;
    for (size_t j = 0; j < kSensitivityOutputs; ++j) anyOutput = anyOutput || !se_Empty(outputs, j);
    if (!anyOutput) return kMsgNeedOutput;

    if (int code = SolveQuietOperatingPoint(state, host)) return code;
    bool nominalFailed = false;
    for (size_t j = 0; j < kSensitivityOutputs; ++j) {
        if (se_Empty(outputs, j)) continue;
        result.nominalError[j] = EvaluateOutputOnce(outputs[j].c_str(), result.nominal[j]);
        nominalFailed = nominalFailed || result.nominalError[j] != 0;
    }

    for (SensitivityInput& input : inputs) {
        if (int code = ResolveSensitivityInput(document, input)) return code;
        const bool model = input.paramIndex >= 0;
        SensitivityRow row;
        row.label = input.name + "." + input.parameter;
        int code = kOk;
        double perturbed[kSensitivityOutputs] = {};
        if (model) {
            // The statement values are perturbed and set up, as any run
            // prepares its models; the user value is what is raised.
            if ((code = host.RestoreModelValues(state))) return code;
            se_ForEachModel(document, input, [&](ModelRecord* m) { row.p0 = m->Values[input.paramIndex]; });
        } else {
            row.p0 = *input.target;
        }
        row.p1 = row.p0 * kSensitivityStep;
        if (row.p0 != 0.0) {
            if (model) {
                se_ForEachModel(document, input, [&](ModelRecord* m) { m->Values[input.paramIndex] = row.p1; });
                code = host.SetupAtTemperature(state);
            } else {
                *input.target = row.p1;
            }
            if (!code) code = SolveQuietOperatingPoint(state, host);
            for (size_t j = 0; j < kSensitivityOutputs && !code; ++j) {
                if (se_Empty(outputs, j) || result.nominalError[j]) continue;
                if (int error = EvaluateOutputOnce(outputs[j].c_str(), perturbed[j])) result.nominalError[j] = error;
            }
        }
        // The input goes back whatever happened.
        if (model) {
            int restore = host.RestoreModelValues(state);
            if (!restore) restore = host.SetupAtTemperature(state);
            if (!code) code = restore;
        } else {
            *input.target = row.p0;
        }
        if (code == kResultStopped || state.LastRunKey == 27) {
            result.stopped = true;
            return kResultStopped;
        }
        if (code) return code;

        const double delta = row.p0 - row.p1;
        for (size_t j = 0; j < kSensitivityOutputs; ++j) {
            if (se_Empty(outputs, j)) continue;
            const double o0 = result.nominal[j];
            if (row.p0 == 0.0) {
                row.absoluteText[j] = row.relativeText[j] = "N/A";
            } else if (result.nominalError[j]) {
                row.absoluteText[j] = row.relativeText[j] = "error";
            } else if (delta == 0.0) {
                row.absoluteText[j] = row.relativeText[j] = "inf";
            } else {
                // + 0.0: an output that does not move shows 0, not -0.
                row.sensitivity[j] = (o0 - perturbed[j]) / delta + 0.0;
                row.absoluteText[j] = se_Format("%g", row.sensitivity[j]);
                if (o0 == 0.0) {
                    row.relativeText[j] = "inf";
                } else {
                    row.relative[j] = row.p0 / o0 * row.sensitivity[j];
                    row.relativeText[j] = se_Format("%g", row.relative[j]);
                }
            }
        }
        result.rows.push_back(std::move(row));
        // An output that failed at the nominal point fails for every input.
        if (nominalFailed) break;
    }
    return kOk;
}

std::string FormatSensitivityReport(const std::vector<std::string>& outputs, const SensitivityResult& result) {
    int width = 0;
    for (const SensitivityRow& row : result.rows) width = std::max(width, static_cast<int>(row.label.size()));
    // Each output's expression centred over its two columns (36 characters).
    std::string text(static_cast<size_t>(width + 18), ' ');
    for (size_t j = 0; j < kSensitivityOutputs; ++j) {
        if (se_Empty(outputs, j)) continue;
        const int before = std::max((36 - static_cast<int>(outputs[j].size())) / 2, 0);
        text += std::string(static_cast<size_t>(before), ' ') + se_Left(outputs[j], 36 - before);
    }
    text += "\n" + se_Left("Name", width + 1) + se_Right("Value", 17);
    for (size_t j = 0; j < kSensitivityOutputs; ++j)
        if (!se_Empty(outputs, j)) text += " " + se_Right("Sensitivity", 17) + " " + se_Right("Sensitivity (%/%)", 17);
    text += "\n";
    for (const SensitivityRow& row : result.rows) {
        if (row.p0 == 0.0) continue;
        text += se_Left(row.label, width) + " " + se_Right(se_Format("%g", row.p0), 17);
        for (size_t j = 0; j < kSensitivityOutputs; ++j)
            if (!se_Empty(outputs, j))
                text += " " + se_Right(row.absoluteText[j], 17) + " " + se_Right(row.relativeText[j], 17);
        text += "\n";
    }
    return text;
}

std::string SensitivityReportPath(const std::string& circuitPath) {
    const size_t slash = circuitPath.find_last_of('/');
    const size_t dot = circuitPath.find_last_of('.');
    const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    const std::string stem = hasExtension ? circuitPath.substr(0, dot) : circuitPath;
    const bool sen = hasExtension && strcasecmp(circuitPath.c_str() + dot, ".SEN") == 0;
    return stem + (sen ? ".OUT" : ".sen");
}
