// Commands by integer id and the chain of objects that handle them.
//
// A menu item, tool-bar button or accelerator issues a command id. The id is
// offered to a chain of targets, each asked in turn until one handles it. The
// main frame starts the chain; by default it goes on to the active child's view,
// and a view names its document as the next target, so a frame-level command, a
// view command and a document command all work from one menu. Any target can
// override NextCommandTarget to change the order.
//
// The same chain answers "what state is this command in": before a menu opens
// (and on idle for tool bars) each item's CommandState is passed along until a
// target's OnUpdateCommand takes it; the state then enables, checks or
// retitles the item.
#pragma once

#include <string>

namespace platform {

class CommandState {
public:
    explicit CommandState(int id, bool fromMenu = false) : id_(id), fromMenu_(fromMenu) {}

    int Id() const { return id_; }
    // True when the state is asked for a menu item (false: a tool-bar button
    // or a query of code).
    bool FromMenu() const { return fromMenu_; }

    void Enable(bool on = true) { enabled_ = on; }
    void Check(bool on = true) { checked_ = on; }
    // Changes the item's text (menu items only; buttons ignore it).
    void SetText(const std::string& text) {
        text_ = text;
        textSet_ = true;
    }

    bool Enabled() const { return enabled_; }
    bool Checked() const { return checked_; }
    bool TextSet() const { return textSet_; }
    const std::string& Text() const { return text_; }

private:
    int id_;
    bool fromMenu_;
    bool enabled_ = true;
    bool checked_ = false;
    bool textSet_ = false;
    std::string text_;
};

class CommandTarget {
public:
    CommandTarget() = default;
    CommandTarget(const CommandTarget&) = delete;
    CommandTarget& operator=(const CommandTarget&) = delete;
    virtual ~CommandTarget() = default;

    // Handles a command; true when it was handled (the chain stops).
    virtual bool OnCommand(int /*id*/) { return false; }
    // Fills the state of a command this target handles; true when it did.
    virtual bool OnUpdateCommand(CommandState& /*state*/) { return false; }

    // The target asked after this one; by default the one set below.
    virtual CommandTarget* NextCommandTarget() { return next_; }
    void SetNextCommandTarget(CommandTarget* next) { next_ = next; }

    // Offers the id to this target and then along the chain; true when some
    // target handled it. A chain that loops back is cut after its first turn.
    bool RouteCommand(int id);
    // The same for the state of a command. When no target takes the state, it
    // stays as it came in (enabled, unchecked, text unchanged) and the result
    // is false.
    bool RouteUpdateCommand(CommandState& state);

private:
    CommandTarget* next_ = nullptr;
};

}  // namespace platform
