#pragma once
// The two characteristics of a Tessel-class sensor wired straight to the emulated device's
// wire model: frames written to Tx reach the model on the writer's thread, its answers come
// back as Rx notifications on a delivery thread of the link's own, as over a radio.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "sdk/ble/BLEChannel.hpp"
#include "sim/peers/tessel/TesselPeerModel.hpp"

namespace TesselTest {

using Bytes = std::vector<uint8_t>;

class ModelLink {
public:
    explicit ModelLink(VexaSim::TesselPeerSettings settings = {}) : model_(std::move(settings)) {
        delivery_ = std::thread([this] { deliverLoop(); });
    }

    ~ModelLink() {
        {
            std::lock_guard lock(mutex_);
            closing_ = true;
        }
        wake_.notify_all();
        delivery_.join();
    }

    ModelLink(const ModelLink&) = delete;
    ModelLink& operator=(const ModelLink&) = delete;

    std::shared_ptr<VexaDevice::BLE::IBLEChannel> rx() { return rx_; }
    std::shared_ptr<VexaDevice::BLE::IBLEChannel> tx() { return tx_; }

    // Every frame written to Tx, in order.
    std::vector<Bytes> frames() {
        std::lock_guard lock(mutex_);
        return frames_;
    }
    // Command codes (byte 3) of the frames written.
    std::vector<uint8_t> codes() {
        std::vector<uint8_t> sent;
        for (const Bytes& frame : frames()) sent.push_back(frame.size() > 3 ? frame[3] : 0);
        return sent;
    }
    void clearFrames() {
        std::lock_guard lock(mutex_);
        frames_.clear();
    }

    // Runs `change` on the device model under the link's lock.
    template <class Change>
    auto withModel(Change change) {
        std::lock_guard lock(mutex_);
        return change(model_);
    }

    // Sends one notification as the device would.
    void notify(Bytes value, std::chrono::milliseconds delay = {}) {
        {
            std::lock_guard lock(mutex_);
            queue_.push_back({std::move(value), delay});
        }
        wake_.notify_all();
    }
    // One streaming tick of the device, all its packs in one notification.
    void streamTick() {
        Bytes joined;
        for (const Bytes& pack : withModel([](auto& model) { return model.nextPacks(); }))
            joined.insert(joined.end(), pack.begin(), pack.end());
        if (!joined.empty()) notify(std::move(joined));
    }

    // Faults of the link: the next writes fail; the next answers come late.
    void failNextWrites(int count) {
        std::lock_guard lock(mutex_);
        failingWrites_ = count;
    }
    void delayNextAnswers(int count, std::chrono::milliseconds delay) {
        std::lock_guard lock(mutex_);
        delayedAnswers_ = count;
        answerDelay_ = delay;
    }

    // Waits until every queued notification was delivered.
    void drain() {
        std::unique_lock lock(mutex_);
        idle_.wait(lock, [this] { return queue_.empty() && !delivering_; });
    }

private:
    class Channel : public VexaDevice::BLE::IBLEChannel {
    public:
        explicit Channel(ModelLink* link) : link_(link) {}
        void startNotify() override { notifying_ = true; }
        void stopNotify() override { notifying_ = false; }
        bool isNotifying() override { return notifying_; }
        std::weak_ptr<VexaDevice::BLE::DataBus> dataEvent() override { return bus_; }
        using VexaDevice::BLE::IBLEChannel::write;
        bool write(const Bytes& data,
                   VexaDevice::BLE::Platform::IGattCharacteristic::Acknowledged acknowledged) override {
            const bool taken = link_->write(data);
            if (taken && acknowledged) acknowledged();
            return taken;
        }
        bool read(Bytes&) override { return false; }
        std::shared_ptr<VexaDevice::BLE::RawChannelInfo> rawChannelInfo() override { return nullptr; }
        void publish(const Bytes& value) { bus_->notify(value); }

    private:
        ModelLink* const link_;
        std::atomic<bool> notifying_{false};
        const std::shared_ptr<VexaDevice::BLE::DataBus> bus_ = std::make_shared<VexaDevice::BLE::DataBus>(16);
    };

    struct Queued {
        Bytes value;
        std::chrono::milliseconds delay;
    };

    bool write(const Bytes& frame) {
        std::vector<Bytes> answers;
        {
            std::lock_guard lock(mutex_);
            frames_.push_back(frame);
            if (failingWrites_ > 0) {
                --failingWrites_;
                return false;
            }
            answers = model_.onCommand(frame);
            for (Bytes& answer : answers) {
                std::chrono::milliseconds delay{};
                if (delayedAnswers_ > 0) {
                    --delayedAnswers_;
                    delay = answerDelay_;
                }
                queue_.push_back({std::move(answer), delay});
            }
        }
        wake_.notify_all();
        return true;
    }

    void deliverLoop() {
        std::unique_lock lock(mutex_);
        while (true) {
            wake_.wait(lock, [this] { return closing_ || !queue_.empty(); });
            if (closing_) return;
            Queued next = std::move(queue_.front());
            queue_.pop_front();
            delivering_ = true;
            lock.unlock();
            if (next.delay.count() > 0) std::this_thread::sleep_for(next.delay);
            if (rx_->isNotifying()) rx_->publish(next.value);
            lock.lock();
            delivering_ = false;
            idle_.notify_all();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    VexaSim::TesselPeerModel model_;
    std::vector<Bytes> frames_;
    std::deque<Queued> queue_;
    int failingWrites_ = 0;
    int delayedAnswers_ = 0;
    std::chrono::milliseconds answerDelay_{};
    bool delivering_ = false;
    bool closing_ = false;
    const std::shared_ptr<Channel> rx_ = std::make_shared<Channel>(this);
    const std::shared_ptr<Channel> tx_ = std::make_shared<Channel>(this);
    std::thread delivery_;
};

}  // namespace TesselTest
