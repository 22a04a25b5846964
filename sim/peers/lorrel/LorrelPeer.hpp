#pragma once
// An emulated Lorrel headband of the first models on the simulated radio: Device Information
// service and the service 7E400001-B534-F393-68A9-E50E24DCCA95 with status (read, notify),
// command (write), signal (notify), 06 (notify, silent) and, where the settings say so, motion and
// photoplethysmogram (notify). It answers every frame but the ping with a status notification and,
// on its own thread, streams one pack per period of every running stream. The later models speak
// the Wrenlet protocols: VexaSim::wrenletSettings with model 'P' emulates them.
//
//   auto radio = VexaSim::SimRadio::create();
//   auto device = VexaSim::LorrelPeer::attach(*radio, 0xA1B2C3D4E5F6);

#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

#include "sim/peers/common/PeerBase.hpp"
#include "sim/peers/lorrel/LorrelPeerModel.hpp"
#include "sim/radio/SimRadio.hpp"

namespace VexaSim {

struct LorrelPeerTiming {
    // One pack of every running stream per period.
    std::chrono::microseconds notificationPeriod{32000};
};

class LorrelPeer final : public PeerBase<LorrelPeerModel> {
public:
    static std::shared_ptr<LorrelPeer> attach(SimRadio& radio, uint64_t address, LorrelPeerSettings settings = {},
                                              LorrelPeerTiming timing = {});

    uint8_t mode() const;
    bool motionRunning() const;
    bool fpgRunning() const;
    std::vector<uint8_t> gainCodes() const;
    std::vector<std::vector<uint8_t>> pings() const;

private:
    LorrelPeer(std::shared_ptr<SimPeripheral> peripheral, LorrelPeerSettings settings, LorrelPeerTiming timing);
};

}  // namespace VexaSim
