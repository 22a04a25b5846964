#include "sdk/devices/kestrane/PackWalk.hpp"

#include "sdk/core/ByteReaders.hpp"
#include "sdk/core/Log.hpp"

namespace VexaDevice::Kestrane {

bool PackLayout::walkable() const {
    return packSize > 0 && counterSize <= packSize && recordSize() > 0 && valuesPerRecord <= MaxChannels;
}

namespace PackWalkDetail {

ConversionResult unwalkable(const PackLayout& layout, const char* source) {
    Utility::sdkLog().warn("Error pack layout. Device: [{}][{}]", source, layout.packSize);
    return {false, WrongPackSize,
            std::string("Error pack layout. Device: [") + source + "][" + std::to_string(layout.packSize) + "]"};
}

ConversionResult lengthResult(size_t length, const PackLayout& layout, const char* source) {
    if (length % layout.packSize == 0) return {};
    Utility::sdkLog().warn("Error data length. Device: [{}][{}]", source, length);
    return {false, WrongPackSize,
            std::string("Error data length. Device: [") + source + "][" + std::to_string(length) + "]"};
}

uint32_t readCounter(const uint8_t* pack, const PackLayout& layout, bool littleEndian) {
    return Utility::decodeUnsigned(pack, layout.counterSize, littleEndian);
}

}  // namespace PackWalkDetail
}  // namespace VexaDevice::Kestrane
