#include "shell/statusbar.h"

#include <cstdio>
#include <cstring>

#include "core/memory.h"
#include "core/messages.h"
#include "core/recentlist.h"
#include "platform/dialog.h"
#include "platform/frame.h"
#include "platform/propsheet.h"
#include "shell/app.h"
#include "shell/fonts.h"
#include "shell/preferences.h"

namespace {

int sb_trackWidth = 30;

// Ids whose prompt is the text of another id. A range maps to one text
// (offset false) or to the text at the same distance from `target`.
struct sb_PromptRange {
    int first;
    int last;
    int target;
    bool offset;
};

// Checked in this order; the first range that holds the id wins.
constexpr sb_PromptRange sb_kPromptRanges[] = {
    {2, 2, 18002, false},         {1, 1, 18001, false},         {12321, 12321, 18012, false},
    {9, 9, 18009, false},         {19816, 19863, 19816, false}, {19881, 19928, 19816, false},
    {19946, 19993, 19816, false}, {19930, 19945, 19800, true},  {19865, 19880, 19800, true},
    {19800, 19815, 19800, true},  {14603, 14612, 14603, false}, {14573, 14582, 14573, false},
    {14652, 14661, 14652, false}, {17371, 17380, 17371, false}, {16032, 16032, 16008, false},
    {16057, 16057, 16008, false}, {16033, 16033, 16009, false}, {16058, 16058, 16009, false},
    {16045, 16045, 16020, false}, {16060, 16060, 16020, false}, {16046, 16046, 16021, false},
    {16061, 16061, 16021, false}, {16059, 16059, 16011, false}, {16062, 16062, 16023, false},
};

// System-menu commands (61441 to 61776) take the window system's prompts.
constexpr int sb_kSystemCommandFirst = 61441;
constexpr int sb_kSystemCommandLast = 61776;
constexpr int sb_kSystemPromptBase = 61184;

constexpr int sb_kRecentFileFirst = 18600;
constexpr int sb_kRecentFileLast = 18619;
constexpr int sb_kRecentComponentFirst = 17350;
constexpr int sb_kRecentComponentLast = 17359;

void sb_CopyText(char* out, size_t size, const char* text) {
    if (!out || size == 0) return;
    CopyTextBounded(out, text ? text : "", size);
}

}  // namespace

char* CutAtLineBreak(char* text) {
    if (!text) return text;
    for (char* p = text; *p; ++p) {
        if (*p == '\n' || *p == '\r') {
            *p = 0;
            break;
        }
    }
    return text;
}

char* PromptTextForId(int id, char* out, size_t size) {
    if (!out || size == 0) return out;
    out[0] = 0;

    const RunStateValues& run = RunState();
    if (run.probeFirstNode) {
        std::string text = std::string("First node is ") + run.probeFirstNode + ". Click again for the second node.";
        sb_CopyText(out, size, text.c_str());
        return out;
    }

    if (id >= sb_kRecentFileFirst && id <= sb_kRecentFileLast) {
        const RecentList& recent = RecentFiles();
        const char* path = recent.Text(id - sb_kRecentFileFirst);
        if (path && *path) {
            std::string text = std::string("Load ") + path;
            sb_CopyText(out, size, text.c_str());
        }
        return out;
    }
    // Recent components and library components have no prompt until the
    // component libraries exist.
    if (id >= sb_kRecentComponentFirst && id <= sb_kRecentComponentLast) return out;

    int textId = id;
    if (id >= sb_kSystemCommandFirst && id <= sb_kSystemCommandLast) {
        textId = ((id >> 4) & 255) + sb_kSystemPromptBase;
    } else {
        for (const sb_PromptRange& r : sb_kPromptRanges) {
            if (id < r.first || id > r.last) continue;
            textId = r.offset ? r.target + (id - r.first) : r.target;
            break;
        }
    }
    if (textId == 0) return out;
    sb_CopyText(out, size, GetMessageText(textId));
    // The help button's text carries a tip after its first line.
    if (id == 9) CutAtLineBreak(out);
    return out;
}

std::string PromptTextForId(int id) {
    char buffer[kPromptTextSize];
    return PromptTextForId(id, buffer, sizeof buffer);
}

std::string FormatClockText(int hour, int minute) {
    int h12 = hour % 12;
    if (h12 == 0) h12 = 12;
    char text[32];
    snprintf(text, sizeof text, " %d:%02d %s ", h12, minute, hour < 12 ? "AM" : "PM");
    return text;
}

int RememberedTrackWidth() { return sb_trackWidth; }
void SetRememberedTrackWidth(int width) { sb_trackWidth = width; }

// ---- CStatusBar2 ----------------------------------------------------------------

CStatusBar2::CStatusBar2() = default;
CStatusBar2::~CStatusBar2() = default;

void CStatusBar2::AttachToDialog(platform::PromptStrip& strip, int panes, int lines, bool grow) {
    if (lines < 1) lines = 1;
    if (lines > 6) lines = 6;
    if (panes < 1) panes = 1;
    if (panes > 3) panes = 3;
    lines_ = lines;
    const bool again = attached_ && strip_ == &strip;
    strip_ = &strip;
    frame_ = nullptr;
    strip.Attach(panes, lines, grow);
    if (!again) ApplyFont();
    attached_ = true;
}

void CStatusBar2::AttachToDialog(platform::Dialog& dialog, int panes, int lines, bool grow) {
    AttachToDialog(dialog.Prompt(), panes, lines, grow);
}

void CStatusBar2::AttachToDialog(platform::PropertySheet& sheet, int panes, int lines, bool grow) {
    AttachToDialog(sheet.Prompt(), panes, lines, grow);
}

void CStatusBar2::AttachToDialogDefault(platform::Dialog& dialog) { AttachToDialog(dialog, 1, 1, true); }

void CStatusBar2::AttachToDialogDefault(platform::PropertySheet& sheet) { AttachToDialog(sheet, 1, 1, true); }

void CStatusBar2::HideInDialog() {
    if (!strip_ || !attached_) return;
    strip_->Hide();
    attached_ = false;
}

void CStatusBar2::ApplyFont() {
    // Dialog bars take the "Status Bar Text" item style; the main bar keeps
    // the desktop's status-bar font.
    if (strip_) strip_->SetFont(CreateFontFromSpec(ItemStyleTable[kItemStatusBarText]));
}

int CStatusBar2::ExtraHeight() const { return strip_ ? strip_->ExtraHeight() : 0; }

void CStatusBar2::ShowPrompt(const char* text) {
    if (!attached_ || locked_) return;
    if (strip_)
        strip_->SetText(text ? text : "");
    else if (frame_)
        frame_->SetPaneText(kPaneMessage, text ? text : "");
}

void CStatusBar2::ShowPromptById(int id) {
    if (!attached_) return;
    char text[kPromptTextSize];
    PromptTextForId(id, text, sizeof text);
    if (lines_ == 1) CutAtLineBreak(text);
    if (!attached_ || locked_) return;
    ShowPrompt(text);
}

std::string CStatusBar2::PromptText() const {
    if (strip_) return strip_->Text();
    if (frame_) return frame_->PaneText(kPaneMessage);
    return std::string();
}

void CStatusBar2::AttachToMainFrame(platform::MainFrame& frame) {
    frame_ = &frame;
    strip_ = nullptr;
    lines_ = 1;
    attached_ = true;
}

void CStatusBar2::FitPaneToText(int paneId, const char* text, int maximum) {
    if (!frame_) return;
    int wanted = frame_->StatusTextWidth(text ? text : "") + 4;
    if (maximum > 0 && wanted > maximum) wanted = maximum;
    if (frame_->PaneWidth(paneId) >= wanted) return;
    frame_->SetPaneWidth(paneId, wanted);
    if (paneId == kPaneTrack && !RunState().running) sb_trackWidth = wanted;
}
