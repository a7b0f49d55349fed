// The circuit file's page, view and settings sections: pages and their raw
// texts, zoom snapping, pane and grid settings, and what each version writes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/result.h"
#include "document/cfsections.h"
#include "document/circuitfile.h"
#include "document/cirdoc.h"
#include "document/cirio.h"
#include "tests/support/tempdir.h"
#include "tests/support/test_reporter.h"

namespace {

std::string cfp_test_Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class cfp_Files : public ::testing::Test {
protected:
    void SetUp() override {
        InstallCircuitFile();
        InstallCircuitObjectSections();
        InstallCircuitPageSections();
        ASSERT_TRUE(dir_.Valid());
    }
    std::string Path(const char* name) const { return dir_.Path() + "/" + name; }

    int ReadFile(CCirDoc* doc, const std::string& path) {
        CircuitFile file;
        file.loadFlags = kLoadHidden | kLoadSilent;
        int code = ReadCircuitFile(doc, file, path.c_str(), true);
        file.Close();
        return code;
    }
    int ReadText(CCirDoc* doc, const std::string& body, const char* version = "8.01") {
        std::string path = Path("in.cir");
        std::ofstream(path, std::ios::binary) << "[Main]\r\nFileType=CIR\r\nVersion=" << version << "\r\n\r\n" << body;
        return ReadFile(doc, path);
    }
    std::string Save(CCirDoc* doc, const char* name, int32_t version = kCirVersion801) {
        std::string path = Path(name);
        EXPECT_EQ(0, SaveCircuitFile(doc, path.c_str(), version));
        return cfp_test_Read(path);
    }

    twtest::TempDir dir_{"cfp"};
};

TEST(cfp_Zoom, SnapsToTheZoomTable) {
    struct Case {
        double in, out;
    };
    const Case cases[] = {{0.3, 1.0}, {0.25, 0.25}, {0.667, 2.0 / 3.0}, {2.66, 8.0 / 3.0}, {1.339, 4.0 / 3.0},
                          {8.0, 8.0}, {0.5, 0.5},   {7.0, 1.0},         {-2.0, 1.0},       {1e300, 1.0}};
    for (const Case& c : cases) EXPECT_DOUBLE_EQ(c.out, SnapZoomValue(c.in)) << c.in;
}

TEST_F(cfp_Files, ObjectsBeyondThePageSectionsGrowThePageTable) {
    auto doc = std::make_unique<CCirDoc>();
    ASSERT_EQ(0, ReadText(doc.get(),
                          "[Wire]\r\nGrids=10,10,30,10\r\nPage=5\r\n\r\n"
                          "[Page]\r\nIndex=0\r\nName=Main\r\nScale 0=0.3\r\nScale 1=0.667\r\n\r\n"
                          "[Page]\r\nIndex=1\r\nName=Second\r\n\r\n"
                          "[Page]\r\nIndex=2\r\nType=Text\r\nName=Text\r\n"));
    EXPECT_EQ(6, doc->PageCount());
    EXPECT_STREQ("Second", doc->GetPageName(1));
    EXPECT_EQ(kPageText, doc->PageKind(2));
    EXPECT_EQ(kPageSchematic, doc->PageKind(5));
    EXPECT_DOUBLE_EQ(1.0, doc->Page(0)->scale[0]);
    EXPECT_DOUBLE_EQ(2.0 / 3.0, doc->Page(0)->scale[1]);
}

// A text page keeps its CR LF pairs byte for byte; Len counts them.
TEST_F(cfp_Files, TextAreaKeepsRawBytes) {
    const std::string text = "* first\r\n.tran 1n 1u\r\n\r\nR1 1 0 1k\r\n[not a section]\r\n";
    auto doc = std::make_unique<CCirDoc>();
    ASSERT_EQ(0, ReadText(doc.get(),
                          "[Page]\r\nIndex=0\r\nName=Main\r\n\r\n[Page]\r\nIndex=1\r\nType=Text\r\nName=Text\r\n\r\n"
                          "[Text Area]\r\nPage=1\r\nLen=" +
                              std::to_string(text.size()) + "\r\n" + text + "\r\n\r\n[Schematic]\r\nGridUser=900\r\n"));
    ASSERT_NE(nullptr, doc->Page(1)->storedText);
    EXPECT_EQ(text, doc->Page(1)->storedText);
    EXPECT_EQ(500, doc->userGrid);  // the section after the text is still read

    std::string first = Save(doc.get(), "a.cir");
    EXPECT_NE(std::string::npos, first.find("Len=" + std::to_string(text.size()) + "\r\n" + text + "\r\n"));
    auto back = std::make_unique<CCirDoc>();
    ASSERT_EQ(0, ReadFile(back.get(), Path("a.cir")));
    EXPECT_EQ(text, back->Page(1)->storedText);
    EXPECT_EQ(first, Save(back.get(), "b.cir"));
}

TEST_F(cfp_Files, TextAreaLengthBeyondTheFileIsBadFormat) {
    auto doc = std::make_unique<CCirDoc>();
    EXPECT_EQ(
        kResultBadFormat,
        ReadText(doc.get(), "[Page]\r\nIndex=0\r\nType=Text\r\nName=Text\r\n\r\n[Text Area]\r\nLen=5000\r\nshort\r\n"));
}

TEST_F(cfp_Files, SchematicSettingsAreClampedAndSnapped) {
    struct Case {
        const char* body;
        int userGrid;
        double zoom;
    };
    const Case cases[] = {
        {"[Schematic]\r\nGridUser=0\r\nScale=0.3\r\n", 1, 1.0},
        {"[Schematic]\r\nGridUser=900\r\nScale=0.25\r\n", 500, 0.25},
        {"[Schematic]\r\nGridUser=25\r\nScale=2.66\r\n", 25, 8.0 / 3.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        auto doc = std::make_unique<CCirDoc>();
        ASSERT_EQ(0, ReadText(doc.get(), c.body));
        EXPECT_EQ(c.userGrid, doc->userGrid);
        EXPECT_DOUBLE_EQ(c.zoom, doc->fonts.zoom);
    }
}

// Version 7.00 keeps only schematic pages (its last page is the single text
// page) and Printer and DSP sections; 8.01 writes every page and neither.
TEST_F(cfp_Files, WhatEachVersionWrites) {
    auto doc = std::make_unique<CCirDoc>();
    doc->FreePages();
    doc->AppendPage(kPageSchematic, "Main");
    doc->AppendPage(kPageSchematic, "Sheet2");
    doc->AppendPage(kPageText, "Text");
    doc->paneCurrentPage[1] = 2;
    doc->fileSettings.dspMax[0] = "10";

    std::string old = Save(doc.get(), "old.cir", kCirVersion700);
    size_t pages = 0;
    for (size_t at = old.find("[Page]"); at != std::string::npos; at = old.find("[Page]", at + 1)) ++pages;
    EXPECT_EQ(2u, pages);
    EXPECT_EQ(std::string::npos, old.find("Name=Text"));
    EXPECT_NE(std::string::npos, old.find("[Text Area]"));
    EXPECT_NE(std::string::npos, old.find("Page 1=0\r\n"));
    EXPECT_NE(std::string::npos, old.find("[Printer]"));
    EXPECT_NE(std::string::npos, old.find("[DSP]\r\nT.Status=On\r\nT.Max=10\r\n"));

    std::string now = Save(doc.get(), "new.cir");
    EXPECT_NE(std::string::npos, now.find("Type=Text\r\n"));
    EXPECT_NE(std::string::npos, now.find("Page 1=2\r\n"));
    EXPECT_EQ(std::string::npos, now.find("[Printer]"));
    EXPECT_EQ(std::string::npos, now.find("[DSP]"));
}

// Settings the sections keep for later layers come back from a save.
TEST_F(cfp_Files, SettingsRoundTrip) {
    auto doc = std::make_unique<CCirDoc>();
    ASSERT_EQ(0, ReadText(doc.get(),
                          "[Circuit]\r\nWinBackGround Color=5\r\nTitleBlock Field_2=Rev B\r\nTitle_Block=True\r\n\r\n"
                          "[Schematic]\r\nPage 0=0\r\nView=1234\r\nGridType=Bold5\r\nGridUser=20\r\n\r\n"
                          "[Tools]\r\nPos=Left\r\nZoomIn=No\r\n\r\n"
                          "[TF]\r\nOutput=V(2)\r\nInput Source=V1\r\nPlace Text=True\r\nTextGrid=4,5\r\n"));
    EXPECT_EQ(5, doc->backgroundStyle.color);
    EXPECT_STREQ("Rev B", doc->titleBlock.fields[1]);
    EXPECT_EQ(1, doc->titleBlock.show);
    EXPECT_EQ(1234 & ~(0x002 | 0x040 | 0x080 | 0x400), doc->displayFlags);
    EXPECT_EQ("V(2)", doc->fileSettings.transferOutputs[0]);
    std::string first = Save(doc.get(), "a.cir");
    EXPECT_NE(std::string::npos, first.find("[Tools]\r\nPos=Left\r\nZoomIn=No\r\n"));
    auto back = std::make_unique<CCirDoc>();
    ASSERT_EQ(0, ReadFile(back.get(), Path("a.cir")));
    EXPECT_EQ(first, Save(back.get(), "b.cir"));
}

}  // namespace

namespace {

// The circuit window's stored placement is kept from 8.00 files read on the
// same screen and dropped from older files.
TEST_F(cfp_Files, OldFilesLoseTheCircuitWindowPlacement) {
    const char* body = "[Circuit]\r\nWindow Placement=0,1,0,0,0,0,10,20,300,400\r\n";
    auto now = std::make_unique<CCirDoc>();
    ASSERT_EQ(0, ReadText(now.get(), body));
    EXPECT_EQ(kPlacementLength, now->fileSettings.windowPlacement.length);
    EXPECT_EQ(300, now->fileSettings.windowPlacement.right);
    auto old = std::make_unique<CCirDoc>();
    ASSERT_EQ(0, ReadText(old.get(), body, "7.00"));
    EXPECT_EQ(0, old->fileSettings.windowPlacement.length);
}

}  // namespace

namespace {

// Each report as "code:text".
std::string cfp_test_Report(const MessageRequest& request) {
    char text[2000];
    FormatMessageArgs(text, sizeof text, "%s\n%s", request.args());
    return std::to_string(request.code()) + ":" + text;
}

// Lines after a text page's bytes are not ours: one warning per file.
TEST_F(cfp_Files, DataAfterTheTextIsReportedOnce) {
    std::vector<std::string> reports;
    ScopedTestReporter reporter([&reports](const MessageRequest& request) {
        reports.push_back(cfp_test_Report(request));
        return 0;
    });
    std::string path = Path("x.cir");
    std::ofstream(path, std::ios::binary)
        << "[Main]\r\nFileType=CIR\r\nVersion=8.01\r\n\r\n[Page]\r\nIndex=0\r\nType=Text\r\nName=Text\r\n\r\n"
           "[Text Area]\r\nLen=3\r\nabc\r\nExtra=1\r\nMore=2\r\n\r\n[Text Area]\r\nLen=2\r\nxy\r\nAgain=3\r\n";
    auto doc = std::make_unique<CCirDoc>();
    CircuitFile file;
    file.loadFlags = kLoadHidden;
    int code = ReadCircuitFile(doc.get(), file, path.c_str(), true);
    file.Close();
    EXPECT_EQ(0, code);
    EXPECT_STREQ("xy", doc->Page(0)->storedText);
    ASSERT_EQ(1u, reports.size());
    EXPECT_NE(std::string::npos, reports[0].find("13513:"));
    EXPECT_NE(std::string::npos, reports[0].find("Extra=1"));
}

}  // namespace
