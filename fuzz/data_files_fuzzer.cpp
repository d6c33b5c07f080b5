// Extracts one file's stream from data files made of fuzz bytes (see
// data_file_case.h), through an opener in memory, and then the same place
// read as a solid block, the member chosen by the record's checksum. Damage must end in
// ESourceStreamDamaged or ESourceReadError, a missing data file in the
// opener's own EInOutError.
#include <cstddef>
#include <cstdint>

#include <zlib.h>
#include <memory>

#include "core/errors.h"
#include "core/setupdata/data_files.h"
#include "core/setupdata/solid_reader.h"
#include "data_file_case.h"

namespace {

class CaseOpener final : public qv::DataFileOpener {
public:
    explicit CaseOpener(const qv::fuzz::DataFileCase& c) : case_(c) {}
    std::unique_ptr<qv::InStream> OpenDataFile(int diskNumber) override {
        const std::int64_t index = std::int64_t{diskNumber} - case_.Location.FirstDisk;
        // Source 0 is the /SL file when there is one: the data files follow it.
        if (index < 0 || index >= static_cast<std::int64_t>(case_.Sources.size()) ||
            (index == 0 && case_.SlFileDataOffset != 0))
            throw qv::EInOutError(qv::io_code::FileNotFound);
        return std::make_unique<qv::MemoryInStream>(case_.Sources[static_cast<std::size_t>(index)]);
    }
    std::unique_ptr<qv::InStream> OpenSlDataFile() override {
        if (case_.Sources.empty()) throw qv::EInOutError(qv::io_code::FileNotFound);
        return std::make_unique<qv::MemoryInStream>(case_.Sources[0]);
    }

private:
    const qv::fuzz::DataFileCase& case_;
};

// Counts instead of keeping: a small stream may inflate to a large file.
class CountingOutStream final : public qv::OutStream {
public:
    void Write(const void*, std::size_t count) override { written_ += count; }
    std::uint64_t Position() const override { return written_; }

private:
    std::uint64_t written_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    qv::fuzz::DataFileCase c;
    if (!qv::fuzz::DecodeCase(data, size, c)) return 0;
    CaseOpener opener(c);
    CountingOutStream out;
    std::size_t reported = 0;
    try {
        qv::ExtractFileStream(opener, c.File, c.Location, c.SlFileDataOffset, out,
                              [&](std::size_t n) { reported += n; });
        // A stream that passed every check gave exactly the recorded bytes.
        if (out.Position() != static_cast<std::uint64_t>(c.File.OriginalSize) ||
            reported != static_cast<std::size_t>(c.File.CompressedSize))
            __builtin_trap();
    } catch (const qv::ESourceStreamDamaged&) {
    } catch (const qv::EInOutError&) {
    } catch (const qv::EZlibInternalError& error) {
        // A stream that asks for a preset dictionary keeps zlib's code.
        if (error.code() != Z_NEED_DICT) throw;
    }

    qv::SolidBlockReader solid;
    CountingOutStream member;
    reported = 0;
    try {
        solid.Extract(opener, c.File, c.Location, c.File.Adler32 & 3, c.SlFileDataOffset, member,
                      [&](std::size_t n) { reported += n; });
        // A member that passed every check gave exactly the recorded bytes
        // and its whole share of the gauge.
        if (member.Position() != static_cast<std::uint64_t>(c.File.OriginalSize) ||
            reported != static_cast<std::size_t>(c.File.CompressedSize))
            __builtin_trap();
    } catch (const qv::ESourceStreamDamaged&) {
    } catch (const qv::EInOutError&) {
    }
    return 0;
}
