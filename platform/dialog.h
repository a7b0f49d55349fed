// Dialog boxes built in code from a control description, their prompt strip,
// and the modal answerer that lets tests and batch runs answer any modal
// dialog, property sheet, message box or common dialog without a user.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/controls.h"
#include "platform/window.h"

namespace platform {

// Results of modal runs and the ids of the standard buttons: a button's id is
// the result it ends a dialog with.
namespace dlgid {
constexpr int Ok = 1;
constexpr int Cancel = 2;
constexpr int Abort = 3;
constexpr int Retry = 4;
constexpr int Ignore = 5;
constexpr int Yes = 6;
constexpr int No = 7;
constexpr int Close = 8;
constexpr int Help = 9;
constexpr int Apply = 12321;
constexpr int Failed = -1;  // the dialog could not run, or refused a scripted answer
}  // namespace dlgid

// ---------------------------------------------------------------------------
// Modal answerer

enum class ModalKind : uint8_t {
    Dialog,
    PropertySheet,
    FileOpen,
    FileSave,
    ColorChoice,
    FontChoice,
    FolderChoice,
    PopupMenu,
};

// Anything that runs modally. The answerer receives it and casts it to the
// class it expects (Dialog, PropertySheet, FileDialog, ColorDialog, FontDialog).
class ModalRequest {
public:
    virtual ~ModalRequest() = default;
    virtual ModalKind Kind() const = 0;
};

class Menu;

// A context menu about to open (Menu::TrackPopup): the answerer returns the
// command id it chooses, 0 for none. Only an enabled item of the menu counts.
class PopupMenuRequest final : public ModalRequest {
public:
    PopupMenuRequest(Menu& menu, Point screenPoint) : menu_(menu), screenPoint_(screenPoint) {}
    ModalKind Kind() const override { return ModalKind::PopupMenu; }
    Menu& GetMenu() const { return menu_; }
    Point ScreenPoint() const { return screenPoint_; }

private:
    Menu& menu_;
    Point screenPoint_;
};

// When an answerer is set, a modal run does not wait for a user: it builds and
// initialises the dialog, calls the answerer, and takes its return value as the
// button the user pressed (see Dialog::DoModal). Tests and batch runs set it.
using ModalAnswerer = std::function<int(ModalRequest&)>;
void SetModalAnswerer(ModalAnswerer answerer);  // an empty function removes it
bool HasModalAnswerer();
// Calls the answerer (which must be set) with `request`.
int CallModalAnswerer(ModalRequest& request);

// Sets an answerer for a scope and puts the previous one back at its end.
class ScopedModalAnswerer {
public:
    explicit ScopedModalAnswerer(ModalAnswerer answerer);
    ~ScopedModalAnswerer();
    ScopedModalAnswerer(const ScopedModalAnswerer&) = delete;
    ScopedModalAnswerer& operator=(const ScopedModalAnswerer&) = delete;

private:
    ModalAnswerer previous_;
};

// ---------------------------------------------------------------------------
// Prompts

// The text shown for a control or command id in prompt strips; the program
// installs its string-table lookup. Unset, prompts are empty.
using PromptTextProvider = std::function<std::string(int id)>;
void SetPromptTextProvider(PromptTextProvider provider);
std::string PromptTextFor(int id);

// A status strip along the bottom of a dialog or property sheet that shows the
// prompt of the control under the pointer or in focus. It is created hidden;
// Attach shows it (and by default grows the window by its height so that the
// controls keep their room); Hide removes it and gives the height back.
class PromptStrip {
public:
    ~PromptStrip();
    PromptStrip(const PromptStrip&) = delete;
    PromptStrip& operator=(const PromptStrip&) = delete;

    // 1 to 3 panes (pane 0 stretches; size the others with SetPaneWidth) and
    // 1 to 6 lines of text. Attaching an attached strip only records the lines.
    void Attach(int panes = 1, int lines = 1, bool grow = true);
    void Hide();
    bool IsAttached() const;
    int PaneCount() const;
    int Lines() const;
    // Height the strip adds to its window while attached (pixels).
    int ExtraHeight() const;

    // Texts are shown as they are ("&" included). Nothing changes while the
    // strip is not attached or is locked.
    void SetText(const std::string& text);
    std::string Text() const;
    void SetPaneText(int pane, const std::string& text);
    std::string PaneText(int pane) const;
    void SetPaneWidth(int pane, int pixels);
    // Shows PromptTextFor(id); a one-line strip shows the text up to its first line break.
    void ShowPromptById(int id);
    void SetLocked(bool locked);
    bool IsLocked() const;
    void SetFont(const FontDesc& font);

    struct Impl;
    Impl* impl() const { return impl_.get(); }

private:
    friend class Dialog;
    friend class PropertySheet;
    PromptStrip();
    std::unique_ptr<Impl> impl_;
};

// ---------------------------------------------------------------------------
// Dialogs

// A dialog box: a window whose client area is a ControlPanel, with a prompt
// strip along its bottom. Enter presses the default button (or OK when there
// is none), Esc and the window's close box press Cancel (id 2, also when the
// dialog has no such button). A button's click calls OnOK for id 1, OnCancel
// for id 2 and OnControl(id, Clicked) for the others.
class Dialog : public Window, public ControlPanel, public ModalRequest {
public:
    Dialog();
    explicit Dialog(DialogDesc desc);
    ~Dialog() override;

    ModalKind Kind() const override { return ModalKind::Dialog; }

    // Builds the dialog, calls OnInitDialog, shows it and runs until EndDialog;
    // returns the code given to EndDialog, or dlgid::Failed when it cannot run.
    // With a modal answerer set there is no loop: after OnInitDialog the
    // answerer is called; unless it ended the dialog itself, its answer is
    // pressed as a button (PressButton). The result is then the code the dialog
    // ended with; a dialog still open after the press (an OnOK or OnCancel that
    // refused to close) gives dlgid::Failed; any other answer that leaves it
    // open is the result itself. The controls stay readable after the run
    // until the next run or the dialog's destruction.
    int DoModal(Window* owner = nullptr);
    // Builds, initialises and shows the dialog without waiting. It lives until
    // DestroyDialog or the object's destruction; EndDialog only hides it.
    bool CreateModeless(Window* owner = nullptr);
    void DestroyDialog();
    void EndDialog(int result);
    bool IsModal() const;
    bool HasEnded() const;
    int Result() const;

    // Acts as a click on button `id` (which need not exist): 1 OnOK,
    // 2 OnCancel, others OnControl(id, Clicked).
    void PressButton(int id);

    PromptStrip& Prompt();

    // Centres the window on its owner (on the screen's work area without one).
    // Use Window::WindowRect and Window::Move for remembered placements.
    void CenterOnOwner();
    // Sets the size of the control panel; the window grows by the prompt strip.
    void SetPanelSize(Size pixels);

    // --- Overridables
    // After the controls are built, before the dialog shows. Return true to
    // put the focus on the first control that takes it.
    virtual bool OnInitDialog();
    virtual void OnOK();      // default: EndDialog(1)
    virtual void OnCancel();  // default: EndDialog(2)
    // A key pressed anywhere in the dialog, before Enter/Esc handling; return
    // true when handled (accelerators such as F1 and F2).
    virtual bool OnDialogKey(int key, unsigned modifiers);

    struct DialogImpl;
    DialogImpl* dialogImpl() const { return d_.get(); }

protected:
    void OnButtonClicked(int id) override;
    // The close box presses Cancel; the window itself stays for the caller.
    bool OnClose() override;

private:
    std::unique_ptr<DialogImpl> d_;
};

}  // namespace platform
