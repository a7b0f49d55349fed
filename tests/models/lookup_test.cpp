// Model lookup: scopes searched outward, library lists, models brought in from
// binary libraries, binned variants and the walk over library index records.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "core/memory.h"
#include "core/paths.h"
#include "core/port.h"
#include "core/report_port.h"
#include "core/result.h"
#include "expr/messages.h"
#include "expr/runvars.h"
#include "expr/symbols.h"
#include "models/binlib.h"
#include "models/lookup.h"
#include "models/messages.h"
#include "models/modelstmt.h"
#include "models/modeltypes.h"
#include "tests/models/fake_circuit_scopes.h"
#include "tests/models/fake_library_index.h"
#include "tests/support/tempdir.h"

namespace {

class LookupTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.Valid());
        savedLibraryPath = GetPathSetting(kPathLibrary);
        SetPathSetting(kPathLibrary, dir.c_str());
        models = CreateCircuitModels(nullptr);
        savedPrivateAnalog = GlobalSettings.privateanalog;
        GlobalSettings.privateanalog = 0;
        ClearLastMessage();
    }
    void TearDown() override {
        DestroyCircuitModels(models);
        GlobalSettings.privateanalog = savedPrivateAnalog;
        SetPathSetting(kPathLibrary, savedLibraryPath.c_str());
    }
    int Parse(const char* text, int scope = 1) {
        StatementSource source{kSourceTextLine, scope, 0, 0};
        EXPECT_EQ(ParseModelStatement(models, text, source, 0, ""), 0) << text << ": " << LastMessageText();
        return models->ModelStatements.Count - 1;
    }
    std::string Path(const char* name) const { return dir.Path() + "/" + name; }
    // A binary library with one model per entry.
    struct LibModel {
        int type;
        const char* name;
        const char* memo;
        std::vector<std::pair<const char*, double>> values;
    };
    std::string WriteLibrary(const char* file, const std::vector<LibModel>& list) {
        ModelLibrary library;
        for (const LibModel& e : list) {
            LibraryModel* m = library.AddNewModel(e.type);
            CopyTextBounded(m->Name, e.name, sizeof m->Name);
            CopyTextBounded(m->Memo, e.memo, sizeof m->Memo);
            for (const auto& [param, value] : e.values) m->Values[FindModelParamIndex(e.type, param)] = value;
        }
        std::string path = Path(file);
        EXPECT_EQ(SaveModelLibrary(library, path.c_str()), 0);
        return path;
    }

    twtest::TempDir dir{"lookup_test"};
    std::string savedLibraryPath;
    CircuitModels* models = nullptr;
    FakeCircuitScopes scopes;
    ScopedPort<ModelCircuitScopes> scopesPort{InstallCircuitScopes, &scopes};
    int32_t savedPrivateAnalog = 0;
};

TEST_F(LookupTest, ScopesAreSearchedOutward) {
    int mainM = Parse(".MODEL M D IS=1f");
    int subM = Parse(".MODEL M D IS=2f", 2);
    int lpnp = Parse(".MODEL QL LPNP BF=20");
    int pnp = Parse(".MODEL QP PNP BF=30", 2);
    int bsim = Parse(".MODEL MB NMOS LEVEL=8");
    int global = Parse(".MODEL G D", 0);
    struct Case {
        int type;
        int scope;
        const char* name;
        int row;
    } cases[] = {
        {kModelDiode, 1, "M", mainM},  {kModelDiode, 2, "M", subM}, {kModelDiode, 3, "M", subM},
        {kModelDiode, 4, "M", mainM},  {kModelDiode, 0, "M", -1},   {kModelDiode, 3, "G", global},
        {kModelNpn, 2, "M", -1},       {kModelPnp, 2, "QL", lpnp},  {kModelLpnp, 3, "QP", pnp},
        {kModelBsim3N, 1, "MB", bsim}, {kModelDiode, 1, "m", -1},   {kModelDiode, 1, nullptr, -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FindModelByName(models, c.type, c.scope, c.name, nullptr), c.row)
            << c.type << " " << c.scope << " " << (c.name ? c.name : "null");
    // The record of a subcircuit's own model is its own.
    ModelRecord* record = ResolveAko(models, -1, FindModelByName(models, kModelDiode, 3, "M", nullptr), false, false);
    ASSERT_NE(record, nullptr);
    EXPECT_DOUBLE_EQ(record->Values[FindModelParamIndex(kModelDiode, "IS")], 2e-15);
}

TEST_F(LookupTest, MissingModelsAreReported) {
    EXPECT_EQ(FindModelOrReport(models, kModelDiode, 1, "NOPE"), -1);
    EXPECT_EQ(LastMessageId(), 10834);
    EXPECT_STREQ(LastMessageText(), "%EMissing model statement 'NOPE'.");
    EXPECT_EQ(FindPartModelByName(models, kModelUIo, 2, " IO_STD "), -1);
    EXPECT_EQ(LastMessageId(), 10852);
    EXPECT_STREQ(LastMessageText(), "%EMissing I/O model statement 'IO_STD'.");
}

TEST_F(LookupTest, LibraryListsHoldEachLibraryOnce) {
    std::ofstream(Path("NOM.LIB")) << "* master\r\n";
    std::ofstream(Path("X.LIB")) << "* x\r\n";
    struct Case {
        const char* name;
        int list;
        bool searchAll;
        int result;
        int index;
        const char* path;  // under the folder
    } cases[] = {
        {"", 0, false, 0, 0, "NOM.LIB"},
        {"\"NOM.LIB\" ; the master", 0, false, 0, 0, "NOM.LIB"},
        {"X.LIB", 0, false, 0, 1, "X.LIB"},
        {"x.lib", 0, false, kResultNoSuchFile, -1, nullptr},  // names are case-sensitive
        {"X.LIB", 1, false, 0, 0, "X.LIB"},                   // list 1 is searched alone ...
        {"NOM.LIB", 1, true, 0, 0, "NOM.LIB"},                // ... unless all lists are searched
    };
    for (const Case& c : cases) {
        int index = -2;
        EXPECT_EQ(AddLibraryFile(models, c.name, c.list, &index, c.searchAll), c.result) << c.name;
        EXPECT_EQ(index, c.index) << c.name;
        if (c.result) {
            EXPECT_STREQ(PendingText(), c.name);
        }
        if (c.path) {
            EXPECT_EQ(std::string(models->LibraryLists[c.searchAll ? 0 : c.list].Entries[index].Path), Path(c.path))
                << c.name;
        }
    }
    EXPECT_EQ(models->LibraryLists[0].Count, 2);
    EXPECT_EQ(models->LibraryLists[1].Count, 1);
    ClearLibraryList(models, 0);
    EXPECT_EQ(models->LibraryLists[0].Count, 0);
}

TEST_F(LookupTest, BinaryLibraryModelsAreBroughtInOnce) {
    std::string path = WriteLibrary("MODELS.LBR", {
                                                      {kModelDiode, "dlib", "library diode", {{"IS", 5e-15}}},
                                                      {kModelPnp, "QPL", "", {{"BF", 77}}},
                                                      {kModelDiode, "DOTHER", "", {}},
                                                  });
    ASSERT_EQ(AddLibraryFile(models, "MODELS.LBR", 0, nullptr, false), 0);
    int row = FindModelOrReport(models, kModelDiode, 3, "DLIB");
    ASSERT_GE(row, 0) << LastMessageText();
    const ModelStatement& st = models->ModelStatements.Entries[row];
    EXPECT_EQ(st.SourceKind, kSourceBinaryLibrary);
    EXPECT_EQ(st.Scope, 1);
    EXPECT_STREQ(st.Memo, "library diode");
    EXPECT_EQ(std::string(st.SourceFile), path);
    ModelRecord* record = ResolveAko(models, -1, row, false, false);
    ASSERT_NE(record, nullptr);
    EXPECT_DOUBLE_EQ(record->Values[FindModelParamIndex(kModelDiode, "IS")], 5e-15);

    // An LPNP part finds a PNP library model; names of a type are listed.
    int pnp = FindModelByName(models, kModelLpnp, 1, "QPL", nullptr);
    ASSERT_GE(pnp, 0);
    EXPECT_EQ(models->ModelStatements.Entries[pnp].Type, kModelPnp);
    std::vector<std::string> names;
    LibrarySearch list;
    list.type = kModelDiode;
    list.mode = kListModelsAll;
    list.list = &names;
    EXPECT_EQ(FindInLibraries(models, list), -1);
    EXPECT_EQ(names, (std::vector<std::string>{"DLIB", "DOTHER"}));

    // A second request does not search the libraries again.
    ASSERT_EQ(unlink(path.c_str()), 0);
    int count = models->ModelStatements.Count;
    EXPECT_EQ(FindModelByName(models, kModelDiode, 2, "DLIB", nullptr), row);
    EXPECT_EQ(models->ModelStatements.Count, count);
}

TEST_F(LookupTest, BinnedVariantsAreChosenByLengthAndWidth) {
    int b1 = Parse(".MODEL B.1 NMOS (LEVEL=8 LMIN=1u LMAX=2u WMIN=1u WMAX=10u)");
    int b2 = Parse(".MODEL B.2 NMOS (LEVEL=8 LMIN=2u LMAX=5u WMIN=1u WMAX=10u)");
    Parse(".MODEL B.3 NMOS (LEVEL=8 LMIN=5u LMAX=9u WMIN=1u)");          // no WMAX: not binned
    Parse(".MODEL BX NMOS (LEVEL=8 LMIN=5u LMAX=9u WMIN=1u WMAX=10u)");  // not a variant of B
    struct Case {
        double l;
        double w;
        int row;
    } cases[] = {{3e-6, 5e-6, b2}, {2e-6, 5e-6, b1}, {7e-6, 5e-6, -1}, {3e-6, 20e-6, -1}};
    for (const Case& c : cases)
        EXPECT_EQ(FindBinnedModelInScope(models, kModelBsim3N, 3, "B", c.l, c.w), c.row) << c.l << " " << c.w;
    EXPECT_EQ(models->ModelStatements.Entries[b1].BinLevel, 8);
    EXPECT_EQ(models->Notes.Count, 0);

    // From a library: the candidates are logged and the one that fits is brought in.
    WriteLibrary("BIN.LBR",
                 {
                     {kModelBsim3N, "C.1", "", {{"LMIN", 1e-6}, {"LMAX", 2e-6}, {"WMIN", 1e-6}, {"WMAX", 1e-5}}},
                     {kModelBsim3N, "C.2", "", {{"LMIN", 2e-6}, {"LMAX", 5e-6}, {"WMIN", 1e-6}, {"WMAX", 1e-5}}},
                 });
    ASSERT_EQ(AddLibraryFile(models, "BIN.LBR", 0, nullptr, false), 0);
    std::vector<std::string> log;
    int row = FindPartBinnedModel(models, kModelNmos, 2, "C", 3e-6, 2e-6, &log);
    ASSERT_GE(row, 0);
    EXPECT_STREQ(models->ModelStatements.Entries[row].Name, "C.2");
    EXPECT_EQ(models->ModelStatements.Entries[row].LevelType, kModelBsim3N);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].rfind("Found C.1 LEVEL=8 LMIN=1e-06 LMAX=2e-06 WMIN=1e-06 MAX=1e-05 in ", 0), 0u) << log[0];
}

// The index contents come from a file: a damaged block ends the walk.
TEST_F(LookupTest, IndexRecordsAreWalkedWithinBounds) {
    std::string lbr = WriteLibrary("IDX.LBR", {{kModelDiode, "DIDX", "", {{"N", 1.9}}}});
    auto counted = [](std::string& out, const std::string& text) {
        int16_t n = static_cast<int16_t>(text.size());
        out.append(reinterpret_cast<const char*>(&n), 2);
        out += text;
    };
    auto i32 = [](std::string& out, int32_t v) { out.append(reinterpret_cast<const char*>(&v), 4); };
    std::string index;
    i32(index, 5);
    index += '\x03';
    i32(index, 0);
    counted(index, lbr);
    index += '\0';
    index += '\x14';
    counted(index, "DIDX");
    index += '\x01';
    index += '\x02';
    i32(index, 0);
    counted(index, "/lib/amps.lib");
    index += '\0';
    index += '\x15';
    counted(index, "AMP");
    i32(index, 1234);
    i32(index, 40);
    index += '\x14';
    counted(index, "DTEXT");
    index += '\x01';
    i32(index, 99);
    i32(index, 3);

    FakeLibraryIndex indexFiles;
    ScopedPort<LibraryIndexes> indexPort(InstallLibraryIndexes, &indexFiles);
    std::ofstream(Path("NOM.LIB")) << "* master\r\n";
    struct Case {
        const char* what;
        size_t cut;  // bytes of the index kept
        int mode;
        const char* name;
        long result;
    } cases[] = {
        {"a subcircuit gives its position", std::string::npos, kFindSubcircuit, "AMP", 1234},
        {"a model of a text library waits for the text reader", std::string::npos, kFindModel, "DTEXT", -1},
        {"a file among the indexed files", std::string::npos, kFindIndexedFile, "/lib/amps.lib", 0},
        {"a cut record", 40, kFindSubcircuit, "AMP", -1},
        {"a cut text", 12, kFindIndexedFile, "/lib/amps.lib", -1},
        {"a binary model is brought in", std::string::npos, kFindModel, "DIDX", -2},
    };
    for (const Case& c : cases) {
        indexFiles.contents = index.substr(0, c.cut);
        ClearLibraryList(models, 0);
        ASSERT_EQ(AddLibraryFile(models, "NOM.LIB", 0, nullptr, false), 0);
        char buffer[300] = "";
        LibrarySearch search;
        search.type = kModelDiode;
        search.mode = c.mode;
        search.name = c.name;
        search.buffer = buffer;
        search.bufferSize = sizeof buffer;
        long result = FindInLibraries(models, search);
        if (c.result == -2) {
            ASSERT_GE(result, 0) << c.what;
            EXPECT_STREQ(models->ModelStatements.Entries[result].Name, "DIDX");
        } else {
            EXPECT_EQ(result, c.result) << c.what;
        }
        if (c.result == 1234) {
            EXPECT_STREQ(buffer, "/lib/amps.lib");
        }
    }
    // An unknown record kind ends the search.
    indexFiles.contents = index;
    indexFiles.contents[4] = '\x63';
    ClearLibraryList(models, 0);
    ASSERT_EQ(AddLibraryFile(models, "NOM.LIB", 0, nullptr, false), 0);
    LibrarySearch search;
    search.type = kModelDiode;
    search.name = "DIDX";
    EXPECT_EQ(FindInLibraries(models, search), -1);
}

}  // namespace
