// Numerical integration of device charges and fluxes: the coefficients of the
// variable-step Gear (backward-differentiation) and trapezoidal formulas, the
// integration of one state block, the shifting of the state history at
// accepted points, the local-truncation-error estimate from which the
// transient takes its next step, and the junction depletion charge shared by
// the semiconductor loads.
//
// Every state variable owns a block of four consecutive slots in each of the
// two state vectors: slot 0 the present value, slots 1..3 the values at the
// last three accepted points. Charges (or fluxes) live in the values vector,
// their time derivatives (the currents) in the derivatives vector.
#pragma once

#include <cstddef>
#include <cstdint>

struct GlobalSettingValues;

enum IntegrationMethodKind : int32_t { kIntegrationGear = 0, kIntegrationTrapezoidal = 1 };

constexpr int kStateSlotsPerBlock = 4;
constexpr int kMaxGearOrder = 6;

// The formula of the present time step: method, order, step, the steps before
// it and the coefficients. Part of the simulator state of a run.
struct IntegrationFormula {
    int32_t IntegrationMethod = kIntegrationTrapezoidal;
    int32_t IntegrationOrder = 1;
    double TimeStep = 1.0;
    double PreviousSteps[7] = {};  // [0] the present step, [1] the one before, ...
    double IntegrationCoefficients[7] = {};
    double Ag0 = 0.0;
    double Ag1 = 0.0;
};

// The two state vectors of a run (the compiled circuit's), by block.
struct StateVectors {
    double* StateValues = nullptr;
    double* StateDerivatives = nullptr;
    int32_t StateCount = 0;  // blocks in all

    double* Values(int32_t block) const { return StateValues + static_cast<ptrdiff_t>(block) * kStateSlotsPerBlock; }
    double* Derivatives(int32_t block) const {
        return StateDerivatives + static_cast<ptrdiff_t>(block) * kStateSlotsPerBlock;
    }
};

// Sets the coefficients for the present method, order and step. An unknown
// method or order leaves everything unchanged (false). A Gear system that
// cannot be solved (coinciding past points) also leaves them unchanged.
bool ComputeIntegrationCoefficients(IntegrationFormula& formula);

// Writes the block's present derivative from its charge history.
void IntegrateDerivative(const IntegrationFormula& formula, const StateVectors& states, int32_t block);
// The derivative, then geq = Ag0 * capacitance and ceq = derivative - Ag0 *
// present charge (the companion current source).
void IntegrateState(const IntegrationFormula& formula, const StateVectors& states, double capacitance, double& geq,
                    double& ceq, int32_t block);
// The derivative, then geq = Ag0 * capacitance only.
void IntegrateConductance(const IntegrationFormula& formula, const StateVectors& states, double& geq, int32_t block,
                          double capacitance);

// At an accepted point: in every block of both vectors slot 3 := 2, 2 := 1, 1 := 0.
void ShiftStateHistory(const StateVectors& states);
// After the first accepted point: in every block of both vectors slots 2 and 3 := slot 1.
void FillStateHistory(const StateVectors& states);
// Every slot of both vectors to 0.
void ClearStateVectors(const StateVectors& states);

// The smaller of `estimate` and the square of the step this block allows
// (options ABSTOL, RELTOL, CHGTOL, TRTOL).
double TruncationError(const IntegrationFormula& formula, const GlobalSettingValues& options,
                       const StateVectors& states, int32_t block, double estimate);
// The next step from the charges: every block of the simple kinds (the first
// `simpleBlocks`: capacitors, inductors, diodes, JFETs, GaAsFETs), then the
// first three of the five blocks of each of `bipolars` transistors and of the
// seven of each of `mosfets` MOSFETs laid out after them. sqrt of the smallest
// allowed square, at most `maxTimeStep` and, when it may grow, at most twice
// the present step. Without any charge the estimate is 1e10 before those limits.
double TruncationTimeStep(const IntegrationFormula& formula, const GlobalSettingValues& options,
                          const StateVectors& states, int32_t simpleBlocks, double maxTimeStep, bool mayGrow,
                          int32_t bipolars = 0, int32_t mosfets = 0);

// A junction's depletion and diffusion charge and its capacitance. `fcpb` is
// the forward-bias threshold FC * pb; `extension` the model's three
// coefficients of the charge above it. The charge goes to slot 0 of `charge`
// (a block of the values vector) and the capacitance to `capacitance`; with
// `accumulate` both are added to what is there.
void JunctionCharge(double fcpb, const double extension[3], double* charge, double vd, double pb, double mj, double tt,
                    double id, double cz, double gd, double& capacitance, bool accumulate);

// Whole-number conversions of step counts and of times in ticks. The value is
// clamped in double before the conversion: a step count or tick time computed
// from a tiny step or a huge stop time can exceed the integer range, and
// converting such a double (or NaN) is undefined behaviour.
// Truncates toward zero into [INT32_MIN, INT32_MAX]; NaN gives 0.
int32_t ClampedStepCount(double value);
// Rounds down into [0, UINT32_MAX]; NaN and negative values give 0.
uint32_t ClampedTicks(double value);
