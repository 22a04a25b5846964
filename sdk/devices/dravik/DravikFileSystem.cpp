#include "sdk/devices/dravik/DravikFileSystem.hpp"

#include <algorithm>
#include <thread>
#include <utility>

#include "sdk/core/ByteReaders.hpp"

namespace VexaDevice::Dravik {

DravikFileSystem::DravikFileSystem(Links links, std::string deviceName, const DravikTiming& timing)
    : links_(std::move(links)),
      deviceName_(std::move(deviceName)),
      timing_(timing),
      fileRing_(std::make_shared<Utility::RBuffer<_FileData>>(DravikBuses::RingCapacity)),
      statusBus_(std::make_shared<DravikBuses::FsStatusBus>(DravikBuses::Capacity)),
      fileStreamBus_(std::make_shared<DravikBuses::FileStreamBus>(DravikBuses::Capacity)) {}

void DravikFileSystem::start() {
    readStatus();
    nextStatusPoll_ = std::chrono::steady_clock::now() + timing_.statusPollPeriod;
}

void DravikFileSystem::readStatus() {
    std::vector<uint8_t> bytes;
    if (links_.status->read(bytes)) {
        onStatus(bytes);
    }
}

void DravikFileSystem::onStatus(const std::vector<uint8_t>& bytes) {
    const auto status = parseFsStatus(bytes, deviceName_);
    status_.set(status);
    if (status.streamActive != 0) {
        streamPending_ = false;
    }
}

void DravikFileSystem::onStream(const std::vector<uint8_t>& bytes) {
    auto content = parseFsStream(bytes);
    for (const auto& data : content.data) {
        fileRing_->push(data);
    }
    list_.take(content.entries);
}

OperationResult DravikFileSystem::fsCommand(uint8_t command, const std::string& name,
                                            const std::vector<uint8_t>& payload, Access access, OpCmdRes* reply,
                                            uint16_t nameFailure) {
    const _DravikFSStatus status = status_.get();
    if (nameFailure != 0 && (name.empty() || name.size() > kMaxNameLength)) {
        return dravikFailure(nameFailure);
    }
    if (access == Access::Write && status.fsState != FsReady) {
        return dravikFailure(status.fsState == FsWriteProtected ? ErrDiskProtected : ErrDiskTrouble);
    }
    if (access == Access::Read && status.fsState != FsReady && status.fsState != FsWriteProtected) {
        return dravikFailure(ErrDiskTrouble);
    }
    return links_.requests.request(command, name, payload, reply);
}

OperationResult DravikFileSystem::waitStatusChange(const _DravikFSStatus& before) {
    const auto deadline = std::chrono::steady_clock::now() + timing_.statusChangeWait;
    while (!links_.linkLoss.isLost() && std::chrono::steady_clock::now() < deadline) {
        readStatus();
        if (!status_.get().sameState(before)) {
            return OperationResult::done();
        }
        std::this_thread::sleep_for(timing_.pollStep);
    }
    return OperationResult::failed(ErrDataSend, "Failed changed DSS mode");
}

OperationResult DravikFileSystem::disable() {
    std::unique_lock lock(links_.commandLock);
    const _DravikFSStatus before = status_.get();
    if (before.fsState == FsDisabled) {
        return OperationResult::done();
    }
    setNotify(links_.status, false);
    auto result = fsCommand(FsDisable, {}, {}, Access::None, nullptr, 0);
    return result ? waitStatusChange(before) : result;
}

OperationResult DravikFileSystem::enable() {
    std::unique_lock lock(links_.commandLock);
    const _DravikFSStatus before = status_.get();
    if (before.fsState == FsReady) {
        return OperationResult::done();
    }
    std::vector<uint8_t> payload;
    Utility::appendLittleEndian(payload, fatDateTime(std::chrono::system_clock::now()), 4);
    auto result = fsCommand(FsEnable, {}, payload, Access::None, nullptr, 0);
    return result ? waitStatusChange(before) : result;
}

OperationResult DravikFileSystem::closeStream() {
    setNotify(links_.status, false);
    const _DravikFSStatus before = status_.get();
    if (before.streamActive == 0) {
        return OperationResult::done();
    }
    auto result = fsCommand(FsStreamClose, {}, {}, Access::None, nullptr, 0);
    return result ? waitStatusChange(before) : result;
}

OperationResult DravikFileSystem::streamClose() {
    std::unique_lock lock(links_.commandLock);
    return closeStream();
}

OperationResult DravikFileSystem::streamAutosave(const std::string& name) {
    std::unique_lock lock(links_.commandLock);
    if (status_.get().autosave) {
        if (auto closed = closeStream(); !closed) {
            return closed;
        }
    }
    const _DravikFSStatus before = status_.get();
    auto result = fsCommand(FsStreamAutosave, name, {}, Access::Write);
    return result ? waitStatusChange(before) : result;
}

OperationResult DravikFileSystem::fileInfo(const std::string& name, _FileInfo& out) {
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

OperationResult DravikFileSystem::rangeInFile(const std::string& name, uint32_t offset, uint32_t length) {
    _FileInfo info;
    if (auto result = fileInfo(name, info); !result) {
        return result;
    }
    if (offset >= info.size || uint64_t{offset} + length > info.size) {
        return dravikFailure(ErrDataOverflow);
    }
    return OperationResult::done();
}

OperationResult DravikFileSystem::readFileInfo(const std::string& name, _FileInfo& out) {
    std::unique_lock lock(links_.commandLock);
    auto result = fileInfo(name, out);
    if (result) {
        readStatus();
    }
    return result;
}

OperationResult DravikFileSystem::readFile(const std::string& name, uint32_t limit, uint32_t offset,
                                           std::vector<uint8_t>& out) {
    std::unique_lock lock(links_.commandLock);
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
        if (links_.linkLoss.isLost()) {
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
    readStatus();
    out = std::move(bytes);
    return OperationResult::done();
}

OperationResult DravikFileSystem::writeFile(const std::string& name, const std::vector<uint8_t>& data,
                                            uint32_t offset) {
    std::unique_lock lock(links_.commandLock);
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
        if (links_.linkLoss.isLost()) {
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
    readStatus();
    return OperationResult::done();
}

OperationResult DravikFileSystem::deleteFile(const std::string& name) {
    std::unique_lock lock(links_.commandLock);
    auto result = fsCommand(FsDeleteFile, name, {}, Access::Write);
    if (result) {
        readStatus();
    }
    return result;
}

OperationResult DravikFileSystem::deleteAllFiles(const std::string& extension) {
    std::unique_lock lock(links_.commandLock);
    auto result = fsCommand(FsDeleteAll, extension, {}, Access::Write, nullptr, ErrFileExtWrong);
    if (result) {
        readStatus();
    }
    return result;
}

OperationResult DravikFileSystem::readFileCRC32(const std::string& name, uint32_t offset, uint32_t length,
                                                uint32_t& crc) {
    std::unique_lock lock(links_.commandLock);
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

OperationResult DravikFileSystem::readDiskInfo(uint64_t& total, uint64_t& free) {
    std::unique_lock lock(links_.commandLock);
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

OperationResult DravikFileSystem::streamRead(const std::string& name, uint32_t offset, uint32_t length) {
    std::unique_lock lock(links_.commandLock);
    if (auto inside = rangeInFile(name, offset, length); !inside) {
        return inside;
    }
    const bool streamWasOn = links_.stream->isNotifying();
    setNotify(links_.stream, true);
    setNotify(links_.status, true);
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
            setNotify(links_.stream, false);
        }
    }
    return result;
}

OperationResult DravikFileSystem::readFileInfoAll(std::vector<_FileInfo>& out) {
    std::unique_lock lock(links_.commandLock);
    auto listing = list_.begin();
    setNotify(links_.stream, true);
    auto result = fsCommand(FsFileList, {}, {}, Access::Read, nullptr, 0);
    if (!result) {
        return result;
    }
    const auto deadline = std::chrono::steady_clock::now() + timing_.listWait;
    while (listing.files.wait_for(timing_.replyStep) != std::future_status::ready) {
        if (links_.linkLoss.isLost() || std::chrono::steady_clock::now() >= deadline) {
            return dravikFailure(ErrTimeout);
        }
    }
    out = listing.files.get();
    return result;
}

void DravikFileSystem::publishFileData() {
    const auto files = fileReader_.poll(*fileRing_);
    if (!files.empty()) {
        fileStreamBus_->notify(std::vector<_FileData>(files.begin(), files.end()));
    }
}

void DravikFileSystem::publishStatus() {
    const _DravikFSStatus status = status_.get();
    if (!status.sameState(lastStatus_)) {
        lastStatus_ = status;
        statusBus_->notify(status);
    }
    watchStream();
}

// FS Stream notifications stay on while a file streams. Once the device reports no stream they
// are switched off; a stream just asked for is given until the next status poll to start.
void DravikFileSystem::watchStream() {
    const auto now = std::chrono::steady_clock::now();
    if (streamPending_ &&
        now.time_since_epoch().count() - streamPendingSince_.load() >
            std::chrono::duration_cast<std::chrono::steady_clock::duration>(timing_.statusPollPeriod).count()) {
        streamPending_ = false;
    }
    if (lastStatus_.streamActive == 0 && links_.stream->isNotifying() && !streamPending_) {
        nextStatusPoll_ = now + timing_.statusPollPeriod;
        std::unique_lock lock(links_.commandLock, std::try_to_lock);
        if (lock.owns_lock() && status_.get().streamActive == 0 && !streamPending_) {
            setNotify(links_.stream, false);
        }
        return;
    }
    if (!links_.linkLoss.isLost() && now >= nextStatusPoll_ && !links_.stream->isNotifying()) {
        std::unique_lock lock(links_.commandLock, std::try_to_lock);
        if (lock.owns_lock()) {
            readStatus();
            nextStatusPoll_ = now + timing_.statusPollPeriod;
        }
    }
}

}  // namespace VexaDevice::Dravik
