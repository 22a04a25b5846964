#include "sim/peers/lorrel/LorrelPeer.hpp"

#include "sdk/devices/kestrane/KestraneGatt.hpp"

namespace VexaSim {

namespace {

namespace Property = VexaDevice::BLE::Platform::CharacteristicProperty;
using VexaDevice::Kestrane::KestraneRole;
using VexaDevice::Kestrane::kestraneUuid;
using Packs = LorrelPeerModel::Packs;

constexpr const char* Suffix = "95";

}  // namespace

std::shared_ptr<LorrelPeer> LorrelPeer::attach(SimRadio& radio, uint64_t address, LorrelPeerSettings settings,
                                               LorrelPeerTiming timing)
{
    auto peripheral = radio.addPeripheral(address, settings.name);
    return std::shared_ptr<LorrelPeer>(new LorrelPeer(std::move(peripheral), std::move(settings), timing));
}

LorrelPeer::LorrelPeer(std::shared_ptr<SimPeripheral> peripheral, LorrelPeerSettings settings,
                       LorrelPeerTiming timing)
    : PeerBase(std::move(peripheral), std::move(settings))
{
    const LorrelPeerSettings& kept = device_->model.settings();
    addDeviceInformation(*peripheral_, kept.information);
    auto service = addCommandService(kestraneUuid(Suffix, KestraneRole::Service),
                                     kestraneUuid(Suffix, KestraneRole::Status),
                                     kestraneUuid(Suffix, KestraneRole::Command));
    auto stream = [&](KestraneRole role, bool present) {
        return present ? service->addCharacteristic(kestraneUuid(Suffix, role), Property::Notify) : nullptr;
    };
    stream(KestraneRole::Envelope, true);
    pumpPacks(timing.notificationPeriod, {{stream(KestraneRole::Signal, true), &Packs::signal},
                                          {stream(KestraneRole::Motion, kept.hasMotion), &Packs::motion},
                                          {stream(KestraneRole::Fpg, kept.hasFpg), &Packs::fpg}});
}

uint8_t LorrelPeer::mode() const
{
    return withModel([](const LorrelPeerModel& model) { return model.mode(); });
}

bool LorrelPeer::motionRunning() const
{
    return withModel([](const LorrelPeerModel& model) { return model.motionRunning(); });
}

bool LorrelPeer::fpgRunning() const
{
    return withModel([](const LorrelPeerModel& model) { return model.fpgRunning(); });
}

std::vector<uint8_t> LorrelPeer::gainCodes() const
{
    return withModel([](const LorrelPeerModel& model) { return model.gainCodes(); });
}

std::vector<std::vector<uint8_t>> LorrelPeer::pings() const
{
    return withModel([](const LorrelPeerModel& model) { return model.pings(); });
}

}  // namespace VexaSim
