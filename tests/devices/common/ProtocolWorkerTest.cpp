#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "sdk/core/RtException.hpp"
#include "sdk/core/RBuffer.hpp"
#include "sdk/devices/common/ProtocolWorker.hpp"
#include "sdk/devices/common/RingReaders.hpp"
#include "tests/support/WaitFor.hpp"

using namespace std::chrono_literals;
using TestSupport::waitFor;
using VexaDevice::Devices::ProtocolWorker;

namespace {

// A protocol-like owner whose worker counts passes; it may be told to let go of itself
// from inside a pass, as a host callback that frees the sensor does.
class Owner : public std::enable_shared_from_this<Owner> {
public:
    static std::shared_ptr<Owner> create(std::atomic<int>& destroyed) {
        auto owner = std::shared_ptr<Owner>(new Owner(destroyed));
        owner->worker_.startFor(std::weak_ptr<Owner>(owner), &Owner::pass);
        return owner;
    }
    ~Owner() {
        worker_.stop();
        ++destroyed_;
    }

    void pass() {
        ++passes;
        if (throwNext.exchange(false)) throw VexaDevice::Utility::rt_exception("bad pack", 7);
        if (releaseInPass.exchange(false)) selfHolder.reset();  // the host's last reference goes while the pass runs
        payload.assign(64, passes.load());                      // touches the object after the release
    }

    ProtocolWorker& worker() { return worker_; }

    std::atomic<int> passes{0};
    std::atomic<bool> throwNext{false};
    std::atomic<bool> releaseInPass{false};
    std::shared_ptr<Owner> selfHolder;
    std::vector<int> payload;

private:
    explicit Owner(std::atomic<int>& destroyed) : destroyed_(destroyed) {}
    std::atomic<int>& destroyed_;
    ProtocolWorker worker_{5ms};
};

}  // namespace

TEST(ProtocolWorker, PassesRunUntilStoppedAndStopJoins) {
    std::atomic<int> passes{0};
    ProtocolWorker worker(1h);
    worker.start([&] {
        ++passes;
        return true;
    });
    // A wake-up is kept until the worker waits: one is enough.
    worker.wake();
    ASSERT_TRUE(waitFor([&] { return passes > 0; }));
    worker.stop();
    const int afterStop = passes;
    worker.wake();
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(passes, afterStop);
    EXPECT_FALSE(worker.isRunning());
}

TEST(ProtocolWorker, AWakeUpSentDuringAPassStartsTheNextPassAtOnce) {
    std::mutex mutex;
    std::condition_variable changed;
    int passes = 0;
    bool released = false;
    ProtocolWorker worker(1h);  // only a wake-up can start a pass within the test
    worker.start([&] {
        std::unique_lock lock(mutex);
        ++passes;
        changed.notify_all();
        changed.wait(lock, [&] { return released || passes > 1; });
        return true;
    });
    worker.wake();
    std::unique_lock lock(mutex);
    ASSERT_TRUE(changed.wait_for(lock, 10s, [&] { return passes == 1; }));
    // The worker is inside its first pass: a notification arriving now (as one from the radio
    // thread would) must not be lost while nobody waits.
    worker.wake();
    released = true;
    changed.notify_all();
    EXPECT_TRUE(changed.wait_for(lock, 10s, [&] { return passes == 2; })) << "the wake-up was lost";
    lock.unlock();
    worker.stop();
}

TEST(ProtocolWorker, ABacklogLeftByAPassIsReadByTheNextPassesWithoutWaiting) {
    VexaDevice::Utility::RBuffer<int> ring(768);
    const std::vector<int> values(200, 7);
    ring.write(values.data(), values.size());
    VexaDevice::Devices::BacklogReader<int> reader;  // 64 a pass: four passes for 200
    std::atomic<size_t> read{0};
    std::atomic<int> passes{0};
    ProtocolWorker worker(1h);  // only the one wake-up below, or a pass asking for the next
    worker.start([&] {
        read += reader.poll(ring).size();
        ++passes;
        return true;
    });
    worker.wake();
    EXPECT_TRUE(waitFor([&] { return read == values.size(); }));
    worker.stop();
    EXPECT_EQ(passes, 4) << "a pass that read all that was left asks for no other";
}

TEST(ProtocolWorker, TimedWaitRunsPassesWithoutWakeUps) {
    std::atomic<int> passes{0};
    ProtocolWorker worker(1ms);
    worker.start([&] {
        ++passes;
        return true;
    });
    EXPECT_TRUE(waitFor([&] { return passes >= 5; }));
}

TEST(ProtocolWorker, AFailingPassIsLoggedAndTheLoopGoesOn) {
    std::atomic<int> destroyed{0};
    auto owner = Owner::create(destroyed);
    owner->throwNext = true;
    ASSERT_TRUE(waitFor([&] { return owner->passes > 3; }));
    owner.reset();
    // A pass running now holds the owner too; it then goes on the worker thread.
    EXPECT_TRUE(waitFor([&] { return destroyed == 1; }));
}

TEST(ProtocolWorker, OwnerReleasedInsideItsOwnPassIsDestroyedAfterThePass) {
    std::atomic<int> destroyed{0};
    std::weak_ptr<Owner> watch;
    {
        auto owner = Owner::create(destroyed);
        watch = owner;
        owner->selfHolder = owner;
        owner->releaseInPass = true;
    }
    // The host's last reference went inside a pass; the destructor ran on the worker thread
    // without joining itself, and nothing touched the freed object (ASan would tell).
    ASSERT_TRUE(waitFor([&] { return destroyed == 1; }));
    EXPECT_TRUE(watch.expired());
}

TEST(ProtocolWorker, StopsWhenItsOwnerIsGone) {
    std::atomic<int> passes{0};
    ProtocolWorker worker(1ms);
    worker.start([&] {
        ++passes;
        return false;
    });
    ASSERT_TRUE(waitFor([&] { return passes == 1; }));
    std::this_thread::sleep_for(10ms);
    EXPECT_EQ(passes, 1);
}
