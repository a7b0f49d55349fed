// The drawing's sections of the circuit file: components and their attributes,
// wires, graphic objects and grid texts, read from hand-written files and
// written back.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/port.h"
#include "core/result.h"
#include "document/attributes.h"
#include "document/cfsections.h"
#include "document/circuitfile.h"
#include "document/cirdoc.h"
#include "document/cirio.h"
#include "document/component_defs.h"
#include "document/nodes.h"
#include "document/pages.h"
#include "tests/support/tempdir.h"

namespace {

std::string cfo_test_Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The libraries know a resistor (without a shape), a box and a macro; with
// `macroFiles` set the macro file "amp" lists its parameters.
struct cfo_test_Lookup final : ComponentLookupPort {
    cfo_test_Lookup() {
        resistor.type = kTypeResistor;
        resistor.SetName("Resistor");
        // A subcircuit drawn as an automatic macro box with the pins A and B.
        box.type = kTypeSubckt;
        box.SetName("Box");
        box.SetShapeLink(AutoMacroShape());
        box.SetAutoRect(0, 0, 4, 6);
        box.ResizePins(2);
        box.SetPin(0, 'A', "A", nullptr);
        box.SetPin(1, 'A', "B", nullptr);
        macro.type = kTypeMacro;
        macro.SetName("Macro");
    }

    ComponentDef resistor, box, macro;
    bool macroFiles = false;
    ComponentDef* FindEmbedded(CircuitFile&, const char*) override { return nullptr; }
    ComponentDef* FindInLibraries(const char* name, bool) override {
        if (strcasecmp(name, "Macro") == 0) return &macro;
        if (strcasecmp(name, "Box") == 0) return &box;
        return strcasecmp(name, "Resistor") == 0 ? &resistor : nullptr;
    }
    void ReportNoShape(const char* name) override { noShape.push_back(name); }
    bool ReadsMacroFiles() override { return macroFiles; }
    std::vector<std::string> noShape;  // the names warned about, in order
    bool MacroParameters(const char* file, char* out, size_t size) override {
        if (strcasecmp(file, "amp") != 0) return false;
        snprintf(out, size, "%s", "(GAIN=2,OFFSET,BIAS=1)");
        return true;
    }
};

class cfo_Files : public ::testing::Test {
protected:
    void SetUp() override {
        InstallCircuitFile();
        InstallCircuitObjectSections();
        InstallCircuitPageSections();
        lookupInstalled_ = std::make_unique<ScopedPort<ComponentLookupPort>>(InstallComponentLookup, &lookup);
        ASSERT_TRUE(dir_.Valid());
    }
    void TearDown() override { lookupInstalled_.reset(); }
    std::string Path(const char* name) const { return dir_.Path() + "/" + name; }
    cfo_test_Lookup lookup;
    std::unique_ptr<ScopedPort<ComponentLookupPort>> lookupInstalled_;

    // Reads a circuit file whose sections follow the given version's [Main].
    int ReadText(CCirDoc* doc, const std::string& body, const char* version = "8.01",
                 uint32_t flags = kLoadHidden | kLoadSilent) {
        std::string path = Path("in.cir");
        std::ofstream(path, std::ios::binary) << "[Main]\r\nFileType=CIR\r\nVersion=" << version << "\r\n\r\n" << body;
        CircuitFile file;
        file.loadFlags = flags;
        int code = ReadCircuitFile(doc, file, path.c_str(), true);
        missing_ = file.missingComponents;
        loadProblems_ = file.loadProblems;
        illegalCoordinates_ = file.illegalCoordinates;
        file.Close();
        return code;
    }
    std::string Save(CCirDoc* doc, const char* name, int32_t version = kCirVersion801) {
        std::string path = Path(name);
        EXPECT_EQ(0, SaveCircuitFile(doc, path.c_str(), version));
        return cfo_test_Read(path);
    }
    static SchematicObject* First(CCirDoc* doc) { return static_cast<SchematicObject*>(doc->objects.first); }

    twtest::TempDir dir_{"cfo"};
    std::string missing_;
    bool loadProblems_ = false;
    bool illegalCoordinates_ = false;
};

TEST_F(cfo_Files, UnknownComponentGetsPlaceholderAndKeepsItsName) {
    auto doc = std::make_unique<CCirDoc>();
    ASSERT_EQ(0, ReadText(doc.get(), "[Comp]\r\nName=Flux Capacitor\r\nGrid=20,30\r\n", "8.01", 0));
    SchematicObject* o = First(doc.get());
    ASSERT_NE(nullptr, o);
    EXPECT_TRUE(IsMissingComponentPlaceholder(o->definition));
    EXPECT_EQ(kTypeBlank, o->definition->type);
    PartAttribute* text = FindAttribute(o, kAttrText);
    ASSERT_NE(nullptr, text);
    EXPECT_STREQ("Component 'Flux Capacitor' Not Found", text->Value());
    EXPECT_TRUE(text->flags & 0x20);
    EXPECT_EQ("'Flux Capacitor'", missing_);
    EXPECT_TRUE(loadProblems_);
    // The name is written back, so nothing is lost when the library returns.
    EXPECT_NE(std::string::npos, Save(doc.get(), "out.cir").find("[Comp]\r\nName=Flux Capacitor\r\n"));

    // A name longer than 50 characters is cut in the text only.
    auto other = std::make_unique<CCirDoc>();
    std::string longName(60, 'Q');
    ASSERT_EQ(0, ReadText(other.get(), "[Comp]\r\nName=" + longName + "\r\nGrid=20,30\r\n"));
    EXPECT_EQ("Component '" + longName.substr(0, 50) + "' Not Found",
              std::string(GetAttributeText(First(other.get()), kAttrText)));
    EXPECT_STREQ(longName.c_str(), First(other.get())->definition->Name());
}

// A run of components without a shape warns once, and every read starts
// afresh: what one read warned about does not silence the next.
TEST_F(cfo_Files, ShapelessComponentsWarnOncePerRunInEachRead) {
    const std::string body =
        "[Comp]\r\nName=Resistor\r\nGrid=20,20\r\n\r\n[Comp]\r\nName=Resistor\r\nGrid=40,20\r\n\r\n"
        "[Comp]\r\nName=Box\r\nGrid=60,20\r\n\r\n[Comp]\r\nName=Resistor\r\nGrid=80,20\r\n";
    for (int read = 0; read < 2; ++read) {
        auto doc = std::make_unique<CCirDoc>();
        ASSERT_EQ(0, ReadText(doc.get(), body, "8.01", kLoadHidden));
        EXPECT_TRUE(loadProblems_);
        EXPECT_EQ(doc->objects.count, 4);
    }
    EXPECT_EQ(lookup.noShape, std::vector<std::string>(4, "Resistor"));
}

TEST_F(cfo_Files, PositionsAndOrientationsAreBroughtIntoRange) {
    struct Case {
        const char* body;
        uint32_t flags;
        int x1, y1, x2, y2, rot;
        bool flagged;
    };
    const Case cases[] = {
        {"[Comp]\r\nName=Resistor\r\nGrid=0,32001\r\nRot=9\r\n", 0, 10, 10, 0, 0, 0, true},
        {"[Comp]\r\nName=Resistor\r\nGrid=1,32000\r\nRot=7\r\n", 0, 1, 32000, 0, 0, 7, false},
        {"[Comp]\r\nName=Resistor\r\nGrid=0,5\r\nRot=9\r\n", kLoadAsStored, 0, 5, 0, 0, 9, false},
        {"[Wire]\r\nGrids=5,-3,40000,7\r\n", 0, 5, 10, 10, 7, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        auto doc = std::make_unique<CCirDoc>();
        ASSERT_EQ(0, ReadText(doc.get(), c.body, "8.01", kLoadHidden | kLoadSilent | c.flags));
        SchematicObject* o = First(doc.get());
        ASSERT_NE(nullptr, o);
        EXPECT_EQ(c.x1, o->x1);
        EXPECT_EQ(c.y1, o->y1);
        if (o->IsWire()) {
            EXPECT_EQ(c.x2, o->x2);
            EXPECT_EQ(c.y2, o->y2);
        }
        EXPECT_EQ(c.rot, o->orientation);
        EXPECT_EQ(c.flagged, illegalCoordinates_);
    }
}

TEST_F(cfo_Files, AttributeSectionsReadOffsetsNamesAndStyles) {
    auto doc = std::make_unique<CCirDoc>();
    ASSERT_EQ(0, ReadText(doc.get(),
                          "[Comp]\r\nName=Resistor\r\nGrid=20,30\r\n\r\n"
                          "[Attr]\r\nStyle=99\r\nONV=5,2000,VALUE,1k,2\r\n\r\n"
                          "[Attr]\r\nONV=-3000,4,MyNote\r\nStyle=12288\r\n\r\n"
                          "[Attr]\r\nONV=1,1,,orphan\r\n"));
    SchematicObject* o = First(doc.get());
    ASSERT_NE(nullptr, o);
    PartAttribute* value = FindAttribute(o, kAttrValue);
    ASSERT_NE(nullptr, value);
    EXPECT_STREQ("1k,2", value->Value());  // the value keeps its commas
    EXPECT_EQ(5, value->offsetX);
    EXPECT_EQ(1000, value->offsetY);
    EXPECT_EQ(0, value->flags);  // Style before ONV is ignored
    PartAttribute* note = FindAttribute(o, "MyNote");
    ASSERT_NE(nullptr, note);
    EXPECT_STREQ("", note->Value());
    EXPECT_EQ(-1000, note->offsetX);
    EXPECT_EQ(0x3000, note->flags);
    EXPECT_EQ(nullptr, FindAttribute(o, "orphan"));
}

TEST_F(cfo_Files, MultiLineValuesUseByte254FromVersion8) {
    auto doc = std::make_unique<CCirDoc>();
    SchematicObject* o = doc->NewSchematicObject();
    o->objectKind = kObjectComponent;
    o->definition = &lookup.resistor;
    o->x1 = o->y1 = 20;
    o->page = 0;
    ASSERT_NE(nullptr, SetAttribute(doc.get(), o, "NOTE", "line one\r\nline two"));
    std::string now = Save(doc.get(), "v8.cir");
    EXPECT_NE(std::string::npos, now.find("ONV=0,0,NOTE,line one\xfeline two\r\n")) << now;
    std::string old = Save(doc.get(), "v7.cir", kCirVersion700);
    EXPECT_NE(std::string::npos, old.find("ONV=0,0,NOTE,line one  line two\r\n"));

    auto back = std::make_unique<CCirDoc>();
    CircuitFile file;
    file.loadFlags = kLoadHidden | kLoadSilent;
    ASSERT_EQ(0, ReadCircuitFile(back.get(), file, Path("v8.cir").c_str(), true));
    file.Close();
    EXPECT_STREQ("line one\r\nline two", GetAttributeText(First(back.get()), "NOTE"));
}

TEST_F(cfo_Files, OldObjectStyleListsDecideBorderAndFill) {
    struct Case {
        const char* body;
        int border, fill, weight;
    };
    const Case cases[] = {
        {"[Object]\r\nObject=Rectangle\r\nStyle=Border,Fill,Weight2\r\nColor=3\r\nCFill=5\r\nGrids=1,1,9,9\r\n", 3, 5,
         2},
        {"[Object]\r\nObject=Rectangle\r\nColor=3\r\nCFill=5\r\nGrids=1,1,9,9\r\n", kColorNone, kColorNone, 1},
        {"[Object]\r\nObject=Line\r\nColor=3\r\nGrids=1,1,9,9\r\n", 3, kColorNone, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        auto doc = std::make_unique<CCirDoc>();
        ASSERT_EQ(0, ReadText(doc.get(), c.body, "5.20"));
        SchematicObject* o = First(doc.get());
        ASSERT_NE(nullptr, o);
        EXPECT_EQ(c.border, o->borderColor);
        EXPECT_EQ(c.fill, o->fillColor);
        EXPECT_EQ(c.weight, o->lineWeight);
        EXPECT_EQ(0, o->styleFlags & 0x0081);
    }
    // Written as 5.20 the colours come back through the word list.
    auto built = std::make_unique<CCirDoc>();
    SchematicObject* box = built->NewSchematicObject();
    box->objectKind = kObjectGraphic;
    box->graphicType = FindGraphicObjectType("rectangle");
    box->x1 = box->y1 = 1;
    box->x2 = box->y2 = 9;
    box->page = 0;
    box->borderColor = 3;
    box->fillColor = 5;
    box->lineWeight = 2;
    std::string old = Save(built.get(), "520.cir", kCirVersion520);
    EXPECT_NE(std::string::npos, old.find("[Object]\r\nObject=Rectangle\r\nStyle=Border,Fill,Weight2\r\n")) << old;
    auto back = std::make_unique<CCirDoc>();
    CircuitFile file;
    file.loadFlags = kLoadHidden | kLoadSilent;
    ASSERT_EQ(0, ReadCircuitFile(back.get(), file, Path("520.cir").c_str(), true));
    file.Close();
    ASSERT_NE(nullptr, First(back.get()));
    EXPECT_EQ(3, First(back.get())->borderColor);
    EXPECT_EQ(5, First(back.get())->fillColor);
    EXPECT_EQ(2, First(back.get())->lineWeight);

    // An object without a known type is dropped.
    auto doc = std::make_unique<CCirDoc>();
    ASSERT_EQ(0, ReadText(doc.get(), "[Object]\r\nObject=Hexagon\r\nGrids=1,1,9,9\r\n"));
    EXPECT_EQ(nullptr, First(doc.get()));
}

TEST_F(cfo_Files, GridTextsAndFlags) {
    auto doc = std::make_unique<CCirDoc>();
    ASSERT_EQ(0, ReadText(doc.get(),
                          "[Grid Text]\r\nText=\r\nGrid=5,6\r\nPage=-2\r\n\r\n"
                          "[Flag]\r\nText=\"IN\"\r\nGrid=7,8\r\nBannerDC=whatever\r\nCBorder=4\r\n"));
    auto* g = static_cast<GridTextObject*>(doc->gridTexts.first);
    ASSERT_NE(nullptr, g);
    EXPECT_STREQ("Missing text!", g->text);
    EXPECT_EQ(0, g->page);
    auto* flag = static_cast<GridTextObject*>(g->next);
    ASSERT_NE(nullptr, flag);
    EXPECT_STREQ("IN", flag->text);
    EXPECT_EQ(kGridTextIsFlag | kGridTextBannerDC, flag->flags & (kGridTextIsFlag | kGridTextBannerDC));
    EXPECT_EQ(4, flag->borderColor);
}

// Components with attributes, wires, graphics and grid texts survive a save,
// a read and a second save byte for byte.
TEST_F(cfo_Files, DrawingRoundTripIsByteIdentical) {
    auto doc = std::make_unique<CCirDoc>();
    ASSERT_EQ(0, ReadText(doc.get(),
                          "[Comp]\r\nName=Resistor\r\nStyle=ShowPinText\r\nShowCurrent=False\r\nColor=12\r\n"
                          "Grid=20,30\r\nRot=3\r\nPage=1\r\n\r\n"
                          "[Attr]\r\nONV=4,-8,PART,R1\r\nStyle=8192\r\nHeight=-14\r\n\r\n"
                          "[Wire]\r\nGrids=20,30,60,30\r\nWeight=2\r\nColor=7\r\n\r\n"
                          "[Object]\r\nObject=Line\r\nLocked=True\r\nEndPoint=Dot\r\nBeginPoint=Arrow\r\n"
                          "CBorder=9\r\nGrids=1,2,30,40\r\n\r\n"
                          "[Object]\r\nObject=Ellipse\r\nCFill=3\r\nCBorder=NONE\r\nGrids=5,5,15,25\r\n\r\n"
                          "[Grid Text]\r\nText=\"hello\"\r\nGrid=50,60\r\nCBorder=2\r\n"));
    std::string first = Save(doc.get(), "a.cir");
    auto back = std::make_unique<CCirDoc>();
    CircuitFile file;
    file.loadFlags = kLoadHidden | kLoadSilent;
    ASSERT_EQ(0, ReadCircuitFile(back.get(), file, Path("a.cir").c_str(), true));
    file.Close();
    EXPECT_EQ(first, Save(back.get(), "b.cir"));
    EXPECT_NE(std::string::npos, first.find("EndPoint=Dot\r\nBeginPoint=Arrow\r\n"));
}

// An automatic macro box keeps its own pin positions, looked up by pin name.
TEST_F(cfo_Files, AutomaticMacroPinsFollowTheirNames) {
    auto doc = std::make_unique<CCirDoc>();
    ASSERT_EQ(0, ReadText(doc.get(),
                          "[Comp]\r\nName=Box\r\nGrid=20,20\r\nAutoMacroRect=1,2,8,9\r\nAutoMacroPinCnt=1\r\n"
                          "AutoMacroPin=\"B\",4,2,5,1\r\nAutoMacroPin=\"Nope\",7,7,7,7\r\n"));
    SchematicObject* o = First(doc.get());
    ASSERT_NE(nullptr, o);
    ASSERT_NE(nullptr, o->pinBox);
    EXPECT_EQ(2, o->pinBox->pinCount);  // raised to the definition's count
    EXPECT_EQ(8, o->pinBox->bounds[2]);
    EXPECT_EQ(4, o->pinBox->Pins()[1].x);
    EXPECT_EQ(2, o->pinBox->Pins()[1].y);
    std::string out = Save(doc.get(), "m.cir");
    EXPECT_NE(std::string::npos, out.find("AutoMacroRect=1,2,8,9\r\nAutoMacroPinCnt=2\r\n"));
    EXPECT_NE(std::string::npos, out.find("AutoMacroPin=\"B\",4,2,5,1\r\n")) << out;
}

// Files before 7.00 keep a macro's parameters in VALUE: "amp(5,7)".
TEST_F(cfo_Files, OldMacroValueBecomesFileAndParameters) {
    lookup.macroFiles = true;
    auto doc = std::make_unique<CCirDoc>();
    ASSERT_EQ(0, ReadText(doc.get(),
                          "[Comp]\r\nName=Macro\r\nGrid=20,20\r\n\r\n"
                          "[Attr]\r\nONV=0,0,VALUE,amp(5,   7,\r\nStyle=12288\r\n",
                          "6.00"));
    CircuitFile file;
    file.document = doc.get();
    file.version = kCirVersion600;
    RepairMacroParameters(file);
    SchematicObject* o = First(doc.get());
    ASSERT_NE(nullptr, o);
    EXPECT_STREQ("amp", GetAttributeText(o, kAttrFile));
    EXPECT_EQ(nullptr, FindAttribute(o, kAttrValue));
    EXPECT_STREQ("5", GetAttributeText(o, "Param:GAIN"));
    EXPECT_STREQ("7", GetAttributeText(o, "Param:OFFSET"));
    EXPECT_STREQ("", GetAttributeText(o, "Param:BIAS"));
    EXPECT_EQ(0, FindAttribute(o, "Param:GAIN")->flags & 0x3000);
    EXPECT_EQ(FindAttribute(o, "Param:GAIN"), FindAttribute(o, kAttrFile)->Next());
    // Written back for 6.00 the parameters fold into VALUE, missing ones with their default.
    std::string old = Save(doc.get(), "m6.cir", kCirVersion600);
    EXPECT_NE(std::string::npos, old.find("ONV=0,0,VALUE,amp(5,7,1)\r\n")) << old;
    EXPECT_EQ(std::string::npos, old.find("Param:"));
}

// A page number is taken from the file only up to the page limit: beyond it the
// file is malformed, however far beyond (these numbers once overflowed the page
// count, asked for gigabytes, or took seconds and saved a million pages).
TEST_F(cfo_Files, PageNumbersBeyondTheLimitRefuseTheFile) {
    const std::string last = std::to_string(kMaxPageCount - 1);
    struct Case {
        std::string section;
        std::string page;
        int result;
        int pages;
    };
    const std::vector<Case> cases = {
        {"[Wire]\r\nGrids=0,0,10,0\r\n", last, 0, kMaxPageCount},
        {"[Wire]\r\nGrids=0,0,10,0\r\n", "-5", 0, 1},
        {"[Wire]\r\nGrids=0,0,10,0\r\n", std::to_string(kMaxPageCount), kResultBadFormat, 0},
        {"[Wire]\r\nGrids=0,0,10,0\r\n", "2147483647", kResultBadFormat, 0},
        {"[Wire]\r\nGrids=0,0,10,0\r\n", "100000000", kResultBadFormat, 0},
        {"[Wire]\r\nGrids=0,0,10,0\r\n", "1000000", kResultBadFormat, 0},
        {"[Wire]\r\nGrids=0,0,10,0\r\n", "4294967296", kResultBadFormat, 0},
        {"[Comp]\r\nName=Resistor\r\nGrid=10,10\r\n", "1000000", kResultBadFormat, 0},
        {"[Object]\r\nObject=Line\r\n", "1000000", kResultBadFormat, 0},
        {"[Grid Text]\r\nText=\"a\"\r\n", "1000000", kResultBadFormat, 0},
        {"[Page]\r\nIndex=" + std::to_string(kMaxPageCount) + "\r\n", "", kResultBadFormat, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.section + c.page);
        auto doc = std::make_unique<CCirDoc>();
        const std::string body = c.section + (c.page.empty() ? "" : "Page=" + c.page + "\r\n");
        ClearPendingMessage();
        ASSERT_EQ(c.result, ReadText(doc.get(), body));
        if (c.result == 0) {
            EXPECT_EQ(c.pages, doc->PageCount());
        } else {
            EXPECT_STREQ(Path("in.cir").c_str(), PendingText());  // the bad-format message names the file
        }
    }
}

}  // namespace
