#include "sdk/api/families/morvex/MorvexControl.hpp"

namespace VexaDevice::Api {

namespace {

using Morvex::IMorvex;

const ControlTable<IMorvex>& morvexWrites() {
    static const ControlTable<IMorvex> table{
        .bytes = {{WriteParameter::Gain, writeOf<uint8_t>(&IMorvex::writeGain)}},
        .channelsCount = [](IMorvex&) { return int32_t{4}; },
    };
    return table;
}

}  // namespace

MorvexControl::MorvexControl(IMorvex& device) : TableControl(device, morvexWrites()) {}

}  // namespace VexaDevice::Api
