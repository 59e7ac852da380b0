// The worker pool's edges: shutdown with work queued, refusal after stop, failing tasks, a pool
// without workers, and tasks that wait on tasks of their own pool.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "lumo/thread_pool.h"

namespace {

using qo::vms_server_plugins::analytics::lumo::agentPoolSize;
using qo::vms_server_plugins::analytics::lumo::ThreadPool;
using namespace std::chrono_literals;

TEST(ThreadPoolTest, TasksQueuedBeforeDestructionAllRun) {
    std::atomic<int> ran{0};
    std::promise<void> release;
    std::shared_future<void> gate = release.get_future().share();
    {
        ThreadPool pool(2);
        for (int i = 0; i < 2; ++i) {
            pool.enqueue([gate, &ran] {  // Keeps both workers busy while the rest queue up.
                gate.wait();
                ++ran;
            });
        }
        for (int i = 0; i < 100; ++i)
            pool.enqueue([&ran] { ++ran; });
        release.set_value();
    }
    EXPECT_EQ(ran, 102);
}

TEST(ThreadPoolTest, SingleWorkerStartsTasksInQueueOrderAndPassesArguments) {
    std::vector<int> order;
    std::vector<std::future<int>> results;
    {
        ThreadPool pool(1);
        for (int i = 0; i < 20; ++i) {
            results.push_back(pool.enqueue(
                [&order](std::unique_ptr<int> value, int offset) {
                    order.push_back(*value);
                    return *value + offset;
                },
                std::make_unique<int>(i), 1000));
        }
    }
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(order[i], i);
        EXPECT_EQ(results[i].get(), i + 1000);
    }
}

TEST(ThreadPoolTest, EnqueueAfterDestructionBeganThrows) {
    auto pool = std::make_unique<ThreadPool>(1);
    std::promise<void> destroying;
    auto refusal = pool->enqueue([raw = pool.get(), signal = destroying.get_future()] {
        signal.wait();
        for (const auto deadline = std::chrono::steady_clock::now() + 10s;
             std::chrono::steady_clock::now() < deadline; std::this_thread::sleep_for(100us)) {
            try {
                raw->enqueue([] {});  // Accepted while the pool still runs.
            } catch (const std::runtime_error& error) {
                return std::string(error.what());
            }
        }
        return std::string("never refused");
    });
    destroying.set_value();
    pool.reset();
    EXPECT_EQ(refusal.get(), "enqueue on stopped ThreadPool");
}

TEST(ThreadPoolTest, FailingTaskReportsThroughItsFutureAndTheWorkerCarriesOn) {
    ThreadPool pool(1);
    auto failing = pool.enqueue([]() -> int { throw std::logic_error("bad frame"); });
    auto next = pool.enqueue([] { return 42; });
    // The worker has let go of the failed task before it runs the next one, so the exception
    // dies on this thread (sanitizers cannot see the C++ runtime's own reference counting).
    EXPECT_EQ(next.get(), 42);
    try {
        failing.get();
        FAIL() << "the task's exception was lost";
    } catch (const std::logic_error& error) {
        EXPECT_STREQ(error.what(), "bad frame");
    }
}

TEST(ThreadPoolTest, PoolWithoutWorkersBreaksThePromisesOfItsTasks) {
    std::future<bool> never;
    bool ran = false;
    {
        ThreadPool pool(0);
        never = pool.enqueue([&ran] { return ran = true; });
    }
    EXPECT_FALSE(ran);
    try {
        never.get();
        FAIL() << "expected a broken promise";
    } catch (const std::future_error& error) {
        EXPECT_EQ(error.code(), std::future_errc::broken_promise);
    }
}

TEST(ThreadPoolTest, PostedTasksOwnWhatTheyCarryAndAThrowingOneStopsNoWorker) {
    std::atomic<int> sum{0};
    {
        ThreadPool pool(1);
        pool.post([] { throw std::runtime_error("nobody listens"); });
        for (int i = 1; i <= 50; ++i)
            pool.post([value = std::make_unique<int>(i), &sum] { sum += *value; });
    }
    EXPECT_EQ(sum, 50 * 51 / 2);
}

TEST(ThreadPoolTest, PostAfterDestructionBeganThrowsAndFreesTheTask) {
    auto pool = std::make_unique<ThreadPool>(1);
    std::promise<void> destroying;
    auto owned = std::make_shared<int>(7);
    std::weak_ptr<int> watch = owned;
    auto refusal = pool->enqueue(
        [raw = pool.get(), signal = destroying.get_future(), owned = std::move(owned)]() mutable {
            signal.wait();
            for (const auto deadline = std::chrono::steady_clock::now() + 10s;
                 std::chrono::steady_clock::now() < deadline; std::this_thread::sleep_for(100us)) {
                try {
                    raw->post([] {});
                } catch (const std::runtime_error&) {
                    try {
                        raw->post([owned = std::move(owned)] {});
                    } catch (const std::runtime_error& error) {
                        return std::string(error.what());
                    }
                }
            }
            return std::string("never refused");
        });
    destroying.set_value();
    pool.reset();
    EXPECT_EQ(refusal.get(), "enqueue on stopped ThreadPool");
    EXPECT_TRUE(watch.expired()) << "a refused task kept what it carried";
}

TEST(ThreadPoolTest, AgentPoolHasTwoWorkersWhateverTheHardwareThreadCount) {
    // One per hardware thread once cost a 64-thread server 64 threads per camera.
    for (unsigned int hardwareThreads : {0u, 1u, 2u, 64u, 256u})
        EXPECT_EQ(agentPoolSize(hardwareThreads), 2u) << hardwareThreads << " hardware threads";
    ThreadPool pool(agentPoolSize(256));
    EXPECT_EQ(pool.workerCount(), 2u);
}

TEST(ThreadPoolTest, TaskWaitingOnTasksOfItsOwnPoolCompletesOnAOneThreadMachine) {
    ThreadPool pool(agentPoolSize(1));
    auto outer = pool.enqueue([&pool] {
        auto objects = pool.enqueue([] { return 2; });
        auto events = pool.enqueue([] { return 3; });
        // Bounded waits, so that a starved pool fails the test instead of hanging it.
        if (objects.wait_for(10s) != std::future_status::ready ||
            events.wait_for(10s) != std::future_status::ready)
            return -1;
        return objects.get() + events.get();
    });
    EXPECT_EQ(outer.get(), 5);
}

}  // namespace
