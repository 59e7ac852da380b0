// CapturedOutput: redirects the kit's diagnostic stream into a string for the lifetime of the
// object and restores the previous stream afterwards, so tests can check report lines exactly.
// Text still unflushed when it goes fails the test: every report must reach the host at once.
//
// Threading: install and read on the test's thread; writers on other threads must have finished.
#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <regex>
#include <sstream>
#include <string>

#include "qo/kit/debug.h"

namespace qo::sdk::test {

class CapturedOutput {
public:
    CapturedOutput() : m_previous(kit::debug::stream()) { kit::debug::stream() = &m_stream; }

    ~CapturedOutput() {
        kit::debug::stream() = m_previous;
        EXPECT_EQ(m_buffer.unflushedText(), "") << "written without a flush";
    }

    CapturedOutput(const CapturedOutput&) = delete;
    CapturedOutput& operator=(const CapturedOutput&) = delete;

    std::string text() const { return m_buffer.str(); }

    /** The text with source line numbers of assertion reports replaced by "N". */
    std::string textWithoutLineNumbers() const {
        static const std::regex lineNumber(R"((ASSERTION FAILED: [^ :]+):[0-9]+ \()");
        return std::regex_replace(text(), lineNumber, "$1:N (");
    }

    void clear() {
        m_buffer.str("");
        m_buffer.pubsync();
    }

private:
    class Buffer : public std::stringbuf {
    public:
        std::string unflushedText() const { return str().substr(m_flushedSize); }

    protected:
        int sync() override {
            m_flushedSize = str().size();
            return 0;
        }

    private:
        size_t m_flushedSize = 0;
    };

    std::ostream* m_previous;
    Buffer m_buffer;
    std::ostream m_stream{&m_buffer};
};

}  // namespace qo::sdk::test
