// The table-driven adapters over a device of the test's own: rows reach the interface's slots
// with the host's forms of their values, what no row names answers with the family's "without it"
// codes, and event rows subscribe the delivery to the interface's bus.

#include "sdk/api/FamilyTable.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace VexaDevice;
using namespace VexaDevice::Api;

namespace {

class ITable : public Sensor::ISensor {
public:
    virtual std::weak_ptr<BLE::ConnectionBus> connectionStateEvent() = 0;
    virtual OperationResult readName(std::string& out) = 0;
    virtual OperationResult readState(int32_t& out) = 0;
    virtual OperationResult readAddress(std::string& out) = 0;
    virtual OperationResult readSerialNumber(std::string& out) = 0;
    virtual OperationResult readFirmwareMode(int32_t& out) = 0;
    virtual int32_t readBattPower() = 0;
    virtual OperationResult readFirmwareVersion(DeviceVersion& out) = 0;
    virtual OperationResult writeGain(const uint8_t& gain) = 0;
    virtual OperationResult ping(const int32_t& value) = 0;
    virtual std::weak_ptr<Utility::EventBus<int>> batteryEvent() = 0;
};

class TableDevice final : public ITable {
public:
    OperationResult connect() override { return OperationResult::done(); }
    OperationResult disconnect() override { return OperationResult::done(); }
    Sensor::FeatureSet getFeatures() override { return {}; }
    Sensor::CommandSet getCommands() override { return {}; }
    Sensor::ParameterMap getParameters() override { return {}; }
    OperationResult execCommand(const Sensor::SensorCommand&) override { return OperationResult::done(); }

    std::weak_ptr<BLE::ConnectionBus> connectionStateEvent() override { return connection; }
    OperationResult readName(std::string& out) override { return text(out, "Table"); }
    OperationResult readState(int32_t& out) override {
        out = 1;
        return OperationResult::done();
    }
    OperationResult readAddress(std::string& out) override { return text(out, "00:00:00:00:00:01"); }
    OperationResult readSerialNumber(std::string& out) override { return text(out, "T-1"); }
    // A failing read still hands over its value.
    OperationResult readFirmwareMode(int32_t& out) override {
        out = 0x1FE;
        return OperationResult::failed(7, "mode");
    }
    int32_t readBattPower() override { return 64; }
    OperationResult readFirmwareVersion(DeviceVersion& out) override {
        out.firmwareMajor = 3;
        out.hardwarePatch = 9;
        return OperationResult::done();
    }
    OperationResult writeGain(const uint8_t& gain) override {
        gains.push_back(gain);
        return OperationResult::done();
    }
    OperationResult ping(const int32_t& value) override {
        pings.push_back(value);
        return OperationResult::done();
    }
    std::weak_ptr<Utility::EventBus<int>> batteryEvent() override { return battery; }

    std::vector<uint8_t> gains;
    std::vector<int32_t> pings;
    const std::shared_ptr<BLE::ConnectionBus> connection = std::make_shared<BLE::ConnectionBus>(4);
    const std::shared_ptr<Utility::EventBus<int>> battery = std::make_shared<Utility::EventBus<int>>(4);

private:
    static OperationResult text(std::string& out, const char* value) {
        out = value;
        return OperationResult::done();
    }
};

const AccessTable<ITable>& reads() {
    static const AccessTable<ITable> table{
        .bytes = {{ByteParameter::FirmwareMode, readOf<uint8_t>(&ITable::readFirmwareMode)}},
        .ints = {{IntParameter::BattPower, readOf<int32_t>(&ITable::readBattPower)}},
        .version = readOf<SensorVersion>(&ITable::readFirmwareVersion),
        .intEvents = {{IntEvent::Battery, deliverTo<ValueDelivery<IntValueCallback>>(&ITable::batteryEvent)}},
    };
    return table;
}

const ControlTable<ITable>& writes() {
    static const ControlTable<ITable> table{
        .bytes = {{WriteParameter::Gain, writeOf<uint8_t>(&ITable::writeGain)}},
        .ping = writeOf<int32_t>(&ITable::ping),
    };
    return table;
}

int32_t delivered = 0;
void onBattery(_Sensor*, int32_t value, void*) { delivered = value; }

TEST(FamilyTable, ReadRowsHandTheHostItsFormOfTheValue) {
    auto device = std::make_shared<TableDevice>();
    TableAccess<ITable> access(device, reads());

    uint8_t mode = 0;
    const auto failed = access.readByte(ByteParameter::FirmwareMode, mode);
    EXPECT_FALSE(failed);
    EXPECT_EQ(failed.code, 7);
    EXPECT_EQ(mode, 0xFE);

    int32_t battery = 0;
    EXPECT_TRUE(access.readInt(IntParameter::BattPower, battery));
    EXPECT_EQ(battery, 64);

    SensorVersion version{};
    EXPECT_TRUE(access.readVersion(version));
    EXPECT_EQ(version.FwMajor, 3u);
    EXPECT_EQ(version.HwPatch, 9u);

    std::string text;
    EXPECT_TRUE(access.readText(TextParameter::SerialNumber, text));
    EXPECT_EQ(text, "T-1");
    int32_t state = 0;
    EXPECT_TRUE(access.readState(state));
    EXPECT_EQ(state, 1);
    EXPECT_EQ(access.connectionBus().lock(), device->connection);
}

TEST(FamilyTable, WhatNoRowNamesAnswersAsAFamilyWithoutIt) {
    auto device = std::make_shared<TableDevice>();
    TableAccess<ITable> access(device, reads());
    uint8_t byte = 0;
    EXPECT_EQ(access.readByte(ByteParameter::Gain, byte).code, 121);
    int32_t value = 0;
    EXPECT_EQ(access.readInt(IntParameter::SurveyId, value).code, 121);
    std::vector<Sensor::EEGChannelInfo> channels;
    EXPECT_EQ(access.readSupportedChannels(channels).code, 121);
    EXPECT_EQ(access.addMEMSData({}).result.code, 124);
    EXPECT_EQ(access.addIntValue(IntEvent::BatteryVoltage, {}).result.code, 124);

    TableControl<ITable> control(*device, writes());
    EXPECT_EQ(control.writeByte(WriteParameter::SamplingFrequency, 1).code, 122);
    EXPECT_EQ(control.channelsCount(), 0);
    static const ControlTable<ITable> none{};
    TableControl<ITable> bare(*device, none);
    EXPECT_EQ(bare.ping(5).code, 118);
}

TEST(FamilyTable, WriteAndEventRowsReachTheInterface) {
    auto device = std::make_shared<TableDevice>();
    TableControl<ITable> control(*device, writes());
    EXPECT_TRUE(control.writeByte(WriteParameter::Gain, 5));
    EXPECT_TRUE(control.ping(-2));
    EXPECT_EQ(device->gains, std::vector<uint8_t>{5});
    EXPECT_EQ(device->pings, std::vector<int32_t>{-2});

    auto access = std::make_shared<TableAccess<ITable>>(device, reads());
    auto subscription = access->addIntValue(IntEvent::Battery, {nullptr, onBattery, nullptr});
    ASSERT_TRUE(subscription.result);
    device->battery->notify(42);
    EXPECT_EQ(delivered, 42);
    subscription.delivery.end();
    device->battery->notify(43);
    EXPECT_EQ(delivered, 42);
}

}  // namespace
