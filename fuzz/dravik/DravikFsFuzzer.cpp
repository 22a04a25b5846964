// Arbitrary notification bytes read as a file-system reply, status and stream: nothing is read
// outside the value, texts stay inside their fields and every data record's bytes match its
// declared length.

#include <cstddef>
#include <cstdint>
#include <span>

#include "sdk/devices/dravik/DravikFrames.hpp"

using namespace VexaDevice::Dravik;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    if (const auto reply = parseReply(bytes)) {
        if (reply->text.size() > kNameFieldSize || reply->payload.size() > size - kFrameHeadSize) __builtin_trap();
    }
    parseFsStatus(bytes, "fuzz");
    const auto content = parseFsStream(bytes);
    size_t carried = 0;
    for (const auto& record : content.data) carried += record.data.size() + 12;
    for (const auto& entry : content.entries)
        if (entry && entry->name.size() > kNameFieldSize) __builtin_trap();
    if (carried + 26 * content.entries.size() > size) __builtin_trap();
    if (const auto info = parseFileInfo(bytes); info && size != 22) __builtin_trap();
    return 0;
}
