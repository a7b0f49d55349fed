// Automatic ranges of a 2D analysis document: the fitting of plots/ranges.h fed
// with the document's store, runs, curve rows and run state, for the end of a
// run and the Auto Scale command. The views lay out and redraw afterwards.
#pragma once

#include "plots/ranges.h"

class CG2DDoc;

// The document's fitting context for its running kind (or the kind it shows).
FitContext FitContextOf(CG2DDoc& document);
// The fitting at the end of a run: 1 when the plot must be redrawn (something
// changed, or `force`), 0 when nothing was fitted or nothing changed.
int AutoScaleDocument(CG2DDoc& document, bool force);
// The Auto Scale command (F6) on the plot group of the current curve, for the
// axes the Enable X / Enable Y Scaling settings allow.
void AutoScaleDocumentNow(CG2DDoc& document, bool applyFormats);
