#include "tool/staged_output.h"

#include <random>
#include <system_error>

#include "tool/platform.h"
#include "tool/tool_errors.h"

namespace qv::tool {

fs::path UnusedNameBeside(const fs::path& target, const std::string& suffix) {
    static std::mt19937 random(std::random_device{}());
    const fs::path folder = target.parent_path();
    for (;;) {
        const fs::path candidate =
            folder / PathFromUtf8("." + PathToUtf8(target.filename()) + suffix + std::to_string(random() % 1000000));
        std::error_code error;
        if (!fs::exists(fs::symlink_status(candidate, error))) return candidate;
    }
}

StagedFolder::StagedFolder(const fs::path& target) : target_(target) {
    std::error_code error;
    if (!fs::exists(target_, error)) {
        fs::create_directories(target_, error);
        if (error) throw IoFailure("cannot create the folder '" + PathToUtf8(target_) + "': " + error.message());
        createdTarget_ = true;
    } else if (!fs::is_directory(target_, error)) {
        throw IoFailure("'" + PathToUtf8(target_) + "' is not a folder");
    }
    staging_ = UnusedNameBeside(target_ / "SETUP", ".staging");
    fs::create_directory(staging_, error);
    if (error) throw IoFailure("cannot create the folder '" + PathToUtf8(staging_) + "': " + error.message());
}

StagedFolder::~StagedFolder() {
    std::error_code ignored;
    fs::remove_all(staging_, ignored);
    if (createdTarget_ && !committed_) fs::remove(target_, ignored);  // only when empty again
}

void StagedFolder::Commit(const std::vector<std::string>& names) {
    int lastDataFile = 0;
    for (const auto& name : names) {
        MoveReplacing(staging_ / PathFromUtf8(name), target_ / PathFromUtf8(name));
        if (name.rfind("SETUP.", 0) == 0 && name != "SETUP.0") lastDataFile = std::max(lastDataFile, std::stoi(name.substr(6)));
    }
    committed_ = true;
    // Data files past the last one belong to an earlier build; left there,
    // they would look like part of this one.
    for (int n = lastDataFile + 1;; ++n) {
        std::error_code error;
        if (!fs::remove(target_ / ("SETUP." + std::to_string(n)), error)) break;
    }
}

StagedFile::StagedFile(const fs::path& target)
    : target_(target), temporary_(UnusedNameBeside(target, ".partial")) {}

StagedFile::~StagedFile() {
    if (committed_) return;
    std::error_code ignored;
    fs::remove(temporary_, ignored);
}

void StagedFile::Commit() {
    MoveReplacing(temporary_, target_);
    committed_ = true;
}

}  // namespace qv::tool
