#include "qo/sdk/helpers/error.h"

#include "qo/kit/debug.h"
#include "qo/sdk/helpers/string.h"

namespace qo::sdk {

std::string toString(ErrorCode errorCode) {
    switch (errorCode) {
        case ErrorCode::noError:
            return "noError";
        case ErrorCode::unauthorized:
            return "unauthorized";
        case ErrorCode::notImplemented:
            return "notImplemented";
        case ErrorCode::networkError:
            return "networkError";
        case ErrorCode::otherError:
            return "otherError";
        case ErrorCode::internalError:
            return "internalError";
        case ErrorCode::invalidParams:
            return "invalidParams";
    }
    return "<unsupported Error>";
}

Error error(ErrorCode errorCode, std::string errorMessage) {
    const auto print = kit::debug::detail::linePrinter("qo::sdk::error(): ");
    QO_ASSERT_PRINT(print, errorCode != ErrorCode::noError,
                    "Error code must differ from `ErrorCode::noError`");
    QO_ASSERT_PRINT(print, !errorMessage.empty(), "Error message must not be empty");
    return Error(errorCode, new String(std::move(errorMessage)));
}

}  // namespace qo::sdk
