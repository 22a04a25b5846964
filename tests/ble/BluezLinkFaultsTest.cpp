// The daemon backend against links that misbehave as real ones do: a table resolved again while
// data flows, services exported after ServicesResolved, AcquireNotify refused, large MTUs,
// connects aborted, calls answered InProgress or "Not connected", links other programs opened,
// and nothing left behind after many connections.

#include <gtest/gtest.h>
#include <systemd/sd-bus.h>

#include <atomic>
#include <future>

#include "sdk/ble/platform/bluez/BluezNames.hpp"
#include "tests/ble/BluezFixture.hpp"
#include "tests/ble/BluezTestDevice.hpp"
#include "sim/radio/SimLink.hpp"

using namespace BleTest;
using VexaDevice::Utility::parseUuid;
namespace Property = Platform::CharacteristicProperty;

namespace {

const auto kBatteryService = parseUuid("0000180F-0000-1000-8000-00805F9B34FB");
const auto kBatteryLevel = parseUuid("00002A19-0000-1000-8000-00805F9B34FB");

// Every match rule the bus holds, for all its connections.
size_t matchRules(const std::string& address) {
    sd_bus* bus = nullptr;
    if (sd_bus_new(&bus) < 0) return 0;
    sd_bus_set_address(bus, address.c_str());
    sd_bus_set_bus_client(bus, 1);
    size_t rules = 0;
    sd_bus_message* reply = nullptr;
    if (sd_bus_start(bus) >= 0 &&
        sd_bus_call_method(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus.Debug.Stats",
                           "GetAllMatchRules", nullptr, &reply, nullptr) >= 0 &&
        sd_bus_message_enter_container(reply, 'a', "{sas}") >= 0) {
        while (sd_bus_message_enter_container(reply, 'e', "sas") > 0) {
            const char* name = nullptr;
            std::vector<std::string> connection;
            sd_bus_message_read_basic(reply, 's', &name);
            Bluez::readStrings(reply, connection);
            rules += connection.size();
            sd_bus_message_exit_container(reply);
        }
    }
    sd_bus_message_unref(reply);
    sd_bus_flush_close_unref(bus);
    return rules;
}

// The stream is switched on, then the daemon resolves the table again; values sent after that
// arrive within two seconds, the link staying up and silent.
template <class Fixture>
void dataResumesAfterTheTableIsResolvedAgain(Fixture& test, const char* subscription) {
    auto peer = addDevice(*test.radio);
    VexaSim::LinkFaults faults;
    faults.reresolveAfterNotify = 50ms;
    test.daemon->setFaults(kAddress, faults);
    auto device = test.platform->openPeripheral(kAddress);
    auto stream = Fixture::find(device, kStream);
    auto command = Fixture::find(device, kCommand);
    ASSERT_NE(stream, nullptr);
    std::atomic<int> losses{0};
    auto status = device->onConnectionStatusChanged([&] {
        if (device->connectionStatus() == Platform::ConnectionStatus::Disconnected) ++losses;
    });
    Received received;
    auto values = stream->onValueChanged([&](const std::vector<uint8_t>& value) { received.add(value); });
    ASSERT_EQ(stream->writeClientConfiguration(Platform::ClientConfiguration::Notify), Platform::GattStatus::Success);
    const auto switchedOn = std::chrono::steady_clock::now();
    auto simStream = peer->characteristic(kService, kStream);
    ASSERT_TRUE(simStream->notify({1}));
    ASSERT_TRUE(waitFor([&] { return received.count() == 1; }));

    // Switched on again on the new object by the backend itself.
    ASSERT_TRUE(waitFor([&] { return test.daemon->calls(subscription) == 2 && simStream->isNotifying(); }, 5s));
    ASSERT_TRUE(simStream->notify({2}));
    ASSERT_TRUE(waitFor([&] { return received.count() == 2; }, 5s));
    EXPECT_LT(std::chrono::steady_clock::now() - switchedOn, 2s + 50ms);
    EXPECT_EQ(received.all().back(), std::vector<uint8_t>{2});
    EXPECT_EQ(device->connectionStatus(), Platform::ConnectionStatus::Connected);
    EXPECT_EQ(losses.load(), 0);
    // Reads and writes go to the new objects as well.
    ASSERT_EQ(command->writeValue({0x33}), Platform::GattStatus::Success);
    EXPECT_EQ(command->readValue().value, std::vector<uint8_t>{0x33});
    // Switched off, the new session ends.
    ASSERT_EQ(stream->writeClientConfiguration(Platform::ClientConfiguration::None), Platform::GattStatus::Success);
    EXPECT_TRUE(waitFor([&] { return !simStream->isNotifying(); }));
}

// The handles hear of a table resolved again once every characteristic works again: a value the
// device notified while the table was away is lost, and one it notifies as the news arrives
// reaches the client. The link stays up, and the news comes once.
template <class Fixture>
void theNewsOfATableResolvedAgainComesWithItsNotificationsBack(Fixture& test) {
    auto peer = addDevice(*test.radio);
    VexaSim::LinkFaults faults;
    faults.reresolveAfterNotify = 10ms;
    faults.reresolveGap = 200ms;
    test.daemon->setFaults(kAddress, faults);
    auto device = test.platform->openPeripheral(kAddress);
    auto stream = Fixture::find(device, kStream);
    ASSERT_NE(stream, nullptr);
    auto simStream = peer->characteristic(kService, kStream);
    std::atomic<int> losses{0};
    auto status = device->onConnectionStatusChanged([&] {
        if (device->connectionStatus() == Platform::ConnectionStatus::Disconnected) ++losses;
    });
    Received received;
    auto values = stream->onValueChanged([&](const std::vector<uint8_t>& value) { received.add(value); });
    std::atomic<int> news{0};
    std::atomic<bool> sentAsTold{false};
    auto rebound = device->onServicesRebound([&] {
        sentAsTold = simStream->notify({2});
        ++news;
    });
    ASSERT_EQ(stream->writeClientConfiguration(Platform::ClientConfiguration::Notify), Platform::GattStatus::Success);
    ASSERT_TRUE(waitFor([&] { return !test.daemon->tableExported(kAddress); })) << "the table never went";
    simStream->notify({1});
    ASSERT_TRUE(waitFor([&] { return news.load() == 1; }, 5s)) << "no news of the table back";
    EXPECT_TRUE(sentAsTold.load()) << "told before the notifications are back";
    ASSERT_TRUE(waitFor([&] { return received.count() == 1; }));
    EXPECT_EQ(received.all(), (std::vector<std::vector<uint8_t>>{{2}}));
    EXPECT_EQ(losses.load(), 0);
    EXPECT_EQ(device->connectionStatus(), Platform::ConnectionStatus::Connected);
    EXPECT_EQ(news.load(), 1);
}

// A device whose table is resolved again 300 ms after its stream is switched on (time enough
// to send a value before), switched on with the device's link held: what the device sends
// from then on, the change included, waits on the link until it is resumed.
struct HeldLink {
    std::shared_ptr<VexaSim::SimPeripheral> peer;
    std::shared_ptr<Platform::IPeripheral> device;
    std::shared_ptr<Platform::IGattCharacteristic> stream;
    Received received;
    Platform::Registration values;
    VexaSim::SimDispatcher* link = nullptr;
    uint64_t posted = 0;  // tasks queued on the link before the stream was switched on

    template <class Fixture>
    void switchOn(Fixture& test) {
        peer = addDevice(*test.radio);
        VexaSim::LinkFaults faults;
        faults.reresolveAfterNotify = 300ms;
        test.daemon->setFaults(kAddress, faults);
        device = test.platform->openPeripheral(kAddress);
        stream = Fixture::find(device, kStream);
        ASSERT_NE(stream, nullptr);
        values = stream->onValueChanged([this](const std::vector<uint8_t>& value) { received.add(value); });
        link = &peer->link()->dispatcher();
        link->pause();
        posted = link->postedCount();
        ASSERT_EQ(stream->writeClientConfiguration(Platform::ClientConfiguration::Notify),
                  Platform::GattStatus::Success);
    }
};

}  // namespace

using BluezTableChanges = BluezFixtureOf<true>;
using BluezTableChangesOfSessions = BluezFixtureOf<false>;

// The client hears of the change before it reads the value the socket holds already (its loop
// was busy while both came in): the value is delivered all the same.
TEST_F(BluezTableChanges, AValueTheSocketHoldsAsItsObjectGoesIsDelivered) {
    HeldLink held;
    ASSERT_NO_FATAL_FAILURE(held.switchOn(*this));
    ASSERT_TRUE(held.peer->characteristic(kService, kStream)->notify({5}));
    ASSERT_TRUE(waitFor([&] { return held.link->postedCount() > held.posted + 1; }))
        << "the change is queued on the link";
    // The client's loop is held until the value is in its socket and the objects are gone.
    std::promise<void> gate;
    struct Release {
        std::promise<void>& gate;
        ~Release() {
            try {
                gate.set_value();
            } catch (const std::future_error&) {}
        }
    } release{gate};
    std::atomic<bool> busy{false};
    platform->loop().post([&busy, released = gate.get_future().share()](sd_bus*) {
        busy = true;
        released.wait();
    });
    ASSERT_TRUE(waitFor([&] { return busy.load(); }));
    held.link->resume();
    held.link->drain();
    daemon->onBus();  // runs after the change on the daemon's loop
    gate.set_value();
    EXPECT_TRUE(waitFor([&] { return held.received.count() == 1; })) << "the value in the socket is lost";
}

// A write the device takes after its table changed, on the objects about to go, is not
// reported acknowledged once they are gone: its answer may never reach the client. Written
// again, it goes to the new object.
TEST_F(BluezTableChangesOfSessions, AWriteInFlightAsTheTableChangesFails) {
    HeldLink held;
    ASSERT_NO_FATAL_FAILURE(held.switchOn(*this));
    auto command = find(held.device, kCommand);
    ASSERT_TRUE(waitFor([&] { return held.link->postedCount() > held.posted; })) << "the change is queued on the link";
    auto simCommand = held.peer->characteristic(kService, kCommand);
    auto written = std::async(std::launch::async, [&] { return command->writeValue({0x55}); });
    ASSERT_TRUE(waitFor([&] { return simCommand->writes().size() == 1; }));
    held.link->resume();
    EXPECT_NE(written.get(), Platform::GattStatus::Success);
    EXPECT_EQ(command->writeValue({0x56}), Platform::GattStatus::Success);
    EXPECT_EQ(simCommand->writes().back(), std::vector<uint8_t>{0x56});
    EXPECT_EQ(held.device->connectionStatus(), Platform::ConnectionStatus::Connected);
}

TEST_F(BluezTableChanges, AnAcquiredStreamMovesToTheNewObjects) {
    dataResumesAfterTheTableIsResolvedAgain(*this, "AcquireNotify");
}

TEST_F(BluezTableChangesOfSessions, AStartedSessionMovesToTheNewObjects) {
    dataResumesAfterTheTableIsResolvedAgain(*this, "StartNotify");
}

TEST_F(BluezTableChanges, TheNewsOfATableBackComesWithItsSocketsBack) {
    theNewsOfATableResolvedAgainComesWithItsNotificationsBack(*this);
}

TEST_F(BluezTableChangesOfSessions, TheNewsOfATableBackComesWithItsSessionsBack) {
    theNewsOfATableResolvedAgainComesWithItsNotificationsBack(*this);
}

// While the table is away, a service listed before lists no characteristics as if it had none
// (the caller is to ask for the table again), and a call waits for the new object.
TEST_F(BluezTableChanges, ACallMadeWhileTheTableIsAwayGoesToItsNewObject) {
    auto peer = addDevice(*radio);
    VexaSim::LinkFaults faults;
    faults.reresolveAfterNotify = 10ms;
    faults.reresolveGap = 200ms;
    daemon->setFaults(kAddress, faults);
    auto device = platform->openPeripheral(kAddress);
    const auto services = device->gattServices();
    ASSERT_EQ(services.status, Platform::GattStatus::Success);
    auto command = find(device, kCommand);
    ASSERT_EQ(find(device, kStream)->writeClientConfiguration(Platform::ClientConfiguration::Notify),
              Platform::GattStatus::Success);
    const auto devicePath = Bluez::devicePath("/org/bluez/hci0", kAddress);
    ASSERT_TRUE(waitFor([&] { return platform->children(Bluez::kGattService, "Device", devicePath).empty(); }));
    for (const auto& service : services.services) {
        if (service->uuid() != kService) continue;
        const auto listed = service->characteristics();
        EXPECT_NE(listed.status, Platform::GattStatus::Success);
        EXPECT_TRUE(listed.characteristics.empty());
    }
    EXPECT_EQ(command->writeValue({0x44}), Platform::GattStatus::Success);
    EXPECT_EQ(peer->characteristic(kService, kCommand)->writes().back(), std::vector<uint8_t>{0x44});
    EXPECT_EQ(device->connectionStatus(), Platform::ConnectionStatus::Connected);
}

// The daemon removes the table as a call arrives, and answers the call for a removed object
// after announcing the removal: the call is made again on the new object, and the device takes
// it once; a notification switch that crossed it holds there.
template <class Fixture>
void aCallCrossingTheTableGoingIsMadeOnItsNewObject(Fixture& test, const char* member) {
    auto peer = addDevice(*test.radio);
    VexaSim::LinkFaults faults;
    faults.reresolveOnCall = member;
    test.daemon->setFaults(kAddress, faults);
    auto device = test.platform->openPeripheral(kAddress);
    auto stream = Fixture::find(device, kStream);
    auto command = Fixture::find(device, kCommand);
    ASSERT_NE(stream, nullptr);
    ASSERT_NE(command, nullptr);
    auto simCommand = peer->characteristic(kService, kCommand);
    auto simStream = peer->characteristic(kService, kStream);

    const std::string call = member;
    if (call == "WriteValue") {
        EXPECT_EQ(command->writeValue({0x55}), Platform::GattStatus::Success);
        EXPECT_EQ(simCommand->writes(), (std::vector<std::vector<uint8_t>>{{0x55}}));
    } else if (call == "ReadValue") {
        const auto read = command->readValue();
        EXPECT_EQ(read.status, Platform::GattStatus::Success);
        EXPECT_EQ(read.value, std::vector<uint8_t>{0x10});
    } else {
        Received received;
        auto values = stream->onValueChanged([&](const std::vector<uint8_t>& value) { received.add(value); });
        ASSERT_EQ(stream->writeClientConfiguration(Platform::ClientConfiguration::Notify),
                  Platform::GattStatus::Success);
        ASSERT_TRUE(waitFor([&] { return simStream->isNotifying(); }));
        ASSERT_TRUE(simStream->notify({7}));
        EXPECT_TRUE(waitFor([&] { return received.count() == 1; }));
    }
    EXPECT_EQ(test.daemon->calls(member), 2) << "answered for the removed object, then taken on the new one";
    EXPECT_EQ(device->connectionStatus(), Platform::ConnectionStatus::Connected);
}

TEST_F(BluezTableChanges, AWriteCrossingTheTableGoingIsMadeOnItsNewObject) {
    aCallCrossingTheTableGoingIsMadeOnItsNewObject(*this, "WriteValue");
}

TEST_F(BluezTableChanges, AReadCrossingTheTableGoingIsMadeOnItsNewObject) {
    aCallCrossingTheTableGoingIsMadeOnItsNewObject(*this, "ReadValue");
}

TEST_F(BluezTableChanges, AnAcquireCrossingTheTableGoingIsMadeOnItsNewObject) {
    aCallCrossingTheTableGoingIsMadeOnItsNewObject(*this, "AcquireNotify");
}

TEST_F(BluezTableChangesOfSessions, ASessionStartCrossingTheTableGoingIsMadeOnItsNewObject) {
    aCallCrossingTheTableGoingIsMadeOnItsNewObject(*this, "StartNotify");
}

// Over one ordered link a value the device notified before its table changed reaches the client
// before the objects go: here it is still on its way (the radio held) when a write meets the
// table going; the value arrives, and the write is taken on the new object.
TEST_F(BluezTableChanges, AValueSentBeforeTheTableChangedArrivesBeforeItGoes) {
    auto peer = addDevice(*radio);
    VexaSim::LinkFaults faults;
    faults.reresolveOnCall = "WriteValue";
    daemon->setFaults(kAddress, faults);
    auto device = platform->openPeripheral(kAddress);
    auto stream = find(device, kStream);
    auto command = find(device, kCommand);
    Received received;
    auto values = stream->onValueChanged([&](const std::vector<uint8_t>& value) { received.add(value); });
    ASSERT_EQ(stream->writeClientConfiguration(Platform::ClientConfiguration::Notify), Platform::GattStatus::Success);

    radio->pause();
    ASSERT_TRUE(peer->characteristic(kService, kStream)->notify({5}));
    auto write = std::async(std::launch::async, [&] { return command->writeValue({0x66}); });
    const bool arrived = waitFor([&] { return daemon->calls("WriteValue") == 1; });
    radio->resume();
    ASSERT_TRUE(arrived);
    EXPECT_EQ(write.get(), Platform::GattStatus::Success);
    EXPECT_TRUE(waitFor([&] { return received.count() == 1; }));
    EXPECT_EQ(received.all(), (std::vector<std::vector<uint8_t>>{{5}}));
    EXPECT_EQ(peer->characteristic(kService, kCommand)->writes(), (std::vector<std::vector<uint8_t>>{{0x66}}));
}

TEST_F(BluezTableChanges, ATableNotBackInTimeTakesTheLinkDownAndAReconnectionWorks) {
    auto peer = addDevice(*radio);
    VexaSim::LinkFaults faults;
    faults.reresolveAfterNotify = 10ms;
    faults.reresolveGap = 600ms;
    daemon->setFaults(kAddress, faults);
    auto timing = shortTiming();
    timing.rebindTimeout = 100ms;
    auto strict = Bluez::BluezPlatform::create(bus.address(), timing);
    ASSERT_TRUE(strict->waitUntilSettled(5s));
    auto device = strict->openPeripheral(kAddress);
    auto stream = find(device, kStream);
    std::atomic<int> lost{0};
    auto status = device->onConnectionStatusChanged([&] {
        if (device->connectionStatus() == Platform::ConnectionStatus::Disconnected) ++lost;
    });
    ASSERT_EQ(stream->writeClientConfiguration(Platform::ClientConfiguration::Notify), Platform::GattStatus::Success);
    ASSERT_TRUE(waitFor([&] { return lost.load() > 0; }, 5s)) << "never reported lost";
    EXPECT_TRUE(waitFor([&] { return !peer->isConnected(); })) << "the link we opened is taken down";
    EXPECT_EQ(daemon->calls("Disconnect"), 1);
    device->close();

    // The family's reconnection finds the table as the daemon exports it now.
    device = strict->openPeripheral(kAddress);
    stream = find(device, kStream);
    ASSERT_NE(stream, nullptr);
    Received received;
    auto values = stream->onValueChanged([&](const std::vector<uint8_t>& value) { received.add(value); });
    ASSERT_EQ(stream->writeClientConfiguration(Platform::ClientConfiguration::Notify), Platform::GattStatus::Success);
    ASSERT_TRUE(peer->characteristic(kService, kStream)->notify({9}));
    EXPECT_TRUE(waitFor([&] { return received.count() == 1; }));
}

using BluezLateServices = BluezFixtureOf<true>;

TEST_F(BluezLateServices, ServicesExportedAfterServicesResolvedAreWaitedForBoundedly) {
    addDevice(*radio);
    VexaSim::LinkFaults faults;
    faults.lateService = 400ms;
    daemon->setFaults(kAddress, faults);
    auto device = platform->openPeripheral(kAddress);
    const auto services = device->gattServices();
    ASSERT_EQ(services.status, Platform::GattStatus::Success);
    ASSERT_EQ(services.services.size(), 2u) << "the late service is in the table";
    EXPECT_EQ(services.services[1]->uuid(), kSecondService);
    const auto late = services.services[1]->characteristics();
    ASSERT_EQ(late.characteristics.size(), 1u) << "with its characteristics";
    EXPECT_EQ(late.characteristics[0]->readValue().value, (std::vector<uint8_t>{'M', '1'}));
    device->close();

    // A service the device names but never exports costs the bound, not a failure.
    constexpr uint64_t kOther = kAddress + 1;
    auto other = radio->addPeripheral(kOther, "Other");
    other->addService(kService)->addCharacteristic(kCommand, Property::Read, {1});
    auto ad = Platform::Advertisement{};
    ad.address = kOther;
    ad.rssi = -50;
    ad.serviceUuids = {kService, kSecondService};
    auto watcher = platform->createWatcher();
    watcher->start();
    radio->advertise(ad);
    ASSERT_TRUE(waitFor([&] {
        return platform->properties(Bluez::devicePath("/org/bluez/hci0", kOther), Bluez::kDevice).has_value();
    }));
    watcher->stop();
    auto timing = shortTiming();
    timing.servicesTimeout = 150ms;
    auto bounded = Bluez::BluezPlatform::create(bus.address(), timing);
    ASSERT_TRUE(bounded->waitUntilSettled(5s));
    auto handle = bounded->openPeripheral(kOther);
    const auto start = std::chrono::steady_clock::now();
    const auto table = handle->gattServices();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
    ASSERT_EQ(table.status, Platform::GattStatus::Success);
    EXPECT_EQ(table.services.size(), 1u);
}

using BluezRefusedSockets = BluezFixtureOf<true>;

TEST_F(BluezRefusedSockets, ARefusedSocketFallsBackToASessionStoppedWhenTheDeviceCloses) {
    for (const char* refusal : {"org.bluez.Error.NotPermitted", "org.bluez.Error.InProgress"}) {
        SCOPED_TRACE(refusal);
        auto peer = addDevice(*radio);
        VexaSim::LinkFaults faults;
        faults.acquireNotifyRefusal = refusal;
        daemon->setFaults(kAddress, faults);
        const int sessionsBefore = daemon->calls("StartNotify");
        const int stopsBefore = daemon->calls("StopNotify");
        auto device = platform->openPeripheral(kAddress);
        auto stream = find(device, kStream);
        Received received;
        auto values = stream->onValueChanged([&](const std::vector<uint8_t>& value) { received.add(value); });
        ASSERT_EQ(stream->writeClientConfiguration(Platform::ClientConfiguration::Notify),
                  Platform::GattStatus::Success);
        EXPECT_EQ(daemon->calls("StartNotify"), sessionsBefore + 1);
        auto simStream = peer->characteristic(kService, kStream);
        ASSERT_TRUE(simStream->notify({7, 7}));
        ASSERT_TRUE(waitFor([&] { return received.count() == 1; }));
        device->close();
        EXPECT_TRUE(waitFor([&] { return daemon->calls("StopNotify") == stopsBefore + 1; }))
            << "the session is ours to end";
        EXPECT_TRUE(waitFor([&] { return !peer->isConnected(); }));
        radio->removePeripheral(kAddress);
    }
}

TEST_F(BluezRefusedSockets, NotificationsAsLargeAsTheMtuAllowsArriveWhole) {
    for (const uint16_t mtu : {uint16_t{23}, uint16_t{517}}) {
        SCOPED_TRACE(mtu);
        auto peer = addDevice(*radio);
        VexaSim::LinkFaults faults;
        faults.mtu = mtu;
        daemon->setFaults(kAddress, faults);
        auto device = platform->openPeripheral(kAddress);
        auto stream = find(device, kStream);
        Received received;
        auto values = stream->onValueChanged([&](const std::vector<uint8_t>& value) { received.add(value); });
        ASSERT_EQ(stream->writeClientConfiguration(Platform::ClientConfiguration::Notify),
                  Platform::GattStatus::Success);
        std::vector<uint8_t> largest(mtu - 3u);
        for (size_t i = 0; i < largest.size(); ++i) largest[i] = static_cast<uint8_t>(i * 7);
        ASSERT_TRUE(peer->characteristic(kService, kStream)->notify(largest));
        ASSERT_TRUE(waitFor([&] { return received.count() == 1; }));
        EXPECT_EQ(received.all().front(), largest);
        device->close();
        EXPECT_TRUE(waitFor([&] { return !peer->isConnected(); }));
        radio->removePeripheral(kAddress);
    }
}

using BluezLinkCalls = BluezFixtureOf<true>;

TEST_F(BluezLinkCalls, AbortedConnectsFailUntilOneHoldsAndAConnectInProgressIsJoined) {
    auto peer = addDevice(*radio);
    VexaSim::LinkFaults faults;
    faults.abortedConnects = 2;
    faults.connectInProgress = true;
    daemon->setFaults(kAddress, faults);
    auto watcher = platform->createWatcher();
    watcher->start();
    Platform::Advertisement ad;
    ad.address = kAddress;
    ad.rssi = -40;
    radio->advertise(ad);
    ASSERT_TRUE(waitFor([&] {
        return platform->properties(Bluez::devicePath("/org/bluez/hci0", kAddress), Bluez::kDevice).has_value();
    }));
    watcher->stop();
    auto device = platform->openPeripheral(kAddress);
    EXPECT_EQ(device->gattServices().status, Platform::GattStatus::Unreachable);
    EXPECT_EQ(device->gattServices().status, Platform::GattStatus::Unreachable);
    EXPECT_EQ(device->gattServices().status, Platform::GattStatus::Success) << "answered InProgress, the link comes up";
    EXPECT_EQ(daemon->calls("Connect"), 3);
    device->close();
    EXPECT_TRUE(waitFor([&] { return !peer->isConnected(); })) << "a link joined in progress is ours to end";
}

TEST_F(BluezLinkCalls, NotConnectedOnAReadTakesTheLinkDownAndBusyCallsAreMadeOnceMore) {
    auto peer = addDevice(*radio);
    VexaSim::LinkFaults faults;
    faults.busyGattCalls = 3;
    daemon->setFaults(kAddress, faults);
    auto device = platform->openPeripheral(kAddress);
    auto command = find(device, kCommand);
    // Three InProgress answers: the write gives up after its second, the read goes on its second
    // attempt, the next write at once.
    EXPECT_EQ(command->writeValue({0x21}), Platform::GattStatus::ProtocolError);
    EXPECT_EQ(daemon->calls("WriteValue"), 2);
    EXPECT_EQ(command->readValue().value, std::vector<uint8_t>{0x10});
    EXPECT_EQ(daemon->calls("ReadValue"), 2);
    EXPECT_EQ(command->writeValue({0x21}), Platform::GattStatus::Success);
    EXPECT_EQ(daemon->calls("WriteValue"), 3);

    std::atomic<int> lost{0};
    auto status = device->onConnectionStatusChanged([&] {
        if (device->connectionStatus() == Platform::ConnectionStatus::Disconnected) ++lost;
    });
    peer->characteristic(kService, kCommand)->failNextReads(1, Platform::GattStatus::Unreachable);
    EXPECT_EQ(command->readValue().status, Platform::GattStatus::Unreachable);
    // The daemon tells of the link going a moment after the read's answer.
    EXPECT_TRUE(waitFor([&] { return device->connectionStatus() == Platform::ConnectionStatus::Disconnected; }));
    EXPECT_TRUE(waitFor([&] { return lost.load() > 0; }));
    EXPECT_TRUE(waitFor([&] { return !peer->isConnected(); }));
    EXPECT_EQ(command->writeValue({1}), Platform::GattStatus::Unreachable);
    // The same handle connects again.
    ASSERT_EQ(device->gattServices().status, Platform::GattStatus::Success);
    EXPECT_EQ(device->connectionStatus(), Platform::ConnectionStatus::Connected);
    EXPECT_EQ(find(device, kCommand)->readValue().status, Platform::GattStatus::Success);
}

TEST_F(BluezLinkCalls, ALinkAnotherProgramOpenedIsLeftUp) {
    auto peer = addDevice(*radio);
    auto otherProgram = Bluez::BluezPlatform::create(bus.address(), shortTiming());
    ASSERT_TRUE(otherProgram->waitUntilSettled(5s));
    auto theirs = otherProgram->openPeripheral(kAddress);
    ASSERT_EQ(theirs->gattServices().status, Platform::GattStatus::Success);

    auto ours = platform->openPeripheral(kAddress);
    ASSERT_NE(find(ours, kModel), nullptr);
    EXPECT_EQ(find(ours, kModel)->readValue().value, (std::vector<uint8_t>{'M', '1'}));
    ours->close();
    EXPECT_EQ(daemon->calls("Disconnect"), 0);
    EXPECT_TRUE(peer->isConnected());
    EXPECT_EQ(theirs->connectionStatus(), Platform::ConnectionStatus::Connected);
    theirs->close();
    EXPECT_TRUE(waitFor([&] { return !peer->isConnected(); }));
    EXPECT_EQ(daemon->calls("Disconnect"), 1);
}

TEST_F(BluezLinkCalls, ABatteryServiceExportedBesideTheBatteryInterfaceIsListedOnce) {
    auto peer = addDevice(*radio);
    peer->addService(kBatteryService)->addCharacteristic(kBatteryLevel, Property::Read | Property::Notify, {64});
    VexaSim::LinkFaults faults;
    faults.batteryServiceExported = true;
    daemon->setFaults(kAddress, faults);
    auto device = platform->openPeripheral(kAddress);
    const auto services = device->gattServices();
    ASSERT_EQ(services.status, Platform::GattStatus::Success);
    int batteries = 0;
    for (const auto& service : services.services) batteries += service->uuid() == kBatteryService;
    EXPECT_EQ(batteries, 1);
    auto level = find(device, kBatteryLevel);
    ASSERT_NE(level, nullptr);
    EXPECT_EQ(level->readValue().value, std::vector<uint8_t>{64});
}

TEST_F(BluezLinkCalls, AHundredConnectionsLeaveNoMatchDescriptorOrThreadBehind) {
    auto peer = addDevice(*radio);
    auto once = [&] {
        auto device = platform->openPeripheral(kAddress);
        auto stream = find(device, kStream);
        ASSERT_NE(stream, nullptr);
        ASSERT_EQ(stream->writeClientConfiguration(Platform::ClientConfiguration::Notify),
                  Platform::GattStatus::Success);
        device->close();
        ASSERT_TRUE(waitFor([&] { return !peer->isConnected(); }));
    };
    once();
    const size_t descriptors = processEntries("fd");
    const size_t threads = processEntries("task");
    const size_t rules = matchRules(bus.address());
    ASSERT_GT(rules, 0u);
    for (int round = 0; round < 100; ++round) {
        SCOPED_TRACE(round);
        once();
        if (HasFatalFailure()) return;
    }
    EXPECT_TRUE(waitFor([&] { return processEntries("fd") <= descriptors; }))
        << processEntries("fd") << " > " << descriptors;
    EXPECT_TRUE(waitFor([&] { return processEntries("task") <= threads; }))
        << processEntries("task") << " > " << threads;
    EXPECT_EQ(matchRules(bus.address()), rules);
}
