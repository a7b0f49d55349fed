// Quiet single runs: the operating points of the Transfer Function and
// Sensitivity dialogs. Each compiles the circuit afresh, runs with the
// stepping and Monte Carlo switches of the transient kind held off, and
// releases the circuit at its end, so that a perturbation never outlives it.
#pragma once

#include <cstdint>

#include "document/cfanalysis.h"
#include "engine/sensitivity.h"

class CCTDoc;
class OpenAnalysis;

// The switches that would turn one operating point into a series of runs,
// saved and turned off for the length of a single run.
class SteppingSuspension {
public:
    // Saves and turns off the Monte Carlo switch, every stepping record's
    // switch and the Run Options (which become Normal) of the kind.
    void Suspend(int kind, AnalysisSettings* settings);
    // Puts every saved value back; nothing when nothing is suspended.
    void Restore();
    bool Active() const { return settings_ != nullptr; }

private:
    AnalysisSettings* settings_ = nullptr;
    int kind_ = 0;
    bool monteCarlo_ = false;
    bool stepOn_[kStepRecordCount] = {};
    int32_t runOption_ = 0;
};

// One quiet run of a dialog on its circuit.
class SingleRunRecord {
public:
    SingleRunRecord(CCTDoc* document, bool sensitivity) : document_(document), sensitivity_(sensitivity) {}
    ~SingleRunRecord() { End(); }
    SingleRunRecord(const SingleRunRecord&) = delete;
    SingleRunRecord& operator=(const SingleRunRecord&) = delete;

    // Compiles the circuit and sets it up at 27 degrees for an operating
    // point, stepping suspended: 0, or the start's code (reported).
    int Begin();
    // Releases the compiled circuit and puts the switches back.
    void End();
    // The open analysis of the run, null outside Begin ... End.
    OpenAnalysis* Open() const;

private:
    CCTDoc* document_;
    bool sensitivity_;
    bool begun_ = false;
    SteppingSuspension suspension_;
};

// The host of the quiet operating points: no plot, messages reported as they
// come, models restored from their statements and set up at 27 degrees.
class QuietRunHost final : public SensitivityHost {
public:
    explicit QuietRunHost(CCTDoc* document) : document_(document) {}
    void PollRunKeys(SimulatorState&, int) override {}
    void ShowStatus(const char*) override {}
    bool WantsFinalDeviceOutputs(const SimulatorState&) override { return false; }
    int SettleDigital(SimulatorState&) override { return 0; }
    int ProcessDigitalEvents(SimulatorState&, bool& changed) override {
        changed = false;
        return 0;
    }
    int AcceptTimePoint(SimulatorState&, TransientRun&) override { return 0; }
    void ReportRunError(int messageId, double value) override;
    bool Confirm(int, double) override { return true; }
    int RestoreModelValues(SimulatorState&) override;
    int SetupAtTemperature(SimulatorState&) override;

private:
    CCTDoc* document_;
};
