#include "lumo/metadata_arena.h"

#include <cstdlib>
#include <new>

namespace qo::vms_server_plugins::analytics::lumo::Metadata {

namespace {

// Precedes every block; its size keeps the block behind it aligned like malloc's.
struct alignas(alignof(std::max_align_t)) BlockHeader {
    BlockHeader* next;
    std::size_t capacity;
};

class BlockCache {
public:
    BlockCache() = default;
    BlockCache(const BlockCache&) = delete;
    BlockCache& operator=(const BlockCache&) = delete;

    ~BlockCache() {
        while (m_free) {
            BlockHeader* block = m_free;
            m_free = block->next;
            std::free(block);
        }
        m_kept = 0;
    }

    // First fit: the pool asks for blocks of one size, so the first is the right one.
    BlockHeader* take(std::size_t size) {
        for (BlockHeader** link = &m_free; *link; link = &(*link)->next) {
            BlockHeader* block = *link;
            if (block->capacity >= size) {
                *link = block->next;
                m_kept -= block->capacity;
                return block;
            }
        }
        return nullptr;
    }

    void give(BlockHeader* block) {
        if (m_kept + block->capacity > kArenaKeepLimit) {
            std::free(block);
            return;
        }
        block->next = m_free;
        m_free = block;
        m_kept += block->capacity;
    }

    std::size_t kept() const { return m_kept; }

private:
    BlockHeader* m_free = nullptr;
    std::size_t m_kept = 0;
};

thread_local BlockCache t_cache;

}  // namespace

void* arenaAllocate(std::size_t size) {
    BlockHeader* block = t_cache.take(size);
    if (!block) {
        if (size > static_cast<std::size_t>(-1) - sizeof(BlockHeader))
            throw std::bad_alloc();
        block = static_cast<BlockHeader*>(std::malloc(sizeof(BlockHeader) + size));
        if (!block)
            throw std::bad_alloc();
        block->capacity = size;
    }
    block->next = nullptr;
    return block + 1;
}

void arenaRelease(void* memory) noexcept {
    if (memory)
        t_cache.give(static_cast<BlockHeader*>(memory) - 1);
}

std::size_t arenaKeptBytes() noexcept {
    return t_cache.kept();
}

}  // namespace qo::vms_server_plugins::analytics::lumo::Metadata
