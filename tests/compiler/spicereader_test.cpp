// The SPICE text reader: logical lines, dialect trailers, statement dispatch
// through the two tables, include files, device lines into parts and nodes,
// and the messages that point at the failing statement.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cctype>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "compiler/compiled.h"
#include "compiler/defines.h"
#include "compiler/session.h"
#include "compiler/setup.h"
#include "compiler/spicedevices.h"
#include "compiler/spicereader.h"
#include "compiler/spicetables.h"
#include "compiler/support.h"
#include "core/desktop.h"
#include "core/dialect.h"
#include "core/memory.h"
#include "core/paths.h"
#include "core/report_port.h"
#include "core/result.h"
#include "document/attributes.h"
#include "document/ctdoc.h"
#include "document/spicedoc.h"
#include "expr/devicelist.h"
#include "models/lookup.h"
#include "models/modelstmt.h"
#include "shell/document.h"
#include "tests/support/tempdir.h"
#include "tests/support/test_reporter.h"

namespace {

// Reads every logical line of a text with the flags.
std::vector<std::string> Lines(const std::string& text, int flags, std::vector<int>* startLines = nullptr) {
    TextFile file;
    char* block = static_cast<char*>(MemAlloc(text.size() + 1));
    std::memcpy(block, text.c_str(), text.size() + 1);
    file.AttachMemory(block, static_cast<long>(text.size()), true);
    std::vector<std::string> lines;
    std::string line;
    while (ReadSpiceLine(file, line, flags) == 0) {
        lines.push_back(line);
        if (startLines) startLines->push_back(file.statementLine);
    }
    file.Close();
    return lines;
}

TEST(SpiceLineTest, ContinuationsJoinCommentsBlankAndCaseFolds) {
    std::vector<int> starts;
    const auto lines = Lines(
        "title line\n"
        "r1 1 2 10k\n"
        "* a comment inside\n"
        "+ tc=0.001\n"
        "\n"
        "  c1 2 0 1n ; a trailing comment\n"
        "V1 1 0 1 ;$TWE keep\n"
        ".warning \"Mixed Case\" v(1)>1\n",
        kSpiceLineUpper, &starts);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], "TITLE LINE");
    // The comment line and the '+' become blanks; runs of blanks stay.
    EXPECT_EQ(lines[1], "R1 1 2 10K" + std::string(22, ' ') + "TC=0.001");
    EXPECT_EQ(lines[2], "C1 2 0 1N");
    EXPECT_EQ(lines[3], "V1 1 0 1 ;$TWE KEEP");
    EXPECT_EQ(lines[4], ".WARNING \"Mixed Case\" v(1)>1");
    EXPECT_EQ(starts, (std::vector<int>{0, 1, 5, 6, 7}));
}

TEST(SpiceLineTest, FlagsKeepRawTextSkipOtherStatementsAndLeaveTrailingComments) {
    const std::string text = "R1 1 2 3\n* note\n.TRAN 1N 1U\n+ UIC ; go\n";
    EXPECT_EQ(Lines(text, kSpiceLineRaw), (std::vector<std::string>{"R1 1 2 3", ".TRAN 1N 1U\n+ UIC ; go"}));
    EXPECT_EQ(Lines(text, kSpiceLineDotOnly | kSpiceLineUpper), (std::vector<std::string>{"", ".TRAN 1N 1U   UIC"}));
    std::vector<int> starts;
    EXPECT_EQ(Lines(text, kSpiceLineNoTrailingComments, &starts),
              (std::vector<std::string>{"R1 1 2 3", "", ".TRAN 1N 1U   UIC"}));
    EXPECT_EQ(starts, (std::vector<int>{0, 1, 2}));
}

TEST(SpiceLineTest, DialectTrailerIsFoundAmongTheLastLines) {
    twtest::TempDir dir;
    // The key sits several lines above the end, far from the last 22 bytes.
    const std::string path =
        dir.Write("deck.ckt",
                  "T\nR1 1 0 1\n.END\n;$SpiceType=SPICE3\n;$Other=a rather long trailer value that fills\n;$More=1\n");
    struct Case {
        const char* text;
        int dialect;
    } cases[] = {
        {nullptr, kSpiceDialect3},
        {"T\n;$SpiceType=PSPICE\r\n", kSpiceDialectPSpice},
    };
    for (const Case& c : cases) {
        TextFile file;
        const std::string name = c.text ? dir.Write("other.ckt", c.text) : path;
        ASSERT_EQ(file.OpenText(name.c_str()), 0);
        DetectSpiceDialect(file);
        EXPECT_EQ(file.spiceDialect, c.dialect) << name;
        // The statements are still there to read after the look at the end.
        std::string line;
        EXPECT_EQ(ReadSpiceLine(file, line, kSpiceLineUpper), 0);
        EXPECT_EQ(line, "T");
        file.Close();
    }
}

TEST(SpiceTablesTest, HelpTopicsComeFromTheTables) {
    struct Case {
        const char* line;
        int kind;
        int topic;
    } cases[] = {
        {".tran 1n 1u", 2, 7006}, {".TRAN 1N", 1, 0},    {".DEFINE X 1", 1, 7020}, {".OPT(", 2, 7009},
        {"Q1 1 2 3 QN", 2, 6006}, {"r1 1 2 3", 2, 6002}, {"1 2 3", 2, 0},          {".TRANX", 2, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(HelpTopicOfStatement(c.line, c.kind), c.topic) << c.line;
    EXPECT_EQ(std::string(DotCommandTable[kDotCommandCount - 1].keyword), "ARRAY");
}

TEST(SpiceWordsTest, WordReadersSkipCommentsAndContinuationsAndHaveNoLengthLimit) {
    const std::string longName(300, 'N');
    const std::string text = "  R1 ; note\n* line\n+ " + longName + " {A+{B}} 3";
    const char* cursor = text.c_str();
    EXPECT_EQ(ReadWords(1, cursor), (std::vector<std::string>{"R1", longName}));
    const char* group = cursor;
    EXPECT_EQ(ReadWordOrGroup(group), "{A+{B}}");
    std::string braces;
    EXPECT_EQ(ReadBraceGroup(cursor, &braces, 1), 0);
    EXPECT_EQ(braces, "{A+{B}}");
    EXPECT_EQ(ReadFirstWord(cursor), "3");
    EXPECT_EQ(ReadFirstWord(cursor), "");

    ScopedTestReporter quiet;
    for (const char* bad : {"X", "{A"}) {
        const char* at = bad;
        EXPECT_EQ(ReadBraceGroup(at, &braces, 1), kResultShown) << bad;
        EXPECT_EQ(LastMessageId(), 11900) << bad;
        EXPECT_EQ(at, bad);  // the cursor stays
    }
    std::string blanked = "A\t;c\n* d\n+ B ;$TWE E";
    BlankSpiceText(blanked, true);
    EXPECT_EQ(blanked, "A          B ;$TWE E");
}

class SpiceReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.Valid());
        InstallDocumentTextSource();
        savedLibraryPath_ = GetPathSetting(kPathLibrary);
        SetPathSetting(kPathLibrary, dir_.c_str());
        dir_.Write("NOM.LIB", "* master\n");
        ClearLastMessage();
        ClearCompileErrorLocation();
    }
    void TearDown() override {
        Close();
        SetPathSetting(kPathLibrary, savedLibraryPath_.c_str());
    }
    void Close() {
        if (!doc_) return;
        ReleaseSpiceReader(doc_.get());
        ReleaseCompiledCircuit(doc_.get());
        ReleaseDefineTable(doc_.get());
        CurrentRunContext().circuitDocument = nullptr;
        CurrentSetupPart = nullptr;
        doc_.reset();
    }
    // Reads a deck as the text of a document in the scratch folder.
    int Read(const std::string& text, int dialect = kSpiceDialect3) {
        Close();
        shown_.clear();
        ClearCompileErrorLocation();
        doc_ = MakeSpiceTextDocument(dir_.File("deck.ckt").c_str(), text.c_str());
        doc_->dialect = dialect;
        CurrentRunContext().circuitDocument = doc_.get();
        EXPECT_EQ(ResetSpiceReader(doc_.get()), 0);
        return ReadSpiceText(doc_.get());
    }
    std::vector<SchematicObject*> Parts() {
        std::vector<SchematicObject*> parts;
        for (PoolItem* item = doc_->objects.first; item; item = item->next)
            parts.push_back(static_cast<SchematicObject*>(item));
        return parts;
    }
    SchematicObject* Part(const char* name) {
        for (SchematicObject* part : Parts())
            if (std::strcmp(GetAttributeText(part, kAttrPart), name) == 0) return part;
        return nullptr;
    }
    int Node(const char* name) { return FindNodeNumber(doc_.get(), name, -1, -1); }

    twtest::TempDir dir_;
    std::string savedLibraryPath_;
    std::unique_ptr<CCTDoc> doc_;
    std::vector<int> shown_;
    std::vector<std::string> rows_;
    ScopedTestReporter reporter_{[this](const MessageRequest& request) {
        shown_.push_back(LastMessageId());
        rows_.push_back(request.context() ? request.context() : "");
        return 0;
    }};
};

TEST_F(SpiceReaderTest, AFlatDeckBecomesPartsNodesModelsAndLibraries) {
    dir_.Write("stage.inc", "* second stage\nR3 OUT 0 2K\n.MODEL CMOD CAP (C=1)\n.END\nR9 9 9 9\n");
    dir_.Write("extra.lib", "* models\n.MODEL RMOD RES (R=1)\n");
    const int rc = Read(
        "Flat deck of every passive and source\n"
        "* passive parts\n"
        "R1 IN MID 1K\n"
        "C1 MID 0 1N\n"
        "L1 MID [N1] 10U\n"
        "L2 OUT 0 100U\n"
        "K1 L1 L2 0.98\n"
        "V1 IN 0 DC 0 AC 1 0 PULSE(0 5 10N 2N 2N 40N 100N)\n"
        "V2 A 0\n"
        "* the sine continues\n"
        "+ SIN(0 1 1K)\n"
        "V3 B 0 PWL(0 0 1U 5)\n"
        "I1 0 C EXP(0 1M 1U 0.2U 3U 1U)\n"
        "I2 0 D SFFM(0 1 1MEG 5 10K)\n"
        "R4 A 0 1K\n"
        "R5 B 0 1K\n"
        "R6 C 0 1K\n"
        "R7 D 0 1K\n"
        "R8 [N1] 0 1\n"
        "v4 out 0\n"
        ".MODEL RLOAD RES (R=1)\n"
        ".INC \"stage.inc\"\n"
        ".LIB extra.lib\n"
        ".OPTIONS RELTOL=1E-4\n"
        ".PROBE\n.FOUR 1K V(OUT)\n.WIDTH OUT=80\n.DISTO 1\n"
        ".SUBCKT AMP 1 2\nQ1 1 2 0 QX\n.ENDS\n"
        ".END\n"
        "R99 garbage after the end\n");
    ASSERT_EQ(rc, 0) << LastMessageText();
    EXPECT_TRUE(shown_.empty());

    struct Expect {
        const char* name;
        int type;
        const char* value;
        std::vector<const char*> nodes;
    } expected[] = {
        {"R1", kTypeResistor, "1K", {"IN", "MID"}},
        {"C1", kTypeCapacitor, "1N", {"MID", "0"}},
        {"L1", kTypeInductor, "10U", {"MID", "N1"}},
        {"V1", kTypeVSpice, "DC 0 AC 1 0 PULSE(0 5 10N 2N 2N 40N 100N)", {"IN", "0"}},
        {"V2", kTypeVSpice, "SIN(0 1 1K)", {"A", "0"}},
        {"V3", kTypeVSpice, "PWL(0 0 1U 5)", {"B", "0"}},
        {"I1", kTypeISpice, "EXP(0 1M 1U 0.2U 3U 1U)", {"0", "C"}},
        {"I2", kTypeISpice, "SFFM(0 1 1MEG 5 10K)", {"0", "D"}},
        {"V4", kTypeVSpice, "", {"OUT", "0"}},
        {"R3", kTypeResistor, "2K", {"OUT", "0"}},  // from the include file
    };
    for (const Expect& e : expected) {
        SchematicObject* part = Part(e.name);
        ASSERT_NE(part, nullptr) << e.name;
        EXPECT_EQ(part->definition->type, e.type) << e.name;
        EXPECT_STREQ(GetAttributeText(part, kAttrValue), e.value) << e.name;
        ASSERT_EQ(part->pinCount, static_cast<int>(e.nodes.size())) << e.name;
        for (size_t pin = 0; pin < e.nodes.size(); ++pin)
            EXPECT_EQ(part->pinNodes[pin], std::strcmp(e.nodes[pin], "0") == 0 ? 0 : Node(e.nodes[pin]))
                << e.name << " pin " << pin;
    }
    EXPECT_EQ(Part("R9"), nullptr);   // after the include file's .END
    EXPECT_EQ(Part("R99"), nullptr);  // after the text's .END
    EXPECT_EQ(Part("Q1"), nullptr);   // subcircuit bodies wait for their calls
    EXPECT_EQ(Parts().size(), 17u);
    // The same name is one node; every name has its own number.
    EXPECT_EQ(Part("R1")->pinNodes[1], Part("C1")->pinNodes[0]);
    EXPECT_EQ(Node("MID"), Part("L1")->pinNodes[0]);
    EXPECT_EQ(GetCompiledCircuit(doc_.get())->analogNodeCount, 8);
    EXPECT_TRUE(GetCompiledCircuit(doc_.get())->groundSeen);

    SchematicObject* coupling = Part("K1");
    EXPECT_STREQ(GetAttributeText(coupling, 21), "L1 L2");
    EXPECT_STREQ(GetAttributeText(coupling, 22), "0.98");

    CircuitModels* models = GetCircuitModels(doc_.get());
    EXPECT_EQ(models->ModelStatements.Count, 2);  // RLOAD, CMOD from the include; libraries are searched on demand
    ASSERT_EQ(models->LibraryLists[0].Count, 2);
    EXPECT_EQ(std::string(models->LibraryLists[0].Entries[0].Path), dir_.File("extra.lib"));
    EXPECT_EQ(std::string(models->LibraryLists[0].Entries[1].Path), dir_.File("NOM.LIB"));

    // The parts set up like placed ones.
    ASSERT_EQ(ProcessComponents(doc_.get()), 0) << LastMessageText();
    CompiledCircuit* compiled = GetCompiledCircuit(doc_.get());
    EXPECT_EQ(compiled->devices[kListResistors].pool.count, 7);
    EXPECT_EQ(compiled->devices[kListCapacitors].pool.count, 1);
    EXPECT_EQ(compiled->devices[kListInductors].pool.count, 2);
    EXPECT_EQ(compiled->devices[kListInductorCouplings].pool.count, 1);
    EXPECT_EQ(compiled->devices[kListSpiceSources].pool.count, 6);
    ASSERT_NE(compiled->FindLink(Part("R1")), nullptr);
    EXPECT_EQ(compiled->FindLink(Part("R1"))->qualifiedName, "R1");
}

TEST_F(SpiceReaderTest, PSpiceLinesNameTheirModelBeforeTheValue) {
    ASSERT_EQ(Read("T\nR1 1 0 RMOD 10K\nR2 1 0 10K\nC1 1 0 1N IC=0\nR3 1 0 2^2*LOG(3)\n", kSpiceDialectPSpice), 0)
        << LastMessageText();
    EXPECT_STREQ(GetAttributeText(Part("R1"), kAttrModel), "RMOD");
    EXPECT_STREQ(GetAttributeText(Part("R1"), kAttrValue), "10K");
    EXPECT_STREQ(GetAttributeText(Part("R2"), kAttrModel), "");
    EXPECT_STREQ(GetAttributeText(Part("R2"), kAttrValue), "10K");
    EXPECT_STREQ(GetAttributeText(Part("C1"), kAttrValue), "1N IC=0");
    EXPECT_STREQ(GetAttributeText(Part("R3"), kAttrValue), "2**2*LN(3)");
    EXPECT_EQ(Part("R1")->dialect, kSpiceDialectPSpice);
}

TEST_F(SpiceReaderTest, SemiconductorAndControlledLinesTakeNodesModelAndValue) {
    ASSERT_EQ(Read("T\n"
                   "D1 A K DMOD AREA=2\n"
                   "D2 A 0\n"
                   "Q1 C B E [S] QMOD\n"
                   "Q2 C B E 4 QMOD 2\n"
                   "Q3 C B E QMOD\n"
                   "Q4 C B E SUB QMOD\n"
                   "Q5 C B E 4\n"
                   "M1 D G S B NMOD L=1U W=2U\n"
                   "J1 D G S JMOD\n"
                   "Z1 D G S GMOD 2\n"
                   "S1 A K C 0 SMOD\n"
                   "F1 A K VSENSE 10\n"
                   "H1 A K POLY(1) VSENSE 0 1^2\n",
                   kSpiceDialectPSpice),
              0)
        << LastMessageText();
    struct Expect {
        const char* name;
        int type;
        const char* model;
        const char* value;
        std::vector<const char*> nodes;
    } expected[] = {
        {"D1", kTypeDiode, "DMOD", "AREA=2", {"A", "K"}},
        {"D2", kTypeDiode, "", "", {"A", "0"}},
        {"Q1", 36, "QMOD", "", {"C", "B", "E", "S"}},
        {"Q2", 36, "QMOD", "2", {"C", "B", "E", "4"}},
        {"Q3", kTypeNpn, "QMOD", "", {"C", "B", "E"}},
        // A word is no substrate, and a lone number is the model.
        {"Q4", kTypeNpn, "SUB", "QMOD", {"C", "B", "E"}},
        {"Q5", kTypeNpn, "4", "", {"C", "B", "E"}},
        {"M1", kTypeNmos, "NMOD", "L=1U W=2U", {"D", "G", "S", "B"}},
        {"J1", 25, "JMOD", "", {"D", "G", "S"}},
        {"Z1", kTypeGaAsFet, "GMOD", "2", {"D", "G", "S"}},
        {"S1", 115, "SMOD", "", {"A", "K", "C", "0"}},
        {"F1", 51, "", "VSENSE 10", {"A", "K"}},
        {"H1", kTypeHVofI, "", "POLY(1) VSENSE 0 1**2", {"A", "K"}},
    };
    for (const Expect& e : expected) {
        SchematicObject* part = Part(e.name);
        ASSERT_NE(part, nullptr) << e.name;
        EXPECT_EQ(part->definition->type, e.type) << e.name;
        EXPECT_STREQ(GetAttributeText(part, kAttrModel), e.model) << e.name;
        EXPECT_STREQ(GetAttributeText(part, kAttrValue), e.value) << e.name;
        ASSERT_EQ(part->pinCount, static_cast<int>(e.nodes.size())) << e.name;
        for (size_t pin = 0; pin < e.nodes.size(); ++pin)
            EXPECT_EQ(part->pinNodes[pin], std::strcmp(e.nodes[pin], "0") == 0 ? 0 : Node(e.nodes[pin]))
                << e.name << " pin " << pin;
    }
}

TEST_F(SpiceReaderTest, TransistorsTakeThePolarityOfTheirModelAfterReading) {
    ASSERT_EQ(Read("T\n"
                   "Q1 C B E QP\nQ2 C B E [S] QP\nQ3 C B E QN\nQ4 C B E QX\nQ5 C B E 4 qp\n"
                   "M1 D G S B MP\nM2 D G S B MN\nJ1 D G S JP\nD1 A 0 QP\n"
                   ".MODEL QP PNP (BF=50)\n.MODEL QN NPN\n.MODEL MP PMOS\n.MODEL MN NMOS\n.MODEL JP PJF\n"),
              0)
        << LastMessageText();
    struct Expect {
        const char* name;
        int type;
    } expected[] = {
        {"Q1", kTypePnp},  {"Q2", 38},        {"Q3", kTypeNpn}, {"Q4", kTypeNpn},   {"Q5", 38},
        {"M1", kTypePmos}, {"M2", kTypeNmos}, {"J1", 24},       {"D1", kTypeDiode},
    };
    for (const Expect& e : expected) {
        ASSERT_NE(Part(e.name), nullptr) << e.name;
        EXPECT_EQ(Part(e.name)->definition->type, e.type) << e.name;
        EXPECT_EQ(Part(e.name)->pinCount, GetComponentType(e.type)->pinCount) << e.name;
    }
}

TEST_F(SpiceReaderTest, BadStatementsStopTheReadNamingTheirPlace) {
    dir_.Write("self.inc", "* includes itself\n.INC self.inc\n");
    struct Case {
        const char* deck;
        int message;
        int line;  // from 0; -1 not checked
    } cases[] = {
        {"T\nR1 1 0 1\n.FOO 1\n", 10905, 2},
        {"T\n1 2 3\n", 10905, 1},
        {"T\nP1 1 2\n", 10905, 1},
        {"T\n.MACRO X\n", 10905, 1},  // a statement of schematics only
        {"T\n.TRANX 1N 1U\n", 10905, 1},
        {"T\nR1 1 0 1\n\n.ENDS\n", 10931, 3},
        {"T\n.INC self.inc\n", 10907, 1},
        {"T\n.INC \"missing.inc\"\n", kResultFileNotFound, 1},
        {"T\n.INC \"open.inc\n", 15047, 1},
        {"T\nD1 1\n", 10908, 1},
        {"T\nQ1 1 2\n", 10908, 1},
        {"T\nX1\n", 11900, 1},  // a call without a subcircuit name
        {"T\nA1 %V(1 0) %V(2 0) AMOD\n", kResultNotBuilt, 1},
        {"T\nE1 1 0 CHEBYSHEV={V(2)} = LP 1K 2K 1 40\n", 10902, 1},
        {"T\nR1\n", 10908, 1},
        {"T\nR1 [A 0 1\n", 11900, 1},
        {"T\n.LIB nowhere.lib\n", kResultNoSuchFile, 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Read(c.deck), kResultShown) << c.deck;
        EXPECT_EQ(shown_, std::vector<int>{c.message}) << c.deck;
        const SourceLocation& location = CompileErrorLocation();
        EXPECT_EQ(location.kind, kLocationText) << c.deck;
        if (c.message != 10907) {
            EXPECT_EQ(location.position, c.line) << c.deck;
            ASSERT_FALSE(rows_.empty());
            EXPECT_NE(rows_.back().find("Line:\t" + std::to_string(c.line + 1)), std::string::npos) << rows_.back();
            // The statement's own line, as read.
            std::string line = c.deck;
            for (int n = 0; n < c.line; ++n) line.erase(0, line.find('\n') + 1);
            line = line.substr(0, 4);
            for (char& ch : line) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
            EXPECT_NE(rows_.back().find("Text:\t" + line), std::string::npos) << rows_.back();
        }
    }
    // The 15th source is refused inside the include file itself.
    Read("T\n.INC self.inc\n");
    EXPECT_EQ(std::string(CompileErrorLocation().path), dir_.File("self.inc"));
    EXPECT_EQ(GetSpiceReader(doc_.get())->top, -1);  // every source closed
}

TEST_F(SpiceReaderTest, IncludesNestAndStatementsOutsideTheCircuitScopeAreSkipped) {
    dir_.Write("one.inc", ".INC two.inc\nR1 A 0 1\n");
    dir_.Write("two.inc", "R2 A B 1\n.DEFINE GAIN 10\n");
    ASSERT_EQ(Read("T\n.INC one.inc\nR3 B 0 1\n"), 0) << LastMessageText();
    ASSERT_NE(Part("R1"), nullptr);
    ASSERT_NE(Part("R2"), nullptr);
    ASSERT_NE(Part("R3"), nullptr);
    EXPECT_EQ(Part("R2")->pinNodes[0], Part("R1")->pinNodes[0]);
    EXPECT_NE(GetDefineTable(doc_.get())->FindEntry("GAIN", 1), nullptr);
}

// Statements reach the reader in capitals; an absolute include path must
// still find folders and files whose names hold lower-case letters.
TEST_F(SpiceReaderTest, AbsoluteIncludePathsFindTheirFoldersWhateverTheCase) {
    ASSERT_EQ(::mkdir(dir_.File("Models").c_str(), 0700), 0);
    dir_.Write("Models/Parts.inc", "R1 A 0 1\n");
    ASSERT_EQ(Read("T\n.INC " + dir_.File("Models/Parts.inc") + "\nR2 A 0 1\n"), 0) << LastMessageText();
    EXPECT_NE(Part("R1"), nullptr);
    EXPECT_NE(Read("T\n.INC " + dir_.File("Models/Missing.inc") + "\n"), 0);
}

TEST_F(SpiceReaderTest, ParametersFunctionsAndIncludedOptionsBecomeTextStatements) {
    dir_.Write("opts.inc", ".OPTIONS RELTOL=1E-4\n");
    ASSERT_EQ(Read("T\n.PARAM P=2\n.FUNC DBL(X) X*2\n.OPTIONS GMIN=1E-12\n.INC opts.inc\n.LOADOP\nR1 1 0 {P}\n"), 0)
        << LastMessageText();
    std::vector<std::string> texts;
    for (PoolItem* item = doc_->gridTexts.first; item; item = item->next)
        texts.push_back(static_cast<GridTextObject*>(item)->text);
    // The options phase reads the text page itself; only included options need a record.
    EXPECT_EQ(texts, (std::vector<std::string>{".PARAM P=2", ".FUNC DBL(X) X*2", ".OPTIONS RELTOL=1E-4"}));
    EXPECT_NE(FindDefineByName(doc_.get(), "P"), nullptr);
    EXPECT_TRUE(GetSpiceReader(doc_.get())->loadOperatingPoint);
}

}  // namespace

namespace {

// A status bar that keeps what it was told.
class RecordingStatusBar : public StatusBarPort {
public:
    void SetStatusText(const char* text) override {
        ++texts;
        current = text;
    }
    bool IsShown() override { return true; }
    void SetPaneText(int, const char*) override {}
    std::string StatusText() override { return current; }
    int texts = 0;
    std::string current = "Ready";
};

TEST_F(SpiceReaderTest, LongTextsShowProgressAndPutTheStatusBack) {
    for (int lines : {999, 2000}) {
        std::string deck = "T\n";
        for (int i = 1; i < lines; ++i) deck += "R" + std::to_string(i) + " " + std::to_string(i) + " 0 1\n";
        RecordingStatusBar bar;
        StatusBarPort* previous = InstallStatusBar(&bar);
        const int rc = Read(deck);
        InstallStatusBar(previous);
        ASSERT_EQ(rc, 0) << LastMessageText();
        EXPECT_EQ(Parts().size(), static_cast<size_t>(lines - 1));
        EXPECT_EQ(bar.current, "Ready") << lines;
        // A text per hundredth of the lines (99 statements start on one), then the status put back.
        EXPECT_EQ(bar.texts, lines < 1000 ? 0 : 100) << lines;
    }
}

// The shipped example decks read as they stand; a deck whose models all sit in
// the text is set up as well (library models are found through the library
// index, which the reader does not build).
TEST_F(SpiceReaderTest, ExampleDecksRead) {
    const std::string folder = TW_SOURCE_DIR "/data/examples/spice/";
    struct Case {
        const char* name;
        size_t parts;
        bool setUp;
    } cases[] = {
        {"rc-filter.ckt", 5, false},
        {"transformer.ckt", 16, true},
        {"bandpass.ckt", 6, false},
        {"coupled-pair.ckt", 11, false},
    };
    for (const Case& c : cases) {
        Close();
        std::unique_ptr<CCTDoc> loaded;
        ASSERT_EQ(LoadSpiceTextDocument((folder + c.name).c_str(), &loaded), 0) << c.name;
        doc_ = std::move(loaded);
        CurrentRunContext().circuitDocument = doc_.get();
        shown_.clear();
        ASSERT_EQ(ResetSpiceReader(doc_.get()), 0);
        ASSERT_EQ(ReadSpiceText(doc_.get()), 0) << c.name << ": " << LastMessageText();
        EXPECT_EQ(Parts().size(), c.parts) << c.name;
        if (c.setUp) {
            EXPECT_EQ(ProcessComponents(doc_.get()), 0) << c.name << ": " << LastMessageText();
        }
        EXPECT_TRUE(shown_.empty()) << c.name;
    }
}

}  // namespace
