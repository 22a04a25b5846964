#include "sdk/ble/StatusText.hpp"

#include <array>

namespace VexaDevice::BLE {

std::string gattStatusText(Platform::GattStatus status) {
    switch (status) {
    case Platform::GattStatus::Success: return "Success";
    case Platform::GattStatus::Unreachable: return "Unreachable";
    case Platform::GattStatus::ProtocolError: return "ProtocolError";
    case Platform::GattStatus::AccessDenied: return "AccessDenied";
    }
    return "[code]: [" + std::to_string(static_cast<int32_t>(status)) + "]";
}

std::string pairingStatusText(Platform::PairingStatus status) {
    static constexpr std::array<const char*, 20> names = {
        "Paired",
        "NotReadyToPair",
        "NotPaired",
        "AlreadyPaired",
        "ConnectionRejected",
        "TooManyConnections",
        "HardwareFailure",
        "AuthenticationTimeout",
        "AuthenticationNotAllowed",
        "AuthenticationFailure",
        "NoSupportedProfiles",
        "ProtectionLevelCouldNotBeMet",
        "AccessDenied",
        "InvalidCeremonyData",
        "PairingCanceled",
        "OperationAlreadyInProgress",
        "RequiredHandlerNotRegistered",
        "RejectedByHandler",
        "RemoteDeviceHasAssociation",
        "Failed",
    };
    const auto index = static_cast<int32_t>(status);
    if (index >= 0 && index < static_cast<int32_t>(names.size())) return names[static_cast<size_t>(index)];
    return std::to_string(index);
}

}  // namespace VexaDevice::BLE
