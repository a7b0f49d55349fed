// Binary model library files: the current format, damaged files, the older
// formats, order and clean-up, and the shipped model library.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/memory.h"
#include "core/paths.h"
#include "core/report_port.h"
#include "core/result.h"
#include "expr/messages.h"
#include "expr/runstate.h"
#include "expr/symbols.h"
#include "models/binlib.h"
#include "models/messages.h"
#include "models/modelstmt.h"
#include "models/modeltypes.h"
#include "tests/support/tempdir.h"

namespace {

// Little-endian file images.
struct BlImage {
    std::string bytes;
    BlImage& I16(int v) {
        int16_t x = static_cast<int16_t>(v);
        bytes.append(reinterpret_cast<const char*>(&x), 2);
        return *this;
    }
    BlImage& I32(int32_t v) {
        bytes.append(reinterpret_cast<const char*>(&v), 4);
        return *this;
    }
    BlImage& F32(float v) {
        bytes.append(reinterpret_cast<const char*>(&v), 4);
        return *this;
    }
    BlImage& F64(double v) {
        bytes.append(reinterpret_cast<const char*>(&v), 8);
        return *this;
    }
    // Exactly n bytes: the text, then zero bytes (no terminator when it fills them).
    BlImage& Fixed(const std::string& text, size_t n) {
        std::string field = text.substr(0, n);
        field.resize(n, '\0');
        bytes += field;
        return *this;
    }
    BlImage& Counted(const std::string& text) {
        I16(static_cast<int>(text.size()));
        bytes += text;
        return *this;
    }
    BlImage& FileHeader(int32_t version) {
        bytes.append("LBR", 4);
        I32(version);
        Fixed("Tarnwick", 12);
        return I32(0);
    }
    BlImage& ModelHeader(int valueBytes, const std::string& name, int type, const std::string& memo) {
        I16(valueBytes);
        Fixed(name, 24);
        I16(type);
        return Fixed(memo, 42);
    }
};

class BinLibTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.Valid()); }
    std::string Path(const char* name) const { return dir.Path() + "/" + name; }
    static void WriteFile(const std::string& path, const std::string& bytes) {
        std::ofstream out(path, std::ios::binary);
        out << bytes;
    }
    static std::string ReadFile(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    static bool Exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }
    static double Value(const LibraryModel* m, const char* name) {
        return m->Values[FindModelParamIndex(m->ModelType, name)];
    }
    static void ExpectSame(const ModelLibrary& a, const ModelLibrary& b) {
        ASSERT_EQ(a.Models.count, b.Models.count);
        for (LibraryModel *x = a.First(), *y = b.First(); x && y;
             x = ModelLibrary::Next(x), y = ModelLibrary::Next(y)) {
            EXPECT_STREQ(x->Name, y->Name);
            EXPECT_STREQ(x->Memo, y->Memo);
            ASSERT_EQ(x->ModelType, y->ModelType) << x->Name;
            EXPECT_EQ(std::memcmp(x->Values, y->Values, sizeof(double) * ModelParamCount(x->ModelType)), 0) << x->Name;
        }
    }

    twtest::TempDir dir{"binlib_test"};
};

TEST_F(BinLibTest, SavedLibraryLoadsBackIdentical) {
    ModelLibrary library;
    struct Case {
        int type;
        const char* name;
        const char* memo;
        const char* param;
        double value;
    } cases[] = {
        {kModelNpn, "Q2N10", "a bipolar", "BF", 321},
        {kModelDiode, "d1", "", "IS", 3.3e-15},
        {kModelBsim3N, "B.1", "binned", "LMIN", 1e-6},
        {kModelOpamp, "OPX", "opamp", "VOFF", kUnsetValue},
    };
    for (const Case& c : cases) {
        LibraryModel* m = library.AddNewModel(c.type);
        ASSERT_NE(m, nullptr);
        CopyTextBounded(m->Name, c.name, sizeof m->Name);
        CopyTextBounded(m->Memo, c.memo, sizeof m->Memo);
        m->Values[FindModelParamIndex(c.type, c.param)] = c.value;
    }
    EXPECT_EQ(library.Modified, 1);
    std::string path = Path("LIB.LBR");
    ASSERT_EQ(SaveModelLibrary(library, path.c_str()), 0);
    EXPECT_EQ(library.Modified, 0);
    EXPECT_FALSE(Exists(path + ".tmp~"));
    EXPECT_TRUE(IsModelLibraryFile(path.c_str()));

    ModelLibrary loaded;
    ASSERT_EQ(LoadModelLibrary(loaded, path.c_str(), false), 0);
    ExpectSame(library, loaded);
    EXPECT_EQ(loaded.Modified, 0);
    EXPECT_EQ(FindLibraryModelIndex(loaded, "D1", kModelDiode), 0);
    EXPECT_EQ(CountLibraryModelsOfType(loaded, kModelNpn), 1);
    EXPECT_STREQ(NthLibraryModelOfType(loaded, kModelBsim3N, 0)->Name, "B.1");

    // Saving again gives the same bytes; a failed save keeps the old file and
    // leaves the library modified.
    std::string first = ReadFile(path);
    ASSERT_EQ(SaveModelLibrary(loaded, path.c_str()), 0);
    EXPECT_EQ(ReadFile(path), first);
    loaded.First()->Values[0] = 99;
    loaded.Modified = 1;
    ASSERT_EQ(mkdir((path + ".tmp~").c_str(), 0700), 0);
    EXPECT_NE(SaveModelLibrary(loaded, path.c_str()), 0);
    EXPECT_EQ(loaded.Modified, 1);
    EXPECT_EQ(ReadFile(path), first);
}

TEST_F(BinLibTest, TypeTablesMapStoredParametersByName) {
    BlImage image;
    image.FileHeader(kModelLibraryVersion).Fixed("", 256).I32(3);
    image.I32(kModelDiode).I32(3).Counted("N").Counted("FOO").Counted("IS");  // reordered, one unknown
    image.I32(kModelNpn).I32(2).Counted("VA").Counted("bf");                  // an alias, lower case
    image.I32(200).I32(1).Counted("X");                                       // no such type: ignored
    image.I32(2);
    image.ModelHeader(24, "DM", kModelDiode, "memo").F64(1.5).F64(7).F64(1e-9);
    image.ModelHeader(16, "QM", kModelNpn, "").F64(50).F64(150);
    std::string path = Path("MAP.LBR");
    WriteFile(path, image.bytes);
    ModelLibrary library;
    ASSERT_EQ(LoadModelLibrary(library, path.c_str(), false), 0);
    ASSERT_EQ(library.Models.count, 2);
    LibraryModel* d = library.First();
    EXPECT_DOUBLE_EQ(Value(d, "N"), 1.5);
    EXPECT_DOUBLE_EQ(Value(d, "IS"), 1e-9);
    EXPECT_DOUBLE_EQ(Value(d, "RS"), 0);  // not stored: the default
    EXPECT_DOUBLE_EQ(Value(d, "VJ"), 1);
    LibraryModel* q = ModelLibrary::Next(d);
    EXPECT_DOUBLE_EQ(Value(q, "VAF"), 50);
    EXPECT_DOUBLE_EQ(Value(q, "BF"), 150);
}

TEST_F(BinLibTest, DamagedFilesAreRefusedOrSkippedSafely) {
    auto good = [](BlImage& image) -> BlImage& {
        return image.FileHeader(kModelLibraryVersion).Fixed("", 256).I32(1).I32(kModelDiode).I32(1).Counted("IS");
    };
    struct Case {
        const char* what;
        std::string bytes;
        int result;
        int models;
    };
    std::vector<Case> cases;
    {
        BlImage i;
        good(i).I32(2).ModelHeader(16, "BAD", 99, "").F64(1).F64(2).ModelHeader(8, "OK", kModelDiode, "").F64(1e-9);
        cases.push_back({"a model type outside the table is dropped", i.bytes, 0, 1});
    }
    {
        BlImage i;
        good(i).I32(2).ModelHeader(0, "G", kModelUGate, "").ModelHeader(8, "OK", kModelDiode, "").F64(1e-9);
        cases.push_back({"a digital model type is dropped", i.bytes, 0, 1});
    }
    {
        BlImage i;
        good(i).I32(1).ModelHeader(-8, "NEG", kModelDiode, "").F64(1);
        cases.push_back({"a negative value length", i.bytes, kResultBadFormat, 0});
    }
    {
        BlImage i;
        good(i).I32(1).ModelHeader(16, "LONG", kModelDiode, "").F64(1).F64(2);
        cases.push_back({"a value length that differs from the type table", i.bytes, kResultBadFormat, 0});
    }
    {
        BlImage i;
        good(i).I32(0x7fffffff).ModelHeader(8, "A", kModelDiode, "").F64(1);
        cases.push_back({"a model count beyond the file", i.bytes, kResultBadFormat, 0});
    }
    {
        BlImage i;
        i.FileHeader(kModelLibraryVersion).Fixed("", 256).I32(1).I32(kModelDiode).I32(-1);
        cases.push_back({"a negative parameter count", i.bytes, kResultBadFormat, 0});
    }
    {
        BlImage i;
        good(i).I32(2).ModelHeader(8, "A", kModelDiode, "").F64(1).ModelHeader(8, "B", kModelDiode, "");
        i.bytes += "\x01\x02";
        cases.push_back({"a file cut short", i.bytes, kResultNoSpace, 0});
    }
    {
        BlImage i;
        i.FileHeader(0x00070000).Fixed("", 256);
        cases.push_back({"an unknown version", i.bytes, kResultNotFormat, 0});
    }
    cases.push_back({"a text file", std::string(".MODEL DX D\r\n"), kResultNotFormat, 0});
    cases.push_back({"an empty file", std::string(), kResultNotFormat, 0});
    std::string path = Path("BAD.LBR");
    for (const Case& c : cases) {
        WriteFile(path, c.bytes);
        ModelLibrary library;
        library.AddNewModel(kModelDiode);  // a load replaces what was there
        EXPECT_EQ(LoadModelLibrary(library, path.c_str(), false), c.result) << c.what;
        EXPECT_EQ(library.Models.count, c.models) << c.what;
        EXPECT_EQ(IsModelLibraryFile(path.c_str()), c.result != kResultNotFormat) << c.what;
    }

    // Names and memos that fill their fields are terminated within them.
    BlImage i;
    good(i).I32(1).ModelHeader(8, std::string(30, 'N'), kModelDiode, std::string(50, 'M')).F64(1);
    WriteFile(path, i.bytes);
    ModelLibrary library;
    ASSERT_EQ(LoadModelLibrary(library, path.c_str(), false), 0);
    EXPECT_EQ(std::string(library.First()->Name), std::string(23, 'N'));
    EXPECT_EQ(std::string(library.First()->Memo), std::string(41, 'M'));
}

TEST_F(BinLibTest, OlderFormatsAreConvertedAndKeptBeside) {
    // Version 5: floats; RES was stored without NM, and the unset float stays unset.
    BlImage v5;
    v5.I16(5).I16(2).I16(0);
    v5.ModelHeader(32, "r 1", kModelRes, "").F32(2.2f).F32(1e-3f).F32(0).F32(0).F32(25).F32(0).F32(0).F32(0);
    v5.ModelHeader(4 * 31, "D1", kModelDiode, "");
    for (int k = 0; k < 31; ++k) {
        uint32_t unset = 0x5D88D14B;
        float f;
        std::memcpy(&f, &unset, 4);
        v5.F32(k == 1 ? 1e-14f : k == 2 ? 1.7f : f);
    }
    std::string path = Path("OLD.LBR");
    WriteFile(path, v5.bytes);
    WriteFile(Path("OLD.A"), "taken");
    ModelLibrary library;
    ASSERT_EQ(LoadModelLibrary(library, path.c_str(), false), 0);
    ASSERT_EQ(library.Models.count, 2);
    LibraryModel* r = library.First();
    EXPECT_STREQ(r->Name, "r_1");
    EXPECT_EQ(Value(r, "R"), 2.2);
    EXPECT_EQ(Value(r, "TC1"), 1e-3);
    EXPECT_EQ(Value(r, "NM"), 1);  // inserted after that release: its default
    EXPECT_EQ(Value(r, "T_MEASURED"), 25);
    LibraryModel* d = ModelLibrary::Next(r);
    EXPECT_EQ(Value(d, "IS"), 1e-14);
    EXPECT_EQ(Value(d, "N"), 1.7);
    EXPECT_TRUE(IsUnsetValue(Value(d, "LEVEL")));
    EXPECT_EQ(ReadFile(Path("OLD.A")), "taken");
    EXPECT_EQ(ReadFile(Path("OLD.B")), v5.bytes);
    ModelLibrary again;
    ASSERT_EQ(LoadModelLibrary(again, path.c_str(), false), 0);
    ExpectSame(library, again);
    EXPECT_EQ(ReadFile(path).substr(4, 4), std::string("\x0b\x00\x06\x00", 4));

    // Version 4: a memo beginning with p makes an NPN a PNP; the short name is cut.
    BlImage v4;
    v4.I16(4).I16(2).I16(0);
    v4.I16(8).Fixed("q2n3906xyz", 10).I16(kModelNpn).Fixed("pnp general", 42).F32(1).F32(2);
    v4.I16(0).Fixed("K1", 10).I16(kModelUIo).Fixed("", 42);
    std::string path4 = Path("V4.LBR");
    WriteFile(path4, v4.bytes);
    ASSERT_EQ(LoadModelLibrary(library, path4.c_str(), false), 0);
    ASSERT_EQ(library.Models.count, 1);
    EXPECT_EQ(library.First()->ModelType, kModelPnp);
    EXPECT_STREQ(library.First()->Name, "q2n3906xyz");
    EXPECT_TRUE(Exists(Path("V4.A")));

    // Version 0x60001: doubles in the current order when the block fits.
    BlImage v1;
    v1.FileHeader(kModelLibraryVersion1).Fixed("", 256).I32(1).ModelHeader(8 * 31, "DV1", kModelDiode, "m");
    for (int k = 0; k < 31; ++k) v1.F64(k == 1 ? 4e-15 : 0.5);
    std::string path1 = Path("V1.LBR");
    WriteFile(path1, v1.bytes);
    ASSERT_EQ(LoadModelLibrary(library, path1.c_str(), false), 0);
    EXPECT_EQ(Value(library.First(), "IS"), 4e-15);
    EXPECT_TRUE(Exists(Path("V1.A")));
}

TEST_F(BinLibTest, SortAndCleanUpOrderModelsByTypeAndName) {
    ModelLibrary library;
    struct Entry {
        int type;
        const char* name;
    } entries[] = {
        {kModelNpn, "Q2N2222"},   {kModelDiode, "d1N4148"}, {kModelNpn, "Q2N10"}, {kModelDiode, ""},
        {kModelDiode, "D1N4148"}, {kModelNpn, "q2n10"},     {kModelOpamp, "OA1"},
    };
    for (const Entry& e : entries) CopyTextBounded(library.AddNewModel(e.type)->Name, e.name, kLibraryNameSize);
    CleanUpModelLibrary(library);
    std::vector<std::string> names;
    for (LibraryModel* m = library.First(); m; m = ModelLibrary::Next(m)) names.push_back(m->Name);
    EXPECT_EQ(names, (std::vector<std::string>{"OA1", "d1N4148", "Q2N10", "Q2N2222"}));

    char buffer[40];
    EXPECT_STREQ(ModelTypeDisplayName(buffer, kModelBsim3N, sizeof buffer), "NMOS LEVEL 8 (BSIM 3)");
    EXPECT_STREQ(ModelTypeDisplayName(buffer, kModelDiode, sizeof buffer), "DIODE");
    char name1[] = "  a b.c.d  ";
    EXPECT_STREQ(SanitizeModelName(kModelBsim3N, name1), "a_b_c.d");
    char name2[] = "a.b";
    EXPECT_STREQ(SanitizeModelName(kModelDiode, name2), "a_b");
}

// The shipped library: the text form parses, every model passes the value
// checks, and the binary form holds the same models. With TW_WRITE_LIBRARY set
// to a path, the binary form is written there from the text form.
TEST_F(BinLibTest, ShippedLibraryTextAndBinaryAgree) {
    const std::string root = TW_SOURCE_DIR;
    std::string folder = root + "/data/library/";
    std::ifstream in(folder + "GENERIC.LIB", std::ios::binary);
    ASSERT_TRUE(in.good());

    CircuitModels* models = CreateCircuitModels(nullptr);
    std::vector<std::string> memos;
    std::string line, statement, comment;
    auto flush = [&]() {
        if (statement.empty()) return;
        StatementSource source{kSourceTextLine, 1, 0, 0};
        EXPECT_EQ(ParseModelStatement(models, statement.c_str(), source, 0, "GENERIC.LIB"), 0)
            << statement << ": " << LastMessageText();
        memos.push_back(comment);
        statement.clear();
    };
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line[0] == '+') {
            statement += " " + line.substr(1);
            continue;
        }
        flush();
        if (!line.empty() && line[0] == '*')
            comment = line.size() > 2 ? line.substr(2) : "";
        else if (!line.empty())
            statement = line;
    }
    flush();
    ASSERT_GE(models->ModelStatements.Count, 25);

    gSolver.AnalysisKind = 0;  // the value checks run as for an analysis
    ModelLibrary built;
    for (int row = 0; row < models->ModelStatements.Count; ++row) {
        ModelRecord* record = ResolveAko(models, -1, row, false, false);
        const char* name = models->ModelStatements.Entries[row].Name;
        ASSERT_NE(record, nullptr) << name << ": " << LastMessageText();
        for (int i = 0; i < ModelParamCount(record->ModelType); ++i)
            EXPECT_EQ(CheckModelParamValue(nullptr, 1, i, record->ModelType, &record->Values[i], name, false), 0)
                << name << " " << ModelTypeTable[record->ModelType].Params[i].Name;
        LibraryModel* m = built.AddNewModel(record->ModelType);
        ASSERT_NE(m, nullptr);
        CopyTextBounded(m->Name, name, sizeof m->Name);
        CopyTextBounded(m->Memo, memos[static_cast<size_t>(row)].c_str(), sizeof m->Memo);
        std::memcpy(m->Values, record->Values, sizeof(double) * ModelParamCount(record->ModelType));
    }
    gSolver.AnalysisKind = -1;
    DestroyCircuitModels(models);

    std::string binary = folder + "GENERIC.LBR";
    if (const char* out = std::getenv("TW_WRITE_LIBRARY")) {
        ASSERT_EQ(SaveModelLibrary(built, out), 0);
        binary = out;
    }
    ModelLibrary shipped;
    ASSERT_EQ(LoadModelLibrary(shipped, binary.c_str(), false), 0);
    ExpectSame(built, shipped);
}

}  // namespace
