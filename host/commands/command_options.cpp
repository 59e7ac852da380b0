#include "commands/command_options.h"

namespace lumo::host {

int64_t wholeNumber(const std::string& option, const std::string& text, int64_t low, int64_t high) {
    size_t used = 0;
    int64_t value = 0;
    try {
        value = std::stoll(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used == 0 || used != text.size() || value < low || value > high) {
        throw UsageError(option + " takes a whole number " +
                         (high == std::numeric_limits<int64_t>::max()
                              ? "of at least " + std::to_string(low)
                              : "from " + std::to_string(low) + " to " + std::to_string(high)));
    }
    return value;
}

double number(const std::string& option, const std::string& text, double low, double high) {
    size_t used = 0;
    double value = 0;
    try {
        value = std::stod(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used == 0 || used != text.size() || !(value >= low && value <= high)) {
        throw UsageError(option + " takes a number from " + std::to_string(int64_t(low)) + " to " +
                         std::to_string(int64_t(high)));
    }
    return value;
}

bool readOptions(
    const std::string& command, const std::vector<std::string>& args,
    const std::map<std::string, bool*>& flags, const std::set<std::string>& valued,
    const std::function<void(const std::string& option, const std::string& value)>& take) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h")
            return true;
        if (const auto flag = flags.find(arg); flag != flags.end()) {
            *flag->second = true;
            continue;
        }
        if (!valued.count(arg)) {
            throw UsageError(arg.empty() || arg[0] != '-' ? command + " takes no file"
                                                          : "unknown option " + arg);
        }
        if (i + 1 >= args.size())
            throw UsageError(arg + " needs a value");
        take(arg, args[++i]);
    }
    return false;
}

int reportUsageError(std::ostream& err, const UsageError& error) {
    err << "lumo-host: " << error.what() << " (see lumo-host --help)" << std::endl;
    return kExitUsage;
}

}  // namespace lumo::host
