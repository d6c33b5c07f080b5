// [setup] sign: the author's signing command, which the build runs on each
// program it ships: the uninstaller before it is carried, then the program
// that --exe writes. In the command, {in} stands for the file to sign and
// {out} for where the signed file must be written; it runs in the system's
// shell (sh on Linux, cmd on Windows), so it may use environment variables
// for secrets.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "tool/script.h"

namespace qv::tool {

// A signed copy, removed with the object.
class SignedCopy {
public:
    explicit SignedCopy(std::filesystem::path path) : path_(std::move(path)) {}
    ~SignedCopy();
    SignedCopy(const SignedCopy&) = delete;
    SignedCopy& operator=(const SignedCopy&) = delete;
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

// Runs `command` on `file` (`what` names it in messages); the signed copy
// is written beside `copyBeside` (the same folder lets it be moved in
// place). UsageError when the command fails or writes no file.
std::unique_ptr<SignedCopy> SignFile(const std::string& command, const std::filesystem::path& file,
                                     const std::filesystem::path& copyBeside, const std::string& what);

// Signs the uninstaller that `script` carries (its file to {win}\UNISTB32.EXE or UNISTB64.EXE)
// into the temporary folder and makes the build carry the signed copy;
// nullptr when it carries none.
std::unique_ptr<SignedCopy> SignCarriedUninstaller(BuildScript& script, const std::string& command);

}  // namespace qv::tool
