// End to end from a data notification on the simulated radio to the host's signal function,
// through the exported functions of generation-1 Morvex sensors with the library's own timings:
// packs per second on one device, notification-to-call latency (p50, p99), and eight devices
// streaming at once. The benchmark thread plays the devices' radio side: it sends prepared
// data packs straight to each data characteristic, keeping a bounded number in flight so the
// protocol's ring never overruns.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "sdk/api/include/ambrelkit2.h"
#include "sdk/ble/DeviceId.hpp"
#include "sim/peers/morvex/MorvexPeer.hpp"
#include "sim/peers/morvex/MorvexPeerModel.hpp"
#include "sim/radio/SimRadio.hpp"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr uint64_t kFirstAddress = 0xBE0000000001;
constexpr size_t kPacksPerNotification = 8;
constexpr uint64_t kMaxPacksInFlight = 256;
constexpr auto kStreamTime = 2s;

// Data packs of the emulated device's waveform, prepared before timing starts.
std::vector<std::vector<uint8_t>> preparedPacks(size_t count) {
    VexaSim::MorvexPeerModel model{VexaSim::MorvexPeerSettings{}};
    model.onCommand({0x02, 0x30, 0x30, 0x30, 0x30});
    std::vector<std::vector<uint8_t>> packs;
    for (size_t i = 0; i < count; ++i) {
        packs.push_back(*model.nextPack());
    }
    return packs;
}

// What one sensor's signal function has seen.
struct Received {
    std::atomic<uint64_t> packs{0};
    std::atomic<int64_t> lastCallNs{0};

    static void onSignal(_Sensor*, MorvexSignalRecord*, uint32_t count, void* user) {
        auto* self = static_cast<Received*>(user);
        self->lastCallNs.store(Clock::now().time_since_epoch().count(), std::memory_order_relaxed);
        self->packs.fetch_add(count / 2, std::memory_order_release);  // two samples per pack
    }
};

// One streaming sensor: the emulated device (its own streaming clock kept idle), the sensor
// made through the exported functions, and its host function.
struct StreamingSensor {
    std::shared_ptr<VexaSim::MorvexPeer> peer;
    _Sensor* sensor = nullptr;
    DualCallbackHandle* handle = nullptr;
    Received received;
    uint64_t sent = 0;

    StreamingSensor(VexaSim::SimRadio& radio, SensorScannerWrap* scanner, uint64_t address) {
        peer = VexaSim::MorvexPeer::attach(radio, address, {}, {std::chrono::hours(1), 1});
        _SensorInfo info{};
        info.SensFamily = SensorFamilyMorvex;
        const auto text = VexaDevice::BLE::DeviceId::fromUInt64(address).toString();
        std::strncpy(info.Address, text.c_str(), sizeof(info.Address) - 1);
        CallStatus status{};
        sensor = createSensor(scanner, &info, &status);
        if (sensor == nullptr) {
            throw std::runtime_error(std::string("createSensor: ") + status.ErrorMsg);
        }
        addSignalDataCallbackMorvex(sensor, Received::onSignal, &handle, &received, &status);
        if (execCommandSensor(sensor, SensorCommandStartSignal, &status) == 0) {
            throw std::runtime_error(std::string("StartSignal: ") + status.ErrorMsg);
        }
    }

    ~StreamingSensor() {
        CallStatus status{};
        execCommandSensor(sensor, SensorCommandStopSignal, &status);
        removeSignalDataCallbackMorvex(handle);
        freeSensor(sensor);
    }

    bool canSend() const { return sent - received.packs.load(std::memory_order_acquire) < kMaxPacksInFlight; }

    void send(const std::vector<uint8_t>& notification) {
        peer->dataCharacteristic()->notify(notification);
        sent += kPacksPerNotification;
    }
};

struct Rig {
    std::shared_ptr<VexaSim::SimRadio> radio = VexaSim::SimRadio::create();
    VexaSim::SimRadioInstallation installed{radio};
    SensorScannerWrap* scanner = nullptr;
    std::vector<std::unique_ptr<StreamingSensor>> sensors;

    explicit Rig(size_t count) {
        const uint8_t families[] = {SensorFamilyMorvex};
        CallStatus status{};
        scanner = createScanner(families, 1, &status);
        for (size_t i = 0; i < count; ++i) {
            sensors.push_back(std::make_unique<StreamingSensor>(*radio, scanner, kFirstAddress + i));
        }
    }
    ~Rig() {
        sensors.clear();
        freeScanner(scanner);
    }
};

std::vector<uint8_t> notificationOf(const std::vector<std::vector<uint8_t>>& packs, size_t first) {
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < kPacksPerNotification; ++i) {
        const auto& pack = packs[(first + i) % packs.size()];
        bytes.insert(bytes.end(), pack.begin(), pack.end());
    }
    return bytes;
}

// Streams to every sensor of the rig for kStreamTime; returns delivered packs per second.
double stream(Rig& rig) {
    const auto packs = preparedPacks(2048);
    std::vector<std::vector<uint8_t>> notifications;
    for (size_t first = 0; first < packs.size(); first += kPacksPerNotification) {
        notifications.push_back(notificationOf(packs, first));
    }
    uint64_t before = 0;
    for (const auto& sensor : rig.sensors) {
        before += sensor->received.packs.load();
    }
    size_t next = 0;
    const auto start = Clock::now();
    while (Clock::now() - start < kStreamTime) {
        bool sentAny = false;
        for (const auto& sensor : rig.sensors) {
            if (sensor->canSend()) {
                sensor->send(notifications[next++ % notifications.size()]);
                sentAny = true;
            }
        }
        if (!sentAny) {
            std::this_thread::yield();
        }
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    uint64_t after = 0;
    for (const auto& sensor : rig.sensors) {
        after += sensor->received.packs.load();
    }
    return static_cast<double>(after - before) / seconds;
}

void BM_PacksPerSecondOneDevice(benchmark::State& state) {
    Rig rig(1);
    for (auto _ : state) {
        state.counters["packs_per_s"] = stream(rig);
    }
}

void BM_PacksPerSecondEightDevices(benchmark::State& state) {
    Rig rig(8);
    for (auto _ : state) {
        state.counters["packs_per_s_total"] = stream(rig);
    }
}

// One pack at a time: the time from handing the notification to the radio until the host's
// function runs.
void BM_NotificationToCallLatency(benchmark::State& state) {
    Rig rig(1);
    StreamingSensor& sensor = *rig.sensors.front();
    const auto packs = preparedPacks(2048);
    std::vector<double> micros;
    for (auto _ : state) {
        for (size_t i = 0; i < 2000; ++i) {
            const uint64_t before = sensor.received.packs.load();
            const auto sentAt = Clock::now();
            sensor.peer->dataCharacteristic()->notify(packs[i % packs.size()]);
            while (sensor.received.packs.load(std::memory_order_acquire) == before) {
                std::this_thread::yield();
            }
            const auto calledAt = Clock::time_point(Clock::duration(sensor.received.lastCallNs.load()));
            micros.push_back(std::chrono::duration<double, std::micro>(calledAt - sentAt).count());
        }
    }
    std::sort(micros.begin(), micros.end());
    state.counters["p50_us"] = micros[micros.size() / 2];
    state.counters["p99_us"] = micros[micros.size() * 99 / 100];
}

}  // namespace

BENCHMARK(BM_PacksPerSecondOneDevice)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NotificationToCallLatency)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PacksPerSecondEightDevices)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
