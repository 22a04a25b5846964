#pragma once
// Host deliveries of the Tessel-class sensors' record batches: each batch becomes an array of
// the host's flat records for the length of one call.

#include <vector>

#include "sdk/api/HostDelivery.hpp"
#include "sdk/api/include/ambrelkit2.h"
#include "sdk/devices/tessel/TesselRecords.hpp"

namespace VexaDevice::Api {

// Signal and respiration: each record points at its own samples in the batch, which lives as
// long as the call.
template <class Record>
struct TesselSamplesDelivery {
    HostTarget<TesselSamplesCallback> host;

    void operator()(std::vector<Record> batch) const {
        if (host.function == nullptr) {
            return;
        }
        std::vector<TesselSamplesRecord> records;
        records.reserve(batch.size());
        for (Record& record : batch) {
            records.push_back(TesselSamplesRecord{record.PackNum, record.Samples.data(),
                                                  static_cast<uint32_t>(record.Samples.size())});
        }
        callWithBatch(host, records);
    }
};

struct TesselMemsDelivery {
    HostTarget<MEMSDataCallback> host;

    void operator()(const std::vector<Tessel::_MEMSData>& batch) const {
        if (host.function == nullptr) {
            return;
        }
        std::vector<MEMSRecord> records;
        records.reserve(batch.size());
        for (const auto& s : batch) {
            records.push_back(MEMSRecord{s.PackNum, s.AccelerometerX, s.AccelerometerY, s.AccelerometerZ, s.GyroscopeX,
                                         s.GyroscopeY, s.GyroscopeZ});
        }
        callWithBatch(host, records);
    }
};

struct QuaternionDelivery {
    HostTarget<QuaternionDataCallback> host;

    void operator()(const std::vector<Tessel::_QuaternionData>& batch) const {
        if (host.function == nullptr) {
            return;
        }
        std::vector<QuaternionRecord> records;
        records.reserve(batch.size());
        for (const auto& q : batch) {
            records.push_back(QuaternionRecord{q.PackNum, q.W, q.X, q.Y, q.Z});
        }
        callWithBatch(host, records);
    }
};

struct EnvelopeDelivery {
    HostTarget<EnvelopeDataCallback> host;

    void operator()(const std::vector<Tessel::_EnvelopeData>& batch) const {
        if (host.function == nullptr) {
            return;
        }
        std::vector<EnvelopeRecord> records;
        records.reserve(batch.size());
        for (const auto& e : batch) {
            records.push_back(EnvelopeRecord{e.PackNum, e.Value});
        }
        callWithBatch(host, records);
    }
};

}  // namespace VexaDevice::Api
