#pragma once
// The interface every device class implements; the exported interface drives any sensor
// through it without knowing its family.

#include "sdk/core/OperationResult.hpp"
#include "sdk/core/SensorEnums.hpp"

namespace VexaDevice::Sensor {

class ISensor {
public:
    virtual ~ISensor() = default;

    virtual OperationResult connect() = 0;
    virtual OperationResult disconnect() = 0;

    // Fresh copies built from the device's current state.
    virtual FeatureSet getFeatures() = 0;
    virtual CommandSet getCommands() = 0;
    virtual ParameterMap getParameters() = 0;

    // Membership tests over a fresh copy of the collection; nothing is cached.
    virtual bool isSupportedFeature(const SensorFeature& feature);
    virtual bool isSupportedCommand(const SensorCommand& command);
    virtual bool isSupportedParameter(const SensorParameter& parameter);

    virtual OperationResult execCommand(const SensorCommand& command) = 0;
};

}  // namespace VexaDevice::Sensor
