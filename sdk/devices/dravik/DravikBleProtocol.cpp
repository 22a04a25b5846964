#include "sdk/devices/dravik/DravikBleProtocol.hpp"

#include <algorithm>
#include <future>
#include <thread>

#include "sdk/core/ByteReaders.hpp"
#include "sdk/core/DeviceInfoReader.hpp"
#include "sdk/core/Log.hpp"
#include "sdk/core/RtException.hpp"
#include "sdk/devices/common/CreationFailure.hpp"
#include "sdk/devices/dravik/DravikGatt.hpp"
#include "sdk/devices/dravik/DravikResult.hpp"

namespace VexaDevice::Dravik {

using Utility::rt_exception;

namespace {

constexpr size_t kBusCapacity = 2048;
constexpr int kRingCapacity = 1024;
constexpr size_t kRawBytesPerNotification = 158;

const char* const kProtocolName = "Dravik BLE Protocol";
const char* const kUnknownCreationFailure = "Failed create Cannot create Dravik BLE Protocol.";

Devices::ProtocolTiming exchangeTiming(const DravikTiming& timing) {
    Devices::ProtocolTiming exchange;
    exchange.writeRetryPause = timing.writeRetryPause;
    exchange.writeRetries = timing.writeRetries;
    exchange.replyWaitStep = timing.replyStep;
    exchange.replyWaitSteps = static_cast<int>(std::max<int64_t>(1, timing.replyTimeout / timing.replyStep));
    return exchange;
}

bool hasMode(const std::shared_ptr<BLE::IBLEChannel>& channel, int32_t mode) {
    const auto info = channel->rawChannelInfo();
    return info && info->supports(mode);
}

void checkDeviceVersion(const DeviceVersion& version) {
    if (version.hardwareMajor == 0 || version.firmwareMajor == 0) {
        throw rt_exception("Device unsupported. Failed recognized the device version");
    }
    if (version.modelMajor != kModelCharacter) {
        throw rt_exception("Device unsupported. Failed recognized the device Family");
    }
}

std::shared_ptr<BLE::IBLEChannel> findChannel(const BLE::ChannelMap& map, const Utility::UUID& service,
                                              const Utility::UUID& characteristic) {
    const auto foundService = map.find(service);
    if (foundService == map.end()) {
        return nullptr;
    }
    const auto found = foundService->second.find(characteristic);
    return found == foundService->second.end() ? nullptr : found->second;
}

}  // namespace

std::shared_ptr<DravikBleProtocol> DravikBleProtocol::create(std::shared_ptr<BLE::IBLEDevice> device,
                                                             BLE::ServiceChannels deviceInformation,
                                                             const DravikTiming& timing) {
    std::shared_ptr<DravikBleProtocol> protocol(
        new DravikBleProtocol(std::move(device), std::move(deviceInformation), timing));
    protocol->start();
    return protocol;
}

DravikBleProtocol::DravikBleProtocol(std::shared_ptr<BLE::IBLEDevice> device, BLE::ServiceChannels deviceInformation,
                                     const DravikTiming& timing)
    : timing_(timing),
      device_(std::move(device)),
      deviceInformation_(std::move(deviceInformation)),
      linkLoss_(device_),
      idGenerator_(std::random_device{}()),
      rawRing_(std::make_shared<Utility::RBuffer<std::vector<uint8_t>>>(kRingCapacity)),
      fileRing_(std::make_shared<Utility::RBuffer<_FileData>>(kRingCapacity)),
      processing_(makeSignalProcessParam(DravikAmplifierParam{})),
      batteryBus_(std::make_shared<BatteryBus>(kBusCapacity)),
      modeBus_(std::make_shared<ModeBus>(kBusCapacity)),
      signalResistBus_(std::make_shared<SignalResistBus>(kBusCapacity)),
      signalBus_(std::make_shared<SignalBus>(kBusCapacity)),
      resistBus_(std::make_shared<ResistBus>(kBusCapacity)),
      rawSignalBus_(std::make_shared<RawSignalBus>(kBusCapacity)),
      fsStatusBus_(std::make_shared<FsStatusBus>(kBusCapacity)),
      fileStreamBus_(std::make_shared<FileStreamBus>(kBusCapacity)),
      fileListBus_(std::make_shared<FileListBus>(kBusCapacity)),
      batteryVoltageBus_(std::make_shared<BatteryBus>(kBusCapacity)),
      stimStateBus_(std::make_shared<StimStateBus>(kBusCapacity)),
      stimSyncBus_(std::make_shared<StimSyncBus>(kBusCapacity)),
      exchange_([this](const std::vector<uint8_t>& frame) { return fsCommand_->write(frame); }, linkLoss_.flag(),
                OpCmdRes{ErrDataSend, 0, 0, {}, {}}, exchangeTiming(timing)),
      worker_(timing.workerWait) {}

DravikBleProtocol::~DravikBleProtocol() {
    stop();
    Utility::sdkLog().trace("[DravikBleProtocol]:[deleted]");
}

void DravikBleProtocol::start() {
    try {
        if (deviceInformation_.empty()) {
            throw rt_exception("DeviceInfo Service cannot be empty.");
        }
        deviceName_ = device_->name();
        DeviceVersion version;
        const bool cancel = false;
        Utility::readDeviceInfo(deviceInformation_, version, &cancel);
        version_.set(version);
        setUpChannels();
        readAdcConfig();
        readBattery();
        subscribe(battery_channel_, batteryHandler_, &DravikBleProtocol::onBattery);
        subscribe(acsData_, dataHandler_, &DravikBleProtocol::onData);
        subscribe(fsReply_, replyHandler_, &DravikBleProtocol::onReply);
        subscribe(fsStatusChannel_, fsStatusHandler_, &DravikBleProtocol::onFsStatus);
        subscribe(fsStream_, fsStreamHandler_, &DravikBleProtocol::onFsStream);
        battery_channel_->startNotify();
        readAcsStatus();
        readFsStatus();
        setUpStimulator();
        fillCapabilities();
        nextStatusPoll_ = std::chrono::steady_clock::now() + timing_.statusPollPeriod;
        running_ = true;
        worker_.startFor(weak_from_this(), &DravikBleProtocol::workerPass);
    } catch (...) {
        stop();
        Devices::rethrowProtocolCreationFailure(std::current_exception(), kProtocolName, kUnknownCreationFailure);
    }
}

void DravikBleProtocol::stop() {
    running_ = false;
    linkLoss_.markLost();
    // Unsubscribed first: a notification in flight finds no protocol behind its handler.
    batteryHandler_.reset();
    dataHandler_.reset();
    replyHandler_.reset();
    fsStatusHandler_.reset();
    fsStreamHandler_.reset();
    ptsStateHandler_.reset();
    ptsSyncHandler_.reset();
    worker_.stop();
    for (const Channel* channel : {&battery_channel_, &acsData_}) {
        if (*channel) {
            setNotify(*channel, false);
        }
    }
}

void DravikBleProtocol::setUpChannels() {
    checkDeviceVersion(version_.get());
    const BLE::ChannelMap map = device_->getChannelMap();
    battery_channel_ = findChannel(map, BatteryServiceUuid, BatteryLevelUuid);
    acsStatus_ = findChannel(map, AcsServiceUuid, AcsStatusUuid);
    acsConfig_ = findChannel(map, AcsServiceUuid, AcsConfigUuid);
    acsCommand_ = findChannel(map, AcsServiceUuid, AcsCommandUuid);
    acsData_ = findChannel(map, AcsServiceUuid, AcsDataUuid);
    fsStatusChannel_ = findChannel(map, FsServiceUuid, FsStatusUuid);
    fsCommand_ = findChannel(map, FsServiceUuid, FsCommandUuid);
    fsReply_ = findChannel(map, FsServiceUuid, FsReplyUuid);
    fsStream_ = findChannel(map, FsServiceUuid, FsStreamUuid);
    const std::pair<const Channel*, const char*> required[] = {
        {&battery_channel_, "Battery Channel cannot be null."},
        {&acsStatus_, "ACS Status Channel cannot be null."},
        {&acsConfig_, "ACS Config Channel cannot be null."},
        {&acsCommand_, "ACS Command Channel cannot be null."},
        {&acsData_, "ACS Data Channel cannot be null."},
        {&fsStatusChannel_, "FS Status Channel cannot be null."},
        {&fsCommand_, "FS Command Channel cannot be null."},
        {&fsReply_, "FS Reply Channel cannot be null."},
        {&fsStream_, "FS Stream Channel cannot be null."},
    };
    for (const auto& [channel, failure] : required) {
        if (!*channel) {
            throw rt_exception(failure);
        }
    }
    using BLE::ChannelMode::Notify;
    using BLE::ChannelMode::Read;
    using BLE::ChannelMode::Write;
    if (!hasMode(battery_channel_, Read) || !hasMode(battery_channel_, Notify)) {
        throw rt_exception("Battery characteristic must have both read and notify properties");
    }
    if (!hasMode(acsStatus_, Read) || !hasMode(acsStatus_, Notify)) {
        throw rt_exception("ACS Status characteristic must have both read and notify properties");
    }
    if (!hasMode(acsConfig_, Read) || !hasMode(acsConfig_, Write)) {
        throw rt_exception("ACS Config characteristic must have both read and write properties");
    }
    if (!hasMode(acsCommand_, Write)) {
        throw rt_exception("ACS Command characteristic must have write property");
    }
    if (!hasMode(acsData_, Notify)) {
        throw rt_exception("ACS Data characteristic must have notify property");
    }
    pts_ = std::make_unique<PhotoStim::PhotoStimBLEService>(device_, false, timing_.stimulator);
}

void DravikBleProtocol::fillCapabilities() {
    using Sensor::SensorParamAccess;
    commands_ = {0, 1, 2, 3, 25, 26, 21, 22, 31, 32, 33};
    constexpr auto read = static_cast<int32_t>(SensorParamAccess::Read);
    constexpr auto readWrite = static_cast<int32_t>(SensorParamAccess::ReadWrite);
    constexpr auto readNotify = static_cast<int32_t>(SensorParamAccess::ReadNotify);
    parameters_ = {{0, read},  {1, readNotify}, {2, read},  {3, read},        {5, read},  {6, read},
                   {27, read}, {30, readWrite}, {16, read}, {20, readNotify}, {21, read}, {22, read},
                   {31, read}, {33, readWrite}, {34, read}, {35, read}};
    features_ = {0, 4, 11, 9};
    if (pts_->isPresent()) {
        commands_.insert({36, 37, 27, 28});
        parameters_.insert(
            {{45, readWrite}, {46, readNotify}, {14, readWrite}, {43, readWrite}, {44, readNotify}, {42, readNotify}});
        features_.insert(7);
    }
}

void DravikBleProtocol::setUpStimulator() {
    if (!pts_->isPresent()) {
        return;
    }
    const std::weak_ptr<DravikBleProtocol> weak = weak_from_this();
    ptsStateHandler_ = std::make_shared<StimStateBus::Callback>([weak](PhotoStim::DevStimulStatus state) {
        if (const auto protocol = weak.lock()) {
            protocol->ptsStimState_ = state;
            protocol->worker_.wake();
        }
    });
    ptsSyncHandler_ = std::make_shared<StimSyncBus::Callback>([weak](PhotoStim::DevStimulSyncStatus state) {
        if (const auto protocol = weak.lock()) {
            protocol->ptsSyncState_ = state;
            protocol->worker_.wake();
        }
    });
    if (const auto bus = pts_->stimStatusEvent().lock()) {
        bus->subscribe(ptsStateHandler_);
    }
    if (const auto bus = pts_->syncStatusEvent().lock()) {
        bus->subscribe(ptsSyncHandler_);
    }
    PhotoStim::DevStimulStatus state{};
    if (pts_->stimState(state)) {
        ptsStimState_ = state;
    }
    PhotoStim::DevStimulSyncStatus sync{};
    if (pts_->syncState(sync)) {
        ptsSyncState_ = sync;
    }
    // The status is followed while an external stimulator is linked.
    pts_->stopStatusNotify();
}

void DravikBleProtocol::subscribe(const Channel& channel, Handler& handler,
                                  void (DravikBleProtocol::*method)(const std::vector<uint8_t>&)) {
    const std::weak_ptr<DravikBleProtocol> weak = weak_from_this();
    handler = std::make_shared<BLE::DataBus::Callback>([weak, method](const std::vector<uint8_t>& bytes) {
        if (const auto protocol = weak.lock()) {
            ((*protocol).*method)(bytes);
        }
    });
    if (const auto bus = channel->dataEvent().lock()) {
        bus->subscribe(handler);
    }
}

std::vector<uint8_t> DravikBleProtocol::readWithRetries(const Channel& channel, const char* failure) {
    for (int attempt = 1;; ++attempt) {
        if (linkLoss_.isLost()) {
            throw rt_exception(failure);
        }
        try {
            std::vector<uint8_t> bytes;
            if (channel->read(bytes)) {
                return bytes;
            }
            if (attempt >= timing_.readAttempts) {
                throw rt_exception(failure);
            }
        } catch (const rt_exception&) {
            throw;
        } catch (const std::exception& error) {
            if (attempt >= timing_.readAttempts) {
                throw rt_exception(std::string(failure) + ": " + error.what());
            }
        }
    }
}

void DravikBleProtocol::readAdcConfig() {
    const auto bytes = readWithRetries(acsConfig_, "Can not read ADC configure");
    processing_->update(decodeAdcConfig(bytes));
}

void DravikBleProtocol::readBattery() {
    const auto bytes = readWithRetries(battery_channel_, "Can not read Battery power");
    onBattery(bytes);
}

void DravikBleProtocol::readFsStatus() {
    std::vector<uint8_t> bytes;
    if (fsStatusChannel_->read(bytes)) {
        onFsStatus(bytes);
    }
}

void DravikBleProtocol::setNotify(const Channel& channel, bool on) {
    try {
        if (on && !channel->isNotifying()) {
            channel->startNotify();
        } else if (!on && channel->isNotifying()) {
            channel->stopNotify();
        }
    } catch (const std::exception& error) {
        Utility::sdkLog().warn("[DravikBleProtocol] switching a notification failed: {}", error.what());
    }
}

void DravikBleProtocol::onBattery(const std::vector<uint8_t>& bytes) {
    if (!bytes.empty()) {
        battery_ = std::min<int>(bytes[0], 100);
    }
}

void DravikBleProtocol::onData(const std::vector<uint8_t>& bytes) {
    rawRing_->push(bytes);
    worker_.wake();
}

void DravikBleProtocol::onReply(const std::vector<uint8_t>& bytes) {
    if (auto reply = parseReply(bytes)) {
        exchange_.deliver(*reply);
    }
}

void DravikBleProtocol::onFsStatus(const std::vector<uint8_t>& bytes) {
    const auto status = parseFsStatus(bytes, deviceName_);
    fsStatus_.set(status);
    if (status.streamActive != 0) {
        streamPending_ = false;
    }
}

void DravikBleProtocol::onFsStream(const std::vector<uint8_t>& bytes) {
    auto content = parseFsStream(bytes);
    for (const auto& data : content.data) {
        fileRing_->push(data);
    }
    for (auto& entry : content.entries) {
        std::vector<_FileInfo> finished;
        {
            std::lock_guard lock(listLock_);
            if (entry) {
                listed_.push_back(std::move(*entry));
                continue;
            }
            finished.swap(listed_);
        }
        fileListBus_->notify(finished);
    }
    worker_.wake();
}

uint32_t DravikBleProtocol::nextRequestId() { return idRange_(idGenerator_); }

OperationResult DravikBleProtocol::execCommand(const std::vector<uint8_t>& frame, std::chrono::milliseconds timeout,
                                               OpCmdRes* reply) {
    const uint32_t id = Utility::decodeUnsigned(frame.data(), 4, true);
    const uint8_t command = frame.size() > 4 ? frame[4] : 0;
    const auto steps = static_cast<int>(
        std::max<int64_t>(1, (timeout.count() == 0 ? std::chrono::milliseconds(65535) : timeout) / timing_.replyStep));
    OpCmdRes answer = exchange_.send(
        frame, [id, command](const OpCmdRes& value) { return value.requestId == id && value.command == command; },
        steps);
    const OperationResult result = dravikDeviceResult(answer.result);
    if (reply != nullptr) {
        *reply = std::move(answer);
    }
    return result;
}

OperationResult DravikBleProtocol::fsCommand(uint8_t command, const std::string& name,
                                             const std::vector<uint8_t>& payload, Access access, OpCmdRes* reply,
                                             uint16_t nameFailure) {
    const _DravikFSStatus status = fsStatus_.get();
    if (nameFailure != 0 && (name.empty() || name.size() > kMaxNameLength)) {
        return dravikFailure(nameFailure);
    }
    if (access == Access::Write && status.fsState != FsReady) {
        return dravikFailure(status.fsState == FsWriteProtected ? ErrDiskProtected : ErrDiskTrouble);
    }
    if (access == Access::Read && status.fsState != FsReady && status.fsState != FsWriteProtected) {
        return dravikFailure(ErrDiskTrouble);
    }
    const auto frame = requestFrame(nextRequestId(), command, name, payload);
    setNotify(fsReply_, true);
    const auto result =
        execCommand(frame, command == FsFileCrc32 ? timing_.checksumTimeout : timing_.replyTimeout, reply);
    setNotify(fsReply_, false);
    return result;
}

OperationResult DravikBleProtocol::waitFsStatusChange(const _DravikFSStatus& before) {
    const auto deadline = std::chrono::steady_clock::now() + timing_.statusChangeWait;
    while (!linkLoss_.isLost() && std::chrono::steady_clock::now() < deadline) {
        readFsStatus();
        if (!fsStatus_.get().sameState(before)) {
            return OperationResult::done();
        }
        std::this_thread::sleep_for(timing_.pollStep);
    }
    return OperationResult::failed(ErrDataSend, "Failed changed DSS mode");
}

OperationResult DravikBleProtocol::fileSystemDisable() {
    std::unique_lock lock(commandLock_);
    const _DravikFSStatus before = fsStatus_.get();
    if (before.fsState == FsDisabled) {
        return OperationResult::done();
    }
    setNotify(fsStatusChannel_, false);
    auto result = fsCommand(FsDisable, {}, {}, Access::None, nullptr, 0);
    return result ? waitFsStatusChange(before) : result;
}

OperationResult DravikBleProtocol::fileSystemEnable() {
    std::unique_lock lock(commandLock_);
    const _DravikFSStatus before = fsStatus_.get();
    if (before.fsState == FsReady) {
        return OperationResult::done();
    }
    std::vector<uint8_t> payload;
    Utility::appendLittleEndian(payload, fatDateTime(std::chrono::system_clock::now()), 4);
    auto result = fsCommand(FsEnable, {}, payload, Access::None, nullptr, 0);
    return result ? waitFsStatusChange(before) : result;
}

OperationResult DravikBleProtocol::streamClose() {
    setNotify(fsStatusChannel_, false);
    const _DravikFSStatus before = fsStatus_.get();
    if (before.streamActive == 0) {
        return OperationResult::done();
    }
    auto result = fsCommand(FsStreamClose, {}, {}, Access::None, nullptr, 0);
    setNotify(fsStatusChannel_, false);
    return result ? waitFsStatusChange(before) : result;
}

OperationResult DravikBleProtocol::fileSystemStreamClose() {
    std::unique_lock lock(commandLock_);
    return streamClose();
}

OperationResult DravikBleProtocol::fileStreamAutosave(const std::string& name) {
    std::unique_lock lock(commandLock_);
    if (fsStatus_.get().autosave) {
        if (auto closed = streamClose(); !closed) {
            return closed;
        }
    }
    const _DravikFSStatus before = fsStatus_.get();
    auto result = fsCommand(FsStreamAutosave, name, {}, Access::Write);
    return result ? waitFsStatusChange(before) : result;
}

OperationResult DravikBleProtocol::fileInfo(const std::string& name, _FileInfo& out) {
    OpCmdRes reply;
    auto result = fsCommand(FsFileInfo, name, {}, Access::Read, &reply);
    if (!result) {
        return result;
    }
    const auto info = parseFileInfo(reply.payload);
    if (!info) {
        return dravikFailure(ErrRxDataWrong);
    }
    out = *info;
    return result;
}

OperationResult DravikBleProtocol::rangeInFile(const std::string& name, uint32_t offset, uint32_t length) {
    _FileInfo info;
    if (auto result = fileInfo(name, info); !result) {
        return result;
    }
    if (offset >= info.size || uint64_t{offset} + length > info.size) {
        return dravikFailure(ErrDataOverflow);
    }
    return OperationResult::done();
}

OperationResult DravikBleProtocol::readFileInfo(const std::string& name, _FileInfo& out) {
    std::unique_lock lock(commandLock_);
    auto result = fileInfo(name, out);
    if (result) {
        readFsStatus();
    }
    return result;
}

OperationResult DravikBleProtocol::readFile(const std::string& name, uint32_t limit, uint32_t offset,
                                            std::vector<uint8_t>& out) {
    std::unique_lock lock(commandLock_);
    _FileInfo info;
    if (auto result = fileInfo(name, info); !result) {
        return result;
    }
    const uint32_t end = limit != 0 && limit < info.size ? limit : info.size;
    std::vector<uint8_t> bytes;
    if (end == 0) {
        out.clear();
        return OperationResult::done();
    }
    if (offset >= end) {
        return dravikFailure(ErrDataOverflow);
    }
    for (uint32_t position = offset; position < end;) {
        if (linkLoss_.isLost()) {
            return dravikFailure(ErrDataSend);
        }
        const auto count = static_cast<uint32_t>(std::min<size_t>(end - position, kFileChunk));
        std::vector<uint8_t> payload;
        Utility::appendLittleEndian(payload, position, 4);
        Utility::appendLittleEndian(payload, count, 4);
        OpCmdRes reply;
        if (auto result = fsCommand(FsReadFile, name, payload, Access::Read, &reply); !result) {
            return result;
        }
        // A reply without its head or without data would leave the file short: the read failed.
        if (reply.payload.size() <= kReadHeadSize) {
            return dravikFailure(ErrRxDataWrong);
        }
        const size_t received = std::min<size_t>(reply.payload.size() - kReadHeadSize, count);
        bytes.insert(bytes.end(), reply.payload.begin() + kReadHeadSize,
                     reply.payload.begin() + static_cast<std::ptrdiff_t>(kReadHeadSize + received));
        position += static_cast<uint32_t>(received);
    }
    readFsStatus();
    out = std::move(bytes);
    return OperationResult::done();
}

OperationResult DravikBleProtocol::writeFile(const std::string& name, const std::vector<uint8_t>& data,
                                             uint32_t offset) {
    std::unique_lock lock(commandLock_);
    if (name.empty() || name.size() > kMaxNameLength) {
        return dravikFailure(ErrFileNameWrong);
    }
    if (data.empty()) {
        return dravikFailure(ErrDataEmpty);
    }
    if (uint64_t{offset} + data.size() > UINT32_MAX) {
        return dravikFailure(ErrDataOverflow);
    }
    for (size_t sent = 0; sent < data.size();) {
        if (linkLoss_.isLost()) {
            return dravikFailure(ErrDataSend);
        }
        const size_t count = std::min(data.size() - sent, kFileChunk);
        const auto position = static_cast<uint32_t>(offset + sent);
        std::vector<uint8_t> payload;
        Utility::appendLittleEndian(payload, position, 4);
        Utility::appendLittleEndian(payload, position == 0 ? static_cast<uint32_t>(data.size()) : 0, 4);
        payload.insert(payload.end(), data.begin() + static_cast<std::ptrdiff_t>(sent),
                       data.begin() + static_cast<std::ptrdiff_t>(sent + count));
        if (auto result = fsCommand(FsWriteFile, name, payload, Access::Write); !result) {
            return result;
        }
        sent += count;
    }
    readFsStatus();
    return OperationResult::done();
}

OperationResult DravikBleProtocol::deleteFile(const std::string& name) {
    std::unique_lock lock(commandLock_);
    auto result = fsCommand(FsDeleteFile, name, {}, Access::Write);
    if (result) {
        readFsStatus();
    }
    return result;
}

OperationResult DravikBleProtocol::deleteAllFiles(const std::string& extension) {
    std::unique_lock lock(commandLock_);
    auto result = fsCommand(FsDeleteAll, extension, {}, Access::Write, nullptr, ErrFileExtWrong);
    if (result) {
        readFsStatus();
    }
    return result;
}

OperationResult DravikBleProtocol::readFileCRC32(const std::string& name, uint32_t offset, uint32_t length,
                                                 uint32_t& crc) {
    std::unique_lock lock(commandLock_);
    if (auto inside = rangeInFile(name, offset, length); !inside) {
        return inside;
    }
    std::vector<uint8_t> payload;
    Utility::appendLittleEndian(payload, offset, 4);
    Utility::appendLittleEndian(payload, length, 4);
    OpCmdRes reply;
    auto result = fsCommand(FsFileCrc32, name, payload, Access::Read, &reply);
    if (!result) {
        return result;
    }
    if (reply.payload.size() != 12) {
        return dravikFailure(ErrFileCrc32Wrong);
    }
    crc = Utility::decodeUnsigned(reply.payload.data() + 8, 4, true);
    return result;
}

OperationResult DravikBleProtocol::readFileSystemDiskInfo(uint64_t& total, uint64_t& free) {
    std::unique_lock lock(commandLock_);
    OpCmdRes reply;
    auto result = fsCommand(FsDiskInfo, {}, {}, Access::Read, &reply, 0);
    if (!result) {
        return result;
    }
    if (reply.payload.size() != 8) {
        return dravikFailure(ErrRxDataWrong);
    }
    total = uint64_t{Utility::decodeUnsigned(reply.payload.data(), 4, true)} * 1024;
    free = uint64_t{Utility::decodeUnsigned(reply.payload.data() + 4, 4, true)} * 1024;
    return result;
}

OperationResult DravikBleProtocol::fileStreamRead(const std::string& name, uint32_t offset, uint32_t length) {
    std::unique_lock lock(commandLock_);
    if (auto inside = rangeInFile(name, offset, length); !inside) {
        return inside;
    }
    const bool streamWasOn = fsStream_->isNotifying();
    setNotify(fsStream_, true);
    setNotify(fsStatusChannel_, true);
    std::vector<uint8_t> payload;
    Utility::appendLittleEndian(payload, offset, 4);
    Utility::appendLittleEndian(payload, length, 4);
    Utility::appendLittleEndian(payload, kStreamBudget, 4);
    streamPendingSince_ = std::chrono::steady_clock::now().time_since_epoch().count();
    streamPending_ = true;
    auto result = fsCommand(FsStreamRead, name, payload, Access::Read);
    if (!result) {
        streamPending_ = false;
        if (!streamWasOn) {
            setNotify(fsStream_, false);
        }
    }
    return result;
}

OperationResult DravikBleProtocol::readFileInfoAll(std::vector<_FileInfo>& out) {
    std::unique_lock lock(commandLock_);
    {
        std::lock_guard list(listLock_);
        listed_.clear();
    }
    setNotify(fsStream_, true);
    auto promise = std::make_shared<std::promise<std::vector<_FileInfo>>>();
    auto listed = promise->get_future();
    auto subscriber = std::make_shared<FileListBus::Callback>([promise](std::vector<_FileInfo> files) {
        try {
            promise->set_value(std::move(files));
        } catch (const std::future_error&) {
            // A second list while this one is still being handed over.
        }
    });
    fileListBus_->subscribe(subscriber);
    auto result = fsCommand(FsFileList, {}, {}, Access::Read, nullptr, 0);
    if (!result) {
        return result;
    }
    const auto deadline = std::chrono::steady_clock::now() + timing_.listWait;
    while (listed.wait_for(timing_.replyStep) != std::future_status::ready) {
        if (linkLoss_.isLost() || std::chrono::steady_clock::now() >= deadline) {
            return dravikFailure(ErrTimeout);
        }
    }
    out = listed.get();
    return result;
}

void DravikBleProtocol::readAcsStatus() {
    applyAcsStatus(parseAcsStatus(readWithRetries(acsStatus_, "Can not read Status")));
    publishedAmpMode_ = ampMode_.load();
}

void DravikBleProtocol::applyAcsStatus(const AcsStatus& status) {
    ampMode_ = status.mode;
    if (status.mode == AmpModeUnknown) {
        return;
    }
    resistMode_ = status.resistMode;
    surveyId_ = status.surveyId;
    if (status.dataActive) {
        setNotify(acsData_, true);
    }
}

void DravikBleProtocol::workerPass() {
    if (!running_) {
        return;
    }
    try {
        publishSamples();
        const auto files = fileReader_.poll(*fileRing_);
        if (!files.empty()) {
            fileStreamBus_->notify(std::vector<_FileData>(files.begin(), files.end()));
        }
        const uint8_t mode = publishedAmpMode_;
        if (mode != lastMode_) {
            if (mode >= AmpModeSignal && lastMode_ <= AmpModeIdle) {
                expectedPackNum_ = -1;
            }
            lastMode_ = mode;
            modeBus_->notify(mode);
        }
        const _DravikFSStatus status = fsStatus_.get();
        if (!status.sameState(lastFsStatus_)) {
            lastFsStatus_ = status;
            fsStatusBus_->notify(status);
        }
        watchStream();
        if (const int battery = battery_; battery != lastBattery_) {
            lastBattery_ = battery;
            batteryBus_->notify(battery);
        }
        if (pts_ && pts_->isPresent()) {
            if (const auto state = ptsStimState_.load(); state != lastStimState_) {
                lastStimState_ = state;
                stimStateBus_->notify(state);
            }
            if (const auto sync = ptsSyncState_.load(); sync != lastSyncState_) {
                lastSyncState_ = sync;
                stimSyncBus_->notify(sync);
            }
            if (const int voltage = pts_->batteryVoltage(); voltage != lastBatteryVoltage_) {
                lastBatteryVoltage_ = voltage;
                batteryVoltageBus_->notify(voltage);
            }
        }
    } catch (const rt_exception& error) {
        Utility::sdkLog().warn("Process channel pack error: [{}] code: [{}]", error.what(), error.code());
    } catch (const std::exception& error) {
        Utility::sdkLog().warn("Process channel pack error: {}", error.what());
    } catch (...) {
        Utility::sdkLog().warn("Process channel pack error.");
    }
}

void DravikBleProtocol::publishSamples() {
    const auto packs = rawReader_.poll(*rawRing_);
    if (packs.empty()) {
        return;
    }
    std::vector<uint8_t> raw;
    raw.reserve(packs.size() * kRawBytesPerNotification);
    for (const auto& pack : packs) {
        raw.insert(raw.end(), pack.begin(), pack.end());
    }
    if (!raw.empty()) {
        rawSignalBus_->notify(raw);
    }
    // Each notification carries whole packets: one cut short is dropped on its own, so it
    // neither reads the next one's bytes nor takes the packets after it along.
    std::vector<Kestrane::_SignalData> signals;
    std::vector<_DravikResistData> resists;
    for (const auto& pack : packs) {
        if (parseRawSignal(*processing_, pack, signals, resists) != pack.size()) {
            Utility::sdkLog().debug("[Dravik] Dropped a data notification of {} bytes that holds no whole packets",
                                    pack.size());
        }
    }
    if (signals.empty()) {
        return;
    }
    const uint8_t mode = lastMode_;
    const bool measuring = mode >= AmpModeSignal && mode <= AmpModeSignalResist;
    if (expectedPackNum_ != -1 && signals.front().PackNum != expectedPackNum_ && measuring) {
        Utility::sdkLog().trace("[Dravik/Ossmer] [Abnormal the PackNum] [cur]:[{}] [exp]:[{}]", signals.front().PackNum,
                                expectedPackNum_);
    }
    expectedPackNum_ = int64_t{signals.back().PackNum} + 1;
    if (mode == AmpModeSignal || mode == AmpModeSignalResist) {
        signalResistBus_->notify({signals, resists});
        signalBus_->notify(signals);
        if (mode == AmpModeSignalResist && !resists.empty()) {
            resistBus_->notify(resists);
        }
    } else if (mode == AmpModeResist && !resists.empty()) {
        signalResistBus_->notify({{}, resists});
        resistBus_->notify(resists);
    }
}

// FS Stream notifications stay on while a file streams. Once the device reports no stream they
// are switched off; a stream just asked for is given until the next status poll to start.
void DravikBleProtocol::watchStream() {
    const auto now = std::chrono::steady_clock::now();
    if (streamPending_ &&
        now.time_since_epoch().count() - streamPendingSince_.load() >
            std::chrono::duration_cast<std::chrono::steady_clock::duration>(timing_.statusPollPeriod).count()) {
        streamPending_ = false;
    }
    if (lastFsStatus_.streamActive == 0 && fsStream_->isNotifying() && !streamPending_) {
        nextStatusPoll_ = now + timing_.statusPollPeriod;
        std::unique_lock lock(commandLock_, std::try_to_lock);
        if (lock.owns_lock() && fsStatus_.get().streamActive == 0 && !streamPending_) {
            setNotify(fsStream_, false);
        }
        return;
    }
    if (!linkLoss_.isLost() && now >= nextStatusPoll_ && !fsStream_->isNotifying()) {
        std::unique_lock lock(commandLock_, std::try_to_lock);
        if (lock.owns_lock()) {
            readFsStatus();
            nextStatusPoll_ = now + timing_.statusPollPeriod;
        }
    }
}

}  // namespace VexaDevice::Dravik
