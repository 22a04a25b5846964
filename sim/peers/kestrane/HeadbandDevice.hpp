#pragma once
// What an emulated headband of the older four-channel kind (the first MorvexBlack variant, the
// first Lorrel models) does with its mode and stream frames, and the packs it streams in each
// mode (HeadbandPacks). How it answers (the layout of its status) is its family's. Not
// thread-safe; its model serialises access.
//
// Mode frames: 01 PowerDown, 02 Idle, 03 and four gain codes (signal), 04 and four probe gain
// codes 30 (resistance). Stream frames: 07 motion, 08 photoplethysmogram, one byte with bit 7 on.

#include <array>
#include <cstdint>
#include <vector>

#include "sim/peers/kestrane/HeadbandPacks.hpp"

namespace VexaSim {

class HeadbandDevice {
public:
    static constexpr uint8_t Accepted = 0;
    static constexpr uint8_t WrongParameter = 1;
    static constexpr uint8_t NotSupported = 2;

    // `mode` at power-on: 1 PowerDown, 2 Idle, 3 signal, 4 resistance.
    HeadbandDevice(uint8_t mode, bool hasMotion, bool hasFpg,
                   const std::array<double, HeadbandPacks::Channels>& resistanceOhms);

    // A mode frame carried out: Accepted, WrongParameter (length, probe gain), or NotSupported
    // for a frame that is no mode frame.
    uint8_t carryOutMode(const std::vector<uint8_t>& frame);
    // A stream frame of a stream the device has, taken: true. Anything else: false.
    bool takeStreamFrame(const std::vector<uint8_t>& frame);

    // The next pack of each running stream (empty when the stream is off).
    struct Packs {
        std::vector<uint8_t> signal;
        std::vector<uint8_t> motion;
        std::vector<uint8_t> fpg;
    };
    Packs nextPacks();

    uint8_t mode() const { return mode_; }
    bool motionRunning() const { return motionRunning_; }
    bool fpgRunning() const { return fpgRunning_; }
    uint8_t motionByte() const { return motionByte_; }
    uint8_t fpgByte() const { return fpgByte_; }
    // The gain codes of the last signal start.
    const std::vector<uint8_t>& gainCodes() const { return gainCodes_; }

private:
    const bool hasMotion_;
    const bool hasFpg_;
    const std::array<double, HeadbandPacks::Channels> resistanceOhms_;
    uint8_t mode_;
    bool motionRunning_ = false;
    bool fpgRunning_ = false;
    uint8_t motionByte_ = 0;
    uint8_t fpgByte_ = 0;
    std::vector<uint8_t> gainCodes_;
    HeadbandPacks packs_;
};

}  // namespace VexaSim
