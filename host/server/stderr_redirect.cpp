#include "server/stderr_redirect.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

namespace lumo::host {

StderrRedirect::StderrRedirect(int target) {
    if (target < 0)
        return;
    std::fflush(stderr);
    m_saved = fcntl(2, F_DUPFD_CLOEXEC, 3);
    dup2(target, 2);
    close(target);
}

StderrRedirect::~StderrRedirect() {
    if (m_saved < 0)
        return;
    std::fflush(stderr);
    dup2(m_saved, 2);
    close(m_saved);
}

}  // namespace lumo::host
