#include "sdk/devices/kestrane/SideStreams.hpp"

#include <utility>

#include "sdk/core/DeviceError.hpp"
#include "sdk/devices/common/StreamCodeLimits.hpp"
#include "sdk/devices/kestrane/HeadbandWire.hpp"

namespace VexaDevice::Kestrane {

namespace {

template <class Channel, class Reader, class Bus>
void drain(const std::shared_ptr<Channel>& channel, Reader& reader, Bus& bus) {
    if (!channel) return;
    const auto batch = reader.poll(channel->ring());
    if (!batch.empty()) bus.notify(std::vector<typename Channel::Record>(batch.begin(), batch.end()));
}

}  // namespace

SideStreams::SideStreams(std::shared_mutex& commandLock, SendFrame send, WriteOnce writeOnce, SideStreamRates rates,
                         const PackParams& motion, const PackParams& fpg)
    : commandLock_(commandLock),
      send_(std::move(send)),
      writeOnce_(std::move(writeOnce)),
      rates_(rates),
      motion_(MotionStream, motion),
      fpg_(FpgStream, fpg) {}

OperationResult SideStreams::startMEMS() {
    return locked([this] { return motion_.start(send_); });
}

OperationResult SideStreams::stopMEMS() {
    return locked([this] { return motion_.stop(send_); });
}

OperationResult SideStreams::startFPG() {
    return locked([this] { return fpg_.start(send_); });
}

OperationResult SideStreams::stopFPG() {
    return locked([this] { return fpg_.stop(send_); });
}

OperationResult SideStreams::setAccelerometerSens(uint8_t code) {
    return locked([this, code] {
        return motion_.setCode(&PackParams::code1, code, Sensor::kMaxMotionSensitivityCode, "AccelerometerSensitivity",
                               send_);
    });
}

OperationResult SideStreams::setGyroscopeSens(uint8_t code) {
    return locked([this, code] {
        return motion_.setCode(&PackParams::code2, code, Sensor::kMaxMotionSensitivityCode, "GyroscopeSensitivity",
                               send_);
    });
}

OperationResult SideStreams::setIrAmplitude(uint8_t code) {
    return locked([this, code] {
        return fpg_.setCode(&PackParams::code1, code, Sensor::kMaxFpgAmplitudeCode, "IrAmplitude", send_);
    });
}

OperationResult SideStreams::setRedAmplitude(uint8_t code) {
    return locked([this, code] {
        return fpg_.setCode(&PackParams::code2, code, Sensor::kMaxFpgAmplitudeCode, "RedAmplitude", send_);
    });
}

OperationResult SideStreams::ping(int32_t value) {
    if (!writeOnce_(Headband::pingFrame(value)))
        return OperationResult::failed(Utility::kKspErrors.dataSend, "Failed send ping");
    return OperationResult::done();
}

void SideStreams::stopStreams() {
    if (fpg_.channel()) stopFPG();
    if (motion_.channel()) stopMEMS();
}

void SideStreams::publishStreams(StreamBuses::MotionBus& motionBus, StreamBuses::FpgBus& fpgBus) {
    drain(motion_.channel(), motionReader_, motionBus);
    drain(fpg_.channel(), fpgReader_, fpgBus);
}

}  // namespace VexaDevice::Kestrane
