#include "tools/qwpack/AffirmationTrack.hpp"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "app/engine/AffirmationClips.hpp"
#include "app/engine/DataFileCipher.hpp"

namespace qwpack {

namespace {

using quellwave::ClipTable;

constexpr std::uint16_t kStereo = 2;

std::size_t framesAt(std::uint32_t sampleRate, double seconds) {
    return static_cast<std::size_t>(std::floor(sampleRate * seconds));
}

}  // namespace

std::vector<std::string> readAffirmationTexts(const std::filesystem::path& path) {
    std::ifstream file(path);
    if (!file) throw std::runtime_error("cannot open " + path.string());
    std::vector<std::string> texts;
    for (std::string line; std::getline(file, line);) {
        if (line.empty()) continue;
        // The text is handed to the synthesiser as an argument: it must not read as an option.
        if (line.front() == '-') throw std::runtime_error("a text may not begin with '-': " + line);
        texts.push_back(line);
    }
    if (texts.size() != ClipTable::kClipCount) {
        throw std::runtime_error(path.string() + " holds " + std::to_string(texts.size()) +
                                 " texts, the data file needs " + std::to_string(ClipTable::kClipCount));
    }
    return texts;
}

PcmAudio layOutAffirmations(const std::vector<PcmAudio>& speech) {
    if (speech.size() != ClipTable::kClipCount) {
        throw std::runtime_error("expected " + std::to_string(ClipTable::kClipCount) + " recordings");
    }
    const std::uint32_t rate = speech.front().sampleRate;
    PcmAudio track{{}, rate, kStereo};
    track.samples.assign(framesAt(rate, ClipTable::totalSeconds()) * kStereo, 0);

    for (std::size_t k = 0; k < speech.size(); ++k) {
        const PcmAudio& clip = speech[k];
        if (clip.sampleRate != rate || clip.channelCount != 1) {
            throw std::runtime_error("recording " + std::to_string(k) + " is not mono at " + std::to_string(rate) +
                                     " Hz");
        }
        const std::size_t slotFrames = framesAt(rate, ClipTable::duration(k));
        if (clip.samples.size() > slotFrames) {
            std::ostringstream message;
            message << "recording " << k << " lasts " << static_cast<double>(clip.samples.size()) / rate
                    << " s; its slot holds " << ClipTable::duration(k) << " s: shorten the text";
            throw std::runtime_error(message.str());
        }
        auto out = track.samples.begin() + static_cast<std::ptrdiff_t>(framesAt(rate, ClipTable::start(k)) * kStereo);
        for (const std::int16_t sample : clip.samples) {
            *out++ = sample;
            *out++ = sample;
        }
    }
    return track;
}

std::vector<std::uint8_t> packDataFile(const PcmAudio& track) {
    std::vector<std::uint8_t> bytes = encodeWav(track);
    quellwave::applyDataFileKey(bytes);
    return bytes;
}

}  // namespace qwpack
