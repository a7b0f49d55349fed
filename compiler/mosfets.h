// The MOSFET part set-up: the model (a binned variant chosen by the instance's
// L and W where one covers them), the record in the MOSFET list, the instance
// text and the internal nodes the model's series resistances need.
#pragma once

struct ModelRecord;
struct MosfetRecord;

// Sets up CurrentSetupPart, a part of component type NMOS or PMOS: 0, or
// 15055 after a message. BSIM and EKV models stop with 15090 naming the part.
int SetupMosfet(int componentType);
// Reads the instance text "<[M=..][L=..][W=..][AD=..][AS=..][PD=..][PS=..][NRD=..]
// [NRS=..][NRB=..][NRG=..][OFF][IC=vds[,vgs[,vbs]]]>" into the record and keeps
// the nominal copies of the geometry: 0, or 15055 after the scanner's message.
int ScanMosInstance(MosfetRecord* record, const char* text);
// Levels 1-3: the level from the model's LEVEL (1 when unset), the work area,
// the internal gate, drain, source and bulk nodes (a new node behind each
// nonzero series resistance, or sheet resistance times squares) and the
// model's polarity slot (+1 for an NMOS part, -1 otherwise). 0, or 15055 when
// the work area cannot be made.
int MosLevelStep(int componentType, MosfetRecord* record);

// A MOSFET whose L and W fall in no bin of its binned models and whose MODEL
// name is no model either.
constexpr int kMsgSimilarModels = 10901;
// The set-up's message texts (start-up; RegisterCompilerMessages calls it).
void RegisterMosfetSetupMessages();
