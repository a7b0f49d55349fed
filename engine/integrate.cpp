#include "engine/integrate.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>

#include "expr/runvars.h"

namespace {

constexpr double kGearErrorConstants[kMaxGearOrder] = {0.5,   0.2222222222,  0.1363636364,
                                                       0.096, 0.07299270073, 0.0583090379};
constexpr double kTrapezoidalErrorConstants[2] = {0.5, 0.08333333333};

// A block holds the present value and three past ones; a formula never
// reads further back than that, or it would read the next block's slots.
constexpr int kLastHistorySlot = kStateSlotsPerBlock - 1;

bool ComputeGear(IntegrationFormula& f) {
    const int order = f.IntegrationOrder;
    const double h = f.TimeStep;
    double matrix[kMaxGearOrder + 1][kMaxGearOrder + 1];
    double rhs[kMaxGearOrder + 1] = {};
    rhs[1] = -1.0 / h;
    double sum = 0.0;
    for (int i = 0; i <= order; ++i) {
        if (i > 0) sum += f.PreviousSteps[i - 1];
        const double ratio = sum / h;
        double power = 1.0;
        matrix[0][i] = 1.0;
        for (int j = 1; j <= order; ++j) {
            power *= ratio;
            matrix[j][i] = power;
        }
    }
    // Gaussian elimination without pivoting: the first column is (1, 0, 0, ...)
    // and the points are distinct, so the diagonal stays non-zero; a zero
    // (coinciding points, a zero step) leaves the coefficients as they were.
    for (int k = 0; k <= order; ++k) {
        if (matrix[k][k] == 0.0 || !std::isfinite(matrix[k][k])) return false;
        for (int r = k + 1; r <= order; ++r) {
            const double factor = matrix[r][k] / matrix[k][k];
            if (factor == 0.0) continue;
            for (int c = k; c <= order; ++c) matrix[r][c] -= factor * matrix[k][c];
            rhs[r] -= factor * rhs[k];
        }
    }
    double ag[kMaxGearOrder + 1] = {};
    for (int k = order; k >= 0; --k) {
        double value = rhs[k];
        for (int c = k + 1; c <= order; ++c) value -= matrix[k][c] * ag[c];
        ag[k] = value / matrix[k][k];
    }
    for (double value : ag) {
        if (!std::isfinite(value)) return false;
    }
    std::copy(std::begin(ag), std::end(ag), f.IntegrationCoefficients);
    return true;
}

}  // namespace

bool ComputeIntegrationCoefficients(IntegrationFormula& f) {
    // A step that is not a positive number would put infinities into every
    // companion model.
    if (!(f.TimeStep > 0.0) || !std::isfinite(f.TimeStep)) return false;
    const double h = f.TimeStep;
    if (f.IntegrationMethod == kIntegrationGear) {
        if (f.IntegrationOrder < 1 || f.IntegrationOrder > kMaxGearOrder) return false;
        if (!ComputeGear(f)) return false;
    } else if (f.IntegrationMethod == kIntegrationTrapezoidal) {
        if (f.IntegrationOrder == 1) {
            f.IntegrationCoefficients[0] = 1.0 / h;
            f.IntegrationCoefficients[1] = -1.0 / h;
        } else if (f.IntegrationOrder == 2) {
            f.IntegrationCoefficients[0] = 2.0 / h;
            f.IntegrationCoefficients[1] = 1.0;
        } else {
            return false;
        }
    } else {
        return false;
    }
    f.Ag0 = f.IntegrationCoefficients[0];
    f.Ag1 = f.IntegrationCoefficients[1];
    return true;
}

void IntegrateDerivative(const IntegrationFormula& f, const StateVectors& states, int32_t block) {
    const double* q = states.Values(block);
    double* d = states.Derivatives(block);
    const double* ag = f.IntegrationCoefficients;
    if (f.IntegrationMethod == kIntegrationGear) {
        if (f.IntegrationOrder < 1 || f.IntegrationOrder > kMaxGearOrder) {
            d[0] = 0.0;
            return;
        }
        const int last = std::min(static_cast<int>(f.IntegrationOrder), kLastHistorySlot);
        double sum = 0.0;
        for (int i = 0; i <= last; ++i) sum += ag[i] * q[i];
        d[0] = sum;
    } else if (f.IntegrationMethod == kIntegrationTrapezoidal) {
        if (f.IntegrationOrder == 1) {
            d[0] = ag[0] * q[0] + ag[1] * q[1];
        } else if (f.IntegrationOrder == 2) {
            d[0] = ag[0] * (q[0] - q[1]) - ag[1] * d[1];
        }
    }
}

void IntegrateState(const IntegrationFormula& f, const StateVectors& states, double capacitance, double& geq,
                    double& ceq, int32_t block) {
    IntegrateDerivative(f, states, block);
    geq = f.Ag0 * capacitance;
    ceq = states.Derivatives(block)[0] - f.Ag0 * states.Values(block)[0];
}

void IntegrateConductance(const IntegrationFormula& f, const StateVectors& states, double& geq, int32_t block,
                          double capacitance) {
    IntegrateDerivative(f, states, block);
    geq = f.Ag0 * capacitance;
}

namespace {

template <typename Op>
void ForEachBlock(const StateVectors& states, Op op) {
    if (states.StateCount <= 0) return;
    for (double* vector : {states.StateValues, states.StateDerivatives}) {
        if (vector == nullptr) continue;
        for (int32_t b = 0; b < states.StateCount; ++b) op(vector + static_cast<ptrdiff_t>(b) * kStateSlotsPerBlock);
    }
}

}  // namespace

void ShiftStateHistory(const StateVectors& states) {
    ForEachBlock(states, [](double* s) {
        s[3] = s[2];
        s[2] = s[1];
        s[1] = s[0];
    });
}

void FillStateHistory(const StateVectors& states) {
    ForEachBlock(states, [](double* s) { s[2] = s[3] = s[1]; });
}

void ClearStateVectors(const StateVectors& states) {
    ForEachBlock(states, [](double* s) { s[0] = s[1] = s[2] = s[3] = 0.0; });
}

double TruncationError(const IntegrationFormula& f, const GlobalSettingValues& options, const StateVectors& states,
                       int32_t block, double estimate) {
    const int order = f.IntegrationOrder;
    double factor;
    if (f.IntegrationMethod == kIntegrationGear && order >= 1 && order <= kMaxGearOrder) {
        factor = kGearErrorConstants[order - 1];
    } else if (f.IntegrationMethod == kIntegrationTrapezoidal && (order == 1 || order == 2)) {
        factor = kTrapezoidalErrorConstants[order - 1];
    } else {
        return estimate;
    }
    // The divided differences read order + 2 values; a block keeps four, so a
    // higher order has no history to judge by.
    if (order + 1 > kLastHistorySlot) return estimate;
    const double h = f.TimeStep;
    if (!(h > 0.0)) return estimate;
    const double* q = states.Values(block);
    const double* d = states.Derivatives(block);

    const double currentTol = options.abstol + options.reltol * std::max(std::fabs(d[0]), std::fabs(d[1]));
    const double chargeTol = options.reltol * std::max(std::max(std::fabs(q[0]), std::fabs(q[1])), options.chgtol) / h;
    const double tol = std::max(currentTol, chargeTol);

    double diff[kStateSlotsPerBlock] = {};
    double step[kStateSlotsPerBlock] = {};
    for (int i = 0; i <= order + 1; ++i) diff[i] = q[i];
    for (int i = 0; i <= order; ++i) {
        // A past step of 0 (history not yet filled) gives no estimate.
        if (!(f.PreviousSteps[i] > 0.0)) return estimate;
        step[i] = f.PreviousSteps[i];
    }
    for (int j = order; j >= 0; --j) {
        for (int i = 0; i <= j; ++i) diff[i] = (diff[i] - diff[i + 1]) / step[i];
        if (j > 0) {
            for (int i = 0; i < j; ++i) step[i] = step[i + 1] + f.PreviousSteps[i];
        }
    }

    double del = options.trtol * tol / std::max(options.abstol, factor * std::fabs(diff[0]));
    if (order == 2) {
        del = std::sqrt(del);
    } else if (order > 2) {
        const double exponent = std::clamp(std::log(del) / order, -350.0, 350.0);
        del = std::exp(exponent);
    }
    return std::min(estimate, del * del);
}

double TruncationTimeStep(const IntegrationFormula& f, const GlobalSettingValues& options, const StateVectors& states,
                          int32_t simpleBlocks, double maxTimeStep, bool mayGrow, int32_t bipolars, int32_t mosfets) {
    double estimate = 1e20;
    const int32_t blocks = std::min(simpleBlocks, states.StateCount);
    if (states.StateValues != nullptr && states.StateDerivatives != nullptr) {
        for (int32_t b = 0; b < blocks; ++b) estimate = TruncationError(f, options, states, b, estimate);
        // Only the charges of a transistor count; its remaining blocks hold
        // other history (excess phase, previous voltages).
        const auto firstThree = [&](int32_t first, int32_t count, int32_t stride) {
            for (int32_t i = 0; i < count; ++i)
                for (int32_t k = 0; k < 3; ++k) {
                    const int32_t b = first + i * stride + k;
                    if (b >= 0 && b < states.StateCount) estimate = TruncationError(f, options, states, b, estimate);
                }
        };
        firstThree(simpleBlocks, bipolars, 5);
        firstThree(simpleBlocks + 5 * bipolars, mosfets, 7);
    }
    double step = std::sqrt(estimate);
    step = std::min(step, maxTimeStep);
    if (mayGrow) step = std::min(step, 2.0 * f.TimeStep);
    return step;
}

void JunctionCharge(double fcpb, const double extension[3], double* charge, double vd, double pb, double mj, double tt,
                    double id, double cz, double gd, double& capacitance, bool accumulate) {
    double q = 0.0;
    double c = 0.0;
    if (tt > 0.0) {
        q = tt * id;
        c = tt * gd;
    }
    if (cz > 0.0) {
        if (vd < fcpb) {
            double arg = 1.0 - vd / pb;
            if (!(arg > 0.0)) arg = 1e-100;
            double sarg;
            if (mj == 0.0) {
                sarg = 1.0;
            } else if (mj == 0.5) {
                sarg = 1.0 / std::sqrt(arg);
            } else {
                sarg = std::pow(arg, -mj);
            }
            // A grading coefficient of exactly 1 makes the integral's divisor 0.
            const double depletion = cz * pb * (1.0 - arg * sarg);
            q += mj == 1.0 ? depletion * 1e50 : depletion / (1.0 - mj);
            c += cz * sarg;
        } else {
            q += cz * extension[2] + vd * (cz * extension[0] + cz * extension[1] * vd / 2.0);
            c += cz * extension[0] + cz * extension[1] * vd;
        }
    }
    if (accumulate) {
        charge[0] += q;
        capacitance += c;
    } else {
        charge[0] = q;
        capacitance = c;
    }
}

int32_t ClampedStepCount(double value) {
    if (std::isnan(value)) return 0;
    constexpr double kLow = static_cast<double>(std::numeric_limits<int32_t>::min());
    constexpr double kHigh = static_cast<double>(std::numeric_limits<int32_t>::max());
    return static_cast<int32_t>(std::clamp(std::trunc(value), kLow, kHigh));
}

uint32_t ClampedTicks(double value) {
    if (std::isnan(value) || value <= 0.0) return 0;
    constexpr double kHigh = static_cast<double>(std::numeric_limits<uint32_t>::max());
    return static_cast<uint32_t>(std::min(std::floor(value), kHigh));
}
