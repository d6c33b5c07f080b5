// The folders on the way to the files that extract writes, each held from
// the output folder down (held_folder.h), for several threads at once.
// A folder stays held while anyone keeps what FolderOf gave for it or for
// a folder under it, and the last one asked for stays held besides: the
// next file most often lies beside the last. The others are let go, so
// that a large tree does not keep a handle open for every folder.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "tool/held_folder.h"

namespace qv::tool {

class FolderWay {
public:
    using Held = std::shared_ptr<const HeldFolder>;

    // IoFailure when the output folder cannot be made or opened.
    explicit FolderWay(const fs::path& root);

    // The folder that holds the file of `parts` (all but the last name a
    // folder), each made when missing; refuses to pass through a link or
    // junction, which could lead anywhere (DamagedData naming `item`), or a
    // file (IoFailure). Safe on several threads at once.
    Held FolderOf(const std::vector<std::string>& parts, const std::string& item);
    // Lets go of the last folder asked for; those still kept stay held.
    void LetGo();
    // After a failure, with nothing kept: removes the folders this way made
    // that hold nothing, so that files written ahead of a damaged one leave
    // no folders behind either. Folders that were there, or that hold
    // anything now, stay.
    void RemoveEmptyMade() noexcept;

private:
    // A held folder keeps its parent held, and so on up to the root.
    struct Node {
        HeldFolder Folder;
        std::shared_ptr<const Node> Parent;
    };

    std::mutex mutex_;
    std::shared_ptr<Node> root_;
    // Keys are the names on the way, each ended by a zero byte, which no
    // name holds.
    std::map<std::string, std::weak_ptr<const Node>> known_;
    std::size_t sweepAt_ = 64;
    Held last_;
    std::vector<fs::path> made_;  // parents before the folders in them
};

}  // namespace qv::tool
