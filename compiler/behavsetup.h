// The set-ups of the behavioural sources: function sources (a formula of
// circuit quantities, with SDT and DDT calls expanded into small integrator and
// differentiator circuits), table sources, Laplace sources given by a formula
// in S (or in Z, with a clock frequency) or by a frequency table, and the
// sample-and-hold part. Set-ups work on CurrentSetupPart in the current circuit
// document; results follow the compiler's convention (0, 15055 after a
// message, 15002).
#pragma once

#include <string>
#include <vector>

struct CompiledCircuit;
struct FunctionSourceRecord;
struct SchematicObject;

// NFI (35) and NFV (37): VALUE becomes the pending value expression.
int SetupFunctionSource(int componentType);
// A function source record between the nodes whose value is the text (SDT
// and DDT expanded first). Null on failure with *status set.
FunctionSourceRecord* NewFunctionSource(int componentType, int node1, int node2, const std::string& text, int* status);
// Replaces every SDT(...) and DDT(...) call, matched as a whole identifier,
// by the output voltage of the circuit that computes it. 0 or 15055 after a
// message.
int ExpandIntegralsAndDerivatives(std::string& text, SchematicObject* part);
// The text with every free-standing Z replaced by "(EXP(S/(clock)))".
std::string SubstituteZDomain(const std::string& text, const std::string& clock);

// LFIofV .. LFVofI (31 to 34); zDomain for their Z forms (131 to 134).
int SetupLaplaceSource(int sourceType, bool zDomain);
// NTIofV .. NTVofI (39 to 42).
int SetupTableSource(int componentType);
// LTIofV .. LTVofI (43 to 46).
int SetupLaplaceTable(int componentType);
// SAMPLE_AND_HOLD (135).
int SetupSampleHold();
// Timer (146): its record and its three output sources.
int SetupTimer();

// Reads "(x1,y1) (x2,y2) ..." (numbers or braced expressions) into pairs:
// 0 or a message id (not shown) with *bad naming the offending character.
int ReadTablePairs(const std::string& text, int columns, std::vector<double>* values, char* bad);

// After the expressions are compiled: every function source's list of the
// solution slots its formula reads, its derivative mode and, when it is
// differentiated algebraically, the formula's partial derivative by each slot.
// 0 or 15002.
int BuildFunctionSourceDependencies(CompiledCircuit* compiled);

// A function source's derivative mode (1 by perturbation, 0 algebraic): the
// circuit's NUMERIC_DERIVATIVE option, overridden by the part's DERIVATIVE
// attribute ("Algebraic" or "Numeric", without case); a formula that keeps state
// or holds a function without derivative is always perturbed.
int FunctionSourceDerivativeMode(const FunctionSourceRecord& source, int numericOption);

// The messages of these set-ups (start-up).
void RegisterBehaviouralSetupMessages();
