#pragma once

#include "app/platform/SinkFacts.hpp"

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

struct pa_context;
struct pa_mainloop;
struct pa_operation;

namespace quellwave::platform {

// Waits of a sound-server connection.
struct PulseTiming {
    std::chrono::milliseconds replyTimeout{5000};  // per connection step or query
};

// One short-lived connection to the sound server with blocking queries. The server is the one
// the client library finds (PULSE_SERVER, the user's session, ...); none is started.
class PulseClient {
public:
    explicit PulseClient(PulseTiming timing = {});
    ~PulseClient();
    PulseClient(const PulseClient&) = delete;
    PulseClient& operator=(const PulseClient&) = delete;

    bool connected() const { return connected_; }
    // The server's error number of the last failure (connection refused, no such entity, ...).
    int errorCode() const { return error_; }

    std::optional<std::string> defaultSinkName();
    std::optional<SinkFacts> sink(const std::string& name);
    std::optional<std::vector<SinkFacts>> sinks();

    // Whether a playback stream in 16-bit samples at `rate` x `channels` becomes ready on
    // `sinkName`; the stream is closed again before returning.
    bool playbackStreamOpens(const std::string& sinkName, std::uint32_t rate, std::uint16_t channels);

private:
    // Runs the loop until `done` holds; false (with errorCode set) at the reply time-out.
    bool runUntil(const std::function<bool()>& done);
    // Waits until the reply handler of `operation` (null: it could not be sent) sets `finished`;
    // false (with errorCode set) when it was not sent or not answered in time.
    bool awaitReply(pa_operation* operation, const bool& finished);
    void noteFailure(int fallbackCode);

    PulseTiming timing_;
    pa_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    bool connected_ = false;
    int error_ = 0;
};

}  // namespace quellwave::platform
