#include "sdk/devices/kestrane/CommandStreamProtocol.hpp"

#include <stdexcept>

#include "sdk/core/ConversionTables.hpp"
#include "sdk/core/DeviceError.hpp"
#include "sdk/core/DeviceInfoReader.hpp"
#include "sdk/core/Log.hpp"
#include "sdk/core/RtException.hpp"
#include "sdk/devices/common/AmplifierRecordCheck.hpp"
#include "sdk/devices/common/CreationFailure.hpp"
#include "sdk/devices/common/StatusIntake.hpp"
#include "sdk/devices/common/StreamCapabilities.hpp"
#include "sdk/devices/kestrane/KestraneGatt.hpp"

namespace VexaDevice::Kestrane {

using Sensor::SensorCommand;
using Sensor::toInt;
using Utility::formatKspDeviceError;
using Utility::rt_exception;

namespace {

constexpr int StatusRingCapacity = 32;

namespace Frame {
constexpr uint8_t PowerDown = 0x01;
constexpr uint8_t Idle = 0x02;
constexpr uint8_t Signal = 0x03;
constexpr uint8_t Resist = 0x04;
constexpr uint8_t SignalResist = 0x09;
constexpr uint8_t Amplifier = 0x0A;
}  // namespace Frame

constexpr uint8_t UnknownRate = 0xFF;
constexpr uint8_t MaxGainCode = 6;
constexpr uint8_t MaxCurrentCode = 4;
const Devices::AmplifierTables AmplifierTable{[](uint8_t gain) { return gain <= MaxGainCode; },
                                              [](uint8_t current) { return current <= MaxCurrentCode; }};
// Device gain code of the default gain (code 4) sent for amplifier slots beyond the channels.
constexpr uint8_t UnusedSlotGain = 3;
// Sampling-frequency codes of the streams that have a fixed rate.
constexpr uint8_t ResistRateCode = 0;
constexpr uint8_t MotionRateCode = 4;
constexpr uint8_t FpgRateCode = 2;

template <class Channel>
void startIfStopped(const std::shared_ptr<Channel>& channel) {
    channel->startNotifyIfStopped();
}

template <class Channel>
void stopIfStarted(const std::shared_ptr<Channel>& channel) {
    channel->stopNotifyIfStarted();
}

// The frame of an amplifier setting: per slot the signal flag and the device gain code, the
// device current code, per slot the resistance flag. Slots beyond the channels are off.
std::vector<uint8_t> amplifierFrame(const AmplifierSettings& settings, uint32_t channels, uint32_t slots) {
    std::vector<uint8_t> frame{Frame::Amplifier};
    for (uint32_t i = 0; i < slots; ++i) {
        const bool used = i < channels;
        frame.push_back(used && settings.signalEnabled[i] != 0 ? 1 : 0);
        frame.push_back(used ? Utility::gainToDeviceCode(settings.gain[i]) : UnusedSlotGain);
    }
    frame.push_back(Utility::currentToDeviceCode(settings.current));
    for (uint32_t i = 0; i < slots; ++i) frame.push_back(i < channels && settings.resistEnabled[i] != 0 ? 1 : 0);
    return frame;
}

}  // namespace

CommandStreamProtocol::CommandStreamProtocol(std::shared_ptr<BLE::IBLEDevice> device,
                                             BLE::ServiceChannels deviceInformation, ProtocolIdentity identity,
                                             const Devices::ProtocolTiming& timing)
    : SideStreams(commandLock_, commandSender(), frameWriter(),
                  SideStreamRates{MotionRateCode, FpgRateCode, UnknownRate}),
      timing_(timing),
      device_(std::move(device)),
      deviceInformation_(std::move(deviceInformation)),
      identity_(identity),
      linkLoss_(device_),
      statusRing_(std::make_shared<Utility::RBuffer<DevStatusPack>>(StatusRingCapacity)),
      exchange_([this](const std::vector<uint8_t>& frame) { return command_->write(frame); }, linkLoss_.flag(),
                OpCmdRes{0, Utility::kKspErrors.dataSend, 0}, timing_),
      worker_(timing_.workerWait) {}

CommandStreamProtocol::~CommandStreamProtocol() { stop(); }

void CommandStreamProtocol::start() {
    try {
        if (deviceInformation_.empty()) throw rt_exception("DeviceInfo Service cannot be empty.");
        if (!device_) throw rt_exception("BLE device cannot be null.");
        DeviceVersion version;
        const bool cancel = linkLoss_.isLost();
        Utility::readDeviceInfo(deviceInformation_, version, &cancel);
        version_.set(version);
        setUpGatt();
        readStatus();
        fillCapabilities();

        const std::weak_ptr<CommandStreamProtocol> weak = weak_from_this();
        statusHandler_ = Devices::listenTo(*status_, weak, &CommandStreamProtocol::onStatus);
        worker_.startFor(weak, &CommandStreamProtocol::workerPass);

        configureDevice();
        bringToRest();
    } catch (...) {
        stop();
        Devices::rethrowProtocolCreationFailure(std::current_exception(), identity_.subject, identity_.unknownFailure);
    }
}

void CommandStreamProtocol::stop() {
    linkLoss_.markLost();
    Devices::stopStatusNotify(status_.get(), identity_.subject);
    worker_.stop();
}

void CommandStreamProtocol::setUpGatt() {
    layout_ = layoutFor(version_.get());
    const KestraneGattChannels found = findKestraneChannels(device_->getChannelMap(), layout_.suffix, true);
    status_ = found.status;
    command_ = found.command;
    const std::weak_ptr<Utility::CvWait> wake = worker_.wakeup();
    const uint8_t order = layout_.littleEndian ? 1 : 0;
    signal_ = std::make_shared<BLESignalChannel>(found.signal, layout_.signal, wake, order);
    resist_ = std::make_shared<BLEResistChannel>(found.resist, layout_.resist, wake, 1);
    motion().setParams(layout_.motion);
    fpg().setParams(layout_.fpg);
    motion().open(found.motion, wake, order);
    fpg().open(found.fpg, wake, order);
}

void CommandStreamProtocol::fillCapabilities() {
    Devices::Capabilities offered{layout_.commands, layout_.parameters, layout_.features};
    if (motion().channel()) Devices::addMotionStream(offered);
    if (fpg().channel()) Devices::addFpgStream(offered);
    offer(std::move(offered));
}

void CommandStreamProtocol::readStatusAgain() {
    Devices::readStatusValue(*status_, timing_.readAttempts, linkLoss_.flag(),
                             [this](const std::vector<uint8_t>& value) { onStatus(value); });
}

void CommandStreamProtocol::readStatus() {
    readStatusAgain();
    trust_.confirmed();
}

void CommandStreamProtocol::onStatus(const std::vector<uint8_t>& bytes) {
    const auto packs = Devices::keepStatusPacks(bytes, *statusRing_, serialNumber());
    if (!packs.empty()) {
        const DevStatusPack& last = packs.back();
        battery_ = last.battery();
        mode_ = last.mode();
        motionState_ = last.motionState();
        fpgState_ = last.fpgState();
        exchange_.deliver(OpCmdRes{last.mode(), last.result(), last.command()});
    }
    worker_.wake();
}

void CommandStreamProtocol::bringToRest() {
    if (isMeasuring(mode_)) powerDown();
    if (fpg().channel() && fpgState_ == StreamRunning) stopFPG();
    if (motion().channel() && motionState_ == StreamRunning) stopMEMS();
}

OpCmdRes CommandStreamProtocol::exchange(const std::vector<uint8_t>& frame) {
    const uint8_t code = frame.at(0);
    return exchange_.send(frame, [code](const OpCmdRes& reply) { return reply.command == code; });
}

OperationResult CommandStreamProtocol::modeCommand(DevAmpStatus mode, uint8_t code,
                                                   void (CommandStreamProtocol::*accepted)()) {
    const auto lock = lockCommands();
    // Skipped only when the device is known to be in the mode (a mode left unknown is read
    // first); a link that is down fails every command.
    if (linkLoss_.isDown()) return formatKspDeviceError(exchange_.failure().code);
    if (trust_.relearn(*status_, [this](const std::vector<uint8_t>& value) { onStatus(value); }) &&
        mode_ == toByte(mode))
        return OperationResult::done();
    const OpCmdRes reply = exchange({code});
    // Accepted while the status still shows another mode: the command was not carried out.
    const uint16_t result = reply.code == 0 && reply.mode != toByte(mode) ? Utility::kKspErrors.dataSend : reply.code;
    if (result == 0) {
        trust_.confirmed();
        (this->*accepted)();
    } else {
        trust_.forget();
    }
    return formatKspDeviceError(result);
}

void CommandStreamProtocol::streamNone() {
    stopIfStarted(signal_);
    stopIfStarted(resist_);
}

void CommandStreamProtocol::streamSignalOnly() {
    stopIfStarted(resist_);
    startIfStopped(signal_);
}

void CommandStreamProtocol::streamResistOnly() {
    startIfStopped(resist_);
    stopIfStarted(signal_);
}

void CommandStreamProtocol::streamBoth() {
    startIfStopped(signal_);
    startIfStopped(resist_);
}

OperationResult CommandStreamProtocol::powerDown() {
    return modeCommand(DevAmpStatus::PowerDown, Frame::PowerDown, &CommandStreamProtocol::streamNone);
}

OperationResult CommandStreamProtocol::setIdle() {
    return modeCommand(DevAmpStatus::Idle, Frame::Idle, &CommandStreamProtocol::streamNone);
}

OperationResult CommandStreamProtocol::startSignal() {
    return modeCommand(DevAmpStatus::Signal, Frame::Signal, &CommandStreamProtocol::streamSignalOnly);
}

OperationResult CommandStreamProtocol::startResist() {
    return modeCommand(DevAmpStatus::Resist, Frame::Resist, &CommandStreamProtocol::streamResistOnly);
}

OperationResult CommandStreamProtocol::startSignalAndResist() {
    if (mode_ != toByte(DevAmpStatus::SignalResist) &&
        !offered().commands.contains(toInt(SensorCommand::StartSignalAndResist)))
        return OperationResult::failed(Utility::kKspErrors.unsupportedCommand,
                                       "Unsupported Command: [StartSignalAndResist]");
    return modeCommand(DevAmpStatus::SignalResist, Frame::SignalResist, &CommandStreamProtocol::streamBoth);
}

SendFrame CommandStreamProtocol::commandSender() {
    return
        [this](const std::vector<uint8_t>& frame, const char*) { return formatKspDeviceError(exchange(frame).code); };
}

SideStreams::WriteOnce CommandStreamProtocol::frameWriter() {
    return [this](const std::vector<uint8_t>& frame) { return command_->write(frame); };
}

OperationResult CommandStreamProtocol::applyAmplifier(const AmplifierSettings& settings,
                                                      const std::function<void()>& accepted) {
    const auto lock = lockCommands();
    SignalParams signal = signal_->converterParams();
    ResistParams resist = resist_->converterParams();
    const uint32_t channels = layout_.channelCount;
    const Devices::AmplifierRecordBytes record{settings.signalEnabled, settings.resistEnabled, settings.gain,
                                               settings.current};
    if (OperationResult refused = Devices::checkAmplifierRecord(record, channels, AmplifierTable); !refused)
        return refused;
    for (uint32_t ch = 0; ch < channels; ++ch) {
        const double factor = Utility::gainToFactor(settings.gain[ch]);
        signal.gain[ch] = factor;
        resist.gain[ch] = factor;
        signal.channelEnabled[ch] = settings.signalEnabled[ch];
        resist.resistEnabled[ch] = settings.resistEnabled[ch];
    }
    resist.current = Utility::currentToAmperes(settings.current);

    const OpCmdRes reply = exchange(amplifierFrame(settings, channels, layout_.amplifierSlots));
    if (reply.code == 0) {
        signal_->setConverterParams(signal);
        resist_->setConverterParams(resist);
        accepted();
    }
    return formatKspDeviceError(reply.code);
}

uint8_t CommandStreamProtocol::samplingFrequency() const {
    // Codes 3 (125 Hz) to 9 (8000 Hz) of the sampling-frequency table.
    for (uint8_t code = 3; code <= 9; ++code) {
        if (Utility::samplingFrequencyToHz(code) == layout_.samplingRate) return code;
    }
    return UnknownRate;
}

uint8_t CommandStreamProtocol::samplingFrequencyResist() const { return resist_ ? ResistRateCode : UnknownRate; }

OperationResult CommandStreamProtocol::onConnected() {
    const auto lock = lockCommands();
    if (linkLoss_.relink()) {
        DeviceVersion version;
        const bool cancel = false;
        Utility::readDeviceInfo(deviceInformation_, version, &cancel);
        version_.set(version);
        readStatus();
    }
    return OperationResult::done();
}

// The mode stays trusted: packs the device sent since its last status keep their meaning. A read
// that fails leaves the mode unknown, for the next command to read first.
void CommandStreamProtocol::onServicesRebound() {
    const auto lock = lockCommands();
    trust_.readOrForget([this] { readStatusAgain(); });
}

OperationResult CommandStreamProtocol::onDisconnected() {
    if (linkLoss_.reportLoss()) trust_.forget();
    return OperationResult::done();
}

template <class Channel, class Reader, class Bus>
void CommandStreamProtocol::drain(const std::shared_ptr<Channel>& channel, Reader& reader, bool passOn, Bus& bus) {
    if (!channel) return;
    const auto batch = reader.poll(channel->ring());
    if (batch.empty() || !passOn) return;
    std::vector<typename Channel::Record> records;
    records.reserve(batch.size());
    for (const auto& record : batch) {
        if constexpr (requires { record.Samples; }) {
            if (record.Samples.size() < layout_.channelCount) continue;
        }
        records.push_back(record);
    }
    bus.notify(records);
}

void CommandStreamProtocol::workerPass() {
    if (const auto status = statusReader_.poll(*statusRing_)) {
        statusPublisher_.publish(*status, *batteryBus_, *modeBus_);
    }
    drain(signal_, signalReader_, passesSignal(statusPublisher_.mode()), *signalBus_);
    drain(resist_, resistReader_, passesResist(statusPublisher_.mode()), *resistBus_);
    publishStreams(*motionBus_, *fpgBus_);
}

}  // namespace VexaDevice::Kestrane
