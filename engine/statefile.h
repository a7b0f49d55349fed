// The state-variables file: everything a later run needs to continue where
// an earlier one stopped (the solution vectors, the charge states, the step
// history and the pending digital events), written at the end of one run and
// read by the next run in the State Variables mode Read.
//
// The payload size is computed from the present circuit before anything is
// read or written, and a file is accepted only when its header, version and
// stored size agree with it, so nothing is allocated from what a file claims.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct SimulatorState;
struct TransientRun;

constexpr int32_t kStateFileVersion = 3;
constexpr int kMsgObsoleteStateFile = 13659;  // "%EObsolete state variables file."

// The circuit's path with the extension "TOP".
std::string StateVariablesFileName(const std::string& circuitPath);

// The payload size in bytes for the state's circuit with `events` pending
// digital events (including the 25 spare bytes); -1 when it would not fit the
// file's 32-bit size field.
int64_t StateVariablesPayloadSize(const SimulatorState& state, int64_t events);

// The whole file image of the present state (header, size, payload). `run`
// (may be null) gives the pending digital events and the run's TMAX.
int BuildStateVariablesImage(const SimulatorState& state, const TransientRun* run, std::vector<unsigned char>& image);
// Checks a file image against the state's circuit and, when it fits, copies
// it into the state (and the pending events into run's breakpoint list when
// `run` is not null). 0, 5355 (not a state-variables file) or 13659
// (another version, or a size that does not fit the circuit); the state is
// left unchanged on failure.
int ApplyStateVariablesImage(SimulatorState& state, TransientRun* run, const unsigned char* image, size_t size);

// Writes (write true) or reads the state at `path`. Failures are reported
// (with "File" and the name) and give 15055; 15002 without memory.
int SaveStateVariables(SimulatorState& state, TransientRun* run, bool write, const std::string& path);

// Registers the messages of the state-variables file.
void RegisterStateFileMessages();
