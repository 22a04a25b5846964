#include "sdk/ble/platform/bluez/DbusValue.hpp"

#include <systemd/sd-bus.h>

#include <cerrno>
#include <cstring>
#include <limits>

namespace VexaDevice::BLE::Platform::Bluez {

std::optional<bool> DbusValue::asBool() const {
    if (const auto* value = std::get_if<bool>(&data)) return *value;
    return std::nullopt;
}

std::optional<int64_t> DbusValue::asInt() const {
    if (const auto* value = std::get_if<int64_t>(&data)) return *value;
    if (const auto* value = std::get_if<uint64_t>(&data)) {
        if (*value <= static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) return static_cast<int64_t>(*value);
    }
    return std::nullopt;
}

std::optional<std::string> DbusValue::asString() const {
    if (const auto* value = std::get_if<std::string>(&data)) return *value;
    return std::nullopt;
}

std::optional<DbusBytes> DbusValue::asBytes() const {
    if (const auto* value = std::get_if<DbusBytes>(&data)) return *value;
    // An empty array reads as an empty byte array whatever its element type.
    if (const auto* value = std::get_if<DbusArray>(&data); value && value->empty()) return DbusBytes{};
    return std::nullopt;
}

std::vector<std::string> DbusValue::asStrings() const {
    std::vector<std::string> strings;
    if (const auto* array = std::get_if<DbusArray>(&data)) {
        for (const auto& element : *array) {
            if (auto text = element.asString()) strings.push_back(std::move(*text));
        }
    }
    return strings;
}

namespace {

int readBasic(sd_bus_message* message, char type, DbusValue& value) {
    switch (type) {
    case SD_BUS_TYPE_BYTE: {
        uint8_t v = 0;
        const int r = sd_bus_message_read_basic(message, type, &v);
        value.data = uint64_t{v};
        return r;
    }
    case SD_BUS_TYPE_BOOLEAN: {
        int v = 0;
        const int r = sd_bus_message_read_basic(message, type, &v);
        value.data = v != 0;
        return r;
    }
    case SD_BUS_TYPE_INT16: {
        int16_t v = 0;
        const int r = sd_bus_message_read_basic(message, type, &v);
        value.data = int64_t{v};
        return r;
    }
    case SD_BUS_TYPE_UINT16: {
        uint16_t v = 0;
        const int r = sd_bus_message_read_basic(message, type, &v);
        value.data = uint64_t{v};
        return r;
    }
    case SD_BUS_TYPE_INT32: {
        int32_t v = 0;
        const int r = sd_bus_message_read_basic(message, type, &v);
        value.data = int64_t{v};
        return r;
    }
    case SD_BUS_TYPE_UINT32:
    case SD_BUS_TYPE_UNIX_FD: {
        uint32_t v = 0;
        const int r = sd_bus_message_read_basic(message, type, &v);
        value.data = uint64_t{v};
        return r;
    }
    case SD_BUS_TYPE_INT64: {
        int64_t v = 0;
        const int r = sd_bus_message_read_basic(message, type, &v);
        value.data = v;
        return r;
    }
    case SD_BUS_TYPE_UINT64: {
        uint64_t v = 0;
        const int r = sd_bus_message_read_basic(message, type, &v);
        value.data = v;
        return r;
    }
    case SD_BUS_TYPE_DOUBLE: {
        double v = 0;
        const int r = sd_bus_message_read_basic(message, type, &v);
        value.data = v;
        return r;
    }
    case SD_BUS_TYPE_STRING:
    case SD_BUS_TYPE_OBJECT_PATH:
    case SD_BUS_TYPE_SIGNATURE: {
        const char* v = nullptr;
        const int r = sd_bus_message_read_basic(message, type, &v);
        value.data = std::string(v ? v : "");
        return r;
    }
    default: return -EINVAL;
    }
}

// Reads the elements of the container just entered until its end.
int readElements(sd_bus_message* message, DbusArray& elements) {
    for (;;) {
        char type = 0;
        const char* contents = nullptr;
        int r = sd_bus_message_peek_type(message, &type, &contents);
        if (r < 0) return r;
        if (r == 0) return 0;
        DbusValue element;
        r = readValue(message, element);
        if (r < 0) return r;
        elements.push_back(std::move(element));
    }
}

int readDict(sd_bus_message* message, const std::string& entry, DbusDict& dict) {
    int r = sd_bus_message_enter_container(message, SD_BUS_TYPE_ARRAY, ("{" + entry + "}").c_str());
    if (r < 0) return r;
    while ((r = sd_bus_message_enter_container(message, SD_BUS_TYPE_DICT_ENTRY, entry.c_str())) > 0) {
        DbusValue key;
        DbusValue value;
        if ((r = readValue(message, key)) < 0) return r;
        if ((r = readValue(message, value)) < 0) return r;
        if ((r = sd_bus_message_exit_container(message)) < 0) return r;
        dict.push_back({std::move(key), std::move(value)});
    }
    if (r < 0) return r;
    return sd_bus_message_exit_container(message);
}

}  // namespace

int readValue(sd_bus_message* message, DbusValue& value) {
    char type = 0;
    const char* contents = nullptr;
    int r = sd_bus_message_peek_type(message, &type, &contents);
    if (r < 0) return r;
    if (r == 0) return -ENXIO;
    switch (type) {
    case SD_BUS_TYPE_VARIANT:
        if ((r = sd_bus_message_enter_container(message, type, contents)) < 0) return r;
        if ((r = readValue(message, value)) < 0) return r;
        return sd_bus_message_exit_container(message);
    case SD_BUS_TYPE_STRUCT: {
        DbusArray fields;
        if ((r = sd_bus_message_enter_container(message, type, contents)) < 0) return r;
        if ((r = readElements(message, fields)) < 0) return r;
        value.data = std::move(fields);
        return sd_bus_message_exit_container(message);
    }
    case SD_BUS_TYPE_ARRAY: {
        const std::string inner = contents ? contents : "";
        if (inner == "y") {
            const void* bytes = nullptr;
            size_t size = 0;
            if ((r = sd_bus_message_read_array(message, SD_BUS_TYPE_BYTE, &bytes, &size)) < 0) return r;
            const auto* first = static_cast<const uint8_t*>(bytes);
            value.data = DbusBytes(first, first + size);
            return 0;
        }
        if (inner.size() >= 2 && inner.front() == '{') {
            DbusDict dict;
            if ((r = readDict(message, inner.substr(1, inner.size() - 2), dict)) < 0) return r;
            value.data = std::move(dict);
            return 0;
        }
        DbusArray elements;
        if ((r = sd_bus_message_enter_container(message, type, contents)) < 0) return r;
        if ((r = readElements(message, elements)) < 0) return r;
        value.data = std::move(elements);
        return sd_bus_message_exit_container(message);
    }
    default: return readBasic(message, type, value);
    }
}

int readProperties(sd_bus_message* message, PropertyMap& properties) {
    DbusValue dict;
    const int r = readValue(message, dict);
    if (r < 0) return r;
    const auto* entries = std::get_if<DbusDict>(&dict.data);
    if (!entries) return -EINVAL;
    for (auto& [key, value] : *entries) {
        if (auto name = key.asString()) properties[*name] = value;
    }
    return 0;
}

int readInterfaces(sd_bus_message* message, InterfaceMap& interfaces) {
    int r = sd_bus_message_enter_container(message, SD_BUS_TYPE_ARRAY, "{sa{sv}}");
    if (r < 0) return r;
    while ((r = sd_bus_message_enter_container(message, SD_BUS_TYPE_DICT_ENTRY, "sa{sv}")) > 0) {
        const char* name = nullptr;
        if ((r = sd_bus_message_read_basic(message, SD_BUS_TYPE_STRING, &name)) < 0) return r;
        PropertyMap properties;
        if ((r = readProperties(message, properties)) < 0) return r;
        if ((r = sd_bus_message_exit_container(message)) < 0) return r;
        interfaces[name] = std::move(properties);
    }
    if (r < 0) return r;
    return sd_bus_message_exit_container(message);
}

int readStrings(sd_bus_message* message, std::vector<std::string>& strings) {
    DbusValue array;
    const int r = readValue(message, array);
    if (r < 0) return r;
    strings = array.asStrings();
    return 0;
}

}  // namespace VexaDevice::BLE::Platform::Bluez
