// The single-file program: its locator found from the section table, a
// signature appended after it, and every way a download can be cut or
// changed; the engine image that a build starts from.
#include <gtest/gtest.h>

#include <cstring>

#include "core/bytes.h"
#include "core/setupdata/program_payload.h"
#include "test_files.h"

namespace qv {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kPe = 0x80;
constexpr std::uint32_t kOptional = kPe + 24;
constexpr std::uint32_t kImageEnd = 0x800;

// A PE32 image with two sections of raw data, 0x400 to kImageEnd.
Bytes MakeImage() {
    Bytes image(kImageEnd, 0);
    std::uint8_t* p = image.data();
    p[0] = 'M';
    p[1] = 'Z';
    SetUi32(p + 0x3C, kPe);
    std::memcpy(p + kPe, "PE\0\0", 4);
    SetUi16(p + kPe + 4, 0x14C);
    SetUi16(p + kPe + 6, 2);
    SetUi16(p + kPe + 20, 224);
    SetUi16(p + kOptional, 0x10B);
    SetUi32(p + kOptional + 60, 0x400);   // SizeOfHeaders
    SetUi32(p + kOptional + 64, 0x1234);  // CheckSum
    SetUi32(p + kOptional + 92, 16);      // data directories
    for (std::uint32_t i = 0; i < 2; ++i) {
        std::uint8_t* section = p + kOptional + 224 + 40 * i;
        SetUi32(section + 16, 0x200);
        SetUi32(section + 20, 0x400 + 0x200 * i);
    }
    for (std::uint32_t i = 0x400; i < kImageEnd; ++i) p[i] = static_cast<std::uint8_t>(i * 7);
    return image;
}

constexpr std::uint32_t kSecurityEntry = kOptional + 96 + 4 * 8;

// What signing does: pad to 8, append a certificate table, point the
// header's entry at it and change the checksum.
void Sign(Bytes& file) {
    while (file.size() % 8) file.push_back(0);
    SetUi32(file.data() + kSecurityEntry, static_cast<std::uint32_t>(file.size()));
    SetUi32(file.data() + kSecurityEntry + 4, 64);
    SetUi32(file.data() + kOptional + 64, 0xBEEF);
    file.insert(file.end(), 64, 0x30);
}

struct Program {
    Bytes Bytes_;
    PayloadLocator Locator;
};

// The engine image, then a payload of setup data (its signature and some
// bytes) and file data.
Program MakeProgram(const Bytes& engineFile) {
    EngineImage engine;
    EXPECT_EQ(MakeEngineImage(engineFile, engine), EngineProblem::None);
    test::TempDir dir;
    Program program;
    {
        FileOutStream out(dir.file("setup.exe"));
        ProgramWriter writer(out, engine);
        const Bytes setupData = test::MixedBytes(3001, 1);
        writer.Payload().Write("i109-32\x1A", 8);
        writer.Payload().Write(setupData.data(), setupData.size());
        const std::int64_t fileData = static_cast<std::int64_t>(out.Position());
        const Bytes streams = test::MixedBytes(5003, 2);
        writer.Payload().Write(streams.data(), streams.size());
        program.Locator = writer.Finish(fileData);
        out.Close();
    }
    program.Bytes_ = test::ReadAll(dir.file("setup.exe"));
    return program;
}

PayloadSearch Find(const Bytes& file) {
    MemoryInStream in(file);
    return FindProgramPayload(in);
}
bool Intact(const Bytes& file, const PayloadLocator& locator) {
    MemoryInStream in(file);
    return PayloadIsIntact(in, locator);
}

TEST(ProgramPayload, TheLocatorIsFoundFromTheSectionsAlsoAfterSigning) {
    const Program program = MakeProgram(MakeImage());
    EXPECT_EQ(program.Bytes_.size() % kProgramAlignment, 0u);
    EXPECT_EQ(program.Locator.PayloadOffset, kImageEnd + kLocatorSize);
    EXPECT_EQ(program.Locator.SetupDataOffset, static_cast<std::int32_t>(kImageEnd + kLocatorSize));
    EXPECT_EQ(program.Locator.FileDataOffset, static_cast<std::int32_t>(kImageEnd + kLocatorSize + 3009));
    EXPECT_EQ(program.Locator.PayloadSize, 3009u + 5003u);

    for (const bool signed_ : {false, true}) {
        Bytes file = program.Bytes_;
        if (signed_) Sign(file);
        const PayloadSearch found = Find(file);
        ASSERT_EQ(found.State, PayloadState::Found) << signed_;
        EXPECT_EQ(found.Locator.FileDataOffset, program.Locator.FileDataOffset);
        EXPECT_EQ(found.Locator.PayloadCrc32, program.Locator.PayloadCrc32);
        EXPECT_EQ(found.Image.Machine, 0x14C);
        EXPECT_TRUE(Intact(file, found.Locator));
    }
    EXPECT_EQ(Find(MakeImage()).State, PayloadState::NoPayload);
    Bytes signedEngine = MakeImage();
    Sign(signedEngine);
    EXPECT_EQ(Find(signedEngine).State, PayloadState::NoPayload);
    EXPECT_EQ(Find(test::MixedBytes(5000, 3)).State, PayloadState::NotAProgram);
    EXPECT_EQ(Find(Bytes{'M', 'Z'}).State, PayloadState::NotAProgram);
}

TEST(ProgramPayload, ACutOrChangedDownloadIsTold) {
    const Program program = MakeProgram(MakeImage());
    const Bytes& whole = program.Bytes_;
    const auto cut = [&](std::size_t size) { return Find(Bytes(whole.begin(), whole.begin() + size)).State; };
    EXPECT_EQ(cut(whole.size() - 1), PayloadState::Found);  // only the padding went
    EXPECT_EQ(cut(program.Locator.PayloadEnd() - 1), PayloadState::CutShort);
    EXPECT_EQ(cut(whole.size() / 2), PayloadState::CutShort);
    EXPECT_EQ(cut(kImageEnd + 5), PayloadState::CutShort);
    EXPECT_EQ(cut(kImageEnd - 1), PayloadState::CutShort);
    // Cut right after the sections it is a plain engine, which looks for SETUP.0.
    EXPECT_EQ(cut(kImageEnd), PayloadState::NoPayload);

    for (const std::uint64_t at : {program.Locator.PayloadOffset + 20, program.Locator.PayloadEnd() - 1}) {
        Bytes changed = whole;
        changed[at] ^= 0x01;
        ASSERT_EQ(Find(changed).State, PayloadState::Found);
        EXPECT_FALSE(Intact(changed, program.Locator)) << at;
    }
    for (std::size_t field = 8; field < kLocatorSize; field += 4) {
        Bytes changed = whole;
        changed[kImageEnd + field] ^= 0x40;
        EXPECT_EQ(Find(changed).State, PayloadState::Damaged) << field;
    }
    // Offsets that pass the locator's own check but cannot be.
    const auto withLocator = [&](PayloadLocator locator) {
        Bytes changed = whole;
        const auto bytes = EncodeLocator(locator);
        std::copy(bytes.begin(), bytes.end(), changed.begin() + kImageEnd);
        return Find(changed).State;
    };
    PayloadLocator bad = program.Locator;
    bad.FileDataOffset = static_cast<std::int32_t>(program.Locator.PayloadEnd() + 1);
    EXPECT_EQ(withLocator(bad), PayloadState::Damaged);
    bad = program.Locator;
    bad.FileDataOffset = bad.SetupDataOffset;
    EXPECT_EQ(withLocator(bad), PayloadState::Damaged);
    bad = program.Locator;
    bad.PayloadOffset += 8;
    bad.SetupDataOffset += 8;
    EXPECT_EQ(withLocator(bad), PayloadState::Damaged);
    bad = program.Locator;
    bad.PayloadSize = ~std::uint64_t{0} - 10;
    EXPECT_EQ(withLocator(bad), PayloadState::Damaged);
}

TEST(ProgramPayload, TheEngineImageLeavesOutSignatureAndSymbolsAndIsNoProgram) {
    Bytes engineFile = MakeImage();
    SetUi32(engineFile.data() + kPe + 4 + 8, kImageEnd);  // symbols right after the sections
    SetUi32(engineFile.data() + kPe + 4 + 12, 5);
    engineFile.insert(engineFile.end(), 5 * 18 + 4, 0x11);
    Sign(engineFile);
    EngineImage image;
    ASSERT_EQ(MakeEngineImage(engineFile, image), EngineProblem::None);
    EXPECT_EQ(image.Bytes.size(), kImageEnd);
    EXPECT_TRUE(image.DroppedSignature);
    EXPECT_TRUE(image.DroppedSymbols);
    for (const std::uint32_t field : {kSecurityEntry, kSecurityEntry + 4, kPe + 4 + 8, kPe + 4 + 12, kOptional + 64})
        EXPECT_EQ(GetUi32(image.Bytes.data() + field), 0u) << field;
    EXPECT_TRUE(std::equal(image.Bytes.begin() + 0x400, image.Bytes.end(), engineFile.begin() + 0x400));

    Bytes appended = MakeImage();
    appended.insert(appended.end(), 100, 0x22);
    ASSERT_EQ(MakeEngineImage(appended, image), EngineProblem::None);
    EXPECT_EQ(image.DroppedOtherBytes, 100u);

    EXPECT_EQ(MakeEngineImage(MakeProgram(MakeImage()).Bytes_, image), EngineProblem::AlreadyCarriesPayload);
    EXPECT_EQ(MakeEngineImage(test::MixedBytes(3000, 4), image), EngineProblem::NotAProgram);
    const Bytes engine = MakeImage();
    EXPECT_EQ(MakeEngineImage(Bytes(engine.begin(), engine.begin() + 0x500), image), EngineProblem::NotAProgram);
}

}  // namespace
}  // namespace qv
