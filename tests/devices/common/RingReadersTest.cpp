#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "sdk/devices/common/RingReaders.hpp"

using VexaDevice::Devices::BacklogReader;
using VexaDevice::Devices::NewestRecordReader;
using VexaDevice::Utility::RBuffer;

TEST(RingReaders, NewestRecordOnlyWhenTheRingGrew) {
    RBuffer<int> ring(32);
    NewestRecordReader<int> reader;
    EXPECT_FALSE(reader.poll(ring));
    const int values[] = {4, 5, 6};
    ring.write(values, 3);
    EXPECT_EQ(reader.poll(ring), 6);
    EXPECT_FALSE(reader.poll(ring));
    ring.push(9);
    EXPECT_EQ(reader.poll(ring), 9);
}

TEST(RingReaders, BacklogIsReadInBatchesAndSkippedWhenLapped) {
    RBuffer<int> ring(100);
    BacklogReader<int, 8> reader;
    std::vector<int> values(20);
    std::iota(values.begin(), values.end(), 0);
    ring.write(values.data(), values.size());

    auto batch = reader.poll(ring);
    EXPECT_EQ(std::vector<int>(batch.begin(), batch.end()), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
    batch = reader.poll(ring);
    EXPECT_EQ(batch.front(), 8);
    reader.poll(ring);
    EXPECT_TRUE(reader.poll(ring).empty());

    // 250 more: the reader is 250 behind a ring of 100 and jumps to the newest 8.
    std::vector<int> more(250);
    std::iota(more.begin(), more.end(), 20);
    ring.write(more.data(), more.size());
    batch = reader.poll(ring);
    EXPECT_EQ(std::vector<int>(batch.begin(), batch.end()), (std::vector<int>{262, 263, 264, 265, 266, 267, 268, 269}));
    EXPECT_EQ(reader.position(), 270u);
}
