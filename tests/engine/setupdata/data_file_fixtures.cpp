#include "data_file_fixtures.h"

#include <windows.h>

#include <random>
#include <stdexcept>

#include "core/io/streams.h"
#include "core/setupdata/data_files.h"
#include "core/text/path_strings.h"
#include "engine/common/win_text.h"

namespace qv::test {

Bytes MixedContent(std::size_t size, std::uint32_t seed) {
    std::mt19937 random(seed);
    static const char kText[] = "QV Setup puts every file where it belongs. ";
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = (i / 512) % 2 ? static_cast<std::uint8_t>(random()) : static_cast<std::uint8_t>(kText[i % 43]);
    return bytes;
}

DataFileSet WriteDataFiles(const std::string& folder, std::uint64_t diskSize, const std::vector<Bytes>& contents) {
    DataFileSet set;
    FileDataWriter writer(folder, diskSize, 6);
    for (const Bytes& content : contents) {
        MemoryInStream in(content);
        const StoredStream stored = writer.AddStream(in);
        StoredFile file;
        file.File.OriginalSize = stored.OriginalSize;
        file.File.CompressedSize = stored.CompressedSize;
        file.File.Adler32 = stored.Adler32;
        file.Location = stored.Location;
        file.Content = content;
        set.Files.push_back(file);
    }
    set.DiskCount = writer.Finish();
    return set;
}

void MakeFolders(const std::string& folder) {
    const std::string parent = StripBackslash(ExtractFileDir(StripBackslash(folder)));
    if (!parent.empty() && GetFileAttributesW(Widen(parent).c_str()) == INVALID_FILE_ATTRIBUTES) MakeFolders(parent);
    if (!CreateDirectoryW(Widen(folder).c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        throw std::runtime_error("cannot create " + folder);
}

void MoveFileTo(const std::string& from, const std::string& to) {
    if (!MoveFileExW(Widen(from).c_str(), Widen(to).c_str(), MOVEFILE_REPLACE_EXISTING))
        throw std::runtime_error("cannot move " + from + " to " + to);
}

void RemoveFile(const std::string& path) {
    if (!DeleteFileW(Widen(path).c_str())) throw std::runtime_error("cannot delete " + path);
}

}  // namespace qv::test
