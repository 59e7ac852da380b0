// Per-thread cache of the memory blocks that the XML parser's node pool draws on.
//
// rapidxml's pool takes blocks of some 64 KiB through a pair of plain functions and gives them
// all back when a document is cleared. Handing it these two keeps the blocks on the thread between
// documents, so a steady stream of large documents reuses the same, already mapped memory instead
// of touching fresh pages for each one. What a thread keeps is capped at kArenaKeepLimit: blocks
// beyond it go back to the heap at once, so one huge document does not pin its memory. A thread's
// blocks are freed when the thread ends.
//
// Threading: each thread has its own cache; no locks. A block must be released on the thread that
// allocated it (the parser allocates and clears a document within one call).
#pragma once

#include <cstddef>

namespace qo::vms_server_plugins::analytics::lumo::Metadata {

// Bytes of free blocks one thread keeps between documents: enough for documents with a few
// hundred objects.
constexpr std::size_t kArenaKeepLimit = 1024 * 1024;

// Returns a block of at least `size` bytes, aligned for any type. Throws std::bad_alloc, never
// returns null.
void* arenaAllocate(std::size_t size);

// Takes back a block from arenaAllocate (null is ignored).
void arenaRelease(void* block) noexcept;

// Bytes of free blocks the calling thread keeps now.
std::size_t arenaKeptBytes() noexcept;

}  // namespace qo::vms_server_plugins::analytics::lumo::Metadata
