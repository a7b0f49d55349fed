#include "core/textfile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/memory.h"
#include "core/result.h"
#include "tests/support/tempdir.h"

namespace {

class TextFileTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.Valid()); }

    std::string PathOf(const char* name) const { return dir_.Path() + "/" + name; }
    std::string Write(const char* name, const std::string& bytes) const {
        std::string path = PathOf(name);
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    std::string Read(const std::string& path) const {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    twtest::TempDir dir_{"tw_textfile"};
};

// A text source that knows one document whose page is not what is on disk.
class TextFileFakeProvider : public TextSourceProvider {
public:
    std::string path;
    std::string pageText;
    CDoc* doc = reinterpret_cast<CDoc*>(this);
    CDoc* FindSourceDocument(const char* p) override { return path == p ? doc : nullptr; }
    CDoc* FindDocumentByPath(const char* p) override { return path == p ? doc : nullptr; }
    int GetTextPageIndex(CDoc*) override { return 0; }
    bool GetPageText(CDoc*, int, PageText* out) override {
        out->text = pageText.c_str();
        out->length = long(pageText.size());
        out->lineCount = 2;
        return true;
    }
    int LineFromChar(CDoc*, int, long) override { return 0; }
    int CheckPathNotOpenElsewhere(void*, const char*) override { return 0; }
    void ReloadOpenTextDocument(const char*) override {}
};

TEST_F(TextFileTest, PathChecksTouchNoDisk) {
    struct Case {
        const char* path;
        int expected;
    } cases[] = {{"", kResultNoFileName}, {"plain.cir", kResultNoSuchFile}, {"sub/plain.cir", kResultNoSuchFile}};
    for (const Case& c : cases) {
        TextFile reader;
        EXPECT_EQ(reader.OpenText(c.path), c.expected) << c.path;
        EXPECT_EQ(reader.mode, TextFile::kClosed);
        EXPECT_EQ(reader.stream, nullptr);
        EXPECT_STREQ(PendingText(), c.path);
        TextFile writer;
        EXPECT_EQ(writer.CreateText(c.path), c.expected) << c.path;
        EXPECT_EQ(CheckFullPath(c.path), c.expected) << c.path;
    }
    EXPECT_FALSE(std::filesystem::exists("plain.cir"));
    TextFile missing;
    std::string path = PathOf("missing.txt");
    EXPECT_EQ(missing.OpenText(path.c_str()), kResultErrnoBase + ENOENT);
    EXPECT_STREQ(PendingText(), path.c_str());
    EXPECT_EQ(missing.path, nullptr);
}

TEST_F(TextFileTest, CommaItemsCountLines) {
    struct Step {
        const char* item;
        int result;
        int lines;
    } steps[] = {{"a", 0, 0}, {"b", 0, 1}, {"c", 0, 2}, {"", kResultReadError, 3}};
    // The same items from memory and from a file with either line end.
    std::string lf = Write("lf.txt", "a,b\nc");
    std::string crlf = Write("crlf.txt", "a,b\r\nc");
    for (int source = 0; source < 3; ++source) {
        TextFile file;
        char bytes[] = "a,b\r\nc";
        if (source == 0) file.AttachMemory(bytes, long(strlen(bytes)), false);
        if (source == 1) {
            ASSERT_EQ(file.OpenText(lf.c_str()), 0);
        }
        if (source == 2) {
            ASSERT_EQ(file.OpenText(crlf.c_str()), 0);
        }
        for (const Step& s : steps) {
            char item[16];
            EXPECT_EQ(file.ReadToken(item, sizeof item), s.result) << source << s.item;
            EXPECT_STREQ(item, s.item) << source;
            EXPECT_EQ(file.lineCounter, s.lines) << source << s.item;
        }
        EXPECT_EQ(file.Close(), 0);
    }
}

TEST_F(TextFileTest, ReadLineAndKeyValue) {
    std::string text =
        ";comment\r\n"
        "\r\n"
        "   ;word  \r\n"
        "  fileType = Tarnwick  \r\n"
        "NoValue\n"
        "\tkey\t=\tvalue with blanks\t\n";
    for (int source = 0; source < 2; ++source) {
        TextFile file;
        std::string copy = text;
        if (source == 0) file.AttachMemory(copy.data(), long(copy.size()), false);
        if (source == 1) {
            ASSERT_EQ(file.OpenText(Write("lines.txt", text).c_str()), 0);
        }
        char line[64];
        EXPECT_EQ(file.ReadLine(line, sizeof line), 0);
        EXPECT_STREQ(line, ";word");
        char key[32], value[32];
        struct Pair {
            const char* key;
            const char* value;
        } pairs[] = {{"FILETYPE", "Tarnwick"}, {"NOVALUE", ""}, {"KEY", "value with blanks"}, {"", ""}};
        for (const Pair& p : pairs) {
            EXPECT_EQ(file.ReadKeyValue(key, sizeof key, value, sizeof value), 0);
            EXPECT_STREQ(key, p.key) << source;
            EXPECT_STREQ(value, p.value) << source;
        }
        EXPECT_EQ(file.ReadLine(line, sizeof line), 0);
        EXPECT_STREQ(line, "");
        file.Close();
    }
}

TEST_F(TextFileTest, LinesAtTheSizeLimit) {
    // A comment longer than the buffer is skipped whole; a line that just fills
    // it is one line, not a line and an empty piece.
    std::string text = ";" + std::string(40, 'x') + "\r\n" + std::string(15, 'y') + "\r\ndata\r\n";
    for (int source = 0; source < 2; ++source) {
        TextFile file;
        std::string copy = text;
        if (source == 0) file.AttachMemory(copy.data(), long(copy.size()), false);
        if (source == 1) {
            ASSERT_EQ(file.OpenText(Write("long.txt", text).c_str()), 0);
        }
        char line[16];
        EXPECT_EQ(file.ReadLine(line, sizeof line), 0);
        EXPECT_EQ(std::string(line), std::string(15, 'y')) << source;
        EXPECT_EQ(file.lineCounter, 2) << source;
        EXPECT_EQ(file.ReadLine(line, sizeof line), 0);
        EXPECT_STREQ(line, "data");
        EXPECT_EQ(file.lineCounter, 3) << source;
        file.Close();
    }
}

TEST_F(TextFileTest, FailedWriteIsReported) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP();
    TextFile out;
    ASSERT_EQ(out.CreateText("/dev/full"), 0);
    out.Printf("%s\n", "lost");
    EXPECT_EQ(out.Close(), kResultNoSpace);
    BinaryFile binary;
    ASSERT_EQ(binary.OpenWrite("/dev/full"), 0);
    binary.WriteLong(1);
    EXPECT_EQ(binary.Close(), kResultNoSpace);
}

TEST_F(TextFileTest, GrowingLineKeepsLineBreaks) {
    std::string text = std::string(250, 'v') + "\xFE" + "end  \r\nnext\n";
    for (int source = 0; source < 2; ++source) {
        TextFile file;
        std::string copy = text;
        if (source == 0) file.AttachMemory(copy.data(), long(copy.size()), false);
        if (source == 1) {
            ASSERT_EQ(file.OpenText(Write("grow.txt", text).c_str()), 0);
        }
        char* line = nullptr;
        size_t capacity = 0, length = 0;
        EXPECT_EQ(file.ReadGrowingLine(&line, &capacity, &length), 0);
        EXPECT_EQ(std::string(line), std::string(250, 'v') + "\r\nend");
        EXPECT_EQ(length, 255u);
        EXPECT_EQ(file.ReadGrowingLine(&line, &capacity, &length), 0);
        EXPECT_STREQ(line, "next");
        EXPECT_EQ(file.ReadGrowingLine(&line, &capacity, &length), kResultReadError);
        FreeString(&line);
        file.Close();
    }
}

TEST_F(TextFileTest, WrittenFilesHaveCrLf) {
    std::string path = PathOf("out.txt");
    TextFile out;
    ASSERT_EQ(out.CreateText(path.c_str()), 0);
    out.Printf("%s\n", "one");
    out.PutText("two\r\nthree\n");
    out.PutText("four\r");
    out.PutText("\n");
    out.PrintCentered(20, "%s", "abcd");
    // A user text in the format position would be read as a format.
    out.Printf("%s\n", "100%s");
    EXPECT_EQ(out.Close(), 0);
    EXPECT_EQ(Read(path), "one\r\ntwo\r\nthree\r\nfour\r\n        abcd\r\n100%s\r\n");
}

TEST_F(TextFileTest, RangeOfFileAndOpenDocument) {
    std::string path = Write("range.cir", "0123\r\nline2\r\nline3\r\n");
    TextFile file;
    ASSERT_EQ(file.OpenSource(path.c_str(), 5, 6, 12), 0);
    EXPECT_EQ(file.bufferBase, 6);
    EXPECT_EQ(file.Tell(), 6);
    char line[16];
    EXPECT_EQ(file.ReadLine(line, sizeof line), 0);
    EXPECT_STREQ(line, "line2");
    EXPECT_EQ(file.lineCounter, 6);
    EXPECT_EQ(file.ReadLine(line, sizeof line), 0);
    EXPECT_STREQ(line, "");
    file.Close();

    // With the file open in a window, the reader sees the window's text.
    TextFileFakeProvider provider;
    provider.path = path;
    provider.pageText = "edited\r\ntext\r\n";
    SetTextSourceProvider(&provider);
    EXPECT_EQ(FindDocumentByPath(path.c_str()), provider.doc);
    ASSERT_EQ(file.OpenSource(path.c_str(), -1, 0, -999), 0);
    EXPECT_EQ(file.document, provider.doc);
    EXPECT_EQ(file.ReadLine(line, sizeof line), 0);
    EXPECT_STREQ(line, "edited");
    EXPECT_TRUE(file.HasMoreData());
    file.Close();
    SetTextSourceProvider(nullptr);
    EXPECT_EQ(FindDocumentByPath(path.c_str()), nullptr);
}

}  // namespace
