#include "engine/statefile.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "compiler/compiled.h"
#include "core/filestream.h"
#include "core/messages.h"
#include "core/report_port.h"
#include "core/result.h"
#include "engine/state.h"
#include "engine/transient.h"

namespace {

constexpr char kSfTag[] = "TOP";
constexpr size_t kSfHeadBytes = kBinaryHeaderSize + 4;  // header and payload size
constexpr int64_t kSfSpareBytes = 25;
constexpr int64_t kSfEventBytes = 18;
constexpr int kSfStepCount = 7;

const MessageRow kSfMessageRows[] = {
    {kMsgObsoleteStateFile, "%EObsolete state variables file."},
};

// Little-endian writer over a buffer sized beforehand.
class sf_Writer {
public:
    explicit sf_Writer(std::vector<unsigned char>& out) : out_(out) {}
    void U32(uint32_t v) {
        for (int i = 0; i < 4; ++i) out_.push_back(static_cast<unsigned char>(v >> (8 * i)));
    }
    void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
    void Double(double v) {
        uint64_t bits = 0;
        std::memcpy(&bits, &v, sizeof bits);
        for (int i = 0; i < 8; ++i) out_.push_back(static_cast<unsigned char>(bits >> (8 * i)));
    }
    void Byte(unsigned char b) { out_.push_back(b); }
    void Doubles(const std::vector<double>& v, size_t count) {
        for (size_t i = 0; i < count; ++i) Double(i < v.size() ? v[i] : 0.0);
    }

private:
    std::vector<unsigned char>& out_;
};

// Little-endian reader; the caller has checked the size beforehand, the
// bound is kept all the same.
class sf_Reader {
public:
    sf_Reader(const unsigned char* data, size_t size) : data_(data), size_(size) {}
    uint32_t U32() {
        uint32_t v = 0;
        if (Take(4))
            for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(data_[at_ - 4 + i]) << (8 * i);
        return v;
    }
    int32_t I32() { return static_cast<int32_t>(U32()); }
    double Double() {
        uint64_t bits = 0;
        if (Take(8))
            for (int i = 0; i < 8; ++i) bits |= static_cast<uint64_t>(data_[at_ - 8 + i]) << (8 * i);
        double v = 0.0;
        std::memcpy(&v, &bits, sizeof v);
        return v;
    }
    unsigned char Byte() { return Take(1) ? data_[at_ - 1] : 0; }
    void Doubles(std::vector<double>& v, size_t count) {
        for (size_t i = 0; i < count; ++i) {
            const double x = Double();
            if (i < v.size()) v[i] = x;
        }
    }
    bool Failed() const { return failed_; }

private:
    bool Take(size_t n) {
        if (failed_ || size_ - at_ < n) {
            failed_ = true;
            return false;
        }
        at_ += n;
        return true;
    }
    const unsigned char* data_;
    size_t size_;
    size_t at_ = 0;
    bool failed_ = false;
};

size_t sf_SolutionCount(const SimulatorState& state) { return state.Solution.size(); }
size_t sf_StateSlots(const SimulatorState& state) {
    return static_cast<size_t>(std::max(state.StateCount, 0)) * kStateSlotsPerBlock;
}

// The magnetic cores, in the order of their K parts: six doubles each.
constexpr int64_t kSfCoreDoubles = 6;
template <class Visit>
void sf_EachCore(const SimulatorState& state, Visit visit) {
    if (!state.Circuit) return;
    for (PoolItem* item = state.Circuit->devices[kListInductorCouplings].pool.first; item; item = item->next) {
        if (item->type == kPoolItemDead) continue;
        auto* coupling = static_cast<InductorCouplingRecord*>(item);
        if (coupling->model) visit(coupling->core);
    }
}
int64_t sf_CoreCount(const SimulatorState& state) {
    int64_t count = 0;
    sf_EachCore(state, [&](MagneticCoreState&) { ++count; });
    return count;
}

int64_t sf_PendingEvents(const TransientRun* run) {
    if (!run) return 0;
    int64_t count = 0;
    for (const BreakpointEvent& e : run->Breakpoints.All())
        if (e.kind == kBreakDigital) ++count;
    return count;
}

void sf_WriteHeader(sf_Writer& w, int32_t version) {
    unsigned char header[kBinaryHeaderSize] = {};
    std::memcpy(header, kSfTag, 3);
    std::memcpy(header + 8, kBinaryProgramName, sizeof kBinaryProgramName);
    for (size_t i = 0; i < 4; ++i) w.Byte(header[i]);
    w.I32(version);
    for (size_t i = 8; i < kBinaryHeaderSize; ++i) w.Byte(header[i]);
}

// The header check of a file image: 0, 5355 or 13659.
int sf_CheckHeader(const unsigned char* image, size_t size) {
    if (size < kBinaryHeaderSize) return kResultNotFormat;
    if (std::memcmp(image, kSfTag, 4) != 0) return kResultNotFormat;
    char name[13] = {};
    std::memcpy(name, image + 8, 12);
    if (std::strcmp(name, kBinaryProgramName) != 0) return kResultNotFormat;
    uint32_t version = 0;
    for (int i = 0; i < 4; ++i) version |= static_cast<uint32_t>(image[4 + i]) << (8 * i);
    return version == static_cast<uint32_t>(kStateFileVersion) ? 0 : kMsgObsoleteStateFile;
}

// After either direction: every unset entry of the step history holds the
// largest step of it (or the maximum step when all are unset).
void sf_FillStepHistory(SimulatorState& state) {
    double largest = 0.0;
    for (double step : state.Formula.PreviousSteps) largest = std::max(largest, step);
    if (largest == 0.0) largest = state.MaxTimeStep;
    for (double& step : state.Formula.PreviousSteps)
        if (step == 0.0) step = largest;
}

int sf_Report(int code, const std::string& path) {
    if (code == kResultShown) return code;
    Reporter().Report(Message(code).Args(path).Row("File", path.c_str()));
    return kResultShown;
}

}  // namespace

void RegisterStateFileMessages() {
    RegisterMessages(kSfMessageRows, static_cast<int>(sizeof kSfMessageRows / sizeof kSfMessageRows[0]));
}

std::string StateVariablesFileName(const std::string& circuitPath) {
    const size_t slash = circuitPath.find_last_of("/\\");
    const size_t dot = circuitPath.find_last_of('.');
    const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (hasExtension ? circuitPath.substr(0, dot) : circuitPath) + ".TOP";
}

int64_t StateVariablesPayloadSize(const SimulatorState& state, int64_t events) {
    if (events < 0 || events > (int64_t{1} << 31) / kSfEventBytes) return -1;
    int64_t bytes = 4;                                               // E
    bytes += 3 * static_cast<int64_t>(sf_SolutionCount(state)) * 8;  // the solution vectors
    bytes += 2 * static_cast<int64_t>(sf_StateSlots(state)) * 8;     // charges and derivatives
    bytes += (2 + kSfStepCount) * 8;                                 // step, reserved, history
    bytes += 4 + events * kSfEventBytes;                             // the pending events
    bytes += 2 * 8;                                                  // Tick and TMAX of the writer
    bytes += sf_CoreCount(state) * kSfCoreDoubles * 8;               // the cores' accepted states
    bytes += kSfSpareBytes;
    return bytes > INT32_MAX ? -1 : bytes;
}

int BuildStateVariablesImage(const SimulatorState& state, const TransientRun* run, std::vector<unsigned char>& image) {
    const int64_t events = sf_PendingEvents(run);
    const int64_t payload = StateVariablesPayloadSize(state, events);
    if (payload < 0) return kResultNoMemory;
    try {
        image.clear();
        image.reserve(kSfHeadBytes + static_cast<size_t>(payload));
    } catch (const std::bad_alloc&) {
        return kResultNoMemory;
    }
    sf_Writer w(image);
    sf_WriteHeader(w, kStateFileVersion);
    w.I32(static_cast<int32_t>(payload));
    w.I32(static_cast<int32_t>(events));
    const size_t n = sf_SolutionCount(state);
    w.Doubles(state.Solution, n);
    w.Doubles(state.LastSolution, n);
    w.Doubles(state.OlderSolution, n);
    const size_t slots = sf_StateSlots(state);
    w.Doubles(state.StateValues, slots);
    w.Doubles(state.StateDerivatives, slots);
    w.Double(state.Formula.TimeStep);
    w.Double(0.0);
    for (double step : state.Formula.PreviousSteps) w.Double(step);
    const double tick = state.Tick;
    const double tmax = run ? run->Tmax : state.Tmax;
    w.I32(static_cast<int32_t>(events));
    if (run) {
        for (const BreakpointEvent& e : run->Breakpoints.All()) {
            if (e.kind != kBreakDigital) continue;
            // Stored relative to the end of the writing run, where the next run starts.
            const double relative = tick > 0.0 ? std::ceil((e.time * tick - tmax) / tick) : 0.0;
            w.I32(static_cast<int32_t>(std::clamp(relative, -2147483648.0, 2147483647.0)));
            w.I32(e.node);
            w.I32(e.pin);
            w.I32(e.newState);
            w.Byte(e.levelA);
            w.Byte(e.levelB);
        }
    }
    w.Double(tick);
    w.Double(tmax);
    sf_EachCore(state, [&](const MagneticCoreState& core) {
        for (double v : {core.anhysteretic, core.acceptedAppliedField, core.acceptedField, core.acceptedMagnetization,
                         core.acceptedSlope, core.acceptedChordSlope})
            w.Double(v);
    });
    for (int64_t i = 0; i < kSfSpareBytes; ++i) w.Byte(0);
    return kOk;
}

int ApplyStateVariablesImage(SimulatorState& state, TransientRun* run, const unsigned char* image, size_t size) {
    if (int rc = sf_CheckHeader(image, size)) return rc;
    if (size < kSfHeadBytes + 4) return kMsgObsoleteStateFile;
    sf_Reader r(image + kBinaryHeaderSize, size - kBinaryHeaderSize);
    const int64_t stored = r.I32();
    const int64_t events = r.I32();
    const int64_t payload = StateVariablesPayloadSize(state, events);
    if (payload < 0 || stored != payload || size - kSfHeadBytes < static_cast<uint64_t>(payload))
        return kMsgObsoleteStateFile;

    // Everything is taken into copies first, so a fault found late leaves the state as it was.
    const size_t n = sf_SolutionCount(state);
    const size_t slots = sf_StateSlots(state);
    std::vector<double> solution(n), last(n), older(n), values(slots), derivatives(slots);
    r.Doubles(solution, n);
    r.Doubles(last, n);
    r.Doubles(older, n);
    r.Doubles(values, slots);
    r.Doubles(derivatives, slots);
    const double timeStep = r.Double();
    (void)r.Double();  // reserved
    double steps[kSfStepCount];
    for (double& step : steps) step = r.Double();
    if (r.I32() != events) return kMsgObsoleteStateFile;
    std::vector<BreakpointEvent> pending;
    std::vector<int32_t> relative;
    pending.reserve(static_cast<size_t>(events));
    relative.reserve(static_cast<size_t>(events));
    for (int64_t i = 0; i < events; ++i) {
        BreakpointEvent e;
        e.kind = kBreakDigital;
        relative.push_back(r.I32());
        e.node = r.I32();
        e.pin = r.I32();
        e.newState = r.I32();
        e.levelA = r.Byte();
        e.levelB = r.Byte();
        pending.push_back(e);
    }
    const double storedTick = r.Double();
    (void)r.Double();  // TMAX of the writer
    std::vector<double> cores(static_cast<size_t>(sf_CoreCount(state) * kSfCoreDoubles));
    r.Doubles(cores, cores.size());
    if (r.Failed()) return kMsgObsoleteStateFile;

    state.Solution = std::move(solution);
    state.LastSolution = std::move(last);
    state.OlderSolution = std::move(older);
    if (!state.PreviousSolution.empty()) state.PreviousSolution = state.Solution;
    if (slots) {
        std::copy(values.begin(), values.end(), state.StateValues.begin());
        std::copy(derivatives.begin(), derivatives.end(), state.StateDerivatives.begin());
    }
    if (std::isfinite(timeStep)) state.Formula.TimeStep = timeStep;
    for (int i = 0; i < kSfStepCount; ++i) state.Formula.PreviousSteps[i] = std::isfinite(steps[i]) ? steps[i] : 0.0;
    sf_FillStepHistory(state);
    // A core continues from the state it was accepted in, present and accepted alike.
    size_t at = 0;
    sf_EachCore(state, [&](MagneticCoreState& core) {
        const double* v = &cores[at];
        at += kSfCoreDoubles;
        core.anhysteretic = core.acceptedAnhysteretic = v[0];
        core.appliedField = core.acceptedAppliedField = v[1];
        core.field = core.acceptedField = v[2];
        core.magnetization = core.acceptedMagnetization = core.lastMagnetization = v[3];
        core.slope = core.acceptedSlope = v[4];
        core.chordSlope = core.acceptedChordSlope = v[5];
    });

    if (run && state.Tick > 0.0 && std::isfinite(storedTick) && storedTick > 0.0) {
        BreakpointList& list = run->Breakpoints;
        for (size_t i = 0; i < pending.size(); ++i) {
            if (relative[i] < 0) continue;  // passed before the writing run ended
            const double seconds = relative[i] * storedTick;
            const double ticks = std::floor(seconds / state.Tick) + list.StartTick;
            if (!(ticks <= kTickLimit)) continue;
            const BreakpointEvent& e = pending[i];
            if (int rc = list.Add(static_cast<uint32_t>(ticks), e.levelA, e.levelB, kBreakDigital, e.node, e.pin,
                                  e.newState))
                return rc;
        }
    }
    return kOk;
}

int SaveStateVariables(SimulatorState& state, TransientRun* run, bool write, const std::string& path) {
    BinaryFile file;
    if (write) {
        std::vector<unsigned char> image;
        if (int rc = BuildStateVariablesImage(state, run, image)) return rc;
        if (int rc = file.OpenWrite(path.c_str())) return sf_Report(rc, path);
        file.Write(image.data(), image.size());
        const int rc = file.Close();
        if (rc) return sf_Report(rc, path);
        sf_FillStepHistory(state);
        return kOk;
    }

    if (int rc = file.OpenRead(path.c_str())) return sf_Report(rc, path);
    // The head is checked, and the size the present circuit needs compared with
    // the file's own, before a buffer is sized.
    std::vector<unsigned char> image(kSfHeadBytes + 4);
    file.Read(image.data(), image.size());
    const long length = GetStreamLength(file.stream);
    int rc = file.error ? kResultNotFormat : sf_CheckHeader(image.data(), image.size());
    int64_t payload = -1;
    if (!rc) {
        sf_Reader r(image.data() + kBinaryHeaderSize, 8);
        const int64_t stored = r.I32();
        payload = StateVariablesPayloadSize(state, r.I32());
        if (payload < 0 || stored != payload || length < 0 ||
            static_cast<int64_t>(length) < static_cast<int64_t>(kSfHeadBytes) + payload)
            rc = kMsgObsoleteStateFile;
    }
    if (!rc) {
        try {
            image.resize(kSfHeadBytes + static_cast<size_t>(payload));
        } catch (const std::bad_alloc&) {
            file.Close();
            return kResultNoMemory;
        }
        file.Read(image.data() + kSfHeadBytes + 4, image.size() - kSfHeadBytes - 4);
        rc = file.error ? kMsgObsoleteStateFile : ApplyStateVariablesImage(state, run, image.data(), image.size());
    }
    file.Close();
    if (rc == kResultNoMemory) return rc;
    return rc ? sf_Report(rc, path) : kOk;
}
