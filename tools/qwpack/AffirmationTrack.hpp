#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/qwpack/PcmWav.hpp"

namespace qwpack {

// The affirmation texts, one per non-empty line; there must be one per clip of the data file.
// Throws std::runtime_error otherwise.
std::vector<std::string> readAffirmationTexts(const std::filesystem::path& path);

// Places each mono speech recording at the start of its clip slot, on both channels, in a
// stereo track as long as the clip table with silence everywhere else. Throws
// std::runtime_error for a wrong count, differing sample rates or speech longer than its slot.
PcmAudio layOutAffirmations(const std::vector<PcmAudio>& speech);

// The track as the enciphered bytes of a data file.
std::vector<std::uint8_t> packDataFile(const PcmAudio& track);

}  // namespace qwpack
