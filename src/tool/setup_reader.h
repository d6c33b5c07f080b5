// Reading existing setup data for list, verify and extract: where it lies,
// loading it with damage reported by item, and reading each file's stream
// through the core's extractor, its failures worded for the author.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/setupdata/data_files.h"
#include "core/setupdata/program_payload.h"
#include "core/setupdata/setup_data.h"
#include "core/setupdata/solid_reader.h"
#include "tool/positional_file.h"

namespace qv::tool {

struct SetupLocation {
    std::filesystem::path SetupFile;  // SETUP.0, or the /SL file
    std::filesystem::path Folder;     // where data files SETUP.n are looked for
    std::uint64_t DataOffset = 0;
    // Not 0: the file data lies in SetupFile from this offset (the /SL form).
    std::int32_t FileDataOffset = 0;
    // SetupFile is a program built with --exe: its locator, which gave the offsets.
    std::optional<PayloadLocator> Program;
};

// PATH is a folder holding SETUP.0, a setup data file, or a program that
// carries its payload (whose locator gives the offsets); `sl` gives the
// /SL offsets (data offset, file data offset) of a single file.
SetupLocation LocateSetup(const std::string& path, const std::optional<std::pair<std::int64_t, std::int64_t>>& sl);

struct LoadedSetup {
    SetupLocation Where;
    SetupData Data;
    std::uint64_t EndOffset = 0;  // the first byte after the setup data
};

// Raises DamagedData naming the damaged item and its offset, IoFailure when
// the file cannot be read.
LoadedSetup LoadSetup(const SetupLocation& where);

// The sources of the file streams: data files SETUP.n beside the setup
// data, or in ..\DISKn as the engine also looks, or the /SL file. Opening
// only finds and opens; the core checks what it reads.
class DataFiles : public DataFileOpener {
public:
    explicit DataFiles(const LoadedSetup& setup) : where_(setup.Where), setupDataEnd_(setup.EndOffset) {}
    // IoFailure when SETUP.n is in neither place or cannot be opened.
    std::unique_ptr<InStream> OpenDataFile(int diskNumber) override;
    std::unique_ptr<InStream> OpenSlDataFile() override;

    // Opens data file n and checks its header; DamagedData or IoFailure
    // naming the file.
    void CheckDataFile(int diskNumber);

    // The path of the source that a failure names, as opened.
    std::string PathOf(const SourceFailure& failure) const;

private:
    SetupLocation where_;
    std::uint64_t setupDataEnd_;
    // Threads read files side by side: the paths they opened are shared.
    mutable std::mutex mutex_;
    std::map<int, std::filesystem::path> opened_;
    std::map<int, std::shared_ptr<const PositionalFile>> held_;
    std::shared_ptr<const PositionalFile> slFile_;
};

// "file #3 ({app}\x.dll)": a file record for messages (index from 0).
std::string FileItemName(const SetupData& data, std::size_t index);

// Decompresses file `index` into `sink` through the core's extractor, with
// every check of the engine. Raises DamagedData naming the file and what
// is wrong, IoFailure when a source cannot be found or read; failures of
// `sink` pass as EInOutError.
void ReadFileStream(const LoadedSetup& setup, DataFiles& dataFiles, std::size_t index, OutStream& sink,
                    const std::function<void(std::size_t)>& onRead = {});

// Setup data in solid blocks: ReadFileStream through `reader`, which
// keeps its block open from file to file, so that files taken in the order
// of their members decode each block once.
void ReadSolidFile(const LoadedSetup& setup, DataFiles& dataFiles, SolidBlockReader& reader, std::size_t index,
                   OutStream& sink, const std::function<void(std::size_t)>& onRead = {});

// The files of solid setup data in the order that reads each block once:
// by block (its place in the file data), then by member. Files that read
// the same member with the same record form one group, read once.
struct SolidGroup {
    std::vector<std::size_t> Files;  // Files[0]'s record checks the member
};
std::vector<std::vector<SolidGroup>> SolidReadingOrder(const SetupData& data);

// True when file `index` is small enough to be read whole (ReadWholeFile).
bool ReadsWhole(const TFileRec& file);
// ReadFileStream into memory, the file decompressed in one call: the same
// checks and the same worded failures. Safe on several threads at once
// over one DataFiles.
void ReadWholeFile(const LoadedSetup& setup, DataFiles& dataFiles, std::size_t index,
                   std::vector<std::uint8_t>& contents);
// The same into `contents`, room for the file's OriginalSize bytes.
void ReadWholeFile(const LoadedSetup& setup, DataFiles& dataFiles, std::size_t index, std::uint8_t* contents);

}  // namespace qv::tool
