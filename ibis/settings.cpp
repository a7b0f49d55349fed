#include "ibis/settings.h"

#include "core/sectionfile.h"

// Not yet built: the IBIS translator and its settings. The section is written
// empty and its lines are skipped when read, so nothing is invented.
int SerializeIbisSettings(SectionFile& file) {
    if (file.IsReading())
        while (file.ReadLongEntry() == 1) {}
    return file.error;
}
