#pragma once
// How the sets of forwarding reads beside FamilyDevice (MeasuringSet, StreamSet) reach the
// protocol of the family class (`Self`) they are part of. FamilyDevice lets it in.

#include <utility>

namespace VexaDevice::Devices {

// What a method of the interface that takes nothing answers (an event bus, say).
template <class Interface, class Method>
using AnswerOf = decltype((std::declval<Interface&>().*std::declval<Method>())());

template <class Self>
struct SelfProtocol {
    // Runs `operation` on the protocol that is present in the family class `set` is part of.
    template <class Set, class Operation>
    static decltype(auto) run(const Set& set, Operation&& operation) {
        return static_cast<const Self&>(set).onProtocol(std::forward<Operation>(operation));
    }
};

}  // namespace VexaDevice::Devices
