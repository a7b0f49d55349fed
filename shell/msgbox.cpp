// The program's own message box: sized to its text, with the detail rows in a
// list, optional Help and Syntax buttons, the "Don't warn me anymore." box
// and the timer that closes timed warnings.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/memory.h"
#include "platform/app.h"
#include "shell/preferences.h"
#include "shell/report.h"

namespace {

struct mb_ButtonText {
    int code;
    const char* text;
    bool isDefault;
};

constexpr mb_ButtonText kMbButtons[] = {
    {1, "&OK", true},          {2, "&Cancel", false},    {3, "&Abort", false},      {4, "&Retry", true},
    {5, "&Ignore", false},     {6, "&Yes", true},        {7, "&No", false},         {21, "&Help...", false},
    {32, "Yes to &All", true}, {33, "No to All", false}, {34, "&Syntax...", false},
};

const mb_ButtonText* mb_FindButton(int code) {
    for (const mb_ButtonText& b : kMbButtons)
        if (b.code == code) return &b;
    return nullptr;
}

// The button set of a style's low four bits.
std::vector<int> mb_ButtonSet(unsigned style) {
    switch (style & mbstyle::ButtonMask) {
    case 0: return {1};
    case 1: return {1, 2};
    case 2: return {3, 4, 5};
    case 3: return {6, 7, 2};
    case 4: return {6, 7};
    case 5: return {4, 2};
    case 6: return {6, 32, 7, 33, 2};
    default: return {};
    }
}

MessageIcon mb_IconOf(unsigned style) {
    switch (style & mbstyle::IconMask) {
    case 0: return MessageIcon::None;
    case mbstyle::IconProgram: return MessageIcon::Program;
    case mbstyle::IconHand: return MessageIcon::Hand;
    case mbstyle::IconQuestion: return MessageIcon::Question;
    case mbstyle::IconExclamation: return MessageIcon::Exclamation;
    default: return MessageIcon::Asterisk;
    }
}

platform::StandardIcon mb_StandardIcon(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Program: return platform::StandardIcon::Application;
    case MessageIcon::Hand: return platform::StandardIcon::Error;
    case MessageIcon::Question: return platform::StandardIcon::Question;
    case MessageIcon::Exclamation: return platform::StandardIcon::Warning;
    case MessageIcon::Asterisk: return platform::StandardIcon::Information;
    default: return platform::StandardIcon::None;
    }
}

platform::DialogDesc mb_Description(const MessageRecord& record) {
    namespace st = platform::style;
    using platform::ControlKind;
    platform::DialogDesc d;
    d.caption = record.caption;
    d.cx = 240;
    d.cy = 80;
    d.controls = {
        {ControlKind::Icon, kMsgBoxIcon, "", 4, 4, 20, 20, st::Hidden},
        {ControlKind::Static, kMsgBoxText, "", 10, 6, 200, 20, st::NoPrefix},
        {ControlKind::CheckBox, kMsgBoxWarnAgain, "Don't warn me anymore.", 10, 30, 120, 10, st::Hidden},
        {ControlKind::Edit, kMsgBoxRows, "", 10, 42, 200, 20,
         st::Hidden | st::MultiLine | st::ReadOnly | st::NoWrap | st::NoTabStop},
        {ControlKind::Edit, kMsgBoxHelpText, "", 10, 64, 200, 60, st::Hidden | st::MultiLine | st::ReadOnly},
    };
    return d;
}

constexpr int kMbMargin = 20;  // left and right of the text
constexpr int kMbTop = 10;
constexpr int kMbIconSide = 32;
constexpr int kMbIconGap = 8;
constexpr int kMbButtonBottom = 8;  // buttons stand this far above the bottom
constexpr int kMbHelpGap = 6;

}  // namespace

CMessageBoxDlg::CMessageBoxDlg(MessageRecord& record)
    : CDialog2(kMsgBoxTemplate, static_cast<platform::Point*>(nullptr), record.parent), record_(record) {
    SetDescription(mb_Description(record));
}

CMessageBoxDlg::~CMessageBoxDlg() = default;

bool CMessageBoxDlg::OnInitDialog() {
    syntaxId_ = GetSyntaxHelpId(record_.messageId);
    CDialog2::OnInitDialog();

    bool showRows = record_.rowsInList && record_.rowCount > 0;
    ShowControl(kMsgBoxRows, showRows);
    ShowControl(kMsgBoxHelpText, false);

    int exists = 0;
    if (record_.messageId != 0) ReadHelpText(record_.messageId, &exists);
    helpAvailable_ = exists != 0;

    buttons_ = mb_ButtonSet(record_.style);
    if (helpAvailable_) buttons_.push_back(kMsgButtonHelp);
    if (syntaxId_) buttons_.push_back(kMsgButtonSyntax);
    int defaultButton = 0;
    for (int code : buttons_) {
        const mb_ButtonText* b = mb_FindButton(code);
        platform::ControlDesc desc{platform::ControlKind::Button, code, b ? b->text : "", 0, 0, 42, 14, 0};
        AddControl(desc);
        if (b && b->isDefault && !defaultButton) defaultButton = code;
    }
    SetDefaultButton(defaultButton);

    // Row list: "label<TAB>value" lines.
    rowList_.clear();
    if (showRows) {
        for (int i = 0; i < record_.rowCount; ++i) {
            const char* label = record_.rowLabels[i];
            const char* value = record_.rowValues[i];
            char line[kMessageListLineSize];
            if (*value && std::strlen(label) < size_t(kMessageListLineSize))
                FormatBounded(line, sizeof line, "%s\t%s", label, value);
            else
                CopyTextBounded(line, label, sizeof line);
            if (i) rowList_ += "\n";
            rowList_ += line;
        }
        SetText(kMsgBoxRows, rowList_);
    }

    ShowControl(kMsgBoxWarnAgain, record_.warnAgain != nullptr);
    SetTitle(record_.caption);
    SetText(kMsgBoxText, record_.text);

    icon_ = mb_IconOf(record_.style);
    if (icon_ != MessageIcon::None) {
        SetIcon(kMsgBoxIcon, mb_StandardIcon(icon_));
        ShowControl(kMsgBoxIcon, true);
        iconWidth_ = kMbIconSide + kMbIconGap;
    }
    LayOut();

    if (record_.timed) {
        timerMs_ = static_cast<int>(Prefs().warningTime * 1000.0);
        if (timerMs_ < 1) timerMs_ = 1;
        SetTimer(kMsgBoxTimer, timerMs_);
    }
    if (!buttons_.empty()) FocusControl(buttons_.front());
    return false;
}

void CMessageBoxDlg::LayOut() {
    platform::Rect work{0, 0, 800, 600};
    if (platform::Application* app = platform::Application::Instance()) work = app->Metrics().workArea;
    int widthLimit = std::max(100, work.Width() * 2 / 3);
    int heightLimit = std::max(60, work.Height() * 2 / 3);

    platform::Rect buttonSize = MapDialogRect(platform::Rect{0, 0, 42, 14});
    int bw = buttonSize.Width(), bh = buttonSize.Height();

    unsigned flags = platform::measure::WordBreak | platform::measure::ExpandTabs | platform::measure::NoPrefix;
    platform::Size text = MeasureText(kMsgBoxText, record_.text, widthLimit, flags);
    int textW = std::min(text.cx + 5, widthLimit);
    int textH = text.cy;
    if (text.cx > widthLimit) textH += textH * (text.cx - widthLimit) / widthLimit + 1;
    textH = std::min(textH, heightLimit);
    if (icon_ != MessageIcon::None) textH = std::max(textH, kMbIconSide + kMbIconGap);

    int listW = 0, listH = 0;
    if (IsControlVisible(kMsgBoxRows)) {
        int widestLabel = 0, widestValue = 0;
        for (int i = 0; i < record_.rowCount; ++i) {
            const char* label = record_.rowLabels[i];
            const char* value = record_.rowValues[i];
            if (*value) {
                widestLabel = std::max(widestLabel, MeasureText(kMsgBoxRows, label).cx);
                widestValue = std::max(widestValue, MeasureText(kMsgBoxRows, value).cx);
            } else {
                widestValue = std::max(widestValue, MeasureText(kMsgBoxRows, label).cx);
            }
        }
        int gap = DialogUnitsToPixelsX(8);
        SetTabStops(kMsgBoxRows, PixelsToDialogUnitsX(widestLabel + gap) + 16);
        listW = std::min(widestLabel + gap + widestValue + 24, widthLimit);
        listH = record_.rowCount * ControlLineHeight(kMsgBoxRows) + 4 + 8;  // and the edit's frame
    }

    // The check box's text is read in full: it may widen a short message's box.
    const bool check = IsControlVisible(kMsgBoxWarnAgain);
    const platform::Size checkNeed = check ? NaturalSize(kMsgBoxWarnAgain) : platform::Size{};
    int checkH = check ? std::max(MapDialogRect(platform::Rect{0, 0, 0, 10}).Height(), checkNeed.cy) : 0;
    int count = static_cast<int>(buttons_.size());

    int clientW = std::max({textW, listW, checkNeed.cx}) + 2 * kMbMargin + iconWidth_;
    if (helpAvailable_) clientW = std::max(clientW, DialogUnitsToPixelsX(240));
    clientW = std::max(clientW, count * bw + (count + 1) * kMbButtonBottom);
    int clientH = kMbTop + textH + (checkH * 3) / 2 + (listH ? listH + kMbTop : 0) + 2 * bh;

    int textX = kMbMargin + iconWidth_;
    if (icon_ != MessageIcon::None) MoveControl(kMsgBoxIcon, platform::Rect{8, 8, 8 + kMbIconSide, 8 + kMbIconSide});
    MoveControl(kMsgBoxText, platform::Rect{textX, kMbTop, textX + textW, kMbTop + textH});
    int y = kMbTop + textH;
    if (checkH) {
        MoveControl(kMsgBoxWarnAgain,
                    platform::Rect{textX, y + checkH / 4, clientW - kMbMargin, y + checkH / 4 + checkH});
        y += (checkH * 3) / 2;
    }
    if (listH) {
        int avail = clientW - 2 * kMbMargin;
        int x = kMbMargin + (listW < avail ? (avail - listW) / 2 : 0);
        MoveControl(kMsgBoxRows, platform::Rect{x, y + kMbTop / 2, x + std::min(listW, avail), y + kMbTop / 2 + listH});
    }
    int gap = count ? (clientW - count * bw) / (count + 1) : 0;
    int by = clientH - kMbButtonBottom - bh;
    for (int i = 0; i < count; ++i) {
        int x = gap + i * (bw + gap);
        MoveControl(buttons_[i], platform::Rect{x, by, x + bw, by + bh});
    }
    SetPanelSize(platform::Size{clientW, clientH});

    // Centred on the work area, then moved by the offsets; kept on the screen.
    platform::Rect outer = WindowRect();
    int w = std::max(outer.Width(), clientW), h = std::max(outer.Height(), clientH);
    int x = work.left + static_cast<int>(record_.offsetX * 0.01 * (work.Width() / 2)) + (work.Width() - w) / 2;
    int yPos = work.top + static_cast<int>(record_.offsetY * 0.01 * (work.Height() / 2)) + (work.Height() - h) / 2;
    x = std::max(x, 0);
    yPos = std::max(yPos, 0);
    if (x + w > work.right) x = std::max(work.right - w, 0);
    if (yPos + h > work.bottom) yPos = std::max(work.bottom - h, 0);
    Move(platform::Rect{x, yPos, x + w, yPos + h});
}

void CMessageBoxDlg::OnOK() { OnButton(platform::dlgid::Ok); }

// Esc and the close box answer Cancel even without a Cancel button.
void CMessageBoxDlg::OnCancel() { OnButton(platform::dlgid::Cancel); }

void CMessageBoxDlg::OnControl(int id, platform::Notify what) {
    if (what != platform::Notify::Clicked) return;
    if (id == kMsgButtonHelp)
        OnHelpButton();
    else if (id == kMsgButtonSyntax)
        OnSyntax();
    else if ((id >= 1 && id <= 7) || id == kMsgButtonYesToAll || id == kMsgButtonNoToAll)
        OnButton(id);
}

void CMessageBoxDlg::OnTimer(int) { OnButton(platform::dlgid::Ok); }

void CMessageBoxDlg::OnButton(int code) {
    if (HasEnded()) return;
    if (record_.warnAgain) *record_.warnAgain = GetCheck(kMsgBoxWarnAgain) ? 0 : 1;
    if (record_.timed) KillTimer(kMsgBoxTimer);
    EndDialogSavingRect(code);
}

void CMessageBoxDlg::OnHelpButton() {
    int helpH = MapDialogRect(platform::Rect{0, 0, 0, 60}).Height();
    if (!helpUnfolded_) {
        foldedRect_ = WindowRect();
        platform::Rect help = GetItemRect(kMsgButtonHelp);
        platform::Size panel = PanelSize();
        SetPanelSize(platform::Size{panel.cx, panel.cy + helpH + kMbHelpGap});
        platform::Rect grown = WindowRect();
        Move(platform::Rect{foldedRect_.left, foldedRect_.top, foldedRect_.left + grown.Width(),
                            foldedRect_.top + grown.Height()});
        MoveControl(kMsgBoxHelpText,
                    platform::Rect{20, help.bottom + kMbHelpGap, panel.cx - 20, help.bottom + kMbHelpGap + helpH});
        char* text = ReadHelpText(record_.messageId, nullptr);
        SetText(kMsgBoxHelpText, text ? text : "");
        MemFree(text);
        ShowControl(kMsgBoxHelpText, true);
        helpUnfolded_ = true;
    } else {
        ShowControl(kMsgBoxHelpText, false);
        platform::Rect now = WindowRect();
        Move(platform::Rect{now.left, now.top, now.left + foldedRect_.Width(), now.top + foldedRect_.Height()});
        helpUnfolded_ = false;
    }
}

void CMessageBoxDlg::OnSyntax() {
    if (syntaxId_) ContextHelp().OpenContextHelp(this, static_cast<unsigned>(syntaxId_));
}

// ---- showing a record ---------------------------------------------------------------------

int ShowMessageBox(MessageRecord& record) {
    // Without the window layer (console tools) the message is written out.
    if (!platform::Application::Instance()) {
        std::fprintf(stderr, "%s: %s\n", record.caption, record.text);
        return 0;
    }
    CMessageBoxDlg box(record);
    int result = box.DoModal();
    return result > 0 ? result : 0;
}
