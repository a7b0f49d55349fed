#include "engine/savefile.h"

#include <sys/stat.h>
#include <algorithm>
#include <cmath>
#include <new>

#include "compiler/compiled.h"
#include "core/messages.h"
#include "core/report_port.h"
#include "core/result.h"
#include "engine/state.h"
#include "expr/devicelist.h"

namespace {

const MessageRow kSvMessageRows[] = {
    {kMsgObsoleteDataFile, "%EObsolete data file, please rerun the simulation."},
    {kMsgVandIOnlyFile,
     "%EThe data file is a V and I only type saved from Probe.\nTransient/DC needs the complete (Save All) "
     "version.\nRerun the simulation using the Save option to regenerate the data file."},
};

// The device sections of a record, in order: the MOSFET section twice, the
// other semiconductors, the passive kinds and sources. `saveAllOnly` kinds
// appear only in Save All records.
struct sv_Section {
    int list;
    bool saveAllOnly;
};
const sv_Section kSvSections[] = {
    {kListMosfets, false},          {kListBsim4Mosfets, false},    {kListEkvMosfets, false},
    {kListMosfets, false},          {kListGaasfets, false},        {kListJfets, false},
    {kListBipolars, false},         {kListDiodes, false},          {kListCapacitors, true},
    {kListInductors, true},         {kListResistors, false},       {kListSSwitches, false},
    {kListWSwitches, false},        {kListSineSources, true},      {kListSpiceSources, false},
    {kListPolySources, false},      {kListPulseSources, true},     {kListIdealLines, true},
    {kListUserSources, true},       {kListSampleHolds, true},      {kListLossyLines, true},
    {kListDependentSources, false}, {kListFunctionSources, false}, {kListTableSources, false},
    {kListLaplaceSources, false},
};

double sv_Node(const std::vector<double>* solution, int32_t node) {
    return solution && node > 0 && static_cast<size_t>(node) < solution->size() ? (*solution)[static_cast<size_t>(node)]
                                                                                : 0.0;
}

// The slots of one device: its device block (terminal current, and in AC
// runs its complex current) and what the mode stores besides. Every field
// named here is read back into the record, so a retrieved run shows the
// device currents of the run that wrote the file. A field a kind lacks is a
// scratch slot, so the layout never depends on the values.
template <typename Slot>
void sv_Device(int list, DeviceRecord* d, bool all, bool ac, const std::vector<double>* solution, Slot& slot) {
    double scratch = 0.0;
    auto block = [&](double& current, ComplexNumber* acCurrent) {
        slot(current);
        if (!ac) return;
        if (acCurrent) {
            slot(acCurrent->re);
            slot(acCurrent->im);
        } else {
            slot(scratch = 0.0);
            slot(scratch = 0.0);
        }
    };
    switch (list) {
    case kListMosfets: {
        auto* m = static_cast<MosfetRecord*>(d);
        block(m->id, nullptr);
        if (all)
            for (double* v : {&m->vgs, &m->vds, &m->vbs, &m->vbd, &m->ig, &m->is, &m->ib, &m->cd, &m->cbs, &m->cbd})
                slot(*v);
        break;
    }
    case kListJfets: {
        auto* j = static_cast<JfetRecord*>(d);
        block(j->pinDrain, nullptr);
        if (all)
            for (double* v : {&j->vgs, &j->vgd, &j->cg, &j->cd, &j->pinGate, &j->pinSource}) slot(*v);
        break;
    }
    case kListGaasfets: {
        auto* g = static_cast<GaasfetRecord*>(d);
        block(g->pinDrain, nullptr);
        if (all)
            for (double* v : {&g->vgs, &g->vgd, &g->cg, &g->cd, &g->pinGate, &g->pinSource}) slot(*v);
        break;
    }
    case kListBipolars: {
        auto* q = static_cast<BipolarRecord*>(d);
        block(q->pinCollector, nullptr);
        if (all)
            for (double* v :
                 {&q->vbe, &q->vbc, &q->vcs, &q->ib, &q->ic, &q->isub, &q->pinBase, &q->pinEmitter, &q->pinSubstrate})
                slot(*v);
        break;
    }
    case kListDiodes: {
        auto* x = static_cast<DiodeRecord*>(d);
        block(x->pinCurrent, nullptr);
        if (all) {
            slot(x->vd);
            slot(x->id);
        }
        break;
    }
    case kListCapacitors: {
        auto* c = static_cast<CapacitorRecord*>(d);
        block(c->current, &c->acCurrent);
        break;
    }
    case kListResistors: {
        // Its current follows from the solution; read back it has no field.
        auto* r = static_cast<ResistorRecord*>(d);
        scratch = r->working != 0.0 ? (sv_Node(solution, r->node1) - sv_Node(solution, r->node2)) / r->working : 0.0;
        slot(scratch);
        break;
    }
    case kListSSwitches: slot(static_cast<VoltageSwitchRecord*>(d)->sw.current); break;
    case kListWSwitches: slot(static_cast<CurrentSwitchRecord*>(d)->sw.current); break;
    case kListSineSources: {
        auto* s = static_cast<SineSourceRecord*>(d);
        block(s->current, nullptr);
        slot(s->working);
        break;
    }
    case kListPulseSources: {
        auto* s = static_cast<PulseSourceRecord*>(d);
        block(s->current, nullptr);
        slot(s->working);
        break;
    }
    case kListSpiceSources: {
        auto* s = static_cast<SourceRecord*>(d);
        slot(s->working);
        if (all) block(s->current, &s->acCurrent);
        break;
    }
    case kListPolySources: {
        auto* s = static_cast<PolySourceRecord*>(d);
        slot(s->lastOutput);
        if (all) block(s->pinCurrent, nullptr);
        break;
    }
    case kListIdealLines: {
        auto* l = static_cast<IdealLineRecord*>(d);
        for (double* v : {&l->waveIntoA, &l->waveIntoB, &l->pinCurrentA, &l->pinCurrentB}) slot(*v);
        break;
    }
    case kListSampleHolds: {
        auto* h = static_cast<SampleHoldRecord*>(d);
        block(h->pinCurrent, nullptr);
        slot(h->heldValue);
        break;
    }
    case kListLossyLines: {
        auto* l = static_cast<LossyLineRecord*>(d);
        for (double* v : {&l->lineCurrent1, &l->lineCurrent2, &l->source1, &l->source2}) slot(*v);
        break;
    }
    case kListDependentSources: slot(static_cast<LinearDependentRecord*>(d)->gain); break;
    case kListFunctionSources: {
        auto* f = static_cast<FunctionSourceRecord*>(d);
        slot(f->presentValue);
        if (all) block(f->pinCurrent, nullptr);
        break;
    }
    case kListTableSources: {
        auto* t = static_cast<TableSourceRecord*>(d);
        slot(t->lastOutput);
        if (all) block(t->pinCurrent, nullptr);
        break;
    }
    case kListLaplaceSources: {
        auto* l = static_cast<LaplaceSourceRecord*>(d);
        slot(l->lastOutput);
        if (all) block(l->pinCurrent, nullptr);
        break;
    }
    default: break;  // the BSIM4 and EKV lists: their power terms only
    }
    if (all)
        for (ComplexNumber& power : d->power) slot(power.re);
}

// The equations of the circuit: the installed matrix's, or the compiled
// circuit's before a matrix exists (a file is opened before the run builds one).
int32_t sv_Equations(const SimulatorState& state) {
    if (state.MatrixSize > 0) return state.MatrixSize;
    return state.Circuit ? state.Circuit->unknownCount : 0;
}

bool sv_Report(int code, const std::string& path, bool quiet) {
    if (!quiet) Reporter().Report(Message(code).Args(path).Row("File", path.c_str()));
    return true;
}

}  // namespace

void RegisterSaveFileMessages() {
    RegisterMessages(kSvMessageRows, static_cast<int>(sizeof kSvMessageRows / sizeof kSvMessageRows[0]));
}

std::string SimulationSaveFileName(const std::string& circuitPath, char analysisLetter) {
    const size_t slash = circuitPath.find_last_of("/\\");
    const size_t dot = circuitPath.find_last_of('.');
    const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (hasExtension ? circuitPath.substr(0, dot) : circuitPath) + "." + analysisLetter + "SA";
}

int32_t ApplyCommandLineRunOption(int32_t runOption, int32_t flags) {
    if (flags & 8) return kRunNormal;
    if (flags & 2) return kRunSave;
    if (flags & 1) return kRunRetrieve;
    return runOption;
}

bool IsSaveFileStale(bool staleFlag, const std::string& circuitPath, const std::string& savePath) {
    if (staleFlag) return true;
    struct stat circuit {};
    if (stat(circuitPath.c_str(), &circuit) != 0) return false;  // an unsaved circuit
    const time_t circuitTime = GetFileModTime(circuitPath.c_str());
    const time_t saveTime = GetFileModTime(savePath.c_str());
    if (circuitTime == 0 || saveTime == 0) return true;
    return circuitTime > saveTime;
}

size_t SimulationSaveFile::TransferSimulationState(SimulatorState& state, SaveTransferMode mode, double& time,
                                                   std::vector<double>* solution) {
    mode_ = mode;
    index_ = 0;
    auto slot = [&](double& value) {
        if (mode_ == kTransferRead) {
            value = index_ < record_.size() ? record_[index_] : 0.0;
        } else if (mode_ == kTransferWrite && index_ < record_.size()) {
            record_[index_] = value;
        }
        ++index_;
    };
    slot(time);
    double kind = state.StepKind;
    slot(kind);
    // A step kind that is no small whole number reads as an ordinary analog point.
    if (mode_ == kTransferRead) state.StepKind = kind >= 0.0 && kind <= 4.0 ? static_cast<int32_t>(kind) : 0;
    for (int32_t i = 1, m = sv_Equations(state); i <= m; ++i) {
        double scratch = 0.0;
        const bool held = solution && static_cast<size_t>(i) < solution->size();
        slot(held ? (*solution)[static_cast<size_t>(i)] : scratch);
    }
    const bool all = contents_ == kSaveAll;
    for (int32_t block = 0; block < state.StateCount; ++block) {
        const size_t at = static_cast<size_t>(block) * kStateSlotsPerBlock;
        double scratch = 0.0;
        slot(at < state.StateDerivatives.size() ? state.StateDerivatives[at] : scratch);
        if (all) slot(at < state.StateValues.size() ? state.StateValues[at] : scratch);
    }
    if (all) {
        PowerTotals& p = state.Power;
        for (double* value : {&p.PowerGenerated, &p.PowerGeneratedAlt, &p.PowerDissipated, &p.PowerDissipatedAlt,
                              &p.PowerStored, &p.PowerStoredAlt})
            slot(*value);
    }
    if (state.Circuit) {
        for (const sv_Section& section : kSvSections) {
            if (section.saveAllOnly && !all) continue;
            // Inductor currents are branch unknowns of the solution; AC runs keep none.
            if (section.list == kListInductors && ac_) continue;
            for (PoolItem* item = state.Circuit->devices.lists[section.list].pool.first; item; item = item->next) {
                if (item->type == kPoolItemDead) continue;
                sv_Device(section.list, static_cast<DeviceRecord*>(item), all, ac_, solution, slot);
            }
        }
    }
    return index_;
}

int SimulationSaveFile::Open(SimulatorState& state, const SaveFileRequest& request) {
    Close();
    runOption_ = request.runOption;
    ac_ = request.analysisLetter == 'A';
    if (runOption_ != kRunSave && runOption_ != kRunRetrieve) return kOk;
    path_ = request.path;
    interval_ = std::max(request.saveInterval, 1);
    char tag[4] = {request.analysisLetter, 'S', 'A', 0};
    if (runOption_ == kRunRetrieve) {
        int rc = file_.OpenRead(path_.c_str());
        int32_t version = 0;
        if (!rc) rc = file_.CheckFileHeader(tag, version);
        if (rc) {
            file_.Close();
            sv_Report(rc, path_, false);
            return kResultShown;
        }
        const int32_t contents = file_.ReadLong();
        const int32_t equations = file_.ReadLong();
        const int32_t check = file_.ReadLong();
        if (file_.error || version != kSaveFileVersion ||
            (contents != kSaveVoltagesAndCurrents && contents != kSaveAll) || equations != sv_Equations(state) ||
            check != request.checkValue) {
            file_.Close();
            sv_Report(kMsgObsoleteDataFile, path_, request.probe);
            state.RunStopRequest = 1;
            return kResultShown;
        }
        if (contents == kSaveVoltagesAndCurrents && !request.probe && request.analysisLetter != 'A') {
            file_.Close();
            Reporter().Report(Message(kMsgVandIOnlyFile));
            return kResultShown;
        }
        contents_ = contents;
    } else {
        contents_ = request.contents == kSaveVoltagesAndCurrents ? kSaveVoltagesAndCurrents : kSaveAll;
        if (int rc = file_.OpenWrite(path_.c_str())) return rc;
        file_.WriteFileHeader(tag, kSaveFileVersion);
        file_.WriteLong(contents_);
        file_.WriteLong(sv_Equations(state));
        file_.WriteLong(request.checkValue);
        if (file_.error) {
            const int rc = file_.error;
            file_.Close();
            return rc;
        }
    }
    // The record's size comes from the circuit, never from the file.
    record_.clear();
    double time = 0.0;
    const size_t slots = TransferSimulationState(state, kTransferCount, time, nullptr);
    try {
        record_.assign(slots, 0.0);
    } catch (const std::bad_alloc&) {
        file_.Close();
        return kResultNoMemory;
    }
    inUse_ = true;
    pending_ = flushing_ = false;
    return kOk;
}

int SimulationSaveFile::WriteRecord(SimulatorState& state, double time, const std::vector<double>* solution) {
    TransferSimulationState(state, kTransferWrite, time, const_cast<std::vector<double>*>(solution));
    file_.Write(record_.data(), record_.size() * sizeof(double));
    if (file_.error) {
        file_.Close();
        inUse_ = false;
        return kResultNoSpace;
    }
    return kOk;
}

int SimulationSaveFile::WritePoint(SimulatorState& state, int32_t acceptedPoints, double time,
                                   const std::vector<double>* solution) {
    if (!inUse_ || runOption_ != kRunSave) return kOk;
    if (state.StepKind == 0 && !flushing_ && acceptedPoints % interval_ != 0) {
        pendingTime_ = time;
        try {
            pendingSolution_ = solution ? *solution : std::vector<double>();
        } catch (const std::bad_alloc&) {
            return kResultNoMemory;
        }
        pending_ = true;
        return kOk;
    }
    pending_ = false;
    return WriteRecord(state, time, solution);
}

int SimulationSaveFile::FlushPendingPoint(SimulatorState& state) {
    if (!inUse_ || runOption_ != kRunSave || !pending_) return kOk;
    flushing_ = true;
    pending_ = false;
    const int rc = WriteRecord(state, pendingTime_, &pendingSolution_);
    flushing_ = false;
    return rc;
}

int SimulationSaveFile::ReadPoint(SimulatorState& state, int32_t& counter, double& time, double& step,
                                  std::vector<double>& solution) {
    ++counter;
    if (!inUse_ || runOption_ != kRunRetrieve) {
        state.RunStopRequest = 1;
        return kOk;
    }
    const size_t bytes = record_.size() * sizeof(double);
    const size_t got = std::fread(record_.data(), 1, bytes, file_.stream);
    if (got != bytes) {
        if (got != 0) SetPendingText(path_.c_str());
        state.RunStopRequest = 1;
        return kOk;
    }
    if (!solution.empty()) solution[0] = 0.0;
    const double previous = time;
    double recordTime = 0.0;
    TransferSimulationState(state, kTransferRead, recordTime, &solution);
    step = recordTime - previous;
    time = recordTime;
    return kOk;
}

void SimulationSaveFile::Close() {
    if (file_.IsOpen()) file_.Close();
    inUse_ = false;
    pending_ = false;
    std::vector<double>().swap(record_);
    std::vector<double>().swap(pendingSolution_);
}
