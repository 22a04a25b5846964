#pragma once

#include <string>
#include <vector>

#include "tools/qwpack/PcmWav.hpp"

namespace qwpack {

// The speech program and how it speaks.
struct SpeechVoice {
    std::string program = "espeak-ng";
    std::string language = "en-us";
    int wordsPerMinute = 140;
};

// Speaks texts with the espeak-ng program (run directly, never through a shell).
class SpeechSynthesizer {
public:
    explicit SpeechSynthesizer(SpeechVoice voice = {}) : voice_(std::move(voice)) {}

    // The spoken text as mono audio at the synthesiser's own rate. Throws std::runtime_error when
    // the program cannot be run, fails or gives no usable audio.
    PcmAudio speak(const std::string& text) const;

private:
    SpeechVoice voice_;
};

}  // namespace qwpack
