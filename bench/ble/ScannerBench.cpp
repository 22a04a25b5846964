// Advertisements processed per second by the scanner, with a host subscribed to the found-devices
// list as the exported scanner always is: a batch is queued on the simulated radio while it is
// held, then the time from release until the batch is handled and the subscriber has seen every
// found device is measured. Workloads: advertisements of devices already in the list (the
// steady state of a scan), alone and with every advertisement first tried against name patterns
// (the filters' worst case), and devices never seen before (each one takes the new-device path:
// identity parsing, list insertion and a publication), with fresh addresses in every round.

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "bench/ble/ScanWorkload.hpp"
#include "sdk/ble/DevScan.hpp"
#include "sim/radio/SimRadio.hpp"

namespace {

namespace BLE = VexaDevice::BLE;
namespace Platform = VexaDevice::BLE::Platform;
using ScanBench::advertisements;
using ScanBench::hostLikeParams;

constexpr size_t batchSize = 20000;
constexpr uint64_t knownDeviceCount = 200;
constexpr size_t newDeviceBatchSize = 2000;

// What the host's found-devices subscriber has seen.
struct FoundListener {
    std::atomic<uint64_t> lists{0};
    std::atomic<size_t> lastSize{0};
    std::shared_ptr<BLE::DeviceListBus::Callback> subscriber = std::make_shared<BLE::DeviceListBus::Callback>(
        [this](const std::vector<std::shared_ptr<BLE::DeviceInfo>>& devices) {
            lastSize.store(devices.size(), std::memory_order_release);
            lists.fetch_add(1, std::memory_order_relaxed);
        });

    // Waits until the subscriber has been handed a list of `size` devices.
    void waitFor(size_t size) const {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (lastSize.load(std::memory_order_acquire) != size && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::yield();
        }
    }
};

struct ScanRig {
    std::shared_ptr<VexaSim::SimRadio> radio = VexaSim::SimRadio::create();
    VexaSim::SimRadioInstallation installation{radio};
    std::shared_ptr<BLE::DevScan> scan;
    FoundListener listener;

    explicit ScanRig(const BLE::ScanParams& params = hostLikeParams()) : scan(BLE::DevScan::create(params)) {
        scan->devicesFoundEvent().lock()->subscribe(listener.subscriber);
        scan->startScan();
    }

    // Seconds from releasing the queued batch until it is handled and published.
    double handle(const std::vector<Platform::Advertisement>& batch) {
        radio->pause();
        for (const auto& ad : batch) radio->advertise(ad);
        const auto started = std::chrono::steady_clock::now();
        radio->resume();
        radio->drain();
        listener.waitFor(scan->getDevices().size());
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    }
};

// The steady state: the same 200 devices advertise again and again.
void knownDevices(benchmark::State& state, const BLE::ScanParams& params) {
    ScanRig rig(params);
    const auto batch = advertisements(batchSize, knownDeviceCount, 0);
    rig.handle(batch);  // the devices are known from here on
    for (auto _ : state) {
        state.SetIterationTime(rig.handle(batch));
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * batch.size()));
    state.counters["found"] = static_cast<double>(rig.scan->getDevices().size());
    state.counters["lists"] = static_cast<double>(rig.listener.lists.load());
}

void scannerKnownDevices(benchmark::State& state) { knownDevices(state, hostLikeParams()); }

// The same, every advertisement first tried against four name patterns it does not match.
void scannerKnownDevicesBehindNamePatterns(benchmark::State& state) {
    knownDevices(state, ScanBench::namePatternParams());
}

// Only the new-device path: every advertisement comes from an address never seen before, on
// a fresh scanner each round, so the list grows from empty to every matching device.
void scannerNewDevices(benchmark::State& state) {
    uint64_t firstDevice = 1'000'000;
    double found = 0.0;
    double seconds = 0.0;
    double foundInAll = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        const auto batch = advertisements(newDeviceBatchSize, newDeviceBatchSize, firstDevice);
        firstDevice += newDeviceBatchSize;
        auto rig = std::make_unique<ScanRig>();
        state.ResumeTiming();
        const double taken = rig->handle(batch);
        state.SetIterationTime(taken);
        found = static_cast<double>(rig->scan->getDevices().size());
        seconds += taken;
        foundInAll += found;
        state.PauseTiming();
        rig.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * newDeviceBatchSize));
    state.counters["found"] = found;
    state.counters["us_per_new_device"] = foundInAll > 0.0 ? seconds * 1e6 / foundInAll : 0.0;
}

}  // namespace

BENCHMARK(scannerKnownDevices)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(scannerKnownDevicesBehindNamePatterns)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(scannerNewDevices)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
