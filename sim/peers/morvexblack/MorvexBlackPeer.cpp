#include "sim/peers/morvexblack/MorvexBlackPeer.hpp"

#include "sim/peers/kestrane/KestranePeerService.hpp"

namespace VexaSim {

std::shared_ptr<MorvexBlackPeer> MorvexBlackPeer::attach(SimRadio& radio, uint64_t address,
                                                         MorvexBlackPeerSettings settings, KestranePeerTiming timing) {
    auto peripheral = radio.addPeripheral(address, settings.name);
    return std::shared_ptr<MorvexBlackPeer>(new MorvexBlackPeer(std::move(peripheral), std::move(settings), timing));
}

MorvexBlackPeer::MorvexBlackPeer(std::shared_ptr<SimPeripheral> peripheral, MorvexBlackPeerSettings settings,
                                 KestranePeerTiming timing)
    : KestraneStreamPeer(std::move(peripheral), std::move(settings)) {
    const MorvexBlackPeerSettings& kept = device_->model.settings();
    layOut("90", timing,
           {{Role::Signal, &Packs::signal},
            {Role::Motion, &Packs::motion, kept.hasMotion},
            {Role::Fpg, &Packs::fpg, kept.hasFpg}});
}

void MorvexBlackPeer::setStaleFirst(bool staleFirst) {
    withModel([staleFirst](MorvexBlackPeerModel& model) { model.setStaleFirst(staleFirst); });
}

}  // namespace VexaSim
