#pragma once
// What a protocol offers the host: the commands, features and parameters it settled on while it
// started. Set once before the protocol is handed out, only read afterwards.

#include <utility>

#include "sdk/core/SensorEnums.hpp"
#include "sdk/devices/common/StreamCapabilities.hpp"

namespace VexaDevice::Devices {

class OfferedCapabilities {
public:
    Sensor::CommandSet supportedCommands() const { return offered_.commands; }
    Sensor::FeatureSet supportedFeatures() const { return offered_.features; }
    Sensor::ParameterMap supportedParameters() const { return offered_.parameters; }

protected:
    OfferedCapabilities() = default;
    ~OfferedCapabilities() = default;

    void offer(Capabilities offered) { offered_ = std::move(offered); }
    const Capabilities& offered() const { return offered_; }

private:
    Capabilities offered_;
};

}  // namespace VexaDevice::Devices
