#include "sim/peers/dravik/DravikFileStore.hpp"

#include <algorithm>

#include "sdk/core/ByteReaders.hpp"

namespace VexaSim {

namespace {

using VexaDevice::Utility::appendLittleEndian;
using VexaDevice::Utility::decodeUnsigned;

constexpr size_t kHead = 20;
constexpr size_t kNameField = 13;
constexpr size_t kStreamChunk = 128;
constexpr uint8_t kEntryRecord = 1;
constexpr uint8_t kDataRecord = 2;

std::string nameOf(const std::vector<uint8_t>& frame) {
    const auto begin = frame.begin() + 6;
    return std::string(begin, std::find(begin, begin + kNameField, uint8_t{0}));
}

// The file entry as a file-information reply and a list record carry it.
std::vector<uint8_t> entry(const std::string& name, const DravikFile* file) {
    std::vector<uint8_t> bytes;
    appendLittleEndian(bytes, file ? static_cast<uint32_t>(file->bytes.size()) : 0, 4);
    appendLittleEndian(bytes, file ? file->fatDate : 0, 2);
    appendLittleEndian(bytes, file ? file->fatTime : 0, 2);
    bytes.push_back(file ? file->attribute : 0);
    const size_t start = bytes.size();
    bytes.insert(bytes.end(), name.begin(),
                 name.begin() + static_cast<std::ptrdiff_t>(std::min<size_t>(name.size(), 12)));
    bytes.resize(start + kNameField, 0);
    return bytes;
}

std::vector<uint8_t> entryRecord(const std::string& name, const DravikFile* file) {
    std::vector<uint8_t> record{kEntryRecord, 26, 0, 0};
    const auto body = entry(name, file);
    record.insert(record.end(), body.begin(), body.end());
    return record;
}

bool matches(const std::string& name, const std::string& pattern) {
    if (pattern == "*" || pattern == "*.*") {
        return true;
    }
    const std::string suffix = pattern.rfind('*', 0) == 0 ? pattern.substr(1) : pattern;
    return name.size() >= suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

uint32_t dravikDeviceCrc32(const uint8_t* data, size_t length) {
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

DravikFileStore::DravikFileStore(uint8_t fsState, uint32_t totalKiB) : fsState_(fsState), totalKiB_(totalKiB) {}

std::vector<uint8_t> DravikFileStore::statusValue() const {
    std::vector<uint8_t> value{fsState_, 0, static_cast<uint8_t>(streamActive_ ? 1 : 0),
                               static_cast<uint8_t>(autosave_ ? 1 : 0)};
    appendLittleEndian(value, static_cast<uint32_t>(files_.size()), 4);
    appendLittleEndian(value, usedKiB(), 4);
    value.resize(20, 0);
    return value;
}

uint32_t DravikFileStore::usedKiB() const {
    size_t bytes = 0;
    for (const auto& [name, file] : files_) {
        bytes += (file.bytes.size() + 1023) / 1024 * 1024;
    }
    return static_cast<uint32_t>(bytes / 1024);
}

std::vector<uint8_t> DravikFileStore::reply(const std::vector<uint8_t>& frame, uint8_t result, const std::string& text,
                                            const std::vector<uint8_t>& payload) const {
    std::vector<uint8_t> bytes(frame.begin(), frame.begin() + 5);
    bytes.push_back(result);
    const size_t start = bytes.size();
    bytes.insert(bytes.end(), text.begin(),
                 text.begin() + static_cast<std::ptrdiff_t>(std::min<size_t>(text.size(), 12)));
    bytes.resize(start + kNameField, 0);
    bytes.push_back(static_cast<uint8_t>(payload.size()));
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    return bytes;
}

DravikFsAnswer DravikFileStore::onRequest(const std::vector<uint8_t>& frame) {
    DravikFsAnswer answer;
    if (frame.size() < kHead || frame.size() != kHead + frame[19]) {
        if (frame.size() >= 5) {
            answer.replies.push_back(reply(frame, FormatError, {}, {}));
        }
        return answer;
    }
    const uint8_t command = frame[4];
    const std::string name = nameOf(frame);
    const std::vector<uint8_t> payload(frame.begin() + kHead, frame.end());
    const auto word = [&payload](size_t index) {
        return payload.size() >= 4 * (index + 1) ? decodeUnsigned(payload.data() + 4 * index, 4, true) : 0u;
    };
    const uint8_t before[] = {fsState_, static_cast<uint8_t>(streamActive_), static_cast<uint8_t>(autosave_)};
    uint8_t result = 0;
    std::vector<uint8_t> out;
    const bool enabled = fsState_ == 0 || fsState_ == 3;
    auto found = files_.find(name);
    switch (command) {
    case 1: fsState_ = 1; break;
    case 2:
        fsState_ = 0;
        enabledAt_ = word(0);
        break;
    case 3:
        if (!enabled)
            result = NotEnabled;
        else if (found == files_.end())
            result = NoFile;
        else
            out = entry(name, &found->second);
        break;
    case 4: {
        if (fsState_ != 0) {
            result = Denied;
            break;
        }
        const uint32_t offset = word(0);
        DravikFile& file = files_[name];
        if (offset == 0) {
            file = DravikFile{{}, static_cast<uint16_t>(enabledAt_ >> 16), static_cast<uint16_t>(enabledAt_), 0x20};
        }
        const std::vector<uint8_t> data(payload.begin() + std::min<size_t>(8, payload.size()), payload.end());
        if (file.bytes.size() < offset + data.size()) {
            file.bytes.resize(offset + data.size(), 0);
        }
        std::copy(data.begin(), data.end(), file.bytes.begin() + offset);
        break;
    }
    case 5: {
        if (found == files_.end()) {
            result = NoFile;
            break;
        }
        const auto& bytes = found->second.bytes;
        const size_t offset = std::min<size_t>(word(0), bytes.size());
        const size_t count = emptyReads_ ? 0 : std::min<size_t>(word(1), bytes.size() - offset);
        appendLittleEndian(out, static_cast<uint32_t>(offset), 4);
        appendLittleEndian(out, static_cast<uint32_t>(count), 4);
        out.insert(out.end(), bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                   bytes.begin() + static_cast<std::ptrdiff_t>(offset + count));
        break;
    }
    case 6:
        if (fsState_ != 0)
            result = Denied;
        else if (found == files_.end())
            result = NoFile;
        else
            files_.erase(found);
        break;
    case 7:
        if (fsState_ != 0) {
            result = Denied;
            break;
        }
        std::erase_if(files_, [&name](const auto& item) { return matches(item.first, name); });
        break;
    case 8: {
        if (found == files_.end()) {
            result = NoFile;
            break;
        }
        const auto& bytes = found->second.bytes;
        const size_t offset = std::min<size_t>(word(0), bytes.size());
        const size_t length = std::min<size_t>(word(1) == 0 ? bytes.size() : word(1), bytes.size() - offset);
        appendLittleEndian(out, word(0), 4);
        appendLittleEndian(out, word(1), 4);
        appendLittleEndian(out, dravikDeviceCrc32(bytes.data() + offset, length), 4);
        break;
    }
    case 9:
        appendLittleEndian(out, totalKiB_, 4);
        appendLittleEndian(out, totalKiB_ - std::min(usedKiB(), totalKiB_), 4);
        break;
    case 16:
        streamActive_ = false;
        autosave_ = false;
        break;
    case 17:
        if (fsState_ != 0) {
            result = Denied;
            break;
        }
        autosave_ = true;
        streamActive_ = true;
        autosaveName_ = name;
        files_[name] = DravikFile{{}, static_cast<uint16_t>(enabledAt_ >> 16), static_cast<uint16_t>(enabledAt_), 0x20};
        break;
    case 18: {
        if (found == files_.end()) {
            result = NoFile;
            break;
        }
        const auto& bytes = found->second.bytes;
        const size_t offset = std::min<size_t>(word(0), bytes.size());
        const size_t end = std::min<size_t>(offset + word(1), bytes.size());
        for (size_t position = offset; position < end; position += kStreamChunk) {
            const size_t count = std::min(kStreamChunk, end - position);
            std::vector<uint8_t> record{kDataRecord, static_cast<uint8_t>(12 + count), static_cast<uint8_t>(count), 0};
            appendLittleEndian(record, word(2), 4);
            appendLittleEndian(record, static_cast<uint32_t>(position + count), 4);
            record.insert(record.end(), bytes.begin() + static_cast<std::ptrdiff_t>(position),
                          bytes.begin() + static_cast<std::ptrdiff_t>(position + count));
            answer.stream.push_back(std::move(record));
        }
        break;
    }
    case 19:
        for (const auto& [file, content] : files_) {
            answer.stream.push_back(entryRecord(file, &content));
        }
        answer.stream.push_back(entryRecord({}, nullptr));
        break;
    default: result = NoCommand; break;
    }
    const uint8_t after[] = {fsState_, static_cast<uint8_t>(streamActive_), static_cast<uint8_t>(autosave_)};
    answer.statusChanged = !std::equal(std::begin(before), std::end(before), std::begin(after));
    if (silent_) {
        return answer;
    }
    auto answered = reply(frame, result, name, out);
    if (wrongIdFirst_) {
        auto wrong = answered;
        wrong[0] ^= 0x5A;
        answer.replies.push_back(std::move(wrong));
        wrongIdFirst_ = false;
    }
    answer.replies.push_back(std::move(answered));
    return answer;
}

void DravikFileStore::record(const std::vector<uint8_t>& bytes) {
    if (!autosave_) {
        return;
    }
    auto& file = files_[autosaveName_].bytes;
    file.insert(file.end(), bytes.begin(), bytes.end());
}

}  // namespace VexaSim
