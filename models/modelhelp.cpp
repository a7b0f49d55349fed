// One short description per model parameter, shown by the attribute dialogs and
// the library editor. Most texts are written out by name per device family;
// the many systematic names (binning variants, timing triples, digital state
// groups, I/O levels) are composed from their base parameter's name.
#include "models/modelhelp.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/messages.h"
#include "models/modeltypes.h"

namespace {

struct mh_Text {
    const char* name;
    const char* text;
};

// ---- shared by several families --------------------------------------------------------

const mh_Text mh_common[] = {
    {"T_MEASURED", "Measured temperature"},
    {"T_ABS", "Absolute temperature"},
    {"T_REL_GLOBAL", "Relative to current temperature"},
    {"T_REL_LOCAL", "Relative to AKO model temperature"},
    {"KF", "Flicker noise coefficient"},
    {"AF", "Flicker noise exponent"},
    {"FC", "Forward-bias depletion capacitance coefficient"},
    {"EG", "Bandgap energy"},
    {"XTI", "Saturation current temperature exponent"},
    {"NLEV", "Noise equation selector (0-3)"},
    {"GDSNOI", "Channel shot noise coefficient (NLEV=3)"},
    {nullptr, nullptr},
};

// MOSFETs of every level share their parasitic and junction parameters.
const mh_Text mh_mosCommon[] = {
    {"LEVEL", "Model level(1,2,3,4=BSIM1,5=BSIM2,8=BSIM3,14=BSIM4,44=EKV)"},
    {"L", "Default channel length"},
    {"W", "Default channel width"},
    {"RD", "Drain ohmic resistance"},
    {"RS", "Source ohmic resistance"},
    {"RG", "Gate ohmic resistance"},
    {"RB", "Bulk ohmic resistance"},
    {"RDS", "Drain-source shunt resistance"},
    {"RSH", "Drain and source diffusion sheet resistance"},
    {"IS", "Bulk junction saturation current"},
    {"JS", "Bulk junction saturation current per unit area"},
    {"JSSW", "Bulk junction sidewall saturation current per unit length"},
    {"N", "Bulk junction emission coefficient"},
    {"PB", "Bulk junction potential"},
    {"PBSW", "Bulk junction sidewall potential"},
    {"CBD", "Zero-bias bulk-drain junction capacitance"},
    {"CBS", "Zero-bias bulk-source junction capacitance"},
    {"CJ", "Zero-bias bulk junction bottom capacitance per unit area"},
    {"CJSW", "Zero-bias bulk junction sidewall capacitance per unit length"},
    {"MJ", "Bulk junction bottom grading coefficient"},
    {"MJSW", "Bulk junction sidewall grading coefficient"},
    {"TT", "Bulk junction transit time"},
    {"CGSO", "Gate-source overlap capacitance per unit channel width"},
    {"CGDO", "Gate-drain overlap capacitance per unit channel width"},
    {"CGBO", "Gate-bulk overlap capacitance per unit channel length"},
    {"XQC", "Fraction of channel charge attributed to the drain"},
    {"TOX", "Gate oxide thickness"},
    {"NSUB", "Substrate doping density"},
    {"XJ", "Metallurgical junction depth"},
    {"VFB", "Flat-band voltage"},
    {"XPART", "Gate oxide charge partitioning flag"},
    {nullptr, nullptr},
};

// ---- analog families ---------------------------------------------------------------

const mh_Text mh_opamp[] = {
    {"LEVEL", "Model level (1,2,3)"},
    {"TYPE", "Input stage transistor type (1=NPN,2=PNP,3=NJFET,4=PJFET)"},
    {"C", "Compensation capacitor"},
    {"A", "DC open-loop gain"},
    {"ROUTAC", "AC output resistance"},
    {"ROUTDC", "DC output resistance"},
    {"VOFF", "Input offset voltage"},
    {"IOFF", "Input offset current"},
    {"SRP", "Positive slew rate"},
    {"SRN", "Negative slew rate"},
    {"IBIAS", "Input bias current"},
    {"VEE", "Negative supply voltage"},
    {"VCC", "Positive supply voltage"},
    {"VPS", "Maximum positive output voltage swing"},
    {"VNS", "Maximum negative output voltage swing"},
    {"CMRR", "Common-mode rejection ratio"},
    {"GBW", "Gain-bandwidth product"},
    {"PM", "Phase margin (degrees)"},
    {"PD", "Power dissipation"},
    {"IOSC", "Output short-circuit current"},
    {nullptr, nullptr},
};

const mh_Text mh_diode[] = {
    {"LEVEL", "Model level (1=standard, 2=extended)"},
    {"IS", "Saturation current"},
    {"N", "Emission coefficient"},
    {"ISR", "Recombination current parameter"},
    {"NR", "Emission coefficient for ISR"},
    {"IKF", "High-injection knee current"},
    {"BV", "Reverse breakdown voltage"},
    {"IBV", "Current at breakdown voltage"},
    {"NBV", "Reverse breakdown ideality factor"},
    {"IBVL", "Low-level reverse breakdown knee current"},
    {"NBVL", "Low-level reverse breakdown ideality factor"},
    {"RS", "Series resistance"},
    {"TT", "Transit time"},
    {"CJO", "Zero-bias junction capacitance"},
    {"VJ", "Junction potential"},
    {"M", "Junction grading coefficient"},
    {"TIKF", "IKF temperature coefficient (linear)"},
    {"TBV1", "BV temperature coefficient (linear)"},
    {"TBV2", "BV temperature coefficient (quadratic)"},
    {"TRS1", "RS temperature coefficient (linear)"},
    {"TRS2", "RS temperature coefficient (quadratic)"},
    {"RL", "Leakage resistance"},
    {nullptr, nullptr},
};

const mh_Text mh_bipolar[] = {
    {"IS", "Transport saturation current"},
    {"BF", "Ideal maximum forward beta"},
    {"NF", "Forward current emission coefficient"},
    {"VAF", "Forward Early voltage"},
    {"IKF", "Corner of forward beta high-current roll-off"},
    {"ISE", "Base-emitter leakage saturation current"},
    {"NE", "Base-emitter leakage emission coefficient"},
    {"BR", "Ideal maximum reverse beta"},
    {"NR", "Reverse current emission coefficient"},
    {"VAR", "Reverse Early voltage"},
    {"IKR", "Corner of reverse beta high-current roll-off"},
    {"ISC", "Base-collector leakage saturation current"},
    {"NC", "Base-collector leakage emission coefficient"},
    {"NK", "High-current roll-off coefficient"},
    {"ISS", "Substrate junction saturation current"},
    {"NS", "Substrate junction emission coefficient"},
    {"RE", "Emitter ohmic resistance"},
    {"RB", "Zero-bias base resistance"},
    {"RBM", "Minimum base resistance at high currents"},
    {"IRB", "Current where base resistance falls halfway to RBM"},
    {"RC", "Collector ohmic resistance"},
    {"CJE", "Base-emitter zero-bias depletion capacitance"},
    {"VJE", "Base-emitter built-in potential"},
    {"MJE", "Base-emitter junction grading coefficient"},
    {"CJC", "Base-collector zero-bias depletion capacitance"},
    {"VJC", "Base-collector built-in potential"},
    {"MJC", "Base-collector junction grading coefficient"},
    {"XCJC", "Fraction of base-collector capacitance connected to the internal base"},
    {"CJS", "Collector-substrate zero-bias capacitance"},
    {"VJS", "Substrate junction built-in potential"},
    {"MJS", "Substrate junction grading coefficient"},
    {"TF", "Ideal forward transit time"},
    {"XTF", "Coefficient of transit time bias dependence"},
    {"VTF", "Voltage for transit time dependence on VBC"},
    {"ITF", "Current for transit time dependence on IC"},
    {"PTF", "Excess phase at 1/(2*PI*TF) Hz"},
    {"TR", "Ideal reverse transit time"},
    {"XTB", "Forward and reverse beta temperature exponent"},
    {"TRE1", "RE temperature coefficient (linear)"},
    {"TRE2", "RE temperature coefficient (quadratic)"},
    {"TRB1", "RB temperature coefficient (linear)"},
    {"TRB2", "RB temperature coefficient (quadratic)"},
    {"TRM1", "RBM temperature coefficient (linear)"},
    {"TRM2", "RBM temperature coefficient (quadratic)"},
    {"TRC1", "RC temperature coefficient (linear)"},
    {"TRC2", "RC temperature coefficient (quadratic)"},
    {nullptr, nullptr},
};

const mh_Text mh_mos[] = {
    {"VTO", "Zero-bias threshold voltage"},
    {"KP", "Transconductance coefficient"},
    {"GAMMA", "Bulk threshold parameter"},
    {"PHI", "Surface potential"},
    {"LAMBDA", "Channel-length modulation"},
    {"NSS", "Surface state density"},
    {"NFS", "Fast surface state density"},
    {"TPG", "Gate material type (1 opposite to substrate, -1 same, 0 aluminium)"},
    {"LD", "Lateral diffusion (length)"},
    {"WD", "Lateral diffusion (width)"},
    {"UO", "Surface mobility"},
    {"UCRIT", "Critical field for mobility degradation"},
    {"UEXP", "Exponent of mobility degradation"},
    {"UTRA", "Transverse field coefficient of mobility degradation"},
    {"VMAX", "Maximum carrier drift velocity"},
    {"NEFF", "Channel charge coefficient"},
    {"DELTA", "Width effect on threshold voltage"},
    {"THETA", "Mobility modulation"},
    {"ETA", "Static feedback"},
    {"KAPPA", "Saturation field factor"},
    {nullptr, nullptr},
};

const mh_Text mh_jfet[] = {
    {"VTO", "Threshold voltage"},
    {"BETA", "Transconductance parameter"},
    {"LAMBDA", "Channel-length modulation"},
    {"IS", "Gate junction saturation current"},
    {"RD", "Drain ohmic resistance"},
    {"RS", "Source ohmic resistance"},
    {"CGD", "Zero-bias gate-drain junction capacitance"},
    {"CGS", "Zero-bias gate-source junction capacitance"},
    {"M", "Gate junction grading coefficient"},
    {"PB", "Gate junction potential"},
    {"VTOTC", "VTO temperature coefficient"},
    {"BETATCE", "BETA exponential temperature coefficient"},
    {nullptr, nullptr},
};

const mh_Text mh_pulse[] = {
    {"VZERO", "Zero level"},
    {"VONE", "One level"},
    {"P1", "Time at the start of the leading edge"},
    {"P2", "Time at the end of the leading edge"},
    {"P3", "Time at the start of the trailing edge"},
    {"P4", "Time at the end of the trailing edge"},
    {"P5", "Period"},
    {nullptr, nullptr},
};

const mh_Text mh_sine[] = {
    {"F", "Frequency"},
    {"A", "Peak amplitude"},
    {"DC", "DC level"},
    {"PH", "Phase shift (radians)"},
    {"RS", "Source resistance"},
    {"RP", "Repetition period of the exponential envelope"},
    {"TAU", "Time constant of the exponential envelope"},
    {nullptr, nullptr},
};

const mh_Text mh_tline[] = {
    {"ZO", "Characteristic impedance"},
    {"TD", "Transmission delay"},
    {"F", "Frequency at which NL is given"},
    {"NL", "Normalized electrical length at frequency F"},
    {"R", "Resistance per unit length"},
    {"L", "Inductance per unit length"},
    {"G", "Conductance per unit length"},
    {"C", "Capacitance per unit length"},
    {"LEN", "Electrical length"},
    {nullptr, nullptr},
};

const mh_Text mh_core[] = {
    {"AREA", "Mean magnetic cross-section (cm^2)"},
    {"PATH", "Mean magnetic path length (cm)"},
    {"GAP", "Effective air-gap length (cm)"},
    {"MS", "Saturation magnetization (A/m)"},
    {"A", "Shape parameter (A/m)"},
    {"C", "Domain wall flexing constant"},
    {"K", "Domain wall pinning constant (A/m)"},
    {nullptr, nullptr},
};

const mh_Text mh_gasfet[] = {
    {"LEVEL", "Model level (1,2,3)"},
    {"VTO", "Pinch-off voltage"},
    {"ALPHA", "Saturation voltage parameter"},
    {"BETA", "Transconductance coefficient"},
    {"B", "Doping tail extending parameter"},
    {"LAMBDA", "Channel-length modulation"},
    {"GAMMA", "Static feedback parameter"},
    {"DELTA", "Output feedback parameter"},
    {"Q", "Power-law parameter"},
    {"TAU", "Conduction current delay time"},
    {"RG", "Gate ohmic resistance"},
    {"RD", "Drain ohmic resistance"},
    {"RS", "Source ohmic resistance"},
    {"IS", "Gate junction saturation current"},
    {"N", "Gate junction emission coefficient"},
    {"M", "Gate junction grading coefficient"},
    {"VBI", "Gate junction potential"},
    {"CGD", "Zero-bias gate-drain junction capacitance"},
    {"CGS", "Zero-bias gate-source junction capacitance"},
    {"CDS", "Drain-source capacitance"},
    {"VDELTA", "Capacitance transition voltage"},
    {"VMAX", "Capacitance limiting voltage"},
    {"VTOTC", "VTO temperature coefficient"},
    {"BETATCE", "BETA exponential temperature coefficient"},
    {"TRG1", "RG temperature coefficient (linear)"},
    {"TRD1", "RD temperature coefficient (linear)"},
    {"TRS1", "RS temperature coefficient (linear)"},
    {nullptr, nullptr},
};

const mh_Text mh_vswitch[] = {
    {"RON", "On resistance"},
    {"ROFF", "Off resistance"},
    {"VON", "Control voltage for the on state"},
    {"VOFF", "Control voltage for the off state"},
    {"VT", "Threshold voltage"},
    {"VH", "Hysteresis voltage"},
    {nullptr, nullptr},
};

const mh_Text mh_iswitch[] = {
    {"RON", "On resistance"},
    {"ROFF", "Off resistance"},
    {"ION", "Control current for the on state"},
    {"IOFF", "Control current for the off state"},
    {"IT", "Threshold current"},
    {"IH", "Hysteresis current"},
    {nullptr, nullptr},
};

const mh_Text mh_cap[] = {
    {"C", "Capacitance multiplier"},
    {"VC1", "Linear voltage coefficient"},
    {"VC2", "Quadratic voltage coefficient"},
    {"TC1", "Linear temperature coefficient"},
    {"TC2", "Quadratic temperature coefficient"},
    {nullptr, nullptr},
};

const mh_Text mh_ind[] = {
    {"L", "Inductance multiplier"},
    {"IL1", "Linear current coefficient"},
    {"IL2", "Quadratic current coefficient"},
    {"TC1", "Linear temperature coefficient"},
    {"TC2", "Quadratic temperature coefficient"},
    {nullptr, nullptr},
};

const mh_Text mh_res[] = {
    {"R", "Resistance multiplier"},
    {"TC1", "Linear temperature coefficient"},
    {"TC2", "Quadratic temperature coefficient"},
    {"TCE", "Exponential temperature coefficient (%/degree C)"},
    {"NM", "Noise multiplier"},
    {nullptr, nullptr},
};

// ---- digital families ------------------------------------------------------------------

const mh_Text mh_doutput[] = {
    {"RLOAD", "Output load resistance"},
    {"CLOAD", "Output load capacitance"},
    {"TIMESCALE", "Scale factor for the switching times"},
    {"SXNAME", "State for a voltage outside every state's range"},
    {nullptr, nullptr},
};

const mh_Text mh_dinput[] = {
    {"CLO", "Capacitance to low supply"},
    {"CHI", "Capacitance to high supply"},
    {nullptr, nullptr},
};

// Base names of the timing triples (MN, TY, MX).
const mh_Text mh_timing[] = {
    {"TPCS", "Convert to start-of-conversion delay"},
    {"TPSD", "Start-of-conversion to data delay"},
    {"TPDS", "Data to end-of-conversion delay"},
    {"TSW", "Switching time"},
    {"TPLH", "Delay, low to high"},
    {"TPHL", "Delay, high to low"},
    {"TPLZ", "Delay, low to Z"},
    {"TPHZ", "Delay, high to Z"},
    {"TPZL", "Delay, Z to low"},
    {"TPZH", "Delay, Z to high"},
    {"TPPCQLH", "Delay, preset/clear to output, low to high"},
    {"TPPCQHL", "Delay, preset/clear to output, high to low"},
    {"TWPCL", "Minimum preset/clear low width"},
    {"TPCLKQLH", "Delay, clock edge to output, low to high"},
    {"TPCLKQHL", "Delay, clock edge to output, high to low"},
    {"TWCLKL", "Minimum clock low width"},
    {"TWCLKH", "Minimum clock high width"},
    {"TSUDCLK", "Setup time, data to clock edge"},
    {"TSUPCCLKH", "Setup time, preset/clear high to clock edge"},
    {"THDCLK", "Hold time, data after clock edge"},
    {"TPGQLH", "Delay, gate to output, low to high"},
    {"TPGQHL", "Delay, gate to output, high to low"},
    {"TPDQLH", "Delay, data to output, low to high"},
    {"TPDQHL", "Delay, data to output, high to low"},
    {"TWGH", "Minimum gate high width"},
    {"TSUDG", "Setup time, data to gate falling edge"},
    {"TSUPCGH", "Setup time, preset/clear high to gate falling edge"},
    {"THDG", "Hold time, data after gate falling edge"},
    {"DLY", "Delay"},
    {"TPADH", "Delay, address to data high"},
    {"TPADL", "Delay, address to data low"},
    {"TPEDH", "Delay, enable to data high"},
    {"TPEDL", "Delay, enable to data low"},
    {"TPEDHZ", "Delay, enable to data, high to Z"},
    {"TPEDLZ", "Delay, enable to data, low to Z"},
    {"TSUDEW", "Setup time, data to write enable"},
    {"TSUAEW", "Setup time, address to write enable"},
    {"TWEWH", "Minimum write enable high width"},
    {"TWEWL", "Minimum write enable low width"},
    {"THDEW", "Hold time, data after write enable"},
    {"THAEW", "Hold time, address after write enable"},
    {nullptr, nullptr},
};

const mh_Text mh_upld[] = {
    {"OFFSET", "Address of the first fuse in the memory file"},
    {"COMPOFFSET", "Address offset of the complemented inputs"},
    {"INSCALE", "Address step per input"},
    {"OUTSCALE", "Address step per output"},
    {nullptr, nullptr},
};

const mh_Text mh_uio[] = {
    {"INLD", "Input load capacitance"},
    {"OUTLD", "Output load capacitance"},
    {"DRVH", "Output high-level drive resistance"},
    {"DRVL", "Output low-level drive resistance"},
    {"DIGPOWER", "Name of the digital power supply subcircuit"},
    {nullptr, nullptr},
};

// ---- BSIM1 and BSIM2 ---------------------------------------------------------------------

const mh_Text mh_bsim12[] = {
    {"DL", "Channel length shortening (um)"},
    {"DW", "Channel width shortening (um)"},
    {"TOX", "Gate oxide thickness (um)"},
    {"VFB", "Flat-band voltage"},
    {"PHI", "Strong inversion surface potential"},
    {"K1", "Body effect coefficient"},
    {"K2", "Drain/source depletion charge sharing coefficient"},
    {"N0", "Zero-bias subthreshold slope coefficient"},
    {"NB", "Sensitivity of subthreshold slope to substrate bias"},
    {"ND", "Sensitivity of subthreshold slope to drain bias"},
    {"DELL", "Length reduction of source and drain diffusion"},
    {nullptr, nullptr},
};

const mh_Text mh_bsim1[] = {
    {"ETA", "Zero-bias drain-induced barrier lowering coefficient"},
    {"X2E", "Sensitivity of barrier lowering to substrate bias"},
    {"X3E", "Sensitivity of barrier lowering to drain bias"},
    {"MUZ", "Zero-bias mobility"},
    {"X2MZ", "Sensitivity of mobility to substrate bias at VDS=0"},
    {"MUS", "Mobility at zero substrate bias and VDS=VDD"},
    {"X2MS", "Sensitivity of mobility to substrate bias at VDS=VDD"},
    {"X3MS", "Sensitivity of mobility to drain bias at VDS=VDD"},
    {"U0", "Zero-bias transverse-field mobility degradation coefficient"},
    {"X2U0", "Sensitivity of transverse-field mobility degradation to substrate bias"},
    {"U1", "Zero-bias velocity saturation coefficient"},
    {"X2U1", "Sensitivity of velocity saturation to substrate bias"},
    {"X3U1", "Sensitivity of velocity saturation to drain bias"},
    {"VDD", "Measurement bias range"},
    {nullptr, nullptr},
};

const mh_Text mh_bsim2[] = {
    {"ETA0", "Zero-bias drain-induced barrier lowering coefficient"},
    {"LETA", "Length dependence of ETA0"},
    {"WETA", "Width dependence of ETA0"},
    {"ETAB", "Sensitivity of barrier lowering to substrate bias"},
    {"MU0", "Low-field mobility at zero bias"},
    {"MU0B", "Sensitivity of low-field mobility to substrate bias"},
    {"MUS0", "Mobility at VDS=VDD and VBS=0"},
    {"MUSB", "Sensitivity of saturation mobility to substrate bias"},
    {"MU20", "Empirical mobility parameter MU2 at zero bias"},
    {"MU2B", "Sensitivity of MU2 to substrate bias"},
    {"MU2G", "Sensitivity of MU2 to gate bias"},
    {"MU30", "Linear VDS mobility parameter MU3 at zero bias"},
    {"MU3B", "Sensitivity of MU3 to substrate bias"},
    {"MU3G", "Sensitivity of MU3 to gate bias"},
    {"MU40", "Quadratic VDS mobility parameter MU4 at zero bias"},
    {"MU4B", "Sensitivity of MU4 to substrate bias"},
    {"MU4G", "Sensitivity of MU4 to gate bias"},
    {"UA0", "Linear gate-field mobility reduction coefficient"},
    {"UAB", "Sensitivity of UA to substrate bias"},
    {"UB0", "Quadratic gate-field mobility reduction coefficient"},
    {"UBB", "Sensitivity of UB to substrate bias"},
    {"U10", "Drain-field mobility reduction coefficient"},
    {"U1B", "Sensitivity of U1 to substrate bias"},
    {"U1D", "Sensitivity of U1 to drain bias"},
    {"VOF0", "Threshold offset of the subthreshold current at zero bias"},
    {"VOFB", "Sensitivity of the subthreshold offset to substrate bias"},
    {"VOFD", "Sensitivity of the subthreshold offset to drain bias"},
    {"AI0", "Impact ionisation coefficient"},
    {"AIB", "Sensitivity of the impact ionisation coefficient to substrate bias"},
    {"BI0", "Impact ionisation exponent"},
    {"BIB", "Sensitivity of the impact ionisation exponent to substrate bias"},
    {"VGHIGH", "Upper bound of the weak-to-strong inversion transition"},
    {"VGLOW", "Lower bound of the weak-to-strong inversion transition"},
    {"VDD", "Maximum drain-source voltage"},
    {"VGG", "Maximum gate-source voltage"},
    {"VBB", "Maximum bulk-source voltage"},
    {nullptr, nullptr},
};

// ---- BSIM3 and BSIM4 -----------------------------------------------------------------------

// BSIM3 texts; BSIM4 falls back on them for the parameters the two share.
const mh_Text mh_bsim3[] = {
    {"NJ", "Junction emission coefficient"},
    {"XTI", "Junction current temperature exponent"},
    {"TPB", "Temperature coefficient of PB"},
    {"TPBSW", "Temperature coefficient of PBSW"},
    {"PBSWG", "Gate-edge sidewall junction potential"},
    {"TPBSWG", "Temperature coefficient of PBSWG"},
    {"TCJ", "Temperature coefficient of CJ"},
    {"TCJSW", "Temperature coefficient of CJSW"},
    {"CJSWG", "Gate-edge sidewall junction capacitance per unit length"},
    {"TCJSWG", "Temperature coefficient of CJSWG"},
    {"MJSWG", "Gate-edge sidewall junction grading coefficient"},
    {"LMIN", "Minimum channel length of the binning range"},
    {"LMAX", "Maximum channel length of the binning range"},
    {"WMIN", "Minimum channel width of the binning range"},
    {"WMAX", "Maximum channel width of the binning range"},
    {"BINUNIT", "Unit of the binning parameters (1=micron)"},
    {"MOBMOD", "Mobility model selector"},
    {"CAPMOD", "Capacitance model selector"},
    {"NQSMOD", "Non-quasi-static model flag"},
    {"NOIMOD", "Noise model selector"},
    {"PARAMCHK", "Parameter value check flag"},
    {"VERSION", "Model version"},
    {"VTH0", "Long-channel threshold voltage at zero substrate bias"},
    {"K1", "First-order body effect coefficient"},
    {"K2", "Second-order body effect coefficient"},
    {"K3", "Narrow width coefficient"},
    {"K3B", "Body effect coefficient of K3"},
    {"W0", "Narrow width parameter"},
    {"NLX", "Lateral non-uniform doping parameter"},
    {"DVT0", "First coefficient of short-channel effect on threshold voltage"},
    {"DVT1", "Second coefficient of short-channel effect on threshold voltage"},
    {"DVT2", "Body-bias coefficient of short-channel effect on threshold voltage"},
    {"DVT0W", "First coefficient of narrow-width effect on threshold voltage"},
    {"DVT1W", "Second coefficient of narrow-width effect on threshold voltage"},
    {"DVT2W", "Body-bias coefficient of narrow-width effect on threshold voltage"},
    {"U0", "Low-field mobility"},
    {"UA", "First-order mobility degradation coefficient"},
    {"UB", "Second-order mobility degradation coefficient"},
    {"UC", "Body-effect coefficient of mobility degradation"},
    {"VSAT", "Saturation velocity"},
    {"A0", "Bulk charge effect coefficient for channel length"},
    {"AGS", "Gate-bias coefficient of the bulk charge effect"},
    {"B0", "Bulk charge effect coefficient for channel width"},
    {"B1", "Bulk charge effect width offset"},
    {"KETA", "Body-bias coefficient of the bulk charge effect"},
    {"A1", "First non-saturation effect parameter"},
    {"A2", "Second non-saturation effect parameter"},
    {"RDSW", "Parasitic source/drain resistance per unit width"},
    {"PRWB", "Body effect coefficient of RDSW"},
    {"PRWG", "Gate-bias effect coefficient of RDSW"},
    {"WR", "Width offset from Weff for the Rds calculation"},
    {"WINT", "Width offset fitting parameter from I-V without bias"},
    {"LINT", "Length offset fitting parameter from I-V without bias"},
    {"DWG", "Coefficient of the gate dependence of Weff"},
    {"DWB", "Coefficient of the substrate bias dependence of Weff"},
    {"VOFF", "Offset voltage in the subthreshold region"},
    {"NFACTOR", "Subthreshold swing factor"},
    {"ETA0", "Barrier lowering coefficient in the subthreshold region"},
    {"ETAB", "Body-bias coefficient of subthreshold barrier lowering"},
    {"DSUB", "Barrier lowering coefficient exponent in the subthreshold region"},
    {"CIT", "Interface trap capacitance"},
    {"CDSC", "Drain/source to channel coupling capacitance"},
    {"CDSCB", "Body-bias sensitivity of CDSC"},
    {"CDSCD", "Drain-bias sensitivity of CDSC"},
    {"PCLM", "Channel length modulation parameter"},
    {"PDIBLC1", "First output resistance barrier lowering correction parameter"},
    {"PDIBLC2", "Second output resistance barrier lowering correction parameter"},
    {"PDIBLCB", "Body effect coefficient of the barrier lowering correction"},
    {"DROUT", "Length dependence of the barrier lowering correction in Rout"},
    {"PSCBE1", "First substrate current body-effect parameter"},
    {"PSCBE2", "Second substrate current body-effect parameter"},
    {"PVAG", "Gate dependence of the Early voltage"},
    {"DELTA", "Effective drain-source voltage parameter"},
    {"NGATE", "Poly gate doping concentration"},
    {"ALPHA0", "First parameter of the impact ionisation current"},
    {"ALPHA1", "Length-scaled parameter of the impact ionisation current"},
    {"BETA0", "Second parameter of the impact ionisation current"},
    {"IJTH", "Diode limiting current"},
    {"CGSL", "Lightly doped source-gate overlap capacitance"},
    {"CGDL", "Lightly doped drain-gate overlap capacitance"},
    {"CKAPPA", "Coefficient of the lightly doped overlap capacitance"},
    {"CF", "Fringing field capacitance"},
    {"CLC", "Constant term of the short-channel capacitance model"},
    {"CLE", "Exponential term of the short-channel capacitance model"},
    {"DLC", "Length offset fitting parameter from C-V"},
    {"DWC", "Width offset fitting parameter from C-V"},
    {"WLC", "Length dependence coefficient of the C-V width offset"},
    {"WWC", "Width dependence coefficient of the C-V width offset"},
    {"WWLC", "Length and width cross-term coefficient of the C-V width offset"},
    {"LLC", "Length dependence coefficient of the C-V length offset"},
    {"LWC", "Width dependence coefficient of the C-V length offset"},
    {"LWLC", "Length and width cross-term coefficient of the C-V length offset"},
    {"VFBCV", "Flat-band voltage of the capacitance model"},
    {"NOFF", "C-V parameter for the weak-to-strong inversion transition"},
    {"MOIN", "Coefficient of the gate-bias dependent surface potential"},
    {"VOFFCV", "C-V lateral shift parameter"},
    {"ACDE", "Exponential coefficient of the charge thickness"},
    {"ELM", "Elmore constant of the channel"},
    {"WL", "Length dependence coefficient of the width offset"},
    {"WLN", "Power of the length dependence of the width offset"},
    {"WW", "Width dependence coefficient of the width offset"},
    {"WWN", "Power of the width dependence of the width offset"},
    {"WWL", "Length and width cross-term coefficient of the width offset"},
    {"LL", "Length dependence coefficient of the length offset"},
    {"LLN", "Power of the length dependence of the length offset"},
    {"LW", "Width dependence coefficient of the length offset"},
    {"LWN", "Power of the width dependence of the length offset"},
    {"LWL", "Length and width cross-term coefficient of the length offset"},
    {"TNOM", "Temperature at which the parameters were extracted"},
    {"UTE", "Mobility temperature exponent"},
    {"KT1", "Temperature coefficient of the threshold voltage"},
    {"KT1L", "Channel length dependence of KT1"},
    {"KT2", "Body-bias coefficient of KT1"},
    {"UA1", "Temperature coefficient of UA"},
    {"UB1", "Temperature coefficient of UB"},
    {"UC1", "Temperature coefficient of UC"},
    {"AT", "Temperature coefficient of the saturation velocity"},
    {"PRT", "Temperature coefficient of RDSW"},
    {"NOIA", "Flicker noise parameter A"},
    {"NOIB", "Flicker noise parameter B"},
    {"NOIC", "Flicker noise parameter C"},
    {"EM", "Saturation field of the flicker noise model"},
    {"EF", "Flicker noise frequency exponent"},
    {"TOXM", "Gate oxide thickness at which the parameters were extracted"},
    {"XJ", "Junction depth"},
    {"GAMMA1", "Body effect coefficient near the surface"},
    {"GAMMA2", "Body effect coefficient in the bulk"},
    {"NCH", "Channel doping concentration"},
    {"VBX", "Substrate bias at which the depletion width equals XT"},
    {"VBM", "Maximum substrate bias in the threshold calculation"},
    {"XT", "Doping depth"},
    {"LREF", "Reference channel length of the binning"},
    {"WREF", "Reference channel width of the binning"},
    {"BINFLAG", "Binning reference flag"},
    {"VTH0M", "Threshold voltage shift"},
    {nullptr, nullptr},
};

const mh_Text mh_bsim4[] = {
    {"LEVEL", "Model level(1,2,3,4=BSIM1,5=BSIM2,8=BSIM3,14=BSIM4,44=EKV)"},
    {"DIOMOD", "Source/drain diode I-V model selector"},
    {"TRNQSMOD", "Transient non-quasi-static model selector"},
    {"ACNQSMOD", "AC non-quasi-static model selector"},
    {"FNOIMOD", "Flicker noise model selector"},
    {"TNOIMOD", "Thermal noise model selector"},
    {"RDSMOD", "Source/drain resistance model selector"},
    {"RBODYMOD", "Substrate resistance network selector"},
    {"RGATEMOD", "Gate resistance model selector"},
    {"PERMOD", "Perimeter model selector"},
    {"GEOMOD", "Geometry-dependent parasitics model selector"},
    {"IGCMOD", "Gate-to-channel tunnelling current model selector"},
    {"IGBMOD", "Gate-to-substrate tunnelling current model selector"},
    {"TOXE", "Electrical gate oxide thickness"},
    {"TOXP", "Physical gate oxide thickness"},
    {"DTOX", "Difference of electrical and physical oxide thickness"},
    {"EPSROX", "Relative dielectric constant of the gate insulator"},
    {"NSUB", "Substrate doping concentration"},
    {"NDEP", "Channel doping concentration at the depletion edge"},
    {"NSD", "Source/drain doping concentration"},
    {"PHIN", "Non-uniform vertical doping effect on the surface potential"},
    {"DVTP0", "First coefficient of drain-induced threshold shift"},
    {"DVTP1", "Second coefficient of drain-induced threshold shift"},
    {"LPE0", "Lateral non-uniform doping at zero substrate bias"},
    {"LPEB", "Lateral non-uniform doping effect on K1"},
    {"EU", "Exponent of mobility degradation"},
    {"MINV", "Moderate inversion fitting parameter"},
    {"VOFFL", "Channel length dependence of VOFF"},
    {"RDSWMIN", "Source/drain resistance per unit width at high gate bias"},
    {"RDWMIN", "Drain resistance per unit width at high gate bias"},
    {"RSWMIN", "Source resistance per unit width at high gate bias"},
    {"RSW", "Zero-bias source resistance per unit width"},
    {"RDW", "Zero-bias drain resistance per unit width"},
    {"FPROUT", "Effect of the pocket implant on output resistance"},
    {"PDITS", "Drain-induced threshold shift effect on output resistance"},
    {"PDITSD", "Drain-bias dependence of PDITS"},
    {"PDITSL", "Channel length dependence of PDITS"},
    {"AGIDL", "Pre-exponential coefficient of gate-induced drain leakage"},
    {"BGIDL", "Exponential coefficient of gate-induced drain leakage"},
    {"CGIDL", "Body-bias parameter of gate-induced drain leakage"},
    {"EGIDL", "Band bending parameter of gate-induced drain leakage"},
    {"AIGC", "First parameter of the gate-to-channel current"},
    {"BIGC", "Second parameter of the gate-to-channel current"},
    {"CIGC", "Third parameter of the gate-to-channel current"},
    {"AIGSD", "First parameter of the gate-to-source/drain current"},
    {"BIGSD", "Second parameter of the gate-to-source/drain current"},
    {"CIGSD", "Third parameter of the gate-to-source/drain current"},
    {"AIGBACC", "First parameter of the gate-to-substrate current in accumulation"},
    {"BIGBACC", "Second parameter of the gate-to-substrate current in accumulation"},
    {"CIGBACC", "Third parameter of the gate-to-substrate current in accumulation"},
    {"AIGBINV", "First parameter of the gate-to-substrate current in inversion"},
    {"BIGBINV", "Second parameter of the gate-to-substrate current in inversion"},
    {"CIGBINV", "Third parameter of the gate-to-substrate current in inversion"},
    {"NIGC", "Slope parameter of the gate-to-channel current"},
    {"NIGBACC", "Slope parameter of the gate-to-substrate current in accumulation"},
    {"NIGBINV", "Slope parameter of the gate-to-substrate current in inversion"},
    {"NTOX", "Exponent of the gate oxide thickness ratio"},
    {"EIGBINV", "Bandgap parameter of the gate-to-substrate current in inversion"},
    {"PIGCD", "Drain-bias dependence of the gate-to-channel current partition"},
    {"POXEDGE", "Oxide thickness factor of the source/drain overlap regions"},
    {"TOXREF", "Nominal gate oxide thickness of the tunnelling current model"},
    {"IJTHDFWD", "Forward drain diode limiting current"},
    {"IJTHSFWD", "Forward source diode limiting current"},
    {"IJTHDREV", "Reverse drain diode limiting current"},
    {"IJTHSREV", "Reverse source diode limiting current"},
    {"XJBVD", "Fitting parameter of the drain diode breakdown current"},
    {"XJBVS", "Fitting parameter of the source diode breakdown current"},
    {"BVD", "Drain diode breakdown voltage"},
    {"BVS", "Source diode breakdown voltage"},
    {"XRCRG1", "First parameter of the distributed channel resistance"},
    {"XRCRG2", "Second parameter of the distributed channel resistance"},
    {"GBMIN", "Minimum conductance in parallel with each junction"},
    {"RBDB", "Substrate resistance to the drain junction"},
    {"RBSB", "Substrate resistance to the source junction"},
    {"RBPB", "Substrate resistance under the channel"},
    {"RBPS", "Substrate resistance from the channel to the source junction"},
    {"RBPD", "Substrate resistance from the channel to the drain junction"},
    {"TNOIA", "Channel length coefficient of the total channel thermal noise"},
    {"TNOIB", "Channel length coefficient of the thermal noise partition"},
    {"NTNOI", "Thermal noise factor of short-channel devices"},
    {"CKAPPAS", "Overlap capacitance coefficient, source side"},
    {"CKAPPAD", "Overlap capacitance coefficient, drain side"},
    {"XW", "Channel width offset from masking and etching"},
    {"XL", "Channel length offset from masking and etching"},
    {"DLCIG", "Length offset of the gate-to-source/drain current"},
    {"DWJ", "Offset of the source/drain junction width"},
    {"DMCG", "Distance from the contact centre to the gate edge"},
    {"DMCI", "Distance from the contact centre to the isolation edge"},
    {"DMDG", "Distance from the diffusion edge to the gate edge without contact"},
    {"DMCGT", "Contact centre to gate edge distance of the test structures"},
    {"XGW", "Distance from the gate contact centre to the device edge"},
    {"XGL", "Gate length offset from patterning"},
    {"RSHG", "Gate electrode sheet resistance"},
    {"NGCON", "Number of gate contacts"},
    {"JSS", "Source bottom junction saturation current density"},
    {"JSD", "Drain bottom junction saturation current density"},
    {"JSWS", "Source isolation-edge sidewall saturation current density"},
    {"JSWD", "Drain isolation-edge sidewall saturation current density"},
    {"JSWGS", "Source gate-edge sidewall saturation current density"},
    {"JSWGD", "Drain gate-edge sidewall saturation current density"},
    {"PBS", "Source bottom junction built-in potential"},
    {"PBD", "Drain bottom junction built-in potential"},
    {"MJS", "Source bottom junction grading coefficient"},
    {"MJD", "Drain bottom junction grading coefficient"},
    {"MJSWS", "Source isolation-edge sidewall grading coefficient"},
    {"MJSWD", "Drain isolation-edge sidewall grading coefficient"},
    {"MJSWGS", "Source gate-edge sidewall grading coefficient"},
    {"MJSWGD", "Drain gate-edge sidewall grading coefficient"},
    {"PBSWS", "Source isolation-edge sidewall built-in potential"},
    {"PBSWD", "Drain isolation-edge sidewall built-in potential"},
    {"PBSWGS", "Source gate-edge sidewall built-in potential"},
    {"PBSWGD", "Drain gate-edge sidewall built-in potential"},
    {"CJS", "Source bottom junction capacitance per unit area"},
    {"CJD", "Drain bottom junction capacitance per unit area"},
    {"CJSWS", "Source isolation-edge sidewall capacitance per unit length"},
    {"CJSWD", "Drain isolation-edge sidewall capacitance per unit length"},
    {"CJSWGS", "Source gate-edge sidewall capacitance per unit length"},
    {"CJSWGD", "Drain gate-edge sidewall capacitance per unit length"},
    {"NJS", "Source junction emission coefficient"},
    {"NJD", "Drain junction emission coefficient"},
    {"XTIS", "Source junction current temperature exponent"},
    {"XTID", "Drain junction current temperature exponent"},
    {nullptr, nullptr},
};

const mh_Text mh_ekv[] = {
    {"TNOM", "Nominal temperature of the model parameters"},
    {"VTO", "Long-channel threshold voltage"},
    {"KP", "Transconductance parameter"},
    {"GAMMA", "Body effect parameter"},
    {"PHI", "Bulk Fermi potential (twice)"},
    {"COX", "Gate oxide capacitance per unit area"},
    {"XJ", "Junction depth"},
    {"THETA", "Mobility reduction coefficient"},
    {"UCRIT", "Longitudinal critical field"},
    {"DW", "Channel width correction"},
    {"DL", "Channel length correction"},
    {"LAMBDA", "Depletion length coefficient (channel-length modulation)"},
    {"WETA", "Narrow-channel effect coefficient"},
    {"LETA", "Short-channel effect coefficient"},
    {"IBA", "First impact ionisation coefficient"},
    {"IBB", "Second impact ionisation coefficient"},
    {"IBN", "Saturation voltage factor of impact ionisation"},
    {"TCV", "Threshold voltage temperature coefficient"},
    {"BEX", "Mobility temperature exponent"},
    {"UCEX", "Longitudinal critical field temperature exponent"},
    {"IBBT", "Temperature coefficient of IBB"},
    {"SATLIM", "Saturation limit"},
    {"IS", "Junction saturation current"},
    {"JS", "Junction saturation current density"},
    {"JSW", "Sidewall junction saturation current density"},
    {"N", "Junction emission coefficient"},
    {"RSC", "Source contact resistance"},
    {"RDC", "Drain contact resistance"},
    {"TR1", "First-order temperature coefficient of the resistances"},
    {"TR2", "Second-order temperature coefficient of the resistances"},
    {"NLEVEL", "Noise model selector"},
    {"EKVINT", "Interpolation function selector"},
    {"Q0", "Reverse short-channel effect peak charge density"},
    {"LK", "Reverse short-channel effect characteristic length"},
    {"E0", "Vertical-field mobility reduction coefficient"},
    {"SCALM", "Scale factor of the geometry parameters"},
    {"UO", "Low-field mobility"},
    {"AVTO", "Area-related threshold voltage mismatch"},
    {"AGAMMA", "Area-related body effect mismatch"},
    {"AKP", "Area-related gain mismatch"},
    {"EKVDYN", "Dynamic model selector"},
    {"VMAX", "Saturation velocity"},
    {"HDIF", "Heavily doped diffusion length"},
    {"LDIF", "Lightly doped diffusion length"},
    {"RGSH", "Gate sheet resistance"},
    {"RBSH", "Bulk sheet resistance"},
    {"LD", "Lateral diffusion"},
    {"ACM", "Area calculation method"},
    {"UPDATE", "Model revision selector"},
    {"WMLT", "Width diffusion layer shrink factor"},
    {"CJGATE", "Gate-edge junction capacitance"},
    {nullptr, nullptr},
};

// ---- look-up -----------------------------------------------------------------------------

const char* mh_Find(const mh_Text* table, const char* name) {
    if (!table) return nullptr;
    for (const mh_Text* t = table; t->name; ++t) {
        if (std::strcmp(t->name, name) == 0) return t->text;
    }
    return nullptr;
}

// The tables searched for a type, most specific first.
struct mh_Family {
    const mh_Text* tables[4];
    bool binned;        // L, W and P prefixes name binning variants
    bool suffixBinned;  // an L or W suffix names a binning variant (BSIM1, BSIM2)
};

mh_Family mh_FamilyOf(int type) {
    switch (type) {
    case kModelOpamp: return {{mh_opamp, mh_common}, false, false};
    case kModelDiode: return {{mh_diode, mh_common}, false, false};
    case kModelNpn:
    case kModelPnp:
    case kModelLpnp: return {{mh_bipolar, mh_common}, false, false};
    case kModelNmos:
    case kModelPmos: return {{mh_mos, mh_mosCommon, mh_common}, false, false};
    case kModelNjf:
    case kModelPjf: return {{mh_jfet, mh_common}, false, false};
    case kModelPulse: return {{mh_pulse}, false, false};
    case kModelSine: return {{mh_sine}, false, false};
    case kModelTline: return {{mh_tline}, false, false};
    case kModelCore: return {{mh_core}, false, false};
    case kModelGasfet: return {{mh_gasfet, mh_common}, false, false};
    case kModelVSwitch: return {{mh_vswitch}, false, false};
    case kModelISwitch: return {{mh_iswitch}, false, false};
    case kModelCap: return {{mh_cap, mh_common}, false, false};
    case kModelInd: return {{mh_ind, mh_common}, false, false};
    case kModelRes: return {{mh_res, mh_common}, false, false};
    case kModelDOutput: return {{mh_doutput}, false, false};
    case kModelDInput: return {{mh_dinput}, false, false};
    case kModelUPld: return {{mh_upld}, false, false};
    case kModelUIo: return {{mh_uio}, false, false};
    case kModelBsim1N:
    case kModelBsim1P: return {{mh_bsim1, mh_bsim12, mh_mosCommon, mh_common}, true, true};
    case kModelBsim2N:
    case kModelBsim2P: return {{mh_bsim2, mh_bsim12, mh_mosCommon, mh_common}, true, true};
    case kModelBsim3N:
    case kModelBsim3P: return {{mh_bsim3, mh_mosCommon, mh_common}, true, false};
    case kModelBsim4N:
    case kModelBsim4P: return {{mh_bsim4, mh_bsim3, mh_mosCommon, mh_common}, true, false};
    case kModelEkvN:
    case kModelEkvP: return {{mh_ekv, mh_mos, mh_mosCommon, mh_common}, false, false};
    default: return {{}, false, false};
    }
}

const char* mh_FindInFamily(const mh_Family& family, const char* name) {
    for (const mh_Text* table : family.tables) {
        if (const char* text = mh_Find(table, name)) return text;
    }
    return nullptr;
}

bool mh_IsDigits(const char* text) {
    if (!*text) return false;
    for (; *text; ++text) {
        if (*text < '0' || *text > '9') return false;
    }
    return true;
}

// The description of parameter `index` of `type`.
std::string mh_Describe(int type, int index) {
    const ModelTypeInfo& row = ModelTypeTable[type];
    const char* name = row.Params[index].Name;
    mh_Family family = mh_FamilyOf(type);
    if (const char* text = mh_FindInFamily(family, name)) return text;

    size_t length = std::strlen(name);
    char buffer[160];

    // Digital state groups: S<n>NAME, S<n>VLO, ... of the I/O models.
    if (type == kModelDOutput || type == kModelDInput) {
        static const mh_Text kStateFields[] = {
            {"NAME", "Name of state %s"},
            {"VLO", "Low end of the voltage range of state %s"},
            {"VHI", "High end of the voltage range of state %s"},
            {"TSW", "Switching time into state %s"},
            {"RLO", "Resistance to the low supply in state %s"},
            {"RHI", "Resistance to the high supply in state %s"},
            {nullptr, nullptr},
        };
        if (name[0] == 'S') {
            for (const mh_Text* f = kStateFields; f->name; ++f) {
                size_t fieldLength = std::strlen(f->name);
                if (length <= fieldLength + 1 || std::strcmp(name + length - fieldLength, f->name) != 0) continue;
                std::string number(name + 1, length - fieldLength - 1);
                if (!mh_IsDigits(number.c_str())) continue;
                std::snprintf(buffer, sizeof buffer, f->text, number.c_str());
                return buffer;
            }
        }
    }

    // I/O levels 1 to 4 of the UIO model.
    if (type == kModelUIo && length > 1 && name[length - 1] >= '1' && name[length - 1] <= '4') {
        std::string base(name, length - 1);
        const char* what = base == "ATOD"    ? "Name of AtoD interface subcircuit"
                           : base == "DTOA"  ? "Name of DtoA interface subcircuit"
                           : base == "TSWLH" ? "Switching time low to high"
                           : base == "TSWHL" ? "Switching time high to low"
                                             : nullptr;
        if (what) {
            std::snprintf(buffer, sizeof buffer, "(Level %c) %s", name[length - 1], what);
            return buffer;
        }
    }

    // Timing triples: <base>MN, <base>TY, <base>MX.
    if (row.DigitalClass != 0 && length > 2) {
        const char* suffix = name + length - 2;
        const char* which = std::strcmp(suffix, "MN") == 0   ? "minimum"
                            : std::strcmp(suffix, "TY") == 0 ? "typical"
                            : std::strcmp(suffix, "MX") == 0 ? "maximum"
                                                             : nullptr;
        std::string base(name, length - 2);
        if (which) {
            if (const char* text = mh_Find(mh_timing, base.c_str())) {
                std::snprintf(buffer, sizeof buffer, "%s (%s)", text, which);
                return buffer;
            }
        }
    }

    // Binning variants of a parameter of the same list.
    if (family.binned && length > 1) {
        const char* kind = name[0] == 'L'   ? "Length"
                           : name[0] == 'W' ? "Width"
                           : name[0] == 'P' ? "Cross-term"
                                            : nullptr;
        if (kind && FindModelParamIndex(type, name + 1) >= 0 &&
            std::strcmp(row.Params[FindModelParamIndex(type, name + 1)].Name, name + 1) == 0) {
            std::snprintf(buffer, sizeof buffer, "%s dependence of %s", kind, name + 1);
            return buffer;
        }
    }
    if (family.suffixBinned && length > 1 && (name[length - 1] == 'L' || name[length - 1] == 'W')) {
        std::string base(name, length - 1);
        int baseIndex = FindModelParamIndex(type, base.c_str());
        if (baseIndex >= 0 && base == row.Params[baseIndex].Name) {
            std::snprintf(buffer, sizeof buffer, "%s dependence of %s", name[length - 1] == 'L' ? "Length" : "Width",
                          base.c_str());
            return buffer;
        }
    }

    // Not reached for the shipped table (the tests see to it); a name still helps.
    std::snprintf(buffer, sizeof buffer, "Model parameter %s", name);
    return buffer;
}

}  // namespace

void RegisterModelHelpTexts() {
    // The texts live as long as the program: the string table keeps pointers.
    static std::vector<std::string>* texts = nullptr;
    if (texts) return;
    texts = new std::vector<std::string>;
    std::vector<MessageRow> rows;
    std::vector<int> bases;
    for (int type = 0; type < kModelTypeCount; ++type) {
        const ModelTypeInfo& row = ModelTypeTable[type];
        if (row.ParamCount == 0) continue;
        bool done = false;
        for (int base : bases) done = done || base == row.HelpBase;
        if (done) continue;
        bases.push_back(row.HelpBase);
        for (int i = 0; i < row.ParamCount; ++i) texts->push_back(mh_Describe(type, i));
    }
    // Pointers are taken only once the vector no longer grows.
    size_t next = 0;
    bases.clear();
    for (int type = 0; type < kModelTypeCount; ++type) {
        const ModelTypeInfo& row = ModelTypeTable[type];
        if (row.ParamCount == 0) continue;
        bool done = false;
        for (int base : bases) done = done || base == row.HelpBase;
        if (done) continue;
        bases.push_back(row.HelpBase);
        for (int i = 0; i < row.ParamCount; ++i) rows.push_back({row.HelpBase + i, (*texts)[next++].c_str()});
    }
    RegisterMessages(rows.data(), static_cast<int>(rows.size()));
}

// Test seam: the description rule that produced a parameter's text, so that the
// tests can see that no parameter falls through to the generic text.
bool ModelHelpTextIsGeneric(int type, int index) {
    if (!IsModelTypeRow(type) || index < 0 || index >= ModelTypeTable[type].ParamCount) return false;
    return mh_Describe(type, index).rfind("Model parameter ", 0) == 0;
}
