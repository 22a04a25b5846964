#pragma once
// An emulated Dravik device on the simulated radio: Device Information, battery, the amplifier
// service (status, ADC configuration, mode commands, data packets; DravikPeerModel), the
// file-system service (status, requests, replies, stream) backed by the model's store, and a
// photo-stimulation service on the sync link given (its own one by default).
//
//   auto radio = VexaSim::SimRadio::create();
//   auto device = VexaSim::DravikPeer::attach(*radio, 0xA1B2C3D4E5F6);

#include <chrono>
#include <cstdint>
#include <memory>
#include <utility>

#include "sim/peers/common/PeerBase.hpp"
#include "sim/peers/dravik/DravikPeerModel.hpp"
#include "sim/peers/photostim/PtsServicePeer.hpp"

namespace VexaSim {

struct DravikPeerTiming {
    std::chrono::microseconds packetPeriod{10000};
};

class DravikPeer final : public PeerBase<DravikPeerModel> {
public:
    static std::shared_ptr<DravikPeer> attach(SimRadio& radio, uint64_t address, DravikPeerSettings settings = {},
                                              DravikPeerTiming timing = {},
                                              std::shared_ptr<StimSyncLink> syncLink = StimSyncLink::create());

    const std::shared_ptr<PtsServicePeer>& stimulator() const { return pts_; }
    std::shared_ptr<SimCharacteristic> fsCommandCharacteristic() const { return fsCommand_; }
    std::shared_ptr<SimCharacteristic> fsStatusCharacteristic() const { return fsStatus_; }
    std::shared_ptr<SimCharacteristic> acsConfigCharacteristic() const { return acsConfig_; }

    // Runs `action` on the model under its lock; the file-system status is announced after.
    template <class Action>
    auto withDevice(Action action) {
        std::lock_guard lock(device_->mutex);
        struct Announce {
            const std::shared_ptr<SimCharacteristic>& status;
            DravikPeerModel& model;
            ~Announce() { announceFsStatus(status, model); }
        } announce{fsStatus_, device_->model};
        return action(device_->model);
    }
    template <class Action>
    auto withStore(Action action) {
        return withDevice([&action](DravikPeerModel& model) { return action(model.store()); });
    }

    // A new battery level on the battery characteristic.
    void setBattery(uint8_t level);
    // Mode changes show in the status only after this many reads (0: at once).
    void setModeLag(int reads) {
        withModel([reads](DravikPeerModel& model) { model.setModeLag(reads); });
    }
    // The amplifier's state and lead-off sub-mode, read together (nothing is announced).
    std::pair<uint8_t, uint8_t> amplifier() const {
        return withModel([](const DravikPeerModel& model) { return std::pair{model.state(), model.resistMode()}; });
    }

private:
    DravikPeer(std::shared_ptr<SimPeripheral> peripheral, DravikPeerSettings settings, DravikPeerTiming timing,
               std::shared_ptr<StimSyncLink> syncLink);
    static void announceFsStatus(const std::shared_ptr<SimCharacteristic>& status, DravikPeerModel& model);
    void addFileSystem();

    std::shared_ptr<SimCharacteristic> battery_;
    std::shared_ptr<SimCharacteristic> acsConfig_;
    std::shared_ptr<SimCharacteristic> fsStatus_;
    std::shared_ptr<SimCharacteristic> fsCommand_;
    std::shared_ptr<SimCharacteristic> fsStream_;
    std::shared_ptr<PtsServicePeer> pts_;
};

}  // namespace VexaSim
