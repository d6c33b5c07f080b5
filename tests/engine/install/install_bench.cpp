#include "install_bench.h"

#include <gtest/gtest.h>

#include <random>
#include <utility>

#include "engine/common/own_machine.h"
#include "core/errors.h"
#include "core/setupdata/data_files.h"
#include "engine/common/folders.h"
#include "engine/common/win_handles.h"
#include "engine/common/win_text.h"
#include "engine/install/file_install.h"
#include "engine/instfunc/library_registration.h"
#include "testkit/scratch.h"
#include "testkit/setup_files.h"

namespace qv::test {

namespace {
// A test program serves no switch of its own: the uninstaller built beside
// it registers the test libraries in its stead.
const bool registeringThroughTheUninstaller =
    (UseLibraryRegistrationProgram(ProgramFolder() + "\\" + OwnUninstallerFileName()), true);
}  // namespace

void RecordingProgress::PumpMessagesCheckCancel() {
    if (cancelRequested_) throw EAbort();
    ++pumps;
    if (onPump) onPump();
    if (confirmCancelWhen && confirmCancelWhen()) cancelRequested_ = true;
    if (cancelRequested_) throw EAbort();
}

std::vector<std::uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

std::vector<std::uint8_t> IncompressibleBytes(std::size_t size) {
    std::mt19937 generator(20240607);
    std::vector<std::uint8_t> bytes(size);
    for (auto& byte : bytes) byte = static_cast<std::uint8_t>(generator());
    return bytes;
}

void DamageByte(const std::string& path, std::size_t offset) {
    auto bytes = ReadFileBytes(path);
    bytes.at(offset) ^= 0x5A;
    WriteFileBytes(path, bytes);
}

std::uint64_t AsNumber(const FILETIME& time) {
    return (std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
}

FILETIME AsFileTime(std::uint64_t time) {
    return FILETIME{static_cast<DWORD>(time), static_cast<DWORD>(time >> 32)};
}

std::uint64_t BenchFileTime() {
    const SYSTEMTIME fields{2001, 2, 6, 3, 4, 5, 6, 0};
    FILETIME time{};
    SystemTimeToFileTime(&fields, &time);
    return AsNumber(time);
}

FILETIME UtcOfLocal(std::uint64_t localTime) {
    const FILETIME local = AsFileTime(localTime);
    FILETIME utc{};
    LocalFileTimeToFileTime(&local, &utc);
    return utc;
}

FILETIME LastWriteTime(const std::string& path) {
    const UniqueHFile file(CreateFileW(Widen(path).c_str(), FILE_READ_ATTRIBUTES,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                       0, nullptr));
    FILETIME written{};
    EXPECT_TRUE(file && GetFileTime(file.get(), nullptr, nullptr, &written)) << path;
    return written;
}

void SetLastWriteTime(const std::string& path, const FILETIME& utc) {
    const UniqueHFile file(CreateFileW(Widen(path).c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file && SetFileTime(file.get(), nullptr, nullptr, &utc)) << path;
}

std::string BuiltFile(const std::string& name) { return ProgramFolder() + "\\" + name; }

BenchFile MakeBenchFile(const std::string& name, std::vector<std::uint8_t> contents) {
    BenchFile file;
    file.Record.DestPath = "{app}\\" + name;
    file.Record.FileTime = BenchFileTime();
    file.Contents = std::move(contents);
    return file;
}

namespace {

// The stream of every file through the core's writer, the records taking
// the sizes, checksums and places it reports.
void WriteStreams(FileDataWriter& writer, std::vector<BenchFile>& files, SetupData& data) {
    for (BenchFile& file : files) {
        MemoryInStream contents(file.Contents);
        const StoredStream stored = writer.AddStream(contents);
        file.Record.OriginalSize = stored.OriginalSize;
        file.Record.CompressedSize = stored.CompressedSize;
        file.Record.Adler32 = stored.Adler32;
        data.FileRecords.push_back(file.Record);
        data.FileLocationRecords.push_back(stored.Location);
    }
}

// Where the file data of the /SL file begins: whatever comes before it
// (the setup data, in a real one) is not the extractor's business.
constexpr std::size_t kSlFileDataOffset = 777;

}  // namespace

InstallBench::InstallBench(std::vector<BenchFile> files, DataLayout layout, std::uint64_t maxDiskSize)
    : run{data, {}, source.path(), "", 0, false, false, false, filesToDeleteAtEnd, dirsToRemoveAtEnd, restartNeeded},
      context{run, undo, progress, "", false} {
    run.Folders.App = app.path();
    run.Folders.Win = WindowsFolder();
    run.Folders.Sys = SystemFolder();
    run.Folders.Src = source.path();
    data.SetupInfo.AppName = "QV install test";
    if (layout == DataLayout::DataFiles) {
        FileDataWriter writer(source.path(), maxDiskSize, 9);
        WriteStreams(writer, files, data);
        writer.Finish();
        dataFiles = writer.DataFilePaths();
    } else if (layout == DataLayout::SolidDataFiles) {
        FileDataWriter writer(source.path(), maxDiskSize, 9);
        std::vector<const std::vector<std::uint8_t>*> contents;
        for (const BenchFile& file : files) contents.push_back(&file.Contents);
        const std::vector<SolidPlacement> placed = WriteSolidBlocks(writer, contents);
        data.SetupInfo.Options |= optSolidBlocks;
        for (std::size_t i = 0; i < files.size(); ++i) {
            TFileRec record = files[i].Record;
            record.OriginalSize = placed[i].OriginalSize;
            record.CompressedSize = placed[i].CompressedSize;
            record.Adler32 = placed[i].Adler32;
            data.FileRecords.push_back(record);
            data.FileLocationRecords.push_back(placed[i].Location);
            data.FileMembers.push_back(placed[i].Member);
        }
        writer.Finish();
        dataFiles = writer.DataFilePaths();
    } else {
        MemoryOutStream stream;
        stream.Bytes().assign(kSlFileDataOffset, 0xA5);
        FileDataWriter writer(stream, 9);
        WriteStreams(writer, files, data);
        writer.Finish();
        const std::string slFile = source.file("setup.exe");
        WriteFileBytes(slFile, stream.Bytes());
        dataFiles.push_back(slFile);
        run.SlDataFileName = slFile;
        run.SlFileDataOffset = static_cast<std::int32_t>(kSlFileDataOffset);
    }
}

void InstallBench::Install() {
    Install([](int diskNumber, const std::string&, std::string&) {
        ADD_FAILURE() << "asked for disk " << diskNumber;
        return false;
    });
}

void InstallBench::Install(const TDiskPrompt& askForDisk) { InstallFiles(context, askForDisk); }

InstallBench::~InstallBench() {
    if (journal) journal->Discard();
}

void InstallBench::KeepJournal() {
    journal = std::make_unique<TRunJournal>(data.SetupInfo.AppName, app.path(), false);
    context.Journal = journal.get();
    run.BackupFolder = journal->RunFolder();
    undo.OnRecorded = [this](std::uint32_t change) { journal->MarkDone(change); };
}

bool InstallBench::RollBack() {
    undo.OnRecorded = nullptr;
    undo.Clear();
    const bool all = journal->RollBack().AllUndone();
    journal->Discard();
    journal.reset();
    context.Journal = nullptr;
    return all;
}

std::int64_t InstallBench::TotalCompressedSize() const {
    std::int64_t total = 0;
    for (const TFileRec& file : data.FileRecords) total += file.CompressedSize;
    return total;
}

}  // namespace qv::test
