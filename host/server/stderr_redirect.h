// StderrRedirect: file descriptor 2, where the plugin writes its log, sent into another file while
// the object lives and restored afterwards, so that the plugin's log does not mix with the lines
// lumo-host prints itself.
//
// Threading: changes the whole process; one at a time, made and destroyed on the same thread while
// no other thread writes to the standard error stream.
#pragma once

namespace lumo::host {

class StderrRedirect {
public:
    /** Takes over `target`, an open file descriptor; a negative one redirects nothing. */
    explicit StderrRedirect(int target);
    ~StderrRedirect();
    StderrRedirect(const StderrRedirect&) = delete;
    StderrRedirect& operator=(const StderrRedirect&) = delete;

    bool active() const { return m_saved >= 0; }
    /** Where file descriptor 2 led before; -1 when not active. */
    int savedFd() const { return m_saved; }

private:
    int m_saved = -1;
};

}  // namespace lumo::host
