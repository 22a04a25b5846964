#include "app/ui/ListenerVolume.hpp"

#include <algorithm>

namespace quellwave::ui {

void ListenerVolume::up() { percent_ = std::min(percent_ + kStep, 100.0); }

void ListenerVolume::down() { percent_ = std::max(percent_ - kStep, 0.0); }

}  // namespace quellwave::ui
