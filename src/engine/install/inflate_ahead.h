// The contents of small files decompressed on a second thread, ahead of
// the file loop, so that decompressing one file overlaps creating, writing
// and moving the files before it: on two processors the installation then
// takes about as long as its file system work alone. Per-file streams are
// inflated; with solid blocks the helper decodes the blocks forward with a
// reader of its own, member after member.
//
//   TInflateAhead ahead(data, slFileDataOffset);
//   ahead.Start(heldSource, disk, index);       // once the loop holds a data file
//   std::vector<std::uint8_t> contents;
//   if (ahead.Take(index, contents)) <write contents> else <the usual extraction>
//
// Only what is certain is taken: a stream (or a solid block) that lies
// whole in the held source, a file of at most kInflateAheadLimit bytes
// (its stream too), whose decompressed size and Adler-32 match its
// record. Anything else (a damaged stream or block, a failed read, a
// stream that runs on to the next disk, a large file) is left to the file
// loop's own extraction, which reads it again and reports what it finds
// with the run's texts, its questions and its retries: the helper never
// asks, never reports and never changes anything on the disk.
// Whether a file is taken depends on the setup data alone, never on how
// fast either thread ran: Take waits for the helper's verdict on its file.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "core/setupdata/setup_data.h"
#include "core/setupdata/solid_reader.h"
#include "engine/common/held_file.h"
#include "engine/common/win_handles.h"
#include "engine/install/read_ahead.h"

namespace qv {

// The largest stream, compressed or inflated, that the helper reads, and
// what it may hold inflated and not yet taken or kept for reuse. Its
// memory stays below 32 MiB (the budget, one file inflated and its
// compressed stream, the window of its reading), what a solid block's
// dictionary takes at most. With
// solid blocks the helper's own reader adds its dictionary (at most
// 32 MiB); the file loop's reader allocates one only for a file the
// helper did not take.
inline constexpr std::int64_t kInflateAheadLimit = 8 << 20;
inline constexpr std::uint64_t kInflateAheadBudget = 16 << 20;

class TInflateAhead {
public:
    // `data` must outlive this. Nothing runs until Start.
    TInflateAhead(const SetupData& data, std::int32_t slFileDataOffset);
    // Stops the helper and waits for it.
    ~TInflateAhead();
    TInflateAhead(const TInflateAhead&) = delete;
    TInflateAhead& operator=(const TInflateAhead&) = delete;

    // Starts the helper on the files from `first` on whose streams lie in
    // `source`: the /SL file when slFileDataOffset is not 0, else data file
    // `disk`. Once only; later calls do nothing. Without a thread (the
    // system refused one) every Take says no. The helper lets go of
    // `source` when it has given its verdict on the last file.
    void Start(std::shared_ptr<const THeldFile> source, std::int32_t disk, std::size_t first);
    bool Started() const { return started_; }

    // The inflated and checked contents of file `index`, when the helper
    // has them; waits for its verdict on that file. False: extract it the
    // usual way. Calls come in ascending order of `index` (a retry may ask
    // again: then the answer is no); what lies before `index` is dropped.
    bool Take(std::size_t index, std::vector<std::uint8_t>& contents);
    // Contents taken and written, for the helper to inflate into again:
    // memory the system mapped once is not mapped (and cleared) anew for
    // each file. Kept only within the budget.
    void GiveBack(std::vector<std::uint8_t>&& contents);

private:
    static unsigned __stdcall ThreadMain(void* self);
    void Run();
    bool Eligible(std::size_t index) const;
    bool Inflate(std::size_t index, std::vector<std::uint8_t>& contents);
    bool DecodeMember(std::size_t index, std::vector<std::uint8_t>& contents);
    // Kept memory that holds `size` bytes, the smallest such; else none.
    std::vector<std::uint8_t> LendKept(std::size_t size);
    void DropBefore(std::size_t index);
    void WakeLoop();
    void WakeHelper();

    // Held while the state below is read or changed.
    class Lock {
    public:
        explicit Lock(CRITICAL_SECTION& section) : section_(section) { EnterCriticalSection(&section_); }
        ~Lock() { LeaveCriticalSection(&section_); }
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

    private:
        CRITICAL_SECTION& section_;
    };

    const SetupData& data_;
    const std::int32_t slFileDataOffset_;
    const bool solid_;
    std::shared_ptr<const THeldFile> source_;
    // The helper's alone: its reading of source_, a window at a time.
    std::unique_ptr<TReadAhead> readAhead_;
    std::int32_t disk_ = 0;
    std::size_t first_ = 0;
    bool started_ = false;

    CRITICAL_SECTION section_;
    // Set by the helper after each verdict; by the loop when it makes room.
    UniqueHandle verdictGiven_;
    UniqueHandle roomMade_;
    UniqueHandle thread_;
    // Guarded by section_:
    std::size_t decided_ = 0;  // every file before this one has its verdict
    bool finished_ = false;     // the helper has ended: no more verdicts come
    bool stopping_ = false;
    bool loopWaits_ = false;    // the file loop waits for a verdict
    bool helperWaits_ = false;  // the helper waits for room
    std::uint64_t readyBytes_ = 0;  // inflated and not yet taken
    std::uint64_t keptBytes_ = 0;   // kept for reuse
    std::map<std::size_t, std::vector<std::uint8_t>> ready_;
    std::vector<std::vector<std::uint8_t>> kept_;
    // The helper's alone: each compressed stream is read into it.
    std::vector<std::uint8_t> compressed_;
    // The helper's alone, with solid blocks; a block that failed once is
    // left whole to the file loop, not decoded again for each member.
    std::unique_ptr<SolidBlockReader> blockReader_;
    std::optional<TFileLocationRec> failedBlock_;
};

}  // namespace qv
