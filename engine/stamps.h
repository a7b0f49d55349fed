// How device loads reach the matrix, judge convergence and limit junction
// voltages.
//
// While a matrix is built every device reserves the positions it will stamp, in
// a fixed order, into the matrix's EntryList; every later load walks that list
// with an EntryCursor and adds one value per reserved position, in the same
// order. A load therefore never searches the matrix: a stamp is one addition
// through a held pointer and one pointer step. A load that stamps more or fewer
// positions than it reserved shifts every later device onto the wrong
// elements, so reserve and load must match item for item.
//
// The types here are the pieces of the simulator state that this mechanism
// owns (the entry list, the cursor, the failure log, the power totals); the
// simulator state embeds them, and the functions take them explicitly so that
// two circuits can load side by side.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/sparse.h"

struct DeviceRecord;
struct GlobalSettingValues;

// ---- matrix entries ---------------------------------------------------------------------------

// The reserved positions of one matrix, in reservation order, never reordered.
// Positions in row 0 or column 0 hold the matrix's trash-can element.
struct EntryList {
    SparseMatrix* matrix = nullptr;  // the matrix whose elements the items point to
    std::vector<MatrixElement*> items;

    // Forgets every item (the elements stay the matrix's).
    void Clear() { items.clear(); }
    size_t Size() const { return items.size(); }
};

// The position of the next stamp in an EntryList. Null (inactive) when no
// matrix is installed.
class EntryCursor {
public:
    EntryCursor() = default;
    // At the first item of `list`.
    explicit EntryCursor(const EntryList& list) : start_(list.items.data()), at_(start_) {}

    bool Active() const { return at_ != nullptr; }
    // Adds `value` to the real part of the element under the cursor and steps on.
    void Stamp(double value) { (*at_++)->Real += value; }
    // The element under the cursor, stepping on (for loads that also stamp
    // imaginary parts).
    MatrixElement* Next() { return *at_++; }
    // Items stamped since the cursor was placed at the list's start.
    size_t Position() const { return static_cast<size_t>(at_ - start_); }

private:
    MatrixElement* const* start_ = nullptr;
    MatrixElement* const* at_ = nullptr;
};

// Reservation, only while the matrix structure is built. Each returns 0, or
// 15002 when the item or the element cannot be allocated (101 when the list
// has no matrix).
int ReserveEntry(EntryList& list, int32_t row, int32_t col);
// (a, b), (b, a), (a, a), (b, b).
int ReserveConductance(EntryList& list, int32_t a, int32_t b);
// Controlling nodes a, b; output nodes c, d: (c, a), (c, b), (d, a), (d, b).
int ReserveTransconductance(EntryList& list, int32_t a, int32_t b, int32_t c, int32_t d);
// Branch row k between nodes a and b: (k, a), (k, b), (a, k), (b, k).
int ReserveBranch(EntryList& list, int32_t k, int32_t a, int32_t b);

// Controlled-source kinds, shared by the DC and AC stamps.
enum ControlledSourceKind : int {
    kVoltageControlledCurrent = 0,
    kCurrentControlledCurrent = 1,
    kVoltageControlledVoltage = 2,
    kCurrentControlledVoltage = 3,
};
// Kind 0: ReserveTransconductance(a, b, c, d). Kind 1: ReserveBranch(k, a, b)
// for the sensing branch, then (c, k), (d, k). Kind 2: (k, a), (k, b), then
// ReserveBranch(k, c, d). Kind 3: ReserveBranch(k, a, b) (sensing),
// ReserveBranch(k + 1, c, d) (output), then (k + 1, k). Other kinds reserve
// nothing.
int ReserveControlledSource(EntryList& list, int kind, int32_t k, int32_t a, int32_t b, int32_t c, int32_t d);

// ---- stamps (in reservation order) ----------------------------------------------------------

// On the four positions of ReserveConductance: -g, -g, +g, +g.
inline void StampConductance(EntryCursor& cursor, double g) {
    cursor.Stamp(-g);
    cursor.Stamp(-g);
    cursor.Stamp(g);
    cursor.Stamp(g);
}
// On the four positions of ReserveBranch: +1, -1, +1, -1; then rhs[k] += v.
void StampVoltageSource(EntryCursor& cursor, double* rhs, int32_t k, double v);
// Kind 0: +x, -x, -x, +x. Kind 1: +1, -1, +1, -1, then +x, -x. Kind 2: -x, +x,
// then +1, -1, +1, -1. Kind 3: +1, -1, +1, -1 twice, then -x. Other kinds
// stamp nothing.
void StampControlledSource(EntryCursor& cursor, int kind, double x);
// Positions a kind reserves and stamps (0 for an unknown kind).
int ControlledSourceEntryCount(int kind);

// ---- load bracketing ---------------------------------------------------------------------------

// Start of a load: the cursor goes to the list's first item, rhs[0..rhsCount)
// is zeroed and, unless `keepValues`, every matrix value is cleared. Without a
// matrix the cursor becomes inactive and only rhs is zeroed.
void ResetLoad(const EntryList& list, EntryCursor& cursor, double* rhs, size_t rhsCount, bool keepValues);

// The circuit totals of one load (the Alt parts only from the small-signal
// AC loads).
struct PowerTotals {
    double PowerDissipated = 0.0;
    double PowerGenerated = 0.0;
    double PowerStored = 0.0;
    double PowerDissipatedAlt = 0.0;
    double PowerGeneratedAlt = 0.0;
    double PowerStoredAlt = 0.0;
};
void ClearPowerTotals(PowerTotals& totals);

// ---- convergence tests -----------------------------------------------------------------------
// Tolerances are the options' RELTOL, ABSTOL and VNTOL at the moment of the call.

// abs(now - old) < ABSTOL + RELTOL * max(abs(now), abs(old)).
bool CurrentConverged(const GlobalSettingValues& options, double now, double old);
// abs(now - old) < VNTOL + RELTOL * max(abs(now), abs(old)).
bool VoltageConverged(const GlobalSettingValues& options, double now, double old);
// True, counting one failure, when the difference exceeds the current (or
// voltage) tolerance.
bool CurrentDiverged(const GlobalSettingValues& options, int32_t& nonConvergedCount, double now, double old);
bool VoltageDiverged(const GlobalSettingValues& options, int32_t& nonConvergedCount, double now, double old);
// True, counting one failure, when abs(now - stored) > RELTOL * max(...) +
// 1e-20; `now` replaces `stored` either way.
bool ValueDiverged(const GlobalSettingValues& options, int32_t& nonConvergedCount, double& stored, double now);

// Failure kinds a load records (the report texts belong to the report).
constexpr int32_t kFailureSwitch = 18;
constexpr int32_t kFailureNode = 25;
constexpr int32_t kFailureResistor = 26;
constexpr int32_t kFailureCapacitor = 27;

// One non-convergence of an iteration: a device (or, for kind 25, a node
// number), its kind code and one value.
struct FailureRecord {
    const DeviceRecord* device = nullptr;
    int32_t node = 0;
    int32_t kind = 0;
    double value = 0.0;
};
constexpr int kMaxFailureRecords = 20;
// The failures of the present iteration; records beyond the 20th are dropped
// (the non-converged count still counts them).
struct FailureLog {
    std::array<FailureRecord, kMaxFailureRecords> records{};
    int32_t count = 0;
    double time = 0.0;  // `Time` of the last record

    void Clear() { count = 0; }
};
void RecordFailure(FailureLog& log, const DeviceRecord* device, int32_t kind, double value, double time);
void RecordNodeFailure(FailureLog& log, int32_t node, double value, double time);

// ---- small numeric operations ------------------------------------------------------------------

inline double MaxDouble(double a, double b) { return a > b ? a : b; }
inline double MinDouble(double a, double b) { return a < b ? a : b; }
// 0 or a magnitude below 1e-100 becomes -1e-100 when negative, +1e-100 otherwise.
double ClampTiny(double x);
// A magnitude below `rmin` becomes -rmin when negative, +rmin otherwise.
double ClampToRmin(double r, double rmin);
// A non-zero magnitude below 1e-50 becomes 1e-50 with its sign (0 stays 0).
double RaiseTinyVoltage(double v);

// ---- voltage limiting -----------------------------------------------------------------------
// Shared by the semiconductor loads; volts.

// Above `vcrit` with a step of more than 2 vt, the new junction voltage is
// pulled back onto the exponential; `limited` says whether it was.
double LimitJunctionVoltage(double vnew, double vold, double vt, double vcrit, int32_t& limited);
// The same on a voltage held by reference: writes 0 to `limited` when the
// voltage stays, leaves it untouched when it changes.
void LimitJunctionVoltageInPlace(double& v, double vold, double vt, double vcrit, int32_t& limited);
// Limits a FET gate voltage step according to where the old voltage lies
// against the threshold `vto`.
double LimitFetVoltage(double vnew, double vold, double vto);
// The same in place; a large decrease of a fully-on gate is also held at
// least at vto + 2.
void LimitFetVoltageInPlace(double& v, double vold, double vto);
// Limits a drain-source voltage step.
double LimitDrainSourceVoltage(double vnew, double vold);
