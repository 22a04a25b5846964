#include "tools/qwpack/DataFileCheck.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <sstream>

#include "app/engine/AffirmationClips.hpp"

namespace qwpack {

using quellwave::AffirmationClipSamples;
using quellwave::ClipTable;
using quellwave::DataFileError;
using quellwave::DataFileResult;

namespace {

// About -30 dB of full scale: spoken words reach far above it.
constexpr int kAudibleLevel = 1000;

}  // namespace

DataFileResult<AffirmationClipSamples> verifyDataFile(const std::filesystem::path& path) {
    DataFileResult<std::vector<std::uint8_t>> bytes = quellwave::readDataFile(path);
    if (!bytes.ok()) return DataFileError{bytes.errorMessage()};
    DataFileResult<AffirmationClipSamples> clips = quellwave::prepareAffirmationClips(std::move(bytes.value()));
    if (!clips.ok()) return clips;

    const AffirmationClipSamples& found = clips.value();
    for (std::size_t k = 0; k < found.clips.size(); ++k) {
        const auto expected =
            static_cast<std::size_t>(std::floor(found.sampleRate * ClipTable::duration(k))) * found.channelCount;
        if (found.clips[k].size() != expected) {
            std::ostringstream message;
            message << "Affirmation " << k << " is cut short: the audio ends before " << ClipTable::totalSeconds()
                    << " s";
            return DataFileError{message.str()};
        }
        const auto loudest = std::max_element(found.clips[k].begin(), found.clips[k].end(),
                                              [](std::int16_t a, std::int16_t b) { return std::abs(a) < std::abs(b); });
        if (std::abs(*loudest) < kAudibleLevel) {
            return DataFileError{"Affirmation " + std::to_string(k) + " is silent"};
        }
    }
    return clips;
}

}  // namespace qwpack
