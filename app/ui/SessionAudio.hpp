#pragma once

#include "app/engine/ClipPlayer.hpp"
#include "app/engine/DataFile.hpp"
#include "app/ui/StageDisplay.hpp"
#include "app/ui/VisualFrame.hpp"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <future>
#include <memory>
#include <optional>

namespace quellwave::ui {

// The audio stream of one session, as the session screen drives it: built once its data file
// has been read (from the session's first frame on), given its gain each envelope step, read for the display, and stopped and
// deleted when the session ends or is left.
class SessionAudio {
public:
    struct Timing {
        // How long the last requested block gets to play out before the stream is stopped.
        std::chrono::milliseconds stopGrace{200};
    };

    explicit SessionAudio(Timing timing, std::filesystem::path dataFile = kDataFileName)
        : timing_(timing), dataFile_(std::move(dataFile)) {}
    ~SessionAudio();

    enum class Start { Pending, Started, Failed, NoOutput };

    // Called on each frame until the session has begun. The first call releases any stream left
    // behind and starts reading the data file on a worker thread, so that the window keeps
    // drawing meanwhile (Pending). Once it is read, builds the new stream, sets the experience up
    // for the chosen minutes, publishes the session's length, gain 0 and stage count, and starts
    // playback (Started). A data file that cannot be used builds nothing: its message goes to
    // standard output and the program's exit code for it is kept in exitCode() (Failed). When no
    // sound server answers, the first call reads nothing; when the sound library could open no
    // output device for the new stream, the stream is released unplayed. Either way nothing of
    // the sound library is left, so that the next start opens the device afresh (NoOutput).
    Start begin(double experienceCode, int minutes);
    // Lets the last block play, then stops and deletes the stream: the session has run out.
    void finish();
    // Stops and deletes the stream at once: the listener left the session.
    void leave();

    // True while a stream plays on an output that has been lost (its sound server went away).
    bool outputLost() const;

    void setGain(double gain);
    double gain() const;
    double sessionSeconds() const;

    // Fills the frequencies of the stream's last generated frame into the frame.
    void readFrequencies(VisualFrame& frame) const;
    SessionSnapshot snapshot() const;
    double stageBeat(std::int32_t stage) const;

    // Set once a session could not begin: the program ends with this code.
    std::optional<int> exitCode() const { return exitCode_; }

private:
    Timing timing_;
    std::filesystem::path dataFile_;
    std::future<DataFileResult<std::unique_ptr<ClipPlayer>>> loading_;
    std::optional<int> exitCode_;
};

}  // namespace quellwave::ui
