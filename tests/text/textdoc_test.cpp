// Text documents: the ";$" trailer on loading and saving.
#include "text/textdoc.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "core/dialect.h"
#include "core/result.h"
#include "core/textfile.h"
#include "document/ctdoc.h"
#include "document/spicedoc.h"
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

// A file keeps its own line ends: saved unchanged it is byte-identical, and
// edited lines take the file's line end; a new text is written with LF.
TEST_F(TextDocTest, SavingKeepsTheFilesOwnLineEnds) {
    struct Case {
        const char* bytes;
        const char* shown;
        const char* edited;  // after "new" is typed as a first line
    } cases[] = {
        {"a\nb\n", "a\r\nb\r\n", "new\na\nb\n"},
        {"a\r\nb\r\n", "a\r\nb\r\n", "new\r\na\r\nb\r\n"},
        {"a\rb\r", "a\r\nb\r\n", "new\ra\rb\r"},
        {"a\nb", "a\r\nb", "new\na\nb"},
        {"one line", "one line", "new\none line"},
        // the trailer is written with the file's line ends too
        {"x\n;$SpiceType=PSPICE\n", "x\r\n", "new\nx\n;$SpiceType=PSPICE\n"},
    };
    for (const Case& c : cases) {
        const std::string path = Write("ends.ckt", c.bytes);
        auto doc = Load(path);
        ASSERT_TRUE(doc);
        EXPECT_EQ(Shown(*doc), c.shown) << c.bytes;
        ASSERT_EQ(doc->SaveToFile(path.c_str()), 0);
        EXPECT_EQ(Read(path), c.bytes);
        doc->Editor()->Buffer().SetText("new\r\n" + Shown(*doc));
        ASSERT_EQ(doc->SaveToFile(path.c_str()), 0);
        EXPECT_EQ(Read(path), c.edited) << c.bytes;
    }
    CTxtDoc fresh;
    fresh.Editor()->Buffer().SetText("a\r\nb\r\n");
    const std::string path = dir_.File("new.ckt");
    ASSERT_EQ(SaveTextDocument(&fresh, path.c_str()), 0);
    const std::string saved = Read(path);
    EXPECT_EQ(saved.rfind("a\nb\n", 0), 0u) << saved;
    EXPECT_EQ(saved.find('\r'), std::string::npos) << saved;
}

// A file with NUL bytes (binary, UTF-16) is refused whole with a message that
// names it, never shown cut at its first NUL where a save would truncate it.
TEST_F(TextDocTest, FilesWithNulBytesAreRefusedAndLeftAlone) {
    std::vector<int> shown;
    std::vector<std::string> texts;
    ScopedTestReporter reporter([&](const MessageRequest& r) {
        shown.push_back(r.code());
        texts.push_back(ScopedTestReporter::TextArg(r));
        return 0;
    });
    const std::string cases[] = {
        std::string("T\nV1 1 0 1\0junk\nR1 1 0 1\n.END\n", 30),
        std::string("\xff\xfeT\0\n\0R\0001\0 \0001\0 \0000\0 \0001\0\n\0", 24),
        std::string("\0", 1),
    };
    for (const std::string& bytes : cases) {
        shown.clear();
        texts.clear();
        const std::string path = Write("nul.ckt", bytes);
        std::unique_ptr<CTxtDoc> doc;
        EXPECT_EQ(LoadTextDocument(path.c_str(), &doc), 15055);
        EXPECT_FALSE(doc);
        EXPECT_EQ(shown, std::vector<int>{kResultNotText});
        ASSERT_EQ(texts.size(), 1u);
        EXPECT_EQ(texts[0], path);
        std::unique_ptr<CCTDoc> circuit;
        EXPECT_EQ(LoadSpiceTextDocument(path.c_str(), &circuit), kResultNotText);
        EXPECT_FALSE(circuit);
        EXPECT_EQ(Read(path), bytes);
    }
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
