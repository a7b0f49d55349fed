// The parameter lists of the model types and the table of types.
//
// The order of every list is part of the binary model library format: append
// nothing, remove nothing, reorder nothing. Each list's length is checked
// against its row's ParamCount at compile time.
#include <cstdint>

#include "models/modeltypes.h"

// The parameter tables keep one row a line, aligned by hand.
// clang-format off

// Parameter entry builders. Names given to MTT_LWP and MTT_T3 must be string
// literals: the variants are made by literal concatenation.
#define MTT_NUM(name, def, cls, fl) {name, {def}, kParamNumber, cls, static_cast<uint16_t>(fl), 0}
#define MTT_CHR(name, code, fl) {name, {static_cast<double>(code)}, kParamChar, 'D', static_cast<uint16_t>(fl), 0}
#define MTT_TXT(name, fl) {name, {.text = nullptr}, kParamText, 'A', static_cast<uint16_t>(fl), 0}
// The four temperature parameters, all unset.
#define MTT_TEMPS(fl)                                                                          \
    MTT_NUM("T_MEASURED", mtt_U, 'A', fl), MTT_NUM("T_ABS", mtt_U, 'A', fl),                   \
        MTT_NUM("T_REL_GLOBAL", mtt_U, 'A', fl), MTT_NUM("T_REL_LOCAL", mtt_U, 'A', fl)
// A parameter followed by its length, width and product binning variants (0, any value).
#define MTT_LWP(name, def, fl)                                                                 \
    MTT_NUM(name, def, 'A', fl), MTT_NUM("L" name, 0, 'A', fl), MTT_NUM("W" name, 0, 'A', fl), \
        MTT_NUM("P" name, 0, 'A', fl)
// A timing parameter as its minimum, typical and maximum.
#define MTT_T3(name, def, fl) \
    MTT_NUM(name "MN", def, 'A', fl), MTT_NUM(name "TY", def, 'A', fl), MTT_NUM(name "MX", def, 'A', fl)

namespace {

constexpr double mtt_U = kUnsetValue;

// Flag words: every parameter is writable; then the dialect sets.
constexpr uint16_t mtt_none = kParamWritable;
constexpr uint16_t mtt_ps = kParamWritable | kParamPSpice;
constexpr uint16_t mtt_all = kParamWritable | kParamAllDialects;
constexpr uint16_t mtt_s3 = kParamWritable | kParamSpice3;
constexpr uint16_t mtt_rcp = kParamReciprocal;
constexpr uint16_t mtt_lev = kParamAlwaysWritten;

// ---- analog rows -------------------------------------------------------------------

ModelParamInfo mtt_opamp[] = {
    MTT_NUM("LEVEL", 1, 'L', mtt_none),    MTT_NUM("TYPE", 1, '+', mtt_none),    MTT_NUM("C", 3e-11, '+', mtt_none),
    MTT_NUM("A", 200000, '+', mtt_none),   MTT_NUM("ROUTAC", 75, '+', mtt_none), MTT_NUM("ROUTDC", 125, 'A', mtt_none),
    MTT_NUM("VOFF", 0.001, 'A', mtt_none), MTT_NUM("IOFF", 1e-09, 'A', mtt_none), MTT_NUM("SRP", 500000, 'A', mtt_none),
    MTT_NUM("SRN", 500000, 'A', mtt_none), MTT_NUM("IBIAS", 1e-07, 'A', mtt_none), MTT_NUM("VEE", -15, 'A', mtt_none),
    MTT_NUM("VCC", 15, 'A', mtt_none),     MTT_NUM("VPS", 13, 'A', mtt_none),    MTT_NUM("VNS", -13, 'A', mtt_none),
    MTT_NUM("CMRR", 100000, '+', mtt_none), MTT_NUM("GBW", 1000000, 'A', mtt_none), MTT_NUM("PM", 60, '+', mtt_none),
    MTT_NUM("PD", 0.025, 'A', mtt_none),   MTT_NUM("IOSC", 0.02, 'A', mtt_none),
    MTT_TEMPS(mtt_none),
};

ModelParamInfo mtt_diode[] = {
    MTT_NUM("LEVEL", 1, 'A', mtt_none),  MTT_NUM("IS", 1e-14, '+', mtt_all), MTT_NUM("N", 1, '+', mtt_all),
    MTT_NUM("ISR", 0, 'A', mtt_ps),      MTT_NUM("NR", 2, 'A', mtt_ps),      MTT_NUM("IKF", 0, 'A', mtt_ps),
    MTT_NUM("BV", 0, 'G', mtt_all),      MTT_NUM("IBV", 1e-10, '+', mtt_all), MTT_NUM("NBV", 1, 'A', mtt_ps),
    MTT_NUM("IBVL", 0, 'A', mtt_ps),     MTT_NUM("NBVL", 1, 'A', mtt_ps),    MTT_NUM("RS", 0, 'G', mtt_all),
    MTT_NUM("TT", 0, 'G', mtt_all),      MTT_NUM("CJO", 0, 'G', mtt_all),    MTT_NUM("VJ", 1, '+', mtt_all),
    MTT_NUM("M", 0.5, 'G', mtt_all),     MTT_NUM("FC", 0.5, 'G', mtt_all),   MTT_NUM("EG", 1.11, 'A', mtt_all),
    MTT_NUM("XTI", 3, 'A', mtt_all),     MTT_NUM("TIKF", 0, 'A', mtt_ps),    MTT_NUM("TBV1", 0, 'A', mtt_ps),
    MTT_NUM("TBV2", 0, 'A', mtt_ps),     MTT_NUM("TRS1", 0, 'A', mtt_ps),    MTT_NUM("TRS2", 0, 'A', mtt_ps),
    MTT_NUM("KF", 0, 'G', mtt_all),      MTT_NUM("AF", 1, 'G', mtt_all),     MTT_NUM("RL", 0, 'A', mtt_none),
    MTT_TEMPS(mtt_ps),
};

// NPN, PNP and LPNP. ISS carries the letter 'N': no check.
ModelParamInfo mtt_bipolar[] = {
    MTT_NUM("IS", 1e-16, '+', mtt_all),   MTT_NUM("BF", 100, '+', mtt_all),     MTT_NUM("NF", 1, '+', mtt_all),
    MTT_NUM("VAF", 0, 'G', mtt_all | mtt_rcp), MTT_NUM("IKF", 0, 'G', mtt_all | mtt_rcp),
    MTT_NUM("ISE", 0, 'G', mtt_all),      MTT_NUM("NE", 1.5, '+', mtt_all),     MTT_NUM("BR", 1, '+', mtt_all),
    MTT_NUM("NR", 1, '+', mtt_all),       MTT_NUM("VAR", 0, 'G', mtt_all | mtt_rcp),
    MTT_NUM("IKR", 0, 'G', mtt_all | mtt_rcp), MTT_NUM("ISC", 0, 'G', mtt_all), MTT_NUM("NC", 2, '+', mtt_all),
    MTT_NUM("NK", 0.5, '+', mtt_ps),      MTT_NUM("ISS", 0, 'N', mtt_ps),       MTT_NUM("NS", 1, '+', mtt_ps),
    MTT_NUM("RE", 0, 'G', mtt_all | mtt_rcp), MTT_NUM("RB", 0, 'G', mtt_all),   MTT_NUM("RBM", 0, 'G', mtt_all),
    MTT_NUM("IRB", 0, 'G', mtt_all),      MTT_NUM("RC", 0, 'G', mtt_all | mtt_rcp), MTT_NUM("CJE", 0, 'G', mtt_all),
    MTT_NUM("VJE", 0.75, '+', mtt_all),   MTT_NUM("MJE", 0.33, 'G', mtt_all),   MTT_NUM("CJC", 0, 'G', mtt_all),
    MTT_NUM("VJC", 0.75, '+', mtt_all),   MTT_NUM("MJC", 0.33, 'G', mtt_all),   MTT_NUM("XCJC", 1, '1', mtt_all),
    MTT_NUM("CJS", 0, 'G', mtt_all),      MTT_NUM("VJS", 0.75, 'G', mtt_all),   MTT_NUM("MJS", 0, 'G', mtt_all),
    MTT_NUM("FC", 0.5, 'G', mtt_all),     MTT_NUM("TF", 0, 'G', mtt_all),       MTT_NUM("XTF", 0, 'A', mtt_all),
    MTT_NUM("VTF", 0, 'G', mtt_all),      MTT_NUM("ITF", 0, 'G', mtt_all),      MTT_NUM("PTF", 0, 'A', mtt_all),
    MTT_NUM("TR", 0, 'G', mtt_all),       MTT_NUM("EG", 1.11, 'A', mtt_all),    MTT_NUM("XTB", 0, 'A', mtt_all),
    MTT_NUM("XTI", 3, 'A', mtt_all),      MTT_NUM("TRE1", 0, 'A', mtt_ps),      MTT_NUM("TRE2", 0, 'A', mtt_ps),
    MTT_NUM("TRB1", 0, 'A', mtt_ps),      MTT_NUM("TRB2", 0, 'A', mtt_ps),      MTT_NUM("TRM1", 0, 'A', mtt_ps),
    MTT_NUM("TRM2", 0, 'A', mtt_ps),      MTT_NUM("TRC1", 0, 'A', mtt_ps),      MTT_NUM("TRC2", 0, 'A', mtt_ps),
    MTT_NUM("KF", 0, 'G', mtt_all),       MTT_NUM("AF", 1, 'G', mtt_all),
    MTT_TEMPS(mtt_ps),
};

// NMOS and PMOS, levels 1 to 3.
ModelParamInfo mtt_mos[] = {
    MTT_NUM("LEVEL", mtt_U, 'A', mtt_all),  MTT_NUM("VTO", mtt_U, 'A', mtt_all),    MTT_NUM("KP", mtt_U, '+', mtt_all),
    MTT_NUM("L", 0, 'G', mtt_ps),           MTT_NUM("W", 0, 'G', mtt_ps),           MTT_NUM("GAMMA", mtt_U, 'G', mtt_all),
    MTT_NUM("PHI", mtt_U, '+', mtt_all),    MTT_NUM("LAMBDA", 0, 'G', mtt_all),     MTT_NUM("RD", 0, 'G', mtt_all | mtt_rcp),
    MTT_NUM("RS", 0, 'G', mtt_all | mtt_rcp), MTT_NUM("CBD", 0, 'G', mtt_all),      MTT_NUM("CBS", 0, 'G', mtt_all),
    MTT_NUM("IS", 1e-14, 'G', mtt_all),     MTT_NUM("PB", 0.8, 'G', mtt_all),       MTT_NUM("CGSO", 0, 'G', mtt_all),
    MTT_NUM("CGDO", 0, 'G', mtt_all),       MTT_NUM("CGBO", 0, 'G', mtt_all),       MTT_NUM("RSH", 0, 'G', mtt_all | mtt_rcp),
    MTT_NUM("CJ", 0, 'G', mtt_all),         MTT_NUM("MJ", 0.5, 'G', mtt_all),       MTT_NUM("CJSW", 0, 'G', mtt_all),
    MTT_NUM("MJSW", 0.33, 'G', mtt_all),    MTT_NUM("JS", 1e-08, 'G', mtt_all),     MTT_NUM("TOX", mtt_U, 'G', mtt_all),
    MTT_NUM("NSUB", mtt_U, 'G', mtt_all),   MTT_NUM("NSS", mtt_U, 'G', mtt_all),    MTT_NUM("NFS", 0, 'G', mtt_all),
    MTT_NUM("TPG", mtt_U, 'A', mtt_all),    MTT_NUM("XJ", 0, 'G', mtt_all),         MTT_NUM("LD", 0, 'A', mtt_all),
    MTT_NUM("WD", 0, 'A', mtt_ps),          MTT_NUM("UO", mtt_U, 'G', mtt_all),     MTT_NUM("UCRIT", 10000, 'G', mtt_all),
    MTT_NUM("UEXP", 0, 'G', mtt_all),       MTT_NUM("UTRA", 0, 'G', mtt_all),       MTT_NUM("VMAX", 0, 'G', mtt_all),
    MTT_NUM("NEFF", 1, 'G', mtt_all),       MTT_NUM("XQC", 1, 'G', mtt_all),        MTT_NUM("KF", 0, 'G', mtt_all),
    MTT_NUM("AF", 1, 'G', mtt_all),         MTT_NUM("FC", 0.5, 'G', mtt_all),       MTT_NUM("DELTA", 0, 'G', mtt_all),
    MTT_NUM("THETA", 0, 'G', mtt_all),      MTT_NUM("ETA", 0, 'G', mtt_all),        MTT_NUM("KAPPA", mtt_U, 'G', mtt_all),
    MTT_NUM("RG", 0, 'G', mtt_ps | mtt_rcp), MTT_NUM("RB", 0, 'G', mtt_ps | mtt_rcp), MTT_NUM("RDS", 0, 'G', mtt_ps | mtt_rcp),
    MTT_NUM("JSSW", 0, 'G', mtt_ps),        MTT_NUM("N", 1, 'G', mtt_ps),           MTT_NUM("PBSW", 0.8, 'G', mtt_ps),
    MTT_NUM("TT", 0, 'G', mtt_ps),          MTT_NUM("NLEV", mtt_U, '3', mtt_ps),    MTT_NUM("GDSNOI", 1, 'G', mtt_ps),
    MTT_TEMPS(mtt_ps),
};

// NJF and PJF.
ModelParamInfo mtt_jfet[] = {
    MTT_NUM("VTO", -2, 'A', mtt_all),     MTT_NUM("BETA", 0.0001, '+', mtt_all), MTT_NUM("LAMBDA", 0, 'G', mtt_all),
    MTT_NUM("IS", 1e-14, '+', mtt_all),   MTT_NUM("RD", 0, 'G', mtt_all | mtt_rcp), MTT_NUM("RS", 0, 'G', mtt_all | mtt_rcp),
    MTT_NUM("CGD", 0, 'G', mtt_all),      MTT_NUM("CGS", 0, 'G', mtt_all),      MTT_NUM("M", 0.5, 'A', mtt_ps),
    MTT_NUM("PB", 1, '+', mtt_all),       MTT_NUM("FC", 0.5, 'G', mtt_all),     MTT_NUM("VTOTC", 0, 'A', mtt_ps),
    MTT_NUM("BETATCE", 0, 'A', mtt_ps),   MTT_NUM("XTI", 3, 'A', mtt_ps),       MTT_NUM("KF", 0, 'G', mtt_all),
    MTT_NUM("AF", 1, 'G', mtt_all),
    MTT_TEMPS(mtt_ps),
};

ModelParamInfo mtt_pulse[] = {
    MTT_NUM("VZERO", 0, 'A', mtt_none), MTT_NUM("VONE", 5, 'A', mtt_none),    MTT_NUM("P1", 1e-07, 'G', mtt_none),
    MTT_NUM("P2", 1.1e-07, 'A', mtt_none), MTT_NUM("P3", 5e-07, 'G', mtt_none), MTT_NUM("P4", 5.1e-07, 'A', mtt_none),
    MTT_NUM("P5", 1e-06, 'G', mtt_none),
};

ModelParamInfo mtt_sine[] = {
    MTT_NUM("F", 1000000, 'G', mtt_none), MTT_NUM("A", 1, 'G', mtt_none),      MTT_NUM("DC", 0, 'A', mtt_none),
    MTT_NUM("PH", 0, 'A', mtt_none),      MTT_NUM("RS", 0.001, 'G', mtt_none), MTT_NUM("RP", 0, 'G', mtt_none),
    MTT_NUM("TAU", 0, 'A', mtt_none),
};

ModelParamInfo mtt_tline[] = {
    MTT_NUM("ZO", mtt_U, 'A', mtt_ps), MTT_NUM("TD", mtt_U, 'A', mtt_ps), MTT_NUM("F", mtt_U, 'A', mtt_ps),
    MTT_NUM("NL", 0.25, 'A', mtt_ps),  MTT_NUM("R", mtt_U, 'A', mtt_ps),  MTT_NUM("L", mtt_U, 'A', mtt_ps),
    MTT_NUM("G", mtt_U, 'A', mtt_ps),  MTT_NUM("C", mtt_U, 'A', mtt_ps),  MTT_NUM("LEN", mtt_U, 'A', mtt_ps),
};

ModelParamInfo mtt_core[] = {
    MTT_NUM("AREA", 1, 'A', mtt_ps), MTT_NUM("PATH", 1, 'A', mtt_ps), MTT_NUM("GAP", 0, 'A', mtt_ps),
    MTT_NUM("MS", 400000, 'A', mtt_ps), MTT_NUM("A", 25, 'A', mtt_ps), MTT_NUM("C", 0.001, 'A', mtt_ps),
    MTT_NUM("K", 25, 'A', mtt_ps),
};

ModelParamInfo mtt_gasfet[] = {
    MTT_NUM("LEVEL", 1, 'L', mtt_ps),   MTT_NUM("VTO", -2.5, 'A', mtt_ps),  MTT_NUM("ALPHA", 2, '+', mtt_ps),
    MTT_NUM("BETA", 0.1, '+', mtt_ps),  MTT_NUM("B", 0.3, '+', mtt_ps),     MTT_NUM("LAMBDA", 0, 'G', mtt_ps),
    MTT_NUM("GAMMA", 0, 'A', mtt_ps),   MTT_NUM("DELTA", 0, 'A', mtt_ps),   MTT_NUM("Q", 2, 'A', mtt_ps),
    MTT_NUM("TAU", 0, 'A', mtt_ps),     MTT_NUM("RG", 0, 'G', mtt_ps | mtt_rcp), MTT_NUM("RD", 0, 'G', mtt_ps | mtt_rcp),
    MTT_NUM("RS", 0, 'G', mtt_ps | mtt_rcp), MTT_NUM("IS", 1e-14, '+', mtt_ps), MTT_NUM("N", 1, 'A', mtt_ps),
    MTT_NUM("M", 0.5, '+', mtt_ps),     MTT_NUM("VBI", 1, '+', mtt_ps),     MTT_NUM("CGD", 0, 'G', mtt_ps),
    MTT_NUM("CGS", 0, 'G', mtt_ps),     MTT_NUM("CDS", 0, 'G', mtt_ps),     MTT_NUM("FC", 0.5, '+', mtt_ps),
    MTT_NUM("VDELTA", 0.2, 'A', mtt_ps), MTT_NUM("VMAX", 0.5, 'A', mtt_ps), MTT_NUM("EG", 1.11, 'A', mtt_ps),
    MTT_NUM("XTI", 0, 'A', mtt_ps),     MTT_NUM("VTOTC", 0, 'A', mtt_ps),   MTT_NUM("BETATCE", 0, 'A', mtt_ps),
    MTT_NUM("TRG1", 0, 'A', mtt_ps),    MTT_NUM("TRD1", 0, 'A', mtt_ps),    MTT_NUM("TRS1", 0, 'A', mtt_ps),
    MTT_NUM("KF", 0, 'G', mtt_ps),      MTT_NUM("AF", 1, 'G', mtt_ps),
    MTT_TEMPS(mtt_ps),
};

ModelParamInfo mtt_vswitch[] = {
    MTT_NUM("RON", 1, 'A', mtt_ps), MTT_NUM("ROFF", 1000000, 'A', mtt_ps), MTT_NUM("VON", 1, 'A', mtt_ps),
    MTT_NUM("VOFF", 0, 'A', mtt_ps), MTT_NUM("VT", mtt_U, 'A', mtt_ps),    MTT_NUM("VH", mtt_U, 'A', mtt_ps),
};

ModelParamInfo mtt_iswitch[] = {
    MTT_NUM("RON", 1, 'A', mtt_ps),  MTT_NUM("ROFF", 1000000, 'A', mtt_ps), MTT_NUM("ION", 0.001, 'A', mtt_ps),
    MTT_NUM("IOFF", 0, 'A', mtt_ps), MTT_NUM("IT", mtt_U, 'A', mtt_ps),     MTT_NUM("IH", mtt_U, 'A', mtt_ps),
};

ModelParamInfo mtt_cap[] = {
    MTT_NUM("C", 1, 'A', mtt_ps),   MTT_NUM("VC1", 0, 'A', mtt_ps), MTT_NUM("VC2", 0, 'A', mtt_ps),
    MTT_NUM("TC1", 0, 'A', mtt_ps), MTT_NUM("TC2", 0, 'A', mtt_ps),
    MTT_TEMPS(mtt_ps),
};

ModelParamInfo mtt_ind[] = {
    MTT_NUM("L", 1, 'A', mtt_ps),   MTT_NUM("IL1", 0, 'A', mtt_ps), MTT_NUM("IL2", 0, 'A', mtt_ps),
    MTT_NUM("TC1", 0, 'A', mtt_ps), MTT_NUM("TC2", 0, 'A', mtt_ps),
    MTT_TEMPS(mtt_ps),
};

ModelParamInfo mtt_res[] = {
    MTT_NUM("R", 1, 'A', mtt_all),   MTT_NUM("TC1", 0, 'A', mtt_all), MTT_NUM("TC2", 0, 'A', mtt_all),
    MTT_NUM("TCE", 0, 'A', mtt_all), MTT_NUM("NM", 1, 'A', mtt_all),
    MTT_TEMPS(mtt_all),
};

// ---- digital rows ------------------------------------------------------------------

#define MTT_OUTSTATE(n, name, vlo, vhi) \
    MTT_CHR("S" #n "NAME", name, mtt_ps), MTT_NUM("S" #n "VLO", vlo, 'A', mtt_ps), MTT_NUM("S" #n "VHI", vhi, 'A', mtt_ps)
ModelParamInfo mtt_doutput[] = {
    MTT_NUM("RLOAD", 0, 'A', mtt_ps), MTT_NUM("CLOAD", 0, 'A', mtt_ps), MTT_NUM("TIMESCALE", 1, 'A', mtt_ps),
    MTT_OUTSTATE(0, '0', 0, 0.8),  MTT_OUTSTATE(1, '1', 0.8, 10), MTT_OUTSTATE(2, 0, 0, 0),  MTT_OUTSTATE(3, 0, 0, 0),
    MTT_OUTSTATE(4, 0, 0, 0),      MTT_OUTSTATE(5, 0, 0, 0),      MTT_OUTSTATE(6, 0, 0, 0),  MTT_OUTSTATE(7, 0, 0, 0),
    MTT_OUTSTATE(8, 0, 0, 0),      MTT_OUTSTATE(9, 0, 0, 0),      MTT_OUTSTATE(10, 0, 0, 0), MTT_OUTSTATE(11, 0, 0, 0),
    MTT_OUTSTATE(12, 0, 0, 0),     MTT_OUTSTATE(13, 0, 0, 0),     MTT_OUTSTATE(14, 0, 0, 0), MTT_OUTSTATE(15, 0, 0, 0),
    MTT_OUTSTATE(16, 0, 0, 0),     MTT_OUTSTATE(17, 0, 0, 0),     MTT_OUTSTATE(18, 0, 0, 0), MTT_OUTSTATE(19, 0, 0, 0),
    MTT_CHR("SXNAME", 0, mtt_ps),
};
#undef MTT_OUTSTATE

#define MTT_INSTATE(n, name, tsw, rlo, rhi)                                                          \
    MTT_CHR("S" #n "NAME", name, mtt_ps), MTT_NUM("S" #n "TSW", tsw, 'A', mtt_ps),                   \
        MTT_NUM("S" #n "RLO", rlo, 'A', mtt_ps), MTT_NUM("S" #n "RHI", rhi, 'A', mtt_ps)
ModelParamInfo mtt_dinput[] = {
    MTT_NUM("CLO", 0, 'A', mtt_ps), MTT_NUM("CHI", 0, 'A', mtt_ps),
    MTT_INSTATE(0, '0', 3.5e-09, 7.13, 389), MTT_INSTATE(1, '1', 5.5e-09, 467, 200),
    MTT_INSTATE(2, 0, 0, 0, 0),  MTT_INSTATE(3, 0, 0, 0, 0),  MTT_INSTATE(4, 0, 0, 0, 0),  MTT_INSTATE(5, 0, 0, 0, 0),
    MTT_INSTATE(6, 0, 0, 0, 0),  MTT_INSTATE(7, 0, 0, 0, 0),  MTT_INSTATE(8, 0, 0, 0, 0),  MTT_INSTATE(9, 0, 0, 0, 0),
    MTT_INSTATE(10, 0, 0, 0, 0), MTT_INSTATE(11, 0, 0, 0, 0), MTT_INSTATE(12, 0, 0, 0, 0), MTT_INSTATE(13, 0, 0, 0, 0),
    MTT_INSTATE(14, 0, 0, 0, 0), MTT_INSTATE(15, 0, 0, 0, 0), MTT_INSTATE(16, 0, 0, 0, 0), MTT_INSTATE(17, 0, 0, 0, 0),
    MTT_INSTATE(18, 0, 0, 0, 0), MTT_INSTATE(19, 0, 0, 0, 0),
};
#undef MTT_INSTATE

ModelParamInfo mtt_uadc[] = {
    MTT_T3("TPCS", 1e-08, mtt_ps), MTT_T3("TPSD", 1e-08, mtt_ps), MTT_T3("TPDS", 1e-08, mtt_ps),
};
ModelParamInfo mtt_udac[] = {
    MTT_T3("TSW", 1e-08, mtt_ps),
};
ModelParamInfo mtt_ugate[] = {
    MTT_T3("TPLH", 0, mtt_ps), MTT_T3("TPHL", 0, mtt_ps),
};
ModelParamInfo mtt_utgate[] = {
    MTT_T3("TPLH", 0, mtt_ps), MTT_T3("TPHL", 0, mtt_ps), MTT_T3("TPLZ", 0, mtt_ps),
    MTT_T3("TPHZ", 0, mtt_ps), MTT_T3("TPZL", 0, mtt_ps), MTT_T3("TPZH", 0, mtt_ps),
};
ModelParamInfo mtt_ueff[] = {
    MTT_T3("TPPCQLH", 0, mtt_ps), MTT_T3("TPPCQHL", 0, mtt_ps),   MTT_T3("TWPCL", 0, mtt_ps),
    MTT_T3("TPCLKQLH", 0, mtt_ps), MTT_T3("TPCLKQHL", 0, mtt_ps), MTT_T3("TWCLKL", 0, mtt_ps),
    MTT_T3("TWCLKH", 0, mtt_ps),  MTT_T3("TSUDCLK", 0, mtt_ps),   MTT_T3("TSUPCCLKH", 0, mtt_ps),
    MTT_T3("THDCLK", 0, mtt_ps),
};
ModelParamInfo mtt_ugff[] = {
    MTT_T3("TPPCQLH", 0, mtt_ps), MTT_T3("TPPCQHL", 0, mtt_ps), MTT_T3("TWPCL", 0, mtt_ps),
    MTT_T3("TPGQLH", 0, mtt_ps),  MTT_T3("TPGQHL", 0, mtt_ps),  MTT_T3("TPDQLH", 0, mtt_ps),
    MTT_T3("TPDQHL", 0, mtt_ps),  MTT_T3("TWGH", 0, mtt_ps),    MTT_T3("TSUDG", 0, mtt_ps),
    MTT_T3("TSUPCGH", 0, mtt_ps), MTT_T3("THDG", 0, mtt_ps),
};
ModelParamInfo mtt_udly[] = {
    MTT_T3("DLY", 0, mtt_ps),
};
ModelParamInfo mtt_upld[] = {
    MTT_NUM("TPLHMN", -1, 'A', mtt_ps),  MTT_NUM("TPLHTY", -1, 'A', mtt_ps),   MTT_NUM("TPLHMX", -1, 'A', mtt_ps),
    MTT_NUM("TPHLMN", -1, 'A', mtt_ps),  MTT_NUM("TPHLTY", -1, 'A', mtt_ps),   MTT_NUM("TPHLMX", -1, 'A', mtt_ps),
    MTT_NUM("OFFSET", 0, 'G', mtt_ps),   MTT_NUM("COMPOFFSET", 1, 'G', mtt_ps), MTT_NUM("INSCALE", 0, 'G', mtt_ps),
    MTT_NUM("OUTSCALE", 0, 'G', mtt_ps),
};
#define MTT_ROM_TIMES                                                                           \
    MTT_T3("TPADH", 0, mtt_ps), MTT_T3("TPADL", 0, mtt_ps), MTT_T3("TPEDH", 0, mtt_ps),         \
        MTT_T3("TPEDL", 0, mtt_ps), MTT_T3("TPEDHZ", 0, mtt_ps), MTT_T3("TPEDLZ", 0, mtt_ps)
ModelParamInfo mtt_urom[] = {
    MTT_ROM_TIMES,
};
ModelParamInfo mtt_uram[] = {
    MTT_ROM_TIMES,
    MTT_T3("TSUDEW", 0, mtt_ps), MTT_T3("TSUAEW", 0, mtt_ps), MTT_T3("TWEWH", 0, mtt_ps),
    MTT_T3("TWEWL", 0, mtt_ps),  MTT_T3("THDEW", 0, mtt_ps),  MTT_T3("THAEW", 0, mtt_ps),
};
#undef MTT_ROM_TIMES

// The ATOD, DTOA and DIGPOWER texts are stored by InitModelParamTables.
ModelParamInfo mtt_uio[] = {
    MTT_NUM("INLD", 0, 'A', mtt_ps),    MTT_NUM("OUTLD", 0, 'A', mtt_ps),  MTT_NUM("DRVH", 50, 'A', mtt_ps),
    MTT_NUM("DRVL", 50, 'A', mtt_ps),   MTT_TXT("ATOD1", mtt_ps),          MTT_TXT("DTOA1", mtt_ps),
    MTT_TXT("ATOD2", mtt_ps),           MTT_TXT("DTOA2", mtt_ps),          MTT_TXT("ATOD3", mtt_ps),
    MTT_TXT("DTOA3", mtt_ps),           MTT_TXT("ATOD4", mtt_ps),          MTT_TXT("DTOA4", mtt_ps),
    MTT_NUM("TSWLH1", 0, 'A', mtt_ps),  MTT_NUM("TSWLH2", 0, 'A', mtt_ps), MTT_NUM("TSWLH3", 0, 'A', mtt_ps),
    MTT_NUM("TSWLH4", 0, 'A', mtt_ps),  MTT_NUM("TSWHL1", 0, 'A', mtt_ps), MTT_NUM("TSWHL2", 0, 'A', mtt_ps),
    MTT_NUM("TSWHL3", 0, 'A', mtt_ps),  MTT_NUM("TSWHL4", 0, 'A', mtt_ps), MTT_TXT("DIGPOWER", mtt_ps),
};

// ---- BSIM1 and BSIM2 -----------------------------------------------------------------

// The 32 parameters both lists begin with; LEVEL, L and W differ.
#define MTT_BSIM12_HEAD(level, lw)                                                                                \
    MTT_NUM("LEVEL", level, 'A', mtt_all | mtt_lev), MTT_NUM("L", lw, 'G', mtt_ps), MTT_NUM("W", lw, 'G', mtt_ps), \
        MTT_NUM("RD", 0, 'G', mtt_all | mtt_rcp), MTT_NUM("RS", 0, 'G', mtt_all | mtt_rcp),                      \
        MTT_NUM("RG", 0, 'G', mtt_ps | mtt_rcp), MTT_NUM("RB", 0, 'G', mtt_ps | mtt_rcp),                        \
        MTT_NUM("RDS", 0, 'G', mtt_ps | mtt_rcp), MTT_NUM("RSH", 0, 'G', mtt_all | mtt_rcp),                     \
        MTT_NUM("IS", 1e-14, 'G', mtt_all), MTT_NUM("JS", 1e-08, 'G', mtt_all), MTT_NUM("JSSW", 0, 'G', mtt_ps), \
        MTT_NUM("N", 1, 'G', mtt_ps), MTT_NUM("PB", 0.8, 'G', mtt_all), MTT_NUM("PBSW", 0.8, 'G', mtt_ps),       \
        MTT_NUM("CBD", 0, 'G', mtt_all), MTT_NUM("CBS", 0, 'G', mtt_all), MTT_NUM("CJ", 0, 'G', mtt_all),       \
        MTT_NUM("CJSW", 0, 'G', mtt_all), MTT_NUM("MJ", 0.5, 'G', mtt_all), MTT_NUM("MJSW", 0.33, 'G', mtt_all), \
        MTT_NUM("FC", 0.5, 'G', mtt_all), MTT_NUM("TT", 0, 'G', mtt_ps), MTT_NUM("CGSO", 0, 'G', mtt_all),       \
        MTT_NUM("CGDO", 0, 'G', mtt_all), MTT_NUM("CGBO", 0, 'G', mtt_all), MTT_NUM("KF", 0, 'G', mtt_all),     \
        MTT_NUM("AF", 1, 'G', mtt_all), MTT_TEMPS(mtt_ps)
// A BSIM1/BSIM2 parameter with class A and PSPICE dialect.
#define MTT_B(name, def) MTT_NUM(name, def, 'A', mtt_ps)

ModelParamInfo mtt_bsim1[] = {
    MTT_BSIM12_HEAD(4, 5e-06),
    MTT_B("DL", 0),    MTT_B("DW", 0),    MTT_NUM("TOX", 0, '+', mtt_ps), MTT_B("VFB", 0),  MTT_B("VFBL", 0),
    MTT_B("VFBW", 0),  MTT_NUM("PHI", mtt_U, '+', mtt_ps), MTT_B("PHIL", 0), MTT_B("PHIW", 0),
    MTT_NUM("K1", 0, '+', mtt_ps), MTT_B("K1L", 0), MTT_B("K1W", 0), MTT_B("K2", 0), MTT_B("K2L", 0), MTT_B("K2W", 0),
    MTT_B("ETA", 0),   MTT_B("LETA", 0),  MTT_B("WETA", 0),  MTT_B("X2E", 0),  MTT_B("LX2E", 0), MTT_B("WX2E", 0),
    MTT_B("X3E", 0),   MTT_B("LX3E", 0),  MTT_B("WX3E", 0),  MTT_NUM("MUZ", 0, '+', mtt_ps), MTT_B("X2MZ", 0),
    MTT_B("LX2MZ", 0), MTT_B("WX2MZ", 0), MTT_NUM("MUS", 0, '+', mtt_ps), MTT_B("LMUS", 0), MTT_B("WMUS", 0),
    MTT_B("X2MS", 0),  MTT_B("LX2MS", 0), MTT_B("WX2MS", 0), MTT_B("X3MS", 0), MTT_B("LX3MS", 0), MTT_B("WX3MS", 0),
    MTT_NUM("U0", 0, '+', mtt_ps), MTT_B("LU0", 0), MTT_B("WU0", 0), MTT_B("X2U0", 0), MTT_B("LX2U0", 0),
    MTT_B("WX2U0", 0), MTT_B("U1", 0),    MTT_B("LU1", 0),   MTT_B("WU1", 0),  MTT_B("X2U1", 0), MTT_B("LX2U1", 0),
    MTT_B("WX2U1", 0), MTT_B("X3U1", 0),  MTT_B("LX3U1", 0), MTT_B("WX3U1", 0), MTT_B("N0", 0),  MTT_B("LN0", 0),
    MTT_B("WN0", 0),   MTT_B("NB", 0),    MTT_B("LNB", 0),   MTT_B("WNB", 0),  MTT_B("ND", 0),   MTT_B("LND", 0),
    MTT_B("WND", 0),   MTT_NUM("VDD", 0, '+', mtt_ps), MTT_B("XPART", 0), MTT_B("DELL", 0),
    MTT_NUM("NLEV", mtt_U, '3', mtt_ps), MTT_NUM("GDSNOI", 1, 'G', mtt_ps),
};

ModelParamInfo mtt_bsim2[] = {
    MTT_BSIM12_HEAD(5, 0),
    MTT_B("DL", 0),     MTT_B("DW", 0),     MTT_B("TOX", 0.03),  MTT_B("VFB", -1),   MTT_B("VFBL", 0),
    MTT_B("VFBW", 0),   MTT_NUM("PHI", 0.75, '+', mtt_ps), MTT_B("PHIL", 0), MTT_B("PHIW", 0), MTT_B("K1", 0.8),
    MTT_B("K1L", 0),    MTT_B("K1W", 0),    MTT_B("K2", 0),      MTT_B("K2L", 0),    MTT_B("K2W", 0),
    MTT_B("ETA0", 0),   MTT_B("LETA", 0),   MTT_B("WETA", 0),    MTT_B("ETAB", 0),   MTT_B("LETAB", 0),
    MTT_B("WETAB", 0),  MTT_B("MU0", 400),  MTT_B("MU0B", 0),    MTT_B("LMU0B", 0),  MTT_B("WMU0B", 0),
    MTT_B("MUS0", 500), MTT_B("LMUS0", 0),  MTT_B("WMUS0", 0),   MTT_B("MUSB", 0),   MTT_B("LMUSB", 0),
    MTT_B("WMUSB", 0),  MTT_B("MU20", 1.5), MTT_B("LMU20", 0),   MTT_B("WMU20", 0),  MTT_B("MU2B", 0),
    MTT_B("LMU2B", 0),  MTT_B("WMU2B", 0),  MTT_B("MU2G", 0),    MTT_B("LMU2G", 0),  MTT_B("WMU2G", 0),
    MTT_B("MU30", 10),  MTT_B("LMU30", 0),  MTT_B("WMU30", 0),   MTT_B("MU3B", 0),   MTT_B("LMU3B", 0),
    MTT_B("WMU3B", 0),  MTT_B("MU3G", 0),   MTT_B("LMU3G", 0),   MTT_B("WMU3G", 0),  MTT_B("MU40", 0),
    MTT_B("LMU40", 0),  MTT_B("WMU40", 0),  MTT_B("MU4B", 0),    MTT_B("LMU4B", 0),  MTT_B("WMU4B", 0),
    MTT_B("MU4G", 0),   MTT_B("LMU4G", 0),  MTT_B("WMU4G", 0),   MTT_B("UA0", 0.2),  MTT_B("LUA0", 0),
    MTT_B("WUA0", 0),   MTT_B("UAB", 0),    MTT_B("LUAB", 0),    MTT_B("WUAB", 0),   MTT_B("UB0", 0),
    MTT_B("LUB0", 0),   MTT_B("WUB0", 0),   MTT_B("UBB", 0),     MTT_B("LUBB", 0),   MTT_B("WUBB", 0),
    MTT_B("U10", 0.1),  MTT_B("LU10", 0),   MTT_B("WU10", 0),    MTT_B("U1B", 0),    MTT_B("LU1B", 0),
    MTT_B("WU1B", 0),   MTT_B("U1D", 0),    MTT_B("LU1D", 0),    MTT_B("WU1D", 0),   MTT_B("N0", 1.4),
    MTT_B("LN0", 0),    MTT_B("WN0", 0),    MTT_B("NB", 0.5),    MTT_B("LNB", 0),    MTT_B("WNB", 0),
    MTT_B("ND", 0),     MTT_B("LND", 0),    MTT_B("WND", 0),     MTT_B("VOF0", 1.8), MTT_B("LVOF0", 0),
    MTT_B("WVOF0", 0),  MTT_B("VOFB", 0),   MTT_B("LVOFB", 0),   MTT_B("WVOFB", 0),  MTT_B("VOFD", 0),
    MTT_B("LVOFD", 0),  MTT_B("WVOFD", 0),  MTT_B("AI0", 0),     MTT_B("LAI0", 0),   MTT_B("WAI0", 0),
    MTT_B("AIB", 0),    MTT_B("LAIB", 0),   MTT_B("WAIB", 0),    MTT_B("BI0", 0),    MTT_B("LBI0", 0),
    MTT_B("WBI0", 0),   MTT_B("BIB", 0),    MTT_B("LBIB", 0),    MTT_B("WBIB", 0),   MTT_B("VGHIGH", 0.2),
    MTT_B("LVGHIGH", 0), MTT_B("WVGHIGH", 0), MTT_B("VGLOW", -0.15), MTT_B("LVGLOW", 0), MTT_B("WVGLOW", 0),
    MTT_B("VDD", 5),    MTT_B("VGG", 5),    MTT_B("VBB", 5),     MTT_B("XPART", 0),  MTT_B("DELL", 0),
    MTT_NUM("NLEV", mtt_U, '3', mtt_ps), MTT_NUM("GDSNOI", 1, 'G', mtt_ps),
};
#undef MTT_BSIM12_HEAD

// ---- BSIM3 ---------------------------------------------------------------------------

// The NMOS and PMOS lists differ only in the noise defaults NOIA, NOIB, NOIC.
#define MTT_L(name, def) MTT_LWP(name, def, mtt_ps)
#define MTT_BSIM3_LIST(noia, noib, noic)                                                                        \
    MTT_NUM("LEVEL", 8, 'A', mtt_all | mtt_lev), MTT_NUM("L", 0, 'G', mtt_ps), MTT_NUM("W", 0, 'G', mtt_ps),   \
    MTT_NUM("RD", 0, 'G', mtt_all | mtt_rcp), MTT_NUM("RS", 0, 'G', mtt_all | mtt_rcp),                        \
    MTT_NUM("RG", 0, 'G', mtt_ps | mtt_rcp), MTT_NUM("RB", 0, 'G', mtt_ps | mtt_rcp),                          \
    MTT_NUM("RDS", 0, 'G', mtt_ps | mtt_rcp), MTT_NUM("RSH", 0, 'G', mtt_all | mtt_rcp),                       \
    MTT_NUM("IS", 1e-14, 'G', mtt_all), MTT_NUM("JS", 0.0001, 'G', mtt_all), MTT_NUM("JSSW", 0, 'G', mtt_ps),  \
    MTT_NUM("N", 1, 'G', mtt_ps), MTT_NUM("NJ", 1, 'G', mtt_s3), MTT_NUM("XTI", 3, 'G', mtt_s3),               \
    MTT_NUM("PB", 1, 'G', mtt_all), MTT_B("TPB", 0), MTT_NUM("PBSW", 1, 'G', mtt_ps), MTT_B("TPBSW", 0),       \
    MTT_NUM("PBSWG", mtt_U, 'G', mtt_s3), MTT_B("TPBSWG", 0), MTT_NUM("CBD", 0, 'G', mtt_all),                 \
    MTT_NUM("CBS", 0, 'G', mtt_all), MTT_NUM("CJ", 0.0005, 'G', mtt_all), MTT_B("TCJ", 0),                     \
    MTT_NUM("CJSW", 5e-10, 'G', mtt_all), MTT_B("TCJSW", 0), MTT_NUM("CJSWG", mtt_U, 'G', mtt_s3),             \
    MTT_B("TCJSWG", 0), MTT_NUM("MJ", 0.5, 'G', mtt_all), MTT_NUM("MJSW", 0.33, 'G', mtt_all),                 \
    MTT_NUM("MJSWG", mtt_U, 'G', mtt_s3), MTT_NUM("FC", 0.5, 'G', mtt_all), MTT_NUM("TT", 0, 'G', mtt_ps),     \
    MTT_NUM("CGSO", mtt_U, 'G', mtt_all), MTT_NUM("CGDO", mtt_U, 'G', mtt_all),                                \
    MTT_NUM("CGBO", mtt_U, 'G', mtt_all), MTT_NUM("KF", 0, 'G', mtt_all), MTT_NUM("AF", 1, 'G', mtt_all),      \
    MTT_TEMPS(mtt_ps),                                                                                        \
    MTT_B("LMIN", mtt_U), MTT_B("LMAX", mtt_U), MTT_B("WMIN", mtt_U), MTT_B("WMAX", mtt_U),                    \
    MTT_B("BINUNIT", 1), MTT_B("MOBMOD", 1), MTT_B("CAPMOD", 3), MTT_B("NQSMOD", 0), MTT_B("NOIMOD", 1),       \
    MTT_NUM("PARAMCHK", 0, 'G', mtt_s3), MTT_NUM("VERSION", mtt_U, 'G', mtt_s3),                               \
    MTT_L("VTH0", mtt_U), MTT_L("K1", mtt_U), MTT_L("K2", mtt_U), MTT_L("K3", 80), MTT_L("K3B", 0),           \
    MTT_L("W0", 2.5e-06), MTT_L("NLX", 1.74e-07), MTT_L("DVT0", 2.2), MTT_L("DVT1", 0.53),                    \
    MTT_L("DVT2", -0.032), MTT_L("DVT0W", 0), MTT_L("DVT1W", 5.3e+06), MTT_L("DVT2W", -0.032),                \
    MTT_L("U0", mtt_U), MTT_L("UA", 2.25e-09), MTT_L("UB", 5.87e-19), MTT_L("UC", mtt_U),                     \
    MTT_L("VSAT", 80000), MTT_L("A0", 1), MTT_L("AGS", 0), MTT_L("B0", 0), MTT_L("B1", 0),                    \
    MTT_L("KETA", -0.047), MTT_L("A1", 0), MTT_L("A2", 1), MTT_L("RDSW", 0), MTT_L("PRWB", 0),                \
    MTT_L("PRWG", 0), MTT_L("WR", 1), MTT_B("WINT", 0), MTT_B("LINT", 0), MTT_L("DWG", 0), MTT_L("DWB", 0),   \
    MTT_L("VOFF", -0.08), MTT_L("NFACTOR", 1), MTT_L("ETA0", 0.08), MTT_L("ETAB", -0.07),                     \
    MTT_L("DSUB", mtt_U), MTT_L("CIT", 0), MTT_L("CDSC", 0.00024), MTT_L("CDSCB", 0), MTT_L("CDSCD", 0),      \
    MTT_L("PCLM", 1.3), MTT_L("PDIBLC1", 0.39), MTT_L("PDIBLC2", 0.0086), MTT_L("PDIBLCB", 0),                \
    MTT_L("DROUT", 0.56), MTT_L("PSCBE1", 4.24e+08), MTT_L("PSCBE2", 1e-05), MTT_L("PVAG", 0),                \
    MTT_L("DELTA", 0.01), MTT_L("NGATE", mtt_U), MTT_L("ALPHA0", 0), MTT_L("ALPHA1", 0), MTT_B("IJTH", 0.1),  \
    MTT_L("BETA0", 30), MTT_B("XPART", 0), MTT_L("CGSL", 0), MTT_L("CGDL", 0), MTT_L("CKAPPA", 0.6),          \
    MTT_L("CF", mtt_U), MTT_L("CLC", 1e-07), MTT_L("CLE", 0.6), MTT_L("DLC", mtt_U), MTT_L("DWC", mtt_U),     \
    MTT_B("WLC", mtt_U), MTT_B("WWC", mtt_U), MTT_B("WWLC", mtt_U), MTT_B("LLC", mtt_U), MTT_B("LWC", mtt_U), \
    MTT_B("LWLC", mtt_U), MTT_LWP("VFBCV", -1, mtt_s3), MTT_L("NOFF", 1), MTT_L("MOIN", 15),                  \
    MTT_L("VOFFCV", 0), MTT_L("ACDE", 1), MTT_L("ELM", 5), MTT_B("WL", 0), MTT_B("WLN", 1), MTT_B("WW", 0),   \
    MTT_B("WWN", 1), MTT_B("WWL", 0), MTT_B("LL", 0), MTT_B("LLN", 1), MTT_B("LW", 0), MTT_B("LWN", 1),       \
    MTT_B("LWL", 0), MTT_B("TNOM", 27), MTT_L("UTE", -1.5), MTT_L("KT1", -0.11), MTT_L("KT1L", 0),            \
    MTT_L("KT2", 0.022), MTT_L("UA1", 4.31e-09), MTT_L("UB1", -7.61e-18), MTT_L("UC1", mtt_U),                \
    MTT_L("AT", 33000), MTT_L("PRT", 0), MTT_B("NOIA", noia), MTT_B("NOIB", noib), MTT_B("NOIC", noic),       \
    MTT_B("EM", 41000000), MTT_B("EF", 1), MTT_B("TOX", 1.5e-08), MTT_B("TOXM", mtt_U), MTT_L("XJ", 1.5e-07), \
    MTT_L("GAMMA1", mtt_U), MTT_L("GAMMA2", mtt_U), MTT_L("NCH", mtt_U), MTT_L("NSUB", mtt_U),               \
    MTT_L("VBX", mtt_U), MTT_L("VBM", mtt_U), MTT_L("XT", mtt_U), MTT_NUM("NLEV", mtt_U, '3', mtt_ps),       \
    MTT_NUM("GDSNOI", 1, 'G', mtt_ps), MTT_B("VFB", mtt_U), MTT_B("LVFB", 0), MTT_B("PVFB", 0),              \
    MTT_B("WVFB", 0), MTT_NUM("LREF", mtt_U, '+', mtt_ps), MTT_NUM("WREF", mtt_U, '+', mtt_ps),              \
    MTT_B("BINFLAG", 0), MTT_B("VTH0M", 0)

ModelParamInfo mtt_bsim3n[] = {MTT_BSIM3_LIST(1e+20, 50000, -1.4e-12)};
ModelParamInfo mtt_bsim3p[] = {MTT_BSIM3_LIST(9.9e+18, 2400, 1.4e-12)};
#undef MTT_BSIM3_LIST
#undef MTT_L

// ---- BSIM4 ---------------------------------------------------------------------------

// The 120 base parameters that have L, W and P binning variants, in list order.
#define MTT_BSIM4_BINNED(X)                                                                                      \
    X(CDSC) X(CDSCB) X(CDSCD) X(CIT) X(NFACTOR) X(XJ) X(VSAT) X(AT) X(A0) X(AGS) X(A1) X(A2) X(KETA) X(NSUB)     \
    X(NDEP) X(NSD) X(PHIN) X(NGATE) X(GAMMA1) X(GAMMA2) X(VBX) X(VBM) X(XT) X(K1) X(KT1) X(KT1L) X(KT2) X(K2)    \
    X(K3) X(K3B) X(W0) X(DVTP0) X(DVTP1) X(LPE0) X(LPEB) X(DVT0) X(DVT1) X(DVT2) X(DVT0W) X(DVT1W) X(DVT2W)      \
    X(DROUT) X(DSUB) X(VTH0) X(UA) X(UA1) X(UB) X(UB1) X(UC) X(UC1) X(U0) X(EU) X(UTE) X(VOFF) X(MINV) X(DELTA)  \
    X(RDSW) X(RSW) X(RDW) X(PRWG) X(PRWB) X(PRT) X(ETA0) X(ETAB) X(PCLM) X(PDIBLC1) X(PDIBLC2) X(PDIBLCB)        \
    X(FPROUT) X(PDITS) X(PDITSD) X(PSCBE1) X(PSCBE2) X(PVAG) X(WR) X(DWG) X(DWB) X(B0) X(B1) X(ALPHA0) X(ALPHA1) \
    X(BETA0) X(VFB) X(AGIDL) X(BGIDL) X(CGIDL) X(EGIDL) X(AIGC) X(BIGC) X(CIGC) X(AIGSD) X(BIGSD) X(CIGSD)       \
    X(AIGBACC) X(BIGBACC) X(CIGBACC) X(AIGBINV) X(BIGBINV) X(CIGBINV) X(NIGC) X(NIGBACC) X(NIGBINV) X(NTOX)      \
    X(EIGBINV) X(PIGCD) X(POXEDGE) X(XRCRG1) X(XRCRG2) X(CGSL) X(CGDL) X(CKAPPAS) X(CKAPPAD) X(CF) X(CLC) X(CLE) \
    X(VFBCV) X(NOFF) X(VOFFCV) X(ACDE) X(MOIN)
#define MTT_B4(name) MTT_NUM(#name, 0, 'A', mtt_ps),
#define MTT_B4L(name) MTT_NUM("L" #name, 0, 'A', mtt_ps),
#define MTT_B4W(name) MTT_NUM("W" #name, 0, 'A', mtt_ps),
#define MTT_B4P(name) MTT_NUM("P" #name, 0, 'A', mtt_ps),
#define MTT_B4U(name) MTT_NUM(#name, mtt_U, 'A', mtt_ps),

ModelParamInfo mtt_bsim4[] = {
    MTT_NUM("LEVEL", 14, 'A', mtt_all | mtt_lev), MTT_TEMPS(mtt_ps), MTT_NUM("NLEV", mtt_U, '3', mtt_ps),
    MTT_NUM("GDSNOI", 1, 'G', mtt_ps),
    MTT_B4(EM) MTT_B4(EF) MTT_B4(MOBMOD) MTT_B4(CAPMOD) MTT_B4(DIOMOD) MTT_B4(TRNQSMOD) MTT_B4(ACNQSMOD)
    MTT_B4(FNOIMOD) MTT_B4(TNOIMOD) MTT_B4(RDSMOD) MTT_B4(RBODYMOD) MTT_B4(RGATEMOD) MTT_B4(PERMOD) MTT_B4(GEOMOD)
    MTT_B4(IGCMOD) MTT_B4(IGBMOD) MTT_B4(BINUNIT) MTT_B4(PARAMCHK)
    MTT_TXT("VERSION", mtt_ps),
    MTT_B4(TOXE) MTT_B4(TOXP) MTT_B4(TOXM) MTT_B4(DTOX) MTT_B4(EPSROX) MTT_B4(CDSC) MTT_B4(CDSCB) MTT_B4(CDSCD)
    MTT_B4(CIT) MTT_B4(NFACTOR) MTT_B4(XJ) MTT_B4(VSAT) MTT_B4(AT) MTT_B4(A0) MTT_B4(AGS) MTT_B4(A1) MTT_B4(A2)
    MTT_B4(KETA) MTT_B4(NSUB) MTT_B4(NDEP) MTT_B4(NSD) MTT_B4(PHIN) MTT_B4(NGATE) MTT_B4(GAMMA1) MTT_B4(GAMMA2)
    MTT_B4(VBX) MTT_B4(VBM) MTT_B4(XT) MTT_B4(K1) MTT_B4(KT1) MTT_B4(KT1L) MTT_B4(KT2) MTT_B4(K2) MTT_B4(K3)
    MTT_B4(K3B) MTT_B4(W0) MTT_B4(DVTP0) MTT_B4(DVTP1) MTT_B4(LPE0) MTT_B4(LPEB) MTT_B4(DVT0) MTT_B4(DVT1)
    MTT_B4(DVT2) MTT_B4(DVT0W) MTT_B4(DVT1W) MTT_B4(DVT2W) MTT_B4(DROUT) MTT_B4(DSUB) MTT_B4(VTH0) MTT_B4(EU)
    MTT_B4(UA) MTT_B4(UA1) MTT_B4(UB) MTT_B4(UB1) MTT_B4(UC) MTT_B4(UC1) MTT_B4(U0) MTT_B4(UTE) MTT_B4(VOFF)
    MTT_B4(MINV) MTT_B4(VOFFL) MTT_B4(DELTA) MTT_B4(RDSW) MTT_B4(RDSWMIN) MTT_B4(RDWMIN) MTT_B4(RSWMIN) MTT_B4(RSW)
    MTT_B4(RDW) MTT_B4(PRWG) MTT_B4(PRWB) MTT_B4(PRT) MTT_B4(ETA0) MTT_B4(ETAB) MTT_B4(PCLM) MTT_B4(PDIBLC1)
    MTT_B4(PDIBLC2) MTT_B4(PDIBLCB) MTT_B4(FPROUT) MTT_B4(PDITS) MTT_B4(PDITSD) MTT_B4(PDITSL) MTT_B4(PSCBE1)
    MTT_B4(PSCBE2) MTT_B4(PVAG) MTT_B4(WR) MTT_B4(DWG) MTT_B4(DWB) MTT_B4(B0) MTT_B4(B1) MTT_B4(ALPHA0)
    MTT_B4(ALPHA1) MTT_B4(BETA0) MTT_B4(AGIDL) MTT_B4(BGIDL) MTT_B4(CGIDL) MTT_B4(EGIDL) MTT_B4(AIGC) MTT_B4(BIGC)
    MTT_B4(CIGC) MTT_B4(AIGSD) MTT_B4(BIGSD) MTT_B4(CIGSD) MTT_B4(AIGBACC) MTT_B4(BIGBACC) MTT_B4(CIGBACC)
    MTT_B4(AIGBINV) MTT_B4(BIGBINV) MTT_B4(CIGBINV) MTT_B4(NIGC) MTT_B4(NIGBACC) MTT_B4(NIGBINV) MTT_B4(NTOX)
    MTT_B4(EIGBINV) MTT_B4(PIGCD) MTT_B4(POXEDGE) MTT_B4(TOXREF) MTT_B4(IJTHDFWD) MTT_B4(IJTHSFWD)
    MTT_B4(IJTHDREV) MTT_B4(IJTHSREV) MTT_B4(XJBVD) MTT_B4(XJBVS) MTT_B4(BVD) MTT_B4(BVS) MTT_B4(XRCRG1)
    MTT_B4(XRCRG2) MTT_B4(VFB) MTT_B4(GBMIN) MTT_B4(RBDB) MTT_B4(RBSB) MTT_B4(RBPB) MTT_B4(RBPS) MTT_B4(RBPD)
    MTT_B4(TNOIA) MTT_B4(TNOIB) MTT_B4(NTNOI) MTT_B4(CGSL) MTT_B4(CGDL) MTT_B4(CKAPPAS) MTT_B4(CKAPPAD) MTT_B4(CF)
    MTT_B4(VFBCV) MTT_B4(CLC) MTT_B4(CLE) MTT_B4(DWC) MTT_B4(DLC) MTT_B4(XW) MTT_B4(XL) MTT_B4(DLCIG) MTT_B4(DWJ)
    MTT_B4(NOFF) MTT_B4(VOFFCV) MTT_B4(ACDE) MTT_B4(MOIN) MTT_B4(TCJ) MTT_B4(TCJSW) MTT_B4(TCJSWG) MTT_B4(TPB)
    MTT_B4(TPBSW) MTT_B4(TPBSWG) MTT_B4(DMCG) MTT_B4(DMCI) MTT_B4(DMDG) MTT_B4(DMCGT) MTT_B4(XGW) MTT_B4(XGL)
    MTT_B4(RSHG) MTT_B4(NGCON)
    MTT_BSIM4_BINNED(MTT_B4L)
    MTT_BSIM4_BINNED(MTT_B4W)
    MTT_BSIM4_BINNED(MTT_B4P)
    MTT_B4(TNOM) MTT_B4(CGSO) MTT_B4(CGDO) MTT_B4(CGBO) MTT_B4(XPART) MTT_B4(AF) MTT_B4(KF) MTT_B4(RSH) MTT_B4(JSS)
    MTT_B4(JSD) MTT_B4(JSWS) MTT_B4(JSWD) MTT_B4(JSWGS) MTT_B4(JSWGD) MTT_B4(PBS) MTT_B4(PBD) MTT_B4(MJS)
    MTT_B4(MJD) MTT_B4(MJSWS) MTT_B4(MJSWD) MTT_B4(MJSWGS) MTT_B4(MJSWGD) MTT_B4(PBSWS) MTT_B4(PBSWD)
    MTT_B4(PBSWGS) MTT_B4(PBSWGD) MTT_B4(CJS) MTT_B4(CJD) MTT_B4(CJSWS) MTT_B4(CJSWD) MTT_B4(CJSWGS)
    MTT_B4(CJSWGD) MTT_B4(NJS) MTT_B4(NJD) MTT_B4(XTIS) MTT_B4(XTID) MTT_B4(LINT) MTT_B4(LL) MTT_B4(LLC)
    MTT_B4(LLN) MTT_B4(LW) MTT_B4(LWC) MTT_B4(LWN) MTT_B4(LWL) MTT_B4(LWLC) MTT_B4U(LMIN) MTT_B4U(LMAX)
    MTT_B4(WINT) MTT_B4(WL) MTT_B4(WLC) MTT_B4(WLN) MTT_B4(WW) MTT_B4(WWC) MTT_B4(WWN) MTT_B4(WWL) MTT_B4(WWLC)
    MTT_B4U(WMIN) MTT_B4U(WMAX) MTT_B4(NOIA) MTT_B4(NOIB) MTT_B4(NOIC)
    MTT_NUM("LREF", mtt_U, '+', mtt_ps), MTT_NUM("WREF", mtt_U, '+', mtt_ps),
    MTT_B4(BINFLAG) MTT_B4(VTH0M)
};
#undef MTT_BSIM4_BINNED
#undef MTT_B4
#undef MTT_B4L
#undef MTT_B4W
#undef MTT_B4P
#undef MTT_B4U

// ---- EKV -----------------------------------------------------------------------------

#define MTT_E0(name) MTT_NUM(#name, 0, 'A', mtt_ps),
#define MTT_EU(name) MTT_NUM(#name, mtt_U, 'A', mtt_ps),
ModelParamInfo mtt_ekv[] = {
    MTT_NUM("LEVEL", 44, 'A', mtt_all | mtt_lev),
    MTT_E0(TNOM) MTT_E0(VTO) MTT_E0(KP) MTT_E0(GAMMA) MTT_E0(PHI) MTT_E0(COX) MTT_E0(XJ) MTT_E0(THETA) MTT_E0(UCRIT)
    MTT_E0(DW) MTT_E0(DL) MTT_E0(LAMBDA) MTT_E0(WETA) MTT_E0(LETA) MTT_E0(IBA) MTT_E0(IBB) MTT_E0(IBN) MTT_E0(TCV)
    MTT_E0(BEX) MTT_E0(UCEX) MTT_E0(IBBT) MTT_E0(SATLIM) MTT_E0(KF) MTT_E0(AF) MTT_E0(IS) MTT_E0(JS) MTT_E0(JSW)
    MTT_E0(N) MTT_E0(CBD) MTT_E0(CBS) MTT_E0(CJ) MTT_E0(CJSW) MTT_E0(MJ) MTT_E0(MJSW) MTT_E0(FC) MTT_E0(PB)
    MTT_E0(PBSW) MTT_E0(TT) MTT_E0(CGSO) MTT_E0(CGDO) MTT_E0(CGBO) MTT_E0(RD) MTT_E0(RS) MTT_E0(RSH) MTT_E0(RSC)
    MTT_E0(RDC) MTT_E0(XTI) MTT_E0(TR1) MTT_E0(TR2) MTT_E0(NLEVEL) MTT_E0(EKVINT) MTT_E0(Q0) MTT_E0(LK) MTT_E0(E0)
    MTT_TEMPS(mtt_ps),
    MTT_EU(SCALM) MTT_EU(XQC) MTT_EU(TOX) MTT_EU(NSUB) MTT_EU(UO) MTT_EU(VFB) MTT_EU(AVTO) MTT_EU(AGAMMA) MTT_EU(AKP)
    MTT_EU(EKVDYN) MTT_EU(VMAX) MTT_EU(HDIF) MTT_EU(LDIF) MTT_EU(RG) MTT_EU(RGSH) MTT_EU(RB) MTT_EU(RBSH) MTT_EU(NLEV)
    MTT_NUM("GDSNOI", 1, 'G', mtt_ps),
    MTT_EU(LD) MTT_EU(ACM) MTT_EU(UPDATE) MTT_EU(WMLT) MTT_EU(CJGATE) MTT_EU(L) MTT_EU(W)
};
#undef MTT_E0
#undef MTT_EU
#undef MTT_B

template <size_t N>
constexpr int mtt_Count(const ModelParamInfo (&)[N]) {
    return static_cast<int>(N);
}

static_assert(mtt_Count(mtt_opamp) == 24);
static_assert(mtt_Count(mtt_diode) == 31);
static_assert(mtt_Count(mtt_bipolar) == 55);
static_assert(mtt_Count(mtt_mos) == 58);
static_assert(mtt_Count(mtt_jfet) == 20);
static_assert(mtt_Count(mtt_pulse) == 7);
static_assert(mtt_Count(mtt_sine) == 7);
static_assert(mtt_Count(mtt_tline) == 9);
static_assert(mtt_Count(mtt_core) == 7);
static_assert(mtt_Count(mtt_gasfet) == 36);
static_assert(mtt_Count(mtt_vswitch) == 6);
static_assert(mtt_Count(mtt_iswitch) == 6);
static_assert(mtt_Count(mtt_cap) == 9);
static_assert(mtt_Count(mtt_ind) == 9);
static_assert(mtt_Count(mtt_res) == 9);
static_assert(mtt_Count(mtt_doutput) == 64);
static_assert(mtt_Count(mtt_dinput) == 82);
static_assert(mtt_Count(mtt_uadc) == 9);
static_assert(mtt_Count(mtt_udac) == 3);
static_assert(mtt_Count(mtt_ugate) == 6);
static_assert(mtt_Count(mtt_utgate) == 18);
static_assert(mtt_Count(mtt_ueff) == 30);
static_assert(mtt_Count(mtt_ugff) == 33);
static_assert(mtt_Count(mtt_udly) == 3);
static_assert(mtt_Count(mtt_upld) == 10);
static_assert(mtt_Count(mtt_urom) == 18);
static_assert(mtt_Count(mtt_uram) == 36);
static_assert(mtt_Count(mtt_uio) == 21);
static_assert(mtt_Count(mtt_bsim1) == 98);
static_assert(mtt_Count(mtt_bsim2) == 154);
static_assert(mtt_Count(mtt_bsim3n) == 428);
static_assert(mtt_Count(mtt_bsim3p) == 428);
static_assert(mtt_Count(mtt_bsim4) == 619);
static_assert(mtt_Count(mtt_ekv) == 85);

}  // namespace

#define MTT_ROW(list, values, comp, temp, key, dig, help, unsetTiming, desc) \
    {mtt_Count(list), values, comp, list, temp, key, dig, help, unsetTiming, 0, desc}
#define MTT_EMPTY_ROW(comp, key, dig, help, unsetTiming, desc) \
    {0, 0, comp, nullptr, 0, key, dig, help, unsetTiming, 0, desc}

ModelTypeInfo ModelTypeTable[kModelTypeCount] = {
    MTT_ROW(mtt_opamp, 24, 19, 20, "OPA", 0, 21000, 0, "Opamp"),
    MTT_ROW(mtt_diode, 37, 5, 27, "D", 0, 21024, 0, "Diode"),
    MTT_ROW(mtt_bipolar, 67, 6, 51, "NPN", 0, 21055, 0, "Bipolar Junction Transistors"),
    MTT_ROW(mtt_mos, 63, 9, 54, "NMOS", 0, 21110, 0, "Mosfet"),
    MTT_ROW(mtt_jfet, 26, 25, 16, "NJF", 0, 21168, 0, "Jfet"),
    MTT_ROW(mtt_pulse, 7, 13, 0, "PUL", 0, 21188, 0, "Pulse"),
    MTT_ROW(mtt_sine, 7, 17, 0, "SIN", 0, 21195, 0, "Sinusoidal"),
    MTT_ROW(mtt_tline, 52, 15, 0, "TRN", 0, 21202, 0, "Transmission Line"),
    MTT_ROW(mtt_core, 7, 123, 0, "CORE", 0, 21211, 0, "Core"),
    MTT_ROW(mtt_gasfet, 42, 48, 32, "GASFET", 0, 21218, 0, "GaAsFET"),
    MTT_ROW(mtt_vswitch, 6, 115, 0, "VSWITCH", 0, 21254, 0, "S"),
    MTT_ROW(mtt_iswitch, 6, 116, 0, "ISWITCH", 0, 21260, 0, "W"),
    MTT_ROW(mtt_cap, 9, 4, 5, "CAP", 0, 21266, 0, "Capacitor"),
    MTT_ROW(mtt_ind, 9, 3, 5, "IND", 0, 21275, 0, "Inductor"),
    MTT_ROW(mtt_res, 9, 2, 5, "RES", 0, 21284, 0, "Resistor"),
    MTT_ROW(mtt_bipolar, 67, 7, 51, "PNP", 0, 21055, 0, "Bipolar Junction Transistors"),
    MTT_ROW(mtt_mos, 63, 8, 54, "PMOS", 0, 21110, 0, "Mosfet"),
    MTT_ROW(mtt_jfet, 26, 24, 16, "PJF", 0, 21168, 0, "Jfet"),
    MTT_ROW(mtt_doutput, 67, 55, 0, "DOUTPUT", 2, 21293, 0, "Doutput"),
    MTT_ROW(mtt_dinput, 82, 54, 0, "DINPUT", 2, 21357, 0, "Dinput"),
    MTT_ROW(mtt_uadc, 10, 56, 0, "UADC", 2, 21439, 0, "UADC"),
    MTT_ROW(mtt_udac, 3, 57, 0, "UDAC", 2, 21448, 0, "UDAC"),
    MTT_ROW(mtt_ugate, 6, 74, 0, "UGATE", 1, 21451, 1, "UGATE"),
    MTT_ROW(mtt_utgate, 18, 78, 0, "UTGATE", 1, 21457, 1, "UTGATE"),
    MTT_ROW(mtt_ueff, 30, 94, 0, "UEFF", 1, 21475, 1, "UEFF"),
    MTT_ROW(mtt_ugff, 33, 96, 0, "UGFF", 1, 21505, 1, "UGFF"),
    MTT_ROW(mtt_udly, 3, 100, 0, "UDLY", 1, 21538, 1, "UDLY"),
    MTT_ROW(mtt_upld, 10, 101, 0, "UPLD", 1, 21541, 0, "UPLD"),
    MTT_ROW(mtt_urom, 18, 113, 0, "UROM", 1, 21551, 1, "UROM"),
    MTT_ROW(mtt_uram, 36, 114, 0, "URAM", 1, 21569, 1, "URAM"),
    MTT_EMPTY_ROW(118, "UBGT", 1, 21605, 1, "UBGT"),
    MTT_ROW(mtt_uio, 21, 0, 0, "UIO", 1, 21605, 0, "UIO"),
    MTT_ROW(mtt_bsim1, 100, 9, 28, "NMOS", 0, 21626, 0, "BSIM1"),
    MTT_ROW(mtt_bsim1, 100, 8, 28, "PMOS", 0, 21626, 0, "BSIM1"),
    MTT_ROW(mtt_bsim2, 160, 9, 28, "NMOS", 0, 21724, 0, "BSIM2"),
    MTT_ROW(mtt_bsim2, 160, 8, 28, "PMOS", 0, 21724, 0, "BSIM2"),
    MTT_ROW(mtt_bsim3n, 434, 9, 39, "NMOS", 0, 21878, 0, "BSIM3"),
    MTT_ROW(mtt_bsim3p, 434, 8, 39, "PMOS", 0, 21878, 0, "BSIM3"),
    MTT_ROW(mtt_bipolar, 67, 7, 51, "LPNP", 0, 21055, 0, "Bipolar Junction Transistors"),
    MTT_ROW(mtt_bsim4, 644, 9, 1, "NMOS", 0, 22306, 0, "BSIM4"),
    MTT_ROW(mtt_bsim4, 644, 8, 1, "PMOS", 0, 22306, 0, "BSIM4"),
    MTT_ROW(mtt_ekv, 87, 9, 55, "NMOS", 0, 22925, 0, "EKV"),
    MTT_ROW(mtt_ekv, 87, 8, 55, "PMOS", 0, 22925, 0, "EKV"),
};

#undef MTT_ROW
#undef MTT_EMPTY_ROW
#undef MTT_NUM
#undef MTT_CHR
#undef MTT_TXT
#undef MTT_TEMPS
#undef MTT_LWP
#undef MTT_T3
// clang-format on
