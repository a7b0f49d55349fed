#include "shell/exprfield.h"

#include "core/result.h"
#include "shell/colortable.h"
#include "shell/report.h"

// ---- CEdit2 -----------------------------------------------------------------------------------

CEdit2::~CEdit2() {
    if (platform::ControlPanel* panel = HookPanel()) panel->RemoveControl(HookId());
}

bool CEdit2::Create(platform::ControlPanel& parent, const platform::ControlDesc& desc) {
    if (desc.kind != platform::ControlKind::Edit || !parent.AddControl(desc)) return false;
    return parent.SetControlHook(desc.id, this);
}

bool CEdit2::Attach(platform::ControlPanel& parent, int id) {
    return parent.KindOf(id) == platform::ControlKind::Edit && parent.SetControlHook(id, this);
}

// ---- expression fields ------------------------------------------------------------------------

namespace {

// Nesting depth d colours its brackets with colour-table row d mod 12.
constexpr int kEfBracketRows = 12;

class ef_NullExpressionMenus final : public ExpressionMenuPort {
public:
    int BuildExpressionMenu(CMenu2&) override { return kResultNotBuilt; }
    bool HandleExpressionMenuCommand(platform::ControlPanel&, int, CExprRichEdit&, CMenu2&,
                                     const std::string&) override {
        return false;
    }
};
ef_NullExpressionMenus ef_nullMenus;
ExpressionMenuPort* ef_menus = &ef_nullMenus;

}  // namespace

ExpressionMenuPort& ExpressionMenus() { return *ef_menus; }

ExpressionMenuPort* InstallExpressionMenus(ExpressionMenuPort* port) {
    ExpressionMenuPort* previous = ef_menus == &ef_nullMenus ? nullptr : ef_menus;
    ef_menus = port ? port : &ef_nullMenus;
    return previous;
}

bool CExprRichEdit::Attach(platform::ControlPanel& parent, int id) {
    return parent.KindOf(id) == platform::ControlKind::RichEdit && parent.SetControlHook(id, this);
}

void CExprRichEdit::ColorBrackets() {
    platform::ControlPanel* panel = HookPanel();
    if (coloring_ || !panel) return;
    coloring_ = 1;
    const int id = HookId();
    int selStart = 0, selEnd = 0;
    panel->GetTextSelection(id, &selStart, &selEnd);
    if (panel->TextLength(id) > 0) {
        panel->SetRedraw(id, false);
        const std::string text = panel->GetText(id);
        panel->SetCharFormat(id, 0, -1, platform::CharFormat{});
        int depth = 0;
        int position = 0;  // in the control's characters
        for (size_t i = 0; i < text.size(); ++i) {
            const auto byte = static_cast<unsigned char>(text[i]);
            if ((byte & 0xC0) == 0x80) continue;  // inside a multi-byte character
            const char c = text[i];
            if (c == '(') ++depth;
            if ((c == '(' || c == ')') && depth >= 1) {
                platform::CharFormat format;
                format.autoColor = false;
                format.bold = true;
                const ColorTableRow* row = GetColorRow(depth % kEfBracketRows);
                format.color = row ? row->color : 0;
                panel->SetCharFormat(id, position, position + 1, format);
            }
            if (c == ')') --depth;
            position += byte >= 0xF0 ? 2 : 1;  // characters beyond 16 bits take two
        }
        panel->SelectText(id, selStart, selEnd);
        panel->SetRedraw(id, true);
    }
    coloring_ = 0;
}

void CExprRichEditNotify::OnHookRightButton(platform::Point) {
    if (platform::ControlPanel* panel = HookPanel()) panel->NotifyParent(HookId(), platform::Notify::RightButton);
}

void CExprRichEditMenu::OnHookRightButton(platform::Point screen) {
    if (!HookPanel()) return;
    if (popup_.IsEmpty()) {
        if (const int rc = ExpressionMenus().BuildExpressionMenu(popup_)) {
            if (rc != kResultShown) Reporter().Report(Message(rc));
            popup_.Clear();
            popup_.builderData.reset();
            return;
        }
    }
    if (const int command = TrackMenu(popup_, screen)) OnMenuCommand(command);
}

bool CExprRichEditMenu::OnMenuCommand(int command) {
    platform::ControlPanel* panel = HookPanel();
    return panel && ExpressionMenus().HandleExpressionMenuCommand(*panel, command, *this, popup_, "?");
}

// ---- helpers ----------------------------------------------------------------------------------

void SelectAllEditText(platform::ControlPanel& panel, int id) {
    panel.SelectText(id, 0, -1);
    panel.ScrollCaretIntoView(id);
}

void SelectAllRichEditText(platform::ControlPanel& panel, int id) { panel.SelectText(id, 0, panel.TextLength(id)); }

bool InitExprRichEdit(CExprRichEdit& field) {
    platform::ControlPanel* panel = field.HookPanel();
    if (!panel) return false;
    panel->SetLineWrap(field.HookId(), true);
    field.ColorBrackets();
    return true;
}
