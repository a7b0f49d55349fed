#include "analysis/messages.h"

#include "analysis/statevarsdlg.h"
#include "core/messages.h"

static const MessageRow kAnalysisMessageRows[] = {
    {13281, "%EIllegal Step value."},
    {13585, "%EIn log stepping, from and to must have the same sign."},
    {13586, "%EIn log stepping, step can not be 0.0 or 1.0 and must be positive."},
    {13587, "%EIn log stepping, from or to can not be 0.0."},
    {13590, "%WCheck Numeric Output window for warnings."},
    {13690, "Warning %s temperature adjusted PHI (or PB, VJ, VJE, or VJC) went negative at temperature=%f.\n"},
    {13691, "Check model parameter value and or the operating temperature.\n"},
    {10450, "%ECircuit must have a component with a definition of Sine source or ISpice or VSpice with type of Sin."},
};

void RegisterAnalysisMessages() {
    RegisterMessages(kAnalysisMessageRows,
                     static_cast<int>(sizeof kAnalysisMessageRows / sizeof kAnalysisMessageRows[0]));
    RegisterStateVariablesMessages();
}
