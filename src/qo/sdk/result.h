// Result records: how operations called across the boundary report success or failure without
// exceptions. A successful result has errorCode noError and no message; a pointer value and a
// non-null message each carry one reference for the receiver.
#pragma once

#include <cstdint>
#include <string>

namespace qo::sdk {

class IString;

enum class ErrorCode : int32_t {
    noError = 0,
    unauthorized = -1,
    notImplemented = -21,
    networkError = -22,
    otherError = -100,
    internalError = -1000,
    invalidParams = -1001,
};

/** The enumerator's name, or "<unsupported Error>" for a value outside the enumeration. */
std::string toString(ErrorCode errorCode);

struct Error {
    Error(ErrorCode errorCode = ErrorCode::noError, const IString* errorMessage = nullptr)
        : errorCode(errorCode), errorMessage(errorMessage) {}

    bool isOk() const { return errorCode == ErrorCode::noError && errorMessage == nullptr; }

    ErrorCode errorCode;
    const IString* errorMessage;
};

template <typename Value>
struct Result {
    Result() : error(), value() {}
    Result(Value value) : error(), value(value) {}
    Result(Error error) : error(error), value() {}

    bool isOk() const { return error.isOk(); }

    Error error;
    Value value;
};

template <>
struct Result<void> {
    Result() : error() {}
    Result(Error error) : error(error) {}

    bool isOk() const { return error.isOk(); }

    Error error;
};

}  // namespace qo::sdk
