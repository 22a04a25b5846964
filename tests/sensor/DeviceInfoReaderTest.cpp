#include <gtest/gtest.h>
#include <spdlog/sinks/ostream_sink.h>

#include <chrono>
#include <map>
#include <tuple>
#include <sstream>

#include "sdk/core/DeviceInfoReader.hpp"
#include "sdk/core/Log.hpp"
#include "sdk/core/RtException.hpp"

using namespace VexaDevice;
using namespace VexaDevice::Utility;

namespace {

std::vector<uint8_t> bytesOf(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

// A Device Information service whose reads follow a script per characteristic: each entry is
// one attempt's answer (nothing = the read failed); past the script the last answer repeats.
class ScriptedService {
public:
    void script(const UUID& characteristic, std::vector<std::optional<std::vector<uint8_t>>> answers) {
        answers_[characteristic] = std::move(answers);
    }
    void answer(const UUID& characteristic, const std::string& text) { script(characteristic, {bytesOf(text)}); }

    void answerAll(const std::string& serial, const std::string& model, const std::string& hardware,
                   const std::string& firmware) {
        answer(kSerialNumberCharacteristic, serial);
        answer(kModelNumberCharacteristic, model);
        answer(kHardwareRevisionCharacteristic, hardware);
        answer(kFirmwareRevisionCharacteristic, firmware);
    }

    CharacteristicRead reader() {
        return [this](const UUID& characteristic) -> std::optional<std::vector<uint8_t>> {
            const int attempt = attempts_[characteristic]++;
            const auto found = answers_.find(characteristic);
            if (found == answers_.end() || found->second.empty()) {
                return std::nullopt;
            }
            const auto& answers = found->second;
            return answers[std::min<std::size_t>(attempt, answers.size() - 1)];
        };
    }

    int attempts(const UUID& characteristic) { return attempts_[characteristic]; }

private:
    std::map<UUID, std::vector<std::optional<std::vector<uint8_t>>>> answers_;
    std::map<UUID, int> attempts_;
};

DeviceVersion readAll(ScriptedService& service, const bool* cancel = nullptr) {
    DeviceVersion version;
    readDeviceInfoFrom(service.reader(), version, cancel);
    return version;
}

std::string failureOf(ScriptedService& service) {
    try {
        readAll(service);
    } catch (const rt_exception& error) {
        EXPECT_EQ(error.code(), 0);
        return error.what();
    }
    return "no failure";
}

}  // namespace

TEST(DeviceInfoReader, CharacteristicsSitOnTheBluetoothBaseUuid) {
    EXPECT_EQ(uuidToString(kSerialNumberCharacteristic), "00002A25-0000-1000-8000-00805F9B34FB");
    EXPECT_EQ(uuidToString(kModelNumberCharacteristic), "00002A24-0000-1000-8000-00805F9B34FB");
    EXPECT_EQ(uuidToString(kHardwareRevisionCharacteristic), "00002A27-0000-1000-8000-00805F9B34FB");
    EXPECT_EQ(uuidToString(kFirmwareRevisionCharacteristic), "00002A26-0000-1000-8000-00805F9B34FB");
}

TEST(DeviceInfoReader, ReadsAndParsesAllFourStrings) {
    ScriptedService service;
    service.answerAll("SN-0042", "80.3", "1.2.3", "4.5.6");
    const DeviceVersion version = readAll(service);
    EXPECT_EQ(version.serialText(), "SN-0042");
    EXPECT_EQ(std::tie(version.modelMajor, version.modelMinor), std::make_tuple(80, 3));
    EXPECT_EQ(std::tie(version.hardwareMajor, version.hardwareMinor, version.hardwarePatch),
              std::make_tuple(1u, 2u, 3u));
    EXPECT_EQ(std::tie(version.firmwareMajor, version.firmwareMinor, version.firmwarePatch),
              std::make_tuple(4u, 5u, 6u));
}

TEST(DeviceInfoReader, ValueEndsAtTheFirstZeroByte) {
    EXPECT_EQ(textFromValue({'A', 'B', 0, 'C'}), "AB");
    EXPECT_EQ(textFromValue({'A', 'B'}), "AB");

    ScriptedService service;
    service.answerAll("", "80", "7", "1.0.0");
    service.script(kSerialNumberCharacteristic, {std::vector<uint8_t>{'A', 'B', 0}});
    EXPECT_EQ(readAll(service).serialText(), "AB");
}

TEST(DeviceInfoReader, SerialKeepsSixteenCharactersAndZeroPadsShorterOnes) {
    ScriptedService service;
    service.answerAll("ABCDEFGHIJKLMNOPQRST", "1", "1", "1");
    DeviceVersion version = readAll(service);
    EXPECT_EQ(std::string(version.serial.begin(), version.serial.end()), "ABCDEFGHIJKLMNOP");
    EXPECT_EQ(version.serialText(), "ABCDEFGHIJKLMNOP");  // unterminated, read no further

    service.answer(kSerialNumberCharacteristic, "12345");
    version = readAll(service);
    EXPECT_EQ(version.serialText(), "12345");
    for (std::size_t i = 5; i < version.serial.size(); ++i) {
        EXPECT_EQ(version.serial[i], '\0') << i;
    }
}

TEST(DeviceInfoReader, ModelNumberForms) {
    struct Case {
        const char* text;
        uint8_t major;
        uint8_t minor;
    };
    for (const Case& c : {Case{"80.3", 80, 3}, Case{"80", 80, 0}, Case{"X1", 0, 0}, Case{"80-3", 80, 0},
                          Case{"300.258", 44, 2}, Case{"7x12", 7, 0}}) {
        ScriptedService service;
        service.answerAll("S", c.text, "1", "1");
        const DeviceVersion version = readAll(service);
        EXPECT_EQ(version.modelMajor, c.major) << c.text;
        EXPECT_EQ(version.modelMinor, c.minor) << c.text;
    }
}

TEST(DeviceInfoReader, ModelNumberThatMatchesButDoesNotParseIsReportedAsModelFailure) {
    ScriptedService service;
    service.answerAll("S", "x80-3", "1.2.3", "1.2.3");
    EXPECT_EQ(failureOf(service), "Can not parse Model number");
}

TEST(DeviceInfoReader, RevisionForms) {
    ScriptedService service;
    service.answerAll("S", "1", "1.2", "7");
    DeviceVersion version = readAll(service);
    EXPECT_EQ(version.hardwareMajor, 0u);  // two parts: neither pattern nor digits
    EXPECT_EQ(version.hardwareMinor, 0u);
    EXPECT_EQ(version.firmwareMajor, 7u);
    EXPECT_EQ(version.firmwareMinor, 0u);

    // The dots of the pattern match any character, but the numbers after a non-dot do not
    // convert: they must read as 0, not as whatever the record held.
    service.answerAll("S", "1", "1x2x3", "9.8.7");
    version.hardwareMinor = 77;
    version.hardwarePatch = 77;
    readDeviceInfoFrom(service.reader(), version, nullptr);
    EXPECT_EQ(version.hardwareMajor, 1u);
    EXPECT_EQ(version.hardwareMinor, 0u);
    EXPECT_EQ(version.hardwarePatch, 0u);
    EXPECT_EQ(version.firmwarePatch, 7u);
}

// Text no real device sends: thousands of digits that almost match. It is no recognised form
// and costs no time; the longest text a device really sends still parses.
TEST(DeviceInfoReader, OverlongModelAndRevisionTextsAreNoFormAndCostNoTime) {
    ScriptedService service;
    const std::string hostile = std::string(4000, '1') + "x";
    service.answerAll("S", hostile, hostile, std::string(4000, '7'));
    DeviceVersion version;
    version.modelMajor = 5;
    version.hardwareMajor = 6;
    version.firmwareMajor = 8;
    const auto started = std::chrono::steady_clock::now();
    readDeviceInfoFrom(service.reader(), version, nullptr);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
    EXPECT_EQ(version.modelMajor, 5);
    EXPECT_EQ(version.hardwareMajor, 6u);
    EXPECT_EQ(version.firmwareMajor, 8u);

    service.answerAll("S", "80.3" + std::string(60, ' '), "1.2.3", "4.5.6");
    version = readAll(service);
    EXPECT_EQ(version.modelMajor, 80);
    EXPECT_EQ(version.modelMinor, 3);
}

TEST(DeviceInfoReader, ThreeAttemptsPerCharacteristic) {
    ScriptedService service;
    service.answerAll("S", "80.1", "1.0.0", "2.0.0");
    // Two failures (one failed read, one empty value), then the answer.
    service.script(kModelNumberCharacteristic, {std::nullopt, std::vector<uint8_t>{}, bytesOf("80.1")});
    const DeviceVersion version = readAll(service);
    EXPECT_EQ(version.modelMajor, 80);
    EXPECT_EQ(service.attempts(kModelNumberCharacteristic), 3);
    EXPECT_EQ(service.attempts(kSerialNumberCharacteristic), 1);
}

TEST(DeviceInfoReader, EachStepFailsWithItsOwnTextAndStopsTheLaterOnes) {
    const std::pair<UUID, const char*> steps[] = {
        {kSerialNumberCharacteristic, "Can not read Serial number"},
        {kModelNumberCharacteristic, "Can not read Model number"},
        {kHardwareRevisionCharacteristic, "Can not read Hardware Revision"},
        {kFirmwareRevisionCharacteristic, "Can not read Firmware Revision"},
    };
    for (const auto& [characteristic, text] : steps) {
        ScriptedService service;
        service.answerAll("S", "1", "1", "1");
        service.script(characteristic, {std::nullopt});
        EXPECT_EQ(failureOf(service), text);
        EXPECT_EQ(service.attempts(characteristic), kDeviceInfoReadAttempts);
        if (characteristic != kFirmwareRevisionCharacteristic) {
            EXPECT_EQ(service.attempts(kFirmwareRevisionCharacteristic), 0);
        }
    }
}

TEST(DeviceInfoReader, CancelFlagStopsQuietly) {
    ScriptedService service;
    service.answerAll("S", "80.3", "1.2.3", "4.5.6");
    const bool cancelled = true;
    const DeviceVersion version = readAll(service, &cancelled);
    EXPECT_EQ(service.attempts(kSerialNumberCharacteristic), 0);
    EXPECT_EQ(version.serialText(), "");
    EXPECT_EQ(version.modelMajor, 0);
    EXPECT_EQ(version.firmwareMajor, 0u);
}

TEST(DeviceInfoReader, TracesTheParsedModelNumber) {
    std::ostringstream captured;
    auto sink = std::make_shared<spdlog::sinks::ostream_sink_mt>(captured);
    spdlog::logger& log = *sdkLog();
    const auto previousLevel = log.level();
    log.sinks().push_back(sink);
    log.set_level(spdlog::level::trace);

    ScriptedService service;
    service.answerAll("S", "80.3", "1", "1");
    readAll(service);

    log.set_level(previousLevel);
    log.sinks().pop_back();
    EXPECT_NE(captured.str().find("Model string: [80.3] -> [80][3]"), std::string::npos) << captured.str();
}
