#pragma once
// Byte layouts of the Dravik file-system service (all little-endian):
//
// Request (FS Command): request id (4), command (1), 0 (1), name field (13, zero-padded),
//   payload length N (1), payload (N).
// Reply (FS Reply): request id (4), command (1), result (1), zero-terminated text (13),
//   payload length M (1), payload (M).
// Status (FS Status): 20-byte packs, the last one counts: file-system state, a device byte,
//   stream active, autosave, two int32 values.
// Stream (FS Stream): records of a type byte and a length byte (header included): type 2 file
//   data (byte 2 data length D, bytes 4..7 a word, 8..11 end offset, then D bytes; length
//   12 + D), type 1 a file entry (length 26: size 4, FAT date 2, FAT time 2, attribute 1,
//   zero-terminated name 13); an entry with an empty name ends a file list.

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "sdk/devices/dravik/DravikRecords.hpp"

namespace VexaDevice::Dravik {

enum FsCommand : uint8_t {
    FsDisable = 1,
    FsEnable = 2,
    FsFileInfo = 3,
    FsWriteFile = 4,
    FsReadFile = 5,
    FsDeleteFile = 6,
    FsDeleteAll = 7,
    FsFileCrc32 = 8,
    FsDiskInfo = 9,
    FsStreamClose = 16,
    FsStreamAutosave = 17,
    FsStreamRead = 18,
    FsFileList = 19,
};

inline constexpr size_t kFrameHeadSize = 20;
inline constexpr size_t kNameFieldSize = 13;
inline constexpr size_t kMaxNameLength = 12;
// Data bytes of one read or write chunk.
inline constexpr size_t kFileChunk = 130;
// The head of a read reply's payload in front of the data.
inline constexpr size_t kReadHeadSize = 8;
// The sample budget the device is told with a stream read.
inline constexpr uint32_t kStreamBudget = 146;

// One reply of the device.
struct OpCmdRes {
    uint16_t result = 0;
    uint8_t command = 0;
    uint32_t requestId = 0;
    std::string text;
    std::vector<uint8_t> payload;
};

// What one FS Stream notification carries, in order: file data, and file entries where an
// empty optional marks the end of a list.
struct FsStreamContent {
    std::vector<_FileData> data;
    std::vector<std::optional<_FileInfo>> entries;
};

// A request frame; the name is cut to its field.
std::vector<uint8_t> requestFrame(uint32_t requestId, uint8_t command, const std::string& name,
                                  const std::vector<uint8_t>& payload);

// The reply, or nothing for a value shorter than a frame head. The text ends at its terminator
// or its field; a payload length beyond the bytes present is cut to them.
std::optional<OpCmdRes> parseReply(std::span<const uint8_t> bytes);

// The last whole pack; a value shorter than one pack gives {disabled, 1, 0, false, 0, 0}.
_DravikFSStatus parseFsStatus(std::span<const uint8_t> bytes, const std::string& deviceName);

FsStreamContent parseFsStream(std::span<const uint8_t> bytes);

// A file entry as a file-information reply payload carries it (22 bytes), or nothing.
std::optional<_FileInfo> parseFileInfo(std::span<const uint8_t> bytes);

// The FAT date (high 16 bits) and time (low 16 bits) of a local time.
uint32_t fatDateTime(std::chrono::system_clock::time_point when);

}  // namespace VexaDevice::Dravik
