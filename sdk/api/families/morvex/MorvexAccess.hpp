#pragma once
// The exported functions' view of a first-generation Morvex device (family 3).

#include <memory>

#include "sdk/api/FamilyTable.hpp"
#include "sdk/api/SharedViews.hpp"
#include "sdk/devices/morvex/IMorvex.hpp"

namespace VexaDevice::Api {

class MorvexAccess final : public TableAccess<Morvex::IMorvex>, public MorvexRecordsView {
public:
    explicit MorvexAccess(std::shared_ptr<Morvex::IMorvex> device);

    // The family's own records: one host record per sample.
    Subscription addSignalDataMorvex(const HostTarget<MorvexSignalCallback>& host) override;
    // One call per resistance record.
    Subscription addResistMorvex(const HostTarget<MorvexResistCallback>& host) override;
};

}  // namespace VexaDevice::Api
