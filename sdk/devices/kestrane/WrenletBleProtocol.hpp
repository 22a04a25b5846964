#pragma once
// The Wrenlet-type sensors: four EEG channels with resistance, and motion and
// photoplethysmogram streams where the device has them. Two generations speak the same
// protocol and differ only in the width of their pack counters, the byte order of their signal,
// motion and photoplethysmogram packs and the model codes they accept; one class serves both,
// built by makeWrenletBleProtocol (first) or makeWrenletBleProtocol2 (second).

#include <array>
#include <cstdint>
#include <memory>

#include "sdk/devices/kestrane/CommandStreamProtocol.hpp"
#include "sdk/devices/kestrane/WrenletRecords.hpp"

namespace VexaDevice::Kestrane {

enum class WrenletGeneration : uint8_t { First, Second };

class WrenletBleProtocol final : public CommandStreamProtocol {
public:
    static constexpr uint32_t ChannelCount = 4;

    // Gains, signal and resistance flags of channels 0-3 and the current: {517, ...} for a value
    // the amplifier cannot take, else the device's answer.
    OperationResult setAmplifierParam(const WrenletAmplifierParam& param);
    // The last setting the device accepted.
    OperationResult amplifierParam(WrenletAmplifierParam& out) const;

    WrenletGeneration generation() const { return generation_; }

private:
    friend struct Devices::ProtocolStart;
    WrenletBleProtocol(std::shared_ptr<BLE::IBLEDevice> device, BLE::ServiceChannels deviceInformation,
                       WrenletGeneration generation, const Devices::ProtocolTiming& timing);

    StreamLayout layoutFor(const DeviceVersion& version) const override;
    void configureDevice() override;

    const WrenletGeneration generation_;
    WrenletAmplifierParam amplifier_;  // guarded by the command lock
};

// Throw rt_exception "Failed create Lorrel Black BLE Protocol: ..." (first generation) or
// "Failed create Wrenlet BLE Protocol: ..." (second) when the device cannot be driven.
std::shared_ptr<WrenletBleProtocol> makeWrenletBleProtocol(std::shared_ptr<BLE::IBLEDevice> device,
                                                           BLE::ServiceChannels deviceInformation,
                                                           const Devices::ProtocolTiming& timing = {});
std::shared_ptr<WrenletBleProtocol> makeWrenletBleProtocol2(std::shared_ptr<BLE::IBLEDevice> device,
                                                            BLE::ServiceChannels deviceInformation,
                                                            const Devices::ProtocolTiming& timing = {});

}  // namespace VexaDevice::Kestrane
