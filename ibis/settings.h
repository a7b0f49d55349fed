// The IBIS translator's settings in tarn.dat.
#pragma once

class SectionFile;

// The [IBIS] section routine, by the file's mode; 0 or a result code. When
// reading it stops at the next header, which it leaves as the current section.
int SerializeIbisSettings(SectionFile& file);
