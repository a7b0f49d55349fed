// Text documents: the ";$" trailer on loading and saving.
#include "text/textdoc.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "core/dialect.h"
#include "core/textfile.h"
#include "shell/colortable.h"
#include "tests/support/tempdir.h"
#include "tests/support/test_reporter.h"
#include "text/editwnd.h"
#include "text/trailer.h"

namespace {

class TextDocTest : public ::testing::Test {
protected:
    std::string Write(const std::string& name, const std::string& bytes) {
        const std::string path = dir_.Path() + "/" + name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    static std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream out;
        out << in.rdbuf();
        return out.str();
    }
    std::unique_ptr<CTxtDoc> Load(const std::string& path) {
        std::unique_ptr<CTxtDoc> doc;
        EXPECT_EQ(LoadTextDocument(path.c_str(), &doc), 0);
        return doc;
    }
    static std::string Shown(CTxtDoc& doc) { return std::string(doc.Editor()->Buffer().Text()); }
    twtest::TempDir dir_{"txd_test"};
};

TEST_F(TextDocTest, DialectTrailerIsHiddenAndSavedBackByteIdentical) {
    const std::string bytes = "* amp\r\nR1 1 0 1k\r\n.END\r\n;$SpiceType=PSPICE\r\n";
    const std::string path = Write("amp.ckt", bytes);
    auto doc = Load(path);
    ASSERT_TRUE(doc);
    EXPECT_EQ(Shown(*doc), "* amp\r\nR1 1 0 1k\r\n.END\r\n");
    EXPECT_EQ(doc->dialect, kSpiceDialectPSpice);
    EXPECT_EQ(doc->keepDisplaySettings, 0);
    ASSERT_EQ(doc->SaveToFile(path.c_str()), 0);
    EXPECT_EQ(Read(path), bytes);
}

TEST_F(TextDocTest, TrailerLinesAreFoundFromTheEndOnly) {
    struct Case {
        const char* bytes;
        const char* shown;
        int dialect;
    } cases[] = {
        // another trailer line and blank line ends after the dialect line
        {"R1 1 0 1\r\n;$SpiceType=SPICE3\r\n;$size=-12\r\n\r\n", "R1 1 0 1\r\n", kSpiceDialect3},
        // a ";$" line mid-text stays text, and so does everything above a foreign key
        {";$SpiceType=PSPICE\r\nR1 1 0 1\r\n", ";$SpiceType=PSPICE\r\nR1 1 0 1\r\n", kSpiceDialectNone},
        {";$SpiceType=PSPICE\r\n;$other=1\r\n", ";$SpiceType=PSPICE\r\n;$other=1\r\n", kSpiceDialectNone},
        // a trailer that is the whole file
        {";$SpiceType=SPICE2G\r\n", "", kSpiceDialect2G},
        // a text without a final line end keeps it so
        {"x\r\n;$SpiceType=PSPICE", "x\r\n", kSpiceDialectPSpice},
    };
    for (const Case& c : cases) {
        auto doc = Load(Write("case.txt", c.bytes));
        ASSERT_TRUE(doc);
        EXPECT_EQ(Shown(*doc), c.shown) << c.bytes;
        EXPECT_EQ(doc->dialect, c.dialect) << c.bytes;
    }
}

TEST_F(TextDocTest, DisplayLinesSetColoursAndAreWrittenAgain) {
    const std::string path = Write("red.txt", "line\r\n;$text=#ff\r\n");
    auto doc = Load(path);
    ASSERT_TRUE(doc);
    EXPECT_EQ(Shown(*doc), "line\r\n");
    EXPECT_EQ(doc->keepDisplaySettings, 1);
    const ColorTableRow* row = GetColorRow(doc->textPageFont.color);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->color & 0xFFFFFFu, 0x0000FFu);  // red is the lowest byte
    // A text edited to lose its final line end gets one before the trailer.
    doc->Editor()->Buffer().SetText("edited");
    ASSERT_EQ(doc->SaveToFile(path.c_str()), 0);
    const std::string saved = Read(path);
    EXPECT_EQ(saved.rfind("edited\r\n;$text=#ff\r\n;$comment_text=#", 0), 0u) << saved;
    for (const char* key : {";$bgcolor=#", ";$face=", ";$size=", ";$style="})
        EXPECT_NE(saved.find(key), std::string::npos) << key;
}

TEST_F(TextDocTest, FailedSaveKeepsTheOldFileAndReports) {
    std::vector<int> shown;
    ScopedTestReporter reporter([&](const MessageRequest& r) {
        shown.push_back(r.code());
        return 0;
    });
    const std::string path = Write("keep.txt", "old text\r\n");
    auto doc = Load(path);
    ASSERT_TRUE(doc);
    doc->Editor()->Buffer().SetText("new");
    // The folder of the temporary file does not exist: nothing may be lost.
    EXPECT_EQ(SaveTextDocument(doc.get(), (dir_.Path() + "/missing/keep.txt").c_str()), 15055);
    EXPECT_EQ(shown, std::vector<int>{15008});
    EXPECT_EQ(Read(path), "old text\r\n");
    // A missing file is reported, not opened empty.
    std::unique_ptr<CTxtDoc> none;
    EXPECT_EQ(LoadTextDocument((dir_.Path() + "/absent.txt").c_str(), &none), 15055);
    EXPECT_FALSE(none);
}

TEST(TextTrailerTest, FormatsLinesInTheirFixedOrder) {
    TrailerDisplay d;
    d.textColor = 0xff;
    d.commentColor = 0x8000;
    d.backgroundColor = 0xffffff;
    d.face = "Courier New";
    d.size = -13;
    d.style = 4;
    EXPECT_EQ(FormatTextTrailer(&d, "PSPICE"),
              ";$text=#ff\r\n;$comment_text=#8000\r\n;$bgcolor=#ffffff\r\n;$face=Courier New\r\n;$size=-13\r\n"
              ";$style=4\r\n;$SpiceType=PSPICE\r\n");
    size_t length = 0;
    const std::string text = "a\r\n" + FormatTextTrailer(&d, "PSPICE");
    const TextTrailer t = SplitTextTrailer(text, &length);
    EXPECT_EQ(length, 3u);
    EXPECT_EQ(t.face.value_or(""), "Courier New");
    EXPECT_EQ(t.commentColor.value_or(0), 0x8000u);
}

}  // namespace

namespace {

// The compiler's reader takes a text page from its editor: the text alone,
// not the editor's line-end sentinel.
TEST(TextPageSourceTest, ReadersSeeTheEditorTextWithoutItsSentinel) {
    InstallDocumentTextSource();
    CTxtDoc doc;
    ASSERT_NE(doc.Editor(), nullptr);
    doc.Editor()->Buffer().SetText("R1 1 0 1k\r\n.END");
    TextFile reader;
    ASSERT_TRUE(reader.OpenDocument(&doc, doc.GetTextPageIndex(), 0, 0));
    char line[64];
    ASSERT_EQ(reader.ReadRawLine(line, sizeof line), 0);
    EXPECT_STREQ(line, "R1 1 0 1k");
    ASSERT_EQ(reader.ReadRawLine(line, sizeof line), 0);
    EXPECT_STREQ(line, ".END");
    EXPECT_NE(reader.ReadRawLine(line, sizeof line), 0);  // no extra empty line
    EXPECT_EQ(reader.pageLineCount, 2);
    reader.Close();
}

// An empty report opens no window; a report that could not be written whole
// says so.
TEST(CloseAndShowTest, EmptyReportShowsNothing) {
    twtest::TempDir dir{"cas_test"};
    TextFile report;
    ASSERT_EQ(report.CreateText((dir.Path() + "/empty.out").c_str()), 0);
    EXPECT_EQ(CloseAndShow(report, false, true), nullptr);
    TextFile closed;
    EXPECT_EQ(CloseAndShow(closed, false, true), nullptr);
}

}  // namespace
