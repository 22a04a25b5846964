#pragma once
// A characteristic channel without a radio: the test pushes notifications itself, sees every
// notification switch and write, and may script what writes and reads do.

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "sdk/ble/BLEChannel.hpp"

namespace DevicesTest {

class FakeChannel : public VexaDevice::BLE::IBLEChannel {
public:
    // Decides whether one write succeeds; runs on the writer's thread. Without one every write
    // succeeds.
    using WriteHook = std::function<bool(const std::vector<uint8_t>&)>;

    void startNotify() override {
        ++starts;
        notifying = true;
    }
    void stopNotify() override {
        ++stops;
        notifying = false;
    }
    bool isNotifying() override { return notifying; }
    std::weak_ptr<VexaDevice::BLE::DataBus> dataEvent() override { return bus; }
    using VexaDevice::BLE::IBLEChannel::write;
    // A write taken is acknowledged as it returns.
    bool write(const std::vector<uint8_t>& value,
               VexaDevice::BLE::Platform::IGattCharacteristic::Acknowledged acknowledged) override {
        WriteHook hook;
        {
            std::lock_guard lock(mutex_);
            writes_.push_back(value);
            hook = writeHook_;
        }
        const bool taken = hook ? hook(value) : true;
        if (taken && acknowledged) acknowledged();
        return taken;
    }
    // Answers with the scripted values in order (nothing: a failed read), then fails.
    bool read(std::vector<uint8_t>& out) override {
        std::lock_guard lock(mutex_);
        ++reads_;
        if (readValues_.empty()) return false;
        const auto value = readValues_.front();
        readValues_.pop_front();
        if (!value) return false;
        out.insert(out.end(), value->begin(), value->end());
        return true;
    }
    std::shared_ptr<VexaDevice::BLE::RawChannelInfo> rawChannelInfo() override { return nullptr; }

    void deliver(const std::vector<uint8_t>& value) { bus->notify(value); }

    void onWrite(WriteHook hook) {
        std::lock_guard lock(mutex_);
        writeHook_ = std::move(hook);
    }
    void scriptReads(std::deque<std::optional<std::vector<uint8_t>>> values) {
        std::lock_guard lock(mutex_);
        readValues_ = std::move(values);
    }
    std::vector<std::vector<uint8_t>> writes() const {
        std::lock_guard lock(mutex_);
        return writes_;
    }
    int reads() const {
        std::lock_guard lock(mutex_);
        return reads_;
    }

    std::shared_ptr<VexaDevice::BLE::DataBus> bus = std::make_shared<VexaDevice::BLE::DataBus>(16);
    std::atomic<bool> notifying{false};
    std::atomic<int> starts{0};
    std::atomic<int> stops{0};

private:
    mutable std::mutex mutex_;
    WriteHook writeHook_;
    std::vector<std::vector<uint8_t>> writes_;
    std::deque<std::optional<std::vector<uint8_t>>> readValues_;
    int reads_ = 0;
};

}  // namespace DevicesTest
