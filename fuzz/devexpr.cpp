// Device expressions and quantity binding: the input is a part's value text
// (so from circuit files and SPICE decks). A small circuit of a source,
// resistors, a capacitor, an inductor and a current source is set up with the
// input as one resistor's value; the text is also trial-compiled before
// numbering (making current meters), compiled after it against the solution,
// and evaluated; the checks then run on what the meters changed. The first
// byte picks the analysis kind and the AC current set.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "compiler/compiled.h"
#include "compiler/dcpath.h"
#include "compiler/defines.h"
#include "compiler/devexpr.h"
#include "compiler/numbering.h"
#include "compiler/session.h"
#include "compiler/setup.h"
#include "compiler/support.h"
#include "compiler/topology.h"
#include "core/memory.h"
#include "core/result.h"
#include "document/attributes.h"
#include "document/cirdoc.h"
#include "document/component_defs.h"
#include "expr/evaluate.h"
#include "expr/runstate.h"
#include "fuzz/fuzz_support.h"
#include "shell/document.h"

namespace {

struct dx_Circuit {
    std::unique_ptr<CCirDoc> document = std::make_unique<CCirDoc>();
    std::vector<std::unique_ptr<ComponentDef>> definitions;

    void Add(int type, const char* name, const std::string& value, std::vector<int> pins) {
        definitions.push_back(std::make_unique<ComponentDef>());
        definitions.back()->type = type;
        SchematicObject* part = document->NewSchematicObject();
        part->objectKind = kObjectComponent;
        part->definition = definitions.back().get();
        part->level = 1;
        part->pinCount = static_cast<int32_t>(pins.size());
        part->pinNodes = static_cast<int32_t*>(MemAllocZero(sizeof(int32_t) * (pins.size() + 1)));
        for (size_t i = 0; i < pins.size(); ++i) part->pinNodes[i] = pins[i];
        SetAttribute(document.get(), part, kAttrPart, name);
        SetAttribute(document.get(), part, kAttrValue, value.c_str());
    }
};

void dx_Run(const std::string& text, int kind, int complexCurrents) {
    dx_Circuit circuit;
    CCTDoc* document = circuit.document.get();
    CurrentRunContext().circuitDocument = document;
    if (InitRootScopes(document) != 0) return;
    CompiledCircuit* compiled = GetCompiledCircuit(document);
    if (!compiled) return;
    compiled->analogNodeCount = 3;
    circuit.Add(kTypeVSpice, "V1", "5", {1, 0});
    circuit.Add(kTypeResistor, "R1", "1k", {1, 2});
    circuit.Add(kTypeResistor, "R2", text, {2, 0});
    circuit.Add(kTypeCapacitor, "C1", "1u", {2, 3});
    circuit.Add(kTypeInductor, "L1", "1m", {3, 0});
    circuit.Add(kTypeISpice, "I1", "1m", {3, 0});
    CheckNodeConnections(document, 1);
    SetAnalysisKind(kind);
    int status = ProcessComponents(document);
    DeviceExpression trial;
    {
        DeviceListScope scope(compiled->devices);
        trial.pendingText = text;
        CompileDeviceExpression(document, &trial, complexCurrents, nullptr, &status, nullptr, 1);
        const int n = NumberSimulatorObjects(compiled);
        if (n != compiled->unknownCount || n < compiled->analogNodeCount) __builtin_trap();
        if (!status) status = AllocateSolutionVectors(compiled, kFirstVectorGroup);
        if (!status) status = ProcessDeviceExpressions(document, status);
        DeviceExpression bound;
        bound.pendingText = text;
        CompileDeviceExpression(document, &bound, complexCurrents, nullptr, &status, nullptr, 2);
        if (!status && bound.compiled.TokenCount() && compiled->solution.size() > 0) {
            gSolver.RealSolution = compiled->solution.data();
            gSolver.realCount = static_cast<int32_t>(compiled->solution.size());
            ComplexNumber value{0, 0};
            EvaluateExpression(&bound.compiled, &value);
            gSolver.RealSolution = nullptr;
            gSolver.realCount = 0;
        }
        CheckVoltageLoops(document, compiled->analogNodeCount);
        BuildNodeAdjacency(document, compiled->analogNodeCount);
    }
    ReleaseCompiledCircuit(document);
    ReleaseDefineTable(document);
    CurrentRunContext().circuitDocument = nullptr;
    ClearCompileErrorLocation();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::StartCompiler();
    if (size < 1 || size > 2048) return 0;
    const std::string text = fuzz::AsText(data + 1, size - 1);
    dx_Run(text, data[0] & 1 ? 1 : 0, (data[0] >> 1) & 1);
    SetAnalysisKind(-1);
    ClearPendingMessage();
    return 0;
}
