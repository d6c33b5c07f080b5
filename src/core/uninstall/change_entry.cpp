// Entries of the uninstall log: the kinds, the string list and the file
// form of one entry.
#include <algorithm>

#include "core/bytes.h"
#include "core/setupdata/records.h"
#include "core/text/cp936.h"
#include "core/uninstall/uninstall_log.h"

namespace qv {

std::size_t StringCountOfKind(TChangeKind kind) {
    switch (kind) {
    case ekFolder: return 1;
    case ekFile: return 2;
    case ekProgManItem: return 2;
    case ekIniKey: return 3;
    case ekIniSection: return 2;
    case ekRegKeyTree: return 1;
    case ekRegDefaultValue: return 1;
    case ekRegKeyIfEmpty: return 1;
    case ekRegValue: return 2;
    }
    return 0;
}

std::string ChangeKindName(TChangeKind kind) {
    switch (kind) {
    case ekFolder: return "ekFolder";
    case ekFile: return "ekFile";
    case ekProgManItem: return "ekProgManItem";
    case ekIniKey: return "ekIniKey";
    case ekIniSection: return "ekIniSection";
    case ekRegKeyTree: return "ekRegKeyTree";
    case ekRegDefaultValue: return "ekRegDefaultValue";
    case ekRegKeyIfEmpty: return "ekRegKeyIfEmpty";
    case ekRegValue: return "ekRegValue";
    }
    return "kind " + std::to_string(static_cast<unsigned>(kind));
}

std::string JoinEntryStrings(const std::vector<std::string>& strings) {
    std::string data;
    for (std::size_t i = 0; i < strings.size(); ++i) {
        if (strings[i].find('\0') != std::string::npos)
            throw Exception("undo entry string " + std::to_string(i) + " holds a zero byte");
        data += strings[i];
        data += '\0';
    }
    return data;
}

std::string EntryString(const std::string& stringData, std::size_t index) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < index; ++i) {
        const std::size_t zero = stringData.find('\0', start);
        if (zero == std::string::npos) return {};
        start = zero + 1;
    }
    if (start >= stringData.size()) return {};
    const std::size_t zero = stringData.find('\0', start);
    return stringData.substr(start, zero == std::string::npos ? std::string::npos : zero - start);
}

std::size_t CompleteStringCount(const std::string& stringData) {
    return static_cast<std::size_t>(std::count(stringData.begin(), stringData.end(), '\0'));
}

StringDataFault CheckStringData(TChangeKind kind, const std::string& stringData) {
    if (!stringData.empty() && stringData.back() != '\0') return StringDataFault::Unterminated;
    if (CompleteStringCount(stringData) < StringCountOfKind(kind)) return StringDataFault::TooFewStrings;
    return StringDataFault::None;
}

TChangeEntry TChangeEntry::Make(TChangeKind kind, const std::vector<std::string>& strings,
                                std::uint32_t flags) {
    const std::size_t needed = StringCountOfKind(kind);
    if (kind <= kLastChangeKind && strings.size() != needed)
        throw Exception("an undo entry of kind " + ChangeKindName(kind) + " carries " +
                        std::to_string(needed) + " strings, not " + std::to_string(strings.size()));
    TChangeEntry entry;
    entry.Flags = flags;
    entry.Kind = kind;
    entry.StringData = JoinEntryStrings(strings);
    return entry;
}

namespace {
std::string EntryLabel(const TChangeEntry& entry, std::size_t entryNumber) {
    return "uninstall log entry " + std::to_string(entryNumber) + " (" + ChangeKindName(entry.Kind) + ")";
}
}  // namespace

std::string FileStringData(const TChangeEntry& entry, std::size_t entryNumber) {
    const std::string& data = entry.StringData;
    std::string bytes;
    std::size_t start = 0;
    // Strings past the cap never reach the file and need no code page 936 form.
    for (std::size_t index = 0; start < data.size() && bytes.size() < TChangeEntry::kMaxDataLength; ++index) {
        const std::size_t zero = data.find('\0', start);
        const std::size_t end = zero == std::string::npos ? data.size() : zero;
        const auto text = cp936::FromUtf8(data.substr(start, end - start));
        if (!text)
            throw EFieldTooLong(EntryLabel(entry, entryNumber) + " string " + std::to_string(index),
                                TChangeEntry::kMaxDataLength, 0);
        bytes += *text;
        if (zero != std::string::npos) bytes += '\0';
        start = end + 1;
    }
    if (bytes.size() > TChangeEntry::kMaxDataLength) bytes.resize(TChangeEntry::kMaxDataLength);
    return bytes;
}

void EncodeChangeEntry(const TChangeEntry& entry, std::size_t entryNumber, std::vector<std::uint8_t>& out) {
    switch (CheckStringData(entry.Kind, entry.StringData)) {
    case StringDataFault::None: break;
    case StringDataFault::TooFewStrings:
        throw Exception(EntryLabel(entry, entryNumber) + " holds " +
                        std::to_string(CompleteStringCount(entry.StringData)) + " strings, its kind needs " +
                        std::to_string(StringCountOfKind(entry.Kind)));
    case StringDataFault::Unterminated:
        throw Exception(EntryLabel(entry, entryNumber) + ": its last string lacks the terminating zero byte");
    }
    const std::string data = FileStringData(entry, entryNumber);
    const std::size_t start = out.size();
    out.resize(start + TChangeEntry::kFixedSize + data.size(), 0);
    std::uint8_t* p = out.data() + start;
    // Prev and Next stay zero: the links of the list mean nothing on disk.
    SetUi32(p + TChangeEntry::kFlagsOffset, entry.Flags);
    p[TChangeEntry::kKindOffset] = entry.Kind;
    SetUi16(p + TChangeEntry::kDataLengthOffset, static_cast<std::uint16_t>(data.size()));
    std::copy(data.begin(), data.end(), p + TChangeEntry::kFixedSize);
}

}  // namespace qv
