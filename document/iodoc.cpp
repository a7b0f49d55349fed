// File-backed documents: saving, the save questions, Revert, finding an open
// document of a file and the names of untitled files.
#include "document/iodoc.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "core/cmdline.h"
#include "core/memory.h"
#include "core/paths.h"
#include "core/port.h"
#include "core/result.h"
#include "document/ctdoc.h"
#include "document/docmessages.h"
#include "platform/app.h"
#include "platform/commondlg.h"
#include "shell/app.h"
#include "shell/filetypes.h"
#include "shell/mainframe.h"
#include "shell/preferences.h"
#include "shell/report.h"

namespace {

// One counter per untitled-name family: circuits, text files, libraries, model files.
int io_untitledCounters[4] = {1, 1, 1, 1};

int io_PathKindOf(int kind) { return kind == kDocLibrary || kind == kDocModel ? kPathLibrary : kPathData; }

// The first listed document with a window whose path is exactly `path`.
CDoc* io_FindWindowDocument(const char* path, const CDoc* except) {
    for (CDoc* d = FirstDocument(); d; d = d->NextDocument())
        if (d != except && d->MainView() && std::strcmp(d->PathName(), path) == 0) return d;
    return nullptr;
}

}  // namespace

// ---- CIODoc --------------------------------------------------------------------------

CIODoc::CIODoc(int kind) : CDoc(kind) { fileBacked = 1; }

CIODoc::~CIODoc() = default;

int CIODoc::SaveToFile(const char* /*path*/) { return 0; }

CIODoc* CIODoc::ReloadFromFile() { return nullptr; }

int CIODoc::SetDirty(int value) {
    dirty = value;
    if (value && (kind == kDocCircuit || kind == kDocText)) contentChanged = 1;
    return value;
}

int CIODoc::SaveToPath(const char* path) {
    char target[kPathNameSize];
    CopyTextBounded(target, path ? path : pathName, sizeof target);
    if (!target[0]) return 0;
    int result;
    {
        platform::WaitCursor wait;
        result = SaveToFile(target);
    }
    if (result) {
        // The document keeps its old name and state: a file that was not
        // written must not appear saved under the new name.
        if (result != kResultShown) ReportMessage(Message(result));
        return kResultShown;
    }
    SetTitle(target);
    untitled = 0;
    AddRecentFile(target);
    return 0;
}

int CIODoc::Save() {
    char path[kPathNameSize];
    CopyTextBounded(path, pathName, sizeof path);
    if (!untitled) return SaveToPath(path);
    ShowSaveDocumentDialog(this, path, sizeof path);
    if (!path[0]) return kResultShown;
    return SaveToPath(path);
}

int CIODoc::AskSaveAsPath(char* path) {
    ShowSaveDocumentDialog(this, path, kPathNameSize);
    return path[0] ? 1 : 2;
}

int CIODoc::SaveAs() {
    char path[kPathNameSize];
    CopyTextBounded(path, pathName, sizeof path);
    if (AskSaveAsPath(path) != 1) return kResultShown;
    return SaveToPath(path);
}

CIODoc* CIODoc::Revert() {
    if (const int code = CheckFileExists(pathName)) {
        SetPendingText(pathName);
        ReportMessage(Message(code));
        return nullptr;
    }
    if (Prefs().revertWarning) {
        const int answer = ReportMessage(Message(kMsgRevertQuestion)
                                             .Style(mbstyle::YesNo | mbstyle::IconQuestion)
                                             .WarnAgain(&Prefs().revertWarning));
        if (answer != platform::dlgid::Yes) return nullptr;
    }
    // ReloadFromFile closes this document; what the new one inherits is taken first.
    const uint32_t oldFlags = flags;
    CIODoc* fresh = ReloadFromFile();
    if (!fresh) return nullptr;
    fresh->flags = oldFlags;
    if (CMainFrame* main = GetMainFrame()) main->ApplyToAllDocuments(kApplyRedrawNow);
    return fresh;
}

int CIODoc::AskSaveChanges(int several) {
    if (kind == kDocLibrary || kind == kDocModel) {
        // A pending edit in one of the document's controls is committed when it
        // loses the focus.
        if (mainView) mainView->SetFocus();
    }
    if (!dirty || !Prefs().fileWarning || BatchMode()) return kSaveNothingToAsk;
    if (DemoPlaying()) return kSaveNo;
    if (mainView) mainView->ActivateFrame();
    char name[kPathNameSize] = {};
    GetFileName(name, pathName);
    const unsigned style = (several ? mbstyle::YesAllNoAll : mbstyle::YesNoCancel) | mbstyle::IconQuestion;
    int answer = ReportMessage(
        Message(kMsgSaveChanges).Style(style).WarnAgain(&Prefs().fileWarning).Args(name[0] ? name : "unnamed"));
    if (answer == kSaveYes || answer == kSaveYesToAll) {
        if (Save() != 0) answer = kSaveCancel;
    }
    return answer;
}

int CIODoc::QueryClose(int* answer, int documentCount) {
    int dummy = 0;
    if (!answer) answer = &dummy;
    if (*answer == kSaveYesToAll) {
        if (dirty && Prefs().fileWarning && !BatchMode()) {
            // A save that fails or is cancelled stops the close: closing would
            // throw the changes away although the user asked to keep them.
            if (Save() != 0) {
                *answer = kSaveCancel;
                return 1;
            }
        }
        SetDirty(0);
        return 0;
    }
    if (*answer == kSaveNoToAll) {
        SetDirty(0);
        return 0;
    }
    *answer = AskSaveChanges(documentCount > 1);
    if (*answer == kSaveCancel) return 1;
    SetDirty(0);
    return 0;
}

bool CIODoc::CanCloseFrame(CMDIFrame* /*frame*/) { return AskSaveChanges(0) != kSaveCancel; }

// ---- CIOView and CIOFrame --------------------------------------------------------------

CIODoc* CIOView::GetIODoc() const { return dynamic_cast<CIODoc*>(GetDocument()); }

namespace {

// Save and Save As: the menu lock is clear, and no analysis holds the circuit
// (a text window other than the analysed circuit's may still save).
bool io_SaveAllowed(const CIOView* view) {
    if (RunState().menuLock) return false;
    if (!InAnalysisMode()) return true;
    return view->kind == kDocText && CurrentRunContext().circuitView != view;
}

}  // namespace

bool CIOView::OnCommand(int id) {
    CIODoc* doc = GetIODoc();
    if (!doc) return CMDIView::OnCommand(id);
    switch (id) {
    case iocmd::FileSave:
        if (io_SaveAllowed(this)) doc->Save();
        return true;
    case iocmd::FileSaveAs:
        if (io_SaveAllowed(this)) doc->SaveAs();
        return true;
    case iocmd::FileRevert:
        if (io_SaveAllowed(this) && !doc->untitled) doc->Revert();
        return true;
    default: return CMDIView::OnCommand(id);
    }
}

bool CIOView::OnUpdateCommand(platform::CommandState& state) {
    CIODoc* doc = GetIODoc();
    if (!doc) return CMDIView::OnUpdateCommand(state);
    switch (state.Id()) {
    case iocmd::FileSave:
    case iocmd::FileSaveAs: state.Enable(io_SaveAllowed(this)); return true;
    case iocmd::FileRevert: state.Enable(io_SaveAllowed(this) && !doc->untitled); return true;
    default: return CMDIView::OnUpdateCommand(state);
    }
}

bool CIOFrame::OnClose() {
    if (RunState().menuLock) return false;
    // The circuit being analysed cannot be closed.
    if (RunState().activeAnalysis != -1 && view && CurrentRunContext().circuitView == view) return false;
    return CMDIFrame::OnClose();
}

// ---- the Save As dialog ---------------------------------------------------------------

namespace {

// The shell's document dialog: the kind's filter and extension, and no path
// that another window has open.
class io_PlatformSaveDialog final : public SavePathPromptPort {
public:
    void AskSavePath(CIODoc* document, char* path, size_t size) override {
        const int kind = document ? document->Kind() : kDocKindNone;
        platform::Window* owner = document ? document->MainView() : nullptr;
        ::ShowSaveDocumentDialog(owner, document, path, size, kind);
    }
};

PortSlot<SavePathPromptPort, io_PlatformSaveDialog> io_savePathPrompt;

}  // namespace

SavePathPromptPort& SavePathPrompt() { return io_savePathPrompt.Get(); }
SavePathPromptPort* InstallSavePathPrompt(SavePathPromptPort* port) { return io_savePathPrompt.Install(port); }

void ShowSaveDocumentDialog(CIODoc* document, char* path, size_t size) {
    if (!path || !size) return;
    SavePathPrompt().AskSavePath(document, path, size);
    // Another window must not be saved over.
    if (path[0] && io_FindWindowDocument(path, document)) {
        ReportMessage(Message(kMsgFileNameInUse).Args(path));
        path[0] = 0;
    }
}

// ---- finding open documents ------------------------------------------------------------

CDoc* FindOpenDocument(char* path, const char* name, int flags, int kind, int* code) {
    int dummy = 0;
    if (!code) code = &dummy;
    *code = 0;
    CopyTextBounded(path, name ? name : "", kPathNameSize);
    CDoc* found = nullptr;
    if (!path[0]) {
        *code = kResultFileNotFound;
    } else {
        if (!(flags & kFindAsIs)) {
            // A full path is checked where it is; any other name is looked up
            // along the kind's search path.
            *code = FindFileOnPaths(path, io_PathKindOf(kind));
        }
        found = io_FindWindowDocument(path, nullptr);
        if (!found && (flags & kFindSourceFiles)) {
            if (CCTDoc* current = CurrentCircuitDocument()) {
                for (const SourceFileEntry& e : current->sourceFiles) {
                    if (e.document && e.fileName == path) {
                        found = e.document;
                        break;
                    }
                }
            }
        }
    }
    if (found) {
        *code = 0;
        if (flags & kFindSourceFiles) return found;
        if (!(flags & (kFindAsIs | kFindNoRecent))) AddRecentFile(path);
        if (found->MainView()) found->MainView()->ActivateFrame();
        return found;
    }
    if (*code == 0) return nullptr;
    MakeFullPath(path, io_PathKindOf(kind));
    SetPendingText(path);
    if (!(flags & kFindNoReport)) {
        CMainFrame* main = GetMainFrame();
        ReportMessage(Message(*code).Parent(static_cast<platform::Window*>(main)));
        *code = kResultShown;
    }
    if (!(flags & kFindSourceFiles)) RedrawMainWindow();
    return nullptr;
}

// ---- untitled names ---------------------------------------------------------------------

void MakeUntitledFileName(char* path, int kind) {
    static const char* const kFormats[4] = {"circuit%i.cir", "circuit%i.ckt", "lib%i.lbr", "mdl%i.mdl"};
    if (!path || kind < kDocCircuit || kind > kDocModel) return;
    int& counter = io_untitledCounters[kind - 1];
    FormatBounded(path, kPathNameSize, kFormats[kind - 1], counter);
    ++counter;
    MakeFullPath(path, io_PathKindOf(kind));
}

void ResetUntitledCounters() {
    for (int& c : io_untitledCounters) c = 1;
}
