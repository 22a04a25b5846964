// The Dravik file system against the emulated device's store: every command on the wire and
// back, the checks made before anything is sent, and transfers that stop half-way.

#include <gtest/gtest.h>

#include <mutex>
#include <numeric>

#include "sdk/core/ByteReaders.hpp"
#include "sdk/core/Crc32.hpp"
#include "tests/support/WaitFor.hpp"
#include "tests/devices/dravik/DravikRig.hpp"

using namespace VexaDevice;
using namespace VexaDevice::Dravik;
using DravikTest::DravikRig;
using TestSupport::waitFor;

namespace {

std::vector<uint8_t> pattern(size_t size, uint8_t seed) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<uint8_t>(seed + i * 7);
    }
    return bytes;
}

struct DravikFiles : ::testing::Test {
    DravikRig rig;
    std::shared_ptr<DravikBleProtocol> protocol = rig.protocol();

    std::vector<std::vector<uint8_t>> requests() const { return rig.peer->fsCommandCharacteristic()->writes(); }
};

}  // namespace

TEST_F(DravikFiles, WrittenFilesReadBackWithTheirChecksumListAndGo) {
    const auto data = pattern(300, 3);
    ASSERT_TRUE(protocol->writeFile("rec01.bin", data, 0));
    const auto other = pattern(20, 9);
    ASSERT_TRUE(protocol->writeFile("notes.txt", other, 0));

    std::vector<uint8_t> back;
    ASSERT_TRUE(protocol->readFile("rec01.bin", 0, 0, back));
    EXPECT_EQ(back, data);
    ASSERT_TRUE(protocol->readFile("rec01.bin", 250, 100, back));
    EXPECT_EQ(back, std::vector<uint8_t>(data.begin() + 100, data.begin() + 250));

    uint32_t crc = 0;
    ASSERT_TRUE(protocol->readFileCRC32("rec01.bin", 0, 300, crc));
    EXPECT_EQ(crc, Utility::crc32(data.data(), data.size()));
    ASSERT_TRUE(protocol->readFileCRC32("rec01.bin", 10, 50, crc));
    EXPECT_EQ(crc, Utility::crc32(data.data() + 10, 50));

    _FileInfo info;
    ASSERT_TRUE(protocol->readFileInfo("rec01.bin", info));
    EXPECT_EQ(info.name, "rec01.bin");
    EXPECT_EQ(info.size, 300u);
    EXPECT_EQ(info.attribute, 0x20);

    std::vector<_FileInfo> listed;
    ASSERT_TRUE(protocol->readFileInfoAll(listed));
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[0].name, "notes.txt");
    EXPECT_EQ(listed[1], info);

    uint64_t total = 0, free = 0;
    ASSERT_TRUE(protocol->readFileSystemDiskInfo(total, free));
    EXPECT_EQ(total, 4096u * 1024);
    EXPECT_EQ(free, (4096u - 2) * 1024);

    ASSERT_TRUE(protocol->deleteFile("rec01.bin"));
    const auto missing = protocol->readFileInfo("rec01.bin", info);
    EXPECT_EQ(missing, OperationResult::failed(4, "Device error: [[FR_NO_FILE][Could not find the file]]"));
    ASSERT_TRUE(protocol->deleteAllFiles("*.txt"));
    ASSERT_TRUE(protocol->readFileInfoAll(listed));
    EXPECT_TRUE(listed.empty());
}

TEST_F(DravikFiles, WritesGoOutIn130ByteChunksWithFreshIdentifiers) {
    ASSERT_TRUE(protocol->writeFile("abcdefghijkl", pattern(300, 1), 0));
    const auto frames = requests();
    ASSERT_EQ(frames.size(), 3u);
    const uint32_t offsets[] = {0, 130, 260};
    const uint32_t totals[] = {300, 0, 0};
    const size_t lengths[] = {130, 130, 40};
    std::vector<uint32_t> ids;
    for (size_t i = 0; i < 3; ++i) {
        const auto& frame = frames[i];
        ASSERT_EQ(frame.size(), 20 + 8 + lengths[i]);
        ids.push_back(Utility::decodeUnsigned(frame.data(), 4, true));
        EXPECT_GE(ids.back(), 100000u);
        EXPECT_EQ(frame[4], 4);
        EXPECT_EQ(frame[5], 0);
        EXPECT_EQ(std::string(frame.begin() + 6, frame.begin() + 18), "abcdefghijkl");
        EXPECT_EQ(frame[18], 0) << "a 12-character name leaves the 13th byte zero";
        EXPECT_EQ(frame[19], 8 + lengths[i]);
        EXPECT_EQ(Utility::decodeUnsigned(frame.data() + 20, 4, true), offsets[i]);
        EXPECT_EQ(Utility::decodeUnsigned(frame.data() + 24, 4, true), totals[i]);
    }
    EXPECT_NE(ids[0], ids[1]);

    std::vector<uint8_t> back;
    ASSERT_TRUE(protocol->readFile("abcdefghijkl", 0, 0, back));
    const auto reads = requests();
    // The file's information first, then 130, 130 and 40 bytes.
    ASSERT_EQ(reads.size(), 7u);
    EXPECT_EQ(reads[3][4], 3);
    EXPECT_EQ(Utility::decodeUnsigned(reads[6].data() + 20, 4, true), 260u);
    EXPECT_EQ(Utility::decodeUnsigned(reads[6].data() + 24, 4, true), 40u);
}

TEST_F(DravikFiles, NamesAndStatesAreCheckedBeforeAnythingIsSent) {
    EXPECT_EQ(protocol->writeFile("thirteen.char", {1}, 0), OperationResult::failed(518, "ERR_FILE_NAME_WRONG"));
    EXPECT_EQ(protocol->deleteFile(""), OperationResult::failed(518, "ERR_FILE_NAME_WRONG"));
    EXPECT_EQ(protocol->deleteAllFiles("*.longextension"), OperationResult::failed(524, "ERR_FILE_EXT_WRONG"));
    EXPECT_EQ(protocol->writeFile("a.bin", {}, 0), OperationResult::failed(521, "ERR_DATA_EMPTY"));
    EXPECT_EQ(protocol->writeFile("a.bin", {1, 2}, 0xFFFFFFFF), OperationResult::failed(522, "ERR_DATA_OVERFLOW"));
    EXPECT_TRUE(requests().empty());

    // The worker's status poll finds a write-protected disk: writes are refused, reads go on.
    ASSERT_TRUE(protocol->writeFile("kept.bin", {7, 8, 9}, 0));
    rig.peer->withStore([](VexaSim::DravikFileStore& store) { store.setFsState(3); });
    ASSERT_TRUE(waitFor([&] { return protocol->readFilesystemStatus().fsState == 3; }));
    const size_t sent = requests().size();
    EXPECT_EQ(protocol->writeFile("a.bin", {1}, 0), OperationResult::failed(523, "ERR_DISK_PROTECTED"));
    EXPECT_EQ(protocol->deleteFile("kept.bin"), OperationResult::failed(523, "ERR_DISK_PROTECTED"));
    EXPECT_EQ(requests().size(), sent);
    std::vector<uint8_t> back;
    EXPECT_TRUE(protocol->readFile("kept.bin", 0, 0, back));
    EXPECT_EQ(back, (std::vector<uint8_t>{7, 8, 9}));

    rig.peer->withStore([](VexaSim::DravikFileStore& store) { store.setFsState(5); });
    ASSERT_TRUE(waitFor([&] { return protocol->readFilesystemStatus().fsState == 5; }));
    EXPECT_EQ(protocol->readFile("kept.bin", 0, 0, back), OperationResult::failed(519, "ERR_DISK_TROUBLE"));
}

TEST(DravikFileSystem, EnableAndDisableWaitForTheDevicesStatus) {
    VexaSim::DravikPeerSettings settings;
    settings.fsState = 1;
    DravikRig rig(settings);
    auto protocol = rig.protocol();
    EXPECT_EQ(protocol->readFilesystemStatus().fsState, 1);
    ASSERT_TRUE(protocol->fileSystemDisable()) << "already disabled";
    EXPECT_TRUE(rig.peer->fsCommandCharacteristic()->writes().empty());

    const auto before = std::chrono::system_clock::now();
    ASSERT_TRUE(protocol->fileSystemEnable());
    EXPECT_EQ(protocol->readFilesystemStatus().fsState, 0);
    const auto frame = rig.peer->fsCommandCharacteristic()->writes().at(0);
    EXPECT_EQ(frame.size(), 24u);
    EXPECT_EQ(frame[4], 2);
    const uint32_t stamp = rig.peer->withStore([](VexaSim::DravikFileStore& store) { return store.enabledAt(); });
    EXPECT_EQ(stamp >> 16, fatDateTime(before) >> 16) << "today's FAT date";

    ASSERT_TRUE(protocol->fileSystemDisable());
    EXPECT_EQ(protocol->readFilesystemStatus().fsState, 1);

    // A device that takes the command but never changes its status.
    rig.peer->withStore([](VexaSim::DravikFileStore& store) { store.setSilent(true); });
    EXPECT_EQ(protocol->fileSystemEnable().code, 513);
}

TEST_F(DravikFiles, RepliesToOtherRequestsAreIgnoredAndSilenceFails) {
    ASSERT_TRUE(protocol->writeFile("a.bin", pattern(10, 0), 0));
    rig.peer->withStore([](VexaSim::DravikFileStore& store) { store.setWrongIdFirst(true); });
    _FileInfo info;
    ASSERT_TRUE(protocol->readFileInfo("a.bin", info));
    EXPECT_EQ(info.size, 10u);

    rig.peer->withStore([](VexaSim::DravikFileStore& store) { store.setSilent(true); });
    EXPECT_EQ(protocol->readFileInfo("a.bin", info), OperationResult::failed(513, "Device error: [ERR_DATA_SEND]"));
}

TEST_F(DravikFiles, ATransferThatStopsHalfWayFails) {
    ASSERT_TRUE(protocol->writeFile("a.bin", pattern(200, 0), 0));
    rig.peer->withStore([](VexaSim::DravikFileStore& store) { store.setEmptyReads(true); });
    std::vector<uint8_t> back{42};
    EXPECT_EQ(protocol->readFile("a.bin", 0, 0, back), OperationResult::failed(520, "ERR_RX_DATA_WRONG"));
    EXPECT_EQ(back, std::vector<uint8_t>{42}) << "nothing is handed out";

    rig.peer->withStore([](VexaSim::DravikFileStore& store) { store.setEmptyReads(false); });
    EXPECT_EQ(protocol->readFile("a.bin", 0, 200, back).code, 522) << "the offset at the end";
    rig.peer->fsCommandCharacteristic()->failNextWrites(100);
    EXPECT_EQ(protocol->writeFile("b.bin", pattern(300, 0), 0).code, 513);
}

TEST_F(DravikFiles, StreamedFilesArriveInOrderAndTheStreamEnds) {
    const auto data = pattern(1000, 5);
    ASSERT_TRUE(protocol->writeFile("big.dat", data, 0));
    std::mutex lock;
    std::vector<uint8_t> streamed;
    std::vector<uint32_t> offsets;
    auto subscriber = std::make_shared<DravikBleProtocol::FileStreamBus::Callback>([&](std::vector<_FileData> batch) {
        std::lock_guard guard(lock);
        for (const auto& record : batch) {
            offsets.push_back(record.offset);
            streamed.insert(streamed.end(), record.data.begin(), record.data.end());
        }
    });
    protocol->fileStreamEvent().lock()->subscribe(subscriber);

    EXPECT_EQ(protocol->fileStreamRead("big.dat", 900, 101).code, 522) << "past the end of the file";
    ASSERT_TRUE(protocol->fileStreamRead("big.dat", 100, 800));
    ASSERT_TRUE(waitFor([&] {
        std::lock_guard guard(lock);
        return streamed.size() == 800;
    }));
    {
        std::lock_guard guard(lock);
        EXPECT_EQ(streamed, std::vector<uint8_t>(data.begin() + 100, data.begin() + 900));
        EXPECT_EQ(offsets.front(), 100u);
        EXPECT_EQ(offsets[1], 228u);
    }
    const auto frame = requests().back();
    EXPECT_EQ(frame[4], 18);
    EXPECT_EQ(Utility::decodeUnsigned(frame.data() + 28, 4, true), 146u);
}

TEST_F(DravikFiles, ClosingTheStreamSwitchesStatusNotificationsOffOnce) {
    ASSERT_TRUE(protocol->writeFile("a.bin", pattern(300, 1), 0));
    ASSERT_TRUE(protocol->fileStreamRead("a.bin", 0, 300)) << "a stream read turns status notifications on";
    const auto status = rig.peer->fsStatusCharacteristic();
    ASSERT_TRUE(status->isNotifying());
    ASSERT_TRUE(protocol->fileStreamAutosave("auto.raw"));
    ASSERT_NE(protocol->readFilesystemStatus().streamActive, 0);

    const int configured = status->clientConfigurationWrites();
    ASSERT_TRUE(protocol->fileSystemStreamClose());
    EXPECT_EQ(status->clientConfigurationWrites() - configured, 1);
    EXPECT_FALSE(status->isNotifying());
    EXPECT_EQ(requests().back()[4], 16) << "the close command";
    EXPECT_EQ(protocol->readFilesystemStatus().streamActive, 0);

    ASSERT_TRUE(protocol->fileSystemStreamClose()) << "no stream: nothing to send";
    EXPECT_EQ(status->clientConfigurationWrites() - configured, 1);
}

TEST(DravikFrames, RepliesAreReadWithinTheirFields) {
    std::vector<uint8_t> bytes{0x40, 0x42, 0x0F, 0x00, 3, 0};
    bytes.insert(bytes.end(), 13, 'x');  // no terminator inside the text field
    bytes.push_back(200);                // more payload announced than present
    bytes.insert(bytes.end(), {1, 2, 3});
    const auto reply = parseReply(bytes);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->requestId, 1000000u);
    EXPECT_EQ(reply->command, 3);
    EXPECT_EQ(reply->text, std::string(13, 'x'));
    EXPECT_EQ(reply->payload, (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_FALSE(parseReply(std::vector<uint8_t>(19, 0)));

    const auto frame = requestFrame(123456, 8, "much.too.long.name", {9});
    ASSERT_EQ(frame.size(), 21u);
    EXPECT_EQ(std::string(frame.begin() + 6, frame.begin() + 18), "much.too.lon");
    EXPECT_EQ(frame[18], 0);
    EXPECT_EQ(frame[19], 1);
}

TEST(DravikFrames, StatusAndStreamRecords) {
    const auto shortStatus = parseFsStatus(std::vector<uint8_t>(5, 0), "dev");
    EXPECT_EQ(shortStatus, (_DravikFSStatus{1, 1, 0, false, 0, 0}));
    std::vector<uint8_t> two(40, 0);
    two[20] = 3;
    two[23] = 9;
    two[24] = 0xFF;
    two[25] = 0xFF;
    two[26] = 0xFF;
    two[27] = 0xFF;
    EXPECT_EQ(parseFsStatus(two, "dev"), (_DravikFSStatus{3, 0, 0, true, -1, 0}));

    std::vector<uint8_t> stream{2, 15, 3, 0, 7, 0, 0, 0, 2, 0, 0, 0, 0xA, 0xB, 0xC};  // end 2 < 3 bytes: offset 0
    std::vector<uint8_t> entry{1, 26, 0, 0, 5, 0, 0, 0, 0x21, 0x5A, 0x40, 0x60, 0x20};
    entry.insert(entry.end(), {'f', '.', 'b', 'i', 'n'});
    entry.resize(26, 0);
    stream.insert(stream.end(), entry.begin(), entry.end());
    std::vector<uint8_t> end(26, 0);
    end[0] = 1;
    end[1] = 26;
    stream.insert(stream.end(), end.begin(), end.end());
    stream.insert(stream.end(), {9, 4, 0, 0});  // an unknown record ends the walk
    stream.insert(stream.end(), entry.begin(), entry.end());
    const auto content = parseFsStream(stream);
    ASSERT_EQ(content.data.size(), 1u);
    EXPECT_EQ(content.data[0], (_FileData{7, 0, {0xA, 0xB, 0xC}}));
    ASSERT_EQ(content.entries.size(), 2u);
    EXPECT_EQ(content.entries[0], (_FileInfo{"f.bin", 5, 0x5A21, 0x6040, 0x20}));
    EXPECT_FALSE(content.entries[1]);

    std::vector<uint8_t> wrongLength{2, 14, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2};
    EXPECT_TRUE(parseFsStream(wrongLength).data.empty()) << "a data record of the wrong length carries nothing";
}
