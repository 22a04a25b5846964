#pragma once
// Writes, ping and counts of a Dravik device (family 14), and its file system and stimulator
// link for the exports that use them directly.

#include "sdk/api/DravikDevice.hpp"
#include "sdk/api/StimulatorControl.hpp"

namespace VexaDevice::Api {

// The most channels a Dravik amplifier record describes.
inline constexpr size_t kDravikRecordChannels = 24;

// The device's amplifier settings from the host's record, for `channels` channels (at most 24).
DravikAmplifier dravikAmplifier(const DravikAmplifierParam& param, size_t channels);

class DravikControl final : public StimulatorControl {
public:
    explicit DravikControl(DravikDevice& device) : StimulatorControl(device), device_(device) {}

    // Only the channels the device reports are passed on; its channel list is read first.
    OperationResult writeAmplifierDravik(const DravikAmplifierParam& param) override;
    OperationResult writeSurveyId(int32_t id) override;
    OperationResult ping(int32_t marker) override;
    // The length of the device's channel list (0 when it cannot be read).
    int32_t channelsCount() override;
    DravikDevice* dravik() override { return &device_; }

private:
    DravikDevice& device_;
};

}  // namespace VexaDevice::Api
