// Menus over QMenu/QAction, kept in step with an item list of our own so
// that states and texts read back exactly as the program set them.
#include "platform/menu.h"

#include <QCoreApplication>
#include <QCursor>

#include "platform/app.h"
#include "platform/command.h"
#include "platform/dialog.h"
#include "platform/draw_qt.h"
#include "platform/menu_qt.h"

namespace platform {

namespace {

QString mn_Text(const std::string& text) { return ToQString(text); }

std::string mn_StripAmpersands(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&') {
            if (i + 1 < text.size() && text[i + 1] == '&') out += '&', ++i;
            continue;
        }
        if (text[i] == '\t') break;
        out += text[i];
    }
    return out;
}

}  // namespace

struct Menu::Impl {
    Menu* self = nullptr;
    Menu* parent = nullptr;
    QMenu* qmenu = nullptr;  // owned
    struct Item {
        int id = 0;
        bool separator = false;
        std::unique_ptr<Menu> popup;
        QAction* action = nullptr;
        bool enabled = true;
        bool checked = false;
        std::string text;
    };
    std::vector<Item> items;
    std::function<void(Menu&)> aboutToShow;
    CommandTarget* updateTarget = nullptr;
    std::function<void(int)> handler;

    Menu* Root() {
        Menu* m = self;
        while (m->impl()->parent) m = m->impl()->parent;
        return m;
    }

    // The item with the id, at this level or below.
    Item* Find(int id) {
        for (Item& it : items) {
            if (it.popup) {
                if (Item* found = it.popup->impl()->Find(id)) return found;
            } else if (!it.separator && it.id == id) {
                return &it;
            }
        }
        return nullptr;
    }

    QAction* Before(int pos) const {
        if (pos < 0 || pos >= static_cast<int>(items.size())) return nullptr;
        return items[pos].action;
    }

    int Clamp(int pos) const {
        const int n = static_cast<int>(items.size());
        return (pos < 0 || pos > n) ? n : pos;
    }

    void ApplyCheck(Item& it) {
        it.action->setCheckable(it.checked);
        it.action->setChecked(it.checked);
    }

    void Triggered(QAction* action) {
        for (Item& it : items) {
            if (it.action != action) continue;
            // Qt flips a checkable action by itself; the program owns the state.
            ApplyCheck(it);
            const int id = it.id;
            Menu* root = Root();
            auto handler = root->impl()->handler;
            if (handler) handler(id);
            return;
        }
    }

    static void DropAction(QAction* action) {
        if (!action) return;
        // The action may be the one being triggered right now.
        if (QCoreApplication::instance())
            action->deleteLater();
        else
            delete action;
    }
};

Menu::Menu() : impl_(std::make_unique<Impl>()) {
    impl_->self = this;
    impl_->qmenu = new QMenu();
    Impl* d = impl_.get();
    QObject::connect(impl_->qmenu, &QMenu::aboutToShow, impl_->qmenu, [d] { d->self->PrepareToShow(); });
}

Menu::~Menu() {
    Clear();
    QMenu* m = impl_->qmenu;
    impl_->qmenu = nullptr;
    if (!m) return;
    m->disconnect();
    if (impl_->parent && impl_->parent->impl()->qmenu) impl_->parent->impl()->qmenu->removeAction(m->menuAction());
    if (QCoreApplication::instance())
        m->deleteLater();
    else
        delete m;
}

void Menu::AddItem(int id, const std::string& text) { InsertItem(ItemCount(), id, text); }
Menu& Menu::AddPopup(const std::string& text) { return InsertPopup(ItemCount(), text); }
void Menu::AddSeparator() { InsertSeparator(ItemCount()); }

void Menu::InsertItem(int pos, int id, const std::string& text) {
    pos = impl_->Clamp(pos);
    Impl::Item it;
    it.id = id;
    it.text = text;
    it.action = new QAction(mn_Text(text), impl_->qmenu);
    Impl* d = impl_.get();
    QAction* action = it.action;
    QObject::connect(action, &QAction::triggered, action, [d, action] { d->Triggered(action); });
    impl_->qmenu->insertAction(impl_->Before(pos), action);
    impl_->items.insert(impl_->items.begin() + pos, std::move(it));
}

Menu& Menu::InsertPopup(int pos, const std::string& text) {
    pos = impl_->Clamp(pos);
    Impl::Item it;
    it.text = text;
    it.popup = std::make_unique<Menu>();
    Menu* sub = it.popup.get();
    sub->impl()->parent = this;
    sub->impl()->qmenu->setTitle(mn_Text(text));
    it.action = sub->impl()->qmenu->menuAction();
    impl_->qmenu->insertAction(impl_->Before(pos), it.action);
    impl_->items.insert(impl_->items.begin() + pos, std::move(it));
    return *sub;
}

void Menu::InsertSeparator(int pos) {
    pos = impl_->Clamp(pos);
    Impl::Item it;
    it.separator = true;
    it.action = new QAction(impl_->qmenu);
    it.action->setSeparator(true);
    impl_->qmenu->insertAction(impl_->Before(pos), it.action);
    impl_->items.insert(impl_->items.begin() + pos, std::move(it));
}

bool Menu::RemoveAt(int pos) {
    if (pos < 0 || pos >= ItemCount()) return false;
    Impl::Item it = std::move(impl_->items[pos]);
    impl_->items.erase(impl_->items.begin() + pos);
    impl_->qmenu->removeAction(it.action);
    if (!it.popup) Impl::DropAction(it.action);
    return true;  // a pop-up goes with `it`
}

bool Menu::RemoveItem(int id) {
    for (int i = 0; i < ItemCount(); ++i) {
        Impl::Item& it = impl_->items[i];
        if (it.popup) {
            if (it.popup->RemoveItem(id)) return true;
        } else if (!it.separator && it.id == id) {
            return RemoveAt(i);
        }
    }
    return false;
}

void Menu::Clear() {
    while (ItemCount() > 0) RemoveAt(ItemCount() - 1);
}

int Menu::ItemCount() const { return static_cast<int>(impl_->items.size()); }

Menu::ItemInfo Menu::ItemAt(int pos) const {
    ItemInfo info;
    if (pos < 0 || pos >= ItemCount()) return info;
    const Impl::Item& it = impl_->items[pos];
    info.id = it.popup ? 0 : it.id;
    info.text = it.text;
    info.separator = it.separator;
    info.popup = it.popup != nullptr;
    info.enabled = it.action->isEnabled();
    info.checked = it.checked;
    return info;
}

Menu* Menu::PopupAt(int pos) {
    if (pos < 0 || pos >= ItemCount()) return nullptr;
    return impl_->items[pos].popup.get();
}

Menu* Menu::FindPopup(const std::string& text) {
    const std::string want = mn_StripAmpersands(text);
    for (Impl::Item& it : impl_->items)
        if (it.popup && mn_StripAmpersands(it.text) == want) return it.popup.get();
    return nullptr;
}

bool Menu::HasItem(int id) const { return impl_->Find(id) != nullptr; }

bool Menu::EnableItem(int id, bool on) {
    Impl::Item* it = impl_->Find(id);
    if (!it) return false;
    it->enabled = on;
    it->action->setEnabled(on);
    return true;
}

bool Menu::CheckItem(int id, bool on) {
    Impl::Item* it = impl_->Find(id);
    if (!it) return false;
    it->checked = on;
    impl_->ApplyCheck(*it);
    return true;
}

bool Menu::SetItemText(int id, const std::string& text) {
    Impl::Item* it = impl_->Find(id);
    if (!it) return false;
    it->text = text;
    it->action->setText(mn_Text(text));
    return true;
}

bool Menu::IsItemEnabled(int id) const {
    const Impl::Item* it = impl_->Find(id);
    return it && it->enabled;
}

bool Menu::IsItemChecked(int id) const {
    const Impl::Item* it = impl_->Find(id);
    return it && it->checked;
}

std::string Menu::ItemText(int id) const {
    const Impl::Item* it = impl_->Find(id);
    return it ? it->text : std::string();
}

bool Menu::EnableAt(int pos, bool on) {
    if (pos < 0 || pos >= ItemCount()) return false;
    Impl::Item& it = impl_->items[pos];
    it.enabled = on;
    it.action->setEnabled(on);
    return true;
}

bool Menu::SetTextAt(int pos, const std::string& text) {
    if (pos < 0 || pos >= ItemCount()) return false;
    Impl::Item& it = impl_->items[pos];
    if (it.separator) return false;
    it.text = text;
    if (it.popup)
        it.popup->impl()->qmenu->setTitle(mn_Text(text));
    else
        it.action->setText(mn_Text(text));
    return true;
}

void Menu::SetAboutToShow(std::function<void(Menu&)> callback) { impl_->aboutToShow = std::move(callback); }
void Menu::SetUpdateTarget(CommandTarget* target) { impl_->updateTarget = target; }
void Menu::SetCommandHandler(std::function<void(int id)> handler) { impl_->handler = std::move(handler); }

void Menu::PrepareToShow() {
    if (impl_->aboutToShow) {
        auto callback = impl_->aboutToShow;
        callback(*this);
    }
    CommandTarget* target = impl_->Root()->impl()->updateTarget;
    if (!target) return;
    for (size_t i = 0; i < impl_->items.size(); ++i) {
        const int id = impl_->items[i].id;
        if (impl_->items[i].popup || impl_->items[i].separator || id == 0) continue;
        CommandState state(id, true);
        state.Enable(impl_->items[i].enabled);
        state.Check(impl_->items[i].checked);
        // An update handler may rebuild the menu: look the item up again.
        if (!target->RouteUpdateCommand(state) || i >= impl_->items.size() || impl_->items[i].id != id) continue;
        Impl::Item& it = impl_->items[i];
        it.enabled = state.Enabled();
        it.action->setEnabled(it.enabled);
        it.checked = state.Checked();
        impl_->ApplyCheck(it);
        if (state.TextSet()) {
            it.text = state.Text();
            it.action->setText(mn_Text(it.text));
        }
    }
}

bool Menu::Choose(int id) {
    Impl::Item* it = impl_->Find(id);
    if (!it || !it->enabled) return false;
    auto handler = impl_->Root()->impl()->handler;
    if (handler) handler(id);
    return true;
}

int Menu::TrackPopup(Point screenPoint) {
    ModalScope modal;
    if (HasModalAnswerer()) {
        PopupMenuRequest request(*this, screenPoint);
        const int id = CallModalAnswerer(request);
        return id != 0 && HasItem(id) && IsItemEnabled(id) ? id : 0;
    }
    QAction* chosen = impl_->qmenu->exec(QPoint(screenPoint.x, screenPoint.y));
    if (!chosen) return 0;
    // The chosen action may sit in a nested pop-up.
    struct Finder {
        static int Run(Menu& m, QAction* a) {
            for (Impl::Item& it : m.impl()->items) {
                if (it.popup) {
                    if (int id = Run(*it.popup, a)) return id;
                } else if (it.action == a) {
                    return it.id;
                }
            }
            return 0;
        }
    };
    return Finder::Run(*this, chosen);
}

bool TranslateAccelerator(const AcceleratorTable& table, CommandTarget& target, int key, unsigned modifiers) {
    const int command = table.Find(key, modifiers);
    if (command == 0) return false;
    target.RouteCommand(command);
    return true;
}

QMenu* QMenuOf(const Menu& menu) { return menu.impl()->qmenu; }

QAction* MenuActionAt(const Menu& menu, int pos) {
    if (pos < 0 || pos >= menu.ItemCount()) return nullptr;
    return menu.impl()->items[pos].action;
}

}  // namespace platform
