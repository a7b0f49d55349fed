// The lexeme rewrites of device-quantity binding. When the parser closes a
// call such as I(R1), V(C1) or I(3,4), the circuit that owns the devices
// (ExprCircuit::BindDeviceQuantity) replaces the call's lexemes by operands
// bound to the device: node voltages and branch currents in the solution,
// fields of the device record, and the punctuation that joins them. These
// operations are the only way the circuit edits the lexeme array.
#pragma once

#include "expr/compiled.h"

struct ComplexNumber;

// Removes every lexeme of the call: its function lexeme when the quantity has
// one, its '(' , arguments and ')'. Appends then continue where the call began.
void RemoveQuantityCall(ExprCompiler* ctx, const DeviceQuantityCall& call);

// Punctuation joining bound operands. 0, or the reported 15002.
int AppendQuantityOpen(ExprCompiler* ctx);
int AppendQuantityClose(ExprCompiler* ctx);
int AppendQuantityMinus(ExprCompiler* ctx);       // binary '-'
int AppendQuantityDivide(ExprCompiler* ctx);      // '/'
int AppendQuantityUnaryMinus(ExprCompiler* ctx);  // a sign, argCount 1

// A node voltage or branch current by its unknown number: the real solution
// slot (code 4), or the complex node value (code 134) in AC analysis. During
// the first set-up compile, and while no solution exists, the operand reads a
// scratch slot: that compile only finds out what the expression needs.
int AppendUnknownOperand(ExprCompiler* ctx, int unknown, const char* text);
// A pointer to a double of a device record (code 4).
int AppendFieldOperand(ExprCompiler* ctx, double* field, const char* text);
// A pointer to a complex device field (code 6), read in AC analysis.
int AppendComplexFieldOperand(ExprCompiler* ctx, ComplexNumber* field, const char* text);

// The running integral of a power: SUM(power, T, STARTVAR), the inserted
// lexemes counted as one argument each; the target keeps state from then on.
int AppendRunningIntegral(ExprCompiler* ctx, ComplexNumber* power, const char* text);

// The call becomes the voltage of node a, or (V(a)-V(b)) when b is not
// negative; the names are the nodes' texts for the operands' "V(%s)".
int SetVoltageDifferenceLexemes(ExprCompiler* ctx, const DeviceQuantityCall& call, int nodeA, const char* nameA,
                                int nodeB, const char* nameB);
