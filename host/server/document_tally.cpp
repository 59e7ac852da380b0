#include "server/document_tally.h"

#include <algorithm>

namespace lumo::host {

void DocumentTally::reserve(size_t documents) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_documents.reserve(documents);
}

size_t DocumentTally::pushed(int64_t timestampUs, Clock::time_point at) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_documents.empty() && timestampUs <= m_documents.back().timestampUs)
        m_ascending = false;
    m_documents.push_back({timestampUs, at, {}, false});
    return m_documents.size() - 1;
}

size_t DocumentTally::byTimestamp(int64_t timestampUs) const {
    if (m_ascending) {
        const auto it = std::lower_bound(
            m_documents.begin(), m_documents.end(), timestampUs,
            [](const Document& document, int64_t t) { return document.timestampUs < t; });
        return it != m_documents.end() && it->timestampUs == timestampUs
                   ? static_cast<size_t>(it - m_documents.begin())
                   : kNone;
    }
    // Repeated or shuffled times: the latest document with the time.
    for (size_t i = m_documents.size(); i-- > 0;) {
        if (m_documents[i].timestampUs == timestampUs)
            return i;
    }
    return kNone;
}

size_t DocumentTally::attribute(PacketKind kind, int64_t timestampUs, Clock::time_point arrivedAt) {
    std::lock_guard<std::mutex> lock(m_mutex);
    // The agent takes documents in order, so an earlier time than the current document's is a
    // best shot's first sighting, not its document.
    size_t document = kind == PacketKind::bestShot ? kNone : byTimestamp(timestampUs);
    if (document != kNone && m_current != kNone && document < m_current)
        document = kNone;
    if (document == kNone && kind != PacketKind::object) {
        document = m_current;
    } else if (document == kNone) {
        const size_t pushed = m_documents.size();
        if (m_current == kNone) {
            document = pushed > 0 ? 0 : kNone;
        } else {
            size_t next = m_current + 1;
            while (next + 1 < pushed &&
                   m_documents[next].pushedAt < m_documents[m_current].lastArrival)
                ++next;
            document = next < pushed ? next : m_current;
        }
    }
    if (document == kNone)
        return kNone;
    m_current = document;
    Document& attributed = m_documents[document];
    attributed.processed = true;
    attributed.lastArrival = std::max(attributed.lastArrival, arrivedAt);
    return document;
}

size_t DocumentTally::size() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_documents.size();
}

DocumentTally::Document DocumentTally::document(size_t index) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_documents.at(index);
}

std::vector<DocumentTally::Fate> DocumentTally::fates() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<Fate> fates;
    fates.reserve(m_documents.size());
    const Document* inWork = nullptr;
    for (const Document& document : m_documents) {
        if (document.processed) {
            inWork = &document;
            fates.push_back(Fate::processed);
        } else if (inWork && document.pushedAt <= inWork->lastArrival + kBusyGrace) {
            fates.push_back(Fate::droppedWhileBusy);
        } else {
            fates.push_back(Fate::lost);
        }
    }
    return fates;
}

}  // namespace lumo::host
