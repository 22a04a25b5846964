#pragma once
// The views of an access adapter or control that more than one family offers (see
// FamilyViews.hpp). A family whose adapter implements one offers it only for the codes and models
// that have it. The photo-stimulator's writes are the control's view `StimulatorDevice`.

#include <vector>

#include "sdk/api/HostTarget.hpp"
#include "sdk/api/include/ambrelkit2.h"
#include "sdk/core/OperationResult.hpp"

namespace VexaDevice::Api {

// The first-generation Morvex signal and resistance records (Morvex, MorvexBlack, and Morvex2
// as families 4 and 18).
class MorvexRecordsView {
public:
    virtual Subscription addSignalDataMorvex(const HostTarget<MorvexSignalCallback>& host) = 0;
    virtual Subscription addResistMorvex(const HostTarget<MorvexResistCallback>& host) = 0;

protected:
    ~MorvexRecordsView() = default;
};

// The four-channel amplifier record (Lorrel, MorvexBlack, and Morvex2 as family 4).
class WrenletAmplifierView {
public:
    virtual OperationResult readAmplifierWrenlet(WrenletAmplifierParam& out) = 0;

protected:
    ~WrenletAmplifierView() = default;
};

// The eight-channel amplifier record (Morvex2, and MorvexBlack models 1 and 2).
class Morvex2AmplifierView {
public:
    virtual OperationResult readAmplifierMorvex2(Morvex2AmplifierParam& out) = 0;

protected:
    ~Morvex2AmplifierView() = default;
};

// The photo-stimulator's start deferral and program list (PhotoStim, and Dravik through the
// stimulator it drives).
class StimulatorView {
public:
    virtual OperationResult readPhotoStimTimeDefer(double& out) = 0;
    virtual OperationResult readStimPrograms(std::vector<StimulProgram>& out) = 0;

protected:
    ~StimulatorView() = default;
};

// The control's write of the four-channel amplifier record (Lorrel, MorvexBlack, and Morvex2 as
// family 4).
class WrenletAmplifierWriteView {
public:
    virtual OperationResult writeAmplifierWrenlet(const WrenletAmplifierParam& param) = 0;

protected:
    ~WrenletAmplifierWriteView() = default;
};

// The control's write of the eight-channel amplifier record (Morvex2, and MorvexBlack models 1
// and 2).
class Morvex2AmplifierWriteView {
public:
    virtual OperationResult writeAmplifierMorvex2(const Morvex2AmplifierParam& param) = 0;

protected:
    ~Morvex2AmplifierWriteView() = default;
};

}  // namespace VexaDevice::Api
