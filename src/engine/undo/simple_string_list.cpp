#include "engine/undo/simple_string_list.h"

#include <algorithm>

namespace qv {

namespace {
constexpr std::size_t kGrowth = 8;
}

void TSimpleStringList::Add(const std::string& s) {
    if (count_ == slots_.size()) Resize(slots_.size() + kGrowth);
    slots_[count_++] = s;
}

void TSimpleStringList::AddUnique(const std::string& s) {
    if (!Contains(s)) Add(s);
}

void TSimpleStringList::Resize(std::size_t n) {
    slots_.resize(n);
    slots_.shrink_to_fit();
    count_ = std::min(count_, n);
}

void TSimpleStringList::Clear() {
    count_ = 0;
    Resize(0);
}

bool TSimpleStringList::Contains(const std::string& s) const { return std::find(begin(), end(), s) != end(); }

}  // namespace qv
