#include "sdk/core/DeviceError.hpp"

#include <unordered_map>

namespace VexaDevice::Utility {

const char* LibraryErrorCodes::nameOf(uint16_t code) const {
    if (code == dataSend) return "ERR_DATA_SEND";
    if (code == unsupportedCommand) return "ERR_UNSUPPORTED_COMMAND";
    if (code == unsupportedParam) return "ERR_UNSUPPORTED_PARAM";
    if (code == unsupportedParamAccess) return "ERR_UNSUPPORTED_PARAM_ACCESS";
    if (code == wrongParamValue) return "ERR_WRONG_PARAM_VALUE";
    return nullptr;
}

std::string kspErrorName(uint16_t code) {
    if (const char* own = kKspErrors.nameOf(code)) {
        return own;
    }
    static const std::unordered_map<uint16_t, const char*> kNames{
        {0, "KSP_ERROR_NOERROR"},     {1, "KSP_ERROR_CMD_PARAM"}, {2, "KSP_ERROR_CMD_NOT_SUPPORT"},
        {3, "KSP_ERROR_BUSSY"},       {129, "T3P_ERR_NOCOMMAND"}, {130, "T3P_ERR_FORMAT"},
        {546, "ERR_WRONG_PACK_SIZE"}, {547, "ERR_IO_COMMAND"},
    };
    const auto found = kNames.find(code);
    return found != kNames.end() ? found->second : "UNKNOWN";
}

OperationResult deviceErrorResult(uint16_t code, const std::string& name) {
    if (code == 0) {
        return OperationResult::done();
    }
    return OperationResult::failed(code, "Device error: [" + name + "]");
}

OperationResult formatKspDeviceError(uint16_t code) { return deviceErrorResult(code, kspErrorName(code)); }

}  // namespace VexaDevice::Utility
