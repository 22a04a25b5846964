#include "sim/peers/tessel/TesselPeer.hpp"

#include <array>

namespace VexaSim {

namespace {

namespace Property = VexaDevice::BLE::Platform::CharacteristicProperty;

// A characteristic of a set differs from its service in the low digits of the first field:
// 2 for the Tx, 3 for the Rx characteristic.
UUID characteristicOf(UUID service, uint8_t role) {
    service.bytes[3] = role;
    return service;
}

}  // namespace

UUID TesselPeer::serviceUuid(int serviceSet) {
    static const std::array<UUID, 4> services{
        VexaDevice::Utility::parseUuid("3D2F0001-D6B9-11E4-88CF-0002A5D5C51B"),
        VexaDevice::Utility::parseUuid("77FF0001-FA66-11E5-B501-0002A5D5C51B"),
        VexaDevice::Utility::parseUuid("67CF0001-FA71-11E5-80B7-0002A5D5C51B"),
        VexaDevice::Utility::parseUuid("B9390001-FA71-11E5-A787-0002A5D5C51B"),
    };
    return services.at(static_cast<size_t>(serviceSet));
}

std::shared_ptr<TesselPeer> TesselPeer::attach(SimRadio& radio, uint64_t address, TesselPeerSettings settings,
                                               TesselPeerLook look) {
    auto peripheral = radio.addPeripheral(address, look.name);
    return std::shared_ptr<TesselPeer>(new TesselPeer(std::move(peripheral), std::move(settings), look));
}

TesselPeer::TesselPeer(std::shared_ptr<SimPeripheral> peripheral, TesselPeerSettings settings,
                       const TesselPeerLook& look)
    : PeerBase(std::move(peripheral), std::move(settings)) {
    const UUID service = serviceUuid(look.serviceSet);
    addCommandService(service, characteristicOf(service, 0x03), characteristicOf(service, 0x02));
    // The packs of one tick go out one per notification on the Rx characteristic; a device
    // whose link went down stops streaming.
    startPump(look.packPeriod, [device = device_, link = peripheral_] {
        std::vector<std::vector<uint8_t>> packs;
        {
            std::lock_guard lock(device->mutex);
            if (!link->isConnected()) {
                device->model.onLinkLost();
                return;
            }
            packs = device->model.nextPacks();
        }
        for (auto& pack : packs) device->status->notify(std::move(pack));
    });
}

}  // namespace VexaSim
