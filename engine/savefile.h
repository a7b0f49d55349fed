// The simulation save file: a run's accepted points written to disk one
// record each (Run Options "Save") and read back in place of simulating
// ("Retrieve"). One routine, TransferSimulationState, walks the record's slot
// sequence to read, write or only count it, so writer, reader and record size
// always agree.
//
// The open file, its record buffer and the deferred point of Save mode belong
// to the analysis that runs (one SimulationSaveFile per analysis document).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/filestream.h"

struct SimulatorState;

// Raised whenever the record's slot sequence changes.
constexpr int32_t kSaveFileVersion = 0x80002;
constexpr int kMsgObsoleteDataFile = 5360;  // "%EObsolete data file, please rerun the simulation."
constexpr int kMsgVandIOnlyFile = 5361;     // a "V and I only" file for a transient or DC retrieve

// The Run Options value of an analysis.
enum SaveRunOption : int32_t { kRunNormal = 0, kRunSave = 1, kRunRetrieve = 2 };
// The probe saving option: what a record holds.
enum SaveContents : int32_t { kSaveVoltagesAndCurrents = 1, kSaveAll = 2 };
// How TransferSimulationState moves the slots.
enum SaveTransferMode : int32_t { kTransferRead = 0, kTransferWrite = 1, kTransferCount = 2 };

// The analysis letters of the file names: T transient, A AC, D DC, W distortion.
std::string SimulationSaveFileName(const std::string& circuitPath, char analysisLetter);

// The command-line run-option flags (2 Save, 1 Retrieve, 8 Normal; 8 wins)
// applied over the analysis's own Run Options value.
int32_t ApplyCommandLineRunOption(int32_t runOption, int32_t commandLineFlags);

// True when a save file must not be used for the circuit: the circuit was
// edited since (`staleFlag`), or the circuit file is newer than the save file
// or a time cannot be read. An unsaved circuit (no file on disk) is never stale.
bool IsSaveFileStale(bool staleFlag, const std::string& circuitPath, const std::string& savePath);

struct SaveFileRequest {
    std::string path;           // SimulationSaveFileName
    char analysisLetter = 'T';  // T, A, D or W
    int32_t runOption = kRunNormal;
    int32_t contents = kSaveAll;  // written into a new file
    int32_t checkValue = 0;       // 0, or the AC run's noise flag
    int32_t saveInterval = 1;     // every n-th analog point is written; <= 0 counts as 1
    bool probe = false;           // the probe asks: obsolete files are refused silently
};

class SimulationSaveFile {
public:
    SimulationSaveFile() = default;
    ~SimulationSaveFile() { Close(); }
    SimulationSaveFile(const SimulationSaveFile&) = delete;
    SimulationSaveFile& operator=(const SimulationSaveFile&) = delete;

    // Opens for the run (nothing when the run option is Normal): checks or
    // writes the header and sizes the record from the state's circuit. 0,
    // 15055 (reported), 15002 or a file error.
    int Open(SimulatorState& state, const SaveFileRequest& request);
    // Save mode: writes the point (ordinary analog points thinned to every
    // save-interval-th accepted point, the others kept as the pending point).
    // 0 or 15978 (the file is then closed).
    int WritePoint(SimulatorState& state, int32_t acceptedPoints, double time, const std::vector<double>* solution);
    // Writes the pending point of Save mode, if any. 0 or 15978.
    int FlushPendingPoint(SimulatorState& state);
    // Retrieve mode: reads the next record into the state (counter + 1; time
    // and step of the point). At the end of the file, or on a short record,
    // state.RunStopRequest is set and the result is still 0.
    int ReadPoint(SimulatorState& state, int32_t& counter, double& time, double& step, std::vector<double>& solution);
    void Close();

    // Walks one record in `mode`: returns the slot count.
    size_t TransferSimulationState(SimulatorState& state, SaveTransferMode mode, double& time,
                                   std::vector<double>* solution);

    bool InUse() const { return inUse_; }
    int32_t RunOption() const { return runOption_; }
    int32_t Contents() const { return contents_; }
    size_t RecordSlots() const { return record_.size(); }

private:
    int WriteRecord(SimulatorState& state, double time, const std::vector<double>* solution);

    BinaryFile file_;
    std::string path_;
    bool inUse_ = false;
    int32_t runOption_ = kRunNormal;
    int32_t contents_ = kSaveAll;
    int32_t interval_ = 1;
    bool ac_ = false;  // an AC run's file: device blocks carry the complex currents
    std::vector<double> record_;
    // The slot walk.
    SaveTransferMode mode_ = kTransferCount;
    size_t index_ = 0;
    // The deferred point of Save mode.
    double pendingTime_ = 0.0;
    std::vector<double> pendingSolution_;
    bool pending_ = false;
    bool flushing_ = false;
};

// Registers the messages of the save file.
void RegisterSaveFileMessages();
