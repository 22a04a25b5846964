#include "sdk/devices/morvex/MorvexBlackWire.hpp"

namespace VexaDevice::MorvexBlack {

bool isMeasuringMode(uint8_t mode) {
    return mode == Kestrane::toByte(DevAmpStatus::Signal) || mode == Kestrane::toByte(DevAmpStatus::Resist) ||
           mode == Kestrane::toByte(DevAmpStatus::SignalResist);
}

void checkDeviceVersion(const DeviceVersion& version) { Kestrane::Headband::checkDeviceVersion(version, ModelCode); }

}  // namespace VexaDevice::MorvexBlack
