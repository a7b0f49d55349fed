// The circuit expressions are compiled against (the expression language's
// ExprCircuit port): node names of the current circuit document, its part
// names, and the binding of device quantities — V(R1), I(C1), I(3,4), R(R1),
// C(C1), L(L1) — to the nodes, branch unknowns and record fields of its
// compiled circuit. InstallCompilerServices installs it.
#pragma once

#include <cstdint>

class ExprCircuit;
struct DeviceRecord;
struct ExprCompiler;
struct SchematicObject;

ExprCircuit& CompiledCircuitExpressions();

// The part of that name in the context's scope whose component type's
// quantity mask shares a bit with deviceMask (any part for -1), with its type.
// When none qualifies and report is set, 10416 (a part of the wrong kind) or
// 10412 (no part) is shown; *result receives 0 or that result.
SchematicObject* FindQuantityPart(ExprCompiler* ctx, const char* partName, uint32_t deviceMask, int* type,
                                  const char* quantity, bool report, int* result);
// The one active device of the kinds in deviceMask whose two terminals are a
// and b in either order; *reversed when its first terminal is b. None or
// several: 10413 or 10414 is shown and null returned (*result the code).
DeviceRecord* FindDeviceBetweenNodes(ExprCompiler* ctx, int a, const char* textA, int b, const char* textB,
                                     uint32_t deviceMask, int* type, bool* reversed, int* result);
