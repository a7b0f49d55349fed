#include "compiler/driver.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "compiler/analysisstmts.h"
#include "compiler/arrays.h"
#include "compiler/compiled.h"
#include "compiler/coupling.h"
#include "compiler/dcpath.h"
#include "compiler/defines.h"
#include "compiler/depsources.h"
#include "compiler/devexpr.h"
#include "compiler/hierarchy.h"
#include "compiler/initconds.h"
#include "compiler/numbering.h"
#include "compiler/options.h"
#include "compiler/scanner.h"
#include "compiler/session.h"
#include "compiler/setup.h"
#include "compiler/setupservices.h"
#include "compiler/spicereader.h"
#include "compiler/subckt.h"
#include "compiler/support.h"
#include "compiler/topology.h"
#include "compiler/warnings.h"
#include "core/dialect.h"
#include "core/memory.h"
#include "core/messages.h"
#include "core/numbers.h"
#include "core/paths.h"
#include "core/result.h"
#include "core/textfile.h"
#include "document/attributes.h"
#include "document/cfanalysis.h"
#include "document/cirdoc.h"
#include "document/ctdoc.h"
#include "document/nodes.h"
#include "document/pages.h"
#include "expr/devicelist.h"
#include "expr/evaluate.h"
#include "expr/runstate.h"
#include "models/lookup.h"
#include "models/modelstmt.h"
#include "shell/mainframe.h"
#include "shell/preferences.h"

namespace {

constexpr int kMsgHiddenNodeMissing = 10860;
constexpr int kMsgCircuitWithoutGround = 10831;
constexpr int kMsgSpiceWithoutGround = 10838;
constexpr int kStatusProcessingMacros = 17902;
constexpr int kStatusCheckingLoops = 17906;
constexpr int kStatusDeviceExpressions = 17908;

bool dr_IsText(const CCTDoc* document) { return document->kind == kDocText; }
bool dr_IsSchematic(const CCTDoc* document) { return document->kind == kDocCircuit; }

// The compile paints its phases on the status bar and leaves it as it found it.
class StatusTextKeeper {
public:
    StatusTextKeeper() {
        if (CMainFrame* frame = GetMainFrame()) frame->GetStatusText(saved_, sizeof saved_);
    }
    ~StatusTextKeeper() {
        if (CMainFrame* frame = GetMainFrame()) frame->SetStatusText(saved_);
    }
    StatusTextKeeper(const StatusTextKeeper&) = delete;
    StatusTextKeeper& operator=(const StatusTextKeeper&) = delete;

private:
    char saved_[101] = {};
};

void dr_ShowStatus(int id) {
    CMainFrame* frame = GetMainFrame();
    if (!frame) return;
    const char* text = GetMessageText(id);
    frame->SetStatusText(text ? text : "");
}
void dr_ClearStatus() {
    if (CMainFrame* frame = GetMainFrame()) frame->SetStatusText("");
}

const char* dr_SkipBlanks(const char* text) {
    while (*text == ' ' || *text == '\t') ++text;
    return text;
}

bool dr_StartsWith(const char* text, const char* keyword) {
    return strncasecmp(dr_SkipBlanks(text), keyword, strlen(keyword)) == 0;
}

// ".LIB name ; comment": the library name ends at the first line feed and, after
// its last double quote, at the first semicolon.
void dr_CutLibraryLine(std::string& text) {
    const size_t feed = text.find_first_of("\r\n");
    if (feed != std::string::npos) text.erase(feed);
    const size_t quote = text.rfind('"');
    const size_t semicolon = text.find(';', quote == std::string::npos ? 0 : quote);
    if (semicolon != std::string::npos) text.erase(semicolon);
}

int dr_ReadGlobalIncludeFile(DefineTable* table) {
    char path[kPathNameSize];
    GetGlobalIncludePath(path, sizeof path);
    if (CheckFileExists(path) != 0) return 0;
    TextFile stream;
    if (stream.OpenText(path) != 0) return 0;  // a file that cannot be opened counts as absent
    const int rc = ReadStatementText(table, stream, 0);
    const int closed = stream.Close();
    return rc ? rc : closed;
}

// Where a statement read from the circuit's statement list came from.
StatementSource dr_SourceOf(GridTextObject* statement) {
    StatementSource source{};
    source.SourceKind = kSourceObject;
    source.Scope = statement->scope;
    source.SourceRef = reinterpret_cast<intptr_t>(statement);
    source.SourceAux = statement->line;
    return source;
}

int dr_ReportStatementFailure(GridTextObject* statement, int rc) {
    if (rc == kResultShown || rc == kResultPending) return rc;
    ShowErrorSource(kOriginStatement, statement);
    if (QuietDefinitionErrors) return rc;
    ReportCompilerMessage(nullptr, statement->scope, nullptr, rc, statement->text ? statement->text : "", "");
    return kResultShown;
}

int dr_ReadCircuitTextStatements(CCTDoc* document, int definitionsOnly) {
    DefineTable* table = GetDefineTable(document);
    if (!table) {
        ReportCompileOutOfMemory();
        return kResultShown;
    }
    // The text pages of a schematic hold statements as well as its drawings.
    if (dr_IsSchematic(document)) {
        int first = 0;
        for (int page = 0; page < document->PageCount(); ++page) {
            if (document->PageKind(page) != kPageText || document->GetPageTextLength(page) <= 0) continue;
            TextFile stream;
            stream.OpenDocument(document, page, 0, 0);
            int rc = ReadStatementText(table, stream, 1);
            const int closed = stream.Close();
            if (!rc) rc = closed;
            if (rc && !first) first = rc;
        }
        if (first) return first;
    }

    // .PATH statements first: later statements may name files along them.
    for (PoolItem* item = document->gridTexts.first; item; item = item->next) {
        GridTextObject* statement = static_cast<GridTextObject*>(item);
        if (item->type < 0 || !statement->text || statement->scope != 1) continue;
        if (!MatchDotKeyword(dr_SkipBlanks(statement->text), kDotPath)) continue;
        const char* folders = dr_SkipBlanks(statement->text) + strlen(DotKeywordText(kDotPath));
        const int rc = AddDotPath(0, folders);
        if (rc) return dr_ReportStatementFailure(statement, rc);
    }

    int rc = 0;
    CompiledCircuit* compiled = GetCompiledCircuit(document);
    for (PoolItem* item = document->gridTexts.first; item && !rc; item = item->next) {
        GridTextObject* statement = static_cast<GridTextObject*>(item);
        if (item->type < 0 || !statement->text) continue;
        const char* text = dr_SkipBlanks(statement->text);
        const StatementSource source = dr_SourceOf(statement);
        rc = ParseDefineStatement(table, text, source, kDotDefine);
        if (!rc) rc = ParseArrayStatement(table, text, source);
        if (rc) break;
        if (!definitionsOnly) {
            rc = ParseWarningStatement(document, text, source);
            if (rc) break;
            if (dr_StartsWith(text, ".SKIP_L_LOOP")) {
                if (compiled) compiled->skipInductorLoopCheck = true;
            } else if (dr_StartsWith(text, ".LOADOP")) {
                if (compiled) compiled->loadOperatingPoint = true;
            } else if (MatchDotKeyword(text, kDotTr)) {
                rc = ReadTrStatement(document, text, statement->scope);
                if (rc) {
                    ShowErrorSource(kOriginStatement, statement);
                    break;
                }
            }
        }
        for (int keyword : {kDotParam, kDotFunc}) {
            if (!rc && MatchDotKeyword(text, keyword)) rc = ParseDefineStatement(table, text, source, keyword);
        }
        if (statement->scope != 0) statement->scope = 1;
    }
    if (rc) return rc;

    rc = PrepareScopeDefines(table, 1);
    if (rc || definitionsOnly) return rc;

    CircuitModels* models = GetCircuitModels(document);
    if (!models) {
        ReportCompileOutOfMemory();
        return kResultShown;
    }
    const char* documentPath = document->PathName() ? document->PathName() : "";
    for (PoolItem* item = document->gridTexts.first; item; item = item->next) {
        GridTextObject* statement = static_cast<GridTextObject*>(item);
        if (item->type < 0 || !statement->text) continue;
        const char* text = dr_SkipBlanks(statement->text);
        int failure = 0;
        if (MatchDotKeyword(text, kDotModel)) {
            CircuitScope* scope = GetScope(table, statement->scope);
            const char* file = scope && !scope->path.empty() ? scope->path.c_str() : documentPath;
            failure = ParseModelStatement(models, text, dr_SourceOf(statement), statement->scope == 0, file);
        } else if (MatchDotKeywordExact(text, kDotLibrary) || MatchDotKeywordExact(text, kDotLib)) {
            const int length = MatchDotKeywordExact(text, kDotLibrary) ? MatchDotKeywordExact(text, kDotLibrary)
                                                                       : MatchDotKeywordExact(text, kDotLib);
            char* substituted = nullptr;
            failure = SubstituteDefines(table, &substituted, statement->scope, text + length, 1, kMarkersRemove);
            if (!failure) {
                std::string name = substituted ? substituted : "";
                dr_CutLibraryLine(name);
                failure = AddLibraryFile(models, name.c_str(), 0, nullptr, false);
                if (failure && failure != kResultShown) failure = dr_ReportStatementFailure(statement, failure);
            }
            FreeString(&substituted);
        }
        if (failure && !AttributeDialogOpen) return failure;
    }
    return 0;
}

// A text circuit without a temperature for the analysis about to run simulates
// at TNOM.
void dr_FillDefaultTemperatureText(CCTDoc* document, const CircuitOptions& options) {
    const int kind = CurrentAnalysisKind();
    int slot = -1;
    switch (kind) {
    case 0: slot = kTranTemperature; break;
    case 1: slot = kAcTemperature; break;
    case 2: slot = kDcTemperature; break;
    default: return;
    }
    AnalysisKindSettings* limits = AnalysisKindOf(document, kind);
    if (!limits || (limits->limits[slot] && *limits->limits[slot])) return;
    char text[40];
    snprintf(text, sizeof text, "%g", options.RowValue(FindOptionRow("TNOM")));
    char* copy = DuplicateString(text);
    if (!copy) return;
    FreeString(&limits->limits[slot]);
    limits->limits[slot] = copy;
}

// NUMDGT sets how many digits every curve of the analysis prints, in scientific form.
void dr_ApplyNumberOfDigits(CCTDoc* document, int digits) {
    const int kind = CurrentAnalysisKind();
    if (digits <= 0 || kind < 0) return;
    AnalysisKindSettings* limits = AnalysisKindOf(document, kind);
    if (!limits) return;
    char text[16];
    snprintf(text, sizeof text, "%de", digits);
    for (const std::unique_ptr<CurveRow>& row : limits->curves) {
        ParseFormatSpec(&row->formats.valueX, text);
        ParseFormatSpec(&row->formats.valueY, text);
    }
}

}  // namespace

// ---- statements of a text stream ------------------------------------------------------------

int ReadStatementText(DefineTable* table, TextFile& stream, int scope) {
    CCTDoc* document = table ? table->owner : nullptr;
    int depth = 0;
    std::string line;
    for (;;) {
        int rc = ReadSpiceLine(stream, line, 0);
        if (rc == kResultReadError) return 0;
        if (rc == kResultNoMemory) {
            ReportCompileOutOfMemory();
            return kResultShown;
        }
        if (rc) return rc;
        const char* text = dr_SkipBlanks(line.c_str());
        if (*text != '.') continue;
        if (dr_StartsWith(text, ".ENDS")) {
            if (depth > 0) --depth;
            continue;
        }
        if (dr_StartsWith(text, ".SUBCKT")) {
            ++depth;
            continue;
        }
        StatementSource source{kSourceTextLine, scope, static_cast<intptr_t>(stream.statementLine), 0};
        if (MatchDotKeyword(text, kDotDefine) || (AttributeDialogOpen && MatchDotKeyword(text, kDotParameters))) {
            rc = ParseDefineStatement(table, text, source,
                                      MatchDotKeyword(text, kDotDefine) ? kDotDefine : kDotParameters);
        } else if (MatchDotKeyword(text, kDotArray)) {
            // .ARRAY statements are read with subcircuit expansion.
            rc = 0;
        } else if (depth == 0 && document) {
            std::string statementText = text;
            if (MatchDotKeywordExact(text, kDotLibrary) || MatchDotKeywordExact(text, kDotLib))
                dr_CutLibraryLine(statementText);
            GridTextObject* record = document->NewGridText();
            if (!record) {
                ReportCompileOutOfMemory();
                return kResultShown;
            }
            record->text = DuplicateString(statementText.c_str());
            if (!record->text) {
                ReportCompileOutOfMemory();
                return kResultShown;
            }
            record->page = -1;
            record->flags |= kGridTextNotSaved;
            record->line = stream.statementLine;
            record->scope = static_cast<int16_t>(scope);
            if (scope == 0) {
                for (int keyword : {kDotParam, kDotFunc}) {
                    if (!rc && MatchDotKeyword(text, keyword)) rc = ParseDefineStatement(table, text, source, keyword);
                }
            }
        }
        if (rc) return rc;
    }
}

// ---- the first phase ------------------------------------------------------------------------

int BeginCircuitCompile(CCTDoc* document, int keepDefines, int definitionsOnly) {
    if (!document) return 0;
    CompileSession* session = GetCompileSession(document);
    CompiledCircuit* compiled = GetCompiledCircuit(document);
    if (!session || !compiled) {
        ReportCompileOutOfMemory();
        return kResultShown;
    }
    session->marksSet = true;
    session->partMark = document->objects.last;
    session->statementMark = document->gridTexts.last;
    compiled->loadOperatingPoint = false;
    compiled->skipInductorLoopCheck = false;
    ClearCompileErrorLocation();
    // The circuit's warning statements are read again below.
    if (!definitionsOnly) FreeWarningRecords(document);
    ReadInitialConditions(document, nullptr, 1, 1);
    if (!AttributeDialogOpen && !keepDefines) {
        session->defines.Clear();
        FreeArrays(document);
    }
    if (CircuitModels* models = GetCircuitModels(document)) models->ModelStatements.Clear();
    if (!definitionsOnly) ResetDeviceFlags();

    int rc = ResetSpiceReader(document);
    if (rc) {
        if (rc != kResultShown) ReportCompilerMessage(nullptr, 1, nullptr, rc);
        return kResultShown;
    }
    if (!keepDefines) {
        rc = InitRootScopes(document);
        if (rc) return rc;
    }
    rc = dr_ReadCircuitTextStatements(document, definitionsOnly);
    if (rc) return rc;
    if (!keepDefines) {
        rc = dr_ReadGlobalIncludeFile(&session->defines);
        if (rc) return rc;
    }
    if (CircuitModels* models = GetCircuitModels(document)) {
        const char* path = document->PathName();
        if (path && *path) {
            rc = AddLibraryFile(models, path, 0, nullptr, false);
            // A document that was never saved has no file to search.
            if (rc && CheckFileExists(path) == 0) return rc;
            if (rc) ClearPendingMessage();
        }
        if (dr_IsSchematic(document)) {
            rc = AddLibraryFile(models, "", 0, nullptr, false);
            if (rc) return rc;
        }
    }
    return 0;
}

// ---- the full compile -----------------------------------------------------------------------

int CompileCircuit(CCTDoc* document, int expandMacros) {
    (void)expandMacros;  // subcircuit and macro expansion reads it
    if (!document) return 0;
    CompileSession* session = GetCompileSession(document);
    if (!session) {
        ReportCompileOutOfMemory();
        return kResultShown;
    }
    document->MakeCurrent();
    CompileRenameRequested = 0;
    // The arithmetic check at the end is about this compile: a fault left by
    // earlier work must not fail it.
    ResetFloatingPointState();
    // What the last compile of the circuit built goes before this one begins.
    ClearCompileArrays(document, kClearAllCompileArrays);
    ReleaseCompiledCircuit(document);
    CompiledCircuit* compiled = GetCompiledCircuit(document);
    if (!compiled) {
        ReportCompileOutOfMemory();
        return kResultShown;
    }
    DeviceListScope devices(compiled->devices);

    if (dr_IsSchematic(document)) {
        CCirDoc* circuit = static_cast<CCirDoc*>(document);
        RenumberNodesIfChanged(circuit, 0);
        if (!document->build.missingHiddenNode.empty()) {
            ReportCompilerMessage(nullptr, 1, nullptr, kMsgHiddenNodeMissing,
                                  document->build.missingHiddenNode.c_str());
            return kResultShown;
        }
    }

    StatusTextKeeper status;
    compiled->groundSeen = false;
    int result = BeginCircuitCompile(document, 0, 0);

    if (!result && dr_IsText(document)) {
        result = ReadSpiceText(document);
        if (result && result != kResultShown) ReportCompilerMessage(nullptr, 1, nullptr, result);
        if (result) result = kResultShown;
        // A text's .LOADOP reaches the run through the compiled circuit.
        const SpiceReaderState* reader = GetSpiceReader(document);
        CompiledCircuit* target = GetCompiledCircuit(document);
        if (!result && reader && reader->loadOperatingPoint && target) target->loadOperatingPoint = true;
    }
    if (!result) result = ApplyOptionsStatements(document, 1);
    if (dr_IsText(document)) dr_FillDefaultTemperatureText(document, session->options);

    const double gmin = session->options.RowValue(FindOptionRow("GMIN"));
    compiled->maxResistance = gmin > 0 ? 1.0 / gmin : 1e12;
    dr_ShowStatus(kStatusProcessingMacros);
    if (!result) result = ProcessSubcircuits(document);
    if (!result) result = ApplyOptionsStatements(document, 0);
    dr_ClearStatus();
    compiled->savedAnalogNodeCount = compiled->analogNodeCount;
    compiled->savedTotalNodeCount = compiled->totalNodeCount;

    if (!result) result = ApplyInitialConditionStatements(document);
    if (dr_IsText(document)) dr_ApplyNumberOfDigits(document, session->options.numDigits);

    if (!result) result = CheckNodeConnections(document, AttributeDialogOpen ? 0 : Prefs().floatingNodesCheck);
    if (!result) result = ProcessComponents(document);
    if (!result) result = ResolveControllingSources();
    if (!result) result = SetupCoupledInductors(document);
    if (!result) result = ValidateFunctionSourceExpressions(document);
    if (!result) result = CheckSwitchInductors(document);
    if (!result && !compiled->groundSeen && compiled->analogNodeCount > 0) {
        ReportCompilerMessage(nullptr, 1, nullptr,
                              dr_IsText(document) ? kMsgSpiceWithoutGround : kMsgCircuitWithoutGround);
        result = kResultShown;
    }

    NumberSimulatorObjects(compiled);
    if (!result) result = ResolveWDeviceSources(document);
    if (!result) LinkLossyLineInstances(document);
    if (AllocateSolutionVectors(compiled, kFirstVectorGroup)) result = kResultShown;

    dr_ShowStatus(kStatusDeviceExpressions);
    result = ProcessDeviceExpressions(document, result);
    dr_ClearStatus();
    if (!result) result = CheckTransformerTurns(document);
    if (!result) result = CheckCoupledInductorValues(document);
    if (!result) result = CheckPartNodeNames(document);
    if (!result) result = ReadInitialConditions(document, nullptr, 3, 1);

    // Every part of a text circuit comes from its text: releasing the compile deletes them all.
    if (dr_IsText(document)) session->partMark = nullptr;

    dr_ShowStatus(kStatusCheckingLoops);
    if (!result) result = CheckVoltageLoops(document, compiled->analogNodeCount);
    dr_ClearStatus();
    if (!result && Prefs().checkDcPathToGround) result = BuildNodeAdjacency(document, compiled->analogNodeCount);

    if (!result) {
        const int rc = BuildFunctionSourceDerivatives(compiled);
        if (rc == kResultNoMemory) {
            ReportCompileOutOfMemory();
            result = kResultShown;
        } else if (rc) {
            result = rc;
        } else if (AllocateSolutionVectors(compiled, kSecondVectorGroup)) {
            result = kResultShown;
        }
    }

    if (result) {
        ReleaseCompiledCircuit(document);
    } else {
        ClearCompileArrays(document, kClearJoinedText | kClearOpenedDocuments);
        if (gSolver.AnalysisKind == 1) WarnZeroAcMagnitudes(document);
    }
    if (CompiledCircuit* kept = FindCompiledCircuit(document)) kept->noAnalogNodes = kept->analogNodeCount == 0;
    if (!result) {
        EvaluateUsedDefines(document);
        PublishUserArrays(document);
        result = CheckMathError();
    }
    // Successful or not, the info page tells what the compile used.
    ReportHierarchy(document);
    PruneWarningStyles(document);
    return result;
}

int RunCircuitCompiler(CCTDoc* document, int expandMacros) {
    int result = CompileCircuit(document, expandMacros);
    if (document && dr_IsSchematic(document) && CompileRenameRequested) {
        RenamePartsQuestion().RenameParts(document);
        result = CompileCircuit(document, expandMacros);
    }
    return result;
}

// ---- reduced compiles -----------------------------------------------------------------------

namespace {

// Marks the compile as one of definitions for as long as it runs.
class DefinitionsCompile {
public:
    explicit DefinitionsCompile(int quiet) {
        DefinitionsCompileActive = 1;
        QuietDefinitionErrors = quiet;
    }
    ~DefinitionsCompile() {
        DefinitionsCompileActive = 0;
        QuietDefinitionErrors = 0;
    }
    DefinitionsCompile(const DefinitionsCompile&) = delete;
    DefinitionsCompile& operator=(const DefinitionsCompile&) = delete;
};

}  // namespace

int CompileCircuitForTranslation(CCTDoc* document, void* onlyPart, int flags) {
    if (!document) return 0;
    DefinitionsCompile active(0);
    document->MakeCurrent();
    if (dr_IsSchematic(document)) {
        RenumberNodesIfChanged(static_cast<CCirDoc*>(document), 0);
        if (!document->build.missingHiddenNode.empty()) {
            ReportCompilerMessage(nullptr, 1, nullptr, kMsgHiddenNodeMissing,
                                  document->build.missingHiddenNode.c_str());
            return kResultShown;
        }
    }
    int result = BeginCircuitCompile(document, 0, 0);
    if (!result && dr_IsText(document)) {
        result = ReadSpiceText(document);
        if (result && result != kResultShown) ReportCompilerMessage(nullptr, 1, nullptr, result);
        if (result) result = kResultShown;
        // A text's .LOADOP reaches the run through the compiled circuit.
        const SpiceReaderState* reader = GetSpiceReader(document);
        CompiledCircuit* target = GetCompiledCircuit(document);
        if (!result && reader && reader->loadOperatingPoint && target) target->loadOperatingPoint = true;
    }
    if (!result) result = ApplyOptionsStatements(document, 1);
    if (!result) result = ProcessSubcircuits(document);

    CircuitModels* models = GetCircuitModels(document);
    if (!result && (flags & 1) && models) {
        for (PoolItem* item = document->objects.first; item && !result; item = item->next) {
            SchematicObject* part = static_cast<SchematicObject*>(item);
            if (item->type < 0 || !part->IsComponent() || IsPartSkipped(part)) continue;
            if (onlyPart && part != onlyPart) continue;
            const ComponentType* info = part->definition ? GetComponentType(part->definition->type) : nullptr;
            if (!info || info->modelType < 0) continue;
            int error = 0;
            std::string model = SubstitutedAttribute(part, kAttrModel, false, &error);
            if (error)
                result = error;
            else if (!model.empty())
                result =
                    FindPartModelByName(models, info->modelType, PartScope(part), model.c_str()) < 0 ? kResultShown : 0;
        }
    }
    if (!result) result = ApplyOptionsStatements(document, 0);
    return result;
}

int LoadCircuitDefinitions(CCTDoc* document) {
    if (!document) return 0;
    DefinitionsCompile active(0);
    document->MakeCurrent();
    return BeginCircuitCompile(document, 0, 0);
}

int LoadCircuitDefinitionsForFormulas(CCTDoc* document, int report) {
    if (!document) return 0;
    DefinitionsCompile active(report == 0);
    document->MakeCurrent();
    return BeginCircuitCompile(document, 0, 2);
}
