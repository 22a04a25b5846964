#pragma once
// What the exported functions can do with one sensor, through the interface of the device
// class that was actually built for it. FamilyAccess answers what every family answers: the
// name, address, serial number, state and connection bus from the family's interface, and the
// reads and registrations any family may offer (bytes, ints, version, channels, value events,
// motion and photoplethysmogram data) as slots bound to the device object by the family's table;
// a slot the table leaves empty answers as a family without the parameter (121) or without the
// event (124). What only some families have (their records, signal and resistance deliveries)
// is a view the family's adapter offers (`view<View>()`); the exports of those families refuse
// a sensor whose adapter offers none with the same 121 or 124. The adapter is made together
// with the device object, so the exports never pick an interface from a family or model byte
// that a host could forge.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "sdk/api/FamilyViews.hpp"
#include "sdk/api/HostTarget.hpp"
#include "sdk/api/SlotList.hpp"
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

class FamilyAccess : public std::enable_shared_from_this<FamilyAccess>, public OffersViews {
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

    // The BLE device's payload-free connection bus; every family has one.
    virtual std::weak_ptr<BLE::ConnectionBus> connectionBus() = 0;

    // Registrations: each makes one subscriber on the family's bus, or refuses with 124.
    Subscription addIntValue(IntEvent event, const HostTarget<IntValueCallback>& host) const;
    Subscription addByteValue(ByteEvent event, const HostTarget<ByteValueCallback>& host) const;
    Subscription addMEMSData(const HostTarget<MEMSDataCallback>& host) const;
    Subscription addFPGData(const HostTarget<FPGDataCallback>& host) const;

    // Every family: on each connection event the host receives the state that readState
    // gives. The subscriber holds this adapter weakly, so after the sensor is freed its events
    // reach nobody.
    Subscription addConnectionState(const HostTarget<ConnectionStateCallback>& host);

private:
    const std::shared_ptr<Sensor::ISensor> sensor_;
    const AccessSlots slots_;
};

}  // namespace VexaDevice::Api
