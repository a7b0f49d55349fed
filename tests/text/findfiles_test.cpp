// Find in Files over a folder tree of text files and circuits.
#include "text/findfiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/tempdir.h"

namespace {

namespace fs = std::filesystem;

class FindInFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        Put("a/one.ckt", "* first\r\nR1 1 0 NEEDLE\r\nR2 needle\r\n");
        Put("a/two.txt", "needle, but not a searched type\n");
        Put("a/b/c/deep.ckt", "x\nthe Needle\n");
        Put("a/b/c/d/deeper.txt", "needle too deep for one level\n");
        fs::copy_file(std::string(TW_SOURCE_DIR) + "/tests/data/circuit/every_section.cir", Root() + "/a/amp.cir");
    }
    void Put(const std::string& name, const std::string& bytes) {
        const fs::path p = fs::path(Root()) / name;
        fs::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << bytes;
    }
    std::string Root() const { return dir_.Path(); }
    twtest::TempDir dir_{"fif_test"};
};

TEST_F(FindInFilesTest, ListsEachFileOnceWithItsFirstMatch) {
    FindInFilesRequest r;
    r.text = "needle";
    r.folders = "\"" + Root() + "/a\"";
    r.types = "*.c*";
    r.subfolders = true;
    const FindInFilesResult result = FindInFiles(r);
    ASSERT_GE(result.entries.size(), 3u);
    EXPECT_EQ(result.found, 2);
    EXPECT_EQ(result.entries[0].path, Root() + "/a/one.ckt");
    EXPECT_EQ(result.entries[0].offset, 9);  // the start of the first matching line
    EXPECT_EQ(result.entries[1].path, Root() + "/a/b/c/deep.ckt");
    EXPECT_EQ(result.entries[1].offset, 2);
    EXPECT_EQ(result.entries.back().message, result.Summary());
    EXPECT_EQ(result.searched, 3);  // one.ckt, amp.cir (by its own kind), deep.ckt

    // A circuit's text page gives its page and the offset in the page's text.
    r.text = "* two";
    r.types = "*.cir";
    r.subfolders = false;
    const FindInFilesResult circuit = FindInFiles(r);
    ASSERT_EQ(circuit.found, 1);
    EXPECT_EQ(circuit.entries[0].page, 1);
    EXPECT_EQ(circuit.entries[0].offset, 13);
    r.text = "gain STAGE";  // a grid text on a schematic page
    EXPECT_EQ(FindInFiles(r).found, 1);
}

TEST_F(FindInFilesTest, MessagesForMissingInputOtherModesAndStop) {
    FindInFilesRequest r;
    r.folders = Root() + "/a";
    EXPECT_EQ(FindInFiles(r).entries.at(0).message, "Missing search string.");
    r.field = FindField::kDefinition;
    for (int bad : {-1, 147}) {
        r.definition = bad;
        EXPECT_EQ(FindInFiles(r).entries.at(0).message, "Missing definition.") << bad;
    }
    r.field = FindField::kShape;
    r.text = "Resistor";
    r.types = "*.ckt";
    const FindInFilesResult shapes = FindInFiles(r);
    ASSERT_GE(shapes.entries.size(), 1u);
    EXPECT_EQ(shapes.entries[0].message, "Search in " + Root() + "/a/one.ckt must be type TEXT.");
    r.field = FindField::kText;
    r.text = "needle";
    const FindInFilesResult stopped = FindInFiles(r, [] { return true; });
    EXPECT_TRUE(stopped.stopped);
    EXPECT_EQ(stopped.entries.at(0).message, "Find was stopped by user.");
}

TEST(FindInFilesListTest, ListsSplitOutsideQuotes) {
    EXPECT_EQ(SplitSearchList(" ;/a; \"/b;c\" ;;/d "), (std::vector<std::string>{"/a", "/b;c", "/d"}));
    EXPECT_TRUE(FilePatternMatches("AMP.CIR", "*.c*"));
    EXPECT_FALSE(FilePatternMatches("amp.lib", "*.c*"));
}

}  // namespace
