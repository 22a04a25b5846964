#pragma once
// Host deliveries of the Tessel-class sensors' record batches: each batch becomes an array of
// the host's flat records for the length of one call.

#include <algorithm>
#include <vector>

#include "sdk/api/HostDelivery.hpp"
#include "sdk/api/HostRecords.hpp"
#include "sdk/api/include/ambrelkit2.h"
#include "sdk/devices/tessel/TesselRecords.hpp"

namespace VexaDevice::Api {

// Signal and respiration: each record points at its own samples, copied for the call into one
// array of this delivery, so that a host writing through them changes nothing another
// subscriber sees.
template <class Record>
struct TesselSamplesDelivery {
    HostTarget<TesselSamplesCallback> host;

    void operator()(const std::vector<Record>& batch) const {
        if (host.function == nullptr) {
            return;
        }
        size_t total = 0;
        for (const Record& record : batch) {
            total += record.Samples.size();
        }
        HostBatch<double> samples(total);
        HostBatch<TesselSamplesRecord> records(batch.size());
        double* next = samples.data();
        for (size_t i = 0; i < batch.size(); ++i) {
            const auto& values = batch[i].Samples;
            records[i] = TesselSamplesRecord{batch[i].PackNum, values.empty() ? nullptr : next,
                                             static_cast<uint32_t>(values.size())};
            next = std::copy(values.begin(), values.end(), next);
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
        HostBatch<MEMSRecord> records(batch.size());
        for (size_t i = 0; i < batch.size(); ++i) {
            const auto& s = batch[i];
            records[i] = MEMSRecord{s.PackNum,    s.AccelerometerX, s.AccelerometerY, s.AccelerometerZ,
                                    s.GyroscopeX, s.GyroscopeY,     s.GyroscopeZ};
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
        HostBatch<QuaternionRecord> records(batch.size());
        for (size_t i = 0; i < batch.size(); ++i) {
            const auto& q = batch[i];
            records[i] = QuaternionRecord{q.PackNum, q.W, q.X, q.Y, q.Z};
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
        HostBatch<EnvelopeRecord> records(batch.size());
        for (size_t i = 0; i < batch.size(); ++i) {
            const auto& e = batch[i];
            records[i] = EnvelopeRecord{e.PackNum, e.Value};
        }
        callWithBatch(host, records);
    }
};

}  // namespace VexaDevice::Api
