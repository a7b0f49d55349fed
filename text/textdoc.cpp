#include "text/textdoc.h"

#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "core/cmdline.h"
#include "core/fontspec.h"
#include "core/memory.h"
#include "core/messages.h"
#include "core/properties.h"
#include "core/report_port.h"
#include "core/result.h"
#include "core/textfile.h"
#include "document/iodoc.h"
#include "platform/print.h"
#include "shell/colortable.h"
#include "shell/preferences.h"
#include "text/editwnd.h"
#include "text/textprint.h"
#include "text/trailer.h"

namespace {

// The colour-table row of an RGB value: the row of that colour, else the one
// that differs from it in the fewest bits.
int td_ColorIndexFromRgb(uint32_t rgb) {
    int best = 0, bestBits = 33;
    for (int i = 0; i < 72; ++i) {
        const ColorTableRow* row = GetColorRow(i);
        if (!row) continue;
        const int bits = std::popcount((row->color ^ rgb) & 0xFFFFFFu);
        if (bits < bestBits) best = i, bestBits = bits;
    }
    return best;
}

uint32_t td_RowRgb(int index) {
    const ColorTableRow* row = GetColorRow(index);
    return row ? (row->color & 0xFFFFFFu) : 0;
}

int td_ReportFileError(int code, const char* path) {
    if (code == 0 || code == kResultShown) return code;
    Reporter().Report(Message(code).Args(path ? path : ""));
    return kResultShown;
}

}  // namespace

// ---- the view --------------------------------------------------------------------------------

int CTxtView::PrintText() {
    auto* doc = dynamic_cast<CTxtDoc*>(GetCTDoc());
    CTxtEditWnd* editor = doc ? doc->Editor() : nullptr;
    if (!editor) return 0;
    platform::PrintSettings settings;
    settings.page.title = doc->PathName();
    if (platform::ListPrinters().empty()) {
        std::string pdf = doc->PathName();
        const size_t dot = pdf.find_last_of("./");
        if (dot != std::string::npos && pdf[dot] == '.') pdf.resize(dot);
        settings.outputFile = pdf + ".pdf";
    }
    return PrintTextPages(editor->Buffer(), TextPrintStyleOf(*editor), settings);
}

void CTxtView::LayoutEditors() {
    auto* doc = dynamic_cast<CTxtDoc*>(GetCTDoc());
    if (!doc) return;
    CTxtEditWnd* shown = doc->Editor();
    for (int i = 0; i < doc->PageCount(); ++i) {
        CTxtEditWnd* editor = doc->Page(i)->editor;
        if (!editor || !editor->Exists() || editor == shown) continue;
        editor->Show(platform::show::Hide);
    }
    if (shown && shown->Exists()) {
        shown->Move(ClientRect());
        shown->Show(platform::show::ShowNoActivate);
    }
}

void CTxtView::OnCreate() {
    CCTView::OnCreate();
    LayoutEditors();
}

void CTxtView::OnSize(int width, int height) {
    CCTView::OnSize(width, height);
    LayoutEditors();
}

void CTxtView::OnSetFocus() {
    auto* doc = dynamic_cast<CTxtDoc*>(GetCTDoc());
    if (CTxtEditWnd* editor = doc ? doc->Editor() : nullptr; editor && editor->Exists()) editor->SetFocus();
}

// ---- the document ----------------------------------------------------------------------------

CTxtDoc::CTxtDoc() : CCTDoc(kDocText) {
    fileBacked = 1;
    textPageFont = ItemStyleTable[kItemTextText];
    textCommentColor = ItemStyleTable[kItemTextComment];
    textBackgroundColor = ItemStyleTable[kItemTextBackground];
    if (CTxtEditWnd* e = Editor()) e->SetDocument(this);
}

CTxtDoc::~CTxtDoc() { ClearUndo(); }

CTxtEditWnd* CTxtDoc::Editor() const {
    const PageRecord* p = Page(GetTextPageIndex());
    return p ? p->editor : nullptr;
}

int ReadTextTrailer(CCTDoc* document, CTxtEditWnd* editor, std::string&& bytes) {
    if (!editor) return kResultNotBuilt;
    size_t textLength = bytes.size();
    if (document && document->Kind() == kDocText) {
        const TextTrailer t = SplitTextTrailer(bytes, &textLength);
        if (t.textColor) document->textPageFont.color = static_cast<uint8_t>(td_ColorIndexFromRgb(*t.textColor));
        if (t.commentColor)
            document->textCommentColor.color = static_cast<uint8_t>(td_ColorIndexFromRgb(*t.commentColor));
        if (t.backgroundColor)
            document->textBackgroundColor.color = static_cast<uint8_t>(td_ColorIndexFromRgb(*t.backgroundColor));
        if (t.face) document->textPageFont.face = static_cast<uint16_t>(FindOrAddFontFace(t.face->c_str()));
        if (t.size) document->textPageFont.height = static_cast<int16_t>(*t.size);
        if (t.style) document->textPageFont.style = static_cast<uint8_t>(*t.style);
        if (auto* text = dynamic_cast<CTxtDoc*>(document); text && t.HasDisplayLines()) text->keepDisplaySettings = 1;
        // A file without a dialect line gets none, so saving adds nothing to it.
        document->dialect = t.dialect ? ParseSpiceDialect(t.dialect->c_str()) : kSpiceDialectNone;
        editor->SetColors(td_RowRgb(document->textPageFont.color), td_RowRgb(document->textCommentColor.color),
                          td_RowRgb(document->textBackgroundColor.color));
    }
    bytes.resize(textLength);
    return editor->Buffer().LoadText(std::move(bytes)) ? 0 : kResultNoMemory;
}

int CTxtDoc::LoadTextFile() {
    CTxtEditWnd* editor = Editor();
    if (!editor) return td_ReportFileError(kResultNotBuilt, pathName);
    FILE* f = std::fopen(pathName, "rb");
    if (!f) return td_ReportFileError(ErrnoToResult(errno), pathName);
    std::string bytes;
    int code = 0;
    if (std::fseek(f, 0, SEEK_END) == 0) {
        const long size = std::ftell(f);
        std::rewind(f);
        try {
            // Room for the editor's line-end sentinel, so the block is taken over as it is.
            bytes.reserve(static_cast<size_t>(std::max(size, 0L)) + 3);
            if (size > 0) bytes.resize(static_cast<size_t>(size));
        } catch (const std::bad_alloc&) {
            code = kResultNoMemory;
        } catch (const std::length_error&) {
            code = kResultNoMemory;
        }
        if (!code && size > 0 && std::fread(bytes.data(), 1, bytes.size(), f) != bytes.size()) code = kResultReadError;
    } else {
        code = kResultReadError;
    }
    std::fclose(f);
    // A text that could not be read whole is never shown: saving it would
    // cut the file short. Nor is one with NUL bytes, which the editor would
    // end at the first of them.
    if (!code && bytes.find('\0') != std::string::npos) code = kResultNotText;
    if (!code) {
        lineEnding = DetectLineEnding(bytes);
        bytes = ExpandCrLineEnds(std::move(bytes));
        code = ReadTextTrailer(this, editor, std::move(bytes));
    }
    if (code == kResultNoMemory) {
        Reporter().Report(Message(kResultNoMemory));
        return kResultNoMemory;
    }
    if (code) return td_ReportFileError(code, pathName);
    untitled = 0;
    SetDirty(0);
    return 0;
}

int CTxtDoc::SaveToFile(const char* path) {
    const int code = SaveTextDocument(this, path ? path : pathName);
    if (code == 0) SetDirty(0);
    return code;
}

CIODoc* CTxtDoc::ReloadFromFile() {
    const std::string path = pathName;
    SetDirty(0);
    OnCloseDocument();  // deletes this document
    int code = 0;
    return OpenTextFile(path.c_str(), kOpenTextMaximized, &code);
}

int SaveTextDocument(CTxtDoc* document, const char* path) {
    if (!document || !path || !*path) return td_ReportFileError(kResultNoFileName, path);
    CTxtEditWnd* editor = document->Editor();
    if (!editor) return td_ReportFileError(kResultNotBuilt, path);
    std::string trailer;
    try {
        const std::string_view text = editor->Buffer().Text();
        const bool hasDialect = document->dialect != kSpiceDialectNone && document->dialect != 0;
        if ((document->keepDisplaySettings || hasDialect) && !text.empty() && text.back() != '\n') trailer = "\r\n";
        TrailerDisplay display;
        if (document->keepDisplaySettings) {
            display.textColor = td_RowRgb(document->textPageFont.color);
            display.commentColor = td_RowRgb(document->textCommentColor.color);
            display.backgroundColor = td_RowRgb(document->textBackgroundColor.color);
            display.face = FontFaceName(document->textPageFont.face);
            display.size = document->textPageFont.height;
            display.style = document->textPageFont.style;
        }
        trailer += FormatTextTrailer(document->keepDisplaySettings ? &display : nullptr,
                                     hasDialect ? SpiceDialectName(document->dialect) : nullptr);
    } catch (const std::bad_alloc&) {
        return kResultNoMemory;
    }
    std::string bytes;
    try {
        bytes = ConvertLineEndings(std::string(editor->Buffer().Text()) + trailer, document->lineEnding);
    } catch (const std::bad_alloc&) {
        return kResultNoMemory;
    }
    // The old file stays whole until the new one is complete.
    if (ReplaceFileContents(path, bytes) != 0) return td_ReportFileError(kResultWriteError, path);
    return 0;
}

int LoadTextDocument(const char* path, std::unique_ptr<CTxtDoc>* out) {
    if (!path || !*path || !out) return kResultNoFileName;
    std::unique_ptr<CTxtDoc> doc;
    try {
        doc = std::make_unique<CTxtDoc>();
    } catch (const std::bad_alloc&) {
        Reporter().Report(Message(kResultNoMemory));
        return kResultNoMemory;
    }
    CopyTextBounded(doc->pathName, path, sizeof doc->pathName);
    if (const int code = doc->LoadTextFile()) return code;
    *out = std::move(doc);
    return 0;
}

CTxtDoc* OpenTextFile(const char* path, int flags, int* result) {
    int code = 0;
    CTxtDoc* doc = nullptr;
    if (!path || !*path) code = kResultNoFileName;
    if (!code && access(path, F_OK) != 0) code = kResultFileNotFound;
    if (!code) {
        for (CDoc* d = FirstDocument(); d && !doc; d = d->NextDocument())
            if (d->Kind() == kDocText && std::strcmp(d->PathName(), path) == 0) doc = dynamic_cast<CTxtDoc*>(d);
        if (doc) {
            if (doc->MainView()) doc->MainView()->ActivateFrame();
        } else if (CDoc* made = CreateDocumentOfKind(kDocText, path)) {
            doc = dynamic_cast<CTxtDoc*>(made);
            if (!doc) {
                made->OnCloseDocument();
                code = kResultNoMemory;
            } else {
                CopyTextBounded(doc->pathName, path, sizeof doc->pathName);
                code = doc->LoadTextFile();
                if (code) {
                    doc->OnCloseDocument();
                    doc = nullptr;
                } else if (doc->MainView()) {
                    if (flags & (kOpenTextMaximized | 0x400))
                        doc->MainView()->ShowFrameMaximized();
                    else
                        doc->MainView()->ActivateFrame();
                }
            }
        } else {
            code = kResultNoMemory;
        }
    }
    if (code && code != kResultShown && !(flags & kOpenTextNoReport)) code = td_ReportFileError(code, path);
    if (result) *result = code;
    return doc;
}

CDoc* CloseAndShow(TextFile& file, bool maximize, bool show) {
    if (!file.IsWriting()) {
        file.Close();
        return nullptr;
    }
    const long written = file.Tell();
    const std::string path = file.path ? file.path : "";
    const int closeCode = file.Close();
    if (written <= 0) return nullptr;
    CDoc* shown = nullptr;
    if (!BatchMode()) {
        CTxtDoc* doc = nullptr;
        for (CDoc* d = FirstDocument(); d && !doc; d = d->NextDocument())
            if (d->Kind() == kDocText && path == d->PathName()) doc = dynamic_cast<CTxtDoc*>(d);
        if (doc) {
            if (doc->LoadTextFile() != 0) {
                doc->OnCloseDocument();
                doc = nullptr;
            }
        } else {
            int code = 0;
            doc = OpenTextFile(path.c_str(), (maximize ? kOpenTextMaximized : 0) | kOpenTextNoRecent, &code);
        }
        if (doc && show && doc->MainView()) {
            if (maximize)
                doc->MainView()->ShowFrameMaximized();
            else
                doc->MainView()->ActivateFrame();
            if (CTxtEditWnd* e = doc->Editor(); e && e->Exists()) e->SetFocus();
        }
        shown = doc;
    }
    // A report whose file did not close cleanly may be incomplete: say so.
    if (closeCode) td_ReportFileError(closeCode, path.c_str());
    return shown;
}
