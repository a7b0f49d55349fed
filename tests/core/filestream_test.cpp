#include "core/filestream.h"

#include <gtest/gtest.h>
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
