#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "qo/sdk/helpers/string.h"
#include "qo/sdk/ptr.h"
#include "qo/sdk/ref_countable.h"
#include "sdk/live_objects.h"

namespace qo::sdk::test {
namespace {

/** Counts its own destructions, so a second destruction shows even where memory tools do not. */
class Probe : public RefCountable<IString> {
public:
    explicit Probe(std::atomic<int>* destructions) : m_destructions(destructions) {}
    ~Probe() override { ++*m_destructions; }
    const char* str() const override { return "probe"; }

private:
    std::atomic<int>* m_destructions;
};

// Made before any test installs the registry.
Ptr<String> objectMadeAtStartUp = makePtr<String>("made at start-up");

class RefCountingTest : public ObjectCountingTest {
protected:
    std::atomic<int> destructions{0};
};

TEST_F(RefCountingTest, NewObjectHasOneReferenceAndTheReleaseToZeroDestroysIt) {
    auto* probe = new Probe(&destructions);
    EXPECT_EQ(probe->refCountThreadUnsafe(), 1);
    EXPECT_EQ(probe->addRef(), 2);
    EXPECT_EQ(probe->releaseRef(), 1);
    EXPECT_EQ(destructions, 0);
    EXPECT_EQ(probe->releaseRef(), 0);
    EXPECT_EQ(destructions, 1);
}

TEST_F(RefCountingTest, RegistryHearsCreationWithCountOneAndDestructionWithCountZero) {
    auto* probe = new Probe(&destructions);
    EXPECT_EQ(createdHere(), 1);
    EXPECT_EQ(LiveObjects::lastCreationCount(), 1);
    probe->releaseRef();
    EXPECT_EQ(destroyedHere(), 1);
    EXPECT_EQ(LiveObjects::lastDestructionCount(), 0);
}

TEST_F(RefCountingTest, RegistryHearsDestructionOfObjectMadeBeforeItWasInstalled) {
    if (!objectMadeAtStartUp)
        GTEST_SKIP() << "already released by an earlier repetition";
    expectOlderDestructions(1);
    objectMadeAtStartUp.reset();
    EXPECT_EQ(createdHere(), 0);
    EXPECT_EQ(destroyedHere(), 1);
}

TEST_F(RefCountingTest, MakePtrHoldsTheOnlyReference) {
    {
        Ptr<Probe> ptr = makePtr<Probe>(&destructions);
        EXPECT_EQ(ptr->refCountThreadUnsafe(), 1);
    }
    EXPECT_EQ(destructions, 1);
}

TEST_F(RefCountingTest, PtrFromRawPointerTakesOverTheExistingReference) {
    auto* probe = new Probe(&destructions);
    probe->addRef();
    {
        Ptr<Probe> ptr = toPtr(probe);
        EXPECT_EQ(probe->refCountThreadUnsafe(), 2);
    }
    EXPECT_EQ(probe->refCountThreadUnsafe(), 1);
    probe->releaseRef();
    EXPECT_EQ(destructions, 1);
}

TEST_F(RefCountingTest, ShareToPtrAddsAReferenceForTheKeeper) {
    auto* probe = new Probe(&destructions);
    {
        Ptr<Probe> kept = shareToPtr(probe);
        EXPECT_EQ(probe->refCountThreadUnsafe(), 2);
    }
    EXPECT_EQ(probe->releaseRef(), 0);
    EXPECT_EQ(shareToPtr<Probe>(nullptr), nullptr);
}

TEST_F(RefCountingTest, CopyAddsAndMoveTransfersAReference) {
    Ptr<Probe> a = makePtr<Probe>(&destructions);
    Ptr<Probe> b = a;
    EXPECT_EQ(a->refCountThreadUnsafe(), 2);
    Ptr<Probe> c = std::move(b);
    EXPECT_EQ(b, nullptr);
    EXPECT_EQ(c->refCountThreadUnsafe(), 2);
    Ptr<IString> base = c;  // Converting copy.
    EXPECT_EQ(a->refCountThreadUnsafe(), 3);
    Ptr<IRefCountable> root = std::move(base);
    EXPECT_EQ(a->refCountThreadUnsafe(), 3);
    EXPECT_EQ(root.get(), static_cast<IRefCountable*>(a.get()));
}

TEST_F(RefCountingTest, SelfAssignmentKeepsTheObjectAlive) {
    Ptr<Probe> ptr = makePtr<Probe>(&destructions);
    Ptr<Probe>& alias = ptr;
    ptr = alias;
    EXPECT_EQ(destructions, 0);
    ASSERT_NE(ptr, nullptr);
    EXPECT_EQ(ptr->refCountThreadUnsafe(), 1);
}

TEST_F(RefCountingTest, AssignmentReleasesTheOldObject) {
    std::atomic<int> otherDestructions{0};
    Ptr<Probe> ptr = makePtr<Probe>(&destructions);
    const Ptr<Probe> other = makePtr<Probe>(&otherDestructions);
    ptr = other;
    EXPECT_EQ(destructions, 1);
    EXPECT_EQ(other->refCountThreadUnsafe(), 2);
    ptr = nullptr;
    EXPECT_EQ(other->refCountThreadUnsafe(), 1);
    EXPECT_EQ(otherDestructions, 0);
}

TEST_F(RefCountingTest, ReleasePtrHandsTheReferenceToTheCaller) {
    Ptr<Probe> ptr = makePtr<Probe>(&destructions);
    Probe* raw = ptr.releasePtr();
    EXPECT_EQ(ptr, nullptr);
    EXPECT_EQ(destructions, 0);
    EXPECT_EQ(raw->releaseRef(), 0);
    EXPECT_EQ(destructions, 1);
}

TEST_F(RefCountingTest, ConcurrentAddAndReleaseDestroyTheObjectExactlyOnce) {
    constexpr int kThreads = 4;
    constexpr int kRounds = 2000;
    auto* probe = new Probe(&destructions);
    for (int i = 1; i < kThreads; ++i)
        probe->addRef();  // One reference per thread.

    std::atomic<bool> go{false};
    std::atomic<int> zeroes{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&] {
            while (!go.load())
                std::this_thread::yield();
            for (int i = 0; i < kRounds; ++i) {
                probe->addRef();
                probe->releaseRef();
            }
            if (probe->releaseRef() == 0)
                ++zeroes;
        });
    }
    go = true;
    for (auto& thread : threads)
        thread.join();

    EXPECT_EQ(zeroes, 1);
    EXPECT_EQ(destructions, 1);
    EXPECT_EQ(destroyedHere(), 1);
}

TEST_F(RefCountingTest, ConcurrentPtrCopiesDestroyTheObjectExactlyOnce) {
    constexpr int kThreads = 4;
    Ptr<Probe> shared = makePtr<Probe>(&destructions);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([copy = shared]() mutable {
            for (int i = 0; i < 1000; ++i) {
                Ptr<Probe> another = copy;
                copy = another;
            }
        });
    }
    shared.reset();
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(destructions, 1);
}

class RefCountableHolderTest : public ObjectCountingTest {};

TEST_F(RefCountableHolderTest, HolderWithoutOwnerCountsButDestroysNothing) {
    RefCountableHolder holder(nullptr);
    EXPECT_EQ(holder.refCount(), 1);
    EXPECT_EQ(holder.addRef(), 2);
    EXPECT_EQ(holder.releaseRef(), 1);
    EXPECT_EQ(holder.releaseRef(), 0);
}

TEST_F(RefCountableHolderTest, HolderDestroysItsOwnerOnTheLastRelease) {
    std::atomic<int> destructions{0};
    auto holder = std::make_unique<RefCountableHolder>(new Probe(&destructions));
    holder->addRef();
    EXPECT_EQ(holder->releaseRef(), 1);
    EXPECT_EQ(destructions, 0);
    EXPECT_EQ(holder->releaseRef(), 0);
    EXPECT_EQ(destructions, 1);
}

}  // namespace
}  // namespace qo::sdk::test
