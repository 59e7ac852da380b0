#include "commands/option_reader.h"

#include <cstdlib>

#include "commands/command_line.h"

namespace lumo::host {

CLI::App* addCommand(CLI::App& root, const std::string& name) {
    CLI::App* command = root.add_subcommand(name);
    command->set_help_flag();
    command->allow_extras();
    return command;
}

CLI::Validator wholeNumber(int64_t low, int64_t high) {
    const std::string range = high == std::numeric_limits<int64_t>::max()
                                  ? "of at least " + std::to_string(low)
                                  : "from " + std::to_string(low) + " to " + std::to_string(high);
    return CLI::Validator(
        [low, high, range](const std::string& text) -> std::string {
            char* end = nullptr;
            errno = 0;
            const long long value = std::strtoll(text.c_str(), &end, 10);
            if (text.empty() || *end != '\0' || errno == ERANGE || value < low || value > high)
                return "takes a whole number " + range;
            return {};
        },
        "whole number " + range);
}

CLI::Validator number(double low, double high) {
    const std::string range =
        "from " + std::to_string(int64_t(low)) + " to " + std::to_string(int64_t(high));
    return CLI::Validator(
        [low, high, range](const std::string& text) -> std::string {
            char* end = nullptr;
            const double value = std::strtod(text.c_str(), &end);
            if (text.empty() || *end != '\0' || !(value >= low && value <= high))
                return "takes a number " + range;
            return {};
        },
        "number " + range);
}

void refuseExtras(const CLI::App& command) {
    for (const std::string& word : command.remaining()) {
        throw UsageError(word.size() > 1 && word[0] == '-' ? "unknown option " + word
                                                           : command.get_name() + " takes no file");
    }
}

std::string usageMessage(const CLI::ParseError& error) {
    const std::string text = error.what();
    const size_t colon = text.find(": ");
    const std::string option = colon == std::string::npos ? text : text.substr(0, colon);
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&error) && colon != std::string::npos &&
        text.find("missing") != std::string::npos)
        return option + " needs a value";
    if (dynamic_cast<const CLI::ValidationError*>(&error) && colon != std::string::npos)
        return option + " " + text.substr(colon + 2);
    return text;
}

int reportUsageError(std::ostream& err, const std::string& message) {
    err << "lumo-host: " << message << " (see lumo-host --help)" << std::endl;
    return kExitUsage;
}

}  // namespace lumo::host
