#include "document/docopen.h"

#include <cstring>

#include "core/cmdline.h"
#include "core/messages.h"
#include "core/report_port.h"
#include "core/result.h"
#include "document/circuitfile.h"
#include "document/cirdoc.h"
#include "document/cirio.h"
#include "document/iodoc.h"
#include "shell/document.h"
#include "shell/filetypes.h"
#include "shell/newdoc.h"

namespace {

constexpr int kOpenKindSlots = 16;
DocumentKindPort* do_kindPorts[kOpenKindSlots] = {};

const MessageRow kOpenMessages[] = {
    {kMsgKindNotAvailable, "%E'%s' cannot be opened: windows of its kind are not available in this program yet."},
};

DocumentKindPort* do_PortOf(int kind) { return kind >= 0 && kind < kOpenKindSlots ? do_kindPorts[kind] : nullptr; }

int do_ReportNotAvailable(const char* what) {
    Reporter().Report(Message(kMsgKindNotAvailable).Args(what ? what : ""));
    return kResultShown;
}

// The start-up window is a placeholder while nothing was put into it.
bool do_IsUntouched(CDoc* document) {
    auto* circuit = dynamic_cast<CCTDoc*>(document);
    if (!circuit) return false;
    if (circuit->objects.count != 0 || circuit->gridTexts.count != 0) return false;
    if (auto* iodoc = dynamic_cast<CIODoc*>(document); iodoc && iodoc->IsDirty()) return false;
    return true;
}

class DocumentFileOpener final : public DocumentOpenerPort, public NewDocumentPort {
public:
    int ResolveDocumentExtension(char* path, size_t size, int mode, int kind) override {
        return ::ResolveDocumentExtension(path, size, mode, kind);
    }

    int OpenFileOfKind(const char* path, int kind) override {
        int result = 0;
        CDoc* document = ::OpenFileOfKind(path, kind, &result);
        if (document) return kOk;
        return result ? result : kResultShown;
    }

    CDoc* NewDocumentWindow(int kind, int* result) override { return NewDocumentOfKind(kind, result); }
};

DocumentFileOpener do_opener;

}  // namespace

int DocumentKindOfPath(const char* path) { return GetDocumentKindOfFile(path); }

CDoc* OpenNewCircuitWindow() {
    char path[kPathNameSize] = "";
    MakeUntitledFileName(path, kDocCircuit);
    return CreateDocumentOfKind(kDocCircuit, path);
}

DocumentKindPort* InstallDocumentKindPort(int kind, DocumentKindPort* port) {
    if (kind < 0 || kind >= kOpenKindSlots) return nullptr;
    DocumentKindPort* previous = do_kindPorts[kind];
    do_kindPorts[kind] = port;
    return previous;
}

CDoc* OpenFileOfKind(const char* path, int kind, int* result) {
    int ignored = 0;
    int& code = result ? *result : ignored;
    code = kOk;
    CDoc* initial = GetInitialCircuitDocument();
    if (initial && (kind == kDocCircuit || kind == kDocText) && do_IsUntouched(initial)) {
        initial->SetModifiedFlag(false);
        initial->OnCloseDocument();
    }
    CDoc* document = nullptr;
    if (kind == kDocCircuit) {
        document = OpenCircuitFile(path, kind, kLoadRestorePlacement, &code);
        if (!document && !code) code = kResultShown;
    } else if (kind == -1) {
        SetPendingText(path ? path : "");
        Reporter().Report(Message(kResultFileNotFound));
        code = kResultShown;
    } else if (kind == kDocText || kind == kDocLibrary || kind == kDocModel) {
        if (DocumentKindPort* port = do_PortOf(kind)) {
            document = port->OpenFile(path, &code);
            if (!document && !code) code = kResultShown;
        } else {
            code = do_ReportNotAvailable(path);
        }
    }
    return document;
}

CDoc* NewDocumentOfKind(int kind, int* result) {
    int ignored = 0;
    int& code = result ? *result : ignored;
    code = kOk;
    if (kind != kDocCircuit && kind != kDocText && kind != kDocLibrary) {
        code = kResultNotBuilt;
        return nullptr;
    }
    char path[kPathNameSize] = "";
    MakeUntitledFileName(path, kind);
    CDoc* document = nullptr;
    if (kind == kDocCircuit) {
        document = CreateDocumentOfKind(kDocCircuit, path);
        if (!document) code = kResultNoMemory;
    } else if (DocumentKindPort* port = do_PortOf(kind)) {
        document = port->NewWindow(path, &code);
        if (!document && !code) code = kResultShown;
    } else {
        code = do_ReportNotAvailable(path);
    }
    if (document && document->MainView()) document->MainView()->ShowFrameMaximized();
    return document;
}

void InstallDocumentFileOpener() {
    RegisterMessages(kOpenMessages, 1);
    InstallDocumentOpener(&do_opener);
    InstallNewDocuments(&do_opener);
}
