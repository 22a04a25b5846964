#pragma once
// The protocol of the second Vondra generation (model byte 3 and above): four channels,
// published as Kestrane records.

#include <memory>
#include <vector>

#include "sdk/devices/kestrane/KestraneRecords.hpp"
#include "sdk/devices/vondra/VondraProtocolBase.hpp"

namespace VexaDevice::Vondra2 {

class Vondra2BLEProtocol final : public Vondra::VondraProtocolBase {
public:
    using SignalBus = Utility::EventBus<std::vector<Kestrane::_SignalData>>;
    using ResistBus = Utility::EventBus<std::vector<Kestrane::_ResistData>>;

    ~Vondra2BLEProtocol() override;

    std::weak_ptr<SignalBus> signalEvent() const { return signalBus_; }
    std::weak_ptr<ResistBus> resistEvent() const { return resistBus_; }

private:
    friend struct Devices::ProtocolStart;
    Vondra2BLEProtocol(std::shared_ptr<BLE::IBLEDevice> device, BLE::ServiceChannels deviceInformation,
                       const Devices::ProtocolTiming& timing);

    void publishSignal(std::span<const Kestrane::_SignalData> records) override;
    void publishResist(std::span<const Kestrane::_ResistData> records) override;

    const std::shared_ptr<SignalBus> signalBus_;
    const std::shared_ptr<ResistBus> resistBus_;
};

// Construction failures pass unchanged (rt_exception, or another standard exception).
std::shared_ptr<Vondra2BLEProtocol> makeVondra2BLEProtocol(std::shared_ptr<BLE::IBLEDevice> device,
                                                           BLE::ServiceChannels deviceInformation,
                                                           const Devices::ProtocolTiming& timing = {});

}  // namespace VexaDevice::Vondra2
