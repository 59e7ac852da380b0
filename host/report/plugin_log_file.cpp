#include "report/plugin_log_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>

namespace lumo::host {

PluginLogFile::PluginLogFile(const std::string& path)
    : m_redirect(open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644)) {
    m_buffer.fd = m_redirect.savedFd();
}

PluginLogFile::~PluginLogFile() {
    m_terminal.flush();
    std::cerr.flush();
}

int PluginLogFile::FdBuffer::overflow(int c) {
    const char byte = static_cast<char>(c);
    return c == EOF || xsputn(&byte, 1) == 1 ? 0 : EOF;
}

std::streamsize PluginLogFile::FdBuffer::xsputn(const char* data, std::streamsize size) {
    for (std::streamsize done = 0; done < size;) {
        const ssize_t written = write(fd, data + done, static_cast<size_t>(size - done));
        if (written <= 0)
            return done;
        done += written;
    }
    return size;
}

}  // namespace lumo::host
