#include "engine/messages.h"

#include "core/messages.h"
#include "engine/acrun.h"
#include "engine/lossyline.h"
#include "engine/savefile.h"
#include "engine/statefile.h"
#include "engine/dcsweep.h"
#include "engine/sensitivity.h"
#include "engine/transient.h"

static const MessageRow kEngineMessageRows[] = {
    {13542, "%EInternal time step too small in transient analysis."},
    {14190, "%EFailed to converge in specified number of iterations at time=%g."},
    {15051, "%EMatrix is singular."},
    {10836, "%EK value must be >= -1.0 and <= 1.0."},
};

void RegisterEngineMessages() {
    RegisterMessages(kEngineMessageRows, static_cast<int>(sizeof kEngineMessageRows / sizeof kEngineMessageRows[0]));
    RegisterTransientMessages();
    RegisterAcMessages();
    RegisterStateFileMessages();
    RegisterSaveFileMessages();
    RegisterLossyLineMessages();
    RegisterDcSweepMessages();
    RegisterSensitivityMessages();
}
