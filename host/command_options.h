// What every lumo-host command's option parsing shares: the usage error, numbers read whole, and
// the one line a usage error prints.
//
// Threading: free functions without shared state.
#pragma once

#include <cstdint>
#include <limits>
#include <ostream>
#include <stdexcept>
#include <string>

namespace lumo::host {

/** A command line the command cannot run; what() says what is wrong with it. */
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/** `text` as a whole number within [low, high], or a UsageError naming `option`. */
int64_t wholeNumber(const std::string& option, const std::string& text, int64_t low,
                    int64_t high = std::numeric_limits<int64_t>::max());

/** `text` as a number within [low, high], or a UsageError naming `option`. */
double number(const std::string& option, const std::string& text, double low, double high);

/** Prints the usage error's line. @return The exit status of a usage error. */
int reportUsageError(std::ostream& err, const UsageError& error);

}  // namespace lumo::host
