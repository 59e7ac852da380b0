// Metadata intake: the server's thread copies and parses each document; a worker of the pool
// converts and delivers it. At most one document is in work; documents arriving meanwhile are
// dropped.
#include <cstring>
#include <exception>
#include <memory>
#include <utility>

#include "lumo/device_agent.h"

namespace qo::vms_server_plugins::analytics::lumo {

using namespace qo::sdk;
using namespace qo::sdk::analytics;

bool DeviceAgent::pushCustomMetadataPacket(const ICustomMetadataPacket* customMetadataPacket) {
    if (!customMetadataPacket)
        return true;
    const char* data = customMetadataPacket->data();
    const int32_t size = customMetadataPacket->dataSize();
    // Oversized documents would be refused by the parser anyway; skip the copy too.
    if (!data || size <= 0 || size > Metadata::kMaxDocumentSize)
        return true;

    // The parser writes into the text it parses, and the server's buffer is read-only.
    std::unique_ptr<char[]> text(new char[static_cast<size_t>(size) + 1]);
    std::memcpy(text.get(), data, static_cast<size_t>(size));
    text[static_cast<size_t>(size)] = '\0';

    std::unique_ptr<Metadata::_Payload> payload(Metadata::ConvertToPayload(text.get(), size));
    if (!payload)
        return true;

    // Several server threads may push at once: exactly one of them takes the idle agent.
    bool idle = true;
    if (!ready.compare_exchange_strong(idle, false))
        return true;

    const int64_t timestampUs =
        customMetadataPacket->timestampUs() + static_cast<int64_t>(timestampOffsetUs.load());
    try {
        // The task owns the payload until it runs, so a refused task frees it too. Nobody waits
        // for the document, so it goes without a future.
        threadPool.post([this, owned = std::move(payload), timestampUs]() mutable {
            processMetadata(owned.release(), timestampUs);
        });
    } catch (const std::exception&) {
        // Only a stopping pool (or exhausted memory) refuses work.
        ready = true;
    }
    return true;
}

void DeviceAgent::processMetadata(Metadata::_Payload* payload, int64_t timestampUs) {
    // Whatever happens below, the document is finished with and the agent takes the next one.
    struct Finish {
        DeviceAgent* agent;
        Metadata::_Payload* payload;
        ~Finish() {
            delete payload;
            agent->objectPackets.clear();
            agent->bestShotPackets.clear();
            agent->eventPackets.clear();
            agent->ready = true;
        }
    } finish{this, payload};

    removeOldEventedObj();
    removeOldSmartShotObj();

    // Conversion and delivery run here, one step after the other. Handing each step to another
    // worker cost more in thread wake-ups than the steps themselves, and the base delivers one
    // packet at a time anyway. Objects go first, so a region event takes effect from the next
    // document on. Each conversion runs whatever becomes of the other: what the events do to the
    // agent (a settings refresh, highlighted objects) must not depend on the objects converting.
    bool failed = false;
    const auto convert = [&failed](auto&& step) {
        try {
            step();
        } catch (...) {
            failed = true;
        }
    };
    if (payload->objectCount != 0)
        convert([&] { pushObject(payload, timestampUs); });
    if (payload->eventCount != 0)
        convert([&] { pushEvent(payload, timestampUs); });
    if (failed)
        return;  // The document is dropped; what it had built goes with it.

    delete finish.payload;
    finish.payload = nullptr;
    deliverPackets();
}

void DeviceAgent::deliverPackets() {
    const auto deliver = [this](auto& packets) {
        for (auto& packet : packets)
            pushMetadataPacket(packet.releasePtr());
    };
    deliver(objectPackets);
    deliver(bestShotPackets);
    deliver(eventPackets);
}

}  // namespace qo::vms_server_plugins::analytics::lumo
