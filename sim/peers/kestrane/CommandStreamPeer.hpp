#pragma once
// An emulated command-and-stream device on the simulated radio: Device Information service and
// the service 7E400001-B534-F393-68A9-E50E24DCCAxx with status (read, notify), command (write),
// signal and resistance data (notify) and, where the settings say so, motion and
// photoplethysmogram data (notify). It answers every frame with a status notification and, on
// its own thread, streams one pack per period of every running stream.
//
//   auto radio = VexaSim::SimRadio::create();
//   auto device = VexaSim::CommandStreamPeer::attach(*radio, 0xA1B2C3D4E5F6, VexaSim::wrenletSettings(...));

#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

#include "sim/peers/common/PeerBase.hpp"
#include "sim/peers/kestrane/CommandStreamPeerModel.hpp"
#include "sim/radio/SimRadio.hpp"

namespace VexaSim {

struct CommandStreamPeerTiming {
    // One pack of every running stream per period.
    std::chrono::microseconds notificationPeriod{32000};
};

class CommandStreamPeer final : public PeerBase<CommandStreamPeerModel> {
public:
    static std::shared_ptr<CommandStreamPeer> attach(SimRadio& radio, uint64_t address,
                                                     CommandStreamPeerSettings settings,
                                                     CommandStreamPeerTiming timing = {});

    uint8_t mode() const;
    uint32_t samplesPerPack() const;
    std::vector<uint8_t> amplifierFrame() const;
    std::vector<std::vector<uint8_t>> pings() const;

private:
    CommandStreamPeer(std::shared_ptr<SimPeripheral> peripheral, CommandStreamPeerSettings settings,
                      CommandStreamPeerTiming timing);
};

}  // namespace VexaSim
