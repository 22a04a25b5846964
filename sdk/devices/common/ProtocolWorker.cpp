#include "sdk/devices/common/ProtocolWorker.hpp"

#include "sdk/core/Log.hpp"

#include "sdk/core/RtException.hpp"

namespace VexaDevice::Devices {

ProtocolWorker::ProtocolWorker(std::chrono::milliseconds wait) : wait_(wait) {}

ProtocolWorker::~ProtocolWorker()
{
    stop();
}

void ProtocolWorker::start(Pass pass)
{
    control_->running = true;
    thread_ = std::thread([control = control_, wait = wait_, pass = std::move(pass)] { run(control, wait, pass); });
}

void ProtocolWorker::stop()
{
    control_->running = false;
    control_->wakeup->notify();
    if (!thread_.joinable())
        return;
    if (thread_.get_id() == std::this_thread::get_id())
        thread_.detach();
    else
        thread_.join();
}

void ProtocolWorker::run(const std::shared_ptr<Control>& control, std::chrono::milliseconds wait, const Pass& pass)
{
    while (control->running) {
        {
            auto held = control->wakeup->lock();
            control->wakeup->wait(held, wait);
        }
        if (!control->running)
            break;
        try {
            if (!pass())
                break;
        } catch (const Utility::rt_exception& e) {
            Utility::sdkLog().warn("Process channel pack error: [{}] code: [{}]", e.what(), e.code());
        } catch (const std::exception& e) {
            Utility::sdkLog().warn("Process channel pack error: {}", e.what());
        } catch (...) {
            Utility::sdkLog().warn("Process channel pack error.");
        }
    }
}

}  // namespace VexaDevice::Devices
