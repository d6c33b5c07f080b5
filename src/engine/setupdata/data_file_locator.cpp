#include "engine/setupdata/data_file_locator.h"

#include <utility>

#include "core/errors.h"
#include "core/text/path_strings.h"
#include "engine/common/format_text.h"
#include "engine/common/path_tests.h"
#include "engine/common/full_path.h"

namespace qv {

TDataFileLocator::TDataFileLocator(TDataSource source, TDiskPrompt askForDisk)
    : source_(std::move(source)), askForDisk_(std::move(askForDisk)), lastDataFileDir_(source_.SourceDir) {
    if (!askForDisk_) throw Exception("TDataFileLocator: no way to ask for a disk");
}

std::string TDataFileLocator::LocateDataFile(int diskNumber) {
    const std::string name = FormatText("SETUP.%d", {diskNumber});
    // A disk copied to the hard disk keeps its own folder: DISK1, DISK2, ...
    // side by side.
    const std::string diskFolderName = FormatText("..\\DISK%d\\SETUP.%d", {diskNumber, diskNumber});
    const std::string candidates[] = {
        AppendBackslash(lastDataFileDir_) + name,
        AppendBackslash(source_.SourceDir) + name,
        FullPathOf(AppendBackslash(lastDataFileDir_) + diskFolderName),
        FullPathOf(AppendBackslash(source_.SourceDir) + diskFolderName),
    };
    for (const std::string& path : candidates)
        if (FileExists(path)) return path;

    // The user may take a medium out to put this one in: a disk held now
    // would be read from a drive that holds another.
    heldDisks_.clear();
    std::string path = source_.SourceDir;
    if (!askForDisk_(diskNumber, name, path)) throw EAbort();
    // The dialog closes with OK only when the file is there: no test again.
    lastDataFileDir_ = path;
    return AppendBackslash(path) + name;
}

std::shared_ptr<const THeldFile> TDataFileLocator::HoldDataFile(int diskNumber) {
    const auto held = heldDisks_.find(diskNumber);
    if (held != heldDisks_.end()) return held->second;
    std::shared_ptr<const THeldFile> file = THeldFile::Open(LocateDataFile(diskNumber));
    heldDisks_[diskNumber] = file;
    return file;
}

std::shared_ptr<const THeldFile> TDataFileLocator::HoldSlDataFile() {
    if (!source_.SlFile) source_.SlFile = THeldFile::Open(source_.SlDataFileName);
    return source_.SlFile;
}

std::unique_ptr<InStream> TDataFileLocator::OpenDataFile(int diskNumber) {
    return HoldDataFile(diskNumber)->NewReader();
}

std::unique_ptr<InStream> TDataFileLocator::OpenSlDataFile() { return HoldSlDataFile()->NewReader(); }

void TDataFileLocator::Extract(const TFileRec& file, const TFileLocationRec& location, OutStream& dest,
                               const ExtractProgress& onRead) {
    ExtractFileStream(*this, file, location, source_.SlFileDataOffset, dest, onRead);
}

}  // namespace qv
