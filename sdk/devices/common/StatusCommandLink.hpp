#pragma once
// The command side of the devices that answer their commands through their status
// notifications. Each status notification carries one or more 4-byte packs: battery level,
// result of the last command (0 accepted), device mode, and the code of the last command the
// device executed. The link owns the status and command characteristics, keeps every pack in a
// ring of 32 for the protocol's worker, follows battery level and device mode from the newest
// pack, and sends command frames: a frame is answered by the first status whose command code
// equals the frame's first byte and that was delivered after the frame went out. A device that
// announces its current status as soon as a frame arrives, and answers once it carried it out,
// is linked with StatusAnswers::AfterAnnouncement: until the device's acknowledgement of the
// write is delivered, a status the same as the last one before the write is the announcement.
//
//   StatusCommandLink link(statusChannel, commandChannel, worker.wakeup(), timing);
//   link.readStatus();                     // the device's state before anything is sent
//   link.listen();                         // status notifications from now on
//   CommandReply reply = link.exchangeCommand({0x02});
//   OperationResult result = Utility::formatKspDeviceError(reply.code);
//
// Threads: the status handler runs on the thread that delivers the notification (or on the
// caller's during readStatus); it stores, completes a waiting command and wakes the worker.
// Commands run on the caller's thread; the protocol serialises them under its command lock.
// The handler holds the link's state, never the link, so a notification still being
// delivered while the link goes away is harmless.

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "sdk/ble/BLEChannel.hpp"
#include "sdk/core/CvWait.hpp"
#include "sdk/core/RBuffer.hpp"
#include "sdk/devices/common/CommandExchange.hpp"
#include "sdk/devices/common/ProtocolTiming.hpp"
#include "sdk/devices/common/RingReaders.hpp"

namespace VexaDevice::Devices {

// One status pack as the device sends it.
struct StatusPack {
    static constexpr size_t Size = 4;
    std::array<uint8_t, Size> bytes{};

    uint8_t battery() const { return bytes[0]; }
    uint8_t error() const { return bytes[1]; }
    uint8_t mode() const { return bytes[2]; }
    uint8_t command() const { return bytes[3]; }
};

// The answer to one command frame: the device mode, the error code (0 accepted) and the code
// of the command the status reports.
struct CommandReply {
    uint8_t mode = 0;
    uint16_t code = 0;
    uint8_t command = 0;

    bool operator==(const CommandReply&) const = default;
};

// How the device answers a frame with its status.
enum class StatusAnswers {
    Directly,           // the next status is the answer
    AfterAnnouncement,  // the current status is announced first, unchanged, as the frame arrives
};

class StatusCommandLink {
public:
    static constexpr int StatusRingCapacity = 32;

    // What an exchange gives when its frame could not be written or no answer came in time:
    // mode 0, code 513 (the frame was not delivered), command 0.
    static const CommandReply NotDelivered;

    StatusCommandLink(std::shared_ptr<BLE::IBLEChannel> status, std::shared_ptr<BLE::IBLEChannel> command,
                      std::weak_ptr<Utility::CvWait> wake, const ProtocolTiming& timing,
                      StatusAnswers answers = StatusAnswers::Directly);
    // Ends the subscription; notification is left as it is (see stopListening).
    ~StatusCommandLink();
    StatusCommandLink(const StatusCommandLink&) = delete;
    StatusCommandLink& operator=(const StatusCommandLink&) = delete;

    // Before listen and readStatus: `observer` is told the mode of every status taken in, on
    // the thread that takes it in, before the command waiting for it is answered.
    void observe(std::function<void(uint8_t mode)> observer);
    // Subscribes to the status characteristic and turns its notification on.
    void listen();
    // Turns the status notification off (a failure is logged, not thrown).
    void stopListening();

    // Reads the status characteristic, up to timing.readAttempts times in a row, and handles
    // the first value read like a notification. Throws rt_exception "Can not read Status" when
    // every attempt failed; does nothing once the link is marked lost.
    void readStatus();

    // Sends one frame and waits for its answer: a failed write is repeated timing.writeRetries
    // times after timing.writeRetryPause, the answer is awaited in timing.replyWaitSteps steps
    // of timing.replyWaitStep; a lost link ends the retries and the wait. A reply with a
    // non-zero error code is returned as received. An empty frame is not sent.
    CommandReply exchangeCommand(const std::vector<uint8_t>& frame) const;

    // Sends a frame that switches the device's mode, as exchangeCommand does, and fails an
    // accepted reply whose mode `reached` refuses (code 513): the device took the frame without
    // carrying it out. Every reply, a refusal too, reports the mode the device is in; a switch
    // that went unanswered leaves the mode unknown (the device may have switched or not) until a
    // switch is answered or the status is read again. With a device that announces its status
    // as each frame arrives, a reply to a frame of the code the device may have answered last
    // may be that announcement: it tells the mode only when it shows the mode reached.
    CommandReply exchangeMode(const std::vector<uint8_t>& frame, const std::function<bool(uint8_t)>& reached);
    // Whether mode() is the device's: false after an unanswered switch, a reply that may be the
    // announcement, or a lost link, until the next status read or answered switch.
    bool modeKnown() const;

    // Writes one frame once, for the commands the device does not answer; true when written.
    bool writeOnce(const std::vector<uint8_t>& frame) const;

    // The link is marked lost when the device disconnects or its protocol is going away; a
    // reconnection takes the mark back (true when it was set).
    void markLinkLost();
    bool takeLinkLost();
    bool isLinkLost() const;

    // From the newest status pack; 0 until the first one.
    int32_t battery() const;
    uint8_t mode() const;

    // For the worker only: the newest pack, once, when packs arrived since the last call.
    std::optional<StatusPack> pollNewest();

    // Names the device in the warning about a status of the wrong length.
    void setDeviceName(const std::string& serial);

private:
    struct State;

    // The exchange of exchangeCommand; empty when the frame went out unanswered or not at all.
    std::optional<CommandReply> answerTo(const std::vector<uint8_t>& frame) const;

    const std::shared_ptr<BLE::IBLEChannel> status_;
    const std::shared_ptr<BLE::IBLEChannel> command_;
    const std::shared_ptr<State> state_;
    std::shared_ptr<BLE::DataBus::Callback> handler_;
    NewestRecordReader<StatusPack> newest_;
};

}  // namespace VexaDevice::Devices
