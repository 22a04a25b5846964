#pragma once
// Every wait of a Dravik protocol and its parts; the defaults are the device's own.

#include <chrono>

#include "sdk/devices/common/ProtocolTiming.hpp"

namespace VexaDevice::Dravik {

struct DravikTiming {
    // Longest sleep of the worker between two passes.
    std::chrono::milliseconds workerWait{50};
    // A failed request write is written again after this pause, at most this many times.
    std::chrono::milliseconds writeRetryPause{250};
    int writeRetries = 3;
    // Replies are awaited in steps, for the command's time-out.
    std::chrono::milliseconds replyStep{100};
    std::chrono::milliseconds replyTimeout{1000};
    std::chrono::milliseconds checksumTimeout{30000};
    // How long a file-system state change is awaited after a command, polling in steps.
    std::chrono::milliseconds statusChangeWait{500};
    std::chrono::milliseconds pollStep{50};
    // How long the file list of a listing is awaited.
    std::chrono::milliseconds listWait{30000};
    // The worker reads the file-system status this often while no file streams.
    std::chrono::milliseconds statusPollPeriod{5000};
    // Attempts of each characteristic read.
    int readAttempts = 3;
    // Longest waits for the mode the device reports after a stop and after a start.
    std::chrono::milliseconds stopWait{500};
    std::chrono::milliseconds startWait{2000};
    // Waits of the device's photo-stimulation service.
    Devices::StimulatorTiming stimulator{};
    // Longest wait for the device's stimulator to follow the external one into synchronisation.
    std::chrono::milliseconds syncWait{3000};
    // Polls (one poll step apart) for the device's stimulator to report a started program.
    int startPolls = 20;
};

}  // namespace VexaDevice::Dravik
