// The instance text that follows a semiconductor's model name: an area
// factor, OFF and initial junction voltages, shared by the diode, bipolar,
// JFET and GaAsFET set-ups.
#pragma once

#include <cstdint>

struct SchematicObject;

// Reads "[area] [OFF] [IC=v1[,v2]]" (the second IC value only when icSecond is
// given) with the template scanner; the part is the message source. Area 1,
// OFF 0 and the IC values 0 unless the text gives them. 0, or 15055 after the
// scanner's message (the part is then recorded as the error location).
int ScanDeviceTail(SchematicObject* part, double* area, double* icFirst, double* icSecond, int32_t* off,
                   const char* text);

// True when the instance text mentions initial conditions ("IC" anywhere).
bool DeviceTailHasIc(const char* text);
