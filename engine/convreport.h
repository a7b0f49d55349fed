// The report of the devices and nodes that failed to converge in the last
// iteration of a run that ended without convergence.
#pragma once

#include <string>

#include "engine/state.h"

class CCTDoc;
class TextFile;

// The line of one failure record ("" for a kind without a text). Device names
// are the qualified part names of the state's circuit; node names come from
// the document's compiled node names (the number when it has none).
std::string FormatConvergenceFailure(const SimulatorState& state, const CCTDoc* document, const FailureRecord& record);
// Writes one line per failure record to the batch log when it is open,
// otherwise to the numeric output (after the "At Time=" header) when that is
// open, otherwise nowhere. Nothing without records.
void ReportConvergenceFailures(const SimulatorState& state, const CCTDoc* document, TextFile* batchLog,
                               TextFile* numericOutput);
