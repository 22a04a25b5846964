#pragma once
// The Dravik file system: its status, the file requests with their name and state checks, the
// stream read and the file listing, both of which arrive on FS Stream.
//
// Threads: the commands run on the caller's thread under the protocol's command lock, each for
// its whole length; the notification handlers (onStatus, onStream) only store; the worker
// publishes and watches the stream, taking the command lock only when it is free.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <shared_mutex>
#include <string>
#include <vector>

#include "sdk/core/OperationResult.hpp"
#include "sdk/core/RBuffer.hpp"
#include "sdk/core/SpinGuarded.hpp"
#include "sdk/devices/common/LinkLoss.hpp"
#include "sdk/devices/common/RingReaders.hpp"
#include "sdk/devices/dravik/DravikChannels.hpp"
#include "sdk/devices/dravik/DravikFileList.hpp"
#include "sdk/devices/dravik/DravikFrames.hpp"
#include "sdk/devices/dravik/DravikRecords.hpp"
#include "sdk/devices/dravik/DravikRequests.hpp"
#include "sdk/devices/dravik/DravikResult.hpp"
#include "sdk/devices/dravik/DravikTiming.hpp"

namespace VexaDevice::Dravik {

class DravikFileSystem {
public:
    struct Links {
        Channel status;
        Channel stream;
        DravikRequests& requests;
        std::shared_mutex& commandLock;
        const Devices::LinkLoss& linkLoss;
    };
    // `deviceName` goes into every status read.
    DravikFileSystem(Links links, std::string deviceName, const DravikTiming& timing);
    DravikFileSystem(const DravikFileSystem&) = delete;
    DravikFileSystem& operator=(const DravikFileSystem&) = delete;

    // Reads the status and schedules the worker's first status poll.
    void start();

    // The commands. Names are 1 to 12 characters.
    OperationResult enable();
    OperationResult disable();
    OperationResult streamClose();
    OperationResult readFileInfo(const std::string& name, _FileInfo& out);
    OperationResult readFileInfoAll(std::vector<_FileInfo>& out);
    // The bytes from `offset` up to `limit` (0, or at or beyond the size: the file's end).
    OperationResult readFile(const std::string& name, uint32_t limit, uint32_t offset, std::vector<uint8_t>& out);
    OperationResult writeFile(const std::string& name, const std::vector<uint8_t>& data, uint32_t offset);
    OperationResult deleteFile(const std::string& name);
    OperationResult deleteAllFiles(const std::string& extension);
    // The range must lie inside the file (522), as for a stream read.
    OperationResult readFileCRC32(const std::string& name, uint32_t offset, uint32_t length, uint32_t& crc);
    // Total and free bytes.
    OperationResult readDiskInfo(uint64_t& total, uint64_t& free);
    OperationResult streamAutosave(const std::string& name);
    // The data arrives on the file-stream bus.
    OperationResult streamRead(const std::string& name, uint32_t offset, uint32_t length);

    _DravikFSStatus status() const { return status_.get(); }

    // Notification handlers of FS Status and FS Stream.
    void onStatus(const std::vector<uint8_t>& bytes);
    void onStream(const std::vector<uint8_t>& bytes);

    // Worker steps: the streamed file data; then the status when it changed, and the stream
    // watch (FS Stream off once no stream runs, the status polled while none does).
    void publishFileData();
    void publishStatus();

    std::weak_ptr<DravikBuses::FsStatusBus> statusEvent() const { return statusBus_; }
    std::weak_ptr<DravikBuses::FileStreamBus> fileStreamEvent() const { return fileStreamBus_; }

private:
    enum class Access { None, Read, Write };
    // One request under the command lock: name and state checks, then the request.
    OperationResult fsCommand(uint8_t command, const std::string& name, const std::vector<uint8_t>& payload,
                              Access access, OpCmdRes* reply = nullptr, uint16_t nameFailure = ErrFileNameWrong);
    OperationResult fileInfo(const std::string& name, _FileInfo& out);
    // The file's information says the range lies inside it; 522 when it does not.
    OperationResult rangeInFile(const std::string& name, uint32_t offset, uint32_t length);
    OperationResult closeStream();
    // Reads FS Status until its four bytes differ from `before` or the wait runs out.
    OperationResult waitStatusChange(const _DravikFSStatus& before);
    void readStatus();
    void watchStream();

    const Links links_;
    const std::string deviceName_;
    const DravikTiming timing_;

    Utility::SpinGuarded<_DravikFSStatus> status_;
    const std::shared_ptr<Utility::RBuffer<_FileData>> fileRing_;
    DravikFileList list_;
    // A stream read was asked for and the device has not yet reported the stream running.
    std::atomic<bool> streamPending_{false};
    std::atomic<int64_t> streamPendingSince_{0};

    const std::shared_ptr<DravikBuses::FsStatusBus> statusBus_;
    const std::shared_ptr<DravikBuses::FileStreamBus> fileStreamBus_;

    // Worker-only state.
    Devices::BacklogReader<_FileData, 128> fileReader_;
    _DravikFSStatus lastStatus_{};
    std::chrono::steady_clock::time_point nextStatusPoll_;
};

}  // namespace VexaDevice::Dravik
