#pragma once
// An emulated MorvexBlack device (first hardware variant) on the simulated radio: Device
// Information service and the service 7E400001-B534-F393-68A9-E50E24DCCA90 with status (read,
// notify), command (write), signal data (notify) and, where the settings say so, motion and
// photoplethysmogram data (notify). It answers mode frames with status notifications and, on its
// own thread, streams one pack per period of every running stream.
//
//   auto radio = VexaSim::SimRadio::create();
//   auto device = VexaSim::MorvexBlackPeer::attach(*radio, 0xA1B2C3D4E5F6);

#include <cstdint>
#include <memory>
#include <vector>

#include "sim/peers/kestrane/KestraneStreamPeer.hpp"
#include "sim/peers/morvexblack/MorvexBlackPeerModel.hpp"
#include "sim/radio/SimRadio.hpp"

namespace VexaSim {

class MorvexBlackPeer final : public KestraneStreamPeer<MorvexBlackPeerModel> {
public:
    static std::shared_ptr<MorvexBlackPeer> attach(SimRadio& radio, uint64_t address,
                                                   MorvexBlackPeerSettings settings = {},
                                                   KestranePeerTiming timing = {});

    void setStaleFirst(bool staleFirst);

private:
    MorvexBlackPeer(std::shared_ptr<SimPeripheral> peripheral, MorvexBlackPeerSettings settings,
                    KestranePeerTiming timing);
};

}  // namespace VexaSim
