// Text documents: a window onto one plain text file (a SPICE text circuit, a
// model library text, a numeric output or a report just written), holding the
// file's text in the editor of its single text page. The file's trailer of
// ";$" display and dialect lines is taken off on loading and written back on
// saving.
#pragma once

#include <memory>
#include <string>

#include "core/filestream.h"
#include "document/ctdoc.h"

class CTxtEditWnd;
class TextFile;

// Flags of OpenTextFile.
constexpr int kOpenTextMaximized = 0x40;
constexpr int kOpenTextNoReport = 0x80;
constexpr int kOpenTextNoRecent = 0x200;

class CTxtDoc : public CCTDoc {
public:
    CTxtDoc();
    ~CTxtDoc() override;

    // The editor of the text page (made when the editor layer is installed).
    CTxtEditWnd* Editor() const;
    // Reads the document's path into the editor, trailer applied: 0, or 15055
    // after reporting (15002 when the text's memory cannot be had).
    int LoadTextFile();
    int SaveToFile(const char* path) override;
    // Revert: drops the changes, closes this document (deleting it) and opens
    // the file again; the new document, or null.
    CIODoc* ReloadFromFile() override;

    // Set by a loaded file that had display lines: saving writes them again.
    int32_t keepDisplaySettings = 0;
    int32_t numericOutput = 0;
    // The line ends of the file as loaded; saving writes them again (the
    // editor itself works with CR LF). A new text gets LF.
    LineEnding lineEnding = LineEnding::kLf;
};

// Loads bytes into a document's editor: for a text document the trailer is
// taken off and applied to the document. 0, or 15002 (reported) when the
// memory cannot be had; the editor is then left as it was.
int ReadTextTrailer(CCTDoc* document, CTxtEditWnd* editor, std::string&& bytes);

// Writes the text page and its trailer through a temporary file that replaces
// `path` only when every byte and the close succeeded. 0, 15002 when the
// text cannot be copied, or 15055 after reporting 15008.
int SaveTextDocument(CTxtDoc* document, const char* path);

// The view of a text document: its editor fills it and takes the focus.
class CTxtView : public CCTView {
public:
    CTxtView() : CCTView(kDocText) {}
    // File > Print: the text page on the default printer, or into a PDF file
    // beside the document when the machine has no printer. 1 when printed.
    int PrintText();
    void Print() override { PrintText(); }

protected:
    void OnCreate() override;
    void OnSize(int width, int height) override;
    void OnSetFocus() override;

private:
    // The text page's editor fills the view; the editors of the other pages
    // (the Info page) stay hidden behind it.
    void LayoutEditors();
};

// A text document of the path without a window: 0 with `out` set, or the
// reported code.
int LoadTextDocument(const char* path, std::unique_ptr<CTxtDoc>* out);

// The text document of the path in a window: an open one is activated and
// returned, else one is created and loaded. Null on failure with `result`
// set (reported unless kOpenTextNoReport).
CTxtDoc* OpenTextFile(const char* path, int flags, int* result);

// Closes a report the program has written and shows it in a text window (an
// open text window of the path is reloaded instead of a second one opening).
// Null when nothing was written, the load failed, or in batch runs; a failed
// close is reported.
CDoc* CloseAndShow(TextFile& file, bool maximize, bool show);

// Registers the text document kind (document, frame and view classes) and the
// editor windows of text pages; once at start-up.
void InstallTextDocuments();
