// Opening and saving circuit files: the temporary file and backup, failures
// that must leave the user's files alone, [Main], sections kept for owners that
// are not built, protected files and byte-exact round trips.
#include <gtest/gtest.h>

#include <strings.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "core/memory.h"
#include "core/port.h"
#include "document/attributes.h"
#include "document/cfsections.h"
#include "document/circuitfile.h"
#include "document/cirdoc.h"
#include "document/cirio.h"
#include "document/component_defs.h"
#include "platform/app.h"
#include "platform/frame.h"
#include "shell/document.h"
#include "tests/support/tempdir.h"

namespace {

std::string cirio_Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void cirio_Write(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

bool cirio_Exists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

class cirio_Files : public ::testing::Test {
protected:
    void SetUp() override {
        InstallCircuitDocument();
        ASSERT_TRUE(dir_.Valid());
    }
    std::string Path(const char* name) const { return dir_.Path() + "/" + name; }

    // Reads a file into a fresh document.
    int Read(CCirDoc* doc, const std::string& path, uint32_t flags = kLoadHidden | kLoadSilent) {
        CircuitFile file;
        file.loadFlags = flags;
        int code = ReadCircuitFile(doc, file, path.c_str(), true);
        file.Close();
        return code;
    }

    static SchematicObject* AddWire(CCirDoc* doc, int x, int page = 0) {
        SchematicObject* o = doc->NewSchematicObject();
        o->objectKind = kObjectWire;
        o->x1 = x;
        o->y1 = 10;
        o->x2 = x + 20;
        o->y2 = 10;
        o->page = page;
        return o;
    }

    twtest::TempDir dir_{"cirio"};
};

// The key lines a saved file holds for a section, each ended by CR LF.
std::string cirio_Section(const std::string& file, const std::string& name) {
    size_t at = file.find("[" + name + "]\r\n");
    if (at == std::string::npos) return "";
    at += name.size() + 4;
    size_t end = file.find("\r\n[", at);
    return file.substr(at, end == std::string::npos ? std::string::npos : end - at);
}

TEST_F(cirio_Files, SavesThroughTemporaryFileAndKeepsOneBackup) {
    auto doc = std::make_unique<CCirDoc>();
    const std::string target = Path("a.cir");
    const std::string backup = target + "_bak";
    std::vector<std::string> saved;
    for (int save = 0; save < 3; ++save) {
        AddWire(doc.get(), 10 + 30 * save);  // each save's NLCnt differs
        doc->SetDirty(1);
        if (save == 2) {
            ASSERT_EQ(0, chmod(target.c_str(), 0640));
        }
        ASSERT_EQ(0, SaveCircuitFile(doc.get(), target.c_str(), kCirVersion801)) << save;
        EXPECT_EQ(0, doc->IsDirty());
        EXPECT_FALSE(cirio_Exists(target + "$$TEMP$$"));
        EXPECT_FALSE(cirio_Exists(backup + "$$TEMP$$"));
        saved.push_back(cirio_Read(target));
        if (save == 0) {
            EXPECT_FALSE(cirio_Exists(backup));
        } else {
            EXPECT_EQ(saved[size_t(save) - 1], cirio_Read(backup)) << save;
        }
    }
    EXPECT_NE(saved[1], saved[2]);
    struct stat info;
    ASSERT_EQ(0, stat(target.c_str(), &info));
    EXPECT_EQ(0640u, info.st_mode & 0777u);  // the replaced file's permissions stay
    EXPECT_EQ(0u, saved[0].find("[Main]\r\nFileType=CIR\r\nVersion=8.01\r\nProgram=Tarnwick\r\n"));
    EXPECT_NE(std::string::npos, saved[2].find("NLCnt=3\r\n"));
}

// A save that cannot finish leaves the user's file and its backup as they
// were, removes what it created, reports a code and keeps the document unsaved.
TEST_F(cirio_Files, FailedSaveTouchesNeitherFileNorBackup) {
    struct Case {
        const char* what;
        const char* blocker;  // a folder put where the save needs a file
    };
    const std::vector<Case> cases = {
        {"temporary file cannot be created", "a.cir$$TEMP$$"},
        {"backup cannot be replaced", "a.cir_bak"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string target = Path("a.cir");
        cirio_Write(target, "old file\r\n");
        const std::string blocker = Path(c.blocker);
        ASSERT_EQ(0, mkdir(blocker.c_str(), 0755));
        cirio_Write(blocker + "/keep", "x");  // a non-empty folder is never replaced
        auto doc = std::make_unique<CCirDoc>();
        AddWire(doc.get(), 10);
        doc->SetDirty(1);
        EXPECT_NE(0, SaveCircuitFile(doc.get(), target.c_str(), kCirVersion801));
        EXPECT_EQ("old file\r\n", cirio_Read(target));
        EXPECT_EQ("x", cirio_Read(blocker + "/keep"));
        EXPECT_EQ(1, doc->IsDirty());
        if (std::string(c.blocker) != "a.cir$$TEMP$$") {
            EXPECT_FALSE(cirio_Exists(target + "$$TEMP$$"));
        }
        EXPECT_FALSE(cirio_Exists(target + "_bak$$TEMP$$"));
        std::string command = "rm -rf '" + blocker + "'";
        ASSERT_EQ(0, system(command.c_str()));
    }
}

TEST_F(cirio_Files, SaveIntoReadOnlyFolderLeavesFileAndBackup) {
    if (geteuid() == 0) GTEST_SKIP() << "folder permissions do not bind root";
    const std::string folder = Path("ro");
    ASSERT_EQ(0, mkdir(folder.c_str(), 0755));
    const std::string target = folder + "/a.cir";
    cirio_Write(target, "old file\r\n");
    cirio_Write(target + "_bak", "old backup\r\n");
    ASSERT_EQ(0, chmod(folder.c_str(), 0555));
    auto doc = std::make_unique<CCirDoc>();
    doc->SetDirty(1);
    EXPECT_NE(0, SaveCircuitFile(doc.get(), target.c_str(), kCirVersion801));
    ASSERT_EQ(0, chmod(folder.c_str(), 0755));
    EXPECT_EQ("old file\r\n", cirio_Read(target));
    EXPECT_EQ("old backup\r\n", cirio_Read(target + "_bak"));
    EXPECT_EQ(1, doc->IsDirty());
}

TEST_F(cirio_Files, SaveIntoMissingFolderFails) {
    auto doc = std::make_unique<CCirDoc>();
    doc->SetDirty(1);
    EXPECT_NE(0, SaveCircuitFile(doc.get(), Path("none/a.cir").c_str(), kCirVersion801));
    EXPECT_EQ(1, doc->IsDirty());
}

TEST_F(cirio_Files, MainFileTypeDecidesByItsLastLine) {
    struct Case {
        const char* lines;
        int result;
    };
    const std::vector<Case> cases = {
        {"FileType=CIR\r\n", 0},
        {"FileType=tw5.cir\n", 0},
        {"FileType=TXT\r\n", 15009},
        {"", 15009},
        {"FileType=CIR\r\nFileType=XYZ\r\n", 15009},
        {"FileType=XYZ\r\nFileType=CIR\r\n", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lines);
        const std::string path = Path("m.cir");
        cirio_Write(path, std::string("[Main]\r\n") + c.lines + "Version=8.01\r\nScreen=1,1\r\n");
        auto doc = std::make_unique<CCirDoc>();
        EXPECT_EQ(c.result, Read(doc.get(), path));
    }
}

TEST_F(cirio_Files, OldVersionMainKeys) {
    auto doc = std::make_unique<CCirDoc>();
    const std::string path = Path("v.cir");
    ASSERT_EQ(0, SaveCircuitFile(doc.get(), path.c_str(), kCirVersion520));
    const std::string main = cirio_Section(cirio_Read(path), "Main");
    EXPECT_EQ(0u, main.find("FileType=CIR\r\nVersion=5.20\r\nProgram=Tarnwick V\r\nScreen="));
    EXPECT_NE(std::string::npos, main.find("\r\nTW5Version=2.0\r\n"));
    EXPECT_EQ(std::string::npos, main.find("TARNVersion"));
}

// Sections of subsystems that are not built come back exactly as they were,
// byte 254 inside values, comments and repeated sections included; a section
// nobody knows is dropped as if absent.
TEST_F(cirio_Files, SectionsOfMissingOwnersSurviveOpenAndSave) {
    const std::string watch = "Expr=V(1)\r\n;kept comment\r\nNote=line one\xfeline two\r\n";
    const std::string sens = "Out=V(2)\r\n";
    const std::string text = "[Main]\r\nFileType=CIR\r\nVersion=8.01\r\nScreen=1,1\r\n\r\n[Watch]\r\n" + watch +
                             "\r\n[Bogus]\r\nX=1\r\n\r\n[SENS]\r\n" + sens + "\r\n[watch]\r\nExpr=V(3)\r\n";
    const std::string path = Path("k.cir");
    cirio_Write(path, text);
    auto doc = std::make_unique<CCirDoc>();
    ASSERT_EQ(0, Read(doc.get(), path));
    EXPECT_EQ(2, CountKeptSections(doc.get(), kSecWatch));
    EXPECT_EQ(1, CountKeptSections(doc.get(), kSecSENS));
    EXPECT_EQ(1, doc->PageCount());

    const std::string saved = Path("k2.cir");
    ASSERT_EQ(0, SaveCircuitFile(doc.get(), saved.c_str(), kCirVersion801));
    const std::string out = cirio_Read(saved);
    EXPECT_NE(std::string::npos, out.find("[Watch]\r\n" + watch + "\r\n[Watch]\r\nExpr=V(3)\r\n"));
    EXPECT_NE(std::string::npos, out.find("[SENS]\r\n" + sens));
    EXPECT_EQ(std::string::npos, out.find("Bogus"));
    // Write order: Watch before SENS whatever the order read.
    EXPECT_LT(out.find("[Watch]"), out.find("[SENS]"));
}

// The component libraries of the round-trip tests: the definitions Def made.
class cirio_Libraries final : public ComponentLookupPort {
public:
    ComponentDef* FindEmbedded(CircuitFile&, const char*) override { return nullptr; }
    ComponentDef* FindInLibraries(const char* name, bool) override { return Find(name); }
    void ReportNoShape(const char*) override {}
    bool ReadsMacroFiles() override { return false; }
    bool MacroParameters(const char*, char*, size_t) override { return false; }

    // The definition of that name, made on first use with two pins and a shape.
    ComponentDef* Def(const char* name, int type) {
        if (ComponentDef* d = Find(name)) return d;
        defs_.push_back(std::make_unique<ComponentDef>());
        ComponentDef* d = defs_.back().get();
        d->type = type;
        d->SetName(name);
        EXPECT_EQ(0, d->ResizePins(2));
        d->shapeLink = reinterpret_cast<Shape*>(&shapeToken_);
        return d;
    }

private:
    ComponentDef* Find(const char* name) {
        for (auto& d : defs_) {
            if (strcasecmp(d->name.text(), name) == 0) return d.get();
        }
        return nullptr;
    }

    std::vector<std::unique_ptr<ComponentDef>> defs_;
    int shapeToken_ = 0;
};

// Saves, reads back and saves again: the two files must be the same bytes.
void cirio_ExpectRoundTrip(CCirDoc* doc, const std::string& first, const std::string& second) {
    ASSERT_EQ(0, SaveCircuitFile(doc, first.c_str(), kCirVersion801));
    auto copy = std::make_unique<CCirDoc>();
    CircuitFile file;
    file.loadFlags = kLoadHidden | kLoadSilent;
    ASSERT_EQ(0, ReadCircuitFile(copy.get(), file, first.c_str(), true));
    file.Close();
    ASSERT_EQ(0, SaveCircuitFile(copy.get(), second.c_str(), kCirVersion801));
    EXPECT_EQ(cirio_Read(first), cirio_Read(second));
    if (getenv("CIRIO_DUMP")) printf("%s\n", cirio_Read(first).c_str());
}

size_t cirio_Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

TEST_F(cirio_Files, CircuitBuiltInCodeRoundTripsByteIdentical) {
    cirio_Libraries libraries;
    ScopedPort<ComponentLookupPort> installed(InstallComponentLookup, &libraries);
    auto doc = std::make_unique<CCirDoc>();
    ASSERT_GE(doc->AppendPage(kPageSchematic, "Second"), 0);
    for (int i = 0; i < doc->PageCount(); ++i) {
        if (doc->PageKind(i) == kPageText) SetString(&doc->Page(i)->storedText, ".tran 1n 1u\r\n* two lines");
    }
    const struct {
        const char* def;
        int type;
        int x, y, page;
        const char* part;
        const char* value;
    } parts[] = {
        {"Resistor", 2, 100, 100, 0, "R1", "1k"},
        {"Capacitor", 4, 200, 100, 0, "C1", "10n"},
        {"Resistor", 2, 150, 300, 4, "R2", "2.2k"},  // on the page named Second
    };
    for (const auto& p : parts) {
        SchematicObject* o = doc->NewSchematicObject();
        ASSERT_NE(o, nullptr);
        o->objectKind = kObjectComponent;
        o->definition = libraries.Def(p.def, p.type);
        o->x1 = p.x;
        o->y1 = p.y;
        o->page = p.page;
        ASSERT_NE(SetAttribute(doc.get(), o, kAttrPart, p.part), nullptr);
        ASSERT_NE(SetAttribute(doc.get(), o, kAttrValue, p.value), nullptr);
    }
    AddWire(doc.get(), 100);
    AddWire(doc.get(), 40, 4);
    SchematicObject* line = doc->NewSchematicObject();
    line->objectKind = kObjectGraphic;
    line->graphicType = 1;
    line->x1 = 10;
    line->y1 = 10;
    line->x2 = 90;
    line->y2 = 50;
    line->page = 0;
    GridTextObject* text = doc->NewGridText();
    SetString(&text->text, "Gain stage\r\nsecond line");
    text->x = 300;
    text->y = 40;
    GridTextObject* flag = doc->NewGridText();
    SetString(&flag->text, "OUT");
    flag->flags = kGridTextIsFlag;
    flag->x = 220;
    flag->y = 100;
    cirio_ExpectRoundTrip(doc.get(), Path("r1.cir"), Path("r2.cir"));
    const std::string saved = cirio_Read(Path("r1.cir"));
    EXPECT_EQ(3u, cirio_Count(saved, "[Comp]\r\n"));
    EXPECT_EQ(6u, cirio_Count(saved, "[Attr]\r\n"));
    EXPECT_EQ(2u, cirio_Count(saved, "[Wire]\r\n"));
    EXPECT_EQ(1u, cirio_Count(saved, "[Object]\r\n"));
    EXPECT_EQ(1u, cirio_Count(saved, "[Grid Text]\r\n"));
    EXPECT_EQ(1u, cirio_Count(saved, "[Flag]\r\n"));
    EXPECT_EQ(5u, cirio_Count(saved, "[Page]\r\n"));
    EXPECT_EQ(2u, cirio_Count(saved, "[Text Area]\r\n"));
}

// A hand-written file with every section of the current version, those kept
// for owners that are not built included, reads and saves to the same bytes.
TEST_F(cirio_Files, EverySectionFileRoundTripsByteIdentical) {
    cirio_Libraries libraries;
    ScopedPort<ComponentLookupPort> installed(InstallComponentLookup, &libraries);
    libraries.Def("Resistor", 2);
    libraries.Def("Capacitor", 4);
    const char* fixture = getenv("CIRIO_FIXTURE");
    std::string original = cirio_Read(fixture ? fixture : TW_SOURCE_DIR "/tests/data/circuit/every_section.cir");
    ASSERT_FALSE(original.empty());
    // The file is written with this display's screen size; give the fixture
    // the same one, so that its window placements are kept as well.
    auto blank = std::make_unique<CCirDoc>();
    ASSERT_EQ(0, SaveCircuitFile(blank.get(), Path("blank.cir").c_str(), kCirVersion801));
    const std::string blankText = cirio_Read(Path("blank.cir"));
    const size_t mine = blankText.find("Screen=");
    const size_t theirs = original.find("Screen=");
    ASSERT_NE(std::string::npos, theirs);
    original.replace(theirs, original.find("\r\n", theirs) - theirs,
                     blankText.substr(mine, blankText.find("\r\n", mine) - mine));
    const std::string source = Path("every.cir");
    cirio_Write(source, original);

    auto doc = std::make_unique<CCirDoc>();
    ASSERT_EQ(0, Read(doc.get(), source));
    const std::string saved = Path("e.cir");
    ASSERT_EQ(0, SaveCircuitFile(doc.get(), saved.c_str(), kCirVersion801));
    if (fixture) cirio_Write(std::string(fixture) + ".out", cirio_Read(saved));
    EXPECT_EQ(original, cirio_Read(saved));
    for (int section = 1; section < kCircuitSectionCount; ++section) {
        // Older versions only.
        if (section == kSecFontAndColor || section == kSecWindowPlacement || section == kSecPrinter ||
            section == kSecDSP || section == kSecAnalysis) {
            continue;
        }
        EXPECT_NE(std::string::npos, original.find(std::string("[") + CircuitSectionName(section) + "]\r\n"))
            << CircuitSectionName(section);
    }
}

// Sections may come in any order: moving the pages, texts and kept sections
// in front of the objects reads to the same circuit.
TEST_F(cirio_Files, SectionOrderDoesNotMatterWhenReading) {
    cirio_Libraries libraries;
    ScopedPort<ComponentLookupPort> installed(InstallComponentLookup, &libraries);
    libraries.Def("Resistor", 2);
    libraries.Def("Capacitor", 4);
    const std::string canonical = Path("c.cir");
    {
        auto doc = std::make_unique<CCirDoc>();
        ASSERT_EQ(0, Read(doc.get(), TW_SOURCE_DIR "/tests/data/circuit/every_section.cir"));
        ASSERT_EQ(0, SaveCircuitFile(doc.get(), canonical.c_str(), kCirVersion801));
    }
    const std::string text = cirio_Read(canonical);
    std::vector<std::string> sections;
    for (size_t at = 0; at < text.size();) {
        size_t next = text.find("\r\n\r\n[", at);
        size_t end = next == std::string::npos ? text.size() : next + 4;
        sections.push_back(text.substr(at, end - at));
        at = end;
    }
    ASSERT_GT(sections.size(), 10u);
    std::string moved = sections[0];  // Main stays first
    std::string rest;
    for (size_t i = 1; i < sections.size(); ++i) {
        std::string section = sections[i];
        if (section.back() != '\n') section += "\r\n\r\n";
        const bool early = section.rfind("[Page]", 0) == 0 || section.rfind("[Text Area]", 0) == 0 ||
                           section.rfind("[Watch]", 0) == 0 || section.rfind("[SENS]", 0) == 0 ||
                           section.rfind("[BOM]", 0) == 0 || section.rfind("[Node Offsets]", 0) == 0;
        (early ? moved : rest) += section;
    }
    const std::string shuffled = Path("shuffled.cir");
    cirio_Write(shuffled, moved + rest);
    auto doc = std::make_unique<CCirDoc>();
    ASSERT_EQ(0, Read(doc.get(), shuffled));
    const std::string saved = Path("s.cir");
    ASSERT_EQ(0, SaveCircuitFile(doc.get(), saved.c_str(), kCirVersion801));
    EXPECT_EQ(text, cirio_Read(saved));
}

// Objects on a page beyond the Page sections read still get their page.
TEST_F(cirio_Files, PageCountCoversEveryObject) {
    const std::string path = Path("p.cir");
    cirio_Write(path, "[Main]\r\nFileType=CIR\r\nVersion=8.01\r\n");
    auto doc = std::make_unique<CCirDoc>();
    AddWire(doc.get(), 10, 5);
    CircuitFile file;
    file.loadFlags = kLoadHidden | kLoadSilent;
    ASSERT_EQ(0, file.OpenText(path.c_str()));
    char first[51];
    ASSERT_EQ(0, file.ReadLine(first, sizeof first));
    ASSERT_EQ(0, SerializeMainSection(file));
    EXPECT_EQ(0, ReadCircuitSections(doc.get(), file));
    file.Close();
    EXPECT_EQ(6, doc->PageCount());
    EXPECT_EQ(kPageSchematic, doc->PageKind(5));
}

// Window placements stored at another screen size are dropped; at the same
// size they are kept.
TEST_F(cirio_Files, PlacementsSurviveOnlyTheSameScreenSize) {
    auto blank = std::make_unique<CCirDoc>();
    const std::string saved = Path("s.cir");
    ASSERT_EQ(0, SaveCircuitFile(blank.get(), saved.c_str(), kCirVersion801));
    const std::string main = cirio_Section(cirio_Read(saved), "Main");
    const size_t at = main.find("Screen=");
    ASSERT_NE(std::string::npos, at);
    const std::string screen = main.substr(at, main.find("\r\n", at) - at);
    const struct {
        std::string screen;
        int32_t length;
    } cases[] = {{screen, kPlacementLength}, {"Screen=1,1", 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.screen);
        const std::string path = Path("s2.cir");
        cirio_Write(path, "[Main]\r\nFileType=CIR\r\nVersion=8.01\r\n" + c.screen + "\r\n");
        auto doc = std::make_unique<CCirDoc>();
        doc->analysisPlacement.length = kPlacementLength;
        doc->fileSettings.windowPlacement.length = kPlacementLength;
        ASSERT_EQ(0, Read(doc.get(), path));
        EXPECT_EQ(c.length, doc->analysisPlacement.length);
        EXPECT_EQ(c.length, doc->fileSettings.windowPlacement.length);
    }
}

TEST_F(cirio_Files, HiddenOpenMakesListedDocumentWithoutAddedPages) {
    const std::string path = Path("h.cir");
    auto source = std::make_unique<CCirDoc>();
    AddWire(source.get(), 10);
    ASSERT_EQ(0, SaveCircuitFile(source.get(), path.c_str(), kCirVersion801));
    const int listed = DocumentList().count;
    int code = -1;
    CCirDoc* doc = OpenCircuitDocument(path.c_str(), kLoadHidden | kLoadSilent | kLoadFullPath, &code);
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(0, code);
    EXPECT_EQ(listed + 1, DocumentList().count);
    EXPECT_EQ(path, doc->PathName());
    EXPECT_STREQ("h.cir", doc->fileName);
    EXPECT_NE(0u, doc->flags & kDocFlagOpenedHidden);
    EXPECT_EQ(source->PageCount(), doc->PageCount());
    EXPECT_EQ(1, doc->objects.count);
    EXPECT_EQ(0, doc->IsDirty());
    doc->OnCloseDocument();

    // A file that is not there: no document is left behind.
    code = 0;
    EXPECT_EQ(nullptr, OpenCircuitDocument(Path("none.cir").c_str(), kLoadHidden | kLoadSilent | kLoadFullPath, &code));
    EXPECT_NE(0, code);
    EXPECT_EQ(listed, DocumentList().count);
}

TEST_F(cirio_Files, VisibleOpenReusesTheOpenDocument) {
    const std::string path = Path("v.cir");
    auto source = std::make_unique<CCirDoc>();
    source->SetPageCount(1);  // a file before Models and Info pages were added
    SetString(&source->Page(0)->name, "Main");
    ASSERT_EQ(0, SaveCircuitFile(source.get(), path.c_str(), kCirVersion801));
    platform::Application* app = platform::Application::Instance();
    ASSERT_NE(app, nullptr);
    platform::MainFrame host;
    ASSERT_TRUE(host.Create("Tarnwick", platform::Rect{0, 0, 900, 700}));
    app->SetMainWindow(&host);
    int code = -1;
    CCirDoc* doc = OpenCircuitDocument(path.c_str(), kLoadRestorePlacement | kLoadSilent | kLoadFullPath, &code);
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(0, code);
    EXPECT_NE(doc->MainView(), nullptr);
    EXPECT_EQ(0, doc->untitled);
    EXPECT_GE(doc->GetFirstInfoPage(), 0);  // a visible open adds the Info page
    EXPECT_EQ(doc, OpenCircuitDocument(path.c_str(), kLoadRestorePlacement | kLoadSilent | kLoadFullPath, &code));
    EXPECT_EQ(0, code);

    // A hidden open (subcircuit expansion) sees the open circuit with its
    // unsaved edits, in a document of its own.
    AddWire(doc, 10);
    CCirDoc* hidden = OpenCircuitDocument(path.c_str(), 0x60A2, &code);
    ASSERT_NE(hidden, nullptr);
    EXPECT_EQ(0, code);
    EXPECT_NE(doc, hidden);
    EXPECT_EQ(nullptr, hidden->MainView());
    EXPECT_EQ(1, hidden->objects.count);
    EXPECT_EQ(path, hidden->PathName());
    EXPECT_STREQ("v.cir", hidden->fileName);
    hidden->OnCloseDocument();
    doc->SetDirty(0);
    doc->OnCloseDocument();
    app->SetMainWindow(nullptr);
}

// Answers the password prompt with `answer`.
struct cirio_Password final : PasswordPromptPort {
    std::string answer;
    bool AskPassword(char* out, size_t size) override {
        snprintf(out, size, "%s", answer.c_str());
        return true;
    }
};

TEST_F(cirio_Files, ProtectedFileOpensHiddenAndRefusesWrongPassword) {
    auto doc = std::make_unique<CCirDoc>();
    AddWire(doc.get(), 10);
    const std::string path = Path("p.cir");
    ASSERT_EQ(0, SaveProtectedCircuitFile(doc.get(), path.c_str(), "secret"));
    EXPECT_EQ(0, cirio_Read(path).compare(0, 4, std::string("CRP\0", 4)));

    auto hidden = std::make_unique<CCirDoc>();
    EXPECT_EQ(0, Read(hidden.get(), path));
    EXPECT_EQ(1, hidden->protectedFile);

    cirio_Password prompt;
    ScopedPort<PasswordPromptPort> installed(InstallPasswordPrompt, &prompt);
    prompt.answer = "guess";
    auto wrong = std::make_unique<CCirDoc>();
    EXPECT_EQ(13509, Read(wrong.get(), path, kLoadSilent));

    prompt.answer = "SECRET";  // passwords compare without case
    auto right = std::make_unique<CCirDoc>();
    EXPECT_EQ(0, Read(right.get(), path, kLoadSilent));
    EXPECT_EQ(0, right->protectedFile);
}

}  // namespace
