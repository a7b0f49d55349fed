// The set-up of OPAMP parts: the LEVEL of the part's OPA model chooses one
// transconductance stage into a load resistor (level 1), three stages whose
// first two carry the poles set by the gain-bandwidth product and the phase
// margin (level 2), or the macromodel of ordinary elements (level 3).
#pragma once

struct ModelRecord;
struct SchematicObject;

// The element values of the LEVEL 3 macromodel, by index.
enum OpampElement : int {
    kOpRo2 = 0,
    kOpQ2Is = 1,
    kOpIee = 2,
    kOpVc = 3,
    kOpVe = 4,
    kOpVlim1 = 5,
    kOpVlim2 = 6,
    kOpGb1 = 7,
    kOpGb2 = 8,
    kOpGb3 = 9,
    kOpGcm = 10,
    kOpGa = 11,
    kOpC1 = 12,
    kOpC2 = 13,
    kOpCe = 14,
    kOpRc1 = 15,
    kOpRc2 = 16,
    kOpRe1 = 17,
    kOpRe2 = 18,
    kOpRee = 19,
    kOpRp = 20,
    kOpR2 = 21,
    kOpRo1 = 22,
    kOpBeta1 = 23,
    kOpBeta2 = 24,
    kOpElementCount = 25,
};

struct OpampElementValues {
    double v[kOpElementCount] = {};
};

// The level-3 element values come from the device models, which install this
// port at start-up. Until they do, a level-3 opamp fails with kResultNotBuilt.
class OpampValuesPort {
public:
    virtual ~OpampValuesPort() = default;
    // The element values of the OPA model at the temperature (degrees Celsius):
    // 0, or the id of the check that failed (its second pending text set where
    // the message has one).
    virtual int Compute(const ModelRecord& model, double temperature, double gmin, OpampElementValues* out) = 0;
};
OpampValuesPort& OpampValues();
// Installs the port; null restores the null object. Returns the previous one.
OpampValuesPort* InstallOpampValues(OpampValuesPort* port);

// Message ids of the model values the set-up refuses.
enum OpampSetupMessage : int {
    kMsgOpampBadType = 10960,         // level 3 TYPE other than 1, 2 or 3
    kMsgOpampBadPhaseMargin = 10961,  // level 2 PM not inside (0, 90) degrees
};

// Sets the current part up (the part set-up loop's current part): 0, 15002
// when its record cannot be made, or 15055 after a message.
int SetupOpamp(SchematicObject* part);
// Level 3: the macromodel's elements on fifteen new nodes between the pins
// (NC+, NC-, VEE, VO, VCC), linked from the record. 0, a failed check's
// message id (nothing made), or 15055 when an element could not be made.
class CCTDoc;
struct OpampRecord;
int SetupOpampMacromodel(CCTDoc* document, int p1, int p2, int p3, int p4, int p5, OpampRecord* record);

// The level-2 stage values of an OPA model's A, GBW, PM and total output
// resistance: the two pole capacitors and the per-stage transconductance.
struct OpampLevel2Values {
    double c1 = 0;
    double c2 = 0;
    double transconductance = 0;
};
OpampLevel2Values ComputeOpampLevel2(double gain, double gbw, double phaseMargin, double resistance);

// The set-up's message texts (start-up; RegisterCompilerMessages calls it).
void RegisterOpampSetupMessages();
