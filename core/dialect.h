// The SPICE dialects: of text pages and files, of new text files, of compiled
// expressions and of the netlists the translator writes.
#pragma once

// SPICE dialect tags: string-table ids that name the dialect. Files and the
// settings store the numbers.
enum SpiceDialect : int {
    kSpiceDialect2G = 19601,
    kSpiceDialectPSpice = 19602,
    kSpiceDialect3 = 19603,
    kSpiceDialectAmbiguous = 19604,
    kSpiceDialectNone = 19605,  // not a SPICE file
};
