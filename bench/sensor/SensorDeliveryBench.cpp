// End to end from a data notification on the simulated radio to the host's signal function,
// through the exported functions of generation-1 Morvex sensors with the library's own timings.
// The benchmark thread plays the devices' radio side. Figures:
// - packs per second on one and on eight devices, at one pack per notification (what a real
//   device sends) and at eight, keeping a bounded number in flight so the protocol's ring never
//   overruns; beside it the library's CPU time per pack (every thread but the sender's) and the
//   longest pause between two calls of one sensor's host function;
// - notification-to-call latency of single packs, p50, p99, p99.9 and the maximum over 20000;
// - one to eight devices paced as real ones (one pack every 8 ms each): the library's CPU time
//   per pack (every thread but the sender's, and its busiest thread alone) and the latency
//   p50, p99 and maximum.

#include <benchmark/benchmark.h>

#include <dirent.h>
#include <pthread.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <map>
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
constexpr uint64_t kMaxPacksInFlight = 256;
constexpr auto kStreamTime = 2s;
constexpr size_t kLatencySamples = 20000;
constexpr auto kDevicePeriod = 8ms;  // a real device: 125 packs a second, one per notification
constexpr auto kPacedTime = 4s;

int64_t nowNs() { return Clock::now().time_since_epoch().count(); }

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

// What one sensor's signal function has seen. With `timing` set (one pack per notification),
// each call also records how long ago its pack was handed to the radio: the sender stores that
// moment under the pack's number before sending it.
struct Received {
    static constexpr size_t kSendTimes = 4096;  // more than the packs ever in flight

    std::atomic<uint64_t> packs{0};
    std::atomic<int64_t> lastCallNs{0};
    std::atomic<int64_t> longestGapNs{0};  // between two calls; written by the delivery thread only
    std::vector<std::atomic<int64_t>> sentNs = std::vector<std::atomic<int64_t>>(kSendTimes);
    std::atomic<bool> timing{false};
    std::vector<double> latencyUs;  // written by the sensor's delivery thread only

    static void onSignal(_Sensor*, MorvexSignalRecord*, uint32_t count, void* user) {
        auto* self = static_cast<Received*>(user);
        const int64_t now = nowNs();
        const int64_t previous = self->lastCallNs.exchange(now, std::memory_order_relaxed);
        if (previous != 0 && now - previous > self->longestGapNs.load(std::memory_order_relaxed)) {
            self->longestGapNs.store(now - previous, std::memory_order_relaxed);
        }
        const uint64_t pack = self->packs.load(std::memory_order_relaxed);
        if (self->timing.load(std::memory_order_acquire)) {
            const int64_t sent = self->sentNs[pack % kSendTimes].load(std::memory_order_acquire);
            self->latencyUs.push_back(static_cast<double>(now - sent) / 1e3);
        }
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

    void send(const std::vector<uint8_t>& notification, size_t packs) {
        peer->dataCharacteristic()->notify(notification);
        sent += packs;
    }

    // Waits until every pack sent so far has reached the host.
    void waitDelivered() const {
        const auto deadline = Clock::now() + 10s;
        while (received.packs.load(std::memory_order_acquire) < sent && Clock::now() < deadline) {
            std::this_thread::yield();
        }
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

std::vector<uint8_t> notificationOf(const std::vector<std::vector<uint8_t>>& packs, size_t first, size_t count) {
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < count; ++i) {
        const auto& pack = packs[(first + i) % packs.size()];
        bytes.insert(bytes.end(), pack.begin(), pack.end());
    }
    return bytes;
}

int64_t cpuNs(clockid_t clock) {
    timespec ts{};
    clock_gettime(clock, &ts);
    return ts.tv_sec * 1'000'000'000LL + ts.tv_nsec;
}

struct StreamFigures {
    double packsPerSecond = 0;
    double libraryCpuUsPerPack = 0;  // every thread but the sender's
    double longestGapMs = 0;         // between two calls of one sensor's host function
};

// Streams to every sensor of the rig as fast as the library takes the packs, for kStreamTime.
StreamFigures stream(Rig& rig, size_t packsPerNotification) {
    const auto packs = preparedPacks(2048);
    std::vector<std::vector<uint8_t>> notifications;
    for (size_t first = 0; first < packs.size(); first += packsPerNotification) {
        notifications.push_back(notificationOf(packs, first, packsPerNotification));
    }
    uint64_t before = 0;
    for (const auto& sensor : rig.sensors) {
        before += sensor->received.packs.load();
        sensor->received.lastCallNs.store(0);
        sensor->received.longestGapNs.store(0);
    }
    const int64_t processBefore = cpuNs(CLOCK_PROCESS_CPUTIME_ID);
    const int64_t senderBefore = cpuNs(CLOCK_THREAD_CPUTIME_ID);
    size_t next = 0;
    const auto start = Clock::now();
    while (Clock::now() - start < kStreamTime) {
        bool sentAny = false;
        for (const auto& sensor : rig.sensors) {
            if (sensor->canSend()) {
                sensor->send(notifications[next++ % notifications.size()], packsPerNotification);
                sentAny = true;
            }
        }
        if (!sentAny) {
            std::this_thread::yield();
        }
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const int64_t senderCpu = cpuNs(CLOCK_THREAD_CPUTIME_ID) - senderBefore;
    const int64_t libraryCpu = cpuNs(CLOCK_PROCESS_CPUTIME_ID) - processBefore - senderCpu;
    uint64_t after = 0;
    int64_t longestGap = 0;
    for (const auto& sensor : rig.sensors) {
        after += sensor->received.packs.load();
        longestGap = std::max(longestGap, sensor->received.longestGapNs.load());
    }
    const double delivered = static_cast<double>(std::max<uint64_t>(after - before, 1));
    return {delivered / seconds, static_cast<double>(libraryCpu) / 1e3 / delivered,
            static_cast<double>(longestGap) / 1e6};
}

// Sorted latencies in, the usual figures out.
void reportLatency(benchmark::State& state, std::vector<double> micros) {
    if (micros.empty()) return;
    std::sort(micros.begin(), micros.end());
    state.counters["samples"] = static_cast<double>(micros.size());
    state.counters["p50_us"] = micros[micros.size() / 2];
    state.counters["p99_us"] = micros[micros.size() * 99 / 100];
    state.counters["p999_us"] = micros[micros.size() * 999 / 1000];
    state.counters["max_us"] = micros.back();
}

// Packs per second; range(0) devices, range(1) packs per notification.
void BM_PacksPerSecond(benchmark::State& state) {
    Rig rig(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        const StreamFigures figures = stream(rig, static_cast<size_t>(state.range(1)));
        state.counters["packs_per_s"] = figures.packsPerSecond;
        state.counters["cpu_us_per_pack"] = figures.libraryCpuUsPerPack;
        state.counters["longest_gap_ms"] = figures.longestGapMs;
    }
}

// One pack at a time: the time from handing the notification to the radio until the host's
// function runs, over kLatencySamples packs.
void BM_NotificationToCallLatency(benchmark::State& state) {
    Rig rig(1);
    StreamingSensor& sensor = *rig.sensors.front();
    const auto packs = preparedPacks(2048);
    std::vector<double> micros;
    micros.reserve(kLatencySamples);
    for (auto _ : state) {
        for (size_t i = 0; i < kLatencySamples; ++i) {
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
    reportLatency(state, std::move(micros));
}

// CPU time of every thread of the process, by thread id, in nanoseconds.
std::map<pid_t, int64_t> threadCpuTimes() {
    std::map<pid_t, int64_t> times;
    DIR* tasks = opendir("/proc/self/task");
    if (tasks == nullptr) return times;
    while (const dirent* entry = readdir(tasks)) {
        const pid_t tid = static_cast<pid_t>(std::atoi(entry->d_name));
        if (tid <= 0) continue;
        // The kernel's per-thread CPU clock of any thread of this process.
        const clockid_t clock = static_cast<clockid_t>((~static_cast<unsigned>(tid) << 3) | 6);
        timespec ts{};
        if (clock_gettime(clock, &ts) == 0) times[tid] = ts.tv_sec * 1'000'000'000LL + ts.tv_nsec;
    }
    closedir(tasks);
    return times;
}

// range(0) devices, each sending one pack every 8 ms, their sends spread over the period.
void BM_PacedDevices(benchmark::State& state) {
    const auto devices = static_cast<size_t>(state.range(0));
    Rig rig(devices);
    const auto packs = preparedPacks(2048);
    const pid_t self = static_cast<pid_t>(syscall(SYS_gettid));
    for (auto _ : state) {
        for (const auto& sensor : rig.sensors) {
            sensor->received.latencyUs.clear();
            sensor->received.latencyUs.reserve(1024);
            sensor->received.timing.store(true, std::memory_order_release);
        }
        uint64_t delivered = 0;
        for (const auto& sensor : rig.sensors) delivered -= sensor->received.packs.load();
        const auto threadsBefore = threadCpuTimes();
        const int64_t processBefore = cpuNs(CLOCK_PROCESS_CPUTIME_ID);
        const int64_t senderBefore = cpuNs(CLOCK_THREAD_CPUTIME_ID);

        const auto start = Clock::now();
        const auto stagger = std::chrono::microseconds(kDevicePeriod) / static_cast<int64_t>(devices);
        size_t next = 0;
        for (auto tick = start; tick - start < kPacedTime; tick += kDevicePeriod) {
            for (size_t d = 0; d < devices; ++d) {
                std::this_thread::sleep_until(tick + stagger * static_cast<int64_t>(d));
                StreamingSensor& sensor = *rig.sensors[d];
                sensor.received.sentNs[sensor.sent % Received::kSendTimes].store(nowNs(), std::memory_order_release);
                sensor.send(packs[next++ % packs.size()], 1);
            }
        }
        for (const auto& sensor : rig.sensors) sensor->waitDelivered();

        const int64_t senderCpu = cpuNs(CLOCK_THREAD_CPUTIME_ID) - senderBefore;
        const int64_t libraryCpu = cpuNs(CLOCK_PROCESS_CPUTIME_ID) - processBefore - senderCpu;
        int64_t busiest = 0;
        int busyThreads = 0;
        for (const auto& [tid, after] : threadCpuTimes()) {
            if (tid == self) continue;
            const auto found = threadsBefore.find(tid);
            const int64_t used = after - (found == threadsBefore.end() ? 0 : found->second);
            busiest = std::max(busiest, used);
            if (used > 0) ++busyThreads;
        }
        std::vector<double> micros;
        for (const auto& sensor : rig.sensors) {
            sensor->received.timing.store(false, std::memory_order_release);
            delivered += sensor->received.packs.load();
            micros.insert(micros.end(), sensor->received.latencyUs.begin(), sensor->received.latencyUs.end());
        }
        const double packCount = static_cast<double>(std::max<uint64_t>(delivered, 1));
        state.counters["packs"] = static_cast<double>(delivered);
        state.counters["cpu_us_per_pack"] = static_cast<double>(libraryCpu) / 1e3 / packCount;
        state.counters["busiest_thread_us_per_pack"] = static_cast<double>(busiest) / 1e3 / packCount;
        state.counters["busy_threads"] = busyThreads;
        reportLatency(state, std::move(micros));
    }
}

}  // namespace

BENCHMARK(BM_PacksPerSecond)
    ->ArgNames({"devices", "packs_per_notification"})
    ->Args({1, 8})
    ->Args({1, 1})
    ->Args({8, 8})
    ->Args({8, 1})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NotificationToCallLatency)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PacedDevices)
    ->ArgName("devices")
    ->Arg(1)
    ->Arg(2)
    ->Arg(4)
    ->Arg(8)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
