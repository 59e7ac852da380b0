#include <gtest/gtest.h>

#include <climits>

#include "qo/sdk/helpers/error.h"
#include "qo/sdk/helpers/string.h"
#include "qo/sdk/i_string.h"
#include "qo/sdk/result.h"
#include "sdk/captured_output.h"
#include "sdk/live_objects.h"

namespace qo::sdk::test {
namespace {

class ErrorTest : public ObjectCountingTest {
protected:
    /** Takes over the message reference that every Error carries. */
    static std::string messageOf(const Error& error) {
        if (!error.errorMessage)
            return "<null>";
        const std::string text = error.errorMessage->str();
        error.errorMessage->releaseRef();
        return text;
    }

    CapturedOutput output;
};

TEST_F(ErrorTest, CarriesCodeAndMessageWithOneReferenceForTheReceiver) {
    const Error error = qo::sdk::error(ErrorCode::networkError, "camera unreachable");
    EXPECT_EQ(error.errorCode, ErrorCode::networkError);
    EXPECT_FALSE(error.isOk());
    EXPECT_EQ(messageOf(error), "camera unreachable");
    EXPECT_EQ(output.text(), "");
}

TEST_F(ErrorTest, NoErrorWithEmptyMessageReportsBothChecksAndStillAnswers) {
    const Error error = qo::sdk::error(ErrorCode::noError, "");
    EXPECT_EQ(error.errorCode, ErrorCode::noError);
    EXPECT_EQ(messageOf(error), "");
    EXPECT_EQ(output.textWithoutLineNumbers(),
              "qo::sdk::error(): \n>>> ASSERTION FAILED: qo/sdk/helpers/error.cpp:N "
              "(errorCode != ErrorCode::noError) Error code must differ from `ErrorCode::noError`\n"
              "qo::sdk::error(): \n>>> ASSERTION FAILED: qo/sdk/helpers/error.cpp:N "
              "(!errorMessage.empty()) Error message must not be empty\n");
}

TEST_F(ErrorTest, CodeOutsideTheEnumerationIsPassedOn) {
    const Error error = qo::sdk::error(static_cast<ErrorCode>(-5), "odd");
    EXPECT_EQ(static_cast<int32_t>(error.errorCode), -5);
    EXPECT_EQ(messageOf(error), "odd");
}

class ResultTest : public ObjectCountingTest {};

TEST_F(ResultTest, SuccessNeedsBothNoErrorAndNoMessage) {
    EXPECT_TRUE(Result<int>(5).isOk());
    EXPECT_EQ(Result<int>(5).value, 5);
    EXPECT_TRUE(Result<void>().isOk());
    EXPECT_FALSE(Result<void>(Error(ErrorCode::otherError)).isOk());
    const String message("a message without a code");
    EXPECT_FALSE(Result<void>(Error(ErrorCode::noError, &message)).isOk());
}

TEST_F(ResultTest, FailedResultHoldsADefaultValue) {
    const Result<const IString*> result(Error(ErrorCode::invalidParams));
    EXPECT_EQ(result.value, nullptr);
    EXPECT_EQ(result.error.errorCode, ErrorCode::invalidParams);
}

TEST_F(ResultTest, ErrorCodeNames) {
    EXPECT_EQ(toString(ErrorCode::noError), "noError");
    EXPECT_EQ(toString(ErrorCode::unauthorized), "unauthorized");
    EXPECT_EQ(toString(ErrorCode::notImplemented), "notImplemented");
    EXPECT_EQ(toString(ErrorCode::networkError), "networkError");
    EXPECT_EQ(toString(ErrorCode::otherError), "otherError");
    EXPECT_EQ(toString(ErrorCode::internalError), "internalError");
    EXPECT_EQ(toString(ErrorCode::invalidParams), "invalidParams");
}

TEST_F(ResultTest, CodesOutsideTheEnumerationAreUnsupported) {
    for (const int32_t code : {-5, 1, -2, -1002, INT_MIN, INT_MAX})
        EXPECT_EQ(toString(static_cast<ErrorCode>(code)), "<unsupported Error>") << code;
}

}  // namespace
}  // namespace qo::sdk::test
