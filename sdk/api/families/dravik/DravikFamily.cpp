#include "sdk/api/families/dravik/DravikFamily.hpp"

#include "sdk/api/families/ScanFilters.hpp"
#include "sdk/api/families/dravik/DravikAccess.hpp"
#include "sdk/api/families/dravik/DravikControl.hpp"
#include "sdk/devices/dravik/DravikBLE.hpp"
#include "sdk/devices/dravik/DravikGatt.hpp"

namespace VexaDevice::Api {

namespace {

// The Dravik waits the families share (worker, write retries, reply steps, reads, stimulator)
// come from the sensor timing; the rest are the device's own.
Dravik::DravikTiming dravikTiming(const Devices::ProtocolTiming& timing) {
    Dravik::DravikTiming dravik;
    dravik.workerWait = timing.workerWait;
    dravik.writeRetryPause = timing.writeRetryPause;
    dravik.writeRetries = timing.writeRetries;
    dravik.replyStep = timing.replyWaitStep;
    dravik.replyTimeout = timing.dravikReplyTimeout;
    dravik.readAttempts = timing.readAttempts;
    dravik.pollStep = timing.stimulator.pollStep;
    dravik.stimulator = timing.stimulator;
    return dravik;
}

}  // namespace

const FamilyDescriptor& dravikFamily() {
    static const FamilyDescriptor family{
        .codes = {{SensorFamilyDravik, allVariants('d')}},
        .modelCodes = {{'d', std::nullopt, SensorFamilyDravik}},
        .pairsByDefault = true,
        .possibleFeatures =
            [](uint8_t) {
                return std::set<int8_t>{0, 4, 7, 9, 11};
            },
        .creation = {{{SensorFamilyDravik}, {Dravik::AcsServiceUuid}}},
        // The model byte does not matter to the Dravik device.
        .make =
            [](const std::shared_ptr<BLE::IBLEDevice>& device, uint8_t family, uint8_t, const SensorTiming& timing) {
                auto access =
                    std::make_shared<DravikAccess>(Dravik::makeDravikBLE(device, dravikTiming(timing.protocol)));
                auto control = std::make_unique<DravikControl>(access->dravikDevice());
                return BuiltSensor{std::move(access), std::move(control), family};
            },
    };
    return family;
}

}  // namespace VexaDevice::Api
