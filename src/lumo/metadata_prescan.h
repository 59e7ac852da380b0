// A cheap look at a metadata document before the XML parser sees it.
//
// rapidxml recurses once per element nesting level and has no limit of its own: a few hundred
// kilobytes of "<a>" exhaust a worker's stack. scanDocument walks the text as rapidxml tokenises
// it with the parser's flags (its own character classes; the same handling of declarations,
// comments, CDATA and DOCTYPE), iteratively and without allocating, and measures the deepest
// element level. Where the text is well formed it reads exactly what rapidxml reads, and where
// rapidxml would throw it is exact up to that point; either way rapidxml cannot recurse deeper
// than the level reported.
//
// Threading: a pure function of its argument.
#pragma once

namespace qo::vms_server_plugins::analytics::lumo::Metadata {

// Deepest element level accepted in a text the thread's stack might not take; the root element
// is level 1. Real documents stay below 15.
constexpr int kMaxNestingDepth = 256;

enum class ScanVerdict {
    acceptable,  // rapidxml may parse it (it can still reject a bad entity or character code)
    malformed,   // rapidxml would throw
    tooDeep,     // some element lies deeper than the limit; the scan stopped there
};

struct ScanResult {
    ScanVerdict verdict;
    int depth;  // deepest element level met before the verdict
};

// `text` must be NUL-terminated; the scan stops at the first NUL, as rapidxml does.
ScanResult scanDocument(const char* text, int maxDepth = kMaxNestingDepth);

// rapidxml opens an element only at a "<", so a text holding no more of them than a thread's
// stack takes levels cannot overflow it, whatever else it holds. Counting them is far cheaper
// than scanDocument. Returns the number of "<" in the `size` bytes at `text`, or, once the count
// passes `limit`, some number above it.
int countOpenings(const char* text, int size, int limit);

// The two ways countOpenings counts, exposed for tests; the AVX2 one only where hasAvx2().
int countOpeningsSse2(const char* begin, const char* end, int limit);
int countOpeningsAvx2(const char* begin, const char* end, int limit);
bool hasAvx2();

}  // namespace qo::vms_server_plugins::analytics::lumo::Metadata
