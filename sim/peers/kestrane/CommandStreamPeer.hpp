#pragma once
// An emulated command-and-stream device on the simulated radio: Device Information service and
// the service 7E400001-B534-F393-68A9-E50E24DCCAxx with status (read, notify), command (write),
// signal and resistance data (notify) and, where the settings say so, motion and
// photoplethysmogram data (notify). It answers every frame with a status notification and, on
// its own thread, streams one pack per period of every running stream.
//
//   auto radio = VexaSim::SimRadio::create();
//   auto device = VexaSim::CommandStreamPeer::attach(*radio, 0xA1B2C3D4E5F6, VexaSim::wrenletSettings(...));

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "sim/peers/kestrane/CommandStreamPeerModel.hpp"
#include "sim/radio/SimRadio.hpp"

namespace VexaSim {

struct CommandStreamPeerTiming {
    // One pack of every running stream per period.
    std::chrono::microseconds notificationPeriod{32000};
};

class CommandStreamPeer {
public:
    static std::shared_ptr<CommandStreamPeer> attach(SimRadio& radio, uint64_t address,
                                                     CommandStreamPeerSettings settings,
                                                     CommandStreamPeerTiming timing = {});
    ~CommandStreamPeer();
    CommandStreamPeer(const CommandStreamPeer&) = delete;
    CommandStreamPeer& operator=(const CommandStreamPeer&) = delete;

    const std::shared_ptr<SimPeripheral>& peripheral() const { return peripheral_; }
    std::shared_ptr<SimCharacteristic> statusCharacteristic() const { return status_; }
    std::shared_ptr<SimCharacteristic> commandCharacteristic() const { return command_; }

    // Every frame the central wrote to the command characteristic, in order.
    std::vector<std::vector<uint8_t>> commandFrames() const { return command_->writes(); }
    uint8_t mode() const;
    uint32_t samplesPerPack() const;
    std::vector<uint8_t> amplifierFrame() const;
    std::vector<std::vector<uint8_t>> pings() const;

    void setSilent(bool silent);
    void setRefusal(uint8_t error, int command = CommandStreamPeerModel::AnyCommand);
    void setIgnoring(bool ignoring);
    // A new battery level, announced with a status notification.
    void setBattery(uint8_t level);
    // Sends these bytes as a status notification, as a faulty device might.
    void sendStatus(std::vector<uint8_t> bytes);
    void dropLink() { peripheral_->dropLink(); }

private:
    struct Device {
        std::mutex mutex;
        CommandStreamPeerModel model;
        std::shared_ptr<SimCharacteristic> status;
        explicit Device(CommandStreamPeerSettings settings) : model(std::move(settings)) {}
        // Under `mutex`: the status value follows the model, and a change is announced.
        void announce(const std::vector<uint8_t>& value);
    };

    CommandStreamPeer(std::shared_ptr<SimPeripheral> peripheral, CommandStreamPeerSettings settings,
                      CommandStreamPeerTiming timing);
    void buildGatt();
    void stream();
    template <class Read>
    auto read(Read read) const;

    const std::shared_ptr<SimPeripheral> peripheral_;
    const CommandStreamPeerTiming timing_;
    const std::shared_ptr<Device> device_;
    std::shared_ptr<SimCharacteristic> status_;
    std::shared_ptr<SimCharacteristic> command_;
    std::shared_ptr<SimCharacteristic> signal_;
    std::shared_ptr<SimCharacteristic> resist_;
    std::shared_ptr<SimCharacteristic> motion_;
    std::shared_ptr<SimCharacteristic> fpg_;

    std::mutex clockMutex_;
    std::condition_variable clock_;
    bool stopping_ = false;
    std::thread streamer_;
};

}  // namespace VexaSim
