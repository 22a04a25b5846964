#include "sdk/api/CallbackHandle.hpp"

namespace VexaDevice::Api {

CallbackHandle* makeCallbackHandle(GatedSubscriber subscription, HandleKind kind) {
    auto handle = std::make_unique<CallbackHandle>(CallbackHandle{std::move(subscription)});
    HandleRegistry::instance().add(handle.get(), kind);
    return handle.release();
}

std::shared_ptr<void> liveSubscriber(const CallbackHandle* handle, HandleKind kind) {
    std::shared_ptr<void> subscriber;
    HandleRegistry::instance().withLive(handle, kind, [&] { subscriber = handle->subscription.subscriber; });
    return subscriber;
}

void freeCallbackHandle(CallbackHandle* handle) {
    if (!takeForRemoval(handle, {HandleKind::Callback, HandleKind::SignalProcessing})) {
        return;
    }
    handle->subscription.end();
    delete handle;
}

}  // namespace VexaDevice::Api
