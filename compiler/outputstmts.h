// Output statements of SPICE text (.PRINT, .PLOT, .WATCH) read into the curve
// rows and watch lists of the analysis limits, and the passes the reader runs
// over the rows after a read. The statement handlers are declared with the
// statement tables (compiler/statements.h).
#pragma once

#include <string>

class CCTDoc;
struct StringArray;

// Curve row flags (CurveRow::options) besides the scale flags.
constexpr int kRowPrinted = 0x20;
constexpr int kRowScaleX = 0x40;
constexpr int kRowScaleY = 0x80;
constexpr int kRowFromPlot = 0x1000;  // made by .PLOT (only while reading)

// After a read: rows of the current analysis kind that say the same are
// merged, and the plot numbers renumbered '1', '2', ... in row order.
void MergeCurveRows(CCTDoc* document);
// After a successful read: a current kind without rows gets three in plot '1'.
void AddDefaultCurveRows(CCTDoc* document);

// The analysis kind an output statement names: "TRAN" 0, "AC" and "NOISE" 1,
// "DC" 2, "DISTO" 3, else -1.
int AnalysisKindOfWord(const char* word);
// One output item of a .PRINT/.PLOT from word `index` in the program's own
// form (VDB(3) becomes DB(V(3)), ONOISE(DB) becomes DB(ONOISE)) into *target;
// returns the index of the word after it.
int ParsePrintItem(const StringArray& words, int index, std::string* target);

void RegisterOutputStatementMessages();
