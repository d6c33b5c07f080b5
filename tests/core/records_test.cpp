// Byte layouts checked against offsets worked out from the format tables.
#include <gtest/gtest.h>

#include <vector>

#include "core/bytes.h"
#include "core/setupdata/records.h"

namespace qv {
namespace {

template <typename Rec>
std::vector<std::uint8_t> Encoded(const Rec& r) {
    std::vector<std::uint8_t> bytes(Rec::kSize, 0xEE);
    r.Encode(bytes.data());
    return bytes;
}

TEST(Records, SizesAndSignatures) {
    EXPECT_EQ(TSetupHeaderRec::kSize, 434u);
    EXPECT_EQ(TDirRec::kSize, 49u);
    EXPECT_EQ(TFileRec::kSize, 95u);
    EXPECT_EQ(TFileLocationRec::kSize, 12u);
    EXPECT_EQ(TIconRec::kSize, 356u);
    EXPECT_EQ(TIniRec::kSize, 289u);
    EXPECT_EQ(TRegistryRec::kSize, 438u);
    EXPECT_EQ(TUninstallDeleteRec::kSize, 64u);
    EXPECT_EQ(TRunRec::kSize, 193u);
    EXPECT_EQ(std::string(kSetupDataSignature.begin(), kSetupDataSignature.end()), "i109-32\x1A");
    EXPECT_EQ(std::string(kDataFileSignature.begin(), kDataFileSignature.end()), "idska32\x1A");
}

TEST(Records, HeaderFieldOffsets) {
    TSetupHeaderRec h;
    h.AppName = "设置";
    h.UninstallIconTitle = "U";
    h.DirCount = 1;
    h.RunCount = -1;
    h.LicenseTextSize = 0x01020304;
    h.InfoAfterTextSize = 9;
    h.MinWinVersionMajor = 4;
    h.MinWinVersionMinor = 10;
    h.MinNTVersionMajor = 3;
    h.MinNTVersionMinor = 51;
    h.BackgroundColor = static_cast<std::int32_t>(0x80000001);
    h.Options = optUninstallable | optReplaceUninstallEntries;
    const auto b = Encoded(h);
    EXPECT_EQ(b[0], 4);  // two characters of two bytes
    EXPECT_EQ(b[1], 0xC9);
    EXPECT_EQ(b[5], 0);  // the rest of the field is cleared
    EXPECT_EQ(b[320], 1);
    EXPECT_EQ(b[321], 'U');
    EXPECT_EQ(GetI32(&b[384]), 1);
    EXPECT_EQ(GetI32(&b[408]), -1);
    EXPECT_EQ(b[412], 0x04);
    EXPECT_EQ(b[415], 0x01);
    EXPECT_EQ(GetI32(&b[420]), 9);
    EXPECT_EQ(b[424], 4);
    EXPECT_EQ(b[425], 10);
    EXPECT_EQ(b[426], 3);
    EXPECT_EQ(b[427], 51);
    EXPECT_EQ(GetUi32(&b[428]), 0x80000001u);
    EXPECT_EQ(b[432], 0x02);  // bit 1
    EXPECT_EQ(b[433], 0x04);  // bit 10
    const auto back = TSetupHeaderRec::Decode(b.data());
    EXPECT_EQ(back.AppName, "设置");
    EXPECT_EQ(back.Options, h.Options);
    EXPECT_TRUE(back.Has(optUninstallable));
    EXPECT_FALSE(back.Has(optOwnAppFolder));
}

TEST(Records, ShortStringLengthByteRules) {
    std::vector<std::uint8_t> b(TDirRec::kSize, 'x');
    b[0] = 0;
    EXPECT_EQ(TDirRec::Decode(b.data()).DirName, "");
    b[0] = 3;
    EXPECT_EQ(TDirRec::Decode(b.data()).DirName, "xxx");
    b[0] = 200;  // longer than the field: only the field is read
    EXPECT_EQ(TDirRec::Decode(b.data()).DirName.size(), 47u);
}

TEST(Records, FileRecordLayout) {
    TFileRec f;
    f.DestPath = "{app}\\a.exe";
    f.FileTime = 0x0102030405060708ull;
    f.FileVersionMS = 0x00010002;
    f.FileVersionLS = 0x00030004;
    f.OriginalSize = 1000;
    f.CompressedSize = 500;
    f.Adler32 = 0xAABBCCDD;
    f.ReplaceMode = rmKeepNewer;
    f.FileFlags = ffShared | ffUninstallData;
    f.VersionFlags = vfHasVersion;
    const auto b = Encoded(f);
    EXPECT_EQ(b[0], 11);
    EXPECT_EQ(b[64], 0x08);  // low uint32 of the FILETIME first
    EXPECT_EQ(b[71], 0x01);
    EXPECT_EQ(GetUi32(&b[72]), 0x00010002u);
    EXPECT_EQ(GetUi32(&b[76]), 0x00030004u);
    EXPECT_EQ(GetI32(&b[80]), 1000);
    EXPECT_EQ(GetI32(&b[84]), 500);
    EXPECT_EQ(b[88], 0xDD);
    EXPECT_EQ(b[92], 3);
    EXPECT_EQ(b[93], 0xA0);
    EXPECT_EQ(b[94], 2);
    const auto back = TFileRec::Decode(b.data());
    EXPECT_EQ(back.DestPath, f.DestPath);
    EXPECT_EQ(back.FileTime, f.FileTime);
    EXPECT_EQ(back.Adler32, f.Adler32);
}

TEST(Records, IconIniRunAndLocationLayouts) {
    TIconRec icon;
    icon.IconPath = "{group}\\Hello";
    icon.Parameters = std::string(127, 'p');
    icon.IconIndex = -3;
    auto b = Encoded(icon);
    EXPECT_EQ(b[0], 13);
    EXPECT_EQ(b[112], 127);
    EXPECT_EQ(GetI32(&b[352]), -3);
    EXPECT_EQ(TIconRec::Decode(b.data()).Parameters, icon.Parameters);

    TIniRec ini;
    ini.Section = "S";
    ini.Entry = "K";
    ini.Value = "V";
    ini.Flags = ifUninstDeleteSection;
    b = Encoded(ini);
    EXPECT_EQ(b[0], 0);
    EXPECT_EQ(b[65], 'S');
    EXPECT_EQ(b[113], 'K');
    EXPECT_EQ(b[161], 'V');
    EXPECT_EQ(b[288], 2);

    TRunRec run{"{app}\\x.exe", "/q", rnNoWait};
    b = Encoded(run);
    EXPECT_EQ(b[65], '/');
    EXPECT_EQ(b[192], 1);

    TFileLocationRec loc{1, 3, 12};
    b = Encoded(loc);
    EXPECT_EQ(GetI32(&b[4]), 3);
    EXPECT_EQ(GetI32(&b[8]), 12);
}

TEST(Records, RegistryValueDataByType) {
    TRegistryRec r;
    r.RootKey = kHkeyCurrentUser;
    r.SubKey = std::string(128, 'k');  // fills char[128] with no terminator
    r.ValueName = "Path";
    r.ValueType = rtBinary;
    r.ValueBinary = {1, 2, 3};
    r.Flags = rfUninstDeleteKey;
    auto b = Encoded(r);
    EXPECT_EQ(GetUi32(&b[0]), 0x80000001u);
    EXPECT_EQ(b[131], 'k');
    EXPECT_EQ(b[132], 'P');
    EXPECT_EQ(GetUi32(&b[180]), 3u);
    EXPECT_EQ(b[184], 1);
    EXPECT_EQ(b[186], 3);
    EXPECT_EQ(b[436], 4);
    EXPECT_EQ(b[437], 8);
    auto back = TRegistryRec::Decode(b.data());
    EXPECT_EQ(back.SubKey.size(), 128u);
    EXPECT_EQ(back.ValueBinary, r.ValueBinary);

    SetUi32(&b[180], 0);
    EXPECT_TRUE(TRegistryRec::Decode(b.data()).ValueBinary.empty());
    SetUi32(&b[180], 252);
    EXPECT_EQ(TRegistryRec::Decode(b.data()).ValueBinary.size(), 252u);
    SetUi32(&b[180], 253);
    EXPECT_THROW(TRegistryRec::Decode(b.data()), EZlibDataError);

    r.ValueType = rtDWord;
    r.ValueDWord = 0x11223344;
    b = Encoded(r);
    EXPECT_EQ(b[180], 0x44);
    EXPECT_EQ(TRegistryRec::Decode(b.data()).ValueDWord, 0x11223344u);

    r.ValueType = rtExpandString;
    r.ValueString = "%SystemRoot%\\{app}";
    b = Encoded(r);
    EXPECT_EQ(TRegistryRec::Decode(b.data()).ValueString, r.ValueString);
}

TEST(Records, TextsThatDoNotFitAreRefused) {
    TDirRec d;
    d.DirName = std::string(47, 'a');
    EXPECT_NO_THROW(Encoded(d));
    d.DirName = std::string(24, 'a') + std::string("中中中中中中中中中中中中");  // 24 + 24 bytes
    try {
        Encoded(d);
        FAIL();
    } catch (const EFieldTooLong& e) {
        EXPECT_EQ(e.field(), "DirName");
        EXPECT_EQ(e.limit(), 47u);
        EXPECT_EQ(e.actualBytes(), 48u);
    }
    d.DirName = "\xF0\x9F\x98\x80";
    EXPECT_THROW(Encoded(d), EFieldTooLong);

    TRegistryRec r;
    r.ValueType = rtBinary;
    r.ValueBinary.assign(253, 0);
    EXPECT_THROW(Encoded(r), EFieldTooLong);
    r.ValueType = rtNone;  // the bytes belong to no value: nothing is written
    EXPECT_NO_THROW(Encoded(r));
}

}  // namespace
}  // namespace qv
