// The option reader every lumo-host command shares: CLI11 subcommands, with the numbers typed and
// range-checked, and its errors turned into the one line a usage error prints. A command adds its
// subcommand and options to the root; the dispatcher parses and runs the one named.
//
// Threading: free functions without shared state.
#pragma once

#include <cstdint>
#include <limits>
#include <ostream>
#include <stdexcept>
#include <string>

#include <CLI/CLI.hpp>

namespace lumo::host {

/** A command line the command cannot run; what() says what is wrong with it. */
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/** A subcommand of `root` that leaves help to the dispatcher and unknown words to check. */
CLI::App* addCommand(CLI::App& root, const std::string& name);

/** Whole numbers within [low, high]. */
CLI::Validator wholeNumber(int64_t low, int64_t high = std::numeric_limits<int64_t>::max());
/** Numbers within [low, high]. */
CLI::Validator number(double low, double high);

/** Adds an option with one value; given again, the last one counts. */
template <typename T>
CLI::Option* addValue(CLI::App* command, const std::string& name, T& value) {
    return command->add_option(name, value)->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
}

/**
 * Throws a UsageError for the words `command` did not know: an unknown option, or a file where
 * the command takes none.
 */
void refuseExtras(const CLI::App& command);

/** The line a CLI11 parse error prints, in lumo-host's words. */
std::string usageMessage(const CLI::ParseError& error);

/** Prints the usage error's line. @return The exit status of a usage error. */
int reportUsageError(std::ostream& err, const std::string& message);

}  // namespace lumo::host
