// Private to platform/*.cpp: the Qt side of menus.
#pragma once

#include <QAction>
#include <QMenu>

#include "platform/menu.h"

namespace platform {

// The QMenu behind a menu (its pop-up form).
QMenu* QMenuOf(const Menu& menu);
// The action of the item at a position: the item itself, or a pop-up's menu
// action; null when out of range.
QAction* MenuActionAt(const Menu& menu, int pos);

}  // namespace platform
