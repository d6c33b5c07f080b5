#include <gtest/gtest.h>

#include <type_traits>

#include "core/errors.h"
#include "engine/common/win_file_stream.h"
#include "engine/common/win_handles.h"
#include "engine/common/win_text.h"
#include "testkit/scratch.h"

namespace qv {
namespace {

using test::ScratchFolder;

int InOutCodeOfOpening(const std::string& path) {
    try {
        WinFileInStream stream(path);
    } catch (const EInOutError& e) {
        return e.code();
    }
    return 0;
}

TEST(WinFileInStream, ReadsSeeksAndReportsItsSize) {
    ScratchFolder folder;
    const std::string path = folder.file("数据.bin");
    test::WriteFileBytes(path, {10, 11, 12, 13, 14});
    WinFileInStream stream(path);
    EXPECT_EQ(stream.Size(), 5u);
    std::uint8_t buffer[8] = {};
    EXPECT_EQ(stream.Read(buffer, 2), 2u);
    EXPECT_EQ(buffer[1], 11);
    EXPECT_EQ(stream.Position(), 2u);
    stream.Seek(4);
    EXPECT_EQ(stream.Read(buffer, 8), 1u);  // fewer only at the end
    EXPECT_EQ(buffer[0], 14);
    EXPECT_EQ(stream.Read(buffer, 8), 0u);
    stream.Seek(100);  // allowed; nothing to read there
    EXPECT_EQ(stream.Read(buffer, 1), 0u);
}

TEST(WinFileInStream, ReadingPastTheEndIsTheRunTimeError100) {
    ScratchFolder folder;
    test::WriteFileBytes(folder.file("short"), {1, 2, 3});
    WinFileInStream stream(folder.file("short"));
    std::uint8_t buffer[8];
    try {
        stream.ReadExact(buffer, 8);
        FAIL() << "no error";
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.code(), 100);
        EXPECT_STREQ(e.what(), "Read beyond end of file");
    }
}

TEST(WinFileInStream, OpeningFailuresCarryTheRunTimeCodes) {
    ScratchFolder folder;
    EXPECT_EQ(InOutCodeOfOpening(folder.file("missing.0")), 2);
    EXPECT_EQ(InOutCodeOfOpening(folder.file("no folder\\missing.0")), 3);
    EXPECT_EQ(InOutCodeOfOpening(folder.path()), 5);  // a folder is no file
    try {
        WinFileInStream stream(folder.file("missing.0"));
    } catch (const EInOutError& e) {
        EXPECT_STREQ(e.what(), "File not found");
    }
}

TEST(WinFileInStream, ANegativeOffsetFailsInTheSeek) {
    ScratchFolder folder;
    test::WriteFileBytes(folder.file("f"), {1});
    WinFileInStream stream(folder.file("f"));
    try {
        stream.Seek(static_cast<std::uint64_t>(std::int64_t{-8}));
        FAIL() << "no error";
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.code(), ERROR_NEGATIVE_SEEK);
        EXPECT_STREQ(e.what(), "I/O error 131");
    }
}

TEST(WinFileInStream, OthersMayReadButNotWriteWhileItIsOpen) {
    ScratchFolder folder;
    const std::wstring path = Widen(folder.file("shared"));
    test::WriteFileBytes(folder.file("shared"), {1, 2});
    {
        WinFileInStream stream(folder.file("shared"));
        UniqueHFile writer(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                       OPEN_EXISTING, 0, nullptr));
        EXPECT_FALSE(writer.valid());
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
        UniqueHFile reader(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        EXPECT_TRUE(reader.valid());
    }
    // Closed with the stream.
    UniqueHFile writer(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_TRUE(writer.valid());
}

// Owners: copying must not compile, moving hands the handle over, and the
// two empty values of HANDLE stay apart.
static_assert(!std::is_copy_constructible_v<UniqueHFile> && !std::is_copy_assignable_v<UniqueHFile>);
static_assert(!std::is_copy_constructible_v<UniqueHKey> && std::is_nothrow_move_constructible_v<UniqueHKey>);

TEST(HandleOwners, EmptyValuesMoveAndClose) {
    EXPECT_EQ(UniqueHFile().get(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(UniqueHandle().get(), nullptr);
    EXPECT_FALSE(UniqueHFile(INVALID_HANDLE_VALUE).valid());
    EXPECT_FALSE(UniqueHandle(nullptr).valid());

    UniqueHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    const HANDLE raw = event.get();
    UniqueHandle moved(std::move(event));
    EXPECT_FALSE(event.valid());
    EXPECT_EQ(moved.get(), raw);
    DWORD flags = 0;
    EXPECT_TRUE(GetHandleInformation(raw, &flags));
    moved.reset();
    EXPECT_FALSE(GetHandleInformation(raw, &flags));  // closed exactly once, by its owner
}

}  // namespace
}  // namespace qv
