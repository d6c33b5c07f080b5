#include "tool/folder_way.h"

#include <iterator>
#include <system_error>
#include <utility>

#include "tool/tool_errors.h"

namespace qv::tool {

FolderWay::FolderWay(const fs::path& root) : root_(std::make_shared<Node>()) {
    root_->Folder = HeldFolder::OpenRoot(root);
}

FolderWay::Held FolderWay::FolderOf(const std::vector<std::string>& parts, const std::string& item) {
    const std::lock_guard<std::mutex> lock(mutex_);
    std::shared_ptr<const Node> parent = root_;
    std::string key;
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        key += parts[i] + '\0';
        std::weak_ptr<const Node>& known = known_[key];
        std::shared_ptr<const Node> node = known.lock();
        if (!node) {
            auto sub = std::make_shared<Node>();
            sub->Parent = parent;
            bool made = false;
            const PathKind kind = parent->Folder.OpenSub(parts[i], sub->Folder, &made);
            if (made) made_.push_back(parent->Folder.Path() / PathFromUtf8(parts[i]));
            switch (kind) {
            case PathKind::Link:
                throw DamagedData("refused: " + item + " would be written through the link '" +
                                  PathToUtf8(parent->Folder.Path() / PathFromUtf8(parts[i])) + "'");
            case PathKind::File:
                throw IoFailure("cannot extract " + item + ": '" +
                                PathToUtf8(parent->Folder.Path() / PathFromUtf8(parts[i])) +
                                "' is a file, not a folder");
            default: break;
            }
            known = sub;
            node = std::move(sub);
        }
        parent = std::move(node);
    }
    // Names of folders let go are forgotten now and then, so that the map
    // stays as small as what is held.
    if (known_.size() >= sweepAt_) {
        for (auto it = known_.begin(); it != known_.end();)
            it = it->second.expired() ? known_.erase(it) : std::next(it);
        sweepAt_ = 2 * known_.size() + 64;
    }
    last_ = Held(parent, &parent->Folder);
    return last_;
}

void FolderWay::LetGo() {
    const std::lock_guard<std::mutex> lock(mutex_);
    last_.reset();
}

void FolderWay::RemoveEmptyMade() noexcept {
    LetGo();
    // Deepest first; a folder that holds anything is refused and stays,
    // and whatever was swapped in at the name meanwhile is not the way's.
    for (auto it = made_.rbegin(); it != made_.rend(); ++it) {
        std::error_code error;
        if (fs::symlink_status(*it, error).type() == fs::file_type::directory) fs::remove(*it, error);
    }
}

}  // namespace qv::tool
