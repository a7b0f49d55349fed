// Device expressions: the value texts the part set-ups leave pending in device
// records (resistor, capacitor and inductor values and their AC-only
// frequency texts, couplings, PWL triggers ...) are compiled here once every
// node exists and the unknowns are numbered, so that node voltages and branch
// currents bind to their solution slots. Also the current meters: zero-volt
// sources put in series with a device pin whose current an expression reads.
#pragma once

#include <cstdint>

class CCTDoc;
struct DeviceExpression;
struct ExprCompiler;
struct SchematicObject;

// Compiles the expression's pending text for the circuit (the part, may be
// null, gives the scope, the dialect and the message source). Nothing is
// compiled while *status is nonzero: the text is dropped. A failure shows its
// message with the part and sets *status to 15055. When constantOut is given
// and the expression is a lone constant, the constant goes there and the
// expression is emptied. setupPass: 0 ordinary, 1 the trial compile before
// numbering (makes current meters), 2 the compile after numbering. Returns 1
// when the compiled expression keeps state, else 0.
int CompileDeviceExpression(CCTDoc* document, DeviceExpression* expression, int complexCurrents, SchematicObject* part,
                            int* status, double* constantOut, int setupPass);
// The trial compiles of the function sources' texts right after the set-up,
// which make the current meters they read. No function-source kind is built
// yet: 0.
int ValidateFunctionSourceExpressions(CCTDoc* document);
// Compiles every pending device expression of the circuit, list by list, as
// long as status stays 0 (later texts are dropped once it is not), and marks
// the lists that got expressions keeping state. Returns the final status.
int ProcessDeviceExpressions(CCTDoc* document, int status);
// Called by the binding of a pin current during a set-up compile. pinNodeSlot
// is the device record's node field of the pin. In the first set-up compile a
// meter is made when the pin has none: a new node, a zero-volt source from the
// pin's node to it (the reverse without polarity) and the pin moved onto the
// new node; 0, or -1 when the source cannot be added (15002 shown). In the
// second, the meter's branch unknown, 0 when the pin has no meter.
int InsertCurrentMeter(ExprCompiler* ctx, int32_t* pinNodeSlot, int polarity);
