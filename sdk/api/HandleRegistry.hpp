#pragma once
// Which heap holders the library has handed to the host and not yet taken back, and of which
// kind each is. A host pointer is used as a holder only once it is found here, so a pointer
// the library did not make, a holder of another kind and one already removed are told apart
// from a live holder instead of being read or freed. A holder's address may be given to a
// later holder once it is freed; a pointer kept past its removal then names that one.

#include <initializer_list>
#include <shared_mutex>
#include <unordered_map>

namespace VexaDevice::Api {

enum class HandleKind {
    Callback,          // a CallbackHandle of a registration (a sensor's or a scanner's)
    SignalProcessing,  // a CallbackHandle holding Dravik processing parameters
    DualCallback,      // a DualCallbackHandle
};

class HandleRegistry {
public:
    // The process's one registry; never destroyed, so a removal late in the exit still finds it.
    static HandleRegistry& instance();

    void add(const void* holder, HandleKind kind);

    // Runs `use()` when the holder is live and of that kind, holding off its removal until
    // `use` returns; false (and `use` not run) otherwise.
    template <typename Use>
    bool withLive(const void* holder, HandleKind kind, Use&& use) const {
        std::shared_lock lock(mutex_);
        if (!holds(holder, {kind})) {
            return false;
        }
        use();
        return true;
    }

    // Unregisters the holder when it is live and of one of those kinds, and only then returns
    // true: the caller frees it. Of two threads taking the same holder, one gets true.
    bool take(const void* holder, std::initializer_list<HandleKind> kinds);

private:
    bool holds(const void* holder, std::initializer_list<HandleKind> kinds) const;

    mutable std::shared_mutex mutex_;
    std::unordered_map<const void*, HandleKind> live_;
};

// Whether a removal export may free `holder`: true once it is taken out of the registry. Null
// gives false; so does any holder that is not live and of one of those kinds, which is logged.
bool takeForRemoval(const void* holder, std::initializer_list<HandleKind> kinds);

}  // namespace VexaDevice::Api
