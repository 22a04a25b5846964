#include "tools/qwpack/DataFileCheck.hpp"

#include <cmath>
#include <sstream>

#include "app/engine/AffirmationClips.hpp"

namespace qwpack {

using quellwave::AffirmationClipSamples;
using quellwave::ClipTable;
using quellwave::DataFileError;
using quellwave::DataFileResult;

DataFileResult<AffirmationClipSamples> verifyDataFile(const std::filesystem::path& path) {
    DataFileResult<std::vector<std::uint8_t>> bytes = quellwave::readDataFile(path);
    if (!bytes.ok()) return DataFileError{bytes.errorMessage()};
    DataFileResult<AffirmationClipSamples> clips = quellwave::prepareAffirmationClips(std::move(bytes.value()));
    if (!clips.ok()) return clips;

    const AffirmationClipSamples& found = clips.value();
    for (std::size_t k = 0; k < found.clips.size(); ++k) {
        const auto expected = static_cast<std::size_t>(std::floor(found.sampleRate * ClipTable::duration(k))) *
                              found.channelCount;
        if (found.clips[k].size() != expected) {
            std::ostringstream message;
            message << "Affirmation " << k << " is cut short: the audio ends before "
                    << ClipTable::totalSeconds() << " s";
            return DataFileError{message.str()};
        }
    }
    return clips;
}

}  // namespace qwpack
