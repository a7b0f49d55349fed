// Documents with their frames and views: creation by kind, the document list,
// closing, the active window, placements, command routing, drawing choices and
// the release of undo memory.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "core/memory.h"
#include "core/pool.h"
#include "platform/app.h"
#include "platform/draw.h"
#include "platform/frame.h"
#include "platform/image.h"
#include "platform/keys.h"
#include "shell/app.h"
#include "shell/colortable.h"
#include "shell/document.h"
#include "shell/drawcontext.h"
#include "tests/support/tempdir.h"

namespace {

using platform::Application;
using platform::Placement;
using platform::Rect;

// A document that counts itself among the fixture's live documents.
class dt_Doc : public CDoc {
public:
    explicit dt_Doc(int& live) : live_(live) { ++live_; }
    ~dt_Doc() override { --live_; }
    std::vector<int> commands;
    bool OnCommand(int id) override {
        if (id != 40002) return false;
        commands.push_back(id);
        return true;
    }

private:
    int& live_;
};

class dt_View : public CMDIView {
public:
    int initialUpdates = 0;
    bool drewWithContext = false;
    std::vector<std::string> calls;
    void OnDraw(platform::DrawSurface& surface) override { drewWithContext = GetDrawContext().surface == &surface; }
    void OnInitialUpdate() override { ++initialUpdates; }
    void Cut(int flag) override { calls.push_back("cut" + std::to_string(flag)); }
    void Clear() override { calls.push_back("clear"); }
    void ShowProperties() override { calls.push_back("properties"); }
    bool OnCommand(int id) override {
        if (id == 40001) {
            calls.push_back("own");
            return true;
        }
        return CMDIView::OnCommand(id);
    }
};

class dt_Frame : public CMDIFrame {};

class DocumentTest : public ::testing::Test {
protected:
    void SetUp() override {
        app = Application::Instance();
        ASSERT_NE(app, nullptr);
        ASSERT_TRUE(host.Create("Tarnwick", Rect{0, 0, 900, 700}));
        app->SetMainWindow(&host);
        host.Show(platform::show::Normal);
        for (int kind : {kDocCircuit, kDocText, kDocLibrary, kDocMonteCarlo, kDocAnalysisPlot})
            RegisterDocumentTemplate(dt_Template(kind));
        app->PumpEvents();
    }
    void TearDown() override {
        RunState() = RunStateValues{};
        ClearRunContext();
        host.Destroy();
        // Taking the documents' windows away closes the documents.
        EXPECT_EQ(DocumentList().count, 0);
        EXPECT_EQ(liveDocuments_, 0);
        CloseAllDocuments();
        ClearDocumentTemplates();
        app->SetMainWindow(nullptr);
        app->PumpEvents();  // the layer deletes frames and views here
    }

    DocumentTemplate dt_Template(int kind) {
        DocumentTemplate t;
        t.kind = kind;
        t.createDocument = [this] { return std::unique_ptr<CDoc>(new dt_Doc(liveDocuments_)); };
        t.createFrame = [] { return std::unique_ptr<CMDIFrame>(new dt_Frame()); };
        t.createView = [] { return std::unique_ptr<CMDIView>(new dt_View()); };
        return t;
    }

    dt_Doc* Open(int kind, const char* title) {
        auto* doc = static_cast<dt_Doc*>(CreateDocumentOfKind(kind, title));
        if (doc) doc->MainView()->ShowFrame(platform::show::Normal);
        app->PumpEvents();
        return doc;
    }
    static dt_View* ViewOf(CDoc* doc) { return static_cast<dt_View*>(doc->MainView()); }

    Application* app = nullptr;
    platform::MainFrame host;
    int liveDocuments_ = 0;
};

TEST_F(DocumentTest, CreatedDocumentsLiveInTheListWithTheirWindows) {
    CDoc* a = CreateDocumentOfKind(kDocCircuit, "/home/u/amp.cir");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->Kind(), kDocCircuit);
    CMDIView* view = a->MainView();
    ASSERT_NE(view, nullptr);
    ASSERT_NE(view->frame, nullptr);
    EXPECT_EQ(view->GetDocument(), a);
    EXPECT_EQ(view->kind, kDocCircuit);
    EXPECT_EQ(view->frame->kind, kDocCircuit);
    EXPECT_EQ(view->frame->view, view);
    EXPECT_EQ(ViewOf(a)->initialUpdates, 1);
    EXPECT_FALSE(view->frame->IsVisible());  // made hidden; the caller shows it
    EXPECT_STREQ(a->PathName(), "/home/u/amp.cir");
    EXPECT_EQ(view->frame->Title(), "/home/u/amp.cir");
    char small[8];
    a->CopyPathName(small, sizeof small);
    EXPECT_STREQ(small, "/home/u");

    // New documents go to the tail, or to the head while the switch says so.
    CDoc* b = CreateDocumentOfKind(kDocText, "b.txt");
    SetListInsertPosition(1);
    CDoc* c = CreateDocumentOfKind(kDocMonteCarlo, "mc");
    SetListInsertPosition(2);
    ASSERT_TRUE(b && c);
    EXPECT_EQ(FirstDocument(), c);
    EXPECT_EQ(c->NextDocument(), a);
    EXPECT_EQ(a->NextDocument(), b);
    EXPECT_EQ(b->PreviousDocument(), a);
    EXPECT_EQ(DocumentList().count, 3);

    // Running OpenFrame again does not list the document twice.
    ASSERT_NE(a->OpenFrame(nullptr), nullptr);
    EXPECT_EQ(DocumentList().count, 3);
}

TEST_F(DocumentTest, KindsWithoutCreationOrTemplateGiveNothing) {
    // 5 has a template here but is made with each circuit; 7 has none.
    for (int kind : {4, 5, 8, 9, 10, 0, -1, 14, 99, kDoc3DPlot}) {
        EXPECT_EQ(CreateDocumentOfKind(kind, "x"), nullptr) << kind;
    }
    EXPECT_EQ(DocumentList().count, 0);
    EXPECT_EQ(liveDocuments_, 0);
    EXPECT_EQ(host.Children().size(), 0u);

    // A failed preparation or a template without a frame closes the half-made document.
    DocumentTemplate failing = dt_Template(kDocCircuit);
    failing.prepareDocument = [](CDoc&) { return false; };
    RegisterDocumentTemplate(failing);
    EXPECT_EQ(CreateDocumentOfKind(kDocCircuit, "x"), nullptr);
    DocumentTemplate frameless = dt_Template(kDocText);
    frameless.createFrame = [] { return std::unique_ptr<CMDIFrame>(); };
    RegisterDocumentTemplate(frameless);
    EXPECT_EQ(CreateDocumentOfKind(kDocText, "x"), nullptr);
    EXPECT_EQ(DocumentList().count, 0);
    EXPECT_EQ(liveDocuments_, 0);
}

TEST_F(DocumentTest, ClosingUnlinksAndForgetsTheDocument) {
    dt_Doc* a = Open(kDocCircuit, "a.cir");
    dt_Doc* b = Open(kDocText, "b.txt");
    dt_Doc* c = Open(kDocLibrary, "c.lib");
    ASSERT_TRUE(a && b && c);
    SetInitialCircuitDocument(a);
    CurrentRunContext().circuitDocument = a;
    CurrentRunContext().analysisView = b->MainView();

    // The menu lock holds every frame open.
    int lockWindow = 0;
    RunState().menuLock = &lockWindow;
    EXPECT_FALSE(a->MainView()->frame->Close());
    EXPECT_EQ(DocumentList().count, 3);
    RunState().menuLock = nullptr;

    // The user closes the frame: the document leaves the list and is deleted.
    EXPECT_TRUE(a->MainView()->frame->Close());
    app->PumpEvents();
    EXPECT_EQ(DocumentList().count, 2);
    EXPECT_EQ(liveDocuments_, 2);
    EXPECT_EQ(GetInitialCircuitDocument(), nullptr);
    EXPECT_EQ(CurrentRunContext().circuitDocument, nullptr);
    EXPECT_EQ(FirstDocument(), b);

    // File > Close from the menu, routed to the active view.
    b->MainView()->ActivateFrame();
    app->PumpEvents();
    EXPECT_TRUE(host.RouteCommand(viewcmd::FileClose));
    app->PumpEvents();
    EXPECT_EQ(CurrentRunContext().analysisView, nullptr);
    EXPECT_EQ(FirstDocument(), c);

    // A posted close arrives through the event loop.
    CMDIView::PostCloseFrame(nullptr);
    CMDIView::PostCloseFrame(c->MainView());
    EXPECT_TRUE(app->RunUntil([] { return DocumentList().count == 0; }, 5000));
    EXPECT_EQ(liveDocuments_, 0);
}

TEST_F(DocumentTest, ActiveChildFrameFollowsTheZOrderOfListedDocuments) {
    EXPECT_EQ(GetActiveChildFrame(), nullptr);
    dt_Doc* a = Open(kDocCircuit, "a.cir");
    dt_Doc* b = Open(kDocText, "b.txt");
    ASSERT_TRUE(a && b);
    EXPECT_EQ(GetActiveChildFrame(), b->MainView()->frame);

    a->MainView()->ActivateFrame();
    app->PumpEvents();
    EXPECT_EQ(GetActiveChildFrame(), a->MainView()->frame);
    EXPECT_EQ(GetActiveView(), a->MainView());
    EXPECT_EQ(GetActiveDocument(), a);
    EXPECT_EQ(FindViewOfFrameWindow(b->MainView()->frame), b->MainView()->frame);
    EXPECT_EQ(FindViewOfFrameWindow(&host), nullptr);

    // A child window of no listed document is passed over.
    platform::MdiChild stranger;
    ASSERT_TRUE(stranger.Create(host, "tool", Rect{10, 10, 200, 100}));
    stranger.Show(platform::show::Normal);
    stranger.Activate();
    app->PumpEvents();
    ASSERT_EQ(host.Children().front(), &stranger);
    EXPECT_EQ(GetActiveDocument(), a);

    // During a run the platform's active child is the answer, listed or not.
    RunState().activeAnalysis = 0;
    RunState().running = true;
    EXPECT_EQ(GetActiveChildFrame(), nullptr);
    RunState() = RunStateValues{};
    stranger.Destroy();
}

TEST_F(DocumentTest, PlacementsAreFittedIntoTheClientArea) {
    dt_Doc* doc = Open(kDocCircuit, "a.cir");
    ASSERT_NE(doc, nullptr);
    CMDIView* view = doc->MainView();
    const Rect client = host.MdiClientRect();
    const int w = client.Width();
    const int h = client.Height();
    ASSERT_GT(w, 300);
    ASSERT_GT(h, 200);

    struct Case {
        const char* what;
        Rect given;
        Rect expected;
    };
    const std::vector<Case> cases = {
        {"inside", Rect{10, 20, 210, 170}, Rect{10, 20, 210, 170}},
        {"sticks out right and down", Rect{w - 100, h - 50, w + 100, h + 50}, Rect{w - 200, h - 100, w, h}},
        {"wider than the client", Rect{50, 0, 50 + w + 40, 100}, Rect{0, 0, w, 100}},
    };
    for (const Case& c : cases) {
        Placement p;
        p.length = platform::kPlacementLength;
        p.showCode = platform::show::Normal;
        p.normal = c.given;
        view->ApplyFramePlacement(p);
        app->PumpEvents();
        EXPECT_EQ(view->frame->WindowRect(), c.expected) << c.what;
        EXPECT_TRUE(view->frame->IsActive()) << c.what;
    }

    // No placement stored: maximized instead.
    view->ApplyFramePlacement(Placement{});
    app->PumpEvents();
    EXPECT_TRUE(view->frame->IsMaximized());

    // A second window takes the placement of the zoomed one.
    dt_Doc* other = Open(kDocText, "b.txt");
    ASSERT_NE(other, nullptr);
    doc->MainView()->ActivateFrame();
    doc->MainView()->MaximizeFrame();
    app->PumpEvents();
    ASSERT_TRUE(view->frame->IsMaximized());
    EXPECT_TRUE(other->MainView()->IsOtherChildMaximized());
    EXPECT_FALSE(view->IsOtherChildMaximized());
    Placement got;
    other->MainView()->GetFramePlacement(&got);
    EXPECT_EQ(got, view->frame->GetPlacement());
    EXPECT_EQ(got.showCode, platform::show::Maximized);

    // Fitting and the upper right quarter.
    view->frame->Restore();
    FitFrameToClient(view->frame);
    EXPECT_EQ(view->frame->WindowRect(), (Rect{0, 0, w, h}));
    MoveFrameToUpperRight(view->frame);
    EXPECT_EQ(view->frame->WindowRect(), (Rect{w / 2, 0, w / 2 + w / 2, h / 2}));
}

TEST_F(DocumentTest, CommandsRouteFromTheFrameThroughTheViewToTheDocument) {
    dt_Doc* doc = Open(kDocCircuit, "a.cir");
    ASSERT_NE(doc, nullptr);
    auto* view = ViewOf(doc);

    EXPECT_TRUE(host.RouteCommand(40001));  // the view's own
    EXPECT_TRUE(host.RouteCommand(40002));  // on to the document
    EXPECT_TRUE(host.RouteCommand(viewcmd::EditCut));
    EXPECT_TRUE(host.RouteCommand(viewcmd::EditClear));
    EXPECT_TRUE(view->frame->RouteCommand(viewcmd::Properties));
    EXPECT_FALSE(host.RouteCommand(40003));
    EXPECT_EQ(view->calls, (std::vector<std::string>{"own", "cut1", "clear", "properties"}));
    EXPECT_EQ(doc->commands, std::vector<int>{40002});

    // Print is disabled in library views, under the menu lock and while a run computes.
    struct Case {
        const char* what;
        int kind;
        bool lock;
        bool running;
        bool paused;
        bool enabled;
    };
    const std::vector<Case> cases = {
        {"circuit", kDocCircuit, false, false, false, true},
        {"library view", kDocLibrary, false, false, false, false},
        {"menu lock", kDocCircuit, true, false, false, false},
        {"computing", kDocCircuit, false, true, false, false},
        {"paused run", kDocCircuit, false, true, true, true},
    };
    int lockWindow = 0;
    for (const Case& c : cases) {
        view->kind = c.kind;
        RunState().menuLock = c.lock ? &lockWindow : nullptr;
        RunState().running = c.running;
        RunState().paused = c.paused;
        platform::CommandState state(viewcmd::FilePrint, true);
        EXPECT_TRUE(host.RouteUpdateCommand(state)) << c.what;
        EXPECT_EQ(state.Enabled(), c.enabled) << c.what;
    }
    RunState() = RunStateValues{};
    view->kind = kDocCircuit;

    platform::CommandState properties(viewcmd::Properties, true);
    properties.Enable(false);
    EXPECT_TRUE(host.RouteUpdateCommand(properties));
    EXPECT_TRUE(properties.Enabled());

    // Esc returns to Select and remembers the mode it left.
    view->SetMode(17570);
    app->PostKeyDown(view, platform::key::Escape);
    app->PumpEvents();
    EXPECT_EQ(doc->modeCommand, viewcmd::ModeSelect);
    EXPECT_EQ(doc->previousModeCommand, 17570);
}

TEST_F(DocumentTest, DrawingFollowsDeviceFixedPageAndColourOutput) {
    InitColorTable();
    dt_Doc* doc = Open(kDocCircuit, "a.cir");
    ASSERT_NE(doc, nullptr);
    CMDIView* view = doc->MainView();
    doc->backgroundStyle.color = 9;

    platform::Image page(300, 200);
    std::unique_ptr<platform::DrawSurface> surface = platform::CreateImageSurface(page);
    CDrawContext screen(surface.get());
    CDrawContext printer(surface.get());
    printer.technology = platform::kTechRasterPrinter;
    CDrawContext mono(surface.get());
    mono.technology = platform::kTechRasterPrinter;
    mono.monochrome = 1;

    // Background: the document's on the screen, white on paper unless colour output is on.
    EXPECT_EQ(view->GetBackgroundColor(&screen), 9);
    EXPECT_EQ(view->GetBackgroundColor(&printer), kColorWhite);
    gColorOutput = true;
    EXPECT_EQ(view->GetBackgroundColor(&printer), 9);
    gColorOutput = false;
    const Rect pageRect{5, 5, 105, 55};
    doc->fixedPageRect = &pageRect;
    EXPECT_FALSE(view->UsesColorOutput(&screen));
    Rect area;
    view->GetDrawArea(&screen, &area);
    EXPECT_EQ(area, pageRect);
    doc->fixedPageRect = nullptr;
    view->GetDrawArea(&printer, &area);
    EXPECT_EQ(area, (Rect{0, 0, 300, 200}));
    view->GetDrawArea(&screen, &area);
    EXPECT_EQ(area, view->ClientRect());

    // Monochrome printers print every colour but "none" black, or white when
    // colour output is on and the window background is black.
    struct Case {
        int in;
        bool colorOutput;
        bool blackWindow;
        int out;
    };
    const std::vector<Case> cases = {
        {9, false, false, 0}, {kColorNone, false, false, kColorNone}, {12, true, false, 0}, {12, true, true, 15},
        {0, false, true, 0},
    };
    for (const Case& c : cases) {
        gColorOutput = c.colorOutput;
        SetColorRow(kRowWindow, c.blackWindow ? platform::MakeColor(0, 0, 0) : platform::MakeColor(255, 255, 255));
        int color = c.in;
        EXPECT_EQ(view->MapColorForMonochrome(&mono, &color), 1);
        EXPECT_EQ(color, c.out) << c.in;
    }
    int color = 9;
    EXPECT_EQ(view->MapColorForMonochrome(&screen, &color), 0);
    EXPECT_EQ(view->MapColorForMonochrome(&printer, &color), 0);
    EXPECT_EQ(color, 9);
    gColorOutput = false;
    UpdateSystemColorRows();

    // The view erases its background in the document's colour.
    ASSERT_TRUE(view->frame->Show(platform::show::Maximized) || view->frame->IsVisible());
    app->PumpEvents();
    twtest::TempDir dir("tw_doc");
    ASSERT_TRUE(dir.Valid());
    const std::string png = dir.File("view.png");
    ASSERT_TRUE(view->SaveImage(png));
    platform::Image shot;
    ASSERT_TRUE(shot.Load(png));
    EXPECT_EQ(shot.PixelAt(shot.Width() / 2, shot.Height() / 2), GetColorRow(9)->color);
    EXPECT_TRUE(ViewOf(doc)->drewWithContext);
    EXPECT_EQ(view->GetDrawContext().surface, nullptr);
}

TEST_F(DocumentTest, ReleasingUndoMemoryKeepsOneEntryPerDocument) {
    dt_Doc* small = Open(kDocCircuit, "a.cir");
    dt_Doc* large = Open(kDocText, "b.txt");
    dt_Doc* busy = Open(kDocLibrary, "c.lib");
    ASSERT_TRUE(small && large && busy);
    auto fill = [](CDoc* doc, int n, int current) {
        for (int i = 0; i < n; ++i) {
            auto* e = doc->undoPool.AddNewAs<UndoEntry>(kUndoEntryType);
            ASSERT_NE(e, nullptr);
            SetString(&e->label, ("step " + std::to_string(i)).c_str());
            if (i == current) doc->currentUndo = e;
        }
    };
    fill(small, 2, 1);
    fill(large, 4, 2);
    fill(busy, 3, 2);
    busy->undoSuspended = 1;
    UndoEntry* kept = large->currentUndo;

    InstallUndoMemoryRelief();
    MemoryRelief().ReleaseUndoMemory();
    InstallMemoryRelief(nullptr);

    EXPECT_EQ(small->undoPool.count, 0);
    EXPECT_EQ(small->currentUndo, nullptr);
    ASSERT_EQ(large->undoPool.count, 1);
    EXPECT_EQ(large->undoPool.first, kept);
    EXPECT_EQ(large->currentUndo, kept);
    EXPECT_STREQ(kept->label, "step 2");
    EXPECT_EQ(busy->undoPool.count, 3);
    busy->undoSuspended = 0;

    // With nothing current the entry a Redo would take stays.
    large->currentUndo = nullptr;
    fill(large, 3, -1);
    large->ReleaseUndoMemory();
    ASSERT_EQ(large->undoPool.count, 1);
    EXPECT_EQ(large->undoPool.first, kept);
}

}  // namespace
