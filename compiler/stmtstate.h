// What reading the analysis, output and initial-condition statements of one
// circuit keeps between statements and hands on to the run. A compile session
// owns one (compiler/session.h), so two circuits read side by side keep
// separate initial conditions, time-step tables and counters.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct InductorRecord;

// One pair of a .TR statement: up to `time` the step is at most `maxStep`.
struct TimeStepPair {
    double maxStep = 0;
    double time = 0;
};

// Where an initial value comes from; a .IC value is never replaced by a .NODESET.
enum InitialConditionSource : int16_t { kFromInitialCondition = 1, kFromNodeSet = 2 };

// One entry of the initial-condition table the engine and the devices read.
struct InitialConditionEntry {
    char kind = 'V';  // 'V' node voltage, 'I' inductor current, 'D' digital state
    double value = 0;
    int16_t state = 0;                   // 'D': index of the state letter
    InductorRecord* inductor = nullptr;  // 'I'
    int32_t node1 = 0;                   // 'I': the inductor's first node
    int32_t node2 = 0;                   // second node of a differential voltage; 'I': the inductor's second
    int16_t source = kFromInitialCondition;
};

// A .IC or .NODESET statement kept until the circuit's nodes exist.
struct StoredInitialStatement {
    int32_t scope = 1;
    std::string text;  // upper case, line breaks blanked
};

constexpr int kSensitivitySlots = 10;
constexpr size_t kTransferInputMax = 49;

struct StatementState {
    // ---- analysis statements of one read
    bool tranSeen = false;
    bool trSeen = false;  // a .TR table was read in this compile
    // .TRAN ... UIC: start the transient run from the initial conditions.
    bool useInitialConditions = false;
    std::vector<TimeStepPair> timeSteps;
    std::string transferInput;                 // .TF input source
    std::vector<std::string> transferOutputs;  // .TF outputs, most recent first
    std::string sensitivityOutputs[kSensitivitySlots];
    // ---- output statements of one read
    int plotCounter = 0;              // .PRINT/.PLOT statements read
    int statementCurveCount[3] = {};  // rows filled from statements, per kind 0-2
    // ---- initial conditions
    std::vector<StoredInitialStatement> initialStatements;
    std::vector<InitialConditionEntry> initialConditions;
    bool nodeSetsPresent = false;
    bool initialConditionsPresent = false;
};
