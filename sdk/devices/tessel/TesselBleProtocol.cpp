#include "sdk/devices/tessel/TesselBleProtocol.hpp"

#include <thread>

#include "sdk/core/ConversionTables.hpp"
#include "sdk/core/Log.hpp"
#include "sdk/core/RtException.hpp"
#include "sdk/devices/common/CreationFailure.hpp"
#include "sdk/devices/common/PackSplitter.hpp"

namespace VexaDevice::Tessel {

namespace {

constexpr size_t BusCapacity = 2048;
constexpr int RingCapacity = 768;
// Highest command code the device answers.
constexpr uint8_t LastReplyCode = 168;

const char* const ProtocolName = "Tessel BLE Protocol";

int64_t nanoseconds(std::chrono::milliseconds duration) {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(duration).count();
}

// A reply that says a command was not done, as the library's exception.
[[noreturn]] void throwFailure(const OpCmdRes& reply) {
    const OperationResult result = deviceResult(reply);
    throw Utility::rt_exception(result.message, result.code);
}

}  // namespace

std::shared_ptr<TesselBleProtocol> TesselBleProtocol::create(std::shared_ptr<BLE::IBLEChannel> rx,
                                                             std::shared_ptr<BLE::IBLEChannel> tx,
                                                             TesselTiming timing) {
    if (!rx) throw Utility::rt_exception("Rx Channel cannot be null.");
    if (!tx) throw Utility::rt_exception("Tx Channel cannot be null.");
    return Devices::ProtocolStart::make<TesselBleProtocol>(std::move(rx), std::move(tx), std::move(timing));
}

TesselBleProtocol::TesselBleProtocol(std::shared_ptr<BLE::IBLEChannel> rx, std::shared_ptr<BLE::IBLEChannel> tx,
                                     TesselTiming timing)
    : timing_(std::move(timing)),
      rx_(std::move(rx)),
      tx_(std::move(tx)),
      batteryBus_(std::make_shared<Devices::BatteryBus>(BusCapacity)),
      electrodeBus_(std::make_shared<ElectrodeBus>(BusCapacity)),
      signalBus_(std::make_shared<SignalBus>(BusCapacity)),
      respirationBus_(std::make_shared<RespirationBus>(BusCapacity)),
      motionBus_(std::make_shared<MotionBus>(BusCapacity)),
      envelopeBus_(std::make_shared<EnvelopeBus>(BusCapacity)),
      quaternionBus_(std::make_shared<QuaternionBus>(BusCapacity)),
      ring_(std::make_shared<Utility::RBuffer<TesselPack>>(RingCapacity)),
      exchange_([this](const std::vector<uint8_t>& frame) { return tx_->write(frame); }, stopping_,
                OpCmdRes{0, 0, DeviceError{Utility::kSpacedErrors.dataSend}},
                Devices::ProtocolTiming{.replyWaitStep = timing_.replyWait, .replyWaitSteps = 1}),
      worker_(timing_.workerWait) {}

TesselBleProtocol::~TesselBleProtocol() { stop(); }

void TesselBleProtocol::start() {
    try {
        const std::weak_ptr<TesselBleProtocol> weak = weak_from_this();
        running_ = true;
        worker_.startFor(weak, &TesselBleProtocol::workerPass);
        rxHandler_ = std::make_shared<BLE::DataBus::Callback>([weak](const std::vector<uint8_t>& bytes) {
            if (const auto protocol = weak.lock()) protocol->onNotification(bytes);
        });
        if (const auto bus = rx_->dataEvent().lock()) bus->subscribe(rxHandler_);
        rx_->startNotify();

        const auto lock = lockCommands();
        initialise();
        ready_ = true;
        if (batteryPercent_ < 1) {
            std::unique_lock wait(batteryMutex_);
            batteryArrived_.wait_for(wait, timing_.firstBatteryWait,
                                     [this] { return batteryPercent_ >= 1 || stopping_; });
        }
    } catch (...) {
        stop();
        Devices::rethrowProtocolCreationFailure(std::current_exception(), ProtocolName);
    }
}

void TesselBleProtocol::stop() {
    ready_ = false;
    running_ = false;
    stopping_ = true;
    try {
        rx_->stopNotify();
    } catch (const std::exception& e) {
        Utility::sdkLog().warn("Tessel: stopping the notifications failed: {}", e.what());
    }
    worker_.stop();
}

void TesselBleProtocol::initialise() {
    readSerialNumber();
    requestBattery();
    readEcho();
    if (firmwareMode_ != 0) {
        readSensorParams();
    } else {
        const OperationResult switched = switchFirmwareMode(1);
        if (!switched) throw Utility::rt_exception(switched.message, switched.code);
    }
    readMotionCounterParams();
}

OperationResult TesselBleProtocol::switchFirmwareMode(int32_t mode) {
    if (mode == firmwareMode_) return OperationResult::done();
    const OpCmdRes reply = execCommand(mode != 0 ? Code::ActivateApp : Code::ActivateBoot, {}, timing_.switchRetries);
    const OperationResult result = deviceResult(reply);
    if (result) {
        firmwareMode_ = mode;
        readEcho();
        if (mode == 1) readSensorParams();
    }
    return result;
}

template <class Payload>
Payload TesselBleProtocol::readPayload(uint8_t code, int retries) {
    const OpCmdRes reply = execCommand(code, {}, retries);
    if (!reply.ok) throwFailure(reply);
    return std::get<Payload>(reply.payload);
}

void TesselBleProtocol::readSerialNumber() {
    serial_ = static_cast<uint32_t>(readPayload<ReplyValue>(Code::GetSerialNum, timing_.readRetries).value) & 0xFFFFFF;
    serialKnown_ = true;
}

void TesselBleProtocol::readEcho() {
    const EchoInfo echo = readPayload<EchoInfo>(Code::Echo, timing_.readRetries);
    {
        std::lock_guard lock(stateMutex_);
        echo_ = echo;
    }
    firmwareMode_ = echo.mode;
}

void TesselBleProtocol::readSensorParams() {
    if (firmwareMode_ == 0) return;
    auto capabilities = std::make_shared<const TesselCapabilities>(
        readPayload<TesselCapabilities>(Code::GetSensorParam, timing_.readRetries));
    packCounter_.setSamplingFrequency(
        static_cast<uint64_t>(Utility::samplingFrequencyToHz(capabilities->samplingFrequency)));
    std::lock_guard lock(capabilitiesMutex_);
    capabilities_ = std::move(capabilities);
}

void TesselBleProtocol::readMotionCounterParams() {
    if (!capabilities()->offered.parameters.contains(toInt(Sensor::SensorParameter::MotionCounterParamPack))) return;
    setMotionCounterParams(readPayload<MotionCounterParams>(Code::GetMotionCounterParam, timing_.readRetries));
}

bool TesselBleProtocol::requestBattery() {
    return sendCommandNoReply(Code::GetBatteryV, timing_.requestRetries).ok != 0;
}

bool TesselBleProtocol::requestElectrodeState() {
    return sendCommandNoReply(Code::GetElectrodeState, timing_.requestRetries).ok != 0;
}

OpCmdRes TesselBleProtocol::execCommand(uint8_t code, const CommandArgs& args, int retries) {
    Utility::sdkLog().trace("execCommand: [{}]", commandName(code));
    const auto answers = [code](const OpCmdRes& reply) {
        return reply.command == code || reply.command == Code::Error;
    };
    const auto reply = exchange_.sendEachWait(buildCommandFrame(code, args, serial_), retries + 1, answers);
    if (!reply) return OpCmdRes{0, code, DeviceError{Utility::kSpacedErrors.dataSend}};
    return *reply;
}

OpCmdRes TesselBleProtocol::sendCommandNoReply(uint8_t code, int retries) {
    const std::vector<uint8_t> frame = buildCommandFrame(code, {}, serial_);
    noteRequest(code, true);
    bool written = false;
    for (int retriesLeft = retries; running_; --retriesLeft) {
        written = tx_->write(frame);
        if (written || retriesLeft == 0) break;
        std::this_thread::sleep_for(timing_.requestRetryPause);
    }
    if (!written) noteRequest(code, false);
    return OpCmdRes{static_cast<uint8_t>(written), code,
                    DeviceError{written ? ErrorCode::NoError : Utility::kSpacedErrors.dataSend}};
}

void TesselBleProtocol::noteRequest(uint8_t code, bool outstanding) {
    auto& deadline = code == Code::GetBatteryV ? batteryRequestOpen_ : electrodeRequestOpen_;
    deadline = outstanding ? timing_.clock() + nanoseconds(timing_.replyWait) : 0;
}

bool TesselBleProtocol::answersRequest() {
    const int64_t now = timing_.clock();
    for (const uint8_t request : {Code::GetBatteryV, Code::GetElectrodeState}) {
        const auto& deadline = request == Code::GetBatteryV ? batteryRequestOpen_ : electrodeRequestOpen_;
        if (deadline.load() > now) {
            noteRequest(request, false);
            return true;
        }
    }
    return false;
}

OperationResult TesselBleProtocol::checkCommand(Sensor::SensorCommand command) const {
    if (capabilities()->offered.commands.contains(toInt(command))) return OperationResult::done();
    return OperationResult::failed(Utility::kSpacedErrors.unsupportedCommand,
                                   "Unsupported Command: [" + Sensor::commandToString(command) + "]");
}

OperationResult TesselBleProtocol::checkParameter(Sensor::SensorParameter parameter,
                                                  Sensor::SensorParamAccess access) const {
    const auto caps = capabilities();
    const auto found = caps->offered.parameters.find(toInt(parameter));
    if (found == caps->offered.parameters.end())
        return OperationResult::failed(Utility::kSpacedErrors.unsupportedParam,
                                       "Unsupported Parameter: [" + Sensor::parameterToString(parameter) + "]");
    if (access == Sensor::SensorParamAccess::ReadWrite && found->second != toInt(Sensor::SensorParamAccess::ReadWrite))
        return OperationResult::failed(Utility::kSpacedErrors.unsupportedParamAccess,
                                       "Unsupported Parameter access: [" + Sensor::parameterToString(parameter) + "]");
    return OperationResult::done();
}

void TesselBleProtocol::onDisconnected() {
    needsReinit_ = true;
    ready_ = false;
    serialKnown_ = false;
}

void TesselBleProtocol::onServicesRebound() {
    const auto lock = lockCommands();
    if (ready_) requestBattery();
}

bool TesselBleProtocol::reinitAfterReconnect() {
    const auto lock = lockCommands();
    if (needsReinit_.exchange(false)) {
        try {
            initialise();
        } catch (...) {
            needsReinit_ = true;  // the next connection tries again
            throw;
        }
    }
    ready_ = true;
    return true;
}

std::shared_ptr<const TesselCapabilities> TesselBleProtocol::capabilities() const {
    std::lock_guard lock(capabilitiesMutex_);
    return capabilities_;
}

EchoInfo TesselBleProtocol::echo() const {
    std::lock_guard lock(stateMutex_);
    return echo_;
}

FirmwareVersion TesselBleProtocol::firmwareVersion() const {
    std::lock_guard lock(stateMutex_);
    return FirmwareVersion{echo_.major, echo_.minor};
}

MotionCounterParams TesselBleProtocol::motionCounterParams() const {
    std::lock_guard lock(stateMutex_);
    return motionCounter_;
}

void TesselBleProtocol::setMotionCounterParams(const MotionCounterParams& params) {
    std::lock_guard lock(stateMutex_);
    motionCounter_ = params;
}

void TesselBleProtocol::onNotification(const std::vector<uint8_t>& bytes) {
    const auto split = Devices::splitPacks<TesselPack>(bytes);
    for (const TesselPack& pack : split.packs) {
        if (pack.lead() != FrameMark) {
            ring_->push(pack);
        } else if (isDataReply(pack)) {
            noteRequest(pack.code(), false);
            ring_->push(pack);
        } else {
            onReply(pack);
        }
    }
    if (split.remainder) Utility::sdkLog().warn("Error data length. Device: [{:06X}]", serial_.load());
    if (split.packs.size() > 1) Utility::sdkLog().trace("Recived more then one pack: [{}]", split.packs.size());
    worker_.wake();
}

void TesselBleProtocol::onReply(const TesselPack& pack) {
    if (pack.code() > LastReplyCode) return;
    const auto reply = decodeReply(pack, firmwareVersion());
    if (!reply) return;
    if (reply->command == Code::Error) {
        const int32_t code = std::get<DeviceError>(reply->payload).code;
        Utility::sdkLog().warn("Device error: [{}] Code: [{}]", deviceErrorName(code), code);
        if (answersRequest()) return;
    }
    exchange_.deliver(*reply);
}

bool TesselBleProtocol::requestFromWorker(uint8_t code) {
    const std::unique_lock lock(commandLock_, std::try_to_lock);
    if (!lock.owns_lock()) return false;
    return code == Code::GetBatteryV ? requestBattery() : requestElectrodeState();
}

void TesselBleProtocol::workerPass() {
    const int64_t now = timing_.clock();
    if (serialKnown_ && ready_ && now - lastBatteryRequest_ > nanoseconds(timing_.batteryPeriod)) {
        if (requestFromWorker(Code::GetBatteryV)) lastBatteryRequest_ = now;
    }
    const auto packs = reader_.poll(*ring_);
    if (packs.empty()) return;
    publish(classifyPacks(packs));

    if (!serialKnown_ || !ready_ || !running_) return;
    const auto caps = capabilities();
    constexpr uint8_t ElectrodeWatch = 3;
    if (caps->offered.parameters.contains(toInt(Sensor::SensorParameter::ADCInputState)) &&
        caps->adcInput == ElectrodeWatch && now - lastElectrodeRequest_ >= nanoseconds(timing_.electrodePeriod)) {
        if (requestFromWorker(Code::GetElectrodeState)) lastElectrodeRequest_ = now;
    }
}

void TesselBleProtocol::publish(const PackLists& lists) {
    if (!lists.battery.empty()) {
        const int32_t percent = batteryPercentFromMillivolts(batteryMillivolts(lists.battery.back()));
        {
            std::lock_guard lock(batteryMutex_);
            batteryPercent_ = percent;
            batteryKnown_ = true;
        }
        batteryArrived_.notify_all();
        batteryBus_->notify(percent);
    }
    if (!lists.electrode.empty()) {
        const ElectrodeState state = decodeElectrodeState(lists.electrode.back());
        electrodeState_ = state;
        electrodeBus_->notify(state);
    }
    // Packs that arrive while a setting they need is unknown cannot be scaled: they are dropped,
    // and the user is told why once.
    const auto caps = capabilities();
    if (!lists.signal.empty() && signalDrop_.settingsKnown({{caps->gain, "gain"}, {caps->dataOffset, "data offset"}})) {
        const double gainFactor = Utility::gainToFactor(caps->gain);
        std::vector<_SignalData> records;
        records.reserve(lists.signal.size());
        for (const TesselPack& pack : lists.signal) {
            records.push_back(decodeSignal(pack, gainFactor, caps->dataOffset));
            packCounter_.onPack(records.back().PackNum);
        }
        signalBus_->notify(records);
    }
    if (!lists.respiration.empty()) {
        std::vector<_RespirationData> records;
        for (const TesselPack& pack : lists.respiration) records.push_back(decodeRespiration(pack));
        respirationBus_->notify(records);
    }
    if (!lists.motion.empty() && motionDrop_.settingsKnown({{caps->accelSens, "accelerometer sensitivity"},
                                                            {caps->gyroSens, "gyroscope sensitivity"}})) {
        std::vector<_MEMSData> records;
        for (const TesselPack& pack : lists.motion)
            records.push_back(decodeMotion(pack, caps->accelSens, caps->gyroSens));
        motionBus_->notify(records);
    }
    if (!lists.quaternion.empty()) {
        std::vector<_QuaternionData> records;
        for (const TesselPack& pack : lists.quaternion) records.push_back(decodeQuaternion(pack));
        quaternionBus_->notify(records);
    }
    if (!lists.envelope.empty()) {
        std::vector<_EnvelopeData> records;
        for (const TesselPack& pack : lists.envelope) records.push_back(decodeEnvelope(pack));
        envelopeBus_->notify(records);
    }
}

}  // namespace VexaDevice::Tessel
