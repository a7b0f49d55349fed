// Find in Files: searches the circuits, text files and model libraries of a
// set of folders for a text, a shape, a component type, a component or an
// attribute value, and lists each file that holds a match with where the
// first match is.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// The search fields (the dialog's radio button ids).
enum class FindField : int {
    kText = 1802,
    kShape = 1803,
    kDefinition = 1804,
    kComponent = 1805,
    kAttribute = 1806,
};

struct FindInFilesRequest {
    FindField field = FindField::kText;
    std::string text;
    int definition = -1;  // component type index 0-146 in Definition mode
    std::string folders;  // ';'-separated, entries may be quoted
    std::string types = "*.cir;*.ckt;*.lib";
    bool subfolders = false;
};

// One line of the result list: a file with its first match, or a message line
// (path empty).
struct FindInFilesEntry {
    std::string path;
    std::string message;
    int page = -1;        // circuits: the page of the match
    int64_t offset = -1;  // text files and text pages: the offset of the match (full width)
    int model = -1;       // model libraries: the index of the model
};

struct FindInFilesResult {
    std::vector<FindInFilesEntry> entries;
    int searched = 0;
    int found = 0;
    bool stopped = false;
    // "Total files found=%d Total files searched=%d"
    std::string Summary() const;
};

// Splits a ';' list: quotes keep a ';', are removed, and entries are trimmed.
std::vector<std::string> SplitSearchList(std::string_view list);
// Whether a file name matches a pattern such as "*.c*" (without case).
bool FilePatternMatches(std::string_view name, std::string_view pattern);

// Runs a search; `stop` is asked after every file (true ends the search with
// "Find was stopped by user."); `searching` hears each file's path before it
// is examined.
FindInFilesResult FindInFiles(const FindInFilesRequest& request, const std::function<bool()>& stop = {},
                              const std::function<void(const std::string&)>& searching = {});

// The first match of a text in a text file without regard to case: the offset
// at which its line starts, -1 when none (or the file cannot be read).
int64_t FindTextInFile(const std::string& path, std::string_view text);
