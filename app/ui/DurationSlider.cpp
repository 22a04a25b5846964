#include "app/ui/DurationSlider.hpp"

#include <algorithm>
#include <cmath>

namespace quellwave::ui {

int DurationSlider::indexAt(float x) {
    if (x < 200.0f) return 0;
    if (x < 400.0f) return 1;
    if (x >= 600.0f) return 3;
    return 2;
}

void DurationSlider::press(float x, float y) {
    const bool onBand = y >= y_ - 15.0f && y <= y_ + 25.0f;
    if (!onBand || x < kTrackLeft || x > kTrackRight) {
        return;
    }
    index_ = indexAt(x);
    if (std::abs(x - knobX()) <= 15.0f) {
        dragging_ = true;
    }
}

void DurationSlider::move(float x) {
    if (dragging_) {
        index_ = indexAt(std::clamp(x, kTrackLeft, kTrackRight));
    }
}

}  // namespace quellwave::ui
