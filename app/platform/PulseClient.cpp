#include "app/platform/PulseClient.hpp"

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/introspect.h>
#include <pulse/mainloop.h>
#include <pulse/stream.h>

#include <charconv>
#include <cstring>
#include <string_view>

namespace quellwave::platform {
namespace {

constexpr const char* kClientName = "Quellwave";

std::string property(const pa_proplist* properties, const char* key) {
    const char* value = properties != nullptr ? pa_proplist_gets(properties, key) : nullptr;
    return value != nullptr ? value : "";
}

std::optional<int> numberProperty(const pa_proplist* properties, const char* key) {
    const std::string text = property(properties, key);
    int number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return number;
}

SinkFacts factsOf(const pa_sink_info& info) {
    SinkFacts facts;
    facts.name = info.name != nullptr ? info.name : "";
    facts.sampleRate = info.sample_spec.rate;
    facts.channels = info.sample_spec.channels;
    facts.deviceClass = property(info.proplist, PA_PROP_DEVICE_CLASS);
    facts.formFactor = property(info.proplist, PA_PROP_DEVICE_FORM_FACTOR);
    facts.masterDevice = property(info.proplist, PA_PROP_DEVICE_MASTER_DEVICE);
    facts.alsaCard = numberProperty(info.proplist, "alsa.card");
    facts.alsaDevice = numberProperty(info.proplist, "alsa.device");
    if (info.active_port != nullptr) {
        facts.activePort = SinkFacts::Port{static_cast<std::uint32_t>(info.active_port->type),
                                           info.active_port->available == PA_PORT_AVAILABLE_NO};
    }
    return facts;
}

// Collects the sinks of one introspection reply.
struct SinkReply {
    std::vector<SinkFacts> sinks;
    bool finished = false;
    bool failed = false;

    static void collect(pa_context*, const pa_sink_info* info, int endOfList, void* userData) {
        auto* reply = static_cast<SinkReply*>(userData);
        if (endOfList < 0) {
            reply->failed = true;
            reply->finished = true;
        } else if (endOfList > 0) {
            reply->finished = true;
        } else if (info != nullptr) {
            reply->sinks.push_back(factsOf(*info));
        }
    }
};

struct ServerReply {
    std::string defaultSink;
    bool finished = false;

    static void collect(pa_context*, const pa_server_info* info, void* userData) {
        auto* reply = static_cast<ServerReply*>(userData);
        if (info != nullptr && info->default_sink_name != nullptr) {
            reply->defaultSink = info->default_sink_name;
        }
        reply->finished = true;
    }
};

bool settled(pa_context_state_t state) { return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state); }

}  // namespace

PulseClient::PulseClient(PulseTiming timing) : timing_(timing) {
    loop_ = pa_mainloop_new();
    if (loop_ == nullptr) {
        error_ = PA_ERR_INTERNAL;
        return;
    }
    context_ = pa_context_new(pa_mainloop_get_api(loop_), kClientName);
    if (context_ == nullptr) {
        error_ = PA_ERR_INTERNAL;
        return;
    }
    if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        noteFailure(PA_ERR_CONNECTIONREFUSED);
        return;
    }
    if (!runUntil([this] { return settled(pa_context_get_state(context_)); })) {
        return;
    }
    connected_ = pa_context_get_state(context_) == PA_CONTEXT_READY;
    if (!connected_) {
        noteFailure(PA_ERR_CONNECTIONREFUSED);
    }
}

PulseClient::~PulseClient() {
    if (context_ != nullptr) {
        pa_context_disconnect(context_);
        pa_context_unref(context_);
    }
    if (loop_ != nullptr) {
        pa_mainloop_free(loop_);
    }
}

void PulseClient::noteFailure(int fallbackCode) {
    const int code = context_ != nullptr ? pa_context_errno(context_) : 0;
    error_ = code != 0 ? code : fallbackCode;
}

bool PulseClient::runUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + timing_.replyTimeout;
    while (!done()) {
        const auto left =
            std::chrono::duration_cast<std::chrono::microseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            error_ = PA_ERR_TIMEOUT;
            return false;
        }
        if (pa_mainloop_prepare(loop_, static_cast<int>(left.count())) < 0 || pa_mainloop_poll(loop_) < 0 ||
            pa_mainloop_dispatch(loop_) < 0) {
            noteFailure(PA_ERR_INTERNAL);
            return false;
        }
    }
    return true;
}

bool PulseClient::awaitReply(pa_operation* operation, const bool& finished) {
    if (operation == nullptr) {
        noteFailure(PA_ERR_INTERNAL);
        return false;
    }
    const bool answered = runUntil([&finished] { return finished; });
    pa_operation_unref(operation);
    return answered;
}

std::optional<std::string> PulseClient::defaultSinkName() {
    if (!connected_) {
        return std::nullopt;
    }
    ServerReply reply;
    if (!awaitReply(pa_context_get_server_info(context_, &ServerReply::collect, &reply), reply.finished)) {
        return std::nullopt;
    }
    if (reply.defaultSink.empty()) {
        error_ = PA_ERR_NOENTITY;
        return std::nullopt;
    }
    return reply.defaultSink;
}

std::optional<SinkFacts> PulseClient::sink(const std::string& name) {
    if (!connected_) {
        return std::nullopt;
    }
    SinkReply reply;
    if (!awaitReply(pa_context_get_sink_info_by_name(context_, name.c_str(), &SinkReply::collect, &reply),
                    reply.finished)) {
        return std::nullopt;
    }
    if (reply.failed || reply.sinks.empty()) {
        noteFailure(PA_ERR_NOENTITY);
        return std::nullopt;
    }
    return reply.sinks.front();
}

std::optional<std::vector<SinkFacts>> PulseClient::sinks() {
    if (!connected_) {
        return std::nullopt;
    }
    SinkReply reply;
    if (!awaitReply(pa_context_get_sink_info_list(context_, &SinkReply::collect, &reply), reply.finished)) {
        return std::nullopt;
    }
    if (reply.failed) {
        noteFailure(PA_ERR_INTERNAL);
        return std::nullopt;
    }
    return reply.sinks;
}

bool PulseClient::playbackStreamOpens(const std::string& sinkName, std::uint32_t rate, std::uint16_t channels) {
    if (!connected_) {
        return false;
    }
    const pa_sample_spec format{PA_SAMPLE_S16LE, rate, static_cast<std::uint8_t>(channels)};
    if (channels > PA_CHANNELS_MAX || pa_sample_spec_valid(&format) == 0) {
        error_ = PA_ERR_INVALID;
        return false;
    }
    pa_stream* stream = pa_stream_new(context_, "Quellwave output check", &format, nullptr);
    if (stream == nullptr) {
        noteFailure(PA_ERR_INTERNAL);
        return false;
    }
    bool ready = false;
    if (pa_stream_connect_playback(stream, sinkName.c_str(), nullptr, PA_STREAM_START_CORKED, nullptr, nullptr) == 0) {
        const bool answered = runUntil([&] {
            const pa_stream_state_t state = pa_stream_get_state(stream);
            return state == PA_STREAM_READY || !PA_STREAM_IS_GOOD(state);
        });
        ready = answered && pa_stream_get_state(stream) == PA_STREAM_READY;
        pa_stream_disconnect(stream);
    }
    if (!ready) {
        noteFailure(PA_ERR_INTERNAL);
    }
    pa_stream_unref(stream);
    return ready;
}

}  // namespace quellwave::platform
