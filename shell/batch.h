// Unattended runs from a batch file: each line names a circuit (or an IBIS
// file) and the analyses to run on it; the log gets one line per simulation
// with the simulator's counters and run time, the messages reported meanwhile,
// and totals at the end.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

class CDoc;

// What one simulation of a job reports for its log line.
struct BatchRunFigures {
    int32_t analogNodes = 0;
    unsigned long iterations = 0;
    unsigned long rejected = 0;
    unsigned long solutions = 0;
    double runSeconds = 0;
};

// What a batch job needs of the documents and the analyses above the shell;
// installed at start-up by their owners. Until then a job cannot open its
// file (kResultNotBuilt is reported) and nothing runs.
class BatchJobsPort {
public:
    virtual ~BatchJobsPort() = default;
    // Opens the job's file as a document of its kind, reporting its own
    // errors; the document that stays open for the job, or null.
    virtual CDoc* OpenJob(const char* path, int kind) = 0;
    // Closes the job's document (it was opened by OpenJob).
    virtual void CloseJob(CDoc* document) = 0;
    // Starts the analysis (0 transient, 1 AC, 2 DC) on the document, runs it
    // to its end with the run mode in force and fills the figures: 0 or a code.
    virtual int RunAnalysis(CDoc* document, int analysis, BatchRunFigures* figures) = 0;
    // Prints the circuit, or the analysis plot of the run that just ended.
    virtual void PrintCircuit(CDoc* document) = 0;
    virtual void PrintAnalysis(CDoc* document) = 0;
    // Ends the open analysis of the document.
    virtual void CloseAnalysis(CDoc* document) = 0;
    // Saves the document to its own path: 0 or a code.
    virtual int SaveDocument(CDoc* document) = 0;
    // The IBIS file's translation in its batch form: 0 or a code.
    virtual int TranslateIbis(const char* path) = 0;
    // True when Esc was pressed since the last call.
    virtual bool EscapePressed() = 0;
};
BatchJobsPort& BatchJobs();
// Installs the port; null restores the null object. Returns the previous one.
BatchJobsPort* InstallBatchJobs(BatchJobsPort* port);

// The switches of one batch line.
struct BatchLine {
    bool transient = false, ac = false, dc = false;
    bool printCircuit = false, printAnalysis = false;
    int runMode = 8;   // 2 with /S, 1 with /R
    std::string name;  // the file named, as written
    std::string rest;  // what no switch or name took
};

// Takes the switches and the file name out of a cleaned line. True when the
// line is a job: it asks for an analysis, names an IBIS file, or /SAVE was
// given on the command line.
bool ParseBatchSwitches(const std::string& line, bool saveGiven, BatchLine* out);
// A raw line as the batch reads it: the comment from ";" on removed, tabs
// removed, trimmed; a line beginning with "*" or ":" is empty. The case is
// kept (file names are case-sensitive); switches and GOTO/LABEL compare
// without case.
std::string CleanBatchLine(const std::string& raw);

// One batch run: its files, counters and times.
class BatchRun {
public:
    BatchRun() = default;
    BatchRun(const BatchRun&) = delete;
    BatchRun& operator=(const BatchRun&) = delete;
    ~BatchRun();

    // Opens the log (the batch file's path, or `fallbackPath` without one,
    // with the extension DOC), writes its header and opens the batch file.
    // 0, or the code of the file that could not be opened (reported).
    int Start(const char* batchFile, const char* fallbackPath);
    // Works through the batch file; returns when it ends (its end, a missing
    // label, Esc between jobs). The totals are written by End.
    int Run();
    // Writes the totals and closes both files; a second call does nothing.
    void End();

    const std::string& LogPath() const { return logPath_; }
    int Circuits() const { return circuits_; }
    int Simulations() const { return simulations_; }
    // Jobs whose circuit did not open or whose analysis did not run to its end.
    int Failures() const { return failures_; }

private:
    bool ReadLine(std::string* line);
    bool FindLabel(const std::string& label);
    void RunJob(const BatchLine& job);
    void LogLine(const char* format, ...) __attribute__((format(printf, 2, 3)));

    std::string batchPath_;
    std::string logPath_;
    FILE* batch_ = nullptr;
    FILE* log_ = nullptr;
    double startTime_ = 0;
    double runTime_ = 0;
    int circuits_ = 0;
    int simulations_ = 0;
    int failures_ = 0;
    bool stop_ = false;
};

// The log line name: the base name cut to 12 characters, then its extension.
std::string BatchLogName(const std::string& path);

// The module's message texts (start-up; RegisterShellMessages calls it).
void RegisterBatchMessages();
