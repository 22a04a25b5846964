#pragma once

namespace VexaSim {

// When the answer to a frame reaches the central, which the wire leaves to the device.
enum class AnswerOrder {
    AsTaken,         // sent as the frame is taken: it may arrive before the write's acknowledgement
    AnnouncedFirst,  // the current status, unchanged, is announced the moment the frame arrives;
                     // the frame is carried out and answered after the acknowledgement
    AnnouncedEarly,  // announced as AnnouncedFirst; the answer follows at once when it differs
                     // from the status announced, else after the acknowledgement
};

}  // namespace VexaSim
