// Help > Statistics, circuit-specific help texts and the name a subcircuit
// call line calls.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/dialog.h"
#include "shell/help.h"
#include "shell/statsdlg.h"

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
