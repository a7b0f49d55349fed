// Library index files: generation, models and subcircuits found through them,
// stale and damaged indexes built again, the inx folder for libraries in
// folders that cannot be written, and library files never written.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "core/paths.h"
#include "core/port.h"
#include "core/report_port.h"
#include "core/result.h"
#include "models/libindex.h"
#include "models/lookup.h"
#include "models/modelstmt.h"
#include "models/modeltypes.h"
#include "tests/models/fake_circuit_scopes.h"
#include "tests/support/tempdir.h"
#include "tests/support/test_reporter.h"

namespace {

using twtest::ReadWholeFile;

const char kLibrary[] =
    "* test library\r\n"
    ".MODEL D1 D (IS=1n N=1.5)\r\n"
    ".SUBCKT AMP in out\r\n"
    ".MODEL DINNER D (IS=2n)\r\n"
    ".SUBCKT INNER a b\r\n"
    ".ENDS\r\n"
    ".ENDS AMP\r\n"
    "  .macro MAC1 a b c=1\r\n"
    ".PARAM P1=2\r\n"
    ".MODEL M1 NMOS (LEVEL=1 VTO=1)\r\n"
    ".MODEL B3.1 NMOS (LEVEL=8 LMIN=1u LMAX=2u\r\n"
    "* the widths\r\n"
    "+ WMIN=1u WMAX=10u)\r\n"
    ".MODEL B3.2 NMOS (LEVEL=8 LMIN=2u LMAX=5u WMIN=1u)\r\n"
    ".model d2 d is=3n\r\n";

// Puts a file's modification time `seconds` into the past.
void AgeFile(const std::string& path, int seconds) {
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0) << path;
    timespec times[2] = {st.st_atim, st.st_mtim};
    times[0].tv_sec -= seconds;
    times[1].tv_sec -= seconds;
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

class LibIndexTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.Valid());
        savedLibraryPath = GetPathSetting(kPathLibrary);
        SetPathSetting(kPathLibrary, dir.c_str());
        SetHomeDirectory(dir.File("home").c_str());
        std::filesystem::create_directory(dir.File("home"));
        Renew(nullptr);
        ClearLastMessage();
    }
    void TearDown() override {
        DestroyCircuitModels(models);
        SetPathSetting(kPathLibrary, savedLibraryPath.c_str());
        SetHomeDirectory(nullptr);
    }
    // A fresh compile: new model statements, no index loaded.
    void Renew(const char* library = "NOM.LIB") {
        if (models) DestroyCircuitModels(models);
        models = CreateCircuitModels(nullptr);
        if (library) {
            ASSERT_EQ(AddLibraryFile(models, library, 0, nullptr, false), 0) << library;
        }
    }
    int Find(int type, const char* name, bool* reported = nullptr) {
        bool dummy = false;
        return FindModelByName(models, type, 1, name, reported ? reported : &dummy);
    }
    long Search(int mode, const char* name, char* buffer = nullptr, size_t size = 0, int type = kModelDiode) {
        LibrarySearch search;
        search.type = type;
        search.mode = mode;
        search.name = name;
        search.buffer = buffer;
        search.bufferSize = size;
        return FindInLibraries(models, search);
    }

    twtest::TempDir dir{"libindex_test"};
    std::string savedLibraryPath;
    CircuitModels* models = nullptr;
    FakeCircuitScopes scopes;
    ScopedPort<ModelCircuitScopes> scopesPort{InstallCircuitScopes, &scopes};
    ScopedPort<LibraryIndexes> indexPort{InstallLibraryIndexes, nullptr};
    ScopedPort<LibraryTexts> textPort{InstallLibraryTexts, nullptr};
    ScopedTestReporter reporter{[this](const MessageRequest& request) {
        shown.push_back(request.code() == kResultPending ? PendingCode() : request.code());
        return answer;
    }};
    std::vector<int> shown;
    int answer = 0;
    bool installed = [] {
        InstallModelLibraryServices();
        return true;
    }();
};

TEST_F(LibIndexTest, ModelsSubcircuitsAndMacrosAreFoundThroughTheIndex) {
    std::string path = dir.Write("NOM.LIB", kLibrary);
    std::string text = kLibrary;
    Renew();

    int row = Find(kModelDiode, "D1");
    ASSERT_GE(row, 0) << LastMessageText();
    const ModelStatement& st = models->ModelStatements.Entries[row];
    EXPECT_STREQ(st.SourceFile, path.c_str());
    EXPECT_EQ(st.SourceKind, kSourceTextLine);
    EXPECT_EQ(st.Scope, 1);
    EXPECT_EQ(st.SourceRef, 1);  // the line of the statement, counted from 0
    EXPECT_TRUE(std::filesystem::exists(dir.File("NOM_LIB.INX")));
    // A lower-case statement is found by its upper-case name; one inside a
    // subcircuit body is not a library model.
    EXPECT_GE(Find(kModelDiode, "D2"), 0);
    bool reported = true;
    EXPECT_EQ(Find(kModelDiode, "DINNER", &reported), -1);
    EXPECT_FALSE(reported);

    char buffer[kPathSize] = "";
    EXPECT_EQ(Search(kFindSubcircuit, "AMP", buffer, sizeof buffer), static_cast<long>(text.find(".SUBCKT AMP")));
    EXPECT_STREQ(buffer, path.c_str());
    EXPECT_EQ(Search(kFindSubcircuit, "INNER"), -1);  // only first-level subcircuits
    // The macro's place is where its text after the name begins.
    EXPECT_EQ(Search(kFindMacroPosition, "MAC1", buffer, sizeof buffer),
              static_cast<long>(text.find("MAC1") + std::strlen("MAC1")));
    char macro[8];  // a macro text longer than the caller's buffer is cut
    EXPECT_EQ(Search(kFindMacro, "MAC1", macro, sizeof macro), 0);
    EXPECT_STREQ(macro, "a b c=1");

    // MOS models carry their binning ranges: only all four make a variant.
    std::vector<std::string> log;
    row = FindPartBinnedModel(models, kModelNmos, 1, "B3", 1.5e-6, 5e-6, &log);
    ASSERT_GE(row, 0);
    EXPECT_STREQ(models->ModelStatements.Entries[row].Name, "B3.1");
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0], "Found B3.1 LEVEL=8 LMIN=1e-06 LMAX=2e-06 WMIN=1e-06 MAX=1e-05 in " + path);
    EXPECT_EQ(FindPartBinnedModel(models, kModelNmos, 1, "B3", 3e-6, 5e-6, nullptr), -1);

    std::vector<std::string> names;
    LibrarySearch list;
    list.type = kModelNmos;
    list.mode = kListModelsAll;
    list.list = &names;
    FindInLibraries(models, list);
    EXPECT_EQ(names, (std::vector<std::string>{"M1", "B3.1", "B3.2"}));

    EXPECT_EQ(ReadWholeFile(path), text);  // the library is never written
    EXPECT_TRUE(shown.empty());
}

TEST_F(LibIndexTest, ChangedLibrariesAreIndexedAgain) {
    struct Case {
        const char* what;
        bool changeNamedLibrary;  // else the master library itself
    } cases[] = {{"the library itself", false}, {"a library it names", true}};
    for (const Case& c : cases) {
        std::string nom = dir.Write("NOM.LIB", ".LIB \"SUB.LIB\" ; the rest\n.MODEL DA D (IS=1n)\n");
        std::string sub = dir.Write("SUB.LIB", ".MODEL DB D (IS=2n)\n");
        Renew();
        ASSERT_GE(Find(kModelDiode, "DB"), 0) << c.what;
        EXPECT_EQ(Find(kModelDiode, "DNEW"), -1) << c.what;
        std::string index = dir.File("NOM_LIB.INX");
        AgeFile(index, 100);
        AgeFile(nom, 200);
        AgeFile(sub, 200);
        // Each library is indexed once, in the master's index.
        EXPECT_FALSE(std::filesystem::exists(dir.File("SUB_LIB.INX"))) << c.what;

        if (c.changeNamedLibrary)
            dir.Write("SUB.LIB", ".MODEL DB D (IS=2n)\n.MODEL DNEW D (IS=5n)\n");
        else
            dir.Write("NOM.LIB", ".LIB \"SUB.LIB\"\n.MODEL DA D (IS=1n)\n.MODEL DNEW D (IS=5n)\n");
        Renew();
        EXPECT_GE(Find(kModelDiode, "DNEW"), 0) << c.what;
        EXPECT_GE(Find(kModelDiode, "DB"), 0) << c.what;
    }
    EXPECT_TRUE(shown.empty());
}

TEST_F(LibIndexTest, LibrariesNamingEachOtherAreIndexedOnce) {
    std::string nom = dir.Write("NOM.LIB", ".LIB NOM.LIB\n.LIB SUB.LIB\n.MODEL DA D\n");
    std::string sub = dir.Write("SUB.LIB", ".LIB \"NOM.LIB\"\n.MODEL DB D\n");
    Renew();
    EXPECT_GE(Find(kModelDiode, "DA"), 0);
    EXPECT_GE(Find(kModelDiode, "DB"), 0);
    EXPECT_EQ(Search(kFindIndexedFile, sub.c_str()), 0);
    // One file record per library, however often they name each other.
    std::string index = ReadWholeFile(dir.File("NOM_LIB.INX"));
    size_t records = 0;
    for (size_t at = index.find(dir.Path()); at != std::string::npos; at = index.find(dir.Path(), at + 1)) ++records;
    EXPECT_EQ(records, 2u);
    EXPECT_TRUE(shown.empty());
}

TEST_F(LibIndexTest, DamagedIndexesAreBuiltAgain) {
    std::string path = dir.Write("NOM.LIB", kLibrary);
    Renew();
    ASSERT_GE(Find(kModelDiode, "D1"), 0);
    const std::string index = dir.File("NOM_LIB.INX");
    const std::string good = ReadWholeFile(index);
    ASSERT_GT(good.size(), 40u);
    ASSERT_TRUE(IsValidIndexBlock(good.data() + 2, static_cast<int32_t>(good.size() - 2)));

    auto withCount = [&](int32_t count) {
        std::string bytes = good;
        std::memcpy(&bytes[2], &count, 4);
        return bytes;
    };
    int32_t records;
    std::memcpy(&records, good.data() + 2, 4);
    std::string unfinished = good;
    unfinished[0] = unfinished[1] = '\xFF';
    struct Case {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"empty", ""},
        {"cut after its header, still being written", std::string("\xFF\xFF\0\0\0\0", 6)},
        {"written part way", unfinished},
        {"cut inside a record", good.substr(0, good.size() - 3)},
        {"more records announced than held", withCount(records + 1)},
        {"fewer records announced than held", withCount(records - 1)},
        {"a negative count", withCount(-5)},
        {"an older version", std::string("\x06\x00", 2) + good.substr(2)},
        {"a text length past the end", good.substr(0, 11) + std::string("\xFF\x7F", 2) + good.substr(13)},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(c.bytes.size() > 2 &&
                     IsValidIndexBlock(c.bytes.data() + 2, static_cast<int32_t>(c.bytes.size() - 2)) && c.bytes[0] == 7)
            << c.what;
        dir.Write("NOM_LIB.INX", c.bytes);  // newer than the library: only its contents tell
        Renew();
        EXPECT_GE(Find(kModelDiode, "D1"), 0) << c.what;
        EXPECT_EQ(ReadWholeFile(index), good) << c.what;
    }
    EXPECT_TRUE(shown.empty());
}

TEST_F(LibIndexTest, IndexFromTheFutureIsBuiltAgain) {
    dir.Write("NOM.LIB", ".MODEL DA D (IS=1n)\n");
    Renew();
    ASSERT_GE(Find(kModelDiode, "DA"), 0);
    const std::string index = dir.File("NOM_LIB.INX");
    // An index dated a day ahead that names no model: never trusted.
    std::string bytes = ReadWholeFile(index);
    dir.Write("NOM.LIB", ".MODEL DA D (IS=1n)\n.MODEL DB D (IS=1n)\n");
    dir.Write("NOM_LIB.INX", bytes);
    AgeFile(index, -86400);
    Renew();
    EXPECT_GE(Find(kModelDiode, "DB"), 0);
    EXPECT_TRUE(shown.empty());
}

TEST_F(LibIndexTest, IndexPaths) {
    struct Case {
        std::string library;
        std::string index;
    } cases[] = {
        {dir.File("NOM.LIB"), dir.File("NOM_LIB.INX")},
        {dir.File("models.lib"), dir.File("models_lib.INX")},
        {dir.File("plain"), dir.File("plain.INX")},
        {dir.File("a.b.lib"), dir.File("a.b_lib.INX")},
    };
    for (const Case& c : cases) EXPECT_EQ(LibraryIndexPath(c.library.c_str()), c.index) << c.library;
    // In the inx folder, the "_" that were in the path tell where they stood.
    EXPECT_EQ(InxFolderPath("/srv/my_models/NOM.LIB"), dir.File("home") + "/inx/_srv_my_models_NOM.LIB2.inx");
    EXPECT_NE(InxFolderPath("/srv/my_models/NOM.LIB"), InxFolderPath("/srv/my/models/NOM.LIB"));
}

// Writes as an ordinary user for its lifetime when the tests run as root (who
// may write into any folder).
class AsOrdinaryUser {
public:
    AsOrdinaryUser() {
        if (geteuid() == 0) switched_ = seteuid(65534) == 0;
    }
    ~AsOrdinaryUser() {
        if (switched_) {
            EXPECT_EQ(seteuid(0), 0);
        }
    }
    bool Ready() const { return geteuid() != 0; }

private:
    bool switched_ = false;
};

TEST_F(LibIndexTest, ReadOnlyFolderPutsTheIndexIntoTheInxFolder) {
    std::filesystem::create_directory(dir.File("ro"));
    std::string path = dir.Write("ro/NOM.LIB", ".MODEL DRO D (IS=1n)\n");
    chmod(dir.c_str(), 0755);
    chmod(path.c_str(), 0444);
    chmod(dir.File("ro").c_str(), 0555);
    chmod(dir.File("home").c_str(), 0777);
    SetPathSetting(kPathLibrary, dir.File("ro").c_str());
    {
        AsOrdinaryUser user;
        if (!user.Ready()) GTEST_SKIP() << "cannot give up root's rights";
        Renew();
        EXPECT_GE(Find(kModelDiode, "DRO"), 0) << LastMessageText();
        EXPECT_EQ(LibraryIndexPath(path.c_str()), InxFolderPath(path.c_str()));
        Renew();
        EXPECT_GE(Find(kModelDiode, "DRO"), 0);
    }
    EXPECT_TRUE(std::filesystem::exists(InxFolderPath(path.c_str())));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.File("ro")), {}), 1);
    EXPECT_EQ(ReadWholeFile(path), ".MODEL DRO D (IS=1n)\n");
    chmod(dir.File("ro").c_str(), 0755);
    EXPECT_TRUE(shown.empty());
}

TEST_F(LibIndexTest, ShippedLibraryModelsAreFound) {
    const std::string shipped = std::string(TW_SOURCE_DIR) + "/data/library";
    std::vector<std::pair<std::string, std::string>> originals;
    for (const char* name : {"NOM.LIB", "GENERIC.LIB", "GENERIC.LBR", "PASSIVE.LIB"}) {
        ASSERT_TRUE(std::filesystem::copy_file(shipped + "/" + name, dir.File(name)));
        originals.emplace_back(dir.File(name), ReadWholeFile(dir.File(name)));
    }
    Renew("");  // no name: the master library NOM.LIB
    int row = Find(kModelDiode, "DSIGNAL");
    ASSERT_GE(row, 0) << LastMessageText();
    EXPECT_STREQ(models->ModelStatements.Entries[row].SourceFile, dir.File("GENERIC.LIB").c_str());
    // A model whose base model comes from the library too.
    row = Find(kModelDiode, "DZ12V");
    ASSERT_GE(row, 0);
    ModelRecord* record = FindModel(models, row);
    ASSERT_NE(record, nullptr) << LastMessageText();
    EXPECT_DOUBLE_EQ(record->Values[FindModelParamIndex(kModelDiode, "BV")], 12);
    EXPECT_DOUBLE_EQ(record->Values[FindModelParamIndex(kModelDiode, "IS")], 1e-9);
    EXPECT_GE(Find(kModelNpn, "QNPN_SS"), 0);
    for (const auto& [file, bytes] : originals) EXPECT_EQ(ReadWholeFile(file), bytes) << file;
    EXPECT_TRUE(shown.empty());
}

TEST_F(LibIndexTest, BinaryLibrariesAreIndexedAndLeftAsTheyAre) {
    dir.Write("NOM.LIB", ".LIB GENERIC.LBR\n.LIB OLD.LBR\n");
    ASSERT_TRUE(
        std::filesystem::copy_file(std::string(TW_SOURCE_DIR) + "/data/library/GENERIC.LBR", dir.File("GENERIC.LBR")));
    // A library of an older format (version 4: float values, short names).
    std::string old("\x04\x00\x01\x00\x00\x00\x08\x00", 8);
    old += std::string("DOLD") + std::string(6, '\0');
    old += std::string(1, static_cast<char>(kModelDiode)) + std::string(1, '\0');
    old += std::string(42, '\0');
    const float values[2] = {1, 2};
    old.append(reinterpret_cast<const char*>(values), sizeof values);
    dir.Write("OLD.LBR", old);
    Renew();
    int row = Find(kModelDiode, "DSIGNAL");
    ASSERT_GE(row, 0) << LastMessageText();
    EXPECT_EQ(models->ModelStatements.Entries[row].SourceKind, kSourceBinaryLibrary);
    EXPECT_GE(Find(kModelDiode, "DOLD"), 0) << LastMessageText();
    // Not converted to the current format: the search only reads.
    EXPECT_EQ(ReadWholeFile(dir.File("OLD.LBR")), old);
    EXPECT_FALSE(std::filesystem::exists(dir.File("OLD.A")));
}

TEST_F(LibIndexTest, FaultyLibrariesLeaveNoIndex) {
    struct Case {
        const char* what;
        const char* text;
        int message;
    } cases[] = {
        {"a stray .ENDS", ".MODEL DA D\n.ENDS\n", kMsgEndsOutsideSubckt},
        {"an unknown model type", ".MODEL DA D\n.MODEL DX FOO (A=1)\n", 11855},
        {"a model without type", ".MODEL DA D\n.MODEL DX\n", 11859},
        {"a missing library", ".LIB NOWHERE.LIB\n", -1},
        {"a device named as a library", ".LIB /dev/zero\n", -1},
    };
    for (const Case& c : cases) {
        dir.Write("NOM.LIB", c.text);
        std::filesystem::remove(dir.File("NOM_LIB.INX"));
        Renew();
        shown.clear();
        bool reported = false;
        EXPECT_EQ(Find(kModelDiode, "DA", &reported), -1) << c.what;
        EXPECT_TRUE(reported) << c.what;
        ASSERT_FALSE(shown.empty()) << c.what;
        if (c.message > 0) {
            EXPECT_EQ(shown.front(), c.message) << c.what;
        }
        EXPECT_FALSE(std::filesystem::exists(dir.File("NOM_LIB.INX"))) << c.what;
        EXPECT_EQ(models->ModelStatements.Count, 0) << c.what;
    }
}

// An edited window of a library must be saved before the library is indexed.
class EditedLibrary final : public LibraryDocuments {
public:
    bool IsEdited(CircuitModels*, const char* path) override { return edited && path == this->path; }
    int Save(const char*) override {
        ++saves;
        edited = false;
        return 0;
    }
    bool TakeChangedSinceIndex(const char*) override { return false; }
    bool IsCompiledCircuit(CircuitModels*, const char*, bool* unsaved) override {
        *unsaved = false;
        return false;
    }
    int ReadCircuitPages(const char*, std::vector<std::string>* out) override {
        if (pages.empty()) return kResultNotBuilt;
        *out = pages;
        return 0;
    }
    std::string path;
    std::vector<std::string> pages;
    bool edited = true;
    int saves = 0;
};

TEST_F(LibIndexTest, EditedLibrariesAreSavedFirst) {
    EditedLibrary documents;
    documents.path = dir.Write("NOM.LIB", ".MODEL DA D\n");
    ScopedPort<LibraryDocuments> port(InstallLibraryDocuments, &documents);
    answer = 7;  // No
    Renew();
    bool reported = false;
    EXPECT_EQ(Find(kModelDiode, "DA", &reported), -1);
    EXPECT_TRUE(reported);
    EXPECT_EQ(shown, (std::vector<int>{kMsgIndexSaveEdited, -1}));  // the question, then the failure
    EXPECT_EQ(documents.saves, 0);
    answer = 6;  // Yes
    shown.clear();
    Renew();
    EXPECT_GE(Find(kModelDiode, "DA"), 0);
    EXPECT_EQ(documents.saves, 1);
    EXPECT_EQ(shown, std::vector<int>{kMsgIndexSaveEdited});
}

TEST_F(LibIndexTest, CircuitFilesServeTheirTextPages) {
    dir.Write("NOM.LIB", ".LIB C.CIR\n");
    const std::string circuit = dir.Write("C.CIR", "[Main]\r\nFileType=CIR\r\nVersion=9.00\r\n");
    EditedLibrary documents;
    documents.edited = false;
    ScopedPort<LibraryDocuments> port(InstallLibraryDocuments, &documents);
    // Without the circuit documents the circuit cannot be read: said, not hidden.
    Renew();
    bool reported = false;
    EXPECT_EQ(Find(kModelDiode, "DP1", &reported), -1);
    EXPECT_TRUE(reported);
    EXPECT_FALSE(std::filesystem::exists(dir.File("NOM_LIB.INX")));

    documents.pages = {"* page 0\n.MODEL DP0 D (IS=1n)\n", "R1 1 0 1k\n\n.MODEL DP1 D (IS=3n)\n"};
    shown.clear();
    Renew();
    int row = Find(kModelDiode, "DP1");
    ASSERT_GE(row, 0) << LastMessageText();
    const ModelStatement& st = models->ModelStatements.Entries[row];
    EXPECT_STREQ(st.SourceFile, circuit.c_str());
    EXPECT_EQ(st.SourceRef, 2);  // its line in the page
    EXPECT_EQ(st.SourceAux, 1);  // the page
    EXPECT_GE(Find(kModelDiode, "DP0"), 0);
    EXPECT_TRUE(shown.empty());
}

TEST(LibraryTextScanner, StatementsWithTheirContinuationLines) {
    const std::string text =
        "* head\r\n"
        "  .MODEL A D (IS=1\r\n"
        "* note\r\n"
        "\r\n"
        "+ N=2)\r\n"
        "+ ignored comment tail\n"
        "* trailing comment\n"
        "\n"
        "+ XTI=3 after an empty line\n"
        ".END";
    LibraryTextScanner scanner(text.data(), static_cast<long>(text.size()));
    std::vector<std::string> statements;
    std::vector<int> lines;
    LibraryStatementSpan span;
    while (scanner.Next(&span)) {
        statements.push_back(text.substr(span.position, span.end - span.position));
        lines.push_back(span.line);
    }
    ASSERT_EQ(statements.size(), 2u);
    EXPECT_EQ(statements[0].substr(0, 6), ".MODEL");
    EXPECT_TRUE(statements[0].ends_with("+ XTI=3 after an empty line")) << statements[0];
    EXPECT_EQ(statements[1], ".END");
    EXPECT_EQ(lines, (std::vector<int>{1, 9}));
}

TEST(FindParamValueInText, WholeNamesAndTheirValues) {
    struct Case {
        const char* text;
        const char* name;
        bool found;
        double value;
    } cases[] = {
        {" B NMOS (LEVEL=8 LMIN=1u)", "LEVEL", true, 8},
        {" B NMOS (XLEVEL=3 level = 2)", "LEVEL", true, 2},
        {" B NMOS (LMIN={2u*2})", "LMIN", true, 4e-6},
        {" B NMOS (LEVEL=8\n+LMIN=3u)", "LMIN", true, 3e-6},
        {" B NMOS (X_LMIN=1 LMIN=5)", "LMIN", true, 5},
        {" B NMOS (LMINX=1)", "LMIN", false, 0},
        {" B NMOS (LMIN)", "LMIN", false, 0},
        {" B NMOS (LMIN=)", "LMIN", false, 0},
    };
    for (const Case& c : cases) {
        double value = 0;
        EXPECT_EQ(FindParamValueInText(c.text, c.name, &value), c.found) << c.text;
        if (c.found) {
            EXPECT_DOUBLE_EQ(value, c.value) << c.text;
        }
    }
}

}  // namespace
