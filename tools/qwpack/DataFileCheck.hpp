#pragma once

#include <filesystem>

#include "app/engine/AffirmationData.hpp"

namespace qwpack {

// Deciphers and checks a data file as the program will load it, and more strictly: every clip
// must be whole, so the audio must last at least as long as the clip table, and audible.
quellwave::DataFileResult<quellwave::AffirmationClipSamples> verifyDataFile(const std::filesystem::path& path);

}  // namespace qwpack
