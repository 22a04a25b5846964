#pragma once
// The motion and photoplethysmogram code slots, declared after those of `Base` in this order:
// infrared and red amplitude, accelerometer and gyroscope sensitivity (each read, then write),
// then the photoplethysmogram and motion sampling frequencies. A family interface with those
// streams puts them where its slot order has them:
//
//   class IVondra2 : public Kestrane::StreamCodeSlots<Devices::AmplifierSlots<Kestrane::IStreamSensor, ...>> {};

#include <cstdint>

#include "sdk/core/OperationResult.hpp"

namespace VexaDevice::Kestrane {

template <class Base>
class StreamCodeSlots : public Base {
public:
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
};

}  // namespace VexaDevice::Kestrane
