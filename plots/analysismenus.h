// The menu bar in analysis mode: while a 2D analysis window is open the
// circuit's Component, Analysis and Design menus make room for the analysis
// menu of the kind (Run, Limits, Stepping ... Exit Analysis), the plot menu
// "&Scope" and the "&Monte Carlo" menu; closing the window puts the saved
// menus back. The commands' handlers belong to their owners.
#pragma once

#include <string>
#include <vector>

namespace platform {
class Menu;
}

// A pop-up menu copied item by item, to be put back later.
struct MenuSnapshot {
    struct Item {
        int id = 0;
        std::string text;
        bool separator = false;
        std::vector<Item> children;  // the items of a pop-up
        bool popup = false;
    };
    std::string text;  // the pop-up's own title
    std::vector<Item> items;
    bool taken = false;
};

// The menus an open analysis window replaced, in the order they are put
// back: "&Component", "&Analysis", "&Design".
struct SavedMainMenus {
    MenuSnapshot popups[3];
    bool installed = false;
};

// Fills the plot menu ("&Scope", menu 902), the analysis menu of a kind
// (menu 910) and the Monte Carlo menu (menu 901).
void BuildScopeMenu(platform::Menu& menu);
void BuildAnalysisKindMenu(platform::Menu& menu);
void BuildMonteCarloMenu(platform::Menu& menu);
// "&Transient", "&AC", "&DC", "&Distortion".
std::string AnalysisMenuTitle(int kind);

// Puts the analysis menus of the kind in the menu bar of `bar` (File, Edit,
// Component, Windows, Options, Analysis, Design, ...), keeping the three it
// replaces in `saved`. Nothing when the bar does not have that shape.
void InstallAnalysisMenus(platform::Menu& bar, int kind, SavedMainMenus& saved);
// Takes the analysis menus out again and puts the saved ones back.
void RestoreMainMenus(platform::Menu& bar, SavedMainMenus& saved);
