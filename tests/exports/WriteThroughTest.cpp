// Writes, ping and capability lists through the exported functions against emulated devices:
// what a write sends is what the device reports afterwards.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "sim/peers/kestrane/CommandStreamPeer.hpp"
#include "sim/peers/morvex2/Morvex2Peer.hpp"
#include "sim/peers/morvexblack/MorvexBlackPeer.hpp"
#include "tests/e2e/host/HostFixture.hpp"

using namespace HostTest;
using VexaSim::CommandStreamPeer;

namespace {

constexpr uint64_t kAddress = 0xC0FFEE000044;
constexpr const char* kAddressText = "C0:FF:EE:00:00:44";

struct Morvex2Writes : HostLibrary {
    std::shared_ptr<CommandStreamPeer> peer;
    SensorScannerWrap* scanner = nullptr;
    _Sensor* sensor = nullptr;

    void open(uint8_t family, char model, uint8_t variant) {
        peer = CommandStreamPeer::attach(*radio, kAddress, VexaSim::morvex2Settings(model, variant),
                                         {std::chrono::microseconds(1000)});
        scanner = scanFor({family});
        _SensorInfo info = record(family, kAddressText, variant);
        sensor = createSensor(scanner, &info, &status);
        ASSERT_NE(sensor, nullptr) << status.Error << " " << status.ErrorMsg;
    }

    void TearDown() override {
        freeSensor(sensor);
        freeScanner(scanner);
        HostLibrary::TearDown();
    }
};

struct MorvexBlackWrites : HostLibrary {
    std::shared_ptr<VexaSim::MorvexBlackPeer> peer;
    SensorScannerWrap* scanner = nullptr;
    _Sensor* sensor = nullptr;

    void open(uint8_t model) {
        peer = VexaSim::MorvexBlackPeer::attach(*radio, kAddress, VexaSim::MorvexBlackPeerSettings{},
                                                {std::chrono::microseconds(1000)});
        scanner = scanFor({SensorFamilyMorvexBlack});
        _SensorInfo info = record(SensorFamilyMorvexBlack, kAddressText, model);
        sensor = createSensor(scanner, &info, &status);
        ASSERT_NE(sensor, nullptr) << status.Error << " " << status.ErrorMsg;
    }

    void TearDown() override {
        freeSensor(sensor);
        freeScanner(scanner);
        HostLibrary::TearDown();
    }
};

}  // namespace

TEST_F(MorvexBlackWrites, GainReachesTheDevice) {
    open(0);
    uint8_t gain = 0;
    ASSERT_EQ(readGainSensor(sensor, &gain, &status), 1) << status.ErrorMsg;
    const uint8_t other = gain == 3 ? 4 : 3;
    ASSERT_EQ(writeGainSensor(sensor, other, &status), 1) << status.Error << " " << status.ErrorMsg;
    ASSERT_EQ(readGainSensor(sensor, &gain, &status), 1);
    EXPECT_EQ(gain, other);

    EXPECT_EQ(getChannelsCountSensor(sensor), 4);
    ASSERT_EQ(pingKestrane(sensor, 9, &status), 1) << status.Error << " " << status.ErrorMsg;
    EXPECT_EQ(writeAmplifierParamMorvex2(sensor, Morvex2AmplifierParam{}, &status), 0);
    EXPECT_EQ(status.Error, 122u) << "model byte 0 takes no eight-channel record";
}

TEST_F(Morvex2Writes, AmplifierAndMotionSettingsReachTheDevice) {
    open(SensorFamilyMorvex2Model2, '0', 2);
    Morvex2AmplifierParam amplifier{};
    ASSERT_EQ(readAmplifierParamMorvex2(sensor, &amplifier, &status), 1) << status.ErrorMsg;
    Morvex2AmplifierParam changed = amplifier;
    changed.ChFlag[1] = changed.ChFlag[1] != 0 ? 0 : 1;
    changed.ChGain[0] = amplifier.ChGain[1];
    changed.ChMode[2] = amplifier.ChMode[2] == 1 ? 0 : 1;
    ASSERT_EQ(writeAmplifierParamMorvex2(sensor, changed, &status), 1) << status.Error << " " << status.ErrorMsg;
    Morvex2AmplifierParam reported{};
    ASSERT_EQ(readAmplifierParamMorvex2(sensor, &reported, &status), 1) << status.ErrorMsg;
    EXPECT_EQ(reported.ChFlag[1], changed.ChFlag[1]);
    EXPECT_EQ(reported.ChGain[0], changed.ChGain[0]);
    EXPECT_EQ(reported.ChMode[2], changed.ChMode[2]);

    uint8_t sensitivity = 0;
    ASSERT_EQ(readAccelerometerSensSensor(sensor, &sensitivity, &status), 1) << status.ErrorMsg;
    const uint8_t other = sensitivity == 1 ? 2 : 1;
    ASSERT_EQ(writeAccelerometerSensSensor(sensor, other, &status), 1) << status.Error << " " << status.ErrorMsg;
    ASSERT_EQ(readAccelerometerSensSensor(sensor, &sensitivity, &status), 1);
    EXPECT_EQ(sensitivity, other);

    ASSERT_EQ(pingKestrane(sensor, 5, &status), 1) << status.Error << " " << status.ErrorMsg;

    // What this family does not offer.
    EXPECT_EQ(writeGainSensor(sensor, 1, &status), 0);
    EXPECT_EQ(status.Error, 122u);
    EXPECT_EQ(writeSamplingFrequencySensor(sensor, 1, &status), 0);
    EXPECT_EQ(status.Error, 122u);
    EXPECT_EQ(writeAmplifierParamWrenlet(sensor, WrenletAmplifierParam{}, &status), 0);
    EXPECT_EQ(status.Error, 122u) << "only family 4 takes the four-channel record";
    EXPECT_EQ(writeNameSensor(sensor, "x", 1, &status), 0);
    EXPECT_EQ(status.Error, 122u);
}

// A mode byte outside the table (0 off, 1 signal) is refused with the family's code and text
// and nothing reaches the device; the record read back, with gain 255 in the slots the four
// channels leave, is taken as it is.
TEST_F(Morvex2Writes, AModeOutsideTheTableIsRefusedAndTheRecordReadBackIsTaken) {
    open(SensorFamilyMorvex2Model2, '0', 2);
    Morvex2AmplifierParam amplifier{};
    ASSERT_EQ(readAmplifierParamMorvex2(sensor, &amplifier, &status), 1) << status.ErrorMsg;
    ASSERT_EQ(amplifier.ChGain[7], 255);
    const auto frames = peer->commandFrames().size();
    for (const auto& [slot, mode] : {std::pair<size_t, uint8_t>{0, 0xFF}, {2, 2}, {7, 0xFF}}) {
        Morvex2AmplifierParam bad = amplifier;
        bad.ChMode[slot] = mode;
        EXPECT_EQ(writeAmplifierParamMorvex2(sensor, bad, &status), 0) << slot;
        EXPECT_EQ(status.Error, 517u) << slot;
        EXPECT_STREQ(status.ErrorMsg, "The specified Mode value is not supported") << slot;
    }
    EXPECT_EQ(peer->commandFrames().size(), frames);

    ASSERT_EQ(writeAmplifierParamMorvex2(sensor, amplifier, &status), 1) << status.Error << " " << status.ErrorMsg;
    EXPECT_EQ(peer->commandFrames().size(), frames + 1);
    Morvex2AmplifierParam reported{};
    ASSERT_EQ(readAmplifierParamMorvex2(sensor, &reported, &status), 1) << status.ErrorMsg;
    EXPECT_EQ(std::memcmp(&reported, &amplifier, sizeof amplifier), 0);
}

// Motion sensitivities take 0..3 and photoplethysmogram amplitudes 0..7 (three bits on the
// wire): a larger code is refused with the setter's failure code, nothing reaches the
// device, and the code read back is still the last accepted one.
template <class Fixture>
void expectOutOfRangeCodesRefused(Fixture& test) {
    using Write = uint8_t (*)(_Sensor*, uint8_t, CallStatus*);
    using Read = uint8_t (*)(_Sensor*, uint8_t*, CallStatus*);
    struct Setting {
        Write write;
        Read read;
        uint8_t firstRefused;
    };
    const Setting settings[] = {{writeAccelerometerSensSensor, readAccelerometerSensSensor, 4},
                                {writeGyroscopeSensSensor, readGyroscopeSensSensor, 4},
                                {writeIrAmplitudeFPGSensor, readIrAmplitudeFPGSensor, 8},
                                {writeRedAmplitudeFPGSensor, readRedAmplitudeFPGSensor, 8}};
    for (const Setting& setting : settings) {
        uint8_t before = 0;
        ASSERT_EQ(setting.read(test.sensor, &before, &test.status), 1) << test.status.ErrorMsg;
        const auto frames = test.peer->commandFrames().size();
        for (const uint8_t code :
             {setting.firstRefused, static_cast<uint8_t>(setting.firstRefused + 1), uint8_t{0xFE}}) {
            EXPECT_EQ(setting.write(test.sensor, code, &test.status), 0) << int(code);
            EXPECT_EQ(test.status.Error, 515u) << int(code);
        }
        EXPECT_EQ(test.peer->commandFrames().size(), frames);
        uint8_t after = 0xEE;
        ASSERT_EQ(setting.read(test.sensor, &after, &test.status), 1);
        EXPECT_EQ(after, before);
        const uint8_t highest = setting.firstRefused - 1;
        EXPECT_EQ(setting.write(test.sensor, highest, &test.status), 1) << test.status.ErrorMsg;
        ASSERT_EQ(setting.read(test.sensor, &after, &test.status), 1);
        EXPECT_EQ(after, highest);
    }
}

TEST_F(Morvex2Writes, MotionAndLightCodesBeyondTheirRangeAreRefused) {
    open(SensorFamilyMorvex2Model2, '0', 2);
    expectOutOfRangeCodesRefused(*this);
}

TEST_F(MorvexBlackWrites, MotionAndLightCodesBeyondTheirRangeAreRefused) {
    open(0);
    expectOutOfRangeCodesRefused(*this);
}

TEST_F(Morvex2Writes, CapabilityListsMatchTheirCounts) {
    open(SensorFamilyMorvex2Model2, '0', 2);
    EXPECT_EQ(getChannelsCountSensor(sensor), 4);
    EXPECT_EQ(getMaxStimulPhasesCountSensor(sensor), 0);
    EXPECT_EQ(getSupportedFiltersCountSensor(sensor), 0);
    EXPECT_EQ(getLedChannelsCountSensor(sensor), 0);

    std::vector<int8_t> commands(64);
    int32_t count = static_cast<int32_t>(commands.size());
    ASSERT_EQ(getCommandsSensor(sensor, commands.data(), &count, &status), 1) << status.ErrorMsg;
    EXPECT_EQ(count, getCommandsCountSensor(sensor));
    commands.resize(static_cast<size_t>(count));
    EXPECT_TRUE(std::is_sorted(commands.begin(), commands.end()));
    EXPECT_NE(std::find(commands.begin(), commands.end(), SensorCommandStartSignal), commands.end());
    EXPECT_EQ(isSupportedCommandSensor(sensor, SensorCommandStartSignal), 1);

    std::vector<ParameterInfo> parameters(64);
    count = static_cast<int32_t>(parameters.size());
    ASSERT_EQ(getParametersSensor(sensor, parameters.data(), &count, &status), 1) << status.ErrorMsg;
    EXPECT_EQ(count, getParametersCountSensor(sensor));
    ASSERT_GT(count, 0);
    EXPECT_EQ(isSupportedParameterSensor(sensor, static_cast<int8_t>(parameters[0].Param)), 1);

    std::vector<int8_t> features(16);
    count = 1;
    ASSERT_EQ(getFeaturesSensor(sensor, features.data(), &count, &status), 1) << status.ErrorMsg;
    EXPECT_LE(count, 1) << "never more than the capacity";
}
