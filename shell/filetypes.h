// Document file kinds and the program's file dialogs.
//
// One table ties each known extension to the document kind that opens it and
// to the search path its files live on; its row order is the search order when
// a name is given without extension. Every open and save dialog of the program
// goes through the desktop's file dialog (platform/commondlg.h) and checks the
// chosen name against the extensions its filter allows, showing the dialog
// again after a refused name as the desktop's own dialog stays open.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace platform {
class Window;
}
class CDoc;

// ---- the file-type table -------------------------------------------------------------

// What a row's extension means for saving: circuit extensions (a saved
// circuit keeps one of them), extensions that a saved file of the kind is
// given, and free ones.
constexpr int kFileClassFree = 0;
constexpr int kFileClassForced = 1;
constexpr int kFileClassCircuit = 2;

struct FileTypeRow {
    const char* extension;  // without the dot, upper case
    int kind;               // document kind (shell/document.h)
    int fileClass;
    int pathKind;  // core/paths.h
};

int FileTypeRowCount();
// The row at an index (0 .. FileTypeRowCount() - 1).
const FileTypeRow& FileTypeAt(int row);
// The row whose extension equals the path's (without case); -1 when the path
// has no extension or none matches.
int FindFileTypeRow(const char* path);
// The document kind of that row, -1 when none.
int GetDocumentKindOfFile(const char* path);
int GetKindOfExtension(const char* path);

// Kind value of the filter that lists every document kind.
constexpr int kFilterAllDocuments = -2;
// The filter text of a document kind: pairs of description and patterns
// separated by "|" (kFilterAllDocuments: every kind, then all files).
std::string GetFilterText(int kind);

// Modes of ResolveDocumentExtension.
constexpr int kResolveOpen = 1;
constexpr int kResolveSave = 2;

// Completes a typed name for opening or saving a document of `kind` (-1 or
// kFilterAllDocuments: any): a name opened without extension is tried with
// each matching row's extension along its search path; a saved name gets the
// kind's extension. Returns the document kind of the final path (2, text,
// when no row matches); -1 for an open whose name matched no existing file
// (the path is then as typed). `path` holds `size` bytes.
int ResolveDocumentExtension(char* path, size_t size, int mode, int kind);

// ---- the generic file dialog ------------------------------------------------------------

// The extensions a filter allows, in order and without repeats, at most 20:
// "*" for "*.*", otherwise three characters, or four when the fourth is a
// letter.
std::vector<std::string> ExtensionListOfFilter(const std::string& filter);
// Whether a chosen name passes the list: names with wildcards or without
// extension always do. A refused name gets the warning "File name must have an
// 'A', 'B' or 'C' extension." (shown here) and false.
bool AcceptFileNameByExtensions(const std::string& name, const std::vector<std::string>& extensions);

// Runs an open (or save) dialog. The filter is `filterText` when given, else
// the string-table text of `filterId`. The initial folder is the first entry
// of the ";"-list `initialDirs`, else the folder of the path given. On OK the
// chosen path is in `path` (a buffer of `size` bytes) and the filter chosen in
// *filterIndex (1-based, when given); cancelled, `path` is emptied. Returns 1
// for OK, 2 for Cancel.
int ShowFileDialog(int filterId, bool open, platform::Window* parent, const char* initialDirs, char* path, size_t size,
                   const char* filterText, const char* title, int* filterIndex);
int ShowOpenFileDialogEx(platform::Window* parent, const char* initialDirs, char* path, size_t size, int filterId,
                         const char* title, int* filterIndex);
int ShowOpenFileDialog(platform::Window* parent, const char* initialDirs, char* path, size_t size, int filterId,
                       const char* title);
int ShowSaveFileDialogEx(platform::Window* parent, const char* initialDirs, char* path, size_t size, int filterId,
                         const char* title, int* filterIndex);
int ShowSaveFileDialog(platform::Window* parent, const char* initialDirs, char* path, size_t size, int filterId,
                       const char* title);

// The Browse dialog for the file behind a component of a type (a waveform,
// macro, subcircuit, JEDEC or Touchstone file); 1 when a file was chosen.
int BrowseForModelFile(platform::Window* parent, char* path, size_t size, int typeCode, int portCount, bool open);

// ---- document file dialogs -----------------------------------------------------------

// The filter index (1-based) last chosen in a document file dialog.
int LastDocumentFilterIndex();
void SetLastDocumentFilterIndex(int index);

// Checks a name chosen in a document dialog: completes it as
// ResolveDocumentExtension does, refuses a save whose typed extension is not
// the kind's (warning shown), and, with a validator, a path another window
// has open. 1 with `out` set to the accepted path and *kindOut to its kind,
// else 0.
int CheckDocumentFileName(const std::string& name, int mode, int kind, CDoc* validator, std::string* out, int* kindOut);

// Save As of a document: the kind's filter, the document as validator.
// Returns the kind of the accepted path (in `path`), or -1 with `path`
// emptied when cancelled.
int ShowSaveDocumentDialog(platform::Window* parent, CDoc* document, char* path, size_t size, int kind);
// The same with a caller's filter text.
int ShowSaveDocumentDialog(platform::Window* parent, CDoc* document, char* path, size_t size,
                           const std::string& filter);

// File > Open: the files chosen (several at once) open each by its own kind
// through the document opener. The number of files whose opening succeeded,
// -1 when cancelled.
int OpenFilesDialog(platform::Window* parent);

// The string-table rows of the filters and the dialogs' warnings.
void RegisterFileTypeMessages();
