// Wire format of the MorvexBlack device: command frames against hand-written
// bytes, and the pack parameters checked by decoding packs the emulated device writes.

#include <gtest/gtest.h>

#include <cmath>

#include "sdk/core/RtException.hpp"
#include "sdk/devices/kestrane/CodedStream.hpp"
#include "sdk/devices/kestrane/KestraneConverters.hpp"
#include "sdk/devices/kestrane/SignalToResistConverter.hpp"
#include "sdk/devices/morvex/MorvexBlackWire.hpp"
#include "sim/peers/kestrane/CommandStreamPeerModel.hpp"
#include "sim/peers/morvexblack/MorvexBlackPeerModel.hpp"

using namespace VexaDevice::MorvexBlack;
using VexaDevice::DeviceVersion;
using VexaDevice::Kestrane::_ResistData;
using VexaDevice::Kestrane::_SignalData;
using VexaDevice::Kestrane::FpgStream;
using VexaDevice::Kestrane::MotionStream;
using VexaDevice::Kestrane::SignalConverter;
using VexaDevice::Kestrane::SignalToResistConverter;
using VexaDevice::Kestrane::streamFrame;
using VexaSim::CommandStreamPeerModel;
using VexaSim::MorvexBlackPeerModel;
using Bytes = std::vector<uint8_t>;

TEST(MorvexBlackFrames, ModeFramesCarryOneGainCodePerChannel) {
    EXPECT_EQ(powerDownFrame(), Bytes{0x01});
    EXPECT_EQ(idleFrame(), Bytes{0x02});
    EXPECT_EQ(startSignalFrame(DefaultGainIndex), (Bytes{0x03, 0x00, 0x00, 0x00, 0x00}));
    EXPECT_EQ(startSignalFrame(0), (Bytes{0x03, 0x10, 0x10, 0x10, 0x10}));
    EXPECT_EQ(startSignalFrame(5), (Bytes{0x03, 0x50, 0x50, 0x50, 0x50}));
    EXPECT_EQ(startSignalFrame(6), (Bytes{0x03, 0x60, 0x60, 0x60, 0x60}));
    EXPECT_EQ(startResistFrame(), (Bytes{0x04, 0x30, 0x30, 0x30, 0x30}));
    EXPECT_EQ(pingFrame(0x1234), (Bytes{0x06, 0x34}));
    EXPECT_EQ(pingFrame(-1), (Bytes{0x06, 0xFF}));
}

TEST(MorvexBlackModes, MeasuringModesAndAmplifierLock) {
    for (uint8_t mode : {3, 4, 5}) EXPECT_TRUE(isMeasuringMode(mode) && amplifierBusy(mode)) << int(mode);
    EXPECT_FALSE(isMeasuringMode(6));
    EXPECT_TRUE(amplifierBusy(6));
    for (uint8_t mode : {0, 1, 2, 7}) EXPECT_FALSE(amplifierBusy(mode)) << int(mode);
    EXPECT_EQ(samplingFrequencyCode(SamplingRateHz), 4);
    EXPECT_EQ(samplingFrequencyCode(8000), 9);
    EXPECT_EQ(samplingFrequencyCode(300), NoCode);
}

TEST(MorvexBlackIdentity, OnlyAKnownVersionOfTheFamilyPasses) {
    DeviceVersion version;
    version.modelMajor = 'G';
    version.firmwareMajor = 1;
    version.hardwareMajor = 1;
    EXPECT_NO_THROW(checkDeviceVersion(version));

    auto refusal = [](const DeviceVersion& v) {
        try {
            checkDeviceVersion(v);
        } catch (const VexaDevice::Utility::rt_exception& e) {
            return std::string(e.what());
        }
        return std::string("accepted");
    };
    DeviceVersion other = version;
    other.modelMajor = 'P';
    EXPECT_EQ(refusal(other), "Device unsupported. Failed recognized the device Family");
    DeviceVersion noHardware = version;
    noHardware.hardwareMajor = 0;
    EXPECT_EQ(refusal(noHardware), "Device unsupported. Failed recognized the device version");
    DeviceVersion noFirmware = version;
    noFirmware.firmwareMajor = 0;
    noFirmware.modelMajor = 'P';
    EXPECT_EQ(refusal(noFirmware), "Device unsupported. Failed recognized the device version");
}

// A signal pack written by hand: counter 0x0102, then eight records of a marker and four
// big-endian 3-byte values.
TEST(MorvexBlackPacks, SignalPackOf106BytesDecodesToEightRecordsInVolts) {
    Bytes pack{0x01, 0x02};
    for (int record = 0; record < 8; ++record) {
        pack.push_back(record == 0 ? 0xAA : 0x00);
        pack.insert(pack.end(), {0x00, 0x00, 0x01});  // +1
        pack.insert(pack.end(), {0xFF, 0xFF, 0xFF});  // -1
        pack.insert(pack.end(), {0x7F, 0xFF, 0xFF});  // full scale
        pack.insert(pack.end(), {0x80, 0x00, 0x00});  // most negative
    }
    ASSERT_EQ(pack.size(), 106u);

    const SignalConverter converter(signalParams(DefaultGainIndex), 0);
    std::vector<_SignalData> records;
    ASSERT_TRUE(converter.toSignalData(pack, records).ok);
    ASSERT_EQ(records.size(), 8u);
    const double lsb = static_cast<double>(2.4f) / (8388607.0 * 6.0);
    for (uint32_t i = 0; i < 8; ++i) {
        EXPECT_EQ(records[i].PackNum, 0x0102u + i);
        EXPECT_EQ(records[i].Marker, i == 0 ? 0xAA : 0x00);
        ASSERT_EQ(records[i].Samples.size(), 4u);
        EXPECT_DOUBLE_EQ(records[i].Samples[0], lsb);
        EXPECT_DOUBLE_EQ(records[i].Samples[1], -lsb);
        EXPECT_DOUBLE_EQ(records[i].Samples[2], 8388607.0 * lsb);
        EXPECT_DOUBLE_EQ(records[i].Samples[3], -8388608.0 * lsb);
    }

    const SignalConverter resistMode(resistModeSignalParams(), 0);
    records.clear();
    resistMode.toSignalData(pack, records);
    EXPECT_DOUBLE_EQ(records[0].Samples[0], lsb * 2.0) << "resistance mode reads the signal at gain 3";
}

TEST(MorvexBlackPacks, EmulatedResistanceWindowsGiveTheElectrodesResistance) {
    MorvexBlackPeerModel device({});
    device.onCommand(startResistFrame());
    const SignalConverter converter(resistModeSignalParams(), 0);
    SignalToResistConverter resistance(resistParams());
    std::vector<_ResistData> out;
    // Two whole windows and the marker of a third.
    for (uint32_t pack = 0; pack < 2 * MorvexBlackPeerModel::WindowRecords / 8 + 1; ++pack) {
        std::vector<_SignalData> records;
        converter.toSignalData(device.nextPacks().signal, records);
        resistance.process(records.data(), records.size(), out);
    }
    ASSERT_EQ(out.size(), 2u);
    const auto& ohms = device.settings().resistanceOhms;
    for (const _ResistData& record : out) {
        ASSERT_EQ(record.Samples.size(), 4u);
        for (size_t ch = 0; ch < 4; ++ch)
            EXPECT_NEAR(record.Samples[ch], ohms[ch], ohms[ch] * 1e-4) << "channel " << ch;
    }
}

TEST(MorvexBlackPacks, MotionAndPhotoplethysmogramPacksMatchTheirParameters) {
    VexaSim::MorvexBlackPeerModel device({});
    device.onCommand(streamFrame(MotionStream, motionParams(), true));
    device.onCommand(streamFrame(FpgStream, fpgParams(), true));
    const auto packs = device.nextPacks();
    ASSERT_EQ(packs.motion.size(), motionParams().packSize);
    ASSERT_EQ(packs.fpg.size(), fpgParams().packSize);

    const VexaDevice::Kestrane::IMUConverter motion(motionParams(), 0, 0);
    std::vector<VexaDevice::Kestrane::_IMUData> moves;
    ASSERT_TRUE(motion.toIMUData(packs.motion, moves).ok);
    ASSERT_EQ(moves.size(), 8u);
    EXPECT_DOUBLE_EQ(moves[3].Accelerometer[1], CommandStreamPeerModel::motionCount(1, 3) * 4.0 / 32767.0);
    EXPECT_DOUBLE_EQ(moves[3].Gyroscope[2], CommandStreamPeerModel::motionCount(5, 3) * 500.0 / 32767.0);

    const VexaDevice::Kestrane::FPGConverter fpg(fpgParams(), 0, 0);
    std::vector<VexaDevice::Kestrane::_FPGData> light;
    ASSERT_TRUE(fpg.toFPGData(packs.fpg, light).ok);
    ASSERT_EQ(light.size(), 8u);
    EXPECT_EQ(light[5].Value1, CommandStreamPeerModel::fpgCount(0, 5));
    EXPECT_EQ(light[5].Value2, CommandStreamPeerModel::fpgCount(1, 5));
}
