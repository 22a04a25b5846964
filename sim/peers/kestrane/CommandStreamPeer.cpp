#include "sim/peers/kestrane/CommandStreamPeer.hpp"

#include "sim/peers/kestrane/KestranePeerService.hpp"

namespace VexaSim {

std::shared_ptr<CommandStreamPeer> CommandStreamPeer::attach(SimRadio& radio, uint64_t address,
                                                             CommandStreamPeerSettings settings,
                                                             KestranePeerTiming timing) {
    auto peripheral = radio.addPeripheral(address, settings.name);
    return std::shared_ptr<CommandStreamPeer>(
        new CommandStreamPeer(std::move(peripheral), std::move(settings), timing));
}

CommandStreamPeer::CommandStreamPeer(std::shared_ptr<SimPeripheral> peripheral, CommandStreamPeerSettings settings,
                                     KestranePeerTiming timing)
    : KestraneStreamPeer(std::move(peripheral), std::move(settings)) {
    const CommandStreamPeerSettings& kept = device_->model.settings();
    layOut(kept.suffix, timing,
           {{Role::Signal, &Packs::signal},
            {Role::Resist, &Packs::resist},
            {Role::Motion, &Packs::motion, kept.hasMotion},
            {Role::Fpg, &Packs::fpg, kept.hasFpg}});
    setAnswerOrder(kept.answerOrder);
}

uint32_t CommandStreamPeer::samplesPerPack() const {
    return withModel([](const CommandStreamPeerModel& model) { return model.samplesPerPack(); });
}

std::vector<uint8_t> CommandStreamPeer::amplifierFrame() const {
    return withModel([](const CommandStreamPeerModel& model) { return model.amplifierFrame(); });
}

}  // namespace VexaSim
