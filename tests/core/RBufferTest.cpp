#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

#include "sdk/core/RBuffer.hpp"
#include "sdk/core/RBufferQueue.hpp"

using VexaDevice::Utility::IRBuffer;
using VexaDevice::Utility::RBuffer;
using VexaDevice::Utility::RBufferQueue;

namespace {

struct Pack {
    std::array<uint8_t, 4> bytes{};
    bool operator==(const Pack&) const = default;
};

std::vector<int> sequence(int first, int count) {
    std::vector<int> values(static_cast<size_t>(count));
    std::iota(values.begin(), values.end(), first);
    return values;
}

std::vector<int> readAt(const IRBuffer<int>& ring, size_t position, size_t maxCount) {
    std::vector<int> out(maxCount + 1, -1);
    out.resize(ring.read(out.data(), position, maxCount));
    return out;
}

}  // namespace

TEST(RBuffer, LongWriteKeepsNewestAndCountsEverything) {
    RBuffer<int> ring(4);
    const auto values = sequence(0, 10);
    ring.write(values.data(), values.size());

    EXPECT_EQ(ring.capacity(), 4u);
    EXPECT_EQ(ring.totalWritten(), 10u);
    EXPECT_EQ(ring.size(), 4u);
    EXPECT_EQ(readAt(ring, 6, 10), (std::vector<int>{6, 7, 8, 9}));
    EXPECT_TRUE(readAt(ring, 5, 10).empty()) << "position 5 was overwritten";
}

TEST(RBuffer, ReadAtTotalOrWithZeroMaximumGivesNothing) {
    RBuffer<int> ring(4);
    const auto values = sequence(0, 3);
    ring.write(values.data(), values.size());
    EXPECT_TRUE(readAt(ring, 3, 4).empty());
    EXPECT_TRUE(readAt(ring, 0, 0).empty());
    EXPECT_EQ(readAt(ring, 1, 1), (std::vector<int>{1}));
}

TEST(RBuffer, ReadAcrossTheWrapKeepsPositionOrder) {
    RBuffer<int> ring(5);
    for (int value = 0; value < 8; ++value) {
        ring.push(value);
    }
    // positions 3..7 sit in slots 3, 4, 0, 1, 2
    EXPECT_EQ(readAt(ring, 3, 5), (std::vector<int>{3, 4, 5, 6, 7}));
    EXPECT_EQ(readAt(ring, 4, 2), (std::vector<int>{4, 5}));
    EXPECT_TRUE(readAt(ring, 2, 5).empty());
}

TEST(RBuffer, SplitWritesWrapAndStayAbsolute) {
    RBuffer<int> ring(4);
    const auto first = sequence(0, 3);
    const auto second = sequence(3, 3);
    ring.write(first.data(), first.size());
    ring.write(second.data(), second.size());
    EXPECT_EQ(ring.totalWritten(), 6u);
    EXPECT_EQ(ring.size(), 4u);
    EXPECT_EQ(readAt(ring, 2, 8), (std::vector<int>{2, 3, 4, 5}));
    ring.push(6);
    EXPECT_EQ(readAt(ring, 3, 8), (std::vector<int>{3, 4, 5, 6}));
}

TEST(RBuffer, ClearRestartsPositionsAndStrandsOldReaders) {
    RBuffer<int> ring(4);
    const auto values = sequence(0, 6);
    ring.write(values.data(), values.size());
    ring.clear();
    EXPECT_EQ(ring.totalWritten(), 0u);
    EXPECT_EQ(ring.size(), 0u);
    EXPECT_TRUE(readAt(ring, 5, 4).empty());
    ring.push(40);
    ring.push(41);
    EXPECT_TRUE(readAt(ring, 5, 4).empty()) << "an old reader position is ahead until written past";
    EXPECT_EQ(readAt(ring, 0, 4), (std::vector<int>{40, 41}));
}

TEST(RBuffer, EmptyWriteChangesNothing) {
    RBuffer<int> ring(4);
    ring.write(nullptr, 0);
    EXPECT_EQ(ring.totalWritten(), 0u);
    EXPECT_EQ(ring.size(), 0u);
}

TEST(RBuffer, RejectsNegativeCapacityAndNullBuffers) {
    EXPECT_THROW(RBuffer<int>(-1), std::invalid_argument);
    RBuffer<int> ring(2);
    EXPECT_THROW(ring.write(nullptr, 1), std::invalid_argument);
    ring.push(1);
    EXPECT_THROW(ring.read(nullptr, 0, 1), std::invalid_argument);
}

TEST(RBuffer, ZeroCapacityCountsButHoldsNothing) {
    RBuffer<int> ring(0);
    const auto values = sequence(0, 3);
    ring.write(values.data(), values.size());
    ring.push(3);
    EXPECT_EQ(ring.totalWritten(), 4u);
    EXPECT_EQ(ring.size(), 0u);
    EXPECT_TRUE(readAt(ring, 3, 4).empty());
}

TEST(RBuffer, PlainPacksAndOwningElementsAreCopiedWhole) {
    RBuffer<Pack> packs(2);
    const std::array<Pack, 3> written{Pack{{1, 2, 3, 4}}, Pack{{5, 6, 7, 8}}, Pack{{9, 10, 11, 12}}};
    packs.write(written.data(), written.size());
    std::array<Pack, 2> out{};
    ASSERT_EQ(packs.read(out.data(), 1, 2), 2u);
    EXPECT_EQ(out[0], written[1]);
    EXPECT_EQ(out[1], written[2]);

    RBuffer<std::vector<std::string>> records(2);
    records.push({"a", "b"});
    std::vector<std::string> copy;
    ASSERT_EQ(records.read(&copy, 0, 1), 1u);
    copy.push_back("c");
    std::vector<std::string> again;
    records.read(&again, 0, 1);
    EXPECT_EQ(again, (std::vector<std::string>{"a", "b"}));
}

// One writer, one reader, as a protocol uses the ring: the reader must see every
// element it did not fall behind on, in order, and never a torn one.
TEST(RBuffer, WriterAndReaderThreadsSeeConsistentElements) {
    constexpr int kCapacity = 64;
    constexpr int kElements = 20000;
    RBuffer<Pack> ring(kCapacity);
    std::thread writer([&] {
        for (int value = 0; value < kElements; ++value) {
            const auto b = static_cast<uint8_t>(value);
            ring.push(Pack{{b, b, b, b}});
        }
    });
    size_t position = 0;
    std::array<Pack, 16> out{};
    while (position < kElements) {
        const size_t total = ring.totalWritten();
        if (total > position + kCapacity) {
            position = total - out.size();
        }
        const size_t got = ring.read(out.data(), position, out.size());
        for (size_t i = 0; i < got; ++i) {
            const auto expected = static_cast<uint8_t>(position + i);
            ASSERT_EQ(out[i], (Pack{{expected, expected, expected, expected}}));
        }
        position += got;
    }
    writer.join();
}

TEST(RBufferQueue, DeliversInOrderAndSkipsToTheOldestRetained) {
    RBufferQueue<std::tuple<int>> queue(3);
    EXPECT_FALSE(queue.pending());
    EXPECT_FALSE(queue.take().has_value());
    for (int value = 0; value < 5; ++value) {
        queue.put({value});
    }
    EXPECT_TRUE(queue.pending());
    std::vector<int> taken;
    while (auto event = queue.take()) {
        taken.push_back(std::get<0>(*event));
    }
    EXPECT_EQ(taken, (std::vector<int>{2, 3, 4}));
    EXPECT_FALSE(queue.pending());
    queue.put({5});
    ASSERT_TRUE(queue.pending());
    EXPECT_EQ(std::get<0>(*queue.take()), 5);
}

TEST(RBufferQueue, CountsPayloadFreeEventsAndRejectsZeroCapacity) {
    RBufferQueue<std::tuple<>> queue(2);
    queue.put({});
    queue.put({});
    queue.put({});
    int taken = 0;
    while (queue.take()) {
        ++taken;
    }
    EXPECT_EQ(taken, 2);
    EXPECT_THROW(RBufferQueue<std::tuple<>>(0), std::invalid_argument);
}
