#pragma once
// A sensor that is none of the library's families, for the tests that need a device object
// behind a handle: it connects and disconnects, offers the features it is given, lists no
// commands or parameters, and answers every command with the result it is given.

#include <utility>

#include "sdk/core/ISensor.hpp"
#include "sdk/core/OperationResult.hpp"

namespace TestSupport {

class IdleSensor : public VexaDevice::Sensor::ISensor {
public:
    explicit IdleSensor(VexaDevice::Sensor::FeatureSet features = {},
                        VexaDevice::OperationResult command = VexaDevice::OperationResult::done())
        : features_(std::move(features)), command_(std::move(command)) {}

    VexaDevice::OperationResult connect() override { return VexaDevice::OperationResult::done(); }
    VexaDevice::OperationResult disconnect() override { return VexaDevice::OperationResult::done(); }
    VexaDevice::Sensor::FeatureSet getFeatures() override { return features_; }
    VexaDevice::Sensor::CommandSet getCommands() override { return {}; }
    VexaDevice::Sensor::ParameterMap getParameters() override { return {}; }
    VexaDevice::OperationResult execCommand(const VexaDevice::Sensor::SensorCommand&) override { return command_; }

private:
    const VexaDevice::Sensor::FeatureSet features_;
    const VexaDevice::OperationResult command_;
};

}  // namespace TestSupport
