#include "sim/peers/kestrane/CommandStreamPeer.hpp"

#include "sim/peers/kestrane/KestranePeerService.hpp"

namespace VexaSim {

using Role = VexaDevice::Kestrane::KestraneRole;
using Packs = CommandStreamPeerModel::Packs;

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
    addDeviceInformation(*peripheral_, kept.information);
    const KestranePeerService layout{kept.suffix};
    auto service = addCommandService(layout.service(), layout.status(), layout.command());
    pumpPacks(timing.notificationPeriod, {{layout.stream(*service, Role::Signal), &Packs::signal},
                                          {layout.stream(*service, Role::Resist), &Packs::resist},
                                          {layout.stream(*service, Role::Motion, kept.hasMotion), &Packs::motion},
                                          {layout.stream(*service, Role::Fpg, kept.hasFpg), &Packs::fpg}});
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
