// The application object over QApplication: start-up on the right platform,
// the event loop and idle work, posted work, key polling, modal depth, wait
// cursor, single instance and desktop metrics.
#include "platform/app.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QEventLoop>
#include <QFont>
#include <QFontInfo>
#include <QKeyEvent>
#include <QLocalServer>
#include <QLocalSocket>
#include <QMouseEvent>
#include <QPalette>
#include <QPointer>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QUrl>
#include <QWheelEvent>

#include <unistd.h>

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>

#include "core/desktop.h"
#include "platform/draw_qt.h"
#include "platform/menu.h"
#include "platform/window.h"
#include "platform/window_qt.h"

namespace platform {

namespace {

Application* app_instance = nullptr;
QtMessageHandler app_previousHandler = nullptr;

// The off-screen plugin reports every feature it lacks; none of that matters here.
void app_MessageFilter(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (context.category && std::strncmp(context.category, "qt.qpa", 6) == 0) return;
    if (message.startsWith(QLatin1String("This plugin does not support"))) return;
    if (message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set"))) return;
    if (app_previousHandler) {
        app_previousHandler(type, context, message);
        return;
    }
    const QByteArray text = qFormatLogMessage(type, context, message).toLocal8Bit();
    std::fprintf(stderr, "%s\n", text.constData());
}

void app_ScreenSize(int* width, int* height) {
    int w = 0;
    int h = 0;
    if (QGuiApplication::instance()) {
        if (QScreen* s = QGuiApplication::primaryScreen()) {
            w = s->geometry().width();
            h = s->geometry().height();
        }
    }
    if (width) *width = w;
    if (height) *height = h;
}

// The primary screen, for the core; installed while the application exists.
class AppScreen final : public ScreenPort {
public:
    void GetScreenSize(int* width, int* height) override { app_ScreenSize(width, height); }
};
AppScreen app_screen;

}  // namespace

struct Application::Impl {
    int argc = 1;
    std::vector<char*> argv;
    std::string defaultName = "tarnwick";
    std::unique_ptr<QApplication> qapp;
    std::weak_ptr<Window*> mainWindow;

    IdleHandler idle;
    int idleCount = 0;
    bool idleDone = false;
    bool sawEvent = false;
    bool inIdle = false;

    KeyHook keyHook;
    bool capturingKeys = false;
    std::deque<int> keys;

    int modalDepth = 0;
    int waitCount = 0;
    int paintDepth = 0;

    std::unique_ptr<SingleInstance> instance;
    std::function<bool(const std::string&)> opener;

    // Every key press passes here once before any widget (or its parents)
    // sees it; true when it is consumed.
    bool PreTranslateKey(QObject* receiver, QKeyEvent* e) {
        if (capturingKeys) {
            const int code = KeyCodeFromQt(e->key(), e->modifiers());
            if (code != 0) keys.push_back(code);
            return true;
        }
        const int code = KeyCodeFromQt(e->key(), e->modifiers());
        if (code == 0 || code == key::Shift || code == key::Control || code == key::Alt) return false;
        KeyEvent ev;
        ev.target = receiver->isWidgetType() ? WindowOfWidget(static_cast<QWidget*>(receiver)) : nullptr;
        ev.key = code;
        ev.modifiers = ModifiersFromQt(e->modifiers());
        ev.repeat = e->isAutoRepeat();
        if (keyHook) return keyHook(ev);
        return app_instance->TranslateWindowAccelerators(ev);
    }

    // Called when the loop has nothing left and is about to sleep. An event
    // handled since the last call starts a new idle burst at count 0; while
    // the handler wants more, the loop is woken again without an event.
    void AboutToBlock() {
        if (!idle || inIdle || modalDepth > 0) return;
        if (sawEvent) {
            sawEvent = false;
            idleCount = 0;
            idleDone = false;
        }
        if (idleDone) return;
        inIdle = true;
        IdleHandler handler = idle;
        const bool more = handler(idleCount);
        inIdle = false;
        if (more) {
            ++idleCount;
            if (QAbstractEventDispatcher* d = QAbstractEventDispatcher::instance()) d->wakeUp();
        } else {
            idleDone = true;
        }
    }
};

namespace {

class app_QApplication : public QApplication {
public:
    app_QApplication(int& argc, char** argv, Application::Impl* owner) : QApplication(argc, argv), owner_(owner) {}

    bool notify(QObject* receiver, QEvent* e) override {
        if (owner_) owner_->sawEvent = true;
        if (e->type() == QEvent::KeyPress && owner_ && receiver->isWidgetType()) {
            if (owner_->PreTranslateKey(receiver, static_cast<QKeyEvent*>(e))) return true;
        }
        return QApplication::notify(receiver, e);
    }

private:
    Application::Impl* owner_;
};

}  // namespace

Application::Application() : Application(0, nullptr) {}

Application::Application(int argc, char** argv) : impl_(std::make_unique<Impl>()) {
    if (app_instance) std::abort();  // one per process: a second would share the toolkit state
    app_instance = this;
    if (argc > 0 && argv) {
        impl_->argc = argc;
        impl_->argv.assign(argv, argv + argc);
    } else {
        impl_->argc = 1;
        impl_->argv.push_back(impl_->defaultName.data());
    }
    impl_->argv.push_back(nullptr);
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const char* platformName = std::getenv("QT_QPA_PLATFORM");
    if ((!display || !*display) && (!wayland || !*wayland) && (!platformName || !*platformName))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    app_previousHandler = qInstallMessageHandler(app_MessageFilter);
    impl_->qapp = std::make_unique<app_QApplication>(impl_->argc, impl_->argv.data(), impl_.get());
    impl_->qapp->setQuitOnLastWindowClosed(false);

    if (QAbstractEventDispatcher* d = QAbstractEventDispatcher::instance()) {
        Impl* p = impl_.get();
        QObject::connect(d, &QAbstractEventDispatcher::aboutToBlock, impl_->qapp.get(), [p] { p->AboutToBlock(); });
    }
    InstallScreen(&app_screen);
}

Application::~Application() {
    impl_->instance.reset();
    while (impl_->waitCount > 0) EndWaitCursor();
    // Run what is still queued (deferred deletions of windows and widgets).
    QCoreApplication::sendPostedEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    impl_->qapp.reset();
    if (&Screen() == &app_screen) InstallScreen(nullptr);
    qInstallMessageHandler(app_previousHandler);
    app_previousHandler = nullptr;
    app_instance = nullptr;
}

Application* Application::Instance() { return app_instance; }

bool Application::IsOffscreen() const { return QGuiApplication::platformName() == QLatin1String("offscreen"); }

int Application::Run() { return QApplication::exec(); }

void Application::Quit(int exitCode) { QCoreApplication::exit(exitCode); }

bool Application::RunUntil(const std::function<bool()>& done, int timeoutMs) {
    if (done()) return true;
    QEventLoop loop;
    bool reached = false;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done()) {
            reached = true;
            loop.quit();
        }
    });
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, [&] { loop.quit(); });
    poll.start();
    limit.start(std::max(timeoutMs, 0));
    loop.exec();
    return reached || done();
}

void Application::SetMainWindow(Window* window) {
    impl_->mainWindow = window ? WindowToken(*window) : std::weak_ptr<Window*>();
}

Window* Application::MainWindow() const {
    auto p = impl_->mainWindow.lock();
    return p ? *p : nullptr;
}

void Application::SetIdleHandler(IdleHandler handler) {
    impl_->idle = std::move(handler);
    impl_->idleCount = 0;
    impl_->idleDone = false;
}

bool Application::RunIdle(int count) {
    if (!impl_->idle || impl_->inIdle) return false;
    impl_->inIdle = true;
    IdleHandler handler = impl_->idle;
    const bool more = handler(count);
    impl_->inIdle = false;
    return more;
}

namespace {

std::weak_ptr<Window*> app_TargetToken(Window* target) {
    if (target) return WindowToken(*target);
    if (Window* main = app_instance ? app_instance->MainWindow() : nullptr) return WindowToken(*main);
    return {};
}

}  // namespace

void Application::PostCommand(Window* target, int id) {
    std::weak_ptr<Window*> alive = app_TargetToken(target);
    QMetaObject::invokeMethod(
        impl_->qapp.get(),
        [alive, id] {
            if (auto p = alive.lock())
                if ((*p)->Exists()) (*p)->RouteCommand(id);
        },
        Qt::QueuedConnection);
}

void Application::PostClose(Window* target) {
    std::weak_ptr<Window*> alive = app_TargetToken(target);
    auto p = alive.lock();
    if (!p) return;
    // The same close request as the window's close button.
    if (QWidget* widget = WidgetOf(**p)) QCoreApplication::postEvent(widget, new QCloseEvent());
}

void Application::PostKeyDown(Window* target, int code, unsigned modifiers) {
    std::weak_ptr<Window*> alive = app_TargetToken(target);
    auto p = alive.lock();
    if (!p) return;
    QWidget* widget = WidgetOf(**p);
    if (!widget) return;
    Qt::KeyboardModifiers mods = ModifiersToQt(modifiers);
    const int qtKey = QtKeyFromCode(code, &mods);
    if (qtKey == 0) return;
    QString text;
    if (!(modifiers & (ModCtrl | ModAlt))) {
        if (code >= key::LetterA && code <= 'Z')
            text = QChar((modifiers & ModShift) ? code : code - 'A' + 'a');
        else if ((code >= key::Digit0 && code <= '9') || code == key::Space || code == key::Escape ||
                 code == key::Enter || code == key::Tab || code == key::Back)
            text = QChar(code);
    }
    QCoreApplication::postEvent(widget, new QKeyEvent(QEvent::KeyPress, qtKey, mods, text));
    QCoreApplication::postEvent(widget, new QKeyEvent(QEvent::KeyRelease, qtKey, mods, text));
}

void Application::PostText(Window* target, const std::string& text) {
    std::weak_ptr<Window*> alive = app_TargetToken(target);
    auto p = alive.lock();
    if (!p) return;
    QWidget* widget = WidgetOf(**p);
    if (!widget) return;
    for (unsigned char c : text) {
        const QString typed(QChar(static_cast<char16_t>(c)));
        QCoreApplication::postEvent(widget, new QKeyEvent(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, typed));
        QCoreApplication::postEvent(widget, new QKeyEvent(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, typed));
    }
}

void Application::PostMouse(Window* target, MouseEventKind kind, MouseButton button, Point p, unsigned keyFlags,
                            int wheelDelta) {
    std::weak_ptr<Window*> alive = app_TargetToken(target);
    auto w = alive.lock();
    if (!w) return;
    QWidget* widget = WidgetOf(**w);
    if (!widget) return;
    Qt::MouseButtons held = Qt::NoButton;
    if (keyFlags & MouseLeft) held |= Qt::LeftButton;
    if (keyFlags & MouseRight) held |= Qt::RightButton;
    if (keyFlags & MouseMiddle) held |= Qt::MiddleButton;
    Qt::KeyboardModifiers mods = Qt::NoModifier;
    if (keyFlags & MouseShift) mods |= Qt::ShiftModifier;
    if (keyFlags & MouseControl) mods |= Qt::ControlModifier;
    const Qt::MouseButton b = button == MouseButton::Right    ? Qt::RightButton
                              : button == MouseButton::Middle ? Qt::MiddleButton
                                                              : Qt::LeftButton;
    const QPointF local(p.x, p.y);
    const QPointF global = widget->mapToGlobal(local);
    QEvent* e = nullptr;
    switch (kind) {
    case MouseEventKind::Down: e = new QMouseEvent(QEvent::MouseButtonPress, local, global, b, held, mods); break;
    case MouseEventKind::Up: e = new QMouseEvent(QEvent::MouseButtonRelease, local, global, b, held, mods); break;
    case MouseEventKind::DoubleClick:
        e = new QMouseEvent(QEvent::MouseButtonDblClick, local, global, b, held, mods);
        break;
    case MouseEventKind::Move: e = new QMouseEvent(QEvent::MouseMove, local, global, Qt::NoButton, held, mods); break;
    case MouseEventKind::Wheel:
        e = new QWheelEvent(local, global, QPoint(), QPoint(0, wheelDelta), held, mods, Qt::NoScrollPhase, false);
        break;
    }
    QCoreApplication::postEvent(widget, e);
}

void Application::PumpEvents() {
    if (IsPainting()) return;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

int Application::PumpEventsForKey() {
    if (impl_->keys.empty() && !IsPainting()) {
        const bool wasCapturing = impl_->capturingKeys;
        impl_->capturingKeys = true;
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        impl_->capturingKeys = wasCapturing;
    }
    if (impl_->keys.empty()) return 0;
    const int code = impl_->keys.front();
    impl_->keys.pop_front();
    return code;
}

bool Application::PollEscape() {
    bool escape = false;
    for (int code = PumpEventsForKey(); code != 0; code = impl_->keys.empty() ? 0 : PumpEventsForKey())
        if (code == key::Escape) escape = true;
    return escape;
}

bool Application::IsPainting() const { return impl_->paintDepth > 0; }
void Application::EnterPaint() { ++impl_->paintDepth; }
void Application::LeavePaint() {
    if (impl_->paintDepth > 0) --impl_->paintDepth;
}

void Application::SetKeyHook(KeyHook hook) { impl_->keyHook = std::move(hook); }

bool Application::TranslateWindowAccelerators(const KeyEvent& event) {
    for (Window* w = event.target; w; w = w->Parent()) {
        if (const AcceleratorTable* table = w->Accelerators())
            if (TranslateAccelerator(*table, *w, event.key, event.modifiers)) return true;
        // The tables of an owner do not apply inside its top-level windows
        // (dialogs, tool windows).
        if (QWidget* widget = WidgetOf(*w))
            if (widget->isWindow()) break;
    }
    return false;
}

int Application::ModalDepth() const { return impl_->modalDepth; }
void Application::EnterModal() { ++impl_->modalDepth; }
void Application::LeaveModal() {
    if (impl_->modalDepth > 0) --impl_->modalDepth;
}

void Application::BeginWaitCursor() {
    ++impl_->waitCount;
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

void Application::EndWaitCursor() {
    if (impl_->waitCount == 0) return;
    --impl_->waitCount;
    QGuiApplication::restoreOverrideCursor();
}

int Application::WaitCursorCount() const { return impl_->waitCount; }

bool Application::CheckRunningInstance() {
    if (impl_->instance && impl_->instance->IsListening()) return true;
    impl_->instance = std::make_unique<SingleInstance>("tw8demo");
    return impl_->instance->Claim();
}

SystemMetrics Application::Metrics() const {
    SystemMetrics m;
    if (QScreen* s = QGuiApplication::primaryScreen()) {
        m.screen = Size{s->geometry().width(), s->geometry().height()};
        m.workArea = RectFromQt(s->availableGeometry());
        m.logicalDpiY = static_cast<int>(std::lround(s->logicalDotsPerInchY()));
    }
    QStyle* style = QApplication::style();
    m.vScrollWidth = style->pixelMetric(QStyle::PM_ScrollBarExtent);
    m.hScrollHeight = m.vScrollWidth;
    const QFont font = QApplication::font("QMessageBox");
    const QFontInfo info(font);
    m.messageFontFace = info.family().toStdString();
    m.messageFontHeight = info.pixelSize();
    m.doubleClickMs = QApplication::doubleClickInterval();
    return m;
}

Color Application::GetSystemColor(SystemColor which) const {
    const QPalette pal = QApplication::palette();
    switch (which) {
    case SystemColor::Window: return FromQColor(pal.color(QPalette::Base));
    case SystemColor::WindowText: return FromQColor(pal.color(QPalette::Text));
    case SystemColor::ButtonFace: return FromQColor(pal.color(QPalette::Button));
    case SystemColor::ButtonText: return FromQColor(pal.color(QPalette::ButtonText));
    case SystemColor::ButtonShadow: return FromQColor(pal.color(QPalette::Dark));
    case SystemColor::ButtonHighlight: return FromQColor(pal.color(QPalette::Light));
    case SystemColor::Highlight: return FromQColor(pal.color(QPalette::Highlight));
    case SystemColor::HighlightText: return FromQColor(pal.color(QPalette::HighlightedText));
    case SystemColor::GrayText: return FromQColor(pal.color(QPalette::Disabled, QPalette::Text));
    case SystemColor::AppWorkspace: return FromQColor(pal.color(QPalette::Mid));
    case SystemColor::ToolTip: return FromQColor(pal.color(QPalette::ToolTipBase));
    case SystemColor::ToolTipText: return FromQColor(pal.color(QPalette::ToolTipText));
    }
    return 0;
}

bool Application::OpenWithDesktop(const std::string& pathOrUrl) {
    if (pathOrUrl.empty()) return false;
    if (impl_->opener) return impl_->opener(pathOrUrl);
    const QString text = ToQString(pathOrUrl);
    const QUrl url = pathOrUrl[0] == '/' ? QUrl::fromLocalFile(text) : QUrl::fromUserInput(text);
    return QDesktopServices::openUrl(url);
}

void Application::SetDesktopOpener(std::function<bool(const std::string&)> opener) {
    impl_->opener = std::move(opener);
}

void Application::Beep() { QApplication::beep(); }

// --- single instance --------------------------------------------------------

// A later start writes "activate\n" and then each file's path followed by a
// zero byte, and closes the connection; the request counts once it is whole.
namespace {
constexpr char app_kActivate[] = "activate\n";

// The display the instance belongs to, as a part of a socket name.
std::string app_DisplayPart() {
    const char* display = std::getenv("WAYLAND_DISPLAY");
    if (!display || !*display) display = std::getenv("DISPLAY");
    std::string part = display && *display ? display : "none";
    for (char& c : part)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-') c = '_';
    return part;
}
}  // namespace

struct SingleInstance::Impl {
    std::string name;
    std::unique_ptr<QLocalServer> server;
    std::function<void()> handler;
    std::function<void(const std::vector<std::string>&)> filesHandler;

    void Activate() {
        if (handler) {
            auto h = handler;
            h();
            return;
        }
        Application* app = Application::Instance();
        Window* main = app ? app->MainWindow() : nullptr;
        QWidget* w = main ? WidgetOf(*main) : nullptr;
        if (w) {
            if (w->isMinimized()) w->showNormal();
            w->raise();
            w->activateWindow();
        }
        // The window the user last worked in (a modal dialog) comes forward too.
        if (QWidget* modal = QApplication::activeModalWidget()) {
            modal->raise();
            modal->activateWindow();
        }
    }

    void Handle(const QByteArray& request) {
        if (!request.startsWith(app_kActivate)) return;
        std::vector<std::string> files;
        const QByteArray rest = request.mid(static_cast<qsizetype>(sizeof app_kActivate - 1));
        for (const QByteArray& path : rest.split('\0'))
            if (!path.isEmpty()) files.push_back(path.toStdString());
        Activate();
        if (!files.empty() && filesHandler) {
            auto h = filesHandler;
            h(files);
        }
    }

    bool Listen() {
        // No socket options: with them Qt binds elsewhere and renames the
        // socket into place, replacing a running instance's socket instead
        // of failing on it.
        server = std::make_unique<QLocalServer>();
        if (!server->listen(QString::fromStdString(name))) {
            server.reset();
            return false;
        }
        QLocalServer* s = server.get();
        QObject::connect(s, &QLocalServer::newConnection, s, [this, s] {
            while (QLocalSocket* c = s->nextPendingConnection()) {
                auto request = std::make_shared<QByteArray>();
                auto finish = [this, c, request] {
                    request->append(c->readAll());
                    const QByteArray whole = *request;
                    request->clear();
                    c->deleteLater();
                    Handle(whole);
                };
                QObject::connect(c, &QLocalSocket::readyRead, c, [c, request] { request->append(c->readAll()); });
                QObject::connect(c, &QLocalSocket::disconnected, c, finish);
                if (c->state() != QLocalSocket::ConnectedState) finish();
            }
        });
        return true;
    }
};

SingleInstance::SingleInstance(const std::string& baseName) : impl_(std::make_unique<Impl>()) {
    impl_->name =
        baseName + "-" + std::to_string(static_cast<unsigned long>(getuid())) + "-" + app_DisplayPart();
}

SingleInstance::~SingleInstance() {
    if (impl_->server) impl_->server->close();
}

bool SingleInstance::Claim(const std::vector<std::string>& files) {
    if (impl_->server) return true;
    if (!QCoreApplication::instance()) return true;
    // Listening first means two starts at the same moment cannot both win.
    if (impl_->Listen()) return true;
    {
        QLocalSocket socket;
        socket.connectToServer(QString::fromStdString(impl_->name));
        if (socket.waitForConnected(1000)) {
            QByteArray request(app_kActivate);
            for (const std::string& path : files) {
                request.append(path.data(), static_cast<qsizetype>(path.size()));
                request.append('\0');
            }
            socket.write(request);
            socket.waitForBytesWritten(1000);
            socket.disconnectFromServer();
            if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(1000);
            return false;
        }
    }
    // The name is left over from an instance that ended without closing it.
    QLocalServer::removeServer(QString::fromStdString(impl_->name));
    impl_->Listen();
    return true;
}

bool SingleInstance::IsListening() const { return impl_->server && impl_->server->isListening(); }

void SingleInstance::SetActivateHandler(std::function<void()> handler) { impl_->handler = std::move(handler); }

void SingleInstance::SetFilesHandler(std::function<void(const std::vector<std::string>&)> handler) {
    impl_->filesHandler = std::move(handler);
}

const std::string& SingleInstance::ServerName() const { return impl_->name; }

}  // namespace platform
