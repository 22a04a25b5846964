#include "sim/peers/kestrane/CommandStreamPeer.hpp"

#include "sdk/devices/kestrane/KestraneGatt.hpp"

namespace VexaSim {

namespace {

namespace Property = VexaDevice::BLE::Platform::CharacteristicProperty;
using VexaDevice::Kestrane::KestraneRole;
using VexaDevice::Kestrane::kestraneUuid;
using Packs = CommandStreamPeerModel::Packs;

}  // namespace

std::shared_ptr<CommandStreamPeer> CommandStreamPeer::attach(SimRadio& radio, uint64_t address,
                                                             CommandStreamPeerSettings settings,
                                                             CommandStreamPeerTiming timing)
{
    auto peripheral = radio.addPeripheral(address, settings.name);
    return std::shared_ptr<CommandStreamPeer>(new CommandStreamPeer(std::move(peripheral), std::move(settings), timing));
}

CommandStreamPeer::CommandStreamPeer(std::shared_ptr<SimPeripheral> peripheral, CommandStreamPeerSettings settings,
                                     CommandStreamPeerTiming timing)
    : PeerBase(std::move(peripheral), std::move(settings))
{
    const CommandStreamPeerSettings& kept = device_->model.settings();
    const std::string& suffix = kept.suffix;
    addDeviceInformation(*peripheral_, kept.information);
    auto service = addCommandService(kestraneUuid(suffix, KestraneRole::Service),
                                     kestraneUuid(suffix, KestraneRole::Status),
                                     kestraneUuid(suffix, KestraneRole::Command));
    auto stream = [&](KestraneRole role, bool present) {
        return present ? service->addCharacteristic(kestraneUuid(suffix, role), Property::Notify) : nullptr;
    };
    pumpPacks(timing.notificationPeriod, {{stream(KestraneRole::Signal, true), &Packs::signal},
                                          {stream(KestraneRole::Resist, true), &Packs::resist},
                                          {stream(KestraneRole::Motion, kept.hasMotion), &Packs::motion},
                                          {stream(KestraneRole::Fpg, kept.hasFpg), &Packs::fpg}});
}

uint8_t CommandStreamPeer::mode() const
{
    return withModel([](const CommandStreamPeerModel& model) { return model.mode(); });
}

uint32_t CommandStreamPeer::samplesPerPack() const
{
    return withModel([](const CommandStreamPeerModel& model) { return model.samplesPerPack(); });
}

std::vector<uint8_t> CommandStreamPeer::amplifierFrame() const
{
    return withModel([](const CommandStreamPeerModel& model) { return model.amplifierFrame(); });
}

std::vector<std::vector<uint8_t>> CommandStreamPeer::pings() const
{
    return withModel([](const CommandStreamPeerModel& model) { return model.pings(); });
}

}  // namespace VexaSim
