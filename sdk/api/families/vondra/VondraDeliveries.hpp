#pragma once
// Host deliveries of the Vondra sensors' record batches: each batch becomes an array of the
// host's flat records for the length of one call.

#include <algorithm>
#include <vector>

#include "sdk/api/HostDelivery.hpp"
#include "sdk/api/HostRecords.hpp"
#include "sdk/api/include/ambrelkit2.h"
#include "sdk/devices/kestrane/KestraneRecords.hpp"
#include "sdk/devices/vondra/VondraWire.hpp"

namespace VexaDevice::Api {

// Seven-channel signal: pack number, marker and the seven values as they are.
struct VondraSignalDelivery {
    HostTarget<VondraSignalCallback> host;

    void operator()(const std::vector<Vondra::_VondraSignalData>& batch) const {
        if (host.function == nullptr) {
            return;
        }
        HostBatch<VondraSignalRecord> records(batch.size());
        for (size_t i = 0; i < batch.size(); ++i) {
            records[i].PackNum = batch[i].PackNum;
            records[i].Marker = batch[i].Marker;
            std::ranges::copy(batch[i].Samples, records[i].Values);
        }
        callWithBatch(host, records);
    }
};

// Seven-channel resistance: pack number and the seven values, +infinity included.
struct VondraResistDelivery {
    HostTarget<VondraResistCallback> host;

    void operator()(const std::vector<Vondra::_VondraResistData>& batch) const {
        if (host.function == nullptr) {
            return;
        }
        HostBatch<VondraResistRecord> records(batch.size());
        for (size_t i = 0; i < batch.size(); ++i) {
            records[i].PackNum = batch[i].PackNum;
            std::ranges::copy(batch[i].Values, records[i].Values);
        }
        callWithBatch(host, records);
    }
};

// Four-channel resistance, the whole batch in one call, values in channel order.
struct FourChannelResistArrayDelivery {
    HostTarget<FourChannelResistArrayCallback> host;

    void operator()(const std::vector<Kestrane::_ResistData>& batch) const {
        if (host.function == nullptr) {
            return;
        }
        const ElectrodePicker inOrder = ElectrodePicker::inOrder();
        HostBatch<FourChannelResistRecord> records(batch.size());
        for (size_t i = 0; i < batch.size(); ++i) {
            records[i] = fourChannelResistRecord(batch[i], inOrder);
        }
        callWithBatch(host, records);
    }
};

}  // namespace VexaDevice::Api
