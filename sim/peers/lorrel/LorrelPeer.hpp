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

#include <cstdint>
#include <memory>
#include <vector>

#include "sim/peers/kestrane/KestraneStreamPeer.hpp"
#include "sim/peers/lorrel/LorrelPeerModel.hpp"
#include "sim/radio/SimRadio.hpp"

namespace VexaSim {

class LorrelPeer final : public KestraneStreamPeer<LorrelPeerModel> {
public:
    static std::shared_ptr<LorrelPeer> attach(SimRadio& radio, uint64_t address, LorrelPeerSettings settings = {},
                                              KestranePeerTiming timing = {});

private:
    LorrelPeer(std::shared_ptr<SimPeripheral> peripheral, LorrelPeerSettings settings, KestranePeerTiming timing);
};

}  // namespace VexaSim
