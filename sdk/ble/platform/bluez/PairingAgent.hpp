#pragma once
// The library's pairing agent on the bus: the daemon asks it to confirm a pairing, and it
// passes the question to the pairing handlers of the handle that is pairing that device.

#include <string>

struct sd_bus;

namespace VexaDevice::BLE::Platform::Bluez {

class BluezPlatform;

class PairingAgent {
public:
    static constexpr const char* kPath = "/org/ambrelkit/agent";
    // Confirmations and displayed codes: what just-works pairing needs.
    static constexpr const char* kCapability = "DisplayYesNo";

    explicit PairingAgent(BluezPlatform& platform) : platform_(platform) {}
    // Loop thread: exports the agent object for the life of the connection.
    void exportOn(sd_bus* bus);

    BluezPlatform& platform() { return platform_; }

private:
    BluezPlatform& platform_;
};

}  // namespace VexaDevice::BLE::Platform::Bluez
