// PluginLogFile: the plugin's log, written to file descriptor 2, sent into a file while a run
// lasts, so that it does not drown lumo-host's own lines, which go where stderr went before
// (terminal()).
//
// Threading: made and destroyed on one thread while no other thread writes to stderr; terminal()
// is used from that thread only.
#pragma once

#include <ostream>
#include <streambuf>
#include <string>

#include "server/stderr_redirect.h"

namespace lumo::host {

class PluginLogFile {
public:
    explicit PluginLogFile(const std::string& path);
    ~PluginLogFile();
    PluginLogFile(const PluginLogFile&) = delete;
    PluginLogFile& operator=(const PluginLogFile&) = delete;

    bool active() const { return m_redirect.active(); }
    int terminalFd() const { return active() ? m_redirect.savedFd() : 2; }
    std::ostream& terminal() { return m_terminal; }

private:
    struct FdBuffer : std::streambuf {
        int fd = -1;
        int overflow(int c) override;
        std::streamsize xsputn(const char* data, std::streamsize size) override;
    };

    StderrRedirect m_redirect;  // Destroyed last: gives file descriptor 2 back after the rest.
    FdBuffer m_buffer;
    std::ostream m_terminal{&m_buffer};
};

}  // namespace lumo::host
