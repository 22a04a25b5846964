#include "sdk/devices/dravik/DravikAmplifierControl.hpp"

#include <string>
#include <thread>
#include <utility>

#include "sdk/core/ByteReaders.hpp"
#include "sdk/devices/dravik/DravikResult.hpp"

namespace VexaDevice::Dravik {

namespace {

// First byte of the frames written to the command characteristic.
enum ModeFrame : uint8_t { kStopFrame = 0x01, kSignalFrame = 0x03, kResistFrame = 0x05, kPingFrame = 0x06 };
constexpr int kModeFrameWrites = 3;

OperationResult sendFailure(const char* text) { return OperationResult::failed(ErrDataSend, text); }

}  // namespace

DravikAmplifierControl::DravikAmplifierControl(Links links, const DravikTiming& timing)
    : links_(std::move(links)), timing_(timing), processing_(makeSignalProcessParam(DravikAmplifierParam{})) {}

void DravikAmplifierControl::readConfig() {
    const auto bytes =
        readWithRetries(links_.config, "Can not read ADC configure", links_.linkLoss, timing_.readAttempts);
    processing_->update(decodeAdcConfig(bytes));
}

void DravikAmplifierControl::readStatus() {
    applyStatus(
        parseAcsStatus(readWithRetries(links_.status, "Can not read Status", links_.linkLoss, timing_.readAttempts)));
    publishedMode_ = mode_.load();
}

void DravikAmplifierControl::applyStatus(const AcsStatus& status) {
    mode_ = status.mode;
    if (status.mode == AmpModeUnknown) {
        return;
    }
    resistMode_ = status.resistMode;
    surveyId_ = status.surveyId;
    if (status.dataActive) {
        setNotify(links_.data, true);
    }
}

OperationResult DravikAmplifierControl::sendModeFrame(const std::vector<uint8_t>& frame, const char* failure) {
    for (int write = 0; write < kModeFrameWrites; ++write) {
        if (links_.command->write(frame)) {
            return OperationResult::done();
        }
    }
    return sendFailure(failure);
}

OperationResult DravikAmplifierControl::waitMode(uint8_t expected, std::chrono::milliseconds timeout) {
    if (mode_ == expected) {
        return OperationResult::done();
    }
    const auto deadline =
        std::chrono::steady_clock::now() + (timeout.count() == 0 ? std::chrono::milliseconds(65535) : timeout);
    while (!links_.linkLoss.isLost() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(timing_.pollStep);
        std::vector<uint8_t> bytes;
        if (links_.status->read(bytes)) {
            applyStatus(parseAcsStatus(bytes));
        }
        if (mode_ == expected) {
            return OperationResult::done();
        }
    }
    return sendFailure("Failed changed amp. mode");
}

OperationResult DravikAmplifierControl::resistOff() {
    auto result = sendModeFrame({kResistFrame, 0}, "Failed off resist mode");
    if (result) {
        resistMode_ = 0;
    }
    return result;
}

OperationResult DravikAmplifierControl::resistOn() {
    const uint8_t mode = processing_->amplifier().referentsResist != 0 ? 2 : 1;
    auto result = sendModeFrame({kResistFrame, mode}, "Failed on resist mode");
    if (result) {
        resistMode_ = mode;
    }
    return result;
}

OperationResult DravikAmplifierControl::signalOn() {
    std::vector<uint8_t> frame{kSignalFrame};
    Utility::appendLittleEndian(frame, surveyId_, 4);
    auto result = sendModeFrame(frame, "Failed on sgnal mode");
    if (result) {
        setNotify(links_.fsStatus, false);
    }
    return result;
}

OperationResult DravikAmplifierControl::stop(uint8_t already, const char* failure) {
    const uint8_t previous = mode_;
    if (previous == already) {
        return OperationResult::done();
    }
    OperationResult result = sendFailure(failure);
    for (int attempt = 0; attempt < kModeFrameWrites && !result; ++attempt) {
        result = sendModeFrame({kStopFrame}, failure);
        if (result) {
            result = waitMode(AmpModePowerDown, timing_.stopWait);
        }
    }
    if (result && (previous == AmpModeResist || previous == AmpModeSignalResist)) {
        result = resistOff();
    }
    publishedMode_ = mode_.load();
    processing_->resetResistance();
    return result;
}

template <class Change>
OperationResult DravikAmplifierControl::modeChange(Change change) {
    std::unique_lock lock(links_.commandLock);
    return links_.linkLoss.isDown() ? Devices::linkDownFailure() : change();
}

OperationResult DravikAmplifierControl::powerDown() {
    return modeChange([this] { return stop(AmpModePowerDown, "Failed set power down mode"); });
}

// The device has no frame that asks for Idle: from any other mode, PowerDown included, the stop
// frame goes out, and the command succeeds once the device reports PowerDown.
OperationResult DravikAmplifierControl::setIdle() {
    return modeChange([this] { return stop(AmpModeIdle, "Failed set Idle mode"); });
}

OperationResult DravikAmplifierControl::startSignalLocked() {
    const uint8_t previous = mode_;
    if (previous == AmpModeSignal) {
        return OperationResult::done();
    }
    publishedMode_ = AmpModeSignal;
    setNotify(links_.data, true);
    auto failed = [this](OperationResult result) {
        publishedMode_ = mode_.load();
        setNotify(links_.data, false);
        return result;
    };
    if (auto off = resistOff(); !off) {
        return failed(off);
    }
    // Resistance alone runs on the signal measurement, which goes on without it.
    if (previous == AmpModeResist) {
        mode_ = AmpModeSignal;
        return OperationResult::done();
    }
    OperationResult result = previous == AmpModeSignalResist ? waitMode(AmpModeSignal, timing_.stopWait) : signalOn();
    if (result && previous != AmpModeSignalResist) {
        result = waitMode(AmpModeSignal, timing_.startWait);
    }
    return result ? result : failed(result);
}

OperationResult DravikAmplifierControl::startSignal() {
    return modeChange([this] { return startSignalLocked(); });
}

OperationResult DravikAmplifierControl::startResist() {
    return modeChange([this] { return startResistLocked(); });
}

OperationResult DravikAmplifierControl::startResistLocked() {
    const uint8_t previous = mode_;
    if (previous == AmpModeResist) {
        return OperationResult::done();
    }
    publishedMode_ = AmpModeResist;
    if (previous == AmpModeSignalResist) {
        mode_ = AmpModeResist;
        return OperationResult::done();
    }
    setNotify(links_.data, true);
    auto failed = [this](OperationResult result) {
        publishedMode_ = mode_.load();
        setNotify(links_.data, false);
        return result;
    };
    if (previous != AmpModeSignal) {
        auto result = signalOn();
        if (result) {
            result = waitMode(AmpModeSignal, timing_.startWait);
        }
        if (!result) {
            return failed(result);
        }
    }
    // The signal runs: switching the measurement on is all it takes.
    if (OperationResult on = resistOn(); !on) {
        return failed(on);
    }
    mode_ = AmpModeResist;
    return OperationResult::done();
}

OperationResult DravikAmplifierControl::startSignalAndResist() {
    return modeChange([this] { return startSignalAndResistLocked(); });
}

OperationResult DravikAmplifierControl::startSignalAndResistLocked() {
    const uint8_t previous = mode_;
    if (previous == AmpModeSignalResist) {
        return OperationResult::done();
    }
    publishedMode_ = AmpModeSignalResist;
    if (previous == AmpModeResist) {
        mode_ = AmpModeSignalResist;
        return OperationResult::done();
    }
    setNotify(links_.data, true);
    OperationResult result = resistOn();
    if (result && previous != AmpModeSignal) {
        result = signalOn();
    }
    if (result) {
        result = waitMode(AmpModeSignalResist, timing_.startWait);
    }
    if (!result) {
        publishedMode_ = mode_.load();
        setNotify(links_.data, false);
    }
    return result;
}

OperationResult DravikAmplifierControl::stopResist() {
    if (publishedMode_ == AmpModeSignalResist) {
        return startSignal();
    }
    return powerDown();
}

OperationResult DravikAmplifierControl::writeParam(const DravikAmplifierParam& param) {
    std::unique_lock lock(links_.commandLock);
    if (mode_ != AmpModePowerDown && mode_ != AmpModeIdle) {
        return sendFailure("The parameters of the amplifier are allowed to be set in modes PowerDown or Idle");
    }
    std::vector<uint8_t> packet;
    if (auto built = buildAdcConfig(param, packet); !built) {
        return built;
    }
    for (int write = 0; write < kModeFrameWrites; ++write) {
        if (links_.config->write(packet)) {
            processing_->update(param);
            return OperationResult::done();
        }
    }
    return sendFailure("Failed set the parameters of the amplifier");
}

OperationResult DravikAmplifierControl::writeSurveyId(int32_t id) {
    std::unique_lock lock(links_.commandLock);
    if (mode_ != AmpModePowerDown && mode_ != AmpModeIdle) {
        return OperationResult::failed(ErrWrongParamValue,
                                       "Setting the parameter is allowed for modes: Idle or PowerDown");
    }
    surveyId_ = static_cast<uint32_t>(id);
    return OperationResult::done();
}

std::vector<Sensor::EEGChannelInfo> DravikAmplifierControl::supportedChannels() const {
    const bool twoReferents = processing_->amplifier().referentMode == 2;
    const auto a = static_cast<uint8_t>(twoReferents ? 0 : 3);
    const auto b = static_cast<uint8_t>(twoReferents ? 1 : 3);
    static constexpr uint8_t kElectrodes[kChannels] = {1,  2,  3,  4, 5,  6,  7,  8,  16, 15, 14, 13,
                                                       12, 11, 10, 9, 17, 18, 24, 19, 20, 21, 22, 23};
    std::vector<Sensor::EEGChannelInfo> channels;
    for (size_t index = 0; index < kChannels; ++index) {
        const uint8_t type = index < 8 || (index >= 19 && index <= 21) ? a : (index >= 16 && index <= 18 ? 2 : b);
        channels.emplace_back(type, static_cast<Sensor::EEGChannelType>(kElectrodes[index]),
                              static_cast<int32_t>(index), std::string{});
    }
    return channels;
}

OperationResult DravikAmplifierControl::ping(uint8_t marker) {
    if (marker == 0) {
        return OperationResult::done();
    }
    std::unique_lock lock(links_.commandLock);
    const uint8_t mode = mode_;
    if (mode < AmpModeSignal || mode > AmpModeSignalResist) {
        return OperationResult::done();
    }
    if (resistMode_ == 2 && marker >= 8 && marker <= 10) {
        return OperationResult::failed(ErrWrongParamValue,
                                       "Failed send ping. Wrong marker value in ResistMode = Complex");
    }
    return sendModeFrame({kPingFrame, marker}, "Failed send ping.");
}

}  // namespace VexaDevice::Dravik
