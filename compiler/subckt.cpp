#include "compiler/subckt.h"

#include <cctype>
#include <cstring>
#include <memory>
#include <new>
#include <set>
#include <string>
#include <vector>

#include "compiler/compiled.h"
#include "compiler/defines.h"
#include "compiler/session.h"
#include "compiler/spicedevices.h"
#include "compiler/spicereader.h"
#include "compiler/spicetables.h"
#include "compiler/support.h"
#include "core/chars.h"
#include "core/memory.h"
#include "core/messages.h"
#include "core/paths.h"
#include "core/result.h"
#include "document/attributes.h"
#include "document/component_defs.h"
#include "document/ctdoc.h"
#include "document/nodelabels.h"
#include "expr/compiled.h"
#include "models/lookup.h"
#include "models/modelstmt.h"
#include "shell/document.h"

namespace {

constexpr int kXsMsgCantFind = 10903;
constexpr int kXsMsgPinNoMatch = 10904;
constexpr int kXsMsgTooMany = 10909;
constexpr int kXsMsgMissingEnds = 10918;
constexpr int kXsMsgTooFew = 10919;
constexpr int kXsMsgDuplicate = 10929;
constexpr int kXsMsgNotParam = 10930;
constexpr int kXsMsgEndsOutside = 10931;
constexpr int kXsMsgGroundPin = 10953;
constexpr int kXsMsgRecursive = 10878;
constexpr int kXsMsgExpecting = 11900;
constexpr int kXsMsgExpectingAfter = 11901;
constexpr int kXsAttrParams = 29;
constexpr int kXsAttrText = 31;
// Past ".SUBCKT ": reading on from there puts the blocks nested in that
// definition at depth 1.
constexpr long kXsSubcktKeywordLength = 8;

// clang-format off
const MessageRow kXsMessageRows[] = {
    {10903, "%ECan't find subckt %s."},
    {10904, "%ENode %s from subckt %s does not match any defined pin name for this part."},
    {10909, "%EToo many nodes passed to subckt '%s'."},
    {10918, "%EMissing .ENDS for .SUBCKT %s."},
    {10919, "%EToo few nodes passed to subckt '%s'."},
    {10929, "%EDuplicate definition for %s %s."},
    {10930, "%ENot a SUBCKT param %s."},
    {10953, "%ECan't ground pin %s."},
    {10878, "%ERecursive macro found '%s'."},
    {17903, "Processing subcircuits."},
};
// clang-format on

bool xs_IsBlank(char c) { return c == ' ' || (c >= 9 && c <= 13); }

std::string xs_Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

std::string xs_Trim(const std::string& text) {
    size_t a = 0, b = text.size();
    while (a < b && xs_IsBlank(text[a])) ++a;
    while (b > a && xs_IsBlank(text[b - 1])) --b;
    return text.substr(a, b - a);
}

// The words of a statement, a section keyword and its colon joined
// ("PARAMS" ":" becomes "PARAMS:"); "," words are dropped.
std::vector<std::string> xs_Words(const char* statement) {
    std::vector<std::string> raw;
    SplitStatementWords(statement, &raw);
    std::vector<std::string> words;
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == ",") continue;
        if (i + 1 < raw.size() && raw[i + 1] == ":" &&
            (raw[i] == "PARAMS" || raw[i] == "TEXT" || raw[i] == "OPTIONAL")) {
            words.push_back(raw[i] + ":");
            ++i;
            continue;
        }
        words.push_back(raw[i]);
    }
    return words;
}

bool xs_IsSection(const std::string& word) { return word == "PARAMS:" || word == "TEXT:" || word == "OPTIONAL:"; }

PartAttribute* xs_SetTemporary(CCTDoc* document, SchematicObject* part, const std::string& name,
                               const std::string& value) {
    PartAttribute* attribute = SetAttribute(document, part, name.c_str(), value.c_str());
    if (attribute) attribute->flags |= kAttrTemporary;
    return attribute;
}

const char* xs_PartName(const SchematicObject* part) {
    const char* name = part ? GetAttributeText(part, kAttrPart) : nullptr;
    return name ? name : "";
}

// Binds a name of a scope to an existing node number (the call's node a
// definition pin stands for).
int xs_BindNodeName(CCTDoc* document, int scope, const std::string& name, int node) {
    CompileSession* session = GetCompileSession(document);
    if (!session) return kResultNoMemory;
    char* text = QualifyName(&session->defines, name.c_str(), scope);
    if (!text) return kResultNoMemory;
    const std::string qualified = text;
    FreeString(&text);
    std::vector<NodeNameEntry>& names = document->build.nodeNames;
    if (names.empty()) {
        names.push_back({"0", 0, -1, 1});
        if (int rc = session->nodes.Insert("0", 0)) return rc;
    }
    const int index = session->nodes.Find(qualified.c_str());
    if (index >= 0 && static_cast<size_t>(index) < names.size()) {
        names[static_cast<size_t>(index)].node = node;
        return 0;
    }
    names.push_back({qualified, node, static_cast<int16_t>(scope), 0});
    return session->nodes.Insert(qualified.c_str(), static_cast<int>(names.size() - 1));
}

// The name of the node a number stands for, for messages.
std::string xs_NodeName(CCTDoc* document, int node) {
    for (const NodeNameEntry& entry : document->build.nodeNames)
        if (entry.node == node) return entry.name;
    return std::to_string(node);
}

int xs_Report(SchematicObject* part, int scope, const char* rows, int id, const char* a = "", const char* b = "") {
    RecordPartLocation(part);
    return ReportCompilerMessage(part, scope, rows, id, a, b);
}

// One open source of the search and what it is: a document's text page or a
// disk file.
struct xs_Place {
    CCTDoc* document = nullptr;  // the document whose page is read, else null
    int page = 0;
    std::string path;
    long start = 0;  // where reading begins
    int line = 0;    // the line counter there
    // A definition kept from an earlier read: its text alone, read instead.
    const SpiceReaderState::KeptDefinition* kept = nullptr;
};

// What the search found and the state of one call's expansion.
struct xs_Call {
    CCTDoc* document = nullptr;
    SchematicObject* part = nullptr;
    int scope = 0;    // the new scope
    int calling = 1;  // the scope of the calling part
    std::string name;
    std::set<std::string> usedCallParameters;
    bool found = false;
    bool closed = false;
    // The definition's text when it was read whole from one source.
    std::string text;
    int dialect = 0;
};

}  // namespace

void RegisterSubcircuitMessages() {
    RegisterMessages(kXsMessageRows, static_cast<int>(sizeof(kXsMessageRows) / sizeof(kXsMessageRows[0])));
}

bool IsSubcktLine(const char* text) {
    return text && CompareNoCaseN(text, ".SUBCKT", 7) == 0 && xs_IsBlank(text[7]) && text[7] != 0;
}

bool IsEndsLine(const char* text) {
    return text && text[0] == '.' && CompareNoCaseN(text, ".ENDS", 5) == 0 &&
           (text[5] == 0 || xs_IsBlank(text[5]) || text[5] == ';');
}

std::string ReadBracedValue(const std::string& word, const SchematicObject* instancePart, int scope) {
    if (word.empty() || word[0] != '{' || scope < 2 || !instancePart) return word;
    std::string out;
    for (size_t i = 0; i < word.size();) {
        const char c = word[i];
        if (c == '{') {
            out += '(';
            ++i;
        } else if (c == '}') {
            out += ')';
            ++i;
        } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
            size_t j = i;
            while (j < word.size() &&
                   (std::isalnum(static_cast<unsigned char>(word[j])) || word[j] == '_' || word[j] == '$'))
                ++j;
            const std::string name = xs_Upper(word.substr(i, j - i));
            const char* bound = GetAttributeText(instancePart, ("$.P " + name).c_str());
            out += bound && *bound ? std::string(bound) : word.substr(i, j - i);
            i = j;
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

// ---- the call line ----------------------------------------------------------------------------

namespace {

// A component definition of the subcircuit type with `pins` pins, shared by
// every call of that pin count.
ComponentDef* xs_CallDefinition(CCTDoc* document, int pins) {
    SpiceReaderState* reader = GetSpiceReader(document);
    if (!reader) return nullptr;
    for (const std::unique_ptr<ComponentDef>& definition : reader->definitions)
        if (definition->type == kTypeSubckt && definition->pinCount == pins) return definition.get();
    auto definition = std::make_unique<ComponentDef>();
    definition->type = kTypeSubckt;
    definition->mask |= kDefPurgeMark;
    const std::string name = "X" + std::to_string(reader->definitionCounter++) + "$";
    definition->SetName(name.c_str());
    if (pins > 0 && definition->ResizePins(pins)) return nullptr;
    reader->definitions.push_back(std::move(definition));
    return reader->definitions.back().get();
}

}  // namespace

int ReadSubcktCallLine(SpiceStatementContext& context, char* statement) {
    CCTDoc* document = context.document;
    const std::vector<std::string> words = xs_Words(statement);
    std::vector<std::string> counted;
    std::string params, texts;
    std::string* section = nullptr;
    for (size_t i = 1; i < words.size(); ++i) {
        if (words[i] == "PARAMS:") {
            section = &params;
            continue;
        }
        if (words[i] == "TEXT:") {
            section = &texts;
            continue;
        }
        if (section) {
            *section += words[i];
            *section += ' ';
        } else {
            counted.push_back(words[i]);
        }
    }
    if (counted.empty()) return ReportSpiceStatementMessage(context, statement, kXsMsgExpecting, "subckt name");
    const int pins = static_cast<int>(counted.size()) - 1;
    ComponentDef* definition = xs_CallDefinition(document, pins);
    SchematicObject* part = document->NewSchematicObject();
    if (!definition || !part) {
        ReportCompileOutOfMemory();
        return kResultShown;
    }
    part->objectKind = kObjectComponent;
    part->definition = definition;
    part->page = context.page;
    part->level = static_cast<int16_t>(context.scope);
    part->dialect = context.dialect;
    part->pinNodes = static_cast<int32_t*>(MemAllocZero(sizeof(int32_t) * static_cast<size_t>(pins + 1)));
    if (!part->pinNodes) {
        ReportCompileOutOfMemory();
        return kResultShown;
    }
    part->pinCount = pins;
    const std::string name = words.empty() ? std::string() : words[0];
    if (!SetAttribute(document, part, kAttrPart, name.c_str()) ||
        !SetAttribute(document, part, kAttrName, counted.back().c_str()) ||
        !SetAttribute(document, part, kAttrFile, context.fileName.c_str()) ||
        (!params.empty() && !SetAttribute(document, part, kXsAttrParams, xs_Trim(params).c_str())) ||
        (!texts.empty() && !SetAttribute(document, part, kXsAttrText, xs_Trim(texts).c_str()))) {
        ReportCompileOutOfMemory();
        return kResultShown;
    }
    for (int pin = 0; pin < pins; ++pin) {
        const int rc = AssignPinNode(context, part, counted[static_cast<size_t>(pin)], pin);
        if (rc) return rc;
    }
    return 0;
}

// ---- parameters -------------------------------------------------------------------------------

namespace {

// One name=value entry at words[i] (i is advanced past it): side 'X' a value
// the call gives, side '.' a definition entry bound for the call.
int xs_DefineParameter(xs_Call& call, char side, char kind, const std::vector<std::string>& words, size_t& i,
                       const StatementSource& source) {
    CCTDoc* document = call.document;
    SchematicObject* part = call.part;
    DefineTable* table = GetDefineTable(document);
    if (!table) return kResultNoMemory;
    const std::string name = xs_Upper(words[i]);
    const int reportScope = side == 'X' ? PartScope(part) : call.scope;
    if (i + 1 >= words.size() || words[i + 1] != "=") {
        i = words.size();
        return xs_Report(part, reportScope, nullptr, kXsMsgExpectingAfter, "=", name.c_str());
    }
    if (i + 2 >= words.size() || xs_IsSection(words[i + 2])) {
        i = words.size();
        return xs_Report(part, reportScope, nullptr, kXsMsgExpectingAfter, "<value>", name.c_str());
    }
    // A group is read in the scope whose text holds it: the call's own scope
    // for the call's values, the new scope for the definition's defaults.
    const int readScope = side == 'X' ? PartScope(part) : call.calling;
    CircuitScope* reading = GetScope(table, readScope);
    std::string value = ReadBracedValue(words[i + 2], reading ? reading->instancePart : nullptr, readScope);
    i += 3;

    if (side == 'X') {
        if (!PcbNetlistCompile) {
            char* substituted = nullptr;
            const int rc =
                SubstituteDefines(table, &substituted, PartScope(part), value.c_str(), 0, kMarkersToParentheses);
            if (rc) {
                FreeString(&substituted);
                return rc;
            }
            value = substituted ? substituted : "";
            FreeString(&substituted);
            // A group that stays whole is one value: it is passed parenthesised.
            if (value.size() >= 2 && value.front() == '{' &&
                SkipBracketGroup(value.c_str(), '{', '}') == value.c_str() + value.size()) {
                value.front() = '(';
                value.back() = ')';
            }
            if (kind == 'P' && !value.empty()) {
                std::vector<char> text(value.begin(), value.end());
                text.push_back(0);
                NormalizeSigns(text.data());
                value = text.data();
            }
        }
        const std::string attribute = std::string("$X") + kind + " " + name;
        if (FindAttribute(part, attribute.c_str()))
            return xs_Report(part, reportScope, nullptr, kXsMsgDuplicate,
                             kind == 'P' ? "PARAMS:" : "TEXT:", name.c_str());
        if (!xs_SetTemporary(document, part, attribute, value)) return kResultNoMemory;
        return 0;
    }

    const std::string own = std::string("$.") + kind + " " + name;
    if (FindAttribute(part, own.c_str()))
        return xs_Report(part, reportScope, nullptr, kXsMsgDuplicate, kind == 'P' ? "PARAMS:" : "TEXT:", name.c_str());
    const std::string given = std::string("$X") + kind + " " + name;
    if (const PartAttribute* supplied = FindAttribute(part, given.c_str())) {
        value = supplied->Value();
        call.usedCallParameters.insert(given);
    }
    if (!xs_SetTemporary(document, part, own, value) || !xs_SetTemporary(document, part, "$Param " + name, ""))
        return kResultNoMemory;
    return AddDefine(table, name.c_str(), nullptr, value.c_str(), source, 23, nullptr);
}

// The call's PARAMS: and TEXT: attributes as side X entries.
int xs_ReadCallParameters(xs_Call& call) {
    DefineTable* table = GetDefineTable(call.document);
    if (!table) return kResultNoMemory;
    const StatementSource source{kSourceObject, PartScope(call.part), reinterpret_cast<intptr_t>(call.part), 0};
    for (const auto& [attribute, kind] : {std::pair{kXsAttrParams, 'P'}, std::pair{kXsAttrText, 'T'}}) {
        const char* text = GetAttributeText(call.part, attribute);
        if (!text || !*text) continue;
        const std::vector<std::string> words = xs_Words(xs_Upper(text).c_str());
        for (size_t i = 0; i < words.size();) {
            const int rc = xs_DefineParameter(call, 'X', kind, words, i, source);
            if (rc) return rc;
        }
    }
    return 0;
}

// Binds the header of the definition (its words) to the call.
int xs_MatchHeader(xs_Call& call, const std::vector<std::string>& words, const std::string& file,
                   const StatementSource& source) {
    CCTDoc* document = call.document;
    SchematicObject* part = call.part;
    DefineTable* table = GetDefineTable(document);
    CircuitScope* scope = GetScope(table, call.scope);
    if (!scope) return kResultNoMemory;
    const std::string rows = "Macro File:\t" + file + "\n";
    std::vector<std::pair<std::string, std::string>> optionals;
    int nextPin = 0;
    int rc = 0;
    size_t i = 2;
    for (; i < words.size() && !xs_IsSection(words[i]); ++i) {
        const std::string& pinName = words[i];
        if (nextPin >= part->pinCount) {
            ++nextPin;
            continue;
        }
        const int node = part->pinNodes[nextPin];
        if (pinName == "0")
            return xs_Report(part, call.scope, rows.c_str(), kXsMsgGroundPin, xs_NodeName(document, node).c_str());
        scope->pinMap.push_back(nextPin);
        rc = xs_BindNodeName(document, call.scope, pinName, node);
        if (!rc && !xs_SetTemporary(document, part, "$Param " + xs_Upper(pinName), "")) rc = kResultNoMemory;
        if (rc) return rc;
        ++nextPin;
    }
    const int plainPins = nextPin;
    char kind = 0;
    while (i < words.size()) {
        if (xs_IsSection(words[i])) {
            kind = words[i][0] == 'P' ? 'P' : words[i][0] == 'T' ? 'T' : 'O';
            ++i;
            continue;
        }
        if (kind == 'O') {
            const std::string name = xs_Upper(words[i]);
            if (i + 1 >= words.size() || words[i + 1] != "=")
                return xs_Report(part, call.scope, nullptr, kXsMsgExpectingAfter, "=", name.c_str());
            if (i + 2 >= words.size() || xs_IsSection(words[i + 2]))
                return xs_Report(part, call.scope, nullptr, kXsMsgExpectingAfter, "<value>", name.c_str());
            optionals.emplace_back(name, words[i + 2]);
            if (!xs_SetTemporary(document, part, "$Param " + name, "")) return kResultNoMemory;
            i += 3;
            continue;
        }
        if (!kind) {
            ++i;
            continue;
        }
        rc = xs_DefineParameter(call, '.', kind, words, i, source);
        if (rc) return rc;
    }
    if (plainPins > part->pinCount || (plainPins == part->pinCount && nextPin > plainPins))
        return xs_Report(part, call.scope, rows.c_str(), kXsMsgTooFew, call.name.c_str());
    if (plainPins < part->pinCount && nextPin > part->pinCount)
        return xs_Report(part, call.scope, rows.c_str(), kXsMsgTooFew, call.name.c_str());
    int pin = plainPins;
    for (const auto& [name, fallback] : optionals) {
        if (pin < part->pinCount) {
            scope->pinMap.push_back(pin);
            rc = xs_BindNodeName(document, call.scope, name, part->pinNodes[pin]);
            ++pin;
        } else {
            // The default names a node of the new scope, made when new.
            SpiceStatementContext context;
            context.document = document;
            context.scope = call.scope;
            int node = 0;
            rc = AssignNode(context, fallback, &node);
            if (!rc) rc = xs_BindNodeName(document, call.scope, name, node);
            if (!rc && !xs_SetTemporary(document, part, "$.O " + name, fallback)) rc = kResultNoMemory;
        }
        if (rc) return rc;
    }
    if (pin < part->pinCount) return xs_Report(part, call.scope, rows.c_str(), kXsMsgTooMany, call.name.c_str());

    for (PartAttribute* a = part->attributes.first ? static_cast<PartAttribute*>(part->attributes.first) : nullptr; a;
         a = a->Next()) {
        if (a->type < 0) continue;
        const char* name = a->Name();
        if (std::strncmp(name, "$XP ", 4) != 0 && std::strncmp(name, "$XT ", 4) != 0) continue;
        if (call.usedCallParameters.count(name)) continue;
        return xs_Report(part, call.scope, nullptr, kXsMsgNotParam, name + 4);
    }
    return 0;
}

// ---- reading the definition ---------------------------------------------------------------------

int xs_OpenPlace(TextFile& file, const xs_Place& place) {
    if (place.kept) {
        const std::string& text = place.kept->text;
        char* block = static_cast<char*>(MemAlloc(text.size() + 1));
        if (!block) return kResultNoMemory;
        std::memcpy(block, text.data(), text.size());
        block[text.size()] = 0;
        file.AttachMemory(block, static_cast<long>(text.size()), true);
        file.readPosition = 0;
        file.lineCounter = place.line;
        file.pageIndex = place.page;
        file.spiceDialect = place.kept->dialect;
        return 0;
    }
    if (place.document) {
        file.OpenDocument(place.document, place.page, 0, 0);
    } else {
        const int rc = file.OpenSource(place.path.c_str(), 0, 0, 0);
        if (rc) return rc;
        if (!file.buffer) {
            const int loaded = LoadSpiceSource(file);
            if (loaded) return loaded;
        }
    }
    if (!file.buffer) return kResultFileNotFound;
    file.readPosition = place.start < 0 || place.start > file.bufferLength ? 0 : place.start;
    file.lineCounter = place.line;
    return 0;
}

// True while the search's sources have text left; an exhausted include file
// is closed and the file that included it is read on.
bool xs_HasMore(SpiceReaderState& reader) {
    while (reader.top >= 0) {
        SpiceSource* source = reader.Current();
        if (source->file.buffer && source->file.readPosition < source->file.bufferLength) return true;
        if (reader.top == 0) return false;
        source->file.Close();
        source->name.clear();
        --reader.top;
    }
    return false;
}

bool xs_BeginsWith(const std::string& text, const char* word) {
    const size_t n = std::strlen(word);
    return text.compare(0, n, word) == 0 && (text.size() == n || xs_IsBlank(text[n]) || text[n] == ';');
}

// A statement of a body kept as a statement of the circuit in the body's scope.
int xs_KeepStatement(CCTDoc* document, const SpiceStatementContext& context, const std::string& statement) {
    GridTextObject* record = document->NewGridText();
    if (!record || !SetString(&record->text, statement.c_str())) {
        ReportCompileOutOfMemory();
        return kResultShown;
    }
    record->UpdateNodeNameFlag();
    record->x = -1;
    record->y = -1;
    record->page = context.page;
    record->line = context.line;
    record->scope = static_cast<int16_t>(context.scope);
    record->flags |= kGridTextNotSaved;
    return 0;
}

// Reads one source for the definition of call.name: 0 with call.found and
// call.closed telling what was met, or a code after a message.
int xs_SearchPlace(xs_Call& call, const xs_Place& place, bool nestedRead) {
    CCTDoc* document = call.document;
    SpiceReaderState* reader = GetSpiceReader(document);
    DefineTable* table = GetDefineTable(document);
    if (!reader || !table) return kResultNoMemory;
    reader->CloseAll();
    reader->top = 0;
    SpiceSource& first = reader->sources[0];
    int rc = xs_OpenPlace(first.file, place);
    if (rc) {
        reader->CloseAll();
        return rc == kResultNoMemory ? rc : -1;
    }
    first.name = place.path;
    SpiceStatementContext context;
    context.document = document;
    context.scope = call.scope;
    context.fileName = place.path;
    SpiceStatementContext* savedContext = reader->context;
    reader->context = &context;

    int depth = 0;
    int foundTop = -1;
    long foundStart = 0;
    std::string statement;
    rc = 0;
    while (!rc && !call.closed && xs_HasMore(*reader)) {
        SpiceSource* source = reader->Current();
        if (source->file.spiceDialect == kSpiceDialectNone) DetectSpiceDialect(source->file);
        const long before = source->file.readPosition;
        rc = ReadSpiceLine(source->file, statement, kSpiceLineUpper);
        if (rc == kResultEndOfSpiceText) {
            rc = 0;
            continue;
        }
        if (rc) break;
        context.line = source->file.statementLine;
        context.page = source->file.pageIndex;
        context.fromInclude = reader->top > 0 || !place.document;
        context.fileName = source->name;
        context.dialect = source->file.spiceDialect;
        if (xs_BeginsWith(statement, ".SUBCKT")) {
            ++depth;
            const std::vector<std::string> words = xs_Words(statement.c_str());
            const std::string name = words.size() > 1 ? words[1] : std::string();
            if (!call.found && depth == 1 && CompareNoCase(name.c_str(), call.name.c_str()) == 0) {
                call.found = true;
                foundTop = reader->top;
                foundStart = before;
                CircuitScope* scope = GetScope(table, call.scope);
                scope->startPosition = before;
                scope->line = source->file.statementLine;
                scope->page = source->file.pageIndex;
                scope->document = reader->top == 0 ? place.document : nullptr;
                scope->path = source->name;
                const StatementSource header{kSourceTextLine, call.scope, context.line, context.page};
                rc = xs_MatchHeader(call, words, source->name, header);
            } else if (call.found && depth == 2) {
                GetScope(table, call.scope)->localSubcircuits.push_back(name);
            }
            continue;
        }
        if (xs_BeginsWith(statement, ".ENDS")) {
            if (--depth < 0) {
                // Reading on inside an enclosing definition ends with its .ENDS.
                if (nestedRead) break;
                rc = ReportSpiceStatementMessage(context, statement.c_str(), kXsMsgEndsOutside, nullptr);
                break;
            }
            if (call.found && depth == 0) {
                call.closed = true;
                GetScope(table, call.scope)->endPosition = source->file.readPosition - 1;
                if (reader->top == foundTop && source->file.buffer && !place.kept) {
                    call.text.assign(source->file.buffer + foundStart,
                                     static_cast<size_t>(source->file.readPosition - foundStart));
                    call.dialect = source->file.spiceDialect;
                }
            }
            continue;
        }
        if (statement == ".END") {
            if (reader->top == 0) break;
            source->file.Close();
            source->name.clear();
            --reader->top;
            continue;
        }
        if (statement.empty()) continue;
        const bool include =
            MatchDotKeyword(statement.c_str(), kDotInclude) || MatchDotKeyword(statement.c_str(), kDotInc);
        if (call.found && depth == 1 && MatchDotKeyword(statement.c_str(), kDotOptions)) {
            // Options of a body apply with the instance, in the options pass
            // over the expanded scopes.
            rc = xs_KeepStatement(document, context, statement);
            continue;
        }
        if ((!call.found && depth == 0 && include) || (call.found && depth == 1)) {
            reader->statement = statement;
            rc = DispatchSpiceLine(context, statement.data());
        }
    }
    reader->CloseAll();
    reader->context = savedContext;
    if (!rc && call.found && !call.closed) {
        CircuitScope* scope = GetScope(table, call.scope);
        SourceLocation& location = CompileErrorLocation();
        if (location.kind == 0) {
            location.kind = kLocationText;
            location.position = static_cast<int>(scope->startPosition);
            location.page = scope->page;
            location.lineSwitch = 1;
            location.document = scope->document;
            CopyTextBounded(location.path, scope->path.c_str(), sizeof location.path);
        }
        rc = ReportCompilerMessage(call.part, call.scope, nullptr, kXsMsgMissingEnds, call.name.c_str());
    }
    return rc;
}

// The place a scope's statements come from, null document for a disk file;
// false when the scope has no text to search.
bool xs_ScopePlace(CCTDoc* document, DefineTable* table, int scopeIndex, xs_Place* place) {
    CircuitScope* scope = GetScope(table, scopeIndex);
    if (!scope) return false;
    if (scopeIndex <= 1) {
        if (document->Kind() == kDocText) {
            place->document = document;
            place->page = document->PageKind(0) == kPageText ? 0 : document->GetFirstTextPage();
            if (place->page < 0) place->page = 0;
        } else {
            const int page = document->GetFirstTextPage();
            if (page < 0 || document->GetPageTextLength(page) <= 0) return false;
            place->document = document;
            place->page = page;
        }
        place->path = document->PathName() ? document->PathName() : "";
        return true;
    }
    place->document = scope->document;
    place->page = scope->page;
    place->path = scope->path;
    return scope->document || !scope->path.empty();
}

// An enclosing instance of the same subcircuit makes the call recursive.
int xs_CheckRecursion(xs_Call& call) {
    DefineTable* table = GetDefineTable(call.document);
    int scope = call.calling;
    for (int guard = 0; scope >= 2 && guard <= table->highestScope; ++guard) {
        CircuitScope* record = GetScope(table, scope);
        if (!record) break;
        if (record->kind == kScopeKindText && CompareNoCase(record->name.c_str(), call.name.c_str()) == 0)
            return xs_Report(call.part, call.scope, nullptr, kXsMsgRecursive, call.name.c_str());
        scope = record->parent;
    }
    return 0;
}

std::string xs_ResolveFile(const std::string& name, const std::string& beside) {
    SpiceStatementContext context;
    context.fileName = beside;
    return ResolveSpiceFileName(context, name);
}

}  // namespace

int FindSubcircuit(CCTDoc* document, SchematicObject* part) {
    DefineTable* table = GetDefineTable(document);
    CircuitModels* models = GetCircuitModels(document);
    if (!table || !models) {
        ReportCompileOutOfMemory();
        return kResultShown;
    }
    xs_Call call;
    call.document = document;
    call.part = part;
    call.calling = PartScope(part);
    call.scope = table->highestScope + 1;
    if (EnsureScopes(table, call.scope)) return kResultShown;
    table->scopes[static_cast<size_t>(call.scope)] = CircuitScope{};

    int rc = xs_ReadCallParameters(call);
    if (rc) return rc == kResultNoMemory ? (ReportCompileOutOfMemory(), kResultShown) : rc;

    const char* nameText = GetAttributeText(part, kAttrName);
    call.name = xs_Trim(nameText ? nameText : "");
    const char* fileText = GetAttributeText(part, kAttrFile);
    const std::string fileAttribute = xs_Trim(fileText ? fileText : "");
    if (call.name.empty()) {
        const size_t slash = fileAttribute.rfind('/');
        std::string base = fileAttribute.substr(slash == std::string::npos ? 0 : slash + 1);
        call.name = base.substr(0, base.find('.'));
    }
    call.name = xs_Upper(call.name);

    CircuitScope* scope = &table->scopes[static_cast<size_t>(call.scope)];
    scope->kind = kScopeKindText;
    scope->instancePart = part;
    scope->name = call.name;
    if (NameInstanceScope(table, call.scope, call.calling, xs_PartName(part))) return kResultShown;
    rc = xs_CheckRecursion(call);
    if (rc) return rc;

    // Where to look, in order: a definition read before, the calling text, the
    // part's FILE, the model libraries.
    std::vector<std::pair<xs_Place, bool>> places;
    CircuitScope* calling = GetScope(table, call.calling);
    if (calling && call.calling >= 2 && calling->startPosition >= 0) {
        for (const std::string& local : calling->localSubcircuits) {
            if (local != call.name) continue;
            xs_Place place;
            place.document = calling->document;
            place.page = calling->page;
            place.path = calling->path;
            place.start = calling->startPosition + kXsSubcktKeywordLength;
            place.line = calling->line;
            places.emplace_back(place, true);
            table->scopes[static_cast<size_t>(call.scope)].nestingLevel = calling->nestingLevel + 1;
            break;
        }
    }
    SpiceReaderState* reader = GetSpiceReader(document);
    if (!reader) {
        ReportCompileOutOfMemory();
        return kResultShown;
    }
    int keptFrom = 0;
    if (places.empty()) {
        const auto kept = reader->keptDefinitions.find(call.name);
        const CircuitScope* earlier =
            kept == reader->keptDefinitions.end() ? nullptr : GetScope(table, kept->second.scope);
        if (earlier) {
            xs_Place place;
            place.path = earlier->path;
            place.page = earlier->page;
            place.line = earlier->line;
            place.kept = &kept->second;
            places.emplace_back(place, false);
            keptFrom = kept->second.scope;
        }
    }
    if (places.empty()) {
        const int level = calling ? calling->nestingLevel : 0;
        for (int s = 2; s < call.scope; ++s) {
            const CircuitScope* earlier = GetScope(table, s);
            if (!earlier || earlier->nestingLevel > level || earlier->name != call.name || earlier->startPosition < 0 ||
                earlier->endPosition < 0)
                continue;
            xs_Place place;
            place.document = earlier->document;
            place.page = earlier->page;
            place.path = earlier->path;
            place.start = earlier->startPosition;
            place.line = earlier->line;
            places.emplace_back(place, false);
            table->scopes[static_cast<size_t>(call.scope)].nestingLevel = earlier->nestingLevel;
            break;
        }
    }
    if (places.empty()) {
        xs_Place own;
        if (xs_ScopePlace(document, table, call.calling, &own)) places.emplace_back(own, false);
        if (!fileAttribute.empty() &&
            (own.path.empty() || CompareNoCase(fileAttribute.c_str(), own.path.c_str()) != 0)) {
            xs_Place file;
            file.path = xs_ResolveFile(
                fileAttribute,
                own.path.empty() ? std::string(document->PathName() ? document->PathName() : "") : own.path);
            if (CompareNoCase(file.path.c_str(), own.path.c_str()) != 0) places.emplace_back(file, false);
        }
    }

    for (const auto& [place, nested] : places) {
        rc = xs_SearchPlace(call, place, nested);
        if (rc == -1) {
            rc = 0;
            continue;
        }
        if (rc == kResultNoMemory) {
            ReportCompileOutOfMemory();
            return kResultShown;
        }
        if (rc || call.found) break;
    }
    if (!rc && !call.found) {
        // The libraries of the circuit know where their subcircuits stand.
        char path[kPathSize] = {};
        LibrarySearch search;
        search.name = call.name.c_str();
        search.mode = kFindSubcircuit;
        search.buffer = path;
        search.bufferSize = sizeof path;
        const long position = FindInLibraries(models, search);
        if (search.reported || search.error) return kResultShown;
        if (position >= 0 && path[0]) {
            xs_Place library;
            library.path = path;
            library.start = position;
            rc = xs_SearchPlace(call, library, false);
            if (rc == -1) rc = 0;
            if (rc == kResultNoMemory) {
                ReportCompileOutOfMemory();
                return kResultShown;
            }
        }
    }
    if (rc) return rc;
    if (!call.found) {
        GetScope(table, call.scope)->path = fileAttribute;
        return xs_Report(part, call.calling, nullptr, kXsMsgCantFind, call.name.c_str());
    }
    CircuitScope* made = GetScope(table, call.scope);
    if (keptFrom) {
        // The block was read alone: its place is where the first read found it.
        const CircuitScope* earlier = GetScope(table, keptFrom);
        made->startPosition = earlier->startPosition;
        made->endPosition = earlier->endPosition;
        made->document = earlier->document;
        made->page = earlier->page;
        made->path = earlier->path;
        made->nestingLevel = earlier->nestingLevel;
    } else if (made->nestingLevel == 0 && !call.text.empty() && !reader->keptDefinitions.count(call.name)) {
        try {
            reader->keptDefinitions[call.name] = {std::move(call.text), call.scope, call.dialect};
        } catch (const std::bad_alloc&) {
            // Without the kept text the next call searches again.
        }
    }
    return 0;
}

int ProcessSubcircuits(CCTDoc* document) {
    DefineTable* table = GetDefineTable(document);
    if (!table) {
        ReportCompileOutOfMemory();
        return kResultShown;
    }
    // The instance scopes of an earlier compile went with its parts.
    for (size_t s = 2; s < table->scopes.size(); ++s) table->scopes[s] = CircuitScope{};
    if (table->highestScope > 1) table->highestScope = 1;
    if (SpiceReaderState* reader = GetSpiceReader(document)) reader->keptDefinitions.clear();
    for (PoolItem* item = document->objects.first; item; item = item->next) {
        if (item->type == kPoolItemDead) continue;
        auto* part = static_cast<SchematicObject*>(item);
        if (!part->IsComponent() || !part->definition || part->definition->type != kTypeSubckt) continue;
        if (part->compilerWords[0] != 0) continue;
        const int rc = FindSubcircuit(document, part);
        if (rc)
            return rc == kResultShown || rc == kResultPending
                       ? rc
                       : ReportCompilerMessage(part, PartScope(part), nullptr, rc);
        const int prepared = PrepareScopeDefines(table, table->highestScope);
        if (prepared) return prepared;
    }
    // The bodies were read only now: their Q, M and J parts learn their
    // polarity from their models as the circuit's own parts did.
    return table->highestScope >= 2 ? ResolvePartPolarities(document, 2) : 0;
}
