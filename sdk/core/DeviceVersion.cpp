#include "sdk/core/DeviceVersion.hpp"

#include <algorithm>

namespace VexaDevice {

std::string DeviceVersion::serialText() const {
    const auto end = std::find(serial.begin(), serial.end(), '\0');
    return std::string(serial.begin(), end);
}

}  // namespace VexaDevice
