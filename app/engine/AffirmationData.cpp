#include "app/engine/AffirmationData.hpp"

#include <string>

#include <SFML/Audio/InputSoundFile.hpp>
#include <SFML/System/Err.hpp>

#include "app/engine/AffirmationClips.hpp"
#include "app/engine/CombReverb.hpp"
#include "app/engine/DataFileCipher.hpp"

namespace quellwave {

namespace {

constexpr unsigned kStereo = 2;
constexpr std::size_t kClipsPerPhase = 4;
constexpr std::size_t kDecodeChunk = 65536;

// Keeps the sound library's own complaints off standard error while it exists: a data file it
// cannot decode is reported once, in our words.
class QuietSoundLibrary {
public:
    QuietSoundLibrary() : previous_(sf::err().rdbuf(nullptr)) {}
    ~QuietSoundLibrary() {
        sf::err().clear();
        sf::err().rdbuf(previous_);
    }
    QuietSoundLibrary(const QuietSoundLibrary&) = delete;
    QuietSoundLibrary& operator=(const QuietSoundLibrary&) = delete;

private:
    std::streambuf* previous_;
};

DataFileError clipFailure(std::size_t clip) { return {"Failed to load reverbed affirmation " + std::to_string(clip)}; }

}  // namespace

DataFileResult<DecodedAudio> decodeAudio(std::span<const std::uint8_t> bytes) {
    const DataFileError failure{"Failed to load decrypted data into sf::SoundBuffer"};
    WavDecoding wav = decodePcm16Wav(bytes);
    if (wav.outcome == WavDecoding::Outcome::Decoded) return std::move(wav.audio);
    if (wav.outcome == WavDecoding::Outcome::Unusable) return failure;

    const QuietSoundLibrary quiet;
    sf::InputSoundFile file;
    if (bytes.empty() || !file.openFromMemory(bytes.data(), bytes.size())) return failure;

    // Read in chunks rather than trusting the announced count with one allocation: a damaged
    // header may announce far more than the file holds.
    std::vector<std::int16_t> samples;
    std::vector<std::int16_t> chunk(kDecodeChunk);
    while (const sf::Uint64 read = file.read(chunk.data(), chunk.size())) {
        samples.insert(samples.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(read));
        if (samples.size() > file.getSampleCount()) return failure;
    }
    if (samples.size() != file.getSampleCount()) return failure;
    return DecodedAudio{std::move(samples), file.getSampleRate(), file.getChannelCount()};
}

DataFileResult<AffirmationClipSamples> prepareAffirmationClips(std::vector<std::uint8_t> fileBytes) {
    applyDataFileKey(fileBytes);
    DataFileResult<DecodedAudio> decoded = decodeAudio(fileBytes);
    if (!decoded.ok()) return DataFileError{decoded.errorMessage()};
    const DecodedAudio& audio = decoded.value();
    // The reverb takes even samples as left and odd ones as right: any other layout would be
    // mixed into nonsense.
    if (audio.channelCount != kStereo) {
        return DataFileError{"The audio in " + std::string(kDataFileName) + " is not stereo (" +
                             std::to_string(audio.channelCount) + " channels)"};
    }

    AffirmationClipSamples result{{}, audio.sampleRate, audio.channelCount};
    result.clips.reserve(ClipTable::kClipCount);
    for (std::size_t k = 0; k < ClipTable::kClipCount; ++k) {
        const std::span<const std::int16_t> dry =
            cutClip(audio.samples, audio.sampleRate, audio.channelCount, ClipTable::start(k), ClipTable::duration(k));
        if (dry.empty()) return clipFailure(k);
        const CombReverbSettings& reverb = kPhaseReverbs[k / kClipsPerPhase];
        result.clips.push_back(applyStereoReverb(dry, audio.sampleRate, reverb.delays, reverb.gains));
    }
    return result;
}

DataFileResult<std::vector<sf::SoundBuffer>> loadAffirmationData(const std::filesystem::path& path) {
    DataFileResult<std::vector<std::uint8_t>> bytes = readDataFile(path);
    if (!bytes.ok()) return DataFileError{bytes.errorMessage()};
    DataFileResult<AffirmationClipSamples> prepared = prepareAffirmationClips(std::move(bytes.value()));
    if (!prepared.ok()) return DataFileError{prepared.errorMessage()};

    const AffirmationClipSamples& clips = prepared.value();
    std::vector<sf::SoundBuffer> buffers(clips.clips.size());
    for (std::size_t k = 0; k < clips.clips.size(); ++k) {
        const std::vector<std::int16_t>& samples = clips.clips[k];
        if (!buffers[k].loadFromSamples(samples.data(), samples.size(), clips.channelCount, clips.sampleRate)) {
            return clipFailure(k);
        }
    }
    return buffers;
}

}  // namespace quellwave
