#include <gtest/gtest.h>

#include "sdk/core/ISensor.hpp"
#include "sdk/core/SensorIdentity.hpp"

using namespace VexaDevice;
using namespace VexaDevice::Sensor;

TEST(SensorNames, Commands) {
    EXPECT_EQ(commandToString(SensorCommand::StartSignal), "StartSignal");
    EXPECT_EQ(commandToString(SensorCommand::Idle), "Idle");
    EXPECT_EQ(commandToString(SensorCommand::StartSignalAndResist), "StartSignalAndResist");
    EXPECT_EQ(commandToString(SensorCommand::FileSystemStreamClose), "FileSystemStreamClose");
    EXPECT_EQ(commandToString(SensorCommand::StopCalibrateSignal), "StopCalibrateSignal");
    EXPECT_EQ(commandToString(static_cast<SensorCommand>(36)), "Unknown");
    EXPECT_EQ(commandToString(static_cast<SensorCommand>(-1)), "Unknown");
}

TEST(SensorNames, Parameters) {
    EXPECT_EQ(parameterToString(SensorParameter::Name), "Name");
    EXPECT_EQ(parameterToString(SensorParameter::SamplingFrequencyResist), "SamplingFrequencyResist");
    EXPECT_EQ(parameterToString(SensorParameter::Amplifier), "Amplifier");
    EXPECT_EQ(parameterToString(SensorParameter::FileSystemStatus), "FileSystemStatus");
    EXPECT_EQ(parameterToString(SensorParameter::ReferentsShort), "ReferentsShort");
    EXPECT_EQ(parameterToString(SensorParameter::ReferentsGround), "ReferentsGround");
    for (int32_t unnamed : {28, 29, 35, 38, -1}) {
        EXPECT_EQ(parameterToString(static_cast<SensorParameter>(unnamed)), "Unknown") << unnamed;
    }
}

namespace {

// A family that rebuilds its collections on every call, as the real ones do.
class CountingSensor : public ISensor {
public:
    OperationResult connect() override { return OperationResult::done(); }
    OperationResult disconnect() override { return OperationResult::done(); }
    FeatureSet getFeatures() override {
        ++builds;
        return features;
    }
    CommandSet getCommands() override {
        ++builds;
        return {toInt(SensorCommand::StartSignal), toInt(SensorCommand::PowerDown)};
    }
    ParameterMap getParameters() override {
        ++builds;
        return {{toInt(SensorParameter::Name), toInt(SensorParamAccess::Read)},
                {toInt(SensorParameter::Gain), toInt(SensorParamAccess::ReadWrite)},
                {toInt(SensorParameter::BattPower), toInt(SensorParamAccess::ReadNotify)},
                {28, toInt(SensorParamAccess::Read)}};
    }
    OperationResult execCommand(const SensorCommand&) override { return OperationResult::done(); }

    FeatureSet features{0, 4};
    int builds = 0;
};

}  // namespace

TEST(SensorInterface, MembershipTestsAskTheFamilyEveryTime) {
    CountingSensor sensor;
    ISensor& asInterface = sensor;
    EXPECT_TRUE(asInterface.isSupportedFeature(4));
    EXPECT_FALSE(asInterface.isSupportedFeature(1));
    sensor.features.insert(1);  // a motion channel appeared
    EXPECT_TRUE(asInterface.isSupportedFeature(1));

    EXPECT_TRUE(asInterface.isSupportedCommand(SensorCommand::PowerDown));
    EXPECT_FALSE(asInterface.isSupportedCommand(SensorCommand::StopSignal));

    // Any access mode counts, and an unnamed parameter number is as good as a named one.
    EXPECT_TRUE(asInterface.isSupportedParameter(SensorParameter::Name));
    EXPECT_TRUE(asInterface.isSupportedParameter(SensorParameter::Gain));
    EXPECT_TRUE(asInterface.isSupportedParameter(SensorParameter::BattPower));
    EXPECT_TRUE(asInterface.isSupportedParameter(static_cast<SensorParameter>(28)));
    EXPECT_FALSE(asInterface.isSupportedParameter(SensorParameter::Offset));
    EXPECT_EQ(sensor.builds, 10);
}

namespace {

struct FakeAddress {
    std::string text;
    std::string toString() const { return text; }
};

struct FakeDevice {
    bool disconnected = true;
    std::string name() { return "Morvex-42"; }
    bool isDisconnected() { return disconnected; }
    FakeAddress id() { return {"0A:1B:2C:3D:4E:5F"}; }
};

}  // namespace

TEST(SensorIdentity, NameStateAndAddressComeFromTheDevice) {
    FakeDevice device;
    std::string text = "stale";
    EXPECT_EQ(readName(device, text), OperationResult::done());
    EXPECT_EQ(text, "Morvex-42");
    EXPECT_EQ(readAddress(device, text), OperationResult::done());
    EXPECT_EQ(text, "0A:1B:2C:3D:4E:5F");

    int32_t state = -1;
    EXPECT_EQ(readState(device, state), OperationResult::done());
    EXPECT_EQ(state, 1);
    device.disconnected = false;
    EXPECT_EQ(readState(device, state), OperationResult::done());
    EXPECT_EQ(state, 0);
}
