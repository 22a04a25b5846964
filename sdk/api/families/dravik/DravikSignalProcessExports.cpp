// The exported Dravik signal processing: parameters made from an amplifier record and kept by a
// handle, and raw packs converted into the host's pack arrays.

#include <memory>
#include <vector>

#include "sdk/api/CallStatus.hpp"
#include "sdk/api/CallbackHandle.hpp"
#include "sdk/api/families/dravik/DravikControl.hpp"
#include "sdk/api/DravikSignalProcessing.hpp"
#include "sdk/api/SignalPacks.hpp"
#include "sdk/api/include/ambrelkit2.h"

using namespace VexaDevice;
using namespace VexaDevice::Api;

namespace {

const ExportFailure kProcessingFailure{{Errors::InvalidParametersParams.code, Errors::ReadParameterFailed.text}};
constexpr LibraryError kMissingArguments{Errors::ReadParameterFailed.code, "Required parameters must be specified"};
constexpr LibraryError kForeignHandle{Errors::ReadParameterFailed.code,
                                      "The handle is not a live signal processing handle"};

// An output pair is used when both pointers are given; a negative count is refused.
template <typename Pack>
bool refusedOutput(const Pack* packs, const int32_t* count) {
    return packs != nullptr && count != nullptr && *count < 0;
}

}  // namespace

extern "C" {

// The handle keeps the parameters like a callback handle keeps its subscriber, and is freed by
// the same removal body; the conversion takes only a live handle of this kind.
AK_API uint8_t createSignalProcessParamDravik(DravikAmplifierParam param, CallbackHandle** handle, CallStatus* status) {
    if (handle == nullptr) {
        return statusFail(kMissingArguments.text, Errors::InvalidParametersParams.code, status, 0);
    }
    return guardedExport(status, kProcessingFailure, [&]() -> uint8_t {
        const DravikAmplifier amplifier = dravikAmplifier(param, kDravikRecordChannels);
        if (const auto gains = Dravik::checkProcessingGains(deviceAmplifier(amplifier)); !gains) {
            return statusFail(gains.message.c_str(), gains.code, status, 0);
        }
        *handle = makeCallbackHandle({makeSignalProcessParam(amplifier, kSignalProcessScale), nullptr},
                                     HandleKind::SignalProcessing);
        return statusOk(nullptr, status, 1);
    });
}

AK_API uint8_t parseRawSignalDravik(const uint8_t* raw, int32_t* rawLength, CallbackHandle* handle,
                                    DravikSignalPack* signals, int32_t* signalCount, DravikResistPack* resists,
                                    int32_t* resistCount, CallStatus* status) {
    if (raw == nullptr || rawLength == nullptr || handle == nullptr || *rawLength < 0 ||
        refusedOutput(signals, signalCount) || refusedOutput(resists, resistCount)) {
        return statusFail(kMissingArguments, status);
    }
    return guardedExport(status, kProcessingFailure, [&]() -> uint8_t {
        const auto param =
            std::static_pointer_cast<SignalProcessParam>(liveSubscriber(handle, HandleKind::SignalProcessing));
        if (!param) {
            return statusFail(kForeignHandle, status);
        }
        std::vector<Kestrane::_SignalData> signal;
        std::vector<DravikParsedResist> resist;
        const size_t used = parseRawSignal(param, std::vector<uint8_t>(raw, raw + *rawLength), signal, resist);
        *rawLength = static_cast<int32_t>(used);
        if (signals != nullptr && signalCount != nullptr) {
            fillSignalPacks(signal, signals, signalCount);
        }
        if (resists != nullptr && resistCount != nullptr) {
            fillResistPacks(resist, resists, resistCount);
        }
        return statusOk(nullptr, status, 1);
    });
}

}  // extern "C"
