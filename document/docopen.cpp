#include "document/docopen.h"

#include <strings.h>
#include <cstring>

#include "core/cmdline.h"
#include "core/result.h"
#include "document/circuitfile.h"
#include "document/cirio.h"
#include "document/iodoc.h"
#include "shell/document.h"

namespace {

class DocumentFileOpener final : public DocumentOpenerPort {
public:
    int ResolveDocumentExtension(char* path, size_t, int, int) override { return DocumentKindOfPath(path); }

    int OpenFileOfKind(const char* path, int kind) override {
        if (kind != kDocCircuit) return kResultNotBuilt;
        int code = 0;
        CDoc* document = OpenCircuitFile(path, kind, kLoadRestorePlacement, &code);
        if (document) return kOk;
        return code ? code : kResultShown;
    }
};

DocumentFileOpener do_opener;

}  // namespace

int DocumentKindOfPath(const char* path) {
    if (!path) return -1;
    const char* dot = std::strrchr(path, '.');
    if (!dot || std::strchr(dot, '/')) return -1;
    if (strcasecmp(dot, ".cir") == 0 || strcasecmp(dot, ".mac") == 0) return kDocCircuit;
    return -1;
}

CDoc* OpenNewCircuitWindow() {
    char path[kPathNameSize] = "";
    MakeUntitledFileName(path, kDocCircuit);
    return CreateDocumentOfKind(kDocCircuit, path);
}

void InstallDocumentFileOpener() { InstallDocumentOpener(&do_opener); }
