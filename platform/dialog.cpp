// Dialogs over Qt: the window, its control panel, the prompt strip, modal runs
// and the modal answerer.

#include "platform/dialog.h"

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <vector>

#include "platform/app.h"
#include "platform/controls_qt.h"
#include "platform/dialog_qt.h"
#include "platform/draw_qt.h"
#include "platform/window_qt.h"

namespace platform {

// ---------------------------------------------------------------------------
// Modal answerer and prompt texts

namespace {
ModalAnswerer& dlg_Answerer() {
    static ModalAnswerer answerer;
    return answerer;
}
PromptTextProvider& dlg_PromptProvider() {
    static PromptTextProvider provider;
    return provider;
}
}  // namespace

void SetModalAnswerer(ModalAnswerer answerer) { dlg_Answerer() = std::move(answerer); }
bool HasModalAnswerer() { return static_cast<bool>(dlg_Answerer()); }
int CallModalAnswerer(ModalRequest& request) {
    // A copy, so that an answerer may replace itself while it runs.
    ModalAnswerer answerer = dlg_Answerer();
    return answerer ? answerer(request) : dlgid::Failed;
}

ScopedModalAnswerer::ScopedModalAnswerer(ModalAnswerer answerer) : previous_(dlg_Answerer()) {
    dlg_Answerer() = std::move(answerer);
}
ScopedModalAnswerer::~ScopedModalAnswerer() { dlg_Answerer() = std::move(previous_); }

void SetPromptTextProvider(PromptTextProvider provider) { dlg_PromptProvider() = std::move(provider); }
std::string PromptTextFor(int id) {
    const PromptTextProvider& p = dlg_PromptProvider();
    return p ? p(id) : std::string();
}

// ---------------------------------------------------------------------------
// Shared by dialogs and sheets

QWidget* DlgMakeTopWidget(Window& window, Window* owner, const std::string& title) {
    if (!QApplication::instance()) return nullptr;  // no toolkit: the run fails instead of aborting
    QWidget* ownerWidget = owner ? WidgetOf(*owner) : nullptr;
    // Without an owner the main window owns it, as a person expects: the
    // dialog opens over it and stays in front of it, also when the main
    // window shows only after the dialog (start-up with an analysis).
    if (!ownerWidget) {
        Application* app = Application::Instance();
        Window* main = app ? app->MainWindow() : nullptr;
        if (main && main != &window) ownerWidget = WidgetOf(*main);
    }
    if (ownerWidget) ownerWidget = ownerWidget->window();
    auto* w =
        new QWidget(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    if (!AdoptWidget(window, w, owner, false)) {
        delete w;
        return nullptr;
    }
    window.SetTitle(title);
    // Owned by the owner's top-level window: stays above it and centres on it.
    if (ownerWidget) w->setParent(ownerWidget, w->windowFlags());
    return w;
}

void DlgCenter(QWidget* w) {
    if (!w) return;
    QWidget* owner = w->parentWidget() ? w->parentWidget()->window() : nullptr;
    QRect area;
    if (owner && owner->isVisible()) {
        area = owner->frameGeometry();
    } else {
        QScreen* screen = QGuiApplication::primaryScreen();
        area = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    }
    QSize size = w->frameGeometry().size();
    if (!w->isVisible() || size.isEmpty()) size = w->size();
    QPoint topLeft(area.x() + (area.width() - size.width()) / 2, area.y() + (area.height() - size.height()) / 2);
    w->move(std::max(0, topLeft.x()), std::max(0, topLeft.y()));
}

void DlgFocusFirst(ControlPanel::Impl& panel) {
    for (const auto& r : panel.records) {
        QWidget* w = r->widget;
        if ((w->focusPolicy() & Qt::TabFocus) && w->isEnabled() && !w->isHidden()) {
            w->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}

int DlgRunModal(QWidget* top, const std::function<bool()>& ended, QEventLoop*& loopSlot) {
    ModalScope scope;
    top->setWindowModality(Qt::ApplicationModal);
    top->show();
    top->raise();
    top->activateWindow();
    if (!ended()) {
        QEventLoop loop;
        loopSlot = &loop;
        loop.exec(QEventLoop::DialogExec);
        loopSlot = nullptr;
    }
    return 0;
}

// ---------------------------------------------------------------------------
// PromptStrip

PromptStrip::PromptStrip() : impl_(std::make_unique<Impl>()) {}
PromptStrip::~PromptStrip() = default;

void PromptStrip::Impl::Reset(QWidget* newHost) {
    host = newHost;
    bar = nullptr;  // died with the old host
    panes.clear();
    attached = false;
    extra = 0;
}

int PromptStrip::Impl::BarHeight() const {
    QFont f = hasFont ? ToQFont(font, 1.0) : (host ? host->font() : QApplication::font());
    QFontMetrics fm(f);
    return lines * fm.lineSpacing() + 6;
}

void PromptStrip::Impl::Layout() {
    if (!host || !bar || !attached) return;
    bar->setGeometry(0, host->height() - extra, host->width(), extra);
    bar->raise();
}

void PromptStrip::Attach(int panes, int lines, bool grow) {
    Impl& p = *impl_;
    p.lines = std::clamp(lines, 1, 6);
    if (p.attached) return;
    p.paneCount = std::clamp(panes, 1, 3);
    if (!p.host) {
        // Attached before the window exists: done when it is built.
        p.pendingAttach = true;
        p.pendingGrow = grow;
        return;
    }
    if (!p.bar) {
        auto* bar = new QFrame(p.host);
        bar->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        auto* layout = new QHBoxLayout(bar);
        layout->setContentsMargins(2, 1, 2, 1);
        layout->setSpacing(4);
        for (int i = 0; i < p.paneCount; ++i) {
            auto* label = new QLabel(bar);
            label->setTextFormat(Qt::PlainText);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            label->setWordWrap(p.lines > 1);
            if (i > 0) label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            layout->addWidget(label, i == 0 ? 1 : 0);
            p.panes.push_back(label);
        }
        if (p.hasFont) bar->setFont(ToQFont(p.font, 1.0));
        p.bar = bar;
    }
    for (QLabel* label : p.panes) label->setWordWrap(p.lines > 1);
    p.extra = p.BarHeight();
    p.attached = true;
    if (grow) p.host->resize(p.host->width(), p.host->height() + p.extra);
    p.bar->show();
    p.Layout();
}

void PromptStrip::Hide() {
    Impl& p = *impl_;
    p.pendingAttach = false;
    if (!p.attached || !p.bar) return;
    p.bar->hide();
    p.attached = false;
    if (p.host) p.host->resize(p.host->width(), std::max(1, p.host->height() - p.extra));
}

bool PromptStrip::IsAttached() const { return impl_->attached; }
int PromptStrip::PaneCount() const { return impl_->paneCount; }
int PromptStrip::Lines() const { return impl_->lines; }
int PromptStrip::ExtraHeight() const { return impl_->attached ? impl_->extra : 0; }

void PromptStrip::SetText(const std::string& text) { SetPaneText(0, text); }
std::string PromptStrip::Text() const { return PaneText(0); }

void PromptStrip::SetPaneText(int pane, const std::string& text) {
    Impl& p = *impl_;
    if (!p.attached || p.locked || !p.bar || pane < 0 || pane >= static_cast<int>(p.panes.size())) return;
    p.panes[pane]->setText(ToQString(text));
}

std::string PromptStrip::PaneText(int pane) const {
    const Impl& p = *impl_;
    if (pane < 0 || pane >= static_cast<int>(p.panes.size()) || !p.bar) return std::string();
    return p.panes[pane]->text().toStdString();
}

void PromptStrip::SetPaneWidth(int pane, int pixels) {
    Impl& p = *impl_;
    if (!p.bar || pane <= 0 || pane >= static_cast<int>(p.panes.size())) return;
    p.panes[pane]->setFixedWidth(std::max(0, pixels));
}

void PromptStrip::ShowPromptById(int id) {
    if (!impl_->attached) return;
    std::string text = PromptTextFor(id);
    if (impl_->lines == 1) {
        size_t cut = text.find_first_of("\r\n");
        if (cut != std::string::npos) text.resize(cut);
    }
    SetText(text);
}

void PromptStrip::SetLocked(bool locked) { impl_->locked = locked; }
bool PromptStrip::IsLocked() const { return impl_->locked; }

void PromptStrip::SetFont(const FontDesc& font) {
    Impl& p = *impl_;
    p.font = font;
    p.hasFont = true;
    if (!p.bar) return;
    p.bar->setFont(ToQFont(font, 1.0));
    if (p.attached) {
        // Keep the window's panel area: the height change goes to the window.
        int old = p.extra;
        p.extra = p.BarHeight();
        if (p.host) p.host->resize(p.host->width(), p.host->height() + p.extra - old);
        p.Layout();
    }
}

// ---------------------------------------------------------------------------
// Dialog

// Window-level events of a dialog: resizing moves the strip; keys that no
// control took.
class DlgTopFilter : public QObject {
public:
    explicit DlgTopFilter(Dialog::DialogImpl* d) : d_(d) {}
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Dialog::DialogImpl* d_;
};

struct Dialog::DialogImpl {
    explicit DialogImpl(Dialog* dialog) : self(dialog) {}
    Dialog* self;
    PromptStrip strip;
    QPointer<QWidget> top;
    std::unique_ptr<DlgTopFilter> topFilter;
    QEventLoop* loop = nullptr;
    bool modal = false;
    bool ended = false;
    int result = 0;
    bool running = false;  // inside DoModal

    bool Build(Window* owner);
    void Teardown();
    bool HandleKey(int key, unsigned modifiers);
};

bool DlgTopFilter::eventFilter(QObject* watched, QEvent* event) {
    if (watched == d_->top.data()) {
        if (event->type() == QEvent::Resize) {
            // The panel takes the client area above the strip.
            if (QWidget* panel = d_->self->panelImpl()->panel.data())
                panel->resize(d_->top->width(), std::max(1, d_->top->height() - d_->strip.ExtraHeight()));
            d_->strip.impl()->Layout();
        } else if (event->type() == QEvent::KeyPress) {
            auto* ke = static_cast<QKeyEvent*>(event);
            int key = KeyCodeFromQt(ke->key(), ke->modifiers());
            if (key != 0 && d_->HandleKey(key, ModifiersFromQt(ke->modifiers()))) return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

bool Dialog::DialogImpl::HandleKey(int key, unsigned modifiers) {
    if (self->OnDialogKey(key, modifiers)) return true;
    if (modifiers & (ModCtrl | ModAlt)) return false;
    if (key == key::Escape) {
        self->PressButton(dlgid::Cancel);
        return true;
    }
    if (key == key::Enter) {
        // The focused push button, else the default button, else OK.
        int id = 0;
        int focused = self->FocusedId();
        if (focused) {
            ControlKind k = self->KindOf(focused);
            if (k == ControlKind::Button || k == ControlKind::DefaultButton || k == ControlKind::OwnerButton ||
                k == ControlKind::ColorSwatch)
                id = focused;
        }
        if (!id) id = self->DefaultButton() ? self->DefaultButton() : dlgid::Ok;
        if (self->HasControl(id) && !self->IsControlEnabled(id)) return true;
        self->PressButton(id);
        return true;
    }
    return false;
}

void Dialog::DialogImpl::Teardown() {
    ControlPanel::Impl* p = self->panelImpl();
    p->Destroy();
    strip.impl()->Reset(nullptr);
    topFilter.reset();
    if (self->Exists()) {
        if (CtlDispatchScope::Active() && top) {
            // Asked from one of the dialog's own handlers: the widgets whose
            // event is running must outlive it, so the window goes a moment later.
            top->hide();
            QPointer<QWidget> old = top;
            std::weak_ptr<Window*> alive = WindowToken(*self);
            QTimer::singleShot(0, qApp, [alive, old] {
                auto w = alive.lock();
                if (w && old && WidgetOf(**w) == old.data()) (*w)->Destroy();
            });
        } else {
            self->Window::Destroy();
        }
    }
    top = nullptr;
}

bool Dialog::DialogImpl::Build(Window* owner) {
    Teardown();
    const DialogDesc& desc = self->Description();
    QWidget* w = DlgMakeTopWidget(*self, owner, desc.caption);
    if (!w) return false;
    top = w;
    ControlPanel::Impl* p = self->panelImpl();
    QWidget* panel = p->Build(w);
    p->keyHandler = [this](int key, unsigned mods) { return HandleKey(key, mods); };
    w->setFont(panel->font());
    w->resize(panel->size());
    topFilter = std::make_unique<DlgTopFilter>(this);
    w->installEventFilter(topFilter.get());
    strip.impl()->Reset(w);
    if (!p->prompt) p->prompt = &strip;
    ended = false;
    result = 0;
    if (strip.impl()->pendingAttach) {
        strip.impl()->pendingAttach = false;
        strip.Attach(strip.PaneCount(), strip.Lines(), strip.impl()->pendingGrow);
    }
    return true;
}

Dialog::Dialog() : d_(std::make_unique<DialogImpl>(this)) { LinkPromptStrip(&d_->strip); }
Dialog::Dialog(DialogDesc desc) : ControlPanel(std::move(desc)), d_(std::make_unique<DialogImpl>(this)) {
    LinkPromptStrip(&d_->strip);
}

Dialog::~Dialog() { d_->Teardown(); }

int Dialog::DoModal(Window* owner) {
    if (d_->running) return dlgid::Failed;  // one run at a time
    if (!d_->Build(owner)) return dlgid::Failed;
    d_->running = true;
    d_->modal = true;
    DlgCenter(d_->top);
    bool focusFirst = false;
    {
        CtlDispatchScope scope;
        focusFirst = OnInitDialog();
    }
    if (!d_->ended && HasModalAnswerer()) {
        ModalScope modal;
        d_->top->show();
        d_->top->activateWindow();
        if (focusFirst) DlgFocusFirst(*panelImpl());
        int answer = CallModalAnswerer(*this);
        if (!d_->ended && d_->top) {
            PressButton(answer);
            if (!d_->ended) {
                d_->ended = true;
                d_->result = (answer == dlgid::Ok || answer == dlgid::Cancel) ? dlgid::Failed : answer;
            }
        }
    } else if (!d_->ended) {
        if (focusFirst) DlgFocusFirst(*panelImpl());
        DlgRunModal(
            d_->top, [this] { return d_->ended; }, d_->loop);
    }
    if (d_->top) {
        d_->top->hide();
        d_->top->setWindowModality(Qt::NonModal);
    }
    d_->running = false;
    d_->modal = false;
    return d_->ended ? d_->result : dlgid::Failed;
}

bool Dialog::CreateModeless(Window* owner) {
    if (d_->running) return false;
    if (!d_->Build(owner)) return false;
    d_->modal = false;
    DlgCenter(d_->top);
    bool focusFirst = false;
    {
        CtlDispatchScope scope;
        focusFirst = OnInitDialog();
    }
    if (d_->ended || !d_->top) return d_->top != nullptr;
    d_->top->show();
    d_->top->raise();
    d_->top->activateWindow();
    if (focusFirst) DlgFocusFirst(*panelImpl());
    return true;
}

void Dialog::DestroyDialog() {
    if (d_->loop) EndDialog(dlgid::Cancel);
    d_->Teardown();
}

void Dialog::EndDialog(int result) {
    d_->ended = true;
    d_->result = result;
    if (d_->loop) d_->loop->exit();
    if (!d_->modal && d_->top) d_->top->hide();
}

bool Dialog::IsModal() const { return d_->modal; }
bool Dialog::HasEnded() const { return d_->ended; }
int Dialog::Result() const { return d_->result; }

void Dialog::PressButton(int id) {
    CtlDispatchScope scope;
    OnButtonClicked(id);
}

void Dialog::OnButtonClicked(int id) {
    if (id == dlgid::Ok)
        OnOK();
    else if (id == dlgid::Cancel)
        OnCancel();
    else
        OnControl(id, Notify::Clicked);
}

bool Dialog::OnClose() {
    PressButton(dlgid::Cancel);
    return false;
}

PromptStrip& Dialog::Prompt() { return d_->strip; }

void Dialog::CenterOnOwner() { DlgCenter(d_->top); }

void Dialog::SetPanelSize(Size pixels) {
    ControlPanel::Impl* p = panelImpl();
    if (!p->panel || !d_->top) return;
    d_->top->resize(std::max(1, pixels.cx), std::max(1, pixels.cy) + Prompt().ExtraHeight());
}

bool Dialog::OnInitDialog() { return true; }
void Dialog::OnOK() { EndDialog(dlgid::Ok); }
void Dialog::OnCancel() { EndDialog(dlgid::Cancel); }
bool Dialog::OnDialogKey(int, unsigned) { return false; }

}  // namespace platform
