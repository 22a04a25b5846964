// Feeds arbitrary Device Information values (serial number, model number, hardware and firmware
// revision, each read failing now and then) to the reader every family uses when it connects.
// Only the reader's own failures may leave it; the serial number keeps at most 16 characters,
// the first of the text, and fields of a text that is no recognised form stay as they were.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "sdk/core/DeviceInfoReader.hpp"
#include "sdk/core/RtException.hpp"

using namespace VexaDevice;
using namespace VexaDevice::Utility;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Each value: a length byte (0xFF: the read fails), then that many bytes.
    std::map<UUID, std::optional<std::vector<uint8_t>>> values;
    size_t position = 0;
    for (const UUID* characteristic : {&kSerialNumberCharacteristic, &kModelNumberCharacteristic,
                                       &kHardwareRevisionCharacteristic, &kFirmwareRevisionCharacteristic}) {
        const uint8_t length = position < size ? data[position++] : 0;
        if (length == 0xFF) {
            values[*characteristic] = std::nullopt;
            continue;
        }
        const size_t taken = std::min<size_t>(length, size - position);
        values[*characteristic] = std::vector<uint8_t>(data + position, data + position + taken);
        position += taken;
    }
    const CharacteristicRead read = [&values](const UUID& characteristic) { return values[characteristic]; };

    DeviceVersion version;
    try {
        readDeviceInfoFrom(read, version, nullptr);
    } catch (const rt_exception&) {
        return 0;
    }
    const std::string serial = textFromValue(*values[kSerialNumberCharacteristic]);
    const std::string kept = version.serialText();
    if (kept.size() > version.serial.size() || serial.compare(0, kept.size(), kept) != 0 ||
        kept.size() != std::min(serial.size(), version.serial.size()))
        __builtin_trap();
    return 0;
}
