// The analysis limits written back as SPICE statements. For a SPICE text the
// statements are the stored form of the limits: closing an analysis replaces
// that analysis's statements in the text by ones written from the current
// limits (ApplyLimitsFromText). The netlist translation writes the same
// statements for any circuit in a chosen dialect.
//
// Every writer returns the statement text without a line end, or "" when the
// texts it is written from are empty. What they write reads back (compiler/
// analysisstmts.h, compiler/outputstmts.h) to the same limits.
#pragma once

#include <string>

class CCTDoc;

std::string FormatTranStatement(CCTDoc* document);
std::string FormatAcStatement(CCTDoc* document);
std::string FormatNoiseStatement(CCTDoc* document, int dialect);
std::string FormatDcStatement(CCTDoc* document);
// One .DC sweep variable from the DC limit texts (name and range slots) and
// its method, with a leading blank.
std::string FormatDcSweepVariable(CCTDoc* document, int nameSlot, int rangeSlot, int method);
// A temperature text as .TEMP: a list (list method), or one, two or three
// (high, low, step) values; ".TEMP 27" for none.
std::string FormatTempStatement(bool list, const char* text);
// .TEMP of an analysis kind's temperature text ("27" for kinds without one;
// "" when the text is empty).
std::string FormatTempForCurrentKind(CCTDoc* document, int kind);
// .STEP of stepping record `record` of a kind; "" for a record not in use.
std::string FormatStepStatement(CCTDoc* document, int record, int kind);
std::string FormatWatchStatement(CCTDoc* document, int kind);
// .PRINT (plot false) or .PLOT of the kind's curve rows with one plot number
// ('0'-'9'); long lines continue on "+ " lines, counted in *lineCount (may be
// null).
std::string FormatPrintPlotStatement(CCTDoc* document, int kind, int dialect, bool plot, char plotNumber,
                                     int* lineCount);
// One output item in SPICE form: suffixed variables folded back (DB(V(3))
// becomes VDB(3)), functions renamed for the dialect, an expression that is
// more than one call in parentheses.
std::string FormatPrintItem(const char* expression, int dialect);
// Whether the AC rows plot a noise quantity.
bool HasNoiseCurve(CCTDoc* document);

// The statements of an analysis kind, each ended by `lineEnd`.
std::string BuildAnalysisStatements(CCTDoc* document, int kind, bool noiseRemoved, const char* lineEnd);
// The text with the statements of the kind removed (comments and blank lines
// between them stay) and new ones inserted before .END, or at the end.
std::string RewriteAnalysisStatements(CCTDoc* document, const std::string& text, int kind);
// Closing an analysis of a SPICE text: rewrites the statements of the current
// analysis kind in the text of its first page, as one undoable edit.
void ApplyLimitsFromText(CCTDoc* document);
