#include "qo/kit/debug.h"

#include <iostream>
#include <map>
#include <mutex>

namespace qo::kit::debug {

OutputSlot& OutputSlot::operator=(std::ostream* stream) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stream = stream;
    return *this;
}

OutputSlot::operator std::ostream*() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_stream;
}

void OutputSlot::write(const std::string& text) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_stream)
        return;
    *m_stream << text;
    m_stream->flush();
}

OutputSlot& stream() {
    // Never destroyed: detached threads may still log while the process exits.
    static OutputSlot* const slot = new OutputSlot(&std::cerr);
    return *slot;
}

std::string srcFileBaseNameWithoutExt(const std::string& path) {
    const size_t slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string srcFileRelativePath(const std::string& path) {
    static const std::string marker = "/src/";
    const size_t pos = path.find(marker + "qo/");
    if (pos != std::string::npos)
        return path.substr(pos + marker.size());

    static const std::string ownPath = __FILE__;
    size_t i = 0;
    while (i < path.size() && i < ownPath.size() && path[i] == ownPath[i])
        ++i;
    return path.substr(i);
}

void intentionallyCrash(const char* /*message*/) {
    volatile int* nullAddress = nullptr;
    *nullAddress = 0;
    __builtin_trap();
}

namespace detail {

std::string printPrefix(const char* file) {
    // Cached because every log line asks for it; the map outlives all static users.
    static std::mutex* const mutex = new std::mutex;
    static auto* const cache = new std::map<std::string, std::string>;
    const std::string path(file);  // A null path throws std::logic_error, as std::string does.
    std::lock_guard<std::mutex> lock(*mutex);
    std::string& prefix = (*cache)[path];
    if (prefix.empty())
        prefix = "[" + srcFileBaseNameWithoutExt(path) + "] ";
    return prefix;
}

void printLine(const std::string& prefix, const std::string& text) {
    std::string line;
    line.reserve(prefix.size() + text.size() + 1);
    line.append(prefix).append(text).push_back('\n');
    stream().write(line);
}

PrintFunc linePrinter(std::string prefix) {
    return [prefix = std::move(prefix)](const char* text) { printLine(prefix, text); };
}

void assertionFailed(const PrintFunc& print, const char* condition, const std::string& message,
                     const char* file, int line) {
    const std::string report = "\n>>> ASSERTION FAILED: " + srcFileRelativePath(file) + ":" +
                               std::to_string(line) + " (" + condition + ") " + message;
    print(report.c_str());
}

}  // namespace detail
}  // namespace qo::kit::debug
