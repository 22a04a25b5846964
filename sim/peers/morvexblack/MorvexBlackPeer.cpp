#include "sim/peers/morvexblack/MorvexBlackPeer.hpp"

#include "sim/peers/kestrane/KestranePeerService.hpp"

namespace VexaSim {

using Role = VexaDevice::Kestrane::KestraneRole;
using Packs = MorvexBlackPeerModel::Packs;

std::shared_ptr<MorvexBlackPeer> MorvexBlackPeer::attach(SimRadio& radio, uint64_t address,
                                                         MorvexBlackPeerSettings settings, MorvexBlackPeerTiming timing)
{
    auto peripheral = radio.addPeripheral(address, settings.name);
    return std::shared_ptr<MorvexBlackPeer>(new MorvexBlackPeer(std::move(peripheral), std::move(settings), timing));
}

MorvexBlackPeer::MorvexBlackPeer(std::shared_ptr<SimPeripheral> peripheral, MorvexBlackPeerSettings settings,
                                 MorvexBlackPeerTiming timing)
    : PeerBase(std::move(peripheral), std::move(settings))
{
    const MorvexBlackPeerSettings& kept = device_->model.settings();
    addDeviceInformation(*peripheral_, kept.information);
    const KestranePeerService layout{"90"};
    auto service = addCommandService(layout.service(), layout.status(), layout.command());
    pumpPacks(timing.notificationPeriod, {{layout.stream(*service, Role::Signal), &Packs::signal},
                                          {layout.stream(*service, Role::Motion, kept.hasMotion), &Packs::motion},
                                          {layout.stream(*service, Role::Fpg, kept.hasFpg), &Packs::fpg}});
}

uint8_t MorvexBlackPeer::mode() const
{
    return withModel([](const MorvexBlackPeerModel& model) { return model.mode(); });
}

bool MorvexBlackPeer::motionRunning() const
{
    return withModel([](const MorvexBlackPeerModel& model) { return model.motionRunning(); });
}

bool MorvexBlackPeer::fpgRunning() const
{
    return withModel([](const MorvexBlackPeerModel& model) { return model.fpgRunning(); });
}

std::vector<uint8_t> MorvexBlackPeer::gainCodes() const
{
    return withModel([](const MorvexBlackPeerModel& model) { return model.gainCodes(); });
}

std::vector<std::vector<uint8_t>> MorvexBlackPeer::pings() const
{
    return withModel([](const MorvexBlackPeerModel& model) { return model.pings(); });
}

void MorvexBlackPeer::setStaleFirst(bool staleFirst)
{
    withModel([staleFirst](MorvexBlackPeerModel& model) { model.setStaleFirst(staleFirst); });
}

}  // namespace VexaSim
