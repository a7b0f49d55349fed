// Windows over Qt widgets: event forwarding, geometry, placement, timers,
// capture and the key tables.
#include "platform/window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMimeData>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>
#include <QTimerEvent>
#include <QUrl>
#include <QWheelEvent>

#include <algorithm>
#include <functional>
#include <map>
#include <unordered_map>

#include "platform/app.h"
#include "platform/draw_qt.h"
#include "platform/menu.h"
#include "platform/window_qt.h"

namespace platform {

// Calls the protected handlers for the layer's own event plumbing.
struct WindowAccess {
    static void Paint(Window& w, DrawSurface& s, const Rect& r) { w.OnPaint(s, r); }
    static void MouseDown(Window& w, MouseButton b, Point p, unsigned f) { w.OnMouseDown(b, p, f); }
    static void MouseUp(Window& w, MouseButton b, Point p, unsigned f) { w.OnMouseUp(b, p, f); }
    static void DoubleClick(Window& w, MouseButton b, Point p, unsigned f) { w.OnDoubleClick(b, p, f); }
    static void MouseMove(Window& w, Point p, unsigned f) { w.OnMouseMove(p, f); }
    static void Wheel(Window& w, int d, Point p, unsigned f) { w.OnWheel(d, p, f); }
    static void KeyDown(Window& w, int k, bool r, unsigned m) { w.OnKeyDown(k, r, m); }
    static void KeyUp(Window& w, int k, unsigned m) { w.OnKeyUp(k, m); }
    static void Char(Window& w, int c) { w.OnChar(c); }
    static void SetFocus(Window& w) { w.OnSetFocus(); }
    static void KillFocus(Window& w) { w.OnKillFocus(); }
    static void Timer(Window& w, int id) { w.OnTimer(id); }
    static void Size(Window& w, int cx, int cy) { w.OnSize(cx, cy); }
    static void Scroll(Window& w, ScrollBar b, ScrollCode c, int pos) { w.OnScroll(b, c, pos); }
    static bool Close(Window& w) { return w.OnClose(); }
    static void Destroy(Window& w) { w.OnDestroy(); }
    static void Create(Window& w) { w.OnCreate(); }
    static void CaptureLost(Window& w) { w.OnCaptureLost(); }
};

struct Window::Impl {
    Window* self = nullptr;
    QPointer<QWidget> widget;
    QWidget* raw = nullptr;  // the same widget, to recognise it once it is being deleted
    Window* parent = nullptr;
    std::vector<Window*> children;
    bool adopted = false;
    bool forwardPaint = true;
    bool autoDelete = false;
    bool destroying = false;
    std::map<int, int> timers;  // our id -> Qt timer id
    const AcceleratorTable* accel = nullptr;
    OverlayLayer overlay;
    bool hasBackground = false;
    Color background = 0;
    std::unique_ptr<QObject> filter;
    QMetaObject::Connection destroyedConnection;
    std::shared_ptr<Window*> token;
    std::string title;
    // Placement parts Qt does not keep for child windows.
    Rect normal;
    bool haveNormal = false;
    unsigned placementFlags = 0;
    Point minPosition{-1, -1};
    Point maxPosition{-1, -1};
    std::function<void(const std::vector<std::string>&, Point)> dropHandler;
    // Scroll bars, indexed by ScrollBar: the program's state, whether each
    // shows, and the square between them when both do.
    QPointer<QScrollBar> bars[2];
    ScrollState scroll[2];
    bool barShown[2] = {false, false};
    QPointer<QWidget> barCorner;
    // The client size OnSize last reported, and the guard that keeps a bar
    // appearing inside OnSize from reporting again before it returns.
    Size reportedSize{-1, -1};
    int sizeDepth = 0;
    bool sizeAgain = false;
};

namespace {

std::unordered_map<const QWidget*, Window*>& wn_Registry() {
    static std::unordered_map<const QWidget*, Window*> registry;
    return registry;
}

Window* wn_capture = nullptr;

Point wn_PointOf(const QPointF& p) { return Point{static_cast<int>(p.x()), static_cast<int>(p.y())}; }

MouseButton wn_ButtonOf(Qt::MouseButton b) {
    switch (b) {
    case Qt::RightButton: return MouseButton::Right;
    case Qt::MiddleButton: return MouseButton::Middle;
    default: return MouseButton::Left;
    }
}

int wn_ScrollBarExtent(const QWidget* widget) {
    return widget->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, widget);
}

// Puts the shown scroll bars along the right and bottom edges, and the
// square between them.
void wn_LayoutScrollBars(Window::Impl* d) {
    QWidget* w = d->widget;
    if (!w) return;
    const int ext = wn_ScrollBarExtent(w);
    const int width = w->width(), height = w->height();
    const bool h = d->barShown[static_cast<int>(ScrollBar::Horizontal)];
    const bool v = d->barShown[static_cast<int>(ScrollBar::Vertical)];
    if (QScrollBar* sb = d->bars[static_cast<int>(ScrollBar::Horizontal)]) {
        sb->setGeometry(0, height - ext, std::max(0, width - (v ? ext : 0)), ext);
        sb->setVisible(h);
    }
    if (QScrollBar* sb = d->bars[static_cast<int>(ScrollBar::Vertical)]) {
        sb->setGeometry(width - ext, 0, ext, std::max(0, height - (h ? ext : 0)));
        sb->setVisible(v);
    }
    if (h && v && !d->barCorner) {
        auto* corner = new QWidget(w);
        QPalette pal = corner->palette();
        pal.setColor(QPalette::Window, QApplication::palette().color(QPalette::Button));
        corner->setPalette(pal);
        corner->setAutoFillBackground(true);
        corner->setCursor(Qt::ArrowCursor);
        d->barCorner = corner;
    }
    if (QWidget* corner = d->barCorner) {
        corner->setGeometry(width - ext, height - ext, ext, ext);
        corner->setVisible(h && v);
    }
}

// Tells the window its client size when it differs from the one it was last
// told (always with `force`). A bar that shows or hides inside OnSize changes
// the size again: the handler is then called once more after it returns.
void wn_ReportClientSize(Window& w, bool force) {
    Window::Impl* d = w.impl();
    const Rect client = w.ClientRect();
    const Size size{client.Width(), client.Height()};
    if (!force && size == d->reportedSize) return;
    d->reportedSize = size;
    if (d->sizeDepth > 0) {
        d->sizeAgain = true;
        return;
    }
    std::weak_ptr<Window*> alive = d->token;
    ++d->sizeDepth;
    // Bars only appear as the client shrinks and go as it grows, so a few
    // rounds settle it.
    for (int round = 0; round < 4; ++round) {
        d->sizeAgain = false;
        WindowAccess::Size(w, d->reportedSize.cx, d->reportedSize.cy);
        if (alive.expired() || !d->sizeAgain) break;
    }
    if (!alive.expired()) --d->sizeDepth;
}

// Forwards one event of a window's widget to its handlers; true when the
// event is consumed (for widgets of our own making, everything handled).
bool wn_Dispatch(Window& w, QWidget* widget, QEvent* e) {
    Window::Impl* d = w.impl();
    const bool own = !d->adopted;
    switch (e->type()) {
    case QEvent::Paint: {
        if (!d->forwardPaint) return false;
        auto* pe = static_cast<QPaintEvent*>(e);
        PaintScope painting;
        QPainter painter(widget);
        if (d->hasBackground) painter.fillRect(pe->rect(), ToQColor(d->background));
        painter.save();
        {
            std::unique_ptr<DrawSurface> surface = CreateWidgetSurface(painter, *widget);
            WindowAccess::Paint(w, *surface, RectFromQt(pe->rect()));
        }
        painter.restore();
        if (!d->overlay.IsEmpty()) {
            std::unique_ptr<DrawSurface> surface = CreateWidgetSurface(painter, *widget);
            d->overlay.Paint(*surface);
        }
        return true;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick: {
        auto* me = static_cast<QMouseEvent*>(e);
        const Point p = wn_PointOf(me->position());
        const unsigned flags = MouseFlagsFromQt(me->buttons(), me->modifiers());
        const MouseButton b = wn_ButtonOf(me->button());
        if (e->type() == QEvent::MouseButtonPress)
            WindowAccess::MouseDown(w, b, p, flags);
        else if (e->type() == QEvent::MouseButtonRelease)
            WindowAccess::MouseUp(w, b, p, flags);
        else
            WindowAccess::DoubleClick(w, b, p, flags);
        return own;
    }
    case QEvent::MouseMove: {
        auto* me = static_cast<QMouseEvent*>(e);
        WindowAccess::MouseMove(w, wn_PointOf(me->position()), MouseFlagsFromQt(me->buttons(), me->modifiers()));
        return own;
    }
    case QEvent::Wheel: {
        auto* we = static_cast<QWheelEvent*>(e);
        int delta = we->angleDelta().y();
        if (delta == 0) delta = we->angleDelta().x();
        WindowAccess::Wheel(w, delta, wn_PointOf(we->position()), MouseFlagsFromQt(we->buttons(), we->modifiers()));
        return own;
    }
    case QEvent::KeyPress: {
        auto* ke = static_cast<QKeyEvent*>(e);
        std::weak_ptr<Window*> alive = d->token;
        const int code = KeyCodeFromQt(ke->key(), ke->modifiers());
        if (code != 0) WindowAccess::KeyDown(w, code, ke->isAutoRepeat(), ModifiersFromQt(ke->modifiers()));
        // Characters follow their key-down, as typed text.
        if (!alive.expired() && w.Exists() && !(ke->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
            const QString text = ke->text();
            for (QChar ch : text) {
                if (alive.expired() || !w.Exists()) break;
                if (ch.unicode() != 0 && ch.unicode() != 127) WindowAccess::Char(w, ch.unicode());
            }
        }
        return own;
    }
    case QEvent::KeyRelease: {
        auto* ke = static_cast<QKeyEvent*>(e);
        const int code = KeyCodeFromQt(ke->key(), ke->modifiers());
        if (code != 0 && !ke->isAutoRepeat()) WindowAccess::KeyUp(w, code, ModifiersFromQt(ke->modifiers()));
        return own;
    }
    case QEvent::FocusIn: WindowAccess::SetFocus(w); return false;
    case QEvent::FocusOut: WindowAccess::KillFocus(w); return false;
    case QEvent::Timer: {
        const int qtId = static_cast<QTimerEvent*>(e)->timerId();
        for (const auto& [id, qid] : d->timers) {
            if (qid == qtId) {
                WindowAccess::Timer(w, id);
                return true;
            }
        }
        return false;
    }
    case QEvent::Move:
    case QEvent::Resize: {
        // Qt keeps no restored rectangle for child windows, and for top-level
        // ones only the inner one: remember the outer rectangle while normal.
        if (!widget->isMaximized() && !widget->isMinimized() && widget->isVisible()) {
            d->normal = RectFromQt(widget->isWindow() ? widget->frameGeometry() : widget->geometry());
            d->haveNormal = true;
        }
        if (e->type() == QEvent::Resize) {
            wn_LayoutScrollBars(d);
            wn_ReportClientSize(w, true);
        }
        return false;
    }
    case QEvent::Close: {
        e->ignore();
        // The widget may not be deleted inside its own close event: ask later.
        std::weak_ptr<Window*> alive = d->token;
        QTimer::singleShot(0, qApp, [alive] {
            if (auto p = alive.lock()) (*p)->Close();
        });
        return true;
    }
    case QEvent::DragEnter: {
        auto* de = static_cast<QDragEnterEvent*>(e);
        if (d->dropHandler && de->mimeData() && de->mimeData()->hasUrls()) {
            de->acceptProposedAction();
            return true;
        }
        return false;
    }
    case QEvent::Drop: {
        auto* de = static_cast<QDropEvent*>(e);
        if (!d->dropHandler || !de->mimeData()) return false;
        std::vector<std::string> paths;
        for (const QUrl& url : de->mimeData()->urls())
            if (url.isLocalFile()) paths.push_back(url.toLocalFile().toStdString());
        de->acceptProposedAction();
        auto handler = d->dropHandler;
        handler(paths, wn_PointOf(de->position()));
        return true;
    }
    default: return false;
    }
}

// The widget of windows the layer makes itself.
class wn_Widget : public QWidget {
public:
    wn_Widget(Window* window, QWidget* parent, Qt::WindowFlags flags) : QWidget(parent, flags), window_(window) {}
    void Detach() { window_ = nullptr; }

protected:
    bool event(QEvent* e) override {
        if (window_ && wn_Dispatch(*window_, this, e)) return true;
        return QWidget::event(e);
    }

private:
    Window* window_;
};

// Forwards the events of an adopted widget.
class wn_EventFilter : public QObject {
public:
    wn_EventFilter(Window* window, QWidget* widget) : window_(window), widget_(widget) {}
    bool eventFilter(QObject* o, QEvent* e) override {
        if (o == widget_ && window_) return wn_Dispatch(*window_, widget_, e);
        return false;
    }

private:
    Window* window_;
    QWidget* widget_;
};

void wn_Unlink(Window* child) {
    Window::Impl* d = child->impl();
    if (d->parent) {
        auto& siblings = d->parent->impl()->children;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), child), siblings.end());
        d->parent = nullptr;
    }
}

void wn_Register(Window& w, QWidget* widget, Window* parent) {
    Window::Impl* d = w.impl();
    d->widget = widget;
    d->raw = widget;
    wn_Registry()[widget] = &w;
    d->parent = parent;
    if (parent) parent->impl()->children.push_back(&w);
    // A widget deleted by Qt (its parent went first) leaves the window without one.
    std::weak_ptr<Window*> alive = d->token;
    d->destroyedConnection = QObject::connect(widget, &QObject::destroyed, [alive, widget] {
        auto p = alive.lock();
        if (!p) return;
        Window::Impl* dd = (*p)->impl();
        if (dd->raw != widget) return;
        wn_Registry().erase(widget);
        dd->raw = nullptr;
        dd->timers.clear();
        if (wn_capture == *p) wn_capture = nullptr;
        dd->filter.reset();
    });
    d->overlay.SetChangedCallback([alive](const Rect& dirty) {
        auto p = alive.lock();
        if (!p) return;
        if (QWidget* wd = (*p)->impl()->widget) {
            if (dirty.IsEmpty())
                wd->update();
            else
                wd->update(RectToQt(dirty).adjusted(-2, -2, 2, 2));
        }
    });
}

Qt::CursorShape wn_QtCursor(CursorShape shape) {
    switch (shape) {
    case CursorShape::Cross: return Qt::CrossCursor;
    case CursorShape::IBeam: return Qt::IBeamCursor;
    case CursorShape::Wait: return Qt::WaitCursor;
    case CursorShape::Hand: return Qt::PointingHandCursor;
    case CursorShape::SizeAll: return Qt::SizeAllCursor;
    case CursorShape::SizeWE: return Qt::SizeHorCursor;
    case CursorShape::SizeNS: return Qt::SizeVerCursor;
    case CursorShape::SizeNWSE: return Qt::SizeFDiagCursor;
    case CursorShape::SizeNESW: return Qt::SizeBDiagCursor;
    case CursorShape::No: return Qt::ForbiddenCursor;
    case CursorShape::UpArrow: return Qt::UpArrowCursor;
    case CursorShape::Blank: return Qt::BlankCursor;
    case CursorShape::Arrow: break;
    }
    return Qt::ArrowCursor;
}

struct wn_KeyPair {
    int qt;
    int code;
};
// Keys whose code does not follow from a range.
constexpr wn_KeyPair wn_keyTable[] = {
    {Qt::Key_Backspace, key::Back},
    {Qt::Key_Tab, key::Tab},
    {Qt::Key_Backtab, key::Tab},
    {Qt::Key_Return, key::Enter},
    {Qt::Key_Enter, key::Enter},
    {Qt::Key_Shift, key::Shift},
    {Qt::Key_Control, key::Control},
    {Qt::Key_Alt, key::Alt},
    {Qt::Key_AltGr, key::Alt},
    {Qt::Key_Pause, key::Pause},
    {Qt::Key_CapsLock, key::CapsLock},
    {Qt::Key_Escape, key::Escape},
    {Qt::Key_Space, key::Space},
    {Qt::Key_PageUp, key::PageUp},
    {Qt::Key_PageDown, key::PageDown},
    {Qt::Key_End, key::End},
    {Qt::Key_Home, key::Home},
    {Qt::Key_Left, key::Left},
    {Qt::Key_Up, key::Up},
    {Qt::Key_Right, key::Right},
    {Qt::Key_Down, key::Down},
    {Qt::Key_Insert, key::Insert},
    {Qt::Key_Delete, key::Delete},
    {Qt::Key_NumLock, key::NumLock},
    {Qt::Key_ScrollLock, key::ScrollLock},
    {Qt::Key_Clear, 12},
    {Qt::Key_Semicolon, key::Semicolon},
    {Qt::Key_Colon, key::Semicolon},
    {Qt::Key_Equal, key::Equals},
    {Qt::Key_Plus, key::Equals},
    {Qt::Key_Comma, key::Comma},
    {Qt::Key_Less, key::Comma},
    {Qt::Key_Minus, key::Minus},
    {Qt::Key_Underscore, key::Minus},
    {Qt::Key_Period, key::Period},
    {Qt::Key_Greater, key::Period},
    {Qt::Key_Slash, key::Slash},
    {Qt::Key_Question, key::Slash},
    {Qt::Key_QuoteLeft, key::Backquote},
    {Qt::Key_AsciiTilde, key::Backquote},
    {Qt::Key_BracketLeft, key::LeftBracket},
    {Qt::Key_BraceLeft, key::LeftBracket},
    {Qt::Key_Backslash, key::Backslash},
    {Qt::Key_Bar, key::Backslash},
    {Qt::Key_BracketRight, key::RightBracket},
    {Qt::Key_BraceRight, key::RightBracket},
    {Qt::Key_Apostrophe, key::Quote},
    {Qt::Key_QuoteDbl, key::Quote},
    // Shifted digits of a US layout give their digit key.
    {Qt::Key_Exclam, '1'},
    {Qt::Key_At, '2'},
    {Qt::Key_NumberSign, '3'},
    {Qt::Key_Dollar, '4'},
    {Qt::Key_Percent, '5'},
    {Qt::Key_AsciiCircum, '6'},
    {Qt::Key_Ampersand, '7'},
    {Qt::Key_Asterisk, '8'},
    {Qt::Key_ParenLeft, '9'},
    {Qt::Key_ParenRight, '0'},
};

}  // namespace

// --- key and mouse translation ---------------------------------------------

int KeyCodeFromQt(int qtKey, Qt::KeyboardModifiers modifiers) {
    const bool keypad = modifiers & Qt::KeypadModifier;
    if (keypad) {
        if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) return key::Numpad0 + (qtKey - Qt::Key_0);
        switch (qtKey) {
        case Qt::Key_Asterisk: return key::Multiply;
        case Qt::Key_Plus: return key::Add;
        case Qt::Key_Minus: return key::Subtract;
        case Qt::Key_Period:
        case Qt::Key_Comma: return key::Decimal;
        case Qt::Key_Slash: return key::Divide;
        default: break;
        }
    }
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) return key::LetterA + (qtKey - Qt::Key_A);
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) return key::Digit0 + (qtKey - Qt::Key_0);
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) return key::F1 + (qtKey - Qt::Key_F1);
    for (const wn_KeyPair& k : wn_keyTable)
        if (k.qt == qtKey) return k.code;
    return 0;
}

int QtKeyFromCode(int code, Qt::KeyboardModifiers* extra) {
    if (code >= key::LetterA && code <= 'Z') return Qt::Key_A + (code - key::LetterA);
    if (code >= key::Digit0 && code <= '9') return Qt::Key_0 + (code - key::Digit0);
    if (code >= key::F1 && code < key::F1 + 24) return Qt::Key_F1 + (code - key::F1);
    if (code >= key::Numpad0 && code <= key::Divide) {
        if (extra) *extra |= Qt::KeypadModifier;
        if (code <= key::Numpad0 + 9) return Qt::Key_0 + (code - key::Numpad0);
        switch (code) {
        case key::Multiply: return Qt::Key_Asterisk;
        case key::Add: return Qt::Key_Plus;
        case key::Subtract: return Qt::Key_Minus;
        case key::Decimal: return Qt::Key_Period;
        case key::Divide: return Qt::Key_Slash;
        default: return 0;
        }
    }
    // The first table row of a code is its unshifted key.
    for (const wn_KeyPair& k : wn_keyTable)
        if (k.code == code) return k.qt;
    return 0;
}

unsigned ModifiersFromQt(Qt::KeyboardModifiers modifiers) {
    unsigned m = ModNone;
    if (modifiers & Qt::ShiftModifier) m |= ModShift;
    if (modifiers & Qt::ControlModifier) m |= ModCtrl;
    if (modifiers & Qt::AltModifier) m |= ModAlt;
    return m;
}

Qt::KeyboardModifiers ModifiersToQt(unsigned modifiers) {
    Qt::KeyboardModifiers m = Qt::NoModifier;
    if (modifiers & ModShift) m |= Qt::ShiftModifier;
    if (modifiers & ModCtrl) m |= Qt::ControlModifier;
    if (modifiers & ModAlt) m |= Qt::AltModifier;
    return m;
}

unsigned MouseFlagsFromQt(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) {
    unsigned f = 0;
    if (buttons & Qt::LeftButton) f |= MouseLeft;
    if (buttons & Qt::RightButton) f |= MouseRight;
    if (buttons & Qt::MiddleButton) f |= MouseMiddle;
    if (modifiers & Qt::ShiftModifier) f |= MouseShift;
    if (modifiers & Qt::ControlModifier) f |= MouseControl;
    return f;
}

// --- bridge -----------------------------------------------------------------

QWidget* WidgetOf(const Window& window) { return window.impl()->widget.data(); }

Window* WindowOfWidget(const QWidget* widget) {
    auto& registry = wn_Registry();
    for (const QWidget* w = widget; w; w = w->parentWidget()) {
        auto it = registry.find(w);
        if (it != registry.end()) return it->second;
    }
    return nullptr;
}

bool AdoptWidget(Window& window, QWidget* widget, Window* parent, bool forwardPaint) {
    Window::Impl* d = window.impl();
    if (d->widget || !widget) return false;
    d->adopted = true;
    d->forwardPaint = forwardPaint;
    wn_Register(window, widget, parent);
    d->filter = std::make_unique<wn_EventFilter>(&window, widget);
    widget->installEventFilter(d->filter.get());
    WindowAccess::Create(window);
    return true;
}

std::weak_ptr<Window*> WindowToken(const Window& window) { return window.impl()->token; }

void SetWindowDropHandler(Window& window, std::function<void(const std::vector<std::string>&, Point)> handler) {
    window.impl()->dropHandler = std::move(handler);
}

// --- Window -----------------------------------------------------------------

Window::Window() : impl_(std::make_unique<Impl>()) {
    impl_->self = this;
    impl_->token = std::make_shared<Window*>(this);
}

Window::~Window() {
    Destroy();
    for (Window* child : impl_->children) child->impl()->parent = nullptr;
    impl_->children.clear();
    wn_Unlink(this);
    if (wn_capture == this) wn_capture = nullptr;
    impl_->token.reset();
}

bool Window::Create(Window* parent, const Rect& rect, const std::string& title, unsigned style) {
    if (impl_->widget || !QApplication::instance()) return false;
    QWidget* parentWidget = nullptr;
    if (parent) {
        parentWidget = WidgetOf(*parent);
        if (!parentWidget) return false;
    }
    Qt::WindowFlags flags = Qt::Widget;
    if (parent && (style & StyleToolWindow)) flags = Qt::Tool;
    auto* widget = new wn_Widget(this, parentWidget, flags);
    impl_->adopted = false;
    impl_->forwardPaint = true;
    wn_Register(*this, widget, parent);
    widget->setMouseTracking(true);
    widget->setFocusPolicy((style & StyleNoFocus) ? Qt::NoFocus : Qt::StrongFocus);
    // Views paint their whole area; the fill below is the "erase" step.
    QPalette pal = widget->palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Base));
    widget->setPalette(pal);
    widget->setAutoFillBackground(true);
    if (!rect.IsEmpty()) widget->setGeometry(RectToQt(rect));
    SetTitle(title);
    WindowAccess::Create(*this);
    if ((style & StyleVisible) && impl_->widget) impl_->widget->show();
    return true;
}

void Window::Destroy() {
    Impl* d = impl_.get();
    if (!d->widget || d->destroying) return;
    d->destroying = true;
    std::weak_ptr<Window*> alive = d->token;
    WindowAccess::Destroy(*this);
    if (alive.expired()) return;
    std::vector<Window*> children = d->children;
    for (Window* child : children) child->Destroy();
    QWidget* widget = d->widget.data();
    if (widget) {
        for (const auto& entry : d->timers) widget->killTimer(entry.second);
        d->timers.clear();
        if (wn_capture == this) {
            widget->releaseMouse();
            wn_capture = nullptr;
        }
        QObject::disconnect(d->destroyedConnection);
        wn_Registry().erase(widget);
        if (auto* ww = dynamic_cast<wn_Widget*>(widget)) ww->Detach();
        if (d->filter) widget->removeEventFilter(d->filter.get());
        d->filter.reset();
        if (auto* sub = qobject_cast<QMdiSubWindow*>(widget)) {
            if (QMdiArea* area = sub->mdiArea()) area->removeSubWindow(sub);
        }
        widget->hide();
        // Deferred: Destroy may run inside one of the widget's own events.
        widget->deleteLater();
    }
    d->widget = nullptr;
    d->raw = nullptr;
    d->destroying = false;
    d->barShown[0] = d->barShown[1] = false;
    d->reportedSize = Size{-1, -1};
    wn_Unlink(this);
    if (d->autoDelete) {
        QMetaObject::invokeMethod(
            qApp,
            [alive] {
                if (auto p = alive.lock()) delete *p;
            },
            Qt::QueuedConnection);
    }
}

bool Window::Close() {
    if (!impl_->widget) return false;
    std::weak_ptr<Window*> alive = impl_->token;
    if (!WindowAccess::Close(*this)) return false;
    if (alive.expired()) return true;
    Destroy();
    return true;
}

bool Window::Exists() const { return impl_->widget != nullptr; }
void Window::SetAutoDelete(bool on) { impl_->autoDelete = on; }
Window* Window::Parent() const { return impl_->parent; }

bool Window::Show(int showCode) {
    QWidget* w = impl_->widget;
    if (!w) return false;
    const bool wasVisible = w->isVisible();
    auto* sub = qobject_cast<QMdiSubWindow*>(w);
    bool activate = true;
    switch (showCode) {
    case show::Hide: w->hide(); return wasVisible;
    case show::Maximized: w->showMaximized(); break;
    case show::Minimized:
    case show::Minimize:
    case show::MinimizedNoActivate:
        w->showMinimized();
        activate = showCode == show::Minimized;
        break;
    case show::Normal:
    case show::Restore: w->showNormal(); break;
    case show::NoActivate:
    case show::ShowNoActivate:
        w->show();
        activate = false;
        break;
    default: w->show(); break;
    }
    if (activate) {
        if (sub && sub->mdiArea())
            sub->mdiArea()->setActiveSubWindow(sub);
        else if (w->isWindow()) {
            w->raise();
            w->activateWindow();
        }
    }
    return wasVisible;
}

bool Window::IsVisible() const { return impl_->widget && impl_->widget->isVisible(); }
bool Window::IsMinimized() const { return impl_->widget && impl_->widget->isMinimized(); }
bool Window::IsMaximized() const { return impl_->widget && impl_->widget->isMaximized(); }

void Window::SetTitle(const std::string& title) {
    impl_->title = title;
    if (impl_->widget) impl_->widget->setWindowTitle(ToQString(title));
}

std::string Window::Title() const { return impl_->title; }

Rect Window::ClientRect() const {
    QWidget* w = impl_->widget;
    if (!w) return Rect{};
    const QSize s = w->size();
    Rect r{0, 0, s.width(), s.height()};
    if (impl_->barShown[0] || impl_->barShown[1]) {
        const int ext = wn_ScrollBarExtent(w);
        if (impl_->barShown[static_cast<int>(ScrollBar::Horizontal)]) r.bottom = std::max(0, r.bottom - ext);
        if (impl_->barShown[static_cast<int>(ScrollBar::Vertical)]) r.right = std::max(0, r.right - ext);
    }
    return r;
}

Rect Window::WindowRect() const {
    QWidget* w = impl_->widget;
    if (!w) return Rect{};
    return RectFromQt(w->isWindow() ? w->frameGeometry() : w->geometry());
}

void Window::Move(const Rect& rect, bool repaint) {
    QWidget* w = impl_->widget;
    if (!w) return;
    QRect r = RectToQt(rect);
    if (w->isWindow()) {
        // The rectangle is the outer one; Qt places the client area. The frame's
        // size is known once the window exists on the desktop.
        if (!w->testAttribute(Qt::WA_WState_Created)) w->winId();
        const QRect frame = w->frameGeometry();
        const QRect client = w->geometry();
        r.adjust(client.left() - frame.left(), client.top() - frame.top(), client.right() - frame.right(),
                 client.bottom() - frame.bottom());
    }
    w->setGeometry(r);
    if (repaint) w->update();
}

Point Window::ClientToScreen(Point p) const {
    if (!impl_->widget) return p;
    const QPoint q = impl_->widget->mapToGlobal(QPoint(p.x, p.y));
    return Point{q.x(), q.y()};
}

Point Window::ScreenToClient(Point p) const {
    if (!impl_->widget) return p;
    const QPoint q = impl_->widget->mapFromGlobal(QPoint(p.x, p.y));
    return Point{q.x(), q.y()};
}

Placement Window::GetPlacement() const {
    Placement p;
    QWidget* w = impl_->widget;
    if (!w) return p;
    p.length = kPlacementLength;
    p.flags = impl_->placementFlags & kPlacementSetMinPosition;
    const Qt::WindowStates state = w->windowState();
    if (state & Qt::WindowMinimized) {
        p.showCode = show::Minimized;
        if (state & Qt::WindowMaximized) p.flags |= kPlacementRestoreToMaximized;
    } else if (state & Qt::WindowMaximized) {
        p.showCode = show::Maximized;
    } else {
        p.showCode = show::Normal;
    }
    p.minPosition = impl_->minPosition;
    p.maxPosition = impl_->maxPosition;
    if (!(state & (Qt::WindowMinimized | Qt::WindowMaximized))) {
        p.normal = RectFromQt(w->isWindow() ? w->frameGeometry() : w->geometry());
    } else if (impl_->haveNormal) {
        p.normal = impl_->normal;
    } else {
        p.normal = RectFromQt(w->isWindow() ? w->normalGeometry() : w->geometry());
    }
    return p;
}

bool Window::SetPlacement(const Placement& placement) {
    QWidget* w = impl_->widget;
    if (!w || placement.length == 0) return false;
    impl_->placementFlags = placement.flags;
    impl_->minPosition = placement.minPosition;
    impl_->maxPosition = placement.maxPosition;
    if (!placement.normal.IsEmpty()) {
        // The normal rectangle can only be set while the window is normal.
        if (w->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized)) w->setWindowState(Qt::WindowNoState);
        Move(placement.normal, false);
        impl_->normal = placement.normal;
        impl_->haveNormal = true;
    }
    int code = placement.showCode;
    if ((code == show::Minimized || code == show::Minimize || code == show::MinimizedNoActivate) &&
        (placement.flags & kPlacementRestoreToMaximized)) {
        w->setWindowState(Qt::WindowMaximized);
    }
    Show(code);
    return true;
}

void Window::Invalidate(const Rect* rect) {
    if (!impl_->widget) return;
    if (rect)
        impl_->widget->update(RectToQt(*rect));
    else
        impl_->widget->update();
}

void Window::Update() {
    if (!impl_->widget || !impl_->widget->isVisible()) return;
    // Inside a paint a second one would share the backing store with the
    // painter in use: the event loop paints it after this one.
    const Application* app = Application::Instance();
    if (app && app->IsPainting())
        impl_->widget->update();
    else
        impl_->widget->repaint();
}

void Window::SetBackgroundColor(Color color) {
    impl_->hasBackground = true;
    impl_->background = color;
    if (QWidget* w = impl_->widget) {
        QPalette pal = w->palette();
        pal.setColor(QPalette::Window, ToQColor(color));
        w->setPalette(pal);
        w->update();
    }
}

OverlayLayer& Window::Overlay() { return impl_->overlay; }

namespace {

bool wn_BarNeeded(const ScrollState& s) { return s.page > 0 ? s.max - s.min + 1 > s.page : s.max > s.min; }

// The highest thumb position: the last page starts there.
int wn_TopPosition(const ScrollState& s) { return std::max(s.min, s.page > 0 ? s.max - s.page + 1 : s.max); }

QScrollBar* wn_MakeScrollBar(Window& window, ScrollBar bar) {
    Window::Impl* d = window.impl();
    const int index = static_cast<int>(bar);
    if (d->bars[index] || !d->widget) return d->bars[index];
    auto* sb = new QScrollBar(bar == ScrollBar::Vertical ? Qt::Vertical : Qt::Horizontal, d->widget);
    sb->setFocusPolicy(Qt::NoFocus);
    sb->setCursor(Qt::ArrowCursor);
    sb->hide();
    std::weak_ptr<Window*> alive = d->token;
    QObject::connect(sb, &QAbstractSlider::actionTriggered, sb, [alive, bar, sb](int action) {
        ScrollCode code = ScrollCode::Thumb;
        switch (action) {
        case QAbstractSlider::SliderSingleStepAdd: code = ScrollCode::LineDown; break;
        case QAbstractSlider::SliderSingleStepSub: code = ScrollCode::LineUp; break;
        case QAbstractSlider::SliderPageStepAdd: code = ScrollCode::PageDown; break;
        case QAbstractSlider::SliderPageStepSub: code = ScrollCode::PageUp; break;
        case QAbstractSlider::SliderToMinimum: code = ScrollCode::Top; break;
        case QAbstractSlider::SliderToMaximum: code = ScrollCode::Bottom; break;
        case QAbstractSlider::SliderMove: code = ScrollCode::Thumb; break;
        default: return;
        }
        const int thumb = sb->sliderPosition();
        // The thumb stays where the program puts it: back to the last
        // position set until the handler sets a new one.
        sb->setSliderPosition(sb->value());
        if (auto p = alive.lock()) WindowAccess::Scroll(**p, bar, code, thumb);
    });
    d->bars[index] = sb;
    return sb;
}

}  // namespace

void Window::SetScrollState(ScrollBar bar, const ScrollState& state) {
    Impl* d = impl_.get();
    const int index = static_cast<int>(bar);
    ScrollState s = state;
    s.max = std::max(s.min, s.max);
    s.page = std::max(0, s.page);
    s.pos = std::clamp(s.pos, s.min, wn_TopPosition(s));
    d->scroll[index] = s;
    if (!d->widget) return;
    const bool shown = wn_BarNeeded(s);
    QScrollBar* sb = shown ? wn_MakeScrollBar(*this, bar) : d->bars[index].data();
    if (sb) {
        const QSignalBlocker quiet(sb);
        sb->setRange(s.min, wn_TopPosition(s));
        sb->setPageStep(std::max(1, s.page));
        sb->setSingleStep(1);
        sb->setValue(s.pos);
        sb->setSliderPosition(s.pos);
    }
    if (shown != d->barShown[index]) {
        d->barShown[index] = shown;
        wn_LayoutScrollBars(d);
        wn_ReportClientSize(*this, false);
    }
}

ScrollState Window::GetScrollState(ScrollBar bar) const { return impl_->scroll[static_cast<int>(bar)]; }

bool Window::IsScrollBarShown(ScrollBar bar) const {
    return impl_->widget && impl_->barShown[static_cast<int>(bar)];
}

void Window::UserScroll(ScrollBar bar, ScrollCode code, int thumb) {
    QScrollBar* sb = impl_->bars[static_cast<int>(bar)];
    if (!sb || !IsScrollBarShown(bar)) return;
    switch (code) {
    case ScrollCode::LineUp: sb->triggerAction(QAbstractSlider::SliderSingleStepSub); break;
    case ScrollCode::LineDown: sb->triggerAction(QAbstractSlider::SliderSingleStepAdd); break;
    case ScrollCode::PageUp: sb->triggerAction(QAbstractSlider::SliderPageStepSub); break;
    case ScrollCode::PageDown: sb->triggerAction(QAbstractSlider::SliderPageStepAdd); break;
    case ScrollCode::Top: sb->triggerAction(QAbstractSlider::SliderToMinimum); break;
    case ScrollCode::Bottom: sb->triggerAction(QAbstractSlider::SliderToMaximum); break;
    case ScrollCode::Thumb: sb->setSliderPosition(thumb); break;
    }
}

void Window::SetFocus() {
    if (impl_->widget) impl_->widget->setFocus(Qt::OtherFocusReason);
}

bool Window::HasFocus() const { return impl_->widget && impl_->widget->hasFocus(); }

void Window::SetCapture() {
    QWidget* w = impl_->widget;
    if (!w) return;
    Window* previous = wn_capture;
    if (previous == this) return;
    wn_capture = this;
    if (previous) {
        if (QWidget* pw = previous->impl()->widget) pw->releaseMouse();
        WindowAccess::CaptureLost(*previous);
    }
    // Qt grabs only for visible widgets; the capture is still recorded.
    if (w->isVisible()) w->grabMouse();
}

void Window::ReleaseCapture() {
    if (wn_capture != this) return;
    wn_capture = nullptr;
    if (QWidget* w = impl_->widget) w->releaseMouse();
}

bool Window::HasCapture() const { return wn_capture == this; }
Window* Window::CaptureWindow() { return wn_capture; }

void Window::SetCursorShape(CursorShape shape) {
    if (impl_->widget) impl_->widget->setCursor(QCursor(wn_QtCursor(shape)));
}

void Window::Enable(bool on) {
    if (impl_->widget) impl_->widget->setEnabled(on);
}

bool Window::IsEnabled() const { return impl_->widget && impl_->widget->isEnabled(); }

void Window::SetTimer(int id, int milliseconds) {
    QWidget* w = impl_->widget;
    if (!w) return;
    KillTimer(id);
    const int qtId = w->startTimer(std::max(milliseconds, 0));
    if (qtId != 0) impl_->timers[id] = qtId;
}

void Window::KillTimer(int id) {
    auto it = impl_->timers.find(id);
    if (it == impl_->timers.end()) return;
    if (QWidget* w = impl_->widget) w->killTimer(it->second);
    impl_->timers.erase(it);
}

bool Window::HasTimer(int id) const { return impl_->timers.count(id) != 0; }

void Window::SetAccelerators(const AcceleratorTable* table) { impl_->accel = table; }
const AcceleratorTable* Window::Accelerators() const { return impl_->accel; }

bool Window::SaveImage(const std::string& pngPath) {
    QWidget* w = impl_->widget;
    if (!w) return false;
    const QPixmap pixmap = w->grab();
    if (pixmap.isNull()) return false;
    return pixmap.save(QString::fromStdString(pngPath), "PNG");
}

unsigned Window::MouseKeyState() {
    return MouseFlagsFromQt(QGuiApplication::mouseButtons(), QGuiApplication::queryKeyboardModifiers());
}

unsigned Window::ModifierState() { return ModifiersFromQt(QGuiApplication::queryKeyboardModifiers()); }

bool Window::IsKeyDown(int keyCode) {
    const unsigned m = ModifierState();
    switch (keyCode) {
    case key::Shift: return m & ModShift;
    case key::Control: return m & ModCtrl;
    case key::Alt: return m & ModAlt;
    default: return false;
    }
}

}  // namespace platform
