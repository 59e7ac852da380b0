// error(): builds the Error of a failed operation: a code other than noError and a message that
// travels to the server as a new String.
#pragma once

#include <string>

#include "qo/sdk/result.h"

namespace qo::sdk {

/** Reports (and tolerates) a noError code or an empty message. */
Error error(ErrorCode errorCode, std::string errorMessage);

}  // namespace qo::sdk
