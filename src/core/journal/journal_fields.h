// The field encoding of the journal's bodies and identity texts (see
// journal_format.h). Internal to the journal's code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/bytes.h"

namespace qv::journal {

class FieldWriter {
public:
    explicit FieldWriter(std::vector<std::uint8_t>& out) : out_(out) {}

    void U8(std::uint8_t value) { out_.push_back(value); }
    void Bool(bool value) { U8(value ? 1 : 0); }
    void U32(std::uint32_t value) {
        const std::size_t at = Grow(4);
        SetUi32(out_.data() + at, value);
    }
    void U64(std::uint64_t value) {
        const std::size_t at = Grow(8);
        SetUi64(out_.data() + at, value);
    }
    // A count (uint32) and the bytes; a string of 4 GiB or more never
    // reaches here: the record's cap refuses far less.
    void Text(const std::string& text) {
        U32(static_cast<std::uint32_t>(text.size()));
        out_.insert(out_.end(), text.begin(), text.end());
    }

private:
    std::size_t Grow(std::size_t count) {
        const std::size_t at = out_.size();
        out_.resize(at + count);
        return at;
    }
    std::vector<std::uint8_t>& out_;
};

// Reads fields until the first that does not fit; from then on every read
// yields zero or empty and Failed() tells.
class FieldReader {
public:
    FieldReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::uint8_t U8() { return Take(1) ? data_[pos_ - 1] : 0; }
    bool Bool() {
        const std::uint8_t value = U8();
        if (value > 1) failed_ = true;
        return value == 1;
    }
    std::uint32_t U32() { return Take(4) ? GetUi32(data_ + pos_ - 4) : 0; }
    std::uint64_t U64() { return Take(8) ? GetUi64(data_ + pos_ - 8) : 0; }
    // A flag set that may hold no bits outside `known`.
    std::uint32_t Flags(std::uint32_t known) {
        const std::uint32_t value = U32();
        if (value & ~known) failed_ = true;
        return value;
    }
    std::string Text() {
        const std::uint32_t count = U32();
        if (!Take(count)) return {};
        return std::string(reinterpret_cast<const char*>(data_ + pos_ - count), count);
    }
    // A list count, each item at least `minItemSize` bytes: a count the
    // remaining bytes cannot hold fails before anything is allocated.
    std::uint32_t Count(std::size_t minItemSize) {
        const std::uint32_t count = U32();
        if (failed_ || count > (size_ - pos_) / minItemSize) {
            failed_ = true;
            return 0;
        }
        return count;
    }
    void Fail() { failed_ = true; }
    bool Failed() const { return failed_; }
    // Every byte read, none left over.
    bool Exhausted() const { return !failed_ && pos_ == size_; }

private:
    bool Take(std::size_t count) {
        if (failed_ || count > size_ - pos_) {
            failed_ = true;
            return false;
        }
        pos_ += count;
        return true;
    }
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
    bool failed_ = false;
};

}  // namespace qv::journal
