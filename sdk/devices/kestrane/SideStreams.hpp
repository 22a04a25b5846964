#pragma once
// The motion and photoplethysmogram streams a Kestrane headband may have, with the commands that
// start, stop and tune them, and the ping. A headband protocol derives from it and hands in its
// command lock, how it sends a stream command (and what counts as an answer), how it writes a
// frame once, and the sampling-frequency codes of the two streams.
//
// Threads: the commands take the owner's command lock; the ping and the reads take none;
// publishStreams runs on the owner's worker only.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <vector>

#include "sdk/core/OperationResult.hpp"
#include "sdk/devices/common/RingReaders.hpp"
#include "sdk/devices/kestrane/CodedStream.hpp"
#include "sdk/devices/kestrane/StreamBuses.hpp"

namespace VexaDevice::Kestrane {

// Sampling-frequency codes of the streams, reported while the device has the stream; `none`
// otherwise.
struct SideStreamRates {
    uint8_t motion;
    uint8_t fpg;
    uint8_t none;
};

class SideStreams {
public:
    using WriteOnce = std::function<bool(const std::vector<uint8_t>& frame)>;

    // {514, "StartMEMS"} etc. without the channel, else what the owner's sender reports.
    OperationResult startMEMS();
    OperationResult stopMEMS();
    OperationResult startFPG();
    OperationResult stopFPG();

    // {515, "Unsupported parameter [...]"} without the channel or for a code the stream command
    // cannot carry. A running stream is started again with the new code (CodedStream::setCode).
    OperationResult setAccelerometerSens(uint8_t code);
    OperationResult setGyroscopeSens(uint8_t code);
    OperationResult setIrAmplitude(uint8_t code);
    OperationResult setRedAmplitude(uint8_t code);

    // Writes [0x06, low byte of value] once, without waiting for an answer.
    OperationResult ping(int32_t value);

    uint8_t accelerometerSens() const { return motion_.params().code1; }
    uint8_t gyroscopeSens() const { return motion_.params().code2; }
    uint8_t irAmplitude() const { return fpg_.params().code1; }
    uint8_t redAmplitude() const { return fpg_.params().code2; }
    uint8_t samplingFrequencyMEMS() const { return motion_.channel() ? rates_.motion : rates_.none; }
    uint8_t samplingFrequencyFPG() const { return fpg_.channel() ? rates_.fpg : rates_.none; }

protected:
    // Only the references are kept: `commandLock`, `send` and `writeOnce` are first used once
    // the owner is built.
    SideStreams(std::shared_mutex& commandLock, SendFrame send, WriteOnce writeOnce, SideStreamRates rates,
                const PackParams& motion = {}, const PackParams& fpg = {});
    ~SideStreams() = default;
    SideStreams(const SideStreams&) = delete;
    SideStreams& operator=(const SideStreams&) = delete;

    CodedMotionStream& motion() { return motion_; }
    CodedFpgStream& fpg() { return fpg_; }
    const CodedMotionStream& motion() const { return motion_; }
    const CodedFpgStream& fpg() const { return fpg_; }

    // Stops each stream the device has, whatever it is doing.
    void stopStreams();
    // Worker only: publishes what arrived on each stream since the last call.
    void publishStreams(StreamBuses::MotionBus& motionBus, StreamBuses::FpgBus& fpgBus);

private:
    template <class Command>
    OperationResult locked(const Command& command) {
        std::unique_lock lock(commandLock_);
        return command();
    }

    std::shared_mutex& commandLock_;
    const SendFrame send_;
    const WriteOnce writeOnce_;
    const SideStreamRates rates_;
    // Changed under the command lock.
    CodedMotionStream motion_;
    CodedFpgStream fpg_;

    // Worker-only state.
    Devices::BacklogReader<_IMUData> motionReader_;
    Devices::BacklogReader<_FPGData> fpgReader_;
};

}  // namespace VexaDevice::Kestrane
