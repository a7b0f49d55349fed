#include "core/fftparams.h"

#include "core/memory.h"

FFTParams::~FFTParams() {
    FreeString(&Upper);
    FreeString(&Lower);
    FreeString(&Points);
    FreeString(&Harmonics);
}

void FFTParams::ResetDefaults() {
    FreeString(&Upper);
    FreeString(&Lower);
    SetString(&Points, "1024");
    SetString(&Harmonics, "10");
    IncludeDC = 0;
}

void FFTParams::CopyFrom(const FFTParams& other) {
    if (&other == this) return;
    SetString(&Upper, other.Upper);
    SetString(&Lower, other.Lower);
    SetString(&Points, other.Points);
    SetString(&Harmonics, other.Harmonics);
    IncludeDC = other.IncludeDC;
}
