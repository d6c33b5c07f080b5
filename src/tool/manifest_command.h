// `qvsetup manifest`: the three winget manifests (version, installer,
// default locale; schema 1.10.0) that describe a program built with --exe,
// for a package repository or `winget install --manifest DIR`.
#pragma once

#include <optional>
#include <ostream>
#include <string>

namespace qv::tool {

struct ManifestOptions {
    std::string Script;   // the build script the program was built from
    std::string Program;  // the program (signed, if it is to be)
    std::string Url;      // where it is downloaded from
    std::string OutputFolder;
    std::optional<std::string> Id;           // Publisher.App; default: "<app>.<app>"
    std::optional<std::string> Publisher;    // default: the id's first part
    std::string License = "Proprietary";
    std::optional<std::string> Description;  // default: the name with version
    std::string Locale = "zh-CN";
};

// Writes <id>.yaml, <id>.installer.yaml and <id>.locale.<locale>.yaml
// into the folder and names them on `out`. UsageError for a value winget
// would refuse (saying which option gives another), DamagedData for a
// damaged program, IoFailure when a file cannot be read or written.
void RunManifest(const ManifestOptions& options, std::ostream& out);

}  // namespace qv::tool
