#include "shell/menus.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "core/messages.h"
#include "core/recentlist.h"
#include "platform/frame.h"
#include "platform/menu.h"
#include "shell/document.h"
#include "shell/mainframe.h"

namespace {

constexpr size_t kExitTextSize = 81;

std::string mu_Numbered(int number, const char* text) {
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "&%d ", number);
    return prefix + std::string(text);
}

}  // namespace

void UpdateRecentFilesMenu(platform::Menu& file) {
    // The list, its separator and Exit always end the pop-up: everything from
    // the first recent entry on is the previous list's.
    int first = -1;
    for (int pos = 0; pos < file.ItemCount() && first < 0; ++pos) {
        const platform::Menu::ItemInfo item = file.ItemAt(pos);
        if (!item.popup && item.id >= kCmdRecentFileFirst && item.id <= kCmdRecentFileLast) first = pos;
    }
    if (first >= 0)
        while (file.ItemCount() > first) file.RemoveAt(file.ItemCount() - 1);
    file.RemoveItem(kCmdExit);
    const RecentList& recent = RecentFiles();
    int number = 0;
    for (int j = 0; j < recent.Count() && j <= kCmdRecentFileLast - kCmdRecentFileFirst; ++j) {
        const char* text = recent.Text(j);
        if (!text || !*text) continue;
        file.AddItem(kCmdRecentFileFirst + j, mu_Numbered(++number, text));
    }
    if (number) file.AddSeparator();
    const char* exitText = GetMessageText(17340);
    std::string exit = exitText ? exitText : "E&xit\tAlt+F4";
    if (exit.size() >= kExitTextSize) exit.resize(kExitTextSize - 1);
    file.AddItem(kCmdExit, exit);
}

void RemoveItemsInRange(platform::Menu& popup, int position, int firstId, int count) {
    if (popup.ItemCount() > position) popup.RemoveAt(position);
    for (int pos = popup.ItemCount() - 1; pos >= 1; --pos) {
        const int id = popup.ItemAt(pos).id;
        if (id >= firstId && id < firstId + count) popup.RemoveAt(pos);
    }
}

void UpdateWindowsMenu(platform::Menu& windows) {
    int firstRemoved = -1;
    for (int pos = windows.ItemCount() - 1; pos >= 0; --pos) {
        const platform::Menu::ItemInfo item = windows.ItemAt(pos);
        if (item.popup) continue;
        if (item.id >= kCmdWindowFirst && item.id <= kCmdMoreWindows + 1) {
            windows.RemoveAt(pos);
            firstRemoved = pos;
        }
    }
    if (firstRemoved > 0 && windows.ItemAt(firstRemoved - 1).separator) windows.RemoveAt(firstRemoved - 1);

    platform::MainFrame* host = GetDocumentHost();
    if (!host || host->Children().empty()) return;
    windows.AddSeparator();
    int added = 0;
    for (platform::MdiChild* child : host->Children()) {
        if (!child->IsVisible()) continue;
        CMDIFrame* frame = FindViewOfFrameWindow(child);
        if (!frame || !frame->view || !frame->GetDocument()) continue;
        if (added == kCmdWindowLast - kCmdWindowFirst + 1) {
            windows.AddItem(kCmdMoreWindows, "More Windows...");
            return;
        }
        ++added;
        windows.AddItem(kCmdWindowFirst + added - 1, mu_Numbered(added, frame->GetDocument()->PathName()));
    }
}

CDoc* DocumentOfWindowEntry(const platform::Menu& windows, int commandId) {
    const std::string text = windows.ItemText(commandId);
    if (text.size() < 3) return nullptr;
    const std::string path = text.substr(3);
    for (CDoc* doc = FirstDocument(); doc; doc = doc->NextDocument())
        if (doc->MainView() && path == doc->PathName()) return doc;
    return nullptr;
}
