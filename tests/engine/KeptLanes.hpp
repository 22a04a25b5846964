#pragma once

#include <array>

#include "app/engine/WideLanes.hpp"

namespace quellwave::testing {

// A lane width the engine's loops may be held to: two doubles at a time, four at most (where the
// machine would take eight), or the machine's own choice.
struct LaneWidth {
    const char* name;
    bool narrow;
    bool four;
};

inline constexpr LaneWidth kTwoLanes{"two lanes", true, false};
inline constexpr LaneWidth kFourLanesAtMost{"four lanes at most", false, true};
inline constexpr LaneWidth kMachineLanes{"the machine's lanes", false, false};
inline constexpr std::array<LaneWidth, 3> kLaneWidths{kTwoLanes, kFourLanesAtMost, kMachineLanes};

// Holds the engine's loops to a lane width while it lives.
class KeptLanes {
public:
    explicit KeptLanes(const LaneWidth& width) {
        keepLanesNarrow(width.narrow);
        keepLanesAtFour(width.four);
    }
    ~KeptLanes() {
        keepLanesNarrow(false);
        keepLanesAtFour(false);
    }
    KeptLanes(const KeptLanes&) = delete;
    KeptLanes& operator=(const KeptLanes&) = delete;
};

}  // namespace quellwave::testing
