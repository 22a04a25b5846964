#include "sdk/core/DeviceInfoReader.hpp"

#include <algorithm>
#include <array>
#include <cstdio>
#include <regex>

#include "sdk/core/ByteReaders.hpp"
#include "sdk/core/Log.hpp"
#include "sdk/core/RtException.hpp"

namespace VexaDevice::Utility {

const UUID kDeviceInformationService = parseUuid("0000180A-0000-1000-8000-00805F9B34FB");
const UUID kSerialNumberCharacteristic = parseUuid("00002A25-0000-1000-8000-00805F9B34FB");
const UUID kModelNumberCharacteristic = parseUuid("00002A24-0000-1000-8000-00805F9B34FB");
const UUID kHardwareRevisionCharacteristic = parseUuid("00002A27-0000-1000-8000-00805F9B34FB");
const UUID kFirmwareRevisionCharacteristic = parseUuid("00002A26-0000-1000-8000-00805F9B34FB");

namespace {

// Reads up to `N` unsigned numbers from the start of the text with a "%u.%u..." format.
// Numbers that do not convert stay 0; throws `parseFailure` when not even the first does.
template <std::size_t N>
std::array<unsigned, N> scanNumbers(const std::string& text, const char* format, const char* parseFailure) {
    std::array<unsigned, N> numbers{};
    int converted = 0;
    if constexpr (N == 2) {
        converted = std::sscanf(text.c_str(), format, &numbers[0], &numbers[1]);
    } else {
        converted = std::sscanf(text.c_str(), format, &numbers[0], &numbers[1], &numbers[2]);
    }
    if (converted < 1) {
        throw rt_exception(parseFailure);
    }
    return numbers;
}

// No model number or revision is longer than a few dozen characters. Longer text is no
// recognised form and is never handed to the patterns, whose backtracking grows with the
// cube of the length: a device could stall its connection with a long one.
constexpr std::size_t kLongestVersionText = 64;

void applySerial(const std::string& text, DeviceVersion& record) {
    record.serial.fill('\0');
    const std::size_t length = std::min(text.size(), record.serial.size());
    std::copy_n(text.begin(), length, record.serial.begin());
}

void applyModel(const std::string& text, DeviceVersion& record) {
    static const std::regex kModelPattern("([0-9]+).([0-9]+)");
    if (text.size() > kLongestVersionText) {
        return;
    }
    if (std::regex_search(text, kModelPattern)) {
        const auto numbers = scanNumbers<2>(text, "%u.%u", "Can not parse Model number");
        sdkLog().trace("Model string: [{}] -> [{}][{}]", text, numbers[0], numbers[1]);
        record.modelMajor = static_cast<uint8_t>(numbers[0]);
        record.modelMinor = static_cast<uint8_t>(numbers[1]);
    } else if (isDigits(text)) {
        record.modelMajor = static_cast<uint8_t>(std::stoi(text));
    }
}

// A revision "major.minor.patch", or a bare major number; any other text (a longer one too)
// leaves the fields.
void applyRevision(const std::string& text, const char* parseFailure, uint32_t& major, uint32_t& minor,
                   uint32_t& patch) {
    static const std::regex kRevisionPattern("([0-9]+).([0-9]+).([0-9]+)");
    if (text.size() > kLongestVersionText) {
        return;
    }
    if (std::regex_match(text, kRevisionPattern)) {
        const auto numbers = scanNumbers<3>(text, "%u.%u.%u", parseFailure);
        major = numbers[0];
        minor = numbers[1];
        patch = numbers[2];
    } else if (isDigits(text)) {
        major = static_cast<uint32_t>(std::stoi(text));
    }
}

void applyHardware(const std::string& text, DeviceVersion& record) {
    applyRevision(text, "Can not parse Hardware Revision", record.hardwareMajor, record.hardwareMinor,
                  record.hardwarePatch);
}

void applyFirmware(const std::string& text, DeviceVersion& record) {
    applyRevision(text, "Can not parse Firmware Revision", record.firmwareMajor, record.firmwareMinor,
                  record.firmwarePatch);
}

struct ReadStep {
    const UUID& characteristic;
    const char* readFailure;
    void (*apply)(const std::string&, DeviceVersion&);
};

bool cancelled(const bool* cancel) { return cancel != nullptr && *cancel; }

}  // namespace

std::string textFromValue(const std::vector<uint8_t>& value) {
    const auto end = std::find(value.begin(), value.end(), uint8_t{0});
    return std::string(value.begin(), end);
}

bool readString(const CharacteristicRead& read, const UUID& characteristic, std::string& out) {
    const auto value = read(characteristic);
    if (!value || value->empty()) {
        return false;
    }
    out = textFromValue(*value);
    return true;
}

void readDeviceInfoFrom(const CharacteristicRead& read, DeviceVersion& record, const bool* cancel) {
    const std::array<ReadStep, 4> steps{{
        {kSerialNumberCharacteristic, "Can not read Serial number", applySerial},
        {kModelNumberCharacteristic, "Can not read Model number", applyModel},
        {kHardwareRevisionCharacteristic, "Can not read Hardware Revision", applyHardware},
        {kFirmwareRevisionCharacteristic, "Can not read Firmware Revision", applyFirmware},
    }};
    for (const ReadStep& step : steps) {
        std::string text;
        bool done = false;
        for (int attempt = 0; attempt < kDeviceInfoReadAttempts && !done; ++attempt) {
            if (cancelled(cancel)) {
                return;
            }
            done = readString(read, step.characteristic, text);
        }
        if (!done) {
            throw rt_exception(step.readFailure);
        }
        step.apply(text, record);
    }
}

}  // namespace VexaDevice::Utility
