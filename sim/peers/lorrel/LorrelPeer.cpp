#include "sim/peers/lorrel/LorrelPeer.hpp"

#include "sim/peers/kestrane/KestranePeerService.hpp"

namespace VexaSim {

std::shared_ptr<LorrelPeer> LorrelPeer::attach(SimRadio& radio, uint64_t address, LorrelPeerSettings settings,
                                               KestranePeerTiming timing) {
    auto peripheral = radio.addPeripheral(address, settings.name);
    return std::shared_ptr<LorrelPeer>(new LorrelPeer(std::move(peripheral), std::move(settings), timing));
}

LorrelPeer::LorrelPeer(std::shared_ptr<SimPeripheral> peripheral, LorrelPeerSettings settings,
                       KestranePeerTiming timing)
    : KestraneStreamPeer(std::move(peripheral), std::move(settings)) {
    const LorrelPeerSettings& kept = device_->model.settings();
    layOut("95", timing,
           {{Role::Envelope},
            {Role::Signal, &Packs::signal},
            {Role::Motion, &Packs::motion, kept.hasMotion},
            {Role::Fpg, &Packs::fpg, kept.hasFpg}});
}

}  // namespace VexaSim
