// The Fourier operators on known waveforms, and the stage evaluation that
// resolves them over the samples a run stored.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "core/fftparams.h"
#include "expr/fft.h"
#include "expr/fftstore.h"
#include "expr/services.h"
#include "tests/expr/evaluator_fixture.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Pair {
    explicit Pair(int n) : re(static_cast<size_t>(n)), im(static_cast<size_t>(n)) {}
    std::vector<double> re, im;
};

// n samples of a + c cos(2 pi k i / n) + s sin(2 pi k i / n).
std::vector<double> Wave(int n, std::vector<std::tuple<int, double, double>> terms, double dc = 0) {
    std::vector<double> x(static_cast<size_t>(n), dc);
    for (int i = 0; i < n; ++i)
        for (auto [k, c, s] : terms)
            x[static_cast<size_t>(i)] += c * std::cos(2 * kPi * k * i / n) + s * std::sin(2 * kPi * k * i / n);
    return x;
}

int Apply(int code, Pair& p, const FFTSteps& steps = {}, Pair* second = nullptr, Pair* third = nullptr) {
    const int n = static_cast<int>(p.re.size());
    Pair empty2(n), empty3(n);
    Pair& b = second ? *second : empty2;
    Pair& c = third ? *third : empty3;
    return FFTOperator(n, code, steps, p.re.data(), p.im.data(), b.re.data(), b.im.data(), c.re.data(), c.im.data());
}

TEST(FourierTransform, ImpulseConstantAndInverse) {
    Pair p(8);
    p.re[0] = 1;
    ASSERT_EQ(TransformFFT(8, p.re.data(), p.im.data(), kFftForward), 0);
    for (int k = 0; k < 8; ++k) {
        EXPECT_NEAR(p.re[static_cast<size_t>(k)], 1, 1e-12) << k;
        EXPECT_NEAR(p.im[static_cast<size_t>(k)], 0, 1e-12) << k;
    }
    ASSERT_EQ(TransformFFT(8, p.re.data(), p.im.data(), kFftInverse), 0);
    for (int k = 0; k < 8; ++k) EXPECT_NEAR(p.re[static_cast<size_t>(k)], k == 0 ? 1 : 0, 1e-12) << k;

    // A counted point set that is no power of two is refused, arrays untouched.
    Pair odd(12);
    odd.re.assign(12, 2.0);
    EXPECT_EQ(TransformFFT(12, odd.re.data(), odd.im.data(), kFftForward), kMsgFftPointCount);
    EXPECT_EQ(odd.re, std::vector<double>(12, 2.0));
}

TEST(FourierTransform, ScaledBinsGiveCosineAndSineAmplitudes) {
    const int n = 64;
    // FFTS: (A, 0) for a cosine, (0, +A) for a sine, the mean at bin 0.
    Pair p(n);
    p.re = Wave(n, {{3, 2.5, 0}, {7, 0, 1.5}}, 0.75);
    ASSERT_EQ(Apply(kFftForwardScaled, p), 0);
    for (int k = 0; k < n / 2; ++k) {
        const size_t s = static_cast<size_t>(k);
        const double cosine = k == 0 ? 0.75 : k == 3 ? 2.5 : 0, sine = k == 7 ? 1.5 : 0;
        EXPECT_NEAR(p.re[s], cosine, 1e-12) << k;
        EXPECT_NEAR(p.im[s], sine, 1e-12) << k;
    }
    // HARM: the amplitude whatever the phase.
    Pair h(n);
    h.re = Wave(n, {{5, 0.6, 0.8}}, -0.25);
    ASSERT_EQ(Apply(kFftHarm, h), 0);
    for (int k = 0; k < n / 2; ++k) {
        const double expected = k == 0 ? 0.25 : k == 5 ? 1.0 : 0;
        EXPECT_NEAR(h.re[static_cast<size_t>(k)], expected, 1e-12) << k;
        EXPECT_EQ(h.im[static_cast<size_t>(k)], 0);
    }
}

TEST(FourierTransform, InversesRestoreTheWaveform) {
    const int n = 256;
    std::mt19937 random(7);
    std::uniform_real_distribution<double> value(-3, 3);
    Pair original(n);
    for (int i = 0; i < n; ++i) original.re[static_cast<size_t>(i)] = value(random);
    for (auto [forward, inverse] :
         {std::pair{kFftForward, kFftInverse}, {kFftForwardScaled, kFftInverseScaled}, {kFftConj, kFftConj}}) {
        Pair p = original;
        ASSERT_EQ(Apply(forward, p), 0);
        ASSERT_EQ(Apply(inverse, p), 0);
        for (int i = 0; i < n; ++i) {
            EXPECT_NEAR(p.re[static_cast<size_t>(i)], original.re[static_cast<size_t>(i)], 1e-12) << forward;
            EXPECT_NEAR(p.im[static_cast<size_t>(i)], 0, 1e-12) << forward;
        }
    }
}

TEST(FourierOperators, HarmonicDistortionOfATwoToneSpectrum) {
    const int n = 128;
    FFTSteps steps{1.0 / n, 1.0};  // one second: df = 1 Hz
    Pair spectrum(n);
    spectrum.re = Wave(n, {{3, 1.0, 0}, {6, 0.1, 0}, {9, 0, 0.05}});
    ASSERT_EQ(Apply(kFftHarm, spectrum), 0);

    Pair frequency(n);
    frequency.re.assign(static_cast<size_t>(n), 3.0);  // the fundamental: bin 3
    Pair ihd = spectrum, thd = spectrum;
    Pair f1 = frequency, f2 = frequency;
    ASSERT_EQ(Apply(kFftIhd, ihd, steps, &f1), 0);
    ASSERT_EQ(Apply(kFftThd, thd, steps, &f2), 0);
    EXPECT_EQ(ihd.re[3], 0.0);
    EXPECT_NEAR(ihd.re[6], 10.0, 1e-9);
    EXPECT_NEAR(ihd.re[9], 5.0, 1e-9);
    EXPECT_NEAR(thd.re[6], 10.0, 1e-9);
    EXPECT_NEAR(thd.re[9], std::sqrt(125.0), 1e-9);
    EXPECT_NEAR(thd.re[n / 2], std::sqrt(125.0), 1e-9);
    EXPECT_EQ(thd.re[n / 2 + 1], 0.0);

    // Without a frequency the fundamental is bin 1; an exactly zero
    // amplitude there makes the reference 1.
    Pair noF(n);
    noF.re[3] = 1.0;
    noF.re[6] = 0.1;
    ASSERT_EQ(Apply(kFftIhd, noF, steps), 0);
    EXPECT_NEAR(noF.re[3], 1.0, 1e-12);
    EXPECT_NEAR(noF.re[6], 0.1, 1e-12);
}

TEST(FourierOperators, SeriesResidueCoherenceAndParts) {
    const int n = 64;
    FFTSteps steps{1.0 / n, 1.0};
    const std::vector<double> low = Wave(n, {{2, 1.0, 0}}, 1.0), high = Wave(n, {{5, 0, 0.5}});
    std::vector<double> x(static_cast<size_t>(n));
    for (size_t i = 0; i < x.size(); ++i) x[i] = low[i] + high[i];
    Pair h1(n), h2(n);
    h2.re.assign(static_cast<size_t>(n), 2.0);  // harmonics 0..2
    Pair series(n), residue(n);
    series.re = residue.re = x;
    Pair a1 = h1, a2 = h2, b1 = h1, b2 = h2;
    ASSERT_EQ(Apply(kFftSeries, series, steps, &a1, &a2), 0);
    ASSERT_EQ(Apply(kFftResidue, residue, steps, &b1, &b2), 0);
    for (size_t i = 0; i < x.size(); ++i) {
        EXPECT_NEAR(series.re[i], low[i], 1e-9) << i;
        EXPECT_NEAR(residue.re[i], high[i], 1e-9) << i;
    }

    // COH(u, u) at lag 0 is 1/sqrt 2 with the summed-squares normaliser.
    Pair u(n), v(n);
    u.re = v.re = x;
    ASSERT_EQ(Apply(kFftCoherence, u, steps, &v), 0);
    EXPECT_NEAR(u.re[0], 1 / std::sqrt(2.0), 1e-12);

    // The parts of a complex result.
    Pair z(8);
    z.re.assign(8, -1.0);
    z.im.assign(8, 1.0);
    Pair mag = z, ph = z, im = z, rms = z;
    ASSERT_EQ(Apply(kFftMagnitude, mag), 0);
    ASSERT_EQ(Apply(kFftPhase, ph), 0);
    ASSERT_EQ(Apply(kFftImag, im), 0);
    ASSERT_EQ(Apply(kFftRms, rms), 0);
    EXPECT_NEAR(mag.re[0], std::sqrt(2.0), 1e-12);
    EXPECT_NEAR(ph.re[0], 135.0, 1e-9);
    EXPECT_EQ(im.re[0], 1.0);
    EXPECT_NEAR(rms.re[3], std::sqrt(8.0), 1e-12);  // running root over bins 0..3
    EXPECT_EQ(rms.re[4], -1.0);                     // the upper half keeps its real parts
    EXPECT_EQ(Apply(99, z), kResultNoMemory);
}

TEST(FourierParams, ClampAndSteps) {
    FFTParams params;
    for (auto [given, used] : {std::pair{5, 8}, {300000, 262144}, {1000, 1000}}) {
        params.pointCount = given;
        params.ClampPoints();
        EXPECT_EQ(params.pointCount, used);
    }
    params.pointCount = 1000;
    params.rangeValue = 2e-3;
    double first = 0, second = 0;
    params.GetSteps(0, &first, &second);
    EXPECT_DOUBLE_EQ(first, 2e-6);
    EXPECT_DOUBLE_EQ(second, 500.0);
    params.GetSteps(1, &first, &second);
    EXPECT_DOUBLE_EQ(first, 500.0);
    EXPECT_DOUBLE_EQ(second, 2e-6);
    params.GetSteps(3, &first, &second, 1e4);
    EXPECT_DOUBLE_EQ(second, 1e4);
    EXPECT_TRUE(IsFftPointCount(1024));
    EXPECT_TRUE(IsFftPointCount(262144));
    EXPECT_FALSE(IsFftPointCount(1000));
    EXPECT_FALSE(IsFftPointCount(4));
}

// The evaluator's store mode: a run stores the operand samples, the stages
// apply the operators innermost first over the whole arrays.
class FourierStages : public EvaluatorTestBase {
protected:
    void SetUp() override {
        EvaluatorTestBase::SetUp();
        InstallFFTOperandStores();
    }
    void TearDown() override {
        InstallSpectrumStore(nullptr);
        EvaluatorTestBase::TearDown();
    }
    // Runs the expression over n samples of `wave` at times i/n.
    void Run(CompiledExpression& e, const std::vector<double>& wave) {
        for (size_t i = 0; i < wave.size(); ++i) {
            vars[0] = wave[i];
            RunVars.time = static_cast<double>(i) / static_cast<double>(wave.size());
            ComplexNumber r{9, 9};
            ASSERT_EQ(EvaluateExpression(&e, &r, &store), 0);
            EXPECT_EQ(r.re, 0.0);  // a run pass yields nothing
        }
        ASSERT_EQ(store.lastSample, static_cast<int>(wave.size()));
    }
    double vars[4] = {};
    FFTOperandStore store;
};

TEST_F(FourierStages, NestedOperatorsAndArithmeticAroundThem) {
    const int n = 64;
    const std::vector<double> wave = Wave(n, {{1, 2.0, 0}, {2, 0.2, 0}});
    CompiledExpression e;
    // 100 + 2 x IHD(HARM(x), 1): the operators sit inside arithmetic.
    EvBuild(e, "100 2 @0 HARM 1 IHD * +", vars);
    ASSERT_TRUE(e.flags & kExprFlagSpectrum);
    Run(e, wave);
    std::vector<double> re, im, axis(static_cast<size_t>(n));
    for (int k = 0; k < n; ++k) axis[static_cast<size_t>(k)] = k;
    ASSERT_EQ(EvaluateFFTStages(e, store, n, FFTSteps{1.0 / n, 1.0}, axis, re, im), 0);
    EXPECT_NEAR(re[1], 100.0, 1e-9);
    EXPECT_NEAR(re[2], 100.0 + 2 * 10.0, 1e-9);
    EXPECT_NEAR(re[3], 100.0, 1e-9);
}

TEST_F(FourierStages, ResamplingAndNormalisation) {
    // Samples at uneven times resampled onto an even grid.
    store.Cell(0, 0);
    for (auto [t, v] : {std::pair{0.0, 0.0}, {0.3, 3.0}, {0.4, 4.0}, {1.0, 10.0}}) {
        *store.Cell(0, store.lastSample) = {v, 0};
        store.abscissas.push_back(t);
        ++store.lastSample;
    }
    ASSERT_EQ(ResampleOperands(store, {0.0, 0.25, 0.5, 0.75, 1.0}), 0);
    EXPECT_EQ(store.lastSample, 5);
    for (int k = 0; k < 5; ++k) EXPECT_NEAR(store.Cell(0, k)->re, 10.0 * k / 4, 1e-12) << k;

    // NORMMAX divides by the first largest point; with DB it shifts.
    CompiledExpression norm, db;
    EvBuild(norm, "@0 NORMMAX", vars);
    EvBuild(db, "@0 DB NORMMAX", vars);
    const std::vector<double> wave = {1, 4, -2, 4, 2, 0, 0, 0};
    store.Reset();
    Run(norm, wave);
    std::vector<double> re, im, axis(8);
    ASSERT_EQ(EvaluateFFTStages(norm, store, 8, {}, axis, re, im), 0);
    EXPECT_EQ(re, (std::vector<double>{0.25, 1, -0.5, 1, 0.5, 0, 0, 0}));
    store.Reset();
    const std::vector<double> levels = {10, 100, 1};
    Run(db, levels);
    ASSERT_EQ(EvaluateFFTStages(db, store, 3, {}, axis, re, im), 0);
    EXPECT_NEAR(re[0], -20, 1e-9);
    EXPECT_NEAR(re[1], 0, 1e-9);
    EXPECT_NEAR(re[2], -40, 1e-9);
}

}  // namespace
