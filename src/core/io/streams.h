// Byte streams behind the formats. The core reads and writes through these
// interfaces; the engine supplies Win32 files, the tool and tests portable ones.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace qv {

class InStream {
public:
    virtual ~InStream() = default;
    // Reads up to `count` bytes; fewer only at the end of the data.
    // A failure of the device raises EInOutError.
    virtual std::size_t Read(void* buffer, std::size_t count) = 0;
    virtual void Seek(std::uint64_t position) = 0;
    virtual std::uint64_t Position() const = 0;
    virtual std::uint64_t Size() const = 0;

    // Reads exactly `count` bytes or raises EInOutError "Read beyond end of file".
    void ReadExact(void* buffer, std::size_t count);
};

class OutStream {
public:
    virtual ~OutStream() = default;
    // Writes all bytes or raises EInOutError.
    virtual void Write(const void* buffer, std::size_t count) = 0;
    virtual std::uint64_t Position() const = 0;
};

// A stream over bytes in memory.
class MemoryInStream final : public InStream {
public:
    explicit MemoryInStream(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}
    std::size_t Read(void* buffer, std::size_t count) override;
    void Seek(std::uint64_t position) override;
    std::uint64_t Position() const override { return position_; }
    std::uint64_t Size() const override { return bytes_.size(); }

private:
    std::vector<std::uint8_t> bytes_;
    std::size_t position_ = 0;
};

class MemoryOutStream final : public OutStream {
public:
    void Write(const void* buffer, std::size_t count) override;
    std::uint64_t Position() const override { return bytes_.size(); }
    const std::vector<std::uint8_t>& Bytes() const { return bytes_; }
    std::vector<std::uint8_t>& Bytes() { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
};

// Portable files (C stdio; UTF-8 paths, wide on Windows). Move-only owners.
class FileInStream final : public InStream {
public:
    explicit FileInStream(const std::string& utf8Path);
    ~FileInStream() override;
    FileInStream(const FileInStream&) = delete;
    FileInStream& operator=(const FileInStream&) = delete;

    std::size_t Read(void* buffer, std::size_t count) override;
    void Seek(std::uint64_t position) override;
    std::uint64_t Position() const override;
    std::uint64_t Size() const override { return size_; }

private:
    std::FILE* file_;
    std::uint64_t size_ = 0;
};

// How FileOutStream opens its file.
enum class FileCreation {
    Replace,  // creates the file, or truncates the one there
    // Creates the file and fails (EInOutError) when anything is at its name
    // already, a link included: nothing is written through a link planted
    // at the name.
    New,
};

class FileOutStream final : public OutStream {
public:
    explicit FileOutStream(const std::string& utf8Path, FileCreation creation = FileCreation::Replace);
    // Takes over a file opened elsewhere (relative to a held folder, say).
    explicit FileOutStream(std::FILE* adopted) : file_(adopted) {}
    ~FileOutStream() override;
    FileOutStream(const FileOutStream&) = delete;
    FileOutStream& operator=(const FileOutStream&) = delete;

    void Write(const void* buffer, std::size_t count) override;
    std::uint64_t Position() const override;
    // Rewrites bytes at an earlier position and returns to the end.
    void Patch(std::uint64_t position, const void* buffer, std::size_t count);
    // Flushes and closes, raising EInOutError when the data could not be written.
    void Close();

private:
    std::FILE* file_;
};

// Opens a file with the path given in UTF-8; nullptr and errno on failure.
std::FILE* OpenFileUtf8(const std::string& utf8Path, const char* mode);
// The run-time library's I/O code for an errno value.
int InOutCodeFromErrno(int error);

}  // namespace qv
