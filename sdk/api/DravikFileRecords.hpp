#pragma once
// The host's records of the Dravik file system.

#include "sdk/api/DravikDevice.hpp"
#include "sdk/api/include/ambrelkit2.h"

namespace VexaDevice::Api {

// The file's name (cut to 63 characters) and size, its FAT date and time spelt out, and its
// attribute byte.
DravikFileInfo hostFileInfo(const DravikFile& file);

}  // namespace VexaDevice::Api
