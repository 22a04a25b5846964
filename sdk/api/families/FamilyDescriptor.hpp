#pragma once
// Everything the library says of one device family, in one place: the family codes its handles
// carry and the scanner filters that find each, how a found device's record is given the
// family, and how a sensor handle of it is built (device object, access adapter and control).
// The exported functions walk `familyDescriptors()`; each family's descriptor lives in its folder
// under sdk/api/families.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "sdk/api/FamilyAccess.hpp"
#include "sdk/api/FamilyControl.hpp"
#include "sdk/api/SensorTiming.hpp"
#include "sdk/api/include/ambrelkit2.h"
#include "sdk/ble/DevScan.hpp"
#include "sdk/ble/DeviceInfo.hpp"
#include "sdk/ble/IBLEDevice.hpp"
#include "sdk/core/Uuid.hpp"

namespace VexaDevice::Api {

// One family code and the filters the scanner looks for it with.
struct FamilyCode {
    uint8_t code;
    std::vector<BLE::ScanFilter> scanFilters;
};

// An advertised model code that names one of the family's codes: its type character, and the
// one variant it stands for (none: any variant). A rule with a variant wins over one without.
struct ModelCodeRule {
    uint8_t type;
    std::optional<uint8_t> variant;
    uint8_t family;
};

// The requested families createSensor builds the family's class for when the opened device
// offers one of the services; no families: any family createSensor accepts.
struct CreationRule {
    std::vector<uint8_t> families;
    std::vector<Utility::UUID> services;
};

// The parts of a new sensor handle. The control refers to the device object the access holds.
struct BuiltSensor {
    std::shared_ptr<FamilyAccess> access;
    std::unique_ptr<FamilyControl> control;
    uint8_t family = 0;  // the handle's family
};

using SensorMaker = std::function<BuiltSensor(const std::shared_ptr<BLE::IBLEDevice>& device, uint8_t family,
                                              uint8_t model, const SensorTiming& timing)>;

struct FamilyDescriptor {
    std::vector<FamilyCode> codes{};
    // Found by the manufacturer record alone: its advertisements need not list services.
    bool foundByModelCode = true;
    // Its advertisements may come without a manufacturer record.
    bool advertisesWithoutManufacturerData = false;

    std::vector<ModelCodeRule> modelCodes{};
    // Names the family of a device whose model code names none, from what the device
    // advertises; true when it filled the record's family and model.
    std::function<bool(const BLE::DeviceInfo& device, _SensorInfo& info)> recognise{};
    // Services that name the first family code when nothing else named a family.
    std::vector<Utility::UUID> advertisedServices{};
    // Pairs before use when the advertisement does not say.
    bool pairsByDefault = false;
    // The SensorFeature values any sensor of the family and model may offer; none: no feature.
    std::function<std::set<int8_t>(uint8_t model)> possibleFeatures{};

    std::vector<CreationRule> creation{};
    // Throws what the device class throws while it is built.
    SensorMaker make{};

    // The family code's entry, or null for a code the family does not own.
    const FamilyCode* code(uint8_t family) const;
};

// Every family, in the order the rules are tried.
const std::vector<const FamilyDescriptor*>& familyDescriptors();

// The descriptor of the family that owns the code, or null.
const FamilyDescriptor* descriptorOf(uint8_t family);

}  // namespace VexaDevice::Api
