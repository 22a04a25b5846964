#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "sim/radio/SimRadio.hpp"
#include "tests/support/WaitFor.hpp"

using namespace VexaSim;
namespace Platform = VexaDevice::BLE::Platform;
using VexaDevice::Utility::parseUuid;

namespace {

const auto serviceUuid = parseUuid("6E400001-B534-F393-68A9-E50E24DCCA9E");
const auto valueUuid = parseUuid("6E400003-B534-F393-68A9-E50E24DCCA9E");
constexpr uint64_t address = 0xA1B2C3D4E5F6ULL;

Platform::Advertisement advertisement(uint64_t from, bool scanResponse = false) {
    Platform::Advertisement ad;
    ad.address = from;
    ad.rssi = -60;
    ad.scanResponse = scanResponse;
    return ad;
}

struct Fixture : ::testing::Test {
    std::shared_ptr<SimRadio> radio = SimRadio::create();

    std::shared_ptr<Platform::IGattCharacteristic> discover(const std::shared_ptr<Platform::IPeripheral>& device) {
        auto services = device->gattServices();
        EXPECT_EQ(services.status, Platform::GattStatus::Success);
        auto characteristics = services.services.at(0)->characteristics();
        return characteristics.characteristics.at(0);
    }
};

}  // namespace

using SimRadioScanning = Fixture;

TEST_F(SimRadioScanning, AdvertisementsReachOnlyStartedWatchersOnTheRadioThread) {
    auto started = radio->createWatcher();
    auto idle = radio->createWatcher();
    std::atomic<int> heard{0}, idleHeard{0};
    std::thread::id deliveryThread;
    auto r1 = started->onReceived([&](const Platform::Advertisement&) {
        deliveryThread = std::this_thread::get_id();
        ++heard;
    });
    auto r2 = idle->onReceived([&](const Platform::Advertisement&) { ++idleHeard; });
    started->configure({Platform::ScanningMode::Active, -100, -105, {}, true});
    started->start();
    radio->advertise(advertisement(1));
    radio->advertise(advertisement(2, true));
    radio->drain();
    EXPECT_EQ(heard, 2);
    EXPECT_EQ(idleHeard, 0);
    EXPECT_NE(deliveryThread, std::this_thread::get_id());
}

TEST_F(SimRadioScanning, PassiveWatcherMissesScanResponsesAndWeakSignals) {
    auto watcher = radio->createWatcher();
    std::atomic<int> heard{0};
    auto r = watcher->onReceived([&](const Platform::Advertisement&) { ++heard; });
    watcher->configure({Platform::ScanningMode::Passive, -100, -105, {}, true});
    watcher->start();
    radio->advertise(advertisement(1, true));
    auto weak = advertisement(1);
    weak.rssi = -101;
    radio->advertise(weak);
    radio->advertise(advertisement(1));
    radio->drain();
    EXPECT_EQ(heard, 1);
}

TEST_F(SimRadioScanning, StopAndAbortReportStopped) {
    auto watcher = radio->createWatcher();
    std::atomic<int> stopped{0};
    auto r = watcher->onStopped([&] { ++stopped; });
    watcher->start();
    watcher->stop();
    watcher->stop();  // not running any more: no second report
    watcher->start();
    radio->abortWatchers();
    radio->drain();
    EXPECT_EQ(stopped, 2);
    EXPECT_EQ(watcher->status(), Platform::WatcherStatus::Aborted);

    radio->setAdapterState(SimAdapterState::RadioOff);
    watcher->start();
    radio->drain();
    EXPECT_EQ(watcher->status(), Platform::WatcherStatus::Aborted);
    EXPECT_EQ(stopped, 3);
}

TEST_F(SimRadioScanning, AdapterStates) {
    EXPECT_TRUE(radio->defaultAdapter());
    radio->setAdapterState(SimAdapterState::Absent);
    EXPECT_FALSE(radio->defaultAdapter());
    radio->setAdapterState(SimAdapterState::NoCentralRole);
    EXPECT_FALSE(radio->defaultAdapter()->isCentralRoleSupported());
    radio->setAdapterState(SimAdapterState::RadioOff);
    EXPECT_EQ(radio->defaultAdapter()->radioState(), Platform::RadioState::Off);
    radio->setAdapterState(SimAdapterState::NoBluetoothRadio);
    EXPECT_EQ(radio->radios(), std::vector<Platform::RadioKind>{Platform::RadioKind::WiFi});
}

TEST(SimRadioRegistration, ReleaseWaitsForTheCallbackInFlight) {
    auto radio = SimRadio::create();
    auto watcher = radio->createWatcher();
    std::atomic<bool> inside{false}, release{false}, finished{false};
    auto registration = watcher->onReceived([&](const Platform::Advertisement&) {
        inside = true;
        while (!release) std::this_thread::yield();
        finished = true;
    });
    watcher->start();
    radio->advertise(advertisement(1));
    ASSERT_TRUE(TestSupport::waitFor([&] { return inside.load(); }));
    std::thread releaser([&] {
        registration.reset();
        EXPECT_TRUE(finished.load());  // the reset returned only after the callback ended
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_FALSE(finished.load());
    release = true;
    releaser.join();
    radio->drain();
}

TEST(SimRadioRegistration, ReleaseFromInsideTheCallbackDoesNotWait) {
    auto radio = SimRadio::create();
    auto watcher = radio->createWatcher();
    std::atomic<int> calls{0};
    Platform::Registration registration;
    registration = watcher->onReceived([&](const Platform::Advertisement&) {
        ++calls;
        registration.reset();
    });
    watcher->start();
    radio->advertise(advertisement(1));
    radio->advertise(advertisement(1));
    radio->drain();
    EXPECT_EQ(calls, 1);
}

using SimRadioPeripheral = Fixture;

TEST_F(SimRadioPeripheral, GattTableWriteHookAndNotifications) {
    auto peer = radio->addPeripheral(address, "Morvex");
    auto service = peer->addService(serviceUuid);
    auto value =
        service->addCharacteristic(valueUuid,
                                   Platform::CharacteristicProperty::Write | Platform::CharacteristicProperty::Notify |
                                       Platform::CharacteristicProperty::Read,
                                   {7});
    value->onWrite([value](const std::vector<uint8_t>& frame) {
        value->notify({frame.rbegin(), frame.rend()});
        return frame.empty() ? Platform::GattStatus::ProtocolError : Platform::GattStatus::Success;
    });

    auto device = radio->openPeripheral(address);
    ASSERT_TRUE(device);
    EXPECT_EQ(device->name(), "Morvex");
    EXPECT_EQ(device->connectionStatus(), Platform::ConnectionStatus::Disconnected);
    auto characteristic = discover(device);
    EXPECT_EQ(device->connectionStatus(), Platform::ConnectionStatus::Connected);
    EXPECT_EQ(characteristic->readValue().value, std::vector<uint8_t>{7});

    std::vector<std::vector<uint8_t>> received;
    std::mutex mutex;
    auto r = characteristic->onValueChanged([&](const std::vector<uint8_t>& bytes) {
        std::lock_guard lock(mutex);
        received.push_back(bytes);
    });
    EXPECT_FALSE(value->notify({1}));  // notification not enabled yet
    EXPECT_EQ(characteristic->writeClientConfiguration(Platform::ClientConfiguration::Notify),
              Platform::GattStatus::Success);
    EXPECT_EQ(characteristic->writeValue({1, 2, 3}), Platform::GattStatus::Success);
    EXPECT_EQ(characteristic->writeValue({}), Platform::GattStatus::ProtocolError);
    radio->drain();
    EXPECT_EQ(received, (std::vector<std::vector<uint8_t>>{{3, 2, 1}, {}}));
    EXPECT_EQ(value->writes().size(), 2u);
    EXPECT_EQ(characteristic->readValue().value, (std::vector<uint8_t>{1, 2, 3}));
}

// The acknowledgement of a write reaches the central behind what the device notified while it
// took the frame and ahead of what it notifies once the acknowledgement went out; a refused
// write is not acknowledged.
TEST_F(SimRadioPeripheral, AWritesAcknowledgementIsOrderedWithTheNotifications) {
    auto peer = radio->addPeripheral(address, "Morvex");
    auto value =
        peer->addService(serviceUuid)
            ->addCharacteristic(valueUuid,
                                Platform::CharacteristicProperty::Write | Platform::CharacteristicProperty::Notify, {});
    value->onWrite([value](const std::vector<uint8_t>& frame) {
        value->notify({1});
        return frame.empty() ? Platform::GattStatus::ProtocolError : Platform::GattStatus::Success;
    });
    value->onAcknowledged([value](const std::vector<uint8_t>&) { value->notify({2}); });

    auto device = radio->openPeripheral(address);
    ASSERT_TRUE(device);
    auto characteristic = discover(device);
    std::vector<int> seen;
    std::mutex mutex;
    auto r = characteristic->onValueChanged([&](const std::vector<uint8_t>& bytes) {
        std::lock_guard lock(mutex);
        seen.push_back(bytes.at(0));
    });
    ASSERT_EQ(characteristic->writeClientConfiguration(Platform::ClientConfiguration::Notify),
              Platform::GattStatus::Success);
    const auto acknowledged = [&] {
        std::lock_guard lock(mutex);
        seen.push_back(0);
    };
    EXPECT_EQ(characteristic->writeValue({5}, acknowledged), Platform::GattStatus::Success);
    EXPECT_EQ(characteristic->writeValue({}, acknowledged), Platform::GattStatus::ProtocolError);
    radio->drain();
    EXPECT_EQ(seen, (std::vector<int>{1, 0, 2, 1}));
}

TEST_F(SimRadioPeripheral, InjectedFaults) {
    auto peer = radio->addPeripheral(address, "dev");
    auto value = peer->addService(serviceUuid)
                     ->addCharacteristic(
                         valueUuid, Platform::CharacteristicProperty::Write | Platform::CharacteristicProperty::Notify);
    auto device = radio->openPeripheral(address);
    auto characteristic = discover(device);
    std::vector<std::vector<uint8_t>> received;
    auto r = characteristic->onValueChanged([&](const std::vector<uint8_t>& bytes) { received.push_back(bytes); });
    characteristic->writeClientConfiguration(Platform::ClientConfiguration::Notify);

    value->failNextWrites(1, Platform::GattStatus::AccessDenied);
    EXPECT_EQ(characteristic->writeValue({1}), Platform::GattStatus::AccessDenied);
    EXPECT_EQ(characteristic->writeValue({1}), Platform::GattStatus::Success);
    EXPECT_EQ(characteristic->readValue().status, Platform::GattStatus::ProtocolError);  // not readable

    value->dropNextNotifications(1);
    EXPECT_FALSE(value->notify({1}));
    value->truncateNextNotifications(1, 2);
    value->delayNextNotifications(1, std::chrono::milliseconds(20));
    const auto before = std::chrono::steady_clock::now();
    EXPECT_TRUE(value->notify({1, 2, 3, 4}));
    EXPECT_TRUE(value->notify({5}));
    radio->drain();
    EXPECT_GE(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(20));
    EXPECT_EQ(received, (std::vector<std::vector<uint8_t>>{{1, 2}, {5}}));  // order kept behind the delay

    peer->dropLinkAfterNotifications(1);
    EXPECT_TRUE(value->notify({6}));
    EXPECT_FALSE(value->notify({7}));
    EXPECT_FALSE(peer->isConnected());
    EXPECT_EQ(characteristic->writeValue({1}), Platform::GattStatus::Unreachable);
}

TEST_F(SimRadioPeripheral, LinkLossAndCloseAreAnnounced) {
    auto peer = radio->addPeripheral(address, "dev");
    peer->addService(serviceUuid);
    auto device = radio->openPeripheral(address);
    std::atomic<int> changes{0};
    auto r = device->onConnectionStatusChanged([&] { ++changes; });
    device->gattServices();
    radio->drain();
    EXPECT_EQ(changes, 1);
    peer->dropLink();
    radio->drain();
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(device->connectionStatus(), Platform::ConnectionStatus::Disconnected);

    device->gattServices();
    peer->setLingerAfterClose(true);
    device->close();
    EXPECT_EQ(device->connectionStatus(), Platform::ConnectionStatus::Connected);
    EXPECT_THROW(device->gattServices(), Platform::PlatformError);
}

TEST_F(SimRadioPeripheral, ScriptedStatusesAndReachability) {
    auto peer = radio->addPeripheral(address, "dev");
    auto service = peer->addService(serviceUuid);
    peer->scriptServicesStatuses({Platform::GattStatus::Unreachable, Platform::GattStatus::ProtocolError});
    service->scriptCharacteristicsStatuses({Platform::GattStatus::AccessDenied});
    auto device = radio->openPeripheral(address);
    EXPECT_EQ(device->gattServices().status, Platform::GattStatus::Unreachable);
    EXPECT_EQ(device->gattServices().status, Platform::GattStatus::ProtocolError);
    auto services = device->gattServices();
    EXPECT_EQ(services.status, Platform::GattStatus::Success);
    EXPECT_EQ(services.services.at(0)->characteristics().status, Platform::GattStatus::AccessDenied);
    EXPECT_EQ(services.services.at(0)->characteristics().status, Platform::GattStatus::Success);
    EXPECT_EQ(peer->servicesQueries(), 3);

    peer->setReachable(false);
    EXPECT_FALSE(radio->openPeripheral(address));
    EXPECT_FALSE(radio->openPeripheral(0x123));
}

TEST_F(SimRadioPeripheral, PairingAsksTheHandlerOnTheRadioThread) {
    auto peer = radio->addPeripheral(address, "dev");
    peer->setPairing({true, false, Platform::PairingKind::DisplayPin, Platform::PairingStatus::Paired});
    auto device = radio->openPeripheral(address);
    EXPECT_EQ(device->pair(Platform::PairingKind::ConfirmOnly, Platform::ProtectionLevel::Encryption),
              Platform::PairingStatus::RequiredHandlerNotRegistered);
    std::thread::id handlerThread;
    {
        auto r = device->onPairingRequested([&](Platform::PairingRequest& request) {
            handlerThread = std::this_thread::get_id();
            if (request.kind() == Platform::PairingKind::DisplayPin) request.accept();
        });
        EXPECT_EQ(device->pair(Platform::PairingKind::ConfirmOnly, Platform::ProtectionLevel::Encryption),
                  Platform::PairingStatus::Paired);
    }
    EXPECT_NE(handlerThread, std::this_thread::get_id());
    EXPECT_TRUE(device->pairingInfo().isPaired);

    peer->setPairing({true, false, Platform::PairingKind::ProvidePin, Platform::PairingStatus::Paired});
    auto r = device->onPairingRequested([](Platform::PairingRequest&) {});
    EXPECT_EQ(device->pair(Platform::PairingKind::ConfirmOnly, Platform::ProtectionLevel::Encryption),
              Platform::PairingStatus::RejectedByHandler);
}

TEST(SimRadioInstalling, InstallationReplacesAndRestoresTheBackend) {
    EXPECT_FALSE(Platform::currentPlatform()->defaultAdapter());  // no backend: no adapter
    auto radio = SimRadio::create();
    {
        SimRadioInstallation installed(radio);
        EXPECT_EQ(Platform::currentPlatform(), radio);
    }
    EXPECT_NE(Platform::currentPlatform(), radio);
    EXPECT_FALSE(Platform::currentPlatform()->openPeripheral(address));
}
