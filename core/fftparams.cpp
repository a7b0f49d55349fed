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

void FFTParams::ClampPoints() {
    if (pointCount >= 262144) pointCount = 262144;
    if (pointCount <= 8) pointCount = 8;
}

void FFTParams::GetSteps(int analysisKind, double* first, double* second, double fundamental) const {
    const double points = pointCount > 0 ? pointCount : 1;
    const double range = rangeValue != 0 ? rangeValue : 1;
    switch (analysisKind) {
    case 0:
        *first = rangeValue / points;
        *second = 1 / range;
        break;
    case 1:
        *first = 1 / range;
        *second = rangeValue / points;
        break;
    case 3:
        *first = rangeValue / points;
        *second = fundamental;
        break;
    default: break;
    }
}
