#include "app/engine/EndOfSessionBeep.hpp"

#include "app/engine/BeepTone.hpp"

namespace quellwave {

EndOfSessionBeep::EndOfSessionBeep(BeepTiming timing)
    : repeater_(
          [this] {
              sound_.stop();
              sound_.play();
          },
          timing) {}

void EndOfSessionBeep::start(std::uint32_t sampleRate) {
    if (repeater_.running()) return;
    buffer_ = makeBeepBuffer(kFrequency, kSeconds, sampleRate);
    sound_.setBuffer(buffer_);
    sound_.setVolume(kVolume);
    repeater_.start();
}

void EndOfSessionBeep::stop() { repeater_.stop(); }

}  // namespace quellwave
