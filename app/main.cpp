// The program's entry point.
//
// With a display the program is the interactive MDI application: it starts up,
// runs its message loop until the main window closes, and ends. Without one
// (and in batch runs) nobody can answer or close a window, so it starts up the
// same way on the toolkit's off-screen platform, prints what it read and built,
// and closes the main window at once, which writes tarn.dat as a user's close
// does. Message boxes then go to the standard error stream.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "analysis/commands.h"
#include "analysis/exprmenus.h"
#include "analysis/globalsettings.h"
#include "analysis/logs.h"
#include "analysis/messages.h"
#include "analysis/start.h"
#include "compiler/analysisstmts.h"
#include "compiler/compiled.h"
#include "compiler/defines.h"
#include "compiler/driver.h"
#include "compiler/limitwriter.h"
#include "compiler/messages.h"
#include "compiler/spicereader.h"
#include "compiler/support.h"
#include "core/cmdline.h"
#include "core/memory.h"
#include "core/paths.h"
#include "core/recentlist.h"
#include "core/result.h"
#include "core/settings.h"
#include "core/startup_registry.h"
#include "devices/loads.h"
#include "devices/opamp.h"
#include "document/cirdoc.h"
#include "document/docmessages.h"
#include "document/docopen.h"
#include "document/spicedoc.h"
#include "engine/messages.h"
#include "expr/derivative.h"
#include "expr/messages.h"
#include "expr/runstate.h"
#include "expr/startup.h"
#include "ibis/settings.h"
#include "models/libindex.h"
#include "models/messages.h"
#include "models/startup.h"
#include "platform/app.h"
#include "platform/dialog.h"
#include "plots/g2ddoc.h"
#include "plots/g2dview.h"
#include "plots/plotwindows.h"
#include "shell/app.h"
#include "shell/batch.h"
#include "shell/document.h"
#include "shell/help.h"
#include "shell/mainframe.h"
#include "shell/report.h"
#include "text/findfilesdlg.h"
#include "text/numoutwindow.h"
#include "text/textdoc.h"
#include "text/textopener.h"

namespace {

// The files the command line named, in order, each with what opening it gave.
struct main_NamedFile {
    std::string path;
    int result = 0;
};
std::vector<main_NamedFile> main_namedFiles;

// The document layer's opener, recording what the command line asked for so
// that an off-screen run can tell what it opened.
class main_RecordingOpener final : public DocumentOpenerPort {
public:
    int ResolveDocumentExtension(char* path, size_t size, int mode, int kind) override {
        return inner_->ResolveDocumentExtension(path, size, mode, kind);
    }
    int OpenFileOfKind(const char* path, int kind) override {
        const int result = inner_->OpenFileOfKind(path, kind);
        if (recording_) main_namedFiles.push_back({path, result});
        return result;
    }
    void Wrap(DocumentOpenerPort* inner) { inner_ = inner; }
    void SetRecording(bool on) { recording_ = on; }

private:
    DocumentOpenerPort* inner_ = nullptr;
    bool recording_ = true;
};
main_RecordingOpener main_opener;

// What the end of an interactive start-up asks: the empty circuit window.
// The tip comes with its subsystem.
class main_StartupRequests final : public StartupRequestsPort {
public:
    CDoc* OpenNewCircuitWindow() override { return ::OpenNewCircuitWindow(); }
    int StartAnalysis(CDoc* circuit, int kind) override {
        auto* document = dynamic_cast<CCTDoc*>(circuit);
        if (!document) return kResultNotBuilt;
        // Off-screen the named circuits are compiled and run once, hidden, after
        // start-up (main_CompileNamedTexts): a second run here would show every
        // message twice.
        if (platform::Application* toolkit = platform::Application::Instance())
            if (toolkit->IsOffscreen()) return 0;
        // RunAnalysis reports its own failures.
        return RunAnalysis(document, kind) ? kResultShown : 0;
    }
    void ShowTipOfTheDay() override {}
};
main_StartupRequests main_requests;

bool main_IsSpiceText(const std::string& path);

// Batch jobs: SPICE texts open hidden, each analysis starts, runs to its end
// and closes, and the simulator's counters go to the log.
class main_BatchJobs final : public BatchJobsPort {
public:
    CDoc* OpenJob(const char* path, int kind) override {
        if (kind != kDocText && !main_IsSpiceText(path)) {
            ReportMessage(MessageRequest(kResultNotBuilt).Args(path));
            return nullptr;
        }
        std::unique_ptr<CCTDoc> document;
        if (int rc = LoadSpiceTextDocument(path, &document)) {
            if (rc != kResultShown) ReportMessage(MessageRequest(rc).Args(path));
            return nullptr;
        }
        CDoc* opened = document.get();
        jobs_.push_back(std::move(document));
        return opened;
    }
    void CloseJob(CDoc* document) override {
        for (auto it = jobs_.begin(); it != jobs_.end(); ++it) {
            if (it->get() != document) continue;
            ClearCompileArrays(it->get(), kClearAllCompileArrays);
            ReleaseSpiceReader(it->get());
            ReleaseDefineTable(it->get());
            jobs_.erase(it);
            return;
        }
    }
    int RunAnalysis(CDoc* job, int analysis, BatchRunFigures* figures) override {
        auto* document = dynamic_cast<CCTDoc*>(job);
        if (!document) return kResultNotBuilt;
        AnalysisStartMode hidden;
        hidden.hidden = true;
        SetAnalysisKind(analysis);
        if (::RunAnalysis(document, analysis, hidden) || !CurrentAnalysis()) return kResultShown;
        const int ran = RunOpenAnalysis(document);
        const OpenAnalysis* open = CurrentAnalysis();
        const CG2DDoc* plot = AnalysisDocumentOf(document);
        if (const CompiledCircuit* compiled = FindCompiledCircuit(document))
            figures->analogNodes = compiled->analogNodeCount;
        if (open) {
            figures->iterations = static_cast<unsigned long>(open->engine.TotalIterations);
            figures->runSeconds = open->runTime;
        }
        if (plot) {
            figures->rejected = static_cast<unsigned long>(plot->RejectedPointCount);
            figures->solutions = static_cast<unsigned long>(plot->AcceptedPointCount + plot->RejectedPointCount);
        }
        return ran;
    }
    void PrintCircuit(CDoc*) override { ReportMessage(MessageRequest(kResultNotBuilt)); }
    void PrintAnalysis(CDoc* job) override { PrintAnalysisPlot(dynamic_cast<CCTDoc*>(job)); }
    void CloseAnalysis(CDoc* job) override {
        if (auto* document = dynamic_cast<CCTDoc*>(job)) ::CloseAnalysis(document);
        SetAnalysisKind(-1);
    }
    int SaveDocument(CDoc*) override { return kResultNotBuilt; }
    int TranslateIbis(const char* path) override {
        ReportMessage(MessageRequest(kResultNotBuilt).Args(path));
        return kResultNotBuilt;
    }
    bool EscapePressed() override {
        platform::Application* toolkit = platform::Application::Instance();
        return toolkit && toolkit->PollEscape();
    }

private:
    std::vector<std::unique_ptr<CCTDoc>> jobs_;
};
main_BatchJobs main_batchJobs;

// The composition root: each subsystem's ports and start-up steps, in subsystem
// order (the shell installs its own when the application starts).
void main_InstallServices() {
    StartupRegistry& steps = StartupSteps();
    RegisterShellStartup(steps);
    RegisterExprStartup(steps);
    RegisterModelStartup(steps);

    RegisterSettingsSection("IBIS", SerializeIbisSettings);
    RegisterExprMessages();
    InstallSymbolicDerivatives();
    RegisterModelMessages();
    InstallModelLibraryServices();
    InstallCircuitDocument();
    InstallTextDocuments();
    InstallTextFileOpener();
    RegisterCompilerMessages();
    RegisterEngineMessages();
    RegisterDeviceMessages();
    InstallDeviceLoads();
    InstallCompilerServices();
    RegisterAnalysisMessages();
    InstallGlobalSettingsSection();
    InstallAnalysisLogs();
    InstallExpressionFieldMenus();
    InstallDesktopHelpViewer();
    RegisterPlotMessages();
    InstallPlotWindows();
    InstallNumericOutputWindow();
    InstallDocumentFileOpener();
    main_opener.Wrap(&DocumentOpener());
    InstallDocumentOpener(&main_opener);
    InstallStartupRequests(&main_requests);
    InstallBatchJobs(&main_batchJobs);
}

// Off-screen, a message box prints its caption and text and is answered with
// its first (default) button; any other dialog is cancelled.
int main_AnswerModal(platform::ModalRequest& request) {
    if (auto* box = dynamic_cast<CMessageBoxDlg*>(&request)) {
        const MessageRecord& record = box->Record();
        std::string text = record.text;
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        // The rows the box lists (file, line, statement, part) go with the text:
        // without them a user could not tell where in a deck the fault is.
        if (record.rowsInList)
            for (int i = 0; i < record.rowCount; ++i) {
                text += std::string("\n  ") + record.rowLabels[i];
                if (*record.rowValues[i]) text += std::string(" ") + record.rowValues[i];
            }
        fprintf(stderr, "%s: %s\n", box->Record().caption, text.c_str());
        const std::vector<int>& buttons = box->Buttons();
        // Nobody is there to have asked for a save: a file is never written
        // on their behalf.
        if (box->Record().messageId == kMsgSaveChanges)
            for (int no : {platform::dlgid::No, kMsgButtonNoToAll})
                if (std::find(buttons.begin(), buttons.end(), no) != buttons.end()) return no;
        return buttons.empty() ? platform::dlgid::Ok : buttons.front();
    }
    return platform::dlgid::Cancel;
}

const char* main_YesNo(bool flag) { return flag ? "yes" : "no"; }

const char* main_AnalysisName(int analysis) {
    switch (analysis) {
    case 0: return "transient";
    case 1: return "AC";
    case 2: return "DC";
    default: return "none";
    }
}

void main_PrintState(const char* commandLine) {
    const StartupState& state = Startup();
    printf("Command line:        %s\n", commandLine);
    printf("Batch mode:          %d\n", state.batchMode);
    printf("Batch file:          %s\n", state.batchFile ? state.batchFile : "(none)");
    printf("Save after batch:    %s\n", main_YesNo(state.saveAfterBatch));
    printf("Print circuit:       %s\n", main_YesNo(state.printCircuit));
    printf("Print analysis:      %s\n", main_YesNo(state.printAnalysis));
    printf("Requested analysis:  %s\n", main_AnalysisName(state.requestedAnalysis));
    printf("Files to open:      %s\n", main_namedFiles.empty() ? " (none)" : "");
    for (const main_NamedFile& file : main_namedFiles)
        printf("  %s%s\n", file.path.c_str(), file.result == 0 ? "" : ", not opened");
    std::string stepNames;
    for (const std::string& name : StartupSteps().Names()) stepNames += (stepNames.empty() ? " " : ", ") + name;
    printf("Start-up steps:     %s\n", stepNames.empty() ? " (none)" : stepNames.c_str());
    printf("Settings file:       %s\n", state.settingsPath ? state.settingsPath : "(none)");
    printf("Data path:           %s\n", GetPathSetting(kPathData));
    printf("Library path:        %s\n", GetPathSetting(kPathLibrary));
    printf("Picture path:        %s\n", GetPathSetting(kPathPicture));
    printf("User, company:       \"%s\", \"%s\"\n", UserName(), CompanyName());

    std::string served, skipped;
    int skippedCount = 0;
    for (int i = 0; i < kSettingsSectionCount; ++i) {
        if (!SettingsSectionWasRead(i)) continue;
        std::string name = std::string(" [") + SettingsSectionName(i) + "]";
        if (SettingsSectionRoutineAt(i)) {
            served += name;
        } else {
            size_t lineStart = skipped.rfind('\n');
            size_t lineLength = skipped.size() - (lineStart == std::string::npos ? 0 : lineStart);
            if (skippedCount && lineLength + name.size() > 90) skipped += "\n ";
            skipped += name;
            ++skippedCount;
        }
    }
    printf("Sections read:      %s\n", served.empty() ? " (none)" : served.c_str());
    if (skippedCount)
        printf("Sections skipped:    %d, their subsystems are not built yet:\n %s\n", skippedCount, skipped.c_str());

    const RecentList& recent = RecentFiles();
    printf("Recent files:       %s\n", recent.Count() ? "" : " (none)");
    for (int i = 0; i < recent.Count(); ++i)
        if (recent.Text(i) && *recent.Text(i)) printf("  %d %s\n", i + 1, recent.Text(i));
}

// SPICE text circuits named on the command line, in an off-screen run: each is
// read again without a window and compiled as the analysis start does, and
// what the compile built is printed. Its messages
// go to the standard error stream like every message box.
bool main_IsSpiceText(const std::string& path) {
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return false;
    std::string extension = path.substr(dot + 1);
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const char* known : {"ckt", "cki", "sp", "spi", "spice", "net", "txt"})
        if (extension == known) return true;
    return false;
}

// Whether every named circuit compiled and every requested run went to its
// end: the exit status tells scripts what the messages told the user.
bool main_CompileNamedTexts() {
    bool allRan = true;
    const int analysis = Startup().requestedAnalysis;
    for (const main_NamedFile& file : main_namedFiles) {
        if (!main_IsSpiceText(file.path)) continue;
        std::unique_ptr<CCTDoc> document;
        const int loaded = LoadSpiceTextDocument(file.path.c_str(), &document);
        if (loaded) {
            printf("Circuit text:        %s, not read (%d)\n", file.path.c_str(), loaded);
            allRan = false;
            continue;
        }
        // With /T, /A or /D the analysis starts as a hidden one (no window
        // off-screen); without, the circuit is only compiled.
        const bool run = analysis >= 0 && analysis <= 2;
        AnalysisStartMode hidden;
        hidden.hidden = true;
        SetAnalysisKind(run ? analysis : 0);
        const int rc = run ? RunAnalysis(document.get(), analysis, hidden) : RunCircuitCompiler(document.get(), 1);
        const CompiledCircuit* compiled = FindCompiledCircuit(document.get());
        if (rc || !compiled) {
            allRan = false;
            printf("Circuit compiled:    %s: failed, as the messages above say\n", file.path.c_str());
        } else {
            int devices = 0;
            for (const DeviceList& list : compiled->devices.lists) devices += list.pool.count;
            printf("Circuit compiled:    %s: %d parts, %d nodes, %d unknowns, %d device records\n", file.path.c_str(),
                   document->objects.count, compiled->analogNodeCount, compiled->unknownCount, devices);
            const char* label = "Analysis limits:    ";
            for (const std::string& statement : {FormatTranStatement(document.get()), FormatAcStatement(document.get()),
                                                 FormatDcStatement(document.get())}) {
                if (statement.empty()) continue;
                printf("%s %s\n", label, statement.c_str());
                label = "                    ";
            }
            if (run && CurrentAnalysis()) {
                printf("Analysis started:    %s, %d equations, numeric output %s\n", main_AnalysisName(analysis),
                       CurrentAnalysis()->engine.MatrixSize, CurrentAnalysis()->numericOutput.Path().c_str());
                // The runs go to their end; the curves are what the plot window would show.
                const int ran = RunOpenAnalysis(document.get());
                const CG2DDoc* plot = AnalysisDocumentOf(document.get());
                int points = 0;
                if (plot)
                    for (int i = 0; i < plot->PlottedCount; ++i)
                        points += plot->Curves[static_cast<size_t>(i)].PointIndex + 1;
                if (ran == 0)
                    printf("Analysis run:        %d run%s, %d curve%s, %d points stored\n", plot->Runs.Count,
                           plot->Runs.Count == 1 ? "" : "s", plot->PlottedCount, plot->PlottedCount == 1 ? "" : "s",
                           points);
                else
                    printf("Analysis run:        failed, as the messages above say\n");
                if (ran != 0) allRan = false;
            } else if (run) {
                allRan = false;
            }
        }
        if (run) CloseAnalysis(document.get());
        ClearCompileArrays(document.get(), kClearAllCompileArrays);
        ReleaseSpiceReader(document.get());
        ReleaseDefineTable(document.get());
        SetAnalysisKind(-1);
    }
    return allRan;
}

const char* main_PaneName(int id) {
    switch (id) {
    case kPaneRunState: return "run state";
    case kPaneProgress: return "progress";
    case kPaneMessage: return "message";
    case kPaneTrack: return "track";
    case kPaneClock: return "clock";
    default: return "?";
    }
}

// What start-up built: the main window, its menu bar and status bar.
void main_PrintWindow(const CMainFrame& frame, bool offscreen) {
    printf("Main window:         \"%s\"%s\n", frame.Title().c_str(), offscreen ? ", off-screen" : "");
    std::string menus;
    for (const std::string& title : frame.MenuBarTitles()) {
        menus += ' ';
        for (char c : title)
            if (c != '&') menus += c;
    }
    printf("Menu bar:           %s\n", menus.c_str());
    std::string panes;
    for (int i = 0; i < frame.StatusPaneCount(); ++i) {
        const int id = frame.StatusPaneId(i);
        panes += std::string(i ? ", " : " ") + main_PaneName(id) + " (" + std::to_string(id) + ")";
    }
    printf("Status bar:         %s%s\n", panes.c_str(), frame.IsStatusBarVisible() ? "" : ", hidden");
    std::string windows;
    for (CDoc* doc = FirstDocument(); doc; doc = doc->NextDocument())
        windows += std::string(" ") + (doc->pathName[0] ? doc->pathName : "(untitled)");
    printf("Document windows:   %s\n", windows.empty() ? " (none)" : windows.c_str());
}

void main_Shutdown() {
    main_namedFiles.clear();
    InstallDocumentOpener(nullptr);
    InstallStartupRequests(nullptr);
    FreeRecentLists();
    ClearPathGroups();
    for (int kind = kPathData; kind <= kPathPicture; ++kind) SetPathSetting(kind, nullptr);
    FreeStartupStrings();
}

}  // namespace

int main(int argc, char** argv) {
    main_InstallServices();
    InitRecentLists();

    char* commandLine = JoinCommandLine(argc, argv);
    if (!commandLine) {
        fprintf(stderr, "Error: Insufficient memory.\n");
        return 1;
    }

    // The toolkit sees the program's name only: the command line is the
    // program's own ("/T", "@batch.txt").
    platform::Application toolkit(1, argv);
    const bool offscreen = toolkit.IsOffscreen();
    if (offscreen) platform::SetModalAnswerer(main_AnswerModal);

    int status = 0;
    bool runFailed = false;
    {
        CSimulatorApp theApp;
        // One instance per desktop; an off-screen run has no desktop to share.
        if (offscreen) theApp.instanceName.clear();
        const bool runLoop = theApp.InitInstance(commandLine);
        main_opener.SetRecording(false);
        CMainFrame* frame = GetMainFrame();
        if (frame) frame->SetNextCommandTarget(&AnalysisCommands());
        AnalysisCommands().SetNextCommandTarget(&TextCommands());
        if (theApp.OtherInstanceFound()) {
            if (theApp.HandedOverFiles() > 0)
                fprintf(stderr, "Tarnwick is already running; it opens the named files.\n");
            else
                fprintf(stderr, "Tarnwick is already running; it has been brought to the front.\n");
        } else if (offscreen || BatchMode()) {
            main_PrintState(commandLine);
            if (frame) main_PrintWindow(*frame, offscreen);
            if (!main_CompileNamedTexts()) runFailed = true;
            if (BatchMode() && Startup().batchFile) {
                BatchRun batch;
                if (batch.Start(Startup().batchFile, nullptr) == 0)
                    batch.Run();
                else
                    runFailed = true;
                if (batch.Failures() > 0) runFailed = true;
                batch.End();
                printf("Batch log:           %s, %d circuit%s, %d simulation%s\n", batch.LogPath().c_str(),
                       batch.Circuits(), batch.Circuits() == 1 ? "" : "s", batch.Simulations(),
                       batch.Simulations() == 1 ? "" : "s");
            }
            if (!frame || (!runLoop && theApp.ExitCode() != 0)) {
                printf("Start-up failed: exit status %d\n", theApp.ExitCode());
            } else {
                // As closing the main window does: the settings go back to tarn.dat.
                frame->CloseFrame(false);
                printf("Settings saved:      %s\n", frame->settingsSaveResult == 0 ? "yes" : "failed");
            }
        } else if (runLoop) {
            theApp.Run();
        }
        status = theApp.ExitInstance();
        if (status == 0 && runFailed) status = 1;
    }

    MemFree(commandLine);
    main_Shutdown();
    platform::SetModalAnswerer(nullptr);
    return status;
}
