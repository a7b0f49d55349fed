#include "plots/analysismenus.h"

#include <initializer_list>
#include <string>
#include <utility>

#include "platform/menu.h"

namespace {

// Positions of the main menu bar the analysis menus replace and take.
constexpr int kComponentPosition = 2;
constexpr int kAnalysisKindPosition = 4;
constexpr int kAnalysisPosition = 5;
constexpr int kDesignPosition = 6;

const char* const kReplacedTitles[3] = {"&Component", "&Analysis", "&Design"};

struct am_Entry {
    int id;  // 0: a separator
    const char* text;
};

void am_Add(platform::Menu& menu, std::initializer_list<am_Entry> entries) {
    for (const am_Entry& e : entries) {
        if (e.id)
            menu.AddItem(e.id, e.text);
        else
            menu.AddSeparator();
    }
}

std::vector<MenuSnapshot::Item> am_Copy(platform::Menu& menu) {
    std::vector<MenuSnapshot::Item> items;
    for (int pos = 0; pos < menu.ItemCount(); ++pos) {
        const platform::Menu::ItemInfo info = menu.ItemAt(pos);
        MenuSnapshot::Item item;
        item.id = info.id;
        item.text = info.text;
        item.separator = info.separator;
        item.popup = info.popup;
        if (info.popup)
            if (platform::Menu* popup = menu.PopupAt(pos)) item.children = am_Copy(*popup);
        items.push_back(std::move(item));
    }
    return items;
}

void am_Fill(platform::Menu& menu, const std::vector<MenuSnapshot::Item>& items) {
    for (const MenuSnapshot::Item& item : items) {
        if (item.separator)
            menu.AddSeparator();
        else if (item.popup)
            am_Fill(menu.AddPopup(item.text), item.children);
        else
            menu.AddItem(item.id, item.text);
    }
}

std::string am_Plain(std::string text) {
    std::erase(text, '&');
    return text;
}

// Whether the pop-up at the position carries the title ("&" aside).
bool am_TitleAt(platform::Menu& bar, int pos, const char* title) {
    const platform::Menu::ItemInfo info = bar.ItemAt(pos);
    return info.popup && am_Plain(info.text) == am_Plain(title);
}

}  // namespace

std::string AnalysisMenuTitle(int kind) {
    static const char* const titles[4] = {"&Transient", "&AC", "&DC", "&Distortion"};
    return kind >= 0 && kind < 4 ? titles[kind] : "&Analysis";
}

void BuildAnalysisKindMenu(platform::Menu& menu) {
    am_Add(menu, {{16068, "&Run\tF2"},
                  {16071, "&Limits...\tF9"},
                  {18100, "&Stepping...\tF11"},
                  {18899, "&Optimize...\tCtrl+F11"},
                  {17151, "Analysis &Window\tF4"},
                  {17176, "&Watch\tCtrl+W"},
                  {17179, "&Breakpoints...\tAlt+F9"}});
    am_Add(menu.AddPopup("&3D Windows"), {{14600, "&Add 3D Window..."}, {14602, "&Delete 3D Window..."}});
    am_Add(menu.AddPopup("&Performance Windows"),
           {{14570, "&Add Performance Window..."}, {14572, "&Delete Performance Window..."}});
    am_Add(menu.AddPopup("&FFT Windows"), {{14650, "&Add FFT Window..."}, {14651, "&Delete FFT Window..."}});
    am_Add(menu, {{17150, "&Numeric Output\tF5"},
                  {5400, "State &Variables Editor...\tF12"},
                  {18700, "Reduce &Data Points..."},
                  {0, nullptr},
                  {17153, "E&xit Analysis\tF3"}});
}

void BuildScopeMenu(platform::Menu& menu) {
    am_Add(menu,
           {{17167, "&Delete All Objects"}, {17168, "&Auto Scale\tF6"}, {17632, "&Restore Limit Scales\tCtrl+Home"}});
    am_Add(menu.AddPopup("&View"), {{18400, "&Data Points"},
                                    {18401, "&Ruler"},
                                    {18402, "&Tokens"},
                                    {18403, "&Horizontal Axis Grids"},
                                    {18404, "&Vertical Axis Grids"},
                                    {18405, "&Minor Log Grids"},
                                    {18408, "Minor Log Grids &2 5"},
                                    {18409, "&Label All Minor Grids"},
                                    {18406, "&Baseline"},
                                    {18407, "&Plus Mark"},
                                    {18047, "Horizontal &Cursor"}});
    am_Add(menu.AddPopup("&Trackers"),
           {{16500, "&Cursor\tCtrl+Shift+C"}, {16501, "&Intercept\tCtrl+I"}, {16502, "&Mouse\tCtrl+M"}});
    am_Add(menu.AddPopup("&Cursor Functions"), {{18670, "&Next Simulation Data Point"},
                                                {18671, "Next &Interpolated Data Point"},
                                                {18672, "&Peak"},
                                                {18673, "&Valley"},
                                                {18674, "&High"},
                                                {18675, "&Low"},
                                                {18676, "In&flection"},
                                                {18677, "&Global High"},
                                                {18678, "Global Lo&w"},
                                                {18686, "&Top\tAlt+Home"},
                                                {18685, "&Bottom\tAlt+End"}});
    am_Add(menu, {{40021, "&Label Data Points"},
                  {18687, "Label &Branches"},
                  {0, nullptr},
                  {17268, "&Normalize at Cursor\tCtrl+N"},
                  {17269, "Normalize at &Minimum"},
                  {17270, "Normalize at Ma&ximum"},
                  {0, nullptr},
                  {17182, "Go to &X...\tShift+Ctrl+X"},
                  {17183, "Go to &Y...\tShift+Ctrl+Y"},
                  {17190, "Go to &Performance..."},
                  {17194, "Go to Branc&h..."},
                  {0, nullptr},
                  {17184, "Tag &Left Cursor\tCtrl+L"},
                  {17185, "Tag &Right Cursor\tCtrl+R"},
                  {17186, "Tag H&orizontal\tShift+Ctrl+H"},
                  {17187, "Tag V&ertical\tShift+Ctrl+V"},
                  {0, nullptr},
                  {24101, "Thumb N&ail Plot"},
                  {17188, "Align C&ursors"},
                  {17193, "&Keep Cursors on Same Branch"},
                  {20218, "&Same Y Scales for Each Plot Group"},
                  {24300, "Enable X &Scaling"},
                  {24301, "Enable Y S&caling"},
                  {24302, "Keep X Scales the Sam&e"}});
}

void BuildMonteCarloMenu(platform::Menu& menu) {
    am_Add(menu, {{17155, "&Options..."}, {17166, "&Statistics"}});
    am_Add(menu.AddPopup("&Histograms"), {{17154, "&Add Histogram..."}, {17181, "&Delete Histograms..."}});
}

void InstallAnalysisMenus(platform::Menu& bar, int kind, SavedMainMenus& saved) {
    if (saved.installed) return;
    if (!am_TitleAt(bar, kComponentPosition, kReplacedTitles[0]) ||
        !am_TitleAt(bar, kAnalysisPosition, kReplacedTitles[1]) ||
        !am_TitleAt(bar, kDesignPosition, kReplacedTitles[2]))
        return;
    const int positions[3] = {kComponentPosition, kAnalysisPosition, kDesignPosition};
    for (int i = 0; i < 3; ++i) {
        MenuSnapshot& snapshot = saved.popups[i];
        snapshot.text = kReplacedTitles[i];
        snapshot.items.clear();
        if (platform::Menu* popup = bar.PopupAt(positions[i])) snapshot.items = am_Copy(*popup);
        snapshot.taken = true;
    }
    // From the right, so the positions still hold.
    bar.RemoveAt(kDesignPosition);
    bar.RemoveAt(kAnalysisPosition);
    bar.RemoveAt(kComponentPosition);
    BuildAnalysisKindMenu(bar.InsertPopup(kAnalysisKindPosition, AnalysisMenuTitle(kind)));
    BuildScopeMenu(bar.InsertPopup(kAnalysisKindPosition + 1, "&Scope"));
    BuildMonteCarloMenu(bar.InsertPopup(kAnalysisKindPosition + 2, "&Monte Carlo"));
    saved.installed = true;
}

void RestoreMainMenus(platform::Menu& bar, SavedMainMenus& saved) {
    if (!saved.installed) return;
    saved.installed = false;
    bar.RemoveAt(kAnalysisKindPosition + 2);
    bar.RemoveAt(kAnalysisKindPosition + 1);
    bar.RemoveAt(kAnalysisKindPosition);
    const int positions[3] = {kComponentPosition, kAnalysisPosition, kDesignPosition};
    for (int i = 0; i < 3; ++i) {
        MenuSnapshot& snapshot = saved.popups[i];
        if (!snapshot.taken) continue;
        am_Fill(bar.InsertPopup(positions[i], snapshot.text), snapshot.items);
        snapshot = MenuSnapshot();
    }
}
