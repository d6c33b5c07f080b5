#include "core/journal/journal_writer.h"

#include <vector>

#include "core/errors.h"

namespace qv::journal {

namespace {

void RefuseWhenBroken(bool broken) {
    // A write of the journal failed before: nothing can be written ahead,
    // so nothing more may be changed.
    if (broken) throw Exception("回滚日志不能再写入，安装不能继续");
}

}  // namespace

JournalWriter::JournalWriter(JournalSink& sink, const JournalHeader& header) : sink_(sink) {
    const std::vector<std::uint8_t> bytes = EncodeJournalHeader(header);
    sink_.Append(bytes.data(), bytes.size());
    sink_.Flush();
}

JournalWriter::JournalWriter(JournalSink& sink, std::uint32_t nextNumber) : sink_(sink), next_(nextNumber) {}

std::uint32_t JournalWriter::Append(std::uint32_t change, const std::vector<JournalFact>& facts, bool flush) {
    RefuseWhenBroken(broken_);
    // Encoded whole first: records the format refuses leave no trace.
    std::vector<std::uint8_t> frames;
    for (std::size_t i = 0; i < facts.size(); ++i) {
        const std::vector<std::uint8_t> frame =
            EncodeJournalFrame(next_ + static_cast<std::uint32_t>(i), {change, facts[i]});
        frames.insert(frames.end(), frame.begin(), frame.end());
    }
    broken_ = true;
    sink_.Append(frames.data(), frames.size());
    if (flush) sink_.Flush();
    broken_ = false;
    const std::uint32_t first = next_;
    next_ += static_cast<std::uint32_t>(facts.size());
    return first;
}

std::uint32_t JournalWriter::WriteAhead(std::uint32_t change, const JournalFact& fact) {
    return WriteAhead(change, std::vector<JournalFact>{fact});
}

std::uint32_t JournalWriter::WriteAhead(std::uint32_t change, const std::vector<JournalFact>& facts) {
    for (const JournalFact& fact : facts)
        if (IsMarker(KindOf(fact))) throw EProgramFault("a marker is no fact to write ahead");
    return Append(change, facts, true);
}

void JournalWriter::MarkDone(std::uint32_t change) { Append(change, {ChangeDone{}}, false); }

void JournalWriter::MarkUndone(std::uint32_t number, std::uint32_t change) {
    Append(change, {RecordUndone{number}}, true);
}

void JournalWriter::MarkComplete() { Append(0, {InstallationComplete{}}, true); }

}  // namespace qv::journal
