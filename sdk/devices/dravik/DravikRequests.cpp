#include "sdk/devices/dravik/DravikRequests.hpp"

#include <algorithm>
#include <utility>

#include "sdk/core/ByteReaders.hpp"
#include "sdk/devices/dravik/DravikResult.hpp"

namespace VexaDevice::Dravik {

namespace {

Devices::ProtocolTiming exchangeTiming(const DravikTiming& timing) {
    Devices::ProtocolTiming exchange;
    exchange.writeRetryPause = timing.writeRetryPause;
    exchange.writeRetries = timing.writeRetries;
    exchange.replyWaitStep = timing.replyStep;
    exchange.replyWaitSteps = static_cast<int>(std::max<int64_t>(1, timing.replyTimeout / timing.replyStep));
    return exchange;
}

}  // namespace

DravikRequests::DravikRequests(Channel command, Channel reply, const Devices::LinkLoss& linkLoss,
                               const DravikTiming& timing)
    : reply_(std::move(reply)),
      timing_(timing),
      idGenerator_(std::random_device{}()),
      exchange_([command = std::move(command)](const std::vector<uint8_t>& frame) { return command->write(frame); },
                linkLoss.flag(), OpCmdRes{ErrDataSend, 0, 0, {}, {}}, exchangeTiming(timing)) {}

uint32_t DravikRequests::nextRequestId() { return idRange_(idGenerator_); }

OperationResult DravikRequests::request(uint8_t command, const std::string& name, const std::vector<uint8_t>& payload,
                                        OpCmdRes* reply) {
    const auto frame = requestFrame(nextRequestId(), command, name, payload);
    setNotify(reply_, true);
    const auto result = exchange(frame, command == FsFileCrc32 ? timing_.checksumTimeout : timing_.replyTimeout, reply);
    setNotify(reply_, false);
    return result;
}

OperationResult DravikRequests::exchange(const std::vector<uint8_t>& frame, std::chrono::milliseconds timeout,
                                         OpCmdRes* reply) {
    const uint32_t id = Utility::decodeUnsigned(frame.data(), 4, true);
    const uint8_t command = frame.size() > 4 ? frame[4] : 0;
    const auto steps = static_cast<int>(
        std::max<int64_t>(1, (timeout.count() == 0 ? std::chrono::milliseconds(65535) : timeout) / timing_.replyStep));
    OpCmdRes answer = exchange_.sendNamed(
        frame, [id, command](const OpCmdRes& value) { return value.requestId == id && value.command == command; },
        steps);
    const OperationResult result = dravikDeviceResult(answer.result);
    if (reply != nullptr) {
        *reply = std::move(answer);
    }
    return result;
}

void DravikRequests::deliver(const std::vector<uint8_t>& bytes) {
    if (auto reply = parseReply(bytes)) {
        exchange_.deliver(*reply);
    }
}

}  // namespace VexaDevice::Dravik
