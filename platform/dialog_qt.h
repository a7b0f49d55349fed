// Private to platform/*.cpp: the Qt side of dialogs and prompt strips, shared
// with property sheets.
#pragma once

#include <QEventLoop>
#include <QFrame>
#include <QLabel>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <string>
#include <vector>

#include "platform/controls_qt.h"
#include "platform/dialog.h"

namespace platform {

struct PromptStrip::Impl {
    QPointer<QWidget> host;  // the window the strip sits in
    QPointer<QFrame> bar;
    std::vector<QLabel*> panes;
    int paneCount = 1;
    int lines = 1;
    int extra = 0;
    bool attached = false;
    bool locked = false;
    bool hasFont = false;
    FontDesc font;
    bool pendingAttach = false;  // Attach came before the window existed
    bool pendingGrow = true;

    // A new window (or none): the old bar died with the old window.
    void Reset(QWidget* newHost);
    int BarHeight() const;
    // Puts the bar along the host's bottom edge.
    void Layout();
};

// A top-level dialog window for `window`, owned by `owner`'s top-level window.
QWidget* DlgMakeTopWidget(Window& window, Window* owner, const std::string& title);
// Centres a top-level widget on its owner, or on the screen's work area.
void DlgCenter(QWidget* widget);
// Gives the focus to the panel's first control that takes it by Tab.
void DlgFocusFirst(ControlPanel::Impl& panel);
// Shows `top` application-modal and runs a loop until `ended` (the loop is
// stored in `loopSlot` while it runs, so that ending can quit it).
int DlgRunModal(QWidget* top, const std::function<bool()>& ended, QEventLoop*& loopSlot);

}  // namespace platform
