#include "analysis/start.h"

#include "analysis/statevarsdlg.h"

#include <cstring>
#include <vector>

#include "analysis/globalsettings.h"
#include "analysis/limits.h"
#include "analysis/limitsdlg.h"
#include "analysis/statevarsdlg.h"
#include "compiler/compiled.h"
#include "compiler/driver.h"
#include "compiler/limitwriter.h"
#include "compiler/scanner.h"
#include "compiler/session.h"
#include "compiler/support.h"
#include "core/cmdline.h"
#include "core/memory.h"
#include "core/paths.h"
#include "core/port.h"
#include "core/report_port.h"
#include "core/result.h"
#include "core/services.h"
#include "devices/temperature.h"
#include "document/cfanalysis.h"
#include "document/cirdoc.h"
#include "document/ctdoc.h"
#include "document/nodelabels.h"
#include "engine/setup.h"
#include "expr/runstate.h"
#include "models/modelstmt.h"
#include "shell/app.h"
#include "shell/document.h"
#include "shell/preferences.h"

namespace {

class NullAnalysisWindows final : public AnalysisWindowPort {
public:
    int OpenAnalysisWindow(CCTDoc*, int) override { return kResultNotBuilt; }
    void CloseAnalysisWindow(CCTDoc*) override {}
};

PortSlot<AnalysisWindowPort, NullAnalysisWindows> as_windows;
std::unique_ptr<OpenAnalysis> as_open;
bool as_exiting = false;

// The compiled node names of the top level by node number (index 0 is node 1).
std::vector<std::string> as_NodeNames(CCTDoc* document, int count) {
    std::vector<std::string> names(static_cast<size_t>(count > 0 ? count : 0));
    for (int node = 1; node <= count; ++node)
        names[static_cast<size_t>(node - 1)] = GetNodeName(document, node, 1, 0, 0);
    return names;
}

// The limits and curve rows of the kind take their defaults.
int as_FillDefaults(CCTDoc* document, int kind) {
    AnalysisSettings* settings = EnsureAnalysisSettings(document);
    if (!settings) return kResultNoMemory;
    AnalysisKindSettings& limits = settings->kinds[kind];
    const CompiledCircuit* compiled = FindCompiledCircuit(document);
    const std::vector<std::string> nodes = as_NodeNames(document, compiled ? compiled->analogNodeCount : 0);
    std::string firstNode;
    if (!nodes.empty()) firstNode = NodeNamePicker(nodes, 1).Next();
    int rc = FillDefaultLimitTexts(limits, kind, firstNode);
    if (rc == kResultNoMemory) return rc;
    if (limits.curves.empty()) {
        limits.curves.push_back(std::make_unique<CurveRow>());
        limits.curves.back()->plotGroup = '1';
        SetDefaultCurveStyle(*limits.curves.back(), 0);
    }
    rc = FillDefaultCurveRows(limits, kind, nodes, {}, false, false);
    if (rc == kResultNoMemory) return rc;
    // A circuit file stores its limits, so the filled rows are a change to
    // it; a SPICE text's statements change only when the user changes them.
    if (rc && dynamic_cast<CCirDoc*>(document)) document->MarkDirty();
    return 0;
}

}  // namespace

bool WriteCompileWarnings(NumericOutput& out, CCTDoc* document) {
    CircuitModels* models = GetCircuitModels(document);
    if (!models || models->Notes.Count == 0 || !out.IsOpen()) return false;
    out.WriteSectionTitle("Warnings");
    for (int i = 0; i < models->Notes.Count; ++i) {
        const CompileNote& note = models->Notes.Entries[i];
        const char* name = note.Text ? note.Text : "";
        const ModelStatement* statement = models->ModelStatements.At(note.Row);
        const char* model = statement && statement->Name ? statement->Name : "";
        switch (note.Kind) {
        case kNoteUnknownParam: out.Printf("Warning unknown parameter %s in model %s.\n", name, model); break;
        case kNoteDuplicateParam: out.Printf("Warning duplicated parameter %s in model %s.\n", name, model); break;
        case kNoteUnknownOption: out.Printf("Warning unknown .options parameter %s.\n", name); break;
        case kNoteBelowLimit:
        case kNoteAboveLimit: {
            const bool small = note.Kind == kNoteBelowLimit;
            out.Printf("Warning parameter %s=%g is too %s(%s) in model %s.", name, note.Value, small ? "small" : "big",
                       small ? "min" : "max", model);
            if (statement && statement->SourceFile && statement->SourceFile[0])
                out.Printf(" From File %s\n", statement->SourceFile);
            else
                out.Printf("\n");
            break;
        }
        default: break;  // temperature notes go out at the end of a run
        }
    }
    return true;
}

AnalysisWindowPort& AnalysisWindows() { return as_windows.Get(); }
AnalysisWindowPort* InstallAnalysisWindows(AnalysisWindowPort* port) { return as_windows.Install(port); }

OpenAnalysis* CurrentAnalysis() { return as_open.get(); }
int RunningAnalysisKind() { return gSolver.AnalysisKind; }

std::string NumericOutputPath(CCTDoc* document, int kind) {
    std::string path = MakeAnalysisFileName(document ? document->PathName() : "", kind, "NO", false);
    const std::string search = GetSearchPath(kPathData);
    const std::string folder = search.substr(0, search.find(';'));
    if (!folder.empty()) {
        const size_t slash = path.rfind('/');
        path =
            folder + (folder.back() == '/' ? "" : "/") + (slash == std::string::npos ? path : path.substr(slash + 1));
    }
    return path;
}

OperatingPointData CollectOperatingPoint(CCTDoc* document, const std::vector<double>& solution) {
    OperatingPointData data;
    CompiledCircuit* compiled = FindCompiledCircuit(document);
    if (!compiled) return data;
    auto value = [&](int index) {
        return index > 0 && static_cast<size_t>(index) < solution.size() ? solution[static_cast<size_t>(index)] : 0.0;
    };
    const int count = compiled->analogNodeCount;
    data.nodeNames = as_NodeNames(document, count);
    for (int node = 1; node <= count; ++node) {
        std::string& name = data.nodeNames[static_cast<size_t>(node - 1)];
        if (name.empty()) name = std::to_string(node);
        data.nodeVoltages.push_back(value(node));
    }
    for (PoolItem* item = compiled->devices[kListInductors].pool.first; item; item = item->next) {
        auto* inductor = static_cast<InductorRecord*>(item);
        std::string name;
        if (const PartLink* link = compiled->FindLink(inductor->part)) name = link->qualifiedName;
        if (name.empty() && inductor->part) {
            char* qualified = GetQualifiedPartName(inductor->part);
            name = qualified ? qualified : "";
            FreeString(&qualified);
        }
        data.inductorNames.push_back(name);
        data.inductorCurrents.push_back(value(inductor->branch));
    }
    return data;
}

bool HasSineSource(CCTDoc* document) {
    CompiledCircuit* compiled = FindCompiledCircuit(document);
    if (!compiled) return false;
    if (compiled->devices[kListSineSources].pool.first) return true;
    for (PoolItem* item = compiled->devices[kListSpiceSources].pool.first; item; item = item->next)
        if (static_cast<SourceRecord*>(item)->functionKind == kFunctionSin) return true;
    return false;
}

int StartAnalysis(CCTDoc* document, int kind, const AnalysisStartMode& mode) {
    if (!document || kind < 0 || kind > 3) return kResultNotBuilt;
    if (as_open) ExitAnalysis(as_open->document, true);
    ResetRunState();
    ResetLimitErrors();
    as_open = std::make_unique<OpenAnalysis>(document, kind);
    OpenAnalysis& open = *as_open;
    open.mode = mode;
    SetAnalysisKind(kind);
    RunState().activeAnalysis = kind;
    if (mode.inPlace) {
        RunVars.analysis = kind == 0 ? 5 : 4;
        if (mode.transferFunction)
            RunVars.analysis = 6;
        else if (mode.sensitivity)
            RunVars.analysis = 7;
    }

    int err = RunCircuitCompiler(document, 1);
    open.lastBuildResult = err;
    CompiledCircuit* compiled = err ? nullptr : FindCompiledCircuit(document);
    if (!err && !compiled) err = kResultNoMemory;
    if (!err) {
        AnalysisSettings* settings = EnsureAnalysisSettings(document);
        open.numericOutput.SetPath(NumericOutputPath(document, kind));
        open.numericOutput.width = GlobalSettings.width;
        const int delimiter = settings ? settings->kinds[kind].numOutDelimiter : 0;
        open.numericOutput.delimiter = delimiter ? static_cast<char>(delimiter) : ' ';
        const bool wanted = settings && settings->kinds[kind].numOutWrite[kIncludeNumericOutput];
        open.numericOutput.settings = settings ? &settings->kinds[kind] : nullptr;
        open.numericOutput.kind = kind;
        open.numericOutput.valueFormat = Prefs().operatingPointFormat;
        err = open.numericOutput.Begin(wanted);
        // Messages of the analysis go into its numeric output from now on.
        if (!err) SetRoutedNumericOutput(&open.numericOutput);
    }
    if (!err) {
        TemperatureSetup setup = MakeTemperatureSetup(document);
        err = SetupModelsAtTemperature(setup, 27.0);
        const double temperature = 27.0;
        if (!err) err = SetupInstancesAtTemperature(setup, temperature);
    }
    if (!err && kind == 3 && !HasSineSource(document)) err = kMsgNoSineSource;
    if (!err) {
        const CircuitOptions* options = GetCircuitOptions(document);
        err = options ? AttachCircuit(open.engine, compiled, *options) : kResultNoMemory;
        if (!err) err = BuildAnalysisMatrix(open.engine, nullptr, true, open.engine.DcPair);
        if (!err) open.engine.MatrixBuilt = 1;
    }
    if (!err) err = as_FillDefaults(document, kind);
    if (!err && !dynamic_cast<CCirDoc*>(document)) open.startStatements = BuildAnalysisStatements(document, kind, false, "\n");
    if (!err && !mode.inPlace && !mode.hidden) {
        err = AnalysisWindows().OpenAnalysisWindow(document, kind);
        if (!err) err = OpenLimitsDialog(document, kind);
    }
    if (err) {
        ExitAnalysis(document, true);
        ClearRunContext();
        if (err != kResultShown) Reporter().Report(Message(err));
    } else if (!mode.inPlace && !mode.hidden && open.numericOutput.IsOpen()) {
        // What the compile warned of goes into the numeric output at once, and
        // the user is told where to look.
        const CircuitModels* models = GetCircuitModels(document);
        if (models && models->Notes.Count > 0) {
            open.numericOutput.WriteHeaderOnce();
            WriteCompileWarnings(open.numericOutput, document);
            if (!BatchMode()) {
                if (Prefs().warningTime != 0) Reporter().Report(Message(kMsgCheckNumericOutput));
                OpenLimitsDialog(document, kind);
            }
        }
    }
    if (as_open) as_open->numericOutput.Close();
    return err;
}

int RunAnalysis(CCTDoc* document, int kind, const AnalysisStartMode& mode) {
    const double t0 = GetSeconds();
    CurrentRunContext().circuitDocument = document;
    const int err = StartAnalysis(document, kind, mode);
    // A failed compile shows where it failed.
    if (err && document && document->MainView()) {
        SourceLocation& where = CompileErrorLocation();
        if (where.kind != 0 || where.object || where.document) where.Show();
    }
    if (as_open) {
        as_open->setupTime = GetSeconds() - t0;
        as_open->runTime = 0;
    }
    return err;
}

void ExitAnalysis(CCTDoc* document, bool abandon) {
    if (!as_open || as_open->document != document) return;
    as_exiting = true;
    if (as_open->lastBuildResult == 0) CloseLimitsDialog();
    CloseStateVariablesEditor();
    std::unique_ptr<OpenAnalysis> open = std::move(as_open);
    if (open->lastBuildResult == 0 && !open->mode.inPlace && !open->mode.hidden)
        AnalysisWindows().CloseAnalysisWindow(document);
    open->numericOutput.Close();
    if (!abandon) {
        // The text is rewritten only for limits the user changed: the
        // statements as the limits write them are compared with those at the
        // start, so a run alone leaves the text exactly as it was.
        if (!dynamic_cast<CCirDoc*>(document) &&
            BuildAnalysisStatements(document, open->kind, false, "\n") != open->startStatements)
            ApplyLimitsFromText(document);
        open->numericOutput.RemoveIfEmpty();
    }
    if (RoutedNumericOutput() == &open->numericOutput) SetRoutedNumericOutput(nullptr);
    ReleaseCompiledCircuit(open->engine, document);
    SetAnalysisKind(-1);
    RunState().activeAnalysis = -1;
    as_exiting = false;
}

bool AnalysisExitInProgress() { return as_exiting; }

void CloseAnalysis(CCTDoc* document) {
    ExitAnalysis(document, false);
    ClearRunContext();
    ApplyGlobalSettings(true);
}
