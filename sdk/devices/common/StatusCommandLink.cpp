#include "sdk/devices/common/StatusCommandLink.hpp"

#include <functional>
#include <span>

#include "sdk/core/DeviceError.hpp"
#include "sdk/core/Log.hpp"
#include "sdk/core/RtException.hpp"
#include "sdk/devices/common/PackSplitter.hpp"

namespace VexaDevice::Devices {

const CommandReply StatusCommandLink::NotDelivered{0, Utility::kKspErrors.dataSend, 0};

// What the status handler needs; shared with it so that it may outlive the link.
struct StatusCommandLink::State {
    State(const std::shared_ptr<BLE::IBLEChannel>& command, std::weak_ptr<Utility::CvWait> wakeup,
          const ProtocolTiming& timing, StatusAnswers answers)
        : exchange(
              [command](const std::vector<uint8_t>& frame, std::function<void()> acknowledged) {
                  return command->write(frame, std::move(acknowledged));
              },
              linkLost, NotDelivered, timing,
              answers == StatusAnswers::AfterAnnouncement
                  ? CommandExchange<CommandReply>::Sameness(std::equal_to<CommandReply>{})
                  : CommandExchange<CommandReply>::Sameness{}),
          wake(std::move(wakeup)),
          readAttempts(timing.readAttempts) {}

    void onStatus(const std::vector<uint8_t>& bytes) {
        const auto split = splitPacks<StatusPack>(std::span<const uint8_t>(bytes));
        ring.write(split.packs.data(), split.packs.size());
        if (split.remainder) Utility::sdkLog().warn("Error data length status. Device: [{}]", deviceName());
        if (split.packs.size() > 1)
            Utility::sdkLog().trace("Recived more then one pack status: [{}]", split.packs.size());
        // A notification shorter than one pack carries no status to follow.
        if (!split.packs.empty()) {
            const StatusPack& last = split.packs.back();
            battery = last.battery();
            mode = last.mode();
            if (observer) observer(last.mode());
            exchange.deliver(CommandReply{last.mode(), last.error(), last.command()});
        }
        if (const auto worker = wake.lock()) worker->notify();
    }

    std::string deviceName() const {
        std::lock_guard lock(nameMutex);
        return name;
    }

    std::function<void(uint8_t)> observer;
    std::atomic<bool> linkLost{false};
    std::atomic<bool> modeKnown{true};
    std::atomic<int32_t> battery{0};
    std::atomic<uint8_t> mode{0};
    Utility::RBuffer<StatusPack> ring{StatusRingCapacity};
    CommandExchange<CommandReply> exchange;
    const std::weak_ptr<Utility::CvWait> wake;
    const int readAttempts;
    mutable std::mutex nameMutex;
    std::string name;
};

StatusCommandLink::StatusCommandLink(std::shared_ptr<BLE::IBLEChannel> status,
                                     std::shared_ptr<BLE::IBLEChannel> command, std::weak_ptr<Utility::CvWait> wake,
                                     const ProtocolTiming& timing, StatusAnswers answers)
    : status_(std::move(status)),
      command_(std::move(command)),
      state_(std::make_shared<State>(command_, std::move(wake), timing, answers)) {}

StatusCommandLink::~StatusCommandLink() = default;

void StatusCommandLink::observe(std::function<void(uint8_t mode)> observer) { state_->observer = std::move(observer); }

void StatusCommandLink::listen() {
    if (!handler_) {
        handler_ = std::make_shared<BLE::DataBus::Callback>(
            [weak = std::weak_ptr<State>(state_)](const std::vector<uint8_t>& bytes) {
                if (const auto state = weak.lock()) state->onStatus(bytes);
            });
        if (const auto bus = status_->dataEvent().lock()) bus->subscribe(handler_);
    }
    status_->startNotify();
}

void StatusCommandLink::stopListening() {
    try {
        status_->stopNotify();
    } catch (const std::exception& e) {
        Utility::sdkLog().warn("Stopping the status notification failed: {}", e.what());
    }
}

void StatusCommandLink::readStatus() {
    for (int attempt = 0; attempt < state_->readAttempts; ++attempt) {
        if (state_->linkLost) return;
        std::vector<uint8_t> value;
        if (status_->read(value)) {
            state_->onStatus(value);
            state_->modeKnown = true;
            return;
        }
    }
    throw Utility::rt_exception("Can not read Status");
}

std::optional<CommandReply> StatusCommandLink::answerTo(const std::vector<uint8_t>& frame) const {
    if (frame.empty()) return std::nullopt;
    const uint8_t code = frame.front();
    return state_->exchange.trySend(frame, [code](const CommandReply& reply) { return reply.command == code; });
}

CommandReply StatusCommandLink::exchangeCommand(const std::vector<uint8_t>& frame) const {
    return answerTo(frame).value_or(NotDelivered);
}

CommandReply StatusCommandLink::exchangeMode(const std::vector<uint8_t>& frame,
                                             const std::function<bool(uint8_t)>& reached) {
    const std::optional<CommandReply> answer = answerTo(frame);
    // An answer reports the device's mode, a refusal as much as an acceptance; a frame left
    // unanswered may have switched the device or not.
    state_->modeKnown = answer.has_value();
    if (!answer) return NotDelivered;
    CommandReply reply = *answer;
    if (reply.code == 0 && !reached(reply.mode)) reply.code = Utility::kKspErrors.dataSend;
    return reply;
}

bool StatusCommandLink::modeKnown() const { return state_->modeKnown; }

bool StatusCommandLink::writeOnce(const std::vector<uint8_t>& frame) const { return command_->write(frame); }

void StatusCommandLink::markLinkLost() {
    state_->modeKnown = false;
    state_->linkLost = true;
}

bool StatusCommandLink::takeLinkLost() { return state_->linkLost.exchange(false); }

bool StatusCommandLink::isLinkLost() const { return state_->linkLost; }

int32_t StatusCommandLink::battery() const { return state_->battery; }

uint8_t StatusCommandLink::mode() const { return state_->mode; }

std::optional<StatusPack> StatusCommandLink::pollNewest() { return newest_.poll(state_->ring); }

void StatusCommandLink::setDeviceName(const std::string& serial) {
    std::lock_guard lock(state_->nameMutex);
    state_->name = serial;
}

}  // namespace VexaDevice::Devices
