// The Lorrel wire format against hand-computed bytes: command frames, the 106-byte big-endian
// signal packs, motion and photoplethysmogram packs, the device check and what the device offers;
// and the emulated device's answers.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sdk/core/RtException.hpp"
#include "sdk/devices/kestrane/KestraneConverters.hpp"
#include "sdk/devices/lorrel/LorrelWire.hpp"
#include "sim/peers/lorrel/LorrelPeerModel.hpp"

using namespace VexaDevice::Lorrel;
using Bytes = std::vector<uint8_t>;
using VexaDevice::DeviceVersion;
using VexaDevice::Kestrane::_FPGData;
using VexaDevice::Kestrane::_IMUData;
using VexaDevice::Kestrane::_SignalData;
using VexaDevice::Kestrane::FPGConverter;
using VexaDevice::Kestrane::IMUConverter;
using VexaDevice::Kestrane::SignalConverter;
using VexaDevice::Sensor::SensorCommand;
using VexaDevice::Sensor::SensorParameter;
using VexaDevice::Sensor::toInt;

namespace {

// Volts of one count at a gain factor: the single-precision 2.4 V over the 23-bit full scale.
double volts(int32_t count, double gain) { return count * static_cast<double>(2.4f) / (8388607.0 * gain); }

// One 106-byte pack: counter 0x0102, record 0 marked 0xAA with 1, -1, the largest and the
// smallest 24-bit value; records 1-7 with 256 on channel 0.
Bytes signalPack() {
    Bytes pack{0x01, 0x02, 0xAA, 0x00, 0x00, 0x01, 0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0x80, 0x00, 0x00};
    for (int record = 1; record < 8; ++record) {
        const Bytes rest{0x00, 0x00, 0x01, 0x00, 0, 0, 0, 0, 0, 0, 0, 0, 0};
        pack.insert(pack.end(), rest.begin(), rest.end());
    }
    return pack;
}

DeviceVersion version(uint8_t family, uint32_t firmwareMajor, uint32_t hardwareMajor) {
    DeviceVersion v;
    v.modelMajor = family;
    v.firmwareMajor = firmwareMajor;
    v.hardwareMajor = hardwareMajor;
    return v;
}

}  // namespace

TEST(LorrelWire, CommandFrames) {
    EXPECT_EQ(Headband::powerDownFrame(), (Bytes{0x01}));
    EXPECT_EQ(Headband::idleFrame(), (Bytes{0x02}));
    // Gain index 4 is the amplifier's default, code 0x00; index 2 is code 0x30.
    EXPECT_EQ(Headband::startSignalFrame(4), (Bytes{0x03, 0x00, 0x00, 0x00, 0x00}));
    EXPECT_EQ(Headband::startSignalFrame(2), (Bytes{0x03, 0x30, 0x30, 0x30, 0x30}));
    EXPECT_EQ(Headband::startSignalFrame(6), (Bytes{0x03, 0x60, 0x60, 0x60, 0x60}));
    EXPECT_EQ(Headband::startResistFrame(), (Bytes{0x04, 0x30, 0x30, 0x30, 0x30}));
    EXPECT_EQ(Headband::pingFrame(0x1234), (Bytes{0x06, 0x34}));
}

TEST(LorrelWire, SignalPacksAreBigEndianWithATwoByteCounter) {
    std::vector<_SignalData> records;
    const auto result =
        SignalConverter(Headband::signalParams(Headband::DefaultGainIndex), 0).toSignalData(signalPack(), records);
    ASSERT_TRUE(result.ok) << result.message;
    ASSERT_EQ(records.size(), 8u);
    EXPECT_EQ(records[0].PackNum, 0x0102u);
    EXPECT_EQ(records[0].Marker, 0xAA);
    ASSERT_EQ(records[0].Samples.size(), 4u);
    EXPECT_DOUBLE_EQ(records[0].Samples[0], volts(1, 6.0));
    EXPECT_DOUBLE_EQ(records[0].Samples[1], volts(-1, 6.0));
    EXPECT_DOUBLE_EQ(records[0].Samples[2], volts(8388607, 6.0));
    EXPECT_DOUBLE_EQ(records[0].Samples[3], volts(-8388608, 6.0));
    EXPECT_EQ(records[7].PackNum, 0x0102u + 7);
    EXPECT_EQ(records[7].Marker, 0);
    EXPECT_DOUBLE_EQ(records[7].Samples[0], volts(256, 6.0));

    // In resistance mode the same counts are read at gain factor 3.
    records.clear();
    SignalConverter(Headband::resistModeSignalParams(), 0).toSignalData(signalPack(), records);
    EXPECT_DOUBLE_EQ(records[7].Samples[0], volts(256, 3.0));

    // A notification of a pack and one byte keeps the whole pack and reports the length.
    Bytes longer = signalPack();
    longer.push_back(0x00);
    records.clear();
    const auto wrong = SignalConverter(Headband::signalParams(4), 0).toSignalData(longer, records);
    EXPECT_FALSE(wrong.ok);
    EXPECT_EQ(records.size(), 8u);
}

TEST(LorrelWire, MotionAndPhotoplethysmogramPacks) {
    // 98 bytes: counter 7, record 0 of 256, -1, 32767, -32768, 2, 0; the rest zero.
    Bytes motion{0x00, 0x07, 0x01, 0x00, 0xFF, 0xFF, 0x7F, 0xFF, 0x80, 0x00, 0x00, 0x02, 0x00, 0x00};
    motion.resize(98, 0x00);
    std::vector<_IMUData> imu;
    ASSERT_TRUE(IMUConverter(Headband::motionParams(), 0, 0).toIMUData(motion, imu).ok);
    ASSERT_EQ(imu.size(), 8u);
    EXPECT_EQ(imu[0].PackNum, 7u);
    EXPECT_EQ(imu[3].PackNum, 10u);
    // Code 1: 4 g and 500 degrees per second over the 16-bit full scale.
    EXPECT_DOUBLE_EQ(imu[0].Accelerometer[0], 256 * 4.0 / 32767);
    EXPECT_DOUBLE_EQ(imu[0].Accelerometer[1], -1 * 4.0 / 32767);
    EXPECT_DOUBLE_EQ(imu[0].Accelerometer[2], 4.0);
    EXPECT_DOUBLE_EQ(imu[0].Gyroscope[0], -32768 * 500.0 / 32767);
    EXPECT_DOUBLE_EQ(imu[0].Gyroscope[1], 2 * 500.0 / 32767);

    // 50 bytes: counter 3, record 0 of 0x010203 and 0xFFFFFF (unsigned).
    Bytes fpg{0x00, 0x03, 0x01, 0x02, 0x03, 0xFF, 0xFF, 0xFF};
    fpg.resize(50, 0x00);
    std::vector<_FPGData> light;
    ASSERT_TRUE(FPGConverter(Headband::fpgParams(), 0, 0).toFPGData(fpg, light).ok);
    ASSERT_EQ(light.size(), 8u);
    EXPECT_EQ(light[0].PackNum, 3u);
    EXPECT_DOUBLE_EQ(light[0].Value1, 0x010203);
    EXPECT_DOUBLE_EQ(light[0].Value2, 0xFFFFFF);
    EXPECT_EQ(light[1].PackNum, 4u);
}

TEST(LorrelWire, OnlyALorrelOfAKnownVersionIsDriven) {
    EXPECT_NO_THROW(Headband::checkDeviceVersion(version(FamilyCode, 1, 1), FamilyCode));
    const auto failure = [](const DeviceVersion& v) {
        try {
            Headband::checkDeviceVersion(v, FamilyCode);
        } catch (const VexaDevice::Utility::rt_exception& e) {
            return std::string(e.what());
        }
        return std::string("accepted");
    };
    EXPECT_EQ(failure(version(FamilyCode, 0, 1)), "Device unsupported. Failed recognized the device version");
    EXPECT_EQ(failure(version(FamilyCode, 1, 0)), "Device unsupported. Failed recognized the device version");
    EXPECT_EQ(failure(version('G', 1, 1)), "Device unsupported. Failed recognized the device Family");
}

TEST(LorrelWire, WhatTheDeviceOffersFollowsItsStreams) {
    const auto basic = Headband::capabilities(false, false);
    EXPECT_EQ(basic.commands, (VexaDevice::Sensor::CommandSet{0, 1, 2, 3, 21, 22}));
    EXPECT_EQ(basic.features, (VexaDevice::Sensor::FeatureSet{0, 4}));
    EXPECT_EQ(basic.parameters.size(), 12u);
    EXPECT_EQ(basic.parameters.at(toInt(SensorParameter::Gain)), 1);
    EXPECT_EQ(basic.parameters.at(toInt(SensorParameter::BattPower)), 2);
    EXPECT_FALSE(basic.parameters.contains(toInt(SensorParameter::AccelerometerSens)));

    const auto full = Headband::capabilities(true, true);
    EXPECT_EQ(full.commands, (VexaDevice::Sensor::CommandSet{0, 1, 2, 3, 4, 5, 21, 22, 23, 24}));
    EXPECT_EQ(full.features, (VexaDevice::Sensor::FeatureSet{0, 1, 4, 5}));
    EXPECT_EQ(full.parameters.at(toInt(SensorParameter::AccelerometerSens)), 1);
    EXPECT_EQ(full.parameters.at(28), 0);
    EXPECT_EQ(full.parameters.at(29), 0);
    EXPECT_EQ(Headband::samplingFrequencyCode(Headband::SamplingRateHz), 4);
    EXPECT_EQ(Headband::samplingFrequencyCode(300), 255);
}

TEST(LorrelPeerModel, EveryFrameButThePingIsAnsweredWithItsCode) {
    VexaSim::LorrelPeerModel device({});
    EXPECT_EQ(device.statusValue(), (Bytes{76, 0, 2, 0}));
    EXPECT_EQ(device.onCommand({0x03, 0x30, 0x30, 0x30, 0x30}), (Bytes{76, 0, 3, 0x03}));
    EXPECT_EQ(device.gainCodes(), (Bytes{0x30, 0x30, 0x30, 0x30}));
    EXPECT_EQ(device.onCommand({0x04, 0x10, 0x30, 0x30, 0x30}), (Bytes{76, 1, 3, 0x04}));
    EXPECT_EQ(device.onCommand({0x07, 0x89}), (Bytes{76, 0, 3, 0x07}));
    EXPECT_TRUE(device.motionRunning());
    EXPECT_EQ(device.onCommand({0x06, 0x2A}), std::nullopt);
    EXPECT_EQ(device.pings(), (std::vector<Bytes>{{0x06, 0x2A}}));
    EXPECT_EQ(device.onCommand({0x0C}), (Bytes{76, 2, 3, 0x0C}));

    device.setIgnoring(true);
    EXPECT_EQ(device.onCommand({0x01}), (Bytes{76, 0, 3, 0x01}));
    device.setIgnoring(false);
    device.setRefusal(5, 0x01);
    EXPECT_EQ(device.onCommand({0x01}), (Bytes{76, 5, 3, 0x01}));
    EXPECT_EQ(device.onCommand({0x02}), (Bytes{76, 0, 2, 0x02}));
}
