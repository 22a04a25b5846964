#pragma once
// An emulated MorvexBlack device (first hardware variant) on the simulated radio: Device
// Information service and the service 7E400001-B534-F393-68A9-E50E24DCCA90 with status (read,
// notify), command (write), signal data (notify) and, where the settings say so, motion and
// photoplethysmogram data (notify). It answers mode frames with status notifications and, on its
// own thread, streams one pack per period of every running stream.
//
//   auto radio = VexaSim::SimRadio::create();
//   auto device = VexaSim::MorvexBlackPeer::attach(*radio, 0xA1B2C3D4E5F6);

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "sim/peers/morvexblack/MorvexBlackPeerModel.hpp"
#include "sim/radio/SimRadio.hpp"

namespace VexaSim {

struct MorvexBlackPeerTiming {
    // One pack of every running stream per period.
    std::chrono::microseconds notificationPeriod{32000};
};

class MorvexBlackPeer {
public:
    static std::shared_ptr<MorvexBlackPeer> attach(SimRadio& radio, uint64_t address,
                                                   MorvexBlackPeerSettings settings = {},
                                                   MorvexBlackPeerTiming timing = {});
    ~MorvexBlackPeer();
    MorvexBlackPeer(const MorvexBlackPeer&) = delete;
    MorvexBlackPeer& operator=(const MorvexBlackPeer&) = delete;

    const std::shared_ptr<SimPeripheral>& peripheral() const { return peripheral_; }
    std::shared_ptr<SimCharacteristic> statusCharacteristic() const { return status_; }
    std::shared_ptr<SimCharacteristic> commandCharacteristic() const { return command_; }

    // Every frame the central wrote to the command characteristic, in order.
    std::vector<std::vector<uint8_t>> commandFrames() const { return command_->writes(); }
    uint8_t mode() const;
    bool motionRunning() const;
    bool fpgRunning() const;
    std::vector<uint8_t> gainCodes() const;
    std::vector<std::vector<uint8_t>> pings() const;

    void setSilent(bool silent);
    void setRefusal(uint8_t error);
    void setIgnoring(bool ignoring);
    void setStaleFirst(bool staleFirst);
    // A new battery level, announced with a status notification.
    void setBattery(uint8_t level);
    // Sends these bytes as a status notification, as a faulty device might.
    void sendStatus(std::vector<uint8_t> bytes);

private:
    struct Device {
        std::mutex mutex;
        MorvexBlackPeerModel model;
        std::shared_ptr<SimCharacteristic> status;
        explicit Device(MorvexBlackPeerSettings settings) : model(std::move(settings)) {}
        // Under `mutex`: the status value follows the model, and a change is announced.
        void announce(const std::vector<uint8_t>& value);
    };

    MorvexBlackPeer(std::shared_ptr<SimPeripheral> peripheral, MorvexBlackPeerSettings settings,
                    MorvexBlackPeerTiming timing);
    void buildGatt();
    void stream();
    template <class Action>
    auto withModel(Action action) const;

    const std::shared_ptr<SimPeripheral> peripheral_;
    const MorvexBlackPeerTiming timing_;
    const std::shared_ptr<Device> device_;
    std::shared_ptr<SimCharacteristic> status_;
    std::shared_ptr<SimCharacteristic> command_;
    std::shared_ptr<SimCharacteristic> signal_;
    std::shared_ptr<SimCharacteristic> motion_;
    std::shared_ptr<SimCharacteristic> fpg_;

    std::mutex clockMutex_;
    std::condition_variable clock_;
    bool stopping_ = false;
    std::thread streamer_;
};

}  // namespace VexaSim
