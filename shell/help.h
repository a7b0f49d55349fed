// The help file, circuit-specific help texts from ".HELP" statements, and
// the name a subcircuit call line calls.
#pragma once

#include <string>
#include <vector>

namespace platform {
class Window;
}

// The program's help file: "tw8.hlp" in the program directory.
void SetHelpFilePath();
const std::string& HelpFilePath();

// What shows the help file at a keyword's topics; the program installs one at
// start-up. ShowKeyword: 0, or a result code already reported.
class HelpViewerPort {
public:
    virtual ~HelpViewerPort() = default;
    virtual int ShowKeyword(platform::Window* window, const std::string& helpFile, const std::string& keyword) = 0;
};
// Returns the viewer installed before; null leaves none.
HelpViewerPort* InstallHelpViewer(HelpViewerPort* viewer);
// The desktop's viewer of the help file's kind (the keyword cannot be passed on).
void InstallDesktopHelpViewer();

// Opens the help file at a keyword. A missing help file or no viewer is
// reported (never waited for): 15055 then, else what the viewer answers.
int HelpByKeyword(platform::Window* window, const std::string& keyword);

// Keywords and their texts from ".HELP" statements; keywords compare
// without case.
class HelpTopicMap {
public:
    // ".HELP <keyword> "<text>"": the text loses its quotes; a text without
    // them becomes a warning that says so. False for a statement without a
    // keyword (nothing is added).
    bool ParseHelpStatement(const char* statement);
    // The text of the first entry with the keyword, "" when none.
    std::string LookupHelpText(const char* keyword) const;
    int Count() const { return static_cast<int>(keywords_.size()); }
    void Clear();

private:
    std::vector<std::string> keywords_;
    std::vector<std::string> texts_;
};

// The last word of a subcircuit call line, in capitals: the line is
// capitalised, tabs become blanks, it is cut at ";", " TEXT:" and " PARAMS:",
// trailing blanks go, and the word after the last blank is the result ("" for
// a line without a blank).
std::string ExtractCallName(const char* line);
