#include "sdk/ble/platform/bluez/DeviceAdvertisement.hpp"

#include "sdk/ble/platform/bluez/BluezNames.hpp"

namespace VexaDevice::BLE::Platform::Bluez {

namespace {

constexpr uint8_t kServiceData16 = 0x16;
constexpr uint8_t kServiceData128 = 0x21;

// A service-data section as it would have been advertised: the UUID (little-endian) then data.
DataSection serviceDataSection(const UUID& uuid, const DbusBytes& data) {
    DataSection section;
    if (const auto shortForm = shortUuid(uuid)) {
        section.type = kServiceData16;
        section.data = {static_cast<uint8_t>(*shortForm & 0xFF), static_cast<uint8_t>(*shortForm >> 8)};
    } else {
        section.type = kServiceData128;
        section.data.assign(uuid.bytes.rbegin(), uuid.bytes.rend());
    }
    section.data.insert(section.data.end(), data.begin(), data.end());
    return section;
}

}  // namespace

std::optional<std::pair<Advertisement, bool>> advertisementOf(const PropertyMap& properties) {
    auto get = [&](const char* key) -> const DbusValue* {
        auto found = properties.find(key);
        return found == properties.end() ? nullptr : &found->second;
    };
    const DbusValue* address = get("Address");
    const auto parsed = address ? parseAddress(address->asString().value_or("")) : std::nullopt;
    if (!parsed) return std::nullopt;

    Advertisement advertisement;
    advertisement.address = *parsed;
    bool heard = false;
    if (const DbusValue* rssi = get("RSSI"); rssi && rssi->asInt()) {
        advertisement.rssi = static_cast<int16_t>(*rssi->asInt());
        heard = true;
    }
    if (const DbusValue* name = get("Name")) advertisement.localName = name->asString().value_or("");
    if (const DbusValue* uuids = get("UUIDs")) {
        for (const auto& text : uuids->asStrings()) {
            if (auto uuid = parseUuidText(text)) advertisement.serviceUuids.push_back(*uuid);
        }
    }
    // Only daemons with experimental features report the advertised flags (and only for
    // packets that carried some). Where the property is missing nothing is known of them.
    const DbusValue* flags = get("AdvertisingFlags");
    const auto bytes = flags ? flags->asBytes() : std::nullopt;
    if (bytes && !bytes->empty()) {
        advertisement.flags = (*bytes)[0];
    } else {
        advertisement.flagsUnknown = true;
    }
    if (const DbusValue* manufacturer = get("ManufacturerData")) {
        if (const auto* entries = std::get_if<DbusDict>(&manufacturer->data)) {
            for (const auto& [key, value] : *entries) {
                const auto company = key.asInt();
                const auto data = value.asBytes();
                if (company && data) advertisement.manufacturerData.push_back({static_cast<uint16_t>(*company), *data});
            }
        }
    }
    if (const DbusValue* serviceData = get("ServiceData")) {
        if (const auto* entries = std::get_if<DbusDict>(&serviceData->data)) {
            for (const auto& [key, value] : *entries) {
                const auto uuid = parseUuidText(key.asString().value_or(""));
                const auto data = value.asBytes();
                if (uuid && data) advertisement.dataSections.push_back(serviceDataSection(*uuid, *data));
            }
        }
    }
    return std::pair{std::move(advertisement), heard};
}

}  // namespace VexaDevice::BLE::Platform::Bluez
