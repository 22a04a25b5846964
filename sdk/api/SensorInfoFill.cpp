#include "sdk/api/SensorInfoFill.hpp"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

#include "sdk/api/FamilyServices.hpp"
#include "sdk/core/Uuid.hpp"
#include "sdk/devices/tessel/TesselGattInfo.hpp"

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

// Families given by the model code alone, whatever else the device advertises.
uint8_t familyOfModelCode(const ModelCode& code) {
    const auto [type, variant] = code;
    switch (type) {
    case '0':
        return variant == 2 ? SensorFamilyMorvex2Model2 : SensorFamilyMorvex2;
    case 'G':
        return SensorFamilyMorvexBlack;
    case 'I':
        return variant == 0 ? SensorFamilyVondra : SensorFamilyVondra2;
    case 'P':
        return SensorFamilyLorrel;
    case 'd':
        return SensorFamilyDravik;
    case 'f':
        return SensorFamilyMorvex2F;
    case 'g':
        return SensorFamilyPhotoStim;
    default:
        return SensorFamilyUnknown;
    }
}

// Model codes of devices the library recognises but has no device class for.
uint8_t familyWithoutDeviceClass(uint8_t type) {
    switch (type) {
    case 'C':
        return SensorFamilyModelC;
    case 'D':
        return SensorFamilyModelD;
    case 'E':
        return SensorFamilyModelE;
    case 'H':
        return SensorFamilyModelH;
    case 'Q':
        return SensorFamilyModelQ;
    default:
        return SensorFamilyUnknown;
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
    using Utility::formatString;
    using Utility::parseUuid;
    static const Utility::UUID blackService0 = parseUuid(formatString(kMorvexBlackService0Template, kMorvexBlackSuffix));
    static const Utility::UUID blackService1 = parseUuid(formatString(kMorvexBlackService1Template, kMorvexBlackSuffix));
    static const Utility::UUID morvexService0 = parseUuid(kMorvexService0Text);
    static const Utility::UUID morvexService1 = parseUuid(kMorvexService1Text);
    const auto advertises = [&](const Utility::UUID& service) {
        return std::find(services->uuids.begin(), services->uuids.end(), service) != services->uuids.end();
    };
    if (advertises(blackService0) || advertises(blackService1)) {
        return SensorFamilyMorvexBlack;
    }
    if (advertises(morvexService0) || advertises(morvexService1)) {
        return SensorFamilyMorvex;
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
    if (const auto tessel = Tessel::makeTesselGattInfo(device)) {
        info.SensFamily = tessel->nameKind() == Tessel::NameKind::Quindle ? SensorFamilyTesselQuindle : SensorFamilyTessel;
        info.SensModel = static_cast<uint8_t>(tessel->serviceSet());
        return;
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
bool pairsByDefault(uint8_t family) {
    switch (family) {
    case SensorFamilyMorvexBlack:
    case SensorFamilyVondra:
    case SensorFamilyVondra2:
    case SensorFamilyLorrel:
    case SensorFamilyDravik:
        return true;
    default:
        return false;
    }
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
