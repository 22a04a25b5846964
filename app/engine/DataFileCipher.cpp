#include "app/engine/DataFileCipher.hpp"

namespace quellwave {

void applyDataFileKey(std::span<std::uint8_t> bytes) {
    std::size_t keyIndex = 0;
    for (auto& byte : bytes) {
        byte ^= static_cast<std::uint8_t>(kDataFileKey[keyIndex]);
        if (++keyIndex == kDataFileKey.size()) keyIndex = 0;
    }
}

}  // namespace quellwave
