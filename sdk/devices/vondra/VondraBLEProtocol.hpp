#pragma once
// The protocol of the first Vondra generation: seven channels, published as Vondra records.

#include <memory>
#include <vector>

#include "sdk/devices/vondra/VondraProtocolBase.hpp"

namespace VexaDevice::Vondra {

class VondraBLEProtocol final : public VondraProtocolBase {
public:
    using SignalBus = Utility::EventBus<std::vector<_VondraSignalData>>;
    using ResistBus = Utility::EventBus<std::vector<_VondraResistData>>;

    ~VondraBLEProtocol() override;

    std::weak_ptr<SignalBus> signalEvent() const { return signalBus_; }
    std::weak_ptr<ResistBus> resistEvent() const { return resistBus_; }

private:
    friend struct Devices::ProtocolStart;
    VondraBLEProtocol(std::shared_ptr<BLE::IBLEDevice> device, BLE::ServiceChannels deviceInformation,
                      const Devices::ProtocolTiming& timing);

    void publishSignal(std::span<const Kestrane::_SignalData> records) override;
    void publishResist(std::span<const Kestrane::_ResistData> records) override;

    const std::shared_ptr<SignalBus> signalBus_;
    const std::shared_ptr<ResistBus> resistBus_;
};

// Throws rt_exception "Failed create Vondra BLE Protocol: ..." (or the device's own text for a
// library exception) when the device cannot be driven.
std::shared_ptr<VondraBLEProtocol> makeVondraBLEProtocol(std::shared_ptr<BLE::IBLEDevice> device,
                                                         BLE::ServiceChannels deviceInformation,
                                                         const Devices::ProtocolTiming& timing = {});

}  // namespace VexaDevice::Vondra
