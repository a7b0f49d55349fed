// The numeric output window of an analysis: the text window the 2D analysis
// window's Numeric Output command (F5) shows its file in.
#pragma once

// Installs the numeric output window port of the plot windows (start-up).
void InstallNumericOutputWindow();
