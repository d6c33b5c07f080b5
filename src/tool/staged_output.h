// Output that appears whole or not at all: it is written beside its place
// and moved there at the end, so a failed build leaves nothing behind.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace qv::tool {

// A folder of output files (SETUP.0, SETUP.1, ...). Files are written into a
// hidden staging folder inside the target folder; Commit moves them in.
class StagedFolder {
public:
    explicit StagedFolder(const std::filesystem::path& target);
    ~StagedFolder();
    StagedFolder(const StagedFolder&) = delete;
    StagedFolder& operator=(const StagedFolder&) = delete;

    const std::filesystem::path& Staging() const { return staging_; }
    // Moves the named files into the target folder, replacing files of the
    // same name, and removes data files SETUP.n of an earlier, longer build
    // (those past the last one moved in).
    void Commit(const std::vector<std::string>& names);

private:
    std::filesystem::path target_;
    std::filesystem::path staging_;
    bool createdTarget_ = false;
    bool committed_ = false;
};

// One output file, written under a temporary name beside it.
class StagedFile {
public:
    explicit StagedFile(const std::filesystem::path& target);
    ~StagedFile();
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    const std::filesystem::path& Temporary() const { return temporary_; }
    void Commit();

private:
    std::filesystem::path target_;
    std::filesystem::path temporary_;
    bool committed_ = false;
};

// A name beside `target` that nothing uses yet: target's name, a suffix and
// a random number.
std::filesystem::path UnusedNameBeside(const std::filesystem::path& target, const std::string& suffix);

}  // namespace qv::tool
