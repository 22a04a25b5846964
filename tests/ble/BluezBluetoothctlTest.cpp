// The emulated daemon as the Bluetooth daemon's own command-line client sees it: bluetoothctl,
// pointed at the test's bus, lists the emulated device and its GATT services and characteristics.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

#include "sim/bluez/ChildProcess.hpp"
#include "tests/ble/BluezFixture.hpp"

using namespace BleTest;
using TestSupport::waitFor;
using VexaDevice::Utility::parseUuid;
namespace Property = Platform::CharacteristicProperty;

namespace {

constexpr uint64_t kAddress = 0xC0FFEE0000A2;
constexpr const char* kAddressText = "C0:FF:EE:00:00:A2";
constexpr const char* kClientConfiguration = "00002902-0000-1000-8000-00805f9b34fb";

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

using BluezBluetoothctl = BluezFixtureOf<true>;

// Runs the client against the test's bus with the commands on its input (it has no terminal:
// it reads them as lines) and returns what it printed once `done` holds for it. The client may
// take its first lines before it has loaded every object, so the commands go again every
// quarter second until the answer is there (20 s at most).
template <class Done>
std::string bluetoothctl(const std::string& busAddress, const std::string& commands, Done done) {
    VexaSim::ChildProcess client({"bluetoothctl"}, {{"DBUS_SYSTEM_BUS_ADDRESS", busAddress}});
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (!done(lower(client.output())) && std::chrono::steady_clock::now() < deadline) {
        client.write(commands);
        waitFor([&] { return done(lower(client.output())); }, 250ms);
    }
    client.write("quit\n");
    EXPECT_EQ(client.wait(30s), 0) << commands << client.output();
    return lower(client.output());
}

}  // namespace

TEST_F(BluezBluetoothctl, ListsTheEmulatedDeviceAndItsGattAttributes) {
    if (!VexaSim::programAvailable("bluetoothctl")) GTEST_SKIP() << "bluetoothctl (package bluez) is not installed";
    const auto service = parseUuid("6E400001-B534-F393-68A9-E50E24DCCA9E");
    const auto command = parseUuid("6E400002-B534-F393-68A9-E50E24DCCA9E");
    const auto stream = parseUuid("6E400003-B534-F393-68A9-E50E24DCCA9E");
    auto peripheral = radio->addPeripheral(kAddress, "Emulated");
    auto exported = peripheral->addService(service);
    exported->addCharacteristic(command, Property::Write | Property::Read, {0x10});
    exported->addCharacteristic(stream, Property::Notify);
    // Connected through the library: the emulated daemon exports the device's GATT objects.
    auto device = platform->openPeripheral(kAddress);
    ASSERT_NE(device, nullptr);
    ASSERT_EQ(device->gattServices().status, Platform::GattStatus::Success);

    const std::string listed = lower(std::string("Device ") + kAddressText + " Emulated");
    const std::string devices = bluetoothctl(
        bus.address(), "devices\n", [&](const std::string& out) { return out.find(listed) != std::string::npos; });
    EXPECT_NE(devices.find(listed), std::string::npos) << devices;

    const std::string devicePath = "/org/bluez/hci0/dev_c0_ff_ee_00_00_a2";
    const std::string attributes =
        bluetoothctl(bus.address(), std::string("menu gatt\nlist-attributes ") + kAddressText + "\nback\n",
                     [&](const std::string& out) {
                         return out.find(lower(VexaDevice::Utility::uuidToString(command))) != std::string::npos &&
                                out.find(lower(VexaDevice::Utility::uuidToString(stream))) != std::string::npos &&
                                out.find(kClientConfiguration) != std::string::npos;
                     });
    EXPECT_NE(attributes.find("primary service"), std::string::npos) << attributes;
    EXPECT_NE(attributes.find(devicePath + "/service"), std::string::npos) << attributes;
    EXPECT_NE(attributes.find("characteristic"), std::string::npos) << attributes;
    for (const auto& uuid : {service, command, stream}) {
        EXPECT_NE(attributes.find(lower(VexaDevice::Utility::uuidToString(uuid))), std::string::npos)
            << VexaDevice::Utility::uuidToString(uuid) << " missing from:\n"
            << attributes;
    }
    EXPECT_NE(attributes.find(kClientConfiguration), std::string::npos) << "the stream's client configuration\n"
                                                                        << attributes;
}
