// The lumo-host command line: the dispatcher that reads the arguments with the option reader,
// answers help with one text for every command, and runs the command named. Kept out of main() so
// that tests run the commands exactly as the executable does.
//
// Threading: runLumoHost() is called from one thread; it starts none of its own (the plugin does).
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace lumo::host {

/** Exit statuses of lumo-host. */
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

/** The --help text. */
const char* helpText();

/**
 * Runs one command. `args` are the arguments after the program name. Results go to `out`,
 * one-line error messages to `err`. @return The exit status.
 */
int runLumoHost(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace lumo::host
