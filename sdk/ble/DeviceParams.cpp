#include "sdk/ble/DeviceParams.hpp"

namespace VexaDevice::BLE {

namespace {

// Each byte as the character of that code, bytes separated by one space.
void appendBytesAsCharacters(std::string& text, const std::vector<uint8_t>& bytes) {
    for (size_t index = 0; index < bytes.size(); ++index) {
        if (index > 0) text.push_back(' ');
        text.push_back(static_cast<char>(bytes[index]));
    }
}

}  // namespace

std::string DeviceParamServicesUUID::toString() const {
    std::string text;
    for (const auto& uuid : uuids) {
        if (!text.empty()) text.push_back('\n');
        text += Utility::uuidToString(uuid);
    }
    return text;
}

std::string DeviceParamDataSections::toString() const {
    std::string text;
    for (size_t index = 0; index < sections.size(); ++index) {
        if (index > 0) text.push_back('\n');
        appendBytesAsCharacters(text, sections[index]);
    }
    return text;
}

std::string DeviceParamManufacturerData::toString() const {
    std::string text;
    bool firstLine = true;
    for (const auto& [companyId, list] : blocks) {
        if (!firstLine) text.push_back('\n');
        firstLine = false;
        text += '[';
        text += std::to_string(companyId);
        text += "][";
        for (size_t index = 0; index < list.size(); ++index) {
            if (index > 0) text += " <> ";
            appendBytesAsCharacters(text, list[index]);
        }
        text += "]";
    }
    return text;
}

}  // namespace VexaDevice::BLE
