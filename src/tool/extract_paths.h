// Where `extract` puts a file: the destination path of the setup data under
// the extraction folder, each directory constant becoming a folder name
// ({app}\bin\x.dll -> app/bin/x.dll). Paths that would land outside the
// folder are refused.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace qv::tool {

struct MappedPath {
    std::vector<std::string> Parts;  // folder names and the file name, UTF-8
    std::string Refusal;             // why the path is refused; empty when it is not
};

MappedPath MapDestination(const std::string& destPath);

// Where the engine puts a file with ffUninstallData in an empty folder.
constexpr const char* kUninstallDataPath = "{app}\\UNINST0.000";

}  // namespace qv::tool
