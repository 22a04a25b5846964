#pragma once
// The photo-stimulation service of an emulated device: a Status characteristic (read, notify)
// with 20-byte status packs, a Config characteristic (read, write) holding the 128-byte
// program packet, and a Command characteristic (write) for reset [1], prepare synchronisation
// [2], synchronise [3], start at a tick [4, t0..t3] and stop [5]. Every change of state is
// announced with a status notification; a read gives the status with the time of the read.
//
// Device states on the wire: 0 idle, 1 synchronisation prepared, 2 synchronised, 3 running.
// A synchronised stimulator reads the time of its sync link (see StimSyncLink.hpp).
//
//   auto pts = VexaSim::PtsServicePeer::add(*peripheral, VexaSim::StimSyncLink::create());

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "sim/peers/photostim/StimSyncLink.hpp"
#include "sim/radio/SimPeripheral.hpp"

namespace VexaSim {

struct PtsPeerSettings {
    // What the free clock of the stimulator reads when the service is added.
    uint32_t ownClockStart = 5000000;
    uint16_t batteryVoltage = 3900;
    uint32_t word = 0;
    uint32_t statusWord = 0;
};

class PtsServicePeer final : public SyncMember, public std::enable_shared_from_this<PtsServicePeer> {
public:
    static constexpr uint8_t Idle = 0;
    static constexpr uint8_t SyncPrepared = 1;
    static constexpr uint8_t Synchronised = 2;
    static constexpr uint8_t Running = 3;

    // Adds the service to the peripheral and joins the link.
    static std::shared_ptr<PtsServicePeer> add(SimPeripheral& peripheral, std::shared_ptr<StimSyncLink> link,
                                               PtsPeerSettings settings = {});

    uint8_t state() const;
    bool synchronised() const;
    // The stimulator's time now.
    uint32_t now() const;
    // The tick of the last accepted start.
    uint32_t startTick() const;
    // The program packet last written (128 zero bytes at first).
    std::vector<uint8_t> programPacket() const;
    // Every frame written to the Command characteristic, in order.
    std::vector<std::vector<uint8_t>> commands() const { return command_->writes(); }
    const std::shared_ptr<StimSyncLink>& syncLink() const { return link_; }

    std::shared_ptr<SimCharacteristic> statusCharacteristic() const { return status_; }
    std::shared_ptr<SimCharacteristic> configCharacteristic() const { return config_; }
    std::shared_ptr<SimCharacteristic> commandCharacteristic() const { return command_; }

    // A device that takes commands without acting on them.
    void setIgnoring(bool ignoring);
    // A faulty device: every command it acts on leads to `state` instead (nothing: as it should).
    void setAnswerState(std::optional<uint8_t> state);
    // A new battery voltage, announced with a status notification.
    void setBatteryVoltage(uint16_t voltage);
    // Sends these bytes as a status notification, as a faulty device might.
    void sendStatus(std::vector<uint8_t> bytes);

    void onSyncLost() override;

private:
    PtsServicePeer(std::shared_ptr<StimSyncLink> link, PtsPeerSettings settings);
    void buildGatt(SimPeripheral& peripheral);
    // Under `mutex_`.
    std::vector<uint8_t> statusPack() const;
    void enter(uint8_t state);
    void announce();
    void onCommand(const std::vector<uint8_t>& frame);

    const std::shared_ptr<StimSyncLink> link_;
    const StimulatorClock ownClock_;

    mutable std::mutex mutex_;
    PtsPeerSettings settings_;
    uint8_t state_ = Idle;
    bool synchronised_ = false;
    uint32_t startTick_ = 0;
    bool ignoring_ = false;
    std::optional<uint8_t> answerState_;

    std::shared_ptr<SimCharacteristic> status_;
    std::shared_ptr<SimCharacteristic> config_;
    std::shared_ptr<SimCharacteristic> command_;
};

}  // namespace VexaSim
