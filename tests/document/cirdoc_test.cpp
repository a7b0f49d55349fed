// The circuit document: a new circuit's set-up, its records, the run context,
// saving through the circuit file, and the object order.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "core/memory.h"
#include "core/result.h"
#include "core/textfile.h"
#include "document/attributes.h"
#include "document/circuitfile.h"
#include "document/cirdoc.h"
#include "document/cirio.h"
#include "document/docmessages.h"
#include "platform/app.h"
#include "platform/dialog.h"
#include "platform/frame.h"
#include "shell/preferences.h"
#include "shell/report.h"
#include "tests/support/tempdir.h"

namespace {

struct cdt_Owned : SchematicOwnedObject {
    explicit cdt_Owned(bool* flag) : destroyed(flag) {}
    ~cdt_Owned() override { *destroyed = true; }
    bool* destroyed;
};

// A hidden analysis document that records being closed.
class cdt_AnalysisDoc : public CDoc {
public:
    explicit cdt_AnalysisDoc(bool* flag) : CDoc(kDocAnalysisPlot), closed(flag) { autoDelete = false; }
    void OnCloseDocument() override {
        *closed = true;
        CDoc::OnCloseDocument();
    }
    bool* closed;
};

class CirDocTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterDocumentMessages();
        answerer_ = std::make_unique<platform::ScopedModalAnswerer>([this](platform::ModalRequest& r) -> int {
            if (auto* box = dynamic_cast<CMessageBoxDlg*>(&r)) texts.push_back(box->GetText(kMsgBoxText));
            return platform::dlgid::Ok;
        });
    }
    void TearDown() override {
        answerer_.reset();
        ClearRunContext();
    }
    std::vector<std::string> texts;
    std::unique_ptr<platform::ScopedModalAnswerer> answerer_;
};

TEST_F(CirDocTest, NewCircuitHasItsPagesVersionAndDefaults) {
    CCirDoc doc;
    EXPECT_EQ(doc.Kind(), kDocCircuit);
    ASSERT_EQ(doc.PageCount(), 4);
    const struct {
        const char* name;
        int kind;
        int print;
    } expected[] = {
        {"Main", kPageSchematic, 1}, {"Text", kPageText, 0}, {"Models", kPageText, 0}, {"Info", kPageInfo, 0}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_STREQ(doc.GetPageName(i), expected[i].name);
        EXPECT_EQ(doc.PageKind(i), expected[i].kind);
        EXPECT_EQ(doc.Page(i)->print, expected[i].print);
        EXPECT_EQ(doc.Page(i)->scale[3], 1.0);
    }
    EXPECT_EQ(doc.fileVersion, 0x80001);
    EXPECT_EQ(doc.fonts.zoom, 1.0);
    EXPECT_EQ(doc.printerScale, 1.0);
    EXPECT_EQ(doc.gridType, 17421);
    EXPECT_EQ(doc.displayFlags, 48);
    for (int32_t c : doc.partCounters) EXPECT_EQ(c, 0);
    EXPECT_EQ(doc.paneCount, 4);
    EXPECT_EQ(doc.needsNumbering, 1);
    EXPECT_EQ(doc.modeCommand, 17562);
    EXPECT_EQ(doc.userGrid, Prefs().gridUser);
    EXPECT_EQ(doc.untitled, 1);
    EXPECT_EQ(doc.IsDirty(), 0);
    EXPECT_TRUE(doc.flags & kDocFlagCircuitOrText);
    EXPECT_EQ(doc.fonts.gridText.color, ItemStyleTable[kItemGridText].color);
    EXPECT_EQ(doc.GetModelsPageIndex(), 2);
    EXPECT_EQ(doc.GetTextPageIndex(), 1);
    EXPECT_EQ(doc.GetActiveSchematicPage(), 0);
    EXPECT_EQ(doc.GetActiveTextPage(), 1);
}

TEST_F(CirDocTest, NewRecordsTakeTheirDefaultsAndReleaseWhatTheyOwn) {
    CCirDoc doc;
    SchematicObject* o = doc.NewSchematicObject();
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(o->type, kPoolSchematicObject);
    EXPECT_EQ(o->borderColor, kColorNone);
    EXPECT_EQ(o->fillColor, kColorNone);
    EXPECT_EQ(o->fillPattern, 10);
    EXPECT_EQ(o->lineWeight, 1);
    EXPECT_EQ(o->level, 1);
    EXPECT_EQ(o->flag, 1);
    EXPECT_EQ(o->dialect, kSpiceDialectNone);
    EXPECT_EQ(o->showCurrent + o->showPower + o->showCondition, 3);
    EXPECT_EQ(o->page, 0);
    EXPECT_EQ(o->attributes.count, 0);

    GridTextObject* g = doc.NewGridText();
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->node, -1);
    EXPECT_EQ(g->scope, 1);
    EXPECT_EQ(g->borderColor, kColorNone);
    EXPECT_FALSE(g->font.Differs(doc.fonts.gridText));

    // Everything a record owns goes with it (the sanitizer checks the rest).
    bool destroyed = false;
    o->ownedObject = new cdt_Owned(&destroyed);
    SetString(&o->ownedText, "owned");
    o->pinNodes = static_cast<int32_t*>(MemAllocZero(3 * sizeof(int32_t)));
    o->pinCount = 3;
    ASSERT_NE(SetAttribute(&doc, o, kAttrPart, "R1"), nullptr);
    SetString(&g->text, "IN");
    SetString(&g->formulaResult, "1");
    doc.objects.Delete(o);
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(doc.objects.count, 0);
}

TEST_F(CirDocTest, EditsMarkTheCircuitChangedAndDueForNumbering) {
    CCirDoc doc;
    doc.needsNumbering = 0;
    doc.OnObjectsChanged();
    EXPECT_EQ(doc.IsDirty(), 1);
    EXPECT_EQ(doc.contentChanged, 1);
    EXPECT_EQ(doc.needsNumbering, 1);
    // Saving does not clear content-changed.
    doc.SetDirty(0);
    EXPECT_EQ(doc.contentChanged, 1);
}

TEST_F(CirDocTest, SavingWritesTheCircuitFile) {
    InstallCircuitFile();
    twtest::TempDir dir("cdt");
    ASSERT_TRUE(dir.Valid());
    const std::string& folder = dir.Path();
    CCirDoc doc;
    doc.MarkDirty();
    // A file that cannot be written is reported by its path, and nothing
    // pretends it was saved.
    const std::string unreachable = folder + "/missing/cdt_a.cir";
    EXPECT_EQ(doc.SaveToPath(unreachable.c_str()), kResultShown);
    EXPECT_EQ(doc.untitled, 1);
    EXPECT_EQ(doc.IsDirty(), 1);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_NE(texts[0].find(unreachable), std::string::npos);

    const std::string path = folder + "/cdt_a.cir";
    EXPECT_EQ(doc.SaveToPath(path.c_str()), 0);
    EXPECT_EQ(doc.untitled, 0);
    EXPECT_EQ(doc.IsDirty(), 0);
    EXPECT_STREQ(doc.fileName, "cdt_a.cir");
    struct stat info;
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_GT(info.st_size, 0);
}

TEST_F(CirDocTest, TemplateMakesCircuitsAndTheRunContextFollowsMakeCurrent) {
    RegisterCircuitTemplate();
    CCirDoc* doc = NewCircuitDocument();
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->PageCount(), 4);
    bool closed = false;
    auto* analysis = new cdt_AnalysisDoc(&closed);
    doc->analysisDocument = analysis;
    doc->MakeCurrent();
    EXPECT_EQ(CurrentRunContext().circuitDocument, doc);
    EXPECT_EQ(CurrentRunContext().analysisDocument, analysis);
    EXPECT_EQ(CurrentCircuitDocument(), doc);
    // Closing a circuit closes its hidden analysis document first.
    doc->OnCloseDocument();
    EXPECT_TRUE(closed);
    delete analysis;
}

TEST_F(CirDocTest, SourceFilesOfTheCurrentCircuitAreFoundByPath) {
    InstallDocumentTextSource();
    CCirDoc doc;
    CCirDoc sub;
    doc.sourceFiles.push_back({"/lib/main.cir", &sub, "", nullptr, 0, 0});  // the circuit itself
    doc.sourceFiles.push_back({"/lib/sub.lib", &sub, "X1", nullptr, 0, 0});
    doc.sourceFiles.push_back({"/lib/gone.lib", nullptr, "X2", nullptr, 0, 0});
    doc.MakeCurrent();
    TextSourceProvider* source = GetTextSourceProvider();
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(source->FindSourceDocument("/lib/sub.lib"), &sub);
    // The first entry is the circuit itself and entries without a document
    // are not open: neither is found among the source files.
    EXPECT_EQ(source->FindSourceDocument("/lib/main.cir"), nullptr);
    EXPECT_EQ(source->FindSourceDocument("/lib/gone.lib"), nullptr);
    EXPECT_EQ(source->FindSourceDocument(nullptr), nullptr);
}

TEST_F(CirDocTest, ReorderMovesTheSelectionKeepingItsOrder) {
    CCirDoc doc;
    std::vector<SchematicObject*> made;
    for (int i = 0; i < 5; ++i) {
        made.push_back(doc.NewSchematicObject());
        made.back()->x1 = i;
    }
    made[1]->state |= kObjectSelected;
    made[3]->state |= kObjectSelected;
    auto order = [&] {
        std::vector<int> xs;
        for (PoolItem* i = doc.objects.first; i; i = i->next) xs.push_back(static_cast<SchematicObject*>(i)->x1);
        return xs;
    };
    doc.ReorderSelected(2);
    EXPECT_EQ(order(), (std::vector<int>{0, 2, 4, 1, 3}));
    doc.ReorderSelected(1);
    EXPECT_EQ(order(), (std::vector<int>{1, 3, 0, 2, 4}));
    EXPECT_EQ(doc.objects.count, 5);
}

TEST_F(CirDocTest, TextZoomStaysWithinItsLimitsAndKeepsTheSign) {
    const struct {
        int height;
        bool zoomIn;
        int expected;
    } cases[] = {{12, true, 13}, {72, true, 72}, {71, true, 72},  {-72, true, -72}, {-10, true, -11},
                 {3, false, 2},  {2, false, 2},  {-2, false, -2}, {-3, false, -2},  {0, true, 1}};
    for (const auto& c : cases) EXPECT_EQ(ZoomTextHeight(c.height, c.zoomIn), c.expected) << c.height;
}

TEST_F(CirDocTest, LocationsOfClosedDocuments) {
    InstallCircuitDocument();
    twtest::TempDir dir("cdt");
    ASSERT_TRUE(dir.Valid());
    const std::string& folder = dir.Path();
    const std::string path = folder + "/cdt_gone.cir";
    {
        CCirDoc saved;
        ASSERT_EQ(SaveCircuitFile(&saved, path.c_str(), kCirVersion801), 0);
    }
    auto listed = [&path]() -> CDoc* {
        for (CDoc* d = FirstDocument(); d; d = d->NextDocument())
            if (path == d->PathName()) return d;
        return nullptr;
    };
    CCirDoc gone;  // never listed: as good as closed
    SchematicObject* o = gone.NewSchematicObject();

    // A schematic place went with its document: nothing is shown or opened.
    SourceLocation object;
    object.kind = kLocationObject;
    object.object = o;
    object.document = &gone;
    CopyTextBounded(object.path, path.c_str(), sizeof object.path);
    object.Show();
    EXPECT_EQ(listed(), nullptr);
    EXPECT_EQ(o->state & kObjectSelected, 0);
    EXPECT_EQ(object.kind, 0);

    // A text place opens its file again (hidden here, so without a window).
    SourceLocation text;
    text.kind = kLocationText;
    text.document = &gone;
    text.openFlags = int32_t(kLoadHidden | kLoadSilent);
    CopyTextBounded(text.path, path.c_str(), sizeof text.path);
    text.Show();
    CDoc* reopened = listed();
    ASSERT_NE(reopened, nullptr);
    EXPECT_EQ(reopened->Kind(), kDocCircuit);
    EXPECT_EQ(text.kind, 0);  // cleared after showing
    reopened->OnCloseDocument();
    EXPECT_EQ(listed(), nullptr);
}

TEST_F(CirDocTest, TitleBlockComesFromTheProgramDefault) {
    TitleBlockSettings block;
    SetString(&block.fields[0], "$name");
    block.oneTitle = 0;
    block.show = 1;
    StoreDefaultTitleBlock(block);
    {
        CCirDoc doc;
        EXPECT_STREQ(doc.titleBlock.fields[0], "$name");
        EXPECT_EQ(doc.titleBlock.oneTitle, 0);
        EXPECT_EQ(doc.titleBlock.show, 1);
    }
    FreeTitleBlock(&block);
    TitleBlockSettings empty;
    StoreDefaultTitleBlock(empty);
    FreeTitleBlock(&empty);
}

// A circuit in its window: the view makes a tab strip per pane, and closing
// the window asks about unsaved changes.
TEST_F(CirDocTest, CircuitWindowHasTabStripsAndAsksBeforeClosing) {
    platform::Application* app = platform::Application::Instance();
    ASSERT_NE(app, nullptr);
    platform::MainFrame host;
    ASSERT_TRUE(host.Create("Tarnwick", platform::Rect{0, 0, 900, 700}));
    app->SetMainWindow(&host);
    RegisterCircuitTemplate();
    auto* doc = dynamic_cast<CCirDoc*>(CreateDocumentOfKind(kDocCircuit, "/tmp/cdt_window.cir"));
    ASSERT_NE(doc, nullptr);
    auto* view = dynamic_cast<CCTView*>(doc->MainView());
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(doc->MainCTView(), view);
    for (int pane = 0; pane < kMaxPanes; ++pane) ASSERT_NE(view->TabStrip(pane), nullptr) << pane;
    CCirTabs* strip = view->TabStrip(0);
    const int h = strip->ClientRect().bottom;
    ASSERT_GT(h, 4);
    EXPECT_EQ(strip->HitTest(CCirTabs::TabsLeft(h) + 2, 1), 0);
    EXPECT_EQ(strip->HitTest(CCirTabs::TabsLeft(h) - 1, 1), -1);
    const int second = CCirTabs::TabsLeft(h) + (h - 2) / 2 + strip->TabWidth(0) + (h - 2) / 2 + 2;
    EXPECT_EQ(strip->HitTest(second, h - 3), 1);

    // Revert waits for a file the document was saved to or read from.
    platform::CommandState revert(iocmd::FileRevert);
    ASSERT_TRUE(view->OnUpdateCommand(revert));
    EXPECT_FALSE(revert.Enabled());
    doc->untitled = 0;
    platform::CommandState revertTitled(iocmd::FileRevert), save(iocmd::FileSave);
    ASSERT_TRUE(view->OnUpdateCommand(revertTitled));
    ASSERT_TRUE(view->OnUpdateCommand(save));
    EXPECT_TRUE(revertTitled.Enabled());
    EXPECT_TRUE(save.Enabled());

    // Showing a text page in a pane remembers it as the active text page.
    view->ShowPageInPane(1, 2);
    EXPECT_EQ(doc->GetPanePageIndex(1), 2);
    EXPECT_EQ(doc->GetActiveTextPage(), 2);

    doc->MarkDirty();
    int pressed = platform::dlgid::Cancel;
    platform::ScopedModalAnswerer scoped([&](platform::ModalRequest& r) -> int {
        if (auto* box = dynamic_cast<CMessageBoxDlg*>(&r)) texts.push_back(box->GetText(kMsgBoxText));
        return pressed;
    });
    EXPECT_FALSE(view->frame->Close());
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_NE(texts[0].find("Save changes in 'cdt_window.cir'?"), std::string::npos);
    EXPECT_EQ(DocumentList().count, 1);
    pressed = platform::dlgid::No;
    EXPECT_TRUE(view->frame->Close());
    app->PumpEvents();
    EXPECT_EQ(DocumentList().count, 0);
    host.Destroy();
    app->SetMainWindow(nullptr);
    ClearDocumentTemplates();
    app->PumpEvents();
}

}  // namespace
