#include "sim/peers/lorrel/LorrelPeer.hpp"

#include "sim/peers/kestrane/KestranePeerService.hpp"

namespace VexaSim {

using Role = VexaDevice::Kestrane::KestraneRole;
using Packs = LorrelPeerModel::Packs;

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
    const KestranePeerService layout{"95"};
    auto service = addCommandService(layout.service(), layout.status(), layout.command());
    layout.stream(*service, Role::Envelope);
    pumpPacks(timing.notificationPeriod, {{layout.stream(*service, Role::Signal), &Packs::signal},
                                          {layout.stream(*service, Role::Motion, kept.hasMotion), &Packs::motion},
                                          {layout.stream(*service, Role::Fpg, kept.hasFpg), &Packs::fpg}});
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
