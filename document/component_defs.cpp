// The component type table and the operations on one component definition.
#include "document/component_defs.h"

#include <cstring>

#include "core/chars.h"
#include "core/messages.h"
#include "core/port.h"
#include "core/result.h"
#include "core/stringarray.h"
#include "document/attributes.h"

// ---- the table ---------------------------------------------------------------------

// Columns: prefix, digital, pin kinds, type id, device list, class, model type,
// device bits, pin count, name, digital flags; then the nine standard attribute
// ids and their nine help ids.
// clang-format off
const ComponentType ComponentTypeTable[kComponentTypeCount] = {
    /*   0 */ {" ", 0, 0, 0, -1, 8401, -1, 0, 0, "NULL", 0,
               {0, 0, 0, 0, 0, 0, 0, 0, 0},
               {0, 0, 0, 0, 0, 0, 0, 0, 0}},
    /*   1 */ {"V", 0, 0, 6001, 1, 8470, -1, 0x28000, 2, "Battery", 0,
               {2, 0, 0, 0, 0, 0, 0, 0, 0},
               {19067, 0, 0, 0, 0, 0, 0, 0, 0}},
    /*   2 */ {"R", 0, 0, 6002, 2, 8470, 14, 0x8001, 2, "Resistor", 0x1000000,
               {2, 25, 3, 0, 0, 0, 0, 0, 0},
               {19040, 19045, 19002, 0, 0, 0, 0, 0, 0}},
    /*   3 */ {"L", 0, 0, 6003, 3, 8470, 13, 0x8004, 2, "Inductor", 0x1000000,
               {2, 25, 3, 0, 0, 0, 0, 0, 0},
               {19064, 19045, 19002, 0, 0, 0, 0, 0, 0}},
    /*   4 */ {"C", 0, 0, 6004, 4, 8470, 12, 0x8002, 2, "Capacitor", 0x1000000,
               {2, 25, 3, 0, 0, 0, 0, 0, 0},
               {19062, 19045, 19002, 0, 0, 0, 0, 0, 0}},
    /*   5 */ {"D", 0, 0, 6005, 5, 8480, 1, 0x8008, 2, "Diode", 0,
               {2, 3, 0, 0, 0, 0, 0, 0, 0},
               {19041, 19001, 0, 0, 0, 0, 0, 0, 0}},
    /*   6 */ {"Q", 0, 0, 6006, 6, 8420, 2, 0x10, 3, "NPN", 0,
               {2, 3, 0, 0, 0, 0, 0, 0, 0},
               {19042, 19001, 0, 0, 0, 0, 0, 0, 0}},
    /*   7 */ {"Q", 0, 0, 6007, 6, 8420, 15, 0x10, 3, "PNP", 0,
               {2, 3, 0, 0, 0, 0, 0, 0, 0},
               {19042, 19001, 0, 0, 0, 0, 0, 0, 0}},
    /*   8 */ {"M", 0, 0, 6008, 8, 8430, 16, 0x20, 4, "PMOS", 0,
               {2, 3, 0, 0, 0, 0, 0, 0, 0},
               {19005, 19001, 0, 0, 0, 0, 0, 0, 0}},
    /*   9 */ {"M", 0, 0, 6009, 8, 8430, 3, 0x20, 4, "NMOS", 0,
               {2, 3, 0, 0, 0, 0, 0, 0, 0},
               {19005, 19001, 0, 0, 0, 0, 0, 0, 0}},
    /*  10 */ {"K", 0, 0, 6010, -1, 8490, -1, 0, 4, "Transformer", 0,
               {2, 0, 0, 0, 0, 0, 0, 0, 0},
               {19003, 0, 0, 0, 0, 0, 0, 0, 0}},
    /*  11 */ {"I", 0, 0, 6011, 1, 8470, -1, 0x8800, 2, "ISpice", 0,
               {2, 0, 0, 0, 0, 0, 0, 0, 0},
               {19050, 0, 0, 0, 0, 0, 0, 0, 0}},
    /*  12 */ {"SW", 0, 0, 6012, 12, 8490, -1, 0, 4, "Switch", 0,
               {2, 0, 0, 0, 0, 0, 0, 0, 0},
               {19046, 0, 0, 0, 0, 0, 0, 0, 0}},
    /*  13 */ {"V", 0, 0, 6013, 13, 8470, 5, 0x8100, 2, "Pulse source", 0,
               {0, 3, 0, 0, 0, 0, 0, 0, 0},
               {0, 19001, 0, 0, 0, 0, 0, 0, 0}},
    /*  14 */ {" ", 0, 0, 0, -1, 8400, -1, 0, 2, "Short", 0,
               {0, 0, 0, 0, 0, 0, 0, 0, 0},
               {0, 0, 0, 0, 0, 0, 0, 0, 0}},
    /*  15 */ {"T", 0, 0, 6015, 15, 8635, 7, 0x2000, 4, "Tline", 0x1000000,
               {2, 3, 0, 0, 0, 0, 0, 0, 0},
               {19047, 19002, 0, 0, 0, 0, 0, 0, 0}},
    /*  16 */ {"U", 0, 0, 6016, 16, 8470, -1, 0x9000, 2, "User source", 0,
               {4, 28, 88, 0, 0, 0, 0, 0, 0},
               {19065, 19059, 19075, 0, 0, 0, 0, 0, 0}},
    /*  17 */ {"V", 0, 0, 6017, 17, 8470, 6, 0x8400, 2, "Sine source", 0,
               {0, 3, 0, 0, 0, 0, 0, 0, 0},
               {0, 19001, 0, 0, 0, 0, 0, 0, 0}},
    /*  18 */ {" ", 0, 0, 6018, -1, 8400, -1, 0, 1, "Ground", 0,
               {0, 0, 0, 0, 0, 0, 0, 0, 0},
               {0, 0, 0, 0, 0, 0, 0, 0, 0}},
    /*  19 */ {"X", 0, 0, 6019, 19, 8460, 0, 0x200, 5, "Opamp", 0,
               {0, 3, 0, 0, 0, 0, 0, 0, 0},
               {0, 19001, 0, 0, 0, 0, 0, 0, 0}},
    /*  20 */ {" ", 0, 0, 6020, -1, 8400, -1, 0, 2, "Jumper", 0,
               {0, 0, 0, 0, 0, 0, 0, 0, 0},
               {0, 0, 0, 0, 0, 0, 0, 0, 0}},
    /*  21 */ {"I", 0, 0, 6021, 1, 8470, -1, 0, 2, "Isource", 0,
               {2, 0, 0, 0, 0, 0, 0, 0, 0},
               {19068, 0, 0, 0, 0, 0, 0, 0, 0}},
    /*  22 */ {"X", 2, 2, 6022, -1, 8510, -1, 0, -1, "Macro", 0,
               {4, 0, 0, 0, 0, 0, 0, 0, 0},
               {19013, 0, 0, 0, 0, 0, 0, 0, 0}},
    /*  23 */ {"T", 0, 0, 6023, -1, 8400, -1, 0, 1, "Tie", 0,
               {0, 0, 0, 0, 0, 0, 0, 0, 0},
               {0, 0, 0, 0, 0, 0, 0, 0, 0}},
    /*  24 */ {"J", 0, 0, 6024, 24, 8450, 17, 0x80, 3, "PJFET", 0,
               {2, 3, 0, 0, 0, 0, 0, 0, 0},
               {19043, 19001, 0, 0, 0, 0, 0, 0, 0}},
    /*  25 */ {"J", 0, 0, 6025, 24, 8450, 4, 0x80, 3, "NJFET", 0,
               {2, 3, 0, 0, 0, 0, 0, 0, 0},
               {19043, 19001, 0, 0, 0, 0, 0, 0, 0}},
    /*  26 */ {"G", 0, 0, 6026, 26, 8490, -1, 0x4000, 4, "IofV", 0,
               {2, 0, 0, 0, 0, 0, 0, 0, 0},
               {19063, 0, 0, 0, 0, 0, 0, 0, 0}},
    /*  27 */ {"F", 0, 0, 6027, 26, 8490, -1, 0x4000, 4, "IofI", 0,
               {2, 0, 0, 0, 0, 0, 0, 0, 0},
               {19063, 0, 0, 0, 0, 0, 0, 0, 0}},
    /*  28 */ {"E", 0, 0, 6028, 26, 8490, -1, 0x4000, 4, "VofV", 0,
               {2, 0, 0, 0, 0, 0, 0, 0, 0},
               {19063, 0, 0, 0, 0, 0, 0, 0, 0}},
    /*  29 */ {"H", 0, 0, 6029, 26, 8490, -1, 0x4000, 4, "VofI", 0,
               {2, 0, 0, 0, 0, 0, 0, 0, 0},
               {19063, 0, 0, 0, 0, 0, 0, 0, 0}},
    /*  30 */ {"V", 0, 0, 6030, 1, 8470, -1, 0x8800, 2, "VSpice", 0,
               {2, 0, 0, 0, 0, 0, 0, 0, 0},
               {19050, 0, 0, 0, 0, 0, 0, 0, 0}},
    /*  31 */ {"G", 0, 0, 6031, 31, 8490, -1, 0x4000, 4, "LFIofV", 0,
               {24, 0, 0, 0, 0, 0, 0, 0, 0},
               {19018, 0, 0, 0, 0, 0, 0, 0, 0}},
    /*  32 */ {"F", 0, 0, 6032, 31, 8490, -1, 0x4000, 4, "LFIofI", 0,
               {24, 0, 0, 0, 0, 0, 0, 0, 0},
               {19018, 0, 0, 0, 0, 0, 0, 0, 0}},
    /*  33 */ {"E", 0, 0, 6033, 31, 8490, -1, 0x4000, 4, "LFVofV", 0,
               {24, 0, 0, 0, 0, 0, 0, 0, 0},
               {19018, 0, 0, 0, 0, 0, 0, 0, 0}},
    /*  34 */ {"H", 0, 0, 6034, 31, 8490, -1, 0x4000, 4, "LFVofI", 0,
               {24, 0, 0, 0, 0, 0, 0, 0, 0},
               {19018, 0, 0, 0, 0, 0, 0, 0, 0}},
    /*  35 */ {"G", 0, 0, 6035, 35, 8470, -1, 0xC000, 2, "NFI", 0,
               {2, 25, 58, 86, 0, 0, 0, 0, 0},
               {19015, 19045, 19056, 19074, 0, 0, 0, 0, 0}},
    /*  36 */ {"Q", 0, 0, 6006, 6, 8500, 2, 0x10, 4, "NPN4", 0,
               {2, 3, 0, 0, 0, 0, 0, 0, 0},
               {19042, 19001, 0, 0, 0, 0, 0, 0, 0}},
    /*  37 */ {"E", 0, 0, 6037, 35, 8470, -1, 0xC000, 2, "NFV", 0,
               {2, 25, 86, 0, 0, 0, 0, 0, 0},
               {19014, 19045, 19074, 0, 0, 0, 0, 0, 0}},
    /*  38 */ {"Q", 0, 0, 6007, 6, 8500, 38, 0x10, 4, "PNP4", 0,
               {2, 3, 0, 0, 0, 0, 0, 0, 0},
               {19042, 19001, 0, 0, 0, 0, 0, 0, 0}},
    /*  39 */ {"G", 0, 0, 6039, 39, 8490, -1, 0x4000, 4, "NTIofV", 0,
               {23, 0, 0, 0, 0, 0, 0, 0, 0},
               {19016, 0, 0, 0, 0, 0, 0, 0, 0}},
    /*  40 */ {"F", 0, 0, 6040, 39, 8490, -1, 0x4000, 4, "NTIofI", 0,
               {23, 0, 0, 0, 0, 0, 0, 0, 0},
               {19016, 0, 0, 0, 0, 0, 0, 0, 0}},
    /*  41 */ {"E", 0, 0, 6041, 39, 8490, -1, 0x4000, 4, "NTVofV", 0,
               {23, 0, 0, 0, 0, 0, 0, 0, 0},
               {19016, 0, 0, 0, 0, 0, 0, 0, 0}},
    /*  42 */ {"H", 0, 0, 6042, 39, 8490, -1, 0x4000, 4, "NTVofI", 0,
               {23, 0, 0, 0, 0, 0, 0, 0, 0},
               {19016, 0, 0, 0, 0, 0, 0, 0, 0}},
    /*  43 */ {"G", 0, 0, 6043, 43, 8490, -1, 0x4000, 4, "LTIofV", 0,
               {25, 34, 0, 0, 0, 0, 0, 0, 0},
               {19017, 19066, 0, 0, 0, 0, 0, 0, 0}},
    /*  44 */ {"F", 0, 0, 6044, 43, 8490, -1, 0x4000, 4, "LTIofI", 0,
               {25, 34, 0, 0, 0, 0, 0, 0, 0},
               {19017, 19066, 0, 0, 0, 0, 0, 0, 0}},
    /*  45 */ {"E", 0, 0, 6045, 43, 8490, -1, 0x4000, 4, "LTVofV", 0,
               {25, 34, 0, 0, 0, 0, 0, 0, 0},
               {19017, 19066, 0, 0, 0, 0, 0, 0, 0}},
    /*  46 */ {"H", 0, 0, 6046, 43, 8490, -1, 0x4000, 4, "LTVofI", 0,
               {25, 34, 0, 0, 0, 0, 0, 0, 0},
               {19017, 19066, 0, 0, 0, 0, 0, 0, 0}},
    /*  47 */ {" ", 0, 0, 6047, -1, 8401, -1, 0, 0, "Blank", 0,
               {19, 0, 0, 0, 0, 0, 0, 0, 0},
               {19037, 0, 0, 0, 0, 0, 0, 0, 0}},
    /*  48 */ {"B", 0, 0, 6048, 48, 8450, 9, 0x40, 3, "GaAsFET", 0,
               {2, 3, 0, 0, 0, 0, 0, 0, 0},
               {19043, 19001, 0, 0, 0, 0, 0, 0, 0}},
    /*  49 */ {"X", 2, 2, 6049, -1, 8510, -1, 0, -1, "Subckt", 0,
               {5, 4, 29, 31, 0, 0, 0, 0, 0},
               {19008, 19009, 19010, 19011, 0, 0, 0, 0, 0}},
    /*  50 */ {"G", 0, 0, 6050, 50, 8470, -1, 0xC000, 2, "GIofV", 0,
               {2, 0, 0, 0, 0, 0, 0, 0, 0},
               {19019, 0, 0, 0, 0, 0, 0, 0, 0}},
    /*  51 */ {"F", 0, 0, 6051, 50, 8470, -1, 0xC000, 2, "FIofI", 0,
               {2, 0, 0, 0, 0, 0, 0, 0, 0},
               {19020, 0, 0, 0, 0, 0, 0, 0, 0}},
    /*  52 */ {"E", 0, 0, 6052, 50, 8470, -1, 0xC000, 2, "EVofV", 0,
               {2, 0, 0, 0, 0, 0, 0, 0, 0},
               {19019, 0, 0, 0, 0, 0, 0, 0, 0}},
    /*  53 */ {"H", 0, 0, 6053, 50, 8470, -1, 0xC000, 2, "HVofI", 0,
               {2, 0, 0, 0, 0, 0, 0, 0, 0},
               {19020, 0, 0, 0, 0, 0, 0, 0, 0}},
    /*  54 */ {"N", 1, 2, 6054, -1, 8600, 19, 0, 4, "N", 0x1000,
               {0, 3, 7, 35, 0, 0, 0, 0, 0},
               {0, 19001, 19022, 19039, 0, 0, 0, 0, 0}},
    /*  55 */ {"O", 1, 2, 6055, -1, 8590, 18, 0, 3, "O", 0x1000,
               {0, 3, 7, 0, 0, 0, 0, 0, 0},
               {0, 19001, 19022, 0, 0, 0, 0, 0, 0}},
    /*  56 */ {"U", 1, 2, 6056, -1, 8570, 20, 0, -1, "ADC", 0x2020,
               {0, 6, 7, 8, 9, 10, 11, 0, 0},
               {0, 19021, 19022, 19023, 19024, 19025, 19026, 0, 0}},
    /*  57 */ {"U", 1, 2, 6057, -1, 8580, 21, 0, -1, "DAC", 0x2020,
               {0, 6, 7, 8, 9, 10, 11, 0, 0},
               {0, 19021, 19022, 19023, 19024, 19025, 19026, 0, 0}},
    /*  58 */ {"U", 1, 1, 6058, -1, 8410, 22, 0, 2, "BUF", 0x111000,
               {0, 6, 7, 8, 9, 10, 11, 0, 0},
               {0, 19021, 19022, 19023, 19024, 19025, 19026, 0, 0}},
    /*  59 */ {"U", 1, 1, 6058, -1, 8410, 22, 0, 2, "INV", 0x111000,
               {0, 6, 7, 8, 9, 10, 11, 0, 0},
               {0, 19021, 19022, 19023, 19024, 19025, 19026, 0, 0}},
    /*  60 */ {"U", 1, 1, 6058, -1, 8410, 22, 0, -1, "AND", 0x142001,
               {0, 6, 7, 8, 9, 10, 11, 0, 0},
               {0, 19021, 19022, 19023, 19024, 19025, 19026, 0, 0}},
    /*  61 */ {"U", 1, 1, 6058, -1, 8410, 22, 0, -1, "NAND", 0x142001,
               {0, 6, 7, 8, 9, 10, 11, 0, 0},
               {0, 19021, 19022, 19023, 19024, 19025, 19026, 0, 0}},
    /*  62 */ {"U", 1, 1, 6058, -1, 8410, 22, 0, -1, "OR", 0x142001,
               {0, 6, 7, 8, 9, 10, 11, 0, 0},
               {0, 19021, 19022, 19023, 19024, 19025, 19026, 0, 0}},
    /*  63 */ {"U", 1, 1, 6058, -1, 8410, 22, 0, -1, "NOR", 0x142001,
               {0, 6, 7, 8, 9, 10, 11, 0, 0},
               {0, 19021, 19022, 19023, 19024, 19025, 19026, 0, 0}},
    /*  64 */ {"U", 1, 1, 6058, -1, 8410, 22, 0, 3, "XOR", 0x121000,
               {0, 6, 7, 8, 9, 10, 11, 0, 0},
               {0, 19021, 19022, 19023, 19024, 19025, 19026, 0, 0}},
    /*  65 */ {"U", 1, 1, 6058, -1, 8410, 22, 0, 3, "NXOR", 0x121000,
               {0, 6, 7, 8, 9, 10, 11, 0, 0},
               {0, 19021, 19022, 19023, 19024, 19025, 19026, 0, 0}},
    /*  66 */ {"U", 1, 1, 6058, -1, 58, 0, 0, 0, "BUFA", 0x10002100,
               {0, 6, 7, 8, 9, 10, 11, 0, 0},
               {0, 19021, 19022, 19023, 19024, 19025, 19026, 0, 0}},
    /*  67 */ {"U", 1, 1, 6058, -1, 59, 0, 0, 0, "INVA", 0x10002100,
               {0, 6, 7, 8, 9, 10, 11, 0, 0},
               {0, 19021, 19022, 19023, 19024, 19025, 19026, 0, 0}},
    /*  68 */ {"U", 1, 1, 6058, -1, 60, 0, 0, 0, "ANDA", 0x10004100,
               {0, 6, 7, 8, 9, 10, 11, 0, 0},
               {0, 19021, 19022, 19023, 19024, 19025, 19026, 0, 0}},
    /*  69 */ {"U", 1, 1, 6058, -1, 61, 0, 0, 0, "NANDA", 0x10004100,
               {0, 6, 7, 8, 9, 10, 11, 0, 0},
               {0, 19021, 19022, 19023, 19024, 19025, 19026, 0, 0}},
    /*  70 */ {"U", 1, 1, 6058, -1, 62, 0, 0, 0, "ORA", 0x10004100,
               {0, 6, 7, 8, 9, 10, 11, 0, 0},
               {0, 19021, 19022, 19023, 19024, 19025, 19026, 0, 0}},
    /*  71 */ {"U", 1, 1, 6058, -1, 63, 0, 0, 0, "NORA", 0x10004100,
               {0, 6, 7, 8, 9, 10, 11, 0, 0},
               {0, 19021, 19022, 19023, 19024, 19025, 19026, 0, 0}},
    /*  72 */ {"U", 1, 1, 6058, -1, 64, 0, 0, 0, "XORA", 0x10002100,
               {0, 6, 7, 8, 9, 10, 11, 0, 0},
               {0, 19021, 19022, 19023, 19024, 19025, 19026, 0, 0}},
    /*  73 */ {"U", 1, 1, 6058, -1, 65, 0, 0, 0, "NXORA", 0x10002100,
               {0, 6, 7, 8, 9, 10, 11, 0, 0},
               {0, 19021, 19022, 19023, 19024, 19025, 19026, 0, 0}},
    /*  74 */ {"U", 1, 1, 6058, -1, 8410, 22, 0, -1, "AO", 0x144101,
               {0, 6, 7, 8, 9, 10, 11, 0, 0},
               {0, 19021, 19022, 19023, 19024, 19025, 19026, 0, 0}},
    /*  75 */ {"U", 1, 1, 6058, -1, 8410, 22, 0, -1, "OA", 0x144101,
               {0, 6, 7, 8, 9, 10, 11, 0, 0},
               {0, 19021, 19022, 19023, 19024, 19025, 19026, 0, 0}},
    /*  76 */ {"U", 1, 1, 6058, -1, 8410, 22, 0, -1, "AOI", 0x144101,
               {0, 6, 7, 8, 9, 10, 11, 0, 0},
               {0, 19021, 19022, 19023, 19024, 19025, 19026, 0, 0}},
    /*  77 */ {"U", 1, 1, 6058, -1, 8410, 22, 0, -1, "OAI", 0x144101,
               {0, 6, 7, 8, 9, 10, 11, 0, 0},
               {0, 19021, 19022, 19023, 19024, 19025, 19026, 0, 0}},
    /*  78 */ {"U", 1, 1, 6078, -1, 8410, 23, 0, 3, "BUF3", 0x191000,
               {0, 6, 7, 8, 9, 10, 11, 0, 0},
               {0, 19021, 19022, 19023, 19024, 19025, 19026, 0, 0}},
    /*  79 */ {"U", 1, 1, 6078, -1, 8410, 23, 0, 3, "INV3", 0x191000,
               {0, 6, 7, 8, 9, 10, 11, 0, 0},
               {0, 19021, 19022, 19023, 19024, 19025, 19026, 0, 0}},
    /*  80 */ {"U", 1, 1, 6078, -1, 8410, 23, 0, -1, "AND3", 0x1C2001,
               {0, 6, 7, 8, 9, 10, 11, 0, 0},
               {0, 19021, 19022, 19023, 19024, 19025, 19026, 0, 0}},
    /*  81 */ {"U", 1, 1, 6078, -1, 8410, 23, 0, -1, "NAND3", 0x1C2001,
               {0, 6, 7, 8, 9, 10, 11, 0, 0},
               {0, 19021, 19022, 19023, 19024, 19025, 19026, 0, 0}},
    /*  82 */ {"U", 1, 1, 6078, -1, 8410, 23, 0, -1, "OR3", 0x1C2001,
               {0, 6, 7, 8, 9, 10, 11, 0, 0},
               {0, 19021, 19022, 19023, 19024, 19025, 19026, 0, 0}},
    /*  83 */ {"U", 1, 1, 6078, -1, 8410, 23, 0, -1, "NOR3", 0x1C2001,
               {0, 6, 7, 8, 9, 10, 11, 0, 0},
               {0, 19021, 19022, 19023, 19024, 19025, 19026, 0, 0}},
    /*  84 */ {"U", 1, 1, 6078, -1, 8410, 23, 0, 4, "XOR3", 0x1A1000,
               {0, 6, 7, 8, 9, 10, 11, 0, 0},
               {0, 19021, 19022, 19023, 19024, 19025, 19026, 0, 0}},
    /*  85 */ {"U", 1, 1, 6078, -1, 8410, 23, 0, 4, "NXOR3", 0x1A1000,
               {0, 6, 7, 8, 9, 10, 11, 0, 0},
               {0, 19021, 19022, 19023, 19024, 19025, 19026, 0, 0}},
    /*  86 */ {"U", 1, 1, 6078, -1, 78, 0, 0, 0, "BUF3A", 0x10002100,
               {0, 0, 0, 0, 0, 0, 0, 0, 0},
               {0, 0, 0, 0, 0, 0, 0, 0, 0}},
    /*  87 */ {"U", 1, 1, 6078, -1, 79, 0, 0, 0, "INV3A", 0x10002100,
               {0, 0, 0, 0, 0, 0, 0, 0, 0},
               {0, 0, 0, 0, 0, 0, 0, 0, 0}},
    /*  88 */ {"U", 1, 1, 6078, -1, 80, 0, 0, 0, "AND3A", 0x10004100,
               {0, 0, 0, 0, 0, 0, 0, 0, 0},
               {0, 0, 0, 0, 0, 0, 0, 0, 0}},
    /*  89 */ {"U", 1, 1, 6078, -1, 81, 0, 0, 0, "NAND3A", 0x10004100,
               {0, 0, 0, 0, 0, 0, 0, 0, 0},
               {0, 0, 0, 0, 0, 0, 0, 0, 0}},
    /*  90 */ {"U", 1, 1, 6078, -1, 82, 0, 0, 0, "OR3A", 0x10004100,
               {0, 0, 0, 0, 0, 0, 0, 0, 0},
               {0, 0, 0, 0, 0, 0, 0, 0, 0}},
    /*  91 */ {"U", 1, 1, 6078, -1, 83, 0, 0, 0, "NOR3A", 0x10004100,
               {0, 0, 0, 0, 0, 0, 0, 0, 0},
               {0, 0, 0, 0, 0, 0, 0, 0, 0}},
    /*  92 */ {"U", 1, 1, 6078, -1, 84, 0, 0, 0, "XOR3A", 0x10002100,
               {0, 0, 0, 0, 0, 0, 0, 0, 0},
               {0, 0, 0, 0, 0, 0, 0, 0, 0}},
    /*  93 */ {"U", 1, 1, 6078, -1, 85, 0, 0, 0, "NXOR3A", 0x10002100,
               {0, 0, 0, 0, 0, 0, 0, 0, 0},
               {0, 0, 0, 0, 0, 0, 0, 0, 0}},
    /*  94 */ {"U", 1, 1, 6094, -1, 8520, 24, 0, 7, "JKFF", 0x2100,
               {0, 6, 7, 8, 9, 10, 11, 0, 0},
               {0, 19021, 19022, 19023, 19024, 19025, 19026, 0, 0}},
    /*  95 */ {"U", 1, 1, 6094, -1, 8530, 24, 0, 6, "DFF", 0x2100,
               {0, 6, 7, 8, 9, 10, 11, 0, 0},
               {0, 19021, 19022, 19023, 19024, 19025, 19026, 0, 0}},
    /*  96 */ {"U", 1, 1, 6096, -1, 8540, 25, 0, 7, "SRFF", 0x2100,
               {0, 6, 7, 8, 9, 10, 11, 0, 0},
               {0, 19021, 19022, 19023, 19024, 19025, 19026, 0, 0}},
    /*  97 */ {"U", 1, 1, 6096, -1, 8550, 25, 0, 6, "DLTCH", 0x2100,
               {0, 6, 7, 8, 9, 10, 11, 0, 0},
               {0, 19021, 19022, 19023, 19024, 19025, 19026, 0, 0}},
    /*  98 */ {"U", 1, 1, 6098, -1, 8650, -1, 0, 1, "PULLUP", 0x102100,
               {0, 7, 9, 10, 11, 0, 0, 0, 0},
               {0, 19022, 19024, 19025, 19026, 0, 0, 0, 0}},
    /*  99 */ {"U", 1, 1, 6098, -1, 8650, -1, 0, 1, "PULLDN", 0x102100,
               {0, 7, 9, 10, 11, 0, 0, 0, 0},
               {0, 19022, 19024, 19025, 19026, 0, 0, 0, 0}},
    /* 100 */ {"U", 1, 1, 6100, -1, 8410, 26, 0, 2, "DLYLINE", 0x111000,
               {0, 6, 7, 8, 9, 10, 11, 0, 0},
               {0, 19021, 19022, 19023, 19024, 19025, 19026, 0, 0}},
    /* 101 */ {"U", 1, 1, 6101, -1, 8410, 27, 0, -1, "PLAND", 0x244003,
               {0, 6, 7, 4, 18, 8, 9, 10, 11},
               {0, 19021, 19022, 19012, 19034, 19023, 19024, 19025, 19026}},
    /* 102 */ {"U", 1, 1, 6101, -1, 8410, 27, 0, -1, "PLOR", 0x244003,
               {0, 6, 7, 4, 18, 8, 9, 10, 11},
               {0, 19021, 19022, 19012, 19034, 19023, 19024, 19025, 19026}},
    /* 103 */ {"U", 1, 1, 6101, -1, 8410, 27, 0, -1, "PLXOR", 0x244003,
               {0, 6, 7, 4, 18, 8, 9, 10, 11},
               {0, 19021, 19022, 19012, 19034, 19023, 19024, 19025, 19026}},
    /* 104 */ {"U", 1, 1, 6101, -1, 8410, 27, 0, -1, "PLNAND", 0x244003,
               {0, 6, 7, 4, 18, 8, 9, 10, 11},
               {0, 19021, 19022, 19012, 19034, 19023, 19024, 19025, 19026}},
    /* 105 */ {"U", 1, 1, 6101, -1, 8410, 27, 0, -1, "PLNOR", 0x244003,
               {0, 6, 7, 4, 18, 8, 9, 10, 11},
               {0, 19021, 19022, 19012, 19034, 19023, 19024, 19025, 19026}},
    /* 106 */ {"U", 1, 1, 6101, -1, 8410, 27, 0, -1, "PLNXOR", 0x244003,
               {0, 6, 7, 4, 18, 8, 9, 10, 11},
               {0, 19021, 19022, 19012, 19034, 19023, 19024, 19025, 19026}},
    /* 107 */ {"U", 1, 1, 6101, -1, 8410, 27, 0, -1, "PLANDC", 0x244003,
               {0, 6, 7, 4, 18, 8, 9, 10, 11},
               {0, 19021, 19022, 19012, 19034, 19023, 19024, 19025, 19026}},
    /* 108 */ {"U", 1, 1, 6101, -1, 8410, 27, 0, -1, "PLORC", 0x244003,
               {0, 6, 7, 4, 18, 8, 9, 10, 11},
               {0, 19021, 19022, 19012, 19034, 19023, 19024, 19025, 19026}},
    /* 109 */ {"U", 1, 1, 6101, -1, 8410, 27, 0, -1, "PLXORC", 0x244003,
               {0, 6, 7, 4, 18, 8, 9, 10, 11},
               {0, 19021, 19022, 19012, 19034, 19023, 19024, 19025, 19026}},
    /* 110 */ {"U", 1, 1, 6101, -1, 8410, 27, 0, -1, "PLNANDC", 0x244003,
               {0, 6, 7, 4, 18, 8, 9, 10, 11},
               {0, 19021, 19022, 19012, 19034, 19023, 19024, 19025, 19026}},
    /* 111 */ {"U", 1, 1, 6101, -1, 8410, 27, 0, -1, "PLNORC", 0x244003,
               {0, 6, 7, 4, 18, 8, 9, 10, 11},
               {0, 19021, 19022, 19012, 19034, 19023, 19024, 19025, 19026}},
    /* 112 */ {"U", 1, 1, 6101, -1, 8410, 27, 0, -1, "PLNXORC", 0x244003,
               {0, 6, 7, 4, 18, 8, 9, 10, 11},
               {0, 19021, 19022, 19012, 19034, 19023, 19024, 19025, 19026}},
    /* 113 */ {"U", 1, 1, 6113, -1, 0, 28, 0, -1, "", 0x2C400C,
               {18, 6, 7, 4, 8, 10, 11, 0, 0},
               {19033, 19021, 19022, 19012, 19023, 19025, 19026, 0, 0}},
    /* 114 */ {"U", 1, 1, 6114, -1, 0, 29, 0, -1, "", 0x2C400C,
               {18, 6, 7, 4, 8, 10, 11, 0, 0},
               {19033, 19021, 19022, 19012, 19023, 19025, 19026, 0, 0}},
    /* 115 */ {"S", 0, 0, 6115, 115, 8630, 10, 0x1004000, 4, "S", 0,
               {0, 3, 0, 0, 0, 0, 0, 0, 0},
               {0, 19001, 0, 0, 0, 0, 0, 0, 0}},
    /* 116 */ {"W", 0, 0, 6116, 116, 8640, 11, 0x1004000, 2, "W", 0,
               {27, 3, 0, 0, 0, 0, 0, 0, 0},
               {19035, 19001, 0, 0, 0, 0, 0, 0, 0}},
    /* 117 */ {"U", 1, 1, 6117, -1, 8410, -1, 0, -1, "STIM", 0x204010,
               {12, 13, 7, 14, 9, 10, 11, 87, 0},
               {19027, 19028, 19022, 19029, 19024, 19025, 19026, 19228, 0}},
    /* 118 */ {"U", 1, 1, 6118, -1, 8658, 30, 0, 3, "NBTG", 0,
               {0, 6, 7, 8, 9, 10, 11, 0, 0},
               {0, 19021, 19022, 19023, 19024, 19025, 19026, 0, 0}},
    /* 119 */ {"U", 1, 1, 6119, -1, 8658, 30, 0, 3, "PBTG", 0,
               {0, 6, 7, 8, 9, 10, 11, 0, 0},
               {0, 19021, 19022, 19023, 19024, 19025, 19026, 0, 0}},
    /* 120 */ {"U", 1, 1, 6120, -1, 8510, 22, 0, -1, "LOGICEXP", 0x244003,
               {15, 6, 7, 8, 9, 10, 11, 0, 0},
               {19030, 19021, 19022, 19023, 19024, 19025, 19026, 0, 0}},
    /* 121 */ {"U", 1, 1, 6121, -1, 8510, -1, 0, -1, "PINDLY", 0x248003,
               {16, 7, 8, 9, 10, 11, 0, 0, 0},
               {19031, 19022, 19023, 19024, 19025, 19026, 0, 0, 0}},
    /* 122 */ {"U", 1, 1, 6122, -1, 8510, -1, 0, -1, "CONSTRAINT", 0x42001,
               {17, 7, 9, 10, 11, 0, 0, 0, 0},
               {19032, 19022, 19024, 19025, 19026, 0, 0, 0, 0}},
    /* 123 */ {"K", 0, 0, 6123, 123, 0, 8, 0, 0, "K", 0x1000000,
               {21, 22, 3, 0, 0, 0, 0, 0, 0},
               {19006, 19007, 19002, 0, 0, 0, 0, 0, 0}},
    /* 124 */ {"U", 1, 1, 6124, -1, 8410, -1, 0, -1, "FSTIM", 0x202002,
               {7, 4, 9, 30, 10, 11, 0, 0, 0},
               {19022, 19012, 19024, 19036, 19025, 19026, 0, 0, 0}},
    /* 125 */ {"U", 2, 1, 6125, -1, 8410, -1, 0, 1, "DIGITAL LED", 0x10000,
               {0, 7, 9, 10, 11, 0, 0, 0, 0},
               {0, 19022, 19024, 19025, 19026, 0, 0, 0, 0}},
    /* 126 */ {"U", 2, 1, 0, -1, 0, -1, 0, 0, "", 0,
               {0, 0, 0, 0, 0, 0, 0, 0, 0},
               {0, 0, 0, 0, 0, 0, 0, 0, 0}},
    /* 127 */ {"U", 2, 1, 6127, -1, 8651, -1, 0, 7, "SEVEN SEGMENT", 0,
               {0, 7, 9, 10, 11, 63, 0, 0, 0},
               {0, 19022, 19024, 19025, 19026, 19191, 0, 0, 0}},
    /* 128 */ {"U", 1, 1, 6128, -1, 8410, -1, 0, 1, "DIGITAL SWITCH", 0x100000,
               {0, 7, 9, 10, 11, 61, 90, 0, 0},
               {0, 19022, 19024, 19025, 19026, 19199, 19232, 0, 0}},
    /* 129 */ {"V", 0, 0, 6129, 1, 8410, -1, 0, 1, "ANALOG STATE", 0x100000,
               {2, 0, 0, 0, 0, 0, 0, 0, 0},
               {19044, 0, 0, 0, 0, 0, 0, 0, 0}},
    /* 130 */ {"U", 1, 1, 6130, -1, 8410, -1, 0, 1, "DIGITAL STATE", 0x100000,
               {2, 7, 9, 10, 11, 0, 0, 0, 0},
               {19070, 19022, 19024, 19025, 19026, 0, 0, 0, 0}},
    /* 131 */ {"G", 0, 0, 6131, 31, 8490, -1, 0x4000, 4, "ZLFIofV", 0,
               {37, 36, 0, 0, 0, 0, 0, 0, 0},
               {19049, 19048, 0, 0, 0, 0, 0, 0, 0}},
    /* 132 */ {"F", 0, 0, 6131, 31, 8490, -1, 0x4000, 4, "ZLFIofI", 0,
               {37, 36, 0, 0, 0, 0, 0, 0, 0},
               {19049, 19048, 0, 0, 0, 0, 0, 0, 0}},
    /* 133 */ {"E", 0, 0, 6131, 31, 8490, -1, 0x4000, 4, "ZLFVofV", 0,
               {37, 36, 0, 0, 0, 0, 0, 0, 0},
               {19049, 19048, 0, 0, 0, 0, 0, 0, 0}},
    /* 134 */ {"H", 0, 0, 6131, 31, 8490, -1, 0x4000, 4, "ZLFVofI", 0,
               {37, 36, 0, 0, 0, 0, 0, 0, 0},
               {19049, 19048, 0, 0, 0, 0, 0, 0, 0}},
    /* 135 */ {"S", 0, 0, 6132, 135, 8470, -1, 0xC000, 2, "SAMPLE_AND_HOLD", 0,
               {38, 39, 40, 0, 0, 0, 0, 0, 0},
               {19051, 19185, 19052, 0, 0, 0, 0, 0, 0}},
    /* 136 */ {"X", 0, 0, 6144, 136, 8680, -1, 0, -1, "N_PORT", 0,
               {4, 0, 0, 0, 0, 0, 0, 0, 0},
               {19580, 0, 0, 0, 0, 0, 0, 0, 0}},
    /* 137 */ {"Switch", 0, 0, 6134, -1, 8651, -1, 0x48000, 2, "ANIMATED SPST SWITCH", 0,
               {0, 61, 69, 70, 90, 0, 0, 0, 0},
               {0, 19199, 19230, 19231, 19232, 0, 0, 0, 0}},
    /* 138 */ {"Switch", 0, 0, 6135, -1, 8651, -1, 0x400000, 3, "ANIMATED SPDT SWITCH", 0,
               {0, 61, 69, 70, 90, 0, 0, 0, 0},
               {0, 19199, 19230, 19231, 19232, 0, 0, 0, 0}},
    /* 139 */ {"Switch", 0, 0, 6136, -1, 8651, -1, 0x800000, 4, "ANIMATED DPST SWITCH", 0,
               {0, 61, 69, 70, 90, 0, 0, 0, 0},
               {0, 19199, 19230, 19231, 19232, 0, 0, 0, 0}},
    /* 140 */ {"Light", 0, 0, 6137, -1, 8668, -1, 0x80000, 3, "ANIMATED TRAFFIC LIGHT", 0,
               {0, 62, 0, 0, 0, 0, 0, 0, 0},
               {0, 19218, 0, 0, 0, 0, 0, 0, 0}},
    /* 141 */ {"Led", 0, 0, 6138, -1, 8480, -1, 0x48000, 2, "ANIMATED ANALOG LED", 0,
               {0, 76, 77, 0, 0, 0, 0, 0, 0},
               {0, 19219, 0, 0, 0, 0, 0, 0, 0}},
    /* 142 */ {"Meter", 0, 0, 6139, -1, 8470, -1, 0x48000, 2, "ANIMATED METER", 0,
               {0, 65, 64, 74, 75, 73, 72, 89, 0},
               {0, 19220, 19221, 19222, 19223, 19224, 19225, 19229, 0}},
    /* 143 */ {"Bar", 0, 0, 6140, -1, 8470, -1, 0x48000, 2, "ANIMATED ANALOG BAR", 0,
               {0, 65, 64, 0, 0, 0, 0, 0, 0},
               {0, 19226, 19227, 0, 0, 0, 0, 0, 0}},
    /* 144 */ {"Relay", 0, 0, 6141, -1, 8490, -1, 0x100000, 4, "ANIMATED RELAY", 0,
               {0, 66, 91, 67, 68, 69, 70, 92, 0},
               {0, 19213, 19233, 19214, 19215, 19216, 19217, 19234, 0}},
    /* 145 */ {"Motor", 0, 0, 6142, -1, 8671, -1, 0x248000, 3, "ANIMATED DC MOTOR", 0,
               {0, 71, 78, 79, 0, 0, 0, 0, 0},
               {0, 19210, 19211, 19212, 0, 0, 0, 0, 0}},
    /* 146 */ {"Timer", 0, 0, 6143, -1, 8675, -1, 0, 4, "Timer", 0,
               {0, 80, 81, 82, 83, 84, 85, 0, 0},
               {0, 19192, 19193, 19195, 19196, 19197, 19198, 0, 0}},
};
// clang-format on

namespace {

// Default pin names: pin i of a type is named by the text with id class + i.
const MessageRow kCdPinNameRows[] = {
    {8420, "Collector"},
    {8421, "Base"},
    {8422, "Emitter"},
    {8430, "Drain"},
    {8431, "Gate"},
    {8432, "Source"},
    {8433, "Body"},
    {8450, "Drain"},
    {8451, "Gate"},
    {8452, "Source"},
    {8460, "Plus input"},
    {8461, "Minus input"},
    {8462, "VEE"},
    {8463, "Output"},
    {8464, "VCC"},
    {8470, "Plus"},
    {8471, "Minus"},
    {8480, "Anode"},
    {8481, "Cathode"},
    {8490, "Plus Output"},
    {8491, "Minus Output"},
    {8492, "Plus Input"},
    {8493, "Minus Input"},
    {8500, "Collector"},
    {8501, "Base"},
    {8502, "Emitter"},
    {8503, "Substrate"},
    {8520, "PREB"},
    {8521, "CLRB"},
    {8522, "CLKB"},
    {8523, "J"},
    {8524, "K"},
    {8525, "Q"},
    {8526, "QB"},
    {8530, "PREB"},
    {8531, "CLRB"},
    {8532, "CLK"},
    {8533, "D"},
    {8534, "Q"},
    {8535, "QB"},
    {8540, "PREB"},
    {8541, "CLRB"},
    {8542, "GATE"},
    {8543, "S"},
    {8544, "R"},
    {8545, "Q"},
    {8546, "QB"},
    {8550, "PREB"},
    {8551, "CLRB"},
    {8552, "GATE"},
    {8553, "D"},
    {8554, "Q"},
    {8555, "QB"},
    {8570, "In"},
    {8571, "Ref"},
    {8572, "Gnd"},
    {8573, "Convert"},
    {8574, "Status"},
    {8575, "Over-range"},
    {8580, "Out"},
    {8581, "Ref"},
    {8582, "Gnd"},
    {8590, "Analog"},
    {8591, "Reference"},
    {8592, "Digital"},
    {8600, "Analog"},
    {8601, "Low-level"},
    {8602, "High-level"},
    {8603, "Digital"},
    {8630, "Plus Output"},
    {8631, "Minus Output"},
    {8632, "Plus Control"},
    {8633, "Minus Control"},
    {8635, "A+"},
    {8636, "A-"},
    {8637, "B+"},
    {8638, "B-"},
    {8640, "Plus Output"},
    {8641, "Minus Output"},
    {8650, "Digital"},
    {8651, "A"},
    {8652, "B"},
    {8653, "C"},
    {8654, "D"},
    {8655, "E"},
    {8656, "F"},
    {8657, "G"},
    {8658, "Gate Node"},
    {8659, "Channel Node 1"},
    {8660, "Channel Node 2"},
    {8668, "Red"},
    {8669, "Yellow"},
    {8670, "Green"},
    {8671, "Plus"},
    {8672, "Minus"},
    {8673, "Velocity"},
    {8675, "ELAPSED"},
    {8676, "COUNT"},
    {8677, "LAST"},
    {8678, "RESET"},
};
constexpr int kCdPinNameRowCount = static_cast<int>(sizeof kCdPinNameRows / sizeof kCdPinNameRows[0]);

const char* cd_PinNameText(int id) {
    for (int i = 0; i < kCdPinNameRowCount; ++i)
        if (kCdPinNameRows[i].id == id) return kCdPinNameRows[i].text;
    const char* text = GetMessageText(id);
    return text ? text : "";
}

char cd_SentinelShape;

}  // namespace

void RegisterComponentMessages() { RegisterMessages(kCdPinNameRows, kCdPinNameRowCount); }

// ---- lookups ---------------------------------------------------------------------

int FindComponentType(const char* name) {
    if (!name) return -1;
    if (CompareNoCase(name, "S_PORT") == 0) return kTypeNPort;
    for (int row = 0; row < kComponentTypeCount; ++row)
        if (CompareNoCase(name, ComponentTypeTable[row].name) == 0) return row;
    return -1;
}

bool IsRealPartType(int type) {
    return IsValidComponentType(type) && type != kTypeShort && type != kTypeGround && type != kTypeJumper;
}

bool HasModelType(int type) {
    const ComponentType* row = GetComponentType(type);
    return row && row->modelType != -1;
}

const char* ModelAttributeName(int type) {
    const ComponentType* row = GetComponentType(type);
    if (!row || row->modelType == -1) return nullptr;
    return GetAttributeName(row->digital == 1 ? kAttrTimingModel : kAttrModel);
}

const char* ModelNameAttributeName(int type) {
    const ComponentType* row = GetComponentType(type);
    if (!row) return nullptr;
    if (row->modelType != -1) return ModelAttributeName(type);
    if (type == kTypeMacro || type == kTypeSubckt) return PrimaryAttributeName(type);
    return nullptr;
}

const char* PrimaryAttributeName(int type) {
    const ComponentType* row = GetComponentType(type);
    if (!row || row->attributeIds[0] == 0) return nullptr;
    const char* name = GetAttributeName(row->attributeIds[0]);
    return name && *name ? name : nullptr;
}

bool PrimaryAttributeExists(int type) {
    const ComponentType* row = GetComponentType(type);
    if (!row || type == kTypeNull || row->classCode == kClassConnector) return false;
    return IsStandardAttributeId(row->attributeIds[0]);
}

bool IsStandardAttributeOfType(int type, int attributeId) {
    const ComponentType* row = GetComponentType(type);
    if (!row || attributeId == 0) return false;
    for (int slot = 0; slot < kTypeAttributeSlots; ++slot)
        if (row->attributeIds[slot] == attributeId) return true;
    return false;
}

char* GetComponentCaption(const ComponentDef* definition, char* buffer, size_t size) {
    if (!buffer || size == 0) return buffer;
    buffer[0] = 0;
    if (!definition || !IsValidComponentType(definition->type)) return buffer;
    if (definition->memo && definition->memo[0])
        FormatBounded(buffer, size, "%s:%s", definition->Name(), definition->memo);
    else
        CopyTextBounded(buffer, definition->Name(), size);
    return buffer;
}

// ---- shapes ------------------------------------------------------------------------

namespace {

class cd_NoShapes final : public ShapeLibraryPort {
public:
    const char* ShapeName(const Shape*) override { return nullptr; }
    bool ShapeRect(const SchematicObject*, int32_t*) override { return false; }
};

PortSlot<ShapeLibraryPort, cd_NoShapes> cd_shapeLibrary;

}  // namespace

ShapeLibraryPort& ShapeLibrary() { return cd_shapeLibrary.Get(); }
ShapeLibraryPort* InstallShapeLibrary(ShapeLibraryPort* port) { return cd_shapeLibrary.Install(port); }

Shape* AutoMacroShape() { return reinterpret_cast<Shape*>(&cd_SentinelShape); }

// ---- component definitions -----------------------------------------------------------

namespace {

bool cd_IsMacroOrSubckt(int type) { return type == kTypeMacro || type == kTypeSubckt; }

// The kind letter a type accepts for a requested letter.
char cd_NormalizeKind(int type, char kind) {
    char k = LowerChar(kind);
    switch (type) {
    case kTypeMacro: return k == 'a' || k == 'd' ? k : 'a';
    case kTypeSubckt: return k == 'a' || k == 'd' || k == '?' ? k : 'a';
    case kTypeLogicExp: return k == 'i' || k == 'o' ? k : 'i';
    case kTypeConstraint: return 'i';
    case kTypePinDelay: return k == 'e' || k == 'i' || k == 'o' || k == 'r' ? k : 'i';
    default: return kind;
    }
}

// Bytes of a stored pin text: letter, name, NUL and, with an extra text, the
// extra text and its NUL.
bool cd_HasExtra(int type, const char* text) {
    return (type == kTypeMacro || type == kTypeSubckt) && HasCharClass(text[0], CC_UPPER);
}

size_t cd_StoredTextSize(int type, const char* text) {
    if (!text[0]) return 1;
    size_t n = 1 + std::strlen(text + 1) + 1;
    if (cd_HasExtra(type, text)) n += std::strlen(text + n) + 1;
    return n;
}

void cd_FreePinText(ComponentPin& pin) {
    if (pin.heapText) MemFree(pin.heapText);
    pin.heapText = nullptr;
    std::memset(pin.inlineText, 0, sizeof pin.inlineText);
}

// Stores `size` bytes of text as the pin's text (inline when they fit).
int cd_StorePinText(ComponentPin& pin, const char* bytes, size_t size) {
    char* heap = nullptr;
    if (size > sizeof pin.inlineText) {
        heap = static_cast<char*>(MemAlloc(size));
        if (!heap) return kResultNoMemory;
        std::memcpy(heap, bytes, size);
    }
    cd_FreePinText(pin);
    if (heap)
        pin.heapText = heap;
    else
        std::memcpy(pin.inlineText, bytes, size);
    return kOk;
}

}  // namespace

void ComponentDef::Init() {
    // The pool header stays: a pool record is already linked when it is set up.
    type = 0;
    mask = 0;
    groupId = -1;
    data1 = data2 = 0;
    memo = nullptr;
    std::memset(labelOffsets, 0, sizeof labelOffsets);
    pinCount = 0;
    workMark = 0;
    name.Clear();
    pins = nullptr;
    shapeName.Clear();
    shapeLink = nullptr;
    std::memset(autoRect, 0, sizeof autoRect);
    cost = power = 0.0;
    menuCommandId = 0;
    packageMark = 0;
    defaultOrientation = 0;
}

void ComponentDef::Clear() {
    for (int i = 0; pins && i < pinCount; ++i) cd_FreePinText(pins[i]);
    if (pins) MemFree(pins);
    pins = nullptr;
    pinCount = 0;
    name.Clear();
    FreeString(&memo);
    memo = nullptr;
    shapeName.Clear();
    type = 0;
    mask = 0;
    groupId = 0;
    data1 = data2 = 0;
    shapeLink = nullptr;
}

void ComponentDef::Destroy(PoolItem* item) {
    if (item) static_cast<ComponentDef*>(item)->Clear();
}

void ComponentDef::InitPool(ObjectPool* pool) {
    if (!pool) return;
    pool->Init();
    pool->Holds<ComponentDef, &ComponentDef::Destroy>();
}

int ComponentDef::ClassCode() const {
    const ComponentType* row = TypeRow();
    return row ? row->classCode : 0;
}

const char* ComponentDef::SetName(const char* text) {
    name.Set(text);
    return Name();
}

const char* ComponentDef::SetMemo(const char* text) {
    if (!text) {
        FreeString(&memo);
        memo = nullptr;
        return "";
    }
    SetString(&memo, text);
    return Memo();
}

void ComponentDef::SetShapeLink(Shape* shape) {
    shapeLink = shape;
    if (!shape) return;
    if (shape == AutoMacroShape()) {
        shapeName.Set(kAutoMacroShapeName);
    } else if (const char* name = ShapeLibrary().ShapeName(shape)) {
        shapeName.Set(name);
    }
}

void ComponentDef::SetAutoRect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    autoRect[0] = static_cast<int16_t>(left);
    autoRect[1] = static_cast<int16_t>(top);
    autoRect[2] = static_cast<int16_t>(right);
    autoRect[3] = static_cast<int16_t>(bottom);
}

// ---- pins ----

int ComponentDef::ResizePins(int n) {
    if (n < 0 || n > INT16_MAX) return kResultMissingParam;
    int old = pins ? pinCount : 0;
    if (n == old) return kOk;
    if (n == 0) {
        for (int i = 0; i < old; ++i) cd_FreePinText(pins[i]);
        MemFree(pins);
        pins = nullptr;
        pinCount = 0;
        return kOk;
    }
    if (n < old) {
        for (int i = n; i < old; ++i) cd_FreePinText(pins[i]);
        // Shrinking in place is enough should the smaller block not come.
        void* field = pins;
        if (ReallocBlock(&field, static_cast<size_t>(n) * sizeof(ComponentPin)))
            pins = static_cast<ComponentPin*>(field);
        pinCount = static_cast<int16_t>(n);
        return kOk;
    }
    void* field = pins;
    if (!ResizeZeroed(&field, static_cast<size_t>(n) * sizeof(ComponentPin),
                      static_cast<size_t>(old) * sizeof(ComponentPin)))
        return kResultNoMemory;
    pins = static_cast<ComponentPin*>(field);
    if (old == 0)
        for (int i = 0; i < n; ++i) pins[i].y = static_cast<int16_t>(2 * i);
    pinCount = static_cast<int16_t>(n);
    return kOk;
}

int ComponentDef::SetPin(int i, char kind, const char* pinName, const char* extra) {
    if (!pins || i < 0 || i >= pinCount) return kResultMissingParam;
    if (!pinName) pinName = "";
    bool hasExtra = extra && extra[0];
    char letter = cd_NormalizeKind(type, kind);
    if (cd_IsMacroOrSubckt(type)) letter = hasExtra ? UpperChar(letter) : LowerChar(letter);
    // A letter in upper case announces an extra text; other types keep no extra.
    bool storeExtra = hasExtra && cd_IsMacroOrSubckt(type);
    size_t nameLength = std::strlen(pinName);
    size_t size = 1 + nameLength + 1 + (storeExtra ? std::strlen(extra) + 1 : 0);
    char local[64];
    char* bytes = size <= sizeof local ? local : static_cast<char*>(MemAlloc(size));
    if (!bytes) return kResultNoMemory;
    bytes[0] = letter;
    std::memcpy(bytes + 1, pinName, nameLength + 1);
    if (storeExtra) std::memcpy(bytes + 2 + nameLength, extra, std::strlen(extra) + 1);
    int rc = cd_StorePinText(pins[i], bytes, size);
    if (bytes != local) MemFree(bytes);
    return rc;
}

const char* ComponentDef::PinText(int i) const {
    if (!pins || i < 0 || i >= pinCount) return "";
    return pins[i].Text();
}

char ComponentDef::PinKind(int i) const { return PinText(i)[0]; }

bool ComponentDef::PinHasExtraText(int i) const { return cd_HasExtra(type, PinText(i)); }

const char* ComponentDef::PinExtraText(int i) const {
    if (!PinHasExtraText(i)) return "";
    const char* text = PinText(i);
    return text + 1 + std::strlen(text + 1) + 1;
}

int ComponentDef::PinTextLength(int i) const {
    const char* text = PinText(i);
    if (!text[0]) return 0;
    size_t n = 1 + std::strlen(text + 1);
    if (PinHasExtraText(i)) n += 1 + std::strlen(text + n + 1);
    return static_cast<int>(n);
}

const char* ComponentDef::GetPinName(int i, char* buffer, size_t size) const {
    if (!buffer || size == 0) return "";
    buffer[0] = 0;
    if (size > kPinNameSize) size = kPinNameSize;
    const ComponentType* row = TypeRow();
    if (!row || i < 0) return buffer;
    const int cls = row->classCode;
    switch (cls) {
    case kClassConnector: FormatBounded(buffer, size, "Pin%c", 'A' + i); return buffer;
    case kClassMacro:
        if (!pins || i >= pinCount)
            CopyTextBounded(buffer, "????", size);
        else
            CopyTextBounded(buffer, pins[i].Text()[0] ? pins[i].Text() + 1 : "", size);
        return buffer;
    case kClassAdc:
        if (i <= 5)
            CopyTextBounded(buffer, cd_PinNameText(cls + i), size);
        else if (pinCount == 7)
            CopyTextBounded(buffer, "Out", size);
        else
            FormatBounded(buffer, size, "Out%d", pinCount - i - 1);
        return buffer;
    case kClassDac:
        if (i <= 2)
            CopyTextBounded(buffer, cd_PinNameText(cls + i), size);
        else if (pinCount == 4)
            CopyTextBounded(buffer, "In", size);
        else
            FormatBounded(buffer, size, "In%d", pinCount - i - 1);
        return buffer;
    case kClassNPort: FormatBounded(buffer, size, i % 2 == 0 ? "%dP" : "%dM", i / 2 + 1); return buffer;
    case kClassDigital: break;
    default:
        // Rows without a class (the reserved rows and K) have no pin names.
        if (cls > 0) CopyTextBounded(buffer, cd_PinNameText(cls + i), size);
        return buffer;
    }
    if (type == kTypeStim || type == kTypeFstim) {
        FormatBounded(buffer, size, "Out%d", pinCount - i - 1);
        return buffer;
    }
    // Walk the layout from pin 0: the name of a pin depends on how many inputs,
    // enables and outputs came before it.
    const uint32_t f = row->digitalFlags;
    const int d = data1 < 1 ? 1 : data1;
    int inputs = 0;
    bool outputs = false, enable = false;
    for (int p = 0; p <= i; ++p) {
        const bool last = p == i;
        buffer[0] = 0;
        if ((f & kDigLayoutMask) == kDigNumberedOutputs) outputs = true;
        if ((f & kDigOneInput) && p == 0) {
            if (last) CopyTextBounded(buffer, "In", size);
            inputs = 1;
            outputs = true;
        } else if ((f & kDigTwoInputs) && (p == 0 || p == 1)) {
            if (last) FormatBounded(buffer, size, "In%d", p + 1);
            inputs = 2;
            if (p == 1) outputs = true;
        } else if ((f & kDigDataInputs) && p < d) {
            if (last) {
                if (d == 1)
                    CopyTextBounded(buffer, "In", size);
                else
                    FormatBounded(buffer, size, "In%d", p);
            }
            inputs = p + 1;
            if (p + 1 == d) outputs = true;
        } else if ((f & kDigEnable) && outputs && !enable) {
            if (last) CopyTextBounded(buffer, "Enable", size);
            enable = true;
            inputs = p + 1;
        } else if (((f & kDigOneOutput) && outputs) || f == kDigOneOutput) {
            if (last) CopyTextBounded(buffer, "Out", size);
        } else if ((f & kDigNumberedOutputs) && outputs) {
            if (last) FormatBounded(buffer, size, "Out%d", p - inputs);
        }
    }
    return buffer;
}

int ComponentDef::FindPinByName(const char* text) const {
    if (!text) return -1;
    char pinName[kPinNameSize];
    for (int i = 0; i < pinCount; ++i)
        if (CompareNoCase(GetPinName(i, pinName, sizeof pinName), text) == 0) return i;
    return -1;
}

int ComponentDef::ExpectedPinCount() const {
    const ComponentType* row = TypeRow();
    if (!row) return -1;
    if (row->pinCount != -1) return row->pinCount;
    const uint32_t f = row->digitalFlags;
    switch (row->classCode) {
    case kClassDigital:
        if (f & kDigNumberedOutputs) {
            if (f & kDigInputMask) return data1 > 0 && data2 > 0 ? data1 + data2 : -1;
            return data2 >= 1 && data2 <= 32 ? data2 : -1;
        }
        if (f & kDigOneOutput) {
            const int b = (f & kDigEnable) ? 2 : 1;
            if (f & kDigOneInput) return b + 1;
            if (f & kDigTwoInputs) return b + 2;
            if (f & kDigDataInputs) return data1 > 0 ? data1 + b : -1;
        }
        return 0;
    case kClassMacro: return pinCount;
    case kClassAdc: return data1 >= 1 && data1 <= 32 ? data1 + 6 : -1;
    case kClassDac: return data1 >= 1 && data1 <= 32 ? data1 + 3 : -1;
    case kClassNPort: return 2 * data1;
    default: return 0;
    }
}

int ComponentDef::FitPinsToType(bool allowFix) {
    int n = ExpectedPinCount();
    if (n != -1) {
        if (n != pinCount) ResizePins(n);
        return 0;
    }
    if (!allowFix) return 1;
    for (int d2 = 0; d2 <= 1; ++d2) {
        for (int d1 = 0; d1 <= 1; ++d1) {
            data1 = static_cast<int16_t>(d1);
            data2 = static_cast<int16_t>(d2);
            n = ExpectedPinCount();
            if (n != -1) {
                ResizePins(n);
                return 1;
            }
        }
    }
    data1 = 2;
    data2 = 1;
    return 1;
}

int ComponentDef::CountInputPins() const {
    const ComponentType* row = TypeRow();
    if (!row) return 0;
    switch (type) {
    case kTypeReserved113: return data1 + data2 + 1;
    case kTypeReserved114: return data1 + 2 * data2 + 2;
    case kTypeNbtg:
    case kTypePbtg: return 3;
    case kTypeDigitalLed: return 1;
    case kTypeSevenSegment: return 7;
    default: break;
    }
    const uint32_t f = row->digitalFlags;
    switch (row->classCode) {
    case kClassDigital:
        if (f & kDigNumberedOutputs) return (f & kDigInputMask) ? data1 : 0;
        if (f & kDigOneOutput) {
            const int e = (f & kDigEnable) ? 1 : 0;
            if (f & kDigOneInput) return e + 1;
            if (f & kDigTwoInputs) return e + 2;
            if (f & kDigDataInputs) return data1 + e;
        }
        return 0;
    case kClassMacro: return type == kTypePinDelay ? data1 + CountPinsOfKind('r') : data1;
    case kClassAdc:
    case kClassDac: return data1;
    case 8520:
    case 8540: return 5;
    case 8530:
    case 8550: return 4;
    default: return 0;
    }
}

int ComponentDef::GetInputPinCount() const {
    if (type == kTypePullUp || type == kTypePullDown) return 1;
    return CountInputPins();
}

int ComponentDef::CountPinsOfKind(char kind) const {
    if (type != kTypeLogicExp && type != kTypePinDelay) return 0;
    int n = 0;
    for (int i = 0; i < pinCount; ++i)
        if (PinKind(i) == kind) ++n;
    return n;
}

void ComponentDef::SyncDataFromPins() {
    if (type == kTypeLogicExp || type == kTypePinDelay) {
        data1 = static_cast<int16_t>(CountPinsOfKind('i'));
        data2 = static_cast<int16_t>(CountPinsOfKind('o'));
    } else if (type == kTypeConstraint) {
        data1 = pinCount;
        data2 = 0;
    }
}

void ComponentDef::SortPinsByKind() {
    if ((type != kTypeLogicExp && type != kTypePinDelay) || !pins || pinCount < 2) return;
    auto rank = [](char k) { return k == 'o' ? 3 : k == 'e' ? 2 : k == 'r' ? 1 : 0; };
    // Insertion sort keeps pins of equal rank in their order; pin records move
    // whole, so each keeps its own text block.
    for (int i = 1; i < pinCount; ++i) {
        ComponentPin moving = pins[i];
        int r = rank(moving.Text()[0]);
        int j = i;
        while (j > 0 && rank(pins[j - 1].Text()[0]) > r) {
            pins[j] = pins[j - 1];
            --j;
        }
        pins[j] = moving;
    }
}

void ComponentDef::PindlyPinPair(int i, int* input, int* output) const {
    const int r = CountPinsOfKind('r');
    const int e = CountPinsOfKind('e');
    const int d = data1;
    int in, out;
    if (PinKind(i) == 'i') {
        in = i;
        out = r + e + d + i;
    } else {
        in = i - r - e - d;
        out = i;
    }
    if (input) *input = in;
    if (output) *output = out;
}

int ComponentDef::DeletePin(int i) {
    if (!pins || i < 0 || i >= pinCount) return kResultMissingParam;
    cd_FreePinText(pins[i]);
    std::memmove(&pins[i], &pins[i + 1], static_cast<size_t>(pinCount - i - 1) * sizeof(ComponentPin));
    std::memset(&pins[pinCount - 1], 0, sizeof(ComponentPin));
    return ResizePins(pinCount - 1);
}

int ComponentDef::CopyPinsFrom(const ComponentDef& other) {
    if (&other == this) return kOk;
    int rc = ResizePins(other.pins ? other.pinCount : 0);
    if (rc != kOk) return rc;
    for (int i = 0; i < pinCount; ++i) {
        const ComponentPin& from = other.pins[i];
        ComponentPin& to = pins[i];
        to.x = from.x;
        to.y = from.y;
        to.nameX = from.nameX;
        to.nameY = from.nameY;
        const char* text = from.Text();
        int result = cd_StorePinText(to, text, cd_StoredTextSize(other.type, text));
        if (result != kOk) rc = result;
    }
    return rc;
}

int ComponentDef::CopyDefinition(const ComponentDef& source, bool clearFirst) {
    if (&source == this) return kOk;
    if (clearFirst) Clear();
    int rc = kOk;
    type = source.type;
    mask = source.mask;
    groupId = source.groupId;
    data1 = source.data1;
    data2 = source.data2;
    if (source.memo) {
        if (!SetString(&memo, source.memo)) rc = kResultNoMemory;
    } else {
        FreeString(&memo);
        memo = nullptr;
    }
    std::memcpy(labelOffsets, source.labelOffsets, sizeof labelOffsets);
    workMark = source.workMark;
    name.Set(source.name.text());
    if (source.name.text() && !name.text()) rc = kResultNoMemory;
    shapeName.Set(source.shapeName.text());
    if (source.shapeName.text() && !shapeName.text()) rc = kResultNoMemory;
    shapeLink = source.shapeLink;
    std::memcpy(autoRect, source.autoRect, sizeof autoRect);
    cost = source.cost;
    power = source.power;
    menuCommandId = source.menuCommandId;
    packageMark = source.packageMark;
    defaultOrientation = source.defaultOrientation;
    int pinResult = CopyPinsFrom(source);
    return pinResult != kOk ? pinResult : rc;
}

int ComponentDef::SwapDefinitions(ComponentDef& a, ComponentDef& b) {
    if (&a == &b) return kOk;
    ComponentDef temp;
    int rc = temp.CopyDefinition(a, true);
    if (rc != kOk) return rc;  // nothing changed yet
    rc = a.CopyDefinition(b, true);
    int rc2 = b.CopyDefinition(temp, true);
    return rc != kOk ? rc : rc2;
}

bool ComponentDef::SamePinNames(const ComponentDef& other) const {
    if (pinCount != other.pinCount) return false;
    if (pinCount <= 0) return true;
    bool* used = static_cast<bool*>(MemAllocZero(static_cast<size_t>(pinCount) * sizeof(bool)));
    if (!used) return false;
    bool same = true;
    for (int i = 0; i < pinCount && same; ++i) {
        const char* mine = PinText(i)[0] ? PinText(i) + 1 : "";
        int match = -1;
        for (int j = 0; j < other.pinCount; ++j) {
            const char* theirs = other.PinText(j)[0] ? other.PinText(j) + 1 : "";
            if (!used[j] && CompareNoCase(mine, theirs) == 0) {
                match = j;
                break;
            }
        }
        if (match < 0)
            same = false;
        else
            used[match] = true;
    }
    MemFree(used);
    return same;
}

int ComponentDef::SetPinsFromSubcktLine(const char* line) {
    StringArray tokens;
    int rc = tokens.SplitLine(line, 0);
    if (rc != kOk) return rc;
    const int count = tokens.TokenCount();
    if (count < 2) return kResultMissingParam;
    int n = 0;
    for (int t = 2; t < count; ++t) {
        const char* token = tokens.Token(t);
        if (CompareNoCase(token, "OPTIONAL:") == 0 || CompareNoCase(token, "PARAMS:") == 0 ||
            CompareNoCase(token, "TEXT:") == 0)
            break;
        if (std::strcmp(token, ",") != 0) ++n;
    }
    SetName(tokens.Token(1));
    rc = ResizePins(n);
    if (rc != kOk) return rc;
    int j = 0;
    for (int t = 2; j < n; ++t) {
        const char* token = tokens.Token(t);
        if (std::strcmp(token, ",") == 0) continue;
        int result = SetPin(j++, 0, token, nullptr);
        if (result != kOk) rc = result;
    }
    return rc;
}

// ---- comparing definitions --------------------------------------------------------

namespace {

const char* cd_ComparedShapeName(const ComponentDef* d) {
    return d->IsAutoMacro() ? kAutoMacroShapeName : d->ShapeName();
}

}  // namespace

int DefinitionsDiffer(const ComponentDef* a, const ComponentDef* b) {
    if (!a || !b || !b->shapeLink) return 1;
    if (a->type != b->type) return 1;
    if (std::strcmp(cd_ComparedShapeName(a), cd_ComparedShapeName(b)) != 0) return 1;
    if (a->data1 != b->data1 || a->data2 != b->data2 || a->pinCount != b->pinCount) return 1;
    const bool named = a->ClassCode() == kClassMacro;
    const bool extras = cd_IsMacroOrSubckt(a->type);
    for (int i = 0; i < a->pinCount; ++i) {
        if (!a->pins || !b->pins) return a->pins != b->pins;
        const char* ta = a->PinText(i);
        const char* tb = b->PinText(i);
        if (named) {
            const char* na = ta[0] ? ta + 1 : "";
            const char* nb = tb[0] ? tb + 1 : "";
            if (std::strcmp(na, nb) != 0 || ta[0] != tb[0]) return 1;
        }
        if (extras && std::strcmp(a->PinExtraText(i), b->PinExtraText(i)) != 0) return 1;
        if (a->pins[i].x != b->pins[i].x || a->pins[i].y != b->pins[i].y) return 1;
    }
    return 0;
}
