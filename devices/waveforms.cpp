#include "devices/waveforms.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <string>
#include <vector>

#include "compiler/compiled.h"
#include "compiler/support.h"
#include "core/messages.h"
#include "core/result.h"
#include "expr/complex.h"
#include "expr/evaluate.h"
#include "expr/stateful.h"

namespace {

constexpr int kWfMsgNotAscending = 10631;
constexpr double kWfTwoPi = 6.283185307179586;
constexpr double kWfDegree = 0.017453292519943295;
// No table grows beyond this many points: a waveform of ten million points
// is a runaway expansion, not a stimulus.
constexpr size_t kWfMaxTablePoints = 10000000;
constexpr size_t kWfMaxDisplayPoints = 2000;

const MessageRow kWfMessageRows[] = {
    {kWfMsgNotAscending, "%ETime must be in ascending order."},
};

template <class Record, class Visit>
int WfWalk(CompiledCircuit& circuit, int list, Visit visit) {
    for (PoolItem* item = circuit.devices[list].pool.first; item; item = item->next) {
        if (item->type == kPoolItemDead) continue;
        if (int rc = visit(*static_cast<Record*>(item))) return rc;
    }
    return 0;
}

bool WfHasTable(const SourceRecord& s) { return s.functionKind == kFunctionPwl || s.functionKind == kFunctionNoise; }

bool WfHasTrigger(const SourceRecord& s) { return s.trigger.compiled.tokens.count > 0; }

// The trigger: 3 absent or failing, 1 non-zero, 0 zero.
int WfTriggerState(SourceRecord& s) {
    if (!WfHasTrigger(s)) return 3;
    ComplexNumber result{0.0, 0.0};
    if (EvaluateExpression(&s.trigger.compiled, &result)) return 3;
    return result.re != 0.0 ? 1 : 0;
}

int WfShow(SourceRecord& s, int id, const char* argument = "") {
    SchematicObject* part = s.part;
    RecordPartLocation(part);
    return ReportCompilerMessage(part, part ? PartScope(part) : 1, nullptr, id, argument);
}

// The point tables under construction; false when they cannot grow.
struct WfTable {
    std::vector<double> times;
    std::vector<double> values;
    bool Add(double time, double value) {
        if (times.size() >= kWfMaxTablePoints) return false;
        try {
            times.push_back(time);
            values.push_back(value);
        } catch (const std::bad_alloc&) {
            return false;
        }
        return true;
    }
};

int WfBuildNoise(SourceRecord& s, const SourcePoint& at, WfTable& table) {
    const double interval = s.values[0];
    const double amplitude = s.values[1];
    const double start = s.values[2];
    const double stop = s.values[3];
    const double t0 = at.startTime;
    const double dc = s.dcValue;
    double samples = 0.0;
    if (interval != 0 && stop > start) samples = std::ceil((stop - start) / interval) + 1.0;
    if (!(samples >= 0.0)) samples = 0.0;
    if (samples > static_cast<double>(kWfMaxTablePoints)) return kResultNoMemory;
    const int64_t n = static_cast<int64_t>(samples);
    if (!table.Add(t0, dc) || !table.Add(t0 + start, dc)) return kResultNoMemory;
    const uint32_t saved = RandomSeed;
    SeedRandom(static_cast<int32_t>(std::clamp(s.values[4], -2147483647.0, 2147483647.0)));
    int rc = 0;
    for (int64_t i = 2; i <= n + 1 && !rc; ++i) {
        const double time = std::min(t0 + start + static_cast<double>(i) * interval, t0 + stop);
        if (!table.Add(time, (NextRandom() - 0.5) * amplitude + dc)) rc = kResultNoMemory;
    }
    RandomSeed = saved;
    if (rc) return rc;
    // A stop before the start still ends the table in time order.
    return table.Add(std::max(t0 + stop, table.times.back()), dc) ? 0 : kResultNoMemory;
}

struct WfRepeatLevel {
    size_t token;     // the REPEAT token
    int32_t count;    // passes left; -1 forever
    double base;      // unscaled base time of the level's passes
    int passes;       // FOREVER passes made
    double passBase;  // the base time when the present pass began
};

int WfBuildPwl(SourceRecord& s, const SourcePoint& at, bool forDisplay, WfTable& table) {
    std::vector<WfRepeatLevel> stack;
    double base = 0.0;
    double lastTime = 0.0;  // unscaled time of the last point
    const std::vector<PwlEntry>& tokens = s.pwl;
    size_t i = 0;
    while (i < tokens.size()) {
        const PwlEntry& token = tokens[i];
        if (token.kind == kPwlPoint) {
            std::string text = token.value;
            if (text.size() >= 2 && text.front() == '{' && text.back() == '}') text = text.substr(1, text.size() - 2);
            int status = 0;
            const double value = EvaluateFieldValue(text.c_str(), &status);
            if (status) return WfShow(s, status, token.value.c_str());
            lastTime = base + token.number;
            const double time = lastTime * s.timeScale;
            if (!table.Add(time, value * s.valueScale)) return kResultNoMemory;
            if (time > at.stopTime) break;
            if (forDisplay && table.times.size() > kWfMaxDisplayPoints) break;
            ++i;
        } else if (token.kind == kPwlRepeat) {
            stack.push_back({i, token.repeatCount, 0.0, 0, base});
            ++i;
        } else {
            if (stack.empty()) break;  // the reader refuses this; nothing sensible follows
            WfRepeatLevel& level = stack.back();
            if (level.count > 0) --level.count;
            if (level.count > 0 || level.count == -1) {
                if (level.count == -1) {
                    // A pass that ends where it began would repeat forever.
                    if (lastTime <= level.passBase) break;
                    if (forDisplay && ++level.passes >= 3) break;
                }
                base = level.base = lastTime;
                level.passBase = base;
                i = level.token + 1;
            } else {
                stack.pop_back();
                base = stack.empty() ? 0.0 : stack.back().base;
                ++i;
            }
        }
    }
    return 0;
}

}  // namespace

void RegisterWaveformMessages() {
    RegisterMessages(kWfMessageRows, static_cast<int>(sizeof(kWfMessageRows) / sizeof(kWfMessageRows[0])));
}

double PulseWave(double t, double v0, double v1, double p1, double p2, double p3, double p4, double p5) {
    if (p5 == 0) return v0;
    const double periods = p1 < 0 ? std::floor((t - p1) / p5) : std::floor(t / p5);
    const double tp = t - p5 * periods;
    if (tp <= p1 || t <= 0) return v0;
    if (tp <= p2) return v0 + (tp - p1) * (v1 - v0) / (p2 - p1);
    if (tp <= p3) return v1;
    if (tp <= p4) return v1 + (tp - p3) * (v0 - v1) / (p4 - p3);
    return v0;
}

double SineWave(double t, int kind, double vo, double freq, double va, double tau, double p, double td, double phase,
                double mdi, double fs) {
    if (td > t) return vo;
    double damping = 1.0;
    if (tau != 0 && p != 0) damping = ClampedExp(-((t - td) - p * std::floor(t / p)) / tau);
    const double offset = kind == 5 ? mdi * std::sin(kWfTwoPi * fs * (t - td)) : phase;
    const double argument = std::min(offset + kWfTwoPi * freq * (t - td), 1e8);
    return vo + va * damping * std::sin(argument);
}

double ExpWave(double t, double v1, double v2, double td1, double tau1, double td2, double tau2) {
    if (t <= td1) return v1;
    const double rising = tau1 <= 0 ? v2 : v1 + (v2 - v1) * (1.0 - ClampedExp(-(t - td1) / tau1));
    if (t <= td2) return rising;
    if (tau2 <= 0) return rising + (v1 - v2);
    return rising + (v1 - v2) * (1.0 - ClampedExp(-(t - td2) / tau2));
}

int PwlValue(SourceRecord& s, const SourcePoint& at, double* value) {
    const int trigger = WfTriggerState(s);
    const std::vector<double>& times = s.tableTimes;
    const std::vector<double>& values = s.tableValues;
    const size_t count = std::min(times.size(), values.size());
    if (s.triggerTime == at.startTime && trigger == 1) {
        *value = count ? values[count - 1] : 0.0;
        return 0;
    }
    const double g = trigger == 0 ? at.startTime : at.startTime + at.time - s.triggerTime;
    if (count == 0) {
        *value = 0.0;
        return 0;
    }
    if (g <= times[0]) {
        *value = values[0];
        return 0;
    }
    for (size_t k = 1; k < count; ++k) {
        if (times[k] < times[k - 1]) return WfShow(s, kWfMsgNotAscending);
        if (times[k] >= g) {
            const double span = times[k] - times[k - 1];
            *value = span > 0 ? values[k - 1] + (g - times[k - 1]) * (values[k] - values[k - 1]) / span : values[k];
            return 0;
        }
    }
    *value = values[count - 1];
    return 0;
}

int SpiceSourceValue(SourceRecord& s, const SourcePoint& at, double* value) {
    // Outside a transient run a source stands at its DC value; one without a
    // DC value stands where its waveform starts.
    if (!at.transient && s.dcGiven && s.functionKind != kFunctionNone) {
        *value = s.dcValue;
        return 0;
    }
    const double* w = s.values;
    const double t = at.transient ? at.time : 0.0;
    const double v0 = w[0];
    switch (s.functionKind) {
    case kFunctionPulse:
        *value = PulseWave(t - w[2], v0, w[1], 0.0, w[3], w[3] + w[5], w[3] + w[5] + w[4], w[6]);
        return 0;
    case kFunctionSin:
        *value = SineWave(t, 2, v0, w[2], w[1], w[4] == 0 ? 0.0 : 1.0 / w[4], 1e30, w[3], w[5] * kWfDegree, 0, 0);
        return 0;
    case kFunctionExp: *value = ExpWave(t, v0, w[1], w[2], w[3], w[4], w[5]); return 0;
    case kFunctionPwl:
    case kFunctionNoise: return PwlValue(s, at, value);
    case kFunctionSffm: *value = SineWave(t, 5, v0, w[2], w[1], 0, 1e30, 0, 0, w[3], w[4]); return 0;
    case kFunctionGaussian: {
        const double period = w[3];
        const double local = period > 0 ? std::fmod(t, period) : t;
        const double x = (local - w[1]) / (w[2] / 1.6652);
        *value = w[0] * ClampedExp(-x * x) + s.dcValue;
        return 0;
    }
    default: *value = s.dcValue; return 0;
    }
}

int BuildPwlTable(SourceRecord& s, const SourcePoint& at, bool forDisplay) {
    WfTable table;
    int rc = 0;
    if (s.functionKind == kFunctionNoise)
        rc = WfBuildNoise(s, at, table);
    else if (s.functionKind == kFunctionPwl)
        rc = WfBuildPwl(s, at, forDisplay, table);
    if (rc) return rc;
    s.tableTimes = std::move(table.times);
    s.tableValues = std::move(table.values);
    return 0;
}

int BuildAllPwlTables(CompiledCircuit& circuit, const SourcePoint& at) {
    return WfWalk<SourceRecord>(circuit, kListSpiceSources, [&](SourceRecord& s) {
        if (!WfHasTable(s)) return 0;
        // NOISE sources are never latched: their tables run from the start.
        if (s.functionKind == kFunctionNoise) s.triggerTime = at.startTime;
        return BuildPwlTable(s, at, false);
    });
}

void ResetPwlTriggers(CompiledCircuit& circuit, double startTime) {
    WfWalk<SourceRecord>(circuit, kListSpiceSources, [&](SourceRecord& s) {
        if (s.functionKind != kFunctionPwl) return 0;
        s.triggered = 0;
        s.triggerTime = startTime;
        return 0;
    });
}

void LatchPwlTriggers(CompiledCircuit& circuit, double time) {
    WfWalk<SourceRecord>(circuit, kListSpiceSources, [&](SourceRecord& s) {
        if (s.functionKind != kFunctionPwl) return 0;
        if (WfTriggerState(s) != 0) {
            if (!s.triggered) s.triggerTime = time;
            s.triggered = 1;
        } else {
            s.triggered = 0;
        }
        return 0;
    });
}

int UpdateSourceValues(CompiledCircuit& circuit, const SourcePoint& at) {
    const double t = at.time;
    WfWalk<SineSourceRecord>(circuit, kListSineSources, [&](SineSourceRecord& s) {
        const double* m = s.model && s.model->Values ? s.model->Values : nullptr;
        s.working = m ? SineWave(t, 2, m[2], m[0], m[1], m[6], m[5], 0, m[3], 0, 0) : 0.0;
        return 0;
    });
    WfWalk<PulseSourceRecord>(circuit, kListPulseSources, [&](PulseSourceRecord& s) {
        const double* m = s.model && s.model->Values ? s.model->Values : nullptr;
        s.working = m ? PulseWave(t, m[0], m[1], m[2], m[3], m[4], m[5], m[6]) : 0.0;
        return 0;
    });
    return WfWalk<SourceRecord>(circuit, kListSpiceSources, [&](SourceRecord& s) {
        double value = s.dcValue;
        if (int rc = SpiceSourceValue(s, at, &value)) return rc;
        s.working = value;
        return 0;
    });
}

double SourceMaxStep(CompiledCircuit& circuit) {
    double step = 1e30;
    auto bound = [&](double frequency) {
        if (frequency != 0) step = std::min(step, 0.1 / std::fabs(frequency));
    };
    WfWalk<SineSourceRecord>(circuit, kListSineSources, [&](SineSourceRecord& s) {
        if (s.model && s.model->Values) bound(s.model->Values[0]);
        return 0;
    });
    WfWalk<SourceRecord>(circuit, kListSpiceSources, [&](SourceRecord& s) {
        if (s.functionKind == kFunctionSin) bound(s.values[2]);
        if (s.functionKind == kFunctionSffm) {
            bound(s.values[2]);
            bound(s.values[4]);
        }
        return 0;
    });
    return step;
}

void PulseModelToSpicePulse(double spice[7], const double* m) {
    spice[0] = m[0];
    spice[1] = m[1];
    spice[2] = m[2];
    spice[3] = m[3] - m[2];
    spice[4] = m[5] - m[4];
    spice[5] = m[4] - m[3];
    spice[6] = m[6];
}
