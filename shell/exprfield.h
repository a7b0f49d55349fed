// Text-entry controls that dialogs all over the program share: a plain edit
// that goes with its object, a popup menu, and the expression fields, whose
// brackets are coloured by nesting depth and whose right button offers what
// may be typed into an expression.
//
// Controls live in their panel and are addressed by id; these classes attach
// to one control of a built panel and handle what happens to it before the
// panel does.
#pragma once

#include <memory>
#include <string>

#include "platform/controls.h"
#include "platform/menu.h"

// An edit control owned by its object: the control is removed from its panel
// when the object goes. In-place cell editors and dialog fields use it.
class CEdit2 : public platform::ControlHook {
public:
    CEdit2() = default;
    ~CEdit2() override;
    // Makes the edit on a built panel (dialog units); false when it cannot.
    bool Create(platform::ControlPanel& parent, const platform::ControlDesc& desc);
    // Takes over an edit the panel already has.
    bool Attach(platform::ControlPanel& parent, int id);
};

// A popup menu of a control, empty until it is first filled.
class CMenu2 : public platform::Menu {
public:
    // What the code that filled the menu keeps with it to answer its commands.
    struct BuilderData {
        virtual ~BuilderData() = default;
    };
    bool IsEmpty() const { return ItemCount() == 0; }
    std::unique_ptr<BuilderData> builderData;
};

// An expression field: a rich edit whose brackets are shown bold in the
// colour of their nesting depth (colour-table row depth mod 12), following
// every change of the text.
class CExprRichEdit : public platform::ControlHook {
public:
    CExprRichEdit() = default;
    // Takes over the panel's rich edit `id`; false when there is none.
    bool Attach(platform::ControlPanel& parent, int id);
    virtual void Recolor() { ColorBrackets(); }
    // Every character back to the automatic colour and not bold, then each
    // bracket inside a pair bold in its depth's colour. A ")" with no "(" open
    // stays plain, and so do the brackets after it until the depth is back
    // above 0. The selection is kept; the field is repainted once.
    void ColorBrackets();

protected:
    void OnHookTextChanged() override { Recolor(); }

private:
    // Set while this field recolours: the format changes must not start
    // another recolouring of the same field.
    int coloring_ = 0;
};

// An expression field that reports its right button to its panel: the panel's
// OnControl gets Notify::RightButton with the field's id (the field has the
// focus by then). The limits grid's expression cells are of this kind.
class CExprRichEditNotify : public CExprRichEdit {
protected:
    void OnHookRightButton(platform::Point screen) override;
};

// An expression field whose right button opens the expression menu of the
// analysis layer; a choice from it is typed into the field.
class CExprRichEditMenu : public CExprRichEdit {
public:
    CMenu2& Popup() { return popup_; }
    // A command of the popup: the analysis layer's handler first; false when
    // nobody took it.
    bool OnMenuCommand(int command);

protected:
    void OnHookRightButton(platform::Point screen) override;
    // Shows the popup at a screen point and returns the chosen id (0 none).
    virtual int TrackMenu(CMenu2& menu, platform::Point screen) { return menu.TrackPopup(screen); }

private:
    CMenu2 popup_;
};

// The expression menu of the analysis layer, which is built above this one.
// Without it the menu cannot be filled: 15090 is reported.
class ExpressionMenuPort {
public:
    virtual ~ExpressionMenuPort() = default;
    // Fills an expression field's popup (node voltages, digital states, device
    // quantities, variables, functions, operators, curves, Expand): 0 or a
    // result code.
    virtual int BuildExpressionMenu(CMenu2& menu) = 0;
    // Types the choice of `command` into the field; `x` stands for the X
    // expression of functions that take one. False when the id is not one
    // of the menu's.
    virtual bool HandleExpressionMenuCommand(platform::ControlPanel& parent, int command, CExprRichEdit& field,
                                             CMenu2& menu, const std::string& x) = 0;
};
ExpressionMenuPort& ExpressionMenus();
// Returns the port installed before; null restores the null object.
ExpressionMenuPort* InstallExpressionMenus(ExpressionMenuPort* port);

// Selects the whole text of an edit and scrolls the caret into view.
void SelectAllEditText(platform::ControlPanel& panel, int id);
// Selects the whole text of a rich edit.
void SelectAllRichEditText(platform::ControlPanel& panel, int id);
// Readies an attached expression field: lines wrap at its width and its
// brackets are coloured. False when the field is not attached.
bool InitExprRichEdit(CExprRichEdit& field);
