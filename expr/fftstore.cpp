#include "expr/fftstore.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "core/result.h"
#include "expr/compiled.h"
#include "expr/compiler_internal.h"
#include "expr/evaluate.h"
#include "expr/runstate.h"
#include "expr/runvars.h"
#include "expr/services.h"
#include "expr/symbols.h"

// ---- the store ----------------------------------------------------------------------

int FFTOperandStore::Grow() {
    const int needed = std::max(lastSample, 0) / kFftChunkSamples + 1;
    for (auto& chunks : operands) {
        if (static_cast<int>(chunks.size()) < needed) chunks.resize(static_cast<size_t>(needed));
        for (auto& chunk : chunks) {
            if (chunk) continue;
            chunk.reset(new (std::nothrow) ComplexNumber[kFftChunkSamples]());
            if (!chunk) return kResultNoMemory;
        }
    }
    chunkCount = std::max(chunkCount, needed);
    return 0;
}

ComplexNumber* FFTOperandStore::Cell(int operand, int sample) {
    if (operand < 0 || sample < 0) return nullptr;
    if (static_cast<size_t>(operand) >= operands.size()) operands.resize(static_cast<size_t>(operand) + 1);
    auto& chunks = operands[static_cast<size_t>(operand)];
    const size_t chunk = static_cast<size_t>(sample / kFftChunkSamples);
    if (chunks.size() <= chunk) chunks.resize(chunk + 1);
    if (!chunks[chunk]) {
        chunks[chunk].reset(new (std::nothrow) ComplexNumber[kFftChunkSamples]());
        if (!chunks[chunk]) return nullptr;
        chunkCount = std::max(chunkCount, static_cast<int32_t>(chunk + 1));
    }
    return &chunks[chunk][static_cast<size_t>(sample % kFftChunkSamples)];
}

void FFTOperandStore::Reset() {
    for (auto& chunks : operands) chunks.clear();
    lastSample = 0;
    chunkCount = 0;
    storing = 0;
    sampleIndex = 0;
    abscissas.clear();
}

// ---- the evaluator's store mode ----------------------------------------------------------

namespace {

class fs_OperandStores final : public ExprSpectrumStore {
public:
    bool Active() const override { return true; }
    int Prepare(FFTOperandStore* store, bool* resolvePass) override {
        *resolvePass = store->storing != 0;
        store->stagePosition = store->operatorCode = store->tokensConsumed = 0;
        return store->storing ? 0 : store->Grow();
    }
    ComplexNumber* Slot(FFTOperandStore* store, int slot) override {
        return store->Cell(slot, store->storing ? store->sampleIndex : store->lastSample);
    }
    void CountToken(FFTOperandStore* store) override { ++store->tokensConsumed; }
    void EndResolve(FFTOperandStore* store, int operatorCode) override { store->operatorCode = operatorCode; }
    void StagePosition(FFTOperandStore* store, int position) override { store->stagePosition = position; }
    void AdvanceSample(FFTOperandStore* store) override {
        // The sample's abscissa is what the run stands at: its frequency in
        // AC, its time otherwise.
        store->abscissas.push_back(gSolver.AnalysisKind == 1 ? RunVars.frequency : RunVars.time);
        ++store->lastSample;
    }
    bool IsPointStored() override { return true; }
};

fs_OperandStores fs_stores;

// Linear interpolation of the samples (xs, ys) at x, continuing the walk from
// `index`; the ends are held.
ComplexNumber fs_Interpolate(const std::vector<double>& xs, const std::vector<ComplexNumber>& ys, double x,
                             size_t& index) {
    const size_t count = std::min(xs.size(), ys.size());
    if (count == 0) return {0.0, 0.0};
    while (index < count && xs[index] < x) ++index;
    if (index == 0) return ys[0];
    if (index >= count) return ys[count - 1];
    const double x0 = xs[index - 1], x1 = xs[index];
    const double f = x1 != x0 ? (x - x0) / (x1 - x0) : 1.0;
    return {ys[index - 1].re + f * (ys[index].re - ys[index - 1].re),
            ys[index - 1].im + f * (ys[index].im - ys[index - 1].im)};
}

bool fs_IsNormalisation(int code) { return code >= kFftNorm && code <= kFftNormMax; }

// The token code whose argument count a stage code has.
int fs_SymbolCode(int code) {
    switch (code) {
    case kFftReal: return kTokRe;
    case kFftImag: return kTokIm;
    case kFftMagnitude: return kTokMag;
    case kFftPhase: return kTokPh;
    case kFftRms: return kTokRms;
    default: return code;
    }
}

// NORM, NORMMIN, NORMMAX of the pair: divided by the reference point, or
// shifted by it when the expression works in decibels.
void fs_Normalise(int n, int code, bool decibels, const std::vector<double>& axis, double* re, double* im,
                  const double* xRe) {
    ComplexNumber ref{1.0, 0.0};
    if (code == kFftNorm) {
        std::vector<ComplexNumber> values(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) values[static_cast<size_t>(i)] = {re[i], im[i]};
        size_t index = 0;
        ref = fs_Interpolate(axis, values, xRe[0], index);
    } else {
        double best = code == kFftNormMax ? -1e200 : 1e200;
        for (int i = 0; i < n; ++i) {
            const ComplexNumber z{re[i], im[i]};
            const double m = z.SignedMagnitude();
            if (code == kFftNormMax ? m > best : m < best) {
                best = m;
                ref = z;
            }
        }
    }
    for (int i = 0; i < n; ++i) {
        ComplexNumber z{re[i], im[i]};
        if (decibels) {
            z.re -= ref.re;
            z.im -= ref.im;
        } else {
            z.Divide(ref);
        }
        re[i] = z.re;
        im[i] = z.im;
    }
}

}  // namespace

void InstallFFTOperandStores() { InstallSpectrumStore(&fs_stores); }

int ResampleOperands(FFTOperandStore& store, const std::vector<double>& grid) {
    const int samples = std::min(store.lastSample, static_cast<int32_t>(store.abscissas.size()));
    std::vector<ComplexNumber> values(static_cast<size_t>(samples));
    for (size_t op = 0; op < store.operands.size(); ++op) {
        for (int s = 0; s < samples; ++s) {
            const ComplexNumber* cell = store.Cell(static_cast<int>(op), s);
            if (!cell) return kResultNoMemory;
            values[static_cast<size_t>(s)] = *cell;
        }
        size_t index = 0;
        for (size_t k = 0; k < grid.size(); ++k) {
            ComplexNumber* cell = store.Cell(static_cast<int>(op), static_cast<int>(k));
            if (!cell) return kResultNoMemory;
            *cell = fs_Interpolate(store.abscissas, values, grid[k], index);
        }
    }
    store.lastSample = static_cast<int32_t>(grid.size());
    store.abscissas = grid;
    return 0;
}

int EvaluateFFTStages(const CompiledExpression& expression, FFTOperandStore& store, int n, const FFTSteps& steps,
                      const std::vector<double>& axis, std::vector<double>& re, std::vector<double>& im) {
    if (n <= 0) return kResultNoMemory;
    re.assign(static_cast<size_t>(n), 0.0);
    im.assign(static_cast<size_t>(n), 0.0);
    bool decibels = false;
    // Every operand token reads its stored samples.
    auto stage = std::make_unique<CompiledExpression>();
    stage->flags = expression.flags | kExprFlagSpectrum;
    stage->flags2 = expression.flags2;
    stage->dialect = expression.dialect;
    int slot = 0;
    for (const ExprToken* t = expression.FirstToken(); t; t = t->Next()) {
        if (t->code == kTokDb) decibels = true;
        ExprToken* copy = AppendToken(stage.get());
        if (!copy) return kResultNoMemory;
        copy->CopyFrom(*t);
        if (t->pushes && t->code != kTokStateCell) {
            copy->code = kTokStoredOperand;
            copy->operand.index = slot;
        }
        if (t->pushes) ++slot;
    }
    std::vector<std::vector<double>> pairs(4, std::vector<double>(static_cast<size_t>(n)));
    while (stage->TokenCount() > 1) {
        int code = 0, position = 0, consumed = 0;
        for (int k = 0; k < n; ++k) {
            store.storing = 1;
            store.sampleIndex = k;
            ComplexNumber value{0.0, 0.0};
            const int rc = EvaluateExpression(stage.get(), &value, &store);
            store.storing = 0;
            if (rc) return rc;
            code = store.operatorCode;
            position = store.stagePosition;
            consumed = store.tokensConsumed;
            re[static_cast<size_t>(k)] = value.re;
            im[static_cast<size_t>(k)] = value.im;
        }
        if (code == 0) return 0;  // no operator left: the values are the result
        const ExprToken* op = stage->FirstToken();
        for (int i = 1; op && i < consumed; ++i) op = op->Next();
        if (!op) return kEvalUnknownToken;
        // The compiler gives optional operands their defaults, so an operator
        // always takes its full argument count from the stack.
        const int argc = std::max(1, GetSymbolMaxArgs(fs_SymbolCode(code)));
        const int first = std::max(0, position - argc + 1);
        // The operator's operands: the first into (re, im), the others into the pairs.
        for (int a = 0; a < 3; ++a) {
            double* pr = a == 0 ? re.data() : pairs[static_cast<size_t>(2 * a - 2)].data();
            double* pi = a == 0 ? im.data() : pairs[static_cast<size_t>(2 * a - 1)].data();
            for (int k = 0; k < n; ++k) {
                const ComplexNumber* cell = a < argc ? store.Cell(first + a, k) : nullptr;
                if (a < argc && !cell) return kResultNoMemory;
                pr[k] = cell ? cell->re : 0.0;
                pi[k] = cell ? cell->im : 0.0;
            }
        }
        if (fs_IsNormalisation(code)) {
            fs_Normalise(n, code, decibels, axis, re.data(), im.data(), pairs[0].data());
        } else if (int rc = FFTOperator(n, code, steps, re.data(), im.data(), pairs[0].data(), pairs[1].data(),
                                        pairs[2].data(), pairs[3].data())) {
            return rc;
        }
        for (int k = 0; k < n; ++k) {
            ComplexNumber* cell = store.Cell(first, k);
            if (!cell) return kResultNoMemory;
            *cell = {re[static_cast<size_t>(k)], im[static_cast<size_t>(k)]};
        }
        // The operator and its operands become references to the stack entries
        // below it and to its result.
        auto next = std::make_unique<CompiledExpression>();
        next->flags = stage->flags;
        next->flags2 = stage->flags2;
        next->dialect = stage->dialect;
        for (int s = 0; s <= first; ++s) {
            ExprToken* ref = AppendToken(next.get());
            if (!ref) return kResultNoMemory;
            ref->code = kTokStoredOperand;
            ref->pushes = 1;
            ref->argCount = 1;
            ref->operand.index = s;
        }
        const ExprToken* rest = op->Next();
        for (; rest; rest = rest->Next()) {
            ExprToken* copy = AppendToken(next.get());
            if (!copy) return kResultNoMemory;
            copy->CopyFrom(*rest);
        }
        stage = std::move(next);
    }
    // A single reference left: the values of its slot.
    const ExprToken* last = stage->FirstToken();
    if (last && last->code == kTokStoredOperand) {
        for (int k = 0; k < n; ++k) {
            const ComplexNumber* cell = store.Cell(last->operand.index, k);
            if (!cell) return kResultNoMemory;
            re[static_cast<size_t>(k)] = cell->re;
            im[static_cast<size_t>(k)] = cell->im;
        }
    }
    return 0;
}
