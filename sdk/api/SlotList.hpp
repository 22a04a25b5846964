#pragma once
// The keyed slots of a family's adapters: one bound call per parameter or event the family has.

#include <utility>
#include <vector>

namespace VexaDevice::Api {

template <class Key, class Slot>
using SlotList = std::vector<std::pair<Key, Slot>>;

// The slot of `key`, or null.
template <class Key, class Slot>
const Slot* slotOf(const SlotList<Key, Slot>& slots, Key key) {
    for (const auto& [slotKey, slot] : slots) {
        if (slotKey == key) {
            return &slot;
        }
    }
    return nullptr;
}

}  // namespace VexaDevice::Api
