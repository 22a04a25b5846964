// The exported scanner functions: create, start, stop and free a scanner, list its found
// sensors, and register host callbacks for the found-sensors list.

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>

#include "sdk/api/CallStatus.hpp"
#include "sdk/api/CallbackHandle.hpp"
#include "sdk/api/HostDelivery.hpp"
#include "sdk/api/ScanSetup.hpp"
#include "sdk/api/ScannerTiming.hpp"
#include "sdk/api/SensorScannerWrap.hpp"
#include "sdk/api/include/ambrelkit2.h"

using namespace VexaDevice::Api;

namespace {

// Calls the host's function for each found-sensors publication; the records live for the call.
struct HostSensorsCallback {
    SensorScannerWrap* scanner;
    SensorsFoundCallback callback;
    void* userData;

    void operator()(std::vector<_SensorInfo> sensors) const {
        callback(scanner, sensors.empty() ? nullptr : sensors.data(), static_cast<int32_t>(sensors.size()), userData);
    }
};

}  // namespace

extern "C" {

AK_API SensorScannerWrap* createScanner(const uint8_t* families, int32_t count, CallStatus* status) {
    return guardedExport(status, {Errors::CreateScannerFailed, false}, [&]() -> SensorScannerWrap* {
        if (families == nullptr || count <= 0) {
            statusFail(Errors::InvalidScanParams, status);
            return nullptr;
        }
        const ScanSetup setup = buildScanSetup(families, count);
        if (setup.acceptedFamilies.empty()) {
            statusFail(Errors::InvalidScanFamilies, status);
            return nullptr;
        }
        auto scanner = VexaDevice::BLE::DevScan::create(setup.params);
        auto handle = std::make_unique<SensorScannerWrap>(std::move(scanner));
        statusOk(nullptr, status, 1);
        return handle.release();
    });
}

AK_API uint8_t startScanner(SensorScannerWrap* scanner, CallStatus* status, int32_t attempts) {
    if (scanner == nullptr) {
        return statusFail(Errors::StartScannerFailed, status);
    }
    // Each attempt starts the scan and, when attempts were asked for, pauses afterwards; the
    // last attempt decides the outcome.
    const int32_t starts = std::max<int32_t>(attempts, 1);
    const auto pause = scannerTiming().startAttemptPause;
    uint8_t started = 0;
    for (int32_t attempt = 0; attempt < starts; ++attempt) {
        started = guardedExport(status, {Errors::StartScannerFailed}, [&]() -> uint8_t {
            scanner->scanner().startScan();
            return statusOk(nullptr, status, 1);
        });
        if (attempts > 0) {
            std::this_thread::sleep_for(pause);
        }
    }
    return started;
}

AK_API uint8_t stopScanner(SensorScannerWrap* scanner, CallStatus* status) {
    if (scanner == nullptr) {
        return statusFail(Errors::StopScannerFailed, status);
    }
    return guardedExport(status, {Errors::StopScannerFailed, false}, [&]() -> uint8_t {
        scanner->scanner().stopScan();
        return statusOk(nullptr, status, 1);
    });
}

AK_API uint8_t sensorsScanner(SensorScannerWrap* scanner, _SensorInfo* sensors, int32_t* count, CallStatus* status) {
    if (scanner == nullptr || sensors == nullptr || count == nullptr || *count <= 0) {
        return statusFail(Errors::InvalidListSensorsParams, status);
    }
    return guardedExport(status, {Errors::ListSensorsFailed, false}, [&]() -> uint8_t {
        const std::vector<_SensorInfo> found = scanner->sensors();
        const auto copied = std::min<std::size_t>(static_cast<std::size_t>(*count), found.size());
        std::copy_n(found.begin(), copied, sensors);
        *count = static_cast<int32_t>(copied);
        return statusOk(nullptr, status, 1);
    });
}

AK_API void freeScanner(SensorScannerWrap* scanner) { delete scanner; }

AK_API uint8_t addSensorsCallbackScanner(SensorScannerWrap* scanner, SensorsFoundCallback callback,
                                         CallbackHandle** handle, void* userData, CallStatus* status) {
    if (scanner == nullptr) {
        return statusFail("scanner == nullptr", Errors::StopScannerFailed.code, status, 0);
    }
    if (handle == nullptr) {
        return statusFail("handle == nullptr", Errors::StopScannerFailed.code, status, 0);
    }
    if (callback == nullptr) {
        return statusFail("callback == nullptr", Errors::StopScannerFailed.code, status, 0);
    }
    return guardedExport(status, {Errors::StopScannerFailed}, [&]() -> uint8_t {
        *handle = makeCallbackHandle(subscribeGated(*scanner, HostSensorsCallback{scanner, callback, userData}));
        return statusOk(nullptr, status, 1);
    });
}

}  // extern "C"
