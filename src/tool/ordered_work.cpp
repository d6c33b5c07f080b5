#include "tool/ordered_work.h"

namespace qv::tool {

unsigned WorkerCount(unsigned jobs) {
    if (jobs > 0) return jobs;
    const unsigned processors = std::thread::hardware_concurrency();
    return processors > 0 ? processors : 1;
}

}  // namespace qv::tool
