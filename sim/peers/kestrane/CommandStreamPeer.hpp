#pragma once
// An emulated command-and-stream device on the simulated radio: Device Information service and
// the service 7E400001-B534-F393-68A9-E50E24DCCAxx with status (read, notify), command (write),
// signal and resistance data (notify) and, where the settings say so, motion and
// photoplethysmogram data (notify). It answers every frame with a status notification and, on
// its own thread, streams one pack per period of every running stream.
//
//   auto radio = VexaSim::SimRadio::create();
//   auto device = VexaSim::CommandStreamPeer::attach(*radio, 0xA1B2C3D4E5F6, VexaSim::wrenletSettings(...));

#include <cstdint>
#include <memory>
#include <vector>

#include "sim/peers/kestrane/CommandStreamPeerModel.hpp"
#include "sim/peers/kestrane/KestraneStreamPeer.hpp"
#include "sim/radio/SimRadio.hpp"

namespace VexaSim {

class CommandStreamPeer final : public KestraneStreamPeer<CommandStreamPeerModel> {
public:
    static std::shared_ptr<CommandStreamPeer> attach(SimRadio& radio, uint64_t address,
                                                     CommandStreamPeerSettings settings,
                                                     KestranePeerTiming timing = {});

    uint32_t samplesPerPack() const;
    std::vector<uint8_t> amplifierFrame() const;

private:
    CommandStreamPeer(std::shared_ptr<SimPeripheral> peripheral, CommandStreamPeerSettings settings,
                      KestranePeerTiming timing);
};

}  // namespace VexaSim
