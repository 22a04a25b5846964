#pragma once
// The exported functions' view of a Dravik sensor (family 14): its reads, its events and
// sample deliveries, and the device as the Dravik writes, file system and stimulator link
// reach it. It offers itself and its stimulator reads as its views.

#include <memory>
#include <vector>

#include "sdk/api/families/dravik/DravikDeviceBridge.hpp"
#include "sdk/api/FamilyTable.hpp"
#include "sdk/api/SharedViews.hpp"
#include "sdk/devices/dravik/IDravik.hpp"

namespace VexaDevice::Api {

class DravikAccess final : public TableAccess<Dravik::IDravik>, public StimulatorView {
public:
    explicit DravikAccess(std::shared_ptr<Dravik::IDravik> device);

    // The device for the Dravik control; it lives as long as this adapter.
    DravikDevice& dravikDevice() { return bridge_; }

    OperationResult readPhotoStimTimeDefer(double& out) override;
    // Channels the device does not list read as mode 0 and gain 11.
    OperationResult readAmplifierDravik(DravikAmplifierParam& out);
    OperationResult readFilesystemStatus(DravikFSStatus& out);
    OperationResult readFileSystemDiskInfo(DravikFSDiskInfo& out);
    OperationResult readStimPrograms(std::vector<StimulProgram>& out) override;

    Subscription addSignalDravik(const HostTarget<SignalChannelsCallback>& host);
    Subscription addResistDravik(const HostTarget<DravikResistCallback>& host);
    Subscription addSignalResistDravik(const HostTarget<DravikSignalResistCallback>& host);
    Subscription addSignalRawDravik(const HostTarget<RawSignalCallback>& host);
    Subscription addFileStreamDravik(const HostTarget<FileStreamCallback>& host);

private:
    DravikDeviceBridge bridge_;
};

}  // namespace VexaDevice::Api
