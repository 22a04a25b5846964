// A fault-stress run: emulated devices of every family driven through the exported functions while the
// simulated radio and the devices misbehave at random (lost, late and shortened notifications,
// failed writes, reads and notification switches, link loss, also mid-command, devices that are
// silent, refuse or acknowledge without acting), with host threads issuing commands and reads,
// freeing sensors from inside their data functions and removing functions while data flows.
//
// Checked on every step: a command that succeeds shows its effect on the device, and never
// succeeds on a link that is down; a read that succeeds gives the device's value; every record
// is one the device sent, in the order sent; no call hangs (a watchdog ends the run).
//
// Each case runs for a minute; AK_STRESS_SECONDS sets another length (0 skips it). The first
// case draws a seed unless AK_STRESS_SEED repeats a run; the others keep seeds that once failed.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <random>
#include <shared_mutex>
#include <span>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "sdk/api/SensorTiming.hpp"
#include "sdk/api/include/ambrelkit2.h"
#include "sim/radio/SimRadio.hpp"
#include "tests/e2e/stress/StressSubject.hpp"

namespace StressTest {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using VexaDevice::BLE::Platform::GattStatus;

// A call that takes longer than this is taken for a hang.
constexpr auto HangLimit = 90s;

double secondsFromEnvironment(const char* name, double fallback) {
    const char* text = std::getenv(name);
    return text != nullptr ? std::atof(text) : fallback;
}

// One device and the host's sensor of it.
struct Device {
    explicit Device(Subject& subject) : subject(subject) {}

    Subject& subject;
    // Exclusive to create or free the sensor, shared to use it.
    std::shared_mutex sensorMutex;
    _Sensor* sensor = nullptr;
    // Removals of the functions registered on the sensor; under sensorMutex first.
    std::mutex removalsMutex;
    std::vector<Removal> dataRemovals;
    std::vector<Removal> valueRemovals;
    // What the driver does, and since when, for the watchdog.
    std::atomic<const char*> action{"starting"};
    std::atomic<Clock::rep> since{Clock::now().time_since_epoch().count()};

    void doing(const char* what) {
        since = Clock::now().time_since_epoch().count();
        action = what;
    }
};

// No-op value functions: what matters is that they come and go while the device talks.
void onBattery(_Sensor*, int32_t, void*) {}
void onConnection(_Sensor*, uint8_t, void*) {}

class FaultStress : public ::testing::Test {
protected:
    void SetUp() override {
        VexaDevice::Api::SensorTiming timing;
        timing.protocol.workerWait = 2ms;
        timing.protocol.writeRetryPause = 2ms;
        timing.protocol.replyWaitStep = 5ms;
        timing.protocol.replyWaitSteps = 20;
        timing.tessel.workerWait = 2ms;
        timing.tessel.replyWait = 100ms;
        timing.tessel.requestRetryPause = 2ms;
        VexaDevice::Api::setSensorTiming(timing);
        subjects_ = makeSubjects(*radio_, 0xC0FFEE00A000, tally_);
        std::vector<uint8_t> families;
        for (const auto& subject : subjects_) {
            families.push_back(subject->family());
            devices_.push_back(std::make_unique<Device>(*subject));
        }
        CallStatus status{};
        scanner_ = createScanner(families.data(), static_cast<int32_t>(families.size()), &status);
        ASSERT_NE(scanner_, nullptr) << status.ErrorMsg;
    }

    void TearDown() override {
        for (const auto& subject : subjects_) clearFaults(*subject);
        for (const auto& device : devices_) release(*device);
        freeScanner(scanner_);
        devices_.clear();
        subjects_.clear();
        VexaDevice::Api::setSensorTiming({});
    }

    // Drives one device: commands, connections, frees and faults, each checked.
    void drive(Device& device, uint32_t seed) {
        std::mt19937 random(seed);
        while (running_) {
            bool freed = false;
            {
                std::shared_lock lock(device.sensorMutex);
                freed = device.sensor == nullptr;
            }
            if (freed) {
                create(device);
                continue;
            }
            const uint32_t roll = random() % 100;
            if (roll < 30)
                injectFault(device, random);
            else if (roll < 65)
                command(device, random);
            else if (roll < 80)
                link(device, random);
            else if (roll < 83)
                recreate(device, random);
            else {
                device.doing("waiting for data");
                std::this_thread::sleep_for(std::chrono::milliseconds(1 + random() % 8));
            }
        }
        device.doing("done");
    }

    // Reads and registrations from another host thread while the driver works.
    void read(Device& device, uint32_t seed) {
        std::mt19937 random(seed);
        while (running_) {
            {
                std::shared_lock lock(device.sensorMutex);
                if (device.sensor != nullptr) readOnce(device, random);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1 + random() % 3));
        }
    }

    void readOnce(Device& device, std::mt19937& random) {
        _Sensor* sensor = device.sensor;
        Subject& subject = device.subject;
        CallStatus status{};
        switch (random() % 6) {
        case 0: {
            int32_t battery = -1;
            if (readBattPowerSensor(sensor, &battery, &status) == 1) {
                ++tally_.readsChecked;
                tally_.check(battery == subject.battery(),
                             [&] { return subject.name() + ": battery read " + std::to_string(battery); });
            }
            break;
        }
        case 1: {
            char serial[64] = {};
            if (readSerialNumberSensor(sensor, serial, sizeof(serial), &status) == 1) {
                ++tally_.readsChecked;
                tally_.check(serial == subject.serialNumber(),
                             [&] { return subject.name() + ": serial number read " + serial; });
            }
            break;
        }
        case 2: {
            uint8_t state = 9;
            if (readStateSensor(sensor, &state, &status) == 1) {
                ++tally_.readsChecked;
                tally_.check(state == SensorStateInRange || state == SensorStateOutOfRange,
                             [&] { return subject.name() + ": state read " + std::to_string(state); });
            }
            break;
        }
        case 3: {
            SensorVersion version{};
            readVersionSensor(sensor, &version, &status);
            break;
        }
        case 4: {
            // Value functions come and go; now and then every one is removed at once.
            std::lock_guard removals(device.removalsMutex);
            CallbackHandle* handle = nullptr;
            if (random() % 2 == 0 && addBatteryCallback(sensor, onBattery, &handle, nullptr, &status) == 1)
                device.valueRemovals.push_back([handle] { removeBatteryCallback(handle); });
            else if (addConnectionStateCallback(sensor, onConnection, &handle, nullptr, &status) == 1)
                device.valueRemovals.push_back([handle] { removeConnectionStateCallback(handle); });
            if (device.valueRemovals.size() > 6) removeAll(device.valueRemovals);
            break;
        }
        default:
            if (random() % 20 == 0) {
                // The data functions are removed while data flows, and registered again.
                std::lock_guard removals(device.removalsMutex);
                removeAll(device.dataRemovals);
                subject.restartStreams();
                subject.watch(sensor, device.dataRemovals);
            }
            break;
        }
    }

    void removeAll(std::vector<Removal>& removals) {
        for (const Removal& remove : removals) {
            remove();
            ++tally_.callbackRemovals;
        }
        removals.clear();
    }

    void create(Device& device) {
        device.doing("createSensor");
        std::unique_lock lock(device.sensorMutex);
        {
            std::lock_guard removals(device.removalsMutex);
            removeAll(device.dataRemovals);
            removeAll(device.valueRemovals);
        }
        _SensorInfo info = device.subject.info();
        CallStatus status{};
        device.sensor = createSensor(scanner_, &info, &status);
        if (device.sensor == nullptr) {
            // Faults may fail a creation; it is tried again after a pause.
            lock.unlock();
            std::this_thread::sleep_for(2ms);
            return;
        }
        ++tally_.creations;
        device.subject.restartStreams();
        std::lock_guard removals(device.removalsMutex);
        device.subject.watch(device.sensor, device.dataRemovals);
    }

    // Frees the sensor: from inside its own data function when one comes soon, else here.
    void recreate(Device& device, std::mt19937& random) {
        if (random() % 2 == 0) {
            device.doing("freeing from a data function");
            device.subject.freeFromNextCall([&device] {
                std::unique_lock lock(device.sensorMutex, std::try_to_lock);
                if (!lock.owns_lock()) return false;
                if (_Sensor* sensor = std::exchange(device.sensor, nullptr)) freeSensor(sensor);
                return true;
            });
            const auto end = Clock::now() + 300ms;
            while (Clock::now() < end) {
                {
                    std::shared_lock lock(device.sensorMutex);
                    if (device.sensor == nullptr) break;
                }
                std::this_thread::sleep_for(1ms);
            }
            device.subject.freeFromNextCall(nullptr);
        }
        device.doing("freeSensor");
        std::unique_lock lock(device.sensorMutex);
        if (_Sensor* sensor = std::exchange(device.sensor, nullptr)) freeSensor(sensor);
    }

    // One command; a success must show on the device, and never comes from a down link.
    void command(Device& device, std::mt19937& random) {
        Subject& subject = device.subject;
        const std::span<const int32_t> commands = subject.commands();
        const int32_t command = commands[random() % commands.size()];
        // The device's own fault switches apply to this one command.
        const uint32_t peerFault = random() % 12;
        if (peerFault == 0)
            subject.setSilent(true);
        else if (peerFault == 1)
            subject.setRefusal(static_cast<uint8_t>(1 + random() % 2));
        else if (peerFault == 2)
            subject.setIgnoring(true);
        if (peerFault < 3) ++tally_.faults;

        device.doing("execCommandSensor");
        std::shared_lock lock(device.sensorMutex);
        if (device.sensor == nullptr) return clearFaults(subject);
        const bool downBefore = !subject.peripheral().isConnected();
        CallStatus status{};
        const bool succeeded = execCommandSensor(device.sensor, command, &status) == 1;
        ++tally_.commands;
        if (succeeded) {
            ++tally_.successesChecked;
            tally_.check(subject.shows(command), [&] {
                static constexpr const char* Faults[] = {"silent", "refusing", "ignoring"};
                return subject.name() + ": command " + std::to_string(command) + " succeeded, the device is in " +
                       subject.describeState() +
                       (peerFault < 3 ? std::string(", the device ") + Faults[peerFault] : std::string());
            });
            tally_.check(!downBefore || subject.peripheral().isConnected(), [&] {
                return subject.name() + ": command " + std::to_string(command) + " succeeded on a down link";
            });
        }
        clearFaults(subject);
    }

    // Connects a sensor that is out of range, or disconnects one.
    void link(Device& device, std::mt19937& random) {
        std::shared_lock lock(device.sensorMutex);
        if (device.sensor == nullptr) return;
        CallStatus status{};
        uint8_t state = SensorStateOutOfRange;
        readStateSensor(device.sensor, &state, &status);
        if (state == SensorStateOutOfRange) {
            device.doing("connectSensor");
            connectSensor(device.sensor, &status);
        } else if (random() % 4 == 0) {
            device.doing("disconnectSensor");
            disconnectSensor(device.sensor, &status);
        }
    }

    // One fault of the simulated radio on a random characteristic or on the link.
    void injectFault(Device& device, std::mt19937& random) {
        device.doing("injecting a fault");
        VexaSim::SimPeripheral& peripheral = device.subject.peripheral();
        std::vector<std::shared_ptr<VexaSim::SimCharacteristic>> characteristics;
        for (const auto& service : peripheral.services())
            for (const auto& characteristic : service->characteristics()) characteristics.push_back(characteristic);
        if (characteristics.empty()) return;
        auto& characteristic = *characteristics[random() % characteristics.size()];
        const int count = static_cast<int>(1 + random() % 3);
        switch (random() % 9) {
        case 0:
        case 1: characteristic.dropNextNotifications(count); break;
        case 2: characteristic.delayNextNotifications(count, std::chrono::milliseconds(1 + random() % 25)); break;
        case 3: characteristic.truncateNextNotifications(count, random() % 12); break;
        case 4:
            characteristic.failNextWrites(count, random() % 2 ? GattStatus::ProtocolError : GattStatus::Unreachable);
            break;
        case 5:
            characteristic.failNextReads(count, random() % 2 ? GattStatus::ProtocolError : GattStatus::Unreachable);
            break;
        case 6: characteristic.failNextClientConfigurationWrites(1); break;
        case 7: peripheral.dropLinkAfterNotifications(static_cast<int>(random() % 40)); break;
        default:
            if (random() % 3 == 0)
                peripheral.dropLink();
            else
                return;
            break;
        }
        ++tally_.faults;
    }

    static void clearFaults(Subject& subject) {
        subject.setSilent(false);
        subject.setRefusal(0);
        subject.setIgnoring(false);
    }

    void release(Device& device) {
        std::unique_lock lock(device.sensorMutex);
        if (_Sensor* sensor = std::exchange(device.sensor, nullptr)) freeSensor(sensor);
        std::lock_guard removals(device.removalsMutex);
        removeAll(device.dataRemovals);
        removeAll(device.valueRemovals);
    }

    // Runs every device for AK_STRESS_SECONDS (a minute unless set) from `seed`, then checks.
    void run(uint32_t seed) {
        const double seconds = secondsFromEnvironment("AK_STRESS_SECONDS", 60);
        if (seconds <= 0) GTEST_SKIP() << "AK_STRESS_SECONDS is 0";
        std::printf("fault stress: seed %u (AK_STRESS_SEED repeats it)\n", seed);

        std::vector<std::thread> threads;
        std::thread watchdog([this] { watch(); });
        for (size_t i = 0; i < devices_.size(); ++i) {
            Device& device = *devices_[i];
            threads.emplace_back([this, &device, seed, i] { drive(device, seed + static_cast<uint32_t>(2 * i)); });
            threads.emplace_back([this, &device, seed, i] { read(device, seed + static_cast<uint32_t>(2 * i + 1)); });
        }
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
        running_ = false;
        for (auto& thread : threads) thread.join();
        watching_ = false;
        watchdog.join();

        tally_.print(seconds);
        for (const std::string& violation : tally_.described()) ADD_FAILURE() << violation;
        EXPECT_EQ(tally_.violations(), 0u);
        // The run did what it is for.
        EXPECT_GT(tally_.faults.load(), 0u);
        EXPECT_GT(tally_.successesChecked.load(), 0u);
        EXPECT_GT(tally_.recordsChecked.load(), 0u);
    }

    // Ends the process when a call has not returned for far too long.
    void watch() {
        while (watching_) {
            std::this_thread::sleep_for(100ms);
            for (const auto& device : devices_) {
                const auto since = Clock::time_point(Clock::duration(device->since.load()));
                if (Clock::now() - since > HangLimit) {
                    std::fprintf(stderr, "fault stress: %s hangs in %s\n", device->subject.name().c_str(),
                                 device->action.load());
                    std::abort();
                }
            }
        }
    }

    std::shared_ptr<VexaSim::SimRadio> radio_ = VexaSim::SimRadio::create();
    VexaSim::SimRadioInstallation installed_{radio_};
    Tally tally_;
    std::vector<std::unique_ptr<Subject>> subjects_;
    std::vector<std::unique_ptr<Device>> devices_;
    SensorScannerWrap* scanner_ = nullptr;
    std::atomic<bool> running_{true};
    std::atomic<bool> watching_{true};
};

TEST_F(FaultStress, NoWrongDataNoFalseSuccessNoHang) {
    run(static_cast<uint32_t>(secondsFromEnvironment("AK_STRESS_SEED", std::random_device{}())));
}

// Seeds of runs that once broke an invariant, kept as fixed cases.
// 846687281: Morvex streamed over 2048 packs, past the wrap of its pack number.
TEST_F(FaultStress, RecordedSeed846687281) { run(846687281); }

}  // namespace
}  // namespace StressTest
