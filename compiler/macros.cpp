#include "compiler/macros.h"

#include <cctype>
#include <cstring>

#include "compiler/defines.h"
#include "compiler/support.h"
#include "core/chars.h"
#include "core/memory.h"
#include "core/messages.h"
#include "core/result.h"
#include "document/attributes.h"
#include "document/ctdoc.h"

namespace {

constexpr int kMcMsgMissingValue = 10871;
constexpr int kMcMsgBadStatement = 10872;
constexpr int kMcMsgCountMismatch = 10873;
constexpr int kMcMsgBadParameters = 10874;
constexpr int32_t kMcInstanceValue = 23;

// clang-format off
const MessageRow kMcMessageRows[] = {
    {10871, "%EMissing value for '%s'."},
    {10872, "%EBad '%s'."},
    {10873, "%EParameter count mismatch or .parameters statement not found."},
    {10874, "%EBad parameters '%s'."},
};
// clang-format on

std::string mc_Trim(const std::string& text) {
    size_t a = 0, b = text.size();
    while (a < b && std::isspace(static_cast<unsigned char>(text[a]))) ++a;
    while (b > a && std::isspace(static_cast<unsigned char>(text[b - 1]))) --b;
    return text.substr(a, b - a);
}

std::string mc_Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// The list after an opening parenthesis: the count, or -1 (not balanced);
// out of memory gives -2.
int mc_Split(const char* afterParenthesis, std::vector<std::string>* out) {
    char** list = nullptr;
    int error = 0;
    const int count = SplitArgumentList(&list, afterParenthesis, &error);
    if (count < 0) return error ? -2 : -1;
    for (int i = 0; i < count; ++i) out->push_back(list[i] ? list[i] : "");
    FreeArgumentList(list, count);
    return count;
}

int mc_Mismatch(SchematicObject* part, int scope, int id, const char* argument, const std::string& declared,
                const std::string& supplied) {
    const std::string rows = "Parameters required:\t" + (declared.empty() ? std::string("None") : declared) +
                             "\nParameters supplied:\t" + (supplied.empty() ? std::string("None") : supplied) + "\n";
    if (part) RecordPartLocation(part);
    return ReportCompilerMessage(part, scope, rows.c_str(), id, argument ? argument : "");
}

}  // namespace

void RegisterMacroMessages() {
    RegisterMessages(kMcMessageRows, static_cast<int>(sizeof(kMcMessageRows) / sizeof(kMcMessageRows[0])));
}

int ParseParametersStatement(CCTDoc*, const char* statement, int scope, std::vector<MacroParameter>* out) {
    out->clear();
    const char* text = statement ? statement : "";
    while (*text == ' ' || *text == '\t') ++text;
    const int keyword = MatchDotKeyword(text, kDotParameters);
    const std::string rest = mc_Trim(keyword ? text + keyword : text);
    std::vector<std::string> items;
    const int count = rest.empty() || rest[0] != '(' ? -1 : mc_Split(rest.c_str() + 1, &items);
    if (count == -2) {
        ReportCompileOutOfMemory();
        return kResultShown;
    }
    if (count < 0) return ReportCompilerMessage(nullptr, scope, nullptr, kMcMsgBadStatement, text);
    for (const std::string& item : items) {
        if (item.empty()) continue;
        MacroParameter parameter;
        const size_t equals = item.find('=');
        parameter.name = mc_Upper(mc_Trim(item.substr(0, equals)));
        if (equals != std::string::npos) {
            parameter.fallback = mc_Trim(item.substr(equals + 1));
            parameter.hasDefault = true;
        }
        out->push_back(std::move(parameter));
    }
    return 0;
}

int SplitMacroReference(CCTDoc*, const char* text, SchematicObject* part, std::string* file,
                        std::vector<std::string>* arguments, bool* hasArguments) {
    arguments->clear();
    *hasArguments = false;
    const std::string whole = text ? text : "";
    const size_t open = whole.find('(');
    *file = mc_Trim(whole.substr(0, open));
    if (open == std::string::npos) return 0;
    const int count = mc_Split(whole.c_str() + open + 1, arguments);
    if (count == -2) {
        ReportCompileOutOfMemory();
        return kResultShown;
    }
    if (count < 0) {
        if (part) RecordPartLocation(part);
        return ReportCompilerMessage(part, part ? PartScope(part) : 1, nullptr, kMcMsgBadParameters, whole.c_str());
    }
    *hasArguments = true;
    return 0;
}

bool FindMacroStatement(CCTDoc* document, const char* name, int scope, std::string* rest) {
    const size_t length = std::strlen(name);
    for (PoolItem* item = document->gridTexts.first; item; item = item->next) {
        if (item->type < 0) continue;
        const GridTextObject* statement = static_cast<const GridTextObject*>(item);
        if (!statement->text || statement->scope != scope) continue;
        const char* text = statement->text;
        while (*text == ' ' || *text == '\t') ++text;
        const int keyword = MatchDotKeyword(text, kDotMacro);
        if (!keyword) continue;
        const char* word = text + keyword;
        while (*word == ' ' || *word == '\t') ++word;
        const char* end = word;
        while (*end && !std::isspace(static_cast<unsigned char>(*end))) ++end;
        if (static_cast<size_t>(end - word) != length || CompareNoCaseN(word, name, length) != 0) continue;
        *rest = mc_Trim(end);
        return true;
    }
    return false;
}

int BindMacroParameters(CCTDoc* document, SchematicObject* part, int instanceScope,
                        const std::vector<MacroParameter>& declared, const std::vector<std::string>* supplied,
                        const std::string& declaredText, const std::string& suppliedText) {
    DefineTable* table = GetDefineTable(document);
    if (!table) {
        ReportCompileOutOfMemory();
        return kResultShown;
    }
    const int partScope = part ? PartScope(part) : 1;
    size_t defaultsCounted = 0;
    for (size_t i = 0; i < declared.size(); ++i) {
        const MacroParameter& parameter = declared[i];
        std::string value;
        bool found = false;
        if (supplied) {
            if (i < supplied->size() && !(*supplied)[i].empty()) {
                value = (*supplied)[i];
                found = true;
            } else if (parameter.hasDefault) {
                value = parameter.fallback;
                found = true;
                if (i >= supplied->size()) ++defaultsCounted;
            }
        } else {
            const std::string attribute = std::string(kParamPrefix) + parameter.name;
            const char* given = part ? GetAttributeText(part, attribute.c_str()) : nullptr;
            if (given && *given) {
                value = given;
                found = true;
            } else if (parameter.hasDefault) {
                value = parameter.fallback;
                found = true;
            }
        }
        if (!found)
            return mc_Mismatch(part, instanceScope, kMcMsgMissingValue, parameter.name.c_str(), declaredText,
                               suppliedText);
        char* substituted = nullptr;
        int rc = SubstituteDefines(table, &substituted, partScope, value.c_str(), 0, kMarkersToParentheses);
        if (!rc) {
            const StatementSource source{0, instanceScope, 0, 0};
            rc = AddDefine(table, parameter.name.c_str(), nullptr, substituted ? substituted : "", source,
                           kMcInstanceValue, nullptr);
        }
        FreeString(&substituted);
        if (rc) return rc;
    }
    if (supplied && supplied->size() + defaultsCounted != declared.size())
        return mc_Mismatch(part, instanceScope, kMcMsgCountMismatch, "", declaredText, suppliedText);
    return 0;
}
