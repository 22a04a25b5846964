#include "sdk/api/SensorSelection.hpp"

#include <array>
#include <functional>
#include <string>

#include <fmt/format.h>

#include "sdk/api/DravikAccess.hpp"
#include "sdk/api/LorrelAccess.hpp"
#include "sdk/api/Morvex2Access.hpp"
#include "sdk/api/MorvexBlackAccess.hpp"
#include "sdk/api/MorvexAccess.hpp"
#include "sdk/api/PhotoStimAccess.hpp"
#include "sdk/api/TesselAccess.hpp"
#include "sdk/api/VondraAccess.hpp"
#include "sdk/core/Uuid.hpp"
#include "sdk/devices/FamilyFactories.hpp"
#include "sdk/devices/morvex/Morvex2BLE.hpp"
#include "sdk/devices/morvex/MorvexBlackBLE.hpp"

namespace VexaDevice::Api {

namespace {

using BLE::IBLEDevice;
using Devices::ProtocolTiming;

using Maker = std::function<SelectedSensor(const std::shared_ptr<IBLEDevice>&, uint8_t model, uint8_t family,
                                           const ProtocolTiming&)>;

// One row of the selection: the requested family, the service the device must offer and the
// class built for it.
struct ClassRow {
    uint8_t requestedFamily;
    Utility::UUID service;
    Maker make;
};

Utility::UUID templateService(const char* suffix) {
    return Utility::parseUuid(fmt::format(fmt::runtime("7E400001-B534-F393-68A9-E50E24DCCA{}"), suffix));
}

SelectedSensor makeMorvex(const std::shared_ptr<IBLEDevice>& device, uint8_t, uint8_t family,
                          const ProtocolTiming& timing) {
    return {std::make_shared<MorvexAccess>(Devices::makeMorvexBLE(device, timing)), family};
}

SelectedSensor makeMorvexBlack(const std::shared_ptr<IBLEDevice>& device, uint8_t model, uint8_t family,
                               const ProtocolTiming& timing) {
    return {std::make_shared<MorvexBlackAccess>(MorvexBlack::makeMorvexBlackBLE(device, model, timing), model), family};
}

SelectedSensor makeMorvex2(const std::shared_ptr<IBLEDevice>& device, uint8_t, uint8_t family,
                           const ProtocolTiming& timing) {
    return {std::make_shared<Morvex2Access>(Morvex2::makeMorvex2BLE(device, timing), family), family};
}

SelectedSensor makeVondra(const std::shared_ptr<IBLEDevice>& device, uint8_t, uint8_t family,
                          const ProtocolTiming& timing) {
    return {std::make_shared<VondraAccess>(Devices::makeVondraBLE(device, timing)), family};
}

SelectedSensor makeVondra2(const std::shared_ptr<IBLEDevice>& device, uint8_t model, uint8_t family,
                           const ProtocolTiming& timing) {
    return {std::make_shared<Vondra2Access>(Devices::makeVondra2BLE(device, model, timing)), family};
}

SelectedSensor makeLorrel(const std::shared_ptr<IBLEDevice>& device, uint8_t model, uint8_t family,
                          const ProtocolTiming& timing) {
    return {std::make_shared<LorrelAccess>(Devices::makeLorrelBLE(device, model, timing)), family};
}

SelectedSensor makeDravik(const std::shared_ptr<IBLEDevice>& device, uint8_t model, uint8_t family,
                          const ProtocolTiming& timing) {
    return {std::make_shared<DravikAccess>(Devices::makeDravikBLE(device, model, timing)), family};
}

SelectedSensor makePhotoStim(const std::shared_ptr<IBLEDevice>& device, uint8_t, uint8_t family,
                             const ProtocolTiming& timing) {
    return {std::make_shared<PhotoStimAccess>(Devices::makePhotoStimBLE(device, timing)), family};
}

// Tessel devices get a Tessel handle whatever accepted family was asked for: the Quindle
// variant family 2, any other family 1.
SelectedSensor makeTessel(const std::shared_ptr<IBLEDevice>& device, const Tessel::TesselTiming& timing) {
    auto tessel = Devices::makeTesselBLE(device, timing);
    const uint8_t family = tessel->nameKind() == Tessel::NameKind::Quindle ? 2 : 1;
    return {std::make_shared<TesselAccess>(std::move(tessel)), family};
}

const std::vector<ClassRow>& classRows() {
    static const std::vector<ClassRow> rows{
        {3, Utility::parseUuid("6E400001-B534-F393-68A9-E50E24DCCA9E"), makeMorvex},
        {4, templateService("90"), makeMorvexBlack},
        {5, templateService("96"), makeVondra},
        {6, templateService("96"), makeVondra2},
        {11, templateService("95"), makeLorrel},
        {14, Utility::parseUuid("7E400001-B534-F393-68A9-E50E24DC7297"), makeDravik},
        {21, Utility::parseUuid("6E400001-B534-F393-78A9-E50E24DCCA9E"), makePhotoStim},
        {18, templateService("97"), makeMorvex2},
        {19, templateService("97"), makeMorvex2},
        {20, templateService("98"), makeMorvex2},
        {4, templateService("99"), makeMorvex2},
    };
    return rows;
}

}  // namespace

bool isCreatableFamily(uint8_t family) {
    return (family >= 1 && family <= 6) || family == 11 || family == 14 || (family >= 18 && family <= 21);
}

SelectedSensor selectSensor(uint8_t requestedFamily, uint8_t model, const std::shared_ptr<IBLEDevice>& device,
                            const SensorTiming& timing) {
    const BLE::ChannelMap services = device->getChannelMap();
    for (const auto& row : classRows()) {
        if (row.requestedFamily == requestedFamily && services.contains(row.service)) {
            return row.make(device, model, requestedFamily, timing.protocol);
        }
    }
    for (const auto& service : Tessel::tesselServices()) {
        if (services.contains(service)) {
            return makeTessel(device, timing.tessel);
        }
    }
    return {};
}

}  // namespace VexaDevice::Api
