#include "engine/install/inflate_ahead.h"

#include <process.h>

#include <algorithm>
#include <exception>
#include <utility>

#include "core/errors.h"
#include "core/io/streams.h"
#include "core/setupdata/data_files.h"

namespace qv {

namespace {

// The helper's sources: the one held file and nothing else. A stream that
// would go on into another data file is the file loop's, which may have
// to ask for its disk.
class THeldSourceOnly final : public DataFileOpener {
public:
    THeldSourceOnly(TReadAhead& source, std::int32_t disk) : source_(source), disk_(disk) {}
    std::unique_ptr<InStream> OpenDataFile(int diskNumber) override {
        if (diskNumber != disk_) throw Exception("not the held data file");
        return source_.NewReader();
    }
    std::unique_ptr<InStream> OpenSlDataFile() override { return source_.NewReader(); }

private:
    TReadAhead& source_;
    std::int32_t disk_;
};

}  // namespace

TInflateAhead::TInflateAhead(const SetupData& data, std::int32_t slFileDataOffset)
    : data_(data), slFileDataOffset_(slFileDataOffset), solid_(data.SetupInfo.Has(optSolidBlocks)) {
    InitializeCriticalSection(&section_);
}

TInflateAhead::~TInflateAhead() {
    if (thread_) {
        {
            const Lock lock(section_);
            stopping_ = true;
        }
        SetEvent(roomMade_.get());
        WaitForSingleObject(thread_.get(), INFINITE);
    }
    DeleteCriticalSection(&section_);
}

void TInflateAhead::Start(std::shared_ptr<const THeldFile> source, std::int32_t disk, std::size_t first) {
    if (started_ || !source) return;
    started_ = true;
    source_ = std::move(source);
    disk_ = disk;
    first_ = first;
    decided_ = first;
    verdictGiven_.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    roomMade_.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (!verdictGiven_ || !roomMade_) {
        source_.reset();
        finished_ = true;
        return;
    }
    // Through the C run-time, which then keeps its per-thread data right.
    const std::uintptr_t thread = _beginthreadex(nullptr, 0, &TInflateAhead::ThreadMain, this, 0, nullptr);
    if (thread == 0) {
        source_.reset();
        finished_ = true;
        return;
    }
    thread_.reset(reinterpret_cast<HANDLE>(thread));
}

unsigned __stdcall TInflateAhead::ThreadMain(void* self) {
    static_cast<TInflateAhead*>(self)->Run();
    return 0;
}

void TInflateAhead::Run() {
    try {
        readAhead_ = std::make_unique<TReadAhead>(*source_);
    } catch (...) {
        // No memory: the files are all the loop's (no verdicts, finished).
    }
    // The loop waits for verdicts: whatever happens here ends in one for
    // every file, if only "not taken".
    for (std::size_t index = first_; readAhead_ && index < data_.FileRecords.size(); ++index) {
        {
            // An inflated file waits for its turn within the budget; with
            // nothing waiting, any one file may go ahead (the loop may be
            // waiting for it).
            Lock lock(section_);
            while (!stopping_ && readyBytes_ != 0 && readyBytes_ + keptBytes_ >= kInflateAheadBudget) {
                helperWaits_ = true;
                LeaveCriticalSection(&section_);
                WaitForSingleObject(roomMade_.get(), INFINITE);
                EnterCriticalSection(&section_);
            }
            if (stopping_) break;
        }
        std::vector<std::uint8_t> contents;
        bool inflated = false;
        try {
            if (Eligible(index)) {
                contents = LendKept(static_cast<std::size_t>(data_.FileRecords[index].OriginalSize));
                inflated = solid_ ? DecodeMember(index, contents) : Inflate(index, contents);
            }
        } catch (...) {
            // Memory, a read, damage: the file loop finds out for itself.
            inflated = false;
            if (solid_) failedBlock_ = data_.FileLocationRecords[index];
        }
        {
            const Lock lock(section_);
            if (inflated) {
                readyBytes_ += contents.size();
                ready_.emplace(index, std::move(contents));
            }
            decided_ = index + 1;
            WakeLoop();
        }
    }
    // Its data file goes before the loop hears the helper has finished:
    // asking for the next disk lets go of the others, and a hold kept here
    // would keep the disk the user is told to take out.
    blockReader_.reset();
    readAhead_.reset();
    source_.reset();
    const Lock lock(section_);
    finished_ = true;
    WakeLoop();
}

bool TInflateAhead::Eligible(std::size_t index) const {
    if (index >= data_.FileLocationRecords.size()) return false;
    const TFileRec& file = data_.FileRecords[index];
    const TFileLocationRec& location = data_.FileLocationRecords[index];
    const bool held = location.FirstDisk == location.LastDisk && (slFileDataOffset_ != 0 || location.FirstDisk == disk_);
    if (!held || file.OriginalSize < 0 || file.OriginalSize > kInflateAheadLimit) return false;
    if (solid_) {
        // Every member counts, empty ones and those whose share of the
        // block's bytes rounds to nothing: one the loop had to take itself
        // would have it decode the block again from its start.
        return index < data_.FileMembers.size() &&
               !(failedBlock_ && failedBlock_->FirstDisk == location.FirstDisk &&
                 failedBlock_->StartOffset == location.StartOffset);
    }
    // Empty files cost nothing to extract the usual way.
    return file.OriginalSize > 0 && file.CompressedSize > 0 && file.CompressedSize <= kInflateAheadLimit;
}

bool TInflateAhead::Inflate(std::size_t index, std::vector<std::uint8_t>& contents) {
    THeldSourceOnly sources(*readAhead_, disk_);
    // The core's whole-stream reading: the same checks of the source, the
    // marker, the sizes and the Adler-32 as the file loop's extraction.
    ExtractWholeFileStream(sources, data_.FileRecords[index], data_.FileLocationRecords[index], slFileDataOffset_,
                           InflateWholeWithLibdeflate, contents, {}, &compressed_);
    return true;
}

bool TInflateAhead::DecodeMember(std::size_t index, std::vector<std::uint8_t>& contents) {
    THeldSourceOnly sources(*readAhead_, disk_);
    if (!blockReader_) blockReader_ = std::make_unique<SolidBlockReader>();
    // The reader's checks are the file loop's: the member against the
    // record, its Adler-32, and the block's end after its last member.
    MemoryOutStream out;
    contents.clear();
    contents.reserve(static_cast<std::size_t>(data_.FileRecords[index].OriginalSize));
    out.Bytes().swap(contents);
    blockReader_->Extract(sources, data_.FileRecords[index], data_.FileLocationRecords[index],
                          data_.FileMembers[index], slFileDataOffset_, out);
    contents.swap(out.Bytes());
    return true;
}

std::vector<std::uint8_t> TInflateAhead::LendKept(std::size_t size) {
    const Lock lock(section_);
    auto best = kept_.end();
    for (auto it = kept_.begin(); it != kept_.end(); ++it)
        if (it->capacity() >= size && (best == kept_.end() || it->capacity() < best->capacity())) best = it;
    if (best == kept_.end()) return {};
    std::vector<std::uint8_t> contents = std::move(*best);
    kept_.erase(best);
    keptBytes_ -= contents.capacity();
    return contents;
}

void TInflateAhead::GiveBack(std::vector<std::uint8_t>&& contents) {
    const Lock lock(section_);
    const std::size_t size = contents.capacity();
    if (size == 0 || readyBytes_ + size > kInflateAheadBudget) return;
    // Smaller memory goes first to make room: a large file's memory is
    // the dearest to map and clear again (about 3 ms a megabyte under
    // Wine), and the next large file needs it whole.
    while (readyBytes_ + keptBytes_ + size > kInflateAheadBudget) {
        const auto smallest = std::min_element(kept_.begin(), kept_.end(), [](const auto& a, const auto& b) {
            return a.capacity() < b.capacity();
        });
        if (smallest == kept_.end() || smallest->capacity() >= size) return;
        keptBytes_ -= smallest->capacity();
        kept_.erase(smallest);
    }
    keptBytes_ += size;
    kept_.push_back(std::move(contents));
}

void TInflateAhead::DropBefore(std::size_t index) {
    bool dropped = false;
    for (auto it = ready_.begin(); it != ready_.end() && it->first < index; it = ready_.erase(it)) {
        readyBytes_ -= it->second.size();
        dropped = true;
    }
    if (dropped) WakeHelper();
}

// Under Wine each event set is a call to its server: only a thread that
// said it waits is woken, not one per file. Both are called with the
// section held, as the waiter's flag is set with it.
void TInflateAhead::WakeLoop() {
    if (std::exchange(loopWaits_, false)) SetEvent(verdictGiven_.get());
}

void TInflateAhead::WakeHelper() {
    if (std::exchange(helperWaits_, false)) SetEvent(roomMade_.get());
}

bool TInflateAhead::Take(std::size_t index, std::vector<std::uint8_t>& contents) {
    if (!started_ || index < first_) return false;
    Lock lock(section_);
    DropBefore(index);
    while (decided_ <= index && !finished_) {
        loopWaits_ = true;
        LeaveCriticalSection(&section_);
        WaitForSingleObject(verdictGiven_.get(), INFINITE);
        EnterCriticalSection(&section_);
    }
    const auto found = ready_.find(index);
    if (found == ready_.end()) return false;
    contents = std::move(found->second);
    readyBytes_ -= contents.size();
    ready_.erase(found);
    WakeHelper();
    return true;
}

}  // namespace qv
