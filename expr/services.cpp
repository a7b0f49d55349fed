#include "expr/services.h"

#include "core/memory.h"
#include "core/port.h"
#include "core/result.h"
#include "expr/compiled.h"

namespace {

// No plotted curves: performance arguments cannot be bound.
class NoPlotBinding final : public ExprPlotBinding {
public:
    int BindCurveReference(CompiledExpression*, int, char*, size_t) override { return 10435; }
    int CheckRunVariables(CompiledExpression* expr, char* textOut, size_t size) override {
        return CheckRunVariablesOfTokens(expr, textOut, size);
    }
    int CheckPhaseMarginCurve(CompiledExpression*) override { return 0; }
    void* OpenLimitsDialog() override { return nullptr; }
};

class NoDerivatives final : public ExprDerivatives {
public:
    bool CanDifferentiate() const override { return false; }
    int Differentiate(ExprCompiler*, CompiledExpression*, CompiledExpression*) override { return 10432; }
};

// Without a circuit's defines a text compiles as written.
class NoDefines final : public ExprDefineSubstitution {
public:
    int SubstituteDefines(const char* text, int, char** out) override {
        *out = DuplicateString(text ? text : "");
        return *out ? 0 : kResultNoMemory;
    }
};

class NoPerformance final : public ExprPerformance {
public:
    int ArgumentCount(int) override { return -1; }
    int Evaluate(int, int, CompiledExpression*, const double*, int, double*) override { return 1; }
    bool ArgumentValue(int, int, double*) override { return false; }
};

class NoSpectrumStore final : public ExprSpectrumStore {
public:
    bool Active() const override { return false; }
    int Prepare(FFTOperandStore*, bool* resolvePass) override {
        if (resolvePass) *resolvePass = false;
        return 1;
    }
    ComplexNumber* Slot(FFTOperandStore*, int) override { return nullptr; }
    void CountToken(FFTOperandStore*) override {}
    void EndResolve(FFTOperandStore*, int) override {}
    void StagePosition(FFTOperandStore*, int) override {}
    void AdvanceSample(FFTOperandStore*) override {}
    bool IsPointStored() override { return true; }
};

class NoBreakpoints final : public ExprBreakpoints {
public:
    bool Collecting() const override { return false; }
    bool Add(int64_t, int) override { return false; }
    void AddDelayBreakpoints(double) override {}
    void ResetDelayBreakpointKinds() override {}
};

class NoDeviceRecords final : public ExprDeviceRecords {
public:
    CompiledExpression* RecordExpression(int, DeviceRecord*, int) override { return nullptr; }
    const InductorCoreState* InductorCore(const void*) override { return nullptr; }
};

PortSlot<ExprCircuit, CircuitWithoutDevices> sv_circuit;
PortSlot<ExprPlotBinding, NoPlotBinding> sv_plotBinding;
PortSlot<ExprDerivatives, NoDerivatives> sv_derivatives;
PortSlot<ExprDefineSubstitution, NoDefines> sv_defines;
PortSlot<ExprPerformance, NoPerformance> sv_performance;
PortSlot<ExprSpectrumStore, NoSpectrumStore> sv_spectrum;
PortSlot<ExprBreakpoints, NoBreakpoints> sv_breakpoints;
PortSlot<ExprDeviceRecords, NoDeviceRecords> sv_deviceRecords;

}  // namespace

int CircuitWithoutDevices::BindDeviceQuantity(ExprCompiler* ctx, const DeviceQuantityCall* call) {
    return BindQuantityWithoutDevices(ctx, *call);
}

ExprCircuit& CompileCircuit() { return sv_circuit.Get(); }
ExprCircuit* InstallCompileCircuit(ExprCircuit* port) { return sv_circuit.Install(port); }
ExprPlotBinding& PlotBinding() { return sv_plotBinding.Get(); }
ExprPlotBinding* InstallPlotBinding(ExprPlotBinding* port) { return sv_plotBinding.Install(port); }
ExprDerivatives& Derivatives() { return sv_derivatives.Get(); }
ExprDerivatives* InstallDerivatives(ExprDerivatives* port) { return sv_derivatives.Install(port); }
ExprDefineSubstitution& ExpressionDefines() { return sv_defines.Get(); }
ExprDefineSubstitution* InstallExpressionDefines(ExprDefineSubstitution* port) { return sv_defines.Install(port); }
ExprPerformance& Performance() { return sv_performance.Get(); }
ExprPerformance* InstallPerformance(ExprPerformance* port) { return sv_performance.Install(port); }
ExprSpectrumStore& SpectrumStore() { return sv_spectrum.Get(); }
ExprSpectrumStore* InstallSpectrumStore(ExprSpectrumStore* port) { return sv_spectrum.Install(port); }
ExprBreakpoints& Breakpoints() { return sv_breakpoints.Get(); }
ExprBreakpoints* InstallBreakpoints(ExprBreakpoints* port) { return sv_breakpoints.Install(port); }
ExprDeviceRecords& DeviceRecords() { return sv_deviceRecords.Get(); }
ExprDeviceRecords* InstallDeviceRecords(ExprDeviceRecords* port) { return sv_deviceRecords.Install(port); }
