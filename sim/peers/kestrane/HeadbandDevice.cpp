#include "sim/peers/kestrane/HeadbandDevice.hpp"

#include <optional>

namespace VexaSim {

namespace {

constexpr uint8_t ResistGainCode = 0x30;
constexpr uint8_t SignalMode = 3;
constexpr uint8_t ResistMode = 4;
constexpr uint8_t MotionFrame = 0x07;
constexpr uint8_t FpgFrame = 0x08;
constexpr uint8_t StreamOn = 0x80;

std::optional<uint8_t> modeOf(uint8_t command) {
    if (command >= 0x01 && command <= 0x04) return command;
    return std::nullopt;
}

size_t expectedLength(uint8_t mode) {
    return mode == SignalMode || mode == ResistMode ? 1 + HeadbandPacks::Channels : 1;
}

}  // namespace

HeadbandDevice::HeadbandDevice(uint8_t mode, bool hasMotion, bool hasFpg,
                               const std::array<double, HeadbandPacks::Channels>& resistanceOhms)
    : hasMotion_(hasMotion), hasFpg_(hasFpg), resistanceOhms_(resistanceOhms), mode_(mode) {}

uint8_t HeadbandDevice::carryOutMode(const std::vector<uint8_t>& frame) {
    const auto mode = frame.empty() ? std::nullopt : modeOf(frame[0]);
    if (!mode) return NotSupported;
    if (frame.size() != expectedLength(*mode)) return WrongParameter;
    if (*mode == ResistMode) {
        for (size_t i = 1; i < frame.size(); ++i)
            if (frame[i] != ResistGainCode) return WrongParameter;
    }
    if (*mode == SignalMode) gainCodes_.assign(frame.begin() + 1, frame.end());
    if (*mode == ResistMode && mode_ != ResistMode) packs_.restartWindows();
    mode_ = *mode;
    return Accepted;
}

bool HeadbandDevice::takeStreamFrame(const std::vector<uint8_t>& frame) {
    if (frame.size() != 2) return false;
    const bool motion = frame[0] == MotionFrame && hasMotion_;
    const bool fpg = frame[0] == FpgFrame && hasFpg_;
    if (!motion && !fpg) return false;
    const bool on = (frame[1] & StreamOn) != 0;
    (motion ? motionRunning_ : fpgRunning_) = on;
    (motion ? motionByte_ : fpgByte_) = frame[1];
    return true;
}

HeadbandDevice::Packs HeadbandDevice::nextPacks() {
    Packs packs;
    if (mode_ == SignalMode) packs.signal = packs_.signalPack();
    if (mode_ == ResistMode) packs.signal = packs_.resistPack(resistanceOhms_);
    if (motionRunning_) packs.motion = packs_.motionPack();
    if (fpgRunning_) packs.fpg = packs_.fpgPack();
    return packs;
}

}  // namespace VexaSim
