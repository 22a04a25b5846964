#include "sdk/devices/tessel/TesselPacks.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "sdk/core/ByteReaders.hpp"
#include "sdk/core/ConversionTables.hpp"
#include "sdk/devices/tessel/TesselWire.hpp"

namespace VexaDevice::Tessel {

namespace {

// Leading words of the data packs other than signal packs.
enum PackMark : uint16_t {
    MotionMark = 0xFFDD,
    RespirationMark = 0xFFDE,
    QuaternionMark = 0xFFE1,
    EnvelopeMark = 0xFFE3
};
constexpr int SignalSamples = 9;

int16_t readBigEndianI16(const TesselPack& pack, size_t at) {
    return static_cast<int16_t>(Utility::decodeSigned(&pack.bytes[at], 2, false));
}

}  // namespace

PackKind packKind(const TesselPack& pack) {
    const uint16_t lead = pack.lead();
    if (lead <= MaxSignalPackNum) return PackKind::Signal;
    switch (lead) {
    case MotionMark: return PackKind::Motion;
    case RespirationMark: return PackKind::Respiration;
    case FrameMark: return PackKind::Reply;
    case QuaternionMark: return PackKind::Quaternion;
    case EnvelopeMark: return PackKind::Envelope;
    default: return PackKind::Ignored;
    }
}

uint16_t batteryMillivolts(const TesselPack& pack) { return pack.wordAt(8); }

int32_t batteryPercentFromMillivolts(uint32_t millivolts) {
    struct Point {
        uint32_t millivolts;
        int32_t percent;
    };
    static constexpr std::array<Point, 21> Curve{
        {{3130, 0},  {3568, 5},  {3650, 10}, {3710, 15}, {3750, 20}, {3770, 25}, {3785, 30},
         {3799, 35}, {3808, 40}, {3820, 45}, {3832, 50}, {3855, 55}, {3867, 60}, {3890, 65},
         {3937, 70}, {3970, 75}, {3996, 80}, {4022, 85}, {4060, 90}, {4100, 95}, {4150, 100}}};
    if (millivolts <= Curve.front().millivolts) return 0;
    if (millivolts >= Curve.back().millivolts) return 100;
    const auto above = std::upper_bound(Curve.begin(), Curve.end(), millivolts,
                                        [](uint32_t value, const Point& point) { return value < point.millivolts; });
    const Point& low = *(above - 1);
    if (millivolts == low.millivolts) return low.percent;
    const double share = static_cast<double>(millivolts - low.millivolts) * 5.0 /
                         static_cast<double>(above->millivolts - low.millivolts);
    return static_cast<int32_t>(std::lround(low.percent + share));
}

ElectrodeState decodeElectrodeState(const TesselPack& pack) {
    return pack.bytes[8] != 0 ? ElectrodeState::Detached : ElectrodeState::Normal;
}

_SignalData decodeSignal(const TesselPack& pack, double gainFactor, uint8_t offset) {
    _SignalData record;
    record.PackNum = pack.lead();
    record.Samples.reserve(SignalSamples);
    const double scale = std::ldexp(VoltsPerCount, offset) / gainFactor;
    for (int i = 0; i < SignalSamples; ++i)
        record.Samples.push_back(static_cast<int16_t>(pack.wordAt(2 + 2 * static_cast<size_t>(i))) * scale);
    return record;
}

_RespirationData decodeRespiration(const TesselPack& pack) {
    return _RespirationData{pack.wordAt(2), {Utility::decodeSigned(&pack.bytes[4], 3, true) * VoltsPerCount}, true};
}

_EnvelopeData decodeEnvelope(const TesselPack& pack) {
    return _EnvelopeData{pack.wordAt(2), Utility::decodeSigned(&pack.bytes[4], 3, true) * VoltsPerCount, true};
}

_MEMSData decodeMotion(const TesselPack& pack, uint8_t accelSens, uint8_t gyroSens) {
    const double fullScale = Utility::bitnessToFullScale(2);
    const double accel = Utility::accelSensitivityToG(accelSens) / fullScale;
    const double gyro = Utility::gyroSensitivityToDps(gyroSens) / fullScale;
    return _MEMSData{pack.wordAt(2),
                     readBigEndianI16(pack, 8) * accel,
                     readBigEndianI16(pack, 10) * accel,
                     readBigEndianI16(pack, 12) * accel,
                     readBigEndianI16(pack, 14) * gyro,
                     readBigEndianI16(pack, 16) * gyro,
                     readBigEndianI16(pack, 18) * gyro,
                     true};
}

_QuaternionData decodeQuaternion(const TesselPack& pack) {
    std::array<float, 4> components{};
    for (size_t i = 0; i < components.size(); ++i) {
        const uint32_t bits = Utility::decodeUnsigned(&pack.bytes[4 + 4 * i], 4, true);
        std::memcpy(&components[i], &bits, sizeof(float));
    }
    return _QuaternionData{pack.wordAt(2), components[0], components[1], components[2], components[3], true};
}

PackLists classifyPacks(std::span<const TesselPack> packs) {
    PackLists lists;
    for (const TesselPack& pack : packs) {
        switch (packKind(pack)) {
        case PackKind::Signal: lists.signal.push_back(pack); break;
        case PackKind::Motion: lists.motion.push_back(pack); break;
        case PackKind::Respiration: lists.respiration.push_back(pack); break;
        case PackKind::Quaternion: lists.quaternion.push_back(pack); break;
        case PackKind::Envelope: lists.envelope.push_back(pack); break;
        case PackKind::Reply:
            if (pack.code() == Code::GetBatteryV)
                lists.battery.push_back(pack);
            else if (pack.code() == Code::GetElectrodeState)
                lists.electrode.push_back(pack);
            break;
        case PackKind::Ignored: break;
        }
    }
    return lists;
}

}  // namespace VexaDevice::Tessel
