// Arbitrary coefficient text of any length: parsing never fails, the order is one less than the
// shorter coefficient list, and the filter runs on it. The seeds hold a 40 KB line.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "sdk/filters/IIRCanonicalFilter.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    auto filter = VexaDevice::Sensor::parseCoefficients(text);
    const size_t shorter = std::min(filter.numerator().size(), filter.denominator().size());
    if (filter.order() != static_cast<uint16_t>(shorter == 0 ? 0 : shorter - 1)) __builtin_trap();
    for (int i = 0; i < 8; ++i) filter.filter(i == 0 ? 1.0 : 0.0);
    return 0;
}
