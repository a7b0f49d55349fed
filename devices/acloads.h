// The small-signal AC loads of the device kinds built here: diodes, bipolar
// transistors, JFETs, GaAsFETs, MOSFETs of LEVEL 1-3, the linear and
// polynomial dependent sources, OPAMP stages and ideal transmission lines.
// Each reads what the kind's own load stored at the final small-signal load
// of the bias point; none reads the circuit's voltages. Start-up installs them
// beside the kinds' DC loads.
#pragma once

class AcKindLoads;

AcKindLoads& DiodeAcLoads();
AcKindLoads& BipolarAcLoads();
AcKindLoads& JfetAcLoads();
AcKindLoads& GaasfetAcLoads();
// Levels 1-3; a circuit with a MOSFET of another level fails the load with
// 15090 until that level has an AC load.
AcKindLoads& MosfetAcLoads();
AcKindLoads& LinearDependentAcLoads();
AcKindLoads& PolySourceAcLoads();
AcKindLoads& OpampAcLoads();
AcKindLoads& IdealLineAcLoads();
