#pragma once
// The file system of an emulated Dravik device: an in-memory store of named files with FAT
// dates, the file-system status (state, stream active, autosave), and the answers to request
// frames: a reply frame, and what follows it on the stream and status characteristics.
//
// Request: id (4), command (1), 0, name (13), payload length (1), payload.
// Reply: id (4), command (1), result (1), name (13), payload length (1), payload.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace VexaSim {

struct DravikFile {
    std::vector<uint8_t> bytes;
    uint16_t fatDate = 0;
    uint16_t fatTime = 0;
    uint8_t attribute = 0x20;
};

struct DravikFsAnswer {
    std::vector<std::vector<uint8_t>> replies;  // FS Reply notifications, in order
    std::vector<std::vector<uint8_t>> stream;   // FS Stream notifications, in order
    bool statusChanged = false;                 // the status value changed: announce it
};

class DravikFileStore {
public:
    // Device results of the file system.
    static constexpr uint8_t NoFile = 4;
    static constexpr uint8_t Denied = 7;
    static constexpr uint8_t NotEnabled = 12;
    static constexpr uint8_t NoCommand = 130;
    static constexpr uint8_t FormatError = 131;

    explicit DravikFileStore(uint8_t fsState = 0, uint32_t totalKiB = 4096);

    DravikFsAnswer onRequest(const std::vector<uint8_t>& frame);

    // While autosave runs, the sample bytes the amplifier streams are appended to its file.
    void record(const std::vector<uint8_t>& bytes);

    // The 20-byte status value: state, a device byte, stream active, autosave, two int32.
    std::vector<uint8_t> statusValue() const;

    std::map<std::string, DravikFile>& files() { return files_; }
    uint8_t fsState() const { return fsState_; }
    void setFsState(uint8_t state) { fsState_ = state; }
    bool autosave() const { return autosave_; }
    const std::string& autosaveName() const { return autosaveName_; }
    // The FAT date and time the last enable command carried.
    uint32_t enabledAt() const { return enabledAt_; }

    // Faults: the next reply goes out twice, first with another request id; read replies carry
    // no data; replies answer nothing.
    void setWrongIdFirst(bool on) { wrongIdFirst_ = on; }
    void setEmptyReads(bool on) { emptyReads_ = on; }
    void setSilent(bool on) { silent_ = on; }

private:
    std::vector<uint8_t> reply(const std::vector<uint8_t>& frame, uint8_t result, const std::string& text,
                               const std::vector<uint8_t>& payload) const;
    uint32_t usedKiB() const;

    std::map<std::string, DravikFile> files_;
    uint8_t fsState_;
    uint32_t totalKiB_;
    bool streamActive_ = false;
    bool autosave_ = false;
    std::string autosaveName_;
    uint32_t enabledAt_ = 0;
    bool wrongIdFirst_ = false;
    bool emptyReads_ = false;
    bool silent_ = false;
};

// The device's own CRC-32 (IEEE 802.3, reflected), computed bit by bit.
uint32_t dravikDeviceCrc32(const uint8_t* data, size_t length);

}  // namespace VexaSim
