#include "tool/progress_bar.h"

#include <algorithm>
#include <cstdio>

namespace qv::tool {

namespace {
constexpr int kBarWidth = 30;
// Redrawing more often only costs time.
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
}  // namespace

ProgressBar::ProgressBar(std::ostream& out, bool enabled, std::string label, std::uint64_t total)
    : out_(out), enabled_(enabled), label_(std::move(label)), total_(total),
      start_(std::chrono::steady_clock::now()), lastDrawn_(start_) {}

ProgressBar::~ProgressBar() { Finish(); }

void ProgressBar::Set(std::uint64_t done) {
    done_ = done;
    if (!enabled_) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - lastDrawn_ < kRedrawInterval) return;
    lastDrawn_ = now;
    Draw();
}

void ProgressBar::Draw() {
    const double fraction = total_ ? std::min(1.0, static_cast<double>(done_) / static_cast<double>(total_)) : 1.0;
    const int filled = static_cast<int>(fraction * kBarWidth);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    const double rate = seconds > 0 ? static_cast<double>(done_) / 1e6 / seconds : 0;
    char line[160];
    std::snprintf(line, sizeof line, "\r%-8s [%s%s] %3d%% %8.1f MB/s", label_.c_str(),
                  std::string(static_cast<std::size_t>(filled), '#').c_str(),
                  std::string(static_cast<std::size_t>(kBarWidth - filled), '.').c_str(),
                  static_cast<int>(fraction * 100), rate);
    out_ << line << std::flush;
    drawn_ = true;
}

void ProgressBar::Finish() {
    if (!drawn_) return;
    out_ << '\r' << std::string(label_.size() + kBarWidth + 30, ' ') << '\r' << std::flush;
    drawn_ = false;
}

}  // namespace qv::tool
