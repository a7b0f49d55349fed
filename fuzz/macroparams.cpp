// Macro parameters: the first input line is a .PARAMETERS statement, the
// second the FILE(arguments) text of a .MACRO statement, the rest "Param:"
// attributes (name=value) of the macro part; the declared list is parsed, the
// reference split and every parameter bound into an instance scope.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "compiler/defines.h"
#include "compiler/macros.h"
#include "core/memory.h"
#include "core/result.h"
#include "document/attributes.h"
#include "document/cirdoc.h"
#include "document/component_defs.h"
#include "fuzz/fuzz_support.h"
#include "shell/document.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::StartCompiler();
    if (size > 2048) return 0;
    const std::string text = fuzz::AsText(data, size);
    std::vector<std::string> lines;
    size_t from = 0;
    while (from <= text.size()) {
        size_t end = text.find('\n', from);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(from, end - from));
        from = end + 1;
    }
    while (lines.size() < 2) lines.emplace_back();

    auto document = std::make_unique<CCirDoc>();
    CurrentRunContext().circuitDocument = document.get();
    ComponentDef definition;
    definition.type = kTypeMacro;
    if (InitRootScopes(document.get()) == 0 && EnsureScopes(document.get(), 2) == 0) {
        SchematicObject* part = document->NewSchematicObject();
        if (part) {
            part->objectKind = kObjectComponent;
            part->definition = &definition;
            part->level = 1;
            for (size_t i = 2; i < lines.size(); ++i) {
                const size_t equals = lines[i].find('=');
                const std::string name = std::string(kParamPrefix) + lines[i].substr(0, equals);
                const std::string value = equals == std::string::npos ? "" : lines[i].substr(equals + 1);
                SetAttribute(document.get(), part, name.c_str(), value.c_str());
            }
            std::vector<MacroParameter> declared;
            std::string file;
            std::vector<std::string> supplied;
            bool hasArguments = false;
            if (ParseParametersStatement(document.get(), lines[0].c_str(), 2, &declared) == 0 &&
                SplitMacroReference(document.get(), lines[1].c_str(), part, &file, &supplied, &hasArguments) == 0)
                BindMacroParameters(document.get(), part, 2, declared, hasArguments ? &supplied : nullptr, lines[0],
                                    lines[1]);
        }
    }
    ReleaseDefineTable(document.get());
    CurrentRunContext().circuitDocument = nullptr;
    document.reset();
    ClearPendingMessage();
    return 0;
}
