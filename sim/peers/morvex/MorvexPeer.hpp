#pragma once
// An emulated first-generation Morvex device on the simulated radio: Device Information
// service, status (read, notify), command (write) and data (notify) characteristics. It
// answers every command frame with a status notification, streams the known waveform of
// MorvexPeerModel in the signal state and the test signal of its configured resistances in
// the resistance state, and has fault switches (silent, refusing, link loss).
//
//   auto radio = VexaSim::SimRadio::create();
//   auto device = VexaSim::MorvexPeer::attach(*radio, 0xA1B2C3D4E5F6);
//   ... the library opens 0xA1B2C3D4E5F6 and finds a Morvex device ...
//
// The streaming clock is the peer's own thread; MorvexPeerTiming sets its pace.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "sim/peers/morvex/MorvexPeerModel.hpp"
#include "sim/radio/SimRadio.hpp"

namespace VexaSim {

struct MorvexPeerTiming {
    // One notification per period while streaming; the device sends 125 packs a second.
    std::chrono::microseconds notificationPeriod{8000};
    int packsPerNotification = 1;
};

class MorvexPeer {
public:
    static std::shared_ptr<MorvexPeer> attach(SimRadio& radio, uint64_t address, MorvexPeerSettings settings = {},
                                              MorvexPeerTiming timing = {});
    ~MorvexPeer();
    MorvexPeer(const MorvexPeer&) = delete;
    MorvexPeer& operator=(const MorvexPeer&) = delete;

    const std::shared_ptr<SimPeripheral>& peripheral() const { return peripheral_; }
    std::shared_ptr<SimCharacteristic> statusCharacteristic() const { return status_; }
    std::shared_ptr<SimCharacteristic> commandCharacteristic() const { return command_; }
    std::shared_ptr<SimCharacteristic> dataCharacteristic() const { return data_; }

    // Every frame the central wrote to the command characteristic, in order.
    std::vector<std::vector<uint8_t>> commandFrames() const { return command_->writes(); }
    uint8_t state() const;
    // Packs pushed to the central (while it listened) since attachment.
    uint64_t packsSent() const { return packsSent_; }

    void setSilent(bool silent);
    void setRefusal(uint8_t error);
    void setIgnoring(bool ignoring);
    void setResistance(uint8_t electrode, double ohms);
    // A new battery level, announced with a status notification.
    void setBattery(uint8_t level);
    void dropLink() { peripheral_->dropLink(); }

private:
    // What the command hook and the streaming thread share.
    struct Device {
        std::mutex mutex;
        MorvexPeerModel model;
        std::shared_ptr<SimCharacteristic> status;
        explicit Device(MorvexPeerSettings settings) : model(std::move(settings)) {}
        // Runs under `mutex`: the status value follows the model, and a change is announced.
        void announce(const std::vector<uint8_t>& status);
    };

    MorvexPeer(std::shared_ptr<SimPeripheral> peripheral, MorvexPeerSettings settings, MorvexPeerTiming timing);
    void buildGatt();
    void stream();

    const std::shared_ptr<SimPeripheral> peripheral_;
    const MorvexPeerTiming timing_;
    const std::shared_ptr<Device> device_;
    std::shared_ptr<SimCharacteristic> status_;
    std::shared_ptr<SimCharacteristic> command_;
    std::shared_ptr<SimCharacteristic> data_;

    std::atomic<uint64_t> packsSent_{0};
    std::mutex clockMutex_;
    std::condition_variable clock_;
    bool stopping_ = false;
    std::thread streamer_;
};

}  // namespace VexaSim
