#include "core/sectionfile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/fontspec.h"
#include "core/memory.h"
#include "core/result.h"
#include "tests/support/tempdir.h"

namespace {

class SectionFileTest : public ::testing::Test {
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

    twtest::TempDir dir_{"tw_sectionfile"};
};

// Records what each section routine saw.
struct SectionFileLog {
    std::vector<std::string> lines;
};

int SectionFileLogSection(SectionFile& file, void* object) {
    auto* log = static_cast<SectionFileLog*>(object);
    if (file.IsWriting()) {
        file.WriteKey("Name", "a\r\nb");
        file.WriteKey("Empty", "");
        return file.WriteIntKey("Count", 3);
    }
    char line[100];
    while (file.ReadEntry(line, sizeof line)) {
        char key[100], value[100];
        SplitKeyValue(line, key, sizeof key, value, sizeof value);
        log->lines.push_back(std::string(file.currentSection) + key + "=" + value);
    }
    return file.error;
}

int SectionFileReadNothing(SectionFile&, void*) { return 0; }

TEST_F(SectionFileTest, WrittenFormat) {
    std::string path = PathOf("out.dat");
    SectionFile out;
    ASSERT_EQ(out.CreateText(path.c_str()), 0);
    out.WriteSectionHeader("Main");
    out.WriteMainHeader("Circuit", 0x80001);
    out.WriteSectionHeader("Page");
    out.WriteKey("Name", "a\r\nb");
    out.WriteKey("Empty", "");
    out.WriteKey("Null", nullptr);
    out.WriteQuotedKey("Quoted", "x,y");
    out.WriteDoubleKey("D", 0.1);
    out.WriteRectKey("R", 1, -2, 3, 4);
    out.WriteVersionKey("V", (5 << 16) | 30);
    out.WriteBoolKey("B", true);
    out.WriteYesNoKey("Y", false);
    out.WriteOnOffKey("O", true);
    out.WriteIndexedKey("Pin", 3, "x");
    out.WriteIndexedBoolKey("Flag", 0, false);
    out.WriteAnalysisKey(4);
    out.WriteKey("Percent", "100%s");
    out.SerializeCommentMarker("Marker");
    EXPECT_EQ(out.Close(), 0);
    EXPECT_EQ(Read(path),
              "[Main]\r\nFileType=Circuit\r\nVersion=8.01\r\nProgram=Tarnwick\r\n"
              "\r\n[Page]\r\nName=a\xFE"
              "b\r\nEmpty\r\nNull\r\nQuoted=\"x,y\"\r\nD=0.1\r\nR=1,-2,3,4\r\nV=5.30\r\n"
              "B=True\r\nY=No\r\nO=On\r\nPin[3]=x\r\nFlag[0]=False\r\nAnalysis=DynamicAC\r\n"
              "Percent=100%s\r\n:**** marker ****\r\n");
}

TEST_F(SectionFileTest, TableRoundTripSkipsUnknownSections) {
    std::string path = PathOf("table.dat");
    SectionFileLog written;
    SectionHandler writeTable[] = {{"First", SectionFileLogSection, &written, 0}};
    SectionFile out;
    ASSERT_EQ(out.CreateText(path.c_str()), 0);
    // An unknown section ahead of the known one.
    out.WriteSectionHeader("Unknown");
    out.WriteKey("Junk", "[not a header");
    EXPECT_EQ(out.ReadSectionTable(writeTable, 1), 0);
    out.WriteSectionHeader("Other");
    out.WriteKey("Key", "1");
    EXPECT_EQ(out.Close(), 0);

    SectionFileLog log;
    SectionHandler table[] = {{"Never", SectionFileReadNothing, nullptr, 0},
                              {"FIRST", SectionFileLogSection, &log, 0},
                              {"Other", SectionFileReadNothing, nullptr, 0}};
    SectionFile in;
    ASSERT_EQ(in.OpenText(path.c_str()), 0);
    EXPECT_EQ(in.ReadSectionTable(table, 3), 0);
    EXPECT_EQ(log.lines, (std::vector<std::string>{"NAME=a\xFE"
                                                   "b",
                                                   "EMPTY=", "COUNT=3"}));
    EXPECT_EQ(table[1].firstLetter, 'F');
    EXPECT_EQ(in.Close(), 0);

    // The multi-line readers restore the line break.
    SectionFile lines;
    ASSERT_EQ(lines.OpenText(path.c_str()), 0);
    for (int i = 0; i < 4; ++i) lines.ReadLongLine();
    char *key = nullptr, *text = nullptr;
    lines.SplitLineBuffer(key, text);
    EXPECT_STREQ(key, "NAME");
    EXPECT_STREQ(text, "a\r\nb");
    lines.Close();
}

TEST_F(SectionFileTest, MainHeaderChecks) {
    struct Case {
        const char* text;
        int expected;
        int32_t version;
    } cases[] = {
        {"FileType=Circuit\r\nVersion=8.01\r\nProgram=Tarnwick\r\n", 0, 0x80001},
        {"  filetype = CIRCUIT\nversion=5.3\nprogram=tarnwick v\n", 0, (5 << 16) | 30},
        {"Version=8.01\r\nFileType=Circuit\r\nProgram=Tarnwick\r\n", kResultNotFormat, 0},
        {"FileType=Library\r\nVersion=8.01\r\nProgram=Tarnwick\r\n", kResultNotFormat, 0},
        {"FileType=Circuit\r\nVersion=8.01\r\nProgram=Other\r\n", kResultNotFormat, 0x80001},
    };
    for (const Case& c : cases) {
        SectionFile in;
        std::string text = c.text;
        in.AttachMemory(text.data(), long(text.size()), false);
        int32_t version = 0;
        EXPECT_EQ(in.CheckMainHeader("Circuit", version), c.expected) << c.text;
        EXPECT_EQ(version, c.version) << c.text;
        in.Close();
    }
}

TEST(SectionFileValues, VersionsAndKeys) {
    struct Version {
        const char* text;
        int32_t value;
    } versions[] = {{"8.01", (8 << 16) | 1}, {"5.3", (5 << 16) | 30}, {"7", 7 << 16}, {"5.30", (5 << 16) | 30}};
    for (const Version& v : versions) {
        EXPECT_EQ(ParseVersionText(v.text), v.value) << v.text;
        char text[16];
        FormatVersionText(text, sizeof text, v.value);
        EXPECT_EQ(ParseVersionText(text), v.value) << text;
    }

    int index = -1;
    EXPECT_EQ(ParseIndexedKey("PIN[12]", "PIN", index), 0);
    EXPECT_EQ(index, 12);
    EXPECT_EQ(ParseIndexedKey("PIN", "PIN", index), -1);
    EXPECT_NE(ParseIndexedKey("PI[1]", "PIN", index), 0);
    EXPECT_NE(ParseIndexedKey("PIX[1]", "PIN", index), 0);

    char value[32];
    FindValueOfKey(value, sizeof value, " a=1, title = \"x, y\" ,b= 2 ", "TITLE");
    EXPECT_STREQ(value, "x, y");
    FindValueOfKey(value, sizeof value, " a=1, title = \"x, y\" ,b= 2 ", "b");
    EXPECT_STREQ(value, "2");
    FindValueOfKey(value, sizeof value, "a=1", "c");
    EXPECT_STREQ(value, "");

    char text[] = " \"one\xFEtwo\" , rest";
    TakeQuotedField(value, sizeof value, text);
    EXPECT_STREQ(value, "one\r\ntwo");
    EXPECT_STREQ(text, " rest");
    char fields[] = "a, b,c";
    char* cursor = fields;
    EXPECT_STREQ(NextCommaField(cursor), "a");
    EXPECT_STREQ(NextCommaField(cursor), "b");
    EXPECT_STREQ(NextCommaField(cursor), "c");
    EXPECT_STREQ(cursor, "");

    EXPECT_EQ(FindAnalysisName("dynamicdc"), 5);
    EXPECT_EQ(FindAnalysisName("Noise"), -1);
    EXPECT_TRUE(IsTrueText("TRUE"));
    EXPECT_FALSE(IsYesText("y"));
}

TEST_F(SectionFileTest, CommaRecordsRoundTrip) {
    std::string path = PathOf("records.dat");
    double d = 2.5;
    int32_t i = -7, x = 1, y = 2, l = 3, t = 4, r = 5, b = 6, count = 9;
    uint16_t us = 65535;
    char* name = DuplicateString("name");
    char* memo = DuplicateString("line1\r\nline2");
    FontSpec font;
    font.height = -12;
    font.style = 0x04;
    font.color = 74;
    font.face = uint16_t(FindOrAddFontFace("Courier New"));
    SectionFile out;
    ASSERT_EQ(out.CreateText(path.c_str()), 0);
    out.SerializeDouble(d, 0);
    out.SerializeInt(i, 0);
    out.SerializeUShort(us, kRecordEndLine);
    out.SerializePoint(x, y, kRecordEndLine);
    out.SerializeRect(l, t, r, b);
    out.SerializeCount(count);
    out.SerializeString(&name, kRecordEndLine);
    out.SerializeMultilineText(&memo);
    out.SerializeFontRecord(font);
    EXPECT_EQ(out.Close(), 0);
    EXPECT_EQ(Read(path),
              "2.5,-7,65535\r\n1,2\r\n3,4,5,6\r\n9\r\nname\r\nline1\xFEline2\r\n-12,4,0,74,Courier New\r\n");

    double d2 = 0;
    int32_t i2 = 0, x2 = 0, y2 = 0, l2 = 0, t2 = 0, r2 = 0, b2 = 0, count2 = 0;
    uint16_t us2 = 0;
    char* name2 = nullptr;
    char* memo2 = nullptr;
    FontSpec font2;
    SectionFile in;
    ASSERT_EQ(in.OpenText(path.c_str()), 0);
    in.SerializeDouble(d2, 0);
    in.SerializeInt(i2, 0);
    in.SerializeUShort(us2, kRecordEndLine);
    in.SerializePoint(x2, y2, kRecordEndLine);
    in.SerializeRect(l2, t2, r2, b2);
    in.SerializeCount(count2);
    in.SerializeString(&name2, kRecordEndLine);
    in.SerializeMultilineText(&memo2);
    EXPECT_EQ(in.SerializeFontRecord(font2), 0);
    EXPECT_EQ(in.SerializeLineEnd(), kResultReadError);
    in.Close();
    EXPECT_EQ(d2, 2.5);
    EXPECT_EQ(i2, -7);
    EXPECT_EQ(us2, 65535);
    EXPECT_EQ(std::vector<int32_t>({x2, y2, l2, t2, r2, b2, count2}), std::vector<int32_t>({1, 2, 3, 4, 5, 6, 9}));
    EXPECT_STREQ(name2, "name");
    EXPECT_STREQ(memo2, "line1\r\nline2");
    EXPECT_EQ(font2.height, -12);
    EXPECT_EQ(font2.style, 0x04);
    EXPECT_EQ(font2.color, 74);
    EXPECT_EQ(font2.face, font.face);
    for (char** s : {&name, &memo, &name2, &memo2}) FreeString(s);
}

TEST_F(SectionFileTest, WholeFileBuffer) {
    std::string path = Write("whole.dat", ";c\r\n\r\n Key = first second\r\nbare\n");
    SectionFile in;
    ASSERT_EQ(in.LoadWholeFile(path.c_str()), 0);
    char key[32], value[32];
    struct Pair {
        const char* key;
        const char* value;
    } pairs[] = {{"KEY", "first"}, {"BARE", ""}, {"", ""}};
    for (const Pair& p : pairs) {
        EXPECT_EQ(in.ReadBufferKeyValue(key, sizeof key, value, sizeof value), 0);
        EXPECT_STREQ(key, p.key);
        EXPECT_STREQ(value, p.value);
    }
    in.FreeWholeFile();
    EXPECT_EQ(in.buffer, nullptr);
    in.Close();
    EXPECT_EQ(in.LoadWholeFile(PathOf("none.dat").c_str()), kResultErrnoBase + ENOENT);
}

TEST_F(SectionFileTest, ProtectedFiles) {
    const unsigned char* table = BuildPermutationTable();
    EXPECT_EQ(table[0], 0);
    EXPECT_EQ(table[5], 1);
    EXPECT_EQ(table[255], 51);
    EXPECT_EQ(table[1], 52);

    std::string body = "[Main]\r\nFileType=Circuit\r\n";
    char* bytes = nullptr;
    size_t length = 0;
    ASSERT_EQ(EncodeProtectedFile(body.data(), body.size(), "Secret", 0x80001, &bytes, &length), 0);
    ASSERT_EQ(length, 280 + body.size());
    std::string file(bytes, length);
    MemFree(bytes);
    EXPECT_EQ(file.substr(0, 4), std::string("CRP\0", 4));
    std::string path = Write("protected.cir", file);

    struct Case {
        const char* password;
        bool wrong;
    } cases[] = {{"secret", false}, {"other", true}, {nullptr, false}, {"", true}};
    for (const Case& c : cases) {
        SectionFile in;
        ASSERT_EQ(in.OpenText(path.c_str()), 0);
        EXPECT_EQ(in.DecodeProtectedFile(c.password), 0);
        EXPECT_EQ(in.wrongPassword, c.wrong) << (c.password ? c.password : "null");
        char line[64];
        EXPECT_EQ(in.ReadLine(line, sizeof line), 0);
        EXPECT_STREQ(line, "[Main]");
        EXPECT_EQ(in.Close(), 0);
    }

    std::string longPassword(27, 'p');
    EXPECT_EQ(EncodeProtectedFile("x", 1, longPassword.c_str(), 1, &bytes, &length), kResultBadFormat);
    EXPECT_EQ(bytes, nullptr);

    // Broken files are refused and nothing is attached.
    std::string badLength = file;
    badLength[24] = 'A' + 27;
    std::string negative = file;
    negative[24] = 'A' - 1;
    for (const std::string& broken : {file.substr(0, 279), badLength, negative}) {
        SectionFile in;
        ASSERT_EQ(in.OpenText(Write("broken.cir", broken).c_str()), 0);
        EXPECT_EQ(in.DecodeProtectedFile("secret"), kResultBadFormat);
        EXPECT_EQ(in.buffer, nullptr);
        in.Close();
    }
}

}  // namespace
