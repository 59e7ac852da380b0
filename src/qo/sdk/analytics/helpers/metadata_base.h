// MetadataBase<Interface>: the IMetadata part shared by EventMetadata and ObjectMetadata: the type,
// the confidence and the attributes in the order added. Interface is the metadata interface the
// derived class implements; the derived class adds the operations of its own interface levels.
//
// Threading: filled by one thread before it is handed over, read-only afterwards; only the
// reference count may change from several threads.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "qo/kit/debug.h"
#include "qo/sdk/analytics/i_metadata.h"
#include "qo/sdk/helpers/attribute.h"
#include "qo/sdk/ptr.h"
#include "qo/sdk/ref_countable.h"

namespace qo::sdk::analytics {

template <class Interface>
class MetadataBase : public RefCountable<Interface> {
public:
    const char* typeId() const override { return m_typeId.c_str(); }
    float confidence() const override { return m_confidence; }

    /** One reference for the caller, or null when out of range. */
    const IAttribute* getAttribute(int32_t index) const override {
        if (index < 0 || index >= attributeCount())
            return nullptr;
        return shareToPtr(m_attributes[static_cast<size_t>(index)].get()).releasePtr();
    }

    int32_t attributeCount() const override { return static_cast<int32_t>(m_attributes.size()); }

    void setTypeId(std::string typeId) { m_typeId = std::move(typeId); }
    void setConfidence(float confidence) { m_confidence = confidence; }

    /** A null attribute is reported and ignored. */
    void addAttribute(Ptr<Attribute> attribute) {
        QO_ASSERT(attribute, "");
        if (attribute)
            m_attributes.push_back(std::move(attribute));
    }

    void addAttributes(const std::vector<Ptr<Attribute>>& attributes) {
        for (const Ptr<Attribute>& attribute : attributes)
            addAttribute(attribute);
    }

    void addAttributes(std::vector<Ptr<Attribute>>&& attributes) {
        for (Ptr<Attribute>& attribute : attributes)
            addAttribute(std::move(attribute));
        attributes.clear();
    }

protected:
    MetadataBase() = default;

private:
    std::string m_typeId;
    float m_confidence = 1.0F;
    std::vector<Ptr<Attribute>> m_attributes;
};

}  // namespace qo::sdk::analytics
