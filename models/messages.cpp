#include "models/messages.h"

#include "core/messages.h"
#include "models/libindex.h"
#include "models/modelhelp.h"

// Rows are grouped by topic; add new rows to their group.
static const MessageRow kModelMessageRows[] = {
    // ---- model parameter values ----
    {14070, "%E%s=%g Value must be greater than zero."},
    {14071, "%E%s=%g Value must be greater than or equal to zero."},
    {14072, "%E%s=%g Value must be >=0 and <=1."},
    {14073, "%E%s=%g Value must be >=0 and <=3."},
    {14074, "%E%s=%g Value must be >=1 and <=3."},
    {14075, "%E%s=%s Value must be \"0\",\"1\",\"R\",\"F\",\"X\",\"Z\",\"\"."},
    {14076, "%ELEVEL must be 1,2,3,4,5,8,14 or 44."},
    {14077, "%ELEVEL must be 1,2,3"},
    {14080, "%ELEVEL must be 1 or 2."},
    // ---- model statements and records ----
    {10889, "%EIllegal use of reserved variable or symbol, '%s'."},
    {10896, "%EDuplicate definition."},
    {11851, "%EError in Pulse source. The requirement that P5>=P4>=P3>=P2>=P1 is violated."},
    {11852, "%EIllegal use of '%s'."},
    {11854, "%EOnly one of the temperature parameters T_REL_GLOBAL, T_REL_LOCAL or T_ABS may be defined in a model."},
    {11855, "%EIllegal model type '%s'."},
    {11856, "%EIn GaAsFET model, VMAX must be less than VBI."},
    {11857, "%ERecursive AKO in Model statement %s."},
    {11858, "%ECan't find AKO Model %s."},
    {11859, "%EMust specify model name and type."},
    {11861, "%EBad value '%s' for '%s'."},
    {11863, "%E<%s #> must be in range of 0 to 9."},
    {11900, "%EExpecting '%s'."},
    {11901, "%EExpecting '%s' to follow '%s'."},
    {11903, "%EExtra text '%s' found."},
    // ---- model lookup ----
    {10834, "%EMissing model statement '%s'."},
    {10852, "%EMissing I/O model statement '%s'."},
};

void RegisterModelMessages() {
    RegisterMessages(kModelMessageRows, static_cast<int>(sizeof kModelMessageRows / sizeof kModelMessageRows[0]));
    RegisterModelHelpTexts();
    RegisterLibraryIndexMessages();
}
