#pragma once
// The identity reads every family interface declares, after the slots of `Base` in this order:
// name, state, address, serial number.

#include <cstdint>
#include <string>

#include "sdk/core/OperationResult.hpp"

namespace VexaDevice::Devices {

template <class Base>
class IdentitySlots : public Base {
public:
    virtual OperationResult readName(std::string& out) = 0;
    virtual OperationResult readState(int32_t& out) = 0;
    virtual OperationResult readAddress(std::string& out) = 0;
    virtual OperationResult readSerialNumber(std::string& out) = 0;
};

}  // namespace VexaDevice::Devices
