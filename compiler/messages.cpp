#include "compiler/messages.h"

#include "compiler/analysisstmts.h"
#include "compiler/behavsetup.h"
#include "compiler/depsources.h"
#include "compiler/diodes.h"
#include "compiler/arrays.h"
#include "compiler/coupling.h"
#include "compiler/macros.h"
#include "compiler/mosfets.h"
#include "compiler/opampsetup.h"
#include "compiler/setup.h"
#include "compiler/spicereader.h"
#include "compiler/subckt.h"
#include "compiler/topology.h"
#include "compiler/warnings.h"
#include "core/messages.h"

// Rows are grouped by topic; add new rows to their group.
static const MessageRow kCompilerMessageRows[] = {
    // ---- compile support ----
    {17909, "Clearing arrays."},
    {13984, "Transient Analysis"},
    {13985, "AC Analysis"},
    {13986, "DC Analysis"},
    {13987, "Distortion Analysis"},
    // ---- statement templates and part names ----
    {11900, "%EExpecting '%s'."},
    {11902, "%EExpecting '%s' but found '%s'."},
    {11904, "%WExtra text '%s' found."},
    {10889, "%EIllegal use of reserved variable or symbol, '%s'."},
    {10896, "%EDuplicate definition."},
    {10897, "%EIllegal character in label '%s'."},
    {10898, "%EDuplicate definition of part."},
    {10899, "%EIllegal character in label '%s'.\nDo you want to rename parts?"},
    {10900, "%EIllegal character in label '%s'."},
    // ---- defines ----
    {10880, "%EExpecting '(' to follow '%s'."},
    {10881, "%E'.Define' too complex."},
    {10882, "%EMissing identifier in define."},
    {10883, "%E'.Define' is recursive."},
    {10884, "%EParameter count mismatch."},
    {10885, "%EDuplicate .define '%s'."},
    {10886, "%EIllegal character '%s' in .define."},
    {10890, "%EMissing '}' in define."},
    {10936,
     "%EThe NAME in an .ARRAY statement is already used in another .ARRAY statement or in a .DEFINE "
     "statement."},
    {11903, "%EExtra text '%s' found."},
    {19891, "%EMissing LOT keyword in .define statement."},
    {19892, "%EUse of LOT='%%' requires that the expression is static."},
    {19893, "%EIllegal identifier in .define or .param statement."},
    // ---- the compile driver ----
    {10831, "%EThe circuit is missing a ground."},
    {10838, "%EThe SPICE circuit is missing a ground node."},
    {10860, "%EHidden node %s is missing."},
    {17902, "Processing macros."},
    {17905, "Processing digital components."},
    {17906, "Checking for voltage loops."},
    {17908, "Processing device expressions."},
    // ---- .OPTIONS ----
    {11895, "%EMethod must be followed by ether GEAR or TRAP."},
    {11896, "%EMissing value for '%s'."},
    {11897, "%EBad value following %s."},
    {11901, "%EExpecting '%s' to follow '%s'."},
};

void RegisterCompilerMessages() {
    RegisterMessages(kCompilerMessageRows,
                     static_cast<int>(sizeof(kCompilerMessageRows) / sizeof(kCompilerMessageRows[0])));
    RegisterPartSetupMessages();
    RegisterCircuitCheckMessages();
    RegisterSpiceReaderMessages();
    RegisterAnalysisStatementMessages();
    RegisterDependentSourceMessages();
    RegisterDiodeSetupMessages();
    RegisterSubcircuitMessages();
    RegisterOpampSetupMessages();
    RegisterMacroMessages();
    RegisterArrayMessages();
    RegisterWarningMessages();
    RegisterMosfetSetupMessages();
    RegisterCouplingMessages();
    RegisterBehaviouralSetupMessages();
}
