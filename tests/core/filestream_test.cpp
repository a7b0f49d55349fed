#include "core/filestream.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/memory.h"
#include "core/result.h"
#include "tests/support/tempdir.h"

namespace {

class FileStreamTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.Valid()); }

    std::string PathOf(const char* name) const { return dir_.Path() + "/" + name; }
    void WriteBytes(const char* name, const std::vector<unsigned char>& bytes) const {
        std::ofstream out(PathOf(name), std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    std::vector<unsigned char> ReadBytes(const char* name) const {
        std::ifstream in(PathOf(name), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    twtest::TempDir dir_{"tw_filestream"};
};

TEST_F(FileStreamTest, HeaderRoundTripAndForeignTag) {
    std::string path = PathOf("lib.bin");
    BinaryFile out;
    ASSERT_EQ(out.OpenWrite(path.c_str()), 0);
    EXPECT_EQ(out.WriteFileHeader("CMP", 0x80001), 0);
    out.Close();

    std::vector<unsigned char> bytes = ReadBytes("lib.bin");
    ASSERT_EQ(bytes.size(), kBinaryHeaderSize);
    EXPECT_EQ(std::memcmp(bytes.data(), "CMP\0\x01\x00\x08\x00Tarnwick\0\0\0\0\0\0\0\0", 24), 0);

    struct Case {
        const char* tag;
        int expected;
    } cases[] = {{"CMP", 0}, {"SHP", kResultNotFormat}, {"CM", kResultNotFormat}};
    for (const Case& c : cases) {
        BinaryFile in;
        ASSERT_EQ(in.OpenRead(path.c_str()), 0);
        int32_t version = 0;
        EXPECT_EQ(in.CheckFileHeader(c.tag, version), c.expected) << c.tag;
        EXPECT_EQ(version, 0x80001) << c.tag;
        in.Close();
    }

    // Another program's name is as foreign as another tag.
    bytes[9] = 'X';
    WriteBytes("other.bin", bytes);
    BinaryFile in;
    ASSERT_EQ(in.OpenRead(PathOf("other.bin").c_str()), 0);
    int32_t version = 0;
    EXPECT_EQ(in.CheckFileHeader("CMP", version), kResultNotFormat);
    in.Close();
}

TEST_F(FileStreamTest, CountedTextsRoundTrip) {
    std::string path = PathOf("texts.bin");
    BinaryFile out;
    ASSERT_EQ(out.OpenWrite(path.c_str()), 0);
    out.WriteCountedText("");
    out.WriteCountedText(nullptr);
    out.WriteCountedText("elevenchars");   // 11: inline
    out.WriteCountedText("twelve chars");  // 12: heap copy
    out.WriteCountedText("hello");
    out.WriteLong(-2);
    EXPECT_EQ(out.Close(), 0);

    std::vector<unsigned char> bytes = ReadBytes("texts.bin");
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ(bytes[0], 0);
    EXPECT_EQ(bytes[1], 0);
    EXPECT_EQ(bytes[2], 0);
    EXPECT_EQ(bytes[3], 0);

    BinaryFile in;
    ASSERT_EQ(in.OpenRead(path.c_str()), 0);
    char* field = DuplicateString("old");
    EXPECT_EQ(in.ReadCountedString(&field), 0);
    EXPECT_TRUE(IsSharedEmpty(field));
    SmallString12 empty;
    empty.Set("x");
    EXPECT_EQ(in.ReadSmallString12(empty), 0);
    EXPECT_EQ(empty.text(), nullptr);
    SmallString12 eleven, twelve;
    EXPECT_EQ(in.ReadSmallString12(eleven), 0);
    EXPECT_EQ(in.ReadSmallString12(twelve), 0);
    EXPECT_STREQ(eleven.text(), "elevenchars");
    EXPECT_TRUE(eleven.IsInline());
    EXPECT_STREQ(twelve.text(), "twelve chars");
    EXPECT_FALSE(twelve.IsInline());
    // A text longer than the buffer is cut, and the next field is still read in step.
    char small[4];
    EXPECT_EQ(in.ReadCountedText(small, sizeof small), 0);
    EXPECT_STREQ(small, "hel");
    EXPECT_EQ(in.ReadLong(), -2);
    in.Close();
    FreeString(&field);
}

TEST_F(FileStreamTest, BadLengthsAndTruncation) {
    // A negative length is a broken file, never a copy.
    WriteBytes("negative.bin", {0xFF, 0xFF, 'a', 'b'});
    struct Reader {
        const char* name;
        int (*read)(BinaryFile&);
    } readers[] = {
        {"text",
         [](BinaryFile& f) {
             char b[8];
             return f.ReadCountedText(b, sizeof b);
         }},
        {"string",
         [](BinaryFile& f) {
             char* s = nullptr;
             int r = f.ReadCountedString(&s);
             FreeString(&s);
             return r;
         }},
        {"small",
         [](BinaryFile& f) {
             SmallString12 s;
             return f.ReadSmallString12(s);
         }},
    };
    for (const Reader& r : readers) {
        BinaryFile in;
        ASSERT_EQ(in.OpenRead(PathOf("negative.bin").c_str()), 0);
        EXPECT_EQ(r.read(in), kResultBadFormat) << r.name;
        in.Close();
    }

    // A length that promises more than the file holds, then further reads: the
    // first short read sticks and every later read still runs.
    WriteBytes("short.bin", {5, 0, 'a', 'b'});
    for (const Reader& r : readers) {
        BinaryFile in;
        ASSERT_EQ(in.OpenRead(PathOf("short.bin").c_str()), 0);
        EXPECT_EQ(r.read(in), kResultNoSpace) << r.name;
        EXPECT_EQ(in.ReadLong(), 0);
        EXPECT_EQ(in.ReadShort(), 0);
        char block[4];
        EXPECT_EQ(in.Read(block, sizeof block), kResultNoSpace);
        in.Close();
    }
}

TEST_F(FileStreamTest, OpenFailuresNameTheFile) {
    BinaryFile in;
    std::string missing = PathOf("missing.bin");
    EXPECT_EQ(in.OpenRead(missing.c_str()), kResultErrnoBase + ENOENT);
    EXPECT_STREQ(PendingText(), missing.c_str());
    EXPECT_FALSE(in.IsOpen());
    EXPECT_EQ(OpenSharedRead(missing.c_str()), nullptr);
    EXPECT_EQ(GetFileModTime(missing.c_str()), 0);
}

TEST_F(FileStreamTest, StreamLengthAndModTime) {
    WriteBytes("five.bin", {1, 2, 3, 4, 5});
    FILE* f = OpenSharedRead(PathOf("five.bin").c_str());
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(GetStreamLength(f), 5);
    fclose(f);
    EXPECT_GT(GetFileModTime(PathOf("five.bin").c_str()), 0);
}

TEST_F(FileStreamTest, FinderMatchesWildcards) {
    for (const char* name : {"a.cir", "b.CIR", "c.txt", "ab.cir.bak", "x1.cir"}) WriteBytes(name, {});
    struct Case {
        const char* pattern;
        std::vector<std::string> names;
    } cases[] = {
        {"*.cir", {"a.cir", "b.CIR", "x1.cir"}},
        {"?.cir", {"a.cir", "b.CIR"}},
        {"a*", {"a.cir", "ab.cir.bak"}},
        {"*.*", {"a.cir", "ab.cir.bak", "b.CIR", "c.txt", "x1.cir"}},
        {"*.zip", {}},
    };
    for (const Case& c : cases) {
        std::string pattern = PathOf(c.pattern);
        FileFinder finder;
        std::vector<std::string> found;
        const char* first = finder.First(pattern.c_str());
        if (*first) {
            found.push_back(first);
            char name[256];
            while (finder.Next(name, sizeof name)) found.push_back(name);
            EXPECT_STREQ(name, "");
        }
        finder.Close();
        std::sort(found.begin(), found.end());
        EXPECT_EQ(found, c.names) << c.pattern;
    }
}

}  // namespace

namespace {

// Replacing a file's content keeps what the user set up around it: its mode,
// a symbolic link (the target is written, the link stays) and hard links
// (every name sees the new text); nothing of the temporary file is left.
TEST_F(FileStreamTest, ReplacingAFileKeepsItsModeAndLinks) {
    namespace fs = std::filesystem;
    struct Case {
        const char* name;
        mode_t mode;
        const char* link;  // "" none; "sym", "chain" (a link to a link), "abs", "hard"
    } cases[] = {
        {"plain", 0644, ""}, {"readonly", 0444, ""}, {"private", 0600, ""}, {"sym", 0640, "sym"},
        {"chain", 0600, "chain"}, {"abs", 0644, "abs"}, {"hard", 0600, "hard"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string folder = PathOf(c.name);
        ASSERT_TRUE(fs::create_directory(folder));
        const std::string real = folder + "/deck.ckt";
        std::ofstream(real, std::ios::binary) << "old text\n";
        ASSERT_EQ(chmod(real.c_str(), c.mode), 0);
        std::string named = real;
        const std::string link = c.link;
        if (link == "sym" || link == "chain") {
            fs::create_directory(folder + "/sub");
            fs::create_symlink("../deck.ckt", folder + "/sub/link.ckt");
            named = folder + "/sub/link.ckt";
            if (link == "chain") {
                fs::create_symlink("sub/link.ckt", folder + "/top.ckt");
                named = folder + "/top.ckt";
            }
        } else if (link == "abs") {
            fs::create_symlink(real, folder + "/link.ckt");
            named = folder + "/link.ckt";
        } else if (link == "hard") {
            fs::create_hard_link(real, folder + "/other.ckt");
            named = folder + "/other.ckt";
        }
        const auto before = fs::directory_entry(real).hard_link_count();

        ASSERT_EQ(ReplaceFileContents(named.c_str(), "new text\r\n"), 0);
        std::ifstream in(real, std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "new text\r\n");
        struct stat info;
        ASSERT_EQ(stat(real.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, c.mode);
        EXPECT_EQ(info.st_nlink, before);
        EXPECT_EQ(fs::is_symlink(named), link == "sym" || link == "chain" || link == "abs");
        if (link == "hard") {
            std::ifstream other(folder + "/other.ckt", std::ios::binary);
            EXPECT_EQ(std::string(std::istreambuf_iterator<char>(other), {}), "new text\r\n");
        }
        for (const auto& entry : fs::recursive_directory_iterator(folder))
            EXPECT_EQ(entry.path().string().find(".~tw"), std::string::npos) << entry.path();
    }
    // A file that cannot be written leaves the old one whole.
    const std::string missing = PathOf("none/deck.ckt");
    EXPECT_NE(ReplaceFileContents(missing.c_str(), "x"), 0);
    EXPECT_FALSE(std::filesystem::exists(missing));
}

TEST(LineEndings, AreFoundAndWrittenBackAsTheFileHadThem) {
    struct Case {
        const char* text;
        LineEnding found;
    } cases[] = {
        {"a\nb\n", LineEnding::kLf}, {"a\r\nb\r\n", LineEnding::kCrLf}, {"a\rb\r", LineEnding::kCr},
        {"one line", LineEnding::kLf}, {"", LineEnding::kLf},
        // the first line end decides
        {"a\r\nb\n", LineEnding::kCrLf}, {"a\rb\nc\n", LineEnding::kLf},
    };
    for (const Case& c : cases) EXPECT_EQ(DetectLineEnding(c.text), c.found) << c.text;
    EXPECT_EQ(DetectLineEnding("one line", LineEnding::kCrLf), LineEnding::kCrLf);

    // The editor's CR LF form goes back to each kind; lone CR and LF are bytes.
    EXPECT_EQ(ConvertLineEndings("a\r\nb\rc\nd\r\n", LineEnding::kLf), "a\nb\rc\nd\n");
    EXPECT_EQ(ConvertLineEndings("a\r\nb\r\n", LineEnding::kCr), "a\rb\r");
    EXPECT_EQ(ConvertLineEndings("a\r\nb\r\n", LineEnding::kCrLf), "a\r\nb\r\n");
    // Only a CR-only text is expanded for the readers.
    EXPECT_EQ(ExpandCrLineEnds("a\rb\r"), "a\r\nb\r\n");
    EXPECT_EQ(ExpandCrLineEnds("a\rb\nc"), "a\rb\nc");
    for (const char* text : {"x\ry\r", "x\r\ny\r\n"})
        EXPECT_EQ(ConvertLineEndings(ExpandCrLineEnds(text), DetectLineEnding(text)), text) << text;
}

}  // namespace
