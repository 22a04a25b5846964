#include "sdk/devices/common/StatusCommandLink.hpp"

#include <bitset>
#include <functional>
#include <mutex>
#include <span>

#include "sdk/core/DeviceError.hpp"
#include "sdk/core/Log.hpp"
#include "sdk/core/RtException.hpp"
#include "sdk/devices/common/PackSplitter.hpp"

namespace VexaDevice::Devices {

const CommandReply StatusCommandLink::NotDelivered{0, Utility::kKspErrors.dataSend, 0};

namespace {

// The codes of the frames a device may have answered last: that of the last frame answered and
// of every frame written since. A device that announces its status as each frame arrives names
// that code in the announcement, so a reply to a frame of such a code may be the announcement,
// the status from before the frame was carried out.
class LastAnswered {
public:
    bool mayBe(uint8_t code) const {
        std::lock_guard lock(mutex_);
        return codes_.test(code);
    }
    // The device reported `code` as its last answered frame, in a reply or a status read.
    void only(uint8_t code) {
        std::lock_guard lock(mutex_);
        codes_.reset();
        codes_.set(code);
    }
    void unanswered(uint8_t code) {
        std::lock_guard lock(mutex_);
        codes_.set(code);
    }

private:
    mutable std::mutex mutex_;
    std::bitset<256> codes_;
};

}  // namespace

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
          readAttempts(timing.readAttempts),
          announces(answers == StatusAnswers::AfterAnnouncement) {}

    // Takes in one status value; the newest pack in it, if any.
    std::optional<StatusPack> onStatus(const std::vector<uint8_t>& bytes) {
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
        if (split.packs.empty()) return std::nullopt;
        return split.packs.back();
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
    const bool announces;
    LastAnswered lastAnswered;
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
            if (const auto read = state_->onStatus(value)) state_->lastAnswered.only(read->command());
            state_->modeKnown = true;
            return;
        }
    }
    throw Utility::rt_exception("Can not read Status");
}

std::optional<CommandReply> StatusCommandLink::answerTo(const std::vector<uint8_t>& frame) const {
    if (frame.empty()) return std::nullopt;
    const uint8_t code = frame.front();
    auto answer = state_->exchange.trySend(frame, [code](const CommandReply& reply) { return reply.command == code; });
    if (answer)
        state_->lastAnswered.only(code);
    else
        state_->lastAnswered.unanswered(code);
    return answer;
}

CommandReply StatusCommandLink::exchangeCommand(const std::vector<uint8_t>& frame) const {
    return answerTo(frame).value_or(NotDelivered);
}

CommandReply StatusCommandLink::exchangeMode(const std::vector<uint8_t>& frame,
                                             const std::function<bool(uint8_t)>& reached) {
    const bool mayBeAnnounced = state_->announces && !frame.empty() && state_->lastAnswered.mayBe(frame.front());
    const std::optional<CommandReply> answer = answerTo(frame);
    // A frame left unanswered may have switched the device or not. An answer reports the
    // device's mode, a refusal as much as an acceptance, unless it may be the announcement of
    // the frame, which reports the mode before the frame was carried out: then only a reply
    // showing the mode reached tells it.
    if (!answer) {
        state_->modeKnown = false;
        return NotDelivered;
    }
    CommandReply reply = *answer;
    const bool carriedOut = reply.code == 0 && reached(reply.mode);
    state_->modeKnown = carriedOut || !mayBeAnnounced;
    if (reply.code == 0 && !carriedOut) reply.code = Utility::kKspErrors.dataSend;
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
