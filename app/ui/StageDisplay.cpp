#include "app/ui/StageDisplay.hpp"

#include <algorithm>

namespace quellwave::ui::stage_display {
namespace {

std::int64_t wholeSeconds(double seconds) { return seconds > 0.0 ? static_cast<std::int64_t>(seconds) : 0; }

}  // namespace

std::vector<std::string> stageLines(const SessionSnapshot& snapshot) {
    const StageProgress& progress = snapshot.progress;
    // The counter is moved back to 0 when the stream stops: no time into the stage then.
    const std::uint64_t framesIntoStage =
        progress.frameCounter > progress.stageBeginFrame ? progress.frameCounter - progress.stageBeginFrame : 0;
    const double secondsIntoStage =
        snapshot.sampleRate > 0 ? static_cast<double>(framesIntoStage) / snapshot.sampleRate : 0.0;

    std::vector<std::string> lines;
    lines.reserve(snapshot.stageDurations.size());
    for (std::size_t i = 0; i < snapshot.stageDurations.size(); ++i) {
        const auto stage = static_cast<std::int32_t>(i);
        const std::int64_t length = wholeSeconds(snapshot.stageDurations[i]);
        std::int64_t shown = 0;
        if (stage < progress.stageIndex) {
            shown = length;
        } else if (stage == progress.stageIndex) {
            shown = std::min(length, wholeSeconds(secondsIntoStage));
        }
        std::string line =
            "Stage " + std::to_string(i + 1) + ": " + std::to_string(shown) + "/" + std::to_string(length) + " s";
        if (stage == progress.stageIndex) {
            line += " [Active]";
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

std::string volumeLine(double volumePercent) {
    return "Volume: " + std::to_string(static_cast<int>(volumePercent)) + "%";
}

std::string timeRemainingLine(double sessionSeconds, double elapsed) {
    return "Time remaining: " + std::to_string(wholeSeconds(sessionSeconds - elapsed)) + " seconds";
}

float progressShare(double elapsed, double sessionSeconds) {
    if (!(sessionSeconds > 0.0)) {
        return 1.0f;
    }
    return static_cast<float>(std::clamp(elapsed / sessionSeconds, 0.0, 1.0));
}

}  // namespace quellwave::ui::stage_display
