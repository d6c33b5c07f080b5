#include "tool/setup_reader.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "core/errors.h"
#include "core/setupdata/block.h"
#include "core/setupdata/records.h"
#include "core/bytes.h"
#include "tool/platform.h"
#include "tool/tool_errors.h"

namespace qv::tool {

namespace {

std::string Hex32(std::uint32_t value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%08X", value);
    return buffer;
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
    auto in = OpenForReading(path);
    const std::string name = PathToUtf8(path);
    std::uint8_t header[kDataFileHeaderSize];
    if (in->Read(header, sizeof header) != sizeof header)
        throw DamagedData(name + ": shorter than the 12-byte header of a data file");
    if (std::memcmp(header, kDataFileSignature.data(), kDataFileSignature.size()) != 0)
        throw DamagedData(name + ": not a data file: the signature \"idska32\" is missing");
    const std::uint32_t stated = GetUi32(header + 8);
    if (stated != in->Size())
        throw DamagedData(name + ": its header gives its size as " + std::to_string(stated) + " bytes, but it has " +
                          std::to_string(in->Size()) + " (cut short or damaged)");
    in->Seek(0);  // the core's reader checks the header again
    return in;
}

std::string FileItemName(const SetupData& data, std::size_t index) {
    const TFileRec& f = data.FileRecords[index];
    const std::string dest = (f.FileFlags & ffUninstallData) ? "uninstall data" : f.DestPath;
    return "file #" + std::to_string(index + 1) + " (" + dest + ")";
}

void ReadFileStream(const LoadedSetup& setup, DataFiles& dataFiles, std::size_t index, OutStream& sink,
                    const std::function<void(std::size_t)>& onRead) {
    const TFileRec& file = setup.Data.FileRecords[index];
    const TFileLocationRec& location = setup.Data.FileLocationRecords[index];
    const std::string item = FileItemName(setup.Data, index);
    const auto damaged = [&](const std::string& what) { return DamagedData(item + ": " + what); };
    if (location.LastDisk < location.FirstDisk || (setup.Where.FileDataOffset == 0 && location.FirstDisk < 1))
        throw damaged("its location names the data files " + std::to_string(location.FirstDisk) + " to " +
                      std::to_string(location.LastDisk));
    if (file.CompressedSize < 0 || file.OriginalSize < 0) throw damaged("its record gives a negative size");

    TExtractContext context;
    context.Opener = &dataFiles;
    std::string sourceName;
    std::int64_t start = location.StartOffset;
    try {
        if (setup.Where.FileDataOffset != 0) {
            context.Source = OpenForReading(setup.Where.SetupFile);
            sourceName = PathToUtf8(setup.Where.SetupFile);
            start += setup.Where.FileDataOffset;
        } else {
            context.Source = dataFiles.OpenDataFile(location.FirstDisk);
            CheckDataFileHeader(*context.Source);
            sourceName = "SETUP." + std::to_string(location.FirstDisk);
        }
        if (start < 0 || static_cast<std::uint64_t>(start) + kZlibMarker.size() > context.Source->Size())
            throw damaged("its stream would start at offset " + std::to_string(start) + ", outside " + sourceName +
                          " (" + std::to_string(context.Source->Size()) + " bytes)");
        context.Source->Seek(static_cast<std::uint64_t>(start));
        std::uint8_t marker[4];
        context.Source->ReadExact(marker, sizeof marker);
        if (std::memcmp(marker, kZlibMarker.data(), sizeof marker) != 0)
            throw damaged("no \"zlb\" marker at offset " + std::to_string(start) + " of " + sourceName);

        context.CurrentDisk = location.FirstDisk;
        context.LastDisk = location.LastDisk;
        context.BytesLeft = file.CompressedSize;
        context.ExpectedSize = file.OriginalSize;
        context.OnRead = onRead;
        std::uint32_t adler = 0;
        try {
            // The engine's read side, across data files; the write side
            // checks the size as the engine's does.
            DecompressStream([&](std::uint8_t* b, std::size_t n) { return ExtractReadProc(b, n, context); },
                             [&](const std::uint8_t* b, std::size_t n) {
                                 if (std::int64_t{context.BytesWritten} + static_cast<std::int64_t>(n) > file.OriginalSize)
                                     throw damaged("its stream decompresses to more than the " +
                                                   std::to_string(file.OriginalSize) + " bytes its record gives");
                                 sink.Write(b, n);
                                 context.BytesWritten += static_cast<std::int32_t>(n);
                                 return n;
                             },
                             adler);
        } catch (const ESourceFileCorrupted&) {
            throw damaged("its stream runs past the end of its last data file (SETUP." +
                          std::to_string(location.LastDisk) + ")");
        } catch (const EZlibDataError&) {
            throw damaged("its compressed data is corrupt");
        } catch (const EZlibInternalError& error) {
            throw damaged(std::string("its compressed data cannot be decompressed: ") + error.what());
        }
        if (context.BytesWritten != file.OriginalSize)
            throw damaged("its stream decompresses to " + std::to_string(context.BytesWritten) + " bytes, its record gives " +
                          std::to_string(file.OriginalSize));
        if (adler != file.Adler32)
            throw damaged("the Adler-32 of its contents is " + Hex32(adler) + ", its record gives " + Hex32(file.Adler32));
    } catch (const ESourceFileCorrupted&) {
        throw damaged("a data file header fails its check (源文件已损坏。)");
    } catch (const EInOutError& error) {
        if (error.code() == io_code::ReadBeyondEnd) throw damaged("its stream is cut short in " + sourceName);
        throw IoFailure(item + ": " + error.what());
    }
}

}  // namespace qv::tool
