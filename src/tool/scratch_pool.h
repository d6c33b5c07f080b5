// Memory that work items on any thread reuse: an item takes a piece, uses
// it and gives it back, so that each file does not cost memory the system
// maps and clears anew. At most one piece per thread that works at once.
//
// Instead of thread_local: on MinGW a thread_local object with a destructor
// is destroyed at thread exit after the emulated TLS may have freed its
// storage, and its destructor then frees whatever that memory holds by
// then (seen as a fault in the heap's free at the end of qvsetup.exe's
// worker threads). A pool lives in an ordinary object or static, which
// outlives the threads that use it.
#pragma once

#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace qv::tool {

template <class Piece>
class ScratchPool {
public:
    // A piece taken from the pool, given back when this goes.
    class Lease {
    public:
        Lease(ScratchPool& pool, std::unique_ptr<Piece> piece) : pool_(pool), piece_(std::move(piece)) {}
        ~Lease() { pool_.GiveBack(std::move(piece_)); }
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;

        Piece& operator*() const { return *piece_; }
        Piece* operator->() const { return piece_.get(); }

    private:
        ScratchPool& pool_;
        std::unique_ptr<Piece> piece_;
    };

    Lease Take() {
        std::unique_ptr<Piece> piece;
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            if (!free_.empty()) {
                piece = std::move(free_.back());
                free_.pop_back();
            }
        }
        if (!piece) piece = std::make_unique<Piece>();
        return Lease(*this, std::move(piece));
    }

private:
    void GiveBack(std::unique_ptr<Piece> piece) noexcept {
        const std::lock_guard<std::mutex> lock(mutex_);
        try {
            free_.push_back(std::move(piece));
        } catch (...) {
            // Without room to keep it the piece is freed: the next item makes one.
        }
    }

    std::mutex mutex_;
    std::vector<std::unique_ptr<Piece>> free_;
};

}  // namespace qv::tool
