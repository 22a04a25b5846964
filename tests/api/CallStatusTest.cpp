#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>

#include "sdk/api/CallStatus.hpp"

using namespace VexaDevice::Api;
using VexaDevice::OperationResult;
using VexaDevice::Utility::rt_exception;

extern "C" size_t akCallStatusSizeInC(void);
extern "C" size_t akCallStatusErrorOffsetInC(void);
extern "C" size_t akCallStatusMessageOffsetInC(void);

namespace {

// A record that still holds an old failure, on the heap so that a write past its
// end is caught.
std::unique_ptr<CallStatus> staleStatus() {
    auto status = std::make_unique<CallStatus>();
    status->Success = 0;
    status->Error = 777;
    std::memset(status->ErrorMsg, 'x', sizeof(status->ErrorMsg) - 1);
    status->ErrorMsg[sizeof(status->ErrorMsg) - 1] = '\0';
    return status;
}

const ExportFailure kConnectFailure{Errors::ConnectFailed};
const ExportFailure kStopScannerFailure{Errors::StopScannerFailed, false};

}  // namespace

TEST(CallStatusLayout, HostRecordIs520BytesWithCodeAtOffset4InCAndCxx) {
    EXPECT_EQ(sizeof(CallStatus), 520u);
    EXPECT_EQ(offsetof(CallStatus, Error), 4u);
    EXPECT_EQ(akCallStatusSizeInC(), 520u);
    EXPECT_EQ(akCallStatusErrorOffsetInC(), 4u);
    EXPECT_EQ(akCallStatusMessageOffsetInC(), 8u);
}

TEST(CallStatusFill, SuccessClearsAnOldFailure) {
    auto status = staleStatus();
    EXPECT_EQ(statusOk(nullptr, status.get(), 1), 1);
    EXPECT_EQ(status->Success, 1);
    EXPECT_EQ(status->Error, 0u);
    EXPECT_STREQ(status->ErrorMsg, "");
}

TEST(CallStatusFill, OkWithFailureFlagMarksCode0xFFFF) {
    auto status = staleStatus();
    EXPECT_EQ(statusOk("odd", status.get(), 0), 0);
    EXPECT_EQ(status->Success, 0);
    EXPECT_EQ(status->Error, 0xFFFFu);
    EXPECT_STREQ(status->ErrorMsg, "odd");
}

TEST(CallStatusFill, FailureCarriesCodeAndText) {
    auto status = staleStatus();
    EXPECT_EQ(statusFail(Errors::SensorNotFound, status.get()), 0);
    EXPECT_EQ(status->Success, 0);
    EXPECT_EQ(status->Error, 109u);
    EXPECT_STREQ(status->ErrorMsg, "Sensor not founded");
    EXPECT_EQ(statusFail(nullptr, 42, status.get(), 0), 0);
    EXPECT_EQ(status->Error, 42u);
    EXPECT_STREQ(status->ErrorMsg, "");
}

TEST(CallStatusFill, LongTextIsCutTo511CharactersAndTerminated) {
    auto status = staleStatus();
    const std::string text = std::string(510, 'a') + "bc" + std::string(88, 'd');
    statusFail(text.c_str(), 120, status.get(), 0);
    EXPECT_EQ(std::strlen(status->ErrorMsg), 511u);
    EXPECT_EQ(status->ErrorMsg[509], 'a');
    EXPECT_EQ(status->ErrorMsg[510], 'b');
    EXPECT_EQ(status->ErrorMsg[511], '\0');
}

TEST(CallStatusFill, NullStatusOnlyReturnsTheOutcome) {
    EXPECT_EQ(statusOk(nullptr, nullptr, 1), 1);
    EXPECT_EQ(statusFail("text", 5, nullptr, 0), 0);
    const auto done = OperationResult::done();
    EXPECT_EQ(statusFromResult(&done, nullptr), 1);
}

TEST(CallStatusFill, FromResultCopiesOutcomeCodeAndMessage) {
    auto status = staleStatus();
    const auto refused = OperationResult::failed(515, "Unsupported parameter");
    EXPECT_EQ(statusFromResult(&refused, status.get()), 0);
    EXPECT_EQ(status->Success, 0);
    EXPECT_EQ(status->Error, 515u);
    EXPECT_STREQ(status->ErrorMsg, "Unsupported parameter");

    const auto done = OperationResult::done();
    EXPECT_EQ(statusFromResult(&done, status.get()), 1);
    EXPECT_EQ(status->Success, 1);
    EXPECT_EQ(status->Error, 0u);
    EXPECT_STREQ(status->ErrorMsg, "");
}

TEST(CallStatusFill, FromNullResultFailsAndWritesNothing) {
    auto status = staleStatus();
    EXPECT_EQ(statusFromResult(nullptr, status.get()), 0);
    EXPECT_EQ(status->Error, 777u);
}

TEST(CallStatusFill, DefaultCodeReplacesOnlyAMissingFailureCode) {
    EXPECT_EQ(withDefaultCode(OperationResult::failed(0, "no answer"), Errors::CommandFailed).code, 118);
    EXPECT_EQ(withDefaultCode(OperationResult::failed(513, "send"), Errors::CommandFailed).code, 513);
    EXPECT_EQ(withDefaultCode(OperationResult::done(), Errors::CommandFailed), OperationResult::done());
    // A refusal with neither code nor text gets the export's own text; one with a text keeps it.
    EXPECT_EQ(withDefaultCode(OperationResult::failed(0, ""), Errors::CommandFailed).message,
              "Failed to execute the sensor command");
    EXPECT_EQ(withDefaultCode(OperationResult::failed(0, "no answer"), Errors::CommandFailed).message, "no answer");
    EXPECT_EQ(withDefaultCode(OperationResult::failed(513, ""), Errors::CommandFailed).message, "")
        << "the family's own code stands as it came";
}

TEST(CopyText, CutsToTheBufferAndTerminates) {
    char buffer[4] = {'?', '?', '?', '?'};
    copyText("Morvex", buffer, sizeof(buffer));
    EXPECT_STREQ(buffer, "Mor");
    copyText(nullptr, buffer, sizeof(buffer));
    EXPECT_STREQ(buffer, "");

    char untouched[2] = {'?', '?'};
    copyText("abc", untouched, 0);
    EXPECT_EQ(untouched[0], '?');
    copyText("abc", nullptr, 10);
}

TEST(GuardedExport, LibraryExceptionWithoutCodeTakesTheExportsCode) {
    auto status = staleStatus();
    const uint8_t result = guardedExport(status.get(), kConnectFailure,
                                         []() -> uint8_t { throw rt_exception("Device is not reachable"); });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(status->Error, 110u);
    EXPECT_STREQ(status->ErrorMsg, "Device is not reachable");
}

TEST(GuardedExport, LibraryExceptionCodeReachesTheHost) {
    auto status = staleStatus();
    guardedExport(status.get(), kConnectFailure,
                  []() -> uint8_t { throw rt_exception(std::string("Unsupported parameter"), 515); });
    EXPECT_EQ(status->Error, 515u);
    EXPECT_STREQ(status->ErrorMsg, "Unsupported parameter");
}

TEST(GuardedExport, ExportsWithoutTheLibraryBranchKeepTheirOwnCode) {
    auto status = staleStatus();
    guardedExport(status.get(), kStopScannerFailure,
                  []() -> uint8_t { throw rt_exception(std::string("watcher refused"), 515); });
    EXPECT_EQ(status->Error, 104u);
    EXPECT_STREQ(status->ErrorMsg, "watcher refused");

    guardedExport(status.get(), kStopScannerFailure, []() -> uint8_t { throw std::runtime_error("stopped twice"); });
    EXPECT_EQ(status->Error, 104u);
    EXPECT_STREQ(status->ErrorMsg, "stopped twice");
}

TEST(GuardedExport, StandardAndUnknownThrowsUseTheDefaultCode) {
    auto status = staleStatus();
    guardedExport(status.get(), kConnectFailure, []() -> uint8_t { throw std::invalid_argument("bad uuid"); });
    EXPECT_EQ(status->Error, 110u);
    EXPECT_STREQ(status->ErrorMsg, "bad uuid");

    guardedExport(status.get(), kConnectFailure, []() -> uint8_t { throw 3; });
    EXPECT_EQ(status->Success, 0);
    EXPECT_EQ(status->Error, 110u);
    EXPECT_STREQ(status->ErrorMsg, "Failed to connect the sensor");
}

TEST(GuardedExport, LongExceptionTextIsCut) {
    auto status = staleStatus();
    guardedExport(status.get(), kConnectFailure, []() -> uint8_t { throw std::runtime_error(std::string(600, 'e')); });
    EXPECT_EQ(std::strlen(status->ErrorMsg), 511u);
}

TEST(GuardedExport, PassesTheBodysResultAndFailsToItsZeroValue) {
    int handle = 0;
    auto status = staleStatus();
    int* made = guardedExport(status.get(), kConnectFailure, [&] {
        statusOk(nullptr, status.get(), 1);
        return &handle;
    });
    EXPECT_EQ(made, &handle);
    EXPECT_EQ(status->Success, 1);

    int* failed = guardedExport(nullptr, kConnectFailure, []() -> int* { throw std::runtime_error("no"); });
    EXPECT_EQ(failed, nullptr);
}

TEST(QuietExport, AnyThrowGivesZeroAndTouchesNoStatus) {
    EXPECT_EQ(quietExport([] { return 7; }), 7);
    EXPECT_EQ(quietExport([]() -> int { throw rt_exception(std::string("x"), 9); }), 0);
    EXPECT_EQ(quietExport([]() -> uint8_t { throw 1; }), 0);
}
