#include "sim/peers/photostim/PhotoStimPeer.hpp"

#include "sim/peers/common/BatteryServicePeer.hpp"

namespace VexaSim {

std::shared_ptr<PhotoStimPeer> PhotoStimPeer::attach(SimRadio& radio, uint64_t address,
                                                     PhotoStimPeerSettings settings) {
    auto peripheral = radio.addPeripheral(address, settings.name);
    std::shared_ptr<PhotoStimPeer> peer(new PhotoStimPeer(std::move(peripheral), settings));
    peer->joinLink(peer);
    return peer;
}

PhotoStimPeer::PhotoStimPeer(std::shared_ptr<SimPeripheral> peripheral, const PhotoStimPeerSettings& settings)
    : PtsServicePeer(peripheral, settings.stimulator) {
    addDeviceInformation(*peripheral_, settings.information);
    battery_ = addBatteryService(*peripheral_, settings.battery);
}

void PhotoStimPeer::setBatteryLevel(uint8_t level) { announceBatteryLevel(*battery_, level); }

}  // namespace VexaSim
