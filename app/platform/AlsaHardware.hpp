#pragma once

#include "app/platform/AudioEndpoints.hpp"

#include <string>

namespace quellwave::platform {

// Direct access to one sound card's playback device, as the sound server's own driver uses it.
// While the server holds the device, it cannot be opened and every format is unsupported.
class AlsaHardware {
public:
    AlsaHardware(int card, int device);

    // Supported when the device takes the sample type, the channel count and exactly the rate;
    // ClosestMatch when it takes the sample type and channels at other rates only.
    FormatSupport support(const WaveFormat& format) const;

    // Configures the device with `format` and a 100 ms period; true when it accepted that.
    bool opens(const WaveFormat& format) const;

private:
    std::string deviceName_;
};

}  // namespace quellwave::platform
