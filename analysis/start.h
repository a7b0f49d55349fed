// The span of an open analysis on one circuit: RunAnalysis, the entry every
// command uses; StartAnalysis (compile, set-up at 27 degrees, the matrix, the
// numeric output file, the analysis window); ExitAnalysis, which tears it all
// down. The runs themselves start later from the analysis window.
//
// Only one analysis is open at a time; it is an object of its own that holds
// the engine state, the numeric output and the sweep list of the circuit.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "analysis/numout.h"
#include "analysis/sweep.h"
#include "engine/acrun.h"
#include "engine/state.h"

class CCTDoc;

// The analysis window and its Analysis Limits dialog belong to the plot
// windows, which implement this port. Until one is installed, opening fails
// with kResultNotBuilt.
class AnalysisWindowPort {
public:
    virtual ~AnalysisWindowPort() = default;
    // Opens the analysis window of the kind for the circuit (the Analysis
    // Limits dialog beside it is opened by the start). 0 or a result code.
    virtual int OpenAnalysisWindow(CCTDoc* document, int kind) = 0;
    // Closes the window and the dialog without asking (the analysis ends).
    virtual void CloseAnalysisWindow(CCTDoc* document) = 0;
};
AnalysisWindowPort& AnalysisWindows();
// Installs the port; null restores the null object. Returns the previous one.
AnalysisWindowPort* InstallAnalysisWindows(AnalysisWindowPort* port);

// How an analysis is started: in place (Dynamic AC/DC, transfer function and
// sensitivity runs have no window), hidden (tools that run an analysis without
// showing it), and the transfer-function or sensitivity driver behind it.
struct AnalysisStartMode {
    bool inPlace = false;
    bool hidden = false;
    bool transferFunction = false;
    bool sensitivity = false;
};

// The analysis that is open.
class OpenAnalysis {
public:
    OpenAnalysis(CCTDoc* document, int kind) : document(document), kind(kind) {}
    CCTDoc* document;
    int kind;
    AnalysisStartMode mode;
    SimulatorState engine;
    NumericOutput numericOutput;
    SweepList sweep;
    int lastBuildResult = 0;
    double setupTime = 0, runTime = 0;
    int32_t runSeries = 0;  // series of runs set up since the start
    // A SPICE text's analysis statements as its limits wrote them when the
    // analysis started (defaults filled); the end compares them to see
    // whether the user changed the limits.
    std::string startStatements;
    // The AC sweep and the bias point it keeps between the runs of the analysis.
    AcRun acRun;
};
// Null when no analysis is open.
OpenAnalysis* CurrentAnalysis();
// The kind of the open analysis, -1 when none.
int RunningAnalysisKind();

// Message ids.
enum AnalysisStartMessage : int {
    kMsgNoSineSource = 10450,        // distortion needs a sine source
    kMsgCheckNumericOutput = 13590,  // "Check Numeric Output window for warnings."
};

// Starts the analysis of `kind` (0 transient ... 3 distortion) on the circuit
// and makes it the run context. Failures are reported and leave no analysis
// open. Returns 0 or the result code.
int RunAnalysis(CCTDoc* document, int kind, const AnalysisStartMode& mode = AnalysisStartMode());
// The start sequence itself; on failure the analysis has already ended.
int StartAnalysis(CCTDoc* document, int kind, const AnalysisStartMode& mode);
// Ends the open analysis of the circuit. The normal end (abandon false) writes
// a SPICE text's limits back into its text when they were changed since the
// start, and deletes an empty numeric output file; an abandoned analysis
// keeps the file.
void ExitAnalysis(CCTDoc* document, bool abandon);
// True while ExitAnalysis tears an analysis down: formula texts of the
// schematic are not evaluated again meanwhile.
bool AnalysisExitInProgress();
// Closing the analysis window: the normal end, the run context cleared and the
// global settings applied again.
void CloseAnalysis(CCTDoc* document);

// The numeric output file of a circuit's analysis kind, in the first folder of
// the data path when there is one.
std::string NumericOutputPath(CCTDoc* document, int kind);
// The operating point of the circuit's compiled nodes and inductors from a
// solution vector (by equation number; missing entries read 0): node names of
// the top level, else the node number; inductors by their qualified names.
OperatingPointData CollectOperatingPoint(CCTDoc* document, const std::vector<double>& solution);

// The compile's warnings about model parameters and .OPTIONS under
// "Warnings" in the numeric output; false when there were none (or the file
// is closed).
bool WriteCompileWarnings(NumericOutput& output, CCTDoc* document);

// Whether the compiled circuit has a sine source (distortion needs one).
bool HasSineSource(CCTDoc* document);
