// The dialog, property-sheet and property-page bases.
#include "shell/dialogs.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/cmdline.h"
#include "core/desktop.h"
#include "core/memory.h"
#include "core/messages.h"
#include "core/numbers.h"
#include "core/port.h"
#include "platform/app.h"
#include "platform/keys.h"

namespace {

class NullSchematicCursor final : public SchematicCursorPort {
public:
    void EraseCrossHair() override {}
    void UpdateActiveCircuitWindow() override {}
};

class NullContextHelp final : public ContextHelpPort {
public:
    void OpenContextHelp(platform::Window*, unsigned) override {}
};

class NullAnalysisMode final : public AnalysisModePort {
public:
    bool IsAnalysisMode() override { return false; }
};

class NullNumericFields final : public NumericFieldPort {
public:
    double EvaluateNumericText(const char* text, int* error, bool) override {
        int e = 0;
        double value = ParseNumber(text, &e);
        if (error) *error = e;
        return value;
    }
};

PortSlot<SchematicCursorPort, NullSchematicCursor> dlg_cursor;
PortSlot<ContextHelpPort, NullContextHelp> dlg_help;
PortSlot<AnalysisModePort, NullAnalysisMode> dlg_analysisMode;
PortSlot<NumericFieldPort, NullNumericFields> dlg_numericFields;

void dlg_EraseCrossHair() { SchematicCursor().EraseCrossHair(); }

void dlg_UpdateCircuitWindow() { SchematicCursor().UpdateActiveCircuitWindow(); }

void dlg_OpenHelp(platform::Window* window, unsigned helpId) { ContextHelp().OpenContextHelp(window, helpId); }

platform::Size dlg_ScreenSize() {
    platform::Size size;
    if (platform::Application* app = platform::Application::Instance()) size = app->Metrics().screen;
    if (size.cx <= 0 || size.cy <= 0) Screen().GetScreenSize(&size.cx, &size.cy);
    return size;
}

// The common part of PlaceDialog; `center` centres the window on its owner.
template <class Window>
bool dlg_Place(platform::Point* position, platform::Rect* rect, Window& window) {
    platform::Point at;
    // A remembered rectangle without size was never filled in: nothing is
    // remembered yet, and (0, 0) would put the window in the screen's corner.
    if (rect && (rect->Width() <= 0 || rect->Height() <= 0)) rect = nullptr;
    if (rect) {
        at = platform::Point{rect->left, rect->top};
    } else if (position) {
        at = *position;
    } else {
        window.CenterOnOwner();
        return false;
    }
    platform::Size screen = dlg_ScreenSize();
    if (at.x + 20 >= screen.cx || at.y + 20 > screen.cy || (at.x == -1 && at.y == -1)) {
        window.CenterOnOwner();
        return false;
    }
    if (at.x < 0 || at.y < 0) {
        at.x = std::max(at.x, 0);
        at.y = std::max(at.y, 0);
        if (rect) {
            int w = rect->Width(), h = rect->Height();
            *rect = platform::Rect{at.x, at.y, at.x + w, at.y + h};
        } else {
            *position = at;
        }
    }
    if (rect) {
        window.Move(*rect, false);
        return true;
    }
    // A remembered position keeps the window's size. Before the window is
    // first shown its frame is not known yet, so the client size is checked
    // after the move and the frame added when the move took it away.
    platform::Rect now = window.WindowRect();
    platform::Size client{window.ClientRect().Width(), window.ClientRect().Height()};
    platform::Rect target{at.x, at.y, at.x + now.Width(), at.y + now.Height()};
    window.Move(target, false);
    platform::Rect after = window.ClientRect();
    if (after.Width() != client.cx || after.Height() != client.cy) {
        target.right += client.cx - after.Width();
        target.bottom += client.cy - after.Height();
        window.Move(target, false);
    }
    return true;
}

// Stores a window's place in the caller's records; the prompt bar's height is
// left out of a remembered rectangle, since the next opening adds it again.
void dlg_SaveRect(platform::Window& window, platform::PromptStrip& strip, platform::Point* position,
                  platform::Rect* rect) {
    if (DemoPlaying() || !window.Exists()) return;
    platform::Rect r = window.WindowRect();
    if (position) *position = platform::Point{r.left, r.top};
    if (rect) {
        if (strip.IsAttached()) r.bottom -= strip.ExtraHeight();
        *rect = r;
    }
}

void dlg_PostRun() {
    if (AnalysisMode().IsAnalysisMode()) return;
    if (platform::Application* app = platform::Application::Instance()) app->PostCommand(nullptr, kCmdRun);
}

std::string dlg_StringText(int id) {
    const char* text = GetMessageText(id);
    return text ? text : "";
}

double dlg_Evaluate(const char* text, int* error, bool quiet) {
    int e = 0;
    double value = NumericFields().EvaluateNumericText(text, &e, quiet);
    if (error) *error = e;
    return value;
}

}  // namespace

DialogState& Dialogs() {
    static DialogState state;
    return state;
}

SchematicCursorPort& SchematicCursor() { return dlg_cursor.Get(); }
SchematicCursorPort* InstallSchematicCursor(SchematicCursorPort* port) { return dlg_cursor.Install(port); }
ContextHelpPort& ContextHelp() { return dlg_help.Get(); }
ContextHelpPort* InstallContextHelp(ContextHelpPort* port) { return dlg_help.Install(port); }
AnalysisModePort& AnalysisMode() { return dlg_analysisMode.Get(); }
AnalysisModePort* InstallAnalysisMode(AnalysisModePort* port) { return dlg_analysisMode.Install(port); }
NumericFieldPort& NumericFields() { return dlg_numericFields.Get(); }
NumericFieldPort* InstallNumericFields(NumericFieldPort* port) { return dlg_numericFields.Install(port); }

bool PlaceDialog(platform::Point* position, platform::Rect* rect, platform::Dialog& dialog) {
    return dlg_Place(position, rect, dialog);
}

bool PlaceDialog(platform::Point* position, platform::Rect* rect, platform::PropertySheet& sheet) {
    return dlg_Place(position, rect, sheet);
}

// ---- CDialog2 ---------------------------------------------------------------------

CDialog2::CDialog2(platform::Point* rememberedPosition) : position_(rememberedPosition) {}

CDialog2::CDialog2(unsigned templateId, platform::Window* parent, platform::Rect* rememberedRect)
    : rect_(rememberedRect), parent_(parent), helpId_(templateId) {}

CDialog2::CDialog2(unsigned templateId, platform::Point* rememberedPosition, platform::Window* parent)
    : position_(rememberedPosition), parent_(parent), helpId_(templateId) {}

CDialog2::~CDialog2() {
    DialogState& state = Dialogs();
    if (state.currentDialog == this) state.currentDialog = nullptr;
    if (state.modelessDialog == this) state.modelessDialog = nullptr;
}

int CDialog2::DoModal() {
    DialogState& state = Dialogs();
    ++state.modalDepth;
    int result = Dialog::DoModal(parent_);
    state.currentDialog = nullptr;
    --state.modalDepth;
    return result;
}

bool CDialog2::CreateModeless() {
    if (!Dialog::CreateModeless(parent_)) return false;
    Dialogs().modelessDialog = this;
    return true;
}

void CDialog2::CloseModeless() {
    DestroyDialog();
    DialogState& state = Dialogs();
    if (state.modelessDialog == this) state.modelessDialog = nullptr;
    state.currentDialog = nullptr;
    if (platform::Application* app = platform::Application::Instance()) {
        if (platform::Window* main = app->MainWindow(); main && main->Exists()) {
            if (main->IsMinimized()) main->Show(platform::show::Restore);
            main->SetFocus();
        }
    }
}

bool CDialog2::OnInitDialog() {
    dlg_EraseCrossHair();
    bool result = Dialog::OnInitDialog();
    Dialogs().currentDialog = this;
    PlaceDialog(position_, rect_, *this);
    return result;
}

void CDialog2::OnOK() {
    SaveWindowRect();
    Dialog::OnOK();
    dlg_UpdateCircuitWindow();
}

void CDialog2::OnCancel() {
    SaveWindowRect();
    Dialog::OnCancel();
    dlg_UpdateCircuitWindow();
}

void CDialog2::EndDialogSavingRect(int result) {
    SaveWindowRect();
    EndDialog(result);
    dlg_UpdateCircuitWindow();
}

void CDialog2::SaveWindowRect() { dlg_SaveRect(*this, Prompt(), position_, rect_); }

bool CDialog2::OnDialogKey(int key, unsigned modifiers) {
    if (modifiers != platform::ModNone) return false;
    if (key == platform::key::F1) return RouteCommand(kCmdDialogHelp);
    if (key == platform::key::Function(2) && runKey_) return RouteCommand(kCmdRun);
    return false;
}

bool CDialog2::OnCommand(int id) {
    if (id == kCmdDialogHelp) {
        OnHelp();
        return true;
    }
    if (id == kCmdRun) {
        OnRun();
        return true;
    }
    return Dialog::OnCommand(id);
}

void CDialog2::OnHelp() { dlg_OpenHelp(this, helpId_); }

void CDialog2::OnRun() {
    OnOK();
    dlg_PostRun();
}

void CDialog2::SetItemNumber(int controlId, double value) {
    char buffer[100];
    FormatBounded(buffer, sizeof buffer, "%.8g", value);
    SetText(controlId, buffer);
}

char* CDialog2::GetItemTextAlloc(char*& text, int controlId) {
    FreeString(&text);
    std::string value = GetText(controlId);
    text = static_cast<char*>(MemAlloc(value.size() + 1));
    if (text) std::memcpy(text, value.c_str(), value.size() + 1);
    return text;
}

// ---- CPropertyPage2 -----------------------------------------------------------------

CPropertyPage2::CPropertyPage2() = default;

CPropertyPage2::CPropertyPage2(unsigned templateId, int captionId) : helpId_(templateId), templateId_(templateId) {
    platform::DialogDesc desc = Description();
    desc.caption = dlg_StringText(captionId);
    SetDescription(std::move(desc));
}

CPropertyPage2::~CPropertyPage2() = default;

CPropertySheet2* CPropertyPage2::ParentSheet() const { return dynamic_cast<CPropertySheet2*>(Sheet()); }

bool CPropertyPage2::OnInitDialog() {
    initialised_ = true;
    if (!LinkedPromptStrip())
        if (CPropertySheet2* sheet = ParentSheet()) LinkPromptStrip(&sheet->PromptBar());
    return PropertyPage::OnInitDialog();
}

void CPropertyPage2::OnOK() {
    if (nested_) nested_->AcceptAllPages();
}

void CPropertyPage2::OnCancel() {
    if (nested_) nested_->OnCancel();
}

void CPropertyPage2::OnReset() {
    CPropertySheet2* sheet = ParentSheet();
    if (!sheet || sheet->Cancelled()) return;
    if (sheet->InPage()) {
        CPropertyPage2* host = sheet->HostPage();
        if (host && !host->cancelled_)
            if (CPropertySheet2* outer = host->ParentSheet()) outer->OnCancel();
    } else if (sheet->HostsNested()) {
        sheet->OnCancel();
    } else if (!cancelled_) {
        OnCancel();
        cancelled_ = true;
    }
}

void CPropertyPage2::OnPrompt(int id) { OnSetCursorPrompt(id); }

void CPropertyPage2::OnSetCursorPrompt(int controlId) {
    if (!nested_) ShowPromptForWindow(controlId);
}

void CPropertyPage2::ShowPromptForWindow(int controlId) {
    platform::PromptStrip* strip = LinkedPromptStrip();
    if (!strip || !strip->IsAttached()) return;
    int id = GetPromptControlId(controlId);
    if (id == kCmdCopyFromDefaults && restoreDefaultsPrompt_) id = 1350;
    strip->ShowPromptById(id);
}

int CPropertyPage2::GetPromptControlId(int controlId) const {
    using platform::ControlKind;
    if (controlId == 0 || !HasControl(controlId)) return 0;
    ControlKind kind = KindOf(controlId);
    // Texts, frames and icons let the pointer through to the page.
    if (kind == ControlKind::Static || kind == ControlKind::GroupBox || kind == ControlKind::Icon) return 0;
    if (IsControlEnabled(controlId)) return controlId == platform::dlgid::Close ? 23 : controlId;
    // A disabled control is found under the pointer by the page: only push
    // buttons and fields say what they would do.
    if (!IsControlVisible(controlId)) return 0;
    if (kind == ControlKind::CheckBox || kind == ControlKind::RadioButton || kind == ControlKind::DefaultButton)
        return 0;
    return controlId;
}

void CPropertyPage2::OnControl(int id, platform::Notify what) {
    if (what != platform::Notify::Clicked) return;
    if (id == kCmdCopyFromDefaults)
        CopyFromDefaults();
    else if (id == kCmdCopyToDefaults)
        CopyToDefaults();
}

void CPropertyPage2::OnControlChanged() { SetModified(true); }

void CPropertyPage2::SetItemFormatted(int controlId, const char* format, double value) {
    char buffer[100];
    FormatBounded(buffer, sizeof buffer, format ? format : "%g", value);
    SetText(controlId, buffer);
}

double CPropertyPage2::GetItemValue(int controlId, int* error) {
    char text[101];
    CopyTextBounded(text, GetText(controlId).c_str(), sizeof text);
    return dlg_Evaluate(text, error, error == nullptr);
}

void CPropertyPage2::ReadBoundedDouble(double& value, int controlId, double minimum, double maximum) {
    int error = 0;
    double v = GetItemValue(controlId, &error);
    if (!error && v >= minimum && v <= maximum) value = v;
    SetItemFormatted(controlId, "%.16g", value);
}

void CPropertyPage2::ReadBoundedInt(int& value, int controlId, int minimum, int maximum) {
    int error = 0;
    double v = GetItemValue(controlId, &error);
    int n = ClampToInt(v);
    if (!error && n >= minimum && n <= maximum) value = n;
    SetInt(controlId, value);
}

void CPropertyPage2::AddSheetEdit(int controlId) {
    if (!IsSheetEdit(controlId)) sheetEdits_.push_back(controlId);
}

bool CPropertyPage2::IsSheetEdit(int controlId) const {
    return controlId != 0 && std::find(sheetEdits_.begin(), sheetEdits_.end(), controlId) != sheetEdits_.end();
}

// ---- CPropertySheet2 -----------------------------------------------------------------

CPropertySheet2::CPropertySheet2(int captionId, platform::Point* rememberedPosition, platform::Window* parent,
                                 int* rememberedPage)
    : CPropertySheet2(dlg_StringText(captionId).c_str(), rememberedPosition, parent, rememberedPage) {}

CPropertySheet2::CPropertySheet2(const char* caption, platform::Point* rememberedPosition, platform::Window* parent,
                                 int* rememberedPage)
    : PropertySheet(caption ? caption : ""), position_(rememberedPosition), page_(rememberedPage), parent_(parent) {
    ShowHelpButton(true);
    SetStartPage(rememberedPage ? *rememberedPage : 0);
}

CPropertySheet2::~CPropertySheet2() {
    if (Dialogs().currentDialog == this) Dialogs().currentDialog = nullptr;
}

void CPropertySheet2::AddPage(CPropertyPage2* page) { PropertySheet::AddPage(page); }

CPropertyPage2* CPropertySheet2::Page(int index) const { return dynamic_cast<CPropertyPage2*>(GetPage(index)); }

int CPropertySheet2::DoModal() {
    DialogState& state = Dialogs();
    ++state.modalDepth;
    int result = PropertySheet::DoModal(parent_);
    state.currentDialog = nullptr;
    --state.modalDepth;
    return result;
}

bool CPropertySheet2::CreateInPage(CPropertyPage2& page) {
    inPage_ = true;
    hostPage_ = &page;
    if (CPropertySheet2* outer = page.ParentSheet()) outer->hostsNested_ = true;
    if (!PropertySheet::CreateInPage(page, platform::Point{})) {
        inPage_ = false;
        hostPage_ = nullptr;
        return false;
    }
    // The pages of a nested sheet prompt on the outer sheet's bar.
    if (CPropertySheet2* outer = page.ParentSheet())
        for (int i = 0; i < PageCount(); ++i) GetPage(i)->LinkPromptStrip(&outer->PromptBar());
    return true;
}

void CPropertySheet2::SetPlacementRect(platform::Rect* rect) {
    PlaceDialog(nullptr, rect, *this);
    rect_ = rect;
}

void CPropertySheet2::SaveWindowRect() { dlg_SaveRect(*this, Prompt(), position_, rect_); }

void CPropertySheet2::EndDialogSavingRect(int result) {
    SaveWindowRect();
    EndDialog(result);
    dlg_UpdateCircuitWindow();
}

bool CPropertySheet2::OnInitDialog() {
    dlg_EraseCrossHair();
    bool result = PropertySheet::OnInitDialog();
    if (!inPage_) Dialogs().currentDialog = this;
    if (!inPage_ && (position_ || rect_)) PlaceDialog(position_, rect_, *this);
    return result;
}

int CPropertySheet2::AcceptAllPages() {
    SetFocus();
    for (int i = 0; i < PageCount(); ++i) {
        CPropertyPage2* page = Page(i);
        if (!page || !page->initialised_) continue;
        page->OnOK();
        if (stayOpen_ != 0) {
            int result = stayOpen_;
            stayOpen_ = 0;
            return result;
        }
    }
    if (!inPage_)
        EndDialogSavingRect(platform::dlgid::Ok);
    else
        dlg_UpdateCircuitWindow();
    return 0;
}

void CPropertySheet2::OnOK() { AcceptAllPages(); }

void CPropertySheet2::OnCancel() {
    if (cancelled_) return;
    for (int i = 0; i < PageCount(); ++i) {
        CPropertyPage2* page = Page(i);
        if (!page || !page->initialised_ || page->cancelled_) continue;
        page->OnCancel();
        page->cancelled_ = true;
    }
    cancelled_ = true;
    if (!inPage_)
        EndDialogSavingRect(platform::dlgid::Cancel);
    else
        dlg_UpdateCircuitWindow();
}

void CPropertySheet2::ApplyAllPages() {
    applying_ = true;
    for (int i = 0; i < PageCount(); ++i) {
        CPropertyPage2* page = Page(i);
        if (!page || !page->initialised_) continue;
        page->OnOK();
        page->applied_ = true;
        page->SetModified(false);
    }
}

void CPropertySheet2::OnApply() { ApplyAllPages(); }

void CPropertySheet2::OnHelp() {
    CPropertyPage2* page = dynamic_cast<CPropertyPage2*>(ActivePage());
    if (!page) return;
    unsigned helpId = page->HelpId();
    if (CPropertySheet2* nested = page->NestedSheet())
        if (CPropertyPage2* inner = dynamic_cast<CPropertyPage2*>(nested->ActivePage())) helpId = inner->HelpId();
    dlg_OpenHelp(this, helpId);
}

void CPropertySheet2::OnPageChanged(int index) {
    if (page_) *page_ = index;
}

bool CPropertySheet2::OnSheetKey(int key, unsigned modifiers) {
    if (modifiers != platform::ModNone) return false;
    if (key == platform::key::F1) {
        RouteCommand(kCmdDialogHelp);
        return true;
    }
    if (key != platform::key::Escape) return false;
    // Esc in a sheet edit cancels the whole nest of sheets; elsewhere it gives
    // command 8, which a sheet does not act on (a stray Esc keeps the edits).
    CPropertyPage2* page = dynamic_cast<CPropertyPage2*>(ActivePage());
    if (page && page->NestedSheet()) page = dynamic_cast<CPropertyPage2*>(page->NestedSheet()->ActivePage());
    if (page && page->IsSheetEdit(page->FocusedId())) {
        CPropertySheet2* sheet = page->ParentSheet();
        while (sheet && sheet->InPage() && sheet->HostPage() && sheet->HostPage()->ParentSheet())
            sheet = sheet->HostPage()->ParentSheet();
        if (sheet) sheet->OnCancel();
        return true;
    }
    RouteCommand(kCmdSheetEscape);
    return true;
}

void CPropertySheet2::OnPrompt(int id) {
    platform::PromptStrip& strip = Prompt();
    if (!strip.IsAttached()) return;
    switch (id) {
    case 0: strip.ShowPromptById(0); break;
    case platform::dlgid::Ok: strip.ShowPromptById(18001); break;
    case platform::dlgid::Cancel: strip.ShowPromptById(18002); break;
    case platform::dlgid::Help: strip.ShowPromptById(18009); break;
    case platform::dlgid::Apply: strip.ShowPromptById(18012); break;
    default: break;
    }
}

bool CPropertySheet2::OnCommand(int id) {
    switch (id) {
    case kCmdSheetHelp:
    case kCmdDialogHelp: OnHelp(); return true;
    case platform::dlgid::Cancel: OnCancel(); return true;
    case platform::dlgid::Ok: OnOK(); return true;
    case platform::dlgid::Apply: ApplyAllPages(); return true;
    default: return PropertySheet::OnCommand(id);
    }
}
