// Exhausted memory gives null without a leak (ASan checks), and the block cache is reused.
#include <cstdlib>
#include <new>

#include "lumo/metadata_arena.h"
#include "parser/payload_text.h"

namespace {
thread_local long t_allocationsLeft = -1;  // what the calling thread may still allocate; -1: any

}  // namespace

void* operator new(std::size_t size) {
    if (t_allocationsLeft == 0)
        throw std::bad_alloc();
    if (t_allocationsLeft > 0)
        --t_allocationsLeft;
    if (void* memory = std::malloc(size ? size : 1))
        return memory;
    throw std::bad_alloc();
}
void operator delete(void* memory) noexcept {
    std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
    std::free(memory);
}
// The array forms too: a sanitizer's runtime would otherwise serve them, uncounted.
void* operator new[](std::size_t size) {
    return operator new(size);
}
void operator delete[](void* memory) noexcept {
    std::free(memory);
}
void operator delete[](void* memory, std::size_t) noexcept {
    std::free(memory);
}

namespace lumo_test {

TEST(MemoryTest, ExhaustedMemoryAtAnyStepGivesNullAndLeaksNothing) {
    const std::string text = document(
        frame(object(1, "<tt:ImageRef>http://192.0.2.10/1.jpg</tt:ImageRef>") + object(2, "")) +
        event("t", {{"Rule", "Line0"}}, {{"Count", "5"}}));
    PayloadPtr payload;
    long budget = 0;
    for (; budget < 1000 && !payload; ++budget) {
        std::string copy = text;
        t_allocationsLeft = budget;
        payload.reset(Metadata::ConvertToPayload(copy.data(), static_cast<int>(copy.size())));
        t_allocationsLeft = -1;
    }
    ASSERT_TRUE(payload);
    EXPECT_GE(budget, 10);
    EXPECT_STREQ(payload->objects[0]->imageRef, "http://192.0.2.10/1.jpg");
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
