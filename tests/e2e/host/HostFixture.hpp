#pragma once
// A host program's view of the library: the exported C functions against emulated devices
// on the simulated radio (reached in-process or over D-Bus, see HostTransport.hpp), with every
// library wait shortened.

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "sdk/api/SensorTiming.hpp"
#include "sdk/api/include/ambrelkit2.h"
#include "sim/radio/SimRadio.hpp"
#include "tests/e2e/host/HostTransport.hpp"
#include "tests/support/WaitFor.hpp"

namespace HostTest {

using namespace std::chrono_literals;

inline constexpr auto kDeadline = 20s;

using TestSupport::waitFor;

// Threads of this process right now.
inline size_t threadCount() {
    return static_cast<size_t>(
        std::distance(std::filesystem::directory_iterator("/proc/self/task"), std::filesystem::directory_iterator()));
}

// Everything one host function was given, for the test thread to look at.
template <class Event>
class Calls {
public:
    void add(Event event) {
        std::lock_guard lock(mutex_);
        events_.push_back(std::move(event));
        threads_.push_back(std::this_thread::get_id());
    }
    std::vector<Event> events() {
        std::lock_guard lock(mutex_);
        return events_;
    }
    std::vector<std::thread::id> threads() {
        std::lock_guard lock(mutex_);
        return threads_;
    }
    size_t count() {
        std::lock_guard lock(mutex_);
        return events_.size();
    }

private:
    std::mutex mutex_;
    std::vector<Event> events_;
    std::vector<std::thread::id> threads_;
};

// A host function for one-byte values (states, modes) and one for int32 values.
struct ByteValueCalls : Calls<uint8_t> {
    static void receive(_Sensor*, uint8_t value, void* user) { static_cast<ByteValueCalls*>(user)->add(value); }
};
struct IntValueCalls : Calls<int32_t> {
    static void receive(_Sensor*, int32_t value, void* user) { static_cast<IntValueCalls*>(user)->add(value); }
};

// Waits until the newest value the host function received is `value`.
template <class Event>
bool lastIs(Calls<Event>& calls, Event value) {
    return waitFor([&] {
        const auto events = calls.events();
        return !events.empty() && events.back() == value;
    });
}

// The commands getCommandsSensor lists for a sensor.
inline std::set<int32_t> listedCommands(_Sensor* sensor) {
    int8_t commands[64];
    int32_t count = 64;
    CallStatus status{};
    EXPECT_EQ(getCommandsSensor(sensor, commands, &count, &status), 1) << status.ErrorMsg;
    return {commands, commands + count};
}

// What execCommandSensor runs and what getCommandsSensor lists agree: every value up to 40 the
// sensor does not list is refused with a code and a text.
inline void expectUnlistedCommandsRefused(_Sensor* sensor) {
    const auto listed = listedCommands(sensor);
    for (int32_t command = 0; command <= 40; ++command) {
        if (listed.count(command) != 0) {
            continue;
        }
        CallStatus status{};
        EXPECT_EQ(execCommandSensor(sensor, command, &status), 0) << command << " is not listed";
        EXPECT_NE(status.Error, 0u) << command;
        EXPECT_NE(status.ErrorMsg[0], '\0') << command;
    }
}

struct HostLibrary : ::testing::Test {
    std::shared_ptr<VexaSim::SimRadio> radio = VexaSim::SimRadio::create();
    RadioTransport transport{radio};
    CallStatus status{};

    void SetUp() override {
        VexaDevice::Api::SensorTiming timing;
        timing.protocol.workerWait = 2ms;
        timing.protocol.writeRetryPause = 2ms;
        // Over D-Bus a reply crosses two more processes' loops: a loaded sanitizer build has
        // taken more than the 155 ms the direct radio's flows are given.
        timing.protocol.replyWaitStep = kOverDbus ? 50ms : 5ms;
        // The wait ends as soon as the reply is there, so its deadline can be generous: a reply
        // later than the wait would fail its command and pass for the answer to the next one.
        timing.protocol.replyWaitSteps = static_cast<int>(kDeadline / timing.protocol.replyWaitStep);
        timing.protocol.dravikReplyTimeout = kDeadline;
        VexaDevice::Api::setSensorTiming(timing);
    }

    void TearDown() override { VexaDevice::Api::setSensorTiming({}); }

    void advertise(uint64_t address, const std::string& name, const char* service) {
        VexaDevice::BLE::Platform::Advertisement ad;
        ad.address = address;
        ad.rssi = -50;
        ad.flags = 0x06;
        ad.localName = name;
        ad.serviceUuids = {VexaDevice::Utility::parseUuid(service)};
        // Manufacturer data of another maker: present, as the scanner requires, but no record.
        ad.manufacturerData.push_back({0xFFFF, {0x4C, 0x00, 0x02, 0x15}});
        radio->advertise(ad);
    }

    // A started scanner for the families, and the first found sensor once one is listed.
    SensorScannerWrap* scanFor(std::vector<uint8_t> families) {
        SensorScannerWrap* scanner = createScanner(families.data(), static_cast<int32_t>(families.size()), &status);
        EXPECT_NE(scanner, nullptr) << status.ErrorMsg;
        EXPECT_EQ(startScanner(scanner, &status, 0), 1) << status.ErrorMsg;
        if constexpr (kOverDbus) everyDeviceHeard();
        return scanner;
    }

    // Every emulated device sends one bare advertisement, as devices in range do all the time:
    // a stock daemon connects only devices its discovery heard, and hand-made records name
    // devices the test never advertised.
    void everyDeviceHeard() {
        for (const uint64_t address : radio->addresses()) {
            VexaDevice::BLE::Platform::Advertisement ad;
            ad.address = address;
            ad.rssi = -50;
            ad.flags = 0x06;
            radio->advertise(ad);
        }
    }

    std::vector<_SensorInfo> listed(SensorScannerWrap* scanner) {
        std::vector<_SensorInfo> sensors(8);
        int32_t count = static_cast<int32_t>(sensors.size());
        if (sensorsScanner(scanner, sensors.data(), &count, &status) == 0) {
            return {};
        }
        sensors.resize(static_cast<size_t>(count));
        return sensors;
    }

    // A record as a host would fill it by hand.
    static _SensorInfo record(uint8_t family, const char* address, uint8_t model = 0) {
        _SensorInfo info{};
        info.SensFamily = family;
        info.SensModel = model;
        std::strncpy(info.Address, address, sizeof(info.Address) - 1);
        return info;
    }
};

// One sensor created through a scanner of its family, both freed at the end of the test.
struct SensorHost : HostLibrary {
    SensorScannerWrap* scanner = nullptr;
    _Sensor* sensor = nullptr;

    void createFor(uint8_t family, const char* address, uint8_t model = 0) {
        scanner = scanFor({family});
        _SensorInfo info = record(family, address, model);
        sensor = createSensor(scanner, &info, &status);
        ASSERT_NE(sensor, nullptr) << status.Error << " " << status.ErrorMsg;
    }

    void TearDown() override {
        freeSensor(sensor);
        freeScanner(scanner);
        HostLibrary::TearDown();
    }

    // The faulty daemon resolves the device's table again soon after notifications first come
    // on. A frame whose write crosses that may have reached the device though the write failed,
    // and a notification sent while the table is away reaches no client: a flow that cannot
    // tell those apart from a fault of the library waits until the table is back.
    void waitForTheTableResolvedAgain(uint64_t address) {
        if constexpr (kLinkFaults) {
            ASSERT_TRUE(waitFor([&] {
                return transport.daemon()->tableChanges(address) == 1 && transport.daemon()->tableExported(address);
            })) << "the table was not resolved again";
        }
    }

    // A start that `peer` (the emulated device of `sensor`) takes without carrying it out fails;
    // so does every command once the link is down.
    template <class Peer>
    void expectModeCommandsOnlyWhenTheDeviceShowsThem(Peer& peer) {
        peer.setIgnoring(true);
        EXPECT_EQ(execCommandSensor(sensor, SensorCommandStartSignal, &status), 0) << "taken, not carried out";
        EXPECT_EQ(execCommandSensor(sensor, SensorCommandStartSignal, &status), 0) << "still not carried out";
        peer.setIgnoring(false);
        ASSERT_EQ(execCommandSensor(sensor, SensorCommandStartSignal, &status), 1) << status.ErrorMsg;
        EXPECT_EQ(peer.mode(), 3);

        peer.dropLink();
        uint8_t state = SensorStateInRange;
        ASSERT_TRUE(
            waitFor([&] { return readStateSensor(sensor, &state, &status) == 1 && state == SensorStateOutOfRange; }));
        EXPECT_EQ(execCommandSensor(sensor, SensorCommandStartSignal, &status), 0) << "the link is down";
        EXPECT_EQ(execCommandSensor(sensor, SensorCommandStopSignal, &status), 0) << "the link is down";
    }
};

}  // namespace HostTest
