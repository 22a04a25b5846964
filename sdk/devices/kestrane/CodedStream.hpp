#pragma once
// An optional stream of the Kestrane headbands whose start command carries two codes: the motion
// stream (accelerometer and gyroscope sensitivity) and the photoplethysmogram stream (infrared and
// red amplitude). It holds the stream's channel, the codes the device works with and the names
// its failures carry; the owning protocol sends the command frames its own way and holds its
// command lock around every call that sends.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "sdk/core/DeviceError.hpp"
#include "sdk/core/OperationResult.hpp"
#include "sdk/core/SpinGuarded.hpp"
#include "sdk/devices/kestrane/KestraneChannels.hpp"

namespace VexaDevice::Kestrane {

// A stream's command code and the names its start and stop failures carry.
struct StreamCommand {
    uint8_t code;
    const char* startName;
    const char* stopName;
};

inline constexpr StreamCommand MotionStream{0x07, "StartMEMS", "StopMEMS"};
inline constexpr StreamCommand FpgStream{0x08, "StartFPG", "StopFPG"};

// The command code and one byte: bit 7 start, bits 5-3 code1, bits 2-0 code2.
inline std::vector<uint8_t> streamFrame(const StreamCommand& command, const PackParams& params, bool start) {
    const auto byte =
        static_cast<uint8_t>((start ? 0x80 : 0x00) | ((params.code1 & 0x07) << 3) | (params.code2 & 0x07));
    return {command.code, byte};
}

// Sends one command frame and reports what came of it; `name` names the command in a failure.
using SendFrame = std::function<OperationResult(const std::vector<uint8_t>& frame, const char* name)>;

template <class Channel>
class CodedStream {
public:
    CodedStream(const StreamCommand& command, const PackParams& params) : command_(command), params_(params) {}

    // The device's characteristic of the stream, if it has one: the channel converts with the
    // codes held now.
    void open(const std::shared_ptr<BLE::IBLEChannel>& found, const std::weak_ptr<Utility::CvWait>& wake,
              uint8_t littleEndian) {
        if (found) channel_ = std::make_shared<Channel>(found, params_.get(), wake, littleEndian);
    }

    const std::shared_ptr<Channel>& channel() const { return channel_; }
    PackParams params() const { return params_.get(); }
    // Before the channel opens: the codes a device starts with, or those read when it has no such stream.
    void setParams(const PackParams& params) { params_.set(params); }

    OperationResult start(const SendFrame& send) { return switchTo(true, params_.get(), send); }
    OperationResult stop(const SendFrame& send) { return switchTo(false, params_.get(), send); }

    // A code above `maxCode`, or any code when the device has no such stream, is refused and
    // nothing is sent. A running stream takes the new code only once the device accepts its start
    // with it: until then the device goes on with the old one, and so do the reads and the converter.
    OperationResult setCode(uint8_t PackParams::*code, uint8_t value, uint8_t maxCode, const char* name,
                            const SendFrame& send) {
        if (!channel_ || value > maxCode)
            return OperationResult::failed(Utility::kKspErrors.unsupportedParam,
                                           std::string("Unsupported parameter [") + name + "]");
        PackParams updated = params_.get();
        updated.*code = value;
        if (channel_->isNotifying()) {
            if (OperationResult restarted = switchTo(true, updated, send); !restarted) return restarted;
        }
        params_.set(updated);
        channel_->setConverterParams(updated);
        return OperationResult::done();
    }

private:
    OperationResult switchTo(bool on, const PackParams& params, const SendFrame& send) {
        const char* name = on ? command_.startName : command_.stopName;
        if (!channel_) return OperationResult::failed(Utility::kKspErrors.unsupportedCommand, name);
        OperationResult sent = send(streamFrame(command_, params, on), name);
        if (sent) {
            if (on)
                channel_->startNotify();
            else
                channel_->stopNotify();
        }
        return sent;
    }

    const StreamCommand command_;
    Utility::SpinGuarded<PackParams> params_;
    std::shared_ptr<Channel> channel_;
};

using CodedMotionStream = CodedStream<BLEIMUChannel>;
using CodedFpgStream = CodedStream<BLEFPGChannel>;

}  // namespace VexaDevice::Kestrane
