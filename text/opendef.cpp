#include "text/opendef.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

#include "compiler/defines.h"
#include "compiler/driver.h"
#include "compiler/session.h"
#include "compiler/spicereader.h"
#include "compiler/spicetables.h"
#include "compiler/support.h"
#include "core/memory.h"
#include "core/paths.h"
#include "core/report_port.h"
#include "core/result.h"
#include "document/attributes.h"
#include "document/cirio.h"
#include "document/component_defs.h"
#include "document/ctdoc.h"
#include "models/binlib.h"
#include "models/lookup.h"
#include "shell/dialogs.h"
#include "shell/document.h"
#include "shell/filetypes.h"
#include "shell/help.h"
#include "text/editwnd.h"
#include "text/textdoc.h"

namespace {

bool od_IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string od_Trim(const std::string& s) {
    size_t a = 0, b = s.size();
    while (a < b && od_IsBlank(s[a])) ++a;
    while (b > a && od_IsBlank(s[b - 1])) --b;
    return s.substr(a, b - a);
}

// The text after a statement's keyword, blanks skipped.
std::string od_AfterKeyword(const std::string& text, int keywordLength) {
    return od_Trim(text.substr(std::min(text.size(), static_cast<size_t>(keywordLength))));
}

// An include's file name: quotes removed, runs of blanks made one, at most a
// path's length.
std::string od_FileName(const std::string& rest) {
    std::string name;
    for (char c : rest) {
        if (c == '"') continue;
        if (od_IsBlank(c) && (name.empty() || name.back() == ' ')) continue;
        name += od_IsBlank(c) ? ' ' : c;
    }
    name = od_Trim(name);
    if (name.size() >= kPathSize) name.resize(kPathSize - 1);
    return name;
}

// What every definition search leaves behind: no compile arrays and no run context.
void od_Release(CCTDoc* document) {
    ClearCompileArrays(document, 1023);
    ClearRunContext();
}

// The circuit's defines put into a statement. Substitution capitalises; file
// names on case-sensitive file systems keep the case they were written in
// unless a define changed the text.
std::string od_Substitute(CCTDoc* document, const char* text) {
    char* substituted = nullptr;
    std::string out = text;
    if (SubstituteDefines(GetDefineTable(document), &substituted, 1, text, 0, kMarkersKeep) == 0 && substituted) {
        std::string upper = text;
        for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (upper != substituted) out = substituted;
    }
    FreeString(&substituted);
    return out;
}

// The subcircuit that a call line calls, looked up in the circuit's own file.
void od_OpenCalledSubcircuit(CCTDoc* document, const std::string& line) {
    const std::string name = ExtractCallName(line.c_str());
    CircuitModels* models = GetCircuitModels(document);
    if (name.empty() || !models || !document->PathName()[0]) return;
    int entry = 0;
    if (AddLibraryFile(models, document->PathName(), 0, &entry, false) == 0) {
        char path[kPathSize] = {};
        LibrarySearch search;
        search.name = name.c_str();
        search.mode = kFindSubcircuitInEntry;
        search.entry = entry;
        search.buffer = path;
        search.bufferSize = sizeof path;
        const long position = FindInLibraries(models, search);
        if (position >= 0 && path[0]) OpenFileAtPosition(path, static_cast<int32_t>(position), search.page);
    }
    ClearLibraryList(models, 0);
}

}  // namespace

int OpenFileAtPosition(const char* path, int32_t position, int32_t page) {
    if (!path || !path[0]) return 0;
    char full[kPathSize];
    std::snprintf(full, sizeof full, "%s", path);
    FindFileOnPaths(full, kPathLibrary);  // a file that is not there is reported by the open
    int code = 0;
    CDoc* opened = nullptr;
    if (GetDocumentKindOfFile(full) == kDocCircuit)
        opened = OpenCircuitDocument(full, 0x400, &code);
    else
        opened = OpenTextFile(full, 0, &code);
    if (!opened) return code ? code : kResultShown;
    SourceLocation location;
    location.kind = kLocationText;
    location.document = opened;
    location.position = position;
    location.lineSwitch = 1;
    location.paneSwitch = 0;
    location.page = page;
    location.Show();
    return 0;
}

int OpenDefinitionOfText(CCTDoc* document, const char* text, bool call) {
    if (!document || !text || AnalysisMode().IsAnalysisMode()) return 0;
    if (const int rc = CompileCircuitForTranslation(document, nullptr, 0)) {
        od_Release(document);
        return rc;
    }
    const std::string line = od_Trim(od_Substitute(document, text));
    std::string textFile;
    int result = 0;
    if (call && !line.empty() && (line[0] == 'X' || line[0] == 'x')) {
        od_OpenCalledSubcircuit(document, line);
    } else if (!line.empty() && line[0] == '.') {
        if (const int n = MatchDotKeyword(line.c_str(), kDotLibrary)) {
            char library[kPathSize] = {};
            const std::string name = od_FileName(od_AfterKeyword(line, n));
            // As the compile finds it: beside the circuit's file, then along the library path.
            const std::string beside = name.empty() ? name : ResolveIncludeFileName(name, document->PathName());
            const int rc = NormalizeLibraryName(library, beside.empty() ? name.c_str() : beside.c_str());
            if (rc == 0 && IsModelLibraryFile(library)) {
                // The model library editor is not part of this program yet.
                Reporter().Report(Message(kResultNotBuilt));
                result = kResultShown;
            } else {
                textFile = rc == 0 ? library : name;
            }
        } else if (const int k = MatchDotKeyword(line.c_str(), kDotInclude)) {
            const std::string name = od_FileName(od_AfterKeyword(line, k));
            textFile = name.empty() ? name : ResolveIncludeFileName(name, document->PathName());
            if (textFile.empty()) textFile = name;
        } else if (const int m = MatchDotKeyword(line.c_str(), kDotMacro)) {
            // ".MACRO name file(...)": the word after the name, cut at "(".
            std::string rest = od_AfterKeyword(line, m);
            size_t at = 0;
            while (at < rest.size() && !od_IsBlank(rest[at])) ++at;
            rest = od_Trim(rest.substr(at));
            rest = od_Trim(rest.substr(0, rest.find('(')));
            char macro[kPathSize] = {};
            if (!rest.empty()) {
                if (const int rc = ResolveMacroFileName(macro, rest.c_str())) {
                    Reporter().Report(Message(rc).Args(rest.c_str()));
                    result = kResultShown;
                } else {
                    int code = 0;
                    if (!OpenCircuitDocument(macro, 0x400, &code)) result = code ? code : kResultShown;
                }
            }
        }
    }
    od_Release(document);
    if (!textFile.empty()) {
        int code = 0;
        if (!OpenTextFile(textFile.c_str(), 0, &code)) result = code ? code : kResultShown;
    }
    return result;
}

int OpenDefinitionOfLine(CCTDoc* document, CTxtEditWnd* editor, int64_t line) {
    if (!editor) return 0;
    const TextBuffer& buffer = editor->Buffer();
    if (line < 0 || line >= buffer.GetLineCount()) return 0;
    while (line > 0) {
        const std::string text = buffer.GetLine(line);
        size_t first = 0;
        while (first < text.size() && od_IsBlank(text[first])) ++first;
        if (first >= text.size() || text[first] != '+') break;
        --line;
    }
    std::string statement = buffer.GetLine(line);
    statement.resize(std::min(statement.size(), statement.find(';')));
    return OpenDefinitionOfText(document, statement.c_str(), true);
}

int OpenDefinitionAtCaret(CTxtEditWnd* editor) {
    if (!editor || !editor->Document()) return 0;
    const TextBuffer& buffer = editor->Buffer();
    return OpenDefinitionOfLine(editor->Document(), editor, buffer.LineFromChar(buffer.Caret()));
}

int OpenDefinitionOfObject(CCTDoc* document, GridTextObject* text) {
    if (!document || !text || !text->text) return 0;
    return OpenDefinitionOfText(document, text->text, false);
}

int OpenDefineOfAttribute(CCTDoc* document, SchematicObject* component, int attributeId) {
    if (!document || !component) return 0;
    const std::string name = od_Trim(GetAttributeText(component, attributeId));
    DefineTable* defines = GetDefineTable(document);
    int result = 0;
    if (!name.empty() && defines && defines->FindInScope(1, name.c_str()) >= 0) {
        // Defines keep no place in their source yet that could be shown.
        Reporter().Report(Message(kResultNotBuilt));
        result = kResultShown;
    }
    od_Release(document);
    return result;
}

int OpenDefinitionOfObject(CCTDoc* document, SchematicObject* component) {
    if (!document || !component || !component->IsComponent() || !component->definition ||
        AnalysisMode().IsAnalysisMode())
        return 0;
    const int type = component->definition->type;
    if (const int rc = CompileCircuitForTranslation(document, nullptr, 0)) {
        od_Release(document);
        return rc;
    }
    int result = 0;
    const bool dataFile = type == 16 || type == 124 || type == 136 || (type >= 101 && type <= 112);
    const std::string file = od_FileName(GetAttributeText(component, kAttrFile));
    if (dataFile && !file.empty()) {
        char path[kPathSize];
        std::snprintf(path, sizeof path, "%s", file.c_str());
        FindFileOnPaths(path, kPathData);
        od_Release(document);
        int code = 0;
        if (!OpenTextFile(path, 0, &code)) result = code ? code : kResultShown;
        return result;
    }
    if (type >= 101 && type <= 112) return OpenDefineOfAttribute(document, component, kAttrData);
    if (type == 117 || (type >= 120 && type <= 122)) {
        for (int id : {13, 15, 16, 17})
            if (GetAttributeText(component, id)[0]) return OpenDefineOfAttribute(document, component, id);
        od_Release(document);
        return 0;
    }
    if (type == 49) {
        for (const SourceFileEntry& entry : document->sourceFiles) {
            if (entry.caller != component) continue;
            const std::string path = entry.fileName;
            const int32_t position = entry.textPosition, page = entry.page;
            od_Release(document);
            return OpenFileAtPosition(path.c_str(), position, page);
        }
        od_Release(document);
        return 0;
    }
    // Macros and models: their definitions are shown by the schematic editor
    // and the model libraries, which do not keep that place yet.
    Reporter().Report(Message(kResultNotBuilt));
    od_Release(document);
    return kResultShown;
}

void HelpForObject(CCTDoc* document, SchematicObject* component) {
    if (!component || !component->IsComponent() || !component->definition) return;
    const ComponentType* type = GetComponentType(component->definition->type);
    if (!type) return;
    CMDIView* view = document ? document->MainView() : nullptr;
    ContextHelp().OpenContextHelp(view, static_cast<unsigned>(type->typeId));
}

void HelpForObject(CCTDoc* document, GridTextObject* text) {
    if (!text || !text->text) return;
    const char* p = text->text;
    while (od_IsBlank(*p)) ++p;
    if (*p != '.') return;
    const int topic = HelpTopicOfStatement(p, document ? document->Kind() : kDocCircuit);
    CMDIView* view = document ? document->MainView() : nullptr;
    if (topic) ContextHelp().OpenContextHelp(view, static_cast<unsigned>(topic));
}
