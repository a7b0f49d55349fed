// Menus built in code, and accelerator tables.
//
// A Menu is a list of items: commands (id and text), pop-ups (a nested Menu
// with a text) and separators. Texts mark their access letter with "&" and may
// carry a key hint after a tab ("&Open...\tCtrl+O"). Items are found by command
// id anywhere below a menu, so code can enable, check or retitle an item
// without knowing where it sits. A pop-up may be rebuilt each time it opens
// (SetAboutToShow); after that its items' states are asked of the command
// chain (SetUpdateTarget) before the user sees them.
#pragma once

#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "platform/keys.h"
#include "platform/types.h"

namespace platform {

class CommandTarget;
class Window;

class Menu {
public:
    Menu();
    ~Menu();
    Menu(const Menu&) = delete;
    Menu& operator=(const Menu&) = delete;

    // Items are added at the end, or inserted before position `pos` (a
    // position past the end appends).
    void AddItem(int id, const std::string& text);
    Menu& AddPopup(const std::string& text);
    void AddSeparator();
    void InsertItem(int pos, int id, const std::string& text);
    Menu& InsertPopup(int pos, const std::string& text);
    void InsertSeparator(int pos);
    // Removes the item at a position (a pop-up with its items); false when
    // there is none.
    bool RemoveAt(int pos);
    // Removes the first item with the command id, searched through pop-ups.
    bool RemoveItem(int id);
    // Removes every item.
    void Clear();

    int ItemCount() const;
    struct ItemInfo {
        int id = 0;  // 0 for pop-ups and separators
        std::string text;
        bool separator = false;
        bool popup = false;
        bool enabled = true;
        bool checked = false;
    };
    // Item at a position; an empty ItemInfo (id 0, no text) when out of range.
    ItemInfo ItemAt(int pos) const;
    // The pop-up at a position, or null.
    Menu* PopupAt(int pos);
    // The pop-up whose text (without "&") equals the given one, searched at
    // this level only; null when none.
    Menu* FindPopup(const std::string& text);

    // By command id, searching pop-ups too; false when no item has the id.
    bool HasItem(int id) const;
    bool EnableItem(int id, bool on);
    bool CheckItem(int id, bool on);
    bool SetItemText(int id, const std::string& text);
    bool IsItemEnabled(int id) const;
    bool IsItemChecked(int id) const;
    std::string ItemText(int id) const;
    // By position at this level (for pop-ups, which have no id).
    bool EnableAt(int pos, bool on);
    bool SetTextAt(int pos, const std::string& text);

    // Called with this menu each time it is about to open (before the item
    // states are updated), to rebuild its items.
    void SetAboutToShow(std::function<void(Menu&)> callback);
    // Where the states of items are asked before the menu opens; set on the
    // top menu, pop-ups use their parent's. Null: states stay as set.
    void SetUpdateTarget(CommandTarget* target);
    // Where chosen items send their command id (top menu; pop-ups use their
    // parent's). Without it a choice does nothing.
    void SetCommandHandler(std::function<void(int id)> handler);

    // Does what happens when the menu opens: the about-to-show callback, then
    // the state of each command item of this level from the update target.
    void PrepareToShow();
    // Issues an item's command as if it were chosen; false when the menu has
    // no enabled item with the id.
    bool Choose(int id);

    // Shows the menu as a context menu at a screen point and returns the
    // chosen command id (0 when none); the command is not issued. With a
    // modal answerer set (tests, batch runs) the answerer chooses instead
    // (a PopupMenuRequest) and nothing waits for a user.
    int TrackPopup(Point screenPoint);

    struct Impl;
    Impl* impl() const { return impl_.get(); }

private:
    std::unique_ptr<Impl> impl_;
};

// One accelerator: a key with modifiers gives a command.
struct Accelerator {
    int key = 0;             // key:: code
    unsigned modifiers = 0;  // KeyModifier bits
    int command = 0;
};

class AcceleratorTable {
public:
    AcceleratorTable() = default;
    AcceleratorTable(std::initializer_list<Accelerator> entries) : entries_(entries) {}

    void Add(int key, unsigned modifiers, int command) { entries_.push_back({key, modifiers, command}); }
    // The command of the first entry with exactly these key and modifiers; 0
    // when none.
    int Find(int key, unsigned modifiers) const {
        for (const Accelerator& a : entries_)
            if (a.key == key && a.modifiers == modifiers) return a.command;
        return 0;
    }
    const std::vector<Accelerator>& Entries() const { return entries_; }
    int Size() const { return static_cast<int>(entries_.size()); }

private:
    std::vector<Accelerator> entries_;
};

// Finds the key in the table and routes its command from `target`; true when
// the table had the key (the command was issued, handled or not).
bool TranslateAccelerator(const AcceleratorTable& table, CommandTarget& target, int key, unsigned modifiers);

}  // namespace platform
