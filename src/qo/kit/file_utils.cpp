#include "qo/kit/file_utils.h"

#include <fstream>
#include <iterator>

#include "qo/kit/string_utils.h"

namespace qo::kit::utils {

namespace {

bool isBlank(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

std::string trimRight(const std::string& s) {
    size_t end = s.size();
    while (end > 0 && isBlank(s[end - 1]))
        --end;
    return s.substr(0, end);
}

std::vector<std::string> readCmdLineArgs() {
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    if (!in.is_open())
        return {};
    const std::string contents{std::istreambuf_iterator<char>(in),
                               std::istreambuf_iterator<char>()};
    if (in.bad())
        return {};

    // Each argument is terminated by a zero byte; a process that rewrote its arguments may leave
    // the last one unterminated.
    std::vector<std::string> args;
    size_t begin = 0;
    while (begin < contents.size()) {
        size_t end = contents.find('\0', begin);
        if (end == std::string::npos)
            end = contents.size();
        args.push_back(contents.substr(begin, end - begin));
        begin = end + 1;
    }
    return args;
}

}  // namespace

bool fileExists(const char* path) {
    if (!path)
        return false;
    return std::ifstream(path).is_open();
}

std::string baseName(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string absolutePath(const std::string& originDir, const std::string& path) {
    if (originDir.empty() || stringStartsWith(path, "/"))
        return path;
    if (stringEndsWith(originDir, "/"))
        return originDir + path;
    return originDir + "/" + path;
}

const std::vector<std::string>& getProcessCmdLineArgs() {
    // Never destroyed: callers may still ask while other static objects are torn down.
    static const auto* const args = new std::vector<std::string>(readCmdLineArgs());
    return *args;
}

std::string getProcessName() {
    const std::vector<std::string>& args = getProcessCmdLineArgs();
    return args.empty() ? std::string() : baseName(args.front());
}

bool parseNameValueFile(const std::string& nameValueFilePath,
                        std::map<std::string, std::string>* map, const std::string& errorPrefix,
                        std::ostream* errorStream, bool* outFileIsEmpty) {
    if (!map)
        return false;
    std::ifstream in(nameValueFilePath);
    if (!in.is_open())
        return false;

    bool ok = true;
    int lineNumber = 0;
    const auto reportError = [&](const std::string& message) {
        ok = false;
        if (!errorStream)
            return;
        *errorStream << errorPrefix + "ERROR: " + message + " Line " + std::to_string(lineNumber) +
                            ", file " + nameValueFilePath + "\n";
        errorStream->flush();
    };

    std::string line;
    while (std::getline(in, line)) {
        ++lineNumber;
        size_t start = 0;
        while (start < line.size() && (isBlank(line[start]) || line[start] == 127))
            ++start;
        if (start == line.size() || line[start] == '#')
            continue;

        const size_t equals = line.find('=', start);
        if (equals == std::string::npos) {
            reportError("Missing \"=\" after the name " + trimRight(line.substr(start)) + ".");
            continue;
        }
        std::string name = trimRight(line.substr(start, equals - start));
        if (name.empty()) {
            reportError("The name part (before \"=\") is empty.");
            continue;
        }
        (*map)[std::move(name)] = trimString(line.substr(equals + 1));
    }
    // A path that opens but cannot be read (a directory) is a failure, not an empty file.
    if (in.bad())
        return false;

    if (outFileIsEmpty)
        *outFileIsEmpty = lineNumber == 0;
    return ok;
}

}  // namespace qo::kit::utils
