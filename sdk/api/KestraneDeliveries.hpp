#pragma once
// Deliveries of the Kestrane records that several device classes publish.

#include <vector>

#include "sdk/api/HostDelivery.hpp"
#include "sdk/api/HostRecords.hpp"
#include "sdk/devices/kestrane/KestraneRecords.hpp"

namespace VexaDevice::Api {

// Kestrane signal as Morvex records, the electrodes picked from each record.
struct PickedSignalDelivery {
    HostTarget<MorvexSignalCallback> host;
    ElectrodePicker picker;

    void operator()(const std::vector<Kestrane::_SignalData>& signal) const {
        if (host.function == nullptr) {
            return;
        }
        auto records = morvexSignalRecords(signal, picker);
        callWithBatch(host, records);
    }
};

// Kestrane resistance as Morvex records, one call per record.
struct PickedResistDelivery {
    HostTarget<MorvexResistCallback> host;
    ElectrodePicker picker;

    void operator()(const std::vector<Kestrane::_ResistData>& resist) const {
        if (host.function == nullptr) {
            return;
        }
        for (const auto& sample : resist) {
            auto record = morvexResistRecord(sample, picker);
            host.function(host.sensor, &record, host.userData);
        }
    }
};

// Kestrane resistance as four-channel records, one call per record.
struct FourChannelResistDelivery {
    HostTarget<FourChannelResistCallback> host;
    ElectrodePicker picker;

    void operator()(const std::vector<Kestrane::_ResistData>& resist) const {
        if (host.function == nullptr) {
            return;
        }
        for (const auto& sample : resist) {
            auto record = fourChannelResistRecord(sample, picker);
            host.function(host.sensor, &record, host.userData);
        }
    }
};

struct SignalChannelsDelivery {
    HostTarget<SignalChannelsCallback> host;

    void operator()(const std::vector<Kestrane::_SignalData>& signal) const {
        if (host.function == nullptr) {
            return;
        }
        SignalChannelsBatch batch(signal);
        callWithBatch(host, batch.records());
    }
};

struct ResistChannelsDelivery {
    HostTarget<ResistChannelsCallback> host;

    void operator()(const std::vector<Kestrane::_ResistData>& resist) const {
        if (host.function == nullptr) {
            return;
        }
        ResistChannelsBatch batch(resist);
        callWithBatch(host, batch.records());
    }
};

struct MemsDelivery {
    HostTarget<MEMSDataCallback> host;

    void operator()(const std::vector<Kestrane::_IMUData>& samples) const {
        if (host.function == nullptr) {
            return;
        }
        auto records = memsRecords(samples);
        callWithBatch(host, records);
    }
};

struct FpgDelivery {
    HostTarget<FPGDataCallback> host;

    void operator()(const std::vector<Kestrane::_FPGData>& samples) const {
        if (host.function == nullptr) {
            return;
        }
        auto records = fpgRecords(samples);
        callWithBatch(host, records);
    }
};

}  // namespace VexaDevice::Api
