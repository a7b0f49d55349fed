// Private to platform/*.cpp: the bridge between windows and Qt widgets.
#pragma once

#include <QRect>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/window.h"

namespace platform {

// The widget behind a window (null when it has none).
QWidget* WidgetOf(const Window& window);
// The window a widget belongs to: the one of the widget itself or of its
// nearest ancestor that has one; null when none has.
Window* WindowOfWidget(const QWidget* widget);
// Gives a window a widget made elsewhere in the layer (frames, dialogs). From
// then on the window owns the widget (Destroy deletes it), is a child of
// `parent` (null: a top-level window without owner), and the widget's events
// reach the window's handlers: close (the close button asks OnClose and
// destroys the window when it agrees), size, focus, timers, keys and mouse
// (passed on to the widget too), and paint when `forwardPaint` (the widget's
// own painting is then replaced). Calls OnCreate. False when the window has a
// widget already.
bool AdoptWidget(Window& window, QWidget* widget, Window* parent, bool forwardPaint);
// Files dropped on the window go to the handler (null: drops are refused).
void SetWindowDropHandler(Window& window, std::function<void(const std::vector<std::string>&, Point)> handler);
// A handle that expires when the window object is deleted, for posted work.
std::weak_ptr<Window*> WindowToken(const Window& window);

// Key codes (key::) and modifier bits (KeyModifier) from Qt's, and back.
int KeyCodeFromQt(int qtKey, Qt::KeyboardModifiers modifiers);
// The Qt key for a code; keypad codes add Qt::KeypadModifier to `extra`.
int QtKeyFromCode(int code, Qt::KeyboardModifiers* extra);
unsigned ModifiersFromQt(Qt::KeyboardModifiers modifiers);
Qt::KeyboardModifiers ModifiersToQt(unsigned modifiers);
unsigned MouseFlagsFromQt(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers);

inline QRect RectToQt(const Rect& r) { return QRect(r.left, r.top, r.Width(), r.Height()); }
inline Rect RectFromQt(const QRect& r) { return Rect{r.x(), r.y(), r.x() + r.width(), r.y() + r.height()}; }

}  // namespace platform
