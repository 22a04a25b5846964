// Motion and photoplethysmogram streams: their command frames, and when a new code is taken.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sdk/devices/kestrane/CodedStream.hpp"
#include "tests/devices/common/FakeChannel.hpp"

using namespace VexaDevice::Kestrane;
using DevicesTest::FakeChannel;
using VexaDevice::OperationResult;
using Bytes = std::vector<uint8_t>;

namespace {

// Motion packs as the headbands send them, accelerometer and gyroscope code 1.
const PackParams Motion{98, 2, 2, 1, 1};

// Records the frames a protocol would send and answers with the device's scripted verdict.
struct Device {
    std::vector<Bytes> frames;
    std::vector<std::string> names;
    OperationResult answer = OperationResult::done();

    SendFrame sender() {
        return [this](const Bytes& frame, const char* name) {
            frames.push_back(frame);
            names.emplace_back(name);
            return answer;
        };
    }
};

struct Opened {
    std::shared_ptr<FakeChannel> fake = std::make_shared<FakeChannel>();
    CodedMotionStream stream{MotionStream, Motion};
    Opened() { stream.open(fake, {}, 0); }
};

}  // namespace

TEST(CodedStreamFrames, StartBitThenBothCodesInThreeBitsEach) {
    // Accelerometer 1 and gyroscope 1: 0x80 | 1 << 3 | 1; infrared 5 and red 5: 0x80 | 5 << 3 | 5.
    EXPECT_EQ(streamFrame(MotionStream, Motion, true), (Bytes{0x07, 0x89}));
    EXPECT_EQ(streamFrame(MotionStream, Motion, false), (Bytes{0x07, 0x09}));
    EXPECT_EQ(streamFrame(FpgStream, PackParams{50, 3, 2, 5, 5}, true), (Bytes{0x08, 0xAD}));
    EXPECT_EQ(streamFrame(FpgStream, PackParams{50, 3, 2, 5, 5}, false), (Bytes{0x08, 0x2D}));
    EXPECT_EQ(streamFrame(MotionStream, PackParams{98, 2, 2, 3, 2}, true), (Bytes{0x07, 0x9A}));
    EXPECT_EQ(streamFrame(MotionStream, PackParams{98, 2, 2, 3, 0x0A}, true), (Bytes{0x07, 0x9A}))
        << "only the low three bits travel";
}

TEST(CodedStream, StartAndStopSwitchTheNotificationOnlyWhenTheDeviceTakesTheCommand) {
    Opened opened;
    Device device;
    device.answer = OperationResult::failed(1, "Device error");
    EXPECT_EQ(opened.stream.start(device.sender()), device.answer);
    EXPECT_FALSE(opened.fake->notifying);

    device.answer = OperationResult::done();
    EXPECT_TRUE(opened.stream.start(device.sender()));
    EXPECT_TRUE(opened.fake->notifying);
    EXPECT_TRUE(opened.stream.stop(device.sender()));
    EXPECT_FALSE(opened.fake->notifying);
    EXPECT_EQ(device.frames, (std::vector<Bytes>{{0x07, 0x89}, {0x07, 0x89}, {0x07, 0x09}}));
    EXPECT_EQ(device.names, (std::vector<std::string>{"StartMEMS", "StartMEMS", "StopMEMS"}));
}

TEST(CodedStream, ARunningStreamTakesANewCodeOnlyOnceTheDeviceAcceptsItsRestart) {
    Opened opened;
    Device device;
    ASSERT_TRUE(opened.stream.start(device.sender()));

    // The device refuses the restart: it goes on with code 1, and so do the reads and the
    // conversion of what it sends.
    device.answer = OperationResult::failed(1, "Device error");
    EXPECT_EQ(opened.stream.setCode(&PackParams::code1, 2, 3, "AccelerometerSensitivity", device.sender()),
              device.answer);
    EXPECT_EQ(opened.stream.params().code1, 1);
    EXPECT_EQ(opened.stream.channel()->converterParams().code1, 1);
    EXPECT_TRUE(opened.fake->notifying);

    device.answer = OperationResult::done();
    EXPECT_TRUE(opened.stream.setCode(&PackParams::code1, 2, 3, "AccelerometerSensitivity", device.sender()));
    EXPECT_EQ(opened.stream.params().code1, 2);
    EXPECT_EQ(opened.stream.channel()->converterParams().code1, 2);
    EXPECT_EQ(device.frames, (std::vector<Bytes>{{0x07, 0x89}, {0x07, 0x91}, {0x07, 0x91}}));
}

TEST(CodedStream, AStoppedStreamKeepsTheCodeForItsNextStartWithoutSending) {
    Opened opened;
    Device device;
    EXPECT_TRUE(opened.stream.setCode(&PackParams::code2, 3, 3, "GyroscopeSensitivity", device.sender()));
    EXPECT_TRUE(device.frames.empty());
    EXPECT_EQ(opened.stream.channel()->converterParams().code2, 3);
    ASSERT_TRUE(opened.stream.start(device.sender()));
    EXPECT_EQ(device.frames, (std::vector<Bytes>{{0x07, 0x8B}}));
}

TEST(CodedStream, CodesOutOfRangeAndAMissingStreamAreRefusedWithoutSending) {
    Device device;
    Opened opened;
    EXPECT_EQ(opened.stream.setCode(&PackParams::code1, 4, 3, "AccelerometerSensitivity", device.sender()),
              OperationResult::failed(515, "Unsupported parameter [AccelerometerSensitivity]"));
    EXPECT_EQ(opened.stream.params().code1, 1);

    CodedFpgStream missing{FpgStream, PackParams{50, 3, 2, 5, 5}};
    missing.open(nullptr, {}, 0);
    EXPECT_EQ(missing.channel(), nullptr);
    EXPECT_EQ(missing.setCode(&PackParams::code1, 1, 7, "IrAmplitude", device.sender()),
              OperationResult::failed(515, "Unsupported parameter [IrAmplitude]"));
    EXPECT_EQ(missing.start(device.sender()), OperationResult::failed(514, "StartFPG"));
    EXPECT_EQ(missing.stop(device.sender()), OperationResult::failed(514, "StopFPG"));
    EXPECT_TRUE(device.frames.empty());
}
