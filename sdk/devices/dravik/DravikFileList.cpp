#include "sdk/devices/dravik/DravikFileList.hpp"

#include <utility>

namespace VexaDevice::Dravik {

DravikFileList::DravikFileList() : bus_(std::make_shared<DravikBuses::FileListBus>(DravikBuses::Capacity)) {}

DravikFileList::Listing DravikFileList::begin() {
    {
        std::lock_guard lock(lock_);
        listed_.clear();
    }
    auto promise = std::make_shared<std::promise<std::vector<_FileInfo>>>();
    Listing listing{promise->get_future(),
                    std::make_shared<DravikBuses::FileListBus::Callback>([promise](std::vector<_FileInfo> files) {
                        try {
                            promise->set_value(std::move(files));
                        } catch (const std::future_error&) {
                            // A second list while this one is still being handed over.
                        }
                    })};
    bus_->subscribe(listing.subscription);
    return listing;
}

void DravikFileList::take(std::vector<std::optional<_FileInfo>>& entries) {
    for (auto& entry : entries) {
        std::vector<_FileInfo> finished;
        {
            std::lock_guard lock(lock_);
            if (entry) {
                listed_.push_back(std::move(*entry));
                continue;
            }
            finished.swap(listed_);
        }
        bus_->notify(finished);
    }
}

}  // namespace VexaDevice::Dravik
