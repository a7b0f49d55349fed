// Documents that live in a file of their own (circuits, text files, model
// libraries): the untitled and unsaved-changes state, File > Save, Save As and
// Revert, the save question at close time, finding a document already open on
// a file, and the names of new untitled files.
//
// The writing and re-reading of the file itself belong to each document class:
// it overrides SaveToFile and ReloadFromFile. SaveToFile clears the dirty flag
// when it succeeds; the layer here never does.
#pragma once

#include <cstddef>
#include <cstdint>

#include "shell/document.h"

// Flags of FindOpenDocument.
constexpr int kFindNoReport = 0x80;       // leave a failure unreported
constexpr int kFindAsIs = 0x200;          // take the name as a complete path; no recent-file entry
constexpr int kFindNoRecent = 0x800;      // no recent-file entry
constexpr int kFindSourceFiles = 0x2000;  // also search the current circuit's source files; no activation

// Answers of CIODoc::AskSaveChanges (the message box's button codes).
constexpr int kSaveNothingToAsk = -1;
constexpr int kSaveCancel = 2;
constexpr int kSaveYes = 6;
constexpr int kSaveNo = 7;
constexpr int kSaveYesToAll = 32;
constexpr int kSaveNoToAll = 33;

// Commands of file-backed views.
namespace iocmd {
constexpr int FileSave = 57603;
constexpr int FileSaveAs = 57604;
constexpr int FileRevert = 12506;
}  // namespace iocmd

class CIODoc : public CDoc {
public:
    explicit CIODoc(int kind = kDocKindNone);
    ~CIODoc() override;

    // ---- the file itself, supplied by each document class
    // Writes the document to the path: 0 or a result code. Clears the dirty
    // flag on success. The base writes nothing and succeeds.
    virtual int SaveToFile(const char* path);
    // Re-reads the document's file into a new document that replaces this one
    // (this one is closed by it); null when it could not. The base: null.
    virtual CIODoc* ReloadFromFile();

    // ---- unsaved changes
    // Stores the value; on circuits and text documents a nonzero value also
    // raises the content-changed flag. Returns the value.
    int SetDirty(int value);
    int IsDirty() const { return dirty; }
    // The framework's modified flag is the dirty flag.
    bool IsModified() const override { return dirty != 0; }
    void SetModifiedFlag(bool modified = true) override { SetDirty(modified ? 1 : 0); }

    // ---- File > Save, Save As, Revert
    // 0 saved; 15055 cancelled or already reported.
    int Save();
    // Saves under the path (null: the document's own path name). The document
    // takes the path as its title, leaves the untitled state and enters the
    // recent-file list only once the file was written: a failed save keeps
    // the old name and state. A failure is reported and gives 15055.
    int SaveToPath(const char* path);
    // Runs the Save As dialog with the path as suggestion; 1 with `path` set
    // (at most 260 bytes with its end) when a name was chosen, 2 when
    // cancelled (`path` is then empty).
    int AskSaveAsPath(char* path);
    // File > Save As: asks for a name and saves under it.
    int SaveAs();
    // File > Revert: re-reads the file after asking; the new document, or null.
    CIODoc* Revert();

    // ---- closing
    // Asks whether to save the changes: -1 nothing to ask, 6 Yes (saved), 32
    // Yes to All (saved), 7 No, 33 No to All, 2 Cancel or the save failed.
    int AskSaveChanges(int several);
    // For the close of all windows: `answer` carries the choice made for an
    // earlier document and receives this one's. 1 when the close must stop
    // (the document stays dirty), 0 when it may go on.
    int QueryClose(int* answer, int documentCount) override;
    // The single-window close: the save question; Cancel keeps the window.
    bool CanCloseFrame(CMDIFrame* frame) override;

    // ---- fields, in order
    int32_t untitled = 1;        // no user-chosen path yet: Save asks, Revert is refused
    int32_t contentChanged = 0;  // raised with the dirty flag by every edit; saving keeps it
    int32_t protectedFile = 0;   // read without its password
    int32_t dirty = 0;
};

// Views and frames of file-backed documents add no fields.
class CIOView : public CMDIView {
public:
    explicit CIOView(int kind = kDocKindNone) : CMDIView(kind) {}

    CIODoc* GetIODoc() const;
    // File > Save, Save As and Revert, and when they are enabled.
    bool OnCommand(int id) override;
    bool OnUpdateCommand(platform::CommandState& state) override;
};

class CIOFrame : public CMDIFrame {
public:
    explicit CIOFrame(int kind = kDocKindNone) : CMDIFrame(kind) {}

protected:
    // Refused while the menu lock is set or while this frame holds the
    // circuit being analysed; otherwise the single-document save question.
    bool OnClose() override;
};

// Where Save As asks for a path. Until the window layer installs its own
// dialog, the platform's file dialog asks.
class SavePathPromptPort {
public:
    virtual ~SavePathPromptPort() = default;
    // The chosen path into `path` (size bytes, holding the suggestion), or ""
    // when cancelled.
    virtual void AskSavePath(CIODoc* document, char* path, size_t size) = 0;
};
SavePathPromptPort& SavePathPrompt();
// Returns the prompt installed before; nullptr restores the platform dialog.
SavePathPromptPort* InstallSavePathPrompt(SavePathPromptPort* port);

// The Save As dialog for a document (kind, filter, suggested name); the
// answer into `path` (size bytes), "" when cancelled.
void ShowSaveDocumentDialog(CIODoc* document, char* path, size_t size);

// Looks for an open document of a file. `path` (260 bytes) receives the
// completed name; `code` 0, or the result code of a name that could not be
// found (15055 once reported). The document, or null.
CDoc* FindOpenDocument(char* path, const char* name, int flags, int kind, int* code);

// The next untitled name of the kind ("circuit%i.cir", "circuit%i.ckt",
// "lib%i.lbr", "mdl%i.mdl") as a full path in the kind's first search folder;
// `path` holds 260 bytes. Other kinds leave it unchanged.
void MakeUntitledFileName(char* path, int kind);
// The four untitled counters start again at 1 (a demo starts or ends).
void ResetUntitledCounters();
