#pragma once
// Result codes of the Dravik protocol: the device's file-system and protocol results and the
// library's own failure codes, each with its fixed text.

#include <cstdint>
#include <string>

#include "sdk/core/OperationResult.hpp"

namespace VexaDevice::Dravik {

enum DravikResult : uint16_t {
    DssNoError = 0,
    ErrDataSend = 513,
    ErrWrongParamValue = 517,
    ErrFileNameWrong = 518,
    ErrDiskTrouble = 519,
    ErrRxDataWrong = 520,
    ErrDataEmpty = 521,
    ErrDataOverflow = 522,
    ErrDiskProtected = 523,
    ErrFileExtWrong = 524,
    ErrFileCrc32Wrong = 525,
    ErrTimeout = 526,
    ErrUnsupportedStim = 527,
    ErrRequiredStimSensor = 528,
    ErrStimSensorStatusSet = 529,
    ErrStimSensorTimeSync = 530,
    ErrRequiredSyncStatus = 531,
};

// The code's text; "UNKNOWN" for a code without one.
std::string dravikErrorName(uint16_t code);

// A failure the library found itself: the code with its text alone.
OperationResult dravikFailure(uint16_t code);

// A code the device answered: success for 0, else "Device error: [" + text + "]".
OperationResult dravikDeviceResult(uint16_t code);

}  // namespace VexaDevice::Dravik
