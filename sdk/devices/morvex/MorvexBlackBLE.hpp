#pragma once
// The MorvexBlack device: three hardware variants behind one class. Variant 0 speaks the
// MorvexBlack protocol, variant 1 the first Wrenlet protocol, variants 2 and above the second;
// the object holds the one its variant needs and, on the shared stream-device base, forwards
// every operation to it.

#include <cstdint>
#include <memory>

#include "sdk/ble/IBLEDevice.hpp"
#include "sdk/devices/common/MeasuringSet.hpp"
#include "sdk/devices/common/ProtocolTiming.hpp"
#include "sdk/devices/common/StreamSet.hpp"
#include "sdk/devices/kestrane/WrenletHeadband.hpp"
#include "sdk/devices/morvex/IMorvexBlack.hpp"
#include "sdk/devices/morvex/MorvexBlackBleProtocol.hpp"

namespace VexaDevice::MorvexBlack {

class MorvexBLE final : public Kestrane::WrenletHeadband<IMorvex, MorvexBleProtocol>,
                        public Devices::MeasuringSet<IMorvex, MorvexBLE>,
                        public Devices::StreamSet<IMorvex, MorvexBLE> {
public:
    // Throws rt_exception from the protocol unchanged, std::runtime_error "Cannot create Morvex
    // BLE Device: ..." for anything else.
    MorvexBLE(std::shared_ptr<BLE::IBLEDevice> device, const uint8_t& variant,
              const Devices::ProtocolTiming& timing = {});
    // Powers the device down, marks the protocol disconnected and drops the link.
    ~MorvexBLE() override;

    OperationResult readFirmwareMode(int32_t& out) override;
    int32_t readBattPower() override;
};

std::shared_ptr<MorvexBLE> makeMorvexBlackBLE(std::shared_ptr<BLE::IBLEDevice> device, const uint8_t& variant,
                                              const Devices::ProtocolTiming& timing = {});

}  // namespace VexaDevice::MorvexBlack
