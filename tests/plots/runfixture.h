// The set-up the analysis run tests share: the shipped library in a scratch
// folder that also serves as the data folder, the plot windows installed, the
// shown messages recorded, and every circuit opened released again with its
// analysis ended, so no run leaks into the next test. Window tests add the
// main frame and its palette.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "analysis/start.h"
#include "compiler/defines.h"
#include "compiler/spicereader.h"
#include "compiler/support.h"
#include "core/paths.h"
#include "core/properties.h"
#include "document/cfanalysis.h"
#include "document/ctdoc.h"
#include "document/spicedoc.h"
#include "expr/runstate.h"
#include "platform/app.h"
#include "plots/g2ddoc.h"
#include "plots/g2dview.h"
#include "plots/plotwindows.h"
#include "shell/app.h"
#include "shell/colortable.h"
#include "shell/document.h"
#include "shell/mainframe.h"
#include "shell/messages.h"
#include "tests/support/shipped_library.h"
#include "tests/support/tempdir.h"
#include "tests/support/test_reporter.h"

namespace twtest {

class AnalysisRunTest : public ::testing::Test {
protected:
    enum class Frame { None, Main };
    explicit AnalysisRunTest(const char* folder, Frame frame = Frame::None)
        : dir_(folder), withFrame_(frame == Frame::Main) {}

    void SetUp() override {
        if (withFrame_) {
            RegisterShellMessages();
            LoadAcceleratorTables();
            if (!GetProgramPalette()) CreateProgramPalette();
            InitColorTable();
        }
        library_.emplace(dir_);
        savedData_ = GetPathSetting(kPathData);
        SetPathSetting(kPathData, dir_.c_str());
        InstallPlotWindows();
        if (withFrame_) {
            app_ = platform::Application::Instance();
            frame_ = std::make_unique<CMainFrame>();
            ASSERT_TRUE(frame_->LoadFrame());
            SetMainFrame(frame_.get());
            app_->SetMainWindow(frame_.get());
            frame_->Show(platform::show::Normal);
        }
    }
    void TearDown() override {
        for (auto& document : documents_) Release(document.get());
        documents_.clear();
        if (withFrame_) {
            app_->PumpEvents();
            CloseAllDocuments();
            app_->PumpEvents();
            app_->SetMainWindow(nullptr);
            frame_.reset();
            SetMainFrame(nullptr);
        }
        InstallAnalysisWindows(nullptr);
        InstallAnalysisDocuments(nullptr);
        SetPathSetting(kPathData, savedData_.c_str());
        ClearRunContext();
        ClearCompileErrorLocation();
        SetAnalysisKind(-1);
        RunState() = RunStateValues{};
        library_.reset();
    }
    static void Release(CCTDoc* document) {
        ExitAnalysis(document, true);
        ReleaseSpiceReader(document);
        ReleaseDefineTable(document);
    }
    // A SPICE text circuit in the scratch folder, kept until the test ends.
    CCTDoc* Load(const char* name, const char* text) {
        documents_.push_back(MakeSpiceTextDocument(dir_.File(name).c_str(), text));
        return documents_.back().get();
    }
    static AnalysisKindSettings& Limits(CCTDoc* doc, int kind) { return CircuitAnalysisSettings(doc)->kinds[kind]; }
    // Replaces the limits rows of `kind` by curves (X, Y) in plot groups 1, 2 ...
    // with both axes linear and the further row `options`.
    static void SetCurveRows(CCTDoc* doc, int kind, const std::vector<std::pair<const char*, const char*>>& rows,
                             int32_t options = 0) {
        AnalysisKindSettings& limits = Limits(doc, kind);
        limits.curves.clear();
        for (size_t i = 0; i < rows.size(); ++i) {
            auto row = std::make_unique<CurveRow>();
            row->plotGroup = static_cast<char>('1' + i);
            row->options = options | kOutputLinearX | kOutputLinearY;
            row->aliasId = static_cast<int32_t>(i + 1);
            SetString(&row->xExpression, rows[i].first);
            SetString(&row->yExpression, rows[i].second);
            SetString(&row->xRange, "Auto");
            SetString(&row->yRange, "Auto");
            limits.curves.push_back(std::move(row));
        }
    }
    // One curve, listed in the numeric output.
    static void SetSingleCurveRow(CCTDoc* doc, int kind, const char* x, const char* y) {
        SetCurveRows(doc, kind, {{x, y}}, kOutputFlag);
    }
    // The transient of the deck run to its end in its window.
    CG2DView* RunTransientInWindow(const char* name, const char* deck, CG2DDoc** plot) {
        CCTDoc* doc = Load(name, deck);
        EXPECT_EQ(RunAnalysis(doc, 0), 0);
        *plot = AnalysisDocumentOf(doc);
        EXPECT_EQ(RunOpenAnalysis(doc), 0);
        Pump();
        // A user's first click comes after the window has painted its final state.
        if (CG2DView* view = ViewOf(*plot)) view->Invalidate();
        Pump();
        return ViewOf(*plot);
    }
    static CG2DView* ViewOf(CG2DDoc* plot) { return plot ? dynamic_cast<CG2DView*>(plot->MainView()) : nullptr; }
    // Lets posted closes, commands and paints happen.
    void Pump() {
        for (int i = 0; i < 3; ++i) app_->PumpEvents();
    }
    int FirstShown() const { return shown_.empty() ? 0 : shown_[0]; }

    TempDir dir_;
    bool withFrame_;
    std::optional<ScopedShippedLibrary> library_;
    std::string savedData_;
    platform::Application* app_ = nullptr;
    std::unique_ptr<CMainFrame> frame_;
    std::vector<std::unique_ptr<CCTDoc>> documents_;
    std::vector<int> shown_;
    ScopedTestReporter reporter_{[this](const MessageRequest& r) {
        shown_.push_back(r.code());
        return 0;
    }};
};

}  // namespace twtest
