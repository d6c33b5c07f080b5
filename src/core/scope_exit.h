// Runs a clean-up when the scope ends, on every path, for the one-off
// clean-ups that do not deserve an owner type of their own.
//
//   const ScopeExit restore([&] { SetCursor(old); });
//
// The clean-up must not throw: it runs during unwinding too.
#pragma once

#include <utility>

namespace qv {

template <typename CleanUp>
class [[nodiscard]] ScopeExit {
public:
    explicit ScopeExit(CleanUp cleanUp) noexcept : cleanUp_(std::move(cleanUp)) {}
    ~ScopeExit() {
        if (armed_) cleanUp_();
    }
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;

    // The clean-up will not run.
    void Dismiss() noexcept { armed_ = false; }

private:
    CleanUp cleanUp_;
    bool armed_ = true;
};

}  // namespace qv
