#include "app/engine/DataFileCipher.hpp"

#include <array>
#include <cstddef>

namespace quellwave {
namespace {

// The key repeated a whole number of times, long enough for wide XORs over a stretch of the
// file that starts where the key starts.
constexpr std::size_t kStretch = 64 * kDataFileKey.size();

constexpr std::array<std::uint8_t, kStretch> repeatedKey() {
    std::array<std::uint8_t, kStretch> key{};
    for (std::size_t i = 0; i < kStretch; ++i)
        key[i] = static_cast<std::uint8_t>(kDataFileKey[i % kDataFileKey.size()]);
    return key;
}

constexpr std::array<std::uint8_t, kStretch> kRepeatedKey = repeatedKey();

}  // namespace

void applyDataFileKey(std::span<std::uint8_t> bytes) {
    std::size_t at = 0;
    for (; at + kStretch <= bytes.size(); at += kStretch) {
        std::uint8_t* stretch = bytes.data() + at;
        for (std::size_t i = 0; i < kStretch; ++i) stretch[i] ^= kRepeatedKey[i];
    }
    for (std::size_t i = 0; at < bytes.size(); ++at, ++i) bytes[at] ^= kRepeatedKey[i];
}

}  // namespace quellwave
