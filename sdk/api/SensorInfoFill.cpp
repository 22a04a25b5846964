#include "sdk/api/SensorInfoFill.hpp"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

#include "sdk/api/families/FamilyDescriptor.hpp"
#include "sdk/core/Uuid.hpp"

namespace VexaDevice::Api {
namespace {

using ModelCode = std::array<uint8_t, 2>;

// Copies at most N-1 characters and always terminates.
template <std::size_t N>
void copyField(char (&field)[N], const std::string& text) {
    const std::size_t length = std::min(text.size(), N - 1);
    std::memcpy(field, text.data(), length);
    field[length] = '\0';
}

// The family a model code names, whatever else the device advertises: a rule for the code's
// own variant before one for any variant.
uint8_t familyOfModelCode(const ModelCode& code) {
    const auto [type, variant] = code;
    for (const bool exact : {true, false}) {
        for (const FamilyDescriptor* family : familyDescriptors()) {
            for (const ModelCodeRule& rule : family->modelCodes) {
                if (rule.type == type && rule.variant.has_value() == exact && (!exact || *rule.variant == variant)) {
                    return rule.family;
                }
            }
        }
    }
    return SensorFamilyUnknown;
}

// Model codes of devices the library recognises but has no device class for.
uint8_t familyWithoutDeviceClass(uint8_t type) {
    switch (type) {
    case 'C': return SensorFamilyModelC;
    case 'D': return SensorFamilyModelD;
    case 'E': return SensorFamilyModelE;
    case 'H': return SensorFamilyModelH;
    case 'Q': return SensorFamilyModelQ;
    default: return SensorFamilyUnknown;
    }
}

// The family named by the advertised services, for devices without a model code. A known
// service anywhere in the list counts: a stack may report the advertised services merged with
// those it resolved on an earlier connection, and sorted, so the family's own need not be first.
uint8_t familyOfServices(const BLE::DeviceInfo& device) {
    const auto services = device.servicesUuids();
    if (!services || services->uuids.empty()) {
        return SensorFamilyUnknown;
    }
    const auto advertises = [&](const Utility::UUID& service) {
        return std::find(services->uuids.begin(), services->uuids.end(), service) != services->uuids.end();
    };
    for (const FamilyDescriptor* family : familyDescriptors()) {
        if (std::any_of(family->advertisedServices.begin(), family->advertisedServices.end(), advertises)) {
            return family->codes.front().code;
        }
    }
    return SensorFamilyUnknown;
}

void detectFamily(const BLE::DeviceInfo& device, const std::optional<ModelCode>& code, _SensorInfo& info) {
    if (code) {
        info.SensModel = (*code)[1];
        info.SensFamily = familyOfModelCode(*code);
    }
    if (info.SensFamily != SensorFamilyUnknown) {
        return;
    }
    for (const FamilyDescriptor* family : familyDescriptors()) {
        if (family->recognise && family->recognise(device, info)) {
            return;
        }
    }
    if (code) {
        info.SensFamily = familyWithoutDeviceClass((*code)[0]);
        if (info.SensFamily != SensorFamilyUnknown) {
            return;
        }
    }
    info.SensFamily = familyOfServices(device);
}

// Families that pair before use when the advertisement does not say.
bool pairsByDefault(uint8_t code) {
    const FamilyDescriptor* family = descriptorOf(code);
    return family != nullptr && family->pairsByDefault;
}

}  // namespace

_SensorInfo toSensorInfo(const BLE::DeviceInfo& device) {
    _SensorInfo info{};
    copyField(info.Name, device.name());
    copyField(info.Address, device.id()->toString());
    std::string serial;
    if (device.serialNumber(serial)) {
        copyField(info.SerialNumber, serial);
    }
    info.RSSI = static_cast<int16_t>(device.rssi());

    ModelCode code{};
    const bool hasCode = device.modelCode(code);
    detectFamily(device, hasCode ? std::optional<ModelCode>(code) : std::nullopt, info);

    bool pairing = false;
    if (device.pairingRequired(pairing)) {
        info.PairingRequired = pairing ? 1 : 0;
    } else {
        info.PairingRequired = pairsByDefault(info.SensFamily) ? 1 : 0;
    }
    return info;
}

std::vector<_SensorInfo> recognisedSensors(const std::vector<std::shared_ptr<BLE::DeviceInfo>>& devices) {
    std::vector<_SensorInfo> sensors;
    sensors.reserve(devices.size());
    for (const auto& device : devices) {
        if (!device) {
            continue;
        }
        const _SensorInfo info = toSensorInfo(*device);
        if (info.SensFamily != SensorFamilyUnknown) {
            sensors.push_back(info);
        }
    }
    return sensors;
}

}  // namespace VexaDevice::Api
