// Symbolic differentiation of compiled expressions: DER inside formulas, the
// algebraic derivatives of function sources and the calculator's derivative.
//
// The postfix token list is read into a tree, every operator and function has
// its rule, products and sums with 0 and 1 are simplified while the derivative
// is built, and the result is written back as tokens (then folded and its
// repeated pieces shared) or printed as infix text.
#pragma once

#include <cstdint>
#include <string>

#include "expr/runvars.h"

struct CompiledExpression;
struct ExprToken;

// The first token of the list that has no derivative: SERIES, TABLE, the
// performance functions, the Bessel functions, and what reads state or storage
// of its own expression (stateful functions, histories, bodies other than a
// DER body, PROD); null when every token can be differentiated.
const ExprToken* FindNonDifferentiable(const CompiledExpression* expr);

// The identity a variable token is compared by (its operand); 0 for a token
// that is not a variable.
uintptr_t DerivativeVariableIdentity(const ExprToken* token);

// Writes into `result` (emptied first) the derivative of `source` with respect
// to the variable of that identity, folded and with its shared pieces. The
// result keeps the source's dialect; IF compares against `logicThreshold` in
// SPICE3 expressions. Returns 0 with an empty result when the source cannot be
// differentiated (FindNonDifferentiable, or a token list the differentiator does
// not understand); 15002 when memory runs out.
int DifferentiateCompiled(const CompiledExpression* source, CompiledExpression* result, uintptr_t variable, int dialect,
                          double logicThreshold = GlobalSettings.lthresh);

// Differentiates a text. `variableName` names the variable; when empty, the
// first variable of the text is chosen and its name stored there. `result`
// receives the derivative as text, or the reason there is none. Returns the
// compile result of the text (0 when it compiled).
int DifferentiateExpression(const char* text, std::string* variableName, std::string* result, int dialect);

// Installs the differentiation service DER compiles through.
void InstallSymbolicDerivatives();
// The messages of the differentiation service.
void RegisterDerivativeMessages();
