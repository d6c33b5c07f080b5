// Work on many items by several threads, handed back in the items' order:
// the threads run ahead of the caller, which takes each result in turn on
// its own thread (writing output, drawing progress). What runs ahead is
// bounded by a budget of bytes, so that memory does not grow with the
// input, and the first failure in the items' order is the one reported,
// whatever the threads did after it.
#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace qv::tool {

// Files up to this size are held whole in memory while they are compressed
// or decompressed; larger ones stream through fixed buffers.
constexpr std::uint64_t kWholeFileLimit = std::uint64_t{32} << 20;

// The worker threads for `jobs` (0: one per processor).
unsigned WorkerCount(unsigned jobs);

// The bytes that the threads may hold ahead of the caller: room for the
// largest whole file and a little more for each thread.
inline std::uint64_t WorkBudget(unsigned workers) {
    return std::max<std::uint64_t>(2 * kWholeFileLimit, std::uint64_t{workers} * (8 << 20));
}

// For each i in [0, count): `work(i)` on one of `workers` threads, then
// `take(i, result)` on the calling thread, in the order of i. `cost(i)` is
// what item i holds in memory until it is taken; an item whose cost alone
// exceeds the budget waits until nothing else is held. With one worker
// everything runs on the calling thread, item after item. An exception of
// `work(i)` passes out of RunInOrder when item i's turn comes; one of
// `take` passes at once. Either way every thread has ended before.
template <typename Result>
void RunInOrder(std::size_t count, unsigned workers, std::uint64_t budget,
                const std::function<std::uint64_t(std::size_t)>& cost,
                const std::function<Result(std::size_t)>& work,
                const std::function<void(std::size_t, Result&)>& take) {
    if (workers <= 1 || count <= 1) {
        for (std::size_t i = 0; i < count; ++i) {
            Result result = work(i);
            take(i, result);
        }
        return;
    }

    struct Slot {
        std::optional<Result> Done;
        std::exception_ptr Failure;
        bool Finished = false;
    };
    std::vector<Slot> slots(count);
    std::mutex mutex;
    std::condition_variable changed;
    std::size_t nextToClaim = 0;
    std::uint64_t held = 0;
    bool stopping = false;

    const auto worker = [&] {
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            changed.wait(lock, [&] {
                return stopping || nextToClaim == count || held == 0 || held + cost(nextToClaim) <= budget;
            });
            if (stopping || nextToClaim == count) return;
            const std::size_t i = nextToClaim++;
            held += cost(i);
            lock.unlock();
            Slot finished;
            try {
                finished.Done.emplace(work(i));
            } catch (...) {
                finished.Failure = std::current_exception();
            }
            lock.lock();
            slots[i].Done = std::move(finished.Done);
            slots[i].Failure = finished.Failure;
            slots[i].Finished = true;
            changed.notify_all();
        }
    };

    std::vector<std::thread> threads;
    // Stops and joins the threads on every way out, also when `take` throws.
    struct Joiner {
        std::vector<std::thread>& threads;
        std::mutex& mutex;
        std::condition_variable& changed;
        bool& stopping;
        ~Joiner() {
            {
                std::lock_guard<std::mutex> lock(mutex);
                stopping = true;
            }
            changed.notify_all();
            for (auto& thread : threads) thread.join();
        }
    } joiner{threads, mutex, changed, stopping};
    for (unsigned n = 0; n < workers; ++n) threads.emplace_back(worker);

    for (std::size_t i = 0; i < count; ++i) {
        std::optional<Result> result;
        {
            std::unique_lock<std::mutex> lock(mutex);
            changed.wait(lock, [&] { return slots[i].Finished; });
            if (slots[i].Failure) std::rethrow_exception(slots[i].Failure);
            result = std::move(slots[i].Done);
            slots[i].Done.reset();
        }
        take(i, *result);
        result.reset();
        {
            std::lock_guard<std::mutex> lock(mutex);
            held -= cost(i);
        }
        changed.notify_all();
    }
}

}  // namespace qv::tool
