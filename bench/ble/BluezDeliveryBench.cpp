// Notifications over D-Bus: from an emulated device's notification, through the emulated
// Bluetooth daemon on a private bus and the library's daemon backend, to the characteristic's
// handler. Each notification carries its send time; the handler takes the difference.
// Figures, on one and on eight devices, for both notification paths (a socket acquired with
// AcquireNotify, and StartNotify with the values as property changes):
// - devices paced at 2000 notifications a second each (their sends spread over the period):
//   notifications per second and device delivered, the latency p50, p99, p99.9 and maximum, and
//   how many were lost.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "sdk/ble/platform/bluez/BluezPlatform.hpp"
#include "sdk/core/Uuid.hpp"
#include "sim/bluez/BluezEmulator.hpp"
#include "sim/bluez/PrivateBus.hpp"
#include "sim/radio/SimRadio.hpp"

namespace {

namespace Platform = VexaDevice::BLE::Platform;
namespace Bluez = VexaDevice::BLE::Platform::Bluez;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr uint64_t kFirstAddress = 0xBD0000000001;
constexpr auto kPeriod = 500us;  // 2000 notifications a second per device
constexpr auto kPacedTime = 3s;
constexpr size_t kNotificationSize = 20;
constexpr auto kSetUpDeadline = 20s;
const auto kService = VexaDevice::Utility::parseUuid("6E400001-B534-F393-68A9-E50E24DCCA9E");
const auto kStream = VexaDevice::Utility::parseUuid("6E400003-B534-F393-68A9-E50E24DCCA9E");

int64_t nowNs() { return Clock::now().time_since_epoch().count(); }

template <class Predicate>
bool waitUntil(Predicate predicate, std::chrono::milliseconds deadline) {
    const auto end = Clock::now() + deadline;
    while (!predicate()) {
        if (Clock::now() > end) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// What one device's handler saw.
struct Received {
    std::mutex mutex;
    std::vector<double> latencyUs;
    std::atomic<uint64_t> count{0};

    void add(const std::vector<uint8_t>& value) {
        if (value.size() < sizeof(int64_t)) return;
        int64_t sent = 0;
        std::memcpy(&sent, value.data(), sizeof(sent));
        const double micros = static_cast<double>(nowNs() - sent) / 1e3;
        {
            std::lock_guard lock(mutex);
            latencyUs.push_back(micros);
        }
        count.fetch_add(1, std::memory_order_release);
    }
};

struct Device {
    std::shared_ptr<VexaSim::SimCharacteristic> stream;
    std::shared_ptr<Platform::IPeripheral> handle;
    std::shared_ptr<Platform::IGattCharacteristic> characteristic;
    Received received;
    Platform::Registration registration;
};

// The emulated daemon serving `count` devices, each connected through the backend with its
// stream's notifications switched on.
struct Rig {
    VexaSim::PrivateBus bus;
    std::shared_ptr<VexaSim::SimRadio> radio = VexaSim::SimRadio::create();
    std::unique_ptr<VexaSim::BluezEmulator> daemon;
    std::shared_ptr<Bluez::BluezPlatform> platform;
    std::vector<std::unique_ptr<Device>> devices;

    Rig(size_t count, bool acquireNotify) {
        VexaSim::BluezEmulatorOptions options;
        options.acquireNotify = acquireNotify;
        daemon = std::make_unique<VexaSim::BluezEmulator>(radio, bus.address(), options);
        platform = Bluez::BluezPlatform::create(bus.address());
        if (!platform->waitUntilSettled(kSetUpDeadline)) throw std::runtime_error("the emulated daemon is not there");
        for (size_t i = 0; i < count; ++i) {
            auto device = std::make_unique<Device>();
            const uint64_t address = kFirstAddress + i;
            auto peripheral = radio->addPeripheral(address, "Bench");
            device->stream =
                peripheral->addService(kService)->addCharacteristic(kStream, Platform::CharacteristicProperty::Notify);
            device->handle = platform->openPeripheral(address);
            if (!device->handle) throw std::runtime_error("the device cannot be opened");
            const auto services = device->handle->gattServices();
            for (const auto& service : services.services) {
                for (const auto& characteristic : service->characteristics().characteristics) {
                    if (characteristic->uuid() == kStream) device->characteristic = characteristic;
                }
            }
            if (!device->characteristic) throw std::runtime_error("the stream is missing");
            Device* raw = device.get();
            device->registration = device->characteristic->onValueChanged(
                [raw](const std::vector<uint8_t>& value) { raw->received.add(value); });
            if (device->characteristic->writeClientConfiguration(Platform::ClientConfiguration::Notify) !=
                    Platform::GattStatus::Success ||
                !waitUntil([&] { return raw->stream->isNotifying(); }, kSetUpDeadline)) {
                throw std::runtime_error("notifications cannot be switched on");
            }
            devices.push_back(std::move(device));
        }
    }

    ~Rig() {
        for (auto& device : devices) {
            device->registration.reset();
            device->handle->close();
        }
        devices.clear();
        // The backend goes before the daemon and the bus it talks to.
        platform.reset();
        daemon.reset();
    }
};

// range(0): 1 for AcquireNotify, 0 for StartNotify; range(1) devices, each sending 2000
// notifications a second.
void BM_DbusPacedNotifications(benchmark::State& state) {
    const bool acquire = state.range(0) != 0;
    const auto count = static_cast<size_t>(state.range(1));
    Rig rig(count, acquire);
    std::vector<uint8_t> value(kNotificationSize, 0x5A);
    for (auto _ : state) {
        uint64_t sent = 0;
        const auto start = Clock::now();
        const auto stagger =
            std::chrono::duration_cast<std::chrono::nanoseconds>(kPeriod) / static_cast<int64_t>(count);
        for (auto tick = start; tick - start < kPacedTime; tick += kPeriod) {
            for (size_t d = 0; d < count; ++d) {
                std::this_thread::sleep_until(tick + stagger * static_cast<int64_t>(d));
                const int64_t now = nowNs();
                std::memcpy(value.data(), &now, sizeof(now));
                if (rig.devices[d]->stream->notify(value)) ++sent;
            }
        }
        const auto sending = Clock::now() - start;
        auto delivered = [&] {
            uint64_t total = 0;
            for (const auto& device : rig.devices) total += device->received.count.load(std::memory_order_acquire);
            return total;
        };
        waitUntil([&] { return delivered() >= sent; }, 5000ms);
        const uint64_t got = delivered();
        std::vector<double> micros;
        for (const auto& device : rig.devices) {
            std::lock_guard lock(device->received.mutex);
            micros.insert(micros.end(), device->received.latencyUs.begin(), device->received.latencyUs.end());
        }
        const double seconds = std::chrono::duration<double>(sending).count();
        state.counters["per_device_per_s"] = static_cast<double>(got) / static_cast<double>(count) / seconds;
        state.counters["lost"] = static_cast<double>(sent - std::min(sent, got));
        if (micros.empty()) continue;
        std::sort(micros.begin(), micros.end());
        for (const auto& [name, fraction] :
             {std::pair{"p50_us", 0.5}, {"p99_us", 0.99}, {"p999_us", 0.999}, {"max_us", 1.0}}) {
            const auto index =
                std::min(micros.size() - 1, static_cast<size_t>(fraction * static_cast<double>(micros.size())));
            state.counters[name] = micros[index];
        }
    }
}

}  // namespace

BENCHMARK(BM_DbusPacedNotifications)
    ->ArgNames({"acquire", "devices"})
    ->Args({1, 1})
    ->Args({1, 8})
    ->Args({0, 1})
    ->Args({0, 8})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
