// The shared device base over a scripted BLE device and scripted protocols: construction
// failures, the settling commands before the link goes, following the connection, release, and a
// family of two protocols.

#include "sdk/devices/common/FamilyDevice.hpp"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace VexaDevice;
using Sensor::SensorCommand;

class ScriptedBle final : public BLE::IBLEDevice {
public:
    std::vector<std::shared_ptr<BLE::RawChannelInfo>> getChannels() override { return {}; }
    bool isDisconnected() override { return disconnected; }
    std::string name() override { return "Scripted"; }
    void connect() override {
        log.push_back("link up");
        disconnected = false;
    }
    void disconnect() override {
        log.push_back("link down");
        disconnected = true;
    }
    BLE::ChannelMap getChannelMap() override { return {}; }
    std::weak_ptr<BLE::ConnectionBus> connectionChangedEvent() override { return bus; }
    std::weak_ptr<BLE::ConnectionBus> servicesReboundEvent() override { return reboundBus; }
    BLE::DeviceId id() override { return BLE::DeviceId::fromUInt64(0xA1B2C3D4E5F6); }

    // The link drops without the device being asked.
    void loseLink() {
        disconnected = true;
        bus->notify();
    }
    // The stack resolved the services again; the link stayed up.
    void rebind() { reboundBus->notify(); }

    bool disconnected = false;
    std::vector<std::string> log;
    const std::shared_ptr<BLE::ConnectionBus> bus = std::make_shared<BLE::ConnectionBus>(16);
    const std::shared_ptr<BLE::ConnectionBus> reboundBus = std::make_shared<BLE::ConnectionBus>(16);
    bool readFails = false;
};

// A protocol that records what the device base asks of it.
template <int Feature>
struct ScriptedProtocol {
    bool onConnected() {
        log.push_back("protocol up");
        return true;
    }
    void onDisconnected() { log.push_back("protocol lost"); }
    void onServicesRebound() {
        log.push_back("protocol read again");
        if (readFails) throw std::runtime_error("Can not read Status");
    }
    Sensor::FeatureSet supportedFeatures() const { return {Feature}; }
    Sensor::CommandSet supportedCommands() const { return {Feature + 100}; }
    Sensor::ParameterMap supportedParameters() const { return {{Feature, 1}}; }

    std::vector<std::string>& log;
    const bool& readFails;
};
using First = ScriptedProtocol<1>;
using Second = ScriptedProtocol<2>;

class ITestFamily : public Sensor::ISensor {
public:
    virtual std::weak_ptr<BLE::ConnectionBus> connectionStateEvent() = 0;
    virtual OperationResult readName(std::string& out) = 0;
    virtual OperationResult readState(int32_t& out) = 0;
    virtual OperationResult readAddress(std::string& out) = 0;
};

class TestDevice final : public Devices::FamilyDevice<ITestFamily, First, Second> {
public:
    TestDevice(std::shared_ptr<ScriptedBle> ble, bool second, std::vector<SensorCommand> settling,
               Devices::ReleasePlan plan = {"Test"})
        : FamilyDevice(
              ble, "Test BLE Device",
              [ble, second](const std::shared_ptr<BLE::IBLEDevice>&, BLE::ChannelMap&) -> ProtocolSlot {
                  if (second) return std::make_shared<Second>(Second{ble->log, ble->readFails});
                  return std::make_shared<First>(First{ble->log, ble->readFails});
              },
              std::move(settling)),
          ble_(std::move(ble)),
          plan_(plan) {}
    ~TestDevice() override { release(plan_); }

    OperationResult execCommand(const SensorCommand& command) override {
        ble_->log.push_back("command " + Sensor::commandToString(command));
        if (command == dropsLink) ble_->disconnected = true;
        if (command == throws) throw std::runtime_error("no answer");
        return OperationResult::done();
    }

    bool runsFirst() const { return protocolAs<First>() != nullptr; }

    SensorCommand dropsLink = SensorCommand::Idle;
    SensorCommand throws = SensorCommand::Idle;

private:
    std::shared_ptr<ScriptedBle> ble_;
    Devices::ReleasePlan plan_;
};

using Log = std::vector<std::string>;

TEST(FamilyDevice, ConstructionFailuresNameTheClass) {
    try {
        TestDevice device(nullptr, false, {});
        FAIL() << "a device without a BLE device was built";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Cannot create Test BLE Device: BLE device cannot be null");
    }
    struct Failing final : Devices::FamilyDevice<ITestFamily, First> {
        explicit Failing(std::shared_ptr<BLE::IBLEDevice> ble)
            : FamilyDevice(std::move(ble), "Failing BLE Device",
                           [](const std::shared_ptr<BLE::IBLEDevice>&, BLE::ChannelMap&) -> ProtocolSlot {
                               throw std::out_of_range("no command characteristic");
                           }) {}
        OperationResult execCommand(const SensorCommand&) override { return OperationResult::done(); }
    };
    try {
        Failing device(std::make_shared<ScriptedBle>());
        FAIL() << "a device without its protocol was built";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Cannot create Failing BLE Device: no command characteristic");
    }
}

TEST(FamilyDevice, SettlingCommandsRunInOrderWhileTheLinkIsUp) {
    auto ble = std::make_shared<ScriptedBle>();
    {
        TestDevice device(ble, false, {SensorCommand::StopSignal, SensorCommand::StopResist});
        ASSERT_TRUE(device.disconnect());
        EXPECT_EQ(ble->log, (Log{"command StopSignal", "command StopResist", "link down"}));
        ble->log.clear();
        // Nothing is sent to a device whose link is down.
        ASSERT_TRUE(device.disconnect());
        EXPECT_EQ(ble->log, (Log{"link down"}));
        ble->log.clear();

        ble->disconnected = false;
        device.dropsLink = SensorCommand::StopSignal;
        ASSERT_TRUE(device.disconnect());
        EXPECT_EQ(ble->log, (Log{"command StopSignal", "link down"}));
        ble->log.clear();
    }
    // Released with the link down: the protocol is told, nothing is sent.
    EXPECT_EQ(ble->log, (Log{"protocol lost"}));
}

TEST(FamilyDevice, FollowsTheConnectionAndReadsTheSharedValues) {
    auto ble = std::make_shared<ScriptedBle>();
    TestDevice device(ble, false, {});
    ble->loseLink();
    EXPECT_EQ(ble->log, (Log{"protocol lost"}));
    ble->log.clear();

    // A reconnection tells the protocol the link was down before it is up again.
    ASSERT_TRUE(device.connect());
    EXPECT_EQ(ble->log, (Log{"protocol lost", "link up", "protocol up"}));

    std::string text;
    int32_t state = -1;
    EXPECT_TRUE(device.readName(text));
    EXPECT_EQ(text, "Scripted");
    EXPECT_TRUE(device.readAddress(text));
    EXPECT_EQ(text, "A1:B2:C3:D4:E5:F6");
    EXPECT_TRUE(device.readState(state));
    EXPECT_EQ(state, Sensor::kSensorConnected);
    EXPECT_EQ(device.connectionStateEvent().lock(), ble->bus);
}

// Services resolved again under a live link: the protocol that runs reads the device again, and
// nothing a reconnection does happens (no loss, no link change on the connection bus). A read that
// fails is logged, not thrown at the stack's bus; once released, the device hears nothing more.
TEST(FamilyDevice, ServicesResolvedAgainAreReadAgainWithoutAReconnection) {
    auto ble = std::make_shared<ScriptedBle>();
    size_t connectionEvents = 0;
    const auto counter = std::make_shared<BLE::ConnectionBus::Callback>([&] { ++connectionEvents; });
    ble->bus->subscribe(counter);
    {
        TestDevice first(ble, false, {});
        TestDevice second(ble, true, {});
        ble->rebind();
        EXPECT_EQ(ble->log, (Log{"protocol read again", "protocol read again"}));
        ble->log.clear();
        ble->readFails = true;
        EXPECT_NO_THROW(ble->rebind());
        EXPECT_EQ(ble->log, (Log{"protocol read again", "protocol read again"}));
        ble->readFails = false;
        ble->log.clear();
    }
    ble->rebind();
    EXPECT_EQ(ble->log, (Log{"protocol lost", "protocol lost"}));
    EXPECT_EQ(connectionEvents, 0u);
}

TEST(FamilyDevice, AFamilyOfTwoProtocolsRunsTheOneItBuilt) {
    auto ble = std::make_shared<ScriptedBle>();
    TestDevice first(ble, false, {});
    TestDevice second(ble, true, {});
    EXPECT_TRUE(first.runsFirst());
    EXPECT_FALSE(second.runsFirst());
    EXPECT_EQ(second.getFeatures(), Sensor::FeatureSet{2});
    EXPECT_EQ(second.getCommands(), Sensor::CommandSet{102});
    EXPECT_EQ(second.getParameters().at(2), 1);
    EXPECT_EQ(first.getFeatures(), Sensor::FeatureSet{1});
}

TEST(FamilyDevice, ReleaseSettlesDisconnectsAndSwallowsAFailure) {
    auto ble = std::make_shared<ScriptedBle>();
    { TestDevice device(ble, false, {SensorCommand::PowerDown}, {"Test", true, true}); }
    EXPECT_EQ(ble->log, (Log{"command PowerDown", "protocol lost", "link down"}));

    ble->log.clear();
    ble->disconnected = false;
    {
        TestDevice device(ble, false, {SensorCommand::PowerDown}, {"Test", true, true});
        device.throws = SensorCommand::PowerDown;
    }
    // The failed power-down ends the release; the object still goes without throwing.
    EXPECT_EQ(ble->log, (Log{"command PowerDown"}));
    // The connection subscription went with the object.
    ble->log.clear();
    ble->loseLink();
    EXPECT_TRUE(ble->log.empty());
}

}  // namespace
