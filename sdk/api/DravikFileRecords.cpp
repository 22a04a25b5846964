#include "sdk/api/DravikFileRecords.hpp"

#include "sdk/api/CallStatus.hpp"

namespace VexaDevice::Api {

DravikFileInfo hostFileInfo(const DravikFile& file) {
    DravikFileInfo info{};
    copyText(file.name.c_str(), info.FileName, sizeof(info.FileName));
    info.FileSize = file.size;
    info.Year = static_cast<uint16_t>((file.fatDate >> 9) + 1980);
    info.Month = static_cast<uint8_t>((file.fatDate >> 5) & 0x0F);
    info.Day = static_cast<uint8_t>(file.fatDate & 0x1F);
    info.Hour = static_cast<uint8_t>(file.fatTime >> 11);
    info.Minute = static_cast<uint8_t>((file.fatTime >> 5) & 0x3F);
    info.Second = static_cast<uint8_t>((file.fatTime & 0x1F) * 2);
    info.Attributes = file.attributes;
    return info;
}

}  // namespace VexaDevice::Api
