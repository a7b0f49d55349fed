#include "engine/stamps.h"

#include <cmath>
#include <cstring>
#include <new>

#include "expr/runvars.h"

namespace {

constexpr int kOutOfMemory = 15002;
constexpr int kBadArgument = 101;

}  // namespace

// ---- reservation ---------------------------------------------------------------------------------

int ReserveEntry(EntryList& list, int32_t row, int32_t col) {
    if (list.matrix == nullptr) return kBadArgument;
    MatrixElement* element = list.matrix->GetElement(row, col);
    if (element == nullptr) return kOutOfMemory;
    try {
        list.items.push_back(element);
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    return 0;
}

int ReserveConductance(EntryList& list, int32_t a, int32_t b) {
    if (int rc = ReserveEntry(list, a, b)) return rc;
    if (int rc = ReserveEntry(list, b, a)) return rc;
    if (int rc = ReserveEntry(list, a, a)) return rc;
    return ReserveEntry(list, b, b);
}

int ReserveTransconductance(EntryList& list, int32_t a, int32_t b, int32_t c, int32_t d) {
    if (int rc = ReserveEntry(list, c, a)) return rc;
    if (int rc = ReserveEntry(list, c, b)) return rc;
    if (int rc = ReserveEntry(list, d, a)) return rc;
    return ReserveEntry(list, d, b);
}

int ReserveBranch(EntryList& list, int32_t k, int32_t a, int32_t b) {
    if (int rc = ReserveEntry(list, k, a)) return rc;
    if (int rc = ReserveEntry(list, k, b)) return rc;
    if (int rc = ReserveEntry(list, a, k)) return rc;
    return ReserveEntry(list, b, k);
}

int ReserveControlledSource(EntryList& list, int kind, int32_t k, int32_t a, int32_t b, int32_t c, int32_t d) {
    switch (kind) {
    case kVoltageControlledCurrent: return ReserveTransconductance(list, a, b, c, d);
    case kCurrentControlledCurrent:
        if (int rc = ReserveBranch(list, k, a, b)) return rc;
        if (int rc = ReserveEntry(list, c, k)) return rc;
        return ReserveEntry(list, d, k);
    case kVoltageControlledVoltage:
        if (int rc = ReserveEntry(list, k, a)) return rc;
        if (int rc = ReserveEntry(list, k, b)) return rc;
        return ReserveBranch(list, k, c, d);
    case kCurrentControlledVoltage:
        if (int rc = ReserveBranch(list, k, a, b)) return rc;
        if (int rc = ReserveBranch(list, k + 1, c, d)) return rc;
        return ReserveEntry(list, k + 1, k);
    default: return 0;
    }
}

int ControlledSourceEntryCount(int kind) {
    switch (kind) {
    case kVoltageControlledCurrent: return 4;
    case kCurrentControlledCurrent: return 6;
    case kVoltageControlledVoltage: return 6;
    case kCurrentControlledVoltage: return 9;
    default: return 0;
    }
}

// ---- stamps ------------------------------------------------------------------------------------

static void StampBranchOnes(EntryCursor& cursor) {
    cursor.Stamp(1.0);
    cursor.Stamp(-1.0);
    cursor.Stamp(1.0);
    cursor.Stamp(-1.0);
}

void StampVoltageSource(EntryCursor& cursor, double* rhs, int32_t k, double v) {
    StampBranchOnes(cursor);
    rhs[k] += v;
}

void StampControlledSource(EntryCursor& cursor, int kind, double x) {
    switch (kind) {
    case kVoltageControlledCurrent:
        cursor.Stamp(x);
        cursor.Stamp(-x);
        cursor.Stamp(-x);
        cursor.Stamp(x);
        break;
    case kCurrentControlledCurrent:
        StampBranchOnes(cursor);
        cursor.Stamp(x);
        cursor.Stamp(-x);
        break;
    case kVoltageControlledVoltage:
        cursor.Stamp(-x);
        cursor.Stamp(x);
        StampBranchOnes(cursor);
        break;
    case kCurrentControlledVoltage:
        StampBranchOnes(cursor);
        StampBranchOnes(cursor);
        cursor.Stamp(-x);
        break;
    default: break;
    }
}

// ---- load bracketing -----------------------------------------------------------------------------

void ResetLoad(const EntryList& list, EntryCursor& cursor, double* rhs, size_t rhsCount, bool keepValues) {
    if (rhs != nullptr && rhsCount > 0) std::memset(rhs, 0, rhsCount * sizeof(double));
    if (list.matrix == nullptr) {
        cursor = EntryCursor();
        return;
    }
    cursor = EntryCursor(list);
    if (!keepValues) list.matrix->ClearValues();
}

void ClearPowerTotals(PowerTotals& totals) { totals = PowerTotals(); }

// ---- convergence tests -----------------------------------------------------------------------

static double Tolerance(const GlobalSettingValues& options, double floor, double now, double old) {
    return floor + options.reltol * MaxDouble(std::fabs(now), std::fabs(old));
}

bool CurrentConverged(const GlobalSettingValues& options, double now, double old) {
    return std::fabs(now - old) < Tolerance(options, options.abstol, now, old);
}

bool VoltageConverged(const GlobalSettingValues& options, double now, double old) {
    return std::fabs(now - old) < Tolerance(options, options.vntol, now, old);
}

// The divergence tests are written as "not within tolerance" so that a NaN
// value (a failed evaluation) counts as a failure, never as convergence.
bool CurrentDiverged(const GlobalSettingValues& options, int32_t& nonConvergedCount, double now, double old) {
    if (std::fabs(now - old) <= Tolerance(options, options.abstol, now, old)) return false;
    ++nonConvergedCount;
    return true;
}

bool VoltageDiverged(const GlobalSettingValues& options, int32_t& nonConvergedCount, double now, double old) {
    if (std::fabs(now - old) <= Tolerance(options, options.vntol, now, old)) return false;
    ++nonConvergedCount;
    return true;
}

bool ValueDiverged(const GlobalSettingValues& options, int32_t& nonConvergedCount, double& stored, double now) {
    const bool diverged = !(std::fabs(now - stored) <= Tolerance(options, 1e-20, now, stored));
    stored = now;
    if (diverged) ++nonConvergedCount;
    return diverged;
}

void RecordFailure(FailureLog& log, const DeviceRecord* device, int32_t kind, double value, double time) {
    if (log.count < 0 || log.count >= kMaxFailureRecords) return;
    FailureRecord& record = log.records[static_cast<size_t>(log.count++)];
    record = FailureRecord();
    record.device = device;
    record.kind = kind;
    record.value = value;
    log.time = time;
}

void RecordNodeFailure(FailureLog& log, int32_t node, double value, double time) {
    if (log.count < 0 || log.count >= kMaxFailureRecords) return;
    FailureRecord& record = log.records[static_cast<size_t>(log.count++)];
    record = FailureRecord();
    record.node = node;
    record.kind = kFailureNode;
    record.value = value;
    log.time = time;
}

// ---- small numeric operations ------------------------------------------------------------------

double ClampTiny(double x) {
    if (x == 0.0 || std::fabs(x) < 1e-100) return x < 0.0 ? -1e-100 : 1e-100;
    return x;
}

double ClampToRmin(double r, double rmin) {
    if (std::fabs(r) < rmin) return r < 0.0 ? -rmin : rmin;
    return r;
}

double RaiseTinyVoltage(double v) {
    if (v != 0.0 && std::fabs(v) < 1e-50) return v < 0.0 ? -1e-50 : 1e-50;
    return v;
}

// ---- voltage limiting -----------------------------------------------------------------------

double LimitJunctionVoltage(double vnew, double vold, double vt, double vcrit, int32_t& limited) {
    if (vnew > vcrit && std::fabs(vnew - vold) > 2.0 * vt) {
        limited = 1;
        if (vold > 0.0) {
            const double arg = 1.0 + (vnew - vold) / vt;
            return arg > 0.0 ? vold + vt * std::log(arg) : vcrit;
        }
        // A negative critical voltage lets vnew be at or below 0 here: the
        // logarithm would give NaN (or -inf), which poisons the whole solution.
        const double arg = vnew / vt;
        return arg > 0.0 ? vt * std::log(arg) : vcrit;
    }
    limited = 0;
    return vnew;
}

void LimitJunctionVoltageInPlace(double& v, double vold, double vt, double vcrit, int32_t& limited) {
    int32_t changed = 0;
    const double result = LimitJunctionVoltage(v, vold, vt, vcrit, changed);
    if (changed) {
        v = result;
    } else {
        limited = 0;
    }
}

namespace {

// The common FET rules; `holdOnFloor` is the in-place variant's extra floor
// for a large decrease of a fully-on gate.
double FetLimit(double vnew, double vold, double vto, bool holdOnFloor) {
    const double hi = std::fabs(2.0 * (vold - vto)) + 2.0;
    const double lo = hi / 2.0 + 2.0;
    const double von = vto + 3.5;
    const double d = vnew - vold;
    if (vold >= von) {
        if (d <= 0.0) {
            if (vnew >= von) {
                double v = -d > lo ? vold - lo : vnew;
                if (holdOnFloor) v = MaxDouble(v, vto + 2.0);
                return v;
            }
            return MaxDouble(vnew, vto + 2.0);
        }
        return d >= hi ? vold + hi : vnew;
    }
    if (vold >= vto) {
        return d <= 0.0 ? MaxDouble(vnew, vto - 0.5) : MinDouble(vnew, vto + 4.0);
    }
    if (d <= 0.0) return -d > hi ? vold - hi : vnew;
    if (vnew > vto + 0.5) return vto + 0.5;
    return d > lo ? vold + lo : vnew;
}

}  // namespace

double LimitFetVoltage(double vnew, double vold, double vto) { return FetLimit(vnew, vold, vto, false); }

void LimitFetVoltageInPlace(double& v, double vold, double vto) { v = FetLimit(v, vold, vto, true); }

double LimitDrainSourceVoltage(double vnew, double vold) {
    if (vold >= 3.5) {
        if (vnew > vold) return MinDouble(vnew, 3.0 * vold + 2.0);
        if (vnew < 3.5) return MaxDouble(vnew, 2.0);
        return vnew;
    }
    return vnew > vold ? MinDouble(vnew, 4.0) : MaxDouble(vnew, -0.5);
}
