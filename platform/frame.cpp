// The main frame (QMainWindow with a QMdiArea, menu bar and status bar) and
// the MDI child frames (QMdiSubWindow).
#include "platform/frame.h"

#include <QApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPointer>
#include <QProgressBar>
#include <QStatusBar>

#include <algorithm>

#include "platform/app.h"
#include "platform/draw_qt.h"
#include "platform/keys.h"
#include "platform/menu.h"
#include "platform/menu_qt.h"
#include "platform/window_qt.h"

namespace platform {

struct FrameAccess {
    static void ChildActivated(MainFrame& f, MdiChild* c) { f.OnChildActivated(c); }
    static void Activate(MdiChild& c, bool on) { c.OnActivate(on); }
    static void Drop(MainFrame& f, const std::vector<std::string>& paths, Point p) { f.OnDropFiles(paths, p); }
};

struct MainFrame::FrameImpl {
    QMainWindow* main = nullptr;  // owned through the window
    QMdiArea* area = nullptr;
    QStatusBar* bar = nullptr;
    struct Pane {
        int id = 0;
        QLabel* label = nullptr;
        bool stretch = false;
    };
    std::vector<Pane> panes;
    QProgressBar* progress = nullptr;
    int progressPane = -1;
    Menu* menu = nullptr;
    QPointer<QMdiSubWindow> lastActive;
    std::unique_ptr<QObject> context;  // receiver of the signal connections: they end with it

    int IndexOf(int id) const {
        for (size_t i = 0; i < panes.size(); ++i)
            if (panes[i].id == id) return static_cast<int>(i);
        return -1;
    }
};

namespace {

MdiChild* fr_ChildOf(QMdiSubWindow* sub) {
    if (!sub) return nullptr;
    auto it = WindowOfWidget(sub);
    // Only the window that owns the sub-window itself, not a view inside it.
    if (!it || WidgetOf(*it) != sub) return nullptr;
    return dynamic_cast<MdiChild*>(it);
}

// Pixel width of a pane's text plus the label's frame and margins.
int fr_PaneWidthFor(const QLabel* label, const std::string& text) {
    const QFontMetrics fm(label->font());
    return fm.horizontalAdvance(ToQString(text)) + 2 * label->frameWidth() + 6;
}

// The smallest restored child a person can still work in; smaller client
// areas make it smaller.
constexpr Size fr_kMinimumChild{240, 160};

int fr_OrderOf(QMdiArea* area, QMdiSubWindow* sub) {
    const QList<QMdiSubWindow*> list = area->subWindowList(QMdiArea::CreationOrder);
    const int index = static_cast<int>(list.indexOf(sub));
    return index < 0 ? 0 : index;
}

Rect fr_ClientOf(QMdiArea* area) {
    const QSize s = area->viewport()->size();
    return Rect{0, 0, s.width(), s.height()};
}

// A child that comes out of the maximised or minimised state, or is shown
// normal before it was ever placed, gets a place it can be used in.
void fr_FitRestored(QMdiSubWindow* sub) {
    QMdiArea* area = sub->mdiArea();
    if (!area) return;
    const QRect g = sub->geometry();
    const Rect current{g.left(), g.top(), g.left() + g.width(), g.top() + g.height()};
    const Rect fitted = FitRestoredChildRect(current, fr_ClientOf(area), fr_OrderOf(area, sub), fr_kMinimumChild);
    if (!(fitted == current)) sub->setGeometry(RectToQt(fitted));
}

// Qt restores a child to the size it had before it was maximised, which for a
// child maximised on its first showing is its minimum (a bare title bar). The
// fit runs once Qt has put the old geometry back.
class fr_RestoreWatcher : public QObject {
public:
    explicit fr_RestoreWatcher(QMdiSubWindow* sub) : QObject(sub), sub_(sub) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == sub_ && event->type() == QEvent::WindowStateChange) {
            const auto* change = static_cast<QWindowStateChangeEvent*>(event);
            const Qt::WindowStates zoomed = Qt::WindowMinimized | Qt::WindowMaximized;
            if ((change->oldState() & zoomed) && !(sub_->windowState() & zoomed)) {
                QPointer<QMdiSubWindow> sub = sub_;
                QMetaObject::invokeMethod(
                    sub_,
                    [sub] {
                        if (sub && !(sub->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized)))
                            fr_FitRestored(sub);
                    },
                    Qt::QueuedConnection);
            }
        }
        return false;
    }

private:
    QMdiSubWindow* sub_;
};

}  // namespace

Rect FitRestoredChildRect(const Rect& current, const Rect& client, int order, Size minimum) {
    const int clientW = std::max(client.Width(), 1);
    const int clientH = std::max(client.Height(), 1);
    const int minW = std::min(minimum.cx, clientW);
    const int minH = std::min(minimum.cy, clientH);
    if (current.Width() >= minW && current.Height() >= minH) {
        // Usable as it is: at most the client's size, and inside it.
        const int w = std::min(current.Width(), clientW);
        const int h = std::min(current.Height(), clientH);
        const int x = std::clamp(current.left, client.left, client.left + clientW - w);
        const int y = std::clamp(current.top, client.top, client.top + clientH - h);
        return Rect{x, y, x + w, y + h};
    }
    const int w = std::max(clientW * 3 / 4, minW);
    const int h = std::max(clientH * 3 / 4, minH);
    // Cascade by a title bar's height until the next step would leave the
    // client area, then start over at the top left.
    constexpr int kStep = 24;
    const int steps = std::max(1, std::min((clientW - w) / kStep, (clientH - h) / kStep) + 1);
    const int offset = (std::max(order, 0) % steps) * kStep;
    const int x = client.left + offset;
    const int y = client.top + offset;
    return Rect{x, y, x + w, y + h};
}

MainFrame::MainFrame() : frame_(std::make_unique<FrameImpl>()) {}

MainFrame::~MainFrame() {
    frame_->context.reset();
    if (frame_->menu) {
        frame_->menu->SetUpdateTarget(nullptr);
        frame_->menu->SetCommandHandler(nullptr);
    }
    Destroy();
}

bool MainFrame::Create(const std::string& title, const Rect& rect) {
    if (Exists() || !QApplication::instance()) return false;
    FrameImpl* f = frame_.get();
    f->main = new QMainWindow();
    f->area = new QMdiArea(f->main);
    f->area->setBackground(QApplication::palette().brush(QPalette::Mid));
    f->main->setCentralWidget(f->area);
    f->bar = f->main->statusBar();
    f->context = std::make_unique<QObject>();
    QObject::connect(f->area, &QMdiArea::subWindowActivated, f->context.get(), [this](QMdiSubWindow* sub) {
        FrameImpl* ff = frame_.get();
        if (sub == ff->lastActive) return;
        MdiChild* previous = fr_ChildOf(ff->lastActive);
        ff->lastActive = sub;
        MdiChild* current = fr_ChildOf(sub);
        if (previous) FrameAccess::Activate(*previous, false);
        if (current) FrameAccess::Activate(*current, true);
        FrameAccess::ChildActivated(*this, current);
    });
    if (!rect.IsEmpty()) f->main->setGeometry(RectToQt(rect));
    AdoptWidget(*this, f->main, nullptr, false);
    SetTitle(title);
    return true;
}

void MainFrame::SetMenu(Menu* menu) {
    if (frame_->menu && frame_->menu != menu) {
        frame_->menu->SetUpdateTarget(nullptr);
        frame_->menu->SetCommandHandler(nullptr);
    }
    frame_->menu = menu;
    if (menu) {
        menu->SetUpdateTarget(this);
        std::weak_ptr<Window*> alive = WindowToken(*this);
        menu->SetCommandHandler([alive](int id) {
            if (auto p = alive.lock()) (*p)->RouteCommand(id);
        });
    }
    RefreshMenuBar();
}

Menu* MainFrame::GetMenu() const { return frame_->menu; }

void MainFrame::RefreshMenuBar() {
    if (!frame_->main) return;
    QMenuBar* bar = frame_->main->menuBar();
    bar->clear();
    if (!frame_->menu) return;
    for (int i = 0; i < frame_->menu->ItemCount(); ++i) {
        if (frame_->menu->ItemAt(i).separator) continue;
        if (QAction* a = MenuActionAt(*frame_->menu, i)) bar->addAction(a);
    }
}

std::vector<std::string> MainFrame::MenuBarTitles() const {
    std::vector<std::string> titles;
    if (!frame_->main) return titles;
    for (QAction* a : frame_->main->menuBar()->actions())
        if (!a->isSeparator()) titles.push_back(a->text().toStdString());
    return titles;
}

void MainFrame::SetStatusPanes(const std::vector<StatusPane>& panes) {
    FrameImpl* f = frame_.get();
    if (!f->bar) return;
    EndProgress();
    for (FrameImpl::Pane& p : f->panes) {
        f->bar->removeWidget(p.label);
        delete p.label;
    }
    f->panes.clear();
    for (const StatusPane& sp : panes) {
        auto* label = new QLabel(f->bar);
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setTextFormat(Qt::PlainText);
        FrameImpl::Pane p{sp.id, label, sp.stretch};
        const int width = sp.widthTemplate.empty() ? sp.width : fr_PaneWidthFor(label, sp.widthTemplate);
        if (sp.stretch)
            label->setMinimumWidth(std::max(width, 0));
        else
            label->setFixedWidth(std::max(width, 0));
        f->bar->addWidget(label, sp.stretch ? 1 : 0);
        label->show();
        f->panes.push_back(p);
    }
    f->bar->setVisible(true);
}

void MainFrame::ShowStatusBar(bool on) {
    if (frame_->bar) frame_->bar->setVisible(on);
}

bool MainFrame::IsStatusBarVisible() const { return frame_->bar && !frame_->bar->isHidden(); }
int MainFrame::StatusPaneCount() const { return static_cast<int>(frame_->panes.size()); }
int MainFrame::StatusPaneIndex(int id) const { return frame_->IndexOf(id); }

int MainFrame::StatusPaneId(int index) const {
    if (index < 0 || index >= StatusPaneCount()) return 0;
    return frame_->panes[index].id;
}

bool MainFrame::SetPaneText(int id, const std::string& text) {
    const int i = frame_->IndexOf(id);
    if (i < 0) return false;
    frame_->panes[i].label->setText(ToQString(text));
    return true;
}

std::string MainFrame::PaneText(int id) const {
    const int i = frame_->IndexOf(id);
    if (i < 0) return std::string();
    return frame_->panes[i].label->text().toStdString();
}

bool MainFrame::SetPaneWidth(int id, int width) {
    const int i = frame_->IndexOf(id);
    if (i < 0) return false;
    QLabel* label = frame_->panes[i].label;
    if (frame_->panes[i].stretch)
        label->setMinimumWidth(std::max(width, 0));
    else
        label->setFixedWidth(std::max(width, 0));
    return true;
}

int MainFrame::PaneWidth(int id) const {
    const int i = frame_->IndexOf(id);
    if (i < 0) return 0;
    const QLabel* label = frame_->panes[i].label;
    return frame_->panes[i].stretch ? std::max(label->width(), label->minimumWidth()) : label->minimumWidth();
}

int MainFrame::StatusTextWidth(const std::string& text) const {
    if (!frame_->bar) return 0;
    return QFontMetrics(frame_->bar->font()).horizontalAdvance(ToQString(text));
}

int MainFrame::StatusBarHeight() const {
    if (!frame_->bar || frame_->bar->isHidden()) return 0;
    return frame_->bar->sizeHint().height();
}

void MainFrame::BeginProgress(int paneId, int maximum) {
    FrameImpl* f = frame_.get();
    const int i = f->IndexOf(paneId);
    if (i < 0) return;
    if (!f->progress) {
        f->progress = new QProgressBar(f->bar);
        f->progress->setTextVisible(false);
    } else if (f->progressPane >= 0) {
        f->bar->removeWidget(f->progress);
        f->panes[f->progressPane].label->show();
    }
    f->progressPane = i;
    f->progress->setRange(0, std::max(maximum, 0));
    f->progress->setValue(0);
    // The bar stands in for the pane's label, in the pane's place.
    QLabel* label = f->panes[i].label;
    f->progress->setMinimumWidth(label->minimumWidth());
    label->hide();
    f->bar->insertWidget(i, f->progress, f->panes[i].stretch ? 1 : 0);
    f->progress->show();
}

void MainFrame::SetProgress(int position) {
    if (frame_->progress) frame_->progress->setValue(std::clamp(position, 0, frame_->progress->maximum()));
}

void MainFrame::EndProgress() {
    FrameImpl* f = frame_.get();
    if (!f->progress) return;
    f->bar->removeWidget(f->progress);
    delete f->progress;
    f->progress = nullptr;
    if (f->progressPane >= 0 && f->progressPane < static_cast<int>(f->panes.size()))
        f->panes[f->progressPane].label->show();
    f->progressPane = -1;
}

bool MainFrame::InProgress() const { return frame_->progress != nullptr; }

Rect MainFrame::MdiClientRect() const {
    if (!frame_->area) return Rect{};
    const QSize s = frame_->area->viewport()->size();
    return Rect{0, 0, s.width(), s.height()};
}

std::vector<MdiChild*> MainFrame::Children() const {
    std::vector<MdiChild*> children;
    if (!frame_->area) return children;
    const QList<QMdiSubWindow*> list = frame_->area->subWindowList(QMdiArea::StackingOrder);
    for (auto it = list.rbegin(); it != list.rend(); ++it)
        if (MdiChild* c = fr_ChildOf(*it)) children.push_back(c);
    return children;
}

MdiChild* MainFrame::ActiveChild() const {
    if (!frame_->area) return nullptr;
    return fr_ChildOf(frame_->area->activeSubWindow());
}

void MainFrame::ActivateNext() {
    if (frame_->area) frame_->area->activateNextSubWindow();
}

void MainFrame::Tile(bool vertical) {
    if (!frame_->area) return;
    std::vector<QMdiSubWindow*> subs;
    for (MdiChild* c : Children()) {
        auto* sub = static_cast<QMdiSubWindow*>(WidgetOf(*c));
        if (sub->isVisible() && !sub->isMinimized()) subs.push_back(sub);
    }
    if (subs.empty()) return;
    const Rect client = MdiClientRect();
    const int n = static_cast<int>(subs.size());
    // Side by side (vertical) or one above the other; the last takes what is left.
    for (int i = 0; i < n; ++i) {
        QMdiSubWindow* sub = subs[i];
        if (sub->isMaximized()) sub->showNormal();
        if (vertical) {
            const int w = client.Width() / n;
            const int x = i * w;
            sub->setGeometry(x, 0, i == n - 1 ? client.Width() - x : w, client.Height());
        } else {
            const int h = client.Height() / n;
            const int y = i * h;
            sub->setGeometry(0, y, client.Width(), i == n - 1 ? client.Height() - y : h);
        }
    }
}

void MainFrame::Cascade() {
    if (frame_->area) frame_->area->cascadeSubWindows();
}

void MainFrame::ArrangeIcons() {
    if (!frame_->area) return;
    const Rect client = MdiClientRect();
    int x = 0;
    for (MdiChild* c : Children()) {
        QWidget* sub = WidgetOf(*c);
        if (!sub->isMinimized()) continue;
        const QSize s = sub->size();
        sub->move(x, client.Height() - s.height());
        x += s.width();
    }
}

void MainFrame::AcceptDroppedFiles(bool on) {
    if (!frame_->main) return;
    frame_->main->setAcceptDrops(on);
    if (on) {
        std::weak_ptr<Window*> alive = WindowToken(*this);
        SetWindowDropHandler(*this, [alive](const std::vector<std::string>& paths, Point p) {
            if (auto w = alive.lock()) FrameAccess::Drop(*static_cast<MainFrame*>(*w), paths, p);
        });
    } else {
        SetWindowDropHandler(*this, nullptr);
    }
}

bool MainFrame::TranslateMdiKey(const KeyEvent& event) {
    if (!frame_->area || !(event.modifiers & ModCtrl) || (event.modifiers & ModAlt)) return false;
    const bool shift = (event.modifiers & ModShift) != 0;
    if (event.key == key::Function(4) && !shift) {
        // As the child's close box: the child may still refuse.
        MdiChild* child = ActiveChild();
        if (!child) return false;
        if (Application* app = Application::Instance()) app->PostClose(child);
        return true;
    }
    if (event.key == key::Function(6) || event.key == key::Tab) {
        if (frame_->area->subWindowList().size() < 2) return false;
        if (shift)
            frame_->area->activatePreviousSubWindow();
        else
            frame_->area->activateNextSubWindow();
        return true;
    }
    return false;
}

CommandTarget* MainFrame::NextCommandTarget() {
    if (MdiChild* c = ActiveChild())
        if (Window* view = c->View()) return view;
    return Window::NextCommandTarget();
}

namespace {

void fr_UpdatePopups(Menu& menu) {
    for (int i = 0; i < menu.ItemCount(); ++i) {
        if (Menu* sub = menu.PopupAt(i)) {
            sub->PrepareToShow();
            fr_UpdatePopups(*sub);
        }
    }
}

}  // namespace

void MainFrame::UpdateMenuStates() {
    if (!frame_->menu) return;
    frame_->menu->PrepareToShow();
    fr_UpdatePopups(*frame_->menu);
}

// --- MDI child ----------------------------------------------------------------

MdiChild::MdiChild() = default;

MdiChild::~MdiChild() { Destroy(); }

bool MdiChild::Create(MainFrame& frame, const std::string& title, const Rect& rect) {
    QMdiArea* area = frame.frame_->area;
    if (Exists() || !area) return false;
    auto* sub = new QMdiSubWindow();
    sub->setAttribute(Qt::WA_DeleteOnClose, false);
    area->addSubWindow(sub);
    sub->hide();
    if (!rect.IsEmpty()) sub->setGeometry(RectToQt(rect));
    sub->installEventFilter(new fr_RestoreWatcher(sub));
    frame_ = WindowToken(frame);
    AdoptWidget(*this, sub, &frame, false);
    SetTitle(title);
    return true;
}

void MdiChild::SetView(Window* view) {
    auto* sub = qobject_cast<QMdiSubWindow*>(WidgetOf(*this));
    view_ = view ? WindowToken(*view) : std::weak_ptr<Window*>();
    if (!sub || !view) return;
    if (QWidget* w = WidgetOf(*view)) {
        sub->setWidget(w);
        w->show();
        sub->setFocusProxy(w);
    }
}

Window* MdiChild::View() const {
    auto p = view_.lock();
    return p && (*p)->Exists() ? *p : nullptr;
}

MainFrame* MdiChild::Frame() const {
    auto p = frame_.lock();
    return p ? static_cast<MainFrame*>(*p) : nullptr;
}

void MdiChild::Activate() {
    auto* sub = qobject_cast<QMdiSubWindow*>(WidgetOf(*this));
    if (!sub || !sub->mdiArea()) return;
    if (sub->isHidden()) sub->show();
    sub->mdiArea()->setActiveSubWindow(sub);
}

bool MdiChild::IsActive() const {
    auto* sub = qobject_cast<QMdiSubWindow*>(WidgetOf(*this));
    return sub && sub->mdiArea() && sub->mdiArea()->activeSubWindow() == sub;
}

void MdiChild::Maximize() { Show(show::Maximized); }
void MdiChild::Minimize() { Show(show::Minimized); }
void MdiChild::Restore() { Show(show::Restore); }

CommandTarget* MdiChild::NextCommandTarget() {
    if (Window* view = View()) return view;
    return Window::NextCommandTarget();
}

}  // namespace platform
