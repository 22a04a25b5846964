// The Dravik amplifier: mode frames on ACS Command and the waits for the mode the device reports,
// the settings allowed while it is stopped, the marker ping, and the link hooks.

#include <thread>

#include "sdk/core/ByteReaders.hpp"
#include "sdk/core/DeviceInfoReader.hpp"
#include "sdk/core/Log.hpp"
#include "sdk/core/RtException.hpp"
#include "sdk/devices/dravik/DravikBleProtocol.hpp"

namespace VexaDevice::Dravik {

namespace {

constexpr uint8_t kStopFrame = 0x01;
constexpr uint8_t kSignalFrame = 0x03;
constexpr uint8_t kResistFrame = 0x05;
constexpr uint8_t kPingFrame = 0x06;
constexpr int kModeFrameWrites = 3;

OperationResult sendFailure(const char* text) { return OperationResult::failed(ErrDataSend, text); }

}  // namespace

OperationResult DravikBleProtocol::sendModeFrame(const std::vector<uint8_t>& frame, const char* failure) {
    for (int write = 0; write < kModeFrameWrites; ++write) {
        if (acsCommand_->write(frame)) {
            return OperationResult::done();
        }
    }
    return sendFailure(failure);
}

OperationResult DravikBleProtocol::waitAmpMode(uint8_t expected, std::chrono::milliseconds timeout) {
    if (ampMode_ == expected) {
        return OperationResult::done();
    }
    const auto deadline =
        std::chrono::steady_clock::now() + (timeout.count() == 0 ? std::chrono::milliseconds(65535) : timeout);
    while (!linkLoss_.isLost() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(timing_.pollStep);
        std::vector<uint8_t> bytes;
        if (acsStatus_->read(bytes)) {
            applyAcsStatus(parseAcsStatus(bytes));
        }
        if (ampMode_ == expected) {
            return OperationResult::done();
        }
    }
    return sendFailure("Failed changed amp. mode");
}

OperationResult DravikBleProtocol::resistOff() {
    auto result = sendModeFrame({kResistFrame, 0}, "Failed off resist mode");
    if (result) {
        resistMode_ = 0;
    }
    return result;
}

OperationResult DravikBleProtocol::resistOn() {
    const uint8_t mode = processing_->amplifier().referentsResist != 0 ? 2 : 1;
    auto result = sendModeFrame({kResistFrame, mode}, "Failed on resist mode");
    if (result) {
        resistMode_ = mode;
    }
    return result;
}

OperationResult DravikBleProtocol::signalOn() {
    std::vector<uint8_t> frame{kSignalFrame};
    Utility::appendLittleEndian(frame, surveyId_, 4);
    auto result = sendModeFrame(frame, "Failed on sgnal mode");
    if (result) {
        setNotify(fsStatusChannel_, false);
    }
    return result;
}

OperationResult DravikBleProtocol::stopAmplifier(uint8_t already, const char* failure) {
    const uint8_t previous = ampMode_;
    if (previous == already) {
        return OperationResult::done();
    }
    OperationResult result = sendFailure(failure);
    for (int attempt = 0; attempt < kModeFrameWrites && !result; ++attempt) {
        result = sendModeFrame({kStopFrame}, failure);
        if (result) {
            result = waitAmpMode(AmpModePowerDown, timing_.stopWait);
        }
    }
    if (result && (previous == AmpModeResist || previous == AmpModeSignalResist)) {
        result = resistOff();
    }
    publishedAmpMode_ = ampMode_.load();
    processing_->resetResistance();
    return result;
}

template <class Change>
OperationResult DravikBleProtocol::modeChange(Change change) {
    std::unique_lock lock(commandLock_);
    return linkLoss_.isDown() ? Devices::linkDownFailure() : change();
}

OperationResult DravikBleProtocol::powerDown() {
    return modeChange([this] { return stopAmplifier(AmpModePowerDown, "Failed set power down mode"); });
}

// The device has no frame that asks for Idle: from any other mode, PowerDown included, the stop
// frame goes out, and the command succeeds once the device reports PowerDown.
OperationResult DravikBleProtocol::setIdle() {
    return modeChange([this] { return stopAmplifier(AmpModeIdle, "Failed set Idle mode"); });
}

OperationResult DravikBleProtocol::startSignalLocked() {
    const uint8_t previous = ampMode_;
    if (previous == AmpModeSignal) {
        return OperationResult::done();
    }
    publishedAmpMode_ = AmpModeSignal;
    setNotify(acsData_, true);
    auto failed = [this](OperationResult result) {
        publishedAmpMode_ = ampMode_.load();
        setNotify(acsData_, false);
        return result;
    };
    if (auto off = resistOff(); !off) {
        return failed(off);
    }
    // Resistance alone runs on the signal measurement, which goes on without it.
    if (previous == AmpModeResist) {
        ampMode_ = AmpModeSignal;
        return OperationResult::done();
    }
    OperationResult result =
        previous == AmpModeSignalResist ? waitAmpMode(AmpModeSignal, timing_.stopWait) : signalOn();
    if (result && previous != AmpModeSignalResist) {
        result = waitAmpMode(AmpModeSignal, timing_.startWait);
    }
    return result ? result : failed(result);
}

OperationResult DravikBleProtocol::startSignal() {
    return modeChange([this] { return startSignalLocked(); });
}

OperationResult DravikBleProtocol::startResist() {
    return modeChange([this] { return startResistLocked(); });
}

OperationResult DravikBleProtocol::startResistLocked() {
    const uint8_t previous = ampMode_;
    if (previous == AmpModeResist) {
        return OperationResult::done();
    }
    publishedAmpMode_ = AmpModeResist;
    if (previous == AmpModeSignalResist) {
        ampMode_ = AmpModeResist;
        return OperationResult::done();
    }
    setNotify(acsData_, true);
    auto failed = [this](OperationResult result) {
        publishedAmpMode_ = ampMode_.load();
        setNotify(acsData_, false);
        return result;
    };
    if (previous != AmpModeSignal) {
        auto result = signalOn();
        if (result) {
            result = waitAmpMode(AmpModeSignal, timing_.startWait);
        }
        if (!result) {
            return failed(result);
        }
    }
    // The signal runs: switching the measurement on is all it takes.
    if (OperationResult on = resistOn(); !on) {
        return failed(on);
    }
    ampMode_ = AmpModeResist;
    return OperationResult::done();
}

OperationResult DravikBleProtocol::startSignalAndResist() {
    return modeChange([this] { return startSignalAndResistLocked(); });
}

OperationResult DravikBleProtocol::startSignalAndResistLocked() {
    const uint8_t previous = ampMode_;
    if (previous == AmpModeSignalResist) {
        return OperationResult::done();
    }
    publishedAmpMode_ = AmpModeSignalResist;
    if (previous == AmpModeResist) {
        ampMode_ = AmpModeSignalResist;
        return OperationResult::done();
    }
    setNotify(acsData_, true);
    OperationResult result = resistOn();
    if (result && previous != AmpModeSignal) {
        result = signalOn();
    }
    if (result) {
        result = waitAmpMode(AmpModeSignalResist, timing_.startWait);
    }
    if (!result) {
        publishedAmpMode_ = ampMode_.load();
        setNotify(acsData_, false);
    }
    return result;
}

OperationResult DravikBleProtocol::stopResist() {
    if (publishedAmpMode_ == AmpModeSignalResist) {
        return startSignal();
    }
    return powerDown();
}

OperationResult DravikBleProtocol::writeAmplifierParam(const DravikAmplifierParam& param) {
    std::unique_lock lock(commandLock_);
    if (ampMode_ != AmpModePowerDown && ampMode_ != AmpModeIdle) {
        return sendFailure("The parameters of the amplifier are allowed to be set in modes PowerDown or Idle");
    }
    std::vector<uint8_t> packet;
    if (auto built = buildAdcConfig(param, packet); !built) {
        return built;
    }
    for (int write = 0; write < kModeFrameWrites; ++write) {
        if (acsConfig_->write(packet)) {
            processing_->update(param);
            return OperationResult::done();
        }
    }
    return sendFailure("Failed set the parameters of the amplifier");
}

OperationResult DravikBleProtocol::writeSurveyId(int32_t id) {
    std::unique_lock lock(commandLock_);
    if (ampMode_ != AmpModePowerDown && ampMode_ != AmpModeIdle) {
        return OperationResult::failed(ErrWrongParamValue,
                                       "Setting the parameter is allowed for modes: Idle or PowerDown");
    }
    surveyId_ = static_cast<uint32_t>(id);
    return OperationResult::done();
}

std::vector<Sensor::EEGChannelInfo> DravikBleProtocol::readSupportedChannels() const {
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

OperationResult DravikBleProtocol::ping(uint8_t marker) {
    if (marker == 0) {
        return OperationResult::done();
    }
    std::unique_lock lock(commandLock_);
    const uint8_t mode = ampMode_;
    if (mode < AmpModeSignal || mode > AmpModeSignalResist) {
        return OperationResult::done();
    }
    if (resistMode_ == 2 && marker >= 8 && marker <= 10) {
        return OperationResult::failed(ErrWrongParamValue,
                                       "Failed send ping. Wrong marker value in ResistMode = Complex");
    }
    return sendModeFrame({kPingFrame, marker}, "Failed send ping.");
}

OperationResult DravikBleProtocol::onConnected() {
    std::unique_lock lock(commandLock_);
    if (!running_ || !linkLoss_.relink()) {
        return OperationResult::done();
    }
    try {
        readAdcConfig();
        DeviceVersion version;
        const bool cancel = false;
        Utility::readDeviceInfo(deviceInformation_, version, &cancel);
        version_.set(version);
        readAcsStatus();
        if (pts_->isPresent() && !pts_->resume()) {
            throw Utility::rt_exception("Failes start PTS Serivce");
        }
    } catch (const std::exception& error) {
        Utility::sdkLog().error("Failes start: {}", error.what());
        // Still not back: the next connection reads the device again.
        linkLoss_.markLost();
        pts_->suspend();
        throw;
    }
    return OperationResult::done();
}

// A report that comes once the link is back again is over already.
void DravikBleProtocol::onDisconnected() {
    if (linkLoss_.reportLoss()) {
        pts_->suspend();
    }
}

}  // namespace VexaDevice::Dravik
