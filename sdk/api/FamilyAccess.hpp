#pragma once
// What the exported functions can do with one sensor, through the interface of the device
// class that was actually built for it. Every family adapter derives from FamilyAccess and
// overrides what its class offers; everything else answers as a family without the parameter
// (121) or without the event (124). The adapter is made together with the device object, so
// the exports never pick an interface from a family or model byte that a host could forge.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sdk/api/HostTarget.hpp"
#include "sdk/api/include/ambrelkit2.h"
#include "sdk/ble/IBLEDevice.hpp"
#include "sdk/core/EEGChannel.hpp"
#include "sdk/core/ISensor.hpp"
#include "sdk/core/OperationResult.hpp"

namespace VexaDevice::Api {

enum class TextParameter { Name, Address, SerialNumber };

enum class ByteParameter {
    FirmwareMode,
    SamplingFrequency,
    DataOffset,
    Gain,
    AccelerometerSens,
    GyroscopeSens,
    SamplingFrequencyMEMS,
    SamplingFrequencyFPG,
    IrAmplitude,
    RedAmplitude,
    SamplingFrequencyResist,
    SamplingFrequencyEnvelope,
    SamplingFrequencyResp,
    AmpMode,
    StimMode,
    PhotoStimSyncState,
    ADCInput,
    ExternalSwitch,
    ElectrodeState,
    MEMSCalibrateState,
};

enum class IntParameter { BattPower, BattVoltage, SurveyId, Colour, MotionCounter };

enum class IntEvent { Battery, BatteryVoltage };
enum class ByteEvent { AmpMode, ElectrodeState, StimMode, PhotoStimSyncState };

// {failed, 121, "Failed read the sensor parameter"}.
OperationResult unsupportedRead();

class FamilyAccess : public std::enable_shared_from_this<FamilyAccess> {
public:
    explicit FamilyAccess(std::shared_ptr<Sensor::ISensor> sensor);
    virtual ~FamilyAccess() = default;
    FamilyAccess(const FamilyAccess&) = delete;
    FamilyAccess& operator=(const FamilyAccess&) = delete;

    Sensor::ISensor& sensor() const { return *sensor_; }

    // Reads: the value is written whatever the result says.
    virtual OperationResult readText(TextParameter parameter, std::string& out);
    virtual OperationResult readState(int32_t& out);
    virtual OperationResult readByte(ByteParameter parameter, uint8_t& out);
    virtual OperationResult readInt(IntParameter parameter, int32_t& out);
    virtual OperationResult readPhotoStimTimeDefer(double& out);
    virtual OperationResult readVersion(SensorVersion& out);
    virtual OperationResult readAmplifierMorvex2(Morvex2AmplifierParam& out);
    virtual OperationResult readAmplifierWrenlet(WrenletAmplifierParam& out);
    virtual OperationResult readAmplifierVondra2(Vondra2AmplifierParam& out);
    virtual OperationResult readAmplifierVondra(VondraAmplifierParam& out);
    virtual OperationResult readAmplifierDravik(DravikAmplifierParam& out);
    virtual OperationResult readFilesystemStatus(DravikFSStatus& out);
    virtual OperationResult readFileSystemDiskInfo(DravikFSDiskInfo& out);
    virtual OperationResult readMotionCounterParam(TesselMotionCounterParam& out);
    virtual OperationResult readMotionAssistantParam(TesselMotionAssistantParam& out);
    virtual OperationResult readStimulatorParam(TesselStimulatorParam& out);
    virtual OperationResult readStimulatorAndMAState(TesselStimulatorAndMAState& out);
    virtual OperationResult readSupportedChannels(std::vector<Sensor::EEGChannelInfo>& out);
    virtual OperationResult readStimPrograms(std::vector<StimulProgram>& out);
    // The active hardware filters in ascending order.
    virtual OperationResult readHardwareFilters(std::vector<uint8_t>& out);

    // The BLE device's payload-free connection bus; every family has one.
    virtual std::weak_ptr<BLE::ConnectionBus> connectionBus() = 0;

    // Registrations: each makes one subscriber on the family's bus, or refuses with 124.
    virtual Subscription addSignalDataMorvex(const HostTarget<MorvexSignalCallback>& host);
    virtual Subscription addResistMorvex(const HostTarget<MorvexResistCallback>& host);
    virtual Subscription addMEMSData(const HostTarget<MEMSDataCallback>& host);
    virtual Subscription addSignalMorvex2(const HostTarget<SignalChannelsCallback>& host);
    virtual Subscription addResistMorvex2(const HostTarget<ResistChannelsCallback>& host);
    virtual Subscription addSignalLorrel(const HostTarget<MorvexSignalCallback>& host);
    virtual Subscription addResistLorrel(const HostTarget<FourChannelResistCallback>& host);
    virtual Subscription addSignalVondra2(const HostTarget<MorvexSignalCallback>& host);
    virtual Subscription addResistVondra2(const HostTarget<FourChannelResistArrayCallback>& host);
    virtual Subscription addSignalVondra(const HostTarget<VondraSignalCallback>& host);
    virtual Subscription addResistVondra(const HostTarget<VondraResistCallback>& host);
    virtual Subscription addSignalDravik(const HostTarget<SignalChannelsCallback>& host);
    virtual Subscription addResistDravik(const HostTarget<DravikResistCallback>& host);
    virtual Subscription addSignalResistDravik(const HostTarget<DravikSignalResistCallback>& host);
    virtual Subscription addSignalRawDravik(const HostTarget<RawSignalCallback>& host);
    virtual Subscription addFileStreamDravik(const HostTarget<FileStreamCallback>& host);
    virtual Subscription addFPGData(const HostTarget<FPGDataCallback>& host);
    virtual Subscription addQuaternionData(const HostTarget<QuaternionDataCallback>& host);
    virtual Subscription addEnvelopeTessel(const HostTarget<EnvelopeDataCallback>& host);
    virtual Subscription addSignalTessel(const HostTarget<TesselSamplesCallback>& host);
    virtual Subscription addRespirationTessel(const HostTarget<TesselSamplesCallback>& host);
    virtual Subscription addIntValue(IntEvent event, const HostTarget<IntValueCallback>& host);
    virtual Subscription addByteValue(ByteEvent event, const HostTarget<ByteValueCallback>& host);

    // Every family: on each connection event the host receives the state that readState
    // gives. The subscriber holds this adapter weakly, so after the sensor is freed its events
    // reach nobody.
    Subscription addConnectionState(const HostTarget<ConnectionStateCallback>& host);

private:
    const std::shared_ptr<Sensor::ISensor> sensor_;
};

}  // namespace VexaDevice::Api
