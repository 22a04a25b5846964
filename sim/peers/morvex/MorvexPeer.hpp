#pragma once
// An emulated first-generation Morvex device on the simulated radio: Device Information
// service, status (read, notify), command (write) and data (notify) characteristics. It
// answers every command frame with a status notification, streams the known waveform of
// MorvexPeerModel in the signal state and the test signal of its configured resistances in
// the resistance state, and has the peer base's fault switches.
//
//   auto radio = VexaSim::SimRadio::create();
//   auto device = VexaSim::MorvexPeer::attach(*radio, 0xA1B2C3D4E5F6);
//   ... the library opens 0xA1B2C3D4E5F6 and finds a Morvex device ...
//
// The streaming clock is the peer's own thread; MorvexPeerTiming sets its pace.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>

#include "sim/peers/common/PeerBase.hpp"
#include "sim/peers/morvex/MorvexPeerModel.hpp"
#include "sim/radio/SimRadio.hpp"

namespace VexaSim {

struct MorvexPeerTiming {
    // One notification per period while streaming; the device sends 125 packs a second.
    std::chrono::microseconds notificationPeriod{8000};
    int packsPerNotification = 1;
};

class MorvexPeer final : public PeerBase<MorvexPeerModel> {
public:
    static std::shared_ptr<MorvexPeer> attach(SimRadio& radio, uint64_t address, MorvexPeerSettings settings = {},
                                              MorvexPeerTiming timing = {});

    std::shared_ptr<SimCharacteristic> dataCharacteristic() const { return data_; }
    uint8_t state() const;
    // Packs pushed to the central (while it listened) since attachment.
    uint64_t packsSent() const { return *packsSent_; }
    void setResistance(uint8_t electrode, double ohms);

private:
    MorvexPeer(std::shared_ptr<SimPeripheral> peripheral, MorvexPeerSettings settings, MorvexPeerTiming timing);

    std::shared_ptr<SimCharacteristic> data_;
    // Shared with the pump, which outlives this class's members.
    const std::shared_ptr<std::atomic<uint64_t>> packsSent_ = std::make_shared<std::atomic<uint64_t>>(0);
};

}  // namespace VexaSim
