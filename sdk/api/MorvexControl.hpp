#pragma once
// Writes and counts of a first-generation Morvex device (family 3): the gain, four channels.

#include "sdk/api/FamilyControl.hpp"
#include "sdk/devices/morvex/IMorvex.hpp"

namespace VexaDevice::Api {

class MorvexControl final : public FamilyControl {
public:
    explicit MorvexControl(Morvex::IMorvex& device) : device_(device) {}

    OperationResult writeByte(WriteParameter parameter, uint8_t value) override;
    int32_t channelsCount() override;

private:
    Morvex::IMorvex& device_;
};

}  // namespace VexaDevice::Api
