#include "sdk/devices/common/AmplifierGainCode.hpp"

namespace VexaDevice::Devices {

uint8_t amplifierGainCode(uint8_t gainIndex) {
    switch (gainIndex) {
    case 0: return 0x10;
    case 1: return 0x20;
    case 2: return 0x30;
    case 3: return 0x40;
    case 5: return 0x50;
    case 6: return 0x60;
    default: return 0x00;
    }
}

}  // namespace VexaDevice::Devices
