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

using Document = rapidxml::xml_document<char>;
using Node = rapidxml::xml_node<char>;
using Attribute = rapidxml::xml_attribute<char>;

// Trim and condense the blanks of element texts.
constexpr int kParseFlags = rapidxml::parse_trim_whitespace | rapidxml::parse_normalize_whitespace;
static_assert(kParseFlags == 3072);

// The records of a payload share one allocation with the array that points to them: a block of
// `capacity` pointers followed by room for `capacity` records. A document's objects then cost one
// allocation rather than one each, which kept the allocator merging and splitting chunks.
template <class T>
T** allocateRecordBlock(int32_t capacity) {
    static_assert(alignof(T) <= alignof(T*), "records follow the pointers unpadded");
    return static_cast<T**>(
        ::operator new(static_cast<std::size_t>(capacity) * (sizeof(T*) + sizeof(T))));
}

template <class T>
void destroyRecords(T** records, int32_t count) {
    for (int32_t i = 0; i < count; ++i)
        records[i]->~T();
    ::operator delete(records);
}

// An owned block of records under construction; frees what it holds if a later step throws.
template <class T>
class RecordList {
public:
    explicit RecordList(int32_t capacity)
        : m_items(capacity > 0 ? allocateRecordBlock<T>(capacity) : nullptr),
          m_capacity(capacity) {}
    ~RecordList() { destroyRecords(m_items, m_count); }
    RecordList(const RecordList&) = delete;
    RecordList& operator=(const RecordList&) = delete;

    T& append() {
        if (m_count >= m_capacity)
            throw std::length_error("record list full");
        void* place = reinterpret_cast<T*>(m_items + m_capacity) + m_count;
        m_items[m_count] = new (place) T;
        return *m_items[m_count++];
    }

    // Hands the records over, destroying what `items` held before.
    void moveTo(T**& items, int32_t& count) {
        destroyRecords(items, count);
        items = m_count > 0 ? m_items : nullptr;
        count = m_count;
        if (m_count == 0)
            ::operator delete(m_items);
        m_items = nullptr;
        m_count = 0;
    }

private:
    T** m_items;
    int32_t m_capacity;
    int32_t m_count = 0;
};

// --- Values ---------------------------------------------------------------------------------

inline bool isCBlank(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// Base 10 with leading blanks and a sign, up to the first non-digit; no digits give 0. Values
// beyond 32 bits saturate at the nearest bound.
int32_t toInt32(const char* text, std::size_t size) {
    const char* p = text;
    const char* const end = text + size;
    while (p < end && isCBlank(*p))
        ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    const int64_t limit = negative ? -int64_t{std::numeric_limits<int32_t>::min()}
                                   : int64_t{std::numeric_limits<int32_t>::max()};
    int64_t value = 0;
    for (; p < end && *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + (*p - '0');
        if (value >= limit) {
            value = limit;
            break;
        }
    }
    return static_cast<int32_t>(negative ? -value : value);
}

// The common form of the camera's numbers: a sign, at most 15 digits around an optional point, no
// exponent. Both the digits and the power of ten are exact doubles, so one division rounds the
// value as strtod would.
bool readPlainDecimal(const char* p, const char* end, double& value) {
    static constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                              1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    const bool negative = p < end && *p == '-';
    if (negative)
        ++p;
    uint64_t digits = 0;
    int count = 0;
    int decimals = 0;
    for (; p < end && *p >= '0' && *p <= '9'; ++p, ++count)
        digits = digits * 10 + static_cast<uint64_t>(*p - '0');
    if (p < end && *p == '.') {
        for (++p; p < end && *p >= '0' && *p <= '9'; ++p, ++count, ++decimals)
            digits = digits * 10 + static_cast<uint64_t>(*p - '0');
    }
    if (count == 0 || count > 15 || (p < end && (*p == 'e' || *p == 'E')))
        return false;
    value = static_cast<double>(digits) / kPowersOfTen[decimals];
    if (negative)
        value = -value;
    return true;
}

// A decimal number, read as strtod reads it but whatever the process locale, and narrowed to a
// float; anything else, including values a float cannot hold, infinities and NaN, gives 0.
float toFloat(const char* text, std::size_t size) {
    const char* p = text;
    const char* const end = text + size;
    while (p < end && isCBlank(*p))
        ++p;
    if (p < end && *p == '+') {
        ++p;
        if (p < end && *p == '-')
            return 0;
    }
    double value = 0;
    if (!readPlainDecimal(p, end, value)) {
        const auto result = std::from_chars(p, end, value, std::chars_format::general);
        if (result.ec != std::errc() || !std::isfinite(value))
            return 0;
    }
    if (std::fabs(value) > std::numeric_limits<float>::max())
        return 0;
    return static_cast<float>(value);
}

// At most N - 1 bytes and a NUL. A cut never splits a UTF-8 sequence: what goes to the server
// must stay valid text.
template <std::size_t N>
void copyText(char (&target)[N], const char* text, std::size_t size) {
    std::size_t length = strnlen(text, size);
    if (length > N - 1) {
        length = N - 1;
        for (int i = 0;
             i < 3 && length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80; ++i)
            --length;
    }
    std::memcpy(target, text, length);
    target[length] = '\0';
}

char* ownText(const char* text, std::size_t size) {
    const std::size_t length = strnlen(text, size);
    char* copy = new char[length + 1];
    std::memcpy(copy, text, length);
    copy[length] = '\0';
    return copy;
}

void replaceText(char*& target, const char* text, std::size_t size) {
    char* copy = ownText(text, size);
    delete[] target;
    target = copy;
}

// --- Tree access ----------------------------------------------------------------------------

// Names are compared here rather than by rapidxml's lookups, whose byte-by-byte loop costs more
// than the rest of the walk; a fixed-size memcmp compiles to a few word compares.
template <std::size_t N>
bool named(const Node* node, const char (&name)[N]) {
    return node->name_size() == N - 1 && std::memcmp(node->name(), name, N - 1) == 0;
}

template <std::size_t N>
const Node* nextNamed(const Node* node, const char (&name)[N]) {
    for (node = node->next_sibling(); node; node = node->next_sibling()) {
        if (named(node, name))
            return node;
    }
    return nullptr;
}

template <std::size_t N>
const Node* child(const Node* parent, const char (&name)[N]) {
    if (!parent)
        return nullptr;
    for (const Node* node = parent->first_node(); node; node = node->next_sibling()) {
        if (named(node, name))
            return node;
    }
    return nullptr;
}

template <std::size_t N>
int32_t countNamed(const Node* parent, const char (&name)[N]) {
    int32_t count = 0;
    for (const Node* node = child(parent, name); node; node = nextNamed(node, name))
        ++count;
    return count;
}

template <std::size_t N>
const Attribute* attribute(const Node* node, const char (&name)[N]) {
    for (const Attribute* a = node->first_attribute(); a; a = a->next_attribute()) {
        if (a->name_size() == N - 1 && std::memcmp(a->name(), name, N - 1) == 0)
            return a;
    }
    return nullptr;
}

template <std::size_t N>
void readInt(const Node* node, const char (&name)[N], int32_t& field) {
    if (const Attribute* a = attribute(node, name))
        field = toInt32(a->value(), a->value_size());
}

template <std::size_t N>
void readFloat(const Node* node, const char (&name)[N], float& field) {
    if (const Attribute* a = attribute(node, name))
        field = toFloat(a->value(), a->value_size());
}

template <std::size_t N, std::size_t M>
void readText(const Node* node, const char (&name)[N], char (&field)[M]) {
    if (const Attribute* a = attribute(node, name))
        copyText(field, a->value(), a->value_size());
}

template <std::size_t M>
void copyValue(const Node* node, char (&field)[M]) {
    copyText(field, node->value(), node->value_size());
}

void readColor(const Node* color, _ColorYUV& target) {
    readInt(color, "X", target.y);
    readInt(color, "Y", target.u);
    readInt(color, "Z", target.v);
}

// --- Objects --------------------------------------------------------------------------------

void readShape(_Object& object, const Node* shape) {
    if (const Node* box = child(shape, "tt:BoundingBox")) {
        readFloat(box, "left", object.left);
        readFloat(box, "top", object.top);
        readFloat(box, "right", object.right);
        readFloat(box, "bottom", object.bottom);
    }
    if (const Node* center = child(shape, "tt:CenterOfGravity")) {
        readFloat(center, "x", object.centerX);
        readFloat(center, "y", object.centerY);
    }
}

void readVehicle(_Object& object, const Node* vehicle) {
    if (const Node* type = child(vehicle, "tt:Type")) {
        readFloat(type, "Likelihood", object.vehicleLikelihood);
        copyValue(type, object.vehicleType);
    }
    if (const Node* color =
            child(child(child(vehicle, "tt:Color"), "tt:ColorCluster"), "tt:Color")) {
        object.hasVehicleColor = 1;
        readColor(color, object.vehicleColor);
    }
}

// A worn accessory: its "fc:Wear" says anything but exactly "false".
template <std::size_t N>
void readWear(const Node* accessory, const char (&name)[N], bool& flag) {
    if (const Node* wear = child(child(accessory, name), "fc:Wear"))
        flag = !(wear->value_size() == 5 && std::memcmp(wear->value(), "false", 5) == 0);
}

void readFace(_Object& object, const Node* face) {
    object.hasFace = 1;
    if (const Node* gender = child(face, "fc:Gender"))
        copyValue(gender, object.gender);
    if (const Node* accessory = child(face, "fc:Accessory")) {
        readWear(accessory, "fc:Opticals", object.eyewear);
        readWear(accessory, "fc:Mask", object.mask);
        readWear(accessory, "fc:Hat", object.hat);
        readWear(accessory, "fc:Helmet", object.helmet);
    }
}

void readBody(_Object& object, const Node* body) {
    const Node* clothing = child(body, "bd:Clothing");
    if (const Node* tops = child(child(clothing, "bd:Tops"), "tt:Color")) {
        // Clusters without an inner colour take no entry.
        int index = 0;
        for (const Node* cluster = child(tops, "tt:ColorCluster"); cluster && index < 2;
             cluster = nextNamed(cluster, "tt:ColorCluster")) {
            if (const Node* color = child(cluster, "tt:Color")) {
                object.hasTopColor = 1;
                readColor(color, object.topColors[index]);
                ++index;
            }
        }
    }
    if (const Node* color =
            child(child(child(child(clothing, "bd:Bottoms"), "tt:Color"), "tt:ColorCluster"),
                  "tt:Color")) {
        object.hasBottomColor = 1;
        readColor(color, object.bottomColor);
    }
    if (const Node* category = child(child(child(body, "bd:Belonging"), "bd:Bag"), "bd:Category")) {
        object.hasBag = 1;
        copyValue(category, object.bagCategory);
    }
}

void readObject(_Object& object, const Node* node) {
    readInt(node, "ObjectId", object.objectId);
    readInt(node, "Parent", object.parentId);
    const Node* appearance = child(node, "tt:Appearance");
    if (!appearance)
        return;
    for (const Node* part = appearance->first_node(); part; part = part->next_sibling()) {
        if (named(part, "tt:Shape")) {
            readShape(object, part);
        } else if (named(part, "tt:Class")) {
            if (const Node* type = child(part, "tt:Type")) {
                readFloat(type, "Likelihood", object.classLikelihood);
                copyValue(type, object.classType);
            }
        } else if (named(part, "tt:VehicleInfo")) {
            readVehicle(object, part);
        } else if (named(part, "tt:ImageRef")) {
            replaceText(object.imageRef, part->value(), part->value_size());
        } else if (named(part, "tod:CaptureTime")) {
            copyValue(part, object.captureTime);
        } else if (named(part, "tt:HumanFace")) {
            readFace(object, part);
        } else if (named(part, "tt:HumanBody")) {
            readBody(object, part);
        }
    }
}

// Objects of the frame replace those of an earlier frame of the document.
void readFrame(_Payload& payload, const Node* frame) {
    readText(frame, "UtcTime", payload.utcTime);
    RecordList<_Object> objects(countNamed(frame, "tt:Object"));
    for (const Node* part = frame->first_node(); part; part = part->next_sibling()) {
        if (named(part, "tt:Object")) {
            readObject(objects.append(), part);
        } else if (named(part, "tt:Transformation")) {
            if (const Node* translate = child(part, "tt:Translate")) {
                readFloat(translate, "x", payload.translateX);
                readFloat(translate, "y", payload.translateY);
            }
            if (const Node* scale = child(part, "tt:Scale")) {
                readFloat(scale, "x", payload.scaleX);
                readFloat(scale, "y", payload.scaleY);
            }
        }
    }
    objects.moveTo(payload.objects, payload.objectCount);
}

// --- Events ---------------------------------------------------------------------------------

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
