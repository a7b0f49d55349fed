// Private to platform/*.cpp: the Qt side of control panels, shared by dialogs,
// property pages and property sheets.
#pragma once

#include <QFont>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

#include "platform/controls.h"

namespace platform {

// One control of a panel and the state Qt does not keep for it.
struct CtlRecord {
    ControlDesc desc;
    QWidget* widget = nullptr;
    int buddy = 0;            // spin: the edit it writes its number into
    int low = 0, high = 100;  // spin range (low may exceed high: the up arrow goes towards high)
    int pos = 0;              // spin position
    Color color = 0;          // colour swatch
    StandardIcon icon = StandardIcon::None;
    bool hasFont = false;
    FontDesc font;
    int tabStopPixels = 0;
    int itemHeight = 0;  // owner-drawn list items; 0: one line of the font
    ControlHook* hook = nullptr;
    QString plainText;  // rich edits: the text last seen, to tell text changes from format changes
};

struct ControlPanel::Impl {
    explicit Impl(ControlPanel* owner) : self(owner) {}
    ~Impl();

    ControlPanel* self;
    DialogDesc desc;
    QPointer<QWidget> panel;
    std::vector<std::unique_ptr<CtlRecord>> records;  // creation order
    QFont font;
    int baseX = 6, baseY = 13;  // dialog base units of `font`
    int defaultButton = 0;
    PromptStrip* prompt = nullptr;
    int quiet = 0;  // > 0 while code changes values: no notifications
    int focusedId = 0;
    int hoverId = -1;  // the id last prompted for by pointer moves
    QObject* filter = nullptr;
    QMetaObject::Connection panelGone;  // the panel deleted with a window destroyed elsewhere
    // The host's handling of Enter and Esc pressed in a control; true when taken.
    std::function<bool(int key, unsigned modifiers)> keyHandler;

    // Builds the panel and its controls as a child of `parent` at (0, 0).
    QWidget* Build(QWidget* parent);
    // Deletes the panel and its controls (safely also from inside their own signals).
    void Destroy();
    void ComputeBaseUnits();
    CtlRecord* Find(int id) const;
    CtlRecord* FindByWidget(const QObject* object) const;
    CtlRecord* CreateControl(const ControlDesc& d, const QRect& pixels);
    void Notify(int id, platform::Notify what);
    void Clicked(CtlRecord& r);
    void Prompt(int id);
    // Ends every hook's attachment (before records go).
    void DetachHooks();
    void DetachHook(CtlRecord& r);
    void TextChanged(CtlRecord& r);
};

// Calls into the program's handlers from Qt signals go through this count, so
// that widgets are never deleted while one of their own signals runs.
struct CtlDispatchScope {
    CtlDispatchScope();
    ~CtlDispatchScope();
    static bool Active();
};
// Deletes a widget now, or later when a handler is running.
void CtlDeleteWidget(QWidget* widget);

}  // namespace platform
