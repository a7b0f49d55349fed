#include "engine/breakpoints.h"

#include <cmath>
#include <new>
#include <vector>

#include "compiler/compiled.h"
#include "core/result.h"
#include "engine/state.h"

namespace {

uint32_t bp_Distance(uint32_t a, uint32_t b) { return a > b ? a - b : b - a; }

}  // namespace

int BreakpointList::Add(uint32_t tick, uint8_t levelA, uint8_t levelB, int type, int32_t node, int32_t pin,
                        int32_t newState) {
    if (tick < StartTick || tick > kTickLimit) return kOk;
    const bool breakpoint = type == kBreakAnalog || type == kBreakExpression;
    Events::iterator cur = events_.begin();
    if (useHint_ && hint_ != events_.end() && tick > hint_->time) cur = hint_;
    Events::iterator prev = events_.end();  // end(): none yet
    for (; cur != events_.end(); ++cur) {
        // A breakpoint near its neighbour on either side adds nothing.
        if (breakpoint && tick != StartTick && bp_Distance(tick, cur->time) <= kMergeTicks) {
            hint_ = prev;
            return kOk;
        }
        if (tick < cur->time) break;
        if (type == kBreakDigital && tick == cur->time && node == cur->node && pin == cur->pin) {
            cur->newState = newState;
            return kOk;
        }
        prev = cur;
    }
    Events::iterator target = events_.end();
    if (type == kBreakDigital && prev != events_.end()) {
        // An event close to a record shares its time, and that record is then
        // processed by the digital part too.
        if (bp_Distance(tick, prev->time) <= kMergeTicks) {
            prev->kind = kBreakDigital;
            tick = prev->time;
        } else if (cur != events_.end() && bp_Distance(tick, cur->time) <= kMergeTicks) {
            cur->kind = kBreakDigital;
            tick = cur->time;
        }
        if (prev->node == node && prev->pin == pin && bp_Distance(tick, prev->time) <= kMergeTicks) target = prev;
    }
    if (target == events_.end()) {
        try {
            target = events_.insert(cur, BreakpointEvent{});
        } catch (const std::bad_alloc&) {
            return kResultNoMemory;
        }
    }
    target->time = tick;
    target->levelA = levelA;
    target->levelB = levelB;
    if (type == kBreakExpression) {
        target->kind = kBreakExpression;
    } else if (type == kBreakDigital) {
        target->node = node;
        target->pin = pin;
        target->newState = newState;
        target->kind = kBreakDigital;
    }
    hint_ = prev;
    return kOk;
}

void BreakpointList::RemoveFirst() {
    Reached = false;
    if (events_.empty()) return;
    if (hint_ == events_.begin()) hint_ = events_.end();
    events_.pop_front();
}

void BreakpointList::Clear() {
    events_.clear();
    hint_ = events_.end();
    Reached = false;
}

void BreakpointList::BeginFill() {
    hint_ = events_.end();
    useHint_ = true;
}

void BreakpointList::EndFill() {
    hint_ = events_.end();
    useHint_ = false;
}

uint32_t TicksDown(double time, double tick) { return ClampedTicks(time / tick); }

uint32_t TicksUp(double time, double tick) { return ClampedTicks(std::ceil(time / tick)); }

void ClipStepToBreakpoint(SimulatorState& state, BreakpointList& list, double minTimeStep) {
    const BreakpointEvent* head = list.Head();
    if (head == nullptr) return;
    IntegrationFormula& formula = state.Formula;
    if (formula.TimeStep > state.MaxTimeStep) formula.TimeStep = state.MaxTimeStep;
    const double gap = std::fabs(head->time * state.Tick - state.Time);
    // Up to 1 % beyond the step the breakpoint is reached exactly rather than
    // leaving a sliver of a step before it.
    if (formula.TimeStep * 1.01 > gap && gap > minTimeStep) {
        state.CurrentTick = head->time;
        list.SavedStep = formula.TimeStep;
        formula.TimeStep = gap;
        list.Reached = true;
        if (head->kind == kBreakAnalog) formula.PreviousSteps[0] = gap;
    }
}

int AddPulseCorners(BreakpointList& list, double tick, const double values[7], double& start, uint8_t levelA,
                    uint8_t levelB, uint32_t& lastTick) {
    for (int i = 2; i <= 5; ++i) {
        const uint32_t corner = TicksUp(values[i] + start, tick);
        lastTick = corner;
        if (corner > kEndTick) return kOk;
        if (int result = list.Add(corner, levelA, levelB, kBreakAnalog)) return result;
    }
    start += values[6];
    return kOk;
}

int AddListBreakpoints(BreakpointList& list, double tick, const SourceRecord& source) {
    if (source.noBreakpoints) return kOk;
    // The expanded table (repeats unrolled, times scaled) once the run built it.
    for (double time : source.tableTimes) {
        if (int result = list.Add(TicksDown(time, tick), 0, 0, kBreakAnalog)) return result;
    }
    if (!source.tableTimes.empty()) return kOk;
    const double scale = source.timeScale != 0.0 ? source.timeScale : 1.0;
    for (const PwlEntry& entry : source.pwl) {
        if (entry.kind != kPwlPoint) continue;
        if (int result = list.Add(TicksDown(entry.number * scale, tick), 0, 0, kBreakAnalog)) return result;
    }
    return kOk;
}

int AddPeriodicBreakpoints(BreakpointList& list, double tick, double period, double maxTimeStep, double tmin,
                           double tmax) {
    double p = period == 0.0 ? maxTimeStep : std::fmin(maxTimeStep, period);
    if (!(p > 0.0) || !(tick > 0.0)) return kOk;
    // Instants closer than a tick are one tick: a smaller stride would only
    // repeat the same record (or never advance the time at all).
    p = std::fmax(p, tick);
    const double span = (tmax - tmin) / p;
    const int64_t count = span > 4e9 ? int64_t{4000000000} : static_cast<int64_t>(span);
    for (int64_t k = 0; k <= count; ++k) {
        const double t = tmin + static_cast<double>(k) * p;
        if (t > tmax) break;
        if (int result = list.Add(TicksDown(t + period, tick), 0, 0, kBreakExpression)) return result;
    }
    std::vector<uint32_t> analog;
    try {
        for (const BreakpointEvent& event : list.All())
            if (event.kind == kBreakAnalog) analog.push_back(event.time);
    } catch (const std::bad_alloc&) {
        return kResultNoMemory;
    }
    for (uint32_t time : analog) {
        if (int result = list.Add(TicksDown(time * tick + period, tick), 0, 0, kBreakExpression)) return result;
    }
    return kOk;
}
