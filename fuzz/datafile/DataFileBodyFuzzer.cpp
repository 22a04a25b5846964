// The data file past its cipher and RIFF header: the input is what follows "RIFF", size,
// "WAVE" (the chunks: "fmt " with any format, "data" with any size, others in any order), and
// the fuzzer enciphers the whole file as the packer does, so every input reaches the WAVE reader,
// the stereo check, the clip cutting and the reverb. A file that loads has twelve clips of
// whole stereo frames; a PCM file the reader takes is described by its own header.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "app/engine/AffirmationClips.hpp"
#include "app/engine/AffirmationData.hpp"
#include "app/engine/DataFileCipher.hpp"
#include "app/engine/WavDecoding.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> file{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
    const std::uint32_t riffSize = static_cast<std::uint32_t>(size + 4);
    for (int i = 0; i < 4; ++i) file[4 + i] = static_cast<std::uint8_t>(riffSize >> (8 * i));
    file.insert(file.end(), data, data + size);

    const quellwave::WavDecoding plain = quellwave::decodePcm16Wav(file);
    if (plain.outcome == quellwave::WavDecoding::Outcome::NotWav) __builtin_trap();
    if (plain.outcome == quellwave::WavDecoding::Outcome::Decoded) {
        const auto& audio = plain.audio;
        if (audio.channelCount == 0 || audio.sampleRate == 0 || audio.samples.size() > size / 2 ||
            audio.samples.size() % audio.channelCount != 0)
            __builtin_trap();
    }

    quellwave::applyDataFileKey(file);
    const auto loaded = quellwave::prepareAffirmationClips(std::move(file));
    if (loaded.ok()) {
        const auto& clips = loaded.value();
        if (clips.channelCount != 2 || clips.clips.size() != quellwave::ClipTable::kClipCount) __builtin_trap();
        for (const auto& clip : clips.clips)
            if (clip.empty() || clip.size() % 2 != 0) __builtin_trap();
    }
    return 0;
}
