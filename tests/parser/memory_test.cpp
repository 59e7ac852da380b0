// The parser's memory: exhaustion at any allocation gives null without a leak (the ASan build's
// leak check sees to the last), and the per-thread block cache reuses blocks under a cap.
#include <cstdlib>
#include <new>

#include "lumo/metadata_arena.h"
#include "parser/document_builder.h"

namespace {
thread_local long t_allocationsLeft = -1;  // what the calling thread may still allocate; -1: any

void* allocate(std::size_t size) {
    if (t_allocationsLeft == 0)
        throw std::bad_alloc();
    if (t_allocationsLeft > 0)
        --t_allocationsLeft;
    if (void* memory = std::malloc(size ? size : 1))
        return memory;
    throw std::bad_alloc();
}
}  // namespace

void* operator new(std::size_t size) {
    return allocate(size);
}
void* operator new[](std::size_t size) {
    return allocate(size);
}
void operator delete(void* memory) noexcept {
    std::free(memory);
}
void operator delete[](void* memory) noexcept {
    std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
    std::free(memory);
}
void operator delete[](void* memory, std::size_t) noexcept {
    std::free(memory);
}

namespace lumo_test {

TEST(MemoryTest, ExhaustedMemoryAtAnyStepGivesNullAndLeaksNothing) {
    const std::string text = document(
        frame(object(1, "<tt:ImageRef>http://192.0.2.10/1.jpg</tt:ImageRef>") + object(2, "")) +
        event("t", item("Rule", "Line0"), item("Count", "5")) + event("u", "", ""));
    bool parsed = false;
    for (long budget = 0; budget < 1000 && !parsed; ++budget) {
        std::vector<char> buffer(text.begin(), text.end());
        buffer.push_back('\0');
        t_allocationsLeft = budget;
        const PayloadPtr payload(
            Metadata::ConvertToPayload(buffer.data(), static_cast<int>(text.size())));
        t_allocationsLeft = -1;
        parsed = payload != nullptr;
        if (parsed) {
            EXPECT_GE(budget, 10);
            EXPECT_EQ(payload->eventCount, 2);
            EXPECT_STREQ(payload->objects[0]->imageRef, "http://192.0.2.10/1.jpg");
        }
    }
    EXPECT_TRUE(parsed);
}

constexpr std::size_t kPoolBlock = 64 * 1024 + 32;

TEST(MemoryTest, ArenaKeepsNoMoreThanItsLimit) {
    std::vector<void*> blocks;
    for (std::size_t kept = 0; kept < 3 * Metadata::kArenaKeepLimit; kept += kPoolBlock)
        blocks.push_back(Metadata::arenaAllocate(kPoolBlock));
    for (void* block : blocks)
        Metadata::arenaRelease(block);
    EXPECT_GT(Metadata::arenaKeptBytes(), Metadata::kArenaKeepLimit - kPoolBlock);
    EXPECT_LE(Metadata::arenaKeptBytes(), Metadata::kArenaKeepLimit);
}

TEST(MemoryTest, LargeDocumentsReuseTheBlocksOfTheLastOne) {
    std::string objects;
    for (int i = 0; i < 1000; ++i)
        objects += object(i, "<tt:Class/>");
    const std::string text = document(frame(objects));
    ASSERT_TRUE(parseText(text));
    const std::size_t kept = Metadata::arenaKeptBytes();
    EXPECT_GT(kept, 0u);
    ASSERT_TRUE(parseText(text));
    EXPECT_EQ(Metadata::arenaKeptBytes(), kept);
}

}  // namespace lumo_test
