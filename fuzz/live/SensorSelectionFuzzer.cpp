// Opens an emulated device whose kind, Device Information texts (model number with its variant,
// revisions, serial number) and identity the input chooses, and asks createSensor for the family
// and model the input names. Family selection from the discovered services, the version and
// model parsing and the model's channel layout all run on what the device says of itself: a
// sensor comes out only as a family that can be made, and everything else is a clear refusal.
//
// The input: device kind, requested family, model byte, Tessel service set, then the serial
// number, model number, hardware and firmware revision, each a length byte and its bytes.

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "sdk/api/SensorSelection.hpp"
#include "fuzz/live/FastTiming.hpp"
#include "sdk/api/include/ambrelkit2.h"
#include "sim/peers/kestrane/CommandStreamPeer.hpp"
#include "sim/peers/morvex/MorvexPeer.hpp"
#include "sim/peers/morvex2/Morvex2Peer.hpp"
#include "sim/peers/morvexblack/MorvexBlackPeer.hpp"
#include "sim/peers/tessel/TesselPeer.hpp"
#include "sim/radio/SimRadio.hpp"

using namespace std::chrono_literals;

namespace {

constexpr uint64_t Address = 0xE0;

class Input {
public:
    Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    uint8_t byte() { return position_ < size_ ? data_[position_++] : 0; }
    std::string text() {
        const size_t length = std::min<size_t>(byte(), size_ - position_);
        std::string out(reinterpret_cast<const char*>(data_) + position_, length);
        position_ += length;
        return out;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t position_ = 0;
};

struct Rig {
    Rig() {
        LiveFuzz::useFastTiming();
        const uint8_t families[] = {SensorFamilyTessel,        SensorFamilyMorvex,  SensorFamilyMorvexBlack,
                                    SensorFamilyMorvex2Model2, SensorFamilyMorvex2, SensorFamilyMorvex2F};
        CallStatus status{};
        scanner = createScanner(families, sizeof(families), &status);
    }

    std::shared_ptr<VexaSim::SimRadio> radio = VexaSim::SimRadio::create();
    VexaSim::SimRadioInstallation installed{radio};
    SensorScannerWrap* scanner = nullptr;
};

Rig& rig() {
    static Rig* made = new Rig();
    return *made;
}

// The emulated device the input describes, attached for one run.
std::shared_ptr<void> attach(VexaSim::SimRadio& radio, Input& input, uint8_t kind, uint8_t model) {
    const int serviceSet = input.byte() % 4;
    const VexaSim::DeviceInformationTexts texts{input.text(), input.text(), input.text(), input.text()};
    switch (kind % 4) {
    case 0: {
        VexaSim::MorvexPeerSettings settings;
        settings.serialNumber = texts.serialNumber;
        settings.modelNumber = texts.modelNumber;
        settings.hardwareRevision = texts.hardwareRevision;
        settings.firmwareRevision = texts.firmwareRevision;
        return VexaSim::MorvexPeer::attach(radio, Address, settings, {1s, 1});
    }
    case 1: {
        VexaSim::MorvexBlackPeerSettings settings;
        settings.information = texts;
        return VexaSim::MorvexBlackPeer::attach(radio, Address, settings, {1s});
    }
    case 2: {
        // The GATT table of a Morvex2 model, whatever the texts then claim.
        VexaSim::CommandStreamPeerSettings settings = VexaSim::morvex2Settings(static_cast<char>(model), kind >> 2 & 3);
        settings.information = texts;
        return VexaSim::CommandStreamPeer::attach(radio, Address, settings, {1s});
    }
    default: {
        VexaSim::TesselPeerSettings settings;
        settings.major = static_cast<uint8_t>(texts.modelNumber.size());
        settings.minor = static_cast<uint16_t>(texts.firmwareRevision.size());
        VexaSim::TesselPeerLook look;
        look.serviceSet = serviceSet;
        look.packPeriod = 1s;
        return VexaSim::TesselPeer::attach(radio, Address, settings, look);
    }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Rig& made = rig();
    Input input(data, size);
    const uint8_t kind = input.byte();
    const uint8_t family = input.byte();
    const uint8_t model = input.byte();
    {
        const auto device = attach(*made.radio, input, kind, model);
        _SensorInfo info{};
        info.SensFamily = family;
        info.SensModel = model;
        std::snprintf(info.Address, sizeof(info.Address), "00:00:00:00:00:%02X", static_cast<unsigned>(Address));
        CallStatus status{};
        if (_Sensor* sensor = createSensor(made.scanner, &info, &status)) {
            if (!VexaDevice::Api::isCreatableFamily(getFamilySensor(sensor))) __builtin_trap();
            EEGChannelInfo channels[8];
            int32_t count = 8;
            readSupportedChannelsMorvex2(sensor, channels, &count, &status);
            if (count < 0 || count > 8) __builtin_trap();
            SensorVersion version{};
            readVersionSensor(sensor, &version, &status);
            freeSensor(sensor);
        } else if (status.Error == 0 || status.ErrorMsg[0] == '\0') {
            __builtin_trap();
        }
    }
    made.radio->removePeripheral(Address);
    return 0;
}
