#include "compiler/compiled.h"

#include "compiler/session.h"
#include "document/ctdoc.h"

void RegisterCompilerDeviceRecords() {
    RegisterDeviceRecordType<ResistorRecord>(kListResistors);
    RegisterDeviceRecordType<CapacitorRecord>(kListCapacitors);
    RegisterDeviceRecordType<InductorRecord>(kListInductors);
    RegisterDeviceRecordType<InductorCouplingRecord>(kListInductorCouplings);
    RegisterDeviceRecordType<TransformerCouplingRecord>(kListTransformerCouplings);
    RegisterDeviceRecordType<SourceRecord>(kListSpiceSources);
    RegisterDeviceRecordType<PulseSourceRecord>(kListPulseSources);
    RegisterDeviceRecordType<SineSourceRecord>(kListSineSources);
    RegisterDeviceRecordType<UserSourceRecord>(kListUserSources);
    RegisterDependentDeviceRecords();
    RegisterBehaviouralDeviceRecords();
    RegisterDeviceRecordType<BipolarRecord>(kListBipolars);
    RegisterDeviceRecordType<JfetRecord>(kListJfets);
    RegisterDeviceRecordType<GaasfetRecord>(kListGaasfets);
    RegisterDeviceRecordType<MosfetRecord>(kListMosfets);
    RegisterDeviceRecordType<DiodeRecord>(kListDiodes);
    RegisterDeviceRecordType<OpampRecord>(kListOpamps);
    RegisterDeviceRecordType<SevenSegmentRecord>(kListSevenSegments);
    RegisterDeviceRecordType<DigitalLedRecord>(kListDigitalLeds);
    RegisterDeviceRecordType<TrafficLightRecord>(kListTrafficLights);
    RegisterDeviceRecordType<BarMeterRecord>(kListMeters);
    RegisterDeviceRecordType<BarMeterRecord>(kListBars);
    RegisterDeviceRecordType<RelayRecord>(kListRelays);
    RegisterDeviceRecordType<AnalogLedRecord>(kListAnalogLeds);
    RegisterDeviceRecordType<DcMotorRecord>(kListDcMotors);
    RegisterDeviceRecordType<AnimatedSwitchRecord>(kListSpstSwitches);
    RegisterDeviceRecordType<AnimatedSwitchRecord>(kListSpdtSwitches);
    RegisterDeviceRecordType<AnimatedSwitchRecord>(kListDpstSwitches);
}

CompiledCircuit* GetCompiledCircuit(CCTDoc* document) {
    CompileSession* session = GetCompileSession(document);
    if (!session) return nullptr;
    if (!session->compiled) session->compiled = std::make_unique<CompiledCircuit>();
    return session->compiled.get();
}

CompiledCircuit* FindCompiledCircuit(const CCTDoc* document) {
    CompileSession* session = FindCompileSession(document);
    return session ? session->compiled.get() : nullptr;
}

void ReleaseCompiledCircuit(CCTDoc* document) {
    CompileSession* session = FindCompileSession(document);
    if (!session || !session->compiled) return;
    {
        DeviceListScope scope(session->compiled->devices);
        ReleaseDeviceLists();
    }
    session->compiled.reset();
}
