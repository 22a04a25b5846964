// The daemon backend against a stand-in written outside this project: python-dbusmock's
// template of the Bluetooth daemon, on a bus of the test's own. The backend runs unchanged; the
// test drives the template through its mock interface (adding the adapter and a device, marking
// the link down) and checks what the platform layer makes of it: the adapter, discovery, the
// device appearing, pairing, connecting and disconnecting.
//
// What the template cannot do, and so is not covered here: it never resolves services (the test
// sets ServicesResolved through the mock interface, as the daemon would after Connect), it has no
// GATT objects (the table is empty), it does not call the pairing agent, and its Connect and
// Disconnect leave ServicesResolved as it was.

#include <gtest/gtest.h>

#include <systemd/sd-bus.h>

#include <atomic>
#include <future>
#include <optional>

#include "sdk/ble/platform/bluez/BluezNames.hpp"
#include "sim/bluez/ChildProcess.hpp"
#include "tests/ble/BluezFixture.hpp"

using namespace BleTest;
using TestSupport::waitFor;

namespace {

constexpr uint64_t kAddress = 0xC0FFEE0000A1;
constexpr const char* kAddressText = "C0:FF:EE:00:00:A1";
constexpr const char* kMock = "org.bluez.Mock";
constexpr const char* kAdapterPath = "/org/bluez/hci0";

// The Python interpreter that has python-dbusmock: the distribution's, where another one comes
// first on PATH.
std::optional<std::string> dbusmockPython() {
    for (const char* candidate : {"/usr/bin/python3", "python3"}) {
        if (!VexaSim::programAvailable(candidate)) continue;
        VexaSim::ChildProcess probe({candidate, "-c", "import dbusmock.templates.bluez5"});
        if (probe.wait(20s) == 0) return candidate;
    }
    return std::nullopt;
}

class BluezDbusmock : public ::testing::Test {
protected:
    void SetUp() override {
        const auto python = dbusmockPython();
        if (!python) GTEST_SKIP() << "python3-dbusmock is not installed";
        bus = std::make_unique<VexaSim::PrivateBus>();
        mock = std::make_unique<VexaSim::ChildProcess>(
            std::vector<std::string>{*python, "-m", "dbusmock", "--system", "--template", "bluez5"},
            std::vector<std::pair<std::string, std::string>>{{"DBUS_SYSTEM_BUS_ADDRESS", bus->address()}});
        platform = Bluez::BluezPlatform::create(bus->address(), shortTiming());
        ASSERT_TRUE(waitFor([&] { return platform->daemonPresent(); }, 20s)) << mock->output();
    }

    void TearDown() override {
        // The backend goes before the stand-in daemon and the bus.
        platform.reset();
        mock.reset();
        bus.reset();
    }

    // A method of the template's own; the string it returns, if any.
    std::string mockCall(const std::string& path, const char* interface, const char* member,
                         const Bluez::BluezPlatform::Builder& build) {
        std::string result;
        const auto outcome = platform->call(
            path, interface, member, build,
            [&](sd_bus_message* reply, const Bluez::CallOutcome& outcome) {
                const char* text = nullptr;
                if (outcome.ok() && reply && sd_bus_message_read(reply, "s", &text) > 0 && text) result = text;
            },
            20s);
        EXPECT_TRUE(outcome.ok()) << member << ": " << outcome.errorName << " " << outcome.errorMessage;
        return result;
    }

    std::optional<bool> deviceFlag(const std::string& path, const char* name) {
        const auto device = platform->properties(path, Bluez::kDevice);
        if (!device || !device->contains(name)) return std::nullopt;
        return device->at(name).asBool();
    }

    std::unique_ptr<VexaSim::PrivateBus> bus;
    std::unique_ptr<VexaSim::ChildProcess> mock;
    std::shared_ptr<Bluez::BluezPlatform> platform;
};

}  // namespace

TEST_F(BluezDbusmock, AdapterDiscoveryPairingAndTheLinkAsTheTemplateShowsThem) {
    // No adapter yet: the daemon is there but the radio is absent.
    EXPECT_EQ(platform->defaultAdapter(), nullptr);
    EXPECT_TRUE(platform->radios().empty());
    EXPECT_EQ(mockCall("/", kMock, "AddAdapter",
                       [](sd_bus_message* m) { return sd_bus_message_append(m, "ss", "hci0", "mocked"); }),
              kAdapterPath);
    ASSERT_TRUE(waitFor([&] { return platform->defaultAdapter() != nullptr; }, 20s));
    EXPECT_EQ(platform->defaultAdapter()->radioState(), Platform::RadioState::On);
    EXPECT_EQ(platform->radios(), std::vector{Platform::RadioKind::Bluetooth});

    // Discovery, and a device appearing while it runs.
    auto watcher = platform->createWatcher();
    Platform::WatcherSettings settings;
    settings.inRangeThresholdDbm = -100;
    watcher->configure(settings);
    Advertisements seen;
    auto registration = watcher->onReceived([&](const Platform::Advertisement& ad) { seen.add(ad); });
    watcher->start();
    ASSERT_EQ(watcher->status(), Platform::WatcherStatus::Started);
    auto discovering = [&] {
        const auto adapter = platform->properties(kAdapterPath, Bluez::kAdapter);
        return adapter && adapter->contains("Discovering") && adapter->at("Discovering").asBool().value_or(false);
    };
    EXPECT_TRUE(waitFor(discovering, 20s));
    const std::string path = mockCall("/", kMock, "AddDevice", [](sd_bus_message* m) {
        return sd_bus_message_append(m, "sss", "hci0", kAddressText, "Mocked");
    });
    EXPECT_EQ(path, Bluez::devicePath(kAdapterPath, kAddress));
    ASSERT_TRUE(waitFor([&] { return !seen.all().empty(); }, 20s));
    const auto heard = seen.all().back();
    EXPECT_EQ(heard.address, kAddress);
    EXPECT_EQ(heard.localName, "Mocked");
    EXPECT_EQ(heard.rssi, -79);
    // The template reports the advertised flags as an empty list: none were advertised.
    EXPECT_FALSE(heard.flags.has_value());
    watcher->stop();
    EXPECT_EQ(watcher->status(), Platform::WatcherStatus::Stopped);
    EXPECT_TRUE(waitFor([&] { return !discovering(); }, 20s));

    // Pairing through the library's agent, once; a second time the device is already paired.
    auto first = platform->openPeripheral(kAddress);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->name(), "Mocked");
    EXPECT_FALSE(first->pairingInfo().isPaired);
    auto pairing = first->onPairingRequested([](Platform::PairingRequest& request) { request.accept(); });
    EXPECT_EQ(first->pair(Platform::PairingKind::ConfirmOnly, Platform::ProtectionLevel::Encryption),
              Platform::PairingStatus::Paired);
    EXPECT_TRUE(waitFor([&] { return first->pairingInfo().isPaired; }, 20s));
    EXPECT_EQ(first->pair(Platform::PairingKind::ConfirmOnly, Platform::ProtectionLevel::Encryption),
              Platform::PairingStatus::AlreadyPaired);

    // Connect answers before the services are resolved: the link is up only once they are.
    auto services = std::async(std::launch::async, [&] { return first->gattServices(); });
    ASSERT_TRUE(waitFor([&] { return deviceFlag(path, "Connected") == true; }, 20s));
    EXPECT_EQ(first->connectionStatus(), Platform::ConnectionStatus::Disconnected);
    mockCall(path, "org.freedesktop.DBus.Mock", "UpdateProperties", [](sd_bus_message* m) {
        return sd_bus_message_append(m, "sa{sv}", Bluez::kDevice, 1, "ServicesResolved", "b", 1);
    });
    const auto table = services.get();
    EXPECT_EQ(table.status, Platform::GattStatus::Success);
    EXPECT_TRUE(table.services.empty()) << "the template has no GATT objects";
    EXPECT_EQ(first->connectionStatus(), Platform::ConnectionStatus::Connected);

    // The last handle closed disconnects; a new one connects again.
    first->close();
    ASSERT_TRUE(waitFor([&] { return deviceFlag(path, "Connected") == false; }, 20s));
    auto second = platform->openPeripheral(kAddress);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->gattServices().status, Platform::GattStatus::Success);
    EXPECT_EQ(second->connectionStatus(), Platform::ConnectionStatus::Connected);

    // The link dropped on the daemon's side is announced.
    std::atomic<bool> lost{false};
    auto status = second->onConnectionStatusChanged([&] {
        if (second->connectionStatus() == Platform::ConnectionStatus::Disconnected) lost = true;
    });
    mockCall("/", kMock, "DisconnectDevice",
             [](sd_bus_message* m) { return sd_bus_message_append(m, "ss", "hci0", kAddressText); });
    EXPECT_TRUE(waitFor([&] { return lost.load(); }, 20s));
    status.reset();
    second->close();

    // The adapter going away leaves the radio absent.
    mockCall("/", kMock, "RemoveAdapter", [](sd_bus_message* m) { return sd_bus_message_append(m, "s", "hci0"); });
    EXPECT_TRUE(waitFor([&] { return platform->defaultAdapter() == nullptr; }, 20s));
}
