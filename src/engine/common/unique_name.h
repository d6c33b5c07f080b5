// Free names "qv-" + five base-32 digits + extension, for the private
// temporary folder and for temporary files.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace qv {

constexpr std::uint32_t kUniqueNameCount = 1u << 25;  // five base-32 digits

// A path in `dir` that names no existing file or folder, starting the
// search at a random number. Raises an exception when every name is taken.
std::string MakeUniqueName(const std::string& dir, const std::string& extension);
// The same with the caller's test of whether a name is taken.
std::string MakeUniqueName(const std::string& dir, const std::string& extension,
                           const std::function<bool(const std::string&)>& exists);

// The search itself: tries the numbers after `start` (wrapping after the
// last one, never `start` itself) until `exists` is false for a name.
std::string FindUniqueName(const std::string& dir, const std::string& extension, std::uint32_t start,
                           const std::function<bool(const std::string&)>& exists);

// Seeds the random start from the system clock (once per run, at start-up).
void SeedUniqueNames();

}  // namespace qv
