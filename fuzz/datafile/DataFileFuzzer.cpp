// Feeds arbitrary bytes to the data-file loader as if read from data.qw: deciphering, decoding,
// the stereo check, clip cutting and the reverb must refuse or accept them without harm.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "app/engine/AffirmationData.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    quellwave::prepareAffirmationClips(std::vector<std::uint8_t>(data, data + size));
    return 0;
}
