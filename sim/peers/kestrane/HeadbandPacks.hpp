#pragma once
// The packs an emulated headband of the older four-channel kind streams (the first MorvexBlack
// variant, the first Lorrel models): 106-byte signal packs behind a 2-byte counter, big-endian,
// of a known sawtooth in signal mode; in resistance mode the same packs carry the resistance
// windows: 64 records per channel, channel 0 first, the first record marked 0xAA, and in records
// 24-31 of its channel a level that the probe current makes across that electrode. Motion packs
// of 98 and photoplethysmogram packs of 50 bytes carry the known streams of the command-and-stream
// peers. Not thread-safe; its model serialises access.

#include <array>
#include <cstdint>
#include <vector>

namespace VexaSim {

class HeadbandPacks {
public:
    static constexpr uint32_t Channels = 4;
    static constexpr uint32_t RecordsPerPack = 8;
    static constexpr uint32_t WindowRecords = 64 * Channels;

    // Raw signal count of a resistance window's probe level across `ohms`.
    static int64_t probeCount(double ohms);

    // The next signal pack: the sawtooth, or with `resistanceOhms` the resistance windows.
    std::vector<uint8_t> signalPack();
    std::vector<uint8_t> resistPack(const std::array<double, Channels>& resistanceOhms);
    // The next resistance pack starts a new window.
    void restartWindows() { resistRecords_ = 0; }
    std::vector<uint8_t> motionPack();
    std::vector<uint8_t> fpgPack();

private:
    std::vector<uint8_t> nextSignalPack(const std::array<double, Channels>* resistanceOhms);

    uint32_t signalRecords_ = 0;
    uint32_t resistRecords_ = 0;
    uint32_t motionRecords_ = 0;
    uint32_t fpgRecords_ = 0;
};

}  // namespace VexaSim
