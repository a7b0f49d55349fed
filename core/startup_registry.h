// The start-up steps of the subsystems, in the order they run.
//
// Each subsystem adds its steps through its own RegisterXxxStartup function,
// which the program calls in subsystem order before it starts up. A step
// belongs to a phase, the point of the start-up sequence where it runs; within
// a phase the steps run in the order they were added. A subsystem that is not
// built adds nothing, and its phase then simply has fewer steps.
#pragma once

#include <functional>
#include <string>
#include <vector>

// The points of the start-up sequence, in the order they come.
enum class StartupPhase : int {
    kApplication,  // before anything else (the application's start)
    kTables,       // before the command line is read: statement tables
    kNumbers,      // floating-point state of the expression language
    kWindows,      // tool-bar geometry and palettes
    kModels,       // model parameter tables and translator defaults
    kLibraries,    // shape and component libraries (after tarn.dat)
    kComponents,   // palette buttons, random seed, packages, start component, menus
                   // (a step that is for interactive use asks Startup().batchFile)
    kAfterFiles,   // after the command line's files have opened
    kDefaults,     // ResetProgramDefaults: every subsystem's defaults
    kShutdown,     // the application's final clean-up
};

// What a failed step means to the start-up.
enum class StartupFailure : int {
    kIgnore,  // the result is not looked at
    kReport,  // reported (unless already shown); start-up goes on
    kFatal,   // start-up ends with the message
};

// One step: returns 0 or a result code.
using StartupStepFunction = std::function<int()>;

class StartupRegistry {
public:
    // Adds a step to its phase, after the steps added before. A second step of
    // the same name is refused (false): a subsystem registered twice must not
    // run its steps twice.
    bool Add(StartupPhase phase, const std::string& name, StartupStepFunction step,
             StartupFailure failure = StartupFailure::kIgnore);

    // Runs the phase's steps in order. A failing kReport step is handed to
    // `report` (when given); the first failing kFatal step stops the phase and
    // its code is returned. 0 otherwise.
    int Run(StartupPhase phase, const std::function<void(int code)>& report = {}) const;

    // The names of the steps in the order they run: by phase, then as added.
    std::vector<std::string> Names() const;
    // The names of one phase's steps, in order.
    std::vector<std::string> Names(StartupPhase phase) const;
    bool Has(const std::string& name) const;
    size_t Count() const { return steps_.size(); }
    void Clear() { steps_.clear(); }

private:
    struct Step {
        StartupPhase phase;
        std::string name;
        StartupStepFunction run;
        StartupFailure failure;
    };
    std::vector<Step> steps_;
};

// The program's registry, which start-up runs: the program fills it before it
// starts up (tests fill, save and restore it as they need).
StartupRegistry& StartupSteps();
