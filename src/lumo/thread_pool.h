// A fixed set of worker threads taking tasks from one first-in-first-out queue.
//
// Each device agent owns one pool and runs its metadata work on it. enqueue() hands back a future
// for every task; the caller decides whether to wait on it. A task's exception is kept in its
// future, never seen by the worker. post() queues a task nobody waits for, without the future's
// cost: completing a future wakes its waiters with a system call even when there are none, once
// per task. Destroying the pool runs every task already queued, then joins the workers; queueing
// from then on throws.
//
// Idle workers sleep on a semaphore rather than a condition variable: a worker woken from a
// condition variable takes the queue's mutex back marked as contended, and so makes a second,
// useless wake-up system call when it lets go of it, once per task.
//
// Threading: enqueue() and post() may be called from any thread, including from tasks of the
// same pool. A task that waits on other tasks of its pool occupies a worker while it waits, so
// such a pool needs at least two workers: size it with agentPoolSize(). The destructor must run
// on a thread that is not one of the pool's workers (a worker cannot join itself).
#pragma once

#include <semaphore.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <future>
#include <memory>
#include <mutex>
#include <queue>
#include <stdexcept>
#include <system_error>
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
        if (sem_init(&available, 0, 0) != 0)
            throw std::system_error(errno, std::generic_category(), "sem_init");
        workers.reserve(static_cast<std::size_t>(threads));
        try {
            for (uint64_t i = 0; i < threads; ++i)
                workers.emplace_back([this] { work(); });
        } catch (...) {
            stopAndJoin();
            sem_destroy(&available);
            throw;
        }
    }

    ThreadPool(const ThreadPool&) = delete;
    ThreadPool& operator=(const ThreadPool&) = delete;

    // Runs every task queued so far, then joins the workers in the order they were started. Tasks
    // that were never run (a pool of 0) are destroyed, breaking their futures' promises.
    ~ThreadPool() {
        stopAndJoin();
        sem_destroy(&available);
    }

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
        push(makeTask([task] { (*task)(); }));
        return result;
    }

    // Queues `f()` without a future; an exception it throws is dropped. Refused like enqueue().
    template <class F>
    void post(F&& f) {
        push(makeTask([f = std::forward<F>(f)]() mutable {
            try {
                f();
            } catch (...) {
                // Nobody waits for the task, so nobody could be told.
            }
        }));
    }

    std::size_t workerCount() const { return workers.size(); }

private:
    // A queued callable; unlike std::function it may own what cannot be copied, such as a
    // document.
    struct Task {
        virtual ~Task() = default;
        virtual void run() = 0;
    };
    template <class F>
    static std::unique_ptr<Task> makeTask(F&& f) {
        struct Callable : Task {
            explicit Callable(F&& f) : f(std::forward<F>(f)) {}
            void run() override { f(); }
            std::decay_t<F> f;
        };
        return std::make_unique<Callable>(std::forward<F>(f));
    }

    void push(std::unique_ptr<Task> task) {
        {
            std::lock_guard<std::mutex> lock(queueMutex);
            if (stop)
                throw std::runtime_error("enqueue on stopped ThreadPool");
            tasks.push(std::move(task));
        }
        sem_post(&available);
    }

    void work() {
        for (;;) {
            while (sem_wait(&available) != 0) {
                // Interrupted by a signal: wait again.
            }
            std::unique_ptr<Task> task;
            {
                std::lock_guard<std::mutex> lock(queueMutex);
                // Every wake-up is one queued task or, once stopping, one worker's leave to end;
                // queued tasks go first.
                if (tasks.empty())
                    return;
                task = std::move(tasks.front());
                tasks.pop();
            }
            task->run();
        }
    }

    void stopAndJoin() {
        {
            std::lock_guard<std::mutex> lock(queueMutex);
            stop = true;
        }
        for (std::size_t i = 0; i < workers.size(); ++i)
            sem_post(&available);
        for (std::thread& worker : workers) {
            if (worker.joinable())
                worker.join();
        }
    }

    std::vector<std::thread> workers;         // written only by the constructor
    std::queue<std::unique_ptr<Task>> tasks;  // guarded by queueMutex
    std::mutex queueMutex;
    sem_t available;    // one count per queued task, and one per worker once stopping
    bool stop = false;  // guarded by queueMutex; set once, by the destructor
};

}  // namespace qo::vms_server_plugins::analytics::lumo
