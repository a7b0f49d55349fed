// Find and replace in text windows, and the selection of a whole SPICE
// statement around a line. One search text, one replace text and one
// whole-word switch serve every text window for the life of the program.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/recentlist.h"

class CTxtEditWnd;

constexpr size_t kSearchTextMax = 255;
// FindReplace results.
constexpr int kFindFound = 6;
constexpr int kFindNotFound = 2;

struct TextSearchSettings {
    std::string search;
    std::string replace;
    bool wholeWord = false;
    RecentList searchList;   // "SEARCHTEXT_", 10 entries
    RecentList replaceList;  // "REPLACETEXT_", 10 entries

    TextSearchSettings();
    // Takes a search text (cut to 255 bytes) and puts it at the top of its list.
    void SetSearch(std::string_view text);
    void SetReplace(std::string_view text);
};
TextSearchSettings& TextSearch();
// Serves the two search-list sections of the settings file.
void RegisterTextSearchSettings();

// The first match of `s` at or after `from`, without regard to case; with
// `wholeWord` a match touching a letter, digit or '_' on either side is
// passed over. -1 when none.
int64_t FindMatch(std::string_view text, std::string_view s, int64_t from, bool wholeWord);

// One Find Next (replace null) or Replace step in the editor: kFindFound with
// the match selected (and, for a replace of the selected match, replaced and
// the next one selected), kFindNotFound when there is none (a beep when
// `report`).
int FindReplace(CTxtEditWnd& editor, std::string_view s, const std::string* replace, bool report, bool wholeWord);

// Replaces every match as one undo step; the number replaced. `status`
// receives "%d occurrences changed.".
int ReplaceAll(CTxtEditWnd& editor, std::string_view s, std::string_view r, bool wholeWord, std::string* status);

// Selects the statement that holds the line: from its first line through its
// last continuation line.
void SelectSpiceStatement(CTxtEditWnd& editor, int64_t line);
