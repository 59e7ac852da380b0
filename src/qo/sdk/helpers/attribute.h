// Attribute: the library's IAttribute, a typed name-value pair with a confidence.
//
// Threading: filled by one thread before it is handed over, read-only afterwards.
#pragma once

#include <string>

#include "qo/sdk/i_attribute.h"
#include "qo/sdk/ref_countable.h"

namespace qo::sdk {

class Attribute : public RefCountable<IAttribute> {
public:
    Attribute(Type type, std::string name, std::string value, float confidence = 1.0F)
        : m_type(type),
          m_name(std::move(name)),
          m_value(std::move(value)),
          m_confidence(confidence) {}

    Attribute(std::string name, std::string value, float confidence = 1.0F)
        : Attribute(Type::undefined, std::move(name), std::move(value), confidence) {}

    /** A copy of any IAttribute, read through its interface. */
    explicit Attribute(const IAttribute* other)
        : Attribute(other->type(), other->name(), other->value(), other->confidence()) {}

    Type type() const override { return m_type; }
    const char* name() const override { return m_name.c_str(); }
    const char* value() const override { return m_value.c_str(); }
    float confidence() const override { return m_confidence; }

private:
    Type m_type;
    std::string m_name;
    std::string m_value;
    float m_confidence;
};

}  // namespace qo::sdk
