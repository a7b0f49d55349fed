#include "engine/convreport.h"

#include <cstdio>

#include "compiler/compiled.h"
#include "core/textfile.h"
#include "document/nodelabels.h"
#include "engine/stamps.h"

namespace {

std::string cr_Format(const char* format, const char* name, double value) {
    int length = std::snprintf(nullptr, 0, format, name, value);
    if (length <= 0) return std::string();
    std::string text(static_cast<size_t>(length) + 1, '\0');
    std::snprintf(text.data(), text.size(), format, name, value);
    text.resize(static_cast<size_t>(length));
    return text;
}

std::string cr_DeviceName(const SimulatorState& state, const FailureRecord& record) {
    if (!state.Circuit || !record.device || !record.device->part) return std::string();
    auto it = state.Circuit->partLinks.find(record.device->part);
    return it == state.Circuit->partLinks.end() ? std::string() : it->second.qualifiedName;
}

std::string cr_NodeName(const SimulatorState& state, const CCTDoc* document, int32_t node) {
    const char* name = document ? GetNodeName(document, node, 0, 0, 0) : nullptr;
    if (name && *name) return name;
    if (state.Circuit) {
        auto it = state.Circuit->internalNodeNames.find(node);
        if (it != state.Circuit->internalNodeNames.end()) return it->second;
    }
    return std::to_string(node);
}

// The texts of the kinds whose line needs only the name and the recorded
// value. The kinds that also print a device's present voltages or currents
// belong to the semiconductor and table loads, which keep those values in
// their own records.
const char* cr_Text(int32_t kind) {
    switch (kind) {
    case 6: return "Diode %s failed pn junction test.\n";
    case 8: return "JFET %s failed pn junction test.\n";
    case 11: return "GaAsFET %s failed pn junction test.\n";
    case 14: return "BJT %s failed pn junction test.\n";
    case 18: return "SWITCH %s\n";
    case 19: return "Inductor %s\n";
    case 20: return "Inductor %s M=%3.6e\n";
    case 21: return "Inductor %s V=%3.6e\n";
    case 22: return "Inductor %s Value=%3.6e\n";
    case 23: return "Poly source %s failed iterative check, value=%3.6e\n";
    case 24: return "Poly source %s failed input check.\n";
    case 25: return "Failed On node %s %3.6e\n";
    case 26: return "Resistor %s Value=%3.6e\n";
    case 27: return "Capacitor %s Value=%3.6e\n";
    case 28: return "Laplace Source %s\n";
    case 29: return "Table %s\n";
    case 30: return "Table3 %s\n";
    case 31: return "Function Source %s\n";
    case 32: return "Sample And Hold %s\n";
    default: return nullptr;
    }
}

// The semiconductor current tests print the predicted value recorded with
// the failure and the device's present value, which its record keeps.
const char* cr_CurrentTestText(int32_t kind) {
    switch (kind) {
    case 7: return "Diode %s failed cdhat=%3.6e id=%3.6e\n";
    case 9: return "JFET %s failed gate current test ighat=%3.6e ig=%3.6e\n";
    case 10: return "JFET %s failed drain current test idhat=%3.6e id=%3.6e\n";
    case 12: return "GaAsFET %s failed gate current test ighat=%3.6e ig=%3.6e\n";
    case 13: return "GaAsFET %s failed drain current test idhat=%3.6e id=%3.6e\n";
    case 15: return "BJT %s failed collector current test cchat=%3.6e ic=%3.6e\n";
    case 16: return "BJT %s failed base current test ibhat=%3.6e ib=%3.6e\n";
    case 17: return "BJT %s failed CS junction current test cshat=%3.6e ibs=%3.6e\n";
    default: return nullptr;
    }
}

double cr_PresentCurrent(const DeviceRecord* device, int32_t kind) {
    switch (kind) {
    case 7: return static_cast<const DiodeRecord*>(device)->idOut;
    case 9: return static_cast<const JfetRecord*>(device)->cg;
    case 10: return static_cast<const JfetRecord*>(device)->cd;
    case 12: return static_cast<const GaasfetRecord*>(device)->cg;
    case 13: return static_cast<const GaasfetRecord*>(device)->cd;
    case 15: return static_cast<const BipolarRecord*>(device)->ic;
    case 16: return static_cast<const BipolarRecord*>(device)->ib;
    default: return static_cast<const BipolarRecord*>(device)->isub;
    }
}

}  // namespace

std::string FormatConvergenceFailure(const SimulatorState& state, const CCTDoc* document, const FailureRecord& record) {
    if (const char* format = cr_CurrentTestText(record.kind)) {
        if (!record.device) return std::string();
        const std::string name = cr_DeviceName(state, record);
        const double present = cr_PresentCurrent(record.device, record.kind);
        const int length = std::snprintf(nullptr, 0, format, name.c_str(), record.value, present);
        if (length <= 0) return std::string();
        std::string text(static_cast<size_t>(length) + 1, '\0');
        std::snprintf(text.data(), text.size(), format, name.c_str(), record.value, present);
        text.resize(static_cast<size_t>(length));
        return text;
    }
    const char* format = cr_Text(record.kind);
    if (!format) return std::string();
    if (record.kind == kFailureNode) {
        const std::string name = cr_NodeName(state, document, record.node);
        const size_t node = static_cast<size_t>(record.node);
        const double value = node < state.PreviousSolution.size() ? state.PreviousSolution[node] : record.value;
        return cr_Format(format, name.c_str(), value);
    }
    return cr_Format(format, cr_DeviceName(state, record).c_str(), record.value);
}

void ReportConvergenceFailures(const SimulatorState& state, const CCTDoc* document, TextFile* batchLog,
                               TextFile* numericOutput) {
    const int count = state.Failures.count;
    if (count == 0) return;
    TextFile* out = nullptr;
    if (batchLog && batchLog->IsOpen())
        out = batchLog;
    else if (numericOutput && numericOutput->IsOpen()) {
        out = numericOutput;
        out->Printf("At Time= %g the following devices failed to converge.\n", state.Failures.time);
    }
    if (!out) return;
    for (int i = 0; i < count && i < kMaxFailureRecords; ++i) {
        const std::string line = FormatConvergenceFailure(state, document, state.Failures.records[i]);
        if (!line.empty()) out->Printf("%s", line.c_str());
    }
}
