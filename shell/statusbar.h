// Status bars: the main frame's bar with its run-state, progress, message,
// track and clock panes, and the prompt bar that every dialog, property sheet
// and page carries; and the prompt text of a command or control id.
#pragma once

#include <cstddef>
#include <string>

namespace platform {
class Dialog;
class MainFrame;
class PromptStrip;
class PropertySheet;
}  // namespace platform

// Pane ids of the main status bar. The string-table text of each id is the
// width template of its pane (never shown).
constexpr int kPaneClock = 59143;     // "Clock"
constexpr int kPaneRunState = 59144;  // 17 letters X
constexpr int kPaneTrack = 59145;     // "LnXXXXXX"
constexpr int kPaneMessage = 59146;   // four blanks; stretches
constexpr int kPaneProgress = 59147;  // "100%"
// Second and third panes of a dialog's prompt bar.
constexpr int kPromptPane2 = 101;
constexpr int kPromptPane3 = 103;
// The bar's control id in every host.
constexpr int kStatusBarId = 59393;
// The main frame's clock timer and its period.
constexpr int kClockTimerId = 2;
constexpr int kClockPeriodMs = 2000;
// Prompt texts are built in buffers of this size.
constexpr int kPromptTextSize = 300;

// The text shown for a command or control id (see the mapping in
// statusbar.cpp); `out` is always terminated, empty when the id has no text.
char* PromptTextForId(int id, char* out, size_t size);
std::string PromptTextForId(int id);
// Cuts a text at its first line break, in place.
char* CutAtLineBreak(char* text);

// The clock pane's text for a time of day: " 12:05 AM ", " 1:07 PM ".
std::string FormatClockText(int hour, int minute);

// One status bar. The main frame's bar is hosted by the frame (AttachToMainFrame);
// a dialog's prompt bar by the dialog's prompt strip (AttachToDialog).
class CStatusBar2 {
public:
    CStatusBar2();
    ~CStatusBar2();
    CStatusBar2(const CStatusBar2&) = delete;
    CStatusBar2& operator=(const CStatusBar2&) = delete;

    // --- dialog prompt bars
    // Shows the bar along the bottom of the dialog with 1 to 3 panes and 1 to
    // 6 lines; `grow` makes the dialog taller by the bar's height. Attaching an
    // attached bar only records the lines.
    void AttachToDialog(platform::Dialog& dialog, int panes, int lines, bool grow);
    void AttachToDialog(platform::PropertySheet& sheet, int panes, int lines, bool grow);
    void AttachToDialog(platform::PromptStrip& strip, int panes, int lines, bool grow);
    // One pane, one line, growing: what most dialogs ask for.
    void AttachToDialogDefault(platform::Dialog& dialog);
    void AttachToDialogDefault(platform::PropertySheet& sheet);
    // Hides the bar and shrinks the dialog by the height it grew by.
    void HideInDialog();
    // Gives the bar the font of the "Status Bar Text" item style.
    void ApplyFont();

    // --- both kinds
    // Answers whether prompts show: the bar is created and attached.
    bool IsAttached() const { return attached_; }
    // Pane 0's text, when attached and not locked.
    void ShowPrompt(const char* text);
    // PromptTextForId, cut to its first line in one-line bars.
    void ShowPromptById(int id);
    void SetLocked(bool locked) { locked_ = locked; }
    bool IsLocked() const { return locked_; }
    int Lines() const { return lines_; }
    int ExtraHeight() const;
    std::string PromptText() const;

    // --- the main frame's bar
    void AttachToMainFrame(platform::MainFrame& frame);
    // Widens a pane (never narrows it) to the text's width + 4 pixels, at most
    // `maximum` when that is not 0. While no analysis runs, a widened track
    // pane's width becomes the remembered track width.
    void FitPaneToText(int paneId, const char* text, int maximum = 0);

    // Last ids shown by id in the run-state and message panes (-1: text set
    // directly, or none).
    int runStateId = -1;
    int messageId = -1;

private:
    platform::MainFrame* frame_ = nullptr;
    platform::PromptStrip* strip_ = nullptr;
    bool attached_ = false;
    bool locked_ = false;
    int lines_ = 1;
};

// Width in pixels the track pane is given back when an analysis ends.
int RememberedTrackWidth();
void SetRememberedTrackWidth(int width);
