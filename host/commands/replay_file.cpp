#include "commands/replay_file.h"

#include <sys/stat.h>

#include <rapidxml/rapidxml.hpp>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

namespace lumo::host {

namespace {

constexpr const char* kWhatToDo = ": give ONVIF metadata documents, one XML file each";

/** Why the text is not well-formed XML, with the byte where the parser stopped; empty if it is. */
std::string xmlFault(const std::string& text) {
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    rapidxml::xml_document<char> document;
    try {
        document.parse<rapidxml::parse_non_destructive>(buffer.data());
    } catch (const rapidxml::parse_error& e) {
        return std::string(e.what()) + " at byte " +
               std::to_string(e.where<char>() - buffer.data());
    }
    return "";
}

}  // namespace

std::string readReplayFile(const std::string& path, std::string* outContents) {
    const auto unreadable = [&path](int error) {
        return "cannot read " + path + ": " + std::strerror(error) + kWhatToDo;
    };
    struct stat status {};
    if (stat(path.c_str(), &status) != 0)
        return unreadable(errno);
    // A directory opens like a file and then reads as empty.
    if (S_ISDIR(status.st_mode))
        return unreadable(EISDIR);
    errno = 0;
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return unreadable(errno ? errno : EIO);
    std::ostringstream contents;
    contents << file.rdbuf();
    if (file.bad())
        return unreadable(errno ? errno : EIO);

    std::string text = contents.str();
    if (text.empty())
        return path + " is empty" + kWhatToDo;
    if (text.find('\0') != std::string::npos)
        return path + " holds binary data, not a metadata document" + kWhatToDo;
    const size_t start = text.find_first_not_of(" \t\r\n\xEF\xBB\xBF");
    if (start != std::string::npos && text[start] == '<') {
        if (const std::string fault = xmlFault(text); !fault.empty())
            return path + " is not well-formed XML (" + fault + ")" + kWhatToDo;
    }
    *outContents = std::move(text);
    return "";
}

}  // namespace lumo::host
