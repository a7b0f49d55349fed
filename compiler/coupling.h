// Coupled inductors: after every part is set up, each K part's INDUCTORS are
// resolved to the inductor records of its scope, the couplings are checked
// against each other, and every coupled pair gets a resistor of 1/GMIN
// between its inductors' first nodes so that no winding floats at DC.
#pragma once

class CCTDoc;
struct InductorRecord;

// 0, or 15055 after the message that names the K part and the fault.
int SetupCoupledInductors(CCTDoc* document);
// The inductor record of the inductor part of that name in the scope; null
// with *status 10802 when there is none.
InductorRecord* FindCoupledInductor(CCTDoc* document, const char* name, int scope, int* status);

// After the device expressions: a coupled inductor of a coreless K part whose
// value is negative is refused (10807). 0 or 15055.
int CheckCoupledInductorValues(CCTDoc* document);

// The module's message texts (start-up; RegisterCompilerMessages calls it).
void RegisterCouplingMessages();
