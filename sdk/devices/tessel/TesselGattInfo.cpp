#include "sdk/devices/tessel/TesselGattInfo.hpp"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace VexaDevice::Tessel {

namespace {

using Utility::UUID;

// The three UUIDs of a set share everything but the low digits of their first field: 1 for
// the service, 2 for the Tx and 3 for the Rx characteristic.
UUID characteristicOf(const UUID& service, uint8_t role) {
    UUID uuid = service;
    uuid.bytes[3] = role;
    return uuid;
}

// Whether `text` holds `lowerWord` (given in lower case) in any mix of cases.
bool containsIgnoringCase(const std::string& text, std::string_view lowerWord) {
    const auto sameLetter = [](char letter, char lower) {
        return std::tolower(static_cast<unsigned char>(letter)) == lower;
    };
    return std::search(text.begin(), text.end(), lowerWord.begin(), lowerWord.end(), sameLetter) != text.end();
}

constexpr uint8_t TxRole = 0x02;
constexpr uint8_t RxRole = 0x03;

template <class Offered>
std::shared_ptr<ITesselGattInfo> infoFor(const Offered& offers, const std::string& name) {
    const auto& services = tesselServices();
    for (size_t set = 0; set < services.size(); ++set)
        if (offers(services[set]))
            return std::make_shared<TesselGattInfo>(static_cast<int32_t>(set), tesselNameKind(name));
    return nullptr;
}

}  // namespace

TesselGattInfo::TesselGattInfo(int32_t serviceSet, int32_t nameKind)
    : service_(tesselServices().at(static_cast<size_t>(serviceSet))),
      rx_(characteristicOf(service_, RxRole)),
      tx_(characteristicOf(service_, TxRole)),
      nameKind_(nameKind),
      serviceSet_(serviceSet) {}

const std::array<UUID, 4>& tesselServices() {
    static const std::array<UUID, 4> services{
        Utility::parseUuid("3D2F0001-D6B9-11E4-88CF-0002A5D5C51B"),
        Utility::parseUuid("77FF0001-FA66-11E5-B501-0002A5D5C51B"),
        Utility::parseUuid("67CF0001-FA71-11E5-80B7-0002A5D5C51B"),
        Utility::parseUuid("B9390001-FA71-11E5-A787-0002A5D5C51B"),
    };
    return services;
}

int32_t tesselNameKind(const std::string& name) {
    // A plain search rather than a case-blind regex: the regex engine fills the locale's shared
    // narrowing cache as it goes, which sensors created on several threads at once race on.
    if (containsIgnoringCase(name, "tessel")) return NameKind::Tessel;
    if (containsIgnoringCase(name, "quindle")) return NameKind::Quindle;
    return NameKind::Other;
}

std::shared_ptr<ITesselGattInfo> makeTesselGattInfo(const BLE::DeviceInfo& device) {
    const auto advertised = device.servicesUuids();
    if (!advertised) return nullptr;
    return infoFor(
        [&](const UUID& service) {
            return std::find(advertised->uuids.begin(), advertised->uuids.end(), service) != advertised->uuids.end();
        },
        device.name());
}

std::shared_ptr<ITesselGattInfo> makeTesselGattInfo(BLE::IBLEDevice& device) {
    const BLE::ChannelMap services = device.getChannelMap();
    return infoFor([&](const UUID& service) { return services.contains(service); }, device.name());
}

}  // namespace VexaDevice::Tessel
