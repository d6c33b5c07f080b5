// Data files for the tests of the setup data layer, written by the core's
// writer into scratch folders, and moved about as a user copies disks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/setupdata/records.h"

namespace qv::test {

using Bytes = std::vector<std::uint8_t>;

// Half noise, half repeated text: compresses to about half its size.
Bytes MixedContent(std::size_t size, std::uint32_t seed);

struct StoredFile {
    TFileRec File;
    TFileLocationRec Location;
    Bytes Content;
};

// The contents written as data files SETUP.1, SETUP.2, ... of at most
// `diskSize` bytes into `folder`.
struct DataFileSet {
    std::vector<StoredFile> Files;
    int DiskCount = 0;
};
DataFileSet WriteDataFiles(const std::string& folder, std::uint64_t diskSize, const std::vector<Bytes>& contents);

// Creates `folder` and the folders above it.
void MakeFolders(const std::string& folder);
void MoveFileTo(const std::string& from, const std::string& to);
void RemoveFile(const std::string& path);

}  // namespace qv::test
