#include "lumo/metadata.h"

#include <pthread.h>
#include <rapidxml.hpp>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <system_error>
#include <vector>

#include "lumo/metadata_arena.h"
#include "lumo/metadata_prescan.h"
#include "lumo/metadata_sections.h"

namespace qo::vms_server_plugins::analytics::lumo::Metadata {

namespace {

// One named colour of the table, as 8-bit RGB components.
struct _Color {
    std::string name;
    int32_t r;
    int32_t g;
    int32_t b;
};

}  // namespace

// The named colours, in table order; nearest-colour ties go to the earlier entry. Constant after
// static initialisation, so any thread may read it; read it at run time, never from another file's
// static initialiser.
const std::vector<_Color> colors = {
    {"Black", 0, 0, 0},      {"Blue", 0, 0, 255},      {"Brown", 165, 42, 42},
    {"Cyan", 0, 255, 255},   {"Green", 0, 128, 0},     {"Gray", 128, 128, 128},
    {"Orange", 255, 165, 0}, {"Pink", 255, 192, 203},  {"Purple", 128, 0, 128},
    {"Red", 255, 0, 0},      {"White", 255, 255, 255},
};

namespace {

using namespace tree;

// Trim and condense the blanks of element texts.
constexpr int kParseFlags = rapidxml::parse_trim_whitespace | rapidxml::parse_normalize_whitespace;
static_assert(kParseFlags == 3072);

// --- Nesting --------------------------------------------------------------------------------

// Stack rapidxml takes per nesting level, with room to spare: measured 95 to 303 bytes with gcc 12
// and clang 14 from -O0 to -O3, and below 800 with ThreadSanitizer.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr std::size_t kStackPerLevel = 4096;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || \
    __has_feature(memory_sanitizer)
constexpr std::size_t kStackPerLevel = 4096;
#else
constexpr std::size_t kStackPerLevel = 1024;
#endif
#else
constexpr std::size_t kStackPerLevel = 1024;
#endif
// Left untouched for the conversion around the parse and whatever the caller's thread needs.
constexpr std::size_t kStackReserve = 64 * 1024;

// Lowest address of the calling thread's stack, or null where the system does not tell.
const char* stackLowEnd() {
    pthread_attr_t attributes;
    if (pthread_getattr_np(pthread_self(), &attributes) != 0)
        return nullptr;
    void* low = nullptr;
    std::size_t size = 0;
    const bool known = pthread_attr_getstack(&attributes, &low, &size) == 0;
    pthread_attr_destroy(&attributes);
    return known ? static_cast<const char*>(low) : nullptr;
}

// Nesting levels rapidxml may reach from here without exhausting the thread's stack.
int stackLevels() {
    thread_local const char* const low = stackLowEnd();
    const char* const here = static_cast<const char*>(__builtin_frame_address(0));
    if (!low || here <= low + kStackReserve)
        return 0;
    const std::size_t levels =
        static_cast<std::size_t>(here - low - kStackReserve) / kStackPerLevel;
    return static_cast<int>(std::min<std::size_t>(levels, kMaxDocumentSize));
}

// --- Parser memory --------------------------------------------------------------------------

// One document per thread, kept off the stack: its first pool block alone is 64 KiB, and worker
// stacks are small. Its further blocks come from the thread's arena.
Document& threadDocument() {
    thread_local std::unique_ptr<Document> document;
    if (!document) {
        auto created = std::make_unique<Document>();
        created->set_allocator(&arenaAllocate, &arenaRelease);
        document = std::move(created);
    }
    return *document;
}

// Empties the document when the call ends, however it ends, so that no node outlives its text
// and every block goes back to the arena.
class DocumentLease {
public:
    explicit DocumentLease(Document& document) : m_document(document) {}
    ~DocumentLease() { m_document.clear(); }
    DocumentLease(const DocumentLease&) = delete;
    DocumentLease& operator=(const DocumentLease&) = delete;

private:
    Document& m_document;
};

int clampChannel(double value) {
    value = std::trunc(value);
    if (value < 0)
        return 0;
    if (value > 255)
        return 255;
    return static_cast<int>(value);
}

}  // namespace

_Object::~_Object() {
    delete[] imageRef;
}

_Event::~_Event() {
    delete[] topic;
    for (int i = 0; i < kMaxEventItems; ++i) {
        delete[] sourceNames[i];
        delete[] sourceValues[i];
        delete[] dataNames[i];
        delete[] dataValues[i];
    }
}

_Payload::~_Payload() {
    destroyRecords(events, eventCount);
    destroyRecords(objects, objectCount);
}

_Payload* ConvertToPayload(char* text, int size) {
    if (!text || size < 0 || size > kMaxDocumentSize || text[size] != '\0')
        return nullptr;
    try {
        // rapidxml takes a stack frame per nesting level. A text whose every "<" the thread's
        // stack could take as a level is parsed as it is; another is scanned first and refused
        // beyond kMaxNestingDepth levels.
        const int levels = stackLevels();
        if (size > levels && size > kMaxNestingDepth) {
            const int openings = countOpenings(text, size, std::max(levels, kMaxNestingDepth));
            if (openings > levels && openings > kMaxNestingDepth &&
                scanDocument(text).verdict != ScanVerdict::acceptable)
                return nullptr;
        }
        Document& document = threadDocument();
        const DocumentLease lease(document);
        document.parse<kParseFlags>(text);
        const Node* stream = document.first_node("tt:MetaDataStream", 17);
        if (!stream)
            return nullptr;
        auto payload = std::make_unique<_Payload>();
        readStream(*payload, stream);
        return payload.release();
    } catch (...) {
        return nullptr;
    }
}

double calculateEuclideanDistanceSquared(int r1, int g1, int b1, int r2, int g2, int b2) {
    // In double: the same value as a 32-bit sum wherever that does not overflow.
    const double dr = static_cast<double>(r1) - r2;
    const double dg = static_cast<double>(g1) - g2;
    const double db = static_cast<double>(b1) - b2;
    return dr * dr + dg * dg + db * db;
}

std::string findClosestColor(int r, int g, int b) {
    const _Color* closest = nullptr;
    double best = std::numeric_limits<double>::max();
    for (const _Color& color : colors) {
        const double distance =
            calculateEuclideanDistanceSquared(r, g, b, color.r, color.g, color.b);
        if (distance < best) {
            best = distance;
            closest = &color;
        }
    }
    return closest ? closest->name : "Unknown";
}

std::string toColorString(const _ColorYUV& color) {
    // Full-range YCbCr; components of any value convert without overflow.
    const double y = color.y;
    const double cb = color.u - 128.0;
    const double cr = color.v - 128.0;
    return findClosestColor(clampChannel(y + 1.402 * cr),
                            clampChannel(y - 0.344136 * cb - 0.714136 * cr),
                            clampChannel(y + 1.772 * cb));
}

}  // namespace qo::vms_server_plugins::analytics::lumo::Metadata
