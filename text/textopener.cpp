#include "text/textopener.h"

#include "core/paths.h"
#include "core/result.h"
#include "document/docopen.h"
#include "shell/document.h"
#include "text/textdoc.h"

namespace {

class TextKindPort final : public DocumentKindPort {
public:
    CDoc* OpenFile(const char* path, int* result) override {
        CTxtDoc* document = OpenTextFile(path, kOpenTextMaximized, result);
        if (document) AddRecentFile(document->PathName());
        return document;
    }

    CDoc* NewWindow(const char* title, int* result) override {
        CDoc* document = CreateDocumentOfKind(kDocText, title);
        if (!document && result) *result = kResultNoMemory;
        return document;
    }
};

TextKindPort tko_port;

}  // namespace

void InstallTextFileOpener() { InstallDocumentKindPort(kDocText, &tko_port); }
