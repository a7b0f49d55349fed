#include "compiler/devicetail.h"

#include <cstring>

#include "compiler/scanner.h"
#include "compiler/support.h"

int ScanDeviceTail(SchematicObject* part, double* area, double* icFirst, double* icSecond, int32_t* off,
                   const char* text) {
    *area = 1.0;
    *off = 0;
    *icFirst = 0.0;
    if (icSecond) *icSecond = 0.0;
    const char* statement = text ? text : "";
    const int rc = icSecond ? ScanStatement(part, "<[%g][OFF%d][IC=%g[,%g]]>", statement, area, off, icFirst, icSecond)
                            : ScanStatement(part, "<[%g][OFF%d][IC=%g]>", statement, area, off, icFirst);
    if (rc) RecordPartLocation(part);
    return rc;
}

bool DeviceTailHasIc(const char* text) { return text && std::strstr(text, "IC") != nullptr; }
