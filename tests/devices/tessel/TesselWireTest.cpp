// Tessel wire format against hand-computed bytes: frames and checksums, every reply kind, the
// capability list, each data pack, the battery curve and the pack statistics.

#include <gtest/gtest.h>

#include "sdk/devices/tessel/PackCounter.hpp"
#include "sdk/devices/tessel/TesselWire.hpp"

using namespace VexaDevice::Tessel;
using VexaDevice::Sensor::SensorCommand;
using VexaDevice::Sensor::SensorParameter;
using VexaDevice::Sensor::toInt;

namespace {

using Bytes = std::vector<uint8_t>;

TesselPack pack(std::initializer_list<std::pair<size_t, uint8_t>> bytes) {
    TesselPack result;
    for (const auto& [at, value] : bytes) result.bytes[at] = value;
    return result;
}

// A reply pack: DF FF 00 code, then the given bytes.
TesselPack replyPack(uint8_t code, std::initializer_list<std::pair<size_t, uint8_t>> bytes = {}) {
    TesselPack result = pack(bytes);
    result.bytes[0] = 0xDF;
    result.bytes[1] = 0xFF;
    result.bytes[3] = code;
    return result;
}

constexpr FirmwareVersion Current{42, 15};

}  // namespace

TEST(TesselFrame, HeaderSerialAndChecksumAsTheDeviceExpectsThem) {
    // 0xDF + 0xFF + 0xA0 + 0x56 + 0x34 + 0x12 = 794 = 3 x 256 + 26: the checksum is 256 - 26.
    EXPECT_EQ(buildCommandFrame(Code::Echo, {}, 0x123456),
              (Bytes{0xDF, 0xFF, 0x00, 0xA0, 0x56, 0x34, 0x12, 0xE6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    // Serial not known yet: 0xDF + 0xFF + 0xA1 = 639 = 2 x 256 + 127.
    EXPECT_EQ(buildCommandFrame(Code::GetSerialNum, {}, 0),
              (Bytes{0xDF, 0xFF, 0x00, 0xA1, 0, 0, 0, 0x81, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    // Only 24 bits of the serial travel.
    const Bytes wide = buildCommandFrame(Code::FindMe, {}, 0xAB123456);
    EXPECT_EQ(wide[6], 0x12);
    unsigned sum = 0;
    for (size_t i = 0; i < 8; ++i) sum += wide[i];
    EXPECT_EQ(sum % 256, 0u);
}

TEST(TesselFrame, SetterArgumentsFromByteEight) {
    StimulationParams stimulation{100, 25, 50, 0x1234};
    EXPECT_EQ(stimulationArgs(stimulation), (CommandArgs{1, 100, 2, 50, 0x34, 0x12, 0, 0, 0, 0, 0, 0}))
        << "a pulse width of 25 travels as 2";
    EXPECT_EQ(motionAssistantArgs({10, 85, 7, 250}), (CommandArgs{0, 10, 85, 255, 25, 0, 0, 0, 0, 0, 0, 0}))
        << "an unknown limb travels as 255";
    EXPECT_EQ(motionCounterArgs({500, 0x0102}), (CommandArgs{0xF4, 0x01, 0x02, 0x01, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(filterArgs({0, 2, 5}), byteArgs(0b100101));
    const Bytes frame = buildCommandFrame(Code::SetStimParam, stimulationArgs(stimulation), 0);
    EXPECT_EQ(Bytes(frame.begin() + 8, frame.begin() + 14), (Bytes{1, 100, 2, 50, 0x34, 0x12}));

    EXPECT_EQ(samplingFrequencyDeviceCode(3), 0);
    EXPECT_EQ(samplingFrequencyDeviceCode(9), 6);
    EXPECT_EQ(samplingFrequencyDeviceCode(2), 255);
    EXPECT_EQ(gainDeviceCode(0), 1);
    EXPECT_EQ(gainDeviceCode(4), 0);
    EXPECT_EQ(gainDeviceCode(6), 6);
    EXPECT_EQ(gainDeviceCode(7), 255);
}

TEST(TesselFrame, NamesOfCommandsAndDeviceErrors) {
    EXPECT_EQ(commandName(0), "ERROR");
    EXPECT_EQ(commandName(64), "START_ADC_DATA_THROW");
    EXPECT_EQ(commandName(85), "BOOT_EEPROM_1_WORD_WRITE");
    EXPECT_EQ(commandName(168), "SET_SERIAL_NUM");
    EXPECT_EQ(commandName(1), "UNKNOWN");
    EXPECT_EQ(deviceErrorName(37), "ERR_WRONG_PARAM");
    EXPECT_EQ(deviceErrorName(101), "ERR_BOOT_CRC");
    EXPECT_EQ(deviceErrorName(511), "ERR_DATA_SEND");
    EXPECT_EQ(deviceErrorName(39), "UNKNOWN");

    EXPECT_EQ(deviceResult({0, 36, DeviceError{511}}),
              VexaDevice::OperationResult::failed(511, "Device error: [ERR_DATA_SEND]"));
    EXPECT_EQ(deviceResult({1, 64, DeviceError{0}}),
              (VexaDevice::OperationResult{1, 0, "Device error: [DEV_NO_ERROR]"}));
    EXPECT_EQ(deviceResult({1, 43, true}), (VexaDevice::OperationResult{1, 0, ""}));
}

TEST(TesselReply, ErrorAcknowledgementAndValueReplies) {
    const auto error = decodeReply(replyPack(Code::Error, {{8, 37}, {9, Code::SetPgaGain}}), Current);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->ok, 0);
    EXPECT_EQ(error->command, 0);
    EXPECT_EQ(std::get<DeviceError>(error->payload).code, 37);

    for (const uint8_t code : {3, 9, 17, 22, 64, 84, 113, 131, 167, 168}) {
        const auto ack = decodeReply(replyPack(code, {{8, 9}}), Current);
        ASSERT_TRUE(ack) << int(code);
        EXPECT_EQ(ack->ok, 1);
        EXPECT_EQ(ack->command, code);
        EXPECT_EQ(std::get<DeviceError>(ack->payload).code, 0);
    }

    const auto serial =
        decodeReply(replyPack(Code::GetSerialNum, {{8, 0x56}, {9, 0x34}, {10, 0x12}, {11, 0x99}}), Current);
    EXPECT_EQ(std::get<ReplyValue>(serial->payload).value, 0x123456);
    const auto counter =
        decodeReply(replyPack(Code::GetMotionCounterVal, {{8, 0xFE}, {9, 0xFF}, {10, 0xFF}, {11, 0xFF}}), Current);
    EXPECT_EQ(std::get<ReplyValue>(counter->payload).value, -2);
    const auto counterParams =
        decodeReply(replyPack(Code::GetMotionCounterParam, {{8, 0xF4}, {9, 0x01}, {10, 0x02}, {11, 0x01}}), Current);
    EXPECT_EQ(std::get<MotionCounterParams>(counterParams->payload), (MotionCounterParams{500, 258}));
    EXPECT_TRUE(std::get<bool>(decodeReply(replyPack(Code::GetMemsCalibStatus, {{8, 1}}), Current)->payload));
    EXPECT_FALSE(std::get<bool>(decodeReply(replyPack(Code::GetMemsCalibStatus, {{8, 2}}), Current)->payload));
}

TEST(TesselReply, StimulatorAndMotionAssistantRecords) {
    const auto stimulation = decodeReply(
        replyPack(Code::GetStimParam, {{8, 1}, {9, 80}, {10, 46}, {11, 200}, {12, 0x10}, {13, 0x27}}), Current);
    EXPECT_EQ(std::get<StimulationParams>(stimulation->payload), (StimulationParams{80, 460, 200, 10000}));

    const auto state = decodeReply(replyPack(Code::GetShAndStimState, {{8, 2}, {9, 7}}), Current);
    EXPECT_EQ(std::get<StimulatorAndMAState>(state->payload), (StimulatorAndMAState{2, 255}));

    // A pause of 30 tens reads back as 300, which one byte would have wrapped to 44.
    const auto assistant = decodeReply(replyPack(Code::GetShParam, {{9, 10}, {10, 85}, {11, 4}, {12, 30}}), Current);
    EXPECT_EQ(std::get<MotionAssistantParams>(assistant->payload), (MotionAssistantParams{10, 85, 255, 300}));
}

TEST(TesselReply, EchoKeepsVersionModeAndLastWord) {
    // Byte 8: bit 7 boot loader, bit 6 belongs to nothing, bits 0-5 the major number.
    const auto echo = decodeReply(
        replyPack(Code::Echo, {{8, 0xC0 | 34}, {9, 0xCB}, {10, 0x00}, {11, 5}, {12, 6}, {13, 0xEF}, {14, 0xBE}}),
        Current);
    EXPECT_EQ(std::get<EchoInfo>(echo->payload), (EchoInfo{34, 203, 5, 6, 0, 0xBEEF}));
    EXPECT_EQ(decodeEcho(replyPack(Code::Echo, {{8, 42}})).mode, 1);
}

TEST(TesselReply, PacksThatAnswerNoCommand) {
    EXPECT_FALSE(decodeReply(replyPack(169), Current)) << "codes above 168";
    EXPECT_FALSE(decodeReply(replyPack(Code::GetBatteryV), Current)) << "data, not a reply";
    EXPECT_FALSE(decodeReply(replyPack(Code::GetElectrodeState), Current));
    EXPECT_FALSE(decodeReply(replyPack(80), Current)) << "boot-loader memory commands have no reply record";
    EXPECT_TRUE(isDataReply(replyPack(Code::GetBatteryV)));
    EXPECT_FALSE(isDataReply(replyPack(Code::Echo)));
}

TEST(TesselCapabilityList, EveryModuleOnNewFirmware) {
    // Modules: signal, motion, stimulation, respiration.
    const TesselPack reply =
        replyPack(Code::GetSensorParam,
                  {{8, 0x0F}, {9, 2}, {10, 7}, {11, 0b100101}, {12, 0}, {13, 9}, {14, 0}, {16, 3}, {17, 4}});
    const TesselCapabilities caps = decodeCapabilities(reply, {34, 0});
    EXPECT_EQ(caps.offered.features, (std::set<int32_t>{0, 1, 2, 3, 6}));
    using C = SensorCommand;
    std::set<int32_t> commands;
    for (const C c : {C::FindMe, C::StartSignal, C::StopSignal, C::StartEnvelope, C::StopEnvelope, C::StartMEMS,
                      C::StopMEMS, C::CalibrateMEMS, C::StartCurrentStimulation, C::StopStimulation,
                      C::EnableMotionAssistant, C::DisableMotionAssistant, C::StartRespiration, C::StopRespiration})
        commands.insert(toInt(c));
    EXPECT_EQ(caps.offered.commands, commands) << "no angle commands beside the stimulator";
    const auto& p = caps.offered.parameters;
    EXPECT_EQ(p.at(toInt(SensorParameter::State)), 2);
    EXPECT_EQ(p.at(toInt(SensorParameter::Gain)), 1);
    EXPECT_EQ(p.at(38), 0);
    EXPECT_EQ(p.at(40), 2);
    EXPECT_EQ(p.at(toInt(SensorParameter::SamplingFrequencyMEMS)), 0);
    EXPECT_EQ(p.at(toInt(SensorParameter::StimulatorParamPack)), 1);
    EXPECT_EQ(p.at(toInt(SensorParameter::SamplingFrequencyResp)), 0);
    EXPECT_FALSE(p.contains(toInt(SensorParameter::MotionCounterParamPack)));
    EXPECT_EQ(p.size(), 23u);

    EXPECT_EQ(caps.samplingFrequency, 5);
    EXPECT_EQ(caps.adcInput, 1) << "7 is no ADC input";
    EXPECT_EQ(caps.filters, (std::set<uint8_t>{0, 2, 5}));
    EXPECT_EQ(caps.supportedFilters, (std::set<uint8_t>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(caps.gain, 4);
    EXPECT_EQ(caps.dataOffset, 255);
    EXPECT_EQ(caps.externalSwitch, 0);
    EXPECT_EQ(caps.accelSens, 3);
    EXPECT_EQ(caps.gyroSens, 255);
}

TEST(TesselCapabilityList, MotionWithoutStimulatorAndOlderFirmware) {
    const TesselPack reply = replyPack(Code::GetSensorParam, {{8, 0x03}, {9, 6}, {12, 6}, {13, 8}, {14, 3}, {16, 0}});
    const TesselCapabilities newer = decodeCapabilities(reply, {33, 203});
    EXPECT_TRUE(newer.offered.commands.contains(toInt(SensorCommand::StartAngle)));
    EXPECT_TRUE(newer.offered.commands.contains(toInt(SensorCommand::ResetMotionCounter)));
    EXPECT_EQ(newer.offered.parameters.at(toInt(SensorParameter::MotionCounterParamPack)), 1);
    EXPECT_FALSE(newer.offered.commands.contains(toInt(SensorCommand::StartEnvelope))) << "envelope from major 34";
    EXPECT_EQ(newer.supportedFilters, (std::set<uint8_t>{0}));
    EXPECT_EQ(newer.samplingFrequency, 9);
    EXPECT_EQ(newer.gain, 6);
    EXPECT_EQ(newer.dataOffset, 8);
    EXPECT_EQ(newer.externalSwitch, 3);

    const TesselCapabilities older = decodeCapabilities(reply, {33, 202});
    EXPECT_TRUE(older.offered.commands.contains(toInt(SensorCommand::ResetQuaternion)));
    EXPECT_FALSE(older.offered.commands.contains(toInt(SensorCommand::ResetMotionCounter)));
    EXPECT_FALSE(older.offered.parameters.contains(toInt(SensorParameter::MotionCounter)));

    const TesselCapabilities bare = decodeCapabilities(replyPack(Code::GetSensorParam), Current);
    EXPECT_EQ(bare.offered.commands, (std::set<int32_t>{toInt(SensorCommand::FindMe)}));
    EXPECT_EQ(bare.offered.parameters.size(), 7u);
    EXPECT_EQ(bare.samplingFrequency, 255);
    EXPECT_EQ(bare.accelSens, 255);
}

TEST(TesselDataPack, KindsByTheLeadingWord) {
    EXPECT_EQ(packKind(pack({{0, 0xDC}, {1, 0xFF}})), PackKind::Signal);  // 65500
    EXPECT_EQ(packKind(pack({{0, 0xDD}, {1, 0xFF}})), PackKind::Motion);
    EXPECT_EQ(packKind(pack({{0, 0xDE}, {1, 0xFF}})), PackKind::Respiration);
    EXPECT_EQ(packKind(pack({{0, 0xDF}, {1, 0xFF}})), PackKind::Reply);
    EXPECT_EQ(packKind(pack({{0, 0xE0}, {1, 0xFF}})), PackKind::Ignored);
    EXPECT_EQ(packKind(pack({{0, 0xE1}, {1, 0xFF}})), PackKind::Quaternion);
    EXPECT_EQ(packKind(pack({{0, 0xE2}, {1, 0xFF}})), PackKind::Ignored);
    EXPECT_EQ(packKind(pack({{0, 0xE3}, {1, 0xFF}})), PackKind::Envelope);
    EXPECT_EQ(packKind(pack({{0, 0xE4}, {1, 0xFF}})), PackKind::Ignored);

    const std::vector<TesselPack> batch{pack({{0, 1}}),
                                        replyPack(Code::GetBatteryV, {{8, 1}}),
                                        pack({{0, 2}}),
                                        replyPack(Code::GetElectrodeState),
                                        replyPack(Code::Echo),
                                        replyPack(Code::GetBatteryV, {{8, 2}}),
                                        pack({{0, 0xE3}, {1, 0xFF}})};
    const PackLists lists = classifyPacks(batch);
    ASSERT_EQ(lists.signal.size(), 2u);
    EXPECT_EQ(lists.signal[1].bytes[0], 2) << "arrival order kept";
    ASSERT_EQ(lists.battery.size(), 2u);
    EXPECT_EQ(lists.battery.back().bytes[8], 2);
    EXPECT_EQ(lists.electrode.size(), 1u);
    EXPECT_EQ(lists.envelope.size(), 1u);
    EXPECT_TRUE(lists.motion.empty());
}

TEST(TesselDataPack, SignalSamplesInVolts) {
    // Pack 0x1234; first sample 1000 counts, second -1, the rest 0.
    const TesselPack signal = pack({{0, 0x34}, {1, 0x12}, {2, 0xE8}, {3, 0x03}, {4, 0xFF}, {5, 0xFF}});
    // Gain x6, offset 3: 1000 x 2^3 x 2.42 / 8388607 / 6.
    const _SignalData record = decodeSignal(signal, 6.0, 3);
    EXPECT_EQ(record.PackNum, 0x1234u);
    ASSERT_EQ(record.Samples.size(), 9u);
    EXPECT_NEAR(record.Samples[0], 3.846486868042175e-4, 1e-15);
    EXPECT_NEAR(record.Samples[1], -3.846486868042175e-7, 1e-18);
    EXPECT_EQ(record.Samples[8], 0.0);
    EXPECT_TRUE(record.valid);
}

TEST(TesselDataPack, MotionRespirationEnvelopeAndQuaternion) {
    // Accelerometer x = 16384 (big-endian 40 00) at 4 g; gyroscope x = -16384 (C0 00) at 1000 dps.
    const TesselPack motion = pack({{0, 0xDD}, {1, 0xFF}, {2, 7}, {8, 0x40}, {14, 0xC0}, {19, 0x01}});
    const _MEMSData memsRecord = decodeMotion(motion, 1, 2);
    EXPECT_EQ(memsRecord.PackNum, 7u);
    EXPECT_NEAR(memsRecord.AccelerometerX, 2.0000610370189, 1e-12);
    EXPECT_EQ(memsRecord.AccelerometerY, 0.0);
    EXPECT_NEAR(memsRecord.GyroscopeX, -500.0152592547, 1e-9);
    EXPECT_NEAR(memsRecord.GyroscopeZ, 1000.0 / 32767.0, 1e-12);

    // 00 00 80 is the most negative 24-bit count.
    const TesselPack respiration = pack({{0, 0xDE}, {1, 0xFF}, {2, 0x01}, {3, 0x02}, {6, 0x80}});
    const _RespirationData breath = decodeRespiration(respiration);
    EXPECT_EQ(breath.PackNum, 0x0201u);
    ASSERT_EQ(breath.Samples.size(), 1u);
    EXPECT_NEAR(breath.Samples[0], -2.420000288486515, 1e-12);

    const TesselPack envelope = pack({{0, 0xE3}, {1, 0xFF}, {4, 0xFF}, {5, 0xFF}, {6, 0x7F}});
    EXPECT_NEAR(decodeEnvelope(envelope).Value, 2.42, 1e-12);

    // 1.0f and -0.5f in little-endian IEEE single precision.
    const TesselPack quaternion = pack({{0, 0xE1}, {1, 0xFF}, {2, 3}, {6, 0x80}, {7, 0x3F}, {11, 0xBF}});
    const _QuaternionData q = decodeQuaternion(quaternion);
    EXPECT_EQ(q.PackNum, 3u);
    EXPECT_EQ(q.W, 1.0f);
    EXPECT_EQ(q.X, -0.5f);
    EXPECT_EQ(q.Y, 0.0f);
}

TEST(TesselDataPack, BatteryCurveAndElectrodeState) {
    EXPECT_EQ(batteryMillivolts(replyPack(Code::GetBatteryV, {{8, 0xD8}, {9, 0x0E}})), 3800);
    EXPECT_EQ(batteryPercentFromMillivolts(3800), 36) << "35 + round(1 x 5 / 9)";
    EXPECT_EQ(batteryPercentFromMillivolts(3130), 0);
    EXPECT_EQ(batteryPercentFromMillivolts(0), 0);
    EXPECT_EQ(batteryPercentFromMillivolts(3568), 5);
    EXPECT_EQ(batteryPercentFromMillivolts(3349), 3) << "2.5 rounds away from zero";
    EXPECT_EQ(batteryPercentFromMillivolts(4149), 100);
    EXPECT_EQ(batteryPercentFromMillivolts(4200), 100);
    EXPECT_EQ(decodeElectrodeState(replyPack(Code::GetElectrodeState, {{8, 5}})), ElectrodeState::Detached);
    EXPECT_EQ(decodeElectrodeState(replyPack(Code::GetElectrodeState)), ElectrodeState::Normal);
}

TEST(TesselPackCounter, LossesAcrossTheWrap) {
    PackCounter counter;
    EXPECT_EQ(counter.lostPercent(), 0.0) << "nothing lost before the first pack";
    EXPECT_EQ(counter.onPack(65499), 0u);
    EXPECT_EQ(counter.onPack(65500), 0u);
    EXPECT_EQ(counter.onPack(0), 0u) << "65500 wraps to 0";
    EXPECT_EQ(counter.onPack(10), 9u);
    EXPECT_EQ(counter.onPack(13), 2u);
    EXPECT_EQ(counter.receivedCount(), 5u);
    EXPECT_EQ(counter.lostCount(), 11u);
    EXPECT_DOUBLE_EQ(counter.lostPercent(), 11.0 * 100.0 / 16.0);

    counter.setSamplingFrequency(250);
    EXPECT_EQ(counter.samplingFrequency(), 250u);
    EXPECT_EQ(counter.receivedCount(), 0u);
    EXPECT_EQ(counter.onPack(500), 0u) << "the first pack after a reset loses nothing";
    EXPECT_EQ(counter.lostPercent(), 0.0);
}
