// A fixed set of worker threads taking tasks from one first-in-first-out queue.
//
// Each device agent owns one pool and runs its metadata work on it. enqueue() hands back a future
// for every task; the caller decides whether to wait on it. A task's exception is kept in its
// future, never seen by the worker. Destroying the pool runs every task already queued, then joins
// the workers; enqueueing from then on throws.
//
// Threading: enqueue() may be called from any thread, including from tasks of the same pool. A
// task that waits on other tasks of its pool occupies a worker while it waits, so such a pool
// needs at least two workers: size it with agentPoolSize(). The destructor must run on a thread
// that is not one of the pool's workers (a worker cannot join itself).
#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <queue>
#include <stdexcept>
#include <thread>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

namespace qo::vms_server_plugins::analytics::lumo {

// Workers for a device agent's pool: two, whatever the machine. An agent has at most one document
// in work and converts and delivers it in one task, so one worker does the work and the second
// keeps a task that waits on a task of its own pool from starving. More workers would only wait:
// at one per hardware thread, a 64-thread server with 512 cameras would start 32,768 threads and
// run out of them. The hardware count (0 when the machine cannot tell) is taken so that callers
// state what they size against.
inline std::size_t agentPoolSize(unsigned int /*hardwareThreads*/) {
    return 2;
}

class ThreadPool {
public:
    // Starts exactly `threads` workers. A pool of 0 accepts tasks but never runs them.
    explicit ThreadPool(uint64_t threads) {
        workers.reserve(static_cast<std::size_t>(threads));
        try {
            for (uint64_t i = 0; i < threads; ++i)
                workers.emplace_back([this] { work(); });
        } catch (...) {
            stopAndJoin();
            throw;
        }
    }

    ThreadPool(const ThreadPool&) = delete;
    ThreadPool& operator=(const ThreadPool&) = delete;

    // Runs every task queued so far, then joins the workers in the order they were started. Tasks
    // that were never run (a pool of 0) are destroyed, breaking their futures' promises.
    ~ThreadPool() { stopAndJoin(); }

    // Queues `f(args...)`. Throws std::runtime_error("enqueue on stopped ThreadPool") once the
    // destructor has begun; the task is then discarded and the pool unchanged.
    template <class F, class... Args>
    auto enqueue(F&& f, Args&&... args)
        -> std::future<std::invoke_result_t<std::decay_t<F>, std::decay_t<Args>...>> {
        using Result = std::invoke_result_t<std::decay_t<F>, std::decay_t<Args>...>;
        auto task = std::make_shared<std::packaged_task<Result()>>(
            [f = std::forward<F>(f),
             bound = std::make_tuple(std::forward<Args>(args)...)]() mutable {
                return std::apply(std::move(f), std::move(bound));
            });
        std::future<Result> result = task->get_future();
        {
            std::lock_guard<std::mutex> lock(queueMutex);
            if (stop)
                throw std::runtime_error("enqueue on stopped ThreadPool");
            tasks.emplace([task] { (*task)(); });
        }
        condition.notify_one();
        return result;
    }

    std::size_t workerCount() const { return workers.size(); }

private:
    void work() {
        for (;;) {
            std::function<void()> task;
            {
                std::unique_lock<std::mutex> lock(queueMutex);
                condition.wait(lock, [this] { return stop || !tasks.empty(); });
                if (stop && tasks.empty())
                    return;
                task = std::move(tasks.front());
                tasks.pop();
            }
            task();
        }
    }

    void stopAndJoin() {
        {
            std::lock_guard<std::mutex> lock(queueMutex);
            stop = true;
        }
        condition.notify_all();
        for (std::thread& worker : workers) {
            if (worker.joinable())
                worker.join();
        }
    }

    std::vector<std::thread> workers;         // written only by the constructor
    std::queue<std::function<void()>> tasks;  // guarded by queueMutex
    std::mutex queueMutex;
    std::condition_variable condition;  // signalled on a new task and on stop
    bool stop = false;                  // guarded by queueMutex; set once, by the destructor
};

}  // namespace qo::vms_server_plugins::analytics::lumo
