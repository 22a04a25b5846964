#pragma once

namespace VexaSim {

// When the answer to a frame reaches the central, which the wire leaves to the device.
enum class AnswerOrder {
    AsTaken,         // sent as the frame is taken: it may arrive before the write returns
    AfterWrite,      // sent `answerAfter` after the frame arrived, once the write returned
    AnnouncedFirst,  // as AfterWrite, and the current status, unchanged, is announced the
                     // moment the frame arrives: it arrives before the write returns
};

}  // namespace VexaSim
