// Upkeep of the main menu's run-time entries: the recent files and Exit at the
// end of the File menu, and the numbered list of document windows at the end
// of the Windows menu. Each list is rebuilt every time its pop-up opens.
#pragma once

namespace platform {
class Menu;
}
class CDoc;

constexpr int kCmdRecentSeparator = 18599;
constexpr int kCmdWindowFirst = 65280;  // "&1 <path>" .. "&9 <path>"
constexpr int kCmdWindowLast = 65288;
constexpr int kCmdMoreWindows = 65289;

// Replaces the recent-file entries and Exit at the end of the File pop-up with
// the Last Loaded Files list as it is now: "&n path" with id 18600 + the
// entry's index (empty entries neither shown nor counted), a separator when
// any was added, then Exit.
void UpdateRecentFilesMenu(platform::Menu& file);

// Replaces the window list at the end of the Windows pop-up: a separator and
// one entry per visible document window from the top of the z-order, at most
// nine, then "More Windows..." when there are more.
void UpdateWindowsMenu(platform::Menu& windows);

// The document whose window an entry of the window list names (the entry's
// text after "&n "); null when none is open any more.
CDoc* DocumentOfWindowEntry(const platform::Menu& windows, int commandId);

// Removes the item at `position` when the pop-up has more items than that,
// then every item but the first whose id lies in [firstId, firstId + count).
void RemoveItemsInRange(platform::Menu& popup, int position, int firstId, int count);
