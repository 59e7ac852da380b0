// Reading the parsed metadata document: the records a payload holds in one block, the element
// and attribute lookups, and the readers of numbers and texts in attribute values. Shared by the
// readers of the document's sections (metadata_objects.cpp, metadata_events.cpp) and the parser
// entry point (metadata.cpp); everything here is inline, as it runs for every attribute.
//
// Threading: pure functions of their arguments; a RecordList belongs to one thread.
#pragma once

#include <rapidxml.hpp>

#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>
#include <system_error>

#include "lumo/metadata.h"

namespace qo::vms_server_plugins::analytics::lumo::Metadata::tree {

using Document = rapidxml::xml_document<char>;
using Node = rapidxml::xml_node<char>;
using Attribute = rapidxml::xml_attribute<char>;

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

// Values.

inline bool isCBlank(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// Base 10 with leading blanks and a sign, up to the first non-digit; no digits give 0. Values
// beyond 32 bits saturate at the nearest bound.
inline int32_t toInt32(const char* text, std::size_t size) {
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
inline bool readPlainDecimal(const char* p, const char* end, double& value) {
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
inline float toFloat(const char* text, std::size_t size) {
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

inline char* ownText(const char* text, std::size_t size) {
    const std::size_t length = strnlen(text, size);
    char* copy = new char[length + 1];
    std::memcpy(copy, text, length);
    copy[length] = '\0';
    return copy;
}

inline void replaceText(char*& target, const char* text, std::size_t size) {
    char* copy = ownText(text, size);
    delete[] target;
    target = copy;
}

// Tree access.

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

inline void readColor(const Node* color, _ColorYUV& target) {
    readInt(color, "X", target.y);
    readInt(color, "Y", target.u);
    readInt(color, "Z", target.v);
}

}  // namespace qo::vms_server_plugins::analytics::lumo::Metadata::tree
