// The exported sensor lifecycle: create, connect, disconnect and free a sensor, run its
// commands, and the features a family may offer.

#include <algorithm>
#include <cstring>
#include <memory>

#include "sdk/api/CallStatus.hpp"
#include "sdk/api/PossibleFeatures.hpp"
#include "sdk/api/SensorScannerWrap.hpp"
#include "sdk/api/SensorSelection.hpp"
#include "sdk/api/SensorTiming.hpp"
#include "sdk/api/SensorWrap.hpp"
#include "sdk/api/include/ambrelkit2.h"
#include "sdk/ble/DeviceId.hpp"
#include "sdk/core/Log.hpp"

using namespace VexaDevice;
using namespace VexaDevice::Api;

namespace {

// The BLE device at the record's address, or null when it cannot be opened.
std::shared_ptr<BLE::IBLEDevice> openDevice(SensorScannerWrap& scanner, const _SensorInfo& info) {
    try {
        auto id =
            std::make_shared<BLE::DeviceId>(std::string(info.Address, strnlen(info.Address, sizeof(info.Address))));
        return scanner.scanner().createDevice(std::move(id), BLE::PairingParam{info.PairingRequired != 0 ? 1 : 0});
    } catch (const std::exception& error) {
        Utility::sdkLog().error("[createSensor] Cannot open the device: {}", error.what());
        return nullptr;
    }
}

}  // namespace

extern "C" {

AK_API _Sensor* createSensor(SensorScannerWrap* scanner, _SensorInfo* info, CallStatus* status) {
    if (scanner == nullptr || info == nullptr || info->SensFamily == 0) {
        statusFail(Errors::InvalidCreateSensorParams, status);
        return nullptr;
    }
    if (!isCreatableFamily(info->SensFamily)) {
        statusFail(Errors::SensorUnsupported, status);
        return nullptr;
    }
    return guardedExport(status, {{Errors::SensorUnsupported.code, "Failed to create sensor"}}, [&]() -> _Sensor* {
        const auto device = openDevice(*scanner, *info);
        if (!device) {
            statusFail(Errors::SensorNotFound, status);
            return nullptr;
        }
        auto selected = selectSensor(info->SensFamily, info->SensModel, device, sensorTiming());
        if (!selected.access) {
            statusFail(Errors::SensorUnsupported, status);
            return nullptr;
        }
        auto* sensor =
            new _Sensor(std::move(selected.access), std::move(selected.control), selected.family, info->SensModel);
        statusOk(nullptr, status, 1);
        return sensor;
    });
}

AK_API uint8_t connectSensor(_Sensor* sensor, CallStatus* status) {
    if (sensor == nullptr) {
        return statusFail(Errors::ConnectFailed, status);
    }
    return guardedExport(status, {Errors::ConnectFailed}, [&]() -> uint8_t {
        sensor->sensor().connect();
        return statusOk(nullptr, status, 1);
    });
}

AK_API uint8_t disconnectSensor(_Sensor* sensor, CallStatus* status) {
    if (sensor == nullptr) {
        return statusFail(Errors::DisconnectFailed, status);
    }
    return guardedExport(status, {Errors::DisconnectFailed}, [&]() -> uint8_t {
        sensor->sensor().disconnect();
        return statusOk(nullptr, status, 1);
    });
}

AK_API void freeSensor(_Sensor* sensor) { delete sensor; }

AK_API uint8_t getFamilySensor(_Sensor* sensor) { return sensor == nullptr ? 0 : sensor->family(); }

AK_API uint8_t execCommandSensor(_Sensor* sensor, int32_t command, CallStatus* status) {
    if (sensor == nullptr) {
        return statusFail(Errors::CommandFailed, status);
    }
    return guardedExport(status, {Errors::CommandFailed}, [&]() -> uint8_t {
        const auto byte = static_cast<Sensor::SensorCommand>(command & 0xFF);
        const auto result = withDefaultCode(sensor->sensor().execCommand(byte), Errors::CommandFailed);
        return statusFromResult(&result, status);
    });
}

AK_API int32_t getPossibleFeaturesCountSensor(uint8_t family, uint8_t model) {
    return quietExport([&] { return static_cast<int32_t>(possibleFeatures(family, model).size()); });
}

AK_API uint8_t getPossibleFeaturesSensor(uint8_t family, uint8_t model, int8_t* features, int32_t* count,
                                         CallStatus* status) {
    if (features == nullptr || count == nullptr || *count <= 0) {
        return statusFail(Errors::InvalidFeaturesParams, status);
    }
    return guardedExport(status, {Errors::FeaturesFailed}, [&]() -> uint8_t {
        const auto possible = possibleFeatures(family, model);
        const auto written = std::min<size_t>(static_cast<size_t>(*count), possible.size());
        std::copy_n(possible.begin(), written, features);
        *count = static_cast<int32_t>(written);
        return statusOk(nullptr, status, 1);
    });
}

}  // extern "C"
