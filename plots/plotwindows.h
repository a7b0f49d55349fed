// The analysis windows of the circuits, as analysis control and the circuit
// documents reach them: the hidden 2D analysis document of every circuit or
// text document, opened as the analysis window of a run and closed with it.
#pragma once

// Installs the analysis-window and analysis-document ports and the document
// template of the 2D analysis window (start-up).
void InstallPlotWindows();
