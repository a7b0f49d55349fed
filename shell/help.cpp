#include "shell/help.h"

#include <strings.h>

#include <cctype>

#include "core/paths.h"
#include "core/report_port.h"
#include "core/result.h"
#include "platform/app.h"

namespace {

std::string hp_helpFile;
HelpViewerPort* hp_viewer = nullptr;

class hp_DesktopViewer final : public HelpViewerPort {
public:
    int ShowKeyword(platform::Window*, const std::string& helpFile, const std::string&) override {
        platform::Application* app = platform::Application::Instance();
        if (app && app->OpenWithDesktop(helpFile)) return 0;
        Reporter().Report(FormattedMessage("No program on this computer shows the help file '%s'.").Args(helpFile));
        return kResultShown;
    }
};
hp_DesktopViewer hp_desktopViewer;

bool hp_IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

}  // namespace

void SetHelpFilePath() {
    char path[kPathSize];
    MakeProgramPath(path, "tw8.hlp");
    hp_helpFile = path;
}

const std::string& HelpFilePath() { return hp_helpFile; }

HelpViewerPort* InstallHelpViewer(HelpViewerPort* viewer) {
    HelpViewerPort* previous = hp_viewer;
    hp_viewer = viewer;
    return previous;
}

void InstallDesktopHelpViewer() { InstallHelpViewer(&hp_desktopViewer); }

int HelpByKeyword(platform::Window* window, const std::string& keyword) {
    if (hp_helpFile.empty()) SetHelpFilePath();
    if (CheckFileExists(hp_helpFile.c_str()) != 0) {
        Reporter().Report(FormattedMessage("The help file '%s' is not installed.").Args(hp_helpFile));
        return kResultShown;
    }
    if (!hp_viewer) {
        Reporter().Report(FormattedMessage("No help viewer is available to show '%s'.").Args(keyword));
        return kResultShown;
    }
    return hp_viewer->ShowKeyword(window, hp_helpFile, keyword);
}

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
