// EventMetadata: the library's IEventMetadata, one event reported to the server: its type,
// caption, description, whether it is an ongoing (active) event, its track and attributes in the
// order added.
//
// Threading: filled by one thread before it is handed over, read-only afterwards; only the
// reference count may change from several threads.
#pragma once

#include <string>

#include "qo/sdk/analytics/helpers/metadata_base.h"
#include "qo/sdk/analytics/i_event_metadata.h"

namespace qo::sdk::analytics {

class EventMetadata : public MetadataBase<IEventMetadata> {
public:
    EventMetadata() = default;

    const char* caption() const override;
    const char* description() const override;
    bool isActive() const override;
    /** A null out-parameter is reported and nothing is written. */
    void getTrackId(Uuid* outValue) const override;
    const char* key() const override;

    void setCaption(std::string caption);
    void setDescription(std::string description);
    void setIsActive(bool isActive);
    void setTrackId(const Uuid& trackId);
    void setKey(std::string key);

private:
    std::string m_caption;
    std::string m_description;
    bool m_isActive = false;
    Uuid m_trackId;
    std::string m_key;
};

}  // namespace qo::sdk::analytics
