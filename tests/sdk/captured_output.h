// CapturedOutput: redirects the kit's diagnostic stream into a string while it lives, so tests can
// check report lines exactly. Text still unflushed when it goes fails the test: every report must
// reach the host at once.
//
// Threading: install and read on the test's thread; writers on other threads must have finished.
#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "qo/kit/debug.h"

namespace qo::sdk::test {

class CapturedOutput : private std::stringbuf {
public:
    CapturedOutput() { kit::debug::stream() = &m_stream; }
    ~CapturedOutput() override {
        kit::debug::stream() = m_previous;
        EXPECT_EQ(str().substr(m_flushedSize), "") << "written without a flush";
    }

    std::string text() const { return str(); }
    std::vector<std::string> lines() const {
        std::vector<std::string> result;
        std::istringstream in(str());
        for (std::string line; std::getline(in, line);)
            result.push_back(line);
        return result;
    }
    void clear() {
        str("");
        m_flushedSize = 0;
    }

    /** The text with source line numbers of assertion reports replaced by "N". */
    std::string textWithoutLineNumbers() const {
        static const std::regex lineNumber(R"((ASSERTION FAILED: [^ :]+):[0-9]+ \()");
        return std::regex_replace(text(), lineNumber, "$1:N (");
    }

private:
    int sync() override {
        m_flushedSize = str().size();
        return 0;
    }

    std::ostream* const m_previous = kit::debug::stream();
    size_t m_flushedSize = 0;
    std::ostream m_stream{this};
};

}  // namespace qo::sdk::test
