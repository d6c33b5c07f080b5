// The journal's header and the frame around each record.
#include <zlib.h>

#include <algorithm>

#include "core/bytes.h"
#include "core/errors.h"
#include "core/journal/journal_checksum.h"
#include "core/journal/journal_fields.h"
#include "core/journal/journal_format.h"

namespace qv::journal {

std::uint32_t Checksum(const std::uint8_t* data, std::size_t size) {
    uLong crc = crc32(0L, Z_NULL, 0);
    // zlib counts in uInt; a body never reaches that, the loop is for form.
    while (size > 0) {
        const uInt part = static_cast<uInt>(std::min<std::size_t>(size, 1u << 30));
        crc = crc32(crc, data, part);
        data += part;
        size -= part;
    }
    return static_cast<std::uint32_t>(crc);
}

std::vector<std::uint8_t> EncodeJournalHeader(const JournalHeader& header) {
    std::vector<std::uint8_t> texts;
    FieldWriter fields(texts);
    fields.Text(header.AppName);
    fields.Text(header.AppFolder);
    if (texts.size() > kMaxIdentityText)
        throw Exception("回滚日志的标识文字太长（" + std::to_string(texts.size()) + " 字节）");

    std::vector<std::uint8_t> bytes(kFixedHeaderSize);
    std::uint8_t* p = bytes.data();
    std::copy(kSignature.begin(), kSignature.end(), p);
    SetUi16(p + kVersionOffset, kVersion);
    SetUi16(p + kHeaderFlagsOffset, header.Flags);
    SetUi32(p + kProcessIdOffset, header.ProcessId);
    SetUi64(p + kProcessCreationOffset, header.ProcessCreationTime);
    SetUi64(p + kStartTimeOffset, header.StartTime);
    SetUi32(p + kIdentitySizeOffset, static_cast<std::uint32_t>(texts.size()));
    SetUi32(p + kFixedChecksumOffset, Checksum(p, kFixedChecksumOffset));
    bytes.insert(bytes.end(), texts.begin(), texts.end());
    const std::size_t at = bytes.size();
    bytes.resize(at + 4);
    SetUi32(bytes.data() + at, Checksum(texts.data(), texts.size()));
    return bytes;
}

std::vector<std::uint8_t> EncodeJournalFrame(std::uint32_t number, const JournalRecord& record) {
    const std::vector<std::uint8_t> body = EncodeJournalBody(record);
    if (body.size() > kMaxRecordBody)
        throw Exception("回滚日志的一条记录太大（" + JournalKindName(static_cast<std::uint8_t>(KindOf(record.Fact))) +
                        "，" + std::to_string(body.size()) + " 字节）");
    std::vector<std::uint8_t> frame(kFrameHeaderSize);
    std::uint8_t* p = frame.data();
    std::copy(kRecordMarker.begin(), kRecordMarker.end(), p);
    SetUi32(p + kFrameNumberOffset, number);
    SetUi32(p + kFrameSizeOffset, static_cast<std::uint32_t>(body.size()));
    SetUi32(p + kFrameChecksumOffset, Checksum(p, kFrameChecksumOffset));
    frame.insert(frame.end(), body.begin(), body.end());
    const std::size_t at = frame.size();
    frame.resize(at + kFrameTrailerSize);
    SetUi32(frame.data() + at, Checksum(frame.data(), at));
    return frame;
}

}  // namespace qv::journal
