// Settings of a circuit that only its file stores and restores: the circuit
// window's own placement, the per-analysis print options, the DSP texts and
// the transfer-function settings, and tool-bar choices kept for the windows
// that show them.
#pragma once

#include <cstdint>
#include <string>

#include "core/properties.h"

// Analysis kinds of these settings: 0 "T", 1 "A", 2 "D", 3 "DIST".
constexpr int kCircuitAnalysisKinds = 4;
constexpr int kTransferOutputSlots = 10;
constexpr int kTransferInputSourceMax = 50;

struct CircuitFileSettings {
    WindowPlacement windowPlacement;  // the circuit window
    int32_t printAutoTile[kCircuitAnalysisKinds] = {};
    int32_t printBlackBorder[kCircuitAnalysisKinds] = {};
    std::string dspMax[kCircuitAnalysisKinds];
    std::string dspMin[kCircuitAnalysisKinds];
    std::string dspPoints[kCircuitAnalysisKinds];
    int32_t hasTransfer = 0;  // the file held a TF section
    std::string transferOutputs[kTransferOutputSlots];
    std::string transferInputSource;  // at most 50 characters
    int32_t transferPlaceText = 0;
    int32_t transferTextGrid[2] = {-1, -1};
    // The circuit window's tool-bar choices as read ("Pos" first), written
    // back while no tool bar serves them; empty when there were none.
    std::string keptToolLines;
};
