#include "shell/help.h"

#include <strings.h>

#include <cctype>

#include "core/paths.h"

namespace {

std::string hp_helpFile;

bool hp_IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

}  // namespace

void SetHelpFilePath() {
    char path[kPathSize];
    MakeProgramPath(path, "tw8.hlp");
    hp_helpFile = path;
}

const std::string& HelpFilePath() { return hp_helpFile; }

bool HelpTopicMap::ParseHelpStatement(const char* statement) {
    if (!statement) return false;
    const char* p = statement;
    while (hp_IsSpace(*p)) ++p;
    while (*p && !hp_IsSpace(*p)) ++p;  // ".HELP"
    while (hp_IsSpace(*p)) ++p;
    const char* keyStart = p;
    while (*p && !hp_IsSpace(*p)) ++p;
    const std::string keyword(keyStart, p);
    if (keyword.empty()) return false;
    while (hp_IsSpace(*p)) ++p;
    std::string text(p);
    while (!text.empty() && hp_IsSpace(text.back())) text.pop_back();
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
        text = text.substr(1, text.size() - 2);
    else
        text = "Warning Missing Quotes on .help command for '" + keyword + "'.";
    keywords_.push_back(keyword);
    texts_.push_back(text);
    return true;
}

std::string HelpTopicMap::LookupHelpText(const char* keyword) const {
    if (!keyword) return "";
    for (size_t i = 0; i < keywords_.size(); ++i)
        if (strcasecmp(keywords_[i].c_str(), keyword) == 0) return texts_[i];
    return "";
}

void HelpTopicMap::Clear() {
    keywords_.clear();
    texts_.clear();
}

std::string ExtractCallName(const char* line) {
    if (!line) return "";
    std::string text(line);
    for (char& c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (c == '\t') c = ' ';
    }
    text = text.substr(0, text.find(';'));
    for (const char* marker : {" TEXT:", " PARAMS:"}) {
        const size_t at = text.find(marker);
        if (at != std::string::npos) text.resize(at);
    }
    while (!text.empty() && hp_IsSpace(text.back())) text.pop_back();
    const size_t blank = text.rfind(' ');
    return blank == std::string::npos ? std::string() : text.substr(blank + 1);
}
