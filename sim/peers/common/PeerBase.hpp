#pragma once
// The base of every emulated command device on the simulated radio. It owns the peripheral and
// the device's wire model (behind one lock), builds the Device Information service and the
// command service's status (read, notify) and command (write) characteristics, answers every
// command frame with the status notifications the model gives, pumps the model's packs to their
// data characteristics on its own thread, and offers the fault switches every model has.
//
// A model (one per family, without any radio) offers:
//   Model(Settings)                          built from the peer's settings
//   onCommand(frame)                         the statuses a frame makes the device announce, as
//                                            std::optional<bytes> or std::vector<bytes>
//   statusValue()                            the status characteristic's value
//   setBattery(level), setSilent(bool), setIgnoring(bool), setRefusal(error, ...)
// and, for pumpPacks, `Packs nextPacks()` with one byte vector per data characteristic.
//
//   class TesselPeer final : public PeerBase<TesselPeerModel> {
//       TesselPeer(std::shared_ptr<SimPeripheral> peripheral, TesselPeerSettings settings)
//           : PeerBase(std::move(peripheral), std::move(settings)) {
//           addDeviceInformation(*peripheral_, settings.information);
//           auto service = addCommandService(serviceUuid, statusUuid, commandUuid);
//           signal_ = service->addCharacteristic(signalUuid, Property::Notify);
//           pumpPacks(period, {{signal_, &TesselPeerModel::Packs::signal}});
//       }
//   };

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "sdk/ble/platform/PlatformTypes.hpp"
#include "sim/peers/common/AnswerOrder.hpp"
#include "sim/peers/common/DeviceInformationPeer.hpp"
#include "sim/radio/SimRadio.hpp"

namespace VexaSim {

// Pushes a pack when there is one and the characteristic exists.
inline void notifyWhenAny(const std::shared_ptr<SimCharacteristic>& characteristic, std::vector<uint8_t> pack) {
    if (characteristic && !pack.empty()) characteristic->notify(std::move(pack));
}

template <class Model>
class PeerBase {
public:
    virtual ~PeerBase() { stopPump(); }
    PeerBase(const PeerBase&) = delete;
    PeerBase& operator=(const PeerBase&) = delete;

    const std::shared_ptr<SimPeripheral>& peripheral() const { return peripheral_; }
    std::shared_ptr<SimCharacteristic> statusCharacteristic() const { return device_->status; }
    std::shared_ptr<SimCharacteristic> commandCharacteristic() const { return command_; }
    // Every frame the central wrote to the command characteristic, in order.
    std::vector<std::vector<uint8_t>> commandFrames() const { return command_->writes(); }

    // Fault switches: no answer at all; frames refused with `error` (0 = off; the model may take
    // more, such as the one command it refuses); frames acknowledged without being carried out.
    void setSilent(bool silent) {
        withModel([silent](Model& model) { model.setSilent(silent); });
    }
    template <class... Refusal>
    void setRefusal(Refusal... refusal) {
        withModel([refusal...](Model& model) { model.setRefusal(refusal...); });
    }
    void setIgnoring(bool ignoring) {
        withModel([ignoring](Model& model) { model.setIgnoring(ignoring); });
    }
    // When this device answers its frames.
    void setAnswerOrder(AnswerOrder order) {
        std::lock_guard lock(device_->mutex);
        device_->order = order;
    }
    // A new battery level, announced with a status notification.
    void setBattery(uint8_t level) {
        std::lock_guard lock(device_->mutex);
        device_->model.setBattery(level);
        device_->announce(device_->model.statusValue());
    }
    // Sends these bytes as a status notification, as a faulty device might.
    void sendStatus(std::vector<uint8_t> bytes) { device_->status->notify(std::move(bytes)); }
    void dropLink() { peripheral_->dropLink(); }

protected:
    // What the command hook, the pump and the peer share; the hook holds it weakly.
    struct Shared {
        std::mutex mutex;
        Model model;
        std::shared_ptr<SimCharacteristic> status;
        AnswerOrder order = AnswerOrder::AsTaken;
        // Answers held back until the write's acknowledgement went out.
        std::vector<std::vector<uint8_t>> late;

        template <class Settings>
        explicit Shared(Settings&& settings) : model(std::forward<Settings>(settings)) {}

        // Under `mutex`: the status value follows the model, and a change is announced.
        void announce(const std::vector<uint8_t>& value) {
            status->setValue(value);
            status->notify(value);
        }
        void announce(const std::optional<std::vector<uint8_t>>& value) {
            if (value) announce(*value);
        }
        void announce(const std::vector<std::vector<uint8_t>>& values) {
            for (const auto& value : values) announce(value);
        }

        // Under `mutex`: one frame as it arrives, in the device's answer order.
        void take(const std::vector<uint8_t>& frame) {
            const std::vector<uint8_t> before = model.statusValue();
            if (order != AnswerOrder::AsTaken) status->notify(before);
            if (order == AnswerOrder::AnnouncedFirst) return;
            const auto answer = model.onCommand(frame);
            if (order == AnswerOrder::AsTaken || differs(answer, before))
                announce(answer);
            else
                holdBack(answer);
        }
        // Under `mutex`: the write of `frame` was acknowledged.
        void acknowledged(const std::vector<uint8_t>& frame) {
            if (order == AnswerOrder::AnnouncedFirst) announce(model.onCommand(frame));
            announce(std::exchange(late, {}));
        }

    private:
        static bool differs(const std::optional<std::vector<uint8_t>>& answer, const std::vector<uint8_t>& before) {
            return answer && *answer != before;
        }
        static bool differs(const std::vector<std::vector<uint8_t>>& answers, const std::vector<uint8_t>& before) {
            return std::any_of(answers.begin(), answers.end(), [&](const auto& answer) { return answer != before; });
        }
        void holdBack(const std::optional<std::vector<uint8_t>>& answer) {
            if (answer) late.push_back(*answer);
        }
        void holdBack(const std::vector<std::vector<uint8_t>>& answers) {
            late.insert(late.end(), answers.begin(), answers.end());
        }
    };

    template <class Settings>
    PeerBase(std::shared_ptr<SimPeripheral> peripheral, Settings&& settings)
        : peripheral_(std::move(peripheral)), device_(std::make_shared<Shared>(std::forward<Settings>(settings))) {}

    // Runs `action` on the model under its lock.
    template <class Action>
    auto withModel(Action action) const {
        std::lock_guard lock(device_->mutex);
        return action(device_->model);
    }

    // The command service with its status and command characteristics; each written frame is
    // handed to the model and what it answers is announced. The caller adds the data
    // characteristics to the returned service.
    std::shared_ptr<SimService> addCommandService(const UUID& service, const UUID& status, const UUID& command) {
        namespace Property = VexaDevice::BLE::Platform::CharacteristicProperty;
        auto added = peripheral_->addService(service);
        device_->status =
            added->addCharacteristic(status, Property::Read | Property::Notify, device_->model.statusValue());
        command_ = added->addCharacteristic(command, Property::Write);
        command_->onWrite([weak = std::weak_ptr<Shared>(device_)](const std::vector<uint8_t>& frame) {
            if (const auto device = weak.lock()) {
                std::lock_guard lock(device->mutex);
                device->take(frame);
            }
            return GattStatus::Success;
        });
        command_->onAcknowledged([weak = std::weak_ptr<Shared>(device_)](const std::vector<uint8_t>& frame) {
            if (const auto device = weak.lock()) {
                std::lock_guard lock(device->mutex);
                device->acknowledged(frame);
            }
        });
        return added;
    }

    // Starts the pump: `tick` runs once per period on the peer's own thread until the peer goes.
    // It may use the base's members and what it holds itself, not the derived peer's members.
    void startPump(std::chrono::microseconds period, std::function<void()> tick) {
        pump_ = std::thread([this, period, tick = std::move(tick)] {
            std::unique_lock clock(clockMutex_);
            while (!clock_.wait_for(clock, period, [this] { return stopping_; })) tick();
        });
    }

    // Which pack of the model's Packs goes to which characteristic (a model that streams on one
    // characteristic only needs no Packs and pumps with startPump).
    template <class M = Model>
    using Route = std::pair<std::shared_ptr<SimCharacteristic>, std::vector<uint8_t> M::Packs::*>;

    // Pumps the model's next packs to their characteristics, one of each running stream a period.
    template <class M = Model>
    void pumpPacks(std::chrono::microseconds period, std::vector<Route<M>> routes) {
        startPump(period, [device = device_, routes = std::move(routes)] {
            // Sent under the model's lock, as the status answers are: a pack made in one mode
            // never follows the status announcing the next.
            std::lock_guard lock(device->mutex);
            typename M::Packs packs = device->model.nextPacks();
            for (const auto& [characteristic, pack] : routes) notifyWhenAny(characteristic, std::move(packs.*pack));
        });
    }

    const std::shared_ptr<SimPeripheral> peripheral_;
    const std::shared_ptr<Shared> device_;

private:
    void stopPump() {
        if (!pump_.joinable()) return;
        {
            std::lock_guard lock(clockMutex_);
            stopping_ = true;
        }
        clock_.notify_all();
        pump_.join();
    }

    std::shared_ptr<SimCharacteristic> command_;
    std::mutex clockMutex_;
    std::condition_variable clock_;
    bool stopping_ = false;
    std::thread pump_;
};

}  // namespace VexaSim
