// Writing a program with its payload, apart from finding and checking one:
// Setup.exe only reads its own.
#include "core/setupdata/program_payload.h"

#include <array>
#include <stdexcept>

namespace qv {

void ProgramWriter::Crc32OutStream::Write(const void* buffer, std::size_t count) {
    out_.Write(buffer, count);
    crc_ = Crc32Update(crc_, buffer, count);
}

ProgramWriter::ProgramWriter(FileOutStream& out, const EngineImage& engine)
    : out_(out), locatorOffset_(engine.Bytes.size()), payload_(out) {
    out_.Write(engine.Bytes.data(), engine.Bytes.size());
    const std::array<std::uint8_t, kLocatorSize> room{};
    out_.Write(room.data(), room.size());
}

PayloadLocator ProgramWriter::Finish(std::int64_t fileDataOffset) {
    PayloadLocator locator;
    locator.PayloadOffset = locatorOffset_ + kLocatorSize;
    locator.PayloadSize = out_.Position() - locator.PayloadOffset;
    if (locator.PayloadOffset > 0x7FFFFFFF || fileDataOffset > 0x7FFFFFFF)
        throw std::overflow_error("the setup data or the file data would begin past 2 GiB");
    locator.SetupDataOffset = static_cast<std::int32_t>(locator.PayloadOffset);
    locator.FileDataOffset = static_cast<std::int32_t>(fileDataOffset);
    locator.PayloadCrc32 = payload_.Crc();
    const std::uint8_t zeros[kProgramAlignment] = {};
    out_.Write(zeros, static_cast<std::size_t>((kProgramAlignment - out_.Position() % kProgramAlignment) %
                                                kProgramAlignment));
    const auto bytes = EncodeLocator(locator);
    out_.Patch(locatorOffset_, bytes.data(), bytes.size());
    return locator;
}

}  // namespace qv
