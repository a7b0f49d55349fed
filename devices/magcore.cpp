#include "devices/magcore.h"

#include <algorithm>
#include <cmath>

#include "models/modelstmt.h"
#include "models/modeltypes.h"

CoreParameters CoreParametersOf(const ModelRecord* model) {
    CoreParameters p;
    if (!model || !model->Values) return p;
    const auto value = [&](const char* name, double fallback) {
        const int index = FindModelParamIndex(model->ModelType, name);
        return index >= 0 ? model->Values[index] : fallback;
    };
    p.area = value("AREA", p.area);
    p.path = value("PATH", p.path);
    p.gap = value("GAP", p.gap);
    p.ms = value("MS", p.ms);
    p.a = value("A", p.a);
    p.c = value("C", p.c);
    p.k = value("K", p.k);
    return p;
}

CoreSolveResult SolveMagnetization(CoreState& core, const CoreParameters& parameters, const CoreSolveOptions& options) {
    CoreSolveResult result;
    const bool gapped = parameters.gap > 0.0;
    // With a gap the field inside the core is solved from the ampere-turns
    // F = l Happlied and the flux continuing through the gap:
    // F / l = H + (H + M) / r with r = l / gap.
    const double l = gapped ? parameters.path * 0.01 : 1.0;
    const double r = gapped ? (parameters.path * 0.01) / (parameters.gap * 0.01) : 0.0;
    const double f = l * core.appliedField;
    double h = gapped ? core.appliedField : f;
    double previous = 0.0;
    double error = 1.0;
    int32_t passes = 0;
    const double tolerance = options.reltol * 0.001;
    while (passes < kCoreIterationLimit && error > tolerance) {
        ++passes;
        const double deltaH = h - core.acceptedField;
        const double denominator = std::fabs(h) + parameters.a;
        core.anhysteretic = parameters.ms * h / denominator;
        const double sign = h >= 0.0 ? 1.0 : -1.0;
        const double dMan = parameters.ms * (1.0 / denominator - sign * h / (denominator * denominator));
        if (parameters.k == 0.0) {
            core.slope = dMan;
            error = 0.0;
            break;
        }
        const double kPrime = (deltaH < 0.0 ? -1.0 : 1.0) * (parameters.c + 1.0) * parameters.k;
        const double cPrime = parameters.c * dMan / (parameters.c + 1.0);
        if (kPrime + deltaH == 0.0)
            core.magnetization = core.anhysteretic;
        else
            core.magnetization =
                ((cPrime * kPrime + core.anhysteretic) * deltaH + kPrime * core.acceptedMagnetization) /
                (kPrime + deltaH);
        const double d = (core.anhysteretic - core.magnetization) / kPrime;
        if (d < 0.0) {
            core.magnetization = core.acceptedMagnetization + cPrime * deltaH;
            core.slope = cPrime;
        } else {
            core.slope = cPrime + d;
        }
        if (!gapped) {
            error = 0.0;
            break;
        }
        // Newton on M(H) + H - r (F / l - H) = 0.
        const double derivative = core.slope + 1.0 + r;
        if (derivative == 0.0) {
            error = 0.0;
            break;
        }
        const double next = h - (core.magnetization + h - r * (f / l - h)) / derivative;
        if (next == 0.0) {
            h = next;
            error = 0.0;
            break;
        }
        error = std::fabs(previous - next) / std::max({std::fabs(previous), std::fabs(next), options.abstol});
        previous = next;
        h = next;
    }
    result.passes = passes;
    if (error > tolerance) {
        // The iteration limit: the field and chord slope stay as they were.
        result.converged = false;
        return result;
    }
    if (options.compareIterations) {
        const double limit =
            options.abstol + tolerance * std::max(std::fabs(core.lastMagnetization), std::fabs(core.magnetization));
        result.magnetizationMoved = std::fabs(core.magnetization - core.lastMagnetization) > limit;
    }
    if (!result.magnetizationMoved && parameters.ms != 0.0) {
        const double change = std::fabs((core.magnetization - core.acceptedMagnetization) / parameters.ms);
        const double stepTolerance = 0.08 * std::pow(2.0, std::log10(options.reltol));
        if (change != 0.0) result.stepFactor = std::max(stepTolerance / change, 0.2);
    }
    const double appliedChange = core.appliedField - core.acceptedAppliedField;
    core.chordSlope = appliedChange != 0.0 ? (core.magnetization - core.acceptedMagnetization) / appliedChange
                                           : core.acceptedChordSlope;
    core.lastMagnetization = core.magnetization;
    core.field = h;
    return result;
}

void UpdateCoreState(CoreState& core, int mode) {
    switch (mode) {
    case 0: core = CoreState(); break;
    case 1:
        core.acceptedField = core.field;
        core.acceptedMagnetization = core.magnetization;
        core.acceptedAppliedField = core.appliedField;
        core.acceptedAnhysteretic = core.anhysteretic;
        core.acceptedSlope = core.slope;
        core.acceptedChordSlope = core.chordSlope;
        core.lastMagnetization = core.magnetization;
        break;
    case 2:
        core.field = core.acceptedField;
        core.magnetization = core.acceptedMagnetization;
        core.appliedField = core.acceptedAppliedField;
        core.anhysteretic = core.acceptedAnhysteretic;
        core.slope = core.acceptedSlope;
        core.chordSlope = core.acceptedChordSlope;
        break;
    default: break;
    }
}

double WindingInductance(const CoreState& core, const CoreParameters& parameters, double turns) {
    const double l = parameters.path * 0.01;
    const double area = parameters.area * 1e-4;
    return l > 0.0 ? kMu0 * (1.0 + core.chordSlope) * turns * turns * area / l : 0.0;
}

double WindingFlux(const CoreState& core, const CoreParameters& parameters, double turns, double coupling) {
    return kMu0 * turns * parameters.area * 1e-4 * (core.field + core.magnetization) * coupling;
}

double WindingField(const CoreParameters& parameters, double turns, double current) {
    const double l = parameters.path * 0.01;
    return l > 0.0 ? current * turns / l : 0.0;
}
