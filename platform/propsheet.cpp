// Property sheets over Qt: a tab widget whose tabs hold property pages built
// on first activation, a row of buttons and a prompt strip.

#include "platform/propsheet.h"

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>

#include <algorithm>
#include <map>

#include "platform/app.h"
#include "platform/controls_qt.h"
#include "platform/dialog_qt.h"
#include "platform/draw_qt.h"
#include "platform/window_qt.h"

namespace platform {

// Window-level events of a sheet: resizing, keys, the pointer over buttons.
class SheetTopFilter : public QObject {
public:
    explicit SheetTopFilter(PropertySheet::SheetImpl* s) : s_(s) {}
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    PropertySheet::SheetImpl* s_;
};

namespace {
struct SheetButtonSpec {
    int id;
    const char* text;
};
constexpr SheetButtonSpec kSheetButtons[] = {
    {dlgid::Ok, "OK"}, {dlgid::Cancel, "Cancel"}, {dlgid::Apply, "&Apply"}, {dlgid::Help, "Help"}};
}  // namespace

struct PropertySheet::SheetImpl {
    explicit SheetImpl(PropertySheet* sheet) : self(sheet) {}
    PropertySheet* self;
    std::string caption;
    std::vector<PropertyPage*> pages;
    PromptStrip strip;
    QPointer<QWidget> top;
    QPointer<QTabWidget> tabs;  // null also when a host page took the sheet down with it
    std::vector<QWidget*> holders;
    std::map<int, QPushButton*> buttons;
    std::unique_ptr<SheetTopFilter> filter;
    bool showHelp = false;
    bool showApply = true;
    bool applyEnabled = false;
    int startPage = 0;
    int active = -1;
    bool inPage = false;
    PropertyPage* hostPage = nullptr;
    bool ended = false;
    int result = 0;
    bool running = false;
    QEventLoop* loop = nullptr;
    int quiet = 0;
    int hoverId = -1;

    bool Build(Window* owner, PropertyPage* host, Point at);
    void Teardown();
    bool Activate(int index, bool byUser);
    void BuildPage(int index);
    void UpdateApply();
    bool HandleKey(int key, unsigned modifiers);
    void Hover(int id);
    PromptStrip* PageStrip() {
        if (inPage && hostPage) return hostPage->LinkedPromptStrip();
        return &strip;
    }
};

bool SheetTopFilter::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::Resize:
        if (watched == s_->top.data()) s_->strip.impl()->Layout();
        break;
    case QEvent::KeyPress:
        if (watched == s_->top.data()) {
            auto* ke = static_cast<QKeyEvent*>(event);
            int key = KeyCodeFromQt(ke->key(), ke->modifiers());
            if (key != 0 && s_->HandleKey(key, ModifiersFromQt(ke->modifiers()))) return true;
        }
        break;
    case QEvent::Enter:
        for (const auto& [id, button] : s_->buttons)
            if (button == watched) s_->Hover(id);
        break;
    case QEvent::MouseMove:
        if (watched == s_->top.data()) {
            QWidget* child = s_->top->childAt(static_cast<QMouseEvent*>(event)->position().toPoint());
            int id = 0;
            for (const auto& [bid, button] : s_->buttons)
                if (button == child) id = bid;
            s_->Hover(id);
        }
        break;
    default: break;
    }
    return QObject::eventFilter(watched, event);
}

void PropertySheet::SheetImpl::Hover(int id) {
    if (id == hoverId) return;
    hoverId = id;
    CtlDispatchScope scope;
    self->OnPrompt(id);
}

bool PropertySheet::SheetImpl::HandleKey(int key, unsigned modifiers) {
    {
        CtlDispatchScope scope;
        if (self->OnSheetKey(key, modifiers)) return true;
    }
    if (inPage || (modifiers & (ModCtrl | ModAlt))) return false;
    if (key == key::Escape) {
        self->PressButton(dlgid::Cancel);
        return true;
    }
    if (key == key::Enter) {
        int id = dlgid::Ok;
        QWidget* focus = QApplication::focusWidget();
        for (const auto& [bid, button] : buttons)
            if (button == focus) id = bid;
        auto it = buttons.find(id);
        if (it != buttons.end() && !it->second->isEnabled()) return true;
        self->PressButton(id);
        return true;
    }
    return false;
}

void PropertySheet::SheetImpl::UpdateApply() {
    applyEnabled = std::any_of(pages.begin(), pages.end(), [](PropertyPage* p) { return p->modified_; });
    auto it = buttons.find(dlgid::Apply);
    if (it != buttons.end()) it->second->setEnabled(applyEnabled);
}

void PropertySheet::SheetImpl::BuildPage(int index) {
    PropertyPage* page = pages[index];
    ControlPanel::Impl* p = page->panelImpl();
    QWidget* panel = p->Build(holders[index]);
    panel->move(0, 0);
    p->keyHandler = [this](int key, unsigned mods) {
        if (inPage && hostPage && hostPage->panelImpl()->keyHandler)
            return hostPage->panelImpl()->keyHandler(key, mods);
        return HandleKey(key, mods);
    };
    if (!page->LinkedPromptStrip()) page->LinkPromptStrip(PageStrip());
    page->initialised_ = true;
    bool focusFirst = false;
    {
        CtlDispatchScope scope;
        focusFirst = page->OnInitDialog();
    }
    if (focusFirst && top && top->isVisible()) DlgFocusFirst(*p);
}

bool PropertySheet::SheetImpl::Activate(int index, bool byUser) {
    if (index < 0 || index >= static_cast<int>(pages.size()) || !tabs) return false;
    if (index == active) return true;
    if (active >= 0) {
        bool leave = true;
        {
            CtlDispatchScope scope;
            leave = pages[active]->OnKillActive();
        }
        if (!leave) {
            ++quiet;
            tabs->setCurrentIndex(active);
            --quiet;
            return false;
        }
    }
    ++quiet;
    tabs->setCurrentIndex(index);
    --quiet;
    active = index;
    if (!pages[index]->initialised_) BuildPage(index);
    {
        CtlDispatchScope scope;
        pages[index]->OnSetActive();
        if (byUser) self->OnPageChanged(index);
    }
    return true;
}

void PropertySheet::SheetImpl::Teardown() {
    for (PropertyPage* page : pages) {
        page->panelImpl()->Destroy();
        page->initialised_ = false;
        page->modified_ = false;
        if (page->LinkedPromptStrip() == &strip) page->LinkPromptStrip(nullptr);
    }
    strip.impl()->Reset(nullptr);
    filter.reset();
    buttons.clear();
    holders.clear();
    tabs = nullptr;
    active = -1;
    hoverId = -1;
    applyEnabled = false;
    if (self->Exists()) self->Window::Destroy();
    top = nullptr;
}

bool PropertySheet::SheetImpl::Build(Window* owner, PropertyPage* host, Point at) {
    Teardown();
    inPage = host != nullptr;
    hostPage = host;
    QWidget* w = nullptr;
    if (host) {
        QWidget* hostPanel = host->panelImpl()->panel.data();
        if (!hostPanel) return false;
        w = new QWidget(nullptr);
        if (!AdoptWidget(*self, w, nullptr, false)) {
            delete w;
            return false;
        }
        w->setParent(hostPanel);
        w->move(at.x, at.y);
    } else {
        w = DlgMakeTopWidget(*self, owner, caption);
        if (!w) return false;
    }
    top = w;
    QFont font = QApplication::font();
    if (!pages.empty() && !pages.front()->Description().fontFace.empty())
        font.setFamily(ToQString(pages.front()->Description().fontFace));
    if (!pages.empty() && pages.front()->Description().fontPoints > 0)
        font.setPointSize(pages.front()->Description().fontPoints);
    w->setFont(font);

    // Page area: the largest page, in the sheet's dialog units.
    QFontMetrics fm(font);
    int avg = fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    int baseX = std::max(1, (avg / 26 + 1) / 2), baseY = std::max(1, fm.height());
    auto dluX = [&](int x) { return (x * baseX + 2) / 4; };
    auto dluY = [&](int y) { return (y * baseY + 4) / 8; };
    int pageW = dluX(100), pageH = dluY(50);
    for (PropertyPage* page : pages) {
        pageW = std::max(pageW, dluX(page->Description().cx));
        pageH = std::max(pageH, dluY(page->Description().cy));
    }

    tabs = new QTabWidget(w);
    tabs->setUsesScrollButtons(true);
    for (PropertyPage* page : pages) {
        auto* holder = new QWidget();
        holder->setMinimumSize(pageW, pageH);
        holders.push_back(holder);
        tabs->addTab(holder, ToQString(page->Description().caption));
    }
    QObject::connect(tabs, &QTabWidget::currentChanged, tabs, [this](int index) {
        if (quiet == 0) Activate(index, true);
    });
    QSize tabSize = tabs->sizeHint().expandedTo(QSize(pageW, pageH));
    int margin = inPage ? 0 : dluX(7);
    tabs->setGeometry(margin, margin, tabSize.width(), tabSize.height());

    filter = std::make_unique<SheetTopFilter>(this);
    w->installEventFilter(filter.get());
    w->setMouseTracking(true);
    int clientW = tabSize.width() + 2 * margin;
    int clientH = tabSize.height() + 2 * margin;
    if (!inPage) {
        int bw = dluX(50), bh = dluY(14), gap = dluX(4);
        std::vector<const SheetButtonSpec*> shown;
        for (const SheetButtonSpec& b : kSheetButtons) {
            if (b.id == dlgid::Apply && !showApply) continue;
            if (b.id == dlgid::Help && !showHelp) continue;
            shown.push_back(&b);
        }
        int y = margin + tabSize.height() + margin;
        int x = clientW - margin - static_cast<int>(shown.size()) * bw - (static_cast<int>(shown.size()) - 1) * gap;
        for (const SheetButtonSpec* b : shown) {
            auto* button = new QPushButton(QString::fromLatin1(b->text), w);
            button->setAutoDefault(false);
            button->setDefault(b->id == dlgid::Ok);
            button->setGeometry(x, y, bw, bh);
            x += bw + gap;
            int id = b->id;
            QObject::connect(button, &QPushButton::clicked, button, [this, id] { self->PressButton(id); });
            button->installEventFilter(filter.get());
            buttons[id] = button;
        }
        clientH = y + bh + margin;
    }
    w->resize(clientW, clientH);
    strip.impl()->Reset(inPage ? nullptr : w);
    ended = false;
    result = 0;
    for (PropertyPage* page : pages) {
        page->sheet_ = self;
        page->modified_ = false;
    }
    UpdateApply();
    if (strip.impl()->pendingAttach && !inPage) {
        strip.impl()->pendingAttach = false;
        strip.Attach(strip.PaneCount(), strip.Lines(), strip.impl()->pendingGrow);
    }
    int start = (startPage >= 0 && startPage < static_cast<int>(pages.size())) ? startPage : 0;
    if (!pages.empty()) Activate(start, false);
    return true;
}

// ---------------------------------------------------------------------------
// PropertyPage

PropertyPage::PropertyPage() = default;
PropertyPage::PropertyPage(DialogDesc desc) : ControlPanel(std::move(desc)) {}

PropertyPage::~PropertyPage() {
    if (sheet_) {
        auto& pages = sheet_->s_->pages;
        auto it = std::find(pages.begin(), pages.end(), this);
        if (it != pages.end()) {
            int index = static_cast<int>(it - pages.begin());
            pages.erase(it);
            PropertySheet::SheetImpl& s = *sheet_->s_;
            if (s.tabs && index < static_cast<int>(s.holders.size())) {
                panelImpl()->Destroy();
                ++s.quiet;
                QWidget* holder = s.holders[index];
                s.holders.erase(s.holders.begin() + index);
                s.tabs->removeTab(index);
                CtlDeleteWidget(holder);
                if (s.active == index)
                    s.active = -1;
                else if (s.active > index)
                    --s.active;
                --s.quiet;
            }
        }
    }
}

PropertySheet* PropertyPage::Sheet() const { return sheet_; }
bool PropertyPage::IsInitialised() const { return initialised_; }

void PropertyPage::SetModified(bool modified) {
    modified_ = modified;
    if (sheet_) sheet_->s_->UpdateApply();
}

bool PropertyPage::IsModified() const { return modified_; }
bool PropertyPage::OnInitDialog() { return true; }
bool PropertyPage::OnSetActive() { return true; }
bool PropertyPage::OnKillActive() { return true; }
void PropertyPage::OnOK() {}
void PropertyPage::OnCancel() {}
bool PropertyPage::OnApply() {
    OnOK();
    return true;
}

// ---------------------------------------------------------------------------
// PropertySheet

PropertySheet::PropertySheet(std::string caption) : s_(std::make_unique<SheetImpl>(this)) {
    s_->caption = std::move(caption);
}

PropertySheet::~PropertySheet() {
    s_->Teardown();
    for (PropertyPage* page : s_->pages) page->sheet_ = nullptr;
}

void PropertySheet::AddPage(PropertyPage* page) {
    if (!page || PageIndex(page) >= 0) return;
    if (page->sheet_ && page->sheet_ != this) return;  // a page belongs to one sheet
    page->sheet_ = this;
    s_->pages.push_back(page);
    if (s_->tabs) {
        auto* holder = new QWidget();
        holder->setMinimumSize(s_->holders.empty() ? QSize(1, 1) : s_->holders.front()->minimumSize());
        s_->holders.push_back(holder);
        ++s_->quiet;
        s_->tabs->addTab(holder, ToQString(page->Description().caption));
        --s_->quiet;
    }
}

int PropertySheet::PageCount() const { return static_cast<int>(s_->pages.size()); }
PropertyPage* PropertySheet::GetPage(int index) const {
    return index >= 0 && index < PageCount() ? s_->pages[index] : nullptr;
}
int PropertySheet::PageIndex(const PropertyPage* page) const {
    auto it = std::find(s_->pages.begin(), s_->pages.end(), page);
    return it == s_->pages.end() ? -1 : static_cast<int>(it - s_->pages.begin());
}
void PropertySheet::SetStartPage(int index) { s_->startPage = index; }
int PropertySheet::ActivePageIndex() const { return s_->active; }
PropertyPage* PropertySheet::ActivePage() const { return GetPage(s_->active); }
bool PropertySheet::SetActivePage(int index) { return s_->Activate(index, false); }
bool PropertySheet::UserSelectPage(int index) { return s_->Activate(index, true); }

void PropertySheet::ShowHelpButton(bool show) { s_->showHelp = show; }
void PropertySheet::ShowApplyButton(bool show) { s_->showApply = show; }

void PropertySheet::EnableApply(bool enable) {
    s_->applyEnabled = enable;
    auto it = s_->buttons.find(dlgid::Apply);
    if (it != s_->buttons.end()) it->second->setEnabled(enable);
}
bool PropertySheet::IsApplyEnabled() const { return s_->applyEnabled; }

void PropertySheet::PressButton(int id) {
    CtlDispatchScope scope;
    switch (id) {
    case dlgid::Ok: OnOK(); break;
    case dlgid::Cancel: OnCancel(); break;
    case dlgid::Apply: OnApply(); break;
    case dlgid::Help: OnHelp(); break;
    default: break;
    }
}

int PropertySheet::DoModal(Window* owner) {
    if (s_->running) return dlgid::Failed;
    if (!s_->Build(owner, nullptr, Point{})) return dlgid::Failed;
    s_->running = true;
    DlgCenter(s_->top);
    {
        CtlDispatchScope scope;
        OnInitDialog();
    }
    if (!s_->ended && HasModalAnswerer()) {
        ModalScope modal;
        s_->top->show();
        s_->top->activateWindow();
        int answer = CallModalAnswerer(*this);
        if (!s_->ended && s_->top) {
            PressButton(answer);
            if (!s_->ended) {
                s_->ended = true;
                s_->result = (answer == dlgid::Ok || answer == dlgid::Cancel) ? dlgid::Failed : answer;
            }
        }
    } else if (!s_->ended) {
        DlgRunModal(
            s_->top, [this] { return s_->ended; }, s_->loop);
    }
    if (s_->top) {
        s_->top->hide();
        s_->top->setWindowModality(Qt::NonModal);
    }
    s_->running = false;
    return s_->ended ? s_->result : dlgid::Failed;
}

bool PropertySheet::CreateInPage(PropertyPage& page, Point at) {
    if (s_->running || !page.panelImpl()->panel) return false;
    if (!s_->Build(nullptr, &page, at)) return false;
    {
        CtlDispatchScope scope;
        OnInitDialog();
    }
    s_->top->show();
    return true;
}

bool PropertySheet::IsInPage() const { return s_->inPage; }

void PropertySheet::EndDialog(int result) {
    if (s_->inPage) return;  // the outer sheet ends
    s_->ended = true;
    s_->result = result;
    if (s_->loop) s_->loop->exit();
}

bool PropertySheet::HasEnded() const { return s_->ended; }
int PropertySheet::Result() const { return s_->result; }
void PropertySheet::CenterOnOwner() { DlgCenter(s_->top); }
PromptStrip& PropertySheet::Prompt() { return s_->strip; }

bool PropertySheet::OnInitDialog() { return true; }

void PropertySheet::OnOK() {
    if (PropertyPage* page = ActivePage(); page && !page->OnKillActive()) return;
    for (PropertyPage* page : s_->pages)
        if (page->initialised_) page->OnOK();
    EndDialog(dlgid::Ok);
}

void PropertySheet::OnCancel() {
    for (PropertyPage* page : s_->pages)
        if (page->initialised_) page->OnCancel();
    EndDialog(dlgid::Cancel);
}

void PropertySheet::OnApply() {
    if (PropertyPage* page = ActivePage(); page && !page->OnKillActive()) return;
    for (PropertyPage* page : s_->pages)
        if (page->initialised_ && !page->OnApply()) return;
    for (PropertyPage* page : s_->pages) page->modified_ = false;
    s_->UpdateApply();
}

void PropertySheet::OnPrompt(int id) {
    if (s_->strip.IsAttached()) s_->strip.ShowPromptById(id);
}

bool PropertySheet::OnClose() {
    PressButton(dlgid::Cancel);
    return false;
}

}  // namespace platform
