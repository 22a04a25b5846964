#pragma once
// The file list as FS Stream brings it: entries collect until the end record, and the whole
// list goes to the listing that waits for it. take() runs on the Bluetooth stack's threads.

#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "sdk/devices/dravik/DravikRecords.hpp"

namespace VexaDevice::Dravik {

class DravikFileList {
public:
    // One listing waiting for its list; dropping it ends the wait.
    struct Listing {
        std::future<std::vector<_FileInfo>> files;
        std::shared_ptr<DravikBuses::FileListBus::Callback> subscription;
    };

    DravikFileList();
    DravikFileList(const DravikFileList&) = delete;
    DravikFileList& operator=(const DravikFileList&) = delete;

    // Starts a listing; the entries collected before are dropped.
    Listing begin();
    // The entries of one FS Stream notification; an empty one ends the list.
    void take(std::vector<std::optional<_FileInfo>>& entries);

private:
    // Guarded because a listing starts while notifications may still append.
    std::mutex lock_;
    std::vector<_FileInfo> listed_;
    const std::shared_ptr<DravikBuses::FileListBus> bus_;
};

}  // namespace VexaDevice::Dravik
