// A one-line progress bar for long work, drawn on standard error only when
// that is a terminal; elsewhere it prints nothing at all.
#pragma once

#include <chrono>
#include <cstdint>
#include <ostream>
#include <string>

namespace qv::tool {

class ProgressBar {
public:
    ProgressBar(std::ostream& out, bool enabled, std::string label, std::uint64_t total);
    ~ProgressBar();
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    void Advance(std::uint64_t amount) { Set(done_ + amount); }
    void Set(std::uint64_t done);
    // Clears the line, so that what is printed next starts clean.
    void Finish();

private:
    void Draw();

    std::ostream& out_;
    bool enabled_;
    std::string label_;
    std::uint64_t total_;
    std::uint64_t done_ = 0;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point lastDrawn_;
    bool drawn_ = false;
};

}  // namespace qv::tool
