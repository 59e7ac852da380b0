// DocumentTally: which pushed document each delivered packet belongs to, and of the documents
// that brought nothing back, which were dropped because the agent was still busy with the one
// before. The agent does not say; the tally reads it from times.
//
// Event packets and most object packets carry their document's time. An object packet whose last
// item is a best shot carries the best shot's time instead; it opens the first document pushed
// after the agent's last delivery for the document before (the ones pushed in between found the
// agent busy). Best-shot packets follow the object packet of their document. The agent takes
// documents in order, so no packet belongs to a document before the one whose packets arrive.
//
// Threading: every member function is safe to call concurrently (one pushing thread and one
// taking thread per camera is the usual case); all state is guarded by m_mutex.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "report/packet_record.h"

namespace lumo::host {

class DocumentTally {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr size_t kNone = SIZE_MAX;
    /**
     * The agent takes the next document only after a little clean-up following its last
     * delivery; a document pushed this soon after that delivery still found it busy.
     */
    static constexpr std::chrono::milliseconds kBusyGrace{20};

    enum class Fate { processed, droppedWhileBusy, lost };

    struct Document {
        int64_t timestampUs = 0;
        Clock::time_point pushedAt;
        Clock::time_point lastArrival;  // Of the last packet attributed to it.
        bool processed = false;
    };

    /** Room for this many documents, so that a long run does not grow while it is measured. */
    void reserve(size_t documents);

    /** Records a document pushed at `at`. @return Its index. */
    size_t pushed(int64_t timestampUs, Clock::time_point at);

    /** Attributes a delivered packet. @return The document's index, or kNone. */
    size_t attribute(PacketKind kind, int64_t timestampUs, Clock::time_point arrivedAt);

    size_t size() const;
    Document document(size_t index) const;
    /** Every document's fate, by index. */
    std::vector<Fate> fates() const;

private:
    size_t byTimestamp(int64_t timestampUs) const;

    mutable std::mutex m_mutex;
    std::vector<Document> m_documents;  // Guarded by m_mutex.
    bool m_ascending = true;            // Timestamps so far ascend; guarded by m_mutex.
    size_t m_current = kNone;           // Whose packets are arriving; guarded by m_mutex.
};

}  // namespace lumo::host
