#pragma once
// The photo-stimulation service of an emulated device on the simulated radio: a Status
// characteristic (read, notify) whose reads carry the time of the read, a Config
// characteristic (read, write) holding the 128-byte program packet, and a Command
// characteristic (write). Every state change is announced with a status notification. The
// PhotoStim peer is one of these with its device's other services; another device that
// carries a stimulator adds one to its own peripheral and follows the PhotoStim's link:
//
//   auto pts = VexaSim::PtsServicePeer::add(peripheral, {.link = photoStim->syncLink(), .syncSource = false});

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "sim/peers/common/PeerBase.hpp"
#include "sim/peers/photostim/PtsPeerModel.hpp"

namespace VexaSim {

class PtsServicePeer : public PeerBase<PtsPeerModel>, public SyncMember {
public:
    static constexpr uint8_t Idle = PtsPeerModel::Idle;
    static constexpr uint8_t SyncPrepared = PtsPeerModel::SyncPrepared;
    static constexpr uint8_t Synchronised = PtsPeerModel::Synchronised;
    static constexpr uint8_t Running = PtsPeerModel::Running;

    // Adds the service to the peripheral and joins the settings' link.
    static std::shared_ptr<PtsServicePeer> add(std::shared_ptr<SimPeripheral> peripheral,
                                               PtsPeerSettings settings = {});

    uint8_t state() const;
    bool synchronised() const;
    // The stimulator's time now.
    uint32_t now() const;
    // The tick of the last accepted start.
    uint32_t startTick() const;
    // The program packet last written (128 zero bytes at first).
    std::vector<uint8_t> programPacket() const { return config_->value(); }
    std::shared_ptr<StimSyncLink> syncLink() const;
    std::shared_ptr<SimCharacteristic> configCharacteristic() const { return config_; }

    // A faulty device: every command it acts on leads to `state` instead (nothing: as it should).
    void setAnswerState(std::optional<uint8_t> state);
    // A new battery voltage, announced with a status notification.
    void setBatteryVoltage(uint16_t voltage);
    // A stimulator that reports Running only at a start's tick (see PtsPeerSettings).
    void setRunningAtStartTick(bool atTick);
    bool startPending() const;

    void onSyncPulse() override;
    void onSyncLost() override;

protected:
    PtsServicePeer(std::shared_ptr<SimPeripheral> peripheral, PtsPeerSettings settings);
    // Joins the link; called once the peer is owned by a shared pointer.
    void joinLink(const std::shared_ptr<PtsServicePeer>& self);

private:
    std::shared_ptr<SimCharacteristic> config_;
};

}  // namespace VexaSim
