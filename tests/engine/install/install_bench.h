// What the file installation tests stand on: setup data and data files
// written by the core's writer into a scratch folder, an application folder,
// the run and the undo log around them, a progress sink that records the
// gauge and can cancel, and message boxes answered one by one.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/setupdata/setup_data.h"
#include "engine/common/message_box.h"
#include "engine/install/install_context.h"
#include "engine/setupdata/data_file_locator.h"
#include "testkit/scratch.h"
#include "testkit/scripted_boxes.h"

namespace qv::test {

// Records the gauge and the labels; confirms a cancel when told to.
class RecordingProgress final : public IInstallProgress {
public:
    void ShowStepText(const std::string& text) override { stepTexts.push_back(text); }
    void ShowFilename(const std::string& path) override { filenames.push_back(path); }
    std::int64_t Position() const override { return position_; }
    void SetPosition(std::int64_t position) override {
        position_ = position;
        positions.push_back(position);
    }
    void PumpMessagesCheckCancel() override;

    std::vector<std::string> stepTexts;
    std::vector<std::string> filenames;
    std::vector<std::int64_t> positions;
    int pumps = 0;
    // Runs inside every pump, before the cancel is looked at.
    std::function<void()> onPump;
    // Asked inside every pump: true confirms a cancel, as the window's
    // exit question does.
    std::function<bool()> confirmCancelWhen;

private:
    std::int64_t position_ = 0;
    bool cancelRequested_ = false;
};

// One file of the setup: its record (the data fields are filled in when
// the data is written) and its contents.
struct BenchFile {
    TFileRec Record;
    std::vector<std::uint8_t> Contents;
};

// A record for "{app}\<name>" with the setup's file time and nothing set.
BenchFile MakeBenchFile(const std::string& name, std::vector<std::uint8_t> contents);
std::vector<std::uint8_t> Bytes(const std::string& text);
// `size` bytes from a fixed seed that deflate cannot shrink.
std::vector<std::uint8_t> IncompressibleBytes(std::size_t size);
// One byte of the file at `path` changed, as damage on a disk would.
void DamageByte(const std::string& path, std::size_t offset);

// The time every bench file carries: 2001-02-03 04:05:06 in local time.
std::uint64_t BenchFileTime();
std::uint64_t AsNumber(const FILETIME& time);
FILETIME AsFileTime(std::uint64_t time);
// The UTC time a file on disk gets for a local time of the setup data.
FILETIME UtcOfLocal(std::uint64_t localTime);
FILETIME LastWriteTime(const std::string& path);
void SetLastWriteTime(const std::string& path, const FILETIME& utc);

// A program or library built beside the tests.
std::string BuiltFile(const std::string& name);

enum class DataLayout {
    DataFiles,  // SETUP.1, SETUP.2, ... beside the setup data
    SlFile,     // one file after /SL, the data at an offset
    SolidDataFiles,  // SETUP.1, ... holding solid blocks
};

class InstallBench {
public:
    explicit InstallBench(std::vector<BenchFile> files, DataLayout layout = DataLayout::DataFiles,
                          std::uint64_t maxDiskSize = 0);
    InstallBench(const InstallBench&) = delete;
    InstallBench& operator=(const InstallBench&) = delete;
    // A journal not rolled back goes: no later recovery is to find it.
    ~InstallBench();

    // Keeps a rollback journal as an installation does: what is replaced
    // waits in its run folder (run.BackupFolder), and only its rollback
    // puts it back.
    void KeepJournal();
    // Rolls the steps so far back from the journal, as a failed
    // installation does; true when everything was undone. The undo log is
    // emptied: its entries are the uninstaller's.
    bool RollBack();

    // InstallFiles with a disk prompt that fails the test and gives up.
    void Install();
    void Install(const TDiskPrompt& askForDisk);

    std::string AppFile(const std::string& name) const { return app.file(name); }
    // The temporary files of the installation left in the application folder.
    std::vector<std::string> TempFiles() const { return ListFolder(app.path(), "qv-*.tmp"); }
    std::int64_t TotalCompressedSize() const;

    ScratchFolder source{"qv install source"};
    ScratchFolder app{"qv install 应用"};
    SetupData data;
    std::vector<std::string> dataFiles;  // the data files written, or the /SL file
    std::vector<std::string> filesToDeleteAtEnd;
    std::vector<std::string> dirsToRemoveAtEnd;
    bool restartNeeded = false;
    TInstallRun run;
    TUndoChanges undo;
    RecordingProgress progress;
    TInstallContext context;
    std::unique_ptr<TRunJournal> journal;
};

}  // namespace qv::test
