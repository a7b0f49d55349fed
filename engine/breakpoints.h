// The breakpoint and event list: one time-ordered list through which the
// analog time loop and the digital simulator share a clock. Analog
// breakpoints are instants the time loop must land on exactly (a source
// corner), digital events are node changes due at a time, expression
// breakpoints come from time-periodic expression functions.
//
// Times are whole ticks of TMAX x 1e-9 seconds, so records compare exactly
// and near-coincident times merge. The list belongs to one transient run
// (its TransientRun record), never to the process.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>

struct SimulatorState;
struct SourceRecord;

enum BreakpointKindCode : uint8_t {
    kBreakAnalog = 0,
    kBreakDigital = 1,
    kBreakExpression = 4,
};

constexpr uint32_t kEndTick = 1000000000u;    // the tick of TMAX
constexpr uint32_t kTickLimit = 2000000000u;  // no record lies later
// Records closer than this many ticks are one record.
constexpr uint32_t kMergeTicks = 10;

struct BreakpointEvent {
    uint32_t time = 0;  // ticks
    int32_t node = 0;   // digital node of an event; 0 otherwise
    int32_t pin = 0;    // digital driver of an event; 0 otherwise
    int32_t newState = 0;
    uint8_t kind = kBreakAnalog;  // BreakpointKindCode
    uint8_t levelA = 0;           // bytes the digital simulator attaches to an event
    uint8_t levelB = 0;
};

class BreakpointList {
public:
    using Events = std::list<BreakpointEvent>;

    BreakpointList() = default;
    // The insertion hint points into this list's own records.
    BreakpointList(const BreakpointList&) = delete;
    BreakpointList& operator=(const BreakpointList&) = delete;

    // Adds a record (type 0 analog, 1 digital event, 4 expression). Ticks
    // before StartTick or after kTickLimit are ignored. An analog or
    // expression breakpoint within kMergeTicks of a neighbour is dropped
    // (except at StartTick); a digital event within kMergeTicks of a record
    // moves onto it and makes it a digital record. 0, or 15002 without memory.
    int Add(uint32_t tick, uint8_t levelA, uint8_t levelB, int type, int32_t node = 0, int32_t pin = 0,
            int32_t newState = 0);
    // Unlinks the head record and clears Reached.
    void RemoveFirst();
    // Frees every record.
    void Clear();

    bool Empty() const { return events_.empty(); }
    size_t Count() const { return events_.size(); }
    const BreakpointEvent* Head() const { return events_.empty() ? nullptr : &events_.front(); }
    const Events& All() const { return events_; }
    Events& All() { return events_; }

    // While a run fills the list, insertions later than the last one start
    // their search there.
    void BeginFill();
    void EndFill();

    uint32_t StartTick = 0;
    // Set when the present step was cut to land on the head record; SavedStep
    // is the step before the cut.
    bool Reached = false;
    double SavedStep = 0.0;

private:
    Events events_;
    Events::iterator hint_ = events_.end();  // end(): none
    bool useHint_ = false;
};

// Cuts (or stretches by up to 1 %) the state's present step so that it ends
// on the head record; sets CurrentTick and the list's Reached and SavedStep.
// The step is first limited to MaxTimeStep; nothing happens on an empty list
// or when the head lies within `minTimeStep` of Time.
void ClipStepToBreakpoint(SimulatorState& state, BreakpointList& list, double minTimeStep);

// Whole ticks of a time: truncated, or rounded up.
uint32_t TicksDown(double time, double tick);
uint32_t TicksUp(double time, double tick);

// The corners of one period of a pulse (values: low, high, then four corner
// times within the period and the period), each rounded up to a tick, from
// `start`; stops at the first corner after kEndTick (its tick in lastTick).
// `start` then advances by the period. 0 or the Add error.
int AddPulseCorners(BreakpointList& list, double tick, const double values[7], double& start, uint8_t levelA,
                    uint8_t levelB, uint32_t& lastTick);
// Breakpoints at the time points of a PWL or NOISE source (its expanded table
// when the run built one) unless it was told not to make any. 0 or the first
// Add error.
int AddListBreakpoints(BreakpointList& list, double tick, const SourceRecord& source);
// Expression breakpoints of a time-periodic expression function: one per
// period (or maximum step) over the run, and one a period after every analog
// breakpoint. 0 or the first Add error.
int AddPeriodicBreakpoints(BreakpointList& list, double tick, double period, double maxTimeStep, double tmin,
                           double tmax);
