// The photo-stimulation wire format: program packing against hand-computed entries, the
// read-back of a packet, the refused programs, status packs and the start frame.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "sdk/devices/photostim/PhotoStimWire.hpp"

using namespace VexaDevice::PhotoStim;
using VexaDevice::OperationResult;

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

StimProgram program(double frequency, double power, double pulseWidth, double duration, double pause) {
    return {frequency, power, pulseWidth, duration, pause, 0};
}

std::vector<uint8_t> packetOf(const PackedPrograms& packed) { return {packed.packet.begin(), packed.packet.end()}; }

OperationResult refused(const char* parameter) {
    return OperationResult::failed(517, std::string("Incorrect ") + parameter + " parameter value");
}

void expectPrograms(const std::vector<StimProgram>& actual, const std::vector<StimProgram>& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < actual.size(); ++i) {
        EXPECT_DOUBLE_EQ(actual[i].frequency, expected[i].frequency) << i;
        EXPECT_DOUBLE_EQ(actual[i].power, expected[i].power) << i;
        EXPECT_DOUBLE_EQ(actual[i].pulseWidth, expected[i].pulseWidth) << i;
        EXPECT_DOUBLE_EQ(actual[i].stimulDuration, expected[i].stimulDuration) << i;
        EXPECT_DOUBLE_EQ(actual[i].pause, expected[i].pause) << i;
        EXPECT_EQ(actual[i].reserved, 0) << i;
    }
}

}  // namespace

TEST(PhotoStimPacking, FiftyHertzEntryIsPackedLittleEndianAndReadsBackQuantised) {
    const std::vector<StimProgram> list{program(50, 100, 0.005, 2, 0), program(10, 50, 0.01, 1.5, 7)};
    const PackedPrograms packed = packPrograms(list);
    ASSERT_TRUE(packed.result);

    // 50 Hz: intensity 255, pause 0, count 100, on 312 (0x0138), off 937 (0x03A9).
    // 10 Hz: intensity trunc(round(50 * 255) * 0.01) = 127, pause 7, count 15, on 625 (0x0271),
    // off 5625 (0x15F9).
    std::vector<uint8_t> expected(128, 0);
    const uint8_t first[] = {255, 0, 100, 0, 0x38, 0x01, 0xA9, 0x03};
    const uint8_t second[] = {127, 7, 15, 0, 0x71, 0x02, 0xF9, 0x15};
    std::copy(std::begin(first), std::end(first), expected.begin());
    std::copy(std::begin(second), std::end(second), expected.begin() + 8);
    EXPECT_EQ(packetOf(packed), expected);

    const std::vector<StimProgram> quantised{{62500.0 / 1249, 100, 0.004992, 1.9984, 0, 0},
                                             {10, 127 / 255.0 * 100, 0.01, 1.5, 7, 0}};
    expectPrograms(packed.programs, quantised);
    const auto decoded = decodeConfigure(expected);
    ASSERT_TRUE(decoded);
    expectPrograms(*decoded, quantised);
}

TEST(PhotoStimPacking, AnEmptyListWritesTheDefaultEntry) {
    const PackedPrograms packed = packPrograms({});
    ASSERT_TRUE(packed.result);
    std::vector<uint8_t> expected(128, 0);
    const uint8_t entry[] = {128, 1, 10, 0, 0xE8, 0x03, 0xE8, 0x03};
    std::copy(std::begin(entry), std::end(entry), expected.begin());
    EXPECT_EQ(packetOf(packed), expected);
    expectPrograms(packed.programs, {{31.25, 50.19607843137255, 0.016, 0.32, 1, 0}});
}

TEST(PhotoStimPacking, TheFirstEntryThatCannotBeEncodedRefusesTheWholeList) {
    struct Case {
        StimProgram program;
        const char* parameter;
    };
    const Case cases[] = {
        {program(50, 100.5, 0.005, 2, 0), "Power"},
        {program(50, -1, 0.005, 2, 0), "Power"},
        {program(62501, 10, 0, 0, 0), "Frequency"},
        {program(50, 10, 0.005, 2, 256), "Pause"},
        {program(50, 10, 0.005, 1400, 0), "StimulDuration"},
        {program(50, 10, 0.005, -1, 0), "StimulDuration"},
        // Values that are not numbers never reach the conversions.
        {program(50, NaN, 0.005, 2, 0), "Power"},
        {program(NaN, 10, 0.005, 2, 0), "Frequency"},
        {program(50, 10, 0.005, 2, NaN), "Pause"},
        {program(50, 10, 0.005, NaN, 0), "StimulDuration"},
        {program(0, 10, 0.005, std::numeric_limits<double>::infinity(), 0), "StimulDuration"},
        {program(50, 10, NaN, 2, 0), "PulseWidth"},
        // A pulse longer than the period, or longer than the 16-bit on time holds.
        {program(50, 10, 0.03, 2, 0), "PulseWidth"},
        {program(0.9, 10, 1.1, 2, 0), "PulseWidth"},
        {program(50, 10, -0.001, 2, 0), "PulseWidth"},
        // 0.5 Hz leaves an off time of 124687 ticks, beyond 16 bits.
        {program(0.5, 10, 0.005, 2, 0), "Frequency"},
    };
    for (const Case& c : cases) {
        const PackedPrograms packed = packPrograms(std::vector<StimProgram>{program(10, 10, 0.01, 1, 0), c.program});
        EXPECT_EQ(packed.result, refused(c.parameter)) << c.parameter;
        EXPECT_TRUE(packed.programs.empty());
        EXPECT_EQ(packetOf(packed), std::vector<uint8_t>(128, 0));
    }
}

TEST(PhotoStimPacking, EdgesOfTheFieldsStillPack) {
    // A pulse as long as the period leaves no off time; the lowest frequency whose off time
    // fits 16 bits; a program without frequency has no pulses.
    const std::vector<StimProgram> list{program(50, 0, 0.02, 1, 255), program(0.96, 100, 0, 10, 0),
                                        program(0, 30, 0.5, 3, 2)};
    const PackedPrograms packed = packPrograms(list);
    ASSERT_TRUE(packed.result);
    const std::vector<uint8_t> packet = packetOf(packed);
    EXPECT_EQ(std::vector<uint8_t>(packet.begin(), packet.begin() + 24),
              (std::vector<uint8_t>{0,   255, 50, 0, 0xE2, 0x04, 0,    0,     // on 1250, off 0
                                    255, 0,   9,  0, 0,    0,    0x50, 0xFE,  // off 65104
                                    76,  2,   0,  0, 0,    0,    0,    0}));  // round(7650) * 0.01
    // The third entry has neither pulses nor on time: the device holds two programs.
    const auto decoded = decodeConfigure(packet);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->size(), 2u);
}

TEST(PhotoStimPacking, ConfigureBytesWithoutAWholePacketDecodeToNothing) {
    EXPECT_FALSE(decodeConfigure(std::vector<uint8_t>(127, 1)));
    const auto empty = decodeConfigure(std::vector<uint8_t>(128, 0));
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->empty());
    // Only the first of two packets counts.
    std::vector<uint8_t> two(256, 0);
    two[128 + 2] = 1;
    EXPECT_TRUE(decodeConfigure(two)->empty());
}

TEST(PhotoStimStatus, PackFieldsAreLittleEndianAndUnknownCodesBecomeUnknown) {
    StatusPack pack;
    const uint8_t bytes[20] = {2, 9, 0x34, 0x12, 0x78, 0x56, 0x34, 0x12, 1, 0,
                               0, 0, 0xEF, 0xBE, 0xAD, 0xDE, 9,    9,    9, 9};
    std::copy(std::begin(bytes), std::end(bytes), pack.bytes.begin());
    EXPECT_EQ(pack.state(), DevStimulStatus::Synchronised);
    const PtsStatus status = pack.status();
    EXPECT_EQ(status.syncFlag, 1);
    EXPECT_EQ(status.batteryVoltage, 0x1234);
    EXPECT_EQ(status.stimulatorTime, 0x12345678u);
    EXPECT_EQ(status.word, 1u);
    EXPECT_EQ(status.statusWord, 0xDEADBEEFu);

    const DevStimulStatus states[] = {DevStimulStatus::Idle, DevStimulStatus::SyncPrepared,
                                      DevStimulStatus::Synchronised, DevStimulStatus::Running};
    for (uint8_t code = 0; code < 4; ++code) {
        pack.bytes[0] = code;
        EXPECT_EQ(pack.state(), states[code]);
    }
    pack.bytes[0] = 7;
    EXPECT_EQ(pack.state(), DevStimulStatus::Unknown);
    pack.bytes[1] = 0;
    EXPECT_EQ(pack.status().syncFlag, 0);
}

TEST(PhotoStimStatus, StartFrameCarriesTheTickLittleEndian) {
    EXPECT_EQ(startFrame(0x01020304), (std::vector<uint8_t>{4, 4, 3, 2, 1}));
    EXPECT_EQ(startFrame(0xFFFFFFFF), (std::vector<uint8_t>{4, 255, 255, 255, 255}));
}
