#pragma once
// The exported functions' view of a Dravik sensor (family 14): its reads, its events and
// sample deliveries, and the device as the Dravik writes, file system and stimulator link
// reach it.

#include <memory>
#include <vector>

#include "sdk/api/families/dravik/DravikDeviceBridge.hpp"
#include "sdk/api/FamilyTable.hpp"
#include "sdk/devices/dravik/IDravik.hpp"

namespace VexaDevice::Api {

class DravikAccess final : public TableAccess<Dravik::IDravik> {
public:
    explicit DravikAccess(std::shared_ptr<Dravik::IDravik> device);

    // The device for the Dravik control; it lives as long as this adapter.
    DravikDevice& dravikDevice() { return bridge_; }

    OperationResult readPhotoStimTimeDefer(double& out) override;
    // Channels the device does not list read as mode 0 and gain 11.
    OperationResult readAmplifierDravik(DravikAmplifierParam& out) override;
    OperationResult readFilesystemStatus(DravikFSStatus& out) override;
    OperationResult readFileSystemDiskInfo(DravikFSDiskInfo& out) override;
    OperationResult readStimPrograms(std::vector<StimulProgram>& out) override;

    Subscription addSignalDravik(const HostTarget<SignalChannelsCallback>& host) override;
    Subscription addResistDravik(const HostTarget<DravikResistCallback>& host) override;
    Subscription addSignalResistDravik(const HostTarget<DravikSignalResistCallback>& host) override;
    Subscription addSignalRawDravik(const HostTarget<RawSignalCallback>& host) override;
    Subscription addFileStreamDravik(const HostTarget<FileStreamCallback>& host) override;

private:
    DravikDeviceBridge bridge_;
};

}  // namespace VexaDevice::Api
