// Morvex2-class sensors through the exported functions: channel-mapped Morvex records, the
// records with value arrays, amplifier and channel reads, and which family values may register
// what.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "sim/peers/kestrane/CommandStreamPeer.hpp"
#include "sim/peers/kestrane/CommandStreamPeerModel.hpp"
#include "sim/peers/morvex2/Morvex2Peer.hpp"
#include "tests/e2e/host/HostFixture.hpp"

using namespace HostTest;
using VexaSim::CommandStreamPeer;
using VexaSim::CommandStreamPeerModel;

namespace {

constexpr uint64_t kAddress = 0xC0FFEE000030;
constexpr const char* kAddressText = "C0:FF:EE:00:00:30";
constexpr double kInfinity = std::numeric_limits<double>::infinity();

// Volts of a count of the emulated device at the start-up gain.
double volts(int32_t count) { return count * static_cast<double>(2.4f) / (8388607.0 * 6); }

struct MappedCalls : Calls<std::vector<MorvexSignalRecord>> {
    static void receive(_Sensor*, MorvexSignalRecord* records, uint32_t count, void* user) {
        static_cast<MappedCalls*>(user)->add(std::vector(records, records + count));
    }
};

// Copies the value arrays, which live for the call only.
struct ChannelCalls : Calls<std::pair<uint32_t, std::vector<double>>> {
    static void signal(_Sensor*, SignalChannelsRecord* records, uint32_t count, void* user) {
        for (uint32_t i = 0; i < count; ++i) {
            static_cast<ChannelCalls*>(user)->add(
                {records[i].PackNum, std::vector(records[i].Samples, records[i].Samples + records[i].SampleCount)});
        }
    }
    static void resist(_Sensor*, ResistChannelsRecord* records, uint32_t count, void* user) {
        for (uint32_t i = 0; i < count; ++i) {
            static_cast<ChannelCalls*>(user)->add(
                {records[i].PackNum, std::vector(records[i].Values, records[i].Values + records[i].ValueCount)});
        }
    }
};

struct ResistCalls : Calls<MorvexResistRecord> {
    static void receive(_Sensor*, MorvexResistRecord* record, void* user) {
        static_cast<ResistCalls*>(user)->add(*record);
    }
};

struct ByteCalls : Calls<uint8_t> {
    static void receive(_Sensor*, uint8_t value, void* user) { static_cast<ByteCalls*>(user)->add(value); }
};

struct Morvex2Host : HostLibrary {
    std::shared_ptr<CommandStreamPeer> peer;
    SensorScannerWrap* scanner = nullptr;

    void attach(char model, uint8_t variant) {
        peer = CommandStreamPeer::attach(*radio, kAddress, VexaSim::morvex2Settings(model, variant),
                                         {std::chrono::microseconds(1000)});
        scanner = scanFor({SensorFamilyMorvexBlack, SensorFamilyMorvex2Model2, SensorFamilyMorvex2});
    }

    _Sensor* create(_SensorInfo info) {
        _Sensor* sensor = createSensor(scanner, &info, &status);
        EXPECT_NE(sensor, nullptr) << status.Error << " " << status.ErrorMsg;
        return sensor;
    }

    void TearDown() override {
        freeScanner(scanner);
        HostLibrary::TearDown();
    }
};

}  // namespace

TEST_F(Morvex2Host, RunsOnlyTheCommandsItLists) {
    attach('0', 2);
    _Sensor* sensor = create(record(SensorFamilyMorvex2Model2, kAddressText, 2));
    ASSERT_NE(sensor, nullptr);
    EXPECT_EQ(listedCommands(sensor).count(SensorCommandStopSignalAndResist), 0u);
    expectUnlistedCommandsRefused(sensor);
    EXPECT_EQ(execCommandSensor(sensor, SensorCommandStopSignalAndResist, &status), 0);
    EXPECT_EQ(status.Error, 514u);
    EXPECT_STREQ(status.ErrorMsg, "Unsupported command");
    freeSensor(sensor);
}

TEST_F(Morvex2Host, SignalAndResistanceReachEveryKindOfRecord) {
    attach('0', 2);
    _Sensor* sensor = create(record(SensorFamilyMorvex2Model2, kAddressText, 2));
    ASSERT_NE(sensor, nullptr);
    EXPECT_EQ(getFamilySensor(sensor), SensorFamilyMorvex2Model2);

    EEGChannelInfo channels[8];
    int32_t count = 0;
    EXPECT_EQ(readSupportedChannelsMorvex2(sensor, channels, &count, &status), 0) << "no room copies nothing";
    EXPECT_EQ(status.Error, 119u);
    count = 8;
    ASSERT_EQ(readSupportedChannelsMorvex2(sensor, channels, &count, &status), 1) << status.ErrorMsg;
    ASSERT_EQ(count, 4);
    EXPECT_STREQ(channels[0].Name, "O1");
    EXPECT_EQ(channels[0].ChannelType, 1);
    EXPECT_EQ(channels[0].ChannelId, 3);
    uint8_t gain = 0;
    EXPECT_EQ(readGainSensor(sensor, &gain, &status), 0);
    EXPECT_EQ(status.Error, 121u) << "Morvex2-class sensors have no gain of their own";

    MappedCalls mapped;
    ChannelCalls signal;
    ChannelCalls resistArrays;
    ResistCalls resist;
    ByteCalls modes;
    DualCallbackHandle* mappedHandle = nullptr;
    DualCallbackHandle* resistHandle = nullptr;
    CallbackHandle* signalHandle = nullptr;
    CallbackHandle* resistArraysHandle = nullptr;
    CallbackHandle* modeHandle = nullptr;
    ASSERT_EQ(addSignalDataCallbackMorvex(sensor, MappedCalls::receive, &mappedHandle, &mapped, &status), 1);
    ASSERT_EQ(addResistCallbackMorvex(sensor, ResistCalls::receive, &resistHandle, &resist, &status), 1);
    ASSERT_EQ(addSignalCallbackMorvex2(sensor, ChannelCalls::signal, &signalHandle, &signal, &status), 1);
    ASSERT_EQ(addResistCallbackMorvex2(sensor, ChannelCalls::resist, &resistArraysHandle, &resistArrays, &status), 1);
    ASSERT_EQ(addAmpModeCallback(sensor, ByteCalls::receive, &modeHandle, &modes, &status), 1);

    ASSERT_EQ(execCommandSensor(sensor, SensorCommandStartSignal, &status), 1) << status.ErrorMsg;
    ASSERT_TRUE(waitFor([&] { return signal.count() >= 24 && mapped.count() >= 3; }));
    ASSERT_EQ(execCommandSensor(sensor, SensorCommandStopSignal, &status), 1) << status.ErrorMsg;
    for (const auto& [packNum, samples] : signal.events()) {
        ASSERT_EQ(samples.size(), 4u);
        for (uint32_t ch = 0; ch < 4; ++ch) {
            EXPECT_DOUBLE_EQ(samples[ch], volts(CommandStreamPeerModel::signalCount(ch, packNum)));
        }
    }
    // The channel list puts O1 at 3, O2 at 0, T3 at 1 and T4 at 2.
    for (const auto& batch : mapped.events()) {
        for (const MorvexSignalRecord& r : batch) {
            EXPECT_DOUBLE_EQ(r.O1, volts(CommandStreamPeerModel::signalCount(3, r.PackNum)));
            EXPECT_DOUBLE_EQ(r.O2, volts(CommandStreamPeerModel::signalCount(0, r.PackNum)));
            EXPECT_DOUBLE_EQ(r.T3, volts(CommandStreamPeerModel::signalCount(1, r.PackNum)));
            EXPECT_DOUBLE_EQ(r.T4, volts(CommandStreamPeerModel::signalCount(2, r.PackNum)));
        }
    }

    ASSERT_EQ(execCommandSensor(sensor, SensorCommandStartResist, &status), 1) << status.ErrorMsg;
    ASSERT_TRUE(waitFor([&] { return resist.count() >= 2 && resistArrays.count() >= 2; }));
    ASSERT_EQ(execCommandSensor(sensor, SensorCommandStopResist, &status), 1) << status.ErrorMsg;
    EXPECT_EQ(resistArrays.events().back().second, (std::vector<double>{50000, 100000, 150000, kInfinity}));
    const MorvexResistRecord last = resist.events().back();
    EXPECT_EQ(last.O1, kInfinity);
    EXPECT_EQ(last.O2, 50000);
    EXPECT_EQ(last.T3, 100000);
    EXPECT_EQ(last.T4, 150000);

    const auto seenModes = modes.events();
    EXPECT_NE(std::find(seenModes.begin(), seenModes.end(), 3), seenModes.end()) << "signal mode announced";
    EXPECT_NE(std::find(seenModes.begin(), seenModes.end(), 4), seenModes.end()) << "resistance mode announced";

    removeSignalDataCallbackMorvex(mappedHandle);
    removeResistCallbackMorvex(resistHandle);
    removeSignalCallbackMorvex2(signalHandle);
    removeResistCallbackMorvex2(resistArraysHandle);
    removeAmpModeCallback(modeHandle);
    ASSERT_EQ(disconnectSensor(sensor, &status), 1) << status.ErrorMsg;
    freeSensor(sensor);
}

TEST_F(Morvex2Host, OnlyFamily18AmongTheMorvex2ValuesTakesMorvexRecords) {
    attach('0', 2);
    _Sensor* sensor = create(record(SensorFamilyMorvex2, kAddressText, 2));
    ASSERT_NE(sensor, nullptr);
    DualCallbackHandle* dual = nullptr;
    EXPECT_EQ(addSignalDataCallbackMorvex(sensor, nullptr, &dual, nullptr, &status), 0);
    EXPECT_EQ(status.Error, 124u);
    EXPECT_EQ(addResistCallbackMorvex(sensor, nullptr, &dual, nullptr, &status), 0);
    EXPECT_EQ(status.Error, 124u);
    EXPECT_EQ(dual, nullptr);
    CallbackHandle* handle = nullptr;
    ChannelCalls signal;
    EXPECT_EQ(addSignalCallbackMorvex2(sensor, &ChannelCalls::signal, &handle, &signal, &status), 1);
    removeSignalCallbackMorvex2(handle);
    WrenletAmplifierParam wrenlet{};
    EXPECT_EQ(readAmplifierParamWrenlet(sensor, &wrenlet, &status), 0);
    EXPECT_EQ(status.Error, 121u);
    freeSensor(sensor);
}

// The interface a handle reaches is the one of the object built, whatever model byte the
// host's record carries.
TEST_F(Morvex2Host, AForgedModelByteDoesNotChangeTheDeviceClass) {
    attach('G', 3);
    _Sensor* sensor = create(record(SensorFamilyMorvexBlack, kAddressText, 0));
    ASSERT_NE(sensor, nullptr);
    EXPECT_EQ(getFamilySensor(sensor), SensorFamilyMorvexBlack);

    Morvex2AmplifierParam amplifier{};
    ASSERT_EQ(readAmplifierParamMorvex2(sensor, &amplifier, &status), 1) << status.ErrorMsg;
    EXPECT_EQ(amplifier.ChGain[7], 255) << "a channel the device lacks reads gain 255";
    WrenletAmplifierParam wrenlet{};
    ASSERT_EQ(readAmplifierParamWrenlet(sensor, &wrenlet, &status), 1) << status.ErrorMsg;
    for (int ch = 0; ch < 4; ++ch) {
        EXPECT_EQ(wrenlet.ChGain[ch], amplifier.ChGain[ch]);
        EXPECT_EQ(wrenlet.ChFlag[ch], amplifier.ChFlag[ch]);
    }
    CallbackHandle* handle = nullptr;
    ChannelCalls resist;
    EXPECT_EQ(addResistCallbackMorvex2(sensor, &ChannelCalls::resist, &handle, &resist, &status), 1);
    removeResistCallbackMorvex2(handle);

    // Channel-mapped, not the fixed order of the MorvexBlack class.
    MappedCalls mapped;
    DualCallbackHandle* dual = nullptr;
    ASSERT_EQ(addSignalDataCallbackMorvex(sensor, MappedCalls::receive, &dual, &mapped, &status), 1);
    ASSERT_EQ(execCommandSensor(sensor, SensorCommandStartSignal, &status), 1) << status.ErrorMsg;
    ASSERT_TRUE(waitFor([&] { return mapped.count() >= 2; }));
    ASSERT_EQ(execCommandSensor(sensor, SensorCommandStopSignal, &status), 1);
    const MorvexSignalRecord r = mapped.events().back().back();
    EXPECT_DOUBLE_EQ(r.O1, volts(CommandStreamPeerModel::signalCount(3, r.PackNum)));
    EXPECT_DOUBLE_EQ(r.O2, volts(CommandStreamPeerModel::signalCount(0, r.PackNum)));
    removeSignalDataCallbackMorvex(dual);
    freeSensor(sensor);
}
