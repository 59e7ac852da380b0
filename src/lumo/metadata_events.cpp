// Events of a metadata stream: topic, time and the simple items of each notification message.
#include "lumo/metadata_sections.h"

namespace qo::vms_server_plugins::analytics::lumo::Metadata::tree {

namespace {

// A group read again (a second message) writes over the earlier items index by index: an item
// without a name or value keeps what the earlier message put there. Texts written over are freed.
void readItems(const Node* group, char* (&names)[kMaxEventItems], char* (&values)[kMaxEventItems],
               int32_t& count) {
    int32_t read = 0;
    for (const Node* item = group->first_node(); item && read < kMaxEventItems;
         item = item->next_sibling()) {
        if (!named(item, "tt:SimpleItem"))
            continue;
        if (const Attribute* name = attribute(item, "Name"))
            replaceText(names[read], name->value(), name->value_size());
        if (const Attribute* value = attribute(item, "Value"))
            replaceText(values[read], value->value(), value->value_size());
        count = ++read;
    }
}

void readEvent(_Event& event, const Node* node) {
    const Node* notification = child(node, "wsnt:NotificationMessage");
    if (!notification)
        return;
    for (const Node* part = notification->first_node(); part; part = part->next_sibling()) {
        if (named(part, "wsnt:Topic")) {
            replaceText(event.topic, part->value(), part->value_size());
        } else if (named(part, "wsnt:Message")) {
            const Node* message = child(part, "tt:Message");
            if (!message)
                continue;
            readText(message, "UtcTime", event.utcTime);
            if (const Node* source = child(message, "tt:Source"))
                readItems(source, event.sourceNames, event.sourceValues, event.sourceCount);
            if (const Node* data = child(message, "tt:Data"))
                readItems(data, event.dataNames, event.dataValues, event.dataCount);
        }
    }
}

}  // namespace

void readStream(_Payload& payload, const Node* stream) {
    RecordList<_Event> events(countNamed(stream, "tt:Event"));
    for (const Node* part = stream->first_node(); part; part = part->next_sibling()) {
        if (named(part, "tt:VideoAnalytics")) {
            if (const Node* frame = child(part, "tt:Frame"))
                readFrame(payload, frame);
        } else if (named(part, "tt:Event")) {
            readEvent(events.append(), part);
        }
    }
    events.moveTo(payload.events, payload.eventCount);
}

}  // namespace qo::vms_server_plugins::analytics::lumo::Metadata::tree
