// The bodies of the journal's records: one list of fields per kind, which
// both the encoder and the decoder walk, so that the two cannot disagree
// on the order.
#include <iterator>
#include <type_traits>

#include "core/errors.h"
#include "core/journal/journal_fields.h"
#include "core/journal/journal_format.h"

namespace qv::journal {

namespace {

// ---- The fields of each kind, in their order on disk ----

template <class Io> void Fields(Io& io, RegValueData& f) { io(f.Existed), io(f.Type), io(f.Data); }
template <class Io> void Fields(Io& io, RegTreeValue& f) { io(f.Name), io(f.Type), io(f.Data); }
template <class Io> void Fields(Io& io, RegTreeKey& f) { io(f.Path), io(f.Values); }

template <class Io> void Fields(Io& io, FileMovedAside& f) {
    io(f.Path), io(f.Backup), io(f.Attributes), io(f.CreationTime), io(f.LastWriteTime), io(f.Size);
}
template <class Io> void Fields(Io& io, FileWasAbsent& f) { io(f.Path), io.Flags(f.Flags, jfNotifyShell); }
template <class Io> void Fields(Io& io, FolderCreated& f) {
    io(f.Path), io.Flags(f.Flags, jfNotifyShell | jfWithContents);
}
template <class Io> void Fields(Io& io, IniValueBefore& f) {
    io(f.File), io(f.Section), io(f.Key), io(f.Existed), io(f.Value);
}
template <class Io> void Fields(Io& io, RegKeyWasAbsent& f) { io(f.Root), io(f.SubKey), io.Flags(f.Flags, jfWholeTree); }
template <class Io> void Fields(Io& io, RegValueBefore& f) { io(f.Root), io(f.SubKey), io(f.Name), io(f.Before); }
template <class Io> void Fields(Io& io, RegKeyTreeBefore& f) { io(f.Root), io(f.SubKey), io(f.Keys); }
template <class Io> void Fields(Io& io, SharedCountRaised& f) { io(f.Path), io(f.Before); }
template <class Io> void Fields(Io& io, RestartRenameAdded& f) { io(f.Source), io(f.Target), io(f.Way); }
template <class Io> void Fields(Io& io, LibraryRegistered& f) { io(f.Path); }
template <class Io> void Fields(Io& io, ProgManItemAdded& f) { io(f.Group), io(f.Item); }
template <class Io> void Fields(Io&, ChangeDone&) {}
template <class Io> void Fields(Io& io, RecordUndone& f) { io(f.Number); }
template <class Io> void Fields(Io&, InstallationComplete&) {}

struct Encoder {
    FieldWriter out;
    void operator()(std::string& text) { out.Text(text); }
    void operator()(std::uint32_t& value) { out.U32(value); }
    void operator()(std::uint64_t& value) { out.U64(value); }
    void operator()(bool& value) { out.Bool(value); }
    void Flags(std::uint32_t& value, std::uint32_t) { out.U32(value); }
    void operator()(RestartRenameWay& way) { out.U8(static_cast<std::uint8_t>(way)); }
    template <class Item>
    void operator()(std::vector<Item>& items) {
        out.U32(static_cast<std::uint32_t>(items.size()));
        for (Item& item : items) Fields(*this, item);
    }
    void operator()(RegValueData& data) { Fields(*this, data); }
};

struct Decoder {
    FieldReader in;
    void operator()(std::string& text) { text = in.Text(); }
    void operator()(std::uint32_t& value) { value = in.U32(); }
    void operator()(std::uint64_t& value) { value = in.U64(); }
    void operator()(bool& value) { value = in.Bool(); }
    void Flags(std::uint32_t& value, std::uint32_t known) { value = in.Flags(known); }
    void operator()(RestartRenameWay& way) {
        const std::uint8_t value = in.U8();
        if (value != static_cast<std::uint8_t>(RestartRenameWay::PendingRename) &&
            value != static_cast<std::uint8_t>(RestartRenameWay::WininitIni))
            in.Fail();
        way = static_cast<RestartRenameWay>(value);
    }
    template <class Item>
    void operator()(std::vector<Item>& items) {
        items.resize(in.Count(MinSize(static_cast<Item*>(nullptr))));
        for (Item& item : items) Fields(*this, item);
    }
    void operator()(RegValueData& data) { Fields(*this, data); }

    // The fewest bytes an item of a list takes: its counts.
    static std::size_t MinSize(RegTreeKey*) { return 4 + 4; }
    static std::size_t MinSize(RegTreeValue*) { return 4 + 4 + 4; }
};

// The alternative of `kind` (1-based) default-constructed in `fact`.
template <std::size_t I = 0>
bool Emplace(std::size_t index, JournalFact& fact) {
    if constexpr (I < std::variant_size_v<JournalFact>) {
        if (index == I) {
            fact.emplace<I>();
            return true;
        }
        return Emplace<I + 1>(index, fact);
    } else {
        return false;
    }
}

}  // namespace

std::string JournalKindName(std::uint8_t kind) {
    static const char* const names[] = {
        "FileMovedAside",     "FileWasAbsent",     "FolderCreated",    "IniValueBefore", "RegKeyWasAbsent",
        "RegValueBefore",     "RegKeyTreeBefore",  "SharedCountRaised", "RestartRenameAdded",
        "LibraryRegistered",  "ProgManItemAdded",  "ChangeDone",       "RecordUndone",   "InstallationComplete",
    };
    static_assert(std::size(names) == std::variant_size_v<JournalFact>);
    if (kind >= 1 && kind <= std::size(names)) return names[kind - 1];
    return "kind " + std::to_string(kind);
}

std::vector<std::uint8_t> EncodeJournalBody(const JournalRecord& record) {
    std::vector<std::uint8_t> body;
    Encoder encoder{FieldWriter(body)};
    encoder.out.U8(static_cast<std::uint8_t>(KindOf(record.Fact)));
    encoder.out.U32(record.Change);
    // The field lists serve both directions and so take their records
    // unqualified; the encoder only reads them.
    std::visit([&](const auto& fact) { Fields(encoder, const_cast<std::decay_t<decltype(fact)>&>(fact)); },
               record.Fact);
    return body;
}

BodyFault DecodeJournalBody(const std::uint8_t* body, std::size_t size, JournalRecord& record) {
    Decoder decoder{FieldReader(body, size)};
    const std::uint8_t kind = decoder.in.U8();
    record.Change = decoder.in.U32();
    if (decoder.in.Failed()) return BodyFault::Malformed;
    if (kind == 0 || !Emplace(kind - 1u, record.Fact)) return BodyFault::UnknownKind;
    std::visit([&](auto& fact) { Fields(decoder, fact); }, record.Fact);
    return decoder.in.Exhausted() ? BodyFault::None : BodyFault::Malformed;
}

}  // namespace qv::journal
