// The set-up at temperature of the semiconductor model families: the shared
// laws checked against the published SPICE temperature equations worked out
// here by hand, the device temperature rules, and each family's clamps,
// conversions and temperature values.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "devices/families.h"
#include "tests/devices/model_fixture.h"

namespace {

constexpr double kTnomK = 300.15;

double Eg(double kelvin) { return 1.16 - 7.02e-4 * kelvin * kelvin / (kelvin + 1108.0); }
// The published junction potential law: VJ(T) = VJ*T/Tnom - 3*Vt*ln(T/Tnom) - Eg(Tnom)*T/Tnom + Eg(T).
double PublishedVj(double vj, double tk, double tnk) {
    const double ratio = tk / tnk;
    return vj * ratio - 3.0 * (tk * 1.3806226e-23 / 1.6021918e-19) * std::log(ratio) - Eg(tnk) * ratio + Eg(tk);
}
// CJO(T) = CJO * (1 + M*(4e-4*(T - Tnom) + 1 - VJ(T)/VJ)).
double PublishedCjo(double cjo, double m, double vj, double vjT, double tk, double tnk) {
    return cjo * (1.0 + m * (4e-4 * (tk - tnk) + 1.0 - vjT / vj));
}
// IS(T) = IS * (T/Tnom)^(XTI/N) * exp((T/Tnom - 1) * EG / (N*Vt(T))).
double PublishedIs(double is, double n, double eg, double xti, double tk, double tnk) {
    const double vt = tk * 1.3806226e-23 / 1.6021918e-19;
    return is * std::pow(tk / tnk, xti / n) * std::exp((tk / tnk - 1.0) * eg / (n * vt));
}

using SharedLawsTest = ModelFixture;

TEST_F(SharedLawsTest, SaturationFactorAndCriticalVoltageLimits) {
    EXPECT_EQ(SaturationCurrentFactor(1.0, 1.0, 0.0259, 1.11, 3.0), 1.0);
    // N below 0.01 counts as 0.01; XTI/n is limited to 500.
    EXPECT_DOUBLE_EQ(SaturationCurrentFactor(1.1, 0.001, 1e6, 0.0, 3.0), std::pow(1.1, 300.0));
    EXPECT_DOUBLE_EQ(SaturationCurrentFactor(1.01, 0.01, 1e6, 0.0, 8.0), std::pow(1.01, 500.0));
    EXPECT_EQ(SaturationCurrentFactor(10.0, 1.0, 0.01, 100.0, 3.0), 1e50);

    const double vt = 0.025864;
    EXPECT_DOUBLE_EQ(CriticalVoltage(vt, 0.0), vt * std::log(vt / (std::sqrt(2.0) * 1e-6)));
    EXPECT_EQ(CriticalVoltage(vt, 1.0), 0.1);
    EXPECT_DOUBLE_EQ(CriticalVoltage(vt, 1e-14), vt * std::log(vt / (std::sqrt(2.0) * 1e-14)));
}

TEST_F(SharedLawsTest, DepletionExtensionJoinsTheDepletionChargeEvenAtGradingOne) {
    for (double m : {0.33, 0.5, 0.999, 1.0}) {
        double v[4] = {0.5, 0, 0, 0};
        const double pb = 0.8, fc = 0.5;
        DepletionCapCoefficients(v, fc, pb, m, 0, 1, 2, 3);
        const double x = v[0];
        ASSERT_DOUBLE_EQ(x, fc * pb);
        const double extension = v[3] + v[1] * x + v[2] * x * x / 2.0;
        const double depletion =
            m == 1.0 ? -pb * std::log(1.0 - fc) : pb * (1.0 - std::pow(1.0 - fc, 1.0 - m)) / (1.0 - m);
        EXPECT_NEAR(extension, depletion, 1e-9) << "M=" << m;
        // The capacitance is continuous too: V + S*x = (1 - FC)^-M.
        EXPECT_NEAR(v[1] + v[2] * x, std::pow(1.0 - fc, -m), 1e-12) << "M=" << m;
    }
}

TEST_F(SharedLawsTest, JunctionUpdateFollowsThePublishedLaws) {
    double v[2] = {0.75, 1e-12};
    const JunctionTemperature t = UpdateJunctionForTemperature(v, 0, 1, 0.5, 100.0, 27.0);
    const double tk = 373.15;
    const double vjT = PublishedVj(0.75, tk, kTnomK);
    EXPECT_NEAR(v[0], vjT, 1e-6);
    EXPECT_NEAR(v[1], PublishedCjo(1e-12, 0.5, 0.75, vjT, tk, kTnomK), 1e-18);
    EXPECT_DOUBLE_EQ(t.ratio, tk / kTnomK);
    EXPECT_DOUBLE_EQ(t.delta, 73.0);
    EXPECT_DOUBLE_EQ(t.vt, Vt(100.0));

    // Far below zero the potential goes negative and is held at 0.001.
    double cold[2] = {0.2, 1e-12};
    UpdateJunctionForTemperature(cold, 0, 1, 0.5, 2000.0, 27.0);
    EXPECT_EQ(cold[0], 0.001);
}

TEST_F(SharedLawsTest, DeviceTemperatureRules) {
    ModelRecord* both = Add(kModelDiode, {{"T_ABS", 80.0}, {"T_REL_GLOBAL", 10.0}});
    ModelRecord* relative = Add(kModelDiode, {{"T_REL_GLOBAL", 10.0}});
    ModelRecord* plain = Add(kModelDiode);
    options_.tnom = 35.0;
    setup_.runTemperature = 50.0;
    EXPECT_EQ(ResolveModelTemperature(setup_, both, 27), 80.0);
    EXPECT_EQ(ResolveModelTemperature(setup_, relative, 27), 60.0);
    EXPECT_EQ(ResolveModelTemperature(setup_, plain, 27), 50.0);
    EXPECT_EQ(plain->Values[27], 35.0);  // T_MEASURED takes TNOM and keeps it

    // AKO: T_REL_LOCAL counts against the parent's own T_ABS only.
    ModelRecord* parent = Add(kModelDiode, {{"T_ABS", 100.0}});
    ModelRecord* child = Add(kModelDiode, {{"T_REL_LOCAL", 5.0}});
    ModelRecord* orphan = Add(kModelDiode, {{"T_REL_LOCAL", 5.0}});
    ModelRecord* noAbs = Add(kModelDiode);
    const int row = models_->ModelStatements.Append();
    const int row2 = models_->ModelStatements.Append();
    ASSERT_GE(row2, 0);
    models_->ModelStatements.At(row)->AkoBase = parent;
    models_->ModelStatements.At(row2)->AkoBase = noAbs;
    child->StatementRow = row;
    orphan->StatementRow = row2;
    for (double run : {0.0, 27.0, 150.0}) {
        setup_.runTemperature = run;
        EXPECT_EQ(ResolveModelTemperature(setup_, child, 27), 105.0);
        EXPECT_EQ(ResolveModelTemperature(setup_, orphan, 27), run);
    }
}

TEST_F(SharedLawsTest, NegativePhiLeavesOneNotePerModel) {
    ModelRecord* model = Add(kModelDiode);
    model->StatementRow = models_->ModelStatements.Append();
    EXPECT_EQ(GuardedSqrtPhi(setup_, model, 0.64, 300.15), 0.8);
    EXPECT_EQ(GuardedSqrtPhi(setup_, model, 0.0, 300.15), 0.001);
    EXPECT_EQ(models_->Notes.Count, 0);
    EXPECT_EQ(GuardedSqrtPhi(setup_, model, -0.1, 400.15), 0.001);
    EXPECT_EQ(GuardedSqrtPhi(setup_, model, -0.2, 500.15), 0.001);
    ASSERT_EQ(models_->Notes.Count, 1);
    EXPECT_EQ(models_->Notes.Entries[0].Kind, kNoteNegativePhi);
    EXPECT_EQ(models_->Notes.Entries[0].Row, model->StatementRow);
    EXPECT_NEAR(models_->Notes.Entries[0].Value, 127.0, 1e-9);
}

// ---- diodes -----------------------------------------------------------------------------

using DiodeTemperatureTest = ModelFixture;

TEST_F(DiodeTemperatureTest, ClampsGradingNoiseExponentAndDepletionCoefficient) {
    struct Case {
        double m, mOut;
    } cases[] = {{1.0005, 0.999}, {1.0, 0.999}, {1.001, 1.001}, {0.999, 0.999}, {0.5, 0.5}};
    for (const Case& c : cases) {
        double v[37] = {};
        v[15] = c.m;
        v[25] = 0.01;
        v[16] = 0.99;
        ClampDiodeModel(v);
        EXPECT_EQ(v[15], c.mOut) << c.m;
        EXPECT_EQ(v[25], 0.1);
        EXPECT_EQ(v[16], 0.95);
    }
}

TEST_F(DiodeTemperatureTest, BreakdownFit) {
    ModelRecord* fitted = Add(kModelDiode, {{"BV", 5.0}, {"IBV", 1e-3}, {"IS", 1e-14}});
    ModelRecord* tiny = Add(kModelDiode, {{"BV", 100.0}, {"IBV", 1e-20}});
    ModelRecord* level2 = Add(kModelDiode, {{"LEVEL", 2.0}, {"BV", 5.0}, {"IBV", 1e-3}});
    ModelRecord* zeroIs = Add(kModelDiode, {{"BV", 5.0}, {"IBV", 1e-3}, {"IS", 0.0}});
    ASSERT_EQ(SetupModelsAtTemperature(setup_, 27.0), 0);
    EXPECT_NEAR(V(fitted, "BV"), 5.0 - Vt(27.0) * std::log(1e-3 / 1e-14), 1e-4);
    EXPECT_NEAR(V(fitted, "BV"), 4.345, 1e-3);
    EXPECT_EQ(V(tiny, "BV"), 100.0);
    EXPECT_EQ(V(level2, "BV"), 5.0);
    EXPECT_EQ(V(zeroIs, "BV"), 5.0);
}

TEST_F(DiodeTemperatureTest, NominalTemperatureChangesNothing) {
    ModelRecord* d = Add(kModelDiode, {{"IS", 2e-14},
                                       {"ISR", 1e-12},
                                       {"CJO", 1e-12},
                                       {"VJ", 0.7},
                                       {"IKF", 0.1},
                                       {"RS", 2.0},
                                       {"TBV1", 1e-3},
                                       {"TIKF", 0.01},
                                       {"TRS1", 0.01},
                                       {"T_MEASURED", 27}});
    ASSERT_EQ(RunAt(27.0), 0);
    EXPECT_EQ(V(d, "IS"), 2e-14);
    EXPECT_EQ(V(d, "ISR"), 1e-12);
    EXPECT_EQ(V(d, "IKF"), 0.1);
    EXPECT_EQ(V(d, "RS"), 2.0);
    EXPECT_NEAR(V(d, "VJ"), 0.7, 1e-6);
    EXPECT_NEAR(V(d, "CJO"), 1e-12, 1e-18);
    EXPECT_EQ(d->Values[31], 27.0);
}

TEST_F(DiodeTemperatureTest, HotModelFollowsThePublishedEquations) {
    ModelRecord* d = Add(kModelDiode, {{"IS", 1e-14},
                                       {"N", 1.5},
                                       {"CJO", 2e-12},
                                       {"VJ", 0.75},
                                       {"M", 0.4},
                                       {"BV", 50.0},
                                       {"IBV", 1e-20},
                                       {"TBV1", 1e-3},
                                       {"TBV2", 1e-6},
                                       {"RS", 10.0},
                                       {"TRS1", 0.004}});
    ModelRecord* twin = Add(kModelDiode, {{"IS", 1e-14},
                                          {"N", 1.5},
                                          {"CJO", 2e-12},
                                          {"VJ", 0.75},
                                          {"M", 0.4},
                                          {"BV", 50.0},
                                          {"IBV", 1e-20},
                                          {"TBV1", 1e-3},
                                          {"TBV2", 1e-6},
                                          {"RS", 10.0},
                                          {"TRS1", 0.004}});
    ASSERT_EQ(RunAt(100.0), 0);
    const double tk = 373.15;
    const double vjT = PublishedVj(0.75, tk, kTnomK);
    EXPECT_NEAR(V(d, "IS") / PublishedIs(1e-14, 1.5, 1.11, 3.0, tk, kTnomK), 1.0, 1e-12);
    EXPECT_NEAR(V(d, "VJ"), vjT, 1e-6);
    EXPECT_NEAR(V(d, "CJO") / PublishedCjo(2e-12, 0.4, 0.75, vjT, tk, kTnomK), 1.0, 1e-6);
    EXPECT_NEAR(V(d, "BV"), 50.0 * (1.0 + 73e-3 + 73.0 * 73.0 * 1e-6), 1e-9);
    EXPECT_NEAR(V(d, "RS"), 10.0 * (1.0 + 0.004 * 73.0), 1e-12);
    EXPECT_NEAR(d->Values[16], 0.5 * vjT, 1e-6);  // FC*VJ(T)
    EXPECT_DOUBLE_EQ(d->Values[32], Vt(100.0));
    EXPECT_DOUBLE_EQ(d->Values[36], CriticalVoltage(1.5 * Vt(100.0), V(d, "IS")));
    // Models are prepared once each: a second model of the same values is alike.
    for (int i = 0; i < 37; ++i) EXPECT_EQ(d->Values[i], twin->Values[i]) << i;
}

TEST_F(DiodeTemperatureTest, SeriesResistanceRaisedToRmin) {
    ModelRecord* small = Add(kModelDiode, {{"RS", 1e-9}});
    ModelRecord* none = Add(kModelDiode, {{"RS", 0.0}});
    ASSERT_EQ(RunAt(27.0), 0);
    EXPECT_EQ(V(small, "RS"), 1e-6);
    EXPECT_EQ(V(none, "RS"), 0.0);
}

// ---- bipolar transistors ----------------------------------------------------------------------

using BjtTemperatureTest = ModelFixture;

TEST_F(BjtTemperatureTest, ModelPassClampsAndConversions) {
    ModelRecord* a = Add(kModelNpn, {{"ISE", 2.0},
                                     {"ISC", 0.5},
                                     {"RB", 100.0},
                                     {"VTF", 1.0},
                                     {"TF", 0.0},
                                     {"PTF", 30.0},
                                     {"VAF", 50.0},
                                     {"IKF", 0.0},
                                     {"RE", 2.0},
                                     {"MJC", 1.0}});
    ModelRecord* b =
        Add(kModelPnp, {{"RB", 100.0}, {"RBM", 200.0}, {"TF", 1e-9}, {"PTF", 90.0}, {"RC", 1e-9}, {"XCJC", 1.5}});
    ASSERT_EQ(SetupModelsAtTemperature(setup_, 27.0), 0);
    EXPECT_DOUBLE_EQ(V(a, "ISE"), 2e-16);
    EXPECT_EQ(V(a, "ISC"), 0.5);
    EXPECT_EQ(V(a, "RBM"), 100.0);
    EXPECT_EQ(V(b, "RBM"), 100.0);
    EXPECT_EQ(a->Values[34], 0.6944444444444444);
    EXPECT_EQ(V(a, "PTF"), 0.0);
    EXPECT_DOUBLE_EQ(V(b, "PTF"), std::numbers::pi / 2.0 * 1e-9);
    EXPECT_EQ(V(a, "VAF"), 1.0 / 50.0);
    EXPECT_EQ(V(a, "IKF"), 0.0);
    EXPECT_EQ(V(a, "RE"), 0.5);
    EXPECT_EQ(V(b, "RC"), 1e6);  // 1/RMIN
    EXPECT_EQ(V(a, "MJC"), 0.999);
    EXPECT_EQ(V(b, "XCJC"), 1.0);

    // A rebuild on converted values converts nothing twice.
    setup_.modelValuesConverted = true;
    ASSERT_EQ(SetupModelsAtTemperature(setup_, 27.0), 0);
    EXPECT_EQ(V(a, "VAF"), 1.0 / 50.0);
    EXPECT_EQ(V(a, "RE"), 0.5);
}

TEST_F(BjtTemperatureTest, TemperatureLawsAndInstanceValues) {
    // Twice the nominal kelvin temperature: 600.3 K.
    const double hot = 2.0 * kTnomK - 273.15;
    ModelRecord* q = Add(kModelNpn, {{"IS", 1e-16},
                                     {"XTB", 1.5},
                                     {"BF", 100.0},
                                     {"BR", 2.0},
                                     {"ISE", 1e-14},
                                     {"NE", 1.5},
                                     {"IKF", 0.01},
                                     {"RC", 10.0},
                                     {"TRC1", 0.01},
                                     {"RB", 50.0},
                                     {"TRB1", 0.002},
                                     {"CJE", 1e-12},
                                     {"VJE", 0.75},
                                     {"MJE", 0.33}});
    ASSERT_EQ(RunAt(hot), 0);
    const double tk = 2.0 * kTnomK;
    const double delta = hot - 27.0;
    EXPECT_NEAR(V(q, "BF"), 100.0 * std::pow(2.0, 1.5), 1e-9);
    EXPECT_NEAR(V(q, "BR"), 2.0 * std::pow(2.0, 1.5), 1e-12);
    EXPECT_NEAR(V(q, "IS") / PublishedIs(1e-16, 1.0, 1.11, 3.0, tk, kTnomK), 1.0, 1e-12);
    EXPECT_NEAR(V(q, "ISE") / PublishedIs(1e-14, 1.5, 1.11, 3.0, tk, kTnomK), 1.0, 1e-12);
    EXPECT_NEAR(V(q, "VJE"), PublishedVj(0.75, tk, kTnomK), 1e-6);
    EXPECT_NEAR(V(q, "RC"), 0.1 / (1.0 + 0.01 * delta), 1e-12);
    EXPECT_NEAR(V(q, "RB"), 50.0 * (1.0 + 0.002 * delta), 1e-9);

    const BjtInstanceValues two = ComputeBjtInstanceValues(q->Values, 2.0);
    EXPECT_DOUBLE_EQ(two.AreaIS, 2.0 * V(q, "IS"));
    EXPECT_DOUBLE_EQ(two.AreaInverseIKF, 1.0 / (2.0 * 0.01));
    EXPECT_EQ(two.AreaInverseIKR, 0.0);
    EXPECT_DOUBLE_EQ(two.AreaGRC, 2.0 * V(q, "RC"));
    EXPECT_DOUBLE_EQ(two.ForwardCutoff, -5.0 * q->Values[56]);
    EXPECT_EQ(ComputeBjtInstanceValues(q->Values, 0.0).AreaInverseIKF, 0.0);
}

// ---- JFETs and GaAsFETs ------------------------------------------------------------------------

using FetTemperatureTest = ModelFixture;

TEST_F(FetTemperatureTest, JfetGradingBetaAndThreshold) {
    ModelRecord* j =
        Add(kModelNjf, {{"M", 0.3}, {"BETATCE", 0.5}, {"VTOTC", -0.002}, {"CGS", 1e-12}, {"CGD", 1e-12}, {"RD", 10.0}});
    ModelRecord* unit = Add(kModelPjf, {{"M", 1.0}});
    ASSERT_EQ(SetupModelsAtTemperature(setup_, 127.0), 0);
    // Depletion coefficients always use a grading of 0.5.
    double ref[4] = {0.5, 0, 0, 0};
    DepletionCapCoefficients(ref, 0.5, 1.0, 0.5, 0, 1, 2, 3);
    EXPECT_EQ(j->Values[22], ref[1]);
    EXPECT_EQ(j->Values[23], ref[2]);
    // A grading of 1 would divide the gate charge by zero in the load.
    EXPECT_EQ(V(unit, "M"), 0.999);

    ASSERT_EQ(SetupInstancesAtTemperature(setup_, 127.0), 0);
    EXPECT_NEAR(V(j, "BETA"), 1e-4 * std::pow(1.01, 50.0), 1e-15);
    EXPECT_NEAR(V(j, "BETA") / 1e-4, 1.6446, 1e-4);
    EXPECT_NEAR(V(j, "VTO"), -2.2, 1e-12);
    // Both capacitances move against the same nominal potential.
    EXPECT_DOUBLE_EQ(V(j, "CGS"), V(j, "CGD"));
    EXPECT_NEAR(V(j, "PB"), PublishedVj(1.0, 400.15, kTnomK), 1e-6);
    EXPECT_EQ(V(j, "RD"), 0.1);
    EXPECT_DOUBLE_EQ(j->Values[25], CriticalVoltage(j->Values[21], V(j, "IS")));
}

TEST_F(FetTemperatureTest, GaasfetSeriesConductances) {
    ModelRecord* g = Add(kModelGasfet, {{"RD", 10.0}, {"TRD1", 0.01}, {"RS", 1e-9}, {"RG", 0.0}, {"M", 1.0005}});
    ASSERT_EQ(RunAt(77.0), 0);
    EXPECT_NEAR(V(g, "RD"), 0.1 / 1.5, 1e-15);
    EXPECT_EQ(V(g, "RS"), 1e6);
    EXPECT_EQ(V(g, "RG"), 0.0);
    EXPECT_EQ(V(g, "M"), 0.999);
    EXPECT_EQ(V(g, "CDS"), 0.0);
}

TEST_F(FetTemperatureTest, WithoutRminNoConductanceIsClamped) {
    options_.rmin = 0;
    ModelRecord* g = Add(kModelGasfet, {{"RD", 1e-9}});
    ASSERT_EQ(RunAt(27.0), 0);
    EXPECT_EQ(setup_.MaxConductance, 1e50);
    EXPECT_DOUBLE_EQ(V(g, "RD"), 1e9);
}

}  // namespace
