// Transient runs with the real source waveforms and device loads installed:
// a PWL source's corners are accepted points carrying exactly its values, and
// a half-wave rectifier charges its capacitor to the peak less a diode drop.
#include <gtest/gtest.h>

#include <utime.h>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "compiler/compiled.h"
#include "compiler/defines.h"
#include "compiler/driver.h"
#include "compiler/options.h"
#include "compiler/spicereader.h"
#include "compiler/support.h"
#include "core/result.h"
#include "devices/temperature.h"
#include "document/ctdoc.h"
#include "document/spicedoc.h"
#include "engine/lossyline.h"
#include "engine/savefile.h"
#include "engine/setup.h"
#include "engine/statefile.h"
#include "engine/transient.h"
#include "expr/devicelist.h"
#include "expr/evaluate.h"
#include "expr/runstate.h"
#include "tests/support/shipped_library.h"
#include "tests/support/tempdir.h"
#include "tests/support/test_reporter.h"

namespace {

class PointHost : public TransientHost {
public:
    void PollRunKeys(SimulatorState&, int) override {}
    void ShowStatus(const char*) override {}
    bool WantsFinalDeviceOutputs(const SimulatorState&) override { return false; }
    int SettleDigital(SimulatorState&) override { return 0; }
    int ProcessDigitalEvents(SimulatorState&, bool& changed) override {
        changed = false;
        return 0;
    }
    int AcceptTimePoint(SimulatorState& state, TransientRun& run) override {
        times.push_back(state.Time);
        values.push_back(state.Solution[static_cast<size_t>(node)]);
        accepted.push_back(run.AcceptedPoints);
        return save ? save->WritePoint(state, run.AcceptedPoints, state.Time, &state.Solution) : 0;
    }
    void ReportRunError(int messageId, double) override { errors.push_back(messageId); }
    bool Confirm(int, double) override { return true; }
    int32_t node = 0;
    std::vector<double> times;
    std::vector<double> values;
    std::vector<int> errors;
    std::vector<int32_t> accepted;
    SimulationSaveFile* save = nullptr;  // Save mode: every point goes to it
};

class TransientRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        library_.emplace(dir_);
        ASSERT_TRUE(library_->Copied());
        SetAnalysisKind(0);
        ResetFloatingPointState();
    }
    void TearDown() override {
        if (document_) {
            ReleaseCompiledCircuit(state_, document_.get());
            ReleaseSpiceReader(document_.get());
            ReleaseDefineTable(document_.get());
            document_.reset();
        }
        library_.reset();
        CurrentRunContext().circuitDocument = nullptr;
        ClearCompileErrorLocation();
        SetAnalysisKind(-1);
    }

    // Compiles the deck and sets it up at 27 degrees: the first failure.
    int Prepare(const std::string& deck) {
        if (document_) {
            ReleaseCompiledCircuit(state_, document_.get());
            ReleaseSpiceReader(document_.get());
            ReleaseDefineTable(document_.get());
        }
        document_ = MakeSpiceTextDocument(dir_.File("deck.ckt").c_str(), deck.c_str());
        if (int rc = RunCircuitCompiler(document_.get(), 1)) return rc;
        CompiledCircuit* compiled = FindCompiledCircuit(document_.get());
        if (!compiled) return -1;
        TemperatureSetup setup = MakeTemperatureSetup(document_.get());
        if (int rc = SetupModelsAtTemperature(setup, 27.0)) return rc;
        if (int rc = SetupInstancesAtTemperature(setup, 27.0)) return rc;
        return AttachCircuit(state_, compiled, *GetCircuitOptions(document_.get()));
    }
    // Compiles the deck, sets it up at 27 degrees and runs it; host_.values
    // follow `node`.
    int Run(const std::string& deck, const char* node, const TransientLimits& limits) {
        const int prepared = Prepare(deck);
        EXPECT_EQ(prepared, 0) << LastMessageText();
        if (prepared) return prepared;
        host_.node = FindNodeNumber(document_.get(), node, -1, -1);
        EXPECT_GT(host_.node, 0);
        return RunTransient(state_, run_, limits, host_);
    }
    double V(const char* node) {
        return state_.Solution[static_cast<size_t>(FindNodeNumber(document_.get(), node, -1, -1))];
    }

    twtest::TempDir dir_;
    std::optional<twtest::ScopedShippedLibrary> library_;
    std::unique_ptr<CCTDoc> document_;
    SimulatorState state_;
    TransientRun run_;
    PointHost host_;
    std::vector<int> shown_;
    ScopedTestReporter reporter_{[this](const MessageRequest& request) {
        shown_.push_back(request.code());
        return 0;
    }};
};

TEST_F(TransientRunTest, PwlCornersAreAcceptedWithTheirValues) {
    TransientLimits limits;
    ASSERT_EQ(Run("PWL divider\nV1 1 0 PWL(0 0 130n 4 170n -2 555n 1)\nR1 1 2 1K\nR2 2 0 1K\n.END\n", "2", limits), 0);
    struct Corner {
        double time, value;
    };
    for (const Corner& c : {Corner{130e-9, 2.0}, Corner{170e-9, -1.0}, Corner{555e-9, 0.5}, Corner{1e-6, 0.5}}) {
        const auto at = std::find_if(host_.times.begin(), host_.times.end(),
                                     [&](double t) { return std::fabs(t - c.time) < 2e-15; });
        ASSERT_NE(at, host_.times.end()) << c.time;
        // (list times are truncated to whole ticks: up to 1 fs early on a 30 MV/s ramp)
        EXPECT_NEAR(host_.values[static_cast<size_t>(at - host_.times.begin())], c.value, 1e-7) << c.time;
    }
}

TEST_F(TransientRunTest, HalfWaveRectifierChargesToThePeakLessADiodeDrop) {
    TransientLimits limits;
    limits.tmax = 3e-3;
    ASSERT_EQ(Run("Rectifier\nV1 1 0 SIN(0 5 1K)\nD1 1 2 DMOD\nC1 2 0 10U\nR1 2 0 10K\n"
                  ".MODEL DMOD D (IS=1E-14)\n.END\n",
                  "2", limits),
              0);
    ASSERT_FALSE(host_.times.empty());
    EXPECT_NEAR(host_.times.back(), 3e-3, 1e-12);
    const double peak = *std::max_element(host_.values.begin(), host_.values.end());
    EXPECT_GT(peak, 5.0 - 0.8);
    EXPECT_LT(peak, 5.0 - 0.5);
    EXPECT_GT(*std::min_element(host_.values.begin(), host_.values.end()), -1e-3);
    // Time constant 100 ms: between peaks the output sags by about 1 %.
    EXPECT_GT(host_.values.back(), 0.97 * peak);
}

}  // namespace

namespace {

// A step through a matched ideal line: the far end stays at rest until the
// step has travelled TD, then holds half the source.
TEST_F(TransientRunTest, PulseThroughIdealLineArrivesOneDelayLater) {
    TransientLimits limits;
    limits.tmax = 60e-9;
    ASSERT_EQ(Run("Delay line\nV1 1 0 PULSE(0 1 10N 1P 1P 100N 200N)\nR1 1 2 50\n"
                  "T1 2 0 3 0 Z0=50 TD=20N\nR2 3 0 50\n.END\n",
                  "3", limits),
              0);
    ASSERT_TRUE(host_.errors.empty());
    int before = 0, after = 0;
    for (size_t i = 0; i < host_.times.size(); ++i) {
        const double t = host_.times[i];
        if (t < 30e-9) {
            ++before;
            EXPECT_NEAR(host_.values[i], 0.0, 1e-6) << t;
        } else if (t > 30.01e-9) {
            ++after;
            EXPECT_NEAR(host_.values[i], 0.5, 1e-3) << t;
        }
    }
    EXPECT_GT(before, 3);
    EXPECT_GT(after, 3);
    EXPECT_NEAR(host_.times.back(), 60e-9, 1e-15);
}

}  // namespace

namespace {

// An RC charging from 0 V with time constant 1 us, the operating point off.
constexpr const char* kChargingDeck = "Charging\nV1 1 0 1\nR1 1 2 1K\nC1 2 0 1N\n.END\n";

TransientLimits ChargingLimits() {
    TransientLimits limits;
    limits.tmax = 1e-6;
    limits.optionFlags = 0x38;  // no operating point: the capacitor starts empty
    return limits;
}

TEST_F(TransientRunTest, StateVariablesFileContinuesTheNextRunWhereTheLastEnded) {
    ASSERT_EQ(Run(kChargingDeck, "2", ChargingLimits()), 0);
    ASSERT_FALSE(host_.values.empty());
    const double end = host_.values.back();
    EXPECT_NEAR(end, 1.0 - std::exp(-1.0), 2e-3);
    const std::string path = StateVariablesFileName(dir_.File("deck.ckt"));
    EXPECT_EQ(path, dir_.File("deck.TOP"));
    ASSERT_EQ(SaveStateVariables(state_, &run_, true, path), 0);

    // The next run, from a state that knows nothing of the first.
    SimulatorState fresh;
    ASSERT_EQ(AttachCircuit(fresh, FindCompiledCircuit(document_.get()), *GetCircuitOptions(document_.get())), 0);
    TransientRun next;
    TransientLimits limits = ChargingLimits();
    limits.stateVariables = kStatesRead;
    limits.stateVariablesFile = path;
    host_.times.clear();
    host_.values.clear();
    ASSERT_EQ(RunTransient(fresh, next, limits, host_), 0);
    ASSERT_FALSE(host_.values.empty());
    // The capacitor goes on charging from where the first run left it.
    for (size_t i = 0; i < host_.times.size(); ++i)
        EXPECT_NEAR(host_.values[i], 1.0 - (1.0 - end) * std::exp(-host_.times[i] / 1e-6), 3e-3) << host_.times[i];
    EXPECT_NEAR(host_.values.back(), 1.0 - std::exp(-2.0), 3e-3);
    EXPECT_TRUE(shown_.empty());
    // Every step-history entry holds a step after the read.
    for (double step : fresh.Formula.PreviousSteps) EXPECT_GT(step, 0.0);
}

TEST_F(TransientRunTest, StateVariablesFileThatDoesNotFitIsRefusedBeforeAnythingIsRead) {
    ASSERT_EQ(Run(kChargingDeck, "2", ChargingLimits()), 0);
    std::vector<unsigned char> good;
    ASSERT_EQ(BuildStateVariablesImage(state_, &run_, good), 0);
    auto put32 = [](std::vector<unsigned char>& image, size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) image[at + static_cast<size_t>(i)] = static_cast<unsigned char>(v >> (8 * i));
    };
    struct Case {
        const char* what;
        std::function<void(std::vector<unsigned char>&)> spoil;
        int message;
    } cases[] = {
        {"truncated", [](std::vector<unsigned char>& f) { f.resize(f.size() - 30); }, 13659},
        {"short head", [](std::vector<unsigned char>& f) { f.resize(20); }, 5355},
        {"other tag", [](std::vector<unsigned char>& f) { f[0] = 'X'; }, 5355},
        {"other version", [&](std::vector<unsigned char>& f) { put32(f, 4, 2); }, 13659},
        {"size claims 2 GB", [&](std::vector<unsigned char>& f) { put32(f, 24, 0x7fffffff); }, 13659},
        {"event count huge", [&](std::vector<unsigned char>& f) { put32(f, 28, 0x7fffffff); }, 13659},
        {"event count negative", [&](std::vector<unsigned char>& f) { put32(f, 28, 0xffffffff); }, 13659},
        {"second count differs", [&](std::vector<unsigned char>& f) { put32(f, f.size() - 25 - 16 - 4, 1); }, 13659},
    };
    const std::vector<double> before = state_.Solution;
    for (const Case& c : cases) {
        std::vector<unsigned char> image = good;
        c.spoil(image);
        const std::string path = dir_.File("bad.TOP");
        FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(image.data(), 1, image.size(), f);
        std::fclose(f);
        shown_.clear();
        EXPECT_EQ(SaveStateVariables(state_, &run_, false, path), kResultShown) << c.what;
        EXPECT_EQ(shown_, std::vector<int>{c.message}) << c.what;
        EXPECT_EQ(state_.Solution, before) << c.what;
    }
    // A file written before a node was added no longer fits.
    state_.Solution.push_back(0.0);
    EXPECT_EQ(ApplyStateVariablesImage(state_, &run_, good.data(), good.size()), 13659);
    state_.Solution.pop_back();
    EXPECT_EQ(ApplyStateVariablesImage(state_, &run_, good.data(), good.size()), 0);
    // Read mode without a file name, and with a missing file.
    TransientLimits limits = ChargingLimits();
    limits.stateVariables = kStatesRead;
    EXPECT_EQ(RunTransient(state_, run_, limits, host_), kResultNoFileName);
    limits.stateVariablesFile = dir_.File("absent.TOP");
    shown_.clear();
    EXPECT_EQ(RunTransient(state_, run_, limits, host_), kResultShown);
    EXPECT_EQ(shown_.size(), 1u);
}

}  // namespace

namespace {

TEST_F(TransientRunTest, SaveFileReadsBackThePointsItWrote) {
    struct Case {
        int32_t interval;
        int32_t every;  // the thinning the interval gives
    } cases[] = {{1, 1}, {5, 5}, {0, 1}, {-3, 1}};
    const std::string deck = "Save\nV1 1 0 PULSE(0 1 100N 10N 10N 300N 1U)\nR1 1 2 1K\nC1 2 0 100P\n.END\n";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.interval);
        SimulationSaveFile save;
        SaveFileRequest request;
        request.path = SimulationSaveFileName(dir_.File("deck.ckt"), 'T');
        request.runOption = kRunSave;
        request.saveInterval = c.interval;
        host_ = PointHost();
        host_.save = &save;
        TransientLimits limits;
        document_ = MakeSpiceTextDocument(dir_.File("deck.ckt").c_str(), deck.c_str());
        ASSERT_EQ(RunCircuitCompiler(document_.get(), 1), 0);
        CompiledCircuit* compiled = FindCompiledCircuit(document_.get());
        TemperatureSetup setup = MakeTemperatureSetup(document_.get());
        ASSERT_EQ(SetupModelsAtTemperature(setup, 27.0), 0);
        ASSERT_EQ(SetupInstancesAtTemperature(setup, 27.0), 0);
        SimulatorState state;
        ASSERT_EQ(AttachCircuit(state, compiled, *GetCircuitOptions(document_.get())), 0);
        host_.node = FindNodeNumber(document_.get(), "2", -1, -1);
        ASSERT_EQ(save.Open(state, request), 0);
        EXPECT_EQ(request.path, dir_.File("deck.TSA"));
        TransientRun run;
        ASSERT_EQ(RunTransient(state, run, limits, host_), 0);
        ASSERT_EQ(save.FlushPendingPoint(state), 0);
        save.Close();

        // The points expected: every n-th accepted point and the last one.
        std::vector<double> times, values;
        for (size_t i = 0; i < host_.times.size(); ++i) {
            if (host_.accepted[i] % c.every == 0 || i + 1 == host_.times.size()) {
                times.push_back(host_.times[i]);
                values.push_back(host_.values[i]);
            }
        }
        request.runOption = kRunRetrieve;
        ASSERT_EQ(save.Open(state, request), 0);
        std::vector<double> solution(state.Solution.size(), 7.0);
        int32_t counter = 0;
        double time = 0.0, step = 0.0;
        std::vector<double> readTimes, readValues;
        state.RunStopRequest = 0;
        for (;;) {
            ASSERT_EQ(save.ReadPoint(state, counter, time, step, solution), 0);
            if (state.RunStopRequest) break;
            readTimes.push_back(time);
            readValues.push_back(solution[static_cast<size_t>(host_.node)]);
        }
        EXPECT_EQ(readTimes, times);
        EXPECT_EQ(readValues, values);
        EXPECT_EQ(solution[0], 0.0);
        save.Close();
        ReleaseCompiledCircuit(state, document_.get());
        ReleaseSpiceReader(document_.get());
        ReleaseDefineTable(document_.get());
        document_.reset();
    }
}

TEST_F(TransientRunTest, SaveFileOfAnotherCircuitOrKindIsRefused) {
    ASSERT_EQ(Run(kChargingDeck, "2", ChargingLimits()), 0);
    SaveFileRequest request;
    request.path = dir_.File("deck.TSA");
    request.runOption = kRunSave;
    request.contents = kSaveVoltagesAndCurrents;
    SimulationSaveFile save;
    ASSERT_EQ(save.Open(state_, request), 0);
    save.Close();
    struct Case {
        const char* what;
        int32_t sizeChange;
        char letter;
        int message;
    } cases[] = {
        {"V and I only for a transient", 0, 'T', kMsgVandIOnlyFile},
        {"another equation count", 1, 'T', kMsgObsoleteDataFile},
        {"another analysis letter", 0, 'D', 5355},
    };
    for (const Case& c : cases) {
        shown_.clear();
        request.runOption = kRunRetrieve;
        request.analysisLetter = c.letter;
        state_.MatrixSize += c.sizeChange;
        EXPECT_EQ(save.Open(state_, request), kResultShown) << c.what;
        state_.MatrixSize -= c.sizeChange;
        EXPECT_EQ(shown_, std::vector<int>{c.message}) << c.what;
        EXPECT_FALSE(save.InUse());
    }
    // The probe is refused an obsolete file silently; an AC retrieve takes a V and I file.
    request.analysisLetter = 'T';
    request.probe = true;
    shown_.clear();
    state_.MatrixSize += 1;
    EXPECT_EQ(save.Open(state_, request), kResultShown);
    state_.MatrixSize -= 1;
    EXPECT_TRUE(shown_.empty());
    // Command-line flags override the run option; Normal wins.
    EXPECT_EQ(ApplyCommandLineRunOption(kRunNormal, 2), kRunSave);
    EXPECT_EQ(ApplyCommandLineRunOption(kRunSave, 1), kRunRetrieve);
    EXPECT_EQ(ApplyCommandLineRunOption(kRunSave, 1 | 2 | 8), kRunNormal);
    EXPECT_EQ(ApplyCommandLineRunOption(kRunRetrieve, 0), kRunRetrieve);
}

}  // namespace

namespace {

LossyLineRecord* FirstLossyLine(CCTDoc* document) {
    CompiledCircuit* compiled = FindCompiledCircuit(document);
    if (!compiled) return nullptr;
    return static_cast<LossyLineRecord*>(compiled->devices[kListLossyLines].pool.first);
}

TEST_F(TransientRunTest, LossyLineCaseFollowsItsNonZeroValues) {
    struct Case {
        const char* line;
        int result;  // of the compile and set-up
        std::vector<int> shown;
        int32_t lossyCase;
        double len;
    } cases[] = {
        {"T1 2 0 3 0 LEN=1 R=0.1 L=250N G=0 C=100P", 0, {}, kLossyRlc, 1.0},
        {"T1 2 0 3 0 LEN=2 R=1 C=100P", 0, {}, kLossyRc, 2.0},
        {"T1 2 0 3 0 LEN=1 R=1 G=1M", 0, {}, kLossyRg, 1.0},
        {"T1 2 0 3 0 LEN=1 L=250N C=100P", 0, {}, kLossyLc, 1.0},
        {"T1 2 0 3 0 LM", 0, {}, kLossyRlc, 1.0},           // all from the model
        {"T1 2 0 3 0 LM LEN=4 R=0", 0, {}, kLossyLc, 4.0},  // the line's own values win
        {"T1 2 0 3 0 LEN=1 R=1 L=1U", kResultShown, {kMsgLossyUnsupported}, 0, 0},
        {"T1 2 0 3 0 LEN=1 R=1 L=1U G=1M C=1P", kResultShown, {kMsgLossyUnsupported}, 0, 0},
        {"T1 2 0 3 0 LEN=1 R=1", kResultShown, {kMsgLossyTooFewValues}, 0, 0},
        {"T1 2 0 3 0 R=1 C=1P", kResultShown, {kMsgLossyLengthMissing}, 0, 0},
    };
    for (const Case& c : cases) {
        shown_.clear();
        const int rc = Prepare(std::string("Lossy\n.MODEL LM TRN (R=0.1 L=250N C=100P LEN=1)\nV1 1 0 1\n"
                                           "R1 1 2 50\nR2 3 0 50\n") +
                               c.line + "\n.END\n");
        EXPECT_EQ(rc, c.result) << c.line << LastMessageText();
        EXPECT_EQ(shown_, c.shown) << c.line;
        if (rc) continue;
        LossyLineRecord* line = FirstLossyLine(document_.get());
        ASSERT_NE(line, nullptr) << c.line;
        EXPECT_EQ(line->values.lossyCase, c.lossyCase) << c.line;
        EXPECT_DOUBLE_EQ(line->values.len, c.len) << c.line;
        EXPECT_GT(line->branch2, line->branch1) << c.line;
        if (c.lossyCase == kLossyRg) {
            EXPECT_GT(line->values.gSinhLength, 0.0) << c.line;  // before any load
        }
        // Each phase's load stamps exactly the entries its matrix reserved.
        for (int phase : {kPhaseDc, kPhaseTransient}) {
            state_.AnalysisPhase = phase;
            MatrixPair& pair = phase == kPhaseDc ? state_.DcPair : state_.TransientPair;
            ASSERT_EQ(BuildAnalysisMatrix(state_, nullptr, true, pair), 0) << c.line;
            state_.MatrixBuilt = 1;
            ASSERT_EQ(LoadAllDevices(state_, nullptr), 0) << c.line;
            EXPECT_EQ(state_.Cursor.Position(), state_.Entries()->Size()) << c.line << phase;
        }
        FreeMatrixPair(state_, state_.DcPair);
        FreeMatrixPair(state_, state_.TransientPair);
    }
}

TEST_F(TransientRunTest, LossyLineOperatingPoints) {
    TransientLimits op;
    op.optionFlags = kTransientOperatingPoint | kTransientOperatingPointOnly;
    // An RLC line is its series resistance at DC.
    ASSERT_EQ(Run("RLC\nV1 1 0 1\nR1 1 2 50\nT1 2 0 3 0 LEN=2 R=5 L=250N C=100P\nR2 3 0 50\n.END\n", "3", op), 0);
    EXPECT_NEAR(V("2"), 1.0 - 50.0 / 110.0, 1e-6);
    EXPECT_NEAR(V("3"), 50.0 / 110.0, 1e-6);
    LossyLineRecord* line = FirstLossyLine(document_.get());
    const double i1 = state_.Solution[static_cast<size_t>(line->branch1)];
    EXPECT_NEAR(i1, -state_.Solution[static_cast<size_t>(line->branch2)], 1e-12);
    EXPECT_NEAR(std::fabs(i1), 1.0 / 110.0, 1e-9);
    // An RG line follows its exact two-port equations.
    ASSERT_EQ(Run("RG\nV1 1 0 1\nR1 1 2 50\nT1 2 0 3 0 LEN=10 R=2 G=1M\nR2 3 0 50\n.END\n", "3", op), 0);
    line = FirstLossyLine(document_.get());
    const LossyLineValues& v = line->values;
    const double x = 10.0 * std::sqrt(2.0 * 1e-3);
    EXPECT_NEAR(v.coshLength, std::cosh(x), 1e-12);
    EXPECT_NEAR(v.rSinhLength, std::sqrt(2.0 / 1e-3) * std::sinh(x), 1e-9);
    EXPECT_NEAR(v.gSinhLength, std::sqrt(1e-3 / 2.0) * std::sinh(x), 1e-12);
    const double g1 = 1.0 + state_.Options.gmin;
    const double v2 = V("3"), i2 = state_.Solution[static_cast<size_t>(line->branch2)];
    EXPECT_NEAR(V("2"), v.coshLength * v2 - g1 * v.rSinhLength * i2, 1e-9);
    EXPECT_NEAR(state_.Solution[static_cast<size_t>(line->branch1)], g1 * v.gSinhLength * v2 - v.coshLength * i2,
                1e-12);
}

// A step through matched lines of Z0 = 50 and TD = 5 ns: the far end rests
// until the step arrives, then an LC line passes it whole and an RLC line
// passes exp(-R LEN / (2 Z0)) of it.
TEST_F(TransientRunTest, LossyLineStepArrivesOneDelayLaterAttenuated) {
    struct Case {
        const char* line;
        double arrival;  // of the far end's first level
        double settled;  // the far end at DC
        double slack;    // relative, of the settled value (the arrival: four times it)
    } cases[] = {
        {"T1 2 0 3 0 LEN=1 L=250N C=100P", 0.5, 0.5, 0.005},
        {"T1 2 0 3 0 LEN=1 R=50 L=250N C=100P", 0.5 * std::exp(-50.0 / (2.0 * 50.0)), 50.0 / 150.0, 0.005},
        // Straight stretches of the histories keep only their ends: the
        // convolution over the longer intervals is coarser, never unbounded.
        {"T1 2 0 3 0 LEN=1 R=50 L=250N C=100P\n.OPTIONS TRYTOCOMPACT", 0.5 * std::exp(-0.5), 50.0 / 150.0, 0.015},
        {"T1 2 0 3 0 LEN=1 L=250N C=100P\n.OPTIONS TRYTOCOMPACT", 0.5, 0.5, 0.005},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        host_ = PointHost();
        TransientLimits limits;
        limits.tmax = 40e-9;
        ASSERT_EQ(Prepare(std::string("Step\nV1 1 0 PULSE(0 1 10N 1P 1P 100N 200N)\nR1 1 2 50\n") + c.line +
                          "\nR2 3 0 50\n.END\n"),
                  0);
        host_.node = FindNodeNumber(document_.get(), "3", -1, -1);
        TransientRun run;
        ASSERT_EQ(RunTransient(state_, run, limits, host_), 0);
        ASSERT_TRUE(host_.errors.empty());
        int before = 0;
        double first = -1.0;
        for (size_t i = 0; i < host_.times.size(); ++i) {
            const double t = host_.times[i];
            if (t < 15e-9) {
                ++before;
                EXPECT_NEAR(host_.values[i], 0.0, 1e-4) << t;
            } else if (t > 15.05e-9 && first < 0.0) {
                first = host_.values[i];
                EXPECT_LT(t, 16e-9);
            }
        }
        EXPECT_GT(before, 3);
        EXPECT_NEAR(first, c.arrival, 4 * c.slack * c.arrival);
        // (an independent reference run shows the RLC far end at 0.3333 by 30 ns)
        EXPECT_NEAR(host_.values.back(), c.settled, c.slack * c.settled);
        EXPECT_LT(host_.times.size(), 2000u);
        EXPECT_NEAR(host_.times.back(), 40e-9, 1e-15);
    }
}

}  // namespace

namespace {

// A distributed RC line (1 kOhm and 1 nF) charged through 10 Ohm, the far end
// open: the diffusion reaches the far end as an independent reference run
// shows (values near 0.25, 0.5, 1, 2 and 5 us).
TEST_F(TransientRunTest, RcLineFarEndFollowsTheDiffusion) {
    TransientLimits limits;
    limits.tmax = 5e-6;
    ASSERT_EQ(Run("RC line\nV1 1 0 PULSE(0 1 0 1N 1N 10U 20U)\nR1 1 2 10\nT1 2 0 3 0 LEN=1 R=1K C=1N\n"
                  "R2 3 0 1MEG\n.END\n",
                  "3", limits),
              0);
    ASSERT_TRUE(host_.errors.empty());
    auto at = [&](double t) {
        for (size_t i = 1; i < host_.times.size(); ++i) {
            if (host_.times[i] >= t) {
                const double f = (t - host_.times[i - 1]) / (host_.times[i] - host_.times[i - 1]);
                return host_.values[i - 1] + f * (host_.values[i] - host_.values[i - 1]);
            }
        }
        return host_.values.back();
    };
    struct Point {
        double time, value;
    };
    for (const Point& p : {Point{0.2473e-6, 0.3035}, Point{0.4973e-6, 0.6193}, Point{0.9973e-6, 0.8870},
                           Point{1.9973e-6, 0.9901}, Point{5e-6, 0.9997}})
        EXPECT_NEAR(at(p.time), p.value, 0.01) << p.time;
}

}  // namespace

namespace {

// Lossy, lossless and compacted lines together: every point lies after the
// one before and within the run.
TEST_F(TransientRunTest, MixedLinesKeepTimeMovingForward) {
    struct Case {
        const char* source;
        const char* options;
    };
    // The second: a source in series with the ideal line's input, no
    // compaction; its last step once ran past the end of the run, and a
    // delayed breakpoint landed on by a stretched step stayed in the list
    // behind the time, which then stood still.
    const Case cases[] = {
        {"V1 1 0", ".OPTIONS TRYTOCOMPACT\n"},
        {"V1 1 5", ""},
        {"V1 1 5", ".OPTIONS TRYTOCOMPACT\n"},
    };
    for (const Case& c : cases) {
        host_.times.clear();
        TransientLimits limits;
        const std::string deck = std::string("Lines\n") + c.source +
                                 " PULSE(0 1 10N 1N 1N 100N 200N)\nR1 1 2 50\nT1 2 0 3 0 LEN=1 R=50 L=250N C=100P\n"
                                 "R2 3 0 75\nT2 3 0 4 0 LEN=2 L=250N C=100P\nR3 4 0 50\nT3 1 0 5 0 Z0=50 TD=3N\n"
                                 "R4 5 0 100\n" +
                                 c.options + ".END\n";
        ASSERT_EQ(Run(deck, "4", limits), 0) << c.source;
        ASSERT_GT(host_.times.size(), 10u);
        for (size_t i = 1; i < host_.times.size(); ++i)
            ASSERT_GT(host_.times[i], host_.times[i - 1]) << c.source << c.options << i;
        EXPECT_NEAR(host_.times.back(), limits.tmax, 1e-15) << c.source;
        EXPECT_TRUE(host_.errors.empty());
    }
}

}  // namespace

namespace {

TEST_F(TransientRunTest, SaveFileIsStaleAfterTheCircuitChanged) {
    const std::string circuit = dir_.Write("c.ckt", "T\n.END\n");
    const std::string save = dir_.Write("c.TSA", "x");
    auto age = [](const std::string& path, time_t when) {
        struct utimbuf times {
            when, when
        };
        ASSERT_EQ(utime(path.c_str(), &times), 0);
    };
    age(circuit, 1000000);
    age(save, 2000000);
    struct Case {
        const char* what;
        bool staleFlag;
        std::string circuit, save;
        bool stale;
    } cases[] = {
        {"save file newer", false, circuit, save, false},
        {"edited since", true, circuit, save, true},
        {"unsaved circuit", false, dir_.File("none.ckt"), save, false},
        {"no save file", false, circuit, dir_.File("none.TSA"), true},
    };
    for (const Case& c : cases) EXPECT_EQ(IsSaveFileStale(c.staleFlag, c.circuit, c.save), c.stale) << c.what;
    age(circuit, 3000000);
    EXPECT_TRUE(IsSaveFileStale(false, circuit, save));  // the circuit was saved after the run
}

}  // namespace

namespace {

// A lossy line without losses is the ideal line of the same Z0 and TD: both
// ends follow the ideal line's waveform through the first reflections
// (mismatched load, so the far end rings).
TEST_F(TransientRunTest, LosslessLossyLineMatchesTheIdealLine) {
    TransientLimits limits;
    limits.tmax = 60e-9;
    auto run = [&](const char* line) {
        host_ = PointHost();
        EXPECT_EQ(Prepare(std::string("Line\nV1 1 0 PULSE(0 1 5N 2N 2N 100N 200N)\nR1 1 2 25\n") + line +
                          "\nR2 3 0 200\n.END\n"),
                  0);
        host_.node = FindNodeNumber(document_.get(), "3", -1, -1);
        TransientRun run;
        EXPECT_EQ(RunTransient(state_, run, limits, host_), 0);
        return std::pair{host_.times, host_.values};
    };
    const auto [idealTimes, idealValues] = run("T1 2 0 3 0 Z0=50 TD=5N");
    const auto [lossyTimes, lossyValues] = run("T1 2 0 3 0 LEN=1 L=250N C=100P");
    ASSERT_GT(idealTimes.size(), 20u);
    ASSERT_GT(lossyTimes.size(), 20u);
    auto ideal = [&](double t) {
        for (size_t i = 1; i < idealTimes.size(); ++i) {
            if (idealTimes[i] >= t) {
                const double f = (t - idealTimes[i - 1]) / (idealTimes[i] - idealTimes[i - 1]);
                return idealValues[i - 1] + f * (idealValues[i] - idealValues[i - 1]);
            }
        }
        return idealValues.back();
    };
    double worst = 0.0;
    for (size_t i = 0; i < lossyTimes.size(); ++i)
        worst = std::max(worst, std::fabs(lossyValues[i] - ideal(lossyTimes[i])));
    // The far end swings between 0 and 1.33 V; the two step differently over the ramps.
    EXPECT_LT(worst, 0.02);
    EXPECT_NEAR(lossyValues.back(), 200.0 / 225.0, 2e-3);
}

}  // namespace

namespace {

// .LOADOP starts the operating point from the stored state: a diode circuit
// that needs several iterations from scratch converges at once.
TEST_F(TransientRunTest, LoadOpStartsTheOperatingPointFromTheStoredState) {
    const std::string body = "V1 1 0 5\nR1 1 2 1K\nD1 2 0 DMOD\n.MODEL DMOD D (IS=1E-14)\n";
    TransientLimits op;
    op.optionFlags = kTransientOperatingPoint | kTransientOperatingPointOnly;
    op.stateVariablesFile = dir_.File("deck.TOP");
    ASSERT_EQ(Run("Diode\n" + body + ".END\n", "2", op), 0);
    const int32_t fromScratch = state_.TotalIterations;
    const double v = V("2");
    ASSERT_EQ(SaveStateVariables(state_, &run_, true, op.stateVariablesFile), 0);
    TransientRun next;
    ASSERT_EQ(Prepare("Diode\n" + body + ".LOADOP\n.END\n"), 0);
    ASSERT_TRUE(FindCompiledCircuit(document_.get())->loadOperatingPoint);
    ASSERT_EQ(RunTransient(state_, next, op, host_), 0);
    EXPECT_NEAR(V("2"), v, 1e-9);
    EXPECT_LT(state_.TotalIterations, fromScratch);
    EXPECT_LE(state_.TotalIterations, 3);
    // Without a file to read the run stops.
    op.stateVariablesFile = dir_.File("none.TOP");
    shown_.clear();
    TransientRun third;
    EXPECT_EQ(RunTransient(state_, third, op, host_), kResultShown);
    EXPECT_EQ(shown_.size(), 1u);
}

}  // namespace

namespace {

// The record of a save file: time, step kind, the solution, each charge
// state's derivative (and in Save All its value), the six power totals of
// Save All, then the device sections, the MOSFETs twice. A device block is
// the terminal current, with the complex current in AC files; Save All adds
// the stored values and three power terms per device.
TEST_F(TransientRunTest, SaveRecordLayoutCountsEveryDeviceSection) {
    ASSERT_EQ(Prepare("Layout\nV1 1 0 5\nR1 1 2 1K\nM1 2 2 0 0 NM\nD1 2 3 DM\nC1 3 0 1P\n"
                      ".MODEL NM NMOS\n.MODEL DM D\n.END\n"),
              0);
    const size_t m = static_cast<size_t>(FindCompiledCircuit(document_.get())->unknownCount);
    const size_t states = static_cast<size_t>(state_.StateCount);
    // Save All: MOSFET (block, 10 values, power) twice, diode (block, 2, power),
    // capacitor (block, power), resistor (current, power), source (value,
    // block, power).
    const size_t all = 2 * (1 + 10 + 3) + (1 + 2 + 3) + (1 + 3) + (1 + 3) + (1 + 1 + 3);
    // V and I only: the MOSFET blocks, the diode's, the resistor's current, the source's value.
    const size_t currents = 2 + 1 + 1 + 1;
    // AC files: two more slots per block (MOSFETs, diode, and in Save All the capacitor and source).
    struct Case {
        int32_t contents;
        char letter;
        size_t slots;
    } cases[] = {
        {kSaveAll, 'T', 2 + m + 2 * states + 6 + all},
        {kSaveVoltagesAndCurrents, 'T', 2 + m + states + currents},
        {kSaveAll, 'A', 2 + m + 2 * states + 6 + all + 2 * 5},
        {kSaveVoltagesAndCurrents, 'A', 2 + m + states + currents + 2 * 3},
    };
    for (const Case& c : cases) {
        SimulationSaveFile save;
        SaveFileRequest request;
        request.path = dir_.File("layout.TSA");
        request.runOption = kRunSave;
        request.contents = c.contents;
        request.analysisLetter = c.letter;
        ASSERT_EQ(save.Open(state_, request), 0);
        EXPECT_EQ(save.RecordSlots(), c.slots) << c.contents << c.letter;
        save.Close();
    }
}

// A retrieved Save All point gives every device back the currents and stored
// values it had when the point was written.
TEST_F(TransientRunTest, SaveAllRecordRestoresDeviceCurrents) {
    ASSERT_EQ(Run("Devices\nV1 1 0 SIN(0 5 1MEG)\nR1 1 2 1K\nD1 2 3 DM\nC1 3 0 1N\nQ1 4 2 0 QM\nR2 5 4 1K\n"
                  "V2 5 0 5\n.MODEL DM D\n.MODEL QM NPN\n.END\n",
                  "3", TransientLimits()),
              0);
    CompiledCircuit* compiled = FindCompiledCircuit(document_.get());
    auto first = [&](int list) { return compiled->devices.lists[list].pool.first; };
    auto* diode = static_cast<DiodeRecord*>(first(kListDiodes));
    auto* bipolar = static_cast<BipolarRecord*>(first(kListBipolars));
    auto* source = static_cast<SourceRecord*>(first(kListSpiceSources));
    ASSERT_TRUE(diode && bipolar && source);
    std::vector<double*> fields = {&diode->pinCurrent, &diode->vd,   &diode->id,        &bipolar->pinCollector,
                                   &bipolar->vbe,      &bipolar->ic, &bipolar->pinBase, &source->working};
    std::vector<double> written;
    for (double* f : fields) written.push_back(*f);
    ASSERT_NE(diode->id, 0.0);
    ASSERT_NE(bipolar->ic, 0.0);

    SimulationSaveFile save;
    SaveFileRequest request;
    request.path = dir_.File("devices.TSA");
    request.runOption = kRunSave;
    ASSERT_EQ(save.Open(state_, request), 0);
    ASSERT_EQ(save.WritePoint(state_, 0, state_.Time, &state_.Solution), 0);
    save.Close();
    for (double* f : fields) *f = -123.0;
    request.runOption = kRunRetrieve;
    ASSERT_EQ(save.Open(state_, request), 0);
    std::vector<double> solution(state_.Solution.size());
    int32_t counter = 0;
    double time = 0.0, step = 0.0;
    ASSERT_EQ(save.ReadPoint(state_, counter, time, step, solution), 0);
    EXPECT_FALSE(state_.RunStopRequest);
    for (size_t i = 0; i < fields.size(); ++i) EXPECT_EQ(*fields[i], written[i]) << i;
}

}  // namespace

namespace {

// A 51-stage CMOS ring oscillator of level-1 MOSFETs, started from one low
// node, oscillates with the period a reference simulator gives the same deck
// (6.294 ns between the second and third rising crossings of half the supply).
TEST_F(TransientRunTest, RingOscillatorPeriodMatchesTheReference) {
    std::string deck =
        "ring\nVDD VDD 0 DC 3.3\n"
        ".MODEL NM NMOS (LEVEL=1 VTO=0.7 KP=110U GAMMA=0.4 LAMBDA=0.04 PHI=0.7 CGSO=0.3N CGDO=0.3N CJ=0.5M)\n"
        ".MODEL PM PMOS (LEVEL=1 VTO=-0.7 KP=50U GAMMA=0.4 LAMBDA=0.05 PHI=0.7 CGSO=0.3N CGDO=0.3N CJ=0.5M)\n";
    for (int k = 1; k <= 51; ++k) {
        const std::string in = std::to_string(k), out = std::to_string(k == 51 ? 1 : k + 1);
        deck += "MP" + in + " " + out + " " + in + " VDD VDD PM W=2U L=0.5U AD=2P AS=2P\n";
        deck += "MN" + in + " " + out + " " + in + " 0 0 NM W=1U L=0.5U AD=1P AS=1P\n";
        deck += "CL" + in + " " + out + " 0 10F\n";
    }
    deck += ".IC V(1)=0\n.END\n";
    TransientLimits limits;
    limits.tmax = 20e-9;
    limits.optionFlags = 0;  // from the initial conditions
    ASSERT_EQ(Run(deck, "1", limits), 0);
    std::vector<double> rising;
    for (size_t i = 1; i < host_.times.size(); ++i) {
        const double a = host_.values[i - 1] - 1.65, b = host_.values[i] - 1.65;
        if (a < 0.0 && b >= 0.0)
            rising.push_back(host_.times[i - 1] + (host_.times[i] - host_.times[i - 1]) * a / (a - b));
    }
    ASSERT_GE(rising.size(), 3u);
    EXPECT_NEAR(rising[2] - rising[1], 6.294e-9, 0.02 * 6.294e-9);
}

}  // namespace
