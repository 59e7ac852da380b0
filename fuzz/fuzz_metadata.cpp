// Arbitrary bytes into the metadata parser, as the device agent hands them over: a private copy
// with a NUL after it. Beyond crashes and sanitizer reports, it checks that every payload is well
// formed, and that the depth pre-scan agrees with rapidxml on what rapidxml accepts.
#include <rapidxml.hpp>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "lumo/metadata.h"
#include "lumo/metadata_prescan.h"

namespace {

namespace Metadata = qo::vms_server_plugins::analytics::lumo::Metadata;
using Node = rapidxml::xml_node<char>;

// Deeper than this the cross-check would itself recurse too far on the fuzzer's stack.
constexpr int kCrossCheckDepth = 4096;

void require(bool condition) {
    if (!condition)
        __builtin_trap();
}

template <std::size_t N>
void requireTerminated(const char (&text)[N]) {
    require(strnlen(text, N) < N);
}

void checkItems(char* const* names, char* const* values, int32_t count) {
    require(count >= 0 && count <= Metadata::kMaxEventItems);
    for (int i = count; i < Metadata::kMaxEventItems; ++i)
        require(!names[i] && !values[i]);
}

void checkPayload(const Metadata::_Payload& payload) {
    requireTerminated(payload.utcTime);
    require(payload.objectCount >= 0 && (payload.objectCount == 0) == !payload.objects);
    require(payload.eventCount >= 0 && (payload.eventCount == 0) == !payload.events);
    for (int i = 0; i < payload.objectCount; ++i) {
        const Metadata::_Object& o = *payload.objects[i];
        requireTerminated(o.classType);
        requireTerminated(o.vehicleType);
        requireTerminated(o.captureTime);
        requireTerminated(o.gender);
        requireTerminated(o.bagCategory);
        require(o.reservedFlags == 0);
        if (o.hasVehicleColor)
            Metadata::toColorString(o.vehicleColor);
    }
    for (int i = 0; i < payload.eventCount; ++i) {
        const Metadata::_Event& e = *payload.events[i];
        requireTerminated(e.utcTime);
        checkItems(e.sourceNames, e.sourceValues, e.sourceCount);
        checkItems(e.dataNames, e.dataValues, e.dataCount);
    }
}

int treeDepth(const rapidxml::xml_document<char>& document) {
    int deepest = 0;
    int enclosing = 0;
    const Node* node = document.first_node();
    while (node) {
        if (node->type() == rapidxml::node_element) {
            deepest = std::max(deepest, enclosing + 1);
            if (node->first_node()) {
                node = node->first_node();
                ++enclosing;
                continue;
            }
        }
        while (!node->next_sibling()) {
            node = node->parent();
            --enclosing;
            if (node == &document)
                return deepest;
        }
        node = node->next_sibling();
    }
    return deepest;
}

void crossCheckScan(const std::vector<char>& text) {
    const Metadata::ScanResult scan = Metadata::scanDocument(text.data(), kCrossCheckDepth);
    if (scan.verdict == Metadata::ScanVerdict::tooDeep)
        return;
    std::vector<char> work = text;
    auto document = std::make_unique<rapidxml::xml_document<char>>();
    try {
        document->parse<rapidxml::parse_trim_whitespace | rapidxml::parse_normalize_whitespace>(
            work.data());
    } catch (const rapidxml::parse_error&) {
        return;  // the scan may let pass what fails on an entity; never the other way round
    }
    require(scan.verdict == Metadata::ScanVerdict::acceptable);
    require(scan.depth == treeDepth(*document));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > static_cast<size_t>(Metadata::kMaxDocumentSize))
        return 0;
    std::vector<char> text(data, data + size);
    text.push_back('\0');
    const std::vector<char> original = text;

    std::unique_ptr<Metadata::_Payload> payload(
        Metadata::ConvertToPayload(text.data(), static_cast<int>(size)));
    if (payload)
        checkPayload(*payload);

    crossCheckScan(original);
    return 0;
}
