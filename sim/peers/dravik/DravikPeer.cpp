#include "sim/peers/dravik/DravikPeer.hpp"

#include <string>

namespace VexaSim {

namespace {

namespace Property = VexaDevice::BLE::Platform::CharacteristicProperty;
using VexaDevice::Utility::parseUuid;

// The n-th UUID of the amplifier (ACS) or file-system (FS) service.
UUID acs(int n) { return parseUuid("7E40000" + std::to_string(n) + "-B534-F393-68A9-E50E24DC7297"); }
UUID fs(int n) { return parseUuid("7E40000" + std::to_string(n) + "-B534-F393-68A9-E50E24DC8297"); }

}  // namespace

std::shared_ptr<DravikPeer> DravikPeer::attach(SimRadio& radio, uint64_t address, DravikPeerSettings settings,
                                               DravikPeerTiming timing, std::shared_ptr<StimSyncLink> syncLink) {
    auto peripheral = radio.addPeripheral(address, settings.name);
    return std::shared_ptr<DravikPeer>(
        new DravikPeer(std::move(peripheral), std::move(settings), timing, std::move(syncLink)));
}

DravikPeer::DravikPeer(std::shared_ptr<SimPeripheral> peripheral, DravikPeerSettings settings, DravikPeerTiming timing,
                       std::shared_ptr<StimSyncLink> syncLink)
    : PeerBase(std::move(peripheral), std::move(settings)) {
    const DravikPeerSettings& fixed = device_->model.settings();
    addDeviceInformation(*peripheral_, fixed.information);
    auto battery = peripheral_->addService(parseUuid("0000180F-0000-1000-8000-00805F9B34FB"));
    battery_ = battery->addCharacteristic(parseUuid("00002A19-0000-1000-8000-00805F9B34FB"),
                                          Property::Read | Property::Notify, {fixed.battery});

    auto amplifier = addCommandService(acs(1), acs(2), acs(4));
    acsConfig_ = amplifier->addCharacteristic(acs(3), Property::Read | Property::Write, device_->model.adcConfig());
    acsConfig_->onWrite([weak = std::weak_ptr<Shared>(device_)](const std::vector<uint8_t>& config) {
        if (const auto device = weak.lock()) {
            std::lock_guard lock(device->mutex);
            device->model.setAdcConfig(config);
        }
        return GattStatus::Success;
    });
    auto data = amplifier->addCharacteristic(acs(5), Property::Notify);
    // A measuring amplifier streams while the host polls its status, however late the pump
    // runs: every status read makes it send the pack it holds by then.
    statusCharacteristic()->onRead([weak = std::weak_ptr<Shared>(device_), data] {
        const auto device = weak.lock();
        if (!device) {
            return std::vector<uint8_t>();
        }
        std::lock_guard lock(device->mutex);
        notifyWhenAny(data, device->model.nextPacks().data);
        return device->model.readStatus();
    });
    addFileSystem();
    if (fixed.hasStimulator) {
        pts_ = PtsServicePeer::add(peripheral_, {.link = std::move(syncLink), .syncSource = false});
    }
    pumpPacks(timing.packetPeriod, {{data, &DravikPeerModel::Packs::data}});
}

void DravikPeer::addFileSystem() {
    auto service = peripheral_->addService(fs(1));
    fsStatus_ =
        service->addCharacteristic(fs(2), Property::Read | Property::Notify, device_->model.store().statusValue());
    fsCommand_ = service->addCharacteristic(fs(3), Property::Write);
    auto reply = service->addCharacteristic(fs(4), Property::Notify);
    fsStream_ = service->addCharacteristic(fs(5), Property::Notify);
    fsCommand_->onWrite([weak = std::weak_ptr<Shared>(device_), status = fsStatus_, reply,
                         stream = fsStream_](const std::vector<uint8_t>& frame) {
        if (const auto device = weak.lock()) {
            std::lock_guard lock(device->mutex);
            auto answer = device->model.store().onRequest(frame);
            if (answer.statusChanged) {
                announceFsStatus(status, device->model);
            }
            for (auto& bytes : answer.replies) {
                reply->notify(std::move(bytes));
            }
            for (auto& bytes : answer.stream) {
                stream->notify(std::move(bytes));
            }
        }
        return GattStatus::Success;
    });
}

void DravikPeer::announceFsStatus(const std::shared_ptr<SimCharacteristic>& status, DravikPeerModel& model) {
    const auto value = model.store().statusValue();
    status->setValue(value);
    status->notify(value);
}

void DravikPeer::setBattery(uint8_t level) {
    withModel([level](DravikPeerModel& model) { model.setBattery(level); });
    battery_->setValue({level});
    battery_->notify({level});
}

}  // namespace VexaSim
