#include "tool/setup_reader.h"

#include <algorithm>
#include <cstdio>
#include <new>
#include <tuple>

#include "core/errors.h"
#include "core/setupdata/records.h"
#include "tool/exe_payload.h"
#include "tool/ordered_work.h"
#include "tool/platform.h"
#include "tool/scratch_pool.h"
#include "tool/tool_errors.h"
#include "tool/whole_codec.h"

namespace qv::tool {

namespace {

std::string Hex32(std::uint32_t value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%08X", value);
    return buffer;
}

std::shared_ptr<const PositionalFile> OpenShared(const fs::path& path) {
    try {
        return PositionalFile::Open(path);
    } catch (const EInOutError& error) {
        throw IoFailure("cannot open '" + PathToUtf8(path) + "': " + error.what());
    }
}

std::unique_ptr<FileInStream> OpenForReading(const fs::path& path) {
    try {
        return std::make_unique<FileInStream>(PathToUtf8(path));
    } catch (const EInOutError& error) {
        throw IoFailure("cannot open '" + PathToUtf8(path) + "': " + error.what());
    }
}

// The item of the setup data that the core's reader names before reading it.
std::string ItemName(const std::string& kind, std::int32_t index) {
    if (kind == "LicenseText") return "the licence text";
    if (kind == "InfoBeforeText") return "the information-before text";
    if (kind == "InfoAfterText") return "the information-after text";
    static const std::pair<const char*, const char*> records[] = {
        {"TDirRec", "dir"}, {"TFileRec", "file"}, {"TFileLocationRec", "file location"},
        {"TIconRec", "icon"}, {"TIniRec", "ini"}, {"TRegistryRec", "registry"},
        {"TUninstallDeleteRec", "uninstall-delete"}, {"TRunRec", "run"}};
    if (kind == "FileMembers") return "the member table of the solid blocks";
    for (const auto& [type, name] : records)
        if (kind == type) return std::string(name) + " record #" + std::to_string(index + 1) + " (" + type + ")";
    return kind;
}

}  // namespace

SetupLocation LocateSetup(const std::string& path, const std::optional<std::pair<std::int64_t, std::int64_t>>& sl) {
    SetupLocation where;
    const fs::path given = PathFromUtf8(path);
    std::error_code error;
    const auto status = fs::status(given, error);
    if (!fs::exists(status)) throw IoFailure("cannot open '" + path + "': it does not exist");
    if (fs::is_directory(status)) {
        if (sl) throw UsageError("--sl needs the file that holds the setup data, not the folder '" + path + "'");
        where.SetupFile = given / "SETUP.0";
        where.Folder = given;
    } else {
        where.SetupFile = given;
        where.Folder = given.parent_path().empty() ? fs::path(".") : given.parent_path();
    }
    if (!sl && !fs::is_directory(status)) {
        if ((where.Program = ReadProgramPayload(given))) {
            where.DataOffset = static_cast<std::uint64_t>(where.Program->SetupDataOffset);
            where.FileDataOffset = where.Program->FileDataOffset;
        }
    }
    if (sl) {
        if (sl->first < 0 || sl->first > 0x7FFFFFFF || sl->second < 0 || sl->second > 0x7FFFFFFF)
            throw UsageError("the --sl offsets must lie between 0 and 2147483647");
        where.DataOffset = static_cast<std::uint64_t>(sl->first);
        where.FileDataOffset = static_cast<std::int32_t>(sl->second);
    }
    return where;
}

LoadedSetup LoadSetup(const SetupLocation& where) {
    LoadedSetup setup;
    setup.Where = where;
    const std::string name = PathToUtf8(where.SetupFile);
    const auto in = OpenForReading(where.SetupFile);
    if (where.DataOffset > in->Size())
        throw DamagedData(name + ": the setup data offset " + std::to_string(where.DataOffset) +
                          " lies past the end of the file (" + std::to_string(in->Size()) + " bytes)");
    std::string item = "the signature";
    std::uint64_t itemOffset = where.DataOffset;
    const auto at = [&] { return " (at offset " + std::to_string(itemOffset) + ")"; };
    try {
        in->Seek(where.DataOffset);
        ReadSetupSignature(*in);
        item = "the header";
        itemOffset = in->Position();
        setup.Data.SetupInfo = ReadSetupHeader(*in);
        ReadSetupEntries(*in, setup.Data, [&](const char* kind, std::int32_t index) {
            item = ItemName(kind, index);
            itemOffset = in->Position();
        });
    } catch (const ESetupSignatureError&) {
        throw DamagedData(name + ": no setup data here: the signature \"i109-32\" is missing" + at());
    } catch (const EZlibDataError& error) {
        // The core reports a failed block check and a value that no writer
        // produces (such as a binary registry value over 252 bytes) alike.
        throw DamagedData(name + ": " + item + at() + " is damaged: its block fails its checks or holds an impossible value (" +
                          error.what() + ")");
    } catch (const EZlibInternalError& error) {
        throw DamagedData(name + ": " + item + at() + " is damaged: " + error.what());
    } catch (const std::bad_alloc&) {
        throw DamagedData(name + ": " + item + at() + " is damaged: it announces a size too large to hold");
    } catch (const EInOutError& error) {
        if (error.code() == io_code::ReadBeyondEnd)
            throw DamagedData(name + ": the setup data ends inside " + item + at() + ": the file is cut short");
        throw IoFailure("cannot read '" + name + "': " + error.what());
    }
    setup.EndOffset = in->Position();
    return setup;
}

std::unique_ptr<InStream> DataFiles::OpenDataFile(int diskNumber) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto held = held_.find(diskNumber);
    if (held != held_.end()) return held->second->NewReader();
    const std::string fileName = "SETUP." + std::to_string(diskNumber);
    fs::path path = where_.Folder / fileName;
    std::error_code error;
    if (!fs::exists(path, error)) {
        const fs::path sibling = where_.Folder / ".." / ("DISK" + std::to_string(diskNumber)) / fileName;
        if (!fs::exists(sibling, error)) {
            std::string message = "data file " + fileName + " not found in '" + PathToUtf8(where_.Folder) +
                                  "' (nor in ..\\DISK" + std::to_string(diskNumber) + ")";
            // A file made with --single-file holds its file data right after the setup data.
            if (where_.FileDataOffset == 0 && fs::file_size(where_.SetupFile, error) > setupDataEnd_)
                message += "; if '" + PathToUtf8(where_.SetupFile) + "' was built with --single-file, add --sl " +
                           std::to_string(where_.DataOffset) + " " + std::to_string(setupDataEnd_);
            throw IoFailure(message);
        }
        path = sibling;
    }
    // Opened once: the streams of its files, on every thread, read it at their own places.
    const auto file = OpenShared(path);
    held_[diskNumber] = file;
    opened_[diskNumber] = path;
    return file->NewReader();
}

std::unique_ptr<InStream> DataFiles::OpenSlDataFile() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!slFile_) slFile_ = OpenShared(where_.SetupFile);
    return slFile_->NewReader();
}

std::string DataFiles::PathOf(const SourceFailure& failure) const {
    if (failure.InSlFile) return PathToUtf8(where_.SetupFile);
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = opened_.find(failure.Disk);
    if (found != opened_.end()) return PathToUtf8(found->second);
    return PathToUtf8(where_.Folder / ("SETUP." + std::to_string(failure.Disk)));
}

namespace {

// The source named inside a file's message: its data file by number, the
// /SL file by path.
std::string SourceName(const DataFiles& dataFiles, const SourceFailure& failure) {
    return failure.InSlFile ? dataFiles.PathOf(failure) : "SETUP." + std::to_string(failure.Disk);
}

// The author's words for a failure the core found; `item` names the file
// whose stream was being read, empty when a data file was checked alone.
[[noreturn]] void ThrowWorded(const SourceFailure& failure, const std::string& ioText, const DataFiles& dataFiles,
                              const std::string& item) {
    using Kind = SourceFailureKind;
    const std::string path = dataFiles.PathOf(failure);
    const std::string source = SourceName(dataFiles, failure);
    const std::string reading = item.empty() ? "" : " (while reading " + item + ")";
    const auto damaged = [&](const std::string& what) { return DamagedData(item + ": " + what); };
    switch (failure.Kind) {
    case Kind::BadSignature:
        throw DamagedData(path + ": not a data file: the signature \"idska32\" is missing" + reading);
    case Kind::SizeFieldDiffers:
        throw DamagedData(path + ": its header gives its size as " + std::to_string(failure.Expected) +
                          " bytes, but it has " + std::to_string(failure.Actual) + " (cut short or damaged)" + reading);
    case Kind::HeaderCutShort:
        throw DamagedData(path + ": shorter than the 12-byte header of a data file (it has " +
                          std::to_string(failure.Actual) + " bytes)" + reading);
    case Kind::ReadFailed:
        throw IoFailure((item.empty() ? "" : item + ": ") + "cannot read '" + path + "' at offset " +
                        std::to_string(failure.Offset) + ": " + ioText);
    case Kind::MissingMarker:
        throw damaged("no \"zlb\" marker at offset " + std::to_string(failure.Offset) + " of " + source);
    case Kind::MissingSolidMarker:
        throw damaged("no solid block (\"lzs\" marker) at offset " + std::to_string(failure.Offset) + " of " + source);
    case Kind::BadSolidHeader:
        throw damaged("the header of its solid block at offset " + std::to_string(failure.Offset) + " of " + source +
                      " fails its check");
    case Kind::MemberOutsideBlock:
        throw damaged("it names member " + std::to_string(failure.Expected) + " of a solid block of " +
                      std::to_string(failure.Actual) + " members");
    case Kind::StreamEndedEarly:
        throw damaged("its stream runs past the end of its last data file (" + source + "): " +
                      std::to_string(failure.Expected) + " of its compressed bytes are missing");
    case Kind::MoreDataThanExpected:
        throw damaged("its stream decompresses to more than the " + std::to_string(failure.Expected) +
                      " bytes its record gives");
    case Kind::LessDataThanExpected:
        throw damaged("its stream decompresses to " + std::to_string(failure.Actual) + " bytes, its record gives " +
                      std::to_string(failure.Expected));
    case Kind::ChecksumMismatch:
        throw damaged("the Adler-32 of its contents is " + Hex32(static_cast<std::uint32_t>(failure.Actual)) +
                      ", its record gives " + Hex32(static_cast<std::uint32_t>(failure.Expected)));
    case Kind::CorruptData:
        throw damaged("its compressed data is corrupt (found reading " + source + " up to offset " +
                      std::to_string(failure.Offset) + ")");
    case Kind::NegativeSize:
        throw damaged("its record gives a negative size (compressed " + std::to_string(failure.Actual) +
                      ", original " + std::to_string(failure.Expected) + " bytes)");
    case Kind::BadDiskRange:
        throw damaged("its location names the data files " + std::to_string(failure.Disk) + " to " +
                      std::to_string(failure.Actual));
    case Kind::StartOutsideSource:
        throw damaged("its stream would start at offset " + std::to_string(failure.Offset) + ", outside " + source +
                      " (" + std::to_string(failure.Actual) + " bytes)");
    }
    throw damaged("its stream fails a check");
}

}  // namespace

void DataFiles::CheckDataFile(int diskNumber) {
    const auto in = OpenDataFile(diskNumber);
    try {
        CheckDataFileHeader(*in, diskNumber);
    } catch (const ESourceStreamDamaged& damage) {
        ThrowWorded(damage.failure(), "", *this, "");
    } catch (const ESourceReadError& error) {
        ThrowWorded(error.failure(), error.what(), *this, "");
    }
}

std::string FileItemName(const SetupData& data, std::size_t index) {
    const TFileRec& f = data.FileRecords[index];
    const std::string dest = (f.FileFlags & ffUninstallData) ? "uninstall data" : f.DestPath;
    return "file #" + std::to_string(index + 1) + " (" + dest + ")";
}

namespace {

// Runs one extraction of file `index`, its failures worded for the author.
template <typename Extract>
void Worded(const LoadedSetup& setup, DataFiles& dataFiles, std::size_t index, Extract extract) {
    const std::string item = FileItemName(setup.Data, index);
    try {
        extract();
    } catch (const ESourceStreamDamaged& damage) {
        ThrowWorded(damage.failure(), "", dataFiles, item);
    } catch (const ESourceReadError& error) {
        ThrowWorded(error.failure(), error.what(), dataFiles, item);
    } catch (const EZlibInternalError& error) {
        throw DamagedData(item + ": its compressed data cannot be decompressed: " + error.what());
    }
}

}  // namespace

void ReadFileStream(const LoadedSetup& setup, DataFiles& dataFiles, std::size_t index, OutStream& sink,
                    const std::function<void(std::size_t)>& onRead) {
    if (setup.Data.SetupInfo.Has(optSolidBlocks)) {
        SolidBlockReader reader;
        ReadSolidFile(setup, dataFiles, reader, index, sink, onRead);
        return;
    }
    Worded(setup, dataFiles, index, [&] {
        ExtractFileStream(dataFiles, setup.Data.FileRecords[index], setup.Data.FileLocationRecords[index],
                          setup.Where.FileDataOffset, sink, onRead);
    });
}

void ReadSolidFile(const LoadedSetup& setup, DataFiles& dataFiles, SolidBlockReader& reader, std::size_t index,
                   OutStream& sink, const std::function<void(std::size_t)>& onRead) {
    Worded(setup, dataFiles, index, [&] {
        reader.Extract(dataFiles, setup.Data.FileRecords[index], setup.Data.FileLocationRecords[index],
                       setup.Data.FileMembers[index], setup.Where.FileDataOffset, sink, onRead);
    });
}

std::vector<std::vector<SolidGroup>> SolidReadingOrder(const SetupData& data) {
    using Key = std::tuple<std::int32_t, std::int32_t, std::int32_t, std::uint32_t, std::int32_t, std::uint32_t>;
    const auto keyOf = [&](std::size_t i) {
        const TFileLocationRec& l = data.FileLocationRecords[i];
        return Key{l.FirstDisk, l.StartOffset, l.LastDisk, data.FileMembers[i], data.FileRecords[i].OriginalSize,
                   data.FileRecords[i].Adler32};
    };
    std::vector<std::size_t> order(data.FileRecords.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return keyOf(a) < keyOf(b); });
    std::vector<std::vector<SolidGroup>> blocks;
    for (std::size_t k = 0; k < order.size(); ++k) {
        const std::size_t i = order[k];
        const bool sameBlock = k > 0 && std::get<0>(keyOf(order[k - 1])) == std::get<0>(keyOf(i)) &&
                               std::get<1>(keyOf(order[k - 1])) == std::get<1>(keyOf(i)) &&
                               std::get<2>(keyOf(order[k - 1])) == std::get<2>(keyOf(i));
        if (!sameBlock) blocks.emplace_back();
        if (k > 0 && sameBlock && keyOf(order[k - 1]) == keyOf(i)) blocks.back().back().Files.push_back(i);
        else blocks.back().push_back(SolidGroup{{i}});
    }
    return blocks;
}

bool ReadsWhole(const TFileRec& file) {
    return file.OriginalSize >= 0 && file.CompressedSize >= 0 &&
           static_cast<std::uint64_t>(file.OriginalSize) <= kWholeFileLimit &&
           static_cast<std::uint64_t>(file.CompressedSize) <= kWholeFileLimit + (kWholeFileLimit >> 4);
}

namespace {

// Compressed streams are read into memory kept for the next one, on any thread.
ScratchPool<std::vector<std::uint8_t>>& CompressedScratch() {
    static ScratchPool<std::vector<std::uint8_t>> pool;
    return pool;
}

}  // namespace

void ReadWholeFile(const LoadedSetup& setup, DataFiles& dataFiles, std::size_t index,
                   std::vector<std::uint8_t>& contents) {
    const auto compressed = CompressedScratch().Take();
    Worded(setup, dataFiles, index, [&] {
        ExtractWholeFileStream(dataFiles, setup.Data.FileRecords[index], setup.Data.FileLocationRecords[index],
                               setup.Where.FileDataOffset, InflateWholeWithLibdeflate, contents, {}, &*compressed);
    });
}

void ReadWholeFile(const LoadedSetup& setup, DataFiles& dataFiles, std::size_t index, std::uint8_t* contents) {
    const auto compressed = CompressedScratch().Take();
    Worded(setup, dataFiles, index, [&] {
        ExtractWholeFileStream(dataFiles, setup.Data.FileRecords[index], setup.Data.FileLocationRecords[index],
                               setup.Where.FileDataOffset, InflateWholeWithLibdeflate, contents, {}, &*compressed);
    });
}

}  // namespace qv::tool
