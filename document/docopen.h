// Opening named files as documents: File > Open, the command line's files,
// the recent files and files dropped on the main window all come through
// OpenFileOfKind once the file's document kind is known; File > New makes
// empty windows here too.
#pragma once

class CDoc;

// The document kind of a file by its extension (shell/filetypes.h); -1 for a
// path without extension or of no known kind.
int DocumentKindOfPath(const char* path);

// The empty circuit window of an interactive start that named no file; it
// carries the next untitled name. Its document, or null.
CDoc* OpenNewCircuitWindow();

// How the documents of one kind other than circuits open a file and make an
// empty window; installed by the layer that owns the kind. Both answer null
// with *result set (15055 once reported) on failure.
class DocumentKindPort {
public:
    virtual ~DocumentKindPort() = default;
    virtual CDoc* OpenFile(const char* path, int* result) = 0;
    // A new, empty window titled with the untitled name (a full path).
    virtual CDoc* NewWindow(const char* title, int* result) = 0;
};
// Installs the port of a kind (null removes it); returns the previous one.
DocumentKindPort* InstallDocumentKindPort(int kind, DocumentKindPort* port);

// Message shown for a file or window whose kind has no installed owner.
constexpr int kMsgKindNotAvailable = 15091;

// Opens a file as a document of the kind: 1 circuit, 2 text, 3 model library,
// 4 model file; -1 reports "File not found" with the path. An untouched
// initial circuit window is closed first when a circuit or text opens. The
// document, or null with *result (may be null) set: 15055 after a report.
CDoc* OpenFileOfKind(const char* path, int kind, int* result);

// A new untitled window of a kind (1, 2 or 3), shown maximised; null with
// *result set (15055 after a report).
CDoc* NewDocumentOfKind(int kind, int* result);

// Installs the document layer's opener as the core's (core/cmdline.h) and
// its window maker as the shell's File > New (shell/newdoc.h).
void InstallDocumentFileOpener();
