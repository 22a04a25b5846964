#include "sim/bluez/EmulatedObjects.hpp"

namespace VexaSim {

int replyGattError(sd_bus_message* message, Platform::GattStatus status, const char* refusal) {
    switch (status) {
    case Platform::GattStatus::Unreachable:
        return sd_bus_reply_method_errorf(message, "org.bluez.Error.Failed", "Not connected");
    case Platform::GattStatus::AccessDenied:
        return sd_bus_reply_method_errorf(message, "org.bluez.Error.NotPermitted", "%s", refusal);
    default: return sd_bus_reply_method_errorf(message, "org.bluez.Error.Failed", "Operation failed");
    }
}

int replyNotConnected(sd_bus_message* message) {
    return sd_bus_reply_method_errorf(message, "org.bluez.Error.Failed", "Not connected");
}

int appendStrings(sd_bus_message* reply, const std::vector<std::string>& strings) {
    int r = sd_bus_message_open_container(reply, 'a', "s");
    for (const auto& text : strings) {
        if (r >= 0) r = sd_bus_message_append_basic(reply, 's', text.c_str());
    }
    return r < 0 ? r : sd_bus_message_close_container(reply);
}

int appendBytes(sd_bus_message* reply, const Bytes& bytes) {
    return sd_bus_message_append_array(reply, 'y', bytes.data(), bytes.size());
}

void emitChanged(sd_bus* bus, const std::string& path, const char* interface, std::vector<std::string> names) {
    std::vector<char*> list;
    for (auto& name : names) list.push_back(name.data());
    list.push_back(nullptr);
    sd_bus_emit_properties_changed_strv(bus, path.c_str(), interface, list.data());
}

}  // namespace VexaSim
