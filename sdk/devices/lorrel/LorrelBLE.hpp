#pragma once
// The Lorrel headband: one class for every model. Model bytes 0 to 2 speak the Lorrel protocol,
// 3 and 4 the first Wrenlet protocol, 5 and above the second; the object holds the one its model
// needs and forwards every operation to it.

#include <cstdint>
#include <memory>

#include "sdk/ble/IBLEDevice.hpp"
#include "sdk/devices/common/MeasuringSet.hpp"
#include "sdk/devices/common/ProtocolTiming.hpp"
#include "sdk/devices/common/StreamSet.hpp"
#include "sdk/devices/kestrane/WrenletHeadband.hpp"
#include "sdk/devices/lorrel/ILorrel.hpp"
#include "sdk/devices/lorrel/LorrelBleProtocol.hpp"

namespace VexaDevice::Lorrel {

class LorrelBLE final : public Kestrane::WrenletHeadband<ILorrel, LorrelBleProtocol>,
                        public Devices::MeasuringSet<ILorrel, LorrelBLE>,
                        public Devices::StreamSet<ILorrel, LorrelBLE> {
public:
    // Throws std::runtime_error "Cannot create Lorrel BLE Device: " and the protocol's failure.
    LorrelBLE(std::shared_ptr<BLE::IBLEDevice> device, uint8_t model, const Devices::ProtocolTiming& timing = {});
    // Powers a connected device down and lets go of the link.
    ~LorrelBLE() override;

private:
    // The protocol of the model byte.
    static ProtocolSlot protocolOf(uint8_t model, const std::shared_ptr<BLE::IBLEDevice>& ble,
                                   BLE::ServiceChannels information, const Devices::ProtocolTiming& timing);
};

}  // namespace VexaDevice::Lorrel
