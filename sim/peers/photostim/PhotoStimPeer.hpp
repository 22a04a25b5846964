#pragma once
// An emulated PhotoStim device on the simulated radio: the Device Information service (model
// 'g'), the Battery service and the photo-stimulation service, whose stimulator is the source
// of its sync link.
//
//   auto radio = VexaSim::SimRadio::create();
//   auto stimulator = VexaSim::PhotoStimPeer::attach(*radio, 0xA1B2C3D4E5F6);

#include <cstdint>
#include <memory>
#include <string>

#include "sim/peers/common/DeviceInformationPeer.hpp"
#include "sim/peers/photostim/PtsServicePeer.hpp"
#include "sim/radio/SimRadio.hpp"

namespace VexaSim {

struct PhotoStimPeerSettings {
    std::string name = "PhotoStim";
    DeviceInformationTexts information{"PS-000021", "103.1", "1.0.0", "2.1.0"};
    uint8_t battery = 85;
    PtsPeerSettings stimulator{};
};

class PhotoStimPeer final : public PtsServicePeer {
public:
    static std::shared_ptr<PhotoStimPeer> attach(SimRadio& radio, uint64_t address,
                                                 PhotoStimPeerSettings settings = {});

    std::shared_ptr<SimCharacteristic> batteryCharacteristic() const { return battery_; }
    // A new battery level, notified.
    void setBatteryLevel(uint8_t level);

private:
    PhotoStimPeer(std::shared_ptr<SimPeripheral> peripheral, const PhotoStimPeerSettings& settings);

    std::shared_ptr<SimCharacteristic> battery_;
};

}  // namespace VexaSim
