// The noise current sources of the semiconductor kinds (diodes, bipolar
// transistors, JFETs, GaAsFETs and MOSFETs of levels 1-3), from the values
// their loads kept at the bias point. Installed once at start-up beside their
// AC loads (devices/loads.cpp).
#pragma once

#include <cstdint>

#include "engine/noise.h"

struct MosfetRecord;

NoiseKindSources& DiodeNoiseSources();
NoiseKindSources& BipolarNoiseSources();
NoiseKindSources& JfetNoiseSources();
NoiseKindSources& GaasfetNoiseSources();
NoiseKindSources& MosfetNoiseSources();

// The noise equation selector of a level 1-3 MOSFET model: NLEV truncated,
// and 2 when the model leaves it unset or outside 0-3.
int MosfetNoiseLevelOf(const ModelRecord* model);

// The channel noise of a level 1-3 MOSFET at its bias point, as a power
// spectral density in A^2/Hz: the thermal and the flicker part at `frequency`
// (Hz, above 0) for noise level `nlev`.
struct MosfetChannelNoise {
    double thermal = 0.0;
    double flicker = 0.0;
};
MosfetChannelNoise MosfetLevelChannelNoise(const MosfetRecord& record, int nlev, double frequency);
