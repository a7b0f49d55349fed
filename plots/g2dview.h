// The 2D analysis window: the plot window of a transient, AC, DC or
// distortion analysis on the circuit's hidden 2D analysis document. Opening it
// is part of starting the analysis; its run commands (Run, Pause, Stop, Print
// values) drive the runs; closing it ends the analysis, keeps the window's
// placement with the circuit and keeps the document.
#pragma once

#include <string>

#include "plots/analysismenus.h"
#include "plots/apview.h"

class CG2DDoc;
class CCTDoc;

// Commands of the 2D analysis view.
enum AnalysisWindowCommand : int {
    kCmdRunAnalysis = 16068,  // F2
    kCmdPauseAnalysis = 16067,
    kCmdStopAnalysis = 16069,
    kCmdContinueAnalysis = 16070,  // Ctrl+Space (main frame)
    kCmdPrintValues = 334,
    kCmdNumericOutput = 17150,  // F5
};

// Message ids of the window.
enum AnalysisWindowMessage : int {
    kMsgAnalysisTitleFirst = 13984,  // "Transient Analysis" ... "Distortion Analysis"
    kMsgPausedHint = 17898,          // "Hit Ctrl+SPACE to continue."
    kMsgPlotFileNotOurs = 13995,     // the plot file exists and was not written by the program
    kMsgPlotFileFailed = 13996,      // the plot file could not be written
};
// Registers the texts above.
void RegisterAnalysisWindowMessages();

class CG2DView : public CAPView {
public:
    CG2DView();
    CG2DDoc* Document2D() const;

    // Nothing while the document is in probe mode 1; else the plot.
    void OnDraw(platform::DrawSurface& surface) override;

    // Run (F2): a run of the current kind unless paused or running.
    void OnRun();
    // Pause: ends a pause, or holds a running run until Continue, Stop or a
    // close of the window (which the held run then carries out).
    void OnPause();
    // Stop: ends a pause; a running run stops at its next point.
    void OnStop();
    // Numeric Output (F5): the numeric output file of the kind in its window.
    // Offered when the analysis is at rest and has curves or compile notes.
    void OpenNumericOutput();
    bool NumericOutputAvailable() const;

    // The close steps of the window while no run holds it: the placement
    // goes into the kind's settings, the document's run tables and undo are
    // released, the document leaves the list and (with `endAnalysis`) the
    // analysis of the circuit ends. The caller then lets the frame go.
    void PrepareClose(bool endAnalysis);

    // The menu bar of analysis mode, and the menus it replaced put back.
    void InstallAnalysisMenus(int kind);
    void RestoreMainMenus();

    bool OnCommand(int id) override;
    bool OnUpdateCommand(platform::CommandState& state) override;

protected:
    void OnDestroy() override;

private:
    SavedMainMenus savedMenus_;
};

class CG2DFrame : public CAPFrame {
public:
    CG2DFrame() : CAPFrame(kDocAnalysisPlot) {}
    // Set while the analysis closes its own window: the close does not end
    // the analysis a second time.
    bool closingFromAnalysis = false;

protected:
    // While paused: remembered for the pause wait. While running: the run
    // stops and the window closes after it. Otherwise the window closes, the
    // analysis ends and the document stays.
    bool OnClose() override;
};

// Opens the plot window of the kind for the analysis document (kinds 0 to 3);
// an open window comes to the front. 0, or 15002 when the window cannot be
// made. Without a main window (headless runs) there is nothing to open: 0.
int OpenAnalysisWindow(CG2DDoc& document, int kind);
// Closes the document's window without asking (the analysis ends
// elsewhere); the document stays.
void CloseAnalysisWindow(CG2DDoc& document);

// The plot of the document as a PDF page at `path`: 0, or a result code
// (reported unless 15055 is returned). An existing file is replaced only
// when the program wrote it (a PDF made by Tarnwick); any other file stays
// and kMsgPlotFileNotOurs is reported.
int WritePlotPdf(CG2DDoc& document, const std::string& path);
// The batch's print of the analysis plot: the PDF beside the circuit file,
// with its name and the extension "pdf". 0 or the reported code.
int PrintAnalysisPlot(CCTDoc* circuit);

// The numeric output window belongs to the text documents, which install
// this port at start-up. Until then opening it fails with kResultNotBuilt.
class NumericOutputWindowPort {
public:
    virtual ~NumericOutputWindowPort() = default;
    // Shows the file in the numeric output window: an open window of the path
    // comes to the front; else a text window reads the file (and closes again
    // silently when it cannot), takes the font and is shown maximized, and
    // activated when asked. 0 or a result code (15055 when nothing shows).
    virtual int ShowNumericOutput(const std::string& path, const FontSpec& font, bool activate) = 0;
};
NumericOutputWindowPort& NumericOutputWindows();
// Installs the port; null restores the null object. Returns the previous one.
NumericOutputWindowPort* InstallNumericOutputWindows(NumericOutputWindowPort* port);

// Registers the document template of the 2D analysis window.
void RegisterAnalysisWindowTemplate();
