#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <limits>
#include <new>

#include "core/bytes.h"
#include "core/setupdata/block.h"
#include "core/setupdata/setup_data.h"

// Every allocation of this test program passes here, so that a test can
// refuse the large ones: a reader that makes room for a size before checking
// it then fails with std::bad_alloc instead of quietly committing the memory.
namespace {
std::atomic<std::size_t> allocationLimit{std::numeric_limits<std::size_t>::max()};
}  // namespace

void* operator new(std::size_t size) {
    if (size > allocationLimit.load(std::memory_order_relaxed)) throw std::bad_alloc();
    if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
    throw std::bad_alloc();
}
// The library's own nothrow form (std::stable_sort's buffer) is freed by the
// delete below, so it must come from the same malloc; a sanitizer's
// allocator would otherwise see its block freed as a malloc block.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    if (size > allocationLimit.load(std::memory_order_relaxed)) return nullptr;
    return std::malloc(size == 0 ? 1 : size);
}
// Kept out of line: inlined next to a new, GCC takes the free for a mismatch.
[[gnu::noinline]] void operator delete(void* block) noexcept { std::free(block); }
[[gnu::noinline]] void operator delete(void* block, std::size_t) noexcept { std::free(block); }

namespace qv {
namespace {

// Allocations above `limit` bytes fail while this lives.
class AllocationLimit {
public:
    explicit AllocationLimit(std::size_t limit) { allocationLimit = limit; }
    ~AllocationLimit() { allocationLimit = std::numeric_limits<std::size_t>::max(); }
    AllocationLimit(const AllocationLimit&) = delete;
    AllocationLimit& operator=(const AllocationLimit&) = delete;
};

using Bytes = std::vector<std::uint8_t>;

SetupData FullSetupData() {
    SetupData d;
    d.SetupInfo.AppName = "你好";
    d.SetupInfo.AppNameVersion = "你好 1.0";
    d.SetupInfo.AppFooterText = "QV";
    d.SetupInfo.DefaultFolderName = "Hello";
    d.SetupInfo.DefaultGroup = "你好";
    d.SetupInfo.MinWinVersionMajor = 4;
    d.SetupInfo.MinNTVersionMajor = 4;
    d.SetupInfo.BackgroundColor = 0xFF0000;
    d.SetupInfo.Options = 0x7FE;  // every named option
    d.LicenseText = "许可协议\r\nLicence";
    d.InfoAfterText = "after";
    d.DirRecords = {{"{app}\\data", dfNoUninstall | dfRemoveAtEnd}};
    for (int i = 0; i < 3; ++i) {
        TFileRec f;
        f.DestPath = "{app}\\f" + std::to_string(i);
        f.OriginalSize = 100 + i;
        f.FileFlags = static_cast<std::uint8_t>(1 << i);
        d.FileRecords.push_back(f);
        d.FileLocationRecords.push_back({1, 1, 12 + 100 * i});
    }
    d.IconRecords = {{"{group}\\你好", "{app}\\hello.exe", "/x", "{app}", "", 1}};
    d.IniRecords = {{"{win}\\x.ini", "S", "K", "V", ifUninstDeleteKey}};
    TRegistryRec r;
    r.SubKey = "Software\\QV";
    r.ValueName = "Dir";
    r.ValueType = rtString;
    r.ValueString = "{app}";
    r.Flags = rfUninstDeleteValue;
    d.RegistryRecords = {r};
    d.UninstallDeleteRecords = {{"{app}\\*.log"}};
    d.RunRecords = {{"{app}\\hello.exe", "", rnNoWait}};
    return d;
}

Bytes Written(const SetupData& d) {
    MemoryOutStream out;
    WriteSetupData(out, d, 9);
    return out.Bytes();
}

TEST(SetupData, RoundTripOfEveryRecordKind) {
    const SetupData d = FullSetupData();
    MemoryInStream in(Written(d));
    const SetupData back = LoadSetupData(in);
    EXPECT_EQ(back.SetupInfo.AppName, "你好");
    EXPECT_EQ(back.SetupInfo.FileCount, 3);
    EXPECT_EQ(back.SetupInfo.LicenseTextSize, 17);  // code page 936 bytes: 8 + 2 + 7
    EXPECT_EQ(back.SetupInfo.InfoBeforeTextSize, 0);
    EXPECT_EQ(back.SetupInfo.Options, 0x7FE);
    EXPECT_EQ(back.LicenseText, d.LicenseText);
    EXPECT_EQ(back.InfoBeforeText, "");
    EXPECT_EQ(back.InfoAfterText, "after");
    ASSERT_EQ(back.FileRecords.size(), 3u);
    EXPECT_EQ(back.FileRecords[2].DestPath, "{app}\\f2");
    EXPECT_EQ(back.FileLocationRecords[2].StartOffset, 212);
    EXPECT_EQ(back.DirRecords[0].Flags, dfNoUninstall | dfRemoveAtEnd);
    EXPECT_EQ(back.IconRecords[0].IconPath, "{group}\\你好");
    EXPECT_EQ(back.IniRecords[0].Value, "V");
    EXPECT_EQ(back.RegistryRecords[0].ValueString, "{app}");
    EXPECT_EQ(back.UninstallDeleteRecords[0].Name, "{app}\\*.log");
    EXPECT_EQ(back.RunRecords[0].Flags, rnNoWait);
    EXPECT_EQ(in.Position(), in.Size());  // nothing left over
}

TEST(SetupData, EmptySetupDataIsSignatureAndOneHeaderBlock) {
    MemoryOutStream out;
    WriteSetupData(out, SetupData{}, 9);
    MemoryInStream in(out.Bytes());
    ReadSetupSignature(in);
    ReadSetupHeader(in);
    EXPECT_EQ(in.Position(), in.Size());
    MemoryInStream again(out.Bytes());
    const SetupData back = LoadSetupData(again);
    EXPECT_TRUE(back.FileRecords.empty());
    EXPECT_TRUE(back.LicenseText.empty());
}

TEST(SetupData, FileRecordsComeBeforeTheirLocations) {
    const Bytes bytes = Written(FullSetupData());
    MemoryInStream in(bytes);
    ReadSetupSignature(in);
    ReadSetupHeader(in);
    Bytes buffer(100);
    ReadBlock(in, buffer.data(), 17);  // licence
    ReadBlock(in, buffer.data(), 5);   // info after
    ReadBlock(in, buffer.data(), TDirRec::kSize);
    for (int i = 0; i < 3; ++i) ReadBlock(in, buffer.data(), TFileRec::kSize);
    for (int i = 0; i < 3; ++i) ReadBlock(in, buffer.data(), TFileLocationRec::kSize);
    EXPECT_THROW(ReadBlock(in, buffer.data(), 1), EZlibDataError);  // the icon record follows
}

TEST(SetupData, DamageIsReportedByKind) {
    Bytes bytes = Written(FullSetupData());
    Bytes wrongSignature = bytes;
    wrongSignature[7] = 0;
    MemoryInStream a(wrongSignature);
    EXPECT_THROW(LoadSetupData(a), ESetupSignatureError);

    Bytes damagedHeader = bytes;
    damagedHeader[8 + 5] ^= 0x40;  // inside the header block's sizes
    MemoryInStream b(damagedHeader);
    EXPECT_THROW(LoadSetupData(b), EZlibDataError);

    Bytes damagedRecord = bytes;
    damagedRecord[bytes.size() - 3] ^= 0xFF;  // inside the last record block
    MemoryInStream c(damagedRecord);
    EXPECT_THROW(LoadSetupData(c), EZlibDataError);

    Bytes truncated(bytes.begin(), bytes.end() - 1);
    MemoryInStream e(truncated);
    EXPECT_THROW(LoadSetupData(e), EInOutError);
}

TEST(SetupData, NegativeTextSizeAndHugeCountsAreDamage) {
    SetupData d;
    d.SetupInfo.AppName = "x";
    MemoryOutStream out;
    out.Write(kSetupDataSignature.data(), 8);
    std::uint8_t header[TSetupHeaderRec::kSize];
    TSetupHeaderRec h;
    h.InfoBeforeTextSize = -5;
    h.Encode(header);
    WriteBlock(out, header, sizeof header, 9);
    MemoryInStream in(out.Bytes());
    EXPECT_THROW(LoadSetupData(in), EZlibDataError);

    // A count far past the data ends at the end of the data.
    MemoryOutStream out2;
    out2.Write(kSetupDataSignature.data(), 8);
    h = TSetupHeaderRec{};
    h.FileCount = 0x7FFFFFFF;
    h.Encode(header);
    WriteBlock(out2, header, sizeof header, 9);
    MemoryInStream in2(out2.Bytes());
    EXPECT_THROW(LoadSetupData(in2), EInOutError);
}

TEST(SetupData, HugeTextSizeIsCheckedBeforeRoomIsMade) {
    // The header announces a 2,000,000,000-byte text; the block that follows
    // holds 17 bytes and says so.
    const std::string text = "\xD0\xED\xBF\xC9\xD0\xAD\xD2\xE9\r\nLicence";
    for (std::int32_t TSetupHeaderRec::*size : {&TSetupHeaderRec::LicenseTextSize,
                                                &TSetupHeaderRec::InfoBeforeTextSize,
                                                &TSetupHeaderRec::InfoAfterTextSize}) {
        TSetupHeaderRec h;
        h.*size = 2000000000;
        std::uint8_t header[TSetupHeaderRec::kSize];
        h.Encode(header);
        MemoryOutStream out;
        out.Write(kSetupDataSignature.data(), kSetupDataSignature.size());
        WriteBlock(out, header, sizeof header, 9);
        WriteBlock(out, text.data(), text.size(), 9);
        MemoryInStream in(out.Bytes());

        const AllocationLimit limit(64 * 1024 * 1024);
        EXPECT_THROW(LoadSetupData(in), EZlibDataError);
        // The limit is in force: making the room first would have failed.
        EXPECT_THROW(std::string(2000000000, '\0'), std::bad_alloc);
    }
}

TEST(SetupData, ObserverNamesEachItemBeforeReadingIt) {
    const Bytes bytes = Written(FullSetupData());
    MemoryInStream in(bytes);
    ReadSetupSignature(in);
    SetupData back;
    back.SetupInfo = ReadSetupHeader(in);
    std::vector<std::string> seen;
    ReadSetupEntries(in, back, [&](const char* kind, std::int32_t index) {
        seen.push_back(std::string(kind) + "#" + std::to_string(index));
    });
    const std::vector<std::string> expected = {
        "LicenseText#0", "InfoAfterText#0", "TDirRec#0", "TFileRec#0", "TFileRec#1", "TFileRec#2",
        "TFileLocationRec#0", "TFileLocationRec#1", "TFileLocationRec#2", "TIconRec#0", "TIniRec#0",
        "TRegistryRec#0", "TUninstallDeleteRec#0", "TRunRec#0"};
    EXPECT_EQ(seen, expected);

    // The last item named before a failure is the damaged one.
    Bytes damaged = bytes;
    damaged[damaged.size() - 3] ^= 0xFF;
    MemoryInStream d(damaged);
    ReadSetupSignature(d);
    SetupData partial;
    partial.SetupInfo = ReadSetupHeader(d);
    std::string last;
    EXPECT_THROW(ReadSetupEntries(d, partial, [&](const char* kind, std::int32_t) { last = kind; }),
                 EZlibDataError);
    EXPECT_EQ(last, "TRunRec");
}

TEST(SetupData, LoadsAtAnOffsetAndSumsSizesIn64Bits) {
    Bytes bytes(1000, 0xAA);
    const Bytes data = Written(FullSetupData());
    bytes.insert(bytes.end(), data.begin(), data.end());
    MemoryInStream in(bytes);
    EXPECT_EQ(LoadSetupData(in, 1000).FileRecords.size(), 3u);

    std::vector<TFileRec> files(2);
    files[0].OriginalSize = 0x7FFFFFFF;
    files[1].OriginalSize = 0x7FFFFFFF;
    EXPECT_EQ(SumOfOriginalSizes(files), 2 * std::int64_t{0x7FFFFFFF});
}

}  // namespace
}  // namespace qv
