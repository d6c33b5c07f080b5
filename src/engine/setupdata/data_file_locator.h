// Where the engine finds the data files SETUP.1, SETUP.2, ... of an
// installation, and the opener through which the core's extractor reads a
// file's stream across them (or from the /SL file).
//
// Data file n is looked for, in this order: in the folder the last data
// file came from, in the source folder, in ..\DISKn beside the first of
// these and beside the second; when it is in none of them the user is
// asked for the disk. The folder the user points at becomes the first place
// for the later disks of the installation.
//
// Each data file is opened once, when its disk is first needed, and held
// (others may read it, nobody may change, rename or replace it) for the
// rest of the installation: every later byte of that disk comes through
// the same handle, never from whatever its name leads to by then. Asking
// for a disk lets go of the others, whose medium the user may be about to
// take out; a disk needed again is then located anew.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "core/setupdata/data_files.h"
#include "engine/common/held_file.h"

namespace qv {

// What the command line and the setup data's place tell about the sources.
struct TDataSource {
    // The folder of SETUP.0, or of the /SL file.
    std::string SourceDir;
    // The file named after /SL, holding the file data from SlFileDataOffset
    // on. Both are used only when the offset is not 0.
    std::string SlDataFileName;
    std::int32_t SlFileDataOffset = 0;
    // The /SL file as the start-up holds it; null: opened by its name at
    // first use, and held from then on.
    std::shared_ptr<const THeldFile> SlFile{};
};

// Asks the user for disk `diskNumber`, whose data file is `fileName`:
// `path` is the folder offered and, on true, the folder chosen (with a
// trailing backslash, the data file known to be there). False: the user
// gave up. NextDiskDialog (new_disk_form.h) makes the one that shows the
// next-disk dialog.
using TDiskPrompt = std::function<bool(int diskNumber, const std::string& fileName, std::string& path)>;

class TDataFileLocator final : public DataFileOpener {
public:
    // `askForDisk` is required: a missing disk always needs an answer.
    TDataFileLocator(TDataSource source, TDiskPrompt askForDisk);

    // The full path of SETUP.<diskNumber>; asks for the disk when it is
    // nowhere to be found and raises EAbort when the user gives up.
    std::string LocateDataFile(int diskNumber);

    // The data file of disk `diskNumber`: located and held at its first
    // use, the same held file after. Raises EInOutError when it cannot be
    // opened (held by another program to change it, for one).
    std::shared_ptr<const THeldFile> HoldDataFile(int diskNumber);
    // The /SL file, held in the same way.
    std::shared_ptr<const THeldFile> HoldSlDataFile();

    // A reader of the held data file. Its header is the extractor's to check.
    std::unique_ptr<InStream> OpenDataFile(int diskNumber) override;
    // A reader of the held /SL file; it has no data file header.
    std::unique_ptr<InStream> OpenSlDataFile() override;

    // Decompresses one file's stream into `dest` through the core's
    // extractor, from the /SL file or the data files as the source says.
    // `onRead` hears of every piece of compressed bytes read.
    void Extract(const TFileRec& file, const TFileLocationRec& location, OutStream& dest,
                 const ExtractProgress& onRead = {});

    // The folder chosen for the last disk the user was asked for (with a
    // trailing backslash); the source folder until then.
    const std::string& LastDataFileDir() const { return lastDataFileDir_; }
    const TDataSource& Source() const { return source_; }

private:
    TDataSource source_;
    TDiskPrompt askForDisk_;
    std::string lastDataFileDir_;
    std::map<int, std::shared_ptr<const THeldFile>> heldDisks_;
};

}  // namespace qv
