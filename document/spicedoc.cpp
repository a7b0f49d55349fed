#include "document/spicedoc.h"

#include <fstream>
#include <sstream>

#include "core/filestream.h"
#include "core/memory.h"
#include "core/result.h"
#include "document/ctdoc.h"
#include "document/pages.h"
#include "document/parts.h"
#include "shell/document.h"

std::unique_ptr<CCTDoc> MakeSpiceTextDocument(const char* path, const char* text) {
    auto document = std::make_unique<CCTDoc>(kDocText);
    if (document->AppendPage(kPageText, "Text") < 0) return nullptr;
    StoreTextPageText(document.get(), 0, text ? text : "");
    if (path) CopyTextBounded(document->pathName, path, sizeof document->pathName);
    return document;
}

int LoadSpiceTextDocument(const char* path, std::unique_ptr<CCTDoc>* out) {
    if (!path || !*path) return kResultNoFileName;
    std::ifstream file(path, std::ios::binary);
    if (!file) return kResultFileNotFound;
    std::ostringstream text;
    text << file.rdbuf();
    if (file.bad()) return kResultReadError;
    std::string bytes = std::move(text).str();
    // The document holds its text as a C string: a NUL byte would end it early.
    if (bytes.find('\0') != std::string::npos) return kResultNotText;
    bytes = ExpandCrLineEnds(std::move(bytes));
    auto document = MakeSpiceTextDocument(path, bytes.c_str());
    if (!document) return kResultNoMemory;
    *out = std::move(document);
    return kOk;
}
