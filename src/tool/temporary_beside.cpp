#include "tool/temporary_beside.h"

#include <random>
#include <utility>

#include "core/errors.h"

namespace qv::tool {

TemporaryBeside::TemporaryBeside(TemporaryBeside&& other) noexcept
    : folder_(std::move(other.folder_)), temporary_(std::exchange(other.temporary_, {})) {}

TemporaryBeside& TemporaryBeside::operator=(TemporaryBeside&& other) noexcept {
    if (this != &other) {
        Remove();
        folder_ = std::move(other.folder_);
        temporary_ = std::exchange(other.temporary_, {});
    }
    return *this;
}

TemporaryBeside::~TemporaryBeside() { Remove(); }

void TemporaryBeside::Remove() noexcept {
    if (folder_ && !temporary_.empty()) folder_->Remove(temporary_);
    temporary_.clear();
}

std::unique_ptr<NewFile> TemporaryBeside::Create(FolderWay::Held folder, const std::string& name) {
    Remove();
    folder_ = std::move(folder);
    thread_local std::mt19937 random(std::random_device{}());
    for (int attempt = 0;; ++attempt) {
        std::string candidate = "." + name + ".partial" + std::to_string(random() % 1000000);
        try {
            std::unique_ptr<NewFile> file = folder_->CreateNew(candidate);
            temporary_.swap(candidate);  // cannot fail: the file is never left unowned
            return file;
        } catch (const EInOutError&) {
            // Asked only after a refusal, which is rare: a name taken (left
            // by a run that was killed, or planted) is passed over.
            if (attempt < 100 && folder_->KindOf(candidate) != PathKind::Missing) continue;
            throw;
        }
    }
}

bool TemporaryBeside::SetLocalTime(std::uint64_t localFileTime) const {
    return folder_->SetLocalTime(temporary_, localFileTime);
}

void TemporaryBeside::MoveTo(const std::string& name) {
    folder_->MoveReplacing(temporary_, name);
    temporary_.clear();
}

}  // namespace qv::tool
