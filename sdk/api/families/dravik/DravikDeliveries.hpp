#pragma once
// Deliveries of the Dravik records: resistance with its three referents, signal and
// resistance in one call, the raw sample bytes and the file-stream chunks.

#include <cstdint>
#include <utility>
#include <vector>

#include "sdk/api/HostDelivery.hpp"
#include "sdk/api/HostRecords.hpp"
#include "sdk/devices/dravik/DravikFrames.hpp"
#include "sdk/devices/dravik/DravikSignalProcess.hpp"

namespace VexaDevice::Api {

// A referent the record lacks reads as 0.
class DravikResistBatch {
public:
    explicit DravikResistBatch(const std::vector<Dravik::_DravikResistData>& resist);
    std::vector<DravikResistRecord>& records() { return records_; }

private:
    std::vector<std::vector<double>> values_;
    std::vector<DravikResistRecord> records_;
};

class FileChunkBatch {
public:
    explicit FileChunkBatch(const std::vector<Dravik::_FileData>& chunks);
    std::vector<FileChunkRecord>& records() { return records_; }

private:
    std::vector<std::vector<uint8_t>> bytes_;
    std::vector<FileChunkRecord> records_;
};

struct DravikResistDelivery {
    HostTarget<DravikResistCallback> host;

    void operator()(const std::vector<Dravik::_DravikResistData>& resist) const {
        if (host.function == nullptr) {
            return;
        }
        DravikResistBatch batch(resist);
        callWithBatch(host, batch.records());
    }
};

struct DravikSignalResistDelivery {
    HostTarget<DravikSignalResistCallback> host;

    void operator()(
        const std::pair<std::vector<Kestrane::_SignalData>, std::vector<Dravik::_DravikResistData>>& both) const;
};

struct RawSignalDelivery {
    HostTarget<RawSignalCallback> host;

    void operator()(const std::vector<uint8_t>& bytes) const;
};

struct FileStreamDelivery {
    HostTarget<FileStreamCallback> host;

    void operator()(const std::vector<Dravik::_FileData>& chunks) const {
        if (host.function == nullptr) {
            return;
        }
        FileChunkBatch batch(chunks);
        callWithBatch(host, batch.records());
    }
};

}  // namespace VexaDevice::Api
