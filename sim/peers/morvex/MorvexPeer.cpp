#include "sim/peers/morvex/MorvexPeer.hpp"

#include "sdk/devices/morvex/MorvexGatt.hpp"

namespace VexaSim {

namespace Property = VexaDevice::BLE::Platform::CharacteristicProperty;
namespace Gatt = VexaDevice::Morvex;

std::shared_ptr<MorvexPeer> MorvexPeer::attach(SimRadio& radio, uint64_t address, MorvexPeerSettings settings,
                                               MorvexPeerTiming timing) {
    auto peripheral = radio.addPeripheral(address, "Morvex");
    return std::shared_ptr<MorvexPeer>(new MorvexPeer(std::move(peripheral), std::move(settings), timing));
}

MorvexPeer::MorvexPeer(std::shared_ptr<SimPeripheral> peripheral, MorvexPeerSettings settings, MorvexPeerTiming timing)
    : PeerBase(std::move(peripheral), std::move(settings)) {
    addDeviceInformation(*peripheral_, device_->model.settings());
    auto service = addCommandService(Gatt::MorvexServiceUuid, Gatt::MorvexStatusUuid, Gatt::MorvexCommandUuid);
    data_ = service->addCharacteristic(Gatt::MorvexDataUuid, Property::Notify);
    // Several packs may go in one notification. They are sent under the model's lock, as the status
    // answers are: a pack made in one state never follows the status announcing the next.
    startPump(timing.notificationPeriod,
              [device = device_, data = data_, sent = packsSent_, packs = timing.packsPerNotification] {
                  std::lock_guard lock(device->mutex);
                  std::vector<uint8_t> notification;
                  for (int i = 0; i < packs; ++i) {
                      const auto pack = device->model.nextPack();
                      if (!pack) break;
                      notification.insert(notification.end(), pack->begin(), pack->end());
                  }
                  if (!notification.empty() && data->notify(std::move(notification)))
                      *sent += static_cast<uint64_t>(packs);
              });
}

uint8_t MorvexPeer::state() const {
    return withModel([](const MorvexPeerModel& model) { return model.state(); });
}

void MorvexPeer::setResistance(uint8_t electrode, double ohms) {
    withModel([electrode, ohms](MorvexPeerModel& model) { model.setResistance(electrode, ohms); });
}

}  // namespace VexaSim
