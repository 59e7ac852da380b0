// String: the library's IString, a text handed to the server.
//
// Threading: filled by one thread before it is handed over, read-only afterwards.
#pragma once

#include <cstdint>
#include <string>

#include "qo/sdk/i_string.h"
#include "qo/sdk/ref_countable.h"

namespace qo::sdk {

class String : public RefCountable<IString> {
public:
    String() = default;
    String(std::string s) : m_value(std::move(s)) {}
    /** Null gives the empty text. */
    String(const char* s) : m_value(s ? s : "") {}

    const char* str() const override { return m_value.c_str(); }

    int32_t size() const { return static_cast<int32_t>(m_value.size()); }
    bool empty() const { return m_value.empty(); }

    void setString(std::string s) { m_value = std::move(s); }
    /** Null clears the text. */
    void setString(const char* s) { m_value = s ? s : ""; }

private:
    std::string m_value;
};

}  // namespace qo::sdk
