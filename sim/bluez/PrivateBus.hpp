#pragma once
// A D-Bus message bus of its own (dbus-daemon with a configuration written here), for tests that
// stand in for the system bus. It ends with the object.

#include <sys/types.h>

#include <string>

namespace VexaSim {

class PrivateBus {
public:
    // Starts the daemon; throws std::runtime_error when it cannot be started.
    PrivateBus();
    ~PrivateBus();
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    // The address clients connect to ("unix:path=...").
    const std::string& address() const { return address_; }

private:
    std::string folder_;
    std::string address_;
    pid_t daemon_ = -1;
};

// Points DBUS_SYSTEM_BUS_ADDRESS at a bus for its lifetime and restores the previous value.
class SystemBusOverride {
public:
    explicit SystemBusOverride(const std::string& address);
    ~SystemBusOverride();
    SystemBusOverride(const SystemBusOverride&) = delete;
    SystemBusOverride& operator=(const SystemBusOverride&) = delete;

private:
    bool hadValue_ = false;
    std::string previous_;
};

}  // namespace VexaSim
