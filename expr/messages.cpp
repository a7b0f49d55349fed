#include "expr/messages.h"

#include "core/messages.h"
#include "expr/derivative.h"

// Rows are grouped by topic; add new rows to their group.
static const MessageRow kExprMessageRows[] = {
    // ---- compiling expressions ----
    {807, "%EFunction '%s' can only be used in an analysis."},
    {10402, "%EUnknown identifier '%s' in '%.200s'."},
    {10403, "%EOperand expected in '%.200s'."},
    {10404, "%EIllegal constant '%s' in '%.200s'."},
    {10405, "%EFound unexpected ')' in '%.200s'."},
    {10406, "%EMissing ').' in '%.200s'."},
    {10407, "%EOperator expected '%.200s'."},
    {10408, "%EIllegal node name '%.200s' in '%s'."},
    {10409, "%EFormula too complex in '%.200s'."},
    {10410, "%EMissing expression in '%.200s'."},
    {10412, "%ECan't find label '%s' in %s(...)"},
    {10413, "%ECan't find device between nodes %s and %s."},
    {10414, "%EMore than one device found between nodes %s and %s."},
    {10416, "%EIllegal expression using %s(%s)."},
    {10417, "%EExpecting '(' to follow '%s' in '%.200s'."},
    {10418, "%EExpression not allowed in function '%.200s'."},
    {10419, "%ENot enough parameters found in function '%.200s'."},
    {10420, "%EToo many parameters found in function '%.200s'."},
    {10422, "%ECan't use '%s' in function '%s' on arg. no. '%s'\nfor expression %.200s."},
    {10423, "%ECan't nest case."},
    {10424, "%EMissing or invalid expression."},
    {10425, "%ECan only use expression '%s' in analysis limit dialog box."},
    {10426, "%ECan't use expression '%s' in AC analysis."},
    {10427, "%ECan't use expression '%s' in DC analysis."},
    {10428, "%ECan't use expression '%s' in Transient analysis."},
    {10429, "%ECan't Mix %s."},
    {10430, "%ETable is missing last Yn parameter."},
    {10431, "%ENesting to deep."},
    {10432, "%ECan not calculate '%s' at this time. '%.200s'."},
    {10433, "%EIllegal index variable '%s' in Series '%s'."},
    {10435, "%ECan't find waveform '%s' in '%s'."},
    {10436, "%ECan't use '%s' \nfor expression %.200s."},
    {10437, "%EThe second derivative parameter must be just one variable, not an expression."},
    {10438,
     "%EFor the phase_margin function, the plotted X expression must be 'F' and the plotted Y "
     "expression must be of the form  'db(expr)' or 'ph(expr)'."},
    {10439, "%ELast(expr,n) n must be a constant integer and greater than or equal to zero."},
    {10447, "%ELast(expr,n) n may be at most %s."},
    {10440, "%ECondition missing after ':'."},
    {10441, "%ECondition missing after '?'."},
    {10442, "%EIllegal variable. Can't do '%s' for BSIM4."},
    {10445,
     "%EThe argument of the RNDI function is the time interval between random values and must "
     "be a positive, non-zero constant, like 10ns."},
    {13781, "%ECan't use '%s' variable in '%s'."},

    // ---- evaluating expressions ----
    {10443, "%EAn attempt was made to access the array variable %s outside its bounds."},
    {10444, "%EA stack overflow occurred in an array variable. It probably contains a self-reference."},
    {10446, "%ESERIES and PROD may sum at most %ld terms in one evaluation, fewer when their bodies are long."},

    // ---- floating-point faults (15100 + n for the unit's error numbers 129..139) ----
    {15003, "%EFloating point '%s'."},
    {15100, "invalid operation"},
    {15101, "denormal"},
    {15102, "division by zero"},
    {15103, "overflow"},
    {15104, "underflow"},
    {15105, "inexact"},
    {15106, "unemulated"},
    {15107, "neg sqrt()"},
    {15108, "stack overflow"},
    {15109, "stack underflow"},
};

void RegisterExprMessages() {
    RegisterMessages(kExprMessageRows, static_cast<int>(sizeof(kExprMessageRows) / sizeof(kExprMessageRows[0])));
    RegisterDerivativeMessages();
}
