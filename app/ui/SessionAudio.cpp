#include "app/ui/SessionAudio.hpp"

#include "app/engine/AffirmationPlayer.hpp"
#include "app/engine/AudioExperienceStream.hpp"
#include "app/engine/ExperiencePrograms.hpp"
#include "app/platform/AudioOutputState.hpp"
#include "app/platform/Platform.hpp"
#include "app/ui/Globals.hpp"

#include <algorithm>
#include <iostream>
#include <thread>
#include <variant>

namespace quellwave::ui {
namespace {

// False when no sound server can be reached: the sound library would open no output device.
bool soundServerAnswers() {
    const auto answer = platform::currentPlatform().endpoints.defaultMixFormat();
    const auto* failure = std::get_if<platform::EndpointFailure>(&answer);
    return failure == nullptr || failure->step != platform::EndpointStep::Enumerator;
}

}  // namespace

SessionAudio::~SessionAudio() {
    if (loading_.valid()) loading_.wait();
}

SessionAudio::Start SessionAudio::begin(double experienceCode, int minutes) {
    if (!loading_.valid()) {
        stream.reset();
        if (!soundServerAnswers()) return Start::NoOutput;
        loading_ = std::async(std::launch::async, [file = dataFile_] { return loadAffirmationPlayer(file); });
    }
    if (loading_.wait_for(std::chrono::seconds(0)) != std::future_status::ready) return Start::Pending;
    DataFileResult<std::unique_ptr<ClipPlayer>> clips = loading_.get();
    if (!clips.ok()) {
        exitCode_ = reportDataFileError(clips.errorMessage(), std::cout);
        return Start::Failed;
    }
    stream = std::make_unique<AudioExperienceStream>(sampleRate, std::move(clips.value()));
    if (!platform::audioOutputOpen()) {  // the server went between the question and the opening
        stream.reset();
        return Start::NoOutput;
    }
    stream->startSynthesis();
    configureExperience(*stream, experienceCode, minutes);
    quellwave::sessionSeconds.exchange(minutes * 60.0);
    masterGain.exchange(0.0);
    stageCount.exchange(stream->getStageCount());
    stream->play();
    return Start::Started;
}

void SessionAudio::finish() {
    if (!stream) {
        return;
    }
    stream->requestStop();
    std::this_thread::sleep_for(timing_.stopGrace);
    leave();
}

void SessionAudio::leave() {
    if (!stream) {
        return;
    }
    stream->stop();
    stream.reset();
}

bool SessionAudio::outputLost() const { return stream && !platform::audioOutputConnected(); }

void SessionAudio::setGain(double gain) {
    masterGain.exchange(gain);
    if (stream) {
        stream->setVolume(gain);
    }
}

double SessionAudio::gain() const { return masterGain.load(); }

double SessionAudio::sessionSeconds() const { return quellwave::sessionSeconds.load(); }

void SessionAudio::readFrequencies(VisualFrame& frame) const {
    if (!stream) {
        return;
    }
    frame.beat = stream->getBeatFrequency();
    frame.left = stream->getLeftFrequency();
    frame.right = stream->getRightFrequency();
    frame.carrier = stream->getCarrierFrequency();
    frame.overlay = stream->getOverlayFrequency();
}

SessionSnapshot SessionAudio::snapshot() const {
    SessionSnapshot snapshot;
    snapshot.sampleRate = sampleRate;
    if (!stream) {
        return snapshot;
    }
    snapshot.progress = stream->getStageProgress();
    const int stages = stageCount.load();
    snapshot.stageDurations.reserve(static_cast<std::size_t>(std::max(stages, 0)));
    for (int i = 0; i < stages; ++i) {
        snapshot.stageDurations.push_back(stream->getStageDuration(i));
    }
    return snapshot;
}

double SessionAudio::stageBeat(std::int32_t stage) const { return stream ? stream->getStageBeat(stage) : 0.0; }

}  // namespace quellwave::ui
