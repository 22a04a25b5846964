#include "sdk/api/FamilyControl.hpp"

#include "sdk/api/CallStatus.hpp"
#include "sdk/api/FamilyAccess.hpp"

namespace VexaDevice::Api {

OperationResult unsupportedWrite() {
    return OperationResult::failed(static_cast<int32_t>(Errors::WriteUnsupported.code), Errors::WriteUnsupported.text);
}

OperationResult unsupportedCommand() {
    return OperationResult::failed(static_cast<int32_t>(Errors::CommandFailed.code), Errors::CommandFailed.text);
}

OperationResult FamilyControl::writeByte(WriteParameter, uint8_t) { return unsupportedWrite(); }
OperationResult FamilyControl::writeAmplifierMorvex2(const Morvex2AmplifierParam&) { return unsupportedWrite(); }
OperationResult FamilyControl::writeAmplifierWrenlet(const WrenletAmplifierParam&) { return unsupportedWrite(); }
OperationResult FamilyControl::writeAmplifierVondra2(const Vondra2AmplifierParam&) { return unsupportedWrite(); }
OperationResult FamilyControl::writeAmplifierVondra(const VondraAmplifierParam&) { return unsupportedWrite(); }
OperationResult FamilyControl::writeAmplifierDravik(const DravikAmplifierParam&) { return unsupportedWrite(); }
OperationResult FamilyControl::writeHardwareFilters(const std::set<uint8_t>&) { return unsupportedWrite(); }
OperationResult FamilyControl::writeMotionAssistantParam(const TesselMotionAssistantParam&) {
    return unsupportedWrite();
}
OperationResult FamilyControl::writeMotionCounterParam(const TesselMotionCounterParam&) { return unsupportedWrite(); }
OperationResult FamilyControl::writeStimulatorParam(const TesselStimulatorParam&) { return unsupportedWrite(); }
OperationResult FamilyControl::writeSurveyId(int32_t) { return unsupportedWrite(); }
OperationResult FamilyControl::writePhotoStimTimeDefer(double) { return unsupportedWrite(); }
OperationResult FamilyControl::writeStimPrograms(const std::vector<StimulProgram>&) { return unsupportedWrite(); }
OperationResult FamilyControl::readSignalSettings(uint8_t&) { return unsupportedRead(); }
OperationResult FamilyControl::writeSignalSettings(uint8_t) { return unsupportedWrite(); }
OperationResult FamilyControl::ping(int32_t) { return unsupportedCommand(); }
int32_t FamilyControl::maxStimPrograms() { return 0; }
int32_t FamilyControl::channelsCount() { return 0; }
int32_t FamilyControl::maxStimulPhases() { return 0; }
std::set<uint8_t> FamilyControl::supportedFilters() { return {}; }
DravikDevice* FamilyControl::dravik() { return nullptr; }

}  // namespace VexaDevice::Api
