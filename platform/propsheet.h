// Property sheets: a tabbed dialog of property pages with OK, Cancel, Apply
// and Help buttons and a prompt strip.
//
// Pages are built when first shown (their OnInitDialog runs then), so a sheet
// with many pages opens quickly and pages never shown take no part in OK,
// Cancel and Apply unless the program's own handling says otherwise. Saving a
// copy of the edited values and writing it back on Cancel is the program's
// job; the sheet calls the hooks.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/controls.h"
#include "platform/dialog.h"
#include "platform/window.h"

namespace platform {

class PropertySheet;

// One page: a control panel whose description's caption is its tab text.
class PropertyPage : public ControlPanel {
public:
    PropertyPage();
    explicit PropertyPage(DialogDesc desc);
    ~PropertyPage() override;

    PropertySheet* Sheet() const;
    bool IsInitialised() const;  // built and OnInitDialog has run
    // Marks the page changed (or not); the sheet's Apply button is enabled
    // while any page is marked.
    void SetModified(bool modified = true);
    bool IsModified() const;

    // --- Overridables
    // The page is built (first activation). True: focus its first control.
    virtual bool OnInitDialog();
    // Every activation, the first included (after OnInitDialog).
    virtual bool OnSetActive();
    // The page is left (another tab, OK, Apply); false keeps it active.
    virtual bool OnKillActive();
    virtual void OnOK();
    virtual void OnCancel();
    // Apply: the default calls OnOK and returns true.
    virtual bool OnApply();

private:
    friend class PropertySheet;
    PropertySheet* sheet_ = nullptr;
    bool initialised_ = false;
    bool modified_ = false;
};

class PropertySheet : public Window, public ModalRequest {
public:
    explicit PropertySheet(std::string caption = std::string());
    ~PropertySheet() override;

    ModalKind Kind() const override { return ModalKind::PropertySheet; }

    // --- Pages (not owned: they must outlive the sheet's window)
    void AddPage(PropertyPage* page);
    int PageCount() const;
    PropertyPage* GetPage(int index) const;         // null outside 0..count-1
    int PageIndex(const PropertyPage* page) const;  // -1 when not a page of this sheet
    // The page a run opens at (out-of-range values open the first page).
    void SetStartPage(int index);
    int ActivePageIndex() const;  // -1 when not built
    PropertyPage* ActivePage() const;
    // Activates a page from code (the leaving page's OnKillActive may refuse);
    // OnPageChanged is not called.
    bool SetActivePage(int index);
    // As the user clicking a tab: like SetActivePage, then OnPageChanged.
    bool UserSelectPage(int index);

    // --- Buttons (created when the sheet is built)
    void ShowHelpButton(bool show);   // off by default
    void ShowApplyButton(bool show);  // on by default
    void EnableApply(bool enable);
    bool IsApplyEnabled() const;
    // A press of button `id` from code: 1 OnOK, 2 OnCancel, 12321 OnApply,
    // 9 OnHelp; other ids do nothing.
    void PressButton(int id);

    // --- Runs
    // As Dialog::DoModal, answerer included.
    int DoModal(Window* owner = nullptr);
    // Builds the sheet without buttons as a child of a built page, its top-left
    // corner at `at` (pixels of the page); its pages use `page`'s prompt strip.
    // It never ends on its own: the outer sheet's OK and Cancel handling reach
    // it through the program's page handlers.
    bool CreateInPage(PropertyPage& page, Point at = Point{});
    bool IsInPage() const;
    void EndDialog(int result);
    bool HasEnded() const;
    int Result() const;
    void CenterOnOwner();

    PromptStrip& Prompt();

    // --- Overridables
    // After the sheet and its start page are built, before it shows.
    virtual bool OnInitDialog();
    // Default: the active page's OnKillActive (false keeps the sheet open),
    // each initialised page's OnOK, then EndDialog(1).
    virtual void OnOK();
    // Default: each initialised page's OnCancel, then EndDialog(2).
    virtual void OnCancel();
    // Default: the active page's OnKillActive, each initialised page's
    // OnApply; when all agree the pages are marked unmodified.
    virtual void OnApply();
    virtual void OnHelp() {}
    // The user changed tabs; `index` is the new active page.
    virtual void OnPageChanged(int /*index*/) {}
    // A key anywhere in the sheet before Enter/Esc handling; true when taken.
    virtual bool OnSheetKey(int /*key*/, unsigned /*modifiers*/) { return false; }
    // The pointer is over one of the sheet's buttons (its id) or the sheet's
    // own background (0). Default: the prompt strip shows the id's prompt.
    virtual void OnPrompt(int id);

    struct SheetImpl;
    SheetImpl* sheetImpl() const { return s_.get(); }

protected:
    bool OnClose() override;

private:
    friend class PropertyPage;
    std::unique_ptr<SheetImpl> s_;
};

}  // namespace platform
