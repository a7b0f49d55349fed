// Routing of commands and command states along the chain of targets.
#include "platform/command.h"

#include <algorithm>
#include <vector>

namespace platform {

namespace {

// Longest chain followed; a longer one can only be a loop.
constexpr int cmd_kMaxChain = 64;

template <typename Fn>
bool cmd_Walk(CommandTarget* first, Fn&& offer) {
    std::vector<CommandTarget*> seen;
    for (CommandTarget* t = first; t && static_cast<int>(seen.size()) < cmd_kMaxChain; t = t->NextCommandTarget()) {
        if (std::find(seen.begin(), seen.end(), t) != seen.end()) break;
        seen.push_back(t);
        if (offer(*t)) return true;
    }
    return false;
}

}  // namespace

bool CommandTarget::RouteCommand(int id) {
    return cmd_Walk(this, [id](CommandTarget& t) { return t.OnCommand(id); });
}

bool CommandTarget::RouteUpdateCommand(CommandState& state) {
    return cmd_Walk(this, [&state](CommandTarget& t) { return t.OnUpdateCommand(state); });
}

}  // namespace platform
