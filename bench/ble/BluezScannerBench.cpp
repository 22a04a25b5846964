// The scanner over D-Bus: the Bluetooth daemon backend against the emulated daemon on a private
// bus, with a host subscribed to the found-devices list. A batch is queued on the simulated
// radio while it is held; from its release, the emulated daemon announces each advertisement
// (InterfacesAdded for a device it did not know, PropertiesChanged for one it did) and the
// scanner handles it. Each round runs on a fresh daemon, backend and scanner. Two workloads:
// - a burst from devices already in the list, each advertisement with a changed signal
//   strength (a PropertiesChanged), with devices among them that had been heard without a name
//   and now advertise one: they are found through that property change, and the last of them
//   closes the burst;
// - devices never seen before (each one takes the new-device path), with fresh addresses.
// Figures: advertisements per second (items_per_second), and the latency from the daemon's
// signal to the found-devices callback that first lists the device: p50, p99 and maximum.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <unordered_map>
#include <vector>

#include "bench/ble/ScanWorkload.hpp"
#include "sdk/ble/DevScan.hpp"
#include "sdk/ble/platform/bluez/BluezPlatform.hpp"
#include "sim/bluez/BluezEmulator.hpp"
#include "sim/bluez/PrivateBus.hpp"
#include "sim/radio/SimRadio.hpp"

namespace {

namespace BLE = VexaDevice::BLE;
namespace Platform = VexaDevice::BLE::Platform;
namespace Bluez = VexaDevice::BLE::Platform::Bluez;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr size_t kBurstSize = 20000;
constexpr uint64_t kKnownDevices = 200;
constexpr size_t kNamedInBurst = 200;  // one in every hundred advertisements of the burst
constexpr size_t kNewDevices = 2000;
constexpr auto kDeadline = 60s;
constexpr size_t kMaxListSize = 1 << 14;
constexpr uint64_t kFenceDevices = 0x1000'0000;
constexpr uint64_t kLateNamedDevices = 0x2000'0000;

int64_t nowNs() { return Clock::now().time_since_epoch().count(); }

template <class Predicate>
void waitUntil(Predicate predicate, const char* what) {
    const auto end = Clock::now() + kDeadline;
    while (!predicate()) {
        if (Clock::now() > end) throw std::runtime_error(what);
        std::this_thread::sleep_for(50us);
    }
}

// When the emulated daemon last announced each device.
class Announcements {
public:
    void record(uint64_t address) {
        const int64_t now = nowNs();
        std::lock_guard lock(mutex_);
        at_[address] = now;
    }
    int64_t of(uint64_t address) {
        std::lock_guard lock(mutex_);
        const auto found = at_.find(address);
        return found == at_.end() ? 0 : found->second;
    }

private:
    std::mutex mutex_;
    std::unordered_map<uint64_t, int64_t> at_;
};

// The host's found-devices subscriber: when each list size was first handed over, and whether
// the device awaited as a fence has been listed.
struct FoundTimes {
    std::vector<std::atomic<int64_t>> sizeAt = std::vector<std::atomic<int64_t>>(kMaxListSize);
    std::atomic<size_t> lastSize{0};
    std::atomic<uint64_t> fence{0};
    std::atomic<bool> fenceSeen{false};
    std::shared_ptr<BLE::DeviceListBus::Callback> subscriber = std::make_shared<BLE::DeviceListBus::Callback>(
        [this](const std::vector<std::shared_ptr<BLE::DeviceInfo>>& devices) {
            const int64_t now = nowNs();
            const size_t size = devices.size();
            int64_t unset = 0;
            if (size < sizeAt.size()) sizeAt[size].compare_exchange_strong(unset, now, std::memory_order_relaxed);
            lastSize.store(size, std::memory_order_release);
            const uint64_t awaited = fence.load(std::memory_order_acquire);
            if (awaited == 0) return;
            for (const auto& device : devices) {
                if (device->deviceId().toUInt64() == awaited) fenceSeen.store(true, std::memory_order_release);
            }
        });
};

// Device `serial` of a series starting at `first`, always one that matches by service.
uint64_t matchingDevice(uint64_t first, uint64_t serial) { return 3 * (first + serial); }

// A fresh emulated daemon on a fresh bus, the backend installed, and a scanning scanner.
struct Rig {
    VexaSim::PrivateBus bus;
    std::shared_ptr<VexaSim::SimRadio> radio = VexaSim::SimRadio::create();
    Announcements announcements;
    std::unique_ptr<VexaSim::BluezEmulator> daemon;
    std::shared_ptr<Platform::IBlePlatform> previous;
    FoundTimes found;
    std::shared_ptr<BLE::DevScan> scan;
    uint64_t fences = 0;

    Rig() {
        VexaSim::BluezEmulatorOptions options;
        options.announced = [this](uint64_t address) { announcements.record(address); };
        daemon = std::make_unique<VexaSim::BluezEmulator>(radio, bus.address(), options);
        auto platform = Bluez::BluezPlatform::create(bus.address());
        if (!platform->waitUntilSettled(kDeadline)) throw std::runtime_error("the emulated daemon is not there");
        previous = Platform::installPlatform(std::move(platform));
        scan = BLE::DevScan::create(ScanBench::hostLikeParams());
        scan->devicesFoundEvent().lock()->subscribe(found.subscriber);
        scan->startScan();
        waitUntil([&] { return daemon->discoverySessions() > 0; }, "discovery did not start");
    }

    ~Rig() {
        scan.reset();
        // The backend goes before the daemon and the bus it talks to.
        Platform::installPlatform(std::move(previous));
        daemon.reset();
    }

    // Returns once everything advertised so far has been handled: a device never heard before
    // is advertised and awaited in the found list.
    void settle() {
        const uint64_t device = matchingDevice(kFenceDevices, fences++);
        found.fenceSeen = false;
        found.fence = ScanBench::kDeviceBase + device;
        radio->advertise(ScanBench::advertisement(device, -40));
        waitUntil([&] { return found.fenceSeen.load(std::memory_order_acquire); }, "the scanner did not catch up");
        found.fence = 0;
    }

    // Seconds from releasing the queued batch until the subscriber has been handed the list
    // with every device of `foundInOrder` (the ones the batch makes found, in batch order); the
    // latency of each of them is added to `latencyUs`.
    double handle(const std::vector<Platform::Advertisement>& batch, const std::vector<uint64_t>& foundInOrder,
                  std::vector<double>& latencyUs) {
        radio->pause();
        for (const auto& ad : batch) radio->advertise(ad);
        const size_t before = found.lastSize.load(std::memory_order_acquire);
        const auto started = Clock::now();
        radio->resume();
        const size_t expected = before + foundInOrder.size();
        if (expected >= kMaxListSize) throw std::runtime_error("the batch finds too many devices");
        waitUntil([&] { return found.lastSize.load(std::memory_order_acquire) >= expected; },
                  "the batch was not handled");
        const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
        for (size_t i = 0; i < foundInOrder.size(); ++i) {
            const int64_t listed = found.sizeAt[before + i + 1].load(std::memory_order_relaxed);
            latencyUs.push_back(static_cast<double>(listed - announcements.of(foundInOrder[i])) / 1e3);
        }
        return seconds;
    }
};

void reportLatency(benchmark::State& state, std::vector<double> micros) {
    if (micros.empty()) return;
    std::sort(micros.begin(), micros.end());
    for (const auto& [name, fraction] : {std::pair{"p50_us", 0.5}, {"p99_us", 0.99}, {"max_us", 1.0}}) {
        const auto index =
            std::min(micros.size() - 1, static_cast<size_t>(fraction * static_cast<double>(micros.size())));
        state.counters[name] = micros[index];
    }
}

// The steady state: 200 devices in the list advertise again and again, each time with another
// signal strength; among them, devices heard before without a name advertise it.
void BM_DbusScannerKnownDevices(benchmark::State& state) {
    std::vector<double> latencyUs;
    uint64_t lateNamed = 0;
    uint64_t round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<Platform::Advertisement> batch;
        std::vector<uint64_t> named;
        double seconds = 0.0;
        {
            Rig rig;
            for (const auto& ad : ScanBench::advertisements(kKnownDevices, kKnownDevices, 0)) rig.radio->advertise(ad);
            for (size_t i = 0; i < kNamedInBurst; ++i) {
                auto ad =
                    ScanBench::advertisement(matchingDevice(kLateNamedDevices, lateNamed + i), -60);  // no name yet
                ad.localName.clear();
                rig.radio->advertise(ad);
            }
            rig.settle();
            // A device's signal strength changes with each of its advertisements, across rounds too.
            const size_t perDevice = kBurstSize / kKnownDevices;
            const size_t spacing = kBurstSize / kNamedInBurst;
            for (size_t index = 0; index < kBurstSize; ++index) {
                const uint64_t sequence = round * perDevice + index / kKnownDevices;
                batch.push_back(ScanBench::advertisement(index % kKnownDevices,
                                                         static_cast<int16_t>(-40 - static_cast<int>(sequence % 50))));
                if ((index + 1) % spacing == 0) {
                    const uint64_t device = matchingDevice(kLateNamedDevices, lateNamed++);
                    batch.push_back(ScanBench::advertisement(device, -61));
                    named.push_back(ScanBench::kDeviceBase + device);
                }
            }
            ++round;
            state.ResumeTiming();
            seconds = rig.handle(batch, named, latencyUs);
            state.PauseTiming();
        }
        state.SetIterationTime(seconds);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * (kBurstSize + kNamedInBurst)));
    reportLatency(state, std::move(latencyUs));
}

// Only the new-device path: every advertisement comes from an address the daemon never heard,
// so each is an InterfacesAdded and the list grows from the fence device to every matching one.
void BM_DbusScannerNewDevices(benchmark::State& state) {
    std::vector<double> latencyUs;
    uint64_t firstDevice = 1'000'000;
    for (auto _ : state) {
        state.PauseTiming();
        double seconds = 0.0;
        {
            Rig rig;
            rig.settle();
            const auto batch = ScanBench::advertisements(kNewDevices, kNewDevices, firstDevice);
            std::vector<uint64_t> matching;
            for (uint64_t device = firstDevice; device < firstDevice + kNewDevices; ++device) {
                if (ScanBench::matches(device)) matching.push_back(ScanBench::kDeviceBase + device);
            }
            firstDevice += kNewDevices;
            state.ResumeTiming();
            seconds = rig.handle(batch, matching, latencyUs);
            state.PauseTiming();
        }
        state.SetIterationTime(seconds);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kNewDevices));
    reportLatency(state, std::move(latencyUs));
}

}  // namespace

BENCHMARK(BM_DbusScannerKnownDevices)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DbusScannerNewDevices)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
