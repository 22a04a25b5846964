#include "app/engine/EndOfSessionBeep.hpp"

#include "app/engine/BeepTone.hpp"

namespace quellwave {

EndOfSessionBeep::EndOfSessionBeep(BeepTiming timing)
    : repeater_(
          [this] {
              tone_->sound.stop();
              tone_->sound.play();
          },
          timing) {}

void EndOfSessionBeep::start(std::uint32_t sampleRate) {
    if (repeater_.running()) return;
    tone_ = std::make_unique<Tone>();
    tone_->buffer = makeBeepBuffer(kFrequency, kSeconds, sampleRate);
    tone_->sound.setBuffer(tone_->buffer);
    tone_->sound.setVolume(kVolume);
    repeater_.start();
}

void EndOfSessionBeep::stop() {
    repeater_.stop();
    tone_.reset();
}

}  // namespace quellwave
