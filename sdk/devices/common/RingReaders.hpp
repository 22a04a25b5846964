#pragma once
// How a protocol worker reads the rings its notification handlers fill.

#include <algorithm>
#include <array>
#include <cstddef>
#include <optional>
#include <span>

#include "sdk/core/RBuffer.hpp"
#include "sdk/devices/common/ProtocolWorker.hpp"

namespace VexaDevice::Devices {

// Status rings: only the newest record counts, and only once.
template <class Record>
class NewestRecordReader {
public:
    // The newest record when the ring has grown since the last look.
    std::optional<Record> poll(const Utility::IRBuffer<Record>& ring) {
        const size_t total = ring.totalWritten();
        if (total == seen_) return std::nullopt;
        seen_ = total;
        Record newest{};
        if (ring.read(&newest, total - 1, 1) != 1) return std::nullopt;
        return newest;
    }

private:
    size_t seen_ = 0;
};

// Data rings: at most BatchSize records per pass in order; a reader that fell further
// behind than the ring holds skips to the newest BatchSize records. A poll on a protocol
// worker that leaves records behind has the worker start its next pass at once.
template <class Record, size_t BatchSize = 64>
class BacklogReader {
public:
    std::span<const Record> poll(const Utility::IRBuffer<Record>& ring) {
        const size_t total = ring.totalWritten();
        if (total <= position_) return {};
        const size_t backlog = total - position_;
        const size_t wanted = std::min(backlog, BatchSize);
        if (backlog > ring.capacity()) position_ = total - wanted;
        const size_t read = ring.read(batch_.data(), position_, wanted);
        position_ += read;
        if (total > position_) ProtocolWorker::requestAnotherPass();
        return {batch_.data(), read};
    }

    size_t position() const { return position_; }

private:
    size_t position_ = 0;
    std::array<Record, BatchSize> batch_{};
};

}  // namespace VexaDevice::Devices
