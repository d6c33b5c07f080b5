// Finding the data files and reading a file's stream through them, where
// no disk has to be asked for (the prompt here only records the question).
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "core/errors.h"
#include "core/io/streams.h"
#include "core/setupdata/source_failure.h"
#include "data_file_fixtures.h"
#include "engine/common/win_handles.h"
#include "engine/common/win_text.h"
#include "engine/setupdata/data_file_locator.h"
#include "testkit/scratch.h"

namespace qv {
namespace {

struct DiskQuestion {
    int Disk;
    std::string FileName;
    std::string OfferedPath;
};

// Records what the locator asks; answers with `chosen`, or gives up when
// it is empty.
struct RecordingPrompt {
    std::vector<DiskQuestion> asked;
    std::string chosen;

    TDiskPrompt Prompt() {
        return [this](int disk, const std::string& fileName, std::string& path) {
            asked.push_back({disk, fileName, path});
            if (chosen.empty()) return false;
            path = chosen;
            return true;
        };
    }
};

void Touch(const std::string& path) { test::WriteFileBytes(path, {'x'}); }

TEST(LocateDataFile, TriesTheFourPlacesInOrderBeforeAsking) {
    test::ScratchFolder root("定位 disks");
    // Distinct parents, so that every ..\DISKn is a place of its own.
    const std::string source = root.path() + "\\cd\\src";
    const std::string chosen = root.path() + "\\copy\\picked";
    for (const std::string& folder : {source, chosen, root.path() + "\\cd\\DISK8", root.path() + "\\copy\\DISK8"})
        test::MakeFolders(folder);

    RecordingPrompt prompt;
    prompt.chosen = chosen + "\\";
    TDataFileLocator locator({source, "", 0}, prompt.Prompt());
    EXPECT_EQ(locator.LastDataFileDir(), source);

    // Nowhere to be found: asked with the source folder, the answer is
    // taken without a test and kept for the later disks.
    EXPECT_EQ(locator.LocateDataFile(7), chosen + "\\SETUP.7");
    ASSERT_EQ(prompt.asked.size(), 1u);
    EXPECT_EQ(prompt.asked[0].Disk, 7);
    EXPECT_EQ(prompt.asked[0].FileName, "SETUP.7");
    EXPECT_EQ(prompt.asked[0].OfferedPath, source);
    EXPECT_EQ(locator.LastDataFileDir(), chosen + "\\");

    const std::vector<std::string> places = {
        chosen + "\\SETUP.8",
        source + "\\SETUP.8",
        root.path() + "\\copy\\DISK8\\SETUP.8",  // relative to the chosen folder, resolved
        root.path() + "\\cd\\DISK8\\SETUP.8",    // relative to the source folder
    };
    for (const std::string& place : places) Touch(place);
    for (const std::string& place : places) {
        EXPECT_EQ(locator.LocateDataFile(8), place);
        test::RemoveFile(place);
    }
    EXPECT_EQ(prompt.asked.size(), 1u);

    // A folder of that name is no data file. Giving up is the silent abort,
    // and the folder offered is again the source folder.
    test::MakeFolders(chosen + "\\SETUP.8");
    prompt.chosen.clear();
    EXPECT_THROW(locator.LocateDataFile(8), EAbort);
    ASSERT_EQ(prompt.asked.size(), 2u);
    EXPECT_EQ(prompt.asked[1].OfferedPath, source);
    EXPECT_EQ(locator.LastDataFileDir(), chosen + "\\");
}

TEST(DataFileLocator, OpensADataFileThatOthersMayReadButNotWrite) {
    test::ScratchFolder root("share");
    Touch(root.file("SETUP.1"));
    RecordingPrompt prompt;
    TDataFileLocator locator({root.path(), "", 0}, prompt.Prompt());
    const auto stream = locator.OpenDataFile(1);
    EXPECT_EQ(stream->Size(), 1u);
    const std::wstring path = Widen(root.file("SETUP.1"));
    const UniqueHFile reader(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                         OPEN_EXISTING, 0, nullptr));
    EXPECT_TRUE(reader);
    const UniqueHFile writer(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                         OPEN_EXISTING, 0, nullptr));
    EXPECT_FALSE(writer);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_TRUE(prompt.asked.empty());
}

// The /SL form: a program whose file data starts at an offset inside it,
// holding the first data file's streams; the later disks are data files.
TEST(DataFileLocator, SlFileIsTheFirstSourceAndEveryLaterDiskIsChecked) {
    test::ScratchFolder root("sl 单文件");
    const std::string staging = root.path() + "\\staging";
    const std::string source = root.path() + "\\DISK1";
    test::MakeFolders(staging);
    test::MakeFolders(source);
    test::MakeFolders(root.path() + "\\DISK2");
    const test::DataFileSet set = test::WriteDataFiles(staging, 16000, {test::MixedContent(40000, 7)});
    const test::StoredFile& file = set.Files[0];
    ASSERT_EQ(file.Location.FirstDisk, 1);
    ASSERT_EQ(file.Location.LastDisk, 2);

    // A program stub of 1000 bytes before the file data: were the /SL file
    // checked as a data file, its first bytes would be no signature.
    test::Bytes slFile = test::MixedContent(1000, 8);
    const test::Bytes disk1 = test::ReadFileBytes(staging + "\\SETUP.1");
    slFile.insert(slFile.end(), disk1.begin(), disk1.end());
    const std::string slPath = source + "\\setup program.exe";
    test::WriteFileBytes(slPath, slFile);
    // A SETUP.1 beside it that is not the data: the /SL file is not looked for.
    Touch(source + "\\SETUP.1");
    test::MoveFileTo(staging + "\\SETUP.2", root.path() + "\\DISK2\\SETUP.2");

    RecordingPrompt prompt;
    TDataFileLocator locator({source, slPath, 1000}, prompt.Prompt());
    MemoryOutStream out;
    std::int64_t read = 0;
    locator.Extract(file.File, file.Location, out, [&](std::size_t n) { read += static_cast<std::int64_t>(n); });
    EXPECT_TRUE(out.Bytes() == file.Content);
    EXPECT_EQ(read, file.File.CompressedSize);
    EXPECT_TRUE(prompt.asked.empty());

    // The disks stay held by the installation that read them: nobody
    // changes them meanwhile.
    const std::wstring disk2Path = Widen(root.path() + "\\DISK2\\SETUP.2");
    EXPECT_FALSE(UniqueHFile(CreateFileW(disk2Path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                         nullptr, OPEN_EXISTING, 0, nullptr)));

    // SETUP.2 one byte longer than its header says, for the next installation.
    test::Bytes disk2 = test::ReadFileBytes(root.path() + "\\DISK2\\SETUP.2");
    disk2.push_back(0);
    TDataFileLocator next({source, slPath, 1000}, prompt.Prompt());
    locator = TDataFileLocator({source, slPath, 1000}, prompt.Prompt());
    test::WriteFileBytes(root.path() + "\\DISK2\\SETUP.2", disk2);
    MemoryOutStream again;
    try {
        next.Extract(file.File, file.Location, again);
        ADD_FAILURE() << "the damaged second disk was read";
    } catch (const ESourceStreamDamaged& damage) {
        EXPECT_STREQ(damage.what(), "源文件已损坏。");
        EXPECT_EQ(damage.failure().Kind, SourceFailureKind::SizeFieldDiffers);
        EXPECT_EQ(damage.failure().Disk, 2);
    }
    EXPECT_TRUE(prompt.asked.empty());
}

}  // namespace
}  // namespace qv
