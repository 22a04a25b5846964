#include "app/engine/ExperienceEngine.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <map>
#include <numbers>
#include <stdexcept>
#include <string>

#include "app/engine/Ambience.hpp"
#include "app/engine/AudioMutex.hpp"
#include "app/engine/BeatSweeper.hpp"
#include "app/engine/BlockConversion.hpp"
#include "app/engine/FrameMixing.hpp"
#include "app/engine/FrameNoise.hpp"
#include "app/engine/FrameWalk.hpp"
#include "app/engine/OverlayShaper.hpp"
#include "app/engine/SessionFade.hpp"
#include "app/engine/StageProgression.hpp"
#include "app/engine/TimeSines.hpp"

namespace quellwave {
namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;
constexpr double kSwellRadiansPerSecond = 0.3141592653589793;
constexpr double kOverlaySwellRadiansPerSecond = 0.6283185307179586;
constexpr double kFlutterRadiansPerSecond = 157.07963267948966;

// The sines of session time that a frame reads.
enum TimeSine : std::size_t {
    kVibrato,
    kSwell,
    kTremolo,
    kPan,
    kOverlaySwell,
    kCompanion,
    kFlutter,
    kOverlayVibrato,
    kTimeSineCount
};

// A value both ears share, in a frame's two lanes.
void setBothLanes(std::array<double, RunLanes::kSize>& lanes, std::size_t slot, double both) {
    lanes[2 * slot] = both;
    lanes[2 * slot + 1] = both;
}

// Values that stay fixed for one block.
struct BlockContext {
    ModeModulation modulation;
    double masterVolume = 0.0;    // 0..100
    double volumeScale = 0.0;     // masterVolume / 100
    std::uint64_t lastFrame = 0;  // absolute frame number of the block's last frame
};

// Values that stay fixed for one run of frames: the stage and what follows from it.
struct RunContext {
    StageRun stage;
    std::int32_t index = 0;
    double stageBeat = 0.0;   // the stage's own beat, which a sweep waits for the glide to reach
    bool sweepRests = false;  // no frame of the run moves the sweep offset from 0
    // Mode 16: the ceiling of the gate's rate in the first stage, and whether the stage may
    // flutter (neither the first nor the last).
    bool firstStage = false;
    double gateCeiling = 0.0;
    bool mayFlutter = false;
};

// The first frame n >= 0 at which the session fraction n / sessionFrames reaches position,
// as AmbienceSequencer::run compares them; the fraction never falls as n grows.
std::uint64_t firstFrameAtFraction(double position, std::uint64_t sessionFrames) {
    const double frames = static_cast<double>(sessionFrames);
    const auto before = [&](std::uint64_t n) { return position > static_cast<double>(n) / frames; };
    const double estimate = std::floor(position * frames);
    std::uint64_t n = estimate > 2.0 ? static_cast<std::uint64_t>(estimate) - 2 : 0;
    while (before(n)) ++n;
    while (n > 0 && !before(n - 1)) --n;
    return n;
}

}  // namespace

// What each frame of the walk takes from the one before: the oscillators' phases, the place in
// the affirmation trigger period, whether an affirmation is under way and the frame's frequencies
// (the block's last frame publishes them).
struct WalkState {
    WalkPhases phases;
    std::uint64_t framesSinceTrigger = 0;  // absolute frame modulo framesPerTrigger
    bool affirmationActive = false;
    double beat = 0.0;
    double left = 0.0;
    double right = 0.0;
    double carrier = 0.0;
    double overlayFrequency = 0.0;
};

// Everything the synthesis keeps between frames.
struct ExperienceEngine::Synthesis {
    Synthesis(std::uint32_t rate, std::uint32_t seed, std::unique_ptr<ClipPlayer> player)
        : sampleRate(rate), radiansPerHz(kTwoPi / rate), noise(seed), clips(std::move(player)) {}

    bool ready() const { return started && loaded; }
    void load(const ExperienceProgram& program, std::int32_t minutes, std::uint64_t frame);
    void applyPreset(std::uint32_t preset);
    void startBlock(const BlockContext& block);
    // The block's frames, in runs that end where an ambience event may fire or the stage or the
    // form of its glide changes, each run's noise drawn before its frames.
    void render(const BlockContext& block);
    // The frames from the current one on that make one run, at most limit.
    std::size_t runLength(std::size_t limit) const;
    void renderRun(std::size_t count, std::size_t firstSample, const BlockContext& block);
    // Whether the block's tremolo and pan are on. Their sines move, and their lanes are written
    // and mixed, only then.
    static bool tremoloOn(const ModeModulation& m) { return m.tremoloRate > 0.0 && m.tremoloDepth >= 0.0; }
    bool panOn(const ModeModulation& m) const { return m.panRate > 0.0 && panEnable; }
    // Whether the overlay's frequency is heard, and so needed at every frame.
    bool overlayHeard() const { return overlayShaping || synthesisMode == 16 || overlayTone.enabled; }
    // The overlay offsets of the run's frames from first on, where they are needed.
    void shapeOverlay(std::uint64_t first, std::size_t count, const RunContext& run, const BlockContext& block);
    double sine(std::size_t slot, TimeSine which) const { return sines.of(which)[slot]; }
    // The run's frames: their sweep offsets, the frame walk, the frequencies the run leaves, and
    // in mode 16 the companion tone with the affirmation triggers that fall due among the frames.
    void walkRun(std::uint64_t first, std::size_t count, const RunContext& run, const BlockContext& block);
    void followLastFrame(std::uint64_t first, std::size_t count, const RunContext& run, const BlockContext& block);
    void soundCompanion(std::uint64_t first, std::size_t count, const BlockContext& block);
    // The session fade of the run's frames: the tremolo factor and the texture layer.
    void fadeRun(std::size_t count, const ModeModulation& modulation);
    void triggerAffirmation(std::uint64_t n, double masterVolume);
    void fireAmbience(std::uint64_t n);
    void findAmbienceFrame();

    const std::uint32_t sampleRate;
    const double radiansPerHz;  // phase advance per frame of 1 Hz
    bool started = false;
    bool loaded = false;
    std::uint64_t frameCounter = 0;
    std::uint64_t sessionFrames = 0;

    FrameNoise noise;
    AmbienceSequencer ambience;
    std::uint64_t ambienceFrame = 0;  // no earlier frame can fire the next ambience event
    NoiseBurst burst;

    // The session's program.
    StageProgression progression;
    OverlayShaper overlay;
    BeatSweeper sweeper;
    std::map<std::uint32_t, ModeModulation> modulations;
    std::uint32_t synthesisMode = 4;
    double toneLevel = 0.0;
    double noiseLevel = 0.0;
    double harmonicLevel = 0.0;
    double jitterLevel = 0.0;
    double pulseDuty = 0.0;
    double companionToneFrequency = 0.0;
    bool overlayShaping = false;
    bool carrySweep = false;
    bool panEnable = true;
    OverlayTone overlayTone;

    // Oscillators.
    TimeSines<kTimeSineCount, FrameNoise::kMaxFrames> sines;
    WalkState walk;
    FrameWalk frameWalk;
    SessionFade fade;

    // Affirmations.
    std::uint64_t framesPerTrigger = 1;
    std::unique_ptr<ClipPlayer> clips;
    bool clipPlaying = false;
    bool clipStarted = false;

    static_assert(RunLanes::kMaxFrames == FrameNoise::kMaxFrames && StageFrames::kMaxFrames == FrameNoise::kMaxFrames);
    RunLanes lanes;
    StageFrames points;                                         // each frame's stage point
    std::array<double, FrameNoise::kMaxFrames> overlaySwell{};  // each frame's |overlay swell sine|
    std::array<double, FrameNoise::kMaxFrames> overlayOffsets{};
    std::array<double, FrameNoise::kMaxFrames> sweeps{};  // each frame's sweep offset
    std::array<double, kBlockSamples> samples{};
};

void ExperienceEngine::Synthesis::applyPreset(std::uint32_t preset) {
    ambience.applyPreset(preset);
    findAmbienceFrame();
}

void ExperienceEngine::Synthesis::findAmbienceFrame() {
    const double* position = ambience.nextPosition();
    if (position == nullptr)
        ambienceFrame = std::numeric_limits<std::uint64_t>::max();
    else if (sessionFrames == 0)
        ambienceFrame = 0;  // no session yet: every frame asks
    else
        ambienceFrame = firstFrameAtFraction(*position, sessionFrames);
}

void ExperienceEngine::Synthesis::load(const ExperienceProgram& program, std::int32_t minutes, std::uint64_t frame) {
    sessionFrames = static_cast<std::uint64_t>(sampleRate) * static_cast<std::uint64_t>(sessionLengthSeconds(minutes));
    if (clips) clips->resetSession();
    clipStarted = false;
    walk.affirmationActive = false;
    walk.phases.gate = 0.0;
    panEnable = true;

    synthesisMode = program.synthesisMode;
    applyPreset(program.synthesisMode);
    modulations[program.synthesisMode] = program.modulation;
    toneLevel = program.toneLevel;
    noiseLevel = program.noiseLevel;
    harmonicLevel = std::clamp(program.harmonicLevel, 0.0, 1.0);
    jitterLevel = program.jitterLevel;
    pulseDuty = program.pulseDuty;
    companionToneFrequency = program.companionToneFrequency;
    overlayShaping = program.overlayShaping;
    carrySweep = program.carrySweep;
    overlayTone = program.overlayTone;

    progression =
        StageProgression(program.stages, program.carriers, program.beatCurve, program.rampLength, frame, sampleRate);
    overlay = OverlayShaper(program.overlayProfiles, program.overlayShaping);
    sweeper = BeatSweeper(program.sweeps, minutes, program.carrySweep, sampleRate);
    loaded = true;
}

void ExperienceEngine::Synthesis::fireAmbience(std::uint64_t n) {
    const double fraction = static_cast<double>(n) / static_cast<double>(sessionFrames);
    const AmbienceEvent* event = ambience.run(fraction);
    findAmbienceFrame();
    if (event == nullptr || event->kind != AmbienceKind::NoiseBurst) return;
    const double level = 0.4 * event->amount;
    const DoublePair pink = noise.pinkPair();
    burst.fire(level * pink[0], level * pink[1]);
}

void ExperienceEngine::Synthesis::triggerAffirmation(std::uint64_t n, double masterVolume) {
    if (!clips) return;
    const auto& stage = progression.stages()[progression.index()];
    AffirmationCue cue;
    cue.stageIndex = progression.index();
    cue.stageCount = progression.stageCount();
    const double seconds =
        n > progression.beginFrame() ? static_cast<double>(n - progression.beginFrame()) / sampleRate : 0.0;
    cue.progress = std::min(1.0, seconds / progression.durationSeconds());
    cue.volumeAtStart = stage.affirmationStart;
    cue.volumeAtEnd = stage.affirmationEnd;
    cue.masterVolume = masterVolume;
    if (clips->trigger(cue)) {
        clipPlaying = true;
        clipStarted = true;
        walk.affirmationActive = true;
    }
}

void ExperienceEngine::Synthesis::startBlock(const BlockContext& block) {
    const ModeModulation& m = block.modulation;
    // The sines this block reads; the others are not moved.
    const std::array<bool, kTimeSineCount> used{true,                  // vibrato: every tone pair
                                                synthesisMode != 6,    // swell
                                                tremoloOn(m),          // tremolo
                                                panOn(m),              // pan
                                                overlayShaping,        // overlay swell: only the shaped overlay
                                                synthesisMode == 16,   // companion tone
                                                synthesisMode == 16,   // flutter
                                                overlayTone.enabled};  // overlay vibrato
    sines.restart({kTwoPi * m.vibratoRate, kSwellRadiansPerSecond, kTwoPi * m.tremoloRate, kTwoPi * m.panRate,
                   kOverlaySwellRadiansPerSecond, kTwoPi * companionToneFrequency, kFlutterRadiansPerSecond,
                   kTwoPi * overlayTone.vibratoRate},
                  static_cast<double>(frameCounter) / sampleRate, sampleRate, used);
    framesPerTrigger = std::max<std::uint64_t>(1, sampleRate / 4);
    walk.framesSinceTrigger = frameCounter % framesPerTrigger;
}

void ExperienceEngine::Synthesis::walkRun(std::uint64_t first, std::size_t count, const RunContext& run,
                                          const BlockContext& block) {
    // The sweeper goes frame after frame, but nothing it does depends on the walk.
    if (!run.sweepRests) {
        for (std::size_t slot = 0; slot < count; ++slot)
            sweeps[slot] = sweeper.offset(run.index, points.elapsed[slot], points.beat[slot], run.stageBeat);
    }
    const ModeModulation& modulation = block.modulation;
    WalkSettings settings;
    settings.mode = synthesisMode;
    settings.radiansPerHz = radiansPerHz;
    settings.jitterLevel = jitterLevel;
    settings.shaped = overlayShaping;
    settings.vibratoDepth = modulation.vibratoDepth;
    settings.overlayTone = overlayTone.enabled;
    settings.overlayVibratoDepth = overlayTone.vibratoDepth;
    settings.firstStage = run.firstStage;
    settings.gateCeiling = run.gateCeiling;
    settings.mayFlutter = run.mayFlutter;
    settings.pan = panOn(modulation);
    WalkInputs inputs;
    inputs.points = &points;
    inputs.sweeps = run.sweepRests ? nullptr : sweeps.data();
    inputs.jitter = noise.jitters();
    inputs.overlayOffsets = overlayOffsets.data();
    inputs.vibrato = sines.of(kVibrato);
    inputs.swell = sines.of(kSwell);
    inputs.flutter = sines.of(kFlutter);
    inputs.overlayVibrato = sines.of(kOverlayVibrato);
    inputs.pan = sines.of(kPan);
    frameWalk.walk(count, settings, inputs, walk.phases, lanes);
    followLastFrame(first, count, run, block);
    if (synthesisMode == 16) soundCompanion(first, count, block);
}

void ExperienceEngine::Synthesis::followLastFrame(std::uint64_t first, std::size_t count, const RunContext& run,
                                                  const BlockContext& block) {
    const std::size_t last = count - 1;
    if (overlayHeard() || first + last == block.lastFrame)
        walk.overlayFrequency = points.carrier[last] + overlayOffsets[last];
    walk.beat = points.beat[last] + (run.sweepRests ? 0.0 : sweeps[last]);
    walk.carrier = points.carrier[last];
    walk.left = walk.carrier;
    walk.right = walk.carrier + walk.beat;
}

void ExperienceEngine::Synthesis::soundCompanion(std::uint64_t first, std::size_t count, const BlockContext& block) {
    // An affirmation falls due at each frame that starts a trigger period and is asked for after
    // that frame, which nothing in the walk depends on; the frame then ends as after a trigger.
    for (std::size_t slot = 0; slot < count;) {
        const std::uint64_t toTrigger = walk.framesSinceTrigger == 0 ? 0 : framesPerTrigger - walk.framesSinceTrigger;
        const bool due = toTrigger < count - slot;
        const std::size_t end = due ? slot + static_cast<std::size_t>(toTrigger) + 1 : count;
        walk.framesSinceTrigger = (walk.framesSinceTrigger + (end - slot)) % framesPerTrigger;
        for (; slot < end; ++slot) {
            setBothLanes(lanes.companion, slot,
                         walk.affirmationActive && clipPlaying ? 0.15 * sine(slot, kCompanion) : 0.0);
            if (!clipPlaying && clipStarted) walk.affirmationActive = false;
        }
        if (due) {
            triggerAffirmation(first + end - 1, block.masterVolume);
            if (!clipPlaying && clipStarted) walk.affirmationActive = false;
        }
    }
}

void ExperienceEngine::Synthesis::fadeRun(std::size_t count, const ModeModulation& modulation) {
    fade.enterStage(progression.index(), progression.stageCount());
    FadeSettings settings;
    settings.tremolo = tremoloOn(modulation);
    settings.tremoloDepth = modulation.tremoloDepth;
    settings.shaped = overlayShaping;
    FadeFrames frames;
    frames.progress = points.progress.data();
    frames.tremoloSine = sines.of(kTremolo);
    frames.texture = noise.textures();
    fade.writeLanes(count, settings, frames, lanes);
}

std::size_t ExperienceEngine::Synthesis::runLength(std::size_t limit) const {
    std::uint64_t run = std::min(limit, FrameNoise::kMaxFrames);
    // The next frame may fire the next ambience event when this one has reached its frame.
    run = std::min(run, ambienceFrame > frameCounter ? ambienceFrame - frameCounter : 1);
    return static_cast<std::size_t>(std::min(run, progression.runEnd(frameCounter) - frameCounter));
}

void ExperienceEngine::Synthesis::shapeOverlay(std::uint64_t first, std::size_t count, const RunContext& run,
                                               const BlockContext& block) {
    // The shaped overlay follows its stage every frame; the plain one only matters where it is
    // heard or published, the block's last frame.
    std::size_t from = 0;
    if (!overlayHeard()) {
        if (block.lastFrame - first >= count) return;
        from = static_cast<std::size_t>(block.lastFrame - first);
    }
    // Only the shaped overlay swells, and only then does its sine move.
    if (overlayShaping) {
        for (std::size_t slot = from; slot < count; ++slot) overlaySwell[slot] = std::fabs(sine(slot, kOverlaySwell));
    }
    overlay.offsets(run.index, progression.stageCount(), std::span(points.progress).subspan(from, count - from),
                    std::span(overlaySwell).subspan(from, count - from),
                    std::span(overlayOffsets).subspan(from, count - from));
}

void ExperienceEngine::Synthesis::renderRun(std::size_t count, std::size_t firstSample, const BlockContext& block) {
    RunContext run;
    run.stage = progression.beginRun(frameCounter);
    run.index = progression.index();
    run.stageBeat = progression.currentBeat();
    run.sweepRests = sweeper.restsIn(run.index);
    run.firstStage = run.index == 0;
    run.gateCeiling = 1.061803 * progression.stages().front().beat;
    run.mayFlutter = run.index >= 1 && !progression.isLastStage();
    noise.draw(count);
    const std::uint64_t first = frameCounter;
    // The stage points first, in one loop: no point depends on another.
    run.stage.fill(first, count, points);
    sines.fill(count);
    shapeOverlay(first, count, run, block);
    walkRun(first, count, run, block);
    frameCounter = first + count;
    progression.endRun(points.at(count - 1));
    const ModeModulation& modulation = block.modulation;
    fadeRun(count, modulation);

    MixSettings settings;
    settings.mode = synthesisMode;
    settings.harmonicWeight = harmonicLevel * 2.0;
    settings.toneLevel = toneLevel;
    settings.noiseLevel = noiseLevel;
    settings.gateThreshold = 1.0 - 2.0 * pulseDuty;
    settings.overlayTone = overlayTone.enabled;
    settings.tremolo = tremoloOn(modulation);
    settings.pan = panOn(modulation);
    // A burst is added before the volume: then the volume waits until the burst is in.
    settings.volume = !burst.active();
    settings.volumeScale = block.volumeScale;
    double* out = &samples[2 * firstSample];
    mixRun(lanes, noise.pinkLanes(), settings, 0, count, out);
    if (settings.volume) return;
    for (std::size_t slot = 0; slot < count; ++slot) {
        burst.addTo(out[2 * slot], out[2 * slot + 1]);
        out[2 * slot] *= block.volumeScale;
        out[2 * slot + 1] *= block.volumeScale;
    }
}

void ExperienceEngine::Synthesis::render(const BlockContext& block) {
    for (std::size_t i = 0; i < kBlockFrames;) {
        // An event fires at a run's first frame, before that frame draws its noise; the stage
        // changes there too.
        if (frameCounter >= ambienceFrame) fireAmbience(frameCounter);
        if (progression.advance(frameCounter) && carrySweep) progression.addToPreviousBeat(sweeper.takeOffset());
        const std::size_t run = runLength(kBlockFrames - i);
        renderRun(run, i, block);
        i += run;
    }
}

ExperienceEngine::ExperienceEngine(std::uint32_t sampleRate, std::unique_ptr<ClipPlayer> clips, std::uint32_t seed)
    : sampleRate_(sampleRate) {
    if (sampleRate == 0) throw std::invalid_argument("The output sample rate must be positive");
    synthesis_ = std::make_unique<Synthesis>(sampleRate, seed, std::move(clips));
}

ExperienceEngine::~ExperienceEngine() = default;

void ExperienceEngine::startSynthesis() {
    std::lock_guard lock(globalAudioMutex());
    synthesis_->started = true;
}

void ExperienceEngine::setVolume(double volume) {
    std::lock_guard lock(globalAudioMutex());
    masterVolume_.store(std::isnan(volume) ? 0.0 : std::clamp(volume, 0.0, 100.0));
}

void ExperienceEngine::setHarmonicLevel(double level) {
    std::lock_guard lock(globalAudioMutex());
    synthesis_->harmonicLevel = std::isnan(level) ? 0.0 : std::clamp(level, 0.0, 1.0);
}

void ExperienceEngine::requestStop() {
    std::lock_guard lock(globalAudioMutex());
    running_.store(false);
}

double ExperienceEngine::getBeatFrequency() const {
    std::lock_guard lock(globalAudioMutex());
    return publishedBeat_.load();
}

double ExperienceEngine::getLeftFrequency() const {
    std::lock_guard lock(globalAudioMutex());
    return publishedLeft_.load();
}

double ExperienceEngine::getRightFrequency() const {
    std::lock_guard lock(globalAudioMutex());
    return publishedRight_.load();
}

double ExperienceEngine::getCarrierFrequency() const {
    std::lock_guard lock(globalAudioMutex());
    return publishedCarrier_.load();
}

double ExperienceEngine::getOverlayFrequency() const {
    std::lock_guard lock(globalAudioMutex());
    return publishedOverlay_.load();
}

double ExperienceEngine::getStageBeat(std::int32_t index) const {
    std::lock_guard lock(globalAudioMutex());
    const auto& stages = synthesis_->progression.stages();
    if (index < 0 || index >= static_cast<std::int32_t>(stages.size())) return 0.0;
    return stages[index].beat;
}

double ExperienceEngine::getStageDuration(std::int32_t index) const {
    std::lock_guard lock(globalAudioMutex());
    const auto& stages = synthesis_->progression.stages();
    if (index < 0 || index >= static_cast<std::int32_t>(stages.size())) return 0.0;
    return stages[index].duration;
}

std::int32_t ExperienceEngine::getStageCount() const {
    std::lock_guard lock(globalAudioMutex());
    return synthesis_->progression.stageCount();
}

StageProgress ExperienceEngine::getStageProgress() const {
    std::lock_guard lock(globalAudioMutex());
    return {synthesis_->progression.index(), synthesis_->frameCounter, synthesis_->progression.beginFrame()};
}

void ExperienceEngine::applyAmbiencePreset(std::uint32_t preset) { synthesis_->applyPreset(preset); }

namespace {

void checkProgram(const ExperienceProgram& program, std::int32_t minutes) {
    sessionLengthSeconds(minutes);  // refuses a length that is not positive or overflows
    if (program.synthesisMode != 4 && program.synthesisMode != 6 && program.synthesisMode != 16)
        throw std::invalid_argument("Unknown synthesis mode " + std::to_string(program.synthesisMode));
    const std::size_t count = program.stages.size();
    if (count < 3) throw std::invalid_argument("An experience needs at least three stages");
    if (program.carriers.size() != count || program.overlayProfiles.size() != count)
        throw std::invalid_argument("Every stage needs one carrier and one overlay profile");
    for (std::size_t i = 0; i < count; ++i) {
        const double duration = program.stages[i].duration;
        if (!(duration >= 1.0 && duration <= std::numeric_limits<std::int32_t>::max()))
            throw std::invalid_argument("Stage " + std::to_string(i) + " must last 1 to 2^31 - 1 seconds");
        if (program.overlayProfiles[i].empty())
            throw std::invalid_argument("Stage " + std::to_string(i) + " has an empty overlay profile");
    }
}

}  // namespace

void ExperienceEngine::loadProgram(const ExperienceProgram& program, std::int32_t minutes) {
    checkProgram(program, minutes);
    std::lock_guard lock(globalAudioMutex());
    synthesis_->load(program, minutes, synthesis_->frameCounter);
}

bool ExperienceEngine::generateBlock(std::span<std::int16_t, kBlockSamples> out) {
    std::lock_guard lock(globalAudioMutex());
    Synthesis& s = *synthesis_;
    if (!s.ready()) {
        std::fill(out.begin(), out.end(), std::int16_t{0});
        return running_.load();
    }
    BlockContext block;
    block.masterVolume = masterVolume_.load();
    block.volumeScale = block.masterVolume / 100.0;
    block.lastFrame = s.frameCounter + kBlockFrames - 1;
    const auto found = s.modulations.find(s.synthesisMode);
    if (found != s.modulations.end()) block.modulation = found->second;
    s.clipPlaying = s.clips && s.clips->isPlaying();
    s.startBlock(block);

    s.render(block);
    publishedBeat_.store(s.walk.beat);
    publishedLeft_.store(s.walk.left);
    publishedRight_.store(s.walk.right);
    publishedCarrier_.store(s.walk.carrier);
    publishedOverlay_.store(s.walk.overlayFrequency);
    normaliseToPcm16(s.samples, out);
    return running_.load();
}

void ExperienceEngine::seek(float offsetSeconds) {
    std::lock_guard lock(globalAudioMutex());
    const float frames = offsetSeconds * static_cast<float>(sampleRate_);
    synthesis_->frameCounter = frames > 0.0f ? static_cast<std::uint64_t>(frames) : 0;
}

}  // namespace quellwave
