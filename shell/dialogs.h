// The bases of every dialog box, property sheet and property page of the
// program, and the program-wide dialog state.
//
// All dialogs behave alike: their last position (or rectangle) is remembered in
// a record the caller owns and restored at the next opening; a prompt bar along
// the bottom describes the control under the pointer; F1 opens the dialog's
// help, F2 (where allowed) closes it with OK and starts a run; while one runs,
// the modal depth and the current dialog tell the rest of the program so.
#pragma once

#include <vector>

#include "platform/dialog.h"
#include "platform/propsheet.h"

class CDialog2;
class CPropertySheet2;
class CPropertyPage2;

// ---- program-wide dialog state ----------------------------------------------

struct DialogState {
    // Modal dialogs and sheets now running (the main loop's accelerator filter
    // and auto-save hold back while it is not 0).
    int modalDepth = 0;
    // The dialog or sheet whose initialisation ran last; null once a modal run
    // has returned or a modeless dialog has closed.
    platform::Window* currentDialog = nullptr;
    // The open modeless dialog, which the main loop gives dialog key handling.
    platform::Window* modelessDialog = nullptr;
};
DialogState& Dialogs();

// Commands of the dialog bases.
constexpr int kCmdDialogHelp = 9;   // F1
constexpr int kCmdSheetEscape = 8;  // Esc in a sheet outside a sheet edit
constexpr int kCmdRun = 16068;      // F2: close with OK, then run
constexpr int kCmdSheetHelp = 57670;
constexpr int kCmdCopyFromDefaults = 1348;
constexpr int kCmdCopyToDefaults = 1349;
constexpr int kPromptBarId = 59393;

// What the dialog bases need of later subsystems, one port per concern. Each is
// installed by its owner; the null objects do nothing, answer "no" and read
// plain engineering numbers.

// The schematic editor: erase the full-window cross-hair cursor before a
// dialog covers it; draw a schematic whose repaint is pending once it closes.
class SchematicCursorPort {
public:
    virtual ~SchematicCursorPort() = default;
    virtual void EraseCrossHair() = 0;
    virtual void UpdateActiveCircuitWindow() = 0;
};
SchematicCursorPort& SchematicCursor();
SchematicCursorPort* InstallSchematicCursor(SchematicCursorPort* port);

// Help: opens context help `helpId` for `window`.
class ContextHelpPort {
public:
    virtual ~ContextHelpPort() = default;
    virtual void OpenContextHelp(platform::Window* window, unsigned helpId) = 0;
};
ContextHelpPort& ContextHelp();
ContextHelpPort* InstallContextHelp(ContextHelpPort* port);

// Analysis control: true while the program is in analysis mode (F2 then only
// closes the dialog).
class AnalysisModePort {
public:
    virtual ~AnalysisModePort() = default;
    virtual bool IsAnalysisMode() = 0;
};
AnalysisModePort& AnalysisMode();
AnalysisModePort* InstallAnalysisMode(AnalysisModePort* port);

// Numeric fields: evaluates a field's text as a number or expression; *error
// becomes non-zero when it is neither. The reporting form tells the user, the
// quiet one does not. The null object reads a plain engineering number.
class NumericFieldPort {
public:
    virtual ~NumericFieldPort() = default;
    virtual double EvaluateNumericText(const char* text, int* error, bool quiet) = 0;
};
NumericFieldPort& NumericFields();
NumericFieldPort* InstallNumericFields(NumericFieldPort* port);

// Places a window from its remembered position or rectangle (either may be
// null): nothing remembered, (-1, -1), or a corner that would put the window
// off the screen centres it instead; a negative x or y becomes 0 and is written
// back. A remembered rectangle also gives the size. Returns true when the
// remembered place was used, false when the window was centred.
bool PlaceDialog(platform::Point* position, platform::Rect* rect, platform::Dialog& dialog);
bool PlaceDialog(platform::Point* position, platform::Rect* rect, platform::PropertySheet& sheet);

// ---- CDialog2 ---------------------------------------------------------------

// The base of every dialog box. Derived dialogs set their control description
// (SetDescription) in their constructor and close through EndDialogSavingRect.
class CDialog2 : public platform::Dialog {
public:
    // Modeless dialogs: help id 0.
    explicit CDialog2(platform::Point* rememberedPosition);
    CDialog2(unsigned templateId, platform::Window* parent, platform::Rect* rememberedRect);
    // The usual form.
    CDialog2(unsigned templateId, platform::Point* rememberedPosition, platform::Window* parent);
    ~CDialog2() override;

    // Runs the dialog modally over its parent with the modal depth raised; the
    // current dialog is null afterwards.
    int DoModal();
    // Opens the dialog modeless; it becomes the program's modeless dialog.
    bool CreateModeless();
    // Destroys a modeless dialog, forgets it and brings the main window forward.
    void CloseModeless();

    void SaveWindowRect();
    void EndDialogSavingRect(int result);

    // Formats the value with "%.8g" as the control's text.
    void SetItemNumber(int controlId, double value);
    // Replaces `text` (a heap string, freed first) with a copy of the control's
    // text; null (also stored) when out of memory.
    char* GetItemTextAlloc(char*& text, int controlId);

    // The prompt bar (attach it in OnInitDialog to show control prompts).
    platform::PromptStrip& PromptBar() { return Prompt(); }

    void SetRunKey(bool on) { runKey_ = on; }
    bool RunKey() const { return runKey_; }
    unsigned HelpId() const { return helpId_; }
    platform::Window* ParentWindow() const { return parent_; }
    void SetParentWindow(platform::Window* parent) { parent_ = parent; }
    platform::Point* RememberedPosition() const { return position_; }
    platform::Rect* RememberedRect() const { return rect_; }

    bool OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    // F1 gives command 9; F2 gives command 16068 when the run key is set.
    bool OnDialogKey(int key, unsigned modifiers) override;
    bool OnCommand(int id) override;
    // Command 9: context help by the help id.
    virtual void OnHelp();
    // Command 16068: OK, then (outside analysis mode) the Run command is posted
    // to the main window, which starts the run once the dialog is gone.
    virtual void OnRun();

private:
    platform::Point* position_ = nullptr;
    platform::Rect* rect_ = nullptr;
    platform::Window* parent_ = nullptr;
    bool runKey_ = false;
    unsigned helpId_ = 0;
};

// ---- CPropertySheet2 and CPropertyPage2 ---------------------------------------

class CPropertyPage2 : public platform::PropertyPage {
public:
    CPropertyPage2();
    // The template id is the page's help id; the caption id its tab text (from
    // the string table; set the description's caption to override it).
    CPropertyPage2(unsigned templateId, int captionId);
    ~CPropertyPage2() override;

    CPropertySheet2* ParentSheet() const;

    bool OnInitDialog() override;
    // OK and Cancel reach a sheet this page carries.
    void OnOK() override;
    void OnCancel() override;
    // The user cancelled: the cancel handling of the outermost sheet of a nest
    // runs (once).
    virtual void OnReset();

    // Prompts: the pointer is over control `id` (0: the page itself).
    void OnPrompt(int id) override;
    virtual void OnSetCursorPrompt(int controlId);
    virtual void ShowPromptForWindow(int controlId);
    // The id whose prompt shows for the control under the pointer: a disabled
    // push button shows its own; statics, group boxes and disabled check boxes,
    // radio buttons and default buttons show none (0).
    virtual int GetPromptControlId(int controlId) const;
    // Commands 1348 and 1349 (empty here).
    virtual void CopyFromDefaults() {}
    virtual void CopyToDefaults() {}
    void OnControl(int id, platform::Notify what) override;

    // The handler derived pages call for edits and colour choices that change:
    // marks the page modified, which enables Apply Now.
    void OnControlChanged();
    // Formats `value` with `format` (a program format such as "%.5g") as the
    // control's text.
    void SetItemFormatted(int controlId, const char* format, double value);
    // The control's text (first 100 characters) as a number or expression;
    // reported when `error` is given, quiet otherwise.
    double GetItemValue(int controlId, int* error);
    // Takes the control's value when it is valid and within [minimum, maximum],
    // then shows the kept value ("%.16g" / as an integer).
    void ReadBoundedDouble(double& value, int controlId, double minimum, double maximum);
    void ReadBoundedInt(int& value, int controlId, int minimum, int maximum);

    // Esc in these edits cancels the whole sheet (see CSheetEdit).
    void AddSheetEdit(int controlId);
    bool IsSheetEdit(int controlId) const;

    unsigned HelpId() const { return helpId_; }
    unsigned TemplateId() const { return templateId_; }
    bool Initialised() const { return initialised_; }
    bool Applied() const { return applied_; }
    bool Cancelled() const { return cancelled_; }
    void SetRestoreDefaultsPrompt(bool on) { restoreDefaultsPrompt_ = on; }
    CPropertySheet2* NestedSheet() const { return nested_; }
    void SetNestedSheet(CPropertySheet2* sheet) { nested_ = sheet; }
    platform::PromptStrip* PromptLink() const { return LinkedPromptStrip(); }

private:
    friend class CPropertySheet2;
    bool initialised_ = false;
    bool applied_ = false;
    bool cancelled_ = false;
    bool restoreDefaultsPrompt_ = false;
    unsigned helpId_ = 0;
    unsigned templateId_ = 0;
    CPropertySheet2* nested_ = nullptr;
    std::vector<int> sheetEdits_;
};

// An edit on a property page whose Esc cancels the sheet instead of doing
// nothing. Attach it to an edit of the page in the page's constructor or
// OnInitDialog.
class CSheetEdit {
public:
    void SubclassDlgItem(int controlId, CPropertyPage2& page) { page.AddSheetEdit(controlId); }
};

class CPropertySheet2 : public platform::PropertySheet {
public:
    // The caption from the string table, or as text. The sheet opens at the page
    // *rememberedPage holds and writes the active page back there.
    CPropertySheet2(int captionId, platform::Point* rememberedPosition, platform::Window* parent, int* rememberedPage);
    CPropertySheet2(const char* caption, platform::Point* rememberedPosition, platform::Window* parent,
                    int* rememberedPage);
    ~CPropertySheet2() override;

    void AddPage(CPropertyPage2* page);
    CPropertyPage2* Page(int index) const;

    int DoModal();
    // Lives as a child of `page` (a page of another sheet) at its top-left
    // corner; that sheet's prompt bar serves this sheet's pages.
    bool CreateInPage(CPropertyPage2& page);
    void SetPlacementRect(platform::Rect* rect);

    void SaveWindowRect();
    void EndDialogSavingRect(int result);

    // OK over the initialised pages in order; a page may hold the sheet open by
    // setting the stay-open result, which is then returned (and reset).
    int AcceptAllPages();
    // Apply Now: every initialised page's OnOK; the sheet stays open.
    virtual void ApplyAllPages();

    bool OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    void OnApply() override;
    void OnHelp() override;
    void OnPageChanged(int index) override;
    // F1 gives command 9; Esc cancels from a sheet edit, else gives command 8.
    bool OnSheetKey(int key, unsigned modifiers) override;
    void OnPrompt(int id) override;
    bool OnCommand(int id) override;

    platform::PromptStrip& PromptBar() { return Prompt(); }
    void SetStayOpenResult(int result) { stayOpen_ = result; }
    int StayOpenResult() const { return stayOpen_; }
    bool InPage() const { return inPage_; }
    bool HostsNested() const { return hostsNested_; }
    bool Applying() const { return applying_; }
    bool Cancelled() const { return cancelled_; }
    CPropertyPage2* HostPage() const { return hostPage_; }
    platform::Window* ParentWindow() const { return parent_; }

private:
    platform::Point* position_ = nullptr;
    platform::Rect* rect_ = nullptr;
    int* page_ = nullptr;
    platform::Window* parent_ = nullptr;
    CPropertyPage2* hostPage_ = nullptr;
    bool inPage_ = false;
    bool hostsNested_ = false;
    bool applying_ = false;
    int stayOpen_ = 0;
    bool cancelled_ = false;
};
