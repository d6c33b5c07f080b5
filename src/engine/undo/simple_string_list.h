// A minimal list of strings that grows eight slots at a time: the folders
// one undo run removed and the folders whose contents the shell is told to
// re-read at its end.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace qv {

class TSimpleStringList {
public:
    // Into slot Count; the slots grow by eight when all are taken.
    void Add(const std::string& s);
    // Add, unless one of the strings equals `s` byte for byte: two paths
    // that differ in letter case are two strings.
    void AddUnique(const std::string& s);
    // Makes `n` slots; new ones start empty. Strings in slots beyond `n`
    // are released and Count shrinks with them.
    void Resize(std::size_t n);
    // Releases every string and slot.
    void Clear();

    bool Contains(const std::string& s) const;
    std::size_t Count() const { return count_; }
    std::size_t Capacity() const { return slots_.size(); }
    const std::string& operator[](std::size_t index) const { return slots_.at(index); }
    // The Count strings held, in the order added.
    auto begin() const { return slots_.begin(); }
    auto end() const { return slots_.begin() + static_cast<std::ptrdiff_t>(count_); }

private:
    std::vector<std::string> slots_;  // Capacity slots, the first Count in use
    std::size_t count_ = 0;
};

}  // namespace qv
