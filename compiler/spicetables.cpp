#include "compiler/spicetables.h"

#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "compiler/defines.h"
#include "compiler/depsources.h"
#include "compiler/options.h"
#include "compiler/session.h"
#include "compiler/spicedevices.h"
#include "compiler/spicereader.h"
#include "compiler/subckt.h"
#include "compiler/support.h"
#include "core/chars.h"
#include "core/paths.h"
#include "core/result.h"
#include "document/component_defs.h"
#include "document/ctdoc.h"
#include "models/lookup.h"
#include "models/modelstmt.h"

namespace {

constexpr int kStMsgUnknownCommand = 10905;
constexpr int kStMsgSaveUnused = 11961;

StatementSource st_Source(const SpiceStatementContext& context) {
    return StatementSource{kSourceTextLine, context.scope, context.line, context.page};
}

// A handler's own failure that is not shown yet is shown naming the statement.
int st_Shown(SpiceStatementContext& context, const char* statement, int rc, const char* argument) {
    if (!rc || rc == kResultShown || rc == kResultPending) return rc;
    return ReportSpiceStatementMessage(context, statement, rc, argument);
}

int st_ReadModel(SpiceStatementContext& context, char* statement) {
    CircuitModels* models = GetCircuitModels(context.document);
    if (!models) return kResultNoMemory;
    const int rc = ParseModelStatement(models, statement, st_Source(context), context.fromInclude ? 1 : 0,
                                       context.fileName.c_str());
    if (!rc) return 0;
    st_Shown(context, statement, rc, statement);
    return kResultShown;
}

int st_ReadOp(SpiceStatementContext& context, char*) {
    context.opSeen = true;
    return 0;
}

int st_ReadInclude(SpiceStatementContext& context, char* statement) {
    std::string name;
    int rc = ParseFileArgument(statement, &name, nullptr);
    if (rc) return st_Shown(context, statement, rc, statement);
    return PushIncludeFile(context, name);
}

int st_ReadLibrary(SpiceStatementContext& context, char* statement) {
    CircuitModels* models = GetCircuitModels(context.document);
    if (!models) return kResultNoMemory;
    std::string name;
    int rc = ParseFileArgument(statement, &name, nullptr);
    if (rc) return st_Shown(context, statement, rc, statement);
    // A library beside the text is found before the library path is searched.
    const std::string path = name.empty() ? name : ResolveSpiceFileName(context, name);
    rc = AddLibraryFile(models, path.c_str(), 0, nullptr, false);
    return st_Shown(context, statement, rc, name.empty() ? "NOM.LIB" : name.c_str());
}

// A statement kept as a text statement of the document, which the later
// compile phases read.
GridTextObject* st_RecordTextStatement(SpiceStatementContext& context, const char* statement) {
    GridTextObject* record = context.document->NewGridText();
    if (!record) return nullptr;
    if (!SetString(&record->text, statement)) return nullptr;
    record->UpdateNodeNameFlag();
    record->x = -1;
    record->y = -1;
    record->page = context.page;
    record->line = context.line;
    record->scope = static_cast<int16_t>(context.scope);
    record->flags |= kGridTextNotSaved;
    return record;
}

int st_ReadOptions(SpiceStatementContext& context, char* statement) {
    // The options phase reads the statements of the document's text pages by
    // itself; those of included files reach it as text statements.
    GridTextObject* record = nullptr;
    if (context.fromInclude) {
        record = st_RecordTextStatement(context, statement);
        if (!record) return kResultNoMemory;
    }
    if (!std::strstr(statement, "SPICE_FORMAT")) return 0;
    const char* after = statement;
    while (*after == ' ') ++after;
    while (*after && *after != ' ') ++after;
    return ParseOptionsStatement(context.document, after, 1, record);
}

int st_ReadDefine(SpiceStatementContext& context, char* statement) {
    DefineTable* table = GetDefineTable(context.document);
    if (!table) return kResultNoMemory;
    return ParseDefineStatement(table, statement, st_Source(context), kDotDefine);
}

int st_ReadParamOrFunc(SpiceStatementContext& context, char* statement, int keyword) {
    DefineTable* table = GetDefineTable(context.document);
    if (!table) return kResultNoMemory;
    if (!st_RecordTextStatement(context, statement)) return kResultNoMemory;
    return ParseDefineStatement(table, statement, st_Source(context), keyword);
}
int st_ReadParam(SpiceStatementContext& context, char* statement) {
    return st_ReadParamOrFunc(context, statement, kDotParam);
}
int st_ReadFunc(SpiceStatementContext& context, char* statement) {
    return st_ReadParamOrFunc(context, statement, kDotFunc);
}

int st_ReadLoadOp(SpiceStatementContext& context, char*) {
    if (SpiceReaderState* reader = GetSpiceReader(context.document)) reader->loadOperatingPoint = true;
    return 0;
}

// SPICE3's list of vectors to keep: every quantity a run needs is kept here
// anyway, so the deck runs and the user is told the list changes nothing.
int st_ReadSave(SpiceStatementContext& context, char* statement) {
    ReportSpiceStatementWarning(context, statement, kStMsgSaveUnused, nullptr);
    return 0;
}

int st_ReadPath(SpiceStatementContext& context, char* statement) {
    std::string folders;
    int kind = -1;
    int rc = ParseFileArgument(statement, &folders, &kind);
    if (!rc) rc = AddDotPath(kind, folders.c_str());
    return st_Shown(context, statement, rc, statement);
}

}  // namespace

// clang-format off
const DotCommandRow DotCommandTable[kDotCommandCount] = {
    {"MODEL", 7000, 7, st_ReadModel},
    {"DC", 7001, 2, ReadDcStatement},
    {"OP", 7002, 2, st_ReadOp},
    {"TF", 7023, 2, ReadTfStatement},
    {"NODESET", 7003, 7, ReadNodesetStatement},
    {"SENS", 7027, 2, ReadSensStatement},
    {"PROBE", 0, 2, nullptr},
    {"INC", 7016, 7, st_ReadInclude},
    {"INCLUDE", 7016, 7, st_ReadInclude},
    {"LIB", 7015, 3, st_ReadLibrary},
    {"LIBRARY", 7015, 3, st_ReadLibrary},
    {"AC", 7004, 2, ReadAcStatement},
    {"NOISE", 7005, 2, ReadNoiseStatement},
    {"DISTO", 0, 2, nullptr},
    {"TRAN", 7006, 2, ReadTranStatement},
    {"IC", 7007, 7, ReadIcStatement},
    {"FOUR", 0, 2, nullptr},
    {"PRINT", 7008, 2, ReadPrintStatement},
    {"WIDTH", 0, 2, nullptr},
    {"PLOT", 7014, 2, ReadPrintStatement},
    {"OPTIONS", 7009, 3, st_ReadOptions},
    {"SKIP_L_LOOP", 0, 1, nullptr},
    {"TEMP", 7013, 2, ReadTempStatement},
    {"END", 7010, 2, nullptr},
    {"SUBCKT", 7011, 3, nullptr},
    {"ENDS", 7012, 3, nullptr},
    {"MACRO", 7017, 1, nullptr},
    {"DEFINE", 7020, 3, st_ReadDefine},
    {"OPT", 7009, 3, st_ReadOptions},
    {"OPTION", 7009, 3, st_ReadOptions},
    {"SAVE", 0, 2, st_ReadSave},
    {"PARAMETERS", 7021, 1, nullptr},
    {"PARAM", 7018, 7, st_ReadParam},
    {"FUNC", 7029, 7, st_ReadFunc},
    {"LOADOP", 7022, 3, st_ReadLoadOp},
    {"TR", 7028, 3, ReadTrStatementText},
    {"TIE", 7024, 1, nullptr},
    {"HELP", 7025, 1, nullptr},
    {"STEP", 7030, 2, ReadStepStatement},
    {"WATCH", 7031, 2, ReadWatchStatement},
    {"PATH", 7032, 3, st_ReadPath},
    {"WARNING", 7033, 1, nullptr},
    {"ARRAY", 7034, 1, nullptr},
};

const StatementHandler DeviceLetterTable[kDeviceLetterCount] = {
    ReadUnsupportedDeviceLine,  // A two-port code models
    ReadBLine,                  // B GaAsFET or behavioural source
    ReadValueDeviceLine,        // C
    ReadGenericDeviceLine,      // D diode
    ReadDependentSourceLine,    // E
    ReadGenericDeviceLine,      // F
    ReadDependentSourceLine,    // G
    ReadGenericDeviceLine,      // H
    ReadSourceLine,             // I
    ReadGenericDeviceLine,      // J
    ReadCouplingLine,           // K
    ReadValueDeviceLine,        // L
    ReadGenericDeviceLine,      // M
    ReadUnsupportedDeviceLine,  // N digital input
    ReadUnsupportedDeviceLine,  // O digital output
    nullptr,                    // P
    ReadGenericDeviceLine,      // Q
    ReadValueDeviceLine,        // R
    ReadGenericDeviceLine,      // S
    ReadTransmissionLineLine,   // T
    ReadUnsupportedDeviceLine,  // U digital primitive
    ReadSourceLine,             // V
    ReadCurrentSwitchLine,      // W
    ReadSubcktCallLine,         // X subcircuit call
    nullptr,                    // Y
    ReadGenericDeviceLine,      // Z GaAsFET
};
// clang-format on

namespace {

// The first word of a statement: a run of word characters.
std::string st_FirstWord(const char* statement) {
    const char* p = statement;
    while (*p == ' ' || (*p >= 9 && *p <= 13)) ++p;
    const char* start = p;
    while (IsSpiceWordChar(*p)) ++p;
    return std::string(start, p);
}

int st_ReportUnknown(SpiceStatementContext& context, const char* statement) {
    SpiceReaderState* reader = GetSpiceReader(context.document);
    std::vector<std::string> scratch;
    std::vector<std::string>& words = reader ? reader->words : scratch;
    SplitStatementWords(statement, &words);
    const std::string first = words.empty() ? std::string() : words[0];
    return ReportSpiceStatementMessage(context, statement, kStMsgUnknownCommand, first.c_str());
}

}  // namespace

int FindDotCommand(const char* statement, int32_t mask) {
    const std::string word = st_FirstWord(statement ? statement : "");
    if (word.size() < 2 || word[0] != '.') return -1;
    for (int row = 0; row < kDotCommandCount; ++row)
        if ((DotCommandTable[row].mask & mask) && word.compare(1, std::string::npos, DotCommandTable[row].keyword) == 0)
            return row;
    return -1;
}

int DispatchDotCommand(SpiceStatementContext& context, char* statement) {
    const int row = FindDotCommand(statement, kDotInSpiceText);
    if (row < 0) return st_ReportUnknown(context, statement);
    const DotCommandRow& command = DotCommandTable[row];
    if (!command.handler) return 0;
    if (context.scope != 1 && !(command.mask & kDotInAnyScope)) return 0;
    const int rc = command.handler(context, statement);
    if (rc == kResultShown) RecordSpiceSourceLocation(context);
    return rc;
}

int DispatchSpiceLine(SpiceStatementContext& context, char* statement) {
    const char* p = statement;
    while (*p == ' ' || (*p >= 9 && *p <= 13)) ++p;
    const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
    if (c >= 'A' && c <= 'Z' && DeviceLetterTable[c - 'A']) {
        const int rc = DeviceLetterTable[c - 'A'](context, statement);
        if (rc == kResultShown) RecordSpiceSourceLocation(context);
        return rc;
    }
    if (!c || c == '*') return 0;
    if (c == '.') return DispatchDotCommand(context, statement);
    return st_ReportUnknown(context, statement);
}

int HelpTopicOfStatement(const char* line, int documentKind) {
    const char* p = line ? line : "";
    while (*p == ' ' || (*p >= 9 && *p <= 13)) ++p;
    if (*p == '.') {
        const int32_t mask = documentKind == 1 ? kDotInCircuits : kDotInSpiceText;
        for (const DotCommandRow& row : DotCommandTable) {
            if (!(row.mask & mask)) continue;
            const size_t n = std::strlen(row.keyword);
            if (CompareNoCaseN(p + 1, row.keyword, n) != 0) continue;
            const char next = p[1 + n];
            if (next && next != '(' && !(next == ' ' || (next >= 9 && next <= 13))) continue;
            return row.statementId;
        }
        return 0;
    }
    if (!std::isalpha(static_cast<unsigned char>(*p))) return 0;
    const char letter[2] = {static_cast<char>(std::toupper(static_cast<unsigned char>(*p))), 0};
    for (int type = 0; type < kComponentTypeCount; ++type)
        if (std::strcmp(ComponentTypeTable[type].prefix, letter) == 0) return 6000 + type;
    return 0;
}
