#pragma once
// What the exported functions can do with one sensor, through the interface of the device
// class that was actually built for it. The reads and registrations every kind of family can
// offer (bytes, ints, version, channels, value events, motion and photoplethysmogram data) are
// slots bound to the device object, given by the family's table; a family adapter derives from
// FamilyAccess and overrides only its own records and reads. Everything else answers as a
// family without the parameter (121) or without the event (124). The adapter is made together
// with the device object, so the exports never pick an interface from a family or model byte
// that a host could forge.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
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

template <class Key, class Slot>
using SlotList = std::vector<std::pair<Key, Slot>>;

// The slot of `key`, or null.
template <class Key, class Slot>
const Slot* slotOf(const SlotList<Key, Slot>& slots, Key key) {
    for (const auto& [slotKey, slot] : slots) {
        if (slotKey == key) {
            return &slot;
        }
    }
    return nullptr;
}

template <class Value>
using BoundRead = std::function<OperationResult(Value&)>;
template <class Callback>
using BoundEvent = std::function<Subscription(const HostTarget<Callback>&)>;

// A family's table slots, each bound to its device object; an empty slot or list: the family
// has none.
struct AccessSlots {
    SlotList<ByteParameter, BoundRead<uint8_t>> bytes{};
    SlotList<IntParameter, BoundRead<int32_t>> ints{};
    BoundRead<SensorVersion> version{};
    BoundRead<std::vector<Sensor::EEGChannelInfo>> supportedChannels{};
    SlotList<IntEvent, BoundEvent<IntValueCallback>> intEvents{};
    SlotList<ByteEvent, BoundEvent<ByteValueCallback>> byteEvents{};
    BoundEvent<MEMSDataCallback> memsData{};
    BoundEvent<FPGDataCallback> fpgData{};
};

class FamilyAccess : public std::enable_shared_from_this<FamilyAccess> {
public:
    // The slots refer to the sensor, which the adapter keeps.
    explicit FamilyAccess(std::shared_ptr<Sensor::ISensor> sensor, AccessSlots slots = {});
    virtual ~FamilyAccess() = default;
    FamilyAccess(const FamilyAccess&) = delete;
    FamilyAccess& operator=(const FamilyAccess&) = delete;

    Sensor::ISensor& sensor() const { return *sensor_; }

    // Reads: the value is written whatever the result says.
    OperationResult readByte(ByteParameter parameter, uint8_t& out) const;
    OperationResult readInt(IntParameter parameter, int32_t& out) const;
    OperationResult readVersion(SensorVersion& out) const;
    OperationResult readSupportedChannels(std::vector<Sensor::EEGChannelInfo>& out) const;
    virtual OperationResult readText(TextParameter parameter, std::string& out);
    virtual OperationResult readState(int32_t& out);
    virtual OperationResult readPhotoStimTimeDefer(double& out);
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
    virtual OperationResult readStimPrograms(std::vector<StimulProgram>& out);
    // The active hardware filters in ascending order.
    virtual OperationResult readHardwareFilters(std::vector<uint8_t>& out);

    // The BLE device's payload-free connection bus; every family has one.
    virtual std::weak_ptr<BLE::ConnectionBus> connectionBus() = 0;

    // Registrations: each makes one subscriber on the family's bus, or refuses with 124.
    Subscription addIntValue(IntEvent event, const HostTarget<IntValueCallback>& host) const;
    Subscription addByteValue(ByteEvent event, const HostTarget<ByteValueCallback>& host) const;
    Subscription addMEMSData(const HostTarget<MEMSDataCallback>& host) const;
    Subscription addFPGData(const HostTarget<FPGDataCallback>& host) const;
    virtual Subscription addSignalDataMorvex(const HostTarget<MorvexSignalCallback>& host);
    virtual Subscription addResistMorvex(const HostTarget<MorvexResistCallback>& host);
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
    virtual Subscription addQuaternionData(const HostTarget<QuaternionDataCallback>& host);
    virtual Subscription addEnvelopeTessel(const HostTarget<EnvelopeDataCallback>& host);
    virtual Subscription addSignalTessel(const HostTarget<TesselSamplesCallback>& host);
    virtual Subscription addRespirationTessel(const HostTarget<TesselSamplesCallback>& host);

    // Every family: on each connection event the host receives the state that readState
    // gives. The subscriber holds this adapter weakly, so after the sensor is freed its events
    // reach nobody.
    Subscription addConnectionState(const HostTarget<ConnectionStateCallback>& host);

private:
    const std::shared_ptr<Sensor::ISensor> sensor_;
    const AccessSlots slots_;
};

}  // namespace VexaDevice::Api
