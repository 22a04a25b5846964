#pragma once
// The family-specific views of one access adapter or control: each is a part of the adapter
// (the adapter itself, an interface it implements, or the device object it drives) that the
// exports of the families having it reach by its type. An adapter offers its views when it is
// made; an export asks for the view it needs and refuses a sensor whose adapter offers none, so
// no call casts the adapter.

#include <utility>
#include <vector>

namespace VexaDevice::Api {

class FamilyViews {
public:
    // Offers `view` to the askers of a `View`; it must live as long as this list.
    template <class View>
    void offer(View& view) {
        views_.emplace_back(keyOf<View>(), &view);
    }

    // The `View` offered, or null.
    template <class View>
    View* find() const {
        for (const auto& [key, view] : views_) {
            if (key == keyOf<View>()) {
                return static_cast<View*>(view);
            }
        }
        return nullptr;
    }

private:
    // One distinct address per view type; writable, so that no linker folds two of them.
    template <class View>
    struct Key {
        static inline char id = 0;
    };
    template <class View>
    static const void* keyOf() {
        return &Key<View>::id;
    }

    std::vector<std::pair<const void*, void*>> views_;
};

// The base of an adapter that offers views: the exports ask with `view<View>()`, the adapter
// offers while it is made.
class OffersViews {
public:
    // The family-specific view `View` of this adapter, or null when its family has none.
    template <class View>
    View* view() const {
        return views_.find<View>();
    }

protected:
    OffersViews() = default;
    ~OffersViews() = default;

    template <class View>
    void offer(View& view) {
        views_.offer(view);
    }

private:
    FamilyViews views_;
};

}  // namespace VexaDevice::Api
