// What every lumo-host command's option parsing shares: the way from arguments to exit status
// (parse, usage error, help, run), the reading of flags and options with one value, the usage
// error, numbers read whole, and the one line a usage error prints.
//
// Threading: free functions without shared state.
#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <ostream>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "commands/command_line.h"

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

/**
 * Reads the options of `command`, which takes no file: each of `flags` sets its bool, each of
 * `valued` hands the argument after it to `take`, in order; anything else is a UsageError.
 * --help and -h end the reading. @return Whether help was asked for.
 */
bool readOptions(
    const std::string& command, const std::vector<std::string>& args,
    const std::map<std::string, bool*>& flags, const std::set<std::string>& valued,
    const std::function<void(const std::string& option, const std::string& value)>& take);

/**
 * Runs a command: `parse(args)` gives its options or throws a UsageError, which is reported;
 * options whose `help` is set print the help text; any others go to `run`.
 * @return The exit status.
 */
template <typename Parse, typename Run>
int runCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
               Parse&& parse, Run&& run) {
    decltype(parse(args)) options;
    try {
        options = parse(args);
    } catch (const UsageError& e) {
        return reportUsageError(err, e);
    }
    if (options.help) {
        out << helpText();
        return kExitOk;
    }
    return run(std::move(options));
}

}  // namespace lumo::host
