#include "lumo/utils.h"

#include "lumo/constants.h"

namespace qo::vms_server_plugins::analytics::lumo {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isUnreserved(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || isDigit(c) || c == '-' || c == '.' ||
           c == '_' || c == '~';
}

// Length of the run of digits starting at pos.
size_t digitRun(const std::string& text, size_t pos) {
    size_t end = pos;
    while (end < text.size() && isDigit(text[end]))
        ++end;
    return end - pos;
}

}  // namespace

std::string urlEncode(const std::string& text) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string result;
    result.reserve(text.size() * 3);
    for (const char c : text) {
        if (isUnreserved(c)) {
            result += c;
            continue;
        }
        const auto byte = static_cast<unsigned char>(c);
        result += '%';
        result += kHex[byte >> 4];
        result += kHex[byte & 0x0F];
    }
    return result;
}

std::string writeQuery(const std::string& name, const std::string& value) {
    return kWriteQuery + urlEncode(name) + "=" + urlEncode(value) + "&";
}

std::string readQuery(const std::string& name) {
    return kReadQuery + urlEncode(name) + "=&";
}

std::string getValueAfterEqualSign(const std::string& reply) {
    // Hand-written rather than a regular expression: std::regex recurses per character and a
    // long reply would exhaust the stack.
    const size_t equal = reply.find('=');
    if (equal == std::string::npos)
        return "0";
    const size_t begin = equal + 1;
    const size_t end = reply.find_first_of("\r\n", begin);
    return reply.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
}

std::string extractIpAddress(const std::string& url) {
    // Leftmost match of (\d{1,3}\.){3}\d{1,3}: a group fits only when its whole digit run is at
    // most three long and a dot follows, so no backtracking is needed.
    for (size_t start = 0; start < url.size(); ++start) {
        if (!isDigit(url[start]))
            continue;
        size_t pos = start;
        bool matched = true;
        for (int group = 0; group < 3 && matched; ++group) {
            const size_t run = digitRun(url, pos);
            matched = run >= 1 && run <= 3 && pos + run < url.size() && url[pos + run] == '.';
            pos += run + 1;
        }
        if (!matched)
            continue;
        const size_t run = digitRun(url, pos);
        if (run == 0)
            continue;
        return url.substr(start, pos + (run > 3 ? 3 : run) - start);
    }
    return "";
}

std::string decrementLastDigit(const std::string& name) {
    if (name.empty() || !isDigit(name.back()))
        return name;
    std::string result = name;
    result.back() = result.back() == '0' ? '9' : static_cast<char>(result.back() - 1);
    return result;
}

std::string extractLastDigit(const std::string& text) {
    for (auto it = text.rbegin(); it != text.rend(); ++it) {
        if (isDigit(*it))
            return std::string(1, *it);
    }
    return "";
}

std::string addCurrentStr(const std::string& name) {
    static const std::string kFrom = "POSITION";
    static const std::string kTo = "CURRENT_POSITION";
    std::string result = name;
    size_t pos = 0;
    while ((pos = result.find(kFrom, pos)) != std::string::npos) {
        result.replace(pos, kFrom.size(), kTo);
        pos += kTo.size();
    }
    return result;
}

}  // namespace qo::vms_server_plugins::analytics::lumo
