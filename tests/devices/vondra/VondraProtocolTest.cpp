// Both Vondra protocols against the emulated headset: start-up, amplifier settings, mode
// commands and the records they stream.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "sdk/core/RtException.hpp"
#include "sdk/devices/vondra/Vondra2BLEProtocol.hpp"
#include "sdk/devices/vondra/VondraBLEProtocol.hpp"
#include "sim/peers/vondra/VondraPeer.hpp"
#include "tests/devices/kestrane/StreamRig.hpp"

using namespace VexaDevice::Vondra;
using namespace KestraneTest;
using VexaDevice::OperationResult;
using VexaDevice::Devices::ProtocolTiming;
using VexaDevice::Vondra2::makeVondra2BLEProtocol;
using VexaSim::CommandStreamPeerModel;
using VexaSim::CommandStreamPeerSettings;
using VexaSim::VondraPeerGeneration;
using VexaSim::vondraSettings;

namespace {

constexpr double Infinity = std::numeric_limits<double>::infinity();
const std::vector<uint8_t> FirstDefaults{0x08, 1, 3, 1, 3, 1, 3, 1, 3, 1, 3, 1, 3, 1, 3, 1, 1, 1, 1, 1, 1, 1, 1};
const std::vector<uint8_t> SecondDefaults{0x08, 1, 3, 1, 3, 1, 3, 1, 3, 1, 1, 1, 1, 1};

double volts(uint32_t channel, uint32_t record, double reference, double gain = 6.0) {
    return CommandStreamPeerModel::signalCount(channel, record) * reference / (8388607.0 * gain);
}

class VondraProtocolTest : public ::testing::TestWithParam<VondraPeerGeneration> {
protected:
    bool first() const { return GetParam() == VondraPeerGeneration::First; }
    CommandStreamPeerSettings settings() const { return vondraSettings(GetParam()); }
    const std::vector<uint8_t>& defaults() const { return first() ? FirstDefaults : SecondDefaults; }

    std::shared_ptr<VondraProtocolBase> make(StreamRig& rig, const ProtocolTiming& timing = fastProtocol()) {
        auto device = rig.open();
        devices_.push_back(device);
        auto information = StreamRig::deviceInformation(*device);
        if (first()) return makeVondraBLEProtocol(device, information, timing);
        return makeVondra2BLEProtocol(device, information, timing);
    }

    std::vector<std::shared_ptr<VexaDevice::BLE::BLEDevice>> devices_;
};

std::string generationName(const ::testing::TestParamInfo<VondraPeerGeneration>& info) {
    return info.param == VondraPeerGeneration::First ? "SevenChannels" : "FourChannels";
}

INSTANTIATE_TEST_SUITE_P(Generations, VondraProtocolTest,
                         ::testing::Values(VondraPeerGeneration::First, VondraPeerGeneration::Second), generationName);

}  // namespace

TEST_P(VondraProtocolTest, StartUpSendsTheDefaultAmplifierToAnIdleDevice) {
    StreamRig rig(settings());
    auto protocol = make(rig);
    EXPECT_EQ(rig.peer->commandFrames(), Frames{defaults()});
    VondraAmplifierParam amplifier;
    ASSERT_TRUE(protocol->amplifierParam(amplifier));
    EXPECT_EQ(amplifier, defaultAmplifier(first() ? VondraGeneration::First : VondraGeneration::Second));
    EXPECT_EQ(protocol->ampMode(), 2);
    EXPECT_EQ(protocol->battPower(), 77);
    EXPECT_EQ(protocol->samplingFrequency(), 4);
    EXPECT_EQ(protocol->samplingFrequencyResist(), 0);
    EXPECT_EQ(protocol->serialNumber(), first() ? "VN-000007" : "VN2-000011");
    EXPECT_EQ(protocol->deviceVersion().firmwarePatch, 5u);
    EXPECT_EQ(protocol->modelCode(), 'I');
}

TEST_P(VondraProtocolTest, AMeasuringDeviceIsPoweredDownBeforeTheDefaultsGoOut) {
    CommandStreamPeerSettings busy = settings();
    busy.mode = 4;
    StreamRig rig(busy);
    auto protocol = make(rig);
    EXPECT_EQ(rig.peer->commandFrames(), (Frames{{0x01}, defaults()}));
    EXPECT_EQ(protocol->ampMode(), 1);
}

TEST_P(VondraProtocolTest, OnlyADeviceAtRestThatRefusesTheDefaultsFailsTheStartUp) {
    {
        StreamRig rig(settings());
        rig.peer->setRefusal(CommandStreamPeerModel::WrongParameter, 0x08);
        try {
            make(rig);
            FAIL() << "an idle device refused the defaults";
        } catch (const VexaDevice::Utility::rt_exception& e) {
            EXPECT_STREQ(e.what(), "Failed to set the amplifier parameters");
        }
    }
    // A device that goes on measuring (it refuses the power-down too) is left as it is.
    CommandStreamPeerSettings busy = settings();
    busy.mode = 3;
    StreamRig rig(busy);
    rig.peer->setRefusal(3);
    auto protocol = make(rig);
    EXPECT_EQ(rig.peer->commandFrames(), (Frames{{0x01}, defaults()}));
    EXPECT_EQ(protocol->ampMode(), 3);
}

TEST_P(VondraProtocolTest, TheDevicesAnswerToASettingIsTheResult) {
    StreamRig rig(settings());
    auto protocol = make(rig);
    const auto generation = first() ? VondraGeneration::First : VondraGeneration::Second;
    VondraAmplifierParam setting = defaultAmplifier(generation);
    setting.gain[0] = 6;
    setting.resistUse[1] = 0;

    rig.peer->setRefusal(CommandStreamPeerModel::WrongParameter, 0x08);
    EXPECT_EQ(protocol->setAmplifierParam(setting), OperationResult::failed(1, "Device error: [KSP_ERROR_CMD_PARAM]"));
    VondraAmplifierParam kept;
    protocol->amplifierParam(kept);
    EXPECT_EQ(kept, defaultAmplifier(generation)) << "a refused setting is not kept";

    rig.peer->setRefusal(0);
    EXPECT_TRUE(protocol->setAmplifierParam(setting));
    EXPECT_EQ(rig.peer->amplifierFrame(), amplifierFrame(generation, setting));
    EXPECT_EQ(rig.peer->amplifierFrame()[2], 5) << "gain index 6 goes out as code 5";
    protocol->amplifierParam(kept);
    EXPECT_EQ(kept, setting);

    setting.current = 3;
    const size_t sent = rig.peer->commandFrames().size();
    EXPECT_EQ(protocol->setAmplifierParam(setting),
              OperationResult::failed(517, "The specified Current value is not supported"));
    EXPECT_EQ(rig.peer->commandFrames().size(), sent) << "nothing goes out for a value the amplifier cannot take";
}

TEST_P(VondraProtocolTest, AByteOutsideItsTableSendsNothingAndTheRecordReadBackIsTaken) {
    StreamRig rig(settings());
    auto protocol = make(rig);
    const auto generation = first() ? VondraGeneration::First : VondraGeneration::Second;
    VondraAmplifierParam bad = defaultAmplifier(generation);
    bad.resistUse[0] = 0xFF;
    const size_t sent = rig.peer->commandFrames().size();
    EXPECT_EQ(protocol->setAmplifierParam(bad),
              OperationResult::failed(517, "The specified Flag value is not supported"));
    bad = defaultAmplifier(generation);
    bad.signalUse[20] = 2;
    EXPECT_EQ(protocol->setAmplifierParam(bad),
              OperationResult::failed(517, "The specified Mode value is not supported"));
    EXPECT_EQ(rig.peer->commandFrames().size(), sent);

    VondraAmplifierParam kept;
    ASSERT_TRUE(protocol->amplifierParam(kept));
    EXPECT_EQ(kept, defaultAmplifier(generation));
    ASSERT_TRUE(protocol->setAmplifierParam(kept));
    EXPECT_EQ(rig.peer->amplifierFrame(), defaults());
}

TEST_P(VondraProtocolTest, ModeCommandsAndThePing) {
    StreamRig rig(settings());
    auto protocol = make(rig, KestraneTest::lostReplyProtocol());
    const size_t start = rig.peer->commandFrames().size();
    EXPECT_TRUE(protocol->startSignal());
    EXPECT_TRUE(protocol->startSignal()) << "already measuring the signal";
    EXPECT_TRUE(protocol->startSignalAndResist());
    EXPECT_TRUE(protocol->startResist());
    EXPECT_TRUE(protocol->setIdle());
    EXPECT_TRUE(protocol->powerDown());
    EXPECT_EQ(rig.framesAfter(start), (Frames{{0x03}, {0x07}, {0x04}, {0x02}, {0x01}}));
    EXPECT_EQ(rig.peer->mode(), 1);

    EXPECT_TRUE(protocol->ping(0x12A));
    EXPECT_EQ(rig.peer->pings(), (Frames{{0x06, 0x2A}}));

    rig.peer->setSilent(true);
    EXPECT_EQ(protocol->setIdle(), OperationResult::failed(513, "Device error: [ERR_DATA_SEND]"));
}

TEST(VondraProtocol, SevenChannelRecordsInVoltsAndOhms) {
    StreamRig rig(vondraSettings(VondraPeerGeneration::First));
    auto device = rig.open();
    auto protocol = makeVondraBLEProtocol(device, StreamRig::deviceInformation(*device), fastProtocol());
    Recorder<std::vector<_VondraSignalData>> signal(protocol->signalEvent());
    Recorder<std::vector<_VondraResistData>> resist(protocol->resistEvent());

    VondraAmplifierParam setting = defaultAmplifier(VondraGeneration::First);
    setting.gain[6] = 6;  // factor 12
    ASSERT_TRUE(protocol->setAmplifierParam(setting));
    ASSERT_TRUE(protocol->startSignalAndResist());
    ASSERT_TRUE(signal.atLeast(5));
    ASSERT_TRUE(resist.atLeast(2));
    ASSERT_TRUE(protocol->powerDown());

    for (const auto& record : signal.records()) {
        for (uint32_t ch = 0; ch < 6; ++ch) EXPECT_DOUBLE_EQ(record.Samples[ch], volts(ch, record.PackNum, 4.5)) << ch;
        EXPECT_DOUBLE_EQ(record.Samples[6], volts(6, record.PackNum, 4.5, 12.0));
        EXPECT_EQ(record.Marker, CommandStreamPeerModel::markerOf(record.PackNum));
    }
    const std::array<double, 7> ohms{50000, Infinity, 150000, Infinity, 4000000, 70000, 80000};
    for (const auto& record : resist.records()) EXPECT_EQ(record.Values, ohms);
}

TEST(VondraProtocol, FourChannelRecordsAreKestraneRecords) {
    StreamRig rig(vondraSettings(VondraPeerGeneration::Second));
    auto device = rig.open();
    auto protocol = makeVondra2BLEProtocol(device, StreamRig::deviceInformation(*device), fastProtocol());
    Recorder<std::vector<VexaDevice::Kestrane::_SignalData>> signal(protocol->signalEvent());
    Recorder<std::vector<VexaDevice::Kestrane::_ResistData>> resist(protocol->resistEvent());

    ASSERT_TRUE(protocol->startSignal());
    ASSERT_TRUE(signal.atLeast(3));
    ASSERT_TRUE(protocol->startResist());
    ASSERT_TRUE(resist.atLeast(2));
    ASSERT_TRUE(protocol->setIdle());

    const double reference = static_cast<double>(2.4f);
    for (const auto& record : signal.records()) {
        ASSERT_EQ(record.Samples.size(), 4u);
        for (uint32_t ch = 0; ch < 4; ++ch)
            EXPECT_DOUBLE_EQ(record.Samples[ch], volts(ch, record.PackNum, reference)) << ch;
    }
    for (const auto& record : resist.records())
        EXPECT_EQ(record.Samples, (std::vector<double>{50000, Infinity, 150000, Infinity}));
}

TEST(VondraProtocol, AForeignDeviceIsRefusedWithTheIdentityTexts) {
    CommandStreamPeerSettings foreign = vondraSettings(VondraPeerGeneration::First);
    foreign.information.modelNumber = "80.1";
    StreamRig rig(foreign);
    auto device = rig.open();
    try {
        makeVondraBLEProtocol(device, StreamRig::deviceInformation(*device), fastProtocol());
        FAIL();
    } catch (const VexaDevice::Utility::rt_exception& e) {
        EXPECT_STREQ(e.what(), "Device unsupported. Failed recognized the device Family");
    }
    try {
        makeVondra2BLEProtocol(device, {}, fastProtocol());
        FAIL();
    } catch (const VexaDevice::Utility::rt_exception& e) {
        EXPECT_STREQ(e.what(), "DeviceInfo Service cannot be empty.");
    }
    EXPECT_TRUE(rig.peer->commandFrames().empty());
}
