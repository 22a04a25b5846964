#include "sdk/devices/dravik/DravikFrames.hpp"

#include <algorithm>
#include <ctime>

#include "sdk/core/ByteReaders.hpp"
#include "sdk/core/Log.hpp"

namespace VexaDevice::Dravik {

namespace {

using Utility::appendLittleEndian;
using Utility::decodeUnsigned;

constexpr size_t kFsStatusSize = 20;
constexpr uint8_t kFileDataRecord = 2;
constexpr uint8_t kFileEntryRecord = 1;
constexpr size_t kFileDataHead = 12;
constexpr size_t kFileEntrySize = 26;
constexpr size_t kFileInfoPayload = 22;

// Text of a zero-terminated field, never past the field.
std::string fieldText(const uint8_t* field, size_t size) {
    const auto end = std::find(field, field + size, uint8_t{0});
    return std::string(field, end);
}

_FileInfo fileEntry(const uint8_t* bytes) {
    return {fieldText(bytes + 9, kNameFieldSize), decodeUnsigned(bytes, 4, true),
            static_cast<uint16_t>(decodeUnsigned(bytes + 4, 2, true)),
            static_cast<uint16_t>(decodeUnsigned(bytes + 6, 2, true)), bytes[8]};
}

}  // namespace

std::vector<uint8_t> requestFrame(uint32_t requestId, uint8_t command, const std::string& name,
                                  const std::vector<uint8_t>& payload) {
    std::vector<uint8_t> frame;
    frame.reserve(kFrameHeadSize + payload.size());
    appendLittleEndian(frame, requestId, 4);
    frame.push_back(command);
    frame.push_back(0);
    const size_t nameLength = std::min(name.size(), kMaxNameLength);
    frame.insert(frame.end(), name.begin(), name.begin() + static_cast<std::ptrdiff_t>(nameLength));
    frame.resize(6 + kNameFieldSize, 0);
    frame.push_back(static_cast<uint8_t>(payload.size()));
    frame.insert(frame.end(), payload.begin(), payload.end());
    return frame;
}

std::optional<OpCmdRes> parseReply(std::span<const uint8_t> bytes) {
    if (bytes.size() < kFrameHeadSize) {
        return std::nullopt;
    }
    OpCmdRes reply;
    reply.requestId = decodeUnsigned(bytes.data(), 4, true);
    reply.command = bytes[4];
    reply.result = bytes[5];
    reply.text = fieldText(bytes.data() + 6, kNameFieldSize);
    const size_t length = std::min<size_t>(bytes[19], bytes.size() - kFrameHeadSize);
    reply.payload.assign(bytes.begin() + kFrameHeadSize,
                         bytes.begin() + static_cast<std::ptrdiff_t>(kFrameHeadSize + length));
    return reply;
}

_DravikFSStatus parseFsStatus(std::span<const uint8_t> bytes, const std::string& deviceName) {
    const size_t packs = bytes.size() / kFsStatusSize;
    if (bytes.size() % kFsStatusSize != 0) {
        Utility::sdkLog().warn("Error data length fs status. Device: [{}]", deviceName);
    }
    if (packs > 1) {
        Utility::sdkLog().trace("Recived more then one pack fs status: [{}]", packs);
    }
    if (packs == 0) {
        return {FsDisabled, 1, 0, false, 0, 0};
    }
    const uint8_t* pack = bytes.data() + (packs - 1) * kFsStatusSize;
    return {pack[0],
            pack[1],
            pack[2],
            pack[3] != 0,
            static_cast<int32_t>(decodeUnsigned(pack + 4, 4, true)),
            static_cast<int32_t>(decodeUnsigned(pack + 8, 4, true))};
}

FsStreamContent parseFsStream(std::span<const uint8_t> bytes) {
    FsStreamContent content;
    size_t offset = 0;
    while (bytes.size() - offset >= 2) {
        const uint8_t* record = bytes.data() + offset;
        const uint8_t type = record[0];
        const size_t length = record[1];
        const bool fits = length >= 2 && length <= bytes.size() - offset;
        if (!fits || (type == kFileDataRecord && length < kFileDataHead + 1) ||
            (type == kFileEntryRecord && length != kFileEntrySize) ||
            (type != kFileDataRecord && type != kFileEntryRecord)) {
            break;
        }
        if (type == kFileDataRecord) {
            const size_t dataLength = record[2];
            if (length == kFileDataHead + dataLength) {
                const uint32_t end = decodeUnsigned(record + 8, 4, true);
                content.data.push_back({decodeUnsigned(record + 4, 4, true),
                                        end < dataLength ? 0 : end - static_cast<uint32_t>(dataLength),
                                        std::vector<uint8_t>(record + kFileDataHead, record + length)});
            }
        } else {
            _FileInfo entry = fileEntry(record + 4);
            content.entries.push_back(entry.name.empty() ? std::nullopt : std::optional<_FileInfo>(std::move(entry)));
        }
        offset += length;
    }
    return content;
}

std::optional<_FileInfo> parseFileInfo(std::span<const uint8_t> bytes) {
    if (bytes.size() != kFileInfoPayload) {
        return std::nullopt;
    }
    return fileEntry(bytes.data());
}

uint32_t fatDateTime(std::chrono::system_clock::time_point when) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
    localtime_r(&seconds, &local);
    const auto year = static_cast<uint32_t>(std::clamp(local.tm_year + 1900 - 1980, 0, 127));
    return year << 25 | static_cast<uint32_t>(local.tm_mon + 1) << 21 | static_cast<uint32_t>(local.tm_mday) << 16 |
           static_cast<uint32_t>(local.tm_hour) << 11 | static_cast<uint32_t>(local.tm_min) << 5 |
           static_cast<uint32_t>(local.tm_sec / 2);
}

}  // namespace VexaDevice::Dravik
