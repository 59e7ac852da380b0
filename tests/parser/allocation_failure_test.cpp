// Memory running out at any allocation of a parse: null, no exception, nothing leaked (the leak
// check of the ASan build sees to the last).
#include <cstdlib>
#include <new>

#include "parser/document_builder.h"

namespace {
// Allocations the calling thread may still make; -1 for no limit.
thread_local long t_allocationsLeft = -1;

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
namespace {

TEST(AllocationFailureTest, ExhaustedMemoryAtAnyStepGivesNullAndLeaksNothing) {
    const std::string text = document(
        frame(object(1, "<tt:ImageRef>http://192.0.2.10/1.jpg</tt:ImageRef>") + object(2, "")) +
        event("tns1:RuleEngine/CountAggregation/Counter", item("Rule", "Line0"),
              item("Count", "5")) +
        event("tns1:VideoSource/GlobalSceneChange/AnalyticsService", item("Source", "0"), ""));
    bool parsed = false;
    for (long budget = 0; budget < 1000 && !parsed; ++budget) {
        std::vector<char> buffer(text.begin(), text.end());
        buffer.push_back('\0');
        t_allocationsLeft = budget;
        Metadata::_Payload* payload =
            Metadata::ConvertToPayload(buffer.data(), static_cast<int>(text.size()));
        t_allocationsLeft = -1;
        parsed = payload != nullptr;
        if (parsed) {
            EXPECT_GE(budget, 10);
            EXPECT_EQ(payload->eventCount, 2);
            EXPECT_STREQ(payload->objects[0]->imageRef, "http://192.0.2.10/1.jpg");
        }
        delete payload;
    }
    EXPECT_TRUE(parsed);
}

}  // namespace
}  // namespace lumo_test
