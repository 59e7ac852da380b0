// The camera's ONVIF metadata documents as flat records, and the naming of its colours.
//
// ConvertToPayload turns one metadata-stream document (root "tt:MetaDataStream", in the camera's
// dialect) into a _Payload: the frame's time and coordinate transformation, its objects with the
// appearance the camera reports, and its events with their topic and items. The records keep the
// texts that later stages interpret; only numbers, flags and colour components are read here.
// Nothing in a payload points into the document, which may be discarded once the call returns.
//
// Threading: every function may run on any thread at the same time. The parser keeps per-thread
// scratch memory between calls (see metadata_arena.h) and no other state; the colour table is
// constant.
#pragma once

#include <cstdint>
#include <string>

namespace qo::vms_server_plugins::analytics::lumo::Metadata {

// Documents above this size are refused unread. Real ones are a few kilobytes; the parser's node
// pool grows to some twenty times the text, so the bound also caps what a hostile one can cost.
constexpr int kMaxDocumentSize = 4 * 1024 * 1024;

// An ONVIF colour descriptor read as YCbCr: luma, blue- and red-difference, nominally 0 to 255.
// -1 in every component means never filled.
struct _ColorYUV {
    int32_t y = -1;
    int32_t u = -1;
    int32_t v = -1;
};

// One "tt:Object" of the frame. Owns imageRef. Fixed texts are always NUL-terminated.
struct _Object {
    int32_t objectId = 0;
    int32_t parentId = 0;
    float left = 0;
    float top = 0;
    float right = 0;
    float bottom = 0;
    float centerX = 0;
    float centerY = 0;
    float classLikelihood = 0;
    char classType[32] = {};
    float vehicleLikelihood = 0;
    char vehicleType[32] = {};
    _ColorYUV vehicleColor;
    char* imageRef = nullptr;  // best-shot image address, or null
    char captureTime[32] = {};
    char gender[12] = {};
    bool eyewear = false;
    bool mask = false;
    bool hat = false;
    bool helmet = false;
    _ColorYUV topColors[2];
    _ColorYUV bottomColor;
    char bagCategory[32] = {};
    // One byte: hasFace is bit 0, hasTopColor bit 1, hasBottomColor bit 2, hasVehicleColor bit 3,
    // hasBag bit 7; bits 4 to 6 stay clear.
    uint8_t hasFace : 1;
    uint8_t hasTopColor : 1;
    uint8_t hasBottomColor : 1;
    uint8_t hasVehicleColor : 1;
    uint8_t reservedFlags : 3;
    uint8_t hasBag : 1;

    _Object()
        : hasFace(0),
          hasTopColor(0),
          hasBottomColor(0),
          hasVehicleColor(0),
          reservedFlags(0),
          hasBag(0) {}
    ~_Object();
    _Object(const _Object&) = delete;
    _Object& operator=(const _Object&) = delete;
};

constexpr int kMaxEventItems = 12;

// One "tt:Event". Owns topic and every non-null item name and value. Item i of a group has its
// name and value at index i; either may be null when the item lacked that attribute.
struct _Event {
    char* topic = nullptr;
    char utcTime[32] = {};
    int32_t sourceCount = 0;
    char* sourceNames[kMaxEventItems] = {};
    char* sourceValues[kMaxEventItems] = {};
    int32_t dataCount = 0;
    char* dataNames[kMaxEventItems] = {};
    char* dataValues[kMaxEventItems] = {};

    _Event() = default;
    ~_Event();
    _Event(const _Event&) = delete;
    _Event& operator=(const _Event&) = delete;
};

// One document. Owns both arrays and every record they point to; a null array goes with a count
// of 0. The caller destroys a returned payload with delete. Each array shares its allocation with
// its records, so neither an array nor a record is ever freed or replaced on its own.
struct _Payload {
    int32_t eventCount = 0;
    _Event** events = nullptr;
    char utcTime[32] = {};
    float translateX = 0;
    float translateY = 0;
    float scaleX = 0;
    float scaleY = 0;
    int32_t objectCount = 0;
    _Object** objects = nullptr;

    _Payload() = default;
    ~_Payload();
    _Payload(const _Payload&) = delete;
    _Payload& operator=(const _Payload&) = delete;
};

// Parses `text`, a writable buffer of `size` bytes followed by a NUL, in place (the text is
// overwritten). Returns a new payload, or null for a null text, a size outside 0 to
// kMaxDocumentSize, a missing terminator, malformed XML, a document without "tt:MetaDataStream",
// or exhausted memory. Nesting never exhausts the calling thread's stack: a text that could nest
// deeper than the stack takes is refused beyond kMaxNestingDepth levels (metadata_prescan.h);
// one the stack takes whatever its nesting is parsed as it is. Never throws.
_Payload* ConvertToPayload(char* text, int size);

// Name of the table colour closest to the colour, read as full-range YCbCr.
std::string toColorString(const _ColorYUV& color);

// Name of the table colour closest to the RGB value; the earlier entry wins a tie, "Unknown" when
// the table is empty.
std::string findClosestColor(int r, int g, int b);

// Sum of the three squared component differences. Exact whenever it fits in 32 bits; defined for
// any components.
double calculateEuclideanDistanceSquared(int r1, int g1, int b1, int r2, int g2, int b2);

}  // namespace qo::vms_server_plugins::analytics::lumo::Metadata
