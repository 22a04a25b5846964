#pragma once
// Ping and counts of a Dravik device (family 14). Its views are the device it drives, for the
// Dravik writes, file system and stimulator link, and as the stimulator of the program exports.

#include "sdk/api/DravikDevice.hpp"
#include "sdk/api/StimulatorControl.hpp"

namespace VexaDevice::Api {

// The most channels a Dravik amplifier record describes.
inline constexpr size_t kDravikRecordChannels = 24;

// The device's amplifier settings from the host's record, for `channels` channels (at most 24).
DravikAmplifier dravikAmplifier(const DravikAmplifierParam& param, size_t channels);

// Writes the host's record: only the channels the device reports are passed on, its channel list
// being read first.
OperationResult writeDravikAmplifier(DravikDevice& device, const DravikAmplifierParam& param);

class DravikControl final : public StimulatorControl {
public:
    // The channel count is the length of the device's channel list (0 when it cannot be read).
    explicit DravikControl(DravikDevice& device);
};

}  // namespace VexaDevice::Api
