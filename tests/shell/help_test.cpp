// Help > Statistics, circuit-specific help texts, help by keyword and the
// name a subcircuit call line calls.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/result.h"
#include "platform/dialog.h"
#include "shell/help.h"
#include "shell/statsdlg.h"
#include "tests/support/test_reporter.h"

namespace {

TEST(Help, HelpStatementsAndTheirLookup) {
    HelpTopicMap map;
    EXPECT_TRUE(map.ParseHelpStatement(".HELP Gain \"The amplifier's gain\"  "));
    EXPECT_TRUE(map.ParseHelpStatement(".help\tOffset input offset"));
    EXPECT_FALSE(map.ParseHelpStatement(".HELP   "));
    EXPECT_EQ(map.Count(), 2);
    EXPECT_EQ(map.LookupHelpText("GAIN"), "The amplifier's gain");
    EXPECT_EQ(map.LookupHelpText("offset"), "Warning Missing Quotes on .help command for 'Offset'.");
    EXPECT_EQ(map.LookupHelpText("none"), "");
}

TEST(Help, CallNameIsTheLastWordBeforeCommentsAndParameters) {
    const struct {
        const char* line;
        const char* name;
    } cases[] = {
        {"X1 in out vcc ua741", "UA741"},
        {"x2 a b\tfilter PARAMS: R=1k ; the filter", "FILTER"},
        {"X3 1 2 amp TEXT: gain=2", "AMP"},
        {"X4 1 2 sub ; comment with words", "SUB"},
        {"X5   ", ""},
        {"lonely", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(ExtractCallName(c.line), c.name) << c.line;
}

TEST(Statistics, ListShowsTheProgramLinesAndWhatTheCircuitLayerAdds) {
    struct Lines : StatisticsPort {
        void AppendCircuitStatistics(std::vector<std::string>& lines) override { lines.push_back("Components = 3"); }
    };
    std::vector<std::string> shown;
    platform::ScopedModalAnswerer answerer([&](platform::ModalRequest& request) {
        auto& dialog = dynamic_cast<CStatisticsDlg&>(request);
        for (int i = 0; i < dialog.Count(kStatisticsList); ++i) shown.push_back(dialog.GetItemText(kStatisticsList, i));
        dialog.PressButton(kStatisticsClose);
        return 0;
    });
    OnStatistics(nullptr);
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0], "Version = 8.0.1.0");
    EXPECT_EQ(shown[1], "Executable date = May 11 2004");
    EXPECT_EQ(shown[2].rfind("RAM memory installed = ", 0), 0u);
    EXPECT_NE(shown[2].find(" MEG"), std::string::npos);

    Lines lines;
    InstallStatistics(&lines);
    shown.clear();
    OnStatistics(nullptr);
    EXPECT_EQ(shown.back(), "Components = 3");
    InstallStatistics(nullptr);
}

}  // namespace

namespace {

// Help by keyword goes to the installed viewer; a missing help file or viewer
// is said, never waited for.
TEST(Help, KeywordHelpNeedsTheFileAndAViewer) {
    struct Viewer : HelpViewerPort {
        int ShowKeyword(platform::Window*, const std::string& file, const std::string& keyword) override {
            shown.push_back(file + "|" + keyword);
            return 0;
        }
        std::vector<std::string> shown;
    };
    std::vector<std::string> said;
    ScopedTestReporter reporter([&](const MessageRequest& r) {
        said.push_back(r.format() ? r.format() : "");
        return 0;
    });
    SetHelpFilePath();
    const std::string file = HelpFilePath();
    std::remove(file.c_str());
    Viewer viewer;
    HelpViewerPort* previous = InstallHelpViewer(&viewer);
    EXPECT_EQ(HelpByKeyword(nullptr, "Transient"), kResultShown);
    ASSERT_EQ(said.size(), 1u);
    EXPECT_NE(said[0].find("help file"), std::string::npos);

    std::FILE* f = std::fopen(file.c_str(), "wb");
    ASSERT_NE(f, nullptr) << file;
    std::fclose(f);
    EXPECT_EQ(HelpByKeyword(nullptr, "Transient"), 0);
    EXPECT_EQ(viewer.shown, std::vector<std::string>{file + "|Transient"});
    InstallHelpViewer(nullptr);
    EXPECT_EQ(HelpByKeyword(nullptr, "AC"), kResultShown);
    EXPECT_EQ(said.size(), 2u);
    EXPECT_EQ(viewer.shown.size(), 1u);
    std::remove(file.c_str());
    InstallHelpViewer(previous);
}

}  // namespace
