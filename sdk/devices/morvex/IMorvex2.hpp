#pragma once
// Interface of the Morvex2-class devices: the command-and-stream slots, then the family's
// parameter reads and writes.

#include <cstdint>
#include <vector>

#include "sdk/core/DeviceVersion.hpp"
#include "sdk/core/EEGChannel.hpp"
#include "sdk/devices/kestrane/IStreamSensor.hpp"
#include "sdk/devices/morvex/Morvex2BleProtocol.hpp"

namespace VexaDevice::Morvex2 {

class IMorvex2 : public Kestrane::IStreamSensor {
public:
    virtual OperationResult readFirmwareMode(uint8_t& out) = 0;
    virtual OperationResult readSamplingFrequency(uint8_t& out) = 0;
    virtual OperationResult readSamplingFrequencyResist(uint8_t& out) = 0;
    virtual OperationResult readOffset(uint8_t& out) = 0;
    virtual OperationResult readFirmwareVersion(DeviceVersion& out) = 0;
    virtual OperationResult readBattPower(int32_t& out) = 0;
    virtual OperationResult readModelCode(uint8_t& out) = 0;
    virtual OperationResult readSensorMode(uint8_t& out) = 0;
    virtual OperationResult readAmplifierParam(Morvex2AmplifierParam& out) = 0;
    virtual OperationResult writeAmplifierParam(const Morvex2AmplifierParam& param) = 0;
    virtual OperationResult readIrAmplitude(uint8_t& out) = 0;
    virtual OperationResult writeIrAmplitude(const uint8_t& code) = 0;
    virtual OperationResult readRedAmplitude(uint8_t& out) = 0;
    virtual OperationResult writeRedAmplitude(const uint8_t& code) = 0;
    virtual OperationResult readAccelerometerSens(uint8_t& out) = 0;
    virtual OperationResult writeAccelerometerSens(const uint8_t& code) = 0;
    virtual OperationResult readGyroscopeSens(uint8_t& out) = 0;
    virtual OperationResult writeGyroscopeSens(const uint8_t& code) = 0;
    virtual OperationResult readSamplingFrequencyFPG(uint8_t& out) = 0;
    virtual OperationResult readSamplingFrequencyMEMS(uint8_t& out) = 0;
    virtual OperationResult readSensorChannels(std::vector<Sensor::EEGChannelInfo>& out) = 0;
};

}  // namespace VexaDevice::Morvex2
